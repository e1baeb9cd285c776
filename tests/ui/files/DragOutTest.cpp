// Rows dragged out to a file manager: fetched whole into a fresh private staging folder, after
// the stagings no file manager can still be copying from are removed.
#include "FileOpsFixture.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

using namespace nubo::test;

namespace {

class DragOut : public FileOpsTest {};

TEST_F(DragOut, RowsAreStagedWholeInAFreshPrivateFolderAndOldStagingsGo) {
    const QString root = KZFilesViewController::dragOutStagingRoot();
    const QString old = root + QStringLiteral("/1000");
    const QString recent =
        root + QLatin1Char('/') + QString::number(QDateTime::currentMSecsSinceEpoch() - 60 * 1000);
    ASSERT_TRUE(QDir().mkpath(old));
    ASSERT_TRUE(QDir().mkpath(recent));

    jump(QStringLiteral("/three"));
    const QStringList staged =
        page->filesForDragOut({row(QStringLiteral("a.txt")), row(QStringLiteral("sub"))}, 20000);
    ASSERT_EQ(staged.size(), 2);
    QFile a(staged[0]);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), QByteArray("a"));
    EXPECT_EQ(QFileInfo(staged[0]).fileName(), QStringLiteral("a.txt"));
    EXPECT_TRUE(QFileInfo(staged[1]).isDir());
    const QString staging = QFileInfo(staged[0]).absolutePath();
    EXPECT_EQ(QFileInfo(staging).absolutePath(), QFileInfo(root).absoluteFilePath());
    EXPECT_NE(staging, QFileInfo(recent).absoluteFilePath());
    // Nothing but the files themselves is left for the file manager to copy.
    QDirIterator work(staging, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                      QDirIterator::Subdirectories);
    QStringList entries;
    while (work.hasNext())
        entries.append(QFileInfo(work.next()).fileName());
    entries.sort();
    EXPECT_EQ(entries, QStringList({QStringLiteral("a.txt"), QStringLiteral("sub")}));

    EXPECT_FALSE(QFileInfo::exists(old));
    EXPECT_TRUE(QFileInfo::exists(recent));
    EXPECT_EQ(QFile::permissions(root) & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
              QFile::Permissions());
}

} // namespace
