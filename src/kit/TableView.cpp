#include "kit/TableView.h"

#include "kit/Window.h"

#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <cmath>

namespace kit {

namespace {
const QString kDefaultRowId = QStringLiteral("kit.TableRowView");
constexpr int kOverscan = 2; // rows kept beyond each edge of the visible rectangle
constexpr qreal kDefaultHeaderHeight = 32;
constexpr qreal kAboveZone = 4; // points from a row edge that mean "drop between rows"
} // namespace

// ---- TableRowView

TableRowView::TableRowView(QWidget* parent) : View(parent) {}

void TableRowView::setSelected(bool selected) {
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
}

void TableRowView::setSelectionHighlightStyle(SelectionHighlightStyle s) {
    m_style = s;
    update();
}

View* TableRowView::viewAtColumn(int column) const {
    if (column < 0 || column >= int(m_cells.size()))
        return nullptr;
    return m_cells[column];
}

QRectF TableRowView::rectOfColumn(int column) const {
    if (column < 0 || column >= int(m_columnSpans.size()))
        return {};
    return QRectF(m_columnSpans[column].first, 0, m_columnSpans[column].second, QWidget::height());
}

void TableRowView::drawSelection(QPainter& p, const QRectF& rect) {
    p.fillRect(rect, palette().color(QPalette::Highlight));
}

void TableRowView::setTargetForDropOperation(bool target) {
    if (m_dropTarget == target)
        return;
    m_dropTarget = target;
    update();
}

void TableRowView::draw(QPainter& p) {
    if (m_selected && m_style != SelectionHighlightStyle::None)
        drawSelection(p, bounds());
    if (m_dropTarget) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(bounds().adjusted(1, 1, -1, -1), 4, 4);
    }
}

// ---- TableHeaderView

TableHeaderView::TableHeaderView(QWidget* parent) : View(parent) {}

TableView* TableHeaderView::tableView() const {
    return qobject_cast<TableView*>(parentWidget());
}

QRectF TableHeaderView::headerRectOfColumn(int column) const {
    const TableView* table = tableView();
    if (!table)
        return {};
    const QRectF r = table->rectOfColumn(column);
    return r.isNull() ? QRectF() : QRectF(r.x(), 0, r.width(), height());
}

void TableHeaderView::draw(QPainter& p) {
    const TableView* table = tableView();
    if (!table)
        return;
    p.setPen(palette().color(QPalette::WindowText));
    for (int i = 0; i < table->numberOfColumns(); ++i)
        p.drawText(headerRectOfColumn(i).adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   table->tableColumns()[i]->title());
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(QPointF(0, height() - 0.5), QPointF(width(), height() - 0.5));
}

// ---- TableView

TableView::TableView(QWidget* parent) : ItemsView(parent) {
    m_clip = new View(this);
    m_scroller->raise();
    m_layout.setHeightSource([this](int row) -> qreal {
        TableViewDelegate* d = m_delegate.get();
        return d ? d->tableViewHeightOfRow(this, row) : -1;
    });
    auto* header = new TableHeaderView;
    header->setFrameSize(QSizeF(100, kDefaultHeaderHeight));
    setHeaderView(header);
    setUpDragging();
    registerView(kDefaultRowId, [] { return new TableRowView; });
}

TableColumn* TableView::addTableColumn(const QString& identifier, const QString& title, qreal width) {
    m_columns.push_back(std::make_unique<TableColumn>(identifier, title, width));
    if (m_header)
        m_header->update();
    return m_columns.back().get();
}

void TableView::removeTableColumn(TableColumn* column) {
    for (auto it = m_columns.begin(); it != m_columns.end(); ++it) {
        if (it->get() == column) {
            m_columns.erase(it);
            reloadData();
            return;
        }
    }
}

QList<TableColumn*> TableView::tableColumns() const {
    QList<TableColumn*> out;
    for (const auto& c : m_columns)
        out.append(c.get());
    return out;
}

int TableView::columnWithIdentifier(const QString& identifier) const {
    for (int i = 0; i < int(m_columns.size()); ++i)
        if (m_columns[i]->identifier() == identifier)
            return i;
    return -1;
}

