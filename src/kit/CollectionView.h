#pragma once

#include "foundation/Weak.h"
#include "kit/Drag.h"
#include "kit/IndexSet.h"
#include "kit/View.h"
#include "kit/ViewController.h"

#include <QHash>
#include <QMargins>
#include <functional>
#include <map>
#include <optional>

class QScrollBar;

namespace kit {

class CollectionView;

// An item's place: the grid has one section, so `item` is the index that matters.
struct IndexPath {
    int section = 0;
    int item = 0;
    bool operator==(const IndexPath& o) const { return section == o.section && item == o.item; }
    bool operator<(const IndexPath& o) const {
        return section != o.section ? section < o.section : item < o.item;
    }
};

enum class HighlightState { None = 0, ForSelection = 1, ForDeselection = 2, AsDropTarget = 3 };
enum class ScrollPosition { None, Top, CenteredVertically, Nearest };

// One tile of the grid: a view controller whose view is the tile. Subclasses draw their looks
// in setSelected and setHighlightState, and may take the tile's mouse events.
class CollectionViewItem : public ViewController {
    Q_OBJECT
public:
    explicit CollectionViewItem(QObject* parent = nullptr);
    CollectionView* collectionView() const { return m_collection; }
    QString identifier() const { return m_identifier; }
    bool isSelected() const { return m_selected; }
    virtual void setSelected(bool selected) { m_selected = selected; }
    HighlightState highlightState() const { return m_highlight; }
    virtual void setHighlightState(HighlightState s) { m_highlight = s; }

    // Mouse events on the tile. mouseDown's default selects as the grid does; the others pass on.
    virtual void mouseDown(const Event& e);
    virtual void rightMouseUp(const Event& e);
    virtual void mouseEntered(const Event&) {}
    virtual void mouseExited(const Event&) {}

protected:
    // The default tile is a CollectionItemView; a subclass that makes its own tile should
    // derive it from CollectionItemView so that the item keeps receiving mouse events.
    void loadView() override;

private:
    friend class CollectionView;
    QPointer<CollectionView> m_collection;
    QString m_identifier;
    bool m_selected = false;
    HighlightState m_highlight = HighlightState::None;
    bool m_passOn = false;
    friend class CollectionItemView;
};

// A tile that hands its mouse events to its item.
class CollectionItemView : public View {
    Q_OBJECT
public:
    explicit CollectionItemView(CollectionViewItem* item, QWidget* parent = nullptr);
    CollectionViewItem* item() const { return m_item; }

protected:
    void mouseDown(const Event& e) override;
    void rightMouseUp(const Event& e) override;
    void mouseEntered(const Event& e) override;
    void mouseExited(const Event& e) override;

private:
    QPointer<CollectionViewItem> m_item;
};

class CollectionViewDataSource {
public:
    virtual ~CollectionViewDataSource() = default;
    virtual int collectionViewNumberOfItemsInSection(CollectionView*, int) = 0;
    virtual CollectionViewItem* collectionViewItemForRepresentedObjectAtIndexPath(CollectionView*,
                                                                                  IndexPath) = 0;
};

class CollectionViewDelegate {
public:
    virtual ~CollectionViewDelegate() = default;
    virtual void collectionViewWillDisplayItem(CollectionView*, CollectionViewItem*, IndexPath) {}
    virtual void collectionViewDidEndDisplayingItem(CollectionView*, CollectionViewItem*, IndexPath) {}
    // Sent for selections the user makes (not for programmatic ones).
    virtual void collectionViewDidSelectItemsAtIndexPaths(CollectionView*, const QList<IndexPath>&) {}
    virtual void collectionViewDidDeselectItemsAtIndexPaths(CollectionView*, const QList<IndexPath>&) {}
    // Drag source.
    virtual bool collectionViewCanDragItemsAtIndexPaths(CollectionView*, const QList<IndexPath>&,
                                                        const Event&) {
        return false;
    }
    virtual std::shared_ptr<PasteboardWriter>
    collectionViewPasteboardWriterForItemAtIndexPath(CollectionView*, IndexPath) {
        return nullptr;
    }
    virtual QStringList collectionViewNamesOfPromisedFilesDroppedAtDestination(CollectionView*,
                                                                               const QString&,
                                                                               const QList<IndexPath>&) {
        return {};
    }
    virtual void collectionViewDraggingSessionWillBegin(CollectionView*, DraggingSession*, QPointF,
                                                        const QList<IndexPath>&) {}
    virtual void collectionViewDraggingSessionEnded(CollectionView*, DraggingSession*, QPointF,
                                                    DragOperation) {}
    // Promised items asked for as local files by the drop target: their paths once on disk.
    virtual QStringList collectionViewFilesForPromisedItems(CollectionView*, const QList<IndexPath>&) {
        return {};
    }
    // Drop target: the proposed place may be changed by the delegate.
    virtual DragOperation collectionViewValidateDrop(CollectionView*, const DraggingInfo&, IndexPath*,
                                                     CollectionDropPosition*) {
        return DragOperation::None;
    }
    virtual bool collectionViewAcceptDrop(CollectionView*, const DraggingInfo&, IndexPath,
                                          CollectionDropPosition) {
        return false;
    }
    // A drag over the grid left it, or ended without a drop taken here.
    virtual void collectionViewDraggingExited(CollectionView*) {}
};

// A virtualized grid of equal tiles in one section, with a header above the tiles that scrolls
// with them. Only tiles in and near the visible rectangle exist; they are reused by identifier.
class CollectionView : public View {
    Q_OBJECT
public:
    explicit CollectionView(QWidget* parent = nullptr);
    ~CollectionView() override;

