#include "support/ServiceFixture.h"

#include <QElapsedTimer>
#include <algorithm>
#include <gtest/gtest.h>

using namespace nubo;

namespace {

class Tree : public ::testing::Test {
protected:
    test::ServiceFixture fx;
    EmbeddedCloudService& s = fx.service();

    qint64 version() { return s.currentVersion().value; }
    NodeList changesSince(qint64 v) {
        auto page = s.fetchChanges(v, 1000);
        EXPECT_TRUE(page.ok());
        return page.value.nodes;
    }
    static QStringList paths(const NodeList& nodes) {
        QStringList out;
        for (const auto& n : nodes)
            out.append(n.isDeleted() ? QStringLiteral("-") + n.path : n.path);
        out.sort();
        return out;
    }
    QStringList allPaths() {
        NodeList all;
        qint64 after = 0;
        for (;;) {
            auto page = s.fetchAllNodes(after, 3);
            EXPECT_TRUE(page.ok());
            all += page.value.nodes;
            after = page.value.next;
            if (!page.value.hasMore)
                break;
        }
        return paths(all);
    }
};

} // namespace

TEST_F(Tree, OperationsAndTheirChangeLogEntries) {
    const qint64 v0 = version();
    ServiceNode docs = s.createFolder(CloudService::kRootId, QStringLiteral("docs")).value;
    ServiceNode sub = s.createFolderAtPath(QStringLiteral("/docs/sub")).value;
    ServiceNode file = fx.putFile(QStringLiteral("/docs/sub/a.txt"), "abc");
    EXPECT_EQ(sub.pid, docs.nid);
    EXPECT_EQ(file.path, QStringLiteral("/docs/sub/a.txt"));
    EXPECT_EQ(paths(changesSince(v0)), QStringList({"/docs", "/docs/sub", "/docs/sub/a.txt"}));

    // Renaming a folder changes the paths of everything below it, and the log says so.
    qint64 v = version();
    auto renamed = s.rename(docs.nid, QStringLiteral("papers"));
    ASSERT_TRUE(renamed.ok());
    EXPECT_EQ(paths(changesSince(v)), QStringList({"/papers", "/papers/sub", "/papers/sub/a.txt"}));
    EXPECT_EQ(s.node(file.nid).value.path, QStringLiteral("/papers/sub/a.txt"));

    v = version();
    ServiceNode other = s.createFolder(CloudService::kRootId, QStringLiteral("other")).value;
    ASSERT_TRUE(s.move(sub.nid, other.nid).ok());
    EXPECT_EQ(paths(changesSince(v)), QStringList({"/other", "/other/sub", "/other/sub/a.txt"}));

    v = version();
    ASSERT_FALSE(s.remove({other.nid}));
    EXPECT_EQ(paths(changesSince(v)), QStringList({"-/other", "-/other/sub", "-/other/sub/a.txt"}));
    EXPECT_EQ(s.node(file.nid).error.code(), kCloudErrorNotFound);
    EXPECT_EQ(allPaths(), QStringList({"/papers"}));
    // The name is free again once its node is in the recycle bin.
    EXPECT_TRUE(s.createFolder(CloudService::kRootId, QStringLiteral("other")).ok());
    Query rec = s.database().query(QStringLiteral("SELECT path FROM recycle"));
    ASSERT_TRUE(rec.next());
    EXPECT_EQ(rec.text(0), QStringLiteral("/other"));
}

