#pragma once

#include "foundation/Weak.h"
#include "kit/Drag.h"
#include "kit/IndexSet.h"
#include "kit/View.h"

#include <QHash>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QScrollBar;

namespace kit {

class TableView;

class TableColumn {
public:
    explicit TableColumn(QString identifier, QString title = {}, qreal width = 100)
        : m_identifier(std::move(identifier)), m_title(std::move(title)), m_width(width) {}
    QString identifier() const { return m_identifier; }
    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    qreal width() const { return m_width; }
    void setWidth(qreal w) { m_width = std::max(m_minWidth, w); }
    qreal minWidth() const { return m_minWidth; }
    void setMinWidth(qreal w) { m_minWidth = std::max<qreal>(0, w); }

private:
    QString m_identifier;
    QString m_title;
    qreal m_width;
    qreal m_minWidth = 0;
};

enum class SelectionHighlightStyle { None, Regular };

// The view of one row; cells are its children. Subclasses draw their own looks in setSelected.
class TableRowView : public View {
    Q_OBJECT
public:
    explicit TableRowView(QWidget* parent = nullptr);
    bool isSelected() const { return m_selected; }
    virtual void setSelected(bool selected);
    SelectionHighlightStyle selectionHighlightStyle() const { return m_style; }
    void setSelectionHighlightStyle(SelectionHighlightStyle s);
    // The row a drag would be dropped on; drawn with an outline unless a subclass draws its own.
    bool isTargetForDropOperation() const { return m_dropTarget; }
    virtual void setTargetForDropOperation(bool target);
    // The cell of a column, or null.
    View* viewAtColumn(int column) const;
    int numberOfColumns() const { return int(m_cells.size()); }

protected:
    // Draws the selection; the default fills with the selection colour unless the style is none.
    virtual void drawSelection(QPainter& p, const QRectF& rect);
    void draw(QPainter& p) override;

private:
    friend class TableView;
    bool m_selected = false;
    bool m_dropTarget = false;
    SelectionHighlightStyle m_style = SelectionHighlightStyle::Regular;
    std::vector<QPointer<View>> m_cells;
};

// The header above the columns. Replaceable; subclasses draw titles their own way.
class TableHeaderView : public View {
    Q_OBJECT
public:
    explicit TableHeaderView(QWidget* parent = nullptr);
    TableView* tableView() const { return m_table; }
    // The header rectangle of a column, in the header's coordinates.
    QRectF headerRectOfColumn(int column) const;

protected:
    void draw(QPainter& p) override;

private:
    friend class TableView;
    QPointer<TableView> m_table;
};

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual int numberOfRowsInTableView(TableView*) = 0;
    // Drag source: a writer per dragged row (null: the row cannot be dragged).
    virtual std::shared_ptr<PasteboardWriter> tableViewPasteboardWriterForRow(TableView*, int) {
        return nullptr;
    }
    virtual void tableViewDraggingSessionWillBegin(TableView*, DraggingSession*, QPointF, const IndexSet&) {}
    // A file promise landed: `destination` is the folder; answer the names of the files to come.
    virtual QStringList tableViewNamesOfPromisedFilesDroppedAtDestination(TableView*, const QString&,
                                                                          const IndexSet&) {
        return {};
    }
    virtual void tableViewDraggingSessionEnded(TableView*, DraggingSession*, QPointF, DragOperation) {}
    // Promised rows asked for as local files by the drop target: their paths once on disk.
    virtual QStringList tableViewFilesForPromisedRows(TableView*, const IndexSet&) { return {}; }
    // Drop target.
    virtual DragOperation tableViewValidateDrop(TableView*, const DraggingInfo&, int, TableDropPosition) {
        return DragOperation::None;
    }
    virtual bool tableViewAcceptDrop(TableView*, const DraggingInfo&, int, TableDropPosition) {
        return false;
    }
    // A drag over the table left it, or ended without a drop taken here.
    virtual void tableViewDraggingExited(TableView*) {}
};

