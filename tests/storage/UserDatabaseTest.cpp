#include "storage/UserDatabase.h"
#include "support/ServiceFixture.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace nubo;

namespace {

NodeRecord rec(qint64 nid, qint64 pid, const QString& path, bool dir, qint64 version = 1) {
    NodeRecord n;
    n.nid = nid;
    n.pid = pid;
    n.path = path;
    n.name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    n.isDir = dir;
    n.version = version;
    return n;
}

// What a start reads back, as records.
NodeList readBack(CloudFileTable& t, int parts) {
    std::vector<NodeList> got(static_cast<size_t>(parts));
    EXPECT_FALSE(t.readInParts(parts, [&](int part, const NodeRowView& r) {
        NodeRecord n;
        n.nid = r.nid;
        n.pid = r.pid;
        n.name = QString::fromUtf8(r.name);
        n.fileHash = QString::fromUtf8(r.hash);
        n.isDir = r.isDir;
        n.size = r.size;
        n.mtime = r.mtime;
        n.ctime = r.ctime;
        n.category = r.category;
        n.status = r.status;
        n.isLink = r.isLink;
        n.isSync = r.isSync;
        n.isEditLock = r.isEditLock;
        n.version = r.version;
        got[size_t(part)].append(n);
    }));
    NodeList all;
    for (const NodeList& g : got)
        all += g;
    return all;
}

QList<qint64> ids(const NodeList& nodes) {
    QList<qint64> out;
    for (const auto& n : nodes)
        out.append(n.nid);
    std::sort(out.begin(), out.end());
    return out;
}

// What the session does after sign-in: every page of the full fetch into the node table.
void fullFetch(CloudService& service, CloudFileTable& table) {
    ASSERT_FALSE(table.beginFullLoad());
    qint64 after = 0;
    qint64 cursor = -1;
    for (;;) {
        auto page = service.fetchAllNodes(after, 2);
        ASSERT_TRUE(page.ok());
        if (cursor < 0)
            cursor = page.value.version;
        ASSERT_FALSE(table.upsert(page.value.nodes));
        after = page.value.next;
        if (!page.value.hasMore)
            break;
    }
    ASSERT_FALSE(table.finishFullLoad(cursor));
}

int indexCount(Database& db) {
    Query q = db.query(QStringLiteral(
        "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND tbl_name = 'cloud_file'"));
    return q.next() ? int(q.int64(0)) : -1;
}

} // namespace

