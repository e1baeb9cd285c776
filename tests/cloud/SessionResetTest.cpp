#include "support/SessionReset.h"
#include "cloud/SessionFixture.h"
#include "foundation/SingletonT.h"

namespace nubo::test {
namespace {

using SessionReset = SessionTest;

TEST_F(SessionReset, ARequestStillQueuedIsDroppedAndTheFreshSessionStartsSignedOut) {
    const qint64 docs = m_service.mkdir("/Docs").nid;
    // Nothing runs on the main thread before the reset, so every answer is still pending then.
    for (int i = 0; i < 5; ++i)
        proxy()->getFileListByNid(0, QStringLiteral("/"), 0, &recorder, {});
    proxy()->requestIncrNodeDelegate(&recorder, false, {});
    bool loggedOut = false;
    proxy()->logoutLocal([&] { loggedOut = true; });
    resetSession(); // the requests finish first on the background thread; their answers are dropped
    drainEvents();
    EXPECT_TRUE(recorder.answers.isEmpty()); // the proxy that asked is gone: nobody is called
    EXPECT_FALSE(loggedOut);

    bool signedIn = true;
    KZBackgroundThread::shared().runAndWait([&] { signedIn = KZSession::sharedSession().isLoggedIn(); });
    EXPECT_FALSE(signedIn);
    EXPECT_TRUE(proxy()->userDetail().isEmpty());
    EXPECT_EQ(proxy()->currentNode(docs), nullptr);
    EXPECT_EQ(proxy()->backForwordList()->curNode(), nullptr);

    // The fresh proxy fronts the fresh session: it signs in, lists and hears changes.
    proxy()->addSessionObserver(&recorder);
    login();
    EXPECT_EQ(names(list(0).files), QStringList{"Docs"});
    m_service.mkdir("/Docs/New");
    const qint64 id = proxy()->requestIncrNodeDelegate(&recorder, false, {});
    ASSERT_TRUE(recorder.wait(id));
    ASSERT_FALSE(recorder.changes.isEmpty());
    EXPECT_EQ(recorder.changes.last().nid, docs);
}

TEST(ImageCacheReset, TheFreshCacheHoldsNothingAndHasNoBudget) {
    KZImageCache* cache = KZImageCache::shareInstance();
    cache->setMemoryCacheSize(1 << 20);
    auto f = CloudFileInfo::create();
    f->setNid(7);
    QImage img(4, 4, QImage::Format_ARGB32);
    img.fill(Qt::red);
    cache->setImage(img, f);
    ASSERT_EQ(cache->imageCount(), 1);
    SingletonT<KZImageCache>::reset();
    EXPECT_EQ(KZImageCache::shareInstance()->imageCount(), 0);
    EXPECT_EQ(KZImageCache::shareInstance()->memoryCacheSize(), 0);
    EXPECT_TRUE(KZImageCache::shareInstance()->imageForCloudFile(f).isNull());
}

} // namespace
} // namespace nubo::test
