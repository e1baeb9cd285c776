// The file page's grid: tiles, their names and thumbnails, clicks and the select-all header.
#include "PageFixture.h"

#include "cloud/KZImageCache.h"
#include "kit/ImageView.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZLabel.h"
#include "shell/KZStyle.h"
#include "shell/KZTextFieldCell.h"
#include "shell/KZToast.h"
#include "support/Images.h"
#include "ui/files/KZCollectionView.h"
#include "ui/files/KZFileCollectionHeaderView.h"
#include "ui/files/KZFileInfoItemView.h"

#include <QTest>
#include <QThreadPool>

using nubo::test::drainEvents;
using nubo::test::waitUntil;

namespace {

CloudFileInfoPtr record(const QString& name, qint64 nid, qint32 category = 0, bool folder = false) {
    auto f = CloudFileInfo::create();
    f->setName(name);
    f->setPath(QStringLiteral("/") + name);
    f->setNid(nid);
    f->setM_category(category);
    f->setIsDirectory(folder);
    return f;
}

TEST(GridItem, NameBoxFollowsTheFittedName) {
    EXPECT_EQ(KZFileInfoItemView::nameBoxForFittedSize(QSizeF(50, 16.2)), QSizeF(64, 19));
    EXPECT_EQ(KZFileInfoItemView::nameBoxForFittedSize(QSizeF(71.5, 16)), QSizeF(86, 18));
    EXPECT_EQ(KZFileInfoItemView::nameBoxForFittedSize(QSizeF(73, 34)), QSizeF(86, 36));

    // Each item measures a name once and keeps it.
    KZFileInfoItemView item;
    item.setFileInfo(record(QStringLiteral("a.txt"), 1));
    const QSizeF shortName = item.labelSize();
    EXPECT_LT(shortName.width(), KZFileInfoItemView::kNameMaxWidth);
    item.setFileInfo(record(QStringLiteral("a much longer name that wraps onto two lines.txt"), 2));
    const QSizeF longName = item.labelSize();
    EXPECT_EQ(longName.width(), KZFileInfoItemView::kNameMaxWidth);
    EXPECT_GT(longName.height(), shortName.height());
    EXPECT_LE(longName.height(), KZFileInfoItemView::kNameMaxHeight + 2);
    item.setFileInfo(record(QStringLiteral("a.txt"), 3));
    EXPECT_EQ(item.labelSize(), shortName);
    EXPECT_EQ(item.labelSizeCacheCount(), 2);

    // The name sits 4 under the icon's square, centred.
    item.view()->setFrameSize(KZFileInfoItemView::tileSize());
    item.layoutLabels();
    const QRectF name = item.fileNameLabel()->frame();
    EXPECT_EQ(name.top(), item.iconContainer()->frame().bottom() + 4);
    EXPECT_NEAR(name.center().x(), KZFileInfoItemView::tileSize().width() / 2, 1);
    EXPECT_EQ(item.iconLayer()->frame().size(), QSizeF(60, 60));
}

TEST(GridItem, LooksOfSelectionAndOfOutsideDrags) {
    KZFileInfoItemView item;
    item.setFileInfo(record(QStringLiteral("f.txt"), 1));
    item.setSelected(true);
    EXPECT_EQ(item.fileNameLabel()->customBackgroundColor(), KZStyle::focusRingColor());
    EXPECT_EQ(item.fileNameLabel()->textColor(), QColor(Qt::white));
    item.setSelected(false);
    EXPECT_EQ(item.fileNameLabel()->customBackgroundColor().alpha(), 0);
    EXPECT_EQ(item.fileNameLabel()->textColor(), KZStyle::titleColor());

    // Outside files: a file tile never shows as a target; a folder does; a selected one stays.
    item.setDraggingOutsideFiles(true);
    item.setHighlightState(kit::HighlightState::AsDropTarget);
    EXPECT_EQ(item.fileNameLabel()->customBackgroundColor().alpha(), 0);
    item.setFileInfo(record(QStringLiteral("d"), 2, 0, true));
    item.setHighlightState(kit::HighlightState::AsDropTarget);
    EXPECT_EQ(item.fileNameLabel()->customBackgroundColor(), KZStyle::focusRingColor());
    item.setHighlightState(kit::HighlightState::None);
    item.setSelected(true);
    item.setHighlightState(kit::HighlightState::None);
    EXPECT_EQ(item.fileNameLabel()->customBackgroundColor(), KZStyle::focusRingColor());

    // Hover: a plain tile greys, a selected one stays white.
    item.setSelected(false);
    item.mouseEntered(kit::Event());
    EXPECT_EQ(item.view()->customBackgroundColor(), KZStyle::VCBackgroundColor());
    item.mouseExited(kit::Event());
    EXPECT_EQ(item.view()->customBackgroundColor(), QColor(Qt::white));
}

// A search hit's red gives way to the white name of a selected (or drop-target) tile, which
// sits on blue; the hits come back when the tile is plain again.
TEST(GridItem, SearchHitsGiveWayToTheWhiteNameOfAMarkedTile) {
    auto hitRuns = [](const KZFileInfoItemView& item) {
        int n = 0;
        for (const auto& run : item.fileNameLabel()->attributedText().runs())
            n += run.color && *run.color == KZStyle::warningColor();
        return n;
    };
    KZFileInfoItemView item;
    item.setFileInfo(record(QStringLiteral("alpha report"), 1, 0, true));
    item.makeWordsHighlight(QStringLiteral("alpha"));
    EXPECT_EQ(hitRuns(item), 1);
    item.setSelected(true);
    EXPECT_EQ(hitRuns(item), 0);
    EXPECT_EQ(item.fileNameLabel()->textColor(), QColor(Qt::white));
    EXPECT_EQ(item.fileNameLabel()->text(), QStringLiteral("alpha report"));
    item.setSelected(false);
    EXPECT_EQ(hitRuns(item), 1);
    item.setHighlightState(kit::HighlightState::AsDropTarget);
    EXPECT_EQ(hitRuns(item), 0);
    item.setHighlightState(kit::HighlightState::None);
    EXPECT_EQ(hitRuns(item), 1);
}

TEST(GridItem, LateThumbnailForAFormerRecordIsIgnored) {
    KZFileInfoItemView item;
    item.setFileInfo(record(QStringLiteral("old.png"), 41, 1));
    item.setImage(kit::Image());
    item.setFileInfo(record(QStringLiteral("new.png"), 42, 1));
    const QByteArray bytes = nubo::test::png(8, 8, Qt::red);
    item.kzSessionRequestThumb(nullptr, 1, bytes, 41, {});
    ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(10000));
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(item.image().isNull());
    item.kzSessionRequestThumb(nullptr, 2, bytes, 42, {});
    EXPECT_TRUE(nubo::test::waitUntil([&] { return !item.image().isNull(); }));
    // An answer decoded for a record the item has left since is not shown.
    item.setImage(kit::Image());
    item.kzSessionRequestThumb(nullptr, 3, bytes, 42, {});
    item.setFileInfo(record(QStringLiteral("other.png"), 43, 1));
    ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(10000));
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(item.image().isNull());
}

