#include "foundation/NetworkMonitor.h"
#include "foundation/NotificationCenter.h"
#include "kit/View.h"
#include "kit/ViewController.h"
#include "kit/Window.h"
#include "shell/KZAlertController.h"
#include "shell/KZBaseWindowController.h"
#include "shell/KZButton.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZHomePages.h"
#include "shell/KZLabel.h"
#include "shell/KZMainMenuManager.h"
#include "shell/KZRouter.h"
#include "shell/KZStyle.h"
#include "shell/KZToast.h"
#include "shell/KZTools.h"
#include "shell/KZWindowsManager.h"
#include "support/EventLoop.h"
#include "support/Printers.h"
#include "support/ShellReset.h"

#include "foundation/SingletonT.h"
#include "kit/Application.h"
#include "storage/DataPaths.h"
#include "storage/SystemConfig.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QWindow>
#include <gtest/gtest.h>

using nubo::test::waitUntil;

namespace {

class Recorder : public KZBaseWindowController {
public:
    QStringList calls;
    void windowWillAppear() override { calls << QStringLiteral("willAppear"); }
    void windowWillPresent() override { calls << QStringLiteral("willPresent"); }
    void windowDidDisappear() override { calls << QStringLiteral("didDisappear"); }
};

// Counts "WindowDidClose" and remembers its object.
struct CloseWatcher : QObject {
    QList<QObject*> closed;
    CloseWatcher() {
        nubo::NotificationCenter::defaultCenter().addObserver(
            this, KZWindowsManager::kWindowDidCloseNotification,
            [this](const nubo::Notification& n) { closed.append(n.object.value<QObject*>()); });
    }
};

struct WindowsManagerFixture : ::testing::Test {
    KZWindowsManager& wm = KZWindowsManager::shareInstance();
    CloseWatcher watcher;
    ~WindowsManagerFixture() override { nubo::test::resetShell(); }
};

} // namespace

TEST_F(WindowsManagerFixture, ShowKeepsOneEntryAndCloseTakesItOut) {
    Recorder a;
    wm.showWindow(&a);
    wm.showWindow(&a); // already shown: only brought forward
    wm.showWindow(nullptr);
    EXPECT_EQ(wm.shownWindowControllers(), (QList<KZBaseWindowController*>{&a}));
    EXPECT_TRUE(a.window()->isVisible());
    EXPECT_EQ(a.calls, (QStringList{"willAppear", "willAppear"}));

    wm.closeWindow(&a);
    EXPECT_TRUE(wm.shownWindowControllers().isEmpty());
    EXPECT_FALSE(a.window()->isVisible());
    EXPECT_EQ(a.calls.last(), u"didDisappear");
    EXPECT_EQ(watcher.closed, (QList<QObject*>{&a}));
}

TEST_F(WindowsManagerFixture, PresentStartsTheModalRunTenMillisecondsLaterAndDismissEndsIt) {
    Recorder parent, sheetless;
    wm.showWindow(&parent);
    parent.presentWindowController(&sheetless);
    EXPECT_EQ(sheetless.calls, (QStringList{"willPresent", "willAppear"}));
    EXPECT_TRUE(sheetless.isPresenting());
    EXPECT_EQ(sheetless.presentingWindow(), parent.window());
    EXPECT_EQ(wm.presentedWindowControllers(), (QList<KZBaseWindowController*>{&sheetless}));
    // Returned at once; the run starts on the main queue a moment later.
    EXPECT_EQ(wm.modalWindow(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return wm.modalWindow() == sheetless.window(); }));
    EXPECT_EQ(sheetless.window()->windowModality(), Qt::ApplicationModal);

    // Neither shown nor presented twice.
    wm.showWindow(&sheetless);
    wm.presentWindowController(&sheetless);
    wm.presentWindowController(&parent);
    EXPECT_EQ(wm.presentedWindowControllers().size(), 1);
    EXPECT_EQ(wm.shownWindowControllers(), (QList<KZBaseWindowController*>{&parent}));

    // The title bar's close goes through closeWindow(), which dismisses a presented window.
    sheetless.closeWindow();
    EXPECT_TRUE(wm.presentedWindowControllers().isEmpty());
    EXPECT_EQ(wm.modalWindow(), nullptr);
    EXPECT_FALSE(sheetless.window()->isVisible());
    EXPECT_FALSE(sheetless.isPresenting());
    EXPECT_EQ(sheetless.calls.last(), u"didDisappear");
    EXPECT_EQ(watcher.closed, (QList<QObject*>{&sheetless}));
}

