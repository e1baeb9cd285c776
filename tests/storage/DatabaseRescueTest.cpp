// Damaged local databases: what can still be read is kept in the fresh file, and the user is
// told once what was lost and where the damaged file went.
#include "storage/DatabaseRescue.h"
#include "foundation/LogFile.h"
#include "storage/SystemConfig.h"
#include "storage/UserDatabase.h"
#include "support/DamagedDatabase.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace nubo;

namespace {

qint64 scalar(Database& db, const QString& sql) {
    Query q = db.query(sql);
    return q.next() ? q.int64(0) : -1;
}

} // namespace

TEST(DatabaseRescue, ADamagedUserDatabaseKeepsItsTransfersAndSaysSoOnce) {
    QTemporaryDir dir;
    takeDatabaseRescues();
    const QString path = dir.filePath(QStringLiteral("7_0.db"));
    {
        auto udb = UserDatabase::open(dir.path(), QStringLiteral("7"), QStringLiteral("0"));
        ASSERT_TRUE(udb.ok());
        Database& db = udb.value->db();
        ASSERT_FALSE(db.exec(
            QStringLiteral("CREATE TABLE upload_job (id INTEGER PRIMARY KEY AUTOINCREMENT, path TEXT);"
                           "CREATE TABLE download_job (id INTEGER PRIMARY KEY AUTOINCREMENT, path TEXT);"
                           "INSERT INTO upload_job (path) VALUES ('/a'), ('/b'), ('/c');"
                           "INSERT INTO download_job (path) VALUES ('/x'), ('/y');")));
        ASSERT_FALSE(udb.value->configInfo().setValue(QStringLiteral("k"), QStringLiteral("v")));
        // A node table of many pages (its real columns do not matter here).
        ASSERT_FALSE(db.exec(QStringLiteral("DROP TABLE cloud_file")));
        test::fillManyPages(db, QStringLiteral("cloud_file"));
    }
    test::damageRootPage(path, QStringLiteral("cloud_file"));

    auto udb = UserDatabase::open(dir.path(), QStringLiteral("7"), QStringLiteral("0"));
    ASSERT_TRUE(udb.ok()) << udb.error.localizedDescription().toStdString();
    EXPECT_TRUE(udb.value->wasRebuilt());
    Database& db = udb.value->db();
    EXPECT_EQ(db.integrityCheck(), QStringLiteral("ok"));
    EXPECT_EQ(scalar(db, QStringLiteral("SELECT COUNT(*) FROM upload_job")), 3);
    EXPECT_EQ(scalar(db, QStringLiteral("SELECT COUNT(*) FROM download_job")), 2);
    EXPECT_EQ(udb.value->configInfo().loadAll().value.value(QStringLiteral("k")), QStringLiteral("v"));
    // The node copy comes afresh from the service; new jobs do not reuse the rescued ids.
    EXPECT_EQ(scalar(db, QStringLiteral("SELECT COUNT(*) FROM cloud_file")), 0);
    ASSERT_FALSE(db.exec(QStringLiteral("INSERT INTO upload_job (path) VALUES ('/d')")));
    EXPECT_EQ(db.lastInsertId(), 4);
    EXPECT_TRUE(QFile::exists(path + QStringLiteral(".corrupt")));

    const QList<DatabaseRescue> told = takeDatabaseRescues();
    ASSERT_EQ(told.size(), 1);
    const QString message = told[0].message();
    EXPECT_TRUE(message.contains(path + QStringLiteral(".corrupt"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("上传任务 3 条"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("下载任务 2 条"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("文件列表将从云端重新获取"))) << message.toStdString();
    EXPECT_FALSE(message.contains(QStringLiteral("未能找回"))) << message.toStdString();
    EXPECT_TRUE(takeDatabaseRescues().isEmpty());
    // A second connection (the transfer engines') finds the mended file sound: nothing more to tell.
    EXPECT_TRUE(UserDatabase::openConnection(path).ok());
    EXPECT_TRUE(takeDatabaseRescues().isEmpty());
}

TEST(DatabaseRescue, ADamagedSettingsDatabaseKeepsTheSettings) {
    QTemporaryDir dir;
    takeDatabaseRescues();
    {
        SystemConfig config(dir.path());
        config.setCloudFileSort(1);
        config.setFilelistViewMode(1);
        config.setShouldSelectDownloadPath(false);
        config.setDownloadPath(QStringLiteral("/data/downloads"));
    }
    {
        // Other rows of the file, on pages of their own, are what the disk damaged.
        auto db = Database::open(dir.filePath(QStringLiteral("system.db")));
        ASSERT_TRUE(db.ok());
        test::fillManyPages(*db.value, QStringLiteral("saved_users"));
    }
    test::damageRootPage(dir.filePath(QStringLiteral("system.db")), QStringLiteral("saved_users"));

    SystemConfig config(dir.path());
    EXPECT_TRUE(config.wasRebuilt());
    EXPECT_EQ(config.getCloudFileSort(), 1);
    EXPECT_EQ(config.getFilelistViewMode(), 1);
    EXPECT_FALSE(config.getShouldSelectDownloadPath());
    EXPECT_EQ(config.getDownloadPath(), QStringLiteral("/data/downloads"));
    const QList<DatabaseRescue> told = takeDatabaseRescues();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].message().contains(QStringLiteral("设置 4 条"))) << told[0].message().toStdString();
    EXPECT_TRUE(told[0].message().contains(QStringLiteral("未能找回：saved_users")))
        << told[0].message().toStdString();
}

TEST(DatabaseRescue, AFileWithNothingReadableIsToldSo) {
    QTemporaryDir dir;
    takeDatabaseRescues();
    const QString path = dir.filePath(QStringLiteral("system.db"));
    { SystemConfig(dir.path()).setCloudFileSort(1); }
    {
        auto db = Database::open(path);
        ASSERT_TRUE(db.ok());
        ASSERT_FALSE(db.value->exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")));
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.write(QByteArray(100, '\x11')); // the header
    f.close();
    log::startFileLog(dir.filePath(QStringLiteral("log")));
    SystemConfig config(dir.path());
    EXPECT_TRUE(config.wasRebuilt());
    EXPECT_EQ(config.getCloudFileSort(), 3);
    const QList<DatabaseRescue> told = takeDatabaseRescues();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].unreadable);
    // What the user is told is kept in the log for a report as well.
    EXPECT_TRUE(log::flushFileLog(5000));
    log::stopFileLog();
    QFile logFile(dir.filePath(QStringLiteral("log/nubo.log")));
    ASSERT_TRUE(logFile.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        QString::fromUtf8(logFile.readAll()).contains(QStringLiteral("nubo.storage: ") + told[0].message()));
    // The settings file holds no transfers: only what it held is said to be lost.
    EXPECT_TRUE(told[0].message().contains(QStringLiteral("已无法读取（设置已丢失）")))
        << told[0].message().toStdString();
    EXPECT_FALSE(told[0].message().contains(QStringLiteral("传输任务"))) << told[0].message().toStdString();
    EXPECT_TRUE(told[0].message().contains(path + QStringLiteral(".corrupt")));

    // A per-user file of garbage loses its transfers and settings; the file list comes again.
    const QString user = dir.filePath(QStringLiteral("9_0.db"));
    QFile garbage(user);
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(8192, '\x5a'));
    garbage.close();
    auto udb = UserDatabase::open(dir.path(), QStringLiteral("9"), QStringLiteral("0"));
    ASSERT_TRUE(udb.ok()) << udb.error.localizedDescription().toStdString();
    const QList<DatabaseRescue> userTold = takeDatabaseRescues();
    ASSERT_EQ(userTold.size(), 1);
    EXPECT_TRUE(userTold[0].message().contains(QStringLiteral("已无法读取（传输任务和设置已丢失）")))
        << userTold[0].message().toStdString();
    EXPECT_TRUE(userTold[0].message().contains(QStringLiteral("文件列表将从云端重新获取")))
        << userTold[0].message().toStdString();
}