class TableViewDelegate {
public:
    virtual ~TableViewDelegate() = default;
    virtual View* tableViewViewForTableColumn(TableView*, TableColumn*, int) { return nullptr; }
    // Null: a plain row view.
    virtual TableRowView* tableViewRowViewForRow(TableView*, int) { return nullptr; }
    // A negative answer (the default) means "not implemented": every row has rowHeight().
    virtual qreal tableViewHeightOfRow(TableView*, int) { return -1; }
    virtual void tableViewDidAddRowView(TableView*, TableRowView*, int) {}
    // `row` is -1 when the row itself was removed.
    virtual void tableViewDidRemoveRowView(TableView*, TableRowView*, int) {}
    virtual void tableViewSelectionDidChange(TableView*) {}
};

// A view-based, virtualized table: only rows in and near the visible rectangle have views,
// which are reused by identifier as they scroll. Its scroll origin follows the header
// convention: the top of a table under a header of height H has visible origin y = -H.
// Row geometry is O(1) for uniform heights and a prefix sum for per-row heights.
class TableView : public View {
    Q_OBJECT
public:
    explicit TableView(QWidget* parent = nullptr);
    ~TableView() override;

    void setDataSource(TableViewDataSource* ds) { m_dataSource = ds; }
    TableViewDataSource* dataSource() const { return m_dataSource.get(); }
    void setDelegate(TableViewDelegate* d) { m_delegate = d; }
    TableViewDelegate* delegate() const { return m_delegate.get(); }

    // Columns (the table owns them).
    TableColumn* addTableColumn(const QString& identifier, const QString& title, qreal width);
    void removeTableColumn(TableColumn* column);
    QList<TableColumn*> tableColumns() const;
    int numberOfColumns() const { return int(m_columns.size()); }
    int columnWithIdentifier(const QString& identifier) const;
    int columnAtPoint(const QPointF& pointInTable) const;
    // A column's rectangle in document coordinates.
    QRectF rectOfColumn(int column) const;

    // Header: null removes it. The table takes ownership.
    void setHeaderView(View* header);
    View* headerView() const { return m_header; }
    qreal headerHeight() const;

    // Reuse: register a factory for an identifier; makeView hands out a reused view or a new one.
    void registerView(const QString& identifier, std::function<View*()> factory);
    View* makeView(const QString& identifier);
    template <class T> T* makeView(const QString& identifier) {
        return dynamic_cast<T*>(makeView(identifier));
    }

    qreal rowHeight() const { return m_rowHeight; }
    void setRowHeight(qreal h);
    // Asks the delegate for the heights of these rows again.
    void noteHeightOfRowsChanged();

    void reloadData();
    int numberOfRows() const { return m_rowCount; }

    void beginUpdates();
    void endUpdates();
    // Rows already inserted in (removed from) the data source; other rows keep their selection.
    void insertRows(const IndexSet& rows);
    void removeRows(const IndexSet& rows);

    // Selection.
    void selectRowIndexes(const IndexSet& rows, bool byExtendingSelection);
    void deselectRow(int row);
    void selectAll();
    void deselectAll();
    const IndexSet& selectedRowIndexes() const { return m_selection; }
    int selectedRow() const { return m_selection.last(); }
    int numberOfSelectedRows() const { return m_selection.count(); }
    bool isRowSelected(int row) const { return m_selection.contains(row); }
    bool allowsMultipleSelection() const { return m_multiple; }
    void setAllowsMultipleSelection(bool m) { m_multiple = m; }
    bool allowsEmptySelection() const { return m_allowsEmpty; }
    void setAllowsEmptySelection(bool e) { m_allowsEmpty = e; }
    SelectionHighlightStyle selectionHighlightStyle() const { return m_highlight; }
    void setSelectionHighlightStyle(SelectionHighlightStyle s);

