#pragma once

#include "foundation/Weak.h"
#include "kit/TableView.h"
#include "shell/KZBaseWindowController.h"
#include "ui/common/KZFileOperateMenuItem.h"
#include "ui/common/KZFileOperateRowView.h"
#include "ui/common/KZFileSortWindowController.h"

#include <QPointer>

class KZFileOperateMenuWindowDelegate {
public:
    virtual ~KZFileOperateMenuWindowDelegate() = default;
    // An entry of the menu itself was chosen; `tableView` is the menu's table.
    virtual void fileOperateMenuSelectedItem(const KZFileOperateMenuItemPtr&, kit::TableView*) {}
    // An entry of the sort or display-mode pop-up was chosen; `tableView` is the pop-up's table.
    virtual void submenuFileOperateMenuSelectedItem(const KZFileOperateMenuItemPtr&, kit::TableView*) {}
};

// The operation menu: a child pop-up window listing entries, highlighting the one under the
// pointer, opening the display-mode ("查看") or sort ("排序") pop-up beside their rows and
// reporting the chosen entry to its delegate, after everything has closed.
class KZFileOperateMenuWindowController : public KZBaseWindowController,
                                          public kit::TableViewDataSource,
                                          public kit::TableViewDelegate,
                                          public KZFileOperateRowViewDelegate,
                                          public KZFileSortWindowMenuDelegate {
    Q_OBJECT
public:
    static inline const QString kNibName = QStringLiteral("KZFileOperateMenuWindowController");
    static constexpr double kWidth = 110;
    // The mode pop-up stays open while the pointer leaves the "查看" row in this band of heights
    // above the menu's lower edge; the sort pop-up in the band below the other bound. Both rows
    // are the last two of the menus that carry them.
    static constexpr double kModeBandLow = 46, kModeBandHigh = 80;
    static constexpr double kSortBandHigh = 45;
    // The sort pop-up hangs this far below the menu's lower edge.
    static constexpr double kSortMenuDrop = 114 + 8;

    explicit KZFileOperateMenuWindowController(QObject* parent = nullptr);

    kit::TableView* tableView();
    const QList<KZFileOperateMenuItemPtr>& dataArray() const { return m_dataArray; }
    // The menu's width: 110, or more when a title would not show whole.
    double menuWidth() const;
    void setDataArray(const QList<KZFileOperateMenuItemPtr>& items);
    KZFileOperateMenuWindowDelegate* delegate() const { return m_delegate.get(); }
    void setDelegate(KZFileOperateMenuWindowDelegate* d) { m_delegate = d; }
    kit::Window* parentWindow() const { return m_parentWindow; }
    qint32 sortMode() const { return m_sortMode; }
    void setSortMode(qint32 mode) { m_sortMode = mode; }
    quint64 listMode() const { return m_listMode; }
    void setListMode(quint64 mode) { m_listMode = mode; }
    KZFileSortWindowController* fileSortMenu();
    KZFileSortWindowController* modeMenu();

    // `point` is in the parent window's coordinates (bottom-left origin); the menu's upper edge
    // comes 10 points above it.
    void showInWindow(kit::Window* parentWindow, const QPointF& point,
                      const QList<KZFileOperateMenuItemPtr>& items);
    void showInWindow(kit::Window* parentWindow, const QPointF& point,
                      const QList<KZFileOperateMenuItemPtr>& items, qint32 sortMode, quint64 listMode);
    // The toolbar's "more" menu: `screenPoint` is where its upper edge starts.
    void moreOperateMenuShowInWindow(kit::Window* window, const QPointF& screenPoint,
                                     const QList<KZFileOperateMenuItemPtr>& items);
    void updateFrameInWindow(kit::Window* parentWindow, const QPointF& point);
    void updateFrameWithPoint(const QPointF& origin);
    void updateMoreOperateMenuFrameWithPoint(const QPointF& screenPoint);

    // Closes the menu and both pop-ups.
    void close() override;

    // kit::TableViewDataSource / Delegate
    int numberOfRowsInTableView(kit::TableView*) override;
    kit::View* tableViewViewForTableColumn(kit::TableView*, kit::TableColumn*, int row) override;
    kit::TableRowView* tableViewRowViewForRow(kit::TableView*, int row) override;
    qreal tableViewHeightOfRow(kit::TableView*, int row) override;
    void tableViewSelectionDidChange(kit::TableView*) override;

    // KZFileOperateRowViewDelegate
    void fileOperateRowItemMouseEntered(const KZFileOperateMenuItemPtr& item,
                                        const kit::Event& event) override;
    void fileOperateRowItemMouseExited(const KZFileOperateMenuItemPtr& item,
                                       const kit::Event& event) override;

    // KZFileSortWindowMenuDelegate
    void fileSortMenuItem(const KZFileOperateMenuItemPtr& item, kit::TableView* tableView) override;

protected:
    void loadWindow() override;
    void windowDidLoad() override;

private:
    void initUI();
    void attach(kit::Window* window);
    // Where a pop-up goes beside this menu: right of it, or left where the screen ends.
    QPointF popUpPoint(double lowerEdge) const;
    // Whether leaving a row at `x` (menu window coordinates) heads towards `popUp`;
    // `notLeftOfMenu` also refuses an exit to the left of a pop-up on the right.
    bool leavesTowards(double x, KZFileSortWindowController* popUp, bool notLeftOfMenu) const;

    QPointer<kit::TableView> m_tableView;
    QList<KZFileOperateMenuItemPtr> m_dataArray;
    nubo::Weak<KZFileOperateMenuWindowDelegate> m_delegate;
    QPointer<kit::Window> m_parentWindow;
    qint32 m_sortMode = 3;
    quint64 m_listMode = 0;
    QPointer<KZFileSortWindowController> m_fileSortMenu;
    QPointer<KZFileSortWindowController> m_modeMenu;
};
