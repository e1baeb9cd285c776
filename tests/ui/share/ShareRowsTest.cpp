// Rows and cells of the share-link lists, in a real kit table.
#include "kit/ImageView.h"
#include "kit/Window.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZLabel.h"
#include "shell/KZStyle.h"
#include "support/EventLoop.h"
#include "ui/share/KZShareListCells.h"
#include "ui/share/KZTableViewRowView.h"

#include <QCursor>
#include <QTest>
#include <gtest/gtest.h>

using nubo::test::drainEvents;

namespace {

// Records what the rows report.
class RowsOwner : public QObject,
                  public kit::TableViewDataSource,
                  public kit::TableViewDelegate,
                  public KZTableViewRowViewDelegate,
                  public KZTableViewFilePathCellViewDelegate {
public:
    int numberOfRowsInTableView(kit::TableView*) override { return 5; }
    kit::TableRowView* tableViewRowViewForRow(kit::TableView* table, int) override {
        auto* row = table->makeView<KZTableViewRowView>(QStringLiteral("TableRowShare"));
        row->setDelegate(this);
        return row;
    }
    kit::View* tableViewViewForTableColumn(kit::TableView* table, kit::TableColumn*, int) override {
        auto* cell = table->makeView<KZTableViewFilePathCellView>(QStringLiteral("TableCellShareFilePath"));
        cell->setStringValue(QStringLiteral("全部文件"));
        cell->setDelegate(this);
        return cell;
    }
    void tableViewRowViewDidCheckBoxSelected(KZTableViewRowView* row, bool selected) override {
        checkBoxReports.append({row, selected});
    }
    void fileRowViewRightMouseUp(KZTableViewRowView* row, const kit::Event&) override { rightClicked = row; }
    void didTableViewFilePathCellViewClicked(KZTableViewFilePathCellView* cell) override {
        pathClicked = cell;
    }

    QList<QPair<KZTableViewRowView*, bool>> checkBoxReports;
    KZTableViewRowView* rightClicked = nullptr;
    KZTableViewFilePathCellView* pathClicked = nullptr;
};

class ShareRows : public ::testing::Test {
protected:
    void SetUp() override {
        window.setContentSize(QSizeF(600, 400));
        table = new KZShareTableView;
        table->registerView(QStringLiteral("TableRowShare"), [] { return new KZTableViewRowView; });
        table->registerView(QStringLiteral("TableCellShareFilePath"),
                            [] { return new KZTableViewFilePathCellView; });
        table->addTableColumn(QStringLiteral("TableColumnShareFilePath"), QString(), 300);
        table->setRowHeight(52);
        table->setAllowsMultipleSelection(true);
        table->setSelectionHighlightStyle(kit::SelectionHighlightStyle::None);
        table->setDataSource(&owner);
        table->setDelegate(&owner);
        window.contentView()->addSubview(table);
        table->setFrame(QRectF(0, 0, 600, 400));
        window.show();
        table->reloadData();
        table->tile();
        drainEvents();
    }
    KZTableViewRowView* row(int r) { return static_cast<KZTableViewRowView*>(table->rowViewAtRow(r, false)); }

    kit::Window window;
    RowsOwner owner;
    KZShareTableView* table = nullptr;
};

kit::Event event() {
    return kit::Event(kit::Event::Type::MouseEntered, QPointF(10, 10));
}

} // namespace

TEST_F(ShareRows, HoverAndSelectionLooks) {
    KZTableViewRowView* r = row(1);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->backgroundView()->customBackgroundColor(), QColor(Qt::white));
    table->selectRowIndexes(kit::IndexSet(1), false);
    EXPECT_EQ(r->backgroundView()->customBackgroundColor(), KZTableViewRowView::selectedColor());
    r->mouseEntered(event());
    EXPECT_EQ(r->backgroundView()->customBackgroundColor(), KZStyle::VCBackgroundColor());
    r->mouseExited(event());
    EXPECT_EQ(r->backgroundView()->customBackgroundColor(), KZTableViewRowView::selectedColor());
    table->deselectAll();
    r->mouseEntered(event());
    r->mouseExited(event());
    EXPECT_EQ(r->backgroundView()->customBackgroundColor(), QColor(Qt::white));
}

