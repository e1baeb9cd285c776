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
    // The read-back of a start: every node with its fields, no paths.
    const NodeList all = t.allNodes().value;
    EXPECT_EQ(ids(all), (QList<qint64>{1, 2, 3, 4}));
    for (const NodeRecord& n : all) {
        EXPECT_TRUE(n.path.isEmpty());
        NodeRecord stored = t.byId(n.nid).value;
        stored.path.clear();
        EXPECT_EQ(n, stored);
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
    EXPECT_EQ(indexCount(udb.value->db()), 2);
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
    EXPECT_EQ(indexCount(udb.value->db()), 2);
}