std::vector<std::pair<int, int>> TableView::columnSpans(int width) const {
    // Column edges; the last column fills the rest of the width.
    std::vector<std::pair<int, int>> spans;
    int x = 0;
    for (int c = 0; c < int(m_columns.size()); ++c) {
        int w = int(m_columns[c]->width());
        if (c == int(m_columns.size()) - 1)
            w = std::max(w, width - x);
        spans.push_back({x, w});
        x += w;
    }
    return spans;
}

QRectF TableView::rectOfColumn(int column) const {
    const auto spans = columnSpans(m_clip->width());
    if (column < 0 || column >= int(spans.size()))
        return {};
    return QRectF(spans[column].first, 0, spans[column].second, m_layout.contentHeight());
}

int TableView::columnAtPoint(const QPointF& p) const {
    const auto spans = columnSpans(m_clip->width());
    for (int i = 0; i < int(spans.size()); ++i)
        if (p.x() >= spans[i].first && p.x() < spans[i].first + spans[i].second)
            return i;
    return -1;
}

void TableView::registerView(const QString& identifier, std::function<View*()> factory) {
    m_pool.registerFactory(identifier, std::move(factory));
}

View* TableView::makeView(const QString& identifier) {
    return m_pool.take(identifier, [&](View* v) {
        v->setIdentifier(identifier);
        v->hide();
        v->setParent(m_clip);
    });
}

void TableView::setRowHeight(qreal h) {
    m_layout.setRowHeight(h);
    tile();
}

void TableView::noteHeightOfRowsChanged() {
    m_layout.invalidate();
    tile();
}

qreal TableView::clipHeight() const {
    return m_clip->height();
}

void TableView::reloadData() {
    while (!m_displayed.empty())
        removeDisplayed(m_displayed.begin()->first, m_displayed.begin()->first);
    dropOffscreen();
    TableViewDataSource* ds = m_dataSource.get();
    const int rows = ds ? std::max(0, ds->numberOfRowsInTableView(this)) : 0;
    m_layout.setRowCount(rows);
    // The rows are a new list: a row number selected before names another record now. The
    // delegate carries its own choice over, by record.
    commit(m_selection.reset(rows), false);
    tile();
}

void TableView::beginUpdates() {
    ++m_updates;
}

void TableView::endUpdates() {
    if (m_updates > 0 && --m_updates == 0)
        tile();
}

void TableView::insertRows(const IndexSet& rows) {
    if (rows.isEmpty())
        return;
    moveKeys(m_displayed, SelectionModel::InsertMap(rows, m_selection.count()));
    m_selection.insert(rows);
    m_layout.setRowCount(m_selection.count());
    if (m_updates == 0)
        tile();
}

void TableView::removeRows(const IndexSet& rows) {
    const IndexSet removed = rows.intersectedWithRange(0, m_selection.count());
    if (removed.isEmpty())
        return;
    const std::vector<int> shown = displayedAmong(m_displayed, removed);
    for (auto it = shown.crbegin(); it != shown.crend(); ++it)
        removeDisplayed(*it, -1);
    moveKeys(m_displayed, SelectionModel::RemoveMap(removed, m_selection.count()));
    const bool lostSelected = m_selection.remove(removed);
    m_layout.setRowCount(m_selection.count());
    if (m_updates == 0)
        tile();
    // Removing selected rows changes the selection; shifting the others does not.
    if (lostSelected)
        if (auto* d = m_delegate.get())
            d->tableViewSelectionDidChange(this);
}

void TableView::removeDisplayed(int row, int reportedRow) {
    TableRowView* rv = takeDisplayed(m_displayed, row);
    if (!rv)
        return;
    if (auto* d = m_delegate.get())
        d->tableViewDidRemoveRowView(this, rv, reportedRow);
    if (m_updates > 0)
        m_retired.append(rv);
    else
        recycleRow(rv);
}

void TableView::recycle(View* v) {
    if (!v)
        return;
    v->hide();
    // A view without an identifier cannot be asked for again: it is not kept.
    if (v->identifier().isEmpty()) {
        v->deleteLater();
        return;
    }
    m_pool.put(v->identifier(), v);
}

