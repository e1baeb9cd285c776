#pragma once

#include "foundation/Weak.h"
#include "kit/Drag.h"
#include "kit/SelectionModel.h"
#include "kit/View.h"

#include <QHash>
#include <QPointer>
#include <functional>
#include <map>

class QScrollBar;

namespace kit {

// Views handed out again by reuse identifier, as the table and the grid recycle their rows
// and tiles while scrolling.
template <class T> class ReusePool {
public:
    void registerFactory(const QString& identifier, std::function<T*()> factory) {
        m_factories.insert(identifier, std::move(factory));
    }
    // A view given back earlier, or a new one from the factory (passed to `setUpNew`), or null
    // when no factory makes views of that identifier.
    T* take(const QString& identifier, const std::function<void(T*)>& setUpNew) {
        auto it = m_pool.find(identifier);
        while (it != m_pool.end() && !it->isEmpty())
            if (T* v = it->takeLast())
                return v;
        auto f = m_factories.constFind(identifier);
        if (f == m_factories.constEnd() || !*f)
            return nullptr;
        T* v = (*f)();
        if (v)
            setUpNew(v);
        return v;
    }
    void put(const QString& identifier, T* view) { m_pool[identifier].append(view); }

private:
    QHash<QString, std::function<T*()>> m_factories;
    QHash<QString, QList<QPointer<T>>> m_pool;
};

// Moves the keys of a view's displayed rows or tiles with `map` (old index to new, ascending).
template <class V, class Map> void moveKeys(std::map<int, V>& displayed, Map map) {
    std::map<int, V> moved;
    for (auto& [index, view] : displayed)
        moved.emplace_hint(moved.end(), map(index), view);
    displayed.swap(moved);
}

// The displayed indexes among `indexes`, ascending: a batch of thousands looks only at the views
// on screen.
template <class V>
std::vector<int> displayedAmong(const std::map<int, V>& displayed, const IndexSet& indexes) {
    std::vector<int> out;
    for (const auto& [index, view] : displayed)
        if (indexes.contains(index))
            out.push_back(index);
    return out;
}

// Takes the displayed view at `index` out of `displayed`; null when there is none.
template <class V> V* takeDisplayed(std::map<int, V*>& displayed, int index) {
    auto it = displayed.find(index);
    if (it == displayed.end())
        return nullptr;
    V* view = it->second;
    displayed.erase(it);
    return view;
}

// The data source and delegate of a table or grid, held weakly: a view never calls one that
// has gone.
template <class DataSource, class Delegate> class SourceAndDelegate {
public:
    void setDataSource(DataSource* ds) { m_dataSource = ds; }
    DataSource* dataSource() const { return m_dataSource.get(); }
    void setDelegate(Delegate* d) { m_delegate = d; }
    Delegate* delegate() const { return m_delegate.get(); }

protected:
    nubo::Weak<DataSource> m_dataSource;
    nubo::Weak<Delegate> m_delegate;
};

// What the table and the grid share: a vertically scrolled list of indexed rows or tiles, its
// selection (one SelectionModel), pointer presses that select and may start a drag, and the
// forwarding of drag events to the shared drag support.
class ItemsView : public View {
    Q_OBJECT
public:
    const SelectionModel& selectionModel() const { return m_selection; }
    // Places the visible rows or tiles now (normally done on resize and scroll).
    virtual void tile() = 0;

    // The header above the rows or tiles (owned); null removes it.
    void setHeaderView(View* header);
    View* headerView() const { return m_header; }
    qreal headerHeight() const;

protected:
    explicit ItemsView(QWidget* parent);
    // Where the header lives: the view itself when it stays put, the scrolled document when it
    // scrolls with the tiles.
    virtual QWidget* headerContainer() { return this; }

    // A selection change made; `byUser` when a click or key made it. Views draw it here and
    // tell their delegates.
    virtual void selectionDidChange(const SelectionChange& change, bool byUser) = 0;
    // Applies `change` unless it changed nothing.
    void commit(const SelectionChange& change, bool byUser);

    // The drag source's side, set by each view: what the table's data source or the grid's
    // delegate answers for the rows or tiles a drag takes.
    struct DragSource {
        std::function<std::shared_ptr<PasteboardWriter>(int)> writerFor;
        std::function<void(DraggingSession*, const IndexSet&)> willBegin;
        std::function<void(const QString& folder, const IndexSet&)> promised;
        std::function<void(DraggingSession*, QPointF, DragOperation)> ended;
        std::function<QStringList(const IndexSet&)> filesFor;
    };
    // The rows or tiles a drag from the pressed one takes: its selection, or itself alone.
    IndexSet draggedIndexes() const;
    void startDrag(const IndexSet& indexes);

    // Makes `responder` the window's first responder for a press; false when that took this
    // view away.
    bool takeFirstResponderOnPress(View* responder);
    // A press on `index` (-1: none): remembered for a drag, and the selection's answer.
    void pressIndex(int index, const Event& e, bool selects);
    // The press ended: a pending click selects its row alone unless it became a drag.
    void releasePress();

    // Puts the scroller at `geometry` (shown only when there is something to scroll), its range
    // to `maxOffset`, and clamps the offset to it.
    void placeScroller(const QRect& geometry, int maxOffset, int singleStep);
    int scrollerWidth() const;
    // Pixels one notch of a wheel scrolls.
    virtual int wheelStep() const = 0;

    void layout() override { tile(); }
    void wheelEvent(QWheelEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dragLeaveEvent(QDragLeaveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

    SelectionModel m_selection;
    drag::ListDragSupport m_drag;
    DragSource m_dragSource;
    QScrollBar* m_scroller = nullptr;
    View* m_header = nullptr;
    int m_offset = 0;
    int m_updates = 0;
    bool m_tiling = false;
};

} // namespace kit