TEST_F(Tree, NamesAreValidated) {
    const std::string longAscii(256, 'x');
    const QString ok255 = QString::fromStdString(std::string(255, 'y'));
    const QString cjk85 = QString(85, QChar(0x4E2D)); // 255 bytes in UTF-8
    const QString cjk86 = QString(86, QChar(0x4E2D)); // 258 bytes
    const QStringList refused = {QString(),
                                 QStringLiteral("."),
                                 QStringLiteral(".."),
                                 QStringLiteral("a/b"),
                                 QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b")),
                                 QStringLiteral("new\nline.txt"),
                                 QStringLiteral("tab\t"),
                                 QStringLiteral("\x1b[31mred"),
                                 QStringLiteral("del\x7f"),
                                 QString::fromStdString(longAscii),
                                 cjk86};
    for (const QString& bad : refused) {
        auto r = s.createFolder(CloudService::kRootId, bad);
        EXPECT_EQ(r.error.code(), kCloudErrorInvalidName) << bad.toStdString();
        EXPECT_FALSE(r.error.localizedDescription().isEmpty());
    }
    EXPECT_TRUE(s.createFolder(CloudService::kRootId, ok255).ok());
    ServiceNode n = s.createFolder(CloudService::kRootId, cjk85).value;
    EXPECT_EQ(s.rename(n.nid, QStringLiteral("..")).error.code(), kCloudErrorInvalidName);
    EXPECT_EQ(s.rename(n.nid, QString()).error.code(), kCloudErrorInvalidName);
    EXPECT_EQ(s.copy(n.nid, 0, QStringLiteral("x/y")).error.code(), kCloudErrorInvalidName);
    EXPECT_EQ(s.rename(n.nid, QStringLiteral("a\rb")).error.code(), kCloudErrorInvalidName);
    EXPECT_EQ(s.beginUpload(0, QStringLiteral("a\nb"), 0, test::ServiceFixture::sha1({}), {}).error.code(),
              kCloudErrorInvalidName);
    auto up = s.beginUpload(0, QStringLiteral("a/b"), 0, test::ServiceFixture::sha1({}), {});
    EXPECT_EQ(up.error.code(), kCloudErrorInvalidName);
    QStringList expected = {QStringLiteral("/") + cjk85, QStringLiteral("/") + ok255};
    expected.sort();
    EXPECT_EQ(allPaths(), expected);
}

TEST_F(Tree, TakenNamesAreRefusedWithTheirOwnCode) {
    ServiceNode a = fx.mkdir(QStringLiteral("/a"));
    ServiceNode b = fx.mkdir(QStringLiteral("/b"));
    fx.mkdir(QStringLiteral("/b/a"));
    fx.putFile(QStringLiteral("/a/f"), "1");
    EXPECT_EQ(s.createFolder(0, QStringLiteral("a")).error.code(), kCloudErrorNameExists);
    EXPECT_EQ(s.rename(b.nid, QStringLiteral("a")).error.code(), kCloudErrorNameExists);
    EXPECT_EQ(s.move(a.nid, b.nid).error.code(), kCloudErrorNameExists);
    EXPECT_EQ(s.copy(a.nid, b.nid).error.code(), kCloudErrorNameExists);
    EXPECT_EQ(s.createFolder(a.nid, QStringLiteral("f")).error.code(), kCloudErrorNameExists);
    // Renaming to its own name, or a name differing in case only, is no conflict.
    EXPECT_TRUE(s.rename(a.nid, QStringLiteral("a")).ok());
    EXPECT_TRUE(s.rename(a.nid, QStringLiteral("A")).ok());
}

TEST_F(Tree, MovesAndCopiesIntoOwnSubtreeAndRootAreRefused) {
    ServiceNode a = fx.mkdir(QStringLiteral("/a"));
    ServiceNode deep = fx.mkdir(QStringLiteral("/a/b/c"));
    for (qint64 dest : {a.nid, deep.nid}) {
        EXPECT_EQ(s.move(a.nid, dest).error.code(), kCloudErrorMoveIntoSelf);
        EXPECT_EQ(s.copy(a.nid, dest, QStringLiteral("copy")).error.code(), kCloudErrorMoveIntoSelf);
    }
    EXPECT_EQ(s.move(0, a.nid).error.code(), kCloudErrorRootRefused);
    EXPECT_EQ(s.remove({0}).code(), kCloudErrorRootRefused);
    EXPECT_EQ(s.rename(0, QStringLiteral("x")).error.code(), kCloudErrorRootRefused);
    // A sibling whose name starts with the folder's is not inside it.
    ServiceNode ab = fx.mkdir(QStringLiteral("/ab"));
    EXPECT_TRUE(s.move(ab.nid, a.nid).ok());
    EXPECT_EQ(allPaths(), QStringList({"/a", "/a/ab", "/a/b", "/a/b/c"}));
}

TEST_F(Tree, RemoveIsAllOrNothing) {
    ServiceNode a = fx.mkdir(QStringLiteral("/a"));
    ServiceNode b = fx.mkdir(QStringLiteral("/a/b"));
    EXPECT_EQ(s.remove({a.nid, 12345}).code(), kCloudErrorNotFound);
    EXPECT_EQ(allPaths(), QStringList({"/a", "/a/b"}));
    EXPECT_FALSE(s.remove({b.nid, a.nid}));
    EXPECT_TRUE(allPaths().isEmpty());
}

