#include "kit/CollectionView.h"

#include "foundation/Dispatch.h"
#include "kit/Window.h"

#include <QPointer>
#include <QScrollBar>
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

CollectionView::CollectionView(QWidget* parent) : ItemsView(parent) {
    m_document = new View(this);
    m_scroller->raise();
    m_selection.setAllowsMultiple(true);
    setUpDragging();
}

void CollectionView::setItemSize(const QSizeF& s) {
    m_layout.setItemSize(s);
    tile();
}

void CollectionView::setSpacing(qreal interitem, qreal line) {
    m_layout.setSpacing(interitem, line);
    tile();
}

void CollectionView::setSectionInset(const QMargins& m) {
    m_layout.setInset(m);
    tile();
}

const GridLayout& CollectionView::layoutNow() const {
    m_layout.setWidth(m_document->width());
    m_layout.setHeaderHeight(headerHeight());
    m_layout.setCount(m_selection.count());
    return m_layout;
}

void CollectionView::registerItem(const QString& identifier, std::function<CollectionViewItem*()> factory) {
    m_pool.registerFactory(identifier, std::move(factory));
}

CollectionViewItem* CollectionView::makeItem(const QString& identifier, IndexPath) {
    return m_pool.take(identifier, [&](CollectionViewItem* item) {
        item->m_identifier = identifier;
        item->setParent(this);
    });
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
    m_pool.put(item->m_identifier, item);
}

void CollectionView::removeDisplayed(int index) {
    CollectionViewItem* item = takeDisplayed(m_displayed, index);
    if (!item)
        return;
    if (auto* d = m_delegate.get())
        d->collectionViewDidEndDisplayingItem(this, item, IndexPath{0, index});
    recycle(item);
}

