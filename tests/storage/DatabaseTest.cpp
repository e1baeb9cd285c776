#include "storage/Database.h"
#include "foundation/SingletonT.h"
#include "storage/DataPaths.h"
#include "storage/SystemConfig.h"
#include "support/DamagedDatabase.h"
#include "support/EventLoop.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

using namespace nubo;

namespace {

int modeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 0777);
}

void writeGarbage(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QByteArray(8192, '\x5a'));
}

} // namespace

TEST(Database, FoldersAndFilesArePrivate) {
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/nested/data");
    auto db = Database::open(folder + QStringLiteral("/a.db"));
    ASSERT_TRUE(db.ok()) << db.error.localizedDescription().toStdString();
    ASSERT_FALSE(db.value->exec(QStringLiteral("CREATE TABLE t (x INTEGER); INSERT INTO t VALUES (1);")));
    EXPECT_EQ(modeOf(folder), 0700);
    EXPECT_EQ(modeOf(folder + QStringLiteral("/a.db")), 0600);
    ASSERT_TRUE(QFile::exists(folder + QStringLiteral("/a.db-wal")));
    EXPECT_EQ(modeOf(folder + QStringLiteral("/a.db-wal")), 0600);
    EXPECT_EQ(modeOf(folder + QStringLiteral("/a.db-shm")), 0600);
}

TEST(Database, TransactionRollsBackUnlessCommitted) {
    QTemporaryDir dir;
    auto db = Database::open(dir.filePath(QStringLiteral("t.db")));
    ASSERT_TRUE(db.ok());
    Database& d = *db.value;
    ASSERT_FALSE(d.exec(QStringLiteral("CREATE TABLE t (x INTEGER)")));
    {
        Database::Transaction t(d);
        EXPECT_FALSE(d.query(QStringLiteral("INSERT INTO t VALUES (?)")).bind(1, 1).exec());
    }
    {
        Database::Transaction t(d);
        EXPECT_FALSE(d.query(QStringLiteral("INSERT INTO t VALUES (?)")).bind(1, 2).exec());
        EXPECT_FALSE(t.commit());
    }
    Query q = d.query(QStringLiteral("SELECT group_concat(x) FROM t"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.text(0), QStringLiteral("2"));
}

TEST(Database, BadStatementIsAnErrorNotACrash) {
    QTemporaryDir dir;
    auto db = Database::open(dir.filePath(QStringLiteral("t.db")));
    ASSERT_TRUE(db.ok());
    Query q = db.value->query(QStringLiteral("SELECT * FROM missing_table"));
    EXPECT_FALSE(q.next());
    EXPECT_EQ(q.error().code(), kStorageErrorSql);
    EXPECT_EQ(db.value->exec(QStringLiteral("NOT SQL")).code(), kStorageErrorSql);
}

TEST(Database, CorruptFileIsReportedAsCorrupt) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.db"));
    writeGarbage(path);
    auto db = Database::open(path);
    ASSERT_FALSE(db.ok());
    EXPECT_EQ(db.error.code(), kStorageErrorCorrupt);
}

// A failure's text names its cause in the user's words; SQLite's own text (which the service
// reads for "UNIQUE") and the statement follow it, never stand alone.
TEST(Database, FailuresNameTheirCauseBeforeSQLitesOwnText) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.db"));
    {
        auto db = Database::open(path);
        ASSERT_TRUE(db.ok());
        ASSERT_FALSE(db.value->exec(QStringLiteral("CREATE TABLE u (x TEXT UNIQUE)")));
        ASSERT_FALSE(db.value->exec(QStringLiteral("INSERT INTO u VALUES ('a')")));
        const QString unique =
            db.value->exec(QStringLiteral("INSERT INTO u VALUES ('a')")).localizedDescription();
        EXPECT_TRUE(unique.startsWith(QStringLiteral("数据库记录冲突：UNIQUE constraint failed")))
            << unique.toStdString();
        const QString missing =
            db.value->exec(QStringLiteral("SELECT * FROM missing")).localizedDescription();
        EXPECT_TRUE(missing.startsWith(QStringLiteral("数据库操作失败：no such table")))
            << missing.toStdString();
        test::fillManyPages(*db.value, QStringLiteral("big"));
    }
    test::damageRootPage(path, QStringLiteral("big"));
    Database::Options unchecked;
    unchecked.checkIntegrity = false;
    auto db = Database::open(path, unchecked);
    ASSERT_TRUE(db.ok());
    Query q = db.value->query(QStringLiteral("SELECT count(*) FROM big"));
    EXPECT_FALSE(q.next());
    EXPECT_EQ(q.error().code(), kStorageErrorCorrupt);
    EXPECT_TRUE(q.error().localizedDescription().startsWith(
        QStringLiteral("数据库已损坏：database disk image is malformed")))
        << q.error().localizedDescription().toStdString();

    const QString garbage = dir.filePath(QStringLiteral("garbage.db"));
    writeGarbage(garbage);
    auto bad = Database::open(garbage);
    ASSERT_FALSE(bad.ok());
    EXPECT_TRUE(bad.error.localizedDescription().startsWith(QStringLiteral("数据库已损坏：")))
        << bad.error.localizedDescription().toStdString();
}