TEST_F(Tree, DeepCopyGetsNewIdsAndSharesContent) {
    fx.putFile(QStringLiteral("/src/one.txt"), "one");
    fx.putFile(QStringLiteral("/src/x/two.bin"),
               test::ServiceFixture::randomBytes(CloudService::kBlockSize + 10, 1));
    fx.mkdir(QStringLiteral("/src/x/y/z"));
    ServiceNode src = s.nodeByPath(QStringLiteral("/src")).value;
    ServiceNode dest = fx.mkdir(QStringLiteral("/dest"));
    const qint64 v = version();
    auto copy = s.copy(src.nid, dest.nid);
    ASSERT_TRUE(copy.ok()) << copy.error.localizedDescription().toStdString();
    EXPECT_NE(copy.value.nid, src.nid);
    EXPECT_EQ(paths(changesSince(v)),
              QStringList({"/dest/src", "/dest/src/one.txt", "/dest/src/x", "/dest/src/x/two.bin",
                           "/dest/src/x/y", "/dest/src/x/y/z"}));
    ServiceNode two = s.nodeByPath(QStringLiteral("/dest/src/x/two.bin")).value;
    ServiceNode orig = s.nodeByPath(QStringLiteral("/src/x/two.bin")).value;
    EXPECT_NE(two.nid, orig.nid);
    EXPECT_EQ(s.node(two.pid).value.path, QStringLiteral("/dest/src/x"));
    EXPECT_EQ(fx.readAll(two.nid), fx.readAll(orig.nid));
    // A copy under a new name, beside the original.
    EXPECT_EQ(s.copy(src.nid, 0, QStringLiteral("src (2)")).value.path, QStringLiteral("/src (2)"));
    EXPECT_EQ(allPaths().size(), 6 + 6 + 6 + 1);
    EXPECT_FALSE(s.verifyContent());
}

TEST_F(Tree, ChangePagesNeverSplitOneChange) {
    ServiceNode a = fx.mkdir(QStringLiteral("/a"));
    for (int i = 0; i < 9; ++i)
        ASSERT_TRUE(s.createFolder(a.nid, QString::number(i)).ok());
    ServiceNode b = fx.mkdir(QStringLiteral("/b"));
    const qint64 v = version();
    ASSERT_TRUE(s.move(a.nid, b.nid).ok()); // one change of 10 nodes
    ASSERT_TRUE(s.createFolder(0, QStringLiteral("c")).ok());
    ASSERT_TRUE(s.createFolder(0, QStringLiteral("d")).ok());
    auto first = s.fetchChanges(v, 4);
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(first.value.nodes.size(), 10); // the whole move, though more than the limit
    EXPECT_TRUE(first.value.hasMore);
    auto second = s.fetchChanges(first.value.next, 3);
    EXPECT_EQ(paths(second.value.nodes), QStringList({"/c", "/d"}));
    EXPECT_FALSE(second.value.hasMore);
    auto third = s.fetchChanges(v + 1, 2);
    EXPECT_EQ(paths(third.value.nodes), QStringList({"/c"})); // never half of the next version
    EXPECT_TRUE(third.value.hasMore);
    // A version that changed no node (a second link on a linked node) never keeps a client paging.
    const qint64 c = s.nodeByPath(QStringLiteral("/c")).value.nid;
    ASSERT_TRUE(s.createShare({c}).ok());
    const qint64 mid = version();
    ASSERT_TRUE(s.createShare({c}).ok());
    auto rest = s.fetchChanges(mid, 100);
    EXPECT_TRUE(rest.value.nodes.isEmpty());
    EXPECT_FALSE(rest.value.hasMore);
    EXPECT_EQ(rest.value.next, version());
}