TEST_F(WindowsManagerFixture, DismissedBeforeTheRunStartsNeverGoesModal) {
    Recorder quick;
    wm.presentWindowController(&quick);
    wm.dismissWindowController(&quick);
    // A window presented after it starts its run after it: by then the first one's time is past.
    Recorder later;
    wm.presentWindowController(&later);
    ASSERT_TRUE(waitUntil([&] { return wm.modalWindow() == later.window(); }));
    EXPECT_NE(quick.window()->windowModality(), Qt::ApplicationModal);
    EXPECT_FALSE(quick.window()->isVisible());
    wm.dismissWindowController(&later);
}

TEST_F(WindowsManagerFixture, SheetsAreEndedOnTheirParent) {
    Recorder parent, sheet;
    wm.showWindow(&parent);
    wm.presentSheetModalWindowController(&sheet, parent.window());
    EXPECT_EQ(parent.window()->attachedSheet(), sheet.window());
    sheet.setPresenting(true);
    sheet.closeWindow();
    EXPECT_EQ(parent.window()->attachedSheet(), nullptr);
    EXPECT_EQ(watcher.closed, (QList<QObject*>{&sheet}));
}

TEST_F(WindowsManagerFixture, AlertButtonsKeepTheirOrderStyleAndCloseAfterTheirHandler) {
    Recorder parent;
    wm.showWindow(&parent);
    QPointer<KZAlertController> alert =
        KZAlertController::alertControllerWithTitle(QStringLiteral("确定要删除吗？"), QString());
    EXPECT_EQ(alert->iconName(), u"alert _remind");
    QStringList ran;
    alert->addAction(KZAlertAction::actionWithTitle(QStringLiteral("删除"), KZAlertActionStyleWarning,
                                                    &parent,
                                                    [&](const KZAlertAction& a) { ran << a.title(); }));
    alert->addAction(KZAlertAction::actionWithTitle(QStringLiteral("取消"), KZAlertActionStyleCancel));
    EXPECT_EQ(alert->iconName(), u"alert_warning"); // a warning action switches the icon
    alert->setShowsSuppressionButton(true);
    alert->setSuppressionText(QStringLiteral("不再提示"));

    const QList<KZButton*> buttons = alert->buttons();
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_EQ(buttons[0]->title(), u"删除");
    EXPECT_EQ(buttons[1]->title(), u"取消");
    EXPECT_LT(buttons[0]->left(), buttons[1]->left());
    EXPECT_EQ(buttons[0]->customBackgroundColor(), KZStyle::warningColor());
    EXPECT_EQ(buttons[1]->customBackgroundColor(), QColor(Qt::white));
    EXPECT_TRUE(alert->messageLabel()->isHidden()); // an empty message hides its label
    EXPECT_FALSE(alert->titleLabel()->isHidden());
    EXPECT_FALSE(alert->suppressionButton()->isHidden());
    EXPECT_EQ(alert->suppressionButton()->title(), u"不再提示");
    EXPECT_FALSE(alert->suppressionButtonChecked());
    alert->suppressionButton()->setChecked(true);
    EXPECT_TRUE(alert->suppressionButtonChecked());

    parent.presentWindowController(alert);
    ASSERT_TRUE(waitUntil([&] { return wm.modalWindow() != nullptr; }));
    buttons[0]->sendAction();
    EXPECT_EQ(ran, (QStringList{"删除"}));
    EXPECT_TRUE(wm.presentedWindowControllers().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return alert.isNull(); })); // it goes once closed
}

