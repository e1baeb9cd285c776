#include "support/ServiceFixture.h"

#include <QDateTime>
#include <QUrl>
#include <QUrlQuery>
#include <gtest/gtest.h>

using namespace nubo;

namespace {

class Share : public ::testing::Test {
protected:
    test::ServiceFixture fx;
    EmbeddedCloudService& s = fx.service();

    static QString selectedChoice(const QVariantMap& share) {
        QString id;
        for (const QVariant& v : share.value(QStringLiteral("expire_day_count_arr")).toList())
            if (v.toMap().value(QStringLiteral("selected")).toBool())
                id = v.toMap().value(QStringLiteral("id")).toString();
        return id;
    }
};

} // namespace

TEST_F(Share, LinkLifecycle) {
    ServiceNode dir = fx.mkdir(QStringLiteral("/photos"));
    fx.putFile(QStringLiteral("/photos/a.jpg"), QByteArray(1000, 'a'));
    fx.putFile(QStringLiteral("/photos/b.jpg"), QByteArray(24, 'b'));
    const qint64 v = s.currentVersion().value;
    auto made = s.createShare({dir.nid});
    ASSERT_TRUE(made.ok()) << made.error.localizedDescription().toStdString();
    QVariantMap share = made.value;
    const QString shortUrl = share.value(QStringLiteral("shorturl")).toString();
    EXPECT_FALSE(shortUrl.isEmpty());
    EXPECT_TRUE(share.value(QStringLiteral("linkurl")).toString().endsWith(shortUrl));
    EXPECT_EQ(share.value(QStringLiteral("name")).toString(), QStringLiteral("photos"));
    EXPECT_EQ(share.value(QStringLiteral("fpath")).toString(), QStringLiteral("/"));
    EXPECT_EQ(share.value(QStringLiteral("status")).toString(), QStringLiteral("0"));
    EXPECT_EQ(share.value(QStringLiteral("link_type")).toString(), QStringLiteral("1"));
    EXPECT_EQ(share.value(QStringLiteral("count_size")).toString(), QStringLiteral("1024"));
    EXPECT_EQ(share.value(QStringLiteral("password")).toString(), QString());
    QStringList descs;
    for (const QVariant& c : share.value(QStringLiteral("expire_day_count_arr")).toList())
        descs.append(c.toMap().value(QStringLiteral("id")).toString() +
                     c.toMap().value(QStringLiteral("desc")).toString());
    EXPECT_EQ(descs, QStringList({QStringLiteral("11天"), QStringLiteral("77天"), QStringLiteral("0不限")}));
    EXPECT_EQ(selectedChoice(share), QStringLiteral("7"));
    // The shared node now carries the link flag, through the change log.
    auto changed = s.fetchChanges(v, 100).value.nodes;
    ASSERT_EQ(changed.size(), 1);
    EXPECT_TRUE(changed.first().isLink);
    EXPECT_EQ(s.share(share.value(QStringLiteral("sid")).toString()).value.value(QStringLiteral("shorturl")),
              shortUrl);

    EXPECT_EQ(s.setSharePassword(shortUrl, QStringLiteral("ab12")).value, QStringLiteral("ab12"));
    EXPECT_EQ(s.setSharePassword(shortUrl, QStringLiteral("a b")).error.code(), kCloudErrorInvalidArgument);
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    auto expiry = s.setShareExpire(shortUrl, QStringLiteral("1"));
    ASSERT_TRUE(expiry.ok());
    const qint64 expire = expiry.value.value(QStringLiteral("expire")).toString().toLongLong();
    EXPECT_GE(expire, before + 86400);
    EXPECT_LE(expire, before + 86400 + 5);
    EXPECT_EQ(s.setShareExpire(shortUrl, QStringLiteral("30")).error.code(), kCloudErrorInvalidArgument);
    QVariantMap now = s.listShares(0, 10).value.first().toMap();
    EXPECT_EQ(now.value(QStringLiteral("password")).toString(), QStringLiteral("ab12"));
    EXPECT_EQ(selectedChoice(now), QStringLiteral("1"));
    EXPECT_EQ(
        s.setShareExpire(shortUrl, QStringLiteral("0")).value.value(QStringLiteral("expire")).toString(),
        QStringLiteral("0"));

    ASSERT_FALSE(s.cancelSharesByPaths({QStringLiteral("/photos/")}));
    QVariantMap cancelled = s.listShares(0, 10).value.first().toMap();
    EXPECT_NE(cancelled.value(QStringLiteral("status")).toString(), QStringLiteral("0"));
    EXPECT_FALSE(cancelled.value(QStringLiteral("status_desc")).toString().isEmpty());
    EXPECT_FALSE(s.node(dir.nid).value.isLink);

    ASSERT_FALSE(s.deleteShare(shortUrl));
    EXPECT_TRUE(s.listShares(0, 10).value.isEmpty());
    EXPECT_EQ(s.cancelShare(shortUrl).code(), kCloudErrorShareNotFound);
    EXPECT_EQ(s.setSharePassword(shortUrl, {}).error.code(), kCloudErrorShareNotFound);
    EXPECT_EQ(s.cancelSharesByPaths({QStringLiteral("/nope")}).code(), kCloudErrorNotFound);
}

