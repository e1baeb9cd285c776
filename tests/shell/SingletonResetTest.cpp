#include "foundation/NotificationCenter.h"
#include "foundation/SingletonT.h"
#include "shell/KZBaseWindowController.h"
#include "shell/KZDatabaseRescueNotice.h"
#include "shell/KZMainMenuManager.h"
#include "shell/KZRouter.h"
#include "shell/KZShortcutKeysManager.h"
#include "shell/KZWindowsManager.h"
#include "storage/DatabaseRescue.h"
#include "support/EventLoop.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

using nubo::SingletonT;
using nubo::test::waitUntil;

namespace {

struct KeyObserver : QObject, KZShortcutKeysDelegate {
    int presses = 0;
    void didPressCmdA() override { ++presses; }
};

// One process-wide object of the shell: put it in a state, reset it, and check that the fresh
// one has none of it. Each case owns what it made.
struct ResetCase {
    const char* name;
    std::function<void()> dirty;
    std::function<void()> reset;
    std::function<void()> expectFresh;
};

void PrintTo(const ResetCase& c, std::ostream* os) {
    *os << c.name;
}

class ShellReset : public ::testing::TestWithParam<ResetCase> {};

KeyObserver keyObserver;
QPointer<KZBaseWindowController> presented;

const ResetCase kCases[] = {
    {"shortcut keys", [] { KZShortcutKeysManager::shareInstance().addShortcutKeysObserver(&keyObserver); },
     [] { SingletonT<KZShortcutKeysManager>::reset(); },
     [] {
         // The old manager's key monitor went with it; the fresh one has no observer.
         keyObserver.presses = 0;
         QLineEdit field;
         field.show();
         QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);
         EXPECT_EQ(keyObserver.presses, 0);
         EXPECT_TRUE(KZShortcutKeysManager::shareInstance().isMonitoring());
     }},
    {"main menu",
     [] {
         KZRouter::shareInstance().registerEntityInitializer(
             KZInitializer(KZMainMenuManager::kSettingWindowClass,
                           [](const QVariantMap&) { return new KZBaseWindowController; }));
         KZMainMenuManager::shareInstance().setting();
         ASSERT_NE(KZMainMenuManager::shareInstance().settingWindowController(), nullptr);
     },
     [] { SingletonT<KZMainMenuManager>::reset(); },
     [] {
         EXPECT_EQ(KZMainMenuManager::shareInstance().settingWindowController(), nullptr);
         SingletonT<KZWindowsManager>::reset();
         SingletonT<KZRouter>::reset();
     }},
    {"windows manager with a presentation still to start",
     [] {
         presented = new KZBaseWindowController;
         KZWindowsManager::shareInstance().presentWindowController(presented);
         ASSERT_TRUE(KZWindowsManager::shareInstance().isPresented(presented));
     },
     [] { SingletonT<KZWindowsManager>::reset(); },
     [] {
         // The delayed start of the modal run comes after the reset and finds nothing to start.
         QElapsedTimer t;
         t.start();
         waitUntil([&] { return t.elapsed() > 4 * KZWindowsManager::kPresentDelayMs; });
         EXPECT_EQ(KZWindowsManager::shareInstance().modalWindow(), nullptr);
         EXPECT_TRUE(KZWindowsManager::shareInstance().presentedWindowControllers().isEmpty());
         delete presented.data();
     }},
    {"database rescue notice", [] { KZDatabaseRescueNotice::shareInstance().start(); },
     [] { SingletonT<KZDatabaseRescueNotice>::reset(); },
     [] {
         // The old notice stopped listening as it went; the fresh one listens once started.
         EXPECT_EQ(
             nubo::NotificationCenter::defaultCenter().observerCount(nubo::kDatabaseRescuedNotification), 0);
         KZDatabaseRescueNotice::shareInstance().start();
         EXPECT_EQ(
             nubo::NotificationCenter::defaultCenter().observerCount(nubo::kDatabaseRescuedNotification), 1);
         SingletonT<KZDatabaseRescueNotice>::reset();
     }},
};

TEST_P(ShellReset, TheFreshObjectKeepsNothingOfTheOldOne) {
    const ResetCase& c = GetParam();
    c.dirty();
    c.reset();
    c.expectFresh();
}

INSTANTIATE_TEST_SUITE_P(Singletons, ShellReset, ::testing::ValuesIn(kCases), [](const auto& info) {
    std::string n;
    for (const char ch : std::string(info.param.name))
        if (std::isalnum(static_cast<unsigned char>(ch)))
            n += ch;
    return n;
});

} // namespace
