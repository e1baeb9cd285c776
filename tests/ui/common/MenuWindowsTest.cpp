#include "kit/Event.h"
#include "kit/Window.h"
#include "support/EventLoop.h"
#include "ui/common/KZFileOperateCellView.h"
#include "ui/common/KZFileOperateMenuWindowController.h"
#include "ui/common/KZFileSortWindowController.h"
#include "ui/common/MenuFits.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using Item = KZFileOperateMenuItem;

KZFileOperateMenuItemPtr item(const QString& title, KZFileOperateItemType type) {
    return Item::itemWithTitle(title, type);
}

QList<KZFileOperateMenuItemPtr> openSeparatorRename() {
    return {item(QStringLiteral("打开"), KZFileOperateItemTypeOpen), Item::separatorItem(),
            item(QStringLiteral("重命名"), KZFileOperateItemTypeRename)};
}

// The blank-area shape: the two pop-up entries are the last rows.
QList<KZFileOperateMenuItemPtr> withPopUpEntries() {
    return {item(QStringLiteral("刷新"), KZFileOperateItemTypeRefresh), Item::separatorItem(),
            item(QStringLiteral("查看"), KZFileOperateItemTypeDisplayMode),
            item(QStringLiteral("排序"), KZFileOperateItemTypeSort)};
}

// Records what was chosen and which windows were still open at that moment.
class Recorder : public QObject, public KZFileOperateMenuWindowDelegate {
public:
    KZFileOperateMenuWindowController* menu = nullptr;
    QList<quint64> chosen, subChosen;
    bool anyOpenWhenTold = false;
    void fileOperateMenuSelectedItem(const KZFileOperateMenuItemPtr& i, kit::TableView*) override {
        chosen.append(i->type());
        note();
    }
    void submenuFileOperateMenuSelectedItem(const KZFileOperateMenuItemPtr& i, kit::TableView*) override {
        subChosen.append(i->type());
        note();
    }
    void note() {
        anyOpenWhenTold = anyOpenWhenTold || menu->window()->isVisible() ||
                          menu->fileSortMenu()->window()->isVisible() ||
                          menu->modeMenu()->window()->isVisible();
    }
};

struct MenuFixture : ::testing::Test {
    kit::Window parent;
    KZFileOperateMenuWindowController menu;
    Recorder recorder;

    void SetUp() override {
        parent.setFrame(QRectF(100, 100, 600, 400));
        parent.show();
        recorder.menu = &menu;
        menu.setDelegate(&recorder);
    }
    void TearDown() override { menu.close(); }

    KZFileOperateRowView* rowView(int row) {
        return dynamic_cast<KZFileOperateRowView*>(menu.tableView()->rowViewAtRow(row, false));
    }
    bool modeOpen() { return menu.modeMenu()->window()->isVisible(); }
    bool sortOpen() { return menu.fileSortMenu()->window()->isVisible(); }
    void enter(int row) { rowView(row)->mouseEntered(kit::Event(kit::Event::Type::MouseEntered, {50, 50})); }
    void leave(int row, QPointF inMenuWindow) {
        rowView(row)->mouseExited(kit::Event(kit::Event::Type::MouseExited, inMenuWindow));
    }
};

} // namespace

TEST(MenuItems, MenuHeightCountsRowsSeparatorsAndPadding) {
    EXPECT_EQ(Item::menuHeightForItems(openSeparatorRename()), 97);
    EXPECT_EQ(Item::menuHeightForItems({}), 16);
    EXPECT_DOUBLE_EQ(Item::rowHeightForType(KZFileOperateItemTypeSeparator), 5.0);
    EXPECT_DOUBLE_EQ(Item::rowHeightForType(KZFileOperateItemTypeDownload), 38.0);
}

TEST_F(MenuFixture, MenuHangsTenPointsAboveThePointAndTheMoreMenuFromIt) {
    menu.showInWindow(&parent, QPointF(40, 300), openSeparatorRename());
    EXPECT_TRUE(menu.window()->isVisible());
    EXPECT_EQ(menu.window()->frame(), QRectF(140, 100 + 300 - 97 + 10, 110, 97));
    EXPECT_EQ(menu.window()->bottom(), 100 + 300 + 10);
    EXPECT_EQ(menu.parentWindow(), &parent);
    EXPECT_EQ(parent.childWindows(), QList<kit::Window*>{menu.window()});

    menu.close();
    menu.moreOperateMenuShowInWindow(&parent, QPointF(300, 450), openSeparatorRename());
    EXPECT_TRUE(menu.window()->isVisible());
    EXPECT_EQ(menu.window()->frame(), QRectF(300, 450 - 97, 110, 97));
    EXPECT_EQ(menu.tableView()->numberOfRows(), 3);
}

