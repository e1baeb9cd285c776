#include "service/EmbeddedCloudService.h"
#include "transport/TransferSession.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace nubo;
using namespace nubo::transfer;

// Sign-out lets the account's service go: nothing of the transfers keeps it, and the work it may
// still have open, alive into the next account or to the end of the process.
TEST(TransferSession, SignOutLetsTheServiceGo) {
    QTemporaryDir dir;
    createTransferProxies();
    std::weak_ptr<EmbeddedCloudService> left;
    {
        auto opened = EmbeddedCloudService::open(dir.path() + QStringLiteral("/service"));
        ASSERT_TRUE(opened.ok());
        left = opened.value;
        ASSERT_FALSE(signInTransfers(opened.value, dir.path() + QStringLiteral("/user.db")));
    }
    EXPECT_FALSE(left.expired());
    signOutTransfers();
    EXPECT_TRUE(left.expired());
}
