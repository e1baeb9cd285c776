#pragma once

#include "cloud/KZSessionDelegates.h"
#include "cloud/ShareInfo.h"
#include "kit/ImageView.h"
#include "shell/KZBaseViewController.h"
#include "shell/KZButton.h"
#include "shell/KZMessageSet.h"
#include "shell/KZShortcutKeysManager.h"
#include "shell/KZTableCheckboxHeaderView.h"
#include "ui/common/KZFileOperateMenuWindowController.h"
#include "ui/files/KZFilesToolBar.h"
#include "ui/share/KZShareListCells.h"
#include "ui/share/KZTableViewRowView.h"

#include <QHash>
#include <QPointer>

// What the valid-links and the invalid-links lists share: the tool bar over a table with row and
// header check boxes, fetching the share list and keeping its own part of it, the selection kept
// in step with the table, the operation menu on a right click, cancelling or deleting links, the
// empty and plan states and the bottom-bar text. Main thread only.
class KZShareListViewController : public KZBaseViewController,
                                  public kit::TableViewDataSource,
                                  public kit::TableViewDelegate,
                                  public KZTableCheckboxHeaderViewDelegate,
                                  public KZTableViewRowViewDelegate,
                                  public KZrequestShareGetListDelegate,
                                  public KZRequestCancelShareDelegate,
                                  public KZMessageSetViewDelegate,
                                  public KZShortcutKeysDelegate,
                                  public KZFileOperateMenuWindowDelegate {
    Q_OBJECT
public:
    static constexpr double kRowHeight = 52;
    static constexpr double kToolBarHeight = 52;
    static constexpr double kHeaderHeight = 32;
    static inline const QString kCheckColumn = QStringLiteral("TableColumnShareCheck");
    static inline const QString kNameColumn = QStringLiteral("TableColumnShareFileName");
    static inline const QString kSizeColumn = QStringLiteral("TableColumnShareFileSize");
    static inline const QString kExpireColumn = QStringLiteral("TableColumnShareExpire");
    static inline const QString kDownloadColumn = QStringLiteral("TableColumnShareDownloadCount");

    explicit KZShareListViewController(QObject* parent = nullptr);
    ~KZShareListViewController() override;

    // The rows, in the service's order.
    const QList<ShareInfoPtr>& shareList() const { return m_shareList; }
    // The selected links, in row order; the source of every action.
    const QList<ShareInfoPtr>& selectedShareInfos() const { return m_selectedShareInfos; }

    KZFilesToolBar* toolBar() const { return m_toolBar; }
    KZShareTableView* tableView() const { return m_tableView; }
    KZTableCheckboxHeaderView* tableHeaderView() const { return m_headerView; }
    KZButton* refreshButton() const { return m_refreshButton; }
    kit::Spinner* refreshProgressIndicator() const { return m_refreshProgressIndicator; }
    KZFileOperateMenuWindowController* fileOperateMenu() const { return m_fileOperateMenu; }
    // The text last given to the home window's bottom bar.
    QString homeToolBarMessage() const { return m_homeToolBarMessage; }

    // Loading.
    void requestShareList();
    void actionButtonRefresh();
    // Keeps this list's part of a share-list reply, in its order; the list is replaced whole.
    void setShareList(const QVariantList& shareList);
    void closeFileOperateMenu();
    void resizeContent();

    // Selection.
    void selectRowsAtIndexes(const kit::IndexSet& indexes);
    void selectAllRows();
    void deselectAllRows();
    void refreshHomeToolBarMessage();
    virtual void refreshToolBar() = 0;

    // The title of the plan notice for the signed-in user's role (shared with the share page).
    static kit::AttributedString overdueTitle();

    void viewDidAppear() override;
    void viewWillDisappear() override;

    // kit::TableViewDataSource / Delegate
    int numberOfRowsInTableView(kit::TableView*) override { return int(m_shareList.size()); }
    kit::View* tableViewViewForTableColumn(kit::TableView* table, kit::TableColumn* column, int row) override;
    kit::TableRowView* tableViewRowViewForRow(kit::TableView* table, int row) override;
    qreal tableViewHeightOfRow(kit::TableView*, int) override { return kRowHeight; }
    void tableViewSelectionDidChange(kit::TableView* table) override;
    // KZTableCheckboxHeaderViewDelegate
    void tableCheckBoxHeaderViewDidPressSelectButton(KZTableCheckboxHeaderView* header,
                                                     KZCheckBoxButton* button) override;
    // KZTableViewRowViewDelegate
    void tableViewRowViewDidCheckBoxSelected(KZTableViewRowView* rowView, bool selected) override;
    void fileRowViewRightMouseUp(KZTableViewRowView* rowView, const kit::Event& event) override;
    // KZFileOperateMenuWindowDelegate
    void fileOperateMenuSelectedItem(const KZFileOperateMenuItemPtr& item, kit::TableView*) override;
    // KZShortcutKeysDelegate
    void didPressCmdA() override;
    // Session answers.
    void kzSessionRequestShareGetList(KZAbstractSession*, qint64, const QVariantList& shareList,
                                      const QVariantMap&) override;
    void kzSessionRequestShareGetListFail(KZAbstractSession*, qint64, const QVariantMap&,
                                          const BWError& error) override;
    void kzSessionRequestCancelShare(KZAbstractSession*, qint64 requestId, const QVariantMap&) override;
    void kzSessionRequestCancelShareFail(KZAbstractSession*, qint64 requestId, const QVariantMap&,
                                         const BWError& error) override;
    // KZMessageSetViewDelegate
    bool messageSetViewShouldDisplay(QWidget*) override;
    bool messageSetViewShouldInterceptionEvents(QWidget*) override;
    QMargins insetsForMessageSetView(QWidget*) override;
    QWidget* containerViewForMessageSetView(QWidget*) override;
    kit::AttributedString titleForMessageSetView(QWidget*) override;
    kit::AttributedString descriptionForMessageSetView(QWidget*) override;
    kit::Image imageForMessageSetView(QWidget*) override;
    QList<KZButton*> buttonsForMessageSetView(QWidget*) override;

protected:
    struct Column {
        QString identifier;
        QString title;
        double width; // the first column after the check box takes what the others leave
    };

    void loadView() override;
    void viewDidLoad() override;

    // What each list decides.
    virtual bool keepsStatus(int status) const = 0;
    virtual QList<Column> columns() const = 0;
    virtual kit::View* cellForColumn(const QString& identifier, const ShareInfoPtr& share) = 0;
    virtual void initToolBar() = 0;
    // The entries of the operation menu for the selection as it is now.
    virtual QList<KZFileOperateMenuItemPtr> getfileOperateMenuItems() = 0;
    virtual void menuItemChosen(KZFileOperateItemType type) = 0;
    // A list that makes a new menu at every right click (else one menu, made once).
    virtual bool newMenuForEveryRightClick() const { return false; }
    virtual QString bottomBarText() const = 0;
    virtual kit::AttributedString emptyDescription() const = 0;
    virtual QMargins emptyInsets() const { return {}; }
    virtual QString cancelSuccessText() const = 0;
    virtual QString cancelFailureText() const = 0;

    // Sends one cancel or delete request for exactly these links under a blocking toast; on
    // success exactly these leave the list.
    void sendCancel(const QList<ShareInfoPtr>& links, const QString& type, const QString& waitingText);
    // A cell of a registered kind; the label cells take the text.
    kit::View* makeCell(const QString& identifier, const QString& text);
    // The cells both lists show alike (name with icon, size, expiry, downloads); null for others.
    kit::View* commonCell(const QString& column, const ShareInfoPtr& share);

private:
    // Why the session could not sign in (the service's database unreadable, say), or null.
    static BWError signInFailure();
    void replaceShareList(const QList<ShareInfoPtr>& list);
    void updateHeaderCheckBox();
    // Makes the clicked row the selection unless it is selected already.
    void selectClickedRow(int row);
    void layoutColumns();

    QList<ShareInfoPtr> m_shareList;
    QList<ShareInfoPtr> m_selectedShareInfos;
    QHash<qint64, QList<ShareInfoPtr>> m_cancelling; // request id -> the links it sent
    KZFilesToolBar* m_toolBar = nullptr;
    KZShareTableView* m_tableView = nullptr;
    KZTableCheckboxHeaderView* m_headerView = nullptr;
    KZButton* m_refreshButton = nullptr;
    kit::Spinner* m_refreshProgressIndicator = nullptr;
    QPointer<KZFileOperateMenuWindowController> m_fileOperateMenu;
    QPointF m_currentPoint;
    QString m_homeToolBarMessage;
    int m_pendingLists = 0;
};