    void setDataSource(CollectionViewDataSource* ds) { m_dataSource = ds; }
    CollectionViewDataSource* dataSource() const { return m_dataSource.get(); }
    void setDelegate(CollectionViewDelegate* d) { m_delegate = d; }
    CollectionViewDelegate* delegate() const { return m_delegate.get(); }

    // Layout.
    void setItemSize(const QSizeF& s);
    QSizeF itemSize() const { return m_itemSize; }
    void setSpacing(qreal interitem, qreal line);
    void setSectionInset(const QMargins& m);
    // The header above the tiles (owned); null removes it.
    void setHeaderView(View* header);
    View* headerView() const { return m_header; }
    int numberOfColumns() const;

    void registerItem(const QString& identifier, std::function<CollectionViewItem*()> factory);
    CollectionViewItem* makeItem(const QString& identifier, IndexPath indexPath);
    template <class T> T* makeItem(const QString& identifier, IndexPath indexPath) {
        return dynamic_cast<T*>(makeItem(identifier, indexPath));
    }

    void reloadData();
    int numberOfItems() const { return m_count; }
    // Insertions and deletions (already made in the data source); completion runs afterwards
    // on the main queue.
    void performBatchUpdates(const std::function<void()>& updates, std::function<void(bool)> completion = {});
    void insertItems(const QList<IndexPath>& paths);
    void deleteItems(const QList<IndexPath>& paths);

    // Selection. Programmatic changes do not call the delegate; clicks do.
    void selectItems(const QList<IndexPath>& paths, ScrollPosition scroll = ScrollPosition::None);
    void deselectItems(const QList<IndexPath>& paths);
    void selectAll();
    void deselectAll();
    QList<IndexPath> selectionIndexPaths() const;
    const IndexSet& selectionIndexes() const { return m_selection; }
    void setSelectable(bool s) { m_selectable = s; }
    void setAllowsMultipleSelection(bool m) { m_multiple = m; }

    CollectionViewItem* itemAtIndexPath(IndexPath path) const;
    std::optional<IndexPath> indexPathForItemAtPoint(const QPointF& pointInView) const;
    QList<int> displayedItems() const;
    // The frame of an item in document coordinates (the header's top at y 0).
    QRectF frameForItem(int item) const;

    QRectF visibleRect() const;
    void scrollToPoint(const QPointF& documentPoint);
    void scrollToItems(const QList<IndexPath>& paths, ScrollPosition position);

    // The grid's own handling of a press (selection), also run by items.
    void handleMouseDown(const Event& e);

    void tile();

protected:
    void layout() override;
    void mouseDown(const Event& e) override;
    void mouseDragged(const Event& e) override;
    void mouseUp(const Event& e) override;
    void wheelEvent(QWheelEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dragLeaveEvent(QDragLeaveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    qreal headerHeight() const;
    qreal contentHeight() const;
    int itemAtContentPoint(const QPointF& p) const;
    void removeDisplayed(int item);
    void recycle(CollectionViewItem* item);
    void applySelection();
    void changeSelectionByUser(IndexSet next);
    std::pair<IndexPath, CollectionDropPosition> proposedDrop(const QPointF& pointInView) const;
    void setUpDropTarget();
    void startDrag(const Event& e);

    nubo::Weak<CollectionViewDataSource> m_dataSource;
    nubo::Weak<CollectionViewDelegate> m_delegate;
    View* m_document = nullptr;
    View* m_header = nullptr;
    QScrollBar* m_scroller = nullptr;
    QHash<QString, std::function<CollectionViewItem*()>> m_factories;
    QHash<QString, QList<QPointer<CollectionViewItem>>> m_pool;
    std::map<int, CollectionViewItem*> m_displayed;
    QSizeF m_itemSize = QSizeF(100, 100);
    qreal m_interitem = 10;
    qreal m_line = 10;
    QMargins m_inset = QMargins(10, 10, 10, 10);
    int m_count = 0;
    int m_offset = 0;
    int m_updates = 0;
    bool m_tiling = false;
    IndexSet m_selection;
    int m_anchor = -1;
    bool m_selectable = true;
    bool m_multiple = true;
    drag::ListDragSupport m_drag;
    Event m_pressEvent;
};

} // namespace kit