void TableView::recycleRow(TableRowView* rv) {
    if (!rv)
        return;
    const bool keepRow = !rv->identifier().isEmpty();
    // Cells go back before their row so that the next row is likely to get its old cells again.
    for (auto it = rv->m_cells.rbegin(); it != rv->m_cells.rend(); ++it) {
        if (View* c = *it) {
            if (!keepRow)
                c->setParent(m_clip); // the row goes away; its reusable cells stay
            recycle(c);
        }
    }
    rv->m_cells.clear();
    rv->setSelected(false);
    recycle(rv);
}

void TableView::dropOffscreen() {
    const auto views = std::move(m_offscreen);
    m_offscreen.clear();
    for (const QPointer<View>& v : views) {
        if (!v)
            continue;
        if (auto* rv = qobject_cast<TableRowView*>(v.data()))
            recycleRow(rv);
        else
            recycle(v);
    }
}

TableRowView* TableView::makeRow(int row) {
    TableViewDelegate* d = m_delegate.get();
    TableRowView* rv = d ? d->tableViewRowViewForRow(this, row) : nullptr;
    if (!rv)
        rv = makeView<TableRowView>(kDefaultRowId);
    if (rv->parentWidget() != m_clip)
        rv->setParent(m_clip);
    rv->m_style = m_highlight;
    rv->m_cells.assign(m_columns.size(), nullptr);
    for (int c = 0; c < int(m_columns.size()); ++c) {
        View* cell = d ? d->tableViewViewForTableColumn(this, m_columns[c].get(), row) : nullptr;
        if (!cell)
            continue;
        if (cell->parentWidget() != rv)
            cell->setParent(rv);
        rv->m_cells[c] = cell;
        cell->show();
    }
    rv->setSelected(m_selection.contains(row));
    rv->setTargetForDropOperation(row == m_drag.dropTargetIndex());
    return rv;
}

void TableView::tile() {
    if (m_tiling || m_updates > 0)
        return;
    m_tiling = true;
    for (const QPointer<TableRowView>& rv : std::exchange(m_retired, {}))
        if (rv)
            recycleRow(rv);
    dropOffscreen();
    const int w = QWidget::width();
    const int h = QWidget::height();
    const int hh = int(headerHeight());
    const int sbw = scrollerWidth();
    const int clipH = std::max(0, h - hh);
    const qreal content = m_layout.contentHeight();
    const int maxOffset = std::max(0, int(std::ceil(content)) - clipH);
    const int clipW = std::max(0, w - (maxOffset > 0 ? sbw : 0));
    if (m_header)
        m_header->setGeometry(0, 0, clipW, hh);
    m_clip->setGeometry(0, hh, clipW, clipH);
    placeScroller(QRect(clipW, hh, sbw, clipH), maxOffset, int(m_layout.rowHeight()));

    const int rowCount = m_layout.rowCount();
    int first = 0;
    int last = -1;
    if (rowCount > 0 && clipH > 0) {
        first = std::max(0, m_layout.rowAt(m_offset) - kOverscan);
        last = std::min(rowCount - 1,
                        m_layout.rowAt(std::min<qreal>(m_offset + clipH - 1, content - 1)) + kOverscan);
    }
    // Collected first: the removal callbacks may change the table.
    std::vector<int> leaving;
    for (const auto& [r, d] : m_displayed)
        if (r < first || r > last)
            leaving.push_back(r);
    for (int r : leaving)
        removeDisplayed(r, r);
    std::vector<std::pair<int, TableRowView*>> added;
    for (int r = first; r <= last; ++r) {
        if (m_displayed.count(r))
            continue;
        TableRowView* rv = makeRow(r);
        m_displayed[r] = rv;
        added.push_back({r, rv});
    }
    const auto cols = columnSpans(clipW);
    const int rowWidth = cols.empty() ? clipW : cols.back().first + cols.back().second;
    for (auto& [r, rv] : m_displayed) {
        const int rh = int(m_layout.heightOf(r));
        rv->setGeometry(0, int(m_layout.topOf(r)) - m_offset, rowWidth, rh);
        for (int c = 0; c < int(cols.size()) && c < int(rv->m_cells.size()); ++c)
            if (View* cell = rv->m_cells[c])
                cell->setGeometry(cols[c].first, 0, cols[c].second, rh);
        if (rv->m_columnSpans != cols) {
            rv->m_columnSpans = cols; // cells the row draws itself move with their columns
            rv->update();
        }
        if (!rv->isVisible())
            rv->show();
    }
    m_tiling = false;
    if (auto* d = m_delegate.get()) {
        QPointer<TableView> guard(this);
        for (auto& [r, rv] : added) {
            if (!guard)
                return;
            auto it = m_displayed.find(r);
            if (it != m_displayed.end() && it->second == rv)
                d->tableViewDidAddRowView(this, rv, r);
        }
    }
}

