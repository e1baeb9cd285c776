#include "kit/CollectionView.h"

#include "foundation/Dispatch.h"
#include "kit/Window.h"

#include <QApplication>
#include <QDropEvent>
#include <QPointer>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

namespace kit {

namespace {
constexpr int kOverscanLines = 1; // tile lines kept beyond each edge of the visible rectangle
} // namespace

CollectionItemView::CollectionItemView(CollectionViewItem* item, QWidget* parent)
    : View(parent), m_item(item) {}

void CollectionItemView::mouseDown(const Event& e) {
    if (m_item)
        m_item->mouseDown(e);
}

void CollectionItemView::rightMouseUp(const Event& e) {
    if (!m_item)
        return;
    m_item->m_passOn = false;
    m_item->rightMouseUp(e);
    if (m_item && m_item->m_passOn)
        View::rightMouseUp(e);
}

void CollectionItemView::mouseEntered(const Event& e) {
    if (m_item)
        m_item->mouseEntered(e);
}

void CollectionItemView::mouseExited(const Event& e) {
    if (m_item)
        m_item->mouseExited(e);
}

CollectionViewItem::CollectionViewItem(QObject* parent) : ViewController(parent) {}

void CollectionViewItem::loadView() {
    setView(new CollectionItemView(this));
}

void CollectionViewItem::mouseDown(const Event& e) {
    if (m_collection)
        m_collection->handleMouseDown(e);
}

void CollectionViewItem::rightMouseUp(const Event&) {
    m_passOn = true;
}

CollectionView::CollectionView(QWidget* parent) : View(parent) {
    m_document = new View(this);
    m_scroller = new QScrollBar(Qt::Vertical, this);
    connect(m_scroller, &QScrollBar::valueChanged, this, [this](int v) {
        if (v == m_offset)
            return;
        m_offset = v;
        tile();
    });
    setFocusPolicy(Qt::ClickFocus);
    setUpDropTarget();
}

CollectionView::~CollectionView() {
    m_delegate.reset();
    m_dataSource.reset();
}

void CollectionView::setItemSize(const QSizeF& s) {
    m_itemSize = QSizeF(std::max<qreal>(1, s.width()), std::max<qreal>(1, s.height()));
    tile();
}

void CollectionView::setSpacing(qreal interitem, qreal line) {
    m_interitem = std::max<qreal>(0, interitem);
    m_line = std::max<qreal>(0, line);
    tile();
}

void CollectionView::setSectionInset(const QMargins& m) {
    m_inset = m;
    tile();
}

void CollectionView::setHeaderView(View* header) {
    if (header == m_header)
        return;
    delete m_header;
    m_header = header;
    if (header) {
        header->setParent(m_document);
        header->show();
    }
    tile();
}

qreal CollectionView::headerHeight() const {
    return m_header ? m_header->height() : 0;
}

int CollectionView::numberOfColumns() const {
    const qreal avail = m_document->width() - m_inset.left() - m_inset.right() + m_interitem;
    return std::max(1, int(avail / (m_itemSize.width() + m_interitem)));
}

qreal CollectionView::contentHeight() const {
    const int lines = (m_count + numberOfColumns() - 1) / numberOfColumns();
    const qreal grid = lines == 0 ? 0 : lines * m_itemSize.height() + (lines - 1) * m_line;
    return headerHeight() + m_inset.top() + grid + m_inset.bottom();
}

QRectF CollectionView::frameForItem(int item) const {
    if (item < 0 || item >= m_count)
        return {};
    const int cols = numberOfColumns();
    const int line = item / cols;
    const int col = item % cols;
    return QRectF(m_inset.left() + col * (m_itemSize.width() + m_interitem),
                  headerHeight() + m_inset.top() + line * (m_itemSize.height() + m_line), m_itemSize.width(),
                  m_itemSize.height());
}

int CollectionView::itemAtContentPoint(const QPointF& p) const {
    const qreal y = p.y() - headerHeight() - m_inset.top();
    const qreal x = p.x() - m_inset.left();
    if (y < 0 || x < 0)
        return -1;
    const int line = int(y / (m_itemSize.height() + m_line));
    const int col = int(x / (m_itemSize.width() + m_interitem));
    if (col >= numberOfColumns())
        return -1;
    const int item = line * numberOfColumns() + col;
    if (item >= m_count || !frameForItem(item).contains(p))
        return -1;
    return item;
}

void CollectionView::registerItem(const QString& identifier, std::function<CollectionViewItem*()> factory) {
    m_factories.insert(identifier, std::move(factory));
}

CollectionViewItem* CollectionView::makeItem(const QString& identifier, IndexPath) {
    auto it = m_pool.find(identifier);
    while (it != m_pool.end() && !it->isEmpty())
        if (CollectionViewItem* item = it->takeLast())
            return item;
    auto f = m_factories.constFind(identifier);
    if (f == m_factories.constEnd() || !*f)
        return nullptr;
    CollectionViewItem* item = (*f)();
    if (item) {
        item->m_identifier = identifier;
        item->setParent(this);
    }
    return item;
}

void CollectionView::recycle(CollectionViewItem* item) {
    if (!item)
        return;
    if (View* v = item->view())
        v->hide();
    item->setSelected(false);
    item->setHighlightState(HighlightState::None);
    if (item->m_identifier.isEmpty()) {
        if (View* v = item->view())
            v->deleteLater();
        item->deleteLater();
        return;
    }
    m_pool[item->m_identifier].append(item);
}

void CollectionView::removeDisplayed(int index) {
    auto it = m_displayed.find(index);
    if (it == m_displayed.end())
        return;
    CollectionViewItem* item = it->second;
    m_displayed.erase(it);
    if (auto* d = m_delegate.get())
        d->collectionViewDidEndDisplayingItem(this, item, IndexPath{0, index});
    recycle(item);
}

void CollectionView::reloadData() {
    while (!m_displayed.empty())
        removeDisplayed(m_displayed.begin()->first);
    CollectionViewDataSource* ds = m_dataSource.get();
    m_count = ds ? std::max(0, ds->collectionViewNumberOfItemsInSection(this, 0)) : 0;
    m_selection = m_selection.intersectedWithRange(0, m_count);
    tile();
}

void CollectionView::performBatchUpdates(const std::function<void()>& updates,
                                         std::function<void(bool)> completion) {
    ++m_updates;
    if (updates)
        updates();
    --m_updates;
    tile();
    if (completion) {
        QPointer<CollectionView> guard(this);
        nubo::runOn(this, [guard, completion = std::move(completion)] {
            if (guard)
                completion(true);
        });
    }
}

void CollectionView::insertItems(const QList<IndexPath>& paths) {
    QList<int> items;
    for (const IndexPath& p : paths)
        items.append(p.item);
    std::sort(items.begin(), items.end());
    for (int i : items) {
        i = std::clamp(i, 0, m_count);
        m_selection.shift(i, 1);
        std::map<int, CollectionViewItem*> moved;
        for (auto& [k, v] : m_displayed)
            moved.emplace(k >= i ? k + 1 : k, v);
        m_displayed.swap(moved);
        ++m_count;
    }
    if (m_updates == 0)
        tile();
}

void CollectionView::deleteItems(const QList<IndexPath>& paths) {
    QList<int> items;
    for (const IndexPath& p : paths)
        items.append(p.item);
    std::sort(items.begin(), items.end(), std::greater<int>());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    for (int i : items) {
        if (i < 0 || i >= m_count)
            continue;
        removeDisplayed(i);
        m_selection.shift(i + 1, -1);
        std::map<int, CollectionViewItem*> moved;
        for (auto& [k, v] : m_displayed)
            moved.emplace(k > i ? k - 1 : k, v);
        m_displayed.swap(moved);
        --m_count;
    }
    if (m_updates == 0)
        tile();
}

void CollectionView::layout() {
    tile();
}

void CollectionView::tile() {
    if (m_tiling || m_updates > 0)
        return;
    m_tiling = true;
    const int w = QWidget::width();
    const int h = QWidget::height();
    const int sbw = m_scroller->sizeHint().width();
    m_document->setGeometry(0, 0, std::max(0, w - sbw), h);
    const int maxOffset = std::max(0, int(std::ceil(contentHeight())) - h);
    m_scroller->setVisible(maxOffset > 0);
    m_scroller->setGeometry(w - sbw, 0, sbw, h);
    m_offset = std::clamp(m_offset, 0, maxOffset);
    {
        const QSignalBlocker block(m_scroller);
        m_scroller->setRange(0, maxOffset);
        m_scroller->setPageStep(std::max(1, h));
        m_scroller->setSingleStep(int(m_itemSize.height() / 2) + 1);
        m_scroller->setValue(m_offset);
    }
    if (m_header)
        m_header->setGeometry(0, -m_offset, m_document->width(), m_header->height());

    const int cols = numberOfColumns();
    const qreal lineH = m_itemSize.height() + m_line;
    const qreal gridTop = headerHeight() + m_inset.top();
    int first = 0;
    int last = -1;
    if (m_count > 0 && h > 0) {
        const int firstLine = std::max(0, int((m_offset - gridTop) / lineH) - kOverscanLines);
        const int lastLine = std::max(0, int((m_offset + h - gridTop) / lineH) + kOverscanLines);
        first = std::min(m_count, firstLine * cols);
        last = std::min(m_count - 1, (lastLine + 1) * cols - 1);
    }
    // Collected first: the removal callbacks may change the grid.
    std::vector<int> leaving;
    for (const auto& [i, item] : m_displayed)
        if (i < first || i > last)
            leaving.push_back(i);
    for (int i : leaving)
        removeDisplayed(i);
    QList<QPair<int, CollectionViewItem*>> added;
    CollectionViewDataSource* ds = m_dataSource.get();
    for (int i = first; i <= last && ds; ++i) {
        if (m_displayed.count(i))
            continue;
        CollectionViewItem* item =
            ds->collectionViewItemForRepresentedObjectAtIndexPath(this, IndexPath{0, i});
        if (!item)
            continue;
        item->m_collection = this;
        if (!item->parent())
            item->setParent(this);
        View* v = item->view();
        if (v->parentWidget() != m_document)
            v->setParent(m_document);
        item->setSelected(m_selection.contains(i));
        if (i == m_drag.dropTargetIndex())
            item->setHighlightState(HighlightState::AsDropTarget);
        m_displayed[i] = item;
        added.append({i, item});
    }
    for (auto& [i, item] : m_displayed) {
        const QRectF f = frameForItem(i);
        item->view()->setGeometry(int(f.x()), int(f.y()) - m_offset, int(f.width()), int(f.height()));
    }
    m_tiling = false;
    QPointer<CollectionView> guard(this);
    for (auto& [i, item] : added) {
        if (auto* d = m_delegate.get())
            d->collectionViewWillDisplayItem(this, item, IndexPath{0, i});
        if (!guard)
            return;
        if (m_displayed.count(i) && m_displayed[i] == item)
            item->view()->show();
    }
}

void CollectionView::applySelection() {
    for (auto& [i, item] : m_displayed)
        if (item->isSelected() != m_selection.contains(i))
            item->setSelected(m_selection.contains(i));
}

void CollectionView::selectItems(const QList<IndexPath>& paths, ScrollPosition scroll) {
    for (const IndexPath& p : paths)
        if (p.item >= 0 && p.item < m_count)
            m_selection.add(p.item);
    applySelection();
    if (scroll != ScrollPosition::None)
        scrollToItems(paths, scroll);
}

void CollectionView::deselectItems(const QList<IndexPath>& paths) {
    for (const IndexPath& p : paths)
        m_selection.remove(p.item);
    applySelection();
}

void CollectionView::changeSelectionByUser(IndexSet next) {
    IndexSet added = next;
    added.remove(m_selection);
    IndexSet removed = m_selection;
    removed.remove(next);
    m_selection = std::move(next);
    applySelection();
    auto toPaths = [](const IndexSet& s) {
        QList<IndexPath> out;
        s.forEach([&](int i) { out.append(IndexPath{0, i}); });
        return out;
    };
    QPointer<CollectionView> guard(this);
    if (!removed.isEmpty())
        if (auto* d = m_delegate.get())
            d->collectionViewDidDeselectItemsAtIndexPaths(this, toPaths(removed));
    if (guard && !added.isEmpty())
        if (auto* d = m_delegate.get())
            d->collectionViewDidSelectItemsAtIndexPaths(this, toPaths(added));
}

void CollectionView::selectAll() {
    if (m_selectable && m_multiple)
        changeSelectionByUser(IndexSet::range(0, m_count));
}

void CollectionView::deselectAll() {
    changeSelectionByUser(IndexSet());
}

QList<IndexPath> CollectionView::selectionIndexPaths() const {
    QList<IndexPath> out;
    m_selection.forEach([&](int i) { out.append(IndexPath{0, i}); });
    return out;
}

CollectionViewItem* CollectionView::itemAtIndexPath(IndexPath path) const {
    auto it = m_displayed.find(path.item);
    return it == m_displayed.end() ? nullptr : it->second;
}

std::optional<IndexPath> CollectionView::indexPathForItemAtPoint(const QPointF& p) const {
    const int i = itemAtContentPoint(QPointF(p.x(), p.y() + m_offset));
    if (i < 0)
        return std::nullopt;
    return IndexPath{0, i};
}

QList<int> CollectionView::displayedItems() const {
    QList<int> out;
    for (const auto& [i, item] : m_displayed)
        out.append(i);
    return out;
}

QRectF CollectionView::visibleRect() const {
    return QRectF(0, m_offset, m_document->width(), height());
}

void CollectionView::scrollToPoint(const QPointF& p) {
    m_offset = int(std::lround(p.y()));
    tile();
}

void CollectionView::scrollToItems(const QList<IndexPath>& paths, ScrollPosition position) {
    if (paths.isEmpty())
        return;
    int item = paths.first().item;
    for (const IndexPath& p : paths)
        item = std::min(item, p.item);
    const QRectF f = frameForItem(item);
    if (f.isNull())
        return;
    switch (position) {
    case ScrollPosition::Top:
        m_offset = int(f.top());
        break;
    case ScrollPosition::CenteredVertically:
        m_offset = int(f.center().y() - height() / 2);
        break;
    case ScrollPosition::Nearest:
        if (f.top() < m_offset)
            m_offset = int(f.top());
        else if (f.bottom() > m_offset + height())
            m_offset = int(std::ceil(f.bottom() - height()));
        break;
    case ScrollPosition::None:
        return;
    }
    tile();
}

void CollectionView::handleMouseDown(const Event& e) {
    const QPointF p = convertFromWindow(e.locationInWindow());
    QPointer<CollectionView> guard(this);
    if (Window* w = kitWindow())
        w->makeFirstResponder(nullptr);
    if (!guard)
        return;
    const auto path = indexPathForItemAtPoint(p);
    m_drag.press(path ? path->item : -1, e.locationInWindow());
    m_pressEvent = e;
    if (!m_selectable)
        return;
    if (!path) {
        deselectAll();
        return;
    }
    const int i = path->item;
    const Qt::KeyboardModifiers mods = e.modifierFlags();
    IndexSet next;
    if (m_multiple && (mods & Qt::ControlModifier)) {
        next = m_selection;
        if (next.contains(i))
            next.remove(i);
        else
            next.add(i);
    } else if (m_multiple && (mods & Qt::ShiftModifier) && m_anchor >= 0) {
        next = IndexSet::range(std::min(m_anchor, i), std::abs(i - m_anchor) + 1);
    } else if (m_selection.contains(i)) {
        return; // a press on a selected tile keeps the selection (it may start a drag)
    } else {
        next = IndexSet(i);
    }
    if (!(mods & Qt::ShiftModifier))
        m_anchor = i;
    changeSelectionByUser(std::move(next));
}

void CollectionView::mouseDown(const Event& e) {
    handleMouseDown(e);
}

void CollectionView::mouseDragged(const Event& e) {
    if (m_drag.shouldStart(e.locationInWindow()))
        startDrag(m_pressEvent);
}

void CollectionView::mouseUp(const Event& e) {
    // A plain click on a tile of a multiple selection selects that tile alone.
    const int pressed = m_drag.pressedIndex();
    if (!m_drag.isDragging() && pressed >= 0 && m_selection.count() > 1 &&
        !(e.modifierFlags() & (Qt::ControlModifier | Qt::ShiftModifier)) && m_selection.contains(pressed))
        changeSelectionByUser(IndexSet(pressed));
    m_drag.release();
}

void CollectionView::wheelEvent(QWheelEvent* e) {
    const int dy = e->pixelDelta().isNull() ? -e->angleDelta().y() / 2 : -e->pixelDelta().y();
    m_scroller->setValue(m_scroller->value() + dy);
    e->accept();
}

std::pair<IndexPath, CollectionDropPosition> CollectionView::proposedDrop(const QPointF& p) const {
    if (auto path = indexPathForItemAtPoint(p))
        return {*path, CollectionDropPosition::On};
    // Between tiles: before the tile that follows the point in reading order.
    const QPointF c(p.x(), p.y() + m_offset);
    const qreal lineH = m_itemSize.height() + m_line;
    const int line = std::max(0, int((c.y() - headerHeight() - m_inset.top()) / lineH));
    // The number of tile centres left of the point on its line.
    const qreal step = m_itemSize.width() + m_interitem;
    const int col = std::clamp(int(std::floor((c.x() - m_inset.left() - m_itemSize.width() / 2) / step)) + 1,
                               0, numberOfColumns());
    return {IndexPath{0, std::min(m_count, line * numberOfColumns() + col)}, CollectionDropPosition::Before};
}

void CollectionView::setUpDropTarget() {
    m_drag.validate = [this](const DraggingInfo& info, QPointF p) {
        drag::ListDragSupport::Proposal out;
        CollectionViewDelegate* d = m_delegate.get();
        if (!d)
            return out;
        auto [path, pos] = proposedDrop(p);
        out.operation = d->collectionViewValidateDrop(this, info, &path, &pos);
        out.onIndex = pos == CollectionDropPosition::On ? path.item : -1;
        return out;
    };
    m_drag.accept = [this](const DraggingInfo& info, QPointF p) {
        CollectionViewDelegate* d = m_delegate.get();
        if (!d)
            return false;
        // The delegate may move the proposed place while validating; the drop goes there.
        auto [path, pos] = proposedDrop(p);
        d->collectionViewValidateDrop(this, info, &path, &pos);
        d = m_delegate.get();
        return d && d->collectionViewAcceptDrop(this, info, path, pos);
    };
    m_drag.showDropTarget = [this](int target) {
        for (auto& [i, item] : m_displayed) {
            if (i == target)
                item->setHighlightState(HighlightState::AsDropTarget);
            else if (item->highlightState() == HighlightState::AsDropTarget)
                item->setHighlightState(HighlightState::None);
        }
    };
    m_drag.exited = [this] {
        if (auto* d = m_delegate.get())
            d->collectionViewDraggingExited(this);
    };
}

void CollectionView::dragEnterEvent(QDragEnterEvent* e) {
    m_drag.dragEnter(this, e);
}

void CollectionView::dragMoveEvent(QDragMoveEvent* e) {
    m_drag.dragMove(this, e);
}

void CollectionView::dragLeaveEvent(QDragLeaveEvent* e) {
    m_drag.dragLeave(e);
}

void CollectionView::dropEvent(QDropEvent* e) {
    m_drag.drop(this, e);
}

void CollectionView::startDrag(const Event& e) {
    CollectionViewDelegate* d = m_delegate.get();
    const int pressed = m_drag.pressedIndex();
    if (!d || pressed < 0)
        return;
    const IndexSet items = m_selection.contains(pressed) ? m_selection : IndexSet(pressed);
    QList<IndexPath> paths;
    items.forEach([&](int i) { paths.append(IndexPath{0, i}); });
    if (!d->collectionViewCanDragItemsAtIndexPaths(this, paths, e))
        return;
    drag::OwnDragHooks hooks;
    hooks.willBegin = [this, paths](DraggingSession* s) {
        if (auto* del = m_delegate.get())
            del->collectionViewDraggingSessionWillBegin(this, s, s->startPoint, paths);
    };
    hooks.promised = [this, paths](const QString& folder) {
        if (auto* del = m_delegate.get())
            del->collectionViewNamesOfPromisedFilesDroppedAtDestination(this, folder, paths);
    };
    hooks.ended = [this](DraggingSession* s, QPointF at, DragOperation op) {
        if (auto* del = m_delegate.get())
            del->collectionViewDraggingSessionEnded(this, s, at, op);
    };
    hooks.provideFiles = [this, paths] {
        auto* del = m_delegate.get();
        return del ? del->collectionViewFilesForPromisedItems(this, paths) : QStringList();
    };
    m_drag.start(
        this, items.toList(),
        [this](int i) {
            auto* del = m_delegate.get();
            return del ? del->collectionViewPasteboardWriterForItemAtIndexPath(this, IndexPath{0, i})
                       : nullptr;
        },
        hooks);
}

} // namespace kit
