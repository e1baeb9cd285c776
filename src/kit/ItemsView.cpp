#include "kit/ItemsView.h"

#include "kit/Window.h"

#include <QScrollBar>
#include <QWheelEvent>

namespace kit {

ItemsView::ItemsView(QWidget* parent) : View(parent) {
    m_scroller = new QScrollBar(Qt::Vertical, this);
    connect(m_scroller, &QScrollBar::valueChanged, this, [this](int v) {
        if (v == m_offset)
            return;
        m_offset = v;
        tile();
    });
    setFocusPolicy(Qt::ClickFocus);
}

void ItemsView::setHeaderView(View* header) {
    if (header == m_header)
        return;
    delete m_header;
    m_header = header;
    if (header) {
        header->setParent(headerContainer());
        header->show();
    }
    tile();
}

qreal ItemsView::headerHeight() const {
    return m_header ? m_header->height() : 0;
}

void ItemsView::commit(const SelectionChange& change, bool byUser) {
    if (change.changed())
        selectionDidChange(change, byUser);
}

bool ItemsView::takeFirstResponderOnPress(View* responder) {
    QPointer<ItemsView> guard(this);
    if (Window* w = kitWindow())
        w->makeFirstResponder(responder);
    return bool(guard);
}

void ItemsView::pressIndex(int index, const Event& e, bool selects) {
    m_drag.press(index, e.locationInWindow());
    if (selects)
        commit(m_selection.press(index, e.modifierFlags()), true);
}

void ItemsView::releasePress() {
    const bool dragged = m_drag.isDragging();
    m_drag.release();
    commit(m_selection.release(dragged), true);
}

IndexSet ItemsView::draggedIndexes() const {
    const int pressed = m_drag.pressedIndex();
    if (pressed < 0)
        return {};
    return m_selection.contains(pressed) ? m_selection.selection() : IndexSet(pressed);
}

void ItemsView::startDrag(const IndexSet& indexes) {
    if (indexes.isEmpty())
        return;
    // The selection stays as it is once the press became a drag.
    m_selection.release(true);
    drag::OwnDragHooks hooks;
    // The drag runs its own event loop: the view may go while it runs.
    QPointer<ItemsView> self(this);
    hooks.willBegin = [self, indexes](DraggingSession* s) {
        if (self && self->m_dragSource.willBegin)
            self->m_dragSource.willBegin(s, indexes);
    };
    hooks.promised = [self, indexes](const QString& folder) {
        if (self && self->m_dragSource.promised)
            self->m_dragSource.promised(folder, indexes);
    };
    hooks.ended = [self](DraggingSession* s, QPointF at, DragOperation op) {
        if (self && self->m_dragSource.ended)
            self->m_dragSource.ended(s, at, op);
    };
    hooks.provideFiles = [self, indexes] {
        return self && self->m_dragSource.filesFor ? self->m_dragSource.filesFor(indexes) : QStringList();
    };
    m_drag.start(this, indexes.toList(), m_dragSource.writerFor, hooks);
}

int ItemsView::scrollerWidth() const {
    return m_scroller->sizeHint().width();
}

void ItemsView::placeScroller(const QRect& geometry, int maxOffset, int singleStep) {
    m_scroller->setVisible(maxOffset > 0);
    m_scroller->setGeometry(geometry);
    m_offset = std::clamp(m_offset, 0, maxOffset);
    const QSignalBlocker block(m_scroller);
    m_scroller->setRange(0, maxOffset);
    m_scroller->setPageStep(std::max(1, geometry.height()));
    m_scroller->setSingleStep(std::max(1, singleStep));
    m_scroller->setValue(m_offset);
}

void ItemsView::wheelEvent(QWheelEvent* e) {
    const int dy = e->pixelDelta().isNull() ? -e->angleDelta().y() * wheelStep() / 120 : -e->pixelDelta().y();
    if (dy == 0) {
        e->ignore();
        return;
    }
    m_scroller->setValue(m_scroller->value() + dy);
    e->accept();
}

void ItemsView::dragEnterEvent(QDragEnterEvent* e) {
    m_drag.dragEnter(this, e);
}

void ItemsView::dragMoveEvent(QDragMoveEvent* e) {
    m_drag.dragMove(this, e);
}

void ItemsView::dragLeaveEvent(QDragLeaveEvent* e) {
    m_drag.dragLeave(e);
}

void ItemsView::dropEvent(QDropEvent* e) {
    m_drag.drop(this, e);
}

} // namespace kit