class Grid : public nubo::test::PageFixture {
protected:
    static void SetUpTestSuite() {
        startService([](nubo::test::ServiceFixture& s) {
            for (int i = 0; i < 40; ++i)
                s.putFile(QStringLiteral("/many/f%1.txt").arg(i, 2, 10, QLatin1Char('0')),
                          QByteArray::number(i));
            s.mkdir(QStringLiteral("/many/sub"));
            s.putFile(QStringLiteral("/pics/a.png"), nubo::test::png(40, 30, Qt::darkGreen));
            s.mkdir(QStringLiteral("/empty"));
        });
    }
    static void TearDownTestSuite() { stopService(); }
    void SetUp() override { openPage(KZFileListStyleGrid); }

    KZFileInfoItemView* tile(int i) const {
        return qobject_cast<KZFileInfoItemView*>(
            page->collectionView()->itemAtIndexPath(kit::IndexPath{0, i}));
    }
    QPoint centerOf(int i) const {
        return tile(i)->view()->mapTo(page->collectionView(), tile(i)->view()->rect().center());
    }
};

TEST_F(Grid, TilesShowTheirRecordsAndThumbnails) {
    KZImageCache::shareInstance()->setMemoryCacheSize(64 << 20);
    jump(QStringLiteral("/pics"));
    ASSERT_NE(tile(0), nullptr);
    EXPECT_EQ(tile(0)->fileNameLabel()->text(), QStringLiteral("a.png"));
    ASSERT_TRUE(waitUntil([&] { return tile(0)->reqID() == 0 && !tile(0)->thumbInMemory().isNull(); }));
    EXPECT_EQ(tile(0)->image().size(), QSizeF(40, 30));
}

