#include "ui/common/KZFileOperateMenuWindowController.h"

#include "kit/Event.h"
#include "kit/Window.h"
#include "ui/common/KZFileOperateCellView.h"
#include "ui/common/KZFileOperateMenuWindowContentView.h"

#include <QGuiApplication>
#include <QScreen>

KZFileOperateMenuWindowController::KZFileOperateMenuWindowController(QObject* parent)
    : KZBaseWindowController(kNibName, parent) {}

void KZFileOperateMenuWindowController::loadWindow() {
    setWindow(KZFileOperateMenuWindowContentView::makeMenuWindow(this));
}

void KZFileOperateMenuWindowController::windowDidLoad() {
    KZBaseWindowController::windowDidLoad();
    initUI();
}

void KZFileOperateMenuWindowController::initUI() {
    auto* content = static_cast<KZFileOperateMenuWindowContentView*>(window()->contentView());
    m_tableView = content->tableView();
    m_tableView->registerView(KZFileOperateRowView::kIdentifier, [] { return new KZFileOperateRowView; });
    m_tableView->registerView(KZFileOperateCellView::kIdentifier, [] { return new KZFileOperateCellView; });
    m_fileSortMenu = new KZFileSortWindowController(this);
    m_fileSortMenu->setDelegate(this);
    m_modeMenu = new KZFileSortWindowController(this);
    m_modeMenu->setDelegate(this);
}

kit::TableView* KZFileOperateMenuWindowController::tableView() {
    window();
    return m_tableView;
}

KZFileSortWindowController* KZFileOperateMenuWindowController::fileSortMenu() {
    window();
    return m_fileSortMenu;
}

KZFileSortWindowController* KZFileOperateMenuWindowController::modeMenu() {
    window();
    return m_modeMenu;
}

void KZFileOperateMenuWindowController::setDataArray(const QList<KZFileOperateMenuItemPtr>& items) {
    m_dataArray = items;
    kit::TableView* table = tableView();
    table->deselectAll(); // a click on the entry chosen last time must count again
    table->reloadData();
}

// ---- showing

void KZFileOperateMenuWindowController::showInWindow(kit::Window* parentWindow, const QPointF& point,
                                                     const QList<KZFileOperateMenuItemPtr>& items) {
    m_parentWindow = parentWindow;
    setDataArray(items);
    updateFrameInWindow(parentWindow, point);
}

void KZFileOperateMenuWindowController::showInWindow(kit::Window* parentWindow, const QPointF& point,
                                                     const QList<KZFileOperateMenuItemPtr>& items,
                                                     qint32 sortMode, quint64 listMode) {
    m_sortMode = sortMode;
    m_listMode = listMode;
    showInWindow(parentWindow, point, items);
}

void KZFileOperateMenuWindowController::moreOperateMenuShowInWindow(
    kit::Window* window, const QPointF& screenPoint, const QList<KZFileOperateMenuItemPtr>& items) {
    setDataArray(items);
    updateMoreOperateMenuFrameWithPoint(screenPoint);
    attach(window);
}

void KZFileOperateMenuWindowController::updateFrameInWindow(kit::Window* parentWindow, const QPointF& point) {
    const double h = KZFileOperateMenuItem::menuHeightForItems(m_dataArray);
    const QRectF parent = parentWindow ? parentWindow->frame() : QRectF();
    updateFrameWithPoint(QPointF(parent.x() + point.x(), parent.y() + point.y() - h + 10));
    attach(parentWindow);
}

double KZFileOperateMenuWindowController::menuWidth() const {
    double width = kWidth;
    for (const KZFileOperateMenuItemPtr& item : m_dataArray)
        if (item)
            width = std::max(width, KZFileOperateCellView::widthForTitle(item->title()) +
                                        2 * KZFileOperateMenuWindowContentView::kBorder);
    return width;
}

void KZFileOperateMenuWindowController::updateFrameWithPoint(const QPointF& origin) {
    const double h = KZFileOperateMenuItem::menuHeightForItems(m_dataArray);
    window()->setFrame(QRectF(origin.x(), origin.y(), menuWidth(), h));
    window()->update();
}

void KZFileOperateMenuWindowController::updateMoreOperateMenuFrameWithPoint(const QPointF& screenPoint) {
    const double h = KZFileOperateMenuItem::menuHeightForItems(m_dataArray);
    updateFrameWithPoint(QPointF(screenPoint.x(), screenPoint.y() - h));
}

void KZFileOperateMenuWindowController::attach(kit::Window* parent) {
    KZFileOperateMenuWindowContentView::placeAbove(window(), parent, window()->frame());
}

void KZFileOperateMenuWindowController::close() {
    KZBaseWindowController::close();
    if (m_fileSortMenu)
        m_fileSortMenu->close();
    if (m_modeMenu)
        m_modeMenu->close();
}

// ---- table

