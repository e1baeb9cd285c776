#include "storage/DataPaths.h"
#include "storage/SystemConfig.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace nubo;

namespace {
void write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
QByteArray read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

TEST(DataFolder, IsNamedOnceForTheProgram) {
    const QDir folder(paths::dataFolder());
    EXPECT_EQ(folder.dirName(), u"Nubo");
    EXPECT_NE(QFileInfo(folder.absolutePath()).dir().dirName(), u"Nubo");
}

TEST(DataFolder, AnEarlierNestedFolderMovesUpWithEverythingInIt) {
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("Nubo"));
    const QString old = folder + QStringLiteral("/Nubo");
    SystemConfig(old).setCloudFileSort(2);
    write(old + QStringLiteral("/service/blocks/ab/abcdef"), "block");
    write(old + QStringLiteral("/.hidden"), "h");

    ASSERT_TRUE(paths::moveNestedDataFolder(folder));
    EXPECT_FALSE(QFileInfo::exists(old));
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral(".moving")));
    EXPECT_EQ(SystemConfig(folder).getCloudFileSort(), 2);
    EXPECT_EQ(read(folder + QStringLiteral("/service/blocks/ab/abcdef")), "block");
    EXPECT_EQ(read(folder + QStringLiteral("/.hidden")), "h");
    // Done once: the next start finds nothing to move.
    ASSERT_TRUE(paths::moveNestedDataFolder(folder));
    EXPECT_EQ(read(folder + QStringLiteral("/.hidden")), "h");
}

TEST(DataFolder, NothingMovesWhenTheFolderHoldsDataOfItsOwn) {
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("Nubo"));
    write(folder + QStringLiteral("/Nubo/system.db"), "old");
    write(folder + QStringLiteral("/system.db"), "new");
    ASSERT_TRUE(paths::moveNestedDataFolder(folder));
    EXPECT_EQ(read(folder + QStringLiteral("/system.db")), "new");
    EXPECT_EQ(read(folder + QStringLiteral("/Nubo/system.db")), "old");
    // No folder at all: nothing to do.
    EXPECT_TRUE(paths::moveNestedDataFolder(home.filePath(QStringLiteral("none"))));
    EXPECT_FALSE(QFileInfo::exists(home.filePath(QStringLiteral("none"))));
}

TEST(DataFolder, AMoveCutShortAfterItsFirstStepFinishes) {
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("Nubo"));
    write(folder + QStringLiteral(".moving/Nubo/system.db"), "db");
    ASSERT_TRUE(paths::moveNestedDataFolder(folder));
    EXPECT_EQ(read(folder + QStringLiteral("/system.db")), "db");
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral(".moving")));
}

// The default download folder is the one the desktop names (user-dirs.dirs, here a Chinese
// name); only that folder is made when a download needs it.
TEST(DownloadFolder, IsTheDesktopsDownloadsFolderAndOnlyItIsMade) {
    const QString dirsFile = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                             QStringLiteral("/user-dirs.dirs");
    ASSERT_FALSE(QFile::exists(dirsFile));
    write(dirsFile, "# written by the desktop\nXDG_DOWNLOAD_DIR=\"$HOME/下载\"\n");
    const QString downloads = QDir::homePath() + QStringLiteral("/下载");
    EXPECT_EQ(paths::downloadsFolder(), downloads);
    {
        QTemporaryDir dir;
        EXPECT_EQ(SystemConfig(dir.path()).getDownloadPath(), downloads);
    }

    const QString other = QDir::homePath() + QStringLiteral("/not-mounted/drive");
    EXPECT_FALSE(paths::prepareDownloadFolder(other));
    EXPECT_FALSE(QFileInfo::exists(QDir::homePath() + QStringLiteral("/not-mounted")));
    EXPECT_FALSE(paths::prepareDownloadFolder(QString()));

    ASSERT_FALSE(QFileInfo::exists(downloads));
    EXPECT_TRUE(paths::prepareDownloadFolder(downloads + QStringLiteral("/")));
    EXPECT_TRUE(QFileInfo(downloads).isDir());
    EXPECT_TRUE(paths::prepareDownloadFolder(downloads)); // already there

    QDir(downloads).removeRecursively();
    QFile::remove(dirsFile);
}