TEST_F(WindowsManagerFixture, AlertHandlersRunOnceWhileTheirContextLivesAndNeverAfter) {
    // Each press runs the handler at most once and closes the alert; a gone context only closes.
    for (const bool contextDies : {false, true}) {
        SCOPED_TRACE(contextDies ? "context deleted" : "context alive");
        auto* context = new QObject;
        QPointer<KZAlertController> alert =
            KZAlertController::alertControllerWithTitle(QStringLiteral("确定要删除吗？"), QString());
        int runs = 0;
        alert->addAction(KZAlertAction::actionWithTitle(QStringLiteral("删除"), KZAlertActionStyleWarning,
                                                        context, [&](const KZAlertAction&) { ++runs; }));
        wm.presentWindowController(alert);
        ASSERT_TRUE(waitUntil([&] { return wm.modalWindow() != nullptr; }));
        if (contextDies)
            delete context;
        alert->buttons().first()->sendAction();
        EXPECT_EQ(runs, contextDies ? 0 : 1);
        EXPECT_TRUE(wm.presentedWindowControllers().isEmpty());
        ASSERT_TRUE(waitUntil([&] { return alert.isNull(); }));
        EXPECT_EQ(runs, contextDies ? 0 : 1);
        if (!contextDies)
            delete context;
    }
}

TEST_F(WindowsManagerFixture, PrimaryAlertKeepsTheRemindIconAndCloseButtonIsOptional) {
    KZAlertController* alert = KZAlertController::alertControllerWithWindowTitle(
        QStringLiteral("提示"), QString(), QStringLiteral("文件已存在"));
    alert->addAction(KZAlertAction(QStringLiteral("确定"), KZAlertActionStylePrimary));
    EXPECT_EQ(alert->iconName(), u"alert _remind");
    EXPECT_EQ(alert->buttons().first()->customBackgroundColor(), KZStyle::themeColor());
    EXPECT_TRUE(alert->titleLabel()->isHidden());
    EXPECT_EQ(alert->window()->windowTitle(), u"提示");
    EXPECT_FALSE(alert->window()->windowFlags() & Qt::WindowCloseButtonHint);
    alert->setShowWindowCloseButton(true);
    EXPECT_TRUE(alert->window()->windowFlags() & Qt::WindowCloseButtonHint);
    delete alert;
}

namespace {
// Stand-ins for the home window, its file page and its bottom bar.
class FakeFilesPage : public kit::ViewController, public KZFilesPage {
public:
    int menusClosed = 0;
    void closeFilesMenus() override { ++menusClosed; }
};
class FakeHome : public KZBaseWindowController, public KZHomeWindow {
public:
    FakeFilesPage page;
    QStringList expected;
    kit::ViewController* currentVisibleViewController() const override {
        return const_cast<FakeFilesPage*>(&page);
    }
    void setExpectFilePath(const QString& path) override { expected << path; }
};
class FakeBar : public QObject, public KZHomeToolbar {
public:
    QString right, upload, download;
    void showMessageInRightArea(const QString& t) override { right = t; }
    void showUploadMessageInMiddleArea(const QString& t) override { upload = t; }
    void showDownloadMessageInMiddleArea(const QString& t) override { download = t; }
};
} // namespace

TEST_F(WindowsManagerFixture, HomeWindowRoadsGoThroughTheRouter) {
    // Without a home window nothing happens and nothing breaks.
    wm.showFailedToast(QStringLiteral("x"));
    KZWindowsManager::showMessageInBottomBarRightArea(QStringLiteral("x"));

    KZInitializer homeInit(QStringLiteral("KZHomeViewController"),
                           [](const QVariantMap&) { return new FakeHome; });
    homeInit.setLongLife(true);
    KZInitializer barInit(QStringLiteral("KZHomeToolbarController"),
                          [](const QVariantMap&) { return new FakeBar; });
    barInit.setLongLife(true);
    KZRouter::shareInstance().registerEntityInitializer(homeInit);
    KZRouter::shareInstance().registerEntityInitializer(barInit);
    auto* home = KZRouter::shareInstance().entityWithClass<FakeHome>(QStringLiteral("KZHomeViewController"));
    auto* bar = dynamic_cast<FakeBar*>(
        KZRouter::shareInstance().entityWithClass(QStringLiteral("KZHomeToolbarController")));
    ASSERT_TRUE(home && bar);

    KZWindowsManager::showMessageInBottomBarRightArea(QStringLiteral("已用 1.5G"));
    KZWindowsManager::showUploadMessageInBottomBarMiddleArea(QStringLiteral("正在上传 2 个文件"));
    KZWindowsManager::showDownloadMessageInBottomBarMiddleArea(QStringLiteral("正在下载 1 个文件"));
    EXPECT_EQ(bar->right, u"已用 1.5G");
    EXPECT_EQ(bar->upload, u"正在上传 2 个文件");
    EXPECT_EQ(bar->download, u"正在下载 1 个文件");
    KZWindowsManager::showUploadMessageInBottomBarMiddleArea(QString());
    EXPECT_EQ(bar->upload, u"");

    wm.showFailedToast(QStringLiteral("删除失败"));
    ASSERT_NE(KZToast::toastOf(home->page.view()), nullptr);
    EXPECT_EQ(KZToast::toastOf(home->page.view())->iconName(), u"toast_fail_icon");
    wm.showWarningToast(QStringLiteral("注意"));
    EXPECT_EQ(KZToast::toastOf(home->page.view())->iconName(), u"toast_warning_icon");

    // Menus close only for a shown home window.
    wm.closeFilesMenusWindow();
    EXPECT_EQ(home->page.menusClosed, 0);
    wm.showWindow(home);
    wm.closeFilesMenusWindow();
    EXPECT_EQ(home->page.menusClosed, 1);

    // The network guard: quiet while reachable, a failure toast and "stop" while paused.
    KZToast::hideToast(home->page.view(), false);
    NetworkMonitor::getInstance()->setNetworkPausedForTesting(false);
    EXPECT_FALSE(KZTools::isNetworkPaused());
    EXPECT_EQ(KZToast::toastOf(home->page.view()), nullptr);
    NetworkMonitor::getInstance()->setNetworkPausedForTesting(true);
    EXPECT_TRUE(KZTools::isNetworkPaused());
    ASSERT_NE(KZToast::toastOf(home->page.view()), nullptr);
    EXPECT_EQ(KZToast::toastOf(home->page.view())->text(), u"网络连接失败，请检查网络");
    NetworkMonitor::getInstance()->setNetworkPausedForTesting(std::nullopt);
}

