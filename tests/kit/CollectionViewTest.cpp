#include "kit/CollectionView.h"
#include "kit/Window.h"
#include "support/EventLoop.h"

#include <QApplication>
#include <QMimeData>
#include <QTest>
#include <gtest/gtest.h>
#include <set>

using namespace kit;

namespace {

class Grid : public QObject, public CollectionViewDataSource, public CollectionViewDelegate {
public:
    int count = 0;
    int made = 0;
    std::set<CollectionViewItem*> live;
    QList<int> selected;
    QList<int> deselected;
    int collectionViewNumberOfItemsInSection(CollectionView*, int) override { return count; }
    CollectionViewItem* collectionViewItemForRepresentedObjectAtIndexPath(CollectionView* c,
                                                                          IndexPath p) override {
        auto* item = c->makeItem(QStringLiteral("tile"), p);
        item->setObjectName(QString::number(p.item));
        return item;
    }
    void collectionViewWillDisplayItem(CollectionView*, CollectionViewItem* item, IndexPath) override {
        EXPECT_TRUE(live.insert(item).second);
    }
    void collectionViewDidEndDisplayingItem(CollectionView*, CollectionViewItem* item, IndexPath) override {
        EXPECT_EQ(live.erase(item), 1u);
    }
    void collectionViewDidSelectItemsAtIndexPaths(CollectionView*, const QList<IndexPath>& p) override {
        for (const auto& i : p)
            selected << i.item;
    }
    void collectionViewDidDeselectItemsAtIndexPaths(CollectionView*, const QList<IndexPath>& p) override {
        for (const auto& i : p)
            deselected << i.item;
    }
};

struct GridFixture : ::testing::Test {
    Window window;
    CollectionView* grid = new CollectionView;
    Grid source;
    void SetUp() override {
        window.resize(400, 300);
        window.contentView()->addSubview(grid);
        grid->setGeometry(0, 0, 400, 300);
        grid->setItemSize(QSizeF(100, 100));
        grid->setSpacing(10, 10);
        grid->setSectionInset(QMargins(10, 10, 10, 10));
        auto* header = new View;
        header->setFrameSize(QSizeF(400, 40));
        grid->setHeaderView(header);
        grid->registerItem(QStringLiteral("tile"), [this] {
            ++source.made;
            return new CollectionViewItem;
        });
        grid->setDataSource(&source);
        grid->setDelegate(&source);
        window.show();
    }
};

} // namespace

TEST_F(GridFixture, OnlyTilesNearTheVisibleRectangleExistAndAreReused) {
    source.count = 100000;
    grid->reloadData();
    EXPECT_EQ(grid->numberOfColumns(), 3);
    const int live = int(source.live.size());
    EXPECT_GT(live, 0);
    EXPECT_LE(live, 3 * 5);
    grid->scrollToItems({IndexPath{0, 50000}}, ScrollPosition::Top);
    EXPECT_EQ(grid->visibleRect().y(), grid->frameForItem(50000).y());
    grid->scrollToItems({IndexPath{0, 70000}}, ScrollPosition::CenteredVertically);
    EXPECT_NEAR(grid->visibleRect().center().y(), grid->frameForItem(70000).center().y(), 1);
    grid->scrollToItems({IndexPath{0, 99999}}, ScrollPosition::CenteredVertically); // clamped at the end
    EXPECT_EQ(grid->visibleRect().bottom(), grid->frameForItem(99999).bottom() + 10);
    EXPECT_EQ(int(source.live.size()), int(grid->displayedItems().size()));
    EXPECT_LE(source.made, 2 * 3 * 5);
    grid->scrollToPoint(QPointF(0, 0));
    EXPECT_TRUE(grid->displayedItems().contains(0));
}

