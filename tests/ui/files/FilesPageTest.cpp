// The file page driven against the real session and embedded service on a temporary folder.
#include "PageFixture.h"

#include "cloud/KZImageCache.h"
#include "home/KZHomeNavigator.h"
#include "home/KZHomeViewController.h"
#include "kit/TextField.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZRouter.h"
#include "shell/KZStyle.h"
#include "shell/KZToast.h"
#include "shell/KZWindowsManager.h"
#include "ui/files/KZFileInfoCell.h"
#include "ui/files/KZFileListStyleSwitcher.h"
#include "ui/files/KZFileRowView.h"
#include "ui/files/KZFolderToken.h"

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

using nubo::test::drainEvents;
using nubo::test::waitUntil;

namespace {

// A double click as the desktop delivers it: press, release, a second press that reports the
// double click, release. QTest leaves half a second between its releases and presses, so the
// double-click interval is widened for the duration.
void doubleClick(QWidget* w, QPoint pos) {
    const int interval = QApplication::doubleClickInterval();
    QApplication::setDoubleClickInterval(5000);
    QTest::mousePress(w, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(w, Qt::LeftButton, {}, pos);
    QTest::mouseDClick(w, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(w, Qt::LeftButton, {}, pos);
    QApplication::setDoubleClickInterval(interval);
}

CloudFileInfoPtr made(const QString& name, qint32 category, qint64 nid) {
    auto f = CloudFileInfo::create();
    f->setName(name);
    f->setPath(QStringLiteral("/x/") + name);
    f->setNid(nid);
    f->setPid(900);
    f->setM_category(category);
    return f;
}

class FilesPage : public nubo::test::PageFixture {
protected:
    static void SetUpTestSuite() {
        startService([](nubo::test::ServiceFixture& s) {
            s.mkdir(QStringLiteral("/empty"));
            for (const char* n : {"a", "b", "c", "d", "e"})
                s.putFile(QStringLiteral("/five/%1.txt").arg(QLatin1String(n)), QByteArray(n));
            s.mkdir(QStringLiteral("/nav/A/deep"));
            s.mkdir(QStringLiteral("/nav/B"));
            s.mkdir(QStringLiteral("/big/sub"));
            s.putFile(QStringLiteral("/pics/p.png"), nubo::test::png(40, 30, Qt::darkGreen));
            for (int i = 0; i < 60; ++i)
                s.putFile(QStringLiteral("/big/f%1.txt").arg(i, 2, 10, QLatin1Char('0')),
                          QByteArray::number(i));
            for (int i = 0; i < 60; ++i)
                s.putFile(QStringLiteral("/big/more/f%1.txt").arg(i, 2, 10, QLatin1Char('0')),
                          QByteArray::number(i));
        });
    }
    static void TearDownTestSuite() { stopService(); }
    void SetUp() override { openPage(); }

    // Opens a folder of the current list as a user's double click would.
    void openNamed(const QString& name) {
        const CloudFileInfoPtr folder = named(page->files(), name);
        ASSERT_NE(folder, nullptr) << name.toStdString();
        const QString path = folder->path();
        page->openDir(folder);
        waitForPath(path);
    }
    void waitForPath(const QString& path) {
        ASSERT_TRUE(waitUntil([&] { return page->fileInfo()->path() == path; })) << path.toStdString();
        drainEvents(); // the offset and expected-file steps run after the reply
    }
    bool enabled(const KZFilesToolBarItemPtr& item) const {
        return page->toolBar()->viewOfItem(item)->enable();
    }
};

} // namespace

TEST_F(FilesPage, EmptyFolderDisablesHeaderAndSelectionCommands) {
    jump(QStringLiteral("/empty"));
    EXPECT_TRUE(page->files().isEmpty());
    EXPECT_FALSE(page->tableHeaderView()->isEnable());
    EXPECT_FALSE(page->tableHeaderView()->isSelected());
    EXPECT_EQ(page->homeToolBarMessage(), QStringLiteral("共0个文件"));
    EXPECT_TRUE(enabled(page->uploadItem()));
    EXPECT_TRUE(enabled(page->folderItem()));
    EXPECT_FALSE(enabled(page->downloadItem()));
    EXPECT_FALSE(enabled(page->deleteItem()));
    EXPECT_FALSE(enabled(page->moreItem()));
}

TEST_F(FilesPage, SelectingEveryRowChecksTheHeader) {
    jump(QStringLiteral("/five"));
    ASSERT_EQ(page->files().size(), 5);
    page->didPressCmdA();
    EXPECT_TRUE(page->tableHeaderView()->isSelected());
    EXPECT_EQ(page->tableView()->numberOfSelectedRows(), 5);
    EXPECT_EQ(page->homeToolBarMessage(), QStringLiteral("已选中5个文件"));
    EXPECT_TRUE(enabled(page->deleteItem()));

    page->tableView()->deselectRow(0);
    EXPECT_FALSE(page->tableHeaderView()->isSelected());
    EXPECT_EQ(page->selectedFiles().size(), 4);
    EXPECT_FALSE(page->files().first()->selected());

    page->tableHeaderView()->checkBox()->setChecked(false);
    page->tableCheckBoxHeaderViewDidPressSelectButton(page->tableHeaderView(),
                                                      page->tableHeaderView()->checkBox());
    EXPECT_TRUE(page->selectedFiles().isEmpty());
    EXPECT_EQ(page->tableView()->numberOfSelectedRows(), 0);
}

TEST_F(FilesPage, SearchResultDisablesUploadAndNewFolder) {
    KZSessionProxy::shareSessionProxy()->searchFileListByFileInfo(page->fileInfo(), QStringLiteral("b"), 0,
                                                                  page, {});
    ASSERT_TRUE(waitUntil([&] { return page->fileInfo()->isSearch(); }));
    EXPECT_FALSE(enabled(page->uploadItem()));
    EXPECT_FALSE(enabled(page->folderItem()));
    ASSERT_FALSE(page->files().isEmpty());
    page->selectAllRows();
    EXPECT_FALSE(enabled(page->uploadItem()));
    EXPECT_TRUE(enabled(page->downloadItem()));
    const auto& tokens = page->folderCrumbs()->tokens();
    EXPECT_EQ(tokens.last()->title(), QStringLiteral("“b”的搜索结果"));
}

TEST_F(FilesPage, ExpectFilePathOpensTheParentAndSelectsTheFile) {
    // Off screen the page keeps the path until it appears.
    page->view()->hide();
    page->setExpectFilePath(QStringLiteral("/five/c.txt"));
    EXPECT_EQ(page->expectFilePath(), QStringLiteral("/five/c.txt"));
    page->view()->show();
    EXPECT_TRUE(page->expectFilePath().isEmpty());
    waitForPath(QStringLiteral("/five"));
    ASSERT_TRUE(waitUntil([&] { return page->selectedFiles().size() == 1; }));
    EXPECT_EQ(page->selectedFiles().first()->path(), QStringLiteral("/five/c.txt"));
    const int row = int(page->files().indexOf(page->selectedFiles().first()));
    EXPECT_TRUE(page->tableView()->isRowSelected(row));

    // The next showing reloads the folder instead.
    page->viewDidAppear();
    ASSERT_TRUE(waitUntil([&] { return page->selectedFiles().isEmpty(); }));
    EXPECT_EQ(page->fileInfo()->path(), QStringLiteral("/five"));
}

TEST_F(FilesPage, RevealingAFileFromAnotherTabOrTheFileTabSelectsItAtOnce) {
    nubo::SingletonT<KZRouter>::reset();
    KZHomeViewController::registerWithRouter();
    KZFilesViewController::registerWithRouter();
    auto* home =
        KZRouter::shareInstance().entityWithClass<KZHomeViewController>(KZHomeViewController::kClassName);
    ASSERT_NE(home, nullptr);
    KZWindowsManager::shareInstance().showWindow(home);
    auto* files = dynamic_cast<KZFilesViewController*>(
        home->viewControllers().value(KZHomeViewController::kFilesTitle));
    ASSERT_NE(files, nullptr);
    ASSERT_TRUE(waitUntil([&] { return named(files->files(), QStringLiteral("five")) != nullptr; }));
    drainEvents();
    const auto revealed = [&](const QString& folder, const QString& path) {
        return waitUntil([&] {
            const auto sel = files->selectedFiles();
            return files->fileInfo()->path() == folder && sel.size() == 1 && sel.first()->path() == path;
        });
    };

    // From the transfer tab: the file tab comes up with the file's folder, the file selected.
    home->navigator()->selectIndex(2);
    home->setExpectFilePath(QStringLiteral("/five/c.txt"));
    EXPECT_EQ(home->currentVisibleViewController(), files);
    EXPECT_TRUE(revealed(QStringLiteral("/five"), QStringLiteral("/five/c.txt")));

    // With the file tab already on screen.
    home->setExpectFilePath(QStringLiteral("/nav/B"));
    EXPECT_TRUE(revealed(QStringLiteral("/nav"), QStringLiteral("/nav/B")));
    EXPECT_TRUE(files->expectFilePath().isEmpty());

    nubo::test::resetShell();
    drainEvents();
}

TEST_F(FilesPage, ScrollOffsetsAreRememberedPerFolder) {
    openNamed(QStringLiteral("big"));
    EXPECT_DOUBLE_EQ(page->tableView()->visibleRect().y(), -32.0);
    page->tableView()->scrollToPoint(QPointF(0, 400));
    ASSERT_DOUBLE_EQ(page->tableView()->visibleRect().y(), 400.0);

    openNamed(QStringLiteral("sub"));
    EXPECT_DOUBLE_EQ(page->tableView()->visibleRect().y(), -32.0);
    page->actionGoback();
    waitForPath(QStringLiteral("/big"));
    EXPECT_DOUBLE_EQ(page->tableView()->visibleRect().y(), 400.0);
    EXPECT_TRUE(page->goForwardButton()->isEnabled());
    EXPECT_TRUE(page->goBackButton()->isEnabled());
}

// A folder opened for the first time starts at its top, even where the grid was scrolled down
// in a folder just as long.
TEST_F(FilesPage, GridOpensAtItsTop) {
    page->switcher()->setStyle(KZFileListStyleGrid);
    openNamed(QStringLiteral("big"));
    EXPECT_DOUBLE_EQ(page->collectionView()->visibleRect().y(), 0.0);
    page->collectionView()->scrollToPoint(QPointF(0, 300));
    ASSERT_DOUBLE_EQ(page->collectionView()->visibleRect().y(), 300.0);

    openNamed(QStringLiteral("more"));
    EXPECT_EQ(page->collectionView()->numberOfItems(), page->files().size());
    ASSERT_EQ(page->files().size(), 60);
    EXPECT_DOUBLE_EQ(page->collectionView()->visibleRect().y(), 0.0);
}

TEST_F(FilesPage, SwitchingStyleCarriesTheSelection) {
    jump(QStringLiteral("/five"));
    page->tableView()->selectRowIndexes(kit::IndexSet{1, 3}, false);
    ASSERT_EQ(page->selectedFiles().size(), 2);

    page->switcher()->gridItemViewClicked();
    EXPECT_EQ(page->filesContainerStyle(), uint(KZFileListStyleGrid));
    EXPECT_EQ(page->collectionView()->selectionIndexes(), (kit::IndexSet{1, 3}));
    EXPECT_EQ(page->selectedFiles().size(), 2);
    EXPECT_EQ(nubo::SingletonT<nubo::SystemConfig>::instance().getFilelistViewMode(), 1);

    page->switcher()->listItemViewClicked();
    EXPECT_EQ(page->tableView()->selectedRowIndexes(), (kit::IndexSet{1, 3}));
    EXPECT_TRUE(page->files().at(1)->selected() && page->files().at(3)->selected());

    page->selectAllRows();
    page->switcher()->gridItemViewClicked();
    EXPECT_EQ(page->collectionView()->selectionIndexes().count(), 5);
}

TEST_F(FilesPage, ClicksFindTheirRowAndDoubleClickOpensFolders) {
    jump(QStringLiteral("/nav"));
    ASSERT_EQ(page->files().size(), 2); // A and B
    kit::TableView* table = page->tableView();
    const int header = int(table->headerHeight());
    const int rowHeight = int(table->rowHeight());
    QTest::mouseClick(table, Qt::LeftButton, {}, QPoint(200, header + rowHeight + rowHeight / 2));
    EXPECT_EQ(page->convertFileFromClickPosition(), page->files().at(1));

    doubleClick(table, QPoint(200, header + 5 * rowHeight));
    drainEvents();
    EXPECT_EQ(page->convertFileFromClickPosition(), nullptr);
    EXPECT_EQ(page->fileInfo()->path(), QStringLiteral("/nav"));

    doubleClick(table, QPoint(200, header + rowHeight / 2));
    waitForPath(QStringLiteral("/nav/A"));
}

TEST_F(FilesPage, ASavedViewModeOfNeitherKindOpensAsAListThatOpensFolders) {
    delete window;
    delete page;
    window = nullptr;
    page = nullptr;
    openPage(7);
    EXPECT_EQ(page->switcher()->style(), uint(KZFileListStyleList));
    EXPECT_TRUE(page->switcher()->itemViews().first()->selected());
    EXPECT_FALSE(page->switcher()->itemViews().last()->selected());
    EXPECT_EQ(nubo::SingletonT<nubo::SystemConfig>::instance().getFilelistViewMode(), 0);
    EXPECT_FALSE(page->tableView()->isHidden());

    jump(QStringLiteral("/nav"));
    kit::TableView* table = page->tableView();
    // Away from where an earlier test clicked last, so this press starts a click of its own.
    doubleClick(table, QPoint(320, int(table->headerHeight() + table->rowHeight() / 2)));
    waitForPath(QStringLiteral("/nav/A"));
}

TEST_F(FilesPage, CrumbsAndHistoryNavigate) {
    openNamed(QStringLiteral("nav"));
    openNamed(QStringLiteral("A"));
    openNamed(QStringLiteral("deep"));
    const auto& tokens = page->folderCrumbs()->tokens();
    ASSERT_EQ(tokens.size(), 7);
    EXPECT_EQ(tokens.at(2)->title(), QStringLiteral("nav"));
    page->folderCrumbsDidClickDirectoryPath(QStringLiteral("/nav"));
    waitForPath(QStringLiteral("/nav"));
    page->actionGoback();
    waitForPath(QStringLiteral("/nav/A/deep"));
    EXPECT_TRUE(page->goForwardButton()->isEnabled());
    page->actionGoForward();
    waitForPath(QStringLiteral("/nav"));
    EXPECT_FALSE(page->goForwardButton()->isEnabled());
    page->openDirToRoot();
    waitForPath(QStringLiteral("/"));
}

TEST_F(FilesPage, FailedListKeepsTheRows) {
    jump(QStringLiteral("/five"));
    const auto rows = page->files();
    page->openDirWithJumpPath(QStringLiteral("/no/such/folder"), QString(), false);
    ASSERT_TRUE(waitUntil([&] { return KZToast::toastOf(page->view()) != nullptr; }));
    EXPECT_EQ(KZToast::toastOf(page->view())->text(), QStringLiteral("读取文件失败，请重试"));
    EXPECT_EQ(page->files().toList(), rows.toList());
}

TEST_F(FilesPage, SelectionOperationsKeepFlagsAndViewInStep) {
    jump(QStringLiteral("/five"));
    page->selectRowsAtIndexes(kit::IndexSet{0, 2});
    page->selectRowsAtIndexes(kit::IndexSet(1));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(page->files().at(i)->selected(), i == 1) << i;
    EXPECT_TRUE(page->homeToolBarMessage().contains(QStringLiteral("b.txt  修改日期：")));

    page->selectRowsAtIndexes({});
    EXPECT_TRUE(page->selectedFiles().isEmpty());
    EXPECT_FALSE(enabled(page->downloadItem()));
    EXPECT_EQ(page->homeToolBarMessage(), QStringLiteral("共5个文件"));

    // A row that arrives flagged is selected in the view and in the page.
    auto extra = made(QStringLiteral("zz.txt"), 0, 777777);
    extra->setSelected(true);
    auto rows = page->files();
    rows.append(extra);
    page->setFiles(rows);
    page->insertRowsAtIndexs(kit::IndexSet(5));
    EXPECT_TRUE(page->tableView()->isRowSelected(5));
    EXPECT_EQ(page->selectedFiles(), QList<CloudFileInfoPtr>{extra});

    rows.removeLast();
    page->setFiles(rows);
    page->deleteRowsAtIndexs(kit::IndexSet(5));
    EXPECT_EQ(page->tableView()->numberOfRows(), 5);
    EXPECT_TRUE(page->selectedFiles().isEmpty());

    // Two rows have no one name to edit: no field takes the keyboard.
    page->tableView()->selectRowIndexes(kit::IndexSet{0, 1}, false);
    ASSERT_EQ(page->selectedFiles().size(), 2);
    page->makeRenameFileFocus();
    EXPECT_FALSE(page->isEditing());
    EXPECT_EQ(qobject_cast<kit::TextField*>(window->firstResponder()), nullptr);
    page->tableView()->selectRowIndexes(kit::IndexSet(0), false);
    page->makeRenameFileFocus();
    EXPECT_TRUE(page->isEditing());
}

TEST_F(FilesPage, RowCheckBoxSelectsItsRow) {
    jump(QStringLiteral("/five"));
    auto* row = qobject_cast<KZFileRowView*>(page->tableView()->rowViewAtRow(2, false));
    ASSERT_NE(row, nullptr);
    row->checkBox()->setChecked(true);
    row->checkBoxClicked();
    EXPECT_EQ(page->selectedFiles(), QList<CloudFileInfoPtr>{page->files().at(2)});
    EXPECT_TRUE(page->tableView()->isRowSelected(2));
    row->checkBox()->setChecked(false);
    row->checkBoxClicked();
    EXPECT_TRUE(page->selectedFiles().isEmpty());
    EXPECT_FALSE(page->tableView()->isRowSelected(2));
}

TEST_F(FilesPage, RepliesAreSortedWithPlaceholdersFirstAndPreviewCountsImagesOnly) {
    auto folder = made(QStringLiteral("x"), 0, 900);
    folder->setIsDirectory(true);
    folder->setPath(QStringLiteral("/x"));
    const QList<CloudFileInfoPtr> rows{
        made(QStringLiteral("4.png"), 1, 904), made(QStringLiteral("2.txt"), 0, 902),
        made(QStringLiteral("1.png"), 1, 901), made(QStringLiteral("3.png"), 1, 903),
        KZLocalFileInfo::localFileInfoWithName(QStringLiteral("新建文件夹"), 900)};
    page->kzSessionRequestFileList(nullptr, 1, folder, rows, 0, {});
    QStringList order;
    for (const auto& f : page->files())
        order.append(f->name());
    EXPECT_EQ(order, (QStringList{"新建文件夹", "1.png", "2.txt", "3.png", "4.png"}));
    const auto [images, index] = page->previewImageInfos(named(page->files(), QStringLiteral("4.png")));
    EXPECT_EQ(images.size(), 3);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(page->tableView()->numberOfRows(), 5);
    EXPECT_FALSE(page->goBackButton()->isEnabled());
}

TEST_F(FilesPage, HidingThePageClearsSelectionAndStatusShowingItReloads) {
    jump(QStringLiteral("/five"));
    page->selectAllRows();
    window->hide();
    drainEvents();
    EXPECT_TRUE(page->selectedFiles().isEmpty());
    EXPECT_FALSE(page->files().first()->selected());
    EXPECT_TRUE(page->homeToolBarMessage().isEmpty());

    const CloudFileInfoPtr before = page->files().first();
    window->show();
    // Shown again: the folder is listed afresh (new records), not kept from before.
    ASSERT_TRUE(waitUntil([&] { return !page->files().isEmpty() && page->files().first() != before; }));
    EXPECT_EQ(page->fileInfo()->path(), QStringLiteral("/five"));
}

TEST_F(FilesPage, ImageRowsShowTheirThumbnailAndKeepIt) {
    KZImageCache::shareInstance()->setMemoryCacheSize(64 << 20);
    jump(QStringLiteral("/pics"));
    ASSERT_EQ(page->files().size(), 1);
    const CloudFileInfoPtr picture = page->files().first();
    ASSERT_EQ(picture->m_category(), 1);
    ASSERT_TRUE(
        waitUntil([&] { return !KZImageCache::shareInstance()->imageForCloudFile(*picture).isNull(); }));
    auto* cell = qobject_cast<KZFileInfoCell*>(page->tableView()->viewAtColumn(page->nameColumn(), 0, false));
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->reqID(), 0); // answered
    EXPECT_FALSE(cell->thumbInMemory().isNull());
}

// The list does not scroll sideways: at the window's smallest width every column must still be
// in view, and a wider window must give its room to the names rather than to the last column.
TEST_F(FilesPage, NameColumnTakesTheWidthTheOtherColumnsLeave) {
    kit::TableView* table = page->tableView();
    const int name = table->columnWithIdentifier(QStringLiteral("name"));
    const int last = int(table->tableColumns().size()) - 1;
    ASSERT_GE(name, 0);

    page->view()->setFrame(QRectF(0, 0, 620, 500)); // the page in the smallest home window
    drainEvents();
    EXPECT_LE(table->rectOfColumn(last).right(), table->width());
    EXPECT_GE(table->tableColumns().at(name)->width(), 140);
    const double narrowName = table->tableColumns().at(name)->width();

    page->view()->setFrame(QRectF(0, 0, 1260, 500));
    drainEvents();
    EXPECT_DOUBLE_EQ(table->tableColumns().at(name)->width(), narrowName + 640);
    EXPECT_LE(table->rectOfColumn(last).right(), table->width());
}

// Scrolling under a resting pointer: the hover look leaves the row that moved away and goes to
// the row that is now under the pointer, though the desktop reports no entering or leaving.
TEST_F(FilesPage, HoverFollowsThePointerWhenRowsScrollUnderIt) {
    jump(QStringLiteral("/big"));
    kit::TableView* table = page->tableView();
    auto row = [table](int r) { return qobject_cast<KZFileRowView*>(table->rowViewAtRow(r, false)); };
    const QColor hover = KZStyle::VCBackgroundColor();
    ASSERT_NE(row(4), nullptr);
    const QPoint local = row(4)->rect().center();
    QCursor::setPos(row(4)->mapToGlobal(local));
    QTest::mouseMove(window->windowHandle(), row(4)->mapTo(window, local));
    drainEvents();
    ASSERT_EQ(row(4)->backgroundView()->customBackgroundColor(), hover);

    table->scrollToPoint(QPointF(0, -KZFilesViewController::kTableHeaderHeight + 2 * table->rowHeight()));
    drainEvents();
    EXPECT_EQ(row(4)->backgroundView()->customBackgroundColor(), QColor(Qt::white));
    EXPECT_EQ(row(6)->backgroundView()->customBackgroundColor(), hover);
}

// Until a list has arrived (or when it fails) there is nothing to select: the select-all box is
// off, as for an empty folder.
TEST(FilesPageBeforeAnyList, SelectAllBoxStartsDisabled) {
    KZFilesViewController page(CloudFileInfo::rootFile());
    page.view();
    EXPECT_TRUE(page.files().isEmpty());
    EXPECT_FALSE(page.tableHeaderView()->isEnable());
}