TEST_F(Grid, ContextClicksRememberTheItemUnderThem) {
    jump(QStringLiteral("/many"));
    KZCollectionView* grid = page->collectionView();
    QTest::mouseClick(grid, Qt::RightButton, {}, centerOf(2));
    ASSERT_TRUE(grid->clickedItemIndexPath().has_value());
    EXPECT_EQ(grid->clickedItemIndexPath()->item, 2);
    EXPECT_EQ(page->convertFileFromClickPosition(), page->files().at(2));

    // Empty space between the header and the first line of tiles.
    QTest::mouseClick(grid, Qt::RightButton, {}, QPoint(5, 45));
    EXPECT_FALSE(grid->clickedItemIndexPath().has_value());
    EXPECT_EQ(page->convertFileFromClickPosition(), nullptr);
}

TEST_F(Grid, DoubleClickOpensAFolderButATripleClickIsNoDoubleClick) {
    jump(QStringLiteral("/many"));
    const int sub = int(page->files().indexOf(named(page->files(), QStringLiteral("sub"))));
    ASSERT_EQ(sub, 0); // folders first
    const QPointF at = tile(sub)->view()->convertToWindow(tile(sub)->view()->rect().center());
    tile(sub)->mouseDown(kit::Event(kit::Event::Type::MouseDown, at, 3));
    drainEvents();
    EXPECT_FALSE(page->isListRequestPending());
    EXPECT_EQ(page->collectionView()->selectionIndexes(), kit::IndexSet(sub));
    EXPECT_EQ(page->selectedFiles().size(), 1);

    tile(sub)->mouseDown(kit::Event(kit::Event::Type::MouseDown, at, 2));
    settle();
    EXPECT_EQ(page->fileInfo()->path(), QStringLiteral("/many/sub"));
}

TEST_F(Grid, HeaderSelectsAllAndFollowsTheSelection) {
    jump(QStringLiteral("/empty"));
    KZFileCollectionHeaderView* header = page->collectionHeaderView();
    EXPECT_FALSE(header->enable());
    EXPECT_FALSE(header->checkBoxButton()->isEnabled());
    QTest::mouseClick(header->checkBoxButton(), Qt::LeftButton);
    EXPECT_FALSE(header->checkBoxButton()->checked());

    jump(QStringLiteral("/many"));
    EXPECT_TRUE(header->enable());
    QTest::mouseClick(header->checkBoxButton(), Qt::LeftButton);
    EXPECT_TRUE(header->selected());
    EXPECT_EQ(page->selectedFiles().size(), page->files().size());
    EXPECT_EQ(page->collectionView()->selectionIndexes().count(), page->files().size());

    // Deselecting one tile by hand unticks the box.
    page->collectionView()->deselectItems({kit::IndexPath{0, 3}});
    page->collectionViewDidDeselectItemsAtIndexPaths(page->collectionView(), {kit::IndexPath{0, 3}});
    EXPECT_FALSE(header->selected());
    EXPECT_FALSE(header->checkBoxButton()->checked());
}

