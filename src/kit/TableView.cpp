#include "kit/TableView.h"

#include "kit/Window.h"

#include <QApplication>
#include <QDropEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QWheelEvent>
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

QRectF TableHeaderView::headerRectOfColumn(int column) const {
    if (!m_table)
        return {};
    const QRectF r = m_table->rectOfColumn(column);
    return r.isNull() ? QRectF() : QRectF(r.x(), 0, r.width(), height());
}

void TableHeaderView::draw(QPainter& p) {
    if (!m_table)
        return;
    p.setPen(palette().color(QPalette::WindowText));
    for (int i = 0; i < m_table->numberOfColumns(); ++i)
        p.drawText(headerRectOfColumn(i).adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   m_table->tableColumns()[i]->title());
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(QPointF(0, height() - 0.5), QPointF(width(), height() - 0.5));
}

// ---- TableView

TableView::TableView(QWidget* parent) : View(parent) {
    m_clip = new View(this);
    m_scroller = new QScrollBar(Qt::Vertical, this);
    connect(m_scroller, &QScrollBar::valueChanged, this, [this](int v) {
        if (v == m_offset)
            return;
        m_offset = v;
        tile();
    });
    auto* header = new TableHeaderView;
    header->setFrameSize(QSizeF(100, kDefaultHeaderHeight));
    setHeaderView(header);
    setFocusPolicy(Qt::ClickFocus);
    setUpDropTarget();
    registerView(kDefaultRowId, [] { return new TableRowView; });
}

TableView::~TableView() {
    // Views go with their parents; only the callbacks must not run any more.
    m_delegate.reset();
    m_dataSource.reset();
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
    return QRectF(spans[column].first, 0, spans[column].second, contentHeight());
}

int TableView::columnAtPoint(const QPointF& p) const {
    const auto spans = columnSpans(m_clip->width());
    for (int i = 0; i < int(spans.size()); ++i)
        if (p.x() >= spans[i].first && p.x() < spans[i].first + spans[i].second)
            return i;
    return -1;
}

void TableView::setHeaderView(View* header) {
    if (header == m_header)
        return;
    delete m_header;
    m_header = header;
    if (header) {
        header->setParent(this);
        if (auto* th = qobject_cast<TableHeaderView*>(header))
            th->m_table = this;
        header->show();
    }
    tile();
}

qreal TableView::headerHeight() const {
    return m_header ? m_header->height() : 0;
}

void TableView::registerView(const QString& identifier, std::function<View*()> factory) {
    m_factories.insert(identifier, std::move(factory));
}

View* TableView::makeView(const QString& identifier) {
    auto it = m_pool.find(identifier);
    while (it != m_pool.end() && !it->isEmpty())
        if (View* v = it->takeLast())
            return v;
    auto f = m_factories.constFind(identifier);
    if (f == m_factories.constEnd() || !*f)
        return nullptr;
    View* v = (*f)();
    if (v) {
        v->setIdentifier(identifier);
        v->hide();
        v->setParent(m_clip);
    }
    return v;
}

void TableView::setRowHeight(qreal h) {
    m_rowHeight = std::max<qreal>(1, h);
    rebuildHeights();
    tile();
}

void TableView::noteHeightOfRowsChanged() {
    rebuildHeights();
    tile();
}

void TableView::rebuildHeights() {
    m_prefix.clear();
    m_variable = false;
    TableViewDelegate* d = m_delegate.get();
    if (!d || m_rowCount == 0 || d->tableViewHeightOfRow(this, 0) < 0)
        return;
    m_variable = true;
    m_prefix.resize(size_t(m_rowCount) + 1);
    m_prefix[0] = 0;
    for (int r = 0; r < m_rowCount; ++r) {
        const qreal h = d->tableViewHeightOfRow(this, r);
        m_prefix[r + 1] = m_prefix[r] + (h > 0 ? h : m_rowHeight);
    }
}

qreal TableView::heightOf(int row) const {
    return m_variable ? m_prefix[row + 1] - m_prefix[row] : m_rowHeight;
}
qreal TableView::topOf(int row) const {
    return m_variable ? m_prefix[row] : row * m_rowHeight;
}
qreal TableView::contentHeight() const {
    return m_variable ? m_prefix[m_rowCount] : m_rowCount * m_rowHeight;
}

int TableView::rowAtContentY(qreal y) const {
    if (y < 0 || y >= contentHeight())
        return -1;
    if (!m_variable)
        return std::min(m_rowCount - 1, int(y / m_rowHeight));
    auto it = std::upper_bound(m_prefix.begin(), m_prefix.end(), y);
    return std::clamp(int(it - m_prefix.begin()) - 1, 0, m_rowCount - 1);
}

