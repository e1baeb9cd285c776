#pragma once

#include "foundation/Weak.h"
#include "kit/Callback.h"
#include "kit/Drag.h"
#include "kit/IndexSet.h"
#include "kit/ItemsView.h"
#include "kit/TableLayout.h"

#include <functional>
#include <map>
#include <memory>
#include <vector>

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
// A subclass may also draw the cells itself, for columns the delegate gives no view: a long list
// of simple rows then costs one widget per row instead of one per cell and part.
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
    // Where a column's cell is, in the row's coordinates, as the table last laid the row out
    // (null before that or for a column the table does not have).
    QRectF rectOfColumn(int column) const;

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
    std::vector<std::pair<int, int>> m_columnSpans; // x and width of each column
};

// The header above the columns. Replaceable; subclasses draw titles their own way.
class TableHeaderView : public View {
    Q_OBJECT
public:
    explicit TableHeaderView(QWidget* parent = nullptr);
    // The table it heads: its parent.
    TableView* tableView() const;
    // The header rectangle of a column, in the header's coordinates.
    QRectF headerRectOfColumn(int column) const;

protected:
    void draw(QPainter& p) override;
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
class TableView : public ItemsView, public SourceAndDelegate<TableViewDataSource, TableViewDelegate> {
    Q_OBJECT
public:
    explicit TableView(QWidget* parent = nullptr);

    // Columns (the table owns them).
    TableColumn* addTableColumn(const QString& identifier, const QString& title, qreal width);
    void removeTableColumn(TableColumn* column);
    QList<TableColumn*> tableColumns() const;
    int numberOfColumns() const { return int(m_columns.size()); }
    int columnWithIdentifier(const QString& identifier) const;
    int columnAtPoint(const QPointF& pointInTable) const;
    // A column's rectangle in document coordinates.
    QRectF rectOfColumn(int column) const;

    // Reuse: register a factory for an identifier; makeView hands out a reused view or a new one.
    void registerView(const QString& identifier, std::function<View*()> factory);
    View* makeView(const QString& identifier);
    template <class T> T* makeView(const QString& identifier) {
        return dynamic_cast<T*>(makeView(identifier));
    }

    qreal rowHeight() const { return m_layout.rowHeight(); }
    void setRowHeight(qreal h);
    // Asks the delegate for the heights of these rows again.
    void noteHeightOfRowsChanged();

    // Asks the data source for every row again; nothing stays selected.
    void reloadData();
    int numberOfRows() const { return m_selection.count(); }

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
    const IndexSet& selectedRowIndexes() const { return m_selection.selection(); }
    int selectedRow() const { return m_selection.selection().last(); }
    int numberOfSelectedRows() const { return m_selection.selection().count(); }
    bool isRowSelected(int row) const { return m_selection.contains(row); }
    bool allowsMultipleSelection() const { return m_selection.allowsMultiple(); }
    void setAllowsMultipleSelection(bool m) { m_selection.setAllowsMultiple(m); }
    bool allowsEmptySelection() const { return m_selection.allowsEmpty(); }
    void setAllowsEmptySelection(bool e) { m_selection.setAllowsEmpty(e); }
    SelectionHighlightStyle selectionHighlightStyle() const { return m_highlight; }
    void setSelectionHighlightStyle(SelectionHighlightStyle s);

    // The row (column) under the last click, -1 for none.
    int clickedRow() const { return m_clickedRow; }
    int clickedColumn() const { return m_clickedColumn; }
    // Click and double-click actions, dropped when their context goes.
    void setAction(const QObject* context, std::function<void()> a) { m_action = {context, std::move(a)}; }
    void setDoubleAction(const QObject* context, std::function<void()> a) {
        m_doubleAction = {context, std::move(a)};
    }

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

    void tile() override;

protected:
    void mouseDown(const Event& e) override;
    void mouseUp(const Event& e) override;
    void mouseDragged(const Event& e) override;
    void keyDown(const Event& e) override;
    int wheelStep() const override { return int(m_layout.rowHeight()) * 3; }
    void selectionDidChange(const SelectionChange& change, bool byUser) override;

private:
    std::vector<std::pair<int, int>> columnSpans(int width) const;
    qreal clipHeight() const;
    TableRowView* makeRow(int row);
    void recycleRow(TableRowView* rv);
    void recycle(View* v);
    void dropOffscreen();
    std::pair<int, TableDropPosition> proposedDrop(const QPointF& pointInTable) const;
    void setUpDragging();
    void removeDisplayed(int row, int reportedRow);

    std::vector<std::unique_ptr<TableColumn>> m_columns;
    View* m_clip = nullptr;
    ReusePool<View> m_pool;
    std::map<int, TableRowView*> m_displayed;
    QList<QPointer<View>> m_offscreen;
    // Rows removed inside beginUpdates/endUpdates: they stay on screen, as they were, until the
    // updates end and the table is laid out again, so that the visible area never goes blank.
    QList<QPointer<TableRowView>> m_retired;
    TableLayout m_layout;

    SelectionHighlightStyle m_highlight = SelectionHighlightStyle::Regular;
    int m_clickedRow = -1;
    int m_clickedColumn = -1;
    Callback<> m_action;
    Callback<> m_doubleAction;
    int m_lastClickCount = 0;
};

} // namespace kit
