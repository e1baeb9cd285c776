// The share page in the home window, beside the real file page.
#include "ShareFixture.h"
#include "foundation/SingletonT.h"

#include "foundation/DisplayText.h"
#include "home/KZHomeViewController.h"
#include "kit/Window.h"
#include "shell/KZRouter.h"
#include "shell/KZWindowsManager.h"
#include "support/ShellReset.h"
#include "support/ToastRecord.h"
#include "ui/files/KZFilesViewController.h"
#include "ui/share/KZShareFilesViewController.h"

#include <QApplication>

using nubo::test::drainEvents;
using nubo::test::waitUntil;

namespace {

class HomeShare : public nubo::test::ShareSuite {
protected:
    void SetUp() override {
        nubo::SingletonT<KZRouter>::reset();
        KZHomeViewController::registerWithRouter();
        KZFilesViewController::registerWithRouter();
        KZShareFilesViewController::registerWithRouter();
        home =
            KZRouter::shareInstance().entityWithClass<KZHomeViewController>(KZHomeViewController::kClassName);
        ASSERT_NE(home, nullptr);
        KZWindowsManager::shareInstance().showWindow(home);
        QApplication::setActiveWindow(home->window());
    }
    void TearDown() override {
        nubo::test::resetShell();
        drainEvents();
    }
    KZHomeViewController* home = nullptr;
};

} // namespace

TEST_F(HomeShare, ALinksFolderOpensInTheFilePageWithTheItemSelected) {
    seedShares(3, [](int) { return 'v'; });
    shareFile(QStringLiteral("/docs/located/target.txt"));
    s_service->putFile(QStringLiteral("/docs/located/other.txt"), "other");
    fetchChanges();

    home->navigator()->selectIndex(1);
    auto* page = dynamic_cast<KZShareFilesViewController*>(home->currentVisibleViewController());
    ASSERT_NE(page, nullptr); // the "分享" tab shows the share page
    KZShareValidFilesViewController* list = page->validShareVC();
    ASSERT_TRUE(waitUntil([&] { return list->shareList().size() == 4; }, 10000));
    ASSERT_EQ(list->shareList().first()->name(), QStringLiteral("target.txt"));

    const int column = list->tableView()->columnWithIdentifier(QStringLiteral("TableColumnShareFilePath"));
    auto* cell =
        dynamic_cast<KZTableViewFilePathCellView*>(list->tableView()->viewAtColumn(column, 0, false));
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->stringValue(), QStringLiteral("located"));
    cell->ationButtonClicked();

    auto* files = dynamic_cast<KZFilesViewController*>(home->currentVisibleViewController());
    ASSERT_NE(files, nullptr);
    ASSERT_TRUE(
        waitUntil([&] { return files->fileInfo()->path() == QStringLiteral("/docs/located"); }, 10000));
    ASSERT_TRUE(waitUntil([&] { return files->selectedFiles().size() == 1; }));
    EXPECT_EQ(files->selectedFiles().first()->name(), QStringLiteral("target.txt"));
}

// The shared file is deleted while its link is still listed: its location says the file is
// gone instead of showing its folder with nothing selected, and the link is listed as lapsed.
TEST_F(HomeShare, TheLocationOfADeletedFileSaysItIsGone) {
    seedShares(0, [](int) { return 'v'; });
    shareFile(QStringLiteral("/docs/gone/target.txt"));
    s_service->putFile(QStringLiteral("/docs/gone/other.txt"), "other");
    fetchChanges();
    home->navigator()->selectIndex(1);
    auto* page = dynamic_cast<KZShareFilesViewController*>(home->currentVisibleViewController());
    ASSERT_NE(page, nullptr);
    KZShareValidFilesViewController* list = page->validShareVC();
    ASSERT_TRUE(waitUntil([&] { return list->shareList().size() == 1; }, 10000));

    ASSERT_FALSE(service().remove({service().nodeByPath(QStringLiteral("/docs/gone/target.txt")).value.nid}));
    fetchChanges();
    nubo::test::ToastRecord toasts;
    list->tableView()->selectRowIndexes(kit::IndexSet(0), false);
    list->actionMenuItemLocationShare();
    auto* files = dynamic_cast<KZFilesViewController*>(home->currentVisibleViewController());
    ASSERT_NE(files, nullptr);
    ASSERT_TRUE(toasts.waitFor(QStringLiteral("文件不存在或已被删除"), 10000));
    EXPECT_EQ(files->fileInfo()->path(), QStringLiteral("/docs/gone"));
    EXPECT_TRUE(files->selectedFiles().isEmpty());

    home->navigator()->selectIndex(1);
    ASSERT_TRUE(waitUntil([&] { return list->shareList().isEmpty(); }, 10000));
    page->segmentControl()->selectSegmentAtIndex(1);
    KZShareInvalidFilesViewController* invalid = page->invalidShareVC();
    ASSERT_TRUE(waitUntil([&] { return invalid->shareList().size() == 1; }, 10000));
    EXPECT_EQ(invalid->shareList().first()->name(), QStringLiteral("target.txt"));
    EXPECT_EQ(invalid->shareList().first()->status_desc(), QStringLiteral("已取消"));
}

TEST(ShareLocation, RootLinksShowAllFilesAndOpenTheRoot) {
    ShareInfo share;
    share.setFpath(QStringLiteral("/"));
    share.setName(QStringLiteral("a.txt"));
    EXPECT_EQ(KZShareValidFilesViewController::locationOf(share), QStringLiteral("/a.txt"));
    share.setFpath(QStringLiteral("/x/y"));
    EXPECT_EQ(KZShareValidFilesViewController::locationOf(share), QStringLiteral("/x/y/a.txt"));
    EXPECT_EQ(nubo::text::fixedRootPath(QStringLiteral("/")), QStringLiteral("全部文件"));
}