TEST_F(ShareRows, KeyboardSelectionChecksTheBoxAndBoxClicksReportTheNewState) {
    table->selectRowIndexes(kit::IndexSet(0), false);
    window.makeFirstResponder(table);
    QTest::keyClick(table, Qt::Key_Down);
    ASSERT_TRUE(table->isRowSelected(1));
    EXPECT_TRUE(row(1)->checkBox()->checked());
    EXPECT_FALSE(row(0)->checkBox()->checked());

    // A click on the box of an unselected row reports "checked" and leaves the look to the list.
    KZCheckBoxButton* box = row(3)->checkBox();
    const QPoint centre = box->rect().center();
    QTest::mouseClick(box, Qt::LeftButton, {}, centre);
    ASSERT_EQ(owner.checkBoxReports.size(), 1);
    EXPECT_EQ(owner.checkBoxReports[0].first, row(3));
    EXPECT_TRUE(owner.checkBoxReports[0].second);
    EXPECT_EQ(row(3)->backgroundView()->customBackgroundColor(), QColor(Qt::white));
    QTest::mouseClick(box, Qt::LeftButton, {}, centre);
    EXPECT_FALSE(owner.checkBoxReports.last().second);

    row(2)->rightMouseUp(event());
    EXPECT_EQ(owner.rightClicked, row(2));
}

TEST_F(ShareRows, RowsWithoutDelegateAndTablesWithoutHighlightStayQuiet) {
    // Pixels of a selected row drawn over nothing, with and without the selection fill.
    QCursor::setPos(5000, 5000); // away from the rows
    auto drawn = [](kit::SelectionHighlightStyle style) {
        kit::View host;
        host.resize(300, 52);
        auto* row = new KZTableViewRowView(&host);
        row->setFrame(QRectF(0, 0, 300, 52));
        row->setSelectionHighlightStyle(style);
        row->setSelected(true);
        row->actionCheckBoxChanged(); // no delegate: nothing happens
        row->rightMouseUp(event());
        EXPECT_TRUE(row->checkBox()->checked());
        host.show();
        drainEvents();
        QImage image(300, 52, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        row->render(&image, {}, {}, QWidget::DrawChildren);
        return image.pixelColor(150, 26);
    };
    const QColor none = drawn(kit::SelectionHighlightStyle::None);
    EXPECT_EQ(none.alpha(), KZTableViewRowView::selectedColor().alpha()); // the tint alone
    EXPECT_NE(drawn(kit::SelectionHighlightStyle::Regular), none);
}

TEST_F(ShareRows, PathCellClicksOnItsTextOnly) {
    auto* cell = static_cast<KZTableViewFilePathCellView*>(table->viewAtColumn(0, 2, false));
    ASSERT_NE(cell, nullptr);
    const QRectF text = cell->clickableRect();
    ASSERT_GT(text.width(), 10);
    QTest::mouseClick(cell, Qt::LeftButton, {}, text.center().toPoint());
    EXPECT_EQ(owner.pathClicked, cell);
    owner.pathClicked = nullptr;
    QTest::mouseClick(cell, Qt::LeftButton, {}, QPoint(int(text.right()) + 40, int(text.center().y())));
    EXPECT_EQ(owner.pathClicked, nullptr);

    cell->setDelegate(nullptr);
    QTest::mouseClick(cell, Qt::LeftButton, {}, text.center().toPoint());
    EXPECT_EQ(owner.pathClicked, nullptr);
}

TEST(ShareCells, NameLabelFollowsTheIconAndPathsShortenInTheMiddle) {
    KZTableViewFileNameCellView name;
    name.resize(240, 52);
    name.layout();
    const double withIcon = KZTableViewFileNameCellView::kImageBoxLeft +
                            KZTableViewFileNameCellView::kImageBoxSide +
                            KZTableViewFileNameCellView::kGapAfterIcon;
    EXPECT_EQ(name.textLabel()->x(), withIcon);
    EXPECT_EQ(name.textLabel()->width(), 240 - withIcon - 8);
    name.iconImageView()->hide();
    name.layout();
    EXPECT_EQ(name.textLabel()->x(), 8);
    EXPECT_EQ(name.textLabel()->width(), 240 - 16);
    EXPECT_EQ(name.textLabel()->font().pixelSize(), 12);

    KZTableViewFilePathCellView path;
    path.resize(120, 52);
    path.layout();
    path.setStringValue(QStringLiteral("季度报告的开头很长很长很长很长很长很长的文件夹名结尾"));
    const QStringList lines = path.textLabel()->displayedLines(path.textLabel()->width());
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("季度"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("结尾"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(QChar(0x2026)));
    EXPECT_EQ(path.textLabel()->textColor(), KZStyle::tabbarTintColor());
}
