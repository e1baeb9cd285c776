#pragma once

#include "foundation/Weak.h"
#include "kit/Drag.h"
#include "kit/GridLayout.h"
#include "kit/IndexSet.h"
#include "kit/ItemsView.h"
#include "kit/ViewController.h"

#include <QMargins>
#include <functional>
#include <map>
#include <optional>

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
    // The paths of `items` in the grid's one section, in index order.
    static QList<IndexPath> ofItems(const IndexSet& items);
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
class CollectionView : public ItemsView,
                       public SourceAndDelegate<CollectionViewDataSource, CollectionViewDelegate> {
    Q_OBJECT
public:
    explicit CollectionView(QWidget* parent = nullptr);

    // Layout.
    void setItemSize(const QSizeF& s);
    QSizeF itemSize() const { return m_layout.itemSize(); }
    void setSpacing(qreal interitem, qreal line);
    void setSectionInset(const QMargins& m);
    int numberOfColumns() const { return layoutNow().columns(); }

    void registerItem(const QString& identifier, std::function<CollectionViewItem*()> factory);
    CollectionViewItem* makeItem(const QString& identifier, IndexPath indexPath);
    template <class T> T* makeItem(const QString& identifier, IndexPath indexPath) {
        return dynamic_cast<T*>(makeItem(identifier, indexPath));
    }

    void reloadData();
    int numberOfItems() const { return m_selection.count(); }
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
    const IndexSet& selectionIndexes() const { return m_selection.selection(); }
    void setSelectable(bool s) { m_selectable = s; }
    void setAllowsMultipleSelection(bool m) { m_selection.setAllowsMultiple(m); }

    CollectionViewItem* itemAtIndexPath(IndexPath path) const;
    std::optional<IndexPath> indexPathForItemAtPoint(const QPointF& pointInView) const;
    QList<int> displayedItems() const;
    // The frame of an item in document coordinates (the header's top at y 0).
    QRectF frameForItem(int item) const { return layoutNow().frameOf(item); }

    QRectF visibleRect() const;
    void scrollToPoint(const QPointF& documentPoint);
    void scrollToItems(const QList<IndexPath>& paths, ScrollPosition position);

    // The grid's own handling of a press (selection), also run by items.
    void handleMouseDown(const Event& e);

    void tile() override;

protected:
    void mouseDown(const Event& e) override;
    void mouseDragged(const Event& e) override;
    void mouseUp(const Event& e) override;
    int wheelStep() const override { return 60; }
    void selectionDidChange(const SelectionChange& change, bool byUser) override;

private:
    QWidget* headerContainer() override { return m_document; }
    // The layout with the present width, header height and number of tiles.
    const GridLayout& layoutNow() const;
    void removeDisplayed(int item);
    void recycle(CollectionViewItem* item);
    std::pair<IndexPath, CollectionDropPosition> proposedDrop(const QPointF& pointInView) const;
    void setUpDragging();

    View* m_document = nullptr;
    ReusePool<CollectionViewItem> m_pool;
    std::map<int, CollectionViewItem*> m_displayed;
    mutable GridLayout m_layout;
    bool m_selectable = true;
    Event m_pressEvent;
};

} // namespace kit
