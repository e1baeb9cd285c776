// The file page's context and "more" menus, right clicks, the sort and display commands and
// double clicks, against the real page, session, transfer engines and embedded service.
#include "FileOpsFixture.h"
#include "ui/common/MenuFits.h"

#include "kit/Pasteboard.h"
#include "kit/Window.h"
#include "shell/KZTextFieldCell.h"
#include "transport/KZDownloadMgrProxy.h"
#include "ui/files/KZFileListStyleSwitcher.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTest>

using namespace nubo::test;

namespace {

QStringList titles(const QList<KZFileOperateMenuItemPtr>& items) {
    QStringList out;
    for (const auto& i : items)
        out.append(i->isSeparator() ? QStringLiteral("-") : i->title());
    return out;
}

QStringList split(const char* spaced) {
    return QString::fromUtf8(spaced).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

class OperationMenus : public FileOpsTest {
protected:
    void SetUp() override {
        FileOpsTest::SetUp();
        kit::Pasteboard::general().clearContents();
    }
    // A right press and release on a row, as the desktop delivers it to the row's view.
    void rightClickRow(const QString& name) {
        const int row = int(page->files().indexOf(this->row(name)));
        ASSERT_GE(row, 0) << name.toStdString();
        page->tableView()->scrollRowToVisible(row);
        QWidget* rv = page->tableView()->rowViewAtRow(row, false);
        ASSERT_NE(rv, nullptr);
        QTest::mousePress(rv, Qt::RightButton, {}, QPoint(200, rv->height() / 2));
        QTest::mouseRelease(rv, Qt::RightButton, {}, QPoint(200, rv->height() / 2));
    }
    // The same below the last row.
    void rightClickBlank() {
        kit::TableView* t = page->tableView();
        const QPoint p(200, t->height() - 10);
        ASSERT_LT(t->rowAtPoint(p), 0);
        QTest::mousePress(t, Qt::RightButton, {}, p);
        QTest::mouseRelease(t, Qt::RightButton, {}, p);
    }
    QStringList menu() { return titles(page->fileOperateMenu()->dataArray()); }
    bool menuShown() { return page->fileOperateMenu()->window()->isVisible(); }
    QStringList selectedNames() const {
        QStringList out;
        for (const auto& f : page->selectedFiles())
            out.append(f->name());
        return out;
    }
    void chooseInMenu(const QString& title) {
        KZFileOperateMenuWindowController* m = page->fileOperateMenu();
        for (int i = 0; i < m->dataArray().size(); ++i)
            if (m->dataArray().at(i)->title() == title) {
                m->tableView()->selectRowIndexes(kit::IndexSet(i), false);
                return;
            }
        ADD_FAILURE() << "no entry " << title.toStdString();
    }
};

} // namespace

TEST_F(OperationMenus, BlankAreaMenuDependsOnSearchAndOnThePasteboard) {
    jump(QStringLiteral("/three"));
    select({QStringLiteral("a.txt")});
    rightClickBlank();
    EXPECT_TRUE(menuShown());
    EXPECT_EQ(menu(), split("上传 新建文件夹 刷新 查看 排序"));
    EXPECT_TRUE(page->selectedFiles().isEmpty()); // a click on blank space clears the selection

    select({QStringLiteral("a.txt")});
    page->copyFileToPasteboard();
    rightClickBlank();
    EXPECT_EQ(menu(), split("上传 新建文件夹 粘贴 刷新 查看 排序"));

    typeSearch(QStringLiteral("txt"));
    rightClickBlank();
    EXPECT_EQ(menu(), split("刷新 查看 排序"));
}

TEST_F(OperationMenus, RowMenusFollowTheSelection) {
    jump(QStringLiteral("/three"));
    struct Case {
        QStringList selection;
        const char* rightClicked;
        const char* expected;
    };
    const QList<Case> cases = {
        {{}, "a.txt", "下载 - 复制到 移动到 重命名 - 历史版本 - 分享 - 删除"},
        {{}, "sub", "打开 下载 - 复制到 移动到 重命名 - 分享 - 删除"},
        {{QStringLiteral("a.txt"), QStringLiteral("b.txt")}, "b.txt", "下载 - 复制到 移动到 分享 - 删除"},
    };
    for (const Case& c : cases) {
        select(c.selection);
        rightClickRow(QString::fromUtf8(c.rightClicked));
        EXPECT_EQ(menu(), split(c.expected)) << c.rightClicked;
    }
    // A right click on a selected row keeps the selection; outside it replaces it.
    EXPECT_EQ(selectedNames(), (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    rightClickRow(QStringLiteral("c.txt"));
    EXPECT_EQ(selectedNames(), QStringList{QStringLiteral("c.txt")});

    // Shared files offer their share's entries, a mix offers "分享".
    row(QStringLiteral("a.txt"))->setM_isLink(true);
    select({QStringLiteral("a.txt")});
    rightClickRow(QStringLiteral("a.txt"));
    EXPECT_EQ(menu(), split("下载 - 复制到 移动到 重命名 - 历史版本 - 查看分享 取消分享 - 删除"));
    EXPECT_EQ(titles(page->getmoreOperationItems()),
              split("查看分享 取消分享 - 移动到 复制到 重命名 - 历史版本"));
    select({QStringLiteral("a.txt"), QStringLiteral("b.txt")});
    rightClickRow(QStringLiteral("a.txt"));
    EXPECT_EQ(menu(), split("下载 - 复制到 移动到 分享 - 删除"));
    EXPECT_EQ(titles(page->getmoreOperationItems()), split("分享 - 移动到 复制到"));

    // In search results: the file's location, no copy or move.
    typeSearch(QStringLiteral("b.txt"));
    ASSERT_NE(row(QStringLiteral("b.txt")), nullptr);
    rightClickRow(QStringLiteral("b.txt"));
    EXPECT_EQ(menu(), split("打开文件位置 下载 - 重命名 - 历史版本 - 分享 - 删除"));
    EXPECT_TRUE(menuShowsEveryTitleWhole(page->fileOperateMenu()));
    chooseInMenu(QStringLiteral("打开文件位置"));
    EXPECT_FALSE(menuShown());
    ASSERT_TRUE(waitUntil([&] { return page->fileInfo()->path() == QStringLiteral("/three"); }));
    ASSERT_TRUE(waitUntil([&] { return selectedNames() == QStringList{QStringLiteral("b.txt")}; }));
}

// A context menu opened for one selection never acts on another: any change of the selection
// closes it first, in the list and in the grid; a change that keeps the selection leaves it open.
TEST_F(OperationMenus, ASelectionChangeClosesTheContextMenu) {
    jump(QStringLiteral("/three"));
    QApplication::setActiveWindow(window);
    rightClickRow(QStringLiteral("a.txt"));
    ASSERT_TRUE(menuShown());
    window->makeFirstResponder(page->tableView());
    QTest::keyClick(window->windowHandle(), Qt::Key_Down);
    EXPECT_EQ(selectedNames(), QStringList{QStringLiteral("b.txt")});
    EXPECT_FALSE(menuShown());

    rightClickRow(QStringLiteral("a.txt"));
    ASSERT_TRUE(menuShown());
    QTest::keyClick(window->windowHandle(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(page->selectedFiles().size(), page->files().size());
    EXPECT_FALSE(menuShown());

    // The merge gives a selected row a new record and selects it again: the same selection.
    select({QStringLiteral("a.txt")});
    rightClickRow(QStringLiteral("a.txt"));
    ASSERT_TRUE(menuShown());
    ASSERT_TRUE(svc()
                    .service()
                    .rename(svc().service().nodeByPath(QStringLiteral("/three/c.txt")).value.nid,
                            QStringLiteral("c2.txt"))
                    .ok());
    refresh();
    ASSERT_NE(row(QStringLiteral("c2.txt")), nullptr);
    EXPECT_TRUE(menuShown());
    EXPECT_EQ(selectedNames(), QStringList{QStringLiteral("a.txt")});
    ASSERT_TRUE(svc()
                    .service()
                    .rename(svc().service().nodeByPath(QStringLiteral("/three/c2.txt")).value.nid,
                            QStringLiteral("c.txt"))
                    .ok());
    refresh();

    page->switcher()->setStyle(KZFileListStyleGrid);
    page->collectionView()->selectItems(
        {kit::IndexPath{0, int(page->files().indexOf(row(QStringLiteral("a.txt"))))}},
        kit::ScrollPosition::None);
    page->selectRowsAtIndexes(page->collectionView()->selectionIndexes());
    page->fileOperateMenu()->showInWindow(window, QPointF(200, 200), page->getmoreOperationItems());
    ASSERT_TRUE(menuShown());
    page->didPressCmdA();
    EXPECT_FALSE(menuShown());
    page->fileOperateMenu()->showInWindow(window, QPointF(200, 200), page->getmoreOperationItems());
    ASSERT_TRUE(menuShown());
    page->deselectAllRows();
    EXPECT_FALSE(menuShown());
}

TEST_F(OperationMenus, MenuEntriesRunTheirCommands) {
    jump(QStringLiteral("/three"));
    // "打开" on a folder opens it.
    select({QStringLiteral("sub")});
    rightClickRow(QStringLiteral("sub"));
    chooseInMenu(QStringLiteral("打开"));
    ASSERT_TRUE(waitUntil([&] { return page->fileInfo()->path() == QStringLiteral("/three/sub"); }));

    // "查看" → "缩略图" switches to the grid, and the grid's blank menu switches back.
    rightClickBlank();
    page->fileOperateMenu()->fileOperateRowItemMouseEntered(page->fileOperateMenu()->dataArray().at(3), {});
    KZFileSortWindowController* modes = page->fileOperateMenu()->modeMenu();
    ASSERT_TRUE(modes->window()->isVisible());
    modes->tableView()->selectRowIndexes(kit::IndexSet(1), false);
    EXPECT_EQ(page->filesContainerStyle(), uint(KZFileListStyleGrid));
    page->actionSwitchListStyle();
    EXPECT_EQ(page->filesContainerStyle(), uint(KZFileListStyleList));

    // "新建文件夹" starts a new-folder row.
    rightClickBlank();
    chooseInMenu(QStringLiteral("新建文件夹"));
    EXPECT_TRUE(page->isEditing());
    window->makeFirstResponder(nullptr);
}

TEST_F(OperationMenus, SortCommandsKeepTheOtherHalfOfTheMode) {
    const quint64 name = KZFileOperateItemTypeSortByName, time = KZFileOperateItemTypeSortByTime;
    const quint64 up = KZFileOperateItemTypeAscending, down = KZFileOperateItemTypeDescending;
    //                              from:  0  1  2  3
    const QList<QPair<quint64, QList<int>>> table = {
        {name, {0, 1, 0, 1}}, {time, {2, 3, 2, 3}}, {up, {0, 0, 2, 2}}, {down, {1, 1, 3, 3}}};
    for (const auto& [command, results] : table)
        for (int from = 0; from < 4; ++from)
            EXPECT_EQ(KZFilesViewController::sortModeAfterCommand(from, command), results[from])
                << from << " " << command;
    EXPECT_EQ(KZFilesViewController::sortModeAfterCommand(9, up), 2); // unknown counts as time descending

    jump(QStringLiteral("/three"));
    page->setFileListSortMode(1);
    page->actionSortFile();
    KZFileSortWindowController* sorter = page->fileSortMenu();
    ASSERT_TRUE(sorter->window()->isVisible());
    sorter->tableView()->selectRowIndexes(kit::IndexSet(1), false); // "按时间排序"
    EXPECT_FALSE(sorter->window()->isVisible());
    EXPECT_EQ(page->fileListSortMode(), 3);
    ASSERT_TRUE(waitUntil([&] { return !page->isListRequestPending(); }));
    drainEvents();
    // The current order again: nothing is asked.
    page->actionSortFilesByModify();
    EXPECT_FALSE(page->isListRequestPending());
}

TEST_F(OperationMenus, ToolbarMenusHangUnderTheirButtonsAndCloseTogether) {
    jump(QStringLiteral("/three"));
    select({QStringLiteral("a.txt")});
    page->actionMoreFileOperation();
    KZFileOperateMenuWindowController* more = page->moreOperateMenu();
    ASSERT_NE(more, nullptr);
    ASSERT_TRUE(more->window()->isVisible());
    EXPECT_EQ(titles(more->dataArray()), split("分享 - 移动到 复制到 重命名 - 历史版本"));
    page->actionSortFile();
    EXPECT_FALSE(more->window()->isVisible()); // every command closes the others first
    EXPECT_TRUE(page->fileSortMenu()->window()->isVisible());
    rightClickRow(QStringLiteral("a.txt"));
    EXPECT_FALSE(page->fileSortMenu()->window()->isVisible());
    EXPECT_TRUE(menuShown());
    page->closeAllMenus();
    EXPECT_FALSE(menuShown());
}

TEST_F(OperationMenus, DoubleClicksOpenFoldersAndDownloadOtherFiles) {
    jump(QStringLiteral("/three"));
    auto* proxy = KZDownloadMgrProxy::shareDownloadMgrProxy();
    const auto jobs = [proxy] {
        return proxy->getRunningJobCount() + proxy->getWaitingJobCount() + proxy->getFinishedJobCount();
    };
    const int before = jobs();
    const auto doubleClick = [&](const QString& name) {
        const int row = int(page->files().indexOf(this->row(name)));
        QWidget* rv = page->tableView()->rowViewAtRow(row, false);
        const int interval = QApplication::doubleClickInterval();
        QApplication::setDoubleClickInterval(5000);
        const QPoint p(200, rv->height() / 2);
        QTest::mousePress(rv, Qt::LeftButton, {}, p);
        QTest::mouseRelease(rv, Qt::LeftButton, {}, p);
        QTest::mouseDClick(rv, Qt::LeftButton, {}, p);
        QTest::mouseRelease(rv, Qt::LeftButton, {}, p);
        QApplication::setDoubleClickInterval(interval);
    };
    doubleClick(QStringLiteral("a.txt"));
    ASSERT_TRUE(waitUntil([&] { return jobs() > before; }, 10000));
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(s_local->path() + QStringLiteral("/a.txt")); }, 10000));
    doubleClick(QStringLiteral("sub"));
    ASSERT_TRUE(waitUntil([&] { return page->fileInfo()->path() == QStringLiteral("/three/sub"); }));
}