// Large pages are read in parts on several connections: each still holds exactly the next live
// nodes in id order, across ids never given and nodes removed (whose ranges hold fewer nodes
// than ids), as small pages read them one by one.
TEST_F(Tree, LargePagesHoldTheNextLiveNodesInOrder) {
    NodeList nodes;
    for (qint64 f = 1; f <= 4; ++f) {
        NodeRecord dir;
        dir.nid = f;
        dir.pid = 0;
        dir.name = QStringLiteral("dir%1").arg(f);
        dir.isDir = true;
        nodes.append(dir);
    }
    for (qint64 i = 0; i < 30000; ++i) {
        NodeRecord file;
        file.nid = 100 + i * (i % 7 == 0 ? 5 : 2); // runs of ids never given
        file.pid = 1 + i % 4;
        file.name = QStringLiteral("文件 %1.txt").arg(i);
        file.size = quint64(i);
        nodes.append(file);
    }
    std::sort(nodes.begin(), nodes.end(),
              [](const NodeRecord& a, const NodeRecord& b) { return a.nid < b.nid; });
    nodes.erase(std::unique(nodes.begin(), nodes.end(),
                            [](const NodeRecord& a, const NodeRecord& b) { return a.nid == b.nid; }),
                nodes.end());
    ASSERT_FALSE(s.importNodes(nodes));
    ASSERT_FALSE(s.remove({2})); // a quarter of the files, all through the ids

    auto pages = [&](int limit) {
        NodeList all;
        int count = 0;
        for (qint64 after = 0;; ++count) {
            auto page = s.fetchAllNodes(after, limit);
            EXPECT_TRUE(page.ok());
            EXPECT_LE(page.value.nodes.size(), limit);
            all += page.value.nodes;
            after = page.value.next;
            if (!page.value.hasMore || count > 1000)
                break;
        }
        return all;
    };
    const NodeList one = pages(997);
    ASSERT_GT(one.size(), 20000);
    for (qsizetype i = 1; i < one.size(); ++i) {
        ASSERT_LT(one[i - 1].nid, one[i].nid);
        ASSERT_FALSE(one[i].isDeleted());
        ASSERT_NE(one[i].pid, 2);
    }
    for (int limit : {9000, 12345, 100000})
        EXPECT_EQ(pages(limit), one) << limit;
    // A large page near the last id, where fewer ids are left than a part takes.
    auto tail = s.fetchAllNodes(one[one.size() - 10].nid, 50000);
    ASSERT_TRUE(tail.ok());
    EXPECT_EQ(tail.value.nodes, one.mid(one.size() - 9));
    EXPECT_FALSE(tail.value.hasMore);
}

TEST_F(Tree, FaultsCanBeInjected) {
    s.failNext(ServiceOp::CreateFolder, 2, BWError(BWError::kDomainNetwork, -1001));
    EXPECT_EQ(s.createFolder(0, QStringLiteral("a")).error.domain(), BWError::kDomainNetwork);
    EXPECT_EQ(s.createFolder(0, QStringLiteral("a")).error.code(), -1001);
    EXPECT_TRUE(s.createFolder(0, QStringLiteral("a")).ok());
    s.setDelay(ServiceOp::Lookup, 60);
    QElapsedTimer timer;
    timer.start();
    ServiceNode a = s.nodeByPath(QStringLiteral("/a")).value;
    EXPECT_GE(timer.elapsed(), 60);
    s.clearFaults();
    const qint64 v = version();
    ASSERT_FALSE(s.setSyncLocked(a.nid, true));
    ASSERT_FALSE(s.setEditLocked(a.nid, true));
    NodeList changed = changesSince(v);
    ASSERT_EQ(changed.size(), 1);
    EXPECT_TRUE(changed.first().isSync);
    EXPECT_TRUE(changed.first().isEditLock);
}

TEST_F(Tree, AccountIsSettable) {
    auto a = s.account();
    ASSERT_TRUE(a.ok());
    EXPECT_FALSE(a.value.userId.isEmpty());
    ServiceAccount acct{QStringLiteral("42"),
                        QStringLiteral("9"),
                        {{QStringLiteral("is_admin"), true},
                         {QStringLiteral("package_id"), 1},
                         {QStringLiteral("expire_day"), 30}}};
    ASSERT_FALSE(s.setAccount(acct));
    auto b = s.account().value;
    EXPECT_EQ(b.userId, QStringLiteral("42"));
    EXPECT_EQ(b.enterpriseId, QStringLiteral("9"));
    EXPECT_EQ(b.userDetail.value(QStringLiteral("package_id")).toInt(), 1);
    EXPECT_TRUE(b.userDetail.value(QStringLiteral("is_admin")).toBool());
}
