#include "foundation/Dispatch.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Weak.h"
#include "support/EventLoop.h"

#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

using namespace nubo;

TEST(Dispatch, BackgroundWorkComesBackOnTheMainThread) {
    QThread* seenWorker = nullptr;
    bool backOnMain = false;
    KZBackgroundThread::shared().run([&] {
        seenWorker = QThread::currentThread();
        runOnMain([&] { backOnMain = isMainThread(); });
    });
    ASSERT_TRUE(test::waitUntil([&] { return backOnMain; }));
    EXPECT_EQ(seenWorker, KZBackgroundThread::shared().thread());
}

TEST(NotificationCenter, DeliversSynchronouslyAndForgetsDestroyedObservers) {
    NotificationCenter center;
    int calls = 0;
    auto* observer = new QObject;
    center.addObserver(observer, QStringLiteral("A"), [&](const Notification& n) {
        ++calls;
        EXPECT_EQ(n.userInfo.value(QStringLiteral("k")).toInt(), 7);
    });
    center.post(QStringLiteral("A"), {}, {{QStringLiteral("k"), 7}});
    center.post(QStringLiteral("B"));
    EXPECT_EQ(calls, 1);
    delete observer;
    center.post(QStringLiteral("A"), {}, {{QStringLiteral("k"), 7}});
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(center.observerCount(), 0);
}

TEST(NotificationCenter, AnObserverRemovedDuringDeliveryIsNotCalled) {
    NotificationCenter center;
    QObject first, second;
    int secondCalls = 0;
    center.addObserver(&first, QStringLiteral("N"), [&](const Notification&) { center.removeObserver(&second); });
    center.addObserver(&second, QStringLiteral("N"), [&](const Notification&) { ++secondCalls; });
    center.post(QStringLiteral("N"));
    EXPECT_EQ(secondCalls, 0);
}

TEST(NotificationCenter, RemovalWaitsForADeliveryOnAnotherThread) {
    // The background thread is inside the observer's handler when the main thread removes the
    // observer (as its destructor would): the removal must not return before the handler ends.
    NotificationCenter center;
    QObject observer;
    std::atomic<bool> entered{false}, removing{false}, finished{false};
    center.addObserver(&observer, QStringLiteral("N"), [&](const Notification&) {
        entered = true;
        while (!removing)
            QThread::yieldCurrentThread();
        QThread::msleep(50); // a handler still at work while the removal is asked for
        finished = true;
    });
    KZBackgroundThread::shared().run([&] { center.post(QStringLiteral("N")); });
    EXPECT_TRUE(test::waitUntil([&] { return entered.load(); }));
    removing = true;
    center.removeObserver(&observer);
    EXPECT_TRUE(finished);
    EXPECT_EQ(center.observerCount(), 0);
    KZBackgroundThread::shared().runAndWait([] {}); // the post is over before the centre goes
}

namespace {
struct Listener {
    virtual ~Listener() = default;
    virtual void ping() = 0;
};
struct ListenerObject : QObject, Listener {
    int pings = 0;
    void ping() override { ++pings; }
};
} // namespace

TEST(WeakList, HoldsMembersOnceAndWeakly) {
    WeakList<Listener> list;
    auto* a = new ListenerObject;
    ListenerObject b;
    EXPECT_TRUE(list.add(a));
    EXPECT_FALSE(list.add(a));
    EXPECT_TRUE(list.add(&b));
    list.forEach([](Listener* l) { l->ping(); });
    EXPECT_EQ(a->pings, 1);
    delete a;
    EXPECT_EQ(list.count(), 1);
    EXPECT_TRUE(list.remove(&b));
    EXPECT_FALSE(list.remove(&b));
}