TEST_F(GridFixture, ClicksSelectWithCallbacksAndEmptySpaceHasNoItem) {
    source.count = 5;
    grid->reloadData();
    // Item 1 sits right of item 0 under the 40-point header.
    const QPointF item1 = grid->frameForItem(1).center();
    EXPECT_EQ(grid->indexPathForItemAtPoint(item1)->item, 1);
    EXPECT_FALSE(grid->indexPathForItemAtPoint(QPointF(5, 5)).has_value());     // the header
    EXPECT_FALSE(grid->indexPathForItemAtPoint(QPointF(115, 100)).has_value()); // a gap
    EXPECT_FALSE(grid->indexPathForItemAtPoint(QPointF(250, 200)).has_value()); // after the last

    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, item1.toPoint());
    EXPECT_EQ(source.selected, QList<int>{1});
    EXPECT_TRUE(grid->itemAtIndexPath(IndexPath{0, 1})->isSelected());
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, Qt::ControlModifier,
                      grid->frameForItem(3).center().toPoint());
    EXPECT_EQ(grid->selectionIndexes(), (IndexSet{1, 3}));
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, QPoint(250, 250));
    EXPECT_TRUE(grid->selectionIndexes().isEmpty());
    EXPECT_EQ(source.deselected, (QList<int>{1, 3}));

    // Programmatic selection tells no delegate.
    source.selected.clear();
    grid->selectItems({IndexPath{0, 4}});
    EXPECT_TRUE(source.selected.isEmpty());
    EXPECT_TRUE(grid->itemAtIndexPath(IndexPath{0, 4})->isSelected());
}

TEST_F(GridFixture, BatchUpdatesShiftTheSelectionAndCompleteLater) {
    source.count = 4;
    grid->reloadData();
    grid->selectItems({IndexPath{0, 1}, IndexPath{0, 3}});
    bool done = false;
    source.count = 5;
    grid->performBatchUpdates([&] { grid->insertItems({IndexPath{0, 0}}); }, [&](bool) { done = true; });
    EXPECT_FALSE(done);
    EXPECT_TRUE(nubo::test::waitUntil([&] { return done; }));
    EXPECT_EQ(grid->selectionIndexes(), (IndexSet{2, 4}));
    source.count = 3;
    grid->performBatchUpdates([&] { grid->deleteItems({IndexPath{0, 0}, IndexPath{0, 4}}); });
    EXPECT_EQ(grid->selectionIndexes(), IndexSet(1));
    EXPECT_EQ(grid->numberOfItems(), 3);
    EXPECT_EQ(int(source.live.size()), 3);
}