void CollectionView::reloadData() {
    while (!m_displayed.empty())
        removeDisplayed(m_displayed.begin()->first);
    CollectionViewDataSource* ds = m_dataSource.get();
    // Programmatic: the delegate hears nothing of the rows that went.
    commit(m_selection.setCount(ds ? ds->collectionViewNumberOfItemsInSection(this, 0) : 0), false);
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

namespace {
IndexSet itemsOf(const QList<IndexPath>& paths) {
    IndexSet out;
    for (const IndexPath& p : paths)
        out.add(p.item);
    return out;
}

} // namespace

QList<IndexPath> IndexPath::ofItems(const IndexSet& items) {
    QList<IndexPath> out;
    items.forEach([&](int i) { out.append(IndexPath{0, i}); });
    return out;
}

void CollectionView::insertItems(const QList<IndexPath>& paths) {
    IndexSet items;
    for (const IndexPath& p : paths)
        items.add(std::max(0, p.item));
    if (items.isEmpty())
        return;
    moveKeys(m_displayed, SelectionModel::InsertMap(items, m_selection.count()));
    m_selection.insert(items);
    if (m_updates == 0)
        tile();
}

void CollectionView::deleteItems(const QList<IndexPath>& paths) {
    const IndexSet items = itemsOf(paths).intersectedWithRange(0, m_selection.count());
    if (items.isEmpty())
        return;
    for (int i : displayedAmong(m_displayed, items))
        removeDisplayed(i);
    moveKeys(m_displayed, SelectionModel::RemoveMap(items, m_selection.count()));
    m_selection.remove(items);
    if (m_updates == 0)
        tile();
}

void CollectionView::tile() {
    if (m_tiling || m_updates > 0)
        return;
    m_tiling = true;
    const int w = QWidget::width();
    const int h = QWidget::height();
    const int sbw = scrollerWidth();
    m_document->setGeometry(0, 0, std::max(0, w - sbw), h);
    const GridLayout& grid = layoutNow();
    placeScroller(QRect(w - sbw, 0, sbw, h), std::max(0, int(std::ceil(grid.contentHeight())) - h),
                  int(grid.itemSize().height() / 2) + 1);
    if (m_header)
        m_header->setGeometry(0, -m_offset, m_document->width(), m_header->height());

    const auto [first, last] = grid.itemsIn(m_offset, h, kOverscanLines);
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
        const QRectF f = grid.frameOf(i);
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

void CollectionView::selectionDidChange(const SelectionChange& change, bool byUser) {
    for (auto& [i, item] : m_displayed)
        if (item->isSelected() != m_selection.contains(i))
            item->setSelected(m_selection.contains(i));
    if (!byUser)
        return;
    QPointer<CollectionView> guard(this);
    const IndexSet removed = change.removed();
    const IndexSet added = change.added();
    if (!removed.isEmpty())
        if (auto* d = m_delegate.get())
            d->collectionViewDidDeselectItemsAtIndexPaths(this, IndexPath::ofItems(removed));
    if (guard && !added.isEmpty())
        if (auto* d = m_delegate.get())
            d->collectionViewDidSelectItemsAtIndexPaths(this, IndexPath::ofItems(added));
}

void CollectionView::selectItems(const QList<IndexPath>& paths, ScrollPosition scroll) {
    commit(m_selection.select(itemsOf(paths), true), false);
    if (scroll != ScrollPosition::None)
        scrollToItems(paths, scroll);
}

void CollectionView::deselectItems(const QList<IndexPath>& paths) {
    commit(m_selection.deselect(itemsOf(paths)), false);
}

void CollectionView::selectAll() {
    if (m_selectable)
        commit(m_selection.selectAll(), true);
}

void CollectionView::deselectAll() {
    commit(m_selection.clear(), true);
}

QList<IndexPath> CollectionView::selectionIndexPaths() const {
    return IndexPath::ofItems(m_selection.selection());
}

CollectionViewItem* CollectionView::itemAtIndexPath(IndexPath path) const {
    auto it = m_displayed.find(path.item);
    return it == m_displayed.end() ? nullptr : it->second;
}

std::optional<IndexPath> CollectionView::indexPathForItemAtPoint(const QPointF& p) const {
    const int i = layoutNow().itemAt(QPointF(p.x(), p.y() + m_offset));
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
    if (!takeFirstResponderOnPress(nullptr))
        return;
    const auto path = indexPathForItemAtPoint(p);
    m_pressEvent = e;
    pressIndex(path ? path->item : -1, e, m_selectable);
}

void CollectionView::mouseDown(const Event& e) {
    handleMouseDown(e);
}

void CollectionView::mouseDragged(const Event& e) {
    if (!m_drag.shouldStart(e.locationInWindow()))
        return;
    CollectionViewDelegate* d = m_delegate.get();
    const IndexSet items = draggedIndexes();
    if (d && !items.isEmpty() &&
        d->collectionViewCanDragItemsAtIndexPaths(this, IndexPath::ofItems(items), m_pressEvent))
        startDrag(items);
}

void CollectionView::mouseUp(const Event&) {
    // A plain click on a tile of a multiple selection selects that tile alone.
    releasePress();
}

std::pair<IndexPath, CollectionDropPosition> CollectionView::proposedDrop(const QPointF& p) const {
    if (auto path = indexPathForItemAtPoint(p))
        return {*path, CollectionDropPosition::On};
    return {IndexPath{0, layoutNow().insertionIndexAt(QPointF(p.x(), p.y() + m_offset))},
            CollectionDropPosition::Before};
}

void CollectionView::setUpDragging() {
    // As a source: what the drag of the pressed rows or tiles carries and whom it tells.
    m_dragSource.writerFor = [this](int item) -> std::shared_ptr<PasteboardWriter> {
        auto* d = m_delegate.get();
        return d ? d->collectionViewPasteboardWriterForItemAtIndexPath(this, IndexPath{0, item}) : nullptr;
    };
    m_dragSource.willBegin = [this](DraggingSession* session, const IndexSet& items) {
        if (auto* d = m_delegate.get())
            d->collectionViewDraggingSessionWillBegin(this, session, session->startPoint,
                                                      IndexPath::ofItems(items));
    };
    m_dragSource.promised = [this](const QString& folder, const IndexSet& items) {
        if (auto* d = m_delegate.get())
            d->collectionViewNamesOfPromisedFilesDroppedAtDestination(this, folder,
                                                                      IndexPath::ofItems(items));
    };
    m_dragSource.ended = [this](DraggingSession* session, QPointF at, DragOperation op) {
        if (auto* d = m_delegate.get())
            d->collectionViewDraggingSessionEnded(this, session, at, op);
    };
    m_dragSource.filesFor = [this](const IndexSet& items) {
        auto* d = m_delegate.get();
        return d ? d->collectionViewFilesForPromisedItems(this, IndexPath::ofItems(items)) : QStringList();
    };
    // As a target: where a drop would go, and whether it is taken.
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

} // namespace kit