View* TableView::viewAtColumn(int column, int row, bool makeIfNecessary) {
    TableRowView* rv = rowViewAtRow(row, makeIfNecessary);
    return rv ? rv->viewAtColumn(column) : nullptr;
}

TableRowView* TableView::rowViewAtRow(int row, bool makeIfNecessary) {
    auto it = m_displayed.find(row);
    if (it != m_displayed.end())
        return it->second;
    if (!makeIfNecessary || row < 0 || row >= numberOfRows())
        return nullptr;
    TableRowView* rv = makeRow(row);
    rv->hide();
    m_offscreen.append(rv);
    return rv;
}

QList<int> TableView::displayedRows() const {
    QList<int> out;
    for (const auto& [r, d] : m_displayed)
        out.append(r);
    return out;
}

int TableView::rowForView(const QWidget* view) const {
    // Climb to the child of the clip view: that is a row view.
    while (view && view->parentWidget() != m_clip)
        view = view->parentWidget();
    if (!view)
        return -1;
    for (const auto& [r, rv] : m_displayed)
        if (rv == view)
            return r;
    return -1;
}

QRectF TableView::rectOfRow(int row) const {
    if (row < 0 || row >= numberOfRows())
        return {};
    return QRectF(0, m_layout.topOf(row), m_clip->width(), m_layout.heightOf(row));
}

int TableView::rowAtPoint(const QPointF& p) const {
    const qreal hh = headerHeight();
    if (p.y() < hh || p.x() < 0 || p.x() >= m_clip->width())
        return -1;
    return m_layout.rowAt(p.y() - hh + m_offset);
}

QRectF TableView::visibleRect() const {
    const qreal hh = headerHeight();
    return QRectF(0, m_offset - hh, m_clip->width(), clipHeight() + hh);
}

void TableView::scrollRowToVisible(int row) {
    if (row < 0 || row >= numberOfRows())
        return;
    const qreal top = m_layout.topOf(row);
    const qreal bottom = top + m_layout.heightOf(row);
    int offset = m_offset;
    if (top < m_offset)
        offset = int(std::floor(top));
    else if (bottom > m_offset + clipHeight())
        offset = int(std::ceil(bottom - clipHeight()));
    if (offset != m_offset) {
        m_offset = offset;
        tile();
    }
}

void TableView::scrollToPoint(const QPointF& p) {
    m_offset = int(std::lround(p.y() + headerHeight()));
    tile();
}

void TableView::setSelectionHighlightStyle(SelectionHighlightStyle s) {
    m_highlight = s;
    for (auto& [r, rv] : m_displayed)
        rv->setSelectionHighlightStyle(s);
}

void TableView::selectionDidChange(const SelectionChange&, bool) {
    for (auto& [r, rv] : m_displayed)
        rv->setSelected(m_selection.contains(r));
    if (auto* d = m_delegate.get())
        d->tableViewSelectionDidChange(this);
}

void TableView::selectRowIndexes(const IndexSet& rows, bool extend) {
    commit(m_selection.select(rows, extend), false);
}

void TableView::deselectRow(int row) {
    commit(m_selection.deselect(IndexSet(row)), false);
}

void TableView::selectAll() {
    commit(m_selection.selectAll(), false);
}

void TableView::deselectAll() {
    commit(m_selection.clear(), false);
}

bool TableView::becomeFirstResponder() {
    setFocus(Qt::OtherFocusReason);
    return true;
}

Menu* TableView::menuForEvent(const Event& event) {
    const QPointF p = convertFromWindow(event.locationInWindow());
    m_clickedRow = rowAtPoint(p);
    m_clickedColumn = m_clickedRow >= 0 ? columnAtPoint(p) : -1;
    return View::menuForEvent(event);
}