TEST(Database, ConcurrentWritersOnOneConnection) {
    QTemporaryDir dir;
    auto db = Database::open(dir.filePath(QStringLiteral("t.db")));
    ASSERT_TRUE(db.ok());
    Database& d = *db.value;
    ASSERT_FALSE(d.exec(QStringLiteral("CREATE TABLE t (k INTEGER, v INTEGER)")));
    std::vector<std::thread> threads;
    for (int k = 0; k < 4; ++k) {
        threads.emplace_back([&d, k] {
            for (int i = 0; i < 200; ++i) {
                Database::Transaction t(d);
                EXPECT_FALSE(
                    d.query(QStringLiteral("INSERT INTO t VALUES (?, ?)")).bind(1, k).bind(2, i).exec());
                EXPECT_FALSE(t.commit());
            }
        });
    }
    for (auto& t : threads)
        t.join();
    Query q = d.query(QStringLiteral("SELECT count(*), count(DISTINCT k) FROM t"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.int64(0), 800);
    EXPECT_EQ(q.int64(1), 4);
}

TEST(SystemConfig, DefaultsWhenNothingIsSaved) {
    QTemporaryDir dir;
    SystemConfig config(dir.path());
    EXPECT_FALSE(config.lastError());
    EXPECT_EQ(config.getCloudFileSort(), 3);
    EXPECT_EQ(config.getFilelistViewMode(), 0);
    EXPECT_TRUE(config.getShouldSelectDownloadPath());
    EXPECT_EQ(config.getDownloadPath(), QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("system.db"))));
}

TEST(SystemConfig, ChangesAreWrittenThroughAndSurviveReopen) {
    QTemporaryDir dir;
    {
        SystemConfig config(dir.path());
        config.setCloudFileSort(0);
        config.setFilelistViewMode(1);
        config.setShouldSelectDownloadPath(false);
        config.setDownloadPath(QStringLiteral("/tmp/下载 folder"));
        EXPECT_FALSE(config.lastError());
    }
    SystemConfig again(dir.path());
    EXPECT_EQ(again.getCloudFileSort(), 0);
    EXPECT_EQ(again.getFilelistViewMode(), 1);
    EXPECT_FALSE(again.getShouldSelectDownloadPath());
    EXPECT_EQ(again.getDownloadPath(), QStringLiteral("/tmp/下载 folder"));
}

TEST(SystemConfig, ABurstOfChangesIsOneLaterWriteAndNothingIsLostAtShutdown) {
    QTemporaryDir dir;
    {
        SystemConfig config(dir.path());
        for (int i = 0; i < 200; ++i) {
            config.setCloudFileSort(i % 4);
            config.setDownloadPath(QStringLiteral("/tmp/d%1").arg(i));
        }
        // The setters only touched memory.
        EXPECT_EQ(config.writeCount(), 0);
        EXPECT_EQ(config.getDownloadPath(), QStringLiteral("/tmp/d199"));
        ASSERT_TRUE(nubo::test::waitUntil([&] { return config.writeCount() == 1; }));
        EXPECT_EQ(SystemConfig(dir.path()).getDownloadPath(), QStringLiteral("/tmp/d199"));
        EXPECT_EQ(SystemConfig(dir.path()).getCloudFileSort(), 3);
        // A change just before the end is written by the shutdown, not lost with the timer.
        config.setFilelistViewMode(1);
        config.setDownloadPath(QStringLiteral("/tmp/last"));
    }
    SystemConfig again(dir.path());
    EXPECT_EQ(again.getFilelistViewMode(), 1);
    EXPECT_EQ(again.getDownloadPath(), QStringLiteral("/tmp/last"));
    EXPECT_EQ(again.getCloudFileSort(), 3);
    // flush() writes at once, once.
    again.setFilelistViewMode(0);
    again.flush();
    again.flush();
    EXPECT_EQ(again.writeCount(), 1);
    EXPECT_EQ(SystemConfig(dir.path()).getFilelistViewMode(), 0);
}