int KZFileOperateMenuWindowController::numberOfRowsInTableView(kit::TableView*) {
    return int(m_dataArray.size());
}

kit::View* KZFileOperateMenuWindowController::tableViewViewForTableColumn(kit::TableView* table,
                                                                          kit::TableColumn*, int row) {
    auto* cell = table->makeView<KZFileOperateCellView>(KZFileOperateCellView::kIdentifier);
    if (cell)
        cell->setItem(m_dataArray.value(row));
    return cell;
}

kit::TableRowView* KZFileOperateMenuWindowController::tableViewRowViewForRow(kit::TableView* table, int row) {
    auto* rowView = table->makeView<KZFileOperateRowView>(KZFileOperateRowView::kIdentifier);
    if (rowView) {
        rowView->setDelegate(this);
        rowView->setItem(m_dataArray.value(row));
    }
    return rowView;
}

qreal KZFileOperateMenuWindowController::tableViewHeightOfRow(kit::TableView*, int row) {
    const KZFileOperateMenuItemPtr item = m_dataArray.value(row);
    return KZFileOperateMenuItem::rowHeightForType(item ? quint64(item->type()) : 0);
}

void KZFileOperateMenuWindowController::tableViewSelectionDidChange(kit::TableView* table) {
    const int row = table->selectedRow();
    if (row < 0 || row >= m_dataArray.size())
        return;
    const KZFileOperateMenuItemPtr item = m_dataArray.at(row);
    close();
    if (auto* d = m_delegate.get())
        d->fileOperateMenuSelectedItem(item, table);
}

void KZFileOperateMenuWindowController::fileSortMenuItem(const KZFileOperateMenuItemPtr& item,
                                                         kit::TableView* tableView) {
    KZBaseWindowController::close();
    if (m_fileSortMenu)
        m_fileSortMenu->close();
    if (auto* d = m_delegate.get())
        d->submenuFileOperateMenuSelectedItem(item, tableView);
}

// ---- pop-ups on hover

QPointF KZFileOperateMenuWindowController::popUpPoint(double lowerEdge) const {
    kit::Window* menu = const_cast<KZFileOperateMenuWindowController*>(this)->window();
    const QRectF f = menu->frame();
    const QRectF rightSide(f.right(), lowerEdge, KZFileSortWindowController::kWidth, f.height());
    if (kit::Window::constrainFrameToScreen(rightSide).x() < rightSide.x())
        return QPointF(f.left() - KZFileSortWindowController::kWidth, lowerEdge);
    return QPointF(f.right(), lowerEdge);
}

bool KZFileOperateMenuWindowController::leavesTowards(double x, KZFileSortWindowController* popUp,
                                                      bool notLeftOfMenu) const {
    kit::Window* menu = const_cast<KZFileOperateMenuWindowController*>(this)->window();
    const QRectF f = menu->frame();
    const QRectF p = popUp->window()->frame();
    if (p.left() < f.left()) // the pop-up sits on the left, where the screen ended
        return x < f.width();
    // Beside it on the right: the bound is the two right edges together, as generous as the
    // pop-up is wide and more.
    return (!notLeftOfMenu || x >= 0) && x < f.right() + p.right();
}

void KZFileOperateMenuWindowController::fileOperateRowItemMouseEntered(const KZFileOperateMenuItemPtr& item,
                                                                       const kit::Event&) {
    if (!item || !m_parentWindow)
        return;
    const QRectF f = window()->frame();
    if (item->type() == KZFileOperateItemTypeDisplayMode) {
        m_fileSortMenu->close();
        m_modeMenu->showInWindowListMode(m_parentWindow, popUpPoint(f.top()), m_listMode);
    } else if (item->type() == KZFileOperateItemTypeSort) {
        m_modeMenu->close();
        m_fileSortMenu->showInWindowSortMode(m_parentWindow, popUpPoint(f.top() - kSortMenuDrop), m_sortMode);
    }
}

void KZFileOperateMenuWindowController::fileOperateRowItemMouseExited(const KZFileOperateMenuItemPtr& item,
                                                                      const kit::Event& event) {
    if (!m_fileSortMenu || !m_modeMenu)
        return;
    const double x = event.locationInWindow().x();
    const double y = event.locationInWindow().y();
    const quint64 type = item ? quint64(item->type()) : quint64(KZFileOperateItemTypeSeparator);
    if (type == KZFileOperateItemTypeDisplayMode) {
        m_fileSortMenu->close();
        if (!(leavesTowards(x, m_modeMenu, true) && y >= kModeBandLow && y < kModeBandHigh))
            m_modeMenu->close();
    } else if (type == KZFileOperateItemTypeSort) {
        m_modeMenu->close();
        if (!(leavesTowards(x, m_fileSortMenu, false) && y >= 0 && y < kSortBandHigh))
            m_fileSortMenu->close();
    } else {
        m_fileSortMenu->close();
        m_modeMenu->close();
    }
}