qreal TableView::clipHeight() const {
    return m_clip->height();
}

void TableView::reloadData() {
    while (!m_displayed.empty())
        removeDisplayed(m_displayed.begin()->first, m_displayed.begin()->first);
    dropOffscreen();
    TableViewDataSource* ds = m_dataSource.get();
    m_rowCount = ds ? std::max(0, ds->numberOfRowsInTableView(this)) : 0;
    rebuildHeights();
    setSelection(m_selection.intersectedWithRange(0, m_rowCount), true);
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
    // The new rows' places, each clamped to the rows there are once the earlier ones are in.
    std::vector<int> inserted;
    inserted.reserve(size_t(rows.count()));
    int count = m_rowCount;
    rows.forEach([&](int r) {
        inserted.push_back(std::clamp(r, 0, count));
        ++count;
    });
    // One pass over each list instead of one per new row: an old row moves down by the number of
    // new rows at or above its new place (ascending old rows, so that number only grows).
    const auto mover = [&inserted] {
        return [&inserted, j = size_t(0)](int old) mutable {
            while (j < inserted.size() && inserted[j] <= old + int(j))
                ++j;
            return old + int(j);
        };
    };
    IndexSet selection;
    auto moveSelected = mover();
    m_selection.forEach([&](int i) { selection.add(moveSelected(i)); });
    m_selection = std::move(selection);
    if (m_anchor >= 0)
        m_anchor = mover()(m_anchor);
    std::map<int, TableRowView*> moved;
    auto moveDisplayed = mover();
    for (auto& [row, d] : m_displayed)
        moved.emplace_hint(moved.end(), moveDisplayed(row), d);
    m_displayed.swap(moved);
    m_rowCount = count;
    rebuildHeights();
    if (m_updates == 0)
        tile();
}

void TableView::removeRows(const IndexSet& rows) {
    const IndexSet removed = rows.intersectedWithRange(0, m_rowCount);
    if (removed.isEmpty())
        return;
    const int before = m_selection.count();
    QList<int> list = removed.toList();
    for (auto it = list.crbegin(); it != list.crend(); ++it)
        if (m_displayed.count(*it))
            removeDisplayed(*it, -1);
    // One pass over each list: a surviving row moves up by the number of removed rows above it.
    const auto mover = [&list] {
        return [&list, j = qsizetype(0)](int old) mutable {
            while (j < list.size() && list[j] < old)
                ++j;
            return old - int(j);
        };
    };
    IndexSet selection;
    auto moveSelected = mover();
    m_selection.forEach([&](int i) {
        if (!removed.contains(i))
            selection.add(moveSelected(i));
    });
    m_selection = std::move(selection);
    if (m_anchor >= 0)
        m_anchor = removed.contains(m_anchor) ? -1 : mover()(m_anchor);
    std::map<int, TableRowView*> moved;
    auto moveDisplayed = mover();
    for (auto& [row, d] : m_displayed)
        moved.emplace_hint(moved.end(), moveDisplayed(row), d);
    m_displayed.swap(moved);
    m_rowCount -= int(list.size());
    rebuildHeights();
    if (m_updates == 0)
        tile();
    // Removing selected rows changes the selection; shifting the others does not.
    if (m_selection.count() != before)
        if (auto* d = m_delegate.get())
            d->tableViewSelectionDidChange(this);
}