namespace {
class DropGrid : public Grid {
public:
    IndexPath proposed{0, -1};
    CollectionDropPosition position = CollectionDropPosition::Before;
    IndexPath accepted{0, -1};
    DragOperation collectionViewValidateDrop(CollectionView*, const DraggingInfo& info, IndexPath* p,
                                             CollectionDropPosition* pos) override {
        proposed = *p;
        position = *pos;
        return info.localFileNames().isEmpty() ? DragOperation::None : DragOperation::Copy;
    }
    bool collectionViewAcceptDrop(CollectionView*, const DraggingInfo&, IndexPath p,
                                  CollectionDropPosition) override {
        accepted = p;
        return true;
    }
};

// Five 100-point tiles that take drops, in a shown window of 400x300; `source` lists and judges.
CollectionView* showDropGrid(Window& window, DropGrid& source) {
    window.resize(400, 300);
    auto* grid = new CollectionView;
    window.contentView()->addSubview(grid);
    grid->setGeometry(0, 0, 400, 300);
    grid->setItemSize(QSizeF(100, 100));
    grid->setSpacing(10, 10);
    grid->setSectionInset(QMargins(10, 10, 10, 10));
    grid->registerItem(QStringLiteral("tile"), [] { return new CollectionViewItem; });
    grid->setAcceptDrops(true);
    source.count = 5;
    grid->setDataSource(&source);
    grid->setDelegate(&source);
    grid->reloadData();
    window.show();
    return grid;
}

bool dropOn(QWidget* target, QPoint pos, const QMimeData* mime) {
    QDragEnterEvent enter(pos, Qt::CopyAction, mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(pos, Qt::CopyAction, mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &move);
    QDropEvent drop(pos, Qt::CopyAction, mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}
} // namespace

TEST(CollectionViewDrop, ProposesOnATileAndBeforeTheNextTileBetweenThem) {
    Window window;
    DropGrid source;
    CollectionView* grid = showDropGrid(window, source);

    QMimeData files;
    files.setData(QStringLiteral("text/uri-list"), "file:///tmp/x\r\n");
    EXPECT_TRUE(dropOn(grid, grid->frameForItem(4).center().toPoint(), &files));
    EXPECT_EQ(source.proposed.item, 4);
    EXPECT_EQ(source.position, CollectionDropPosition::On);
    EXPECT_EQ(source.accepted.item, 4);

    EXPECT_TRUE(dropOn(grid, QPoint(114, 60), &files)); // the gap between tiles 0 and 1
    EXPECT_EQ(source.proposed.item, 1);
    EXPECT_EQ(source.position, CollectionDropPosition::Before);

    QMimeData text; // nothing a drop could use: refused
    text.setText(QStringLiteral("hello"));
    EXPECT_FALSE(dropOn(grid, grid->frameForItem(0).center().toPoint(), &text));
}

namespace {
class Tile : public CollectionViewItem {
public:
    QList<int> clicks;
    bool selectedBeforeDouble = false;
    void mouseDown(const Event& e) override {
        CollectionViewItem::mouseDown(e); // the grid selects first
        clicks << e.clickCount();
        if (e.clickCount() == 2)
            selectedBeforeDouble = isSelected();
    }
};
} // namespace

TEST_F(GridFixture, TilesGetTheirClicksAfterTheGridSelected) {
    grid->registerItem(QStringLiteral("tile"), [] { return new Tile; });
    source.count = 2;
    grid->reloadData();
    auto* tile = dynamic_cast<Tile*>(grid->itemAtIndexPath(IndexPath{0, 1}));
    ASSERT_NE(tile, nullptr);
    const QPoint at = grid->frameForItem(1).center().toPoint();
    QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {}, at);
    EXPECT_EQ(tile->clicks, (QList<int>{1, 2}));
    EXPECT_TRUE(tile->selectedBeforeDouble);
    EXPECT_EQ(source.selected, QList<int>{1});
}

TEST(CollectionViewDrop, TheTileUnderAValidDropIsHighlightedUntilTheDragLeaves) {
    struct Exits : DropGrid {
        int exits = 0;
        void collectionViewDraggingExited(CollectionView*) override { ++exits; }
    };
    Window window;
    Exits source;
    CollectionView* grid = showDropGrid(window, source);
    const auto highlighted = [&] {
        QList<int> out;
        for (int i : grid->displayedItems())
            if (grid->itemAtIndexPath(IndexPath{0, i})->highlightState() == HighlightState::AsDropTarget)
                out.append(i);
        return out;
    };
    QMimeData files;
    files.setData(QStringLiteral("text/uri-list"), "file:///tmp/x\r\n");
    QDragEnterEvent enter(grid->frameForItem(3).center().toPoint(), Qt::CopyAction, &files, Qt::LeftButton,
                          {});
    QApplication::sendEvent(grid, &enter);
    EXPECT_EQ(highlighted(), QList<int>{3});
    QDragMoveEvent between(QPoint(114, 60), Qt::CopyAction, &files, Qt::LeftButton, {});
    QApplication::sendEvent(grid, &between); // "before" a tile: valid, but no tile is the target
    EXPECT_TRUE(highlighted().isEmpty());
    QDragMoveEvent back(grid->frameForItem(1).center().toPoint(), Qt::CopyAction, &files, Qt::LeftButton, {});
    QApplication::sendEvent(grid, &back);
    EXPECT_EQ(highlighted(), QList<int>{1});
    QDragLeaveEvent leave;
    QApplication::sendEvent(grid, &leave);
    EXPECT_TRUE(highlighted().isEmpty());
    EXPECT_EQ(source.exits, 1);
}