// A file that is there but empty (a disk or a tool cut it to nothing) held something: it is
// damage, told like any other, never taken for a first start.
TEST(DatabaseRescue, AnEmptiedFileIsToldAsLostNotMadeAfreshInSilence) {
    QTemporaryDir dir;
    takeDatabaseRescues();
    const QString system = dir.filePath(QStringLiteral("system.db"));
    const QString user = dir.filePath(QStringLiteral("5_0.db"));
    {
        SystemConfig(dir.path()).setCloudFileSort(1);
        auto udb = UserDatabase::open(dir.path(), QStringLiteral("5"), QStringLiteral("0"));
        ASSERT_TRUE(udb.ok());
    }
    for (const QString& path : {system, user}) {
        QFile f(path);
        ASSERT_TRUE(f.resize(0)) << path.toStdString();
    }

    SystemConfig config(dir.path());
    EXPECT_TRUE(config.wasRebuilt());
    EXPECT_EQ(config.getCloudFileSort(), 3);
    auto udb = UserDatabase::open(dir.path(), QStringLiteral("5"), QStringLiteral("0"));
    ASSERT_TRUE(udb.ok()) << udb.error.localizedDescription().toStdString();
    EXPECT_TRUE(udb.value->wasRebuilt());

    const QList<DatabaseRescue> told = takeDatabaseRescues();
    ASSERT_EQ(told.size(), 2);
    EXPECT_EQ(told[0].file, system);
    EXPECT_TRUE(told[0].message().contains(QStringLiteral("已无法读取（设置已丢失）")))
        << told[0].message().toStdString();
    EXPECT_EQ(told[1].file, user);
    EXPECT_TRUE(told[1].message().contains(QStringLiteral("已无法读取（传输任务和设置已丢失）")))
        << told[1].message().toStdString();
    EXPECT_TRUE(told[1].message().contains(QStringLiteral("文件列表将从云端重新获取")))
        << told[1].message().toStdString();
    for (const QString& path : {system, user})
        EXPECT_TRUE(QFile::exists(path + QStringLiteral(".corrupt"))) << path.toStdString();

    // A file that is not there at all is a first start: nothing to tell.
    auto fresh = UserDatabase::open(dir.path(), QStringLiteral("6"), QStringLiteral("0"));
    ASSERT_TRUE(fresh.ok());
    EXPECT_FALSE(fresh.value->wasRebuilt());
    EXPECT_TRUE(takeDatabaseRescues().isEmpty());
}