// A question is a dialog of the window that asked it, or of the home window when asked from
// none; its title bar carries its bold text when it has no title of its own.
TEST_F(WindowsManagerFixture, AQuestionBelongsToTheWindowThatAsksItOrElseToTheHomeWindow) {
    FakeHome home;
    home.window()->setFrame(QRectF(20, 30, 500, 400));
    wm.showWindow(&home);
    Recorder other;
    other.window()->setFrame(QRectF(300, 100, 460, 420));
    wm.showWindow(&other);
    ASSERT_TRUE(waitUntil([&] { return other.window()->isVisible(); }));
    for (KZBaseWindowController* asker :
         {static_cast<KZBaseWindowController*>(&other), static_cast<KZBaseWindowController*>(nullptr)}) {
        SCOPED_TRACE(asker ? "asked from a window" : "asked from none");
        QPointer<KZAlertController> alert = KZAlertController::alertControllerWithTitle(
            QStringLiteral("确定要删除吗？"), QStringLiteral("说明"));
        alert->addAction(KZAlertAction(QStringLiteral("取消"), KZAlertActionStyleCancel));
        if (asker)
            asker->presentWindowController(alert);
        else
            wm.presentWindowController(alert);
        ASSERT_TRUE(waitUntil([&] { return wm.modalWindow() == alert->window(); }));
        kit::Window* parent = asker ? other.window() : home.window();
        EXPECT_EQ(alert->window()->windowHandle()->transientParent(), parent->windowHandle());
        const QPointF offset = alert->window()->frame().center() - parent->frame().center();
        EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
        EXPECT_EQ(alert->window()->windowTitle(), u"确定要删除吗？");
        alert->cancel();
        ASSERT_TRUE(waitUntil([&] { return alert.isNull(); }));
    }
    wm.closeWindow(&other);
    wm.closeWindow(&home);
}

TEST_F(WindowsManagerFixture, TitleBarCloseTakesTheManagersRoad) {
    Recorder a;
    wm.showWindow(&a);
    EXPECT_FALSE(a.windowShouldClose(a.window())); // the close itself comes a moment later
    ASSERT_TRUE(waitUntil([&] { return wm.shownWindowControllers().isEmpty(); }));
    EXPECT_FALSE(a.window()->isVisible());
    EXPECT_EQ(watcher.closed, (QList<QObject*>{&a}));
}