TEST(UserDatabase, FileNameFromIdsAndUnsafeIdsRefused) {
    EXPECT_EQ(UserDatabase::fileName(QStringLiteral("123"), QStringLiteral("0")), QStringLiteral("123_0.db"));
    QTemporaryDir dir;
    for (const QString& bad :
         {QStringLiteral("../x"), QStringLiteral("a/b"), QString(), QStringLiteral("a b")}) {
        auto db = UserDatabase::open(dir.path(), bad, QStringLiteral("0"));
        EXPECT_FALSE(db.ok()) << bad.toStdString();
        EXPECT_EQ(db.error.code(), kStorageErrorArgument);
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST(CloudFileTable, LookupsByIdParentAndPath) {
    QTemporaryDir dir;
    auto udb = UserDatabase::open(dir.path(), QStringLiteral("7"), QStringLiteral("1"));
    ASSERT_TRUE(udb.ok());
    CloudFileTable& t = udb.value->cloudFiles();
    ASSERT_FALSE(t.upsert({rec(1, 0, "/docs", true), rec(2, 1, "/docs/a.txt", false),
                           rec(3, 1, "/docs/B.txt", false), rec(4, 0, "/docs b", true)}));
    EXPECT_EQ(t.byId(2).value.path, QStringLiteral("/docs/a.txt"));
    EXPECT_EQ(t.byId(0).value.path, QStringLiteral("/"));
    EXPECT_FALSE(t.byId(99).ok());
    EXPECT_EQ(t.byPath(QStringLiteral("/docs/")).value.nid, 1);
    EXPECT_EQ(ids(t.children(1).value), (QList<qint64>{2, 3}));
    EXPECT_EQ(ids(t.children(0).value), (QList<qint64>{1, 4}));
    // The read-back of a start: every node with its fields, no paths, however it is split.
    for (int parts : {1, 3, 8}) {
        const NodeList all = readBack(t, parts);
        EXPECT_EQ(ids(all), (QList<qint64>{1, 2, 3, 4}));
        for (const NodeRecord& n : all) {
            NodeRecord stored = t.byId(n.nid).value;
            stored.path.clear();
            EXPECT_EQ(n, stored);
        }
    }
}

TEST(CloudFileTable, RemovedFolderTakesItsSubtreeButNotPrefixSiblings) {
    QTemporaryDir dir;
    auto udb = UserDatabase::open(dir.path(), QStringLiteral("7"), QStringLiteral("1"));
    ASSERT_TRUE(udb.ok());
    CloudFileTable& t = udb.value->cloudFiles();
    ASSERT_FALSE(t.upsert({rec(1, 0, "/a", true), rec(2, 1, "/a/x", true), rec(3, 2, "/a/x/y", false),
                           rec(4, 0, "/a b", true), rec(5, 0, "/ab", false)}));
    NodeRecord gone = rec(1, 0, "/a", true, 5);
    gone.status = 1;
    NodeRecord renamed = rec(5, 0, "/abc", false, 5);
    ASSERT_FALSE(t.applyChanges({gone, renamed}, 5));
    EXPECT_EQ(t.count().value, 2);
    EXPECT_TRUE(t.byId(4).ok());
    EXPECT_EQ(t.byId(5).value.path, QStringLiteral("/abc"));
    EXPECT_EQ(t.cursor().value, 5);
}

TEST(UserDatabase, CorruptDatabaseIsRebuiltFromAFullFetch) {
    test::ServiceFixture fx;
    fx.mkdir(QStringLiteral("/a/b/c"));
    fx.mkdir(QStringLiteral("/d"));
    fx.putFile(QStringLiteral("/a/f.txt"), "hello");
    QTemporaryDir dir;
    {
        auto udb = UserDatabase::open(dir.path(), QStringLiteral("1"), QStringLiteral("0"));
        ASSERT_TRUE(udb.ok());
        fullFetch(fx.service(), udb.value->cloudFiles());
        EXPECT_EQ(udb.value->cloudFiles().count().value, 5);
    }
    const QString path = dir.filePath(QStringLiteral("1_0.db"));
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(0);
    f.write(QByteArray(4096, '\0'));
    f.close();

    auto udb = UserDatabase::open(dir.path(), QStringLiteral("1"), QStringLiteral("0"));
    ASSERT_TRUE(udb.ok()) << udb.error.localizedDescription().toStdString();
    EXPECT_TRUE(udb.value->wasRebuilt());
    EXPECT_EQ(udb.value->rebuildReason().code(), kStorageErrorCorrupt);
    CloudFileTable& t = udb.value->cloudFiles();
    EXPECT_EQ(t.cursor().value, 0);
    fullFetch(fx.service(), t);
    EXPECT_EQ(t.count().value, 5);
    EXPECT_EQ(t.byPath(QStringLiteral("/a/b/c")).value.isDir, true);
    EXPECT_EQ(udb.value->db().integrityCheck(), QStringLiteral("ok"));
    EXPECT_EQ(indexCount(udb.value->db()), 1);
    EXPECT_GT(t.cursor().value, 0);
}

TEST(UserDatabase, UnfinishedFullLoadIsRedoneAfterRestart) {
    test::ServiceFixture fx;
    fx.mkdir(QStringLiteral("/a/b"));
    QTemporaryDir dir;
    {
        auto udb = UserDatabase::open(dir.path(), QStringLiteral("1"), QStringLiteral("0"));
        ASSERT_TRUE(udb.ok());
        fullFetch(fx.service(), udb.value->cloudFiles());
        ASSERT_FALSE(udb.value->cloudFiles().beginFullLoad());
        ASSERT_FALSE(udb.value->cloudFiles().upsert(fx.service().fetchAllNodes(0, 1).value.nodes));
    }
    auto udb = UserDatabase::open(dir.path(), QStringLiteral("1"), QStringLiteral("0"));
    ASSERT_TRUE(udb.ok());
    EXPECT_EQ(udb.value->cloudFiles().cursor().value, 0); // asks for a full fetch
    EXPECT_EQ(indexCount(udb.value->db()), 1);
}

TEST(UserDatabase, OlderFileWithStoredPathsKeepsItsNodesAndCursor) {
    QTemporaryDir dir;
    {
        // A file as earlier versions wrote it: every path stored and indexed.
        auto db = Database::open(dir.filePath(QStringLiteral("1_0.db")));
        ASSERT_TRUE(db.ok());
        ASSERT_FALSE(db.value->exec(QStringLiteral(
            "CREATE TABLE cloud_file (nid INTEGER PRIMARY KEY, pid INTEGER NOT NULL, name TEXT NOT NULL,"
            " path TEXT NOT NULL, is_dir INTEGER NOT NULL DEFAULT 0, size INTEGER NOT NULL DEFAULT 0,"
            " mtime INTEGER NOT NULL DEFAULT 0, ctime INTEGER NOT NULL DEFAULT 0,"
            " category INTEGER NOT NULL DEFAULT 0, file_hash TEXT, status INTEGER NOT NULL DEFAULT 0,"
            " is_link INTEGER NOT NULL DEFAULT 0, is_sync INTEGER NOT NULL DEFAULT 0,"
            " is_edit_lock INTEGER NOT NULL DEFAULT 0, version INTEGER NOT NULL DEFAULT 0);"
            "CREATE TABLE cloud_file_cursor (id INTEGER PRIMARY KEY CHECK (id = 0), cursor INTEGER);"
            "CREATE INDEX cloud_file_pid ON cloud_file(pid); CREATE INDEX cloud_file_path ON "
            "cloud_file(path);"
            "INSERT INTO cloud_file (nid, pid, name, path, is_dir) VALUES (1, 0, 'a', '/a', 1),"
            " (2, 1, 'x', '/a/x', 1), (3, 2, 'y.txt', '/a/x/y.txt', 0), (4, 0, 'a b', '/a b', 1);"
            "INSERT INTO cloud_file_cursor VALUES (0, 7);")));
    }
    auto udb = UserDatabase::open(dir.path(), QStringLiteral("1"), QStringLiteral("0"));
    ASSERT_TRUE(udb.ok());
    CloudFileTable& t = udb.value->cloudFiles();
    EXPECT_FALSE(udb.value->wasRebuilt());
    EXPECT_EQ(t.cursor().value, 7);
    EXPECT_EQ(t.count().value, 4);
    EXPECT_EQ(indexCount(udb.value->db()), 1);
    EXPECT_EQ(t.byPath(QStringLiteral("/a/x/y.txt")).value.nid, 3);
    // A rename of a folder rewrites only its own row; paths below it follow.
    NodeRecord renamed = rec(1, 0, "/c", true, 8);
    ASSERT_FALSE(t.applyChanges({renamed}, 8));
    EXPECT_EQ(t.byId(3).value.path, QStringLiteral("/c/x/y.txt"));
    EXPECT_FALSE(t.byPath(QStringLiteral("/a/x")).ok());
    NodeRecord gone = rec(1, 0, "/c", true, 9);
    gone.status = 1;
    ASSERT_FALSE(t.applyChanges({gone}, 9));
    EXPECT_EQ(ids(readBack(t, 2)), (QList<qint64>{4}));
}

TEST(CloudFileTable, LoopInDamagedRowsEndsRemovalAndPathLookups) {
    QTemporaryDir dir;
    auto udb = UserDatabase::open(dir.path(), QStringLiteral("7"), QStringLiteral("1"));
    ASSERT_TRUE(udb.ok());
    CloudFileTable& t = udb.value->cloudFiles();
    // 1 and 2 are each other's parent: reachable from nowhere, and a walk up never ends.
    ASSERT_FALSE(t.upsert({rec(1, 2, "/p", true), rec(2, 1, "/q", true), rec(3, 0, "/r", false)}));
    EXPECT_FALSE(t.byId(1).ok());
    NodeRecord gone = rec(1, 2, "/p", true, 2);
    gone.status = 1;
    ASSERT_FALSE(t.applyChanges({gone}, 2));
    EXPECT_EQ(ids(readBack(t, 2)), (QList<qint64>{3}));
}

// A full load through pages staged in memory (as a first sign-in writes them, several parts of a
// page at once) stores every field as an upsert does, keeps the first of two rows with one id
// (within a part, across the parts of one load, and across loads) and leaves no staged database
// attached.
TEST(CloudFileTable, StagedPagesLoadEveryFieldAndKeepTheFirstOfARepeatedId) {
    QTemporaryDir dir;
    auto udb = UserDatabase::open(dir.path(), QStringLiteral("7"), QStringLiteral("1"));
    ASSERT_TRUE(udb.ok());
    CloudFileTable& t = udb.value->cloudFiles();
    NodeRecord wide = rec(2, 1, QStringLiteral("/docs/報告 ä.txt"), false, qint64(1) << 40);
    wide.size = quint64(5) << 32;
    wide.mtime = 1700000001;
    wide.ctime = 1600000002;
    wide.category = 2;
    wide.fileHash = QStringLiteral("0123456789abcdef0123456789abcdef01234567");
    wide.isLink = wide.isSync = wide.isEditLock = true;
    const NodeList first = {rec(1, 0, "/docs", true), wide, rec(5, 1, "/docs/c", false),
                            rec(5, 0, "/twin in the part", false)};
    const NodeList second = {rec(2, 0, "/later twin", false), rec(3, 1, "/docs/b", false)};
    auto setting = [&](const char* pragma) {
        Query q = udb.value->db().query(QStringLiteral("PRAGMA %1").arg(QLatin1String(pragma)));
        return q.next() ? q.int64(0) : -1;
    };
    const qint64 cacheSize = setting("cache_size"), autoCheckpoint = setting("wal_autocheckpoint");
    ASSERT_FALSE(t.beginFullLoad());
    EXPECT_EQ(setting("wal_autocheckpoint"), 0); // the log is copied beside the load
    std::vector<std::unique_ptr<Database>> stages;
    for (const NodeList& part : {first, second, NodeList{rec(3, 0, "/twin in the load", false)}}) {
        auto staged = t.stagePage(std::span<const NodeRecord>(part.constData(), size_t(part.size())));
        ASSERT_TRUE(staged.ok()) << staged.error.localizedDescription().toStdString();
        stages.push_back(std::move(staged.value));
    }
    ASSERT_FALSE(t.loadStaged(stages));
    const NodeList later = {rec(1, 0, "/twin of a later load", true), rec(4, 3, "/docs/b/d", false)};
    auto staged = t.stagePage(std::span<const NodeRecord>(later.constData(), size_t(later.size())));
    ASSERT_TRUE(staged.ok());
    stages.clear();
    stages.push_back(std::move(staged.value));
    ASSERT_FALSE(t.loadStaged(stages));
    ASSERT_FALSE(t.finishFullLoad(9));
    // What the load changed of the connection is as it was.
    EXPECT_EQ(setting("cache_size"), cacheSize);
    EXPECT_EQ(setting("wal_autocheckpoint"), autoCheckpoint);

    EXPECT_EQ(t.cursor().value, 9);
    EXPECT_EQ(ids(readBack(t, 1)), (QList<qint64>{1, 2, 3, 4, 5}));
    NodeRecord stored = t.byId(2).value;
    EXPECT_EQ(stored.path, QStringLiteral("/docs/報告 ä.txt"));
    stored.path = wide.path;
    EXPECT_EQ(stored, wide);
    EXPECT_EQ(t.byId(5).value.path, QStringLiteral("/docs/c"));
    EXPECT_EQ(t.byId(4).value.path, QStringLiteral("/docs/b/d"));
    EXPECT_EQ(udb.value->db().integrityCheck(), QStringLiteral("ok"));
    EXPECT_EQ(indexCount(udb.value->db()), 1);
    Query attached = udb.value->db().query(
        QStringLiteral("SELECT count(*) FROM pragma_database_list WHERE name NOT IN ('main', 'temp')"));
    ASSERT_TRUE(attached.next());
    EXPECT_EQ(attached.int64(0), 0);
}

// Pages are staged in the make of the table as this file has it: a table of an older make, its
// columns in another order, still gets every field in its own column.
TEST(CloudFileTable, StagedPagesFollowTheFilesOwnTable) {
    QTemporaryDir dir;
    {
        auto db = Database::open(dir.filePath(QStringLiteral("1_0.db")));
        ASSERT_TRUE(db.ok());
        ASSERT_FALSE(db.value->exec(QStringLiteral(
            "CREATE TABLE cloud_file (name TEXT NOT NULL, nid INTEGER PRIMARY KEY,"
            " version INTEGER NOT NULL DEFAULT 0, path TEXT NOT NULL, pid INTEGER NOT NULL,"
            " is_dir INTEGER, size INTEGER, mtime INTEGER, ctime INTEGER, category INTEGER,"
            " file_hash TEXT, status INTEGER, is_link INTEGER, is_sync INTEGER, is_edit_lock INTEGER)")));
    }
    auto udb = UserDatabase::open(dir.path(), QStringLiteral("1"), QStringLiteral("0"));
    ASSERT_TRUE(udb.ok());
    CloudFileTable& t = udb.value->cloudFiles();
    NodeRecord file = rec(2, 1, QStringLiteral("/a/x.txt"), false, 6);
    file.size = 12345;
    file.fileHash = QStringLiteral("ffffffffffffffffffffffffffffffffffffffff");
    const NodeList page = {rec(1, 0, "/a", true, 5), file};
    ASSERT_FALSE(t.beginFullLoad());
    std::vector<std::unique_ptr<Database>> stages;
    auto staged = t.stagePage(std::span<const NodeRecord>(page.constData(), size_t(page.size())));
    ASSERT_TRUE(staged.ok());
    stages.push_back(std::move(staged.value));
    ASSERT_FALSE(t.loadStaged(stages));
    ASSERT_FALSE(t.finishFullLoad(6));
    EXPECT_EQ(t.byId(2).value, file);
    EXPECT_EQ(t.byPath(QStringLiteral("/a")).value.version, 5);
}