TEST_F(Share, NodeStaysLinkedWhileAnotherLinkRemains) {
    ServiceNode f = fx.putFile(QStringLiteral("/f.txt"), "x");
    ServiceNode g = fx.putFile(QStringLiteral("/g.txt"), "y");
    QString first = s.createShare({f.nid}).value.value(QStringLiteral("shorturl")).toString();
    QVariantMap both = s.createShare({f.nid, g.nid}).value;
    EXPECT_EQ(both.value(QStringLiteral("link_type")).toString(), QStringLiteral("1"));
    ASSERT_FALSE(s.cancelShare(first));
    EXPECT_TRUE(s.node(f.nid).value.isLink);
    ASSERT_FALSE(s.cancelShare(both.value(QStringLiteral("shorturl")).toString()));
    EXPECT_FALSE(s.node(f.nid).value.isLink);
    EXPECT_FALSE(s.node(g.nid).value.isLink);
    EXPECT_EQ(s.createShare({0}).error.code(), kCloudErrorRootRefused);
    EXPECT_EQ(s.createShare({}).error.code(), kCloudErrorInvalidArgument);
}

// Deleting a node, or a folder above it, lapses every working link of it in the same step: the
// invalid list shows them as cancelled, and a node that stays loses a lapsed link's flag.
TEST_F(Share, DeletingANodeLapsesItsLinks) {
    fx.mkdir(QStringLiteral("/docs/deep"));
    ServiceNode inner = fx.putFile(QStringLiteral("/docs/deep/a.txt"), "a");
    ServiceNode single = fx.putFile(QStringLiteral("/b.txt"), "b");
    ServiceNode kept = fx.putFile(QStringLiteral("/c.txt"), "c");
    ServiceNode other = fx.putFile(QStringLiteral("/docsx.txt"), "d"); // a name that sorts among /docs/
    const auto link = [&](const QList<qint64>& nids) {
        return s.createShare(nids).value.value(QStringLiteral("shorturl")).toString();
    };
    const QString ofInner = link({inner.nid});
    const QString ofFolder = link({s.nodeByPath(QStringLiteral("/docs")).value.nid});
    const QString ofTwo = link({single.nid, kept.nid});
    const QString ofOther = link({other.nid});
    const auto statusOf = [&](const QString& shortUrl) -> QString {
        for (const QVariant& v : s.listShares(0, 100).value)
            if (v.toMap().value(QStringLiteral("shorturl")).toString() == shortUrl)
                return v.toMap().value(QStringLiteral("status_desc")).toString() + u'/' +
                       v.toMap().value(QStringLiteral("status")).toString();
        return QStringLiteral("missing");
    };

    ASSERT_FALSE(s.remove({s.nodeByPath(QStringLiteral("/docs")).value.nid}));
    EXPECT_EQ(statusOf(ofInner), QStringLiteral("已取消/1"));
    EXPECT_EQ(statusOf(ofFolder), QStringLiteral("已取消/1"));
    EXPECT_EQ(statusOf(ofOther), QStringLiteral("/0"));

    const qint64 v = s.currentVersion().value;
    ASSERT_FALSE(s.remove({single.nid}));
    EXPECT_EQ(statusOf(ofTwo), QStringLiteral("已取消/1"));
    EXPECT_FALSE(s.node(kept.nid).value.isLink);
    bool keptReported = false;
    for (const auto& n : s.fetchChanges(v, 100).value.nodes)
        keptReported = keptReported || (n.nid == kept.nid && !n.isLink);
    EXPECT_TRUE(keptReported);

    // An upload that replaces a shared file sends the old one to the recycle bin too.
    const QString ofReplaced = link({other.nid});
    ASSERT_TRUE(
        s.uploadSmallFile(0, QStringLiteral("docsx.txt"), "new", test::ServiceFixture::sha1("new"), true)
            .ok());
    EXPECT_EQ(statusOf(ofReplaced), QStringLiteral("已取消/1"));
}

TEST_F(Share, PagesOfExactlyAThousand) {
    ServiceNode f = fx.putFile(QStringLiteral("/f.txt"), "x");
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(s.createShare({f.nid}).ok());
    EXPECT_EQ(s.listShares(0, 1000).value.size(), 1000);
    EXPECT_TRUE(s.listShares(1000, 1000).value.isEmpty());
    ASSERT_TRUE(s.createShare({f.nid}).ok());
    auto p1 = s.listShares(0, 1000).value;
    auto p2 = s.listShares(1000, 1000).value;
    ASSERT_EQ(p2.size(), 1);
    // Newest first, with no entry on two pages.
    EXPECT_GT(p1.first().toMap().value(QStringLiteral("sid")).toLongLong(),
              p2.first().toMap().value(QStringLiteral("sid")).toLongLong());
    EXPECT_EQ(s.listShares(0, 1001).error.code(), kCloudErrorInvalidArgument);
}

TEST_F(Share, LoginJumpCarriesTheKey) {
    const QString key = QStringLiteral("https://x.invalid/s/abc?d=1&e=中");
    auto url = s.loginJumpUrl(key);
    ASSERT_TRUE(url.ok());
    QUrl u(url.value);
    EXPECT_TRUE(u.isValid());
    QUrlQuery q(u);
    EXPECT_EQ(QUrl::fromPercentEncoding(q.queryItemValue(QStringLiteral("key"), QUrl::FullyEncoded).toUtf8()),
              key);
    EXPECT_FALSE(q.queryItemValue(QStringLiteral("ticket")).isEmpty());
    EXPECT_NE(s.loginJumpUrl(key).value, url.value);
    EXPECT_EQ(s.loginJumpUrl({}).error.code(), kCloudErrorInvalidArgument);
}