// A title too long for 110 points widens the menu (short ones keep it at 110, above).
TEST_F(MenuFixture, TheMenuIsWideEnoughForItsLongestTitle) {
    const QString longest = QStringLiteral("打开文件位置位置位置");
    menu.showInWindow(&parent, QPointF(40, 300),
                      {item(QStringLiteral("下载"), KZFileOperateItemTypeDownload), Item::separatorItem(),
                       item(longest, KZFileOperateItemTypeOpenLocation)});
    EXPECT_GT(menu.window()->width(), KZFileOperateMenuWindowController::kWidth);
    EXPECT_TRUE(nubo::test::menuShowsEveryTitleWhole(&menu));
    // Hanging from the same point, only wider.
    EXPECT_EQ(menu.window()->left(), 140);
    EXPECT_EQ(menu.window()->bottom(), 100 + 300 + 10);
}

TEST_F(MenuFixture, MenusNearTheScreenEdgeStayOnScreen) {
    const QRectF area =
        kit::Window::screenRectFromGlobal(QGuiApplication::primaryScreen()->availableGeometry());
    parent.setFrame(QRectF(area.right() - 200, area.top(), 200, 300));
    menu.showInWindow(&parent, QPointF(190, 20), withPopUpEntries());
    const QRectF f = menu.window()->frame();
    EXPECT_LE(f.right(), area.right());
    EXPECT_GE(f.top(), area.top());
    // No room on the right: the pop-up opens on the left and is still reachable from its row.
    enter(2);
    EXPECT_EQ(menu.modeMenu()->window()->frame().right(), f.left());
    leave(2, {-3, 60});
    EXPECT_TRUE(modeOpen());
}

TEST_F(MenuFixture, RowsShowTitlesArrowsOnlyForPopUpEntriesAndSeparatorsAsALine) {
    QList<KZFileOperateMenuItemPtr> items = withPopUpEntries();
    items.prepend(item(QStringLiteral("下载"), KZFileOperateItemTypeDownload));
    menu.showInWindow(&parent, QPointF(40, 300), items);
    for (int row = 0; row < items.size(); ++row) {
        auto* cell = dynamic_cast<KZFileOperateCellView*>(menu.tableView()->viewAtColumn(0, row, false));
        ASSERT_NE(cell, nullptr) << row;
        const quint64 type = items[row]->type();
        EXPECT_EQ(cell->titleLabel()->text(), items[row]->title());
        EXPECT_EQ(cell->rightArrowView()->isVisible(), type == 16 || type == 17) << row;
        EXPECT_EQ(cell->bottomLineView()->isVisible(), type == 25) << row;
        EXPECT_FALSE(cell->topLineView()->isVisible());
        EXPECT_DOUBLE_EQ(menu.tableView()->rectOfRow(row).height(), type == 25 ? 5.0 : 38.0);
    }
    // Entering a separator or a plain entry opens nothing.
    enter(2);
    enter(0);
    EXPECT_FALSE(modeOpen());
    EXPECT_FALSE(sortOpen());
}

TEST_F(MenuFixture, ChoosingAnEntryClosesEverythingBeforeTheDelegateHears) {
    menu.showInWindow(&parent, QPointF(40, 300), withPopUpEntries(), 0, 1);
    enter(3);
    ASSERT_TRUE(sortOpen());
    QTest::mouseClick(rowView(0), Qt::LeftButton, {}, QPoint(30, 19));
    EXPECT_EQ(recorder.chosen, QList<quint64>{KZFileOperateItemTypeRefresh});
    EXPECT_FALSE(recorder.anyOpenWhenTold);
    EXPECT_FALSE(menu.window()->isVisible());
    EXPECT_FALSE(sortOpen());

    // Shown again, the same entry counts again.
    menu.showInWindow(&parent, QPointF(40, 300), withPopUpEntries(), 0, 1);
    QTest::mouseClick(rowView(0), Qt::LeftButton, {}, QPoint(30, 19));
    EXPECT_EQ(recorder.chosen.size(), 2);
}

