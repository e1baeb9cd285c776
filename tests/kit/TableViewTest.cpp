#include "kit/TableView.h"
#include "kit/Label.h"
#include "kit/Window.h"
#include "support/EventLoop.h"

#include <QApplication>
#include <QMimeData>
#include <QTest>
#include <gtest/gtest.h>
#include <set>

using namespace kit;

namespace {

// A data source that counts the views it is asked for and records added/removed rows.
class Source : public QObject, public TableViewDataSource, public TableViewDelegate {
public:
    int rows = 0;
    int cellsMade = 0; // views made by the factory, not reused
    int selectionChanges = 0;
    std::set<TableRowView*> live; // row views added and not yet removed
    bool pairingBroken = false;
    QList<qreal> heights; // per-row heights when set

    int numberOfRowsInTableView(TableView*) override { return rows; }
    View* tableViewViewForTableColumn(TableView* t, TableColumn*, int row) override {
        auto* l = t->makeView<Label>(QStringLiteral("cell"));
        l->setText(QString::number(row));
        return l;
    }
    qreal tableViewHeightOfRow(TableView*, int row) override { return heights.isEmpty() ? -1 : heights[row]; }
    void tableViewDidAddRowView(TableView*, TableRowView* rv, int) override {
        pairingBroken = pairingBroken || !live.insert(rv).second;
    }
    void tableViewDidRemoveRowView(TableView*, TableRowView* rv, int) override {
        pairingBroken = pairingBroken || live.erase(rv) != 1;
    }
    void tableViewSelectionDidChange(TableView*) override { ++selectionChanges; }
};

struct Fixture : ::testing::Test {
    Window window;
    TableView* table = new TableView;
    Source source;

    void SetUp() override {
        window.resize(400, 32 + 10 * 24); // a 32-point header and ten visible rows
        window.contentView()->addSubview(table);
        table->setGeometry(0, 0, 400, 32 + 10 * 24);
        table->setRowHeight(24);
        table->addTableColumn(QStringLiteral("name"), QStringLiteral("Name"), 200);
        table->addTableColumn(QStringLiteral("size"), QStringLiteral("Size"), 100);
        table->registerView(QStringLiteral("cell"), [this] {
            ++source.cellsMade;
            return new Label;
        });
        table->setDataSource(&source);
        table->setDelegate(&source);
        table->setAllowsMultipleSelection(true);
        window.show();
        QApplication::processEvents();
    }

    QPoint rowCenter(int row) const {
        const QRectF r = table->rectOfRow(row);
        const qreal y = r.center().y() - table->visibleRect().y();
        return QPoint(50, int(y));
    }
};

} // namespace

TEST_F(Fixture, OnlyRowsNearTheVisibleRectangleHaveViewsAndCallbacksPairWhileScrolling) {
    source.rows = 1000000;
    table->reloadData();
    EXPECT_EQ(table->visibleRect().y(), -32.0); // the top under a 32-point header
    const int first = table->numberOfRowViews();
    EXPECT_GE(first, 10);
    EXPECT_LE(first, 10 + 6);
    EXPECT_EQ(int(source.live.size()), first);

    for (int step = 0; step < 200; ++step)
        table->scrollToPoint(QPointF(0, step * 37.0 - 32));
    table->scrollRowToVisible(999999);
    EXPECT_LE(table->numberOfRowViews(), 10 + 6);
    EXPECT_FALSE(source.pairingBroken);
    EXPECT_EQ(int(source.live.size()), table->numberOfRowViews());
    EXPECT_TRUE(table->displayedRows().contains(999999));
    EXPECT_EQ(table->visibleRect().bottom(), 1000000 * 24.0);
    // Views were reused, not made for every row scrolled past.
    EXPECT_LT(source.cellsMade, 200);

    source.rows = 0;
    table->reloadData();
    EXPECT_TRUE(source.live.empty());
    EXPECT_FALSE(source.pairingBroken);
}

