#pragma once

// A signed-in session against a real embedded service on a temporary folder, with helpers that
// make share links through the service's own calls.
#include "cloud/KZSessionProxy.h"
#include "support/CloudPrinters.h"
#include "support/EventLoop.h"
#include "support/ServiceFixture.h"
#include "support/SessionReset.h"

#include <QDateTime>
#include <QVariantMap>
#include <gtest/gtest.h>

namespace nubo::test {

class ShareSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_service = new ServiceFixture;
        s_service->installAsShared();
        login();
    }

    static void TearDownTestSuite() {
        signOut();
        resetSession();
        delete s_service;
        s_service = nullptr;
    }

    static void login() { signIn(); }

    static EmbeddedCloudService& service() { return s_service->service(); }

    // A link of a new file at `path` (parents made), as the service lists it.
    static QVariantMap shareFile(const QString& path) {
        const ServiceNode node = s_service->putFile(path, QByteArray("content of ") + path.toUtf8());
        auto made = service().createShare({node.nid});
        EXPECT_TRUE(made.ok()) << made.error.localizedDescription().toStdString();
        return made.value;
    }

    // Brings the session's node copy up to date with what the service holds now.
    static void fetchChanges() {
        struct Waiter : QObject, KZRequestIncrNodeDelegate {
            bool done = false;
            void kzSessionRequestGetIncrNode(KZAbstractSession*, qint64, const QVariantMap&) override {
                done = true;
            }
            void kzSessionRequestGetIncrNodeFail(KZAbstractSession*, qint64, const QVariantMap&,
                                                 const BWError&) override {
                done = true;
            }
        } waiter;
        KZSessionProxy::shareSessionProxy()->requestIncrNodeDelegate(&waiter, false, {});
        ASSERT_TRUE(waitUntil([&] { return waiter.done; }, 10000));
    }

    // The service's record of a link now.
    static QVariantMap record(const QVariantMap& share) {
        auto r = service().share(share.value(QStringLiteral("sid")).toString());
        EXPECT_TRUE(r.ok()) << r.error.localizedDescription().toStdString();
        return r.value;
    }

    // Replaces every link of the service with `count` seeded ones, sid 1 the oldest. Link i is
    // "seed<i>" in "/seed"; kinds: 'v' working, 'c' cancelled, 'e' expired, 'u' working without
    // a time limit (picked by `kindOf(i)`).
    template <class KindOf> static void seedShares(int count, KindOf kindOf) {
        Database& db = service().database();
        Database::Transaction t(db);
        ASSERT_TRUE(t.error().isNull());
        ASSERT_TRUE(db.exec(QStringLiteral("DELETE FROM share_nodes; DELETE FROM shares;")).isNull());
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        Query ins = db.query(QStringLiteral(
            "INSERT INTO shares (sid, shorturl, password, expire, expire_id, status, name, fpath, link_type,"
            " count_size, nids_md5, ctime, mtime) VALUES (?, ?, '', ?, ?, ?, ?, '/seed', 0, ?, '', ?, ?)"));
        for (int i = 1; i <= count; ++i) {
            const char kind = kindOf(i);
            const qint64 expire = kind == 'e' ? now - 60 : kind == 'u' ? 0 : now + 7 * 86400;
            ins.bind(1, qint64(i)).bind(2, QStringLiteral("seed%1").arg(i)).bind(3, expire);
            ins.bind(4, kind == 'u' ? QStringLiteral("0") : QStringLiteral("7")).bind(5, kind == 'c' ? 1 : 0);
            ins.bind(6, QStringLiteral("seed%1.txt").arg(i)).bind(7, qint64(i) * 1024);
            ins.bind(8, now).bind(9, now);
            ASSERT_TRUE(ins.exec().isNull());
            ins.reset();
        }
        ASSERT_TRUE(t.commit().isNull());
    }

    static inline ServiceFixture* s_service = nullptr;
};

} // namespace nubo::test
