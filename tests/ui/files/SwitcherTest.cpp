// The list/grid switch, the page's selection across it, and the body's background.
#include "PageFixture.h"

#include "ui/files/KZFileListStyleSwitcher.h"
#include "ui/files/KZFilesViewContentView.h"

#include <QPainter>

using nubo::test::drainEvents;

namespace {

class CountingDelegate : public QObject, public KZFileListStyleSwitcherDelegate {
public:
    void switcherValueChanged(KZFileListStyleSwitcher* s) override { styles.append(s->style()); }
    QList<uint> styles;
};

TEST(StyleSwitcher, NotifiesOncePerChangeAndOnEverySet) {
    KZFileListStyleSwitcher switcher;
    CountingDelegate d;
    switcher.setDelegate(&d);
    switcher.setStyle(KZFileListStyleGrid);
    EXPECT_EQ(d.styles, QList<uint>{1});
    EXPECT_FALSE(switcher.itemViews().first()->selected());
    EXPECT_TRUE(switcher.itemViews().last()->selected());

    // Press and release both reach the switcher; the grid button while the grid shows does nothing.
    KZStyleSwitcherItemView* grid = switcher.itemViews().last();
    grid->mouseDown(kit::Event());
    grid->mouseUp(kit::Event());
    EXPECT_EQ(d.styles, QList<uint>{1});

    KZStyleSwitcherItemView* list = switcher.itemViews().first();
    list->mouseDown(kit::Event());
    list->mouseUp(kit::Event());
    EXPECT_EQ(d.styles, (QList<uint>{1, 0}));
    EXPECT_TRUE(list->selected());

    switcher.setStyle(KZFileListStyleList); // the owner's set notifies even without a change
    EXPECT_EQ(d.styles, (QList<uint>{1, 0, 0}));
}

TEST(FilesContentView, FillsWithWhiteAndRoundsOnlyTheLowerLeftCorner) {
    KZFilesViewContentView view;
    view.resize(100, 80);
    QImage image(100, 80, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_EQ(image.pixelColor(50, 40), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(99, 79), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(0, 79).alpha(), 0);
}

class Switcher : public nubo::test::PageFixture {
protected:
    static void SetUpTestSuite() {
        startService([](nubo::test::ServiceFixture& s) {
            for (const char* n : {"a", "b", "c", "d", "e"})
                s.putFile(QStringLiteral("/five/%1.txt").arg(QLatin1String(n)), QByteArray(n));
        });
    }
    static void TearDownTestSuite() { stopService(); }
    void SetUp() override { openPage(); }
};

// Select all in the grid, switch to the list, select one row there, switch back: the grid, the
// page, the toolbar and the status line agree on that one row.
TEST_F(Switcher, SelectionStaysInStepAcrossSwitches) {
    jump(QStringLiteral("/five"));
    page->switcher()->gridItemViewClicked();
    page->selectAllRows();
    ASSERT_EQ(page->collectionView()->selectionIndexes().count(), 5);

    page->switcher()->listItemViewClicked();
    EXPECT_EQ(page->tableView()->numberOfSelectedRows(), 5);
    EXPECT_EQ(page->selectedFiles().size(), 5);
    page->tableView()->selectRowIndexes(kit::IndexSet(0), false);
    ASSERT_EQ(page->selectedFiles().size(), 1);

    page->switcher()->gridItemViewClicked();
    EXPECT_EQ(page->collectionView()->selectionIndexes(), kit::IndexSet(0));
    EXPECT_EQ(page->selectedFiles(), QList<CloudFileInfoPtr>{page->files().first()});
    EXPECT_TRUE(page->files().first()->selected());
    EXPECT_FALSE(page->files().at(1)->selected());
    EXPECT_TRUE(page->toolBar()->viewOfItem(page->deleteItem())->enable());
    EXPECT_TRUE(page->homeToolBarMessage().contains(QStringLiteral("a.txt")));

    // And back once more with nothing selected.
    page->deselectAllRows();
    page->switcher()->listItemViewClicked();
    EXPECT_EQ(page->tableView()->numberOfSelectedRows(), 0);
    EXPECT_TRUE(page->selectedFiles().isEmpty());
    EXPECT_EQ(page->homeToolBarMessage(), QStringLiteral("共5个文件"));
}

} // namespace