TEST_F(Fixture, ScrollOffsetsFollowTheHeaderConvention) {
    source.rows = 100;
    table->reloadData();
    table->scrollToPoint(QPointF(0, 240));
    EXPECT_EQ(table->visibleRect().y(), 240.0);
    EXPECT_EQ(table->rowAtPoint(QPointF(10, 32 + 1)), 240 / 24 + 32 / 24);
    table->scrollToPoint(QPointF(0, -32));
    EXPECT_EQ(table->visibleRect().y(), -32.0);
    EXPECT_EQ(table->rowAtPoint(QPointF(10, 33)), 0);
    EXPECT_EQ(table->rowAtPoint(QPointF(10, 10)), -1); // over the header
    table->scrollToPoint(QPointF(0, 1e9));             // clamped to the end
    EXPECT_EQ(table->visibleRect().bottom(), 100 * 24.0);

    table->setHeaderView(nullptr);
    table->scrollToPoint(QPointF(0, 0));
    EXPECT_EQ(table->visibleRect().y(), 0.0);
}

TEST_F(Fixture, PerRowHeightsPlaceRowsByTheirSums) {
    source.rows = 5;
    source.heights = {10, 20, 30, 40, 50};
    table->reloadData();
    EXPECT_EQ(table->rectOfRow(3), QRectF(0, 60, table->rectOfRow(3).width(), 40));
    EXPECT_EQ(table->rowAtPoint(QPointF(5, 32 + 59)), 2);
    EXPECT_EQ(table->rowAtPoint(QPointF(5, 32 + 60)), 3);
    EXPECT_EQ(table->rowAtPoint(QPointF(5, 32 + 150)), -1);
}

TEST_F(Fixture, SelectionExtendsOrReplaces) {
    source.rows = 10;
    table->reloadData();
    table->selectRowIndexes(IndexSet{1, 2}, false);
    table->selectRowIndexes(IndexSet(5), true);
    EXPECT_EQ(table->selectedRowIndexes(), (IndexSet{1, 2, 5}));
    table->selectRowIndexes(IndexSet(7), false);
    EXPECT_EQ(table->selectedRowIndexes(), IndexSet(7));
    EXPECT_TRUE(table->rowViewAtRow(7, false)->isSelected());
    EXPECT_FALSE(table->rowViewAtRow(1, false)->isSelected());
    table->selectAll();
    EXPECT_EQ(table->numberOfSelectedRows(), 10);
    table->deselectAll();
    EXPECT_EQ(table->numberOfSelectedRows(), 0);
    EXPECT_EQ(source.selectionChanges, 5);
    table->deselectAll(); // no change, no callback
    EXPECT_EQ(source.selectionChanges, 5);

    // Out-of-range rows are never selected; a single-selection table keeps one row.
    table->selectRowIndexes(IndexSet{3, 50}, false);
    EXPECT_EQ(table->selectedRowIndexes(), IndexSet(3));
    table->setAllowsMultipleSelection(false);
    table->selectRowIndexes(IndexSet{1, 4}, true);
    EXPECT_EQ(table->selectedRowIndexes(), IndexSet(4));
}

// A reload is a new list: the row numbers selected before name other records now, so none of
// them stays selected (a list carries its own choice over by record), and the delegate hears of it.
TEST_F(Fixture, AReloadSelectsNothingAndSaysSo) {
    source.rows = 6;
    table->reloadData();
    table->setAllowsMultipleSelection(true);
    table->selectRowIndexes(IndexSet{1, 4}, false);
    const int changesBefore = source.selectionChanges;
    table->reloadData(); // the same number of rows
    EXPECT_TRUE(table->selectedRowIndexes().isEmpty());
    EXPECT_FALSE(table->rowViewAtRow(1, false)->isSelected());
    EXPECT_EQ(source.selectionChanges, changesBefore + 1);
    table->reloadData(); // nothing selected: no change to tell
    EXPECT_EQ(source.selectionChanges, changesBefore + 1);

    // Shift-click ranges start afresh: no anchor left from the old rows.
    table->selectRowIndexes(IndexSet(2), false);
    source.rows = 3;
    table->reloadData();
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, Qt::ShiftModifier,
                      table->mapTo(&window, rowCenter(1)));
    EXPECT_EQ(table->selectedRowIndexes(), IndexSet(1));
}