// A presented window closed from outside its own buttons (the window system's close request,
// or a plain close() of the top level) must end the modality and say that it closed, or the
// window that presented it stays blocked.
TEST_F(WindowsManagerFixture, APresentedWindowClosedFromOutsideEndsTheModality) {
    Recorder parent;
    wm.showWindow(&parent);
    enum { Request, PlatformClose, WidgetClose };
    for (const int how : {Request, PlatformClose, WidgetClose}) {
        SCOPED_TRACE(how);
        Recorder shared;
        parent.presentWindowController(&shared);
        ASSERT_TRUE(waitUntil([&] { return wm.modalWindow() == shared.window(); }));
        watcher.closed.clear();
        if (how == Request) // what a spontaneous close event asks the delegate
            EXPECT_FALSE(shared.windowShouldClose(shared.window()));
        else if (how == PlatformClose)
            shared.window()->windowHandle()->close();
        else
            shared.window()->close();
        ASSERT_TRUE(waitUntil([&] { return !watcher.closed.isEmpty(); }));
        EXPECT_EQ(watcher.closed, (QList<QObject*>{&shared}));
        EXPECT_TRUE(wm.presentedWindowControllers().isEmpty());
        EXPECT_EQ(wm.modalWindow(), nullptr);
        EXPECT_FALSE(shared.window()->isVisible());
        EXPECT_NE(shared.window()->windowModality(), Qt::ApplicationModal);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_FALSE(shared.isPresenting());
    }
}

TEST_F(WindowsManagerFixture, SettingsItemMakesItsWindowOnceAndThenBringsItForward) {
    int made = 0;
    KZInitializer init(KZMainMenuManager::kSettingWindowClass, [&](const QVariantMap&) {
        ++made;
        return new Recorder;
    });
    KZRouter::shareInstance().registerEntityInitializer(init);
    KZMainMenuManager& menu = KZMainMenuManager::shareInstance();
    menu.setting();
    KZBaseWindowController* settings = menu.settingWindowController();
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(wm.isShown(settings));
    menu.setting();
    EXPECT_EQ(made, 1);
    EXPECT_EQ(menu.settingWindowController(), settings);
    delete settings;
}

TEST_F(WindowsManagerFixture, CtrlQQuitsFromTheMainWindowAndFromAnyOther) {
    KZMainMenuManager& menu = KZMainMenuManager::shareInstance();
    int quits = 0;
    menu.setQuitHandler([&] { ++quits; });
    QWidget main;
    menu.makeMenuBar(&main);
    main.show();
    QWidget other;
    other.show();
    for (QWidget* w : {&main, &other}) {
        w->activateWindow();
        if (!waitUntil([&] { return QApplication::activeWindow() == w; }, 1000))
            GTEST_SKIP() << "this platform does not activate windows";
        QTest::keyClick(w->windowHandle(), Qt::Key_Q, Qt::ControlModifier);
    }
    EXPECT_EQ(quits, 2);
    menu.setQuitHandler({});
}

TEST_F(WindowsManagerFixture, ExpectedFilePathGoesToTheHomeWindowOnlyWhileItIsKey) {
    KZInitializer homeInit(QStringLiteral("KZHomeViewController"),
                           [](const QVariantMap&) { return new FakeHome; });
    homeInit.setLongLife(true);
    KZRouter::shareInstance().registerEntityInitializer(homeInit);
    auto* home = KZRouter::shareInstance().entityWithClass<FakeHome>(QStringLiteral("KZHomeViewController"));
    Recorder other;
    wm.showWindow(&other);
    other.window()->activateWindow();
    if (!waitUntil([&] { return QApplication::activeWindow() == other.window(); }, 1000))
        GTEST_SKIP() << "this platform does not activate windows";
    wm.setExpectFilePath(QStringLiteral("/a/b.txt"));
    EXPECT_TRUE(home->expected.isEmpty());
    wm.showWindow(home);
    home->window()->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == home->window(); }));
    wm.setExpectFilePath(QStringLiteral("/a/b.txt"));
    EXPECT_EQ(home->expected, (QStringList{"/a/b.txt"}));
}

TEST_F(WindowsManagerFixture, PathPanelStartsInTheDownloadFolderAndCancelGivesNoUrls) {
    Recorder owner;
    wm.showWindow(&owner);
    const QString folder = QDir::temp().filePath(QStringLiteral("nubo-downloads-test"));
    QDir().mkpath(folder);
    nubo::SingletonT<nubo::SystemConfig>::instance().setDownloadPath(folder);
    bool answered = false;
    QList<QUrl> got{QUrl(QStringLiteral("file:///x"))};
    wm.showPathPanelInWindow(owner.window(), [&](const QList<QUrl>& urls) {
        answered = true;
        got = urls;
    });
    QFileDialog* dialog = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (dialog = owner.window()->findChild<QFileDialog*>()) != nullptr; }));
    EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(folder).canonicalPath());
    EXPECT_EQ(dialog->labelText(QFileDialog::Accept), u"选取");
    dialog->reject();
    ASSERT_TRUE(waitUntil([&] { return answered; }));
    EXPECT_TRUE(got.isEmpty());
}