TEST_F(MenuFixture, PopUpsOpenBesideTheirRowsOnHoverAndStayOpenOnlyThroughTheirBands) {
    menu.showInWindow(&parent, QPointF(40, 300), withPopUpEntries(), 1, 0);
    const QRectF f = menu.window()->frame();

    // "查看": the mode pop-up, 92 high, from the menu's lower edge on its right.
    enter(2);
    ASSERT_TRUE(modeOpen());
    EXPECT_EQ(menu.modeMenu()->window()->frame(), QRectF(f.right(), f.top(), 130, 92));
    leave(2, {112, 60}); // sideways into the pop-up
    EXPECT_TRUE(modeOpen());
    enter(2);
    leave(2, {60, 85}); // up into the rows above
    EXPECT_FALSE(modeOpen());

    // "排序": the sort pop-up, 173 high, 122 below the lower edge; the mode pop-up closes.
    enter(2);
    enter(3);
    EXPECT_FALSE(modeOpen());
    ASSERT_TRUE(sortOpen());
    EXPECT_EQ(menu.fileSortMenu()->window()->frame(), QRectF(f.right(), f.top() - 122, 130, 173));
    leave(3, {112, 20});
    EXPECT_TRUE(sortOpen());
    leave(3, {112, 45}); // at the band's edge
    EXPECT_FALSE(sortOpen());
    enter(3);
    leave(3, {60, -1}); // below the menu
    EXPECT_FALSE(sortOpen());
    enter(3);
    leave(0, {60, 150}); // any other row closes both
    EXPECT_FALSE(sortOpen());

    // A pop-up choice reaches the delegate as a submenu choice, after everything closed.
    enter(3);
    auto* sortTable = menu.fileSortMenu()->tableView();
    QTest::mouseClick(sortTable->rowViewAtRow(4, false), Qt::LeftButton, {}, QPoint(30, 19));
    EXPECT_EQ(recorder.subChosen, QList<quint64>{KZFileOperateItemTypeDescending});
    EXPECT_TRUE(recorder.chosen.isEmpty());
    EXPECT_FALSE(recorder.anyOpenWhenTold);
}

namespace {
struct SortRecorder : QObject, KZFileSortWindowMenuDelegate {
    QList<quint64> chosen;
    void fileSortMenuItem(const KZFileOperateMenuItemPtr& i, kit::TableView*) override {
        chosen.append(i->type());
    }
};

QStringList marked(const QList<KZFileOperateMenuItemPtr>& items) {
    QStringList out;
    for (const auto& i : items)
        if (i->selected())
            out.append(i->title());
    return out;
}
} // namespace

TEST(SortPopUp, MarksTheCurrentSortAndDisplayMode) {
    KZFileSortWindowController popUp;
    const QString name = QStringLiteral("按名称排序"), time = QStringLiteral("按时间排序");
    const QString up = QStringLiteral("递增"), down = QStringLiteral("递减");
    const QList<std::pair<qint32, QStringList>> sorts = {{0, {name, up}},   {1, {name, down}},
                                                         {2, {time, up}},   {3, {time, down}},
                                                         {7, {time, down}}, {-1, {time, down}}};
    for (const auto& [mode, expected] : sorts) {
        popUp.setSortMode(mode);
        EXPECT_EQ(marked(popUp.getFileSortItems()), expected) << mode;
    }
    const QList<std::pair<quint64, QStringList>> styles = {
        {0, {QStringLiteral("列表")}}, {1, {QStringLiteral("缩略图")}}, {2, {}}};
    for (const auto& [mode, expected] : styles) {
        popUp.setListMode(mode);
        EXPECT_EQ(marked(popUp.getFileListStyleItems()), expected) << mode;
    }
    // The cells show the marks and the separator line of what they are given.
    popUp.showInWindowSortMode(nullptr, QPointF(200, 200), 2);
    ASSERT_EQ(popUp.tableView()->numberOfRows(), 5);
    QList<bool> marks, lines;
    for (int row = 0; row < 5; ++row) {
        auto* cell = dynamic_cast<KZFileSortCellView*>(popUp.tableView()->viewAtColumn(0, row, true));
        ASSERT_NE(cell, nullptr);
        marks.append(cell->markImageView()->isVisibleTo(cell));
        lines.append(cell->lineView()->isVisibleTo(cell));
    }
    EXPECT_EQ(marks, (QList<bool>{false, true, false, true, false}));
    EXPECT_EQ(lines, (QList<bool>{false, false, true, false, false}));
}

TEST(SortPopUp, SizesFromItsEntriesAndReportsEveryClickedRowAfterClosing) {
    kit::Window parent;
    parent.setFrame(QRectF(100, 100, 600, 400));
    parent.show();
    KZFileSortWindowController popUp;
    SortRecorder recorder;
    popUp.setDelegate(&recorder);
    popUp.showInWindowListMode(&parent, QPointF(300, 250), 0);
    EXPECT_EQ(popUp.window()->frame(), QRectF(300, 250, 130, 92));
    popUp.showInWindowSortMode(&parent, QPointF(300, 250), 3);
    EXPECT_EQ(popUp.window()->frame(), QRectF(300, 250, 130, 173));
    ASSERT_TRUE(popUp.window()->isVisible());
    // The separator row counts like any other.
    QTest::mouseClick(popUp.tableView()->rowViewAtRow(2, false), Qt::LeftButton, {}, QPoint(30, 2));
    EXPECT_FALSE(popUp.window()->isVisible());
    EXPECT_EQ(recorder.chosen, QList<quint64>{KZFileOperateItemTypeSeparator});
}
