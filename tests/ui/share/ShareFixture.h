#pragma once

// A signed-in session against a real embedded service on a temporary folder, with helpers that
// make share links through the service's own calls.
#include "cloud/KZSessionProxy.h"
#include "support/EventLoop.h"
#include "support/ServiceFixture.h"

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
        bool done = false;
        KZSessionProxy::shareSessionProxy()->logoutLocal([&] { done = true; });
        waitUntil([&] { return done; }, 10000);
        delete s_service;
        s_service = nullptr;
    }

    static void login() {
        bool done = false;
        BWError error;
        KZSessionProxy::shareSessionProxy()->loginLocal([&](const BWError& e) {
            error = e;
            done = true;
        });
        ASSERT_TRUE(waitUntil([&] { return done; }, 20000));
        ASSERT_TRUE(error.isNull()) << error.localizedDescription().toStdString();
    }

    static EmbeddedCloudService& service() { return s_service->service(); }

    // A link of a new file at `path` (parents made), as the service lists it.
    static QVariantMap shareFile(const QString& path) {
        const ServiceNode node = s_service->putFile(path, QByteArray("content of ") + path.toUtf8());
        auto made = service().createShare({node.nid});
        EXPECT_TRUE(made.ok()) << made.error.localizedDescription().toStdString();
        return made.value;
    }

    // The service's record of a link now.
    static QVariantMap record(const QVariantMap& share) {
        auto r = service().share(share.value(QStringLiteral("sid")).toString());
        EXPECT_TRUE(r.ok()) << r.error.localizedDescription().toStdString();
        return r.value;
    }

    static inline ServiceFixture* s_service = nullptr;
};

} // namespace nubo::test