TEST_F(Fixture, InsertionAndRemovalKeepTheOtherRowsSelected) {
    source.rows = 6;
    table->reloadData();
    table->selectRowIndexes(IndexSet{1, 3, 5}, false);

    source.rows = 8;
    table->beginUpdates();
    table->insertRows(IndexSet{0, 4});
    table->endUpdates();
    EXPECT_EQ(table->numberOfRows(), 8);
    // Inserting at 0 moves 1, 3, 5 to 2, 4, 6; inserting at 4 then moves 4, 6 to 5, 7.
    EXPECT_EQ(table->selectedRowIndexes(), (IndexSet{2, 5, 7}));
    EXPECT_TRUE(table->rowViewAtRow(7, false)->isSelected());
    EXPECT_FALSE(table->rowViewAtRow(4, false)->isSelected());

    const int changesBefore = source.selectionChanges;
    source.rows = 6;
    table->beginUpdates();
    table->removeRows(IndexSet{0, 5}); // drops the selected old row 3
    table->endUpdates();
    EXPECT_EQ(table->selectedRowIndexes(), (IndexSet{1, 5}));
    EXPECT_EQ(source.selectionChanges, changesBefore + 1);
    EXPECT_FALSE(source.pairingBroken);
    EXPECT_EQ(int(source.live.size()), table->numberOfRowViews());
}

// Removing every visible row inside an update leaves the old rows drawn until the update ends,
// then the rows below take their places; the removed views are reused, not leaked.
TEST_F(Fixture, RowsRemovedInsideAnUpdateStayDrawnUntilItEnds) {
    source.rows = 40;
    table->reloadData();
    const auto drawn = [this] {
        int n = 0;
        for (auto* rv : table->findChildren<TableRowView*>())
            n += rv->isVisible() ? 1 : 0;
        return n;
    };
    const int before = drawn();
    ASSERT_GE(before, 10);
    const int madeBefore = source.cellsMade;

    source.rows = 20;
    table->beginUpdates();
    table->removeRows(IndexSet::range(0, 20));
    EXPECT_EQ(drawn(), before);
    table->endUpdates();
    EXPECT_EQ(drawn(), table->numberOfRowViews());
    EXPECT_GE(table->numberOfRowViews(), 10);
    EXPECT_FALSE(source.pairingBroken);
    EXPECT_EQ(int(source.live.size()), table->numberOfRowViews());
    EXPECT_EQ(source.cellsMade, madeBefore);
}

TEST_F(Fixture, ClickedRowFollowsClicksOnRowsAndEmptySpace) {
    source.rows = 3;
    table->reloadData();
    int singles = 0, doubles = 0;
    table->setAction(table, [&] { ++singles; });
    table->setDoubleAction(table, [&] { ++doubles; });

    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, table->mapTo(&window, rowCenter(1)));
    EXPECT_EQ(table->clickedRow(), 1);
    EXPECT_EQ(table->selectedRowIndexes(), IndexSet(1));
    EXPECT_EQ(singles, 1);

    const QPoint below = table->mapTo(&window, QPoint(50, 32 + 3 * 24 + 30));
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, below);
    EXPECT_EQ(table->clickedRow(), -1);
    EXPECT_TRUE(table->selectedRowIndexes().isEmpty());

    // A double click below the last row gives no row either.
    QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {}, below);
    EXPECT_EQ(table->clickedRow(), -1);
    EXPECT_EQ(doubles, 1);

    // Ctrl extends, a right click marks the row without changing the selection.
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, table->mapTo(&window, rowCenter(0)), 800);
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, Qt::ControlModifier,
                      table->mapTo(&window, rowCenter(2)), 800);
    EXPECT_EQ(table->selectedRowIndexes(), (IndexSet{0, 2}));
    QTest::mouseClick(window.windowHandle(), Qt::RightButton, {}, table->mapTo(&window, rowCenter(1)), 800);
    EXPECT_EQ(table->clickedRow(), 1);
    EXPECT_EQ(table->selectedRowIndexes(), (IndexSet{0, 2}));
}

TEST_F(Fixture, AClickOnTheHeaderAfterADoubleClickActsOnNoRow) {
    source.rows = 3;
    table->reloadData();
    int singles = 0, doubles = 0;
    table->setAction(table, [&] { ++singles; });
    table->setDoubleAction(table, [&] { ++doubles; });

    QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {}, table->mapTo(&window, rowCenter(1)));
    ASSERT_EQ(doubles, 1);
    const int singlesBefore = singles;
    // The header click neither repeats the double click nor counts as a click on a row.
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, table->mapTo(&window, QPoint(60, 16)), 50);
    EXPECT_EQ(doubles, 1);
    EXPECT_EQ(singles, singlesBefore);
    EXPECT_EQ(table->clickedRow(), -1);
    EXPECT_EQ(table->selectedRowIndexes(), IndexSet(1));
}