// The folder question opens in the download folder, made when it is the user's missing
// Downloads folder, never where the last panel (an upload's) was left; a saved folder that is
// gone opens at its parent.
TEST_F(WindowsManagerFixture, PathPanelOpensInTheDownloadFolderNotWhereTheLastPanelWas) {
    Recorder owner;
    wm.showWindow(&owner);
    auto dialogOf = [&] {
        QFileDialog* dialog = nullptr;
        EXPECT_TRUE(
            waitUntil([&] { return (dialog = owner.window()->findChild<QFileDialog*>()) != nullptr; }));
        return dialog;
    };
    auto answered = [&] { return owner.window()->findChild<QFileDialog*>() == nullptr; };
    QTemporaryDir elsewhere;
    wm.showOpenPanelInWindow(owner.window(), [](const QList<QUrl>&) {});
    QFileDialog* upload = dialogOf();
    ASSERT_TRUE(upload);
    upload->setDirectory(elsewhere.path());
    upload->reject();
    ASSERT_TRUE(waitUntil(answered));

    auto& config = nubo::SingletonT<nubo::SystemConfig>::instance();
    const QString saved = config.getDownloadPath();
    const QString downloads = nubo::paths::downloadsFolder();
    QDir(downloads).removeRecursively();
    config.setDownloadPath(downloads);
    wm.showPathPanelInWindow(owner.window(), [](const QList<QUrl>&) {});
    QFileDialog* question = dialogOf();
    ASSERT_TRUE(question);
    EXPECT_TRUE(QFileInfo(downloads).isDir());
    EXPECT_EQ(QDir(question->directory()).canonicalPath(), QDir(downloads).canonicalPath());
    question->reject();
    ASSERT_TRUE(waitUntil(answered));

    config.setDownloadPath(elsewhere.path() + QStringLiteral("/gone/deeper"));
    wm.showPathPanelInWindow(owner.window(), [](const QList<QUrl>&) {});
    question = dialogOf();
    ASSERT_TRUE(question);
    EXPECT_EQ(QDir(question->directory()).canonicalPath(), QDir(elsewhere.path()).canonicalPath());
    EXPECT_FALSE(QFileInfo::exists(elsewhere.path() + QStringLiteral("/gone")));
    question->reject();
    ASSERT_TRUE(waitUntil(answered));
    config.setDownloadPath(saved);
    QDir(downloads).removeRecursively();
}

// With Qt's translations installed, the standard dialogs' own texts are Chinese.
TEST_F(WindowsManagerFixture, StandardDialogsSpeakChineseOnceQtsTranslationsAreInstalled) {
    QTranslator* translator =
        kit::Application::installQtTranslations(QLocale(QLocale::Chinese, QLocale::China));
    ASSERT_NE(translator, nullptr) << "Qt's translations are missing (scripts/setup installs them)";
    Recorder owner;
    wm.showWindow(&owner);
    wm.showOpenPanelInWindow(owner.window(), [](const QList<QUrl>&) {});
    QFileDialog* dialog = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (dialog = owner.window()->findChild<QFileDialog*>()) != nullptr; }));
    EXPECT_EQ(dialog->labelText(QFileDialog::Accept), u"选取");
    EXPECT_EQ(dialog->labelText(QFileDialog::Reject), u"取消");
    EXPECT_EQ(dialog->labelText(QFileDialog::LookIn), QCoreApplication::translate("QFileDialog", "Look in:"));
    EXPECT_NE(dialog->labelText(QFileDialog::LookIn), u"Look in:");
    // A text Qt's own Chinese translation lacks: the type column of every folder.
    EXPECT_EQ(QCoreApplication::translate("QAbstractFileIconProvider", "Folder"), u"文件夹");
    dialog->reject();
    QCoreApplication::removeTranslator(translator);
    delete translator;
}
