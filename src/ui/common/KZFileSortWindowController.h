#pragma once

#include "foundation/Weak.h"
#include "kit/ImageView.h"
#include "kit/TableView.h"
#include "shell/KZBaseWindowController.h"
#include "shell/KZLabel.h"
#include "ui/common/KZFileOperateMenuItem.h"

class KZFileSortWindowMenuDelegate {
public:
    virtual ~KZFileSortWindowMenuDelegate() = default;
    // The entry clicked in the pop-up; `tableView` is the pop-up's table.
    virtual void fileSortMenuItem(const KZFileOperateMenuItemPtr& item, kit::TableView* tableView) = 0;
};

// An entry of the sort or display-mode pop-up: the title, a check mark on the current choices,
// and for a separator only a line.
class KZFileSortCellView : public kit::View {
    Q_OBJECT
public:
    static inline const QString kIdentifier = QStringLiteral("FileSortCellView");

    explicit KZFileSortCellView(QWidget* parent = nullptr);

    KZLabel* titleLabel() const { return m_titleLabel; }
    kit::ImageView* markImageView() const { return m_markImageView; }
    kit::View* lineView() const { return m_lineView; }
    const KZFileOperateMenuItemPtr& item() const { return m_item; }
    void setItem(const KZFileOperateMenuItemPtr& item);

protected:
    void layout() override;

private:
    KZLabel* m_titleLabel = nullptr;
    kit::ImageView* m_markImageView = nullptr;
    kit::View* m_lineView = nullptr;
    KZFileOperateMenuItemPtr m_item;
};

// The small pop-up that lists either the sort entries (by name or time, ascending or
// descending) or the display modes (list or thumbnails) with the current ones marked, and
// reports the clicked entry to its delegate.
class KZFileSortWindowController : public KZBaseWindowController,
                                   public kit::TableViewDataSource,
                                   public kit::TableViewDelegate {
    Q_OBJECT
public:
    static inline const QString kNibName = QStringLiteral("KZFileSortWindowController");
    static constexpr double kWidth = 130;
    static inline const QString kRowIdentifier = QStringLiteral("FileSortRowView");

    explicit KZFileSortWindowController(QObject* parent = nullptr);

    kit::View* contentView();
    kit::TableView* tableView();
    // Empty until a pop-up is shown.
    const QList<KZFileOperateMenuItemPtr>& dataArray() const { return m_dataArray; }
    qint32 sortMode() const { return m_sortMode; }
    void setSortMode(qint32 mode) { m_sortMode = mode; }
    quint64 listMode() const { return m_listMode; }
    void setListMode(quint64 mode) { m_listMode = mode; }
    KZFileSortWindowMenuDelegate* delegate() const { return m_delegate.get(); }
    void setDelegate(KZFileSortWindowMenuDelegate* d) { m_delegate = d; }

    // The sort entries with the current sort mode marked (an unknown mode counts as time
    // descending, the saved default).
    QList<KZFileOperateMenuItemPtr> getFileSortItems() const;
    // The display entries; a mode other than list (0) or thumbnails (1) marks neither.
    QList<KZFileOperateMenuItemPtr> getFileListStyleItems() const;

    // Shows the sort pop-up (or the display-mode pop-up) above `parentWindow` with its lower-left
    // corner at `point` (screen coordinates, bottom-left origin).
    void showInWindowSortMode(kit::Window* parentWindow, const QPointF& point, qint32 sortMode);
    void showInWindowListMode(kit::Window* parentWindow, const QPointF& point, quint64 listMode);
    void updateFrameInWindow(kit::Window* parentWindow, const QPointF& point);
    void updateFrameWithPoint(const QPointF& point);

    // kit::TableViewDataSource / Delegate
    int numberOfRowsInTableView(kit::TableView*) override;
    kit::View* tableViewViewForTableColumn(kit::TableView*, kit::TableColumn*, int row) override;
    kit::TableRowView* tableViewRowViewForRow(kit::TableView*, int row) override;
    qreal tableViewHeightOfRow(kit::TableView*, int row) override;
    void tableViewSelectionDidChange(kit::TableView*) override;

protected:
    void loadWindow() override;
    void windowDidLoad() override;

private:
    void showItems(kit::Window* parentWindow, const QPointF& point,
                   const QList<KZFileOperateMenuItemPtr>& items);

    QPointer<kit::TableView> m_tableView;
    QList<KZFileOperateMenuItemPtr> m_dataArray;
    qint32 m_sortMode = 3;
    quint64 m_listMode = 0;
    nubo::Weak<KZFileSortWindowMenuDelegate> m_delegate;
};