TEST_F(Fixture, ViewsExistOnlyForDisplayedRowsUnlessAskedToMake) {
    source.rows = 100;
    table->reloadData();
    EXPECT_NE(table->viewAtColumn(0, 0, false), nullptr);
    EXPECT_EQ(table->rowForView(table->viewAtColumn(1, 4, false)), 4);
    EXPECT_EQ(table->rowForView(table->rowViewAtRow(2, false)), 2);
    EXPECT_EQ(table->rowForView(table), -1);
    EXPECT_EQ(table->viewAtColumn(0, 80, false), nullptr);
    View* made = table->viewAtColumn(1, 80, true);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(qobject_cast<Label*>(made)->text(), QStringLiteral("80"));
    EXPECT_EQ(int(source.live.size()), table->numberOfRowViews()); // made on request: no callback
    table->tile();
    EXPECT_EQ(table->viewAtColumn(0, 80, false), nullptr);
}

namespace {

class DropSource : public Source {
public:
    int validatedRow = -2;
    TableDropPosition validatedPos = TableDropPosition::Above;
    QStringList acceptedNames;
    QString promiseFolder;
    DragOperation endedWith = DragOperation::None;
    IndexSet began;

    DragOperation tableViewValidateDrop(TableView*, const DraggingInfo& info, int row,
                                        TableDropPosition pos) override {
        validatedRow = row;
        validatedPos = pos;
        return info.localFileNames().isEmpty() ? DragOperation::Move : DragOperation::Copy;
    }
    bool tableViewAcceptDrop(TableView*, const DraggingInfo& info, int, TableDropPosition) override {
        acceptedNames = info.localFileNames();
        return true;
    }
    std::shared_ptr<PasteboardWriter> tableViewPasteboardWriterForRow(TableView*, int) override {
        struct Promise : PasteboardWriter {
            bool isFilePromise() const override { return true; }
        };
        return std::make_shared<Promise>();
    }
    void tableViewDraggingSessionWillBegin(TableView*, DraggingSession*, QPointF,
                                           const IndexSet& rows) override {
        began = rows;
    }
    QStringList tableViewNamesOfPromisedFilesDroppedAtDestination(TableView*, const QString& folder,
                                                                  const IndexSet&) override {
        promiseFolder = folder;
        return {};
    }
    void tableViewDraggingSessionEnded(TableView*, DraggingSession*, QPointF, DragOperation op) override {
        endedWith = op;
    }
};

// Delivers a drag entering, moving to `pos` and dropping, as a drag from another program does.
bool dropAt(QWidget* target, QPointF pos, const QMimeData* mime) {
    QDragEnterEvent enter(pos.toPoint(), Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(pos.toPoint(), Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &move);
    QDropEvent drop(pos, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

// A table of five visible rows over `source`, accepting drops, in a shown window.
TableView* dragTable(Window& window, DropSource& source) {
    window.resize(300, 32 + 5 * 24);
    auto* table = new TableView;
    window.contentView()->addSubview(table);
    table->setGeometry(0, 0, 300, 32 + 5 * 24);
    table->addTableColumn(QStringLiteral("name"), QStringLiteral("Name"), 200);
    table->registerView(QStringLiteral("cell"), [] { return new Label; });
    table->setAcceptDrops(true);
    table->setDataSource(&source);
    table->setDelegate(&source);
    table->reloadData();
    window.show();
    return table;
}

} // namespace

TEST(TableViewDrag, DroppedLocalFilesReachTheDataSourceWithRowAndPosition) {
    Window window;
    DropSource source;
    source.rows = 3;
    TableView* table = dragTable(window, source);

    QMimeData mime;
    mime.setData(QStringLiteral("text/uri-list"), "file:///tmp/a.txt\r\nfile:///tmp/b%20c.txt\r\n");
    EXPECT_TRUE(dropAt(table, QPointF(20, 32 + 24 + 12), &mime));
    EXPECT_EQ(source.validatedRow, 1);
    EXPECT_EQ(source.validatedPos, TableDropPosition::On);
    EXPECT_EQ(source.acceptedNames,
              (QStringList{QStringLiteral("/tmp/a.txt"), QStringLiteral("/tmp/b c.txt")}));

    EXPECT_TRUE(dropAt(table, QPointF(20, 32 + 3 * 24 + 20), &mime));
    EXPECT_EQ(source.validatedRow, 3);
    EXPECT_EQ(source.validatedPos, TableDropPosition::Above);
}

TEST(TableViewDrag, RowsDraggedOutOfNuboPromiseFilesToTheFallbackFolder) {
    Window window;
    window.resize(300, 32 + 5 * 24);
    auto* table = new TableView;
    window.contentView()->addSubview(table);
    table->setGeometry(0, 0, 300, 32 + 5 * 24);
    table->addTableColumn(QStringLiteral("name"), QStringLiteral("Name"), 200);
    table->registerView(QStringLiteral("cell"), [] { return new Label; });
    DropSource source;
    source.rows = 3;
    table->setDataSource(&source);
    table->setDelegate(&source);
    table->setAllowsMultipleSelection(true);
    table->reloadData();
    table->selectRowIndexes(IndexSet{0, 1}, false);
    window.show();
    QApplication::processEvents();

    drag::setPromiseFallbackFolder(QStringLiteral("/tmp/nubo-downloads"));
    bool ownMarker = false;
    drag::setRunnerForTesting([&](QWidget*, QMimeData* mime, Qt::DropActions) {
        ownMarker = drag::isFromThisProcess(mime);
        DragResult r;
        r.releasedOutsideNubo = true;
        return r;
    });
    const QPoint start = table->mapTo(&window, QPoint(20, 32 + 12));
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, start);
    QTest::mouseMove(window.windowHandle(), start + QPoint(0, 30));
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, start + QPoint(0, 30));
    drag::setRunnerForTesting({});
    drag::setPromiseFallbackFolder({});

    EXPECT_TRUE(ownMarker);
    EXPECT_EQ(source.began, (IndexSet{0, 1})); // the whole selection is dragged
    EXPECT_EQ(source.promiseFolder, QStringLiteral("/tmp/nubo-downloads"));
    EXPECT_EQ(source.endedWith, DragOperation::Copy);
    EXPECT_EQ(table->selectedRowIndexes(), (IndexSet{0, 1}));
}

namespace {
class RightClickRow : public TableRowView {
public:
    int* rightUps = nullptr;
    void rightMouseUp(const Event&) override { ++*rightUps; }
};
class RowSource : public Source {
public:
    int rightUps = 0;
    int clickedRowAtRightUp = -2;
    TableView* table = nullptr;
    TableRowView* tableViewRowViewForRow(TableView* t, int) override {
        auto* rv = t->makeView<RightClickRow>(QStringLiteral("row"));
        rv->rightUps = &rightUps;
        return rv;
    }
};
} // namespace

TEST(TableViewRows, ARightClickReachesTheRowViewAfterTheTableMarkedTheClickedRow) {
    Window window;
    window.resize(300, 32 + 5 * 24);
    auto* table = new TableView;
    window.contentView()->addSubview(table);
    table->setGeometry(0, 0, 300, 32 + 5 * 24);
    table->addTableColumn(QStringLiteral("name"), QStringLiteral("Name"), 200);
    table->registerView(QStringLiteral("cell"), [] { return new Label; });
    table->registerView(QStringLiteral("row"), [] { return new RightClickRow; });
    RowSource source;
    source.rows = 3;
    table->setDataSource(&source);
    table->setDelegate(&source);
    table->reloadData();
    window.show();
    QTest::mouseClick(window.windowHandle(), Qt::RightButton, {}, QPoint(20, 32 + 2 * 24 + 5));
    EXPECT_EQ(source.rightUps, 1);
    EXPECT_EQ(table->clickedRow(), 2);
}

TEST_F(Fixture, PerRowHeightsFollowInsertionsAndArrowKeysMoveTheSelection) {
    source.rows = 3;
    source.heights = {10, 20, 30};
    table->reloadData();
    source.rows = 4;
    source.heights = {10, 40, 20, 30}; // a 40-point row inserted at 1
    table->insertRows(IndexSet(1));
    EXPECT_EQ(table->rectOfRow(2).y(), 50.0);
    EXPECT_EQ(table->rowAtPoint(QPointF(5, 32 + 49)), 1);

    table->selectRowIndexes(IndexSet(1), false);
    QApplication::setActiveWindow(&window);
    window.makeFirstResponder(table);
    QTest::keyClick(window.windowHandle(), Qt::Key_Down);
    EXPECT_EQ(table->selectedRowIndexes(), IndexSet(2));
    QTest::keyClick(window.windowHandle(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(table->selectedRowIndexes(), (IndexSet{2, 3}));
    QTest::keyClick(window.windowHandle(), Qt::Key_Down); // stays on the last row
    EXPECT_EQ(table->selectedRowIndexes(), IndexSet(3));
}

namespace {
class FeedbackSource : public DropSource {
public:
    int exits = 0;
    bool takes = true;
    DragOperation tableViewValidateDrop(TableView* t, const DraggingInfo& info, int row,
                                        TableDropPosition pos) override {
        DropSource::tableViewValidateDrop(t, info, row, pos);
        return pos == TableDropPosition::On && row != 2 ? DragOperation::Copy : DragOperation::None;
    }
    bool tableViewAcceptDrop(TableView*, const DraggingInfo&, int, TableDropPosition) override {
        return takes;
    }
    void tableViewDraggingExited(TableView*) override { ++exits; }
};
} // namespace

TEST(TableViewDrag, TheRowUnderAValidDropShowsItUntilTheDragLeavesOrDrops) {
    Window window;
    FeedbackSource source;
    source.rows = 4;
    TableView* table = dragTable(window, source);
    const auto targets = [&] {
        QList<int> out;
        for (int r : table->displayedRows())
            if (table->rowViewAtRow(r, false)->isTargetForDropOperation())
                out.append(r);
        return out;
    };
    QMimeData mime;
    mime.setData(QStringLiteral("text/uri-list"), "file:///tmp/a.txt\r\n");
    const auto moveTo = [&](int y) {
        QDragMoveEvent move(QPoint(20, y), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(table, &move);
        return move.isAccepted();
    };
    QDragEnterEvent enter(QPoint(20, 32 + 12), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(table, &enter);
    EXPECT_EQ(targets(), QList<int>{0});
    EXPECT_TRUE(moveTo(32 + 24 + 12));
    EXPECT_EQ(targets(), QList<int>{1});
    EXPECT_FALSE(moveTo(32 + 2 * 24 + 12)); // refused there: nothing shows
    EXPECT_TRUE(targets().isEmpty());
    moveTo(32 + 3 * 24 + 12);
    QDragLeaveEvent leave;
    QApplication::sendEvent(table, &leave);
    EXPECT_TRUE(targets().isEmpty());
    EXPECT_EQ(source.exits, 1);

    // A drop that is taken clears the look without an exit; one that is refused exits too.
    EXPECT_TRUE(dropAt(table, QPointF(20, 32 + 12), &mime));
    EXPECT_TRUE(targets().isEmpty());
    EXPECT_EQ(source.exits, 1);
    source.takes = false;
    EXPECT_FALSE(dropAt(table, QPointF(20, 32 + 12), &mime));
    EXPECT_EQ(source.exits, 2);
}

TEST_F(Fixture, ClickActionsOfAGoneControllerAreDropped) {
    source.rows = 3;
    table->reloadData();
    int runs = 0;
    auto* controller = new QObject;
    table->setAction(controller, [&runs, controller] {
        controller->setObjectName(QStringLiteral("single"));
        ++runs;
    });
    table->setDoubleAction(controller, [&runs, controller] {
        controller->setObjectName(QStringLiteral("double"));
        ++runs;
    });
    delete controller;
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, table->mapTo(&window, rowCenter(1)));
    QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {}, table->mapTo(&window, rowCenter(1)));
    EXPECT_EQ(table->clickedRow(), 1);
    EXPECT_EQ(runs, 0);
}

// A row that draws its own cells finds them where the table lays the columns out, also after a
// column changes width; the last column takes the rest of the row.
TEST_F(Fixture, RowsKnowWhereTheirColumnsAre) {
    source.rows = 3;
    table->reloadData();
    TableRowView* rv = table->rowViewAtRow(1, false);
    ASSERT_TRUE(rv);
    EXPECT_EQ(rv->rectOfColumn(0), QRectF(0, 0, 200, 24));
    EXPECT_EQ(rv->rectOfColumn(1), QRectF(200, 0, 200, 24));
    EXPECT_TRUE(rv->rectOfColumn(2).isNull());
    table->tableColumns()[0]->setWidth(120);
    table->tile();
    EXPECT_EQ(rv->rectOfColumn(0), QRectF(0, 0, 120, 24));
    EXPECT_EQ(rv->rectOfColumn(1), QRectF(120, 0, 280, 24));
}
