#include "ui/common/KZFileSortWindowController.h"

#include "shell/KZStyle.h"
#include "ui/common/KZFileOperateMenuWindowContentView.h"
#include "ui/common/KZFileOperateRowView.h"

#include <QFontMetricsF>
#include <cmath>

namespace {
constexpr double kTextLeft = 16;
constexpr double kMarkSide = 14;
constexpr double kMarkRight = 12;
constexpr double kLineInset = 8;

KZFileOperateMenuItemPtr entry(const QString& title, KZFileOperateItemType type, bool selected) {
    auto item = KZFileOperateMenuItem::itemWithTitle(title, type);
    item->setSelected(selected);
    return item;
}
} // namespace

// ---- cell

KZFileSortCellView::KZFileSortCellView(QWidget* parent) : kit::View(parent) {
    setIdentifier(kIdentifier);
    setAttribute(Qt::WA_TransparentForMouseEvents); // clicks and hover belong to the row
    m_titleLabel = new KZLabel(this);
    m_titleLabel->setFont(KZStyle::fontOfSize(14));
    m_titleLabel->setTextColor(KZStyle::darkGray2Color());
    m_markImageView = new kit::ImageView(this);
    m_markImageView->setImage(kit::Image::named(QStringLiteral("menu_check_mark")));
    m_lineView = new kit::View(this);
    m_lineView->setCustomBackgroundColor(KZStyle::separatorColor());
    m_markImageView->hide();
    m_lineView->hide();
}

void KZFileSortCellView::layout() {
    const double h = height();
    m_lineView->setFrame(QRectF(kLineInset, std::floor(h / 2), std::max(0.0, width() - 2 * kLineInset), 1));
    m_markImageView->setFrame(
        QRectF(width() - kMarkRight - kMarkSide, (h - kMarkSide) / 2, kMarkSide, kMarkSide));
    const double textHeight = QFontMetricsF(m_titleLabel->font()).height();
    m_titleLabel->setFrame(QRectF(kTextLeft, std::round((h - textHeight) / 2),
                                  std::max(0.0, m_markImageView->left() - kTextLeft), textHeight));
}

void KZFileSortCellView::setItem(const KZFileOperateMenuItemPtr& item) {
    m_item = item;
    m_titleLabel->setText(item ? item->title() : QString());
    m_markImageView->setVisible(item && item->selected());
    m_lineView->setVisible(!item || item->isSeparator());
}

// ---- controller

KZFileSortWindowController::KZFileSortWindowController(QObject* parent)
    : KZBaseWindowController(kNibName, parent) {}

void KZFileSortWindowController::loadWindow() {
    setWindow(KZFileOperateMenuWindowContentView::makeMenuWindow(this));
}

void KZFileSortWindowController::windowDidLoad() {
    KZBaseWindowController::windowDidLoad();
    auto* content = static_cast<KZFileOperateMenuWindowContentView*>(window()->contentView());
    m_tableView = content->tableView();
    m_tableView->registerView(kRowIdentifier, [] { return new KZFileOperateRowView; });
    m_tableView->registerView(KZFileSortCellView::kIdentifier, [] { return new KZFileSortCellView; });
}

kit::View* KZFileSortWindowController::contentView() {
    return window()->contentView();
}

kit::TableView* KZFileSortWindowController::tableView() {
    window();
    return m_tableView;
}

QList<KZFileOperateMenuItemPtr> KZFileSortWindowController::getFileSortItems() const {
    const bool byName = m_sortMode == 0 || m_sortMode == 1;
    const bool ascending = m_sortMode == 0 || m_sortMode == 2;
    return {entry(QStringLiteral("按名称排序"), KZFileOperateItemTypeSortByName, byName),
            entry(QStringLiteral("按时间排序"), KZFileOperateItemTypeSortByTime, !byName),
            KZFileOperateMenuItem::separatorItem(),
            entry(QStringLiteral("递增"), KZFileOperateItemTypeAscending, ascending),
            entry(QStringLiteral("递减"), KZFileOperateItemTypeDescending, !ascending)};
}

QList<KZFileOperateMenuItemPtr> KZFileSortWindowController::getFileListStyleItems() const {
    return {entry(QStringLiteral("列表"), KZFileOperateItemTypeListStyle, m_listMode == 0),
            entry(QStringLiteral("缩略图"), KZFileOperateItemTypeThumbnailStyle, m_listMode == 1)};
}

void KZFileSortWindowController::showInWindowSortMode(kit::Window* parentWindow, const QPointF& point,
                                                      qint32 sortMode) {
    m_sortMode = sortMode;
    showItems(parentWindow, point, getFileSortItems());
}

void KZFileSortWindowController::showInWindowListMode(kit::Window* parentWindow, const QPointF& point,
                                                      quint64 listMode) {
    m_listMode = listMode;
    showItems(parentWindow, point, getFileListStyleItems());
}

void KZFileSortWindowController::showItems(kit::Window* parentWindow, const QPointF& point,
                                           const QList<KZFileOperateMenuItemPtr>& items) {
    kit::TableView* table = tableView();
    m_dataArray = items;
    table->deselectAll(); // a click on the row chosen last time must count again
    table->reloadData();
    updateFrameInWindow(parentWindow, point);
}

void KZFileSortWindowController::updateFrameInWindow(kit::Window* parentWindow, const QPointF& point) {
    updateFrameWithPoint(point);
    KZFileOperateMenuWindowContentView::placeAbove(window(), parentWindow, window()->frame());
}

void KZFileSortWindowController::updateFrameWithPoint(const QPointF& point) {
    window()->setFrame(
        QRectF(point.x(), point.y(), kWidth, KZFileOperateMenuItem::menuHeightForItems(m_dataArray)));
    window()->update();
}

int KZFileSortWindowController::numberOfRowsInTableView(kit::TableView*) {
    return int(m_dataArray.size());
}

kit::View* KZFileSortWindowController::tableViewViewForTableColumn(kit::TableView* table, kit::TableColumn*,
                                                                   int row) {
    auto* cell = table->makeView<KZFileSortCellView>(KZFileSortCellView::kIdentifier);
    if (cell)
        cell->setItem(m_dataArray.value(row));
    return cell;
}

kit::TableRowView* KZFileSortWindowController::tableViewRowViewForRow(kit::TableView* table, int) {
    // Without delegate or entry: the row only shows the pointer.
    auto* rowView = table->makeView<KZFileOperateRowView>(kRowIdentifier);
    if (rowView)
        rowView->setItem(nullptr);
    return rowView;
}

qreal KZFileSortWindowController::tableViewHeightOfRow(kit::TableView*, int row) {
    const KZFileOperateMenuItemPtr item = m_dataArray.value(row);
    return KZFileOperateMenuItem::rowHeightForType(item ? quint64(item->type()) : 0);
}

void KZFileSortWindowController::tableViewSelectionDidChange(kit::TableView* table) {
    const int row = table->selectedRow();
    if (row < 0 || row >= m_dataArray.size())
        return;
    const KZFileOperateMenuItemPtr item = m_dataArray.at(row);
    close();
    if (auto* d = m_delegate.get())
        d->fileSortMenuItem(item, table);
}