    // The row (column) under the last click, -1 for none.
    int clickedRow() const { return m_clickedRow; }
    int clickedColumn() const { return m_clickedColumn; }
    void setAction(std::function<void()> a) { m_action = std::move(a); }
    void setDoubleAction(std::function<void()> a) { m_doubleAction = std::move(a); }

    // Views of a row: only when displayed, unless makeIfNecessary (then made and dropped at the
    // next layout without the added/removed callbacks).
    View* viewAtColumn(int column, int row, bool makeIfNecessary);
    TableRowView* rowViewAtRow(int row, bool makeIfNecessary);
    QList<int> displayedRows() const;
    // The displayed row that holds `view` (a row view, a cell or anything inside them), or -1.
    int rowForView(const QWidget* view) const;
    int numberOfRowViews() const { return int(m_displayed.size()); }

    // Geometry in document coordinates (row 0 at y 0, the header above it at negative y).
    QRectF rectOfRow(int row) const;
    // The row at a point in the table view's own coordinates; -1 over the header or no row.
    int rowAtPoint(const QPointF& pointInTable) const;
    QRectF visibleRect() const;
    void scrollRowToVisible(int row);
    void scrollToPoint(const QPointF& documentPoint);

    bool acceptsFirstResponder() const override { return true; }
    bool becomeFirstResponder() override;

    Menu* menuForEvent(const Event& event) override;

    // Lays rows out now (normally done on resize and scroll).
    void tile();

protected:
    void layout() override;
    void mouseDown(const Event& e) override;
    void mouseUp(const Event& e) override;
    void mouseDragged(const Event& e) override;
    void keyDown(const Event& e) override;
    void wheelEvent(QWheelEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dragLeaveEvent(QDragLeaveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    std::vector<std::pair<int, int>> columnSpans(int width) const;
    qreal heightOf(int row) const;
    qreal topOf(int row) const;
    qreal contentHeight() const;
    int rowAtContentY(qreal y) const;
    qreal clipHeight() const;
    void rebuildHeights();
    TableRowView* makeRow(int row);
    void recycleRow(TableRowView* rv);
    void recycle(View* v);
    void dropOffscreen();
    void setSelection(IndexSet s, bool notify);
    void applySelectionToRows();
    std::pair<int, TableDropPosition> proposedDrop(const QPointF& pointInTable) const;
    void setUpDropTarget();
    void startDrag();
    void removeDisplayed(int row, int reportedRow);

    nubo::Weak<TableViewDataSource> m_dataSource;
    nubo::Weak<TableViewDelegate> m_delegate;
    std::vector<std::unique_ptr<TableColumn>> m_columns;
    View* m_header = nullptr;
    View* m_clip = nullptr;
    QScrollBar* m_scroller = nullptr;
    QHash<QString, std::function<View*()>> m_factories;
    QHash<QString, QList<QPointer<View>>> m_pool;
    std::map<int, TableRowView*> m_displayed;
    QList<QPointer<View>> m_offscreen;
    // Rows removed inside beginUpdates/endUpdates: they stay on screen, as they were, until the
    // updates end and the table is laid out again, so that the visible area never goes blank.
    QList<QPointer<TableRowView>> m_retired;

    int m_rowCount = 0;
    qreal m_rowHeight = 24;
    bool m_variable = false;
    std::vector<qreal> m_prefix; // per-row heights: m_prefix[r] is the top of row r
    int m_offset = 0;
    int m_updates = 0;
    bool m_tiling = false;

    IndexSet m_selection;
    int m_anchor = -1;
    bool m_multiple = false;
    bool m_allowsEmpty = true;
    SelectionHighlightStyle m_highlight = SelectionHighlightStyle::Regular;
    int m_clickedRow = -1;
    int m_clickedColumn = -1;
    int m_pendingSelect = -1;
    drag::ListDragSupport m_drag;
    std::function<void()> m_action;
    std::function<void()> m_doubleAction;
    int m_lastClickCount = 0;
};

} // namespace kit