void TableView::removeDisplayed(int row, int reportedRow) {
    auto it = m_displayed.find(row);
    if (it == m_displayed.end())
        return;
    TableRowView* rv = it->second;
    m_displayed.erase(it);
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
    m_pool[v->identifier()].append(v);
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

void TableView::layout() {
    tile();
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
    const int sbw = m_scroller->sizeHint().width();
    const int clipH = std::max(0, h - hh);
    const int maxOffset = std::max(0, int(std::ceil(contentHeight())) - clipH);
    const bool needsScroller = maxOffset > 0;
    const int clipW = std::max(0, w - (needsScroller ? sbw : 0));
    if (m_header)
        m_header->setGeometry(0, 0, clipW, hh);
    m_clip->setGeometry(0, hh, clipW, clipH);
    m_scroller->setVisible(needsScroller);
    m_scroller->setGeometry(clipW, hh, sbw, clipH);
    m_offset = std::clamp(m_offset, 0, maxOffset);
    {
        const QSignalBlocker block(m_scroller);
        m_scroller->setRange(0, maxOffset);
        m_scroller->setPageStep(std::max(1, clipH));
        m_scroller->setSingleStep(int(m_rowHeight));
        m_scroller->setValue(m_offset);
    }

    int first = 0;
    int last = -1;
    if (m_rowCount > 0 && clipH > 0) {
        first = rowAtContentY(m_offset);
        last = rowAtContentY(std::min<qreal>(m_offset + clipH - 1, contentHeight() - 1));
        first = std::max(0, first - kOverscan);
        last = std::min(m_rowCount - 1, last + kOverscan);
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
        const int rh = int(heightOf(r));
        rv->setGeometry(0, int(topOf(r)) - m_offset, rowWidth, rh);
        for (int c = 0; c < int(cols.size()) && c < int(rv->m_cells.size()); ++c)
            if (View* cell = rv->m_cells[c])
                cell->setGeometry(cols[c].first, 0, cols[c].second, rh);
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
    if (!makeIfNecessary || row < 0 || row >= m_rowCount)
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
    if (row < 0 || row >= m_rowCount)
        return {};
    return QRectF(0, topOf(row), m_clip->width(), heightOf(row));
}

int TableView::rowAtPoint(const QPointF& p) const {
    const qreal hh = headerHeight();
    if (p.y() < hh || p.x() < 0 || p.x() >= m_clip->width())
        return -1;
    return rowAtContentY(p.y() - hh + m_offset);
}

QRectF TableView::visibleRect() const {
    const qreal hh = headerHeight();
    return QRectF(0, m_offset - hh, m_clip->width(), clipHeight() + hh);
}

void TableView::scrollRowToVisible(int row) {
    if (row < 0 || row >= m_rowCount)
        return;
    const qreal top = topOf(row);
    const qreal bottom = top + heightOf(row);
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

void TableView::setSelection(IndexSet s, bool notify) {
    if (s == m_selection)
        return;
    m_selection = std::move(s);
    applySelectionToRows();
    if (notify)
        if (auto* d = m_delegate.get())
            d->tableViewSelectionDidChange(this);
}

void TableView::applySelectionToRows() {
    for (auto& [r, rv] : m_displayed)
        rv->setSelected(m_selection.contains(r));
}

void TableView::selectRowIndexes(const IndexSet& rows, bool extend) {
    IndexSet wanted = rows.intersectedWithRange(0, m_rowCount);
    if (!m_multiple) {
        // One row at most: the last one asked for.
        const int last = wanted.last();
        wanted = last < 0 ? IndexSet() : IndexSet(last);
        extend = false;
    }
    IndexSet next = extend ? m_selection : IndexSet();
    next.add(wanted);
    if (!wanted.isEmpty())
        m_anchor = wanted.last();
    setSelection(std::move(next), true);
}

void TableView::deselectRow(int row) {
    IndexSet next = m_selection;
    next.remove(row);
    setSelection(std::move(next), true);
}

void TableView::selectAll() {
    if (!m_multiple)
        return;
    setSelection(IndexSet::range(0, m_rowCount), true);
}

void TableView::deselectAll() {
    setSelection(IndexSet(), true);
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
        m_pendingSelect = -1;
        return;
    }
    QPointer<TableView> guard(this);
    if (Window* w = kitWindow())
        w->makeFirstResponder(this);
    if (!guard)
        return;
    const int row = rowAtPoint(p);
    m_clickedRow = row;
    m_clickedColumn = row >= 0 ? columnAtPoint(p) : -1;
    m_lastClickCount = e.clickCount();
    m_drag.press(row, e.locationInWindow());
    m_pendingSelect = -1;
    if (row < 0) {
        if (m_allowsEmpty)
            deselectAll();
        return;
    }
    const Qt::KeyboardModifiers mods = e.modifierFlags();
    if (m_multiple && (mods & Qt::ControlModifier)) {
        if (m_selection.contains(row))
            deselectRow(row);
        else
            selectRowIndexes(IndexSet(row), true);
    } else if (m_multiple && (mods & Qt::ShiftModifier) && m_anchor >= 0) {
        const int a = std::min(m_anchor, row);
        const int anchor = m_anchor;
        setSelection(IndexSet::range(a, std::abs(row - anchor) + 1), true);
        m_anchor = anchor;
    } else if (m_selection.contains(row) && m_selection.count() > 1) {
        // Keep a multiple selection until mouse up, so that it can be dragged.
        m_pendingSelect = row;
    } else {
        selectRowIndexes(IndexSet(row), false);
    }
}

void TableView::mouseDragged(const Event& e) {
    if (!m_drag.shouldStart(e.locationInWindow()))
        return;
    m_pendingSelect = -1;
    startDrag();
}

void TableView::mouseUp(const Event& e) {
    Q_UNUSED(e);
    if (m_pendingSelect >= 0) {
        const int row = m_pendingSelect;
        m_pendingSelect = -1;
        selectRowIndexes(IndexSet(row), false);
    }
    const bool dragged = m_drag.isDragging();
    m_drag.release();
    if (dragged)
        return;
    if (m_lastClickCount == 2) {
        if (m_doubleAction) {
            auto f = m_doubleAction;
            f();
        }
    } else if (m_lastClickCount == 1 && m_action) {
        auto f = m_action;
        f();
    }
}

void TableView::keyDown(const Event& e) {
    const int key = e.keyCode();
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && m_rowCount > 0) {
        int row = m_selection.isEmpty() ? (key == Qt::Key_Down ? -1 : m_rowCount) : m_selection.last();
        row = std::clamp(row + (key == Qt::Key_Down ? 1 : -1), 0, m_rowCount - 1);
        selectRowIndexes(IndexSet(row), (e.modifierFlags() & Qt::ShiftModifier) && m_multiple);
        scrollRowToVisible(row);
        return;
    }
    View::keyDown(e);
}

void TableView::wheelEvent(QWheelEvent* e) {
    const int dy =
        e->pixelDelta().isNull() ? -e->angleDelta().y() * int(m_rowHeight) * 3 / 120 : -e->pixelDelta().y();
    if (dy == 0) {
        e->ignore();
        return;
    }
    m_scroller->setValue(m_scroller->value() + dy);
    e->accept();
}

std::pair<int, TableDropPosition> TableView::proposedDrop(const QPointF& p) const {
    const qreal y = p.y() - headerHeight() + m_offset;
    const int row = rowAtContentY(y);
    if (row < 0)
        return {y < 0 ? 0 : m_rowCount, TableDropPosition::Above};
    const qreal top = topOf(row);
    const qreal h = heightOf(row);
    const qreal zone = std::min(kAboveZone, h / 4);
    if (y - top < zone)
        return {row, TableDropPosition::Above};
    if (top + h - y <= zone)
        return {row + 1, TableDropPosition::Above};
    return {row, TableDropPosition::On};
}

void TableView::setUpDropTarget() {
    m_drag.validate = [this](const DraggingInfo& info, QPointF p) {
        drag::ListDragSupport::Proposal out;
        TableViewDataSource* ds = m_dataSource.get();
        if (!ds)
            return out;
        const auto [row, pos] = proposedDrop(p);
        out.operation = ds->tableViewValidateDrop(this, info, row, pos);
        out.onIndex = pos == TableDropPosition::On ? row : -1;
        return out;
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

void TableView::dragEnterEvent(QDragEnterEvent* e) {
    m_drag.dragEnter(this, e);
}

void TableView::dragMoveEvent(QDragMoveEvent* e) {
    m_drag.dragMove(this, e);
}

void TableView::dragLeaveEvent(QDragLeaveEvent* e) {
    m_drag.dragLeave(e);
}

void TableView::dropEvent(QDropEvent* e) {
    m_drag.drop(this, e);
}

void TableView::startDrag() {
    TableViewDataSource* ds = m_dataSource.get();
    const int pressed = m_drag.pressedIndex();
    if (!ds || pressed < 0)
        return;
    const IndexSet rows = m_selection.contains(pressed) ? m_selection : IndexSet(pressed);
    drag::OwnDragHooks hooks;
    hooks.willBegin = [this, rows](DraggingSession* s) {
        if (auto* d = m_dataSource.get())
            d->tableViewDraggingSessionWillBegin(this, s, s->startPoint, rows);
    };
    hooks.promised = [this, rows](const QString& folder) {
        if (auto* d = m_dataSource.get())
            d->tableViewNamesOfPromisedFilesDroppedAtDestination(this, folder, rows);
    };
    hooks.ended = [this](DraggingSession* s, QPointF at, DragOperation op) {
        if (auto* d = m_dataSource.get())
            d->tableViewDraggingSessionEnded(this, s, at, op);
    };
    hooks.provideFiles = [this, rows] {
        auto* d = m_dataSource.get();
        return d ? d->tableViewFilesForPromisedRows(this, rows) : QStringList();
    };
    m_drag.start(
        this, rows.toList(),
        [this](int r) {
            auto* d = m_dataSource.get();
            return d ? d->tableViewPasteboardWriterForRow(this, r) : nullptr;
        },
        hooks);
}

} // namespace kit
