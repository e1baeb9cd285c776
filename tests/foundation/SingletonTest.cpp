#include "foundation/Dispatch.h"
#include "foundation/NetworkMonitor.h"
#include "foundation/NotificationCenter.h"
#include "foundation/SingletonT.h"
#include "support/EventLoop.h"

#include <QThread>
#include <gtest/gtest.h>

using namespace nubo;

namespace {

// Stand-ins whose destruction says where it ran and what work was still to come.
struct Counter {
    int value = 0;
    ~Counter() { ++ended; }
    static inline int ended = 0;
};

struct BackgroundCounter {
    static constexpr bool kEndsOnBackgroundThread = true;
    int value = 0;
    ~BackgroundCounter() {
        endedOn = QThread::currentThread();
        valueAtEnd = value;
    }
    static inline QThread* endedOn = nullptr;
    static inline int valueAtEnd = -1;
};

struct Watched : QObject {
    int watchers() const { return receivers(SIGNAL(destroyed(QObject*))); }
};

} // namespace

TEST(SingletonT, AResetHandsOutAFreshObjectAndExistingNeverMakesOne) {
    SingletonT<Counter>::reset();
    EXPECT_EQ(SingletonT<Counter>::existing(), nullptr);
    Counter::ended = 0;
    SingletonT<Counter>::instance().value = 5;
    EXPECT_EQ(&SingletonT<Counter>::instance(), SingletonT<Counter>::existing());
    SingletonT<Counter>::reset();
    EXPECT_EQ(Counter::ended, 1);
    EXPECT_EQ(SingletonT<Counter>::existing(), nullptr);
    EXPECT_EQ(SingletonT<Counter>::instance().value, 0);
    SingletonT<Counter>::reset();
    SingletonT<Counter>::reset(); // nothing to end: nothing happens
    EXPECT_EQ(Counter::ended, 2);
}

TEST(SingletonT, AnObjectOfTheBackgroundThreadEndsThereBehindTheWorkQueuedBefore) {
    SingletonT<BackgroundCounter>::instance();
    // The reset takes its place in the queue: work queued before it reaches the old object,
    // work queued after it the fresh one.
    for (int i = 0; i < 50; ++i)
        KZBackgroundThread::shared().run([] { ++SingletonT<BackgroundCounter>::instance().value; });
    SingletonT<BackgroundCounter>::reset();
    EXPECT_EQ(BackgroundCounter::endedOn, KZBackgroundThread::shared().thread());
    EXPECT_EQ(BackgroundCounter::valueAtEnd, 50);
    KZBackgroundThread::shared().run([] { ++SingletonT<BackgroundCounter>::instance().value; });
    int value = -1;
    KZBackgroundThread::shared().runAndWait([&] { value = SingletonT<BackgroundCounter>::instance().value; });
    EXPECT_EQ(value, 1);
    SingletonT<BackgroundCounter>::reset();
}

TEST(SingletonT, TheNotificationCentreForgetsItsObserversAndTheyMayOutliveIt) {
    auto& center = NotificationCenter::defaultCenter();
    auto* observer = new QObject;
    int heard = 0;
    center.addObserver(observer, QStringLiteral("A"), [&](const Notification&) { ++heard; });
    ASSERT_EQ(center.observerCount(), 1);
    SingletonT<NotificationCenter>::reset();
    EXPECT_EQ(NotificationCenter::defaultCenter().observerCount(), 0);
    NotificationCenter::defaultCenter().post(QStringLiteral("A"));
    EXPECT_EQ(heard, 0);
    // Its destruction used to tell the freed centre (seen under the address sanitizer).
    delete observer;
    SingletonT<NotificationCenter>::reset();
}

TEST(NotificationCenter, AnObserverThatLeftIsNoLongerWatched) {
    NotificationCenter center;
    Watched observer;
    for (int i = 0; i < 3; ++i) {
        const quint64 token = center.addObserver(&observer, QStringLiteral("A"), [](const Notification&) {});
        center.addObserver(&observer, QStringLiteral("B"), [](const Notification&) {});
        center.removeObserver(token);
        center.removeObserver(&observer);
    }
    EXPECT_EQ(observer.watchers(), 0);
    int heard = 0;
    center.addObserver(&observer, QStringLiteral("A"), [&](const Notification&) { ++heard; });
    EXPECT_EQ(observer.watchers(), 1);
    center.post(QStringLiteral("A"));
    EXPECT_EQ(heard, 1);
}

TEST(SingletonT, TheNetworkMonitorStartsAfreshFromTheMachinesState) {
    NetworkMonitor* monitor = NetworkMonitor::getInstance();
    const bool machine = monitor->isNetworkPaused();
    monitor->setNetworkPausedForTesting(!machine);
    EXPECT_EQ(monitor->isNetworkPaused(), !machine);
    SingletonT<NetworkMonitor>::reset();
    EXPECT_EQ(NetworkMonitor::getInstance()->isNetworkPaused(), machine); // the forced state went
    SingletonT<NetworkMonitor>::reset();
}