void TableView::mouseDown(const Event& e) {
    const QPointF p = convertFromWindow(e.locationInWindow());
    if (p.y() < headerHeight()) {
        // The release of a header click must not act with an earlier press's row and count.
        m_lastClickCount = 0;
        m_clickedRow = -1;
        m_drag.release();
        m_selection.release(true);
        return;
    }
    if (!takeFirstResponderOnPress(this))
        return;
    const int row = rowAtPoint(p);
    m_clickedRow = row;
    m_clickedColumn = row >= 0 ? columnAtPoint(p) : -1;
    m_lastClickCount = e.clickCount();
    pressIndex(row, e, true);
}

void TableView::mouseDragged(const Event& e) {
    if (m_drag.shouldStart(e.locationInWindow()) && m_dataSource.get())
        startDrag(draggedIndexes());
}

void TableView::mouseUp(const Event&) {
    const bool dragged = m_drag.isDragging();
    releasePress();
    if (dragged)
        return;
    if (m_lastClickCount == 2) {
        m_doubleAction();
    } else if (m_lastClickCount == 1) {
        m_action();
    }
}

void TableView::keyDown(const Event& e) {
    const int key = e.keyCode();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
        if (numberOfRows() == 0)
            return View::keyDown(e);
        commit(m_selection.moveCursor(key == Qt::Key_Down ? 1 : -1, e.modifierFlags() & Qt::ShiftModifier),
               true);
        scrollRowToVisible(m_selection.cursor());
        return;
    }
    View::keyDown(e);
}

std::pair<int, TableDropPosition> TableView::proposedDrop(const QPointF& p) const {
    const qreal y = p.y() - headerHeight() + m_offset;
    const int row = m_layout.rowAt(y);
    if (row < 0)
        return {y < 0 ? 0 : numberOfRows(), TableDropPosition::Above};
    const qreal top = m_layout.topOf(row);
    const qreal h = m_layout.heightOf(row);
    const qreal zone = std::min(kAboveZone, h / 4);
    if (y - top < zone)
        return {row, TableDropPosition::Above};
    if (top + h - y <= zone)
        return {row + 1, TableDropPosition::Above};
    return {row, TableDropPosition::On};
}

void TableView::setUpDragging() {
    // As a source: what the drag of the pressed rows or tiles carries and whom it tells.
    m_dragSource.writerFor = [this](int row) -> std::shared_ptr<PasteboardWriter> {
        auto* ds = m_dataSource.get();
        return ds ? ds->tableViewPasteboardWriterForRow(this, row) : nullptr;
    };
    m_dragSource.willBegin = [this](DraggingSession* session, const IndexSet& rows) {
        if (auto* ds = m_dataSource.get())
            ds->tableViewDraggingSessionWillBegin(this, session, session->startPoint, rows);
    };
    m_dragSource.promised = [this](const QString& folder, const IndexSet& rows) {
        if (auto* ds = m_dataSource.get())
            ds->tableViewNamesOfPromisedFilesDroppedAtDestination(this, folder, rows);
    };
    m_dragSource.ended = [this](DraggingSession* session, QPointF at, DragOperation op) {
        if (auto* ds = m_dataSource.get())
            ds->tableViewDraggingSessionEnded(this, session, at, op);
    };
    m_dragSource.filesFor = [this](const IndexSet& rows) {
        auto* ds = m_dataSource.get();
        return ds ? ds->tableViewFilesForPromisedRows(this, rows) : QStringList();
    };
    // As a target: where a drop would go, and whether it is taken.
    m_drag.validate = [this](const DraggingInfo& info, QPointF p) -> drag::ListDragSupport::Proposal {
        const auto [row, pos] = proposedDrop(p);
        if (TableViewDataSource* ds = m_dataSource.get())
            return {ds->tableViewValidateDrop(this, info, row, pos), pos == TableDropPosition::On ? row : -1};
        return {};
    };
    m_drag.accept = [this](const DraggingInfo& info, QPointF p) {
        TableViewDataSource* ds = m_dataSource.get();
        const auto [row, pos] = proposedDrop(p);
        return ds && ds->tableViewAcceptDrop(this, info, row, pos);
    };
    m_drag.showDropTarget = [this](int) {
        for (auto& [r, rv] : m_displayed)
            rv->setTargetForDropOperation(r == m_drag.dropTargetIndex());
    };
    m_drag.exited = [this] {
        if (auto* ds = m_dataSource.get())
            ds->tableViewDraggingExited(this);
    };
}

} // namespace kit