TEST(SystemConfig, ASavedDownloadFolderThatIsNoFullPathIsNotUsed) {
    QTemporaryDir dir;
    const QString downloads = SystemConfig(dir.path()).getDownloadPath();
    for (const QString& saved : {QStringLiteral("relative/dl"), QStringLiteral("."), QString()}) {
        { SystemConfig(dir.path()).setDownloadPath(saved); }
        EXPECT_EQ(SystemConfig(dir.path()).getDownloadPath(), downloads) << saved.toStdString();
    }
    { SystemConfig(dir.path()).setDownloadPath(QStringLiteral("/data/dl")); }
    EXPECT_EQ(SystemConfig(dir.path()).getDownloadPath(), QStringLiteral("/data/dl"));
}

TEST(SystemConfig, CorruptSystemDatabaseIsRebuiltWithDefaults) {
    QTemporaryDir dir;
    {
        SystemConfig config(dir.path());
        config.setCloudFileSort(1);
    }
    QFile::remove(dir.filePath(QStringLiteral("system.db-wal")));
    QFile::remove(dir.filePath(QStringLiteral("system.db-shm")));
    writeGarbage(dir.filePath(QStringLiteral("system.db")));
    SystemConfig config(dir.path());
    EXPECT_TRUE(config.wasRebuilt());
    EXPECT_FALSE(config.lastError());
    EXPECT_EQ(config.getCloudFileSort(), 3);
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("system.db.corrupt"))));
    config.setCloudFileSort(2);
    config.flush();
    EXPECT_EQ(SystemConfig(dir.path()).getCloudFileSort(), 2);
}

TEST(SystemConfig, SingletonUsesTheDataFolder) {
    QTemporaryDir dir;
    paths::setDataFolder(dir.path());
    SingletonT<SystemConfig>::reset();
    SystemConfig& a = SingletonT<SystemConfig>::instance();
    EXPECT_EQ(&a, &SingletonT<SystemConfig>::instance());
    a.setFilelistViewMode(1);
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("system.db"))));
    SingletonT<SystemConfig>::reset();
    EXPECT_EQ(SingletonT<SystemConfig>::instance().getFilelistViewMode(), 1);
    SingletonT<SystemConfig>::reset();
    paths::setDataFolder({});
}

// Rows written without waiting for the disk are there like any others, and the connection's own
// durability comes back for the commits that follow.
TEST(Database, UnsyncedRowsKeepTheConnectionsDurability) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/full.db");
    Database::Options options;
    options.durability = Database::Durability::Full;
    auto synchronous = [](Database& db) {
        Query q = db.query(QStringLiteral("PRAGMA synchronous"));
        return q.next() ? q.int64(0) : -1;
    };
    {
        auto db = Database::open(path, options);
        ASSERT_TRUE(db.ok());
        ASSERT_FALSE(db.value->exec(QStringLiteral("CREATE TABLE t (x INTEGER PRIMARY KEY)")));
        const qint64 full = synchronous(*db.value);
        Query ins = db.value->query(QStringLiteral("INSERT INTO t (x) VALUES (?)"));
        for (int i = 0; i < 3; ++i) {
            ASSERT_FALSE(ins.bind(1, i).execUnsynced());
            ins.reset();
        }
        EXPECT_TRUE(ins.bind(1, 1).execUnsynced()); // a failure is reported as such
        ins.reset();
        EXPECT_EQ(synchronous(*db.value), full);
        // A whole unsynced transaction: committed, and the level back after it, also when it
        // is dropped without a commit.
        {
            Database::Transaction t(*db.value, Database::Transaction::Sync::Unsynced);
            ASSERT_FALSE(t.error());
            ASSERT_FALSE(ins.bind(1, 10).exec());
            ins.reset();
            ASSERT_FALSE(t.commit());
        }
        EXPECT_EQ(synchronous(*db.value), full);
        {
            Database::Transaction t(*db.value, Database::Transaction::Sync::Unsynced);
            ASSERT_FALSE(ins.bind(1, 11).exec());
            ins.reset();
        }
        EXPECT_EQ(synchronous(*db.value), full);
    }
    auto again = Database::open(path, options);
    ASSERT_TRUE(again.ok());
    Query count = again.value->query(QStringLiteral("SELECT COUNT(*) FROM t"));
    ASSERT_TRUE(count.next());
    EXPECT_EQ(count.int64(0), 4); // 0, 1, 2 and 10; 11 was rolled back
}