TEST_F(Grid, ScrollMemoryAndLiveTilesStayWithTheVisibleLines) {
    jump(QStringLiteral("/many"));
    KZCollectionView* grid = page->collectionView();
    EXPECT_DOUBLE_EQ(grid->visibleRect().y(), 0.0);
    grid->scrollToPoint(QPointF(0, 300));
    ASSERT_DOUBLE_EQ(grid->visibleRect().y(), 300.0);
    const int visibleLines = int(grid->height() / KZFileInfoItemView::tileSize().height()) + 1;
    EXPECT_LE(grid->displayedItems().size(), (visibleLines + 2 + 1) * grid->numberOfColumns());

    page->openDir(named(page->files(), QStringLiteral("sub")));
    settle();
    EXPECT_DOUBLE_EQ(grid->visibleRect().y(), 0.0);
    page->actionGoback();
    settle();
    EXPECT_DOUBLE_EQ(grid->visibleRect().y(), 300.0);
}

TEST_F(Grid, RenameFieldOpensOnTheSelectedTileEvenOffScreen) {
    jump(QStringLiteral("/many"));
    const int last = int(page->files().size()) - 1;
    page->selectRowsAtIndexes(kit::IndexSet(last));
    page->collectionView()->selectItems({kit::IndexPath{0, last}});
    page->makeRenameFileFocus();
    ASSERT_TRUE(page->isEditing());
    ASSERT_NE(tile(last), nullptr);
    EXPECT_FALSE(tile(last)->fileNameTextField()->isHidden());
    EXPECT_TRUE(tile(last)->fileNameLabel()->isHidden());
    // The name without its extension ("f39", or the name another test of the suite renamed to).
    const QString name = page->files().at(last)->name();
    EXPECT_EQ(tile(last)->fileNameTextField()->selectedRange(),
              (QPair<int, int>(0, int(name.lastIndexOf(u'.')))));
}

// Renaming in a tile ends through the same road as in the list: the service gets the new name
// and the tile shows it; ending without a change sends nothing.
TEST_F(Grid, RenameInATileReachesTheService) {
    jump(QStringLiteral("/many"));
    const int row = int(page->files().indexOf(named(page->files(), QStringLiteral("f05.txt"))));
    ASSERT_GE(row, 0);
    const qint64 nid = page->files().at(row)->nid();
    page->selectRowsAtIndexes(kit::IndexSet(row));
    page->collectionView()->selectItems({kit::IndexPath{0, row}});
    page->makeRenameFileFocus();
    ASSERT_TRUE(page->isEditing());
    KZTextFieldCell* field = tile(row)->fileNameTextField();
    field->setStringValue(QStringLiteral("renamed.txt"));
    window->makeFirstResponder(nullptr);
    EXPECT_FALSE(page->isEditing());
    EXPECT_EQ(tile(row)->fileNameLabel()->text(), QStringLiteral("renamed.txt"));
    ASSERT_TRUE(waitUntil([&] {
        auto node = s_service->service().nodeByPath(QStringLiteral("/many/renamed.txt"));
        return node.ok() && node.value.nid == nid;
    }));
    ASSERT_TRUE(waitUntil([&] { return named(page->files(), QStringLiteral("renamed.txt")) != nullptr; }));
    ASSERT_TRUE(toasts.waitFor(QStringLiteral("文件重命名成功")));
    settle();

    const int again = int(page->files().indexOf(named(page->files(), QStringLiteral("renamed.txt"))));
    page->selectRowsAtIndexes(kit::IndexSet(again));
    page->collectionView()->selectItems({kit::IndexPath{0, again}});
    page->makeRenameFileFocus();
    window->makeFirstResponder(nullptr);
    KZToastView* toast = KZToast::toastOf(page->view());
    EXPECT_TRUE(!toast || toast->text() != QStringLiteral("正在重命名..."));
    EXPECT_FALSE(page->isEditing());
}

} // namespace
