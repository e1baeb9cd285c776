#include "foundation/SingletonT.h"
#include "home/KZHomeToolbarController.h"
#include "home/KZHomeViewController.h"
#include "kit/Event.h"
#include "kit/View.h"
#include "kit/Window.h"
#include "shell/KZBaseViewController.h"
#include "shell/KZLabel.h"
#include "shell/KZRouter.h"
#include "shell/KZWindowsManager.h"
#include "support/EventLoop.h"
#include "support/Printers.h"
#include "support/ShellReset.h"

#include <QApplication>
#include <QFontMetricsF>
#include <gtest/gtest.h>

using nubo::test::waitUntil;

namespace {

// A file page as the home window and the window manager see it.
class FilesPage : public KZBaseViewController, public KZFilesPage {
public:
    int resized = 0;
    int toRoot = 0;
    QStringList expected;
    void resizeContent() override { ++resized; }
    void openDirToRoot() override { ++toRoot; }
    void setExpectFilePath(const QString& path) override { expected << path; }
};

struct HomeFixture : ::testing::Test {
    HomeFixture() {
        nubo::SingletonT<KZRouter>::reset();
        KZHomeViewController::registerWithRouter();
    }
    ~HomeFixture() override { nubo::test::resetShell(); }
    static void registerFilesPage() {
        KZInitializer init(KZHomeViewController::kFilesClass,
                           [](const QVariantMap&) { return new FilesPage; });
        init.setLongLife(true);
        KZRouter::shareInstance().registerEntityInitializer(init);
    }
    KZHomeViewController* home() {
        return KZRouter::shareInstance().entityWithClass<KZHomeViewController>(
            KZHomeViewController::kClassName);
    }
};

} // namespace

TEST_F(HomeFixture, ThreeTabsEachWithAPageEvenWhenNoneIsRegistered) {
    KZHomeViewController* h = home();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(home(), h); // long life
    KZWindowsManager::shareInstance().showWindow(h);
    KZHomeNavigator* nav = h->navigator();
    ASSERT_EQ(nav->count(), 3);
    EXPECT_EQ(nav->titleAtIndex(0), u"文件");
    EXPECT_EQ(nav->titleAtIndex(1), u"分享");
    EXPECT_EQ(nav->titleAtIndex(2), u"传输");
    EXPECT_EQ(h->viewControllers().size(), 3);
    kit::ViewController* first = h->currentVisibleViewController();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, h->viewControllers().value(QStringLiteral("文件")));
    EXPECT_TRUE(first->view()->isVisible());

    // A click on "传输" shows that page and hides the other.
    nav->mouseDown(
        kit::Event(kit::Event::Type::MouseDown, nav->convertToWindow(nav->itemFrame(2).center()), 1));
    EXPECT_EQ(h->currentVisibleViewController(), h->viewControllers().value(QStringLiteral("传输")));
    EXPECT_FALSE(first->view()->isVisible());
    EXPECT_TRUE(h->currentVisibleViewController()->view()->isVisible());
    // Pages fill the space beside the navigator and above the bottom bar.
    const QRect page = h->currentVisibleViewController()->view()->geometry();
    EXPECT_GT(page.width(), 0);
    EXPECT_GT(page.height(), 0);
    EXPECT_TRUE(h->toolbar()->view()->isVisible());
    EXPECT_EQ(h->toolbar()->view()->height(), int(KZHomeToolbarController::kHeight));
}

TEST_F(HomeFixture, TheFilePageHearsResizesDoubleClicksAndExpectedPaths) {
    registerFilesPage();
    KZHomeViewController* h = home();
    KZWindowsManager::shareInstance().showWindow(h);
    auto* files = dynamic_cast<FilesPage*>(h->viewControllers().value(QStringLiteral("文件")));
    ASSERT_NE(files, nullptr);

    const int before = files->resized;
    h->window()->resize(h->window()->width() + 50, h->window()->height() + 30);
    ASSERT_TRUE(waitUntil([&] { return files->resized > before; }));
    EXPECT_EQ(files->view()->width(), h->window()->width() - int(KZHomeNavigator::kWidth));

    KZHomeNavigator* nav = h->navigator();
    const QPointF item = nav->convertToWindow(nav->itemFrame(0).center());
    nav->mouseDown(kit::Event(kit::Event::Type::MouseDown, item, 2));
    EXPECT_EQ(files->toRoot, 1);
    nav->selectIndex(1);
    nav->mouseDown(kit::Event(kit::Event::Type::MouseDown, item, 2)); // not on the file page: nothing
    EXPECT_EQ(files->toRoot, 1);

    // The home window's own road selects the file tab first.
    h->setExpectFilePath(QStringLiteral("/文档/报告.docx"));
    EXPECT_EQ(nav->selectedIndex(), 0);
    EXPECT_EQ(files->expected, (QStringList{"/文档/报告.docx"}));
}

TEST_F(HomeFixture, BottomBarShowsUploadThenDownloadAndTheRightText) {
    KZHomeViewController* h = home();
    h->window();
    KZWindowsManager::showUploadMessageInBottomBarMiddleArea(QStringLiteral("正在上传 3 个文件"));
    KZWindowsManager::showDownloadMessageInBottomBarMiddleArea(QStringLiteral("正在下载 1 个文件"));
    KZWindowsManager::showMessageInBottomBarRightArea(QStringLiteral("已完成"));
    KZHomeToolbarController* bar = h->toolbar();
    EXPECT_EQ(bar->middleText(), u"正在上传 3 个文件    正在下载 1 个文件");
    EXPECT_EQ(bar->rightMessage(), u"已完成");
    KZWindowsManager::showUploadMessageInBottomBarMiddleArea(QString());
    EXPECT_EQ(bar->middleText(), u"正在下载 1 个文件");
    KZWindowsManager::showDownloadMessageInBottomBarMiddleArea(QString());
    KZWindowsManager::showMessageInBottomBarRightArea(QString());
    EXPECT_EQ(bar->middleText(), u"");
    EXPECT_EQ(bar->rightMessage(), u"");
}

// A selected file's status ends with its modification date: with no transfer message beside it,
// a long file name must not push the date out of the bar; with one, the two texts do not overlap.
TEST_F(HomeFixture, BottomBarRightTextKeepsItsEndWhileTheMiddleIsEmpty) {
    KZHomeViewController* h = home();
    KZWindowsManager::shareInstance().showWindow(h);
    const QString status = QStringLiteral("plain text document ") + QString(48, QLatin1Char('n')) +
                           QStringLiteral(".txt  修改日期：2026-12-7 05:36");
    KZWindowsManager::showMessageInBottomBarRightArea(status);
    KZLabel* right = nullptr;
    KZLabel* middle = nullptr;
    for (KZLabel* l : h->toolbar()->view()->findChildren<KZLabel*>())
        (l->text() == status ? right : middle) = l;
    ASSERT_NE(right, nullptr);
    ASSERT_NE(middle, nullptr);
    EXPECT_GE(right->width(), QFontMetricsF(right->font()).horizontalAdvance(status));

    KZWindowsManager::showUploadMessageInBottomBarMiddleArea(QStringLiteral("正在上传 3 个文件"));
    EXPECT_GE(right->frame().left(), middle->frame().right());
    KZWindowsManager::showUploadMessageInBottomBarMiddleArea(QString());
    EXPECT_GE(right->width(), QFontMetricsF(right->font()).horizontalAdvance(status));
    KZWindowsManager::showMessageInBottomBarRightArea(QString());
}
