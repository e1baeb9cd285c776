#include "ui/share/KZShareListViewController.h"

#include "cloud/CloudErrors.h"
#include "cloud/KZSessionProxy.h"
#include "cloud/User.h"
#include "foundation/SafeAccess.h"
#include "kit/Window.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZStyle.h"
#include "shell/KZToast.h"
#include "shell/KZTools.h"
#include "shell/KZWindowsManager.h"
#include "ui/share/KZShareText.h"

#include <QSet>

namespace {

const QString kHeaderId = QStringLiteral("TableHeaderShare");
const QString kNameCell = QStringLiteral("TableCellShareFileName");
const QString kRowId = QStringLiteral("TableRowShare");
const QString kPasswordCell = QStringLiteral("TableCellSharePassword");
const QString kDefaultCell = QStringLiteral("TableCellShareDefault");
const QString kPathCell = QStringLiteral("TableCellShareFilePath");
constexpr double kCheckWidth = 36;
constexpr double kFirstColumnMinWidth = 140;
constexpr double kScrollerAllowance = 16;
constexpr double kRefreshSide = 28;
constexpr double kToolBarLeft = 16;
constexpr double kRefreshRight = 16;
constexpr double kToastDelay = 0.1;

// The list's view: the tool bar over the table, the refresh control at the bar's right end. A
// click on its background closes the list's pop-ups.
class ShareListView : public kit::View {
public:
    std::function<void()> onLayout;
    std::function<void()> onMouseDown;

    void layout() override {
        if (onLayout)
            onLayout();
    }
    void mouseDown(const kit::Event& event) override {
        if (onMouseDown)
            onMouseDown();
        kit::View::mouseDown(event);
    }
};

} // namespace

KZShareListViewController::KZShareListViewController(QObject* parent) : KZBaseViewController(parent) {}

KZShareListViewController::~KZShareListViewController() {
    KZShortcutKeysManager::shareInstance().removeShortcutKeysObserver(this);
    if (m_fileOperateMenu)
        m_fileOperateMenu->close();
}

void KZShareListViewController::loadView() {
    auto* view = new ShareListView;
    view->setCustomBackgroundColor(Qt::white);
    m_toolBar = new KZFilesToolBar;
    m_tableView = new KZShareTableView;
    m_refreshButton = new KZButton;
    m_refreshProgressIndicator = new kit::Spinner;
    view->addSubview(m_toolBar);
    view->addSubview(m_tableView);
    view->addSubview(m_refreshButton);
    view->addSubview(m_refreshProgressIndicator);
    view->onLayout = [this] { layoutColumns(); };
    view->onMouseDown = [this] { closeFileOperateMenu(); };
    setView(view);
}

void KZShareListViewController::viewDidLoad() {
    KZBaseViewController::viewDidLoad();
    initToolBar();
    refreshToolBar();

    // The kinds of rows and cells, by identifier.
    m_tableView->registerView(kRowId, [] { return new KZTableViewRowView; });
    m_tableView->registerView(kNameCell, [] { return new KZTableViewFileNameCellView; });
    m_tableView->registerView(kPasswordCell, [] { return new KZTableViewPwdCellView; });
    m_tableView->registerView(kDefaultCell, [] { return new KZTableViewDefaultCellView; });
    m_tableView->registerView(kPathCell, [] { return new KZTableViewFilePathCellView; });

    m_tableView->addTableColumn(kCheckColumn, QString(), kCheckWidth);
    for (const Column& c : columns())
        m_tableView->addTableColumn(c.identifier, c.title, c.width);
    m_headerView = new KZTableCheckboxHeaderView;
    m_headerView->setIdentifier(kHeaderId);
    m_headerView->setFrameSize(QSizeF(0, kHeaderHeight));
    m_headerView->setTableView(m_tableView);
    m_headerView->setDelegate(this);
    m_tableView->setHeaderView(m_headerView);
    m_tableView->setRowHeight(kRowHeight);
    m_tableView->setAllowsMultipleSelection(true);
    m_tableView->setSelectionHighlightStyle(kit::SelectionHighlightStyle::None);
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);

    m_refreshButton->setImage(
        kit::Image::named(QStringLiteral("share_refresh")).scaledToFit(QSizeF(16, 16)).toImage());
    m_refreshButton->setAction(this, [this](KZButton*) { actionButtonRefresh(); });
    m_refreshProgressIndicator->setDisplayedWhenStopped(false);
    m_refreshProgressIndicator->hide();
    if (!newMenuForEveryRightClick()) {
        m_fileOperateMenu = new KZFileOperateMenuWindowController(this);
        m_fileOperateMenu->setDelegate(this);
    }
    updateHeaderCheckBox();
}

void KZShareListViewController::layoutColumns() {
    kit::View* v = view();
    const double w = v->width();
    const QRectF refresh(w - kRefreshRight - kRefreshSide, (kToolBarHeight - kRefreshSide) / 2, kRefreshSide,
                         kRefreshSide);
    m_toolBar->setFrame(
        QRectF(kToolBarLeft, 0, std::max(0.0, refresh.left() - 2 * kToolBarLeft), kToolBarHeight));
    m_refreshButton->setFrame(refresh);
    m_refreshButton->raise();
    m_refreshProgressIndicator->setFrame(refresh.adjusted(6, 6, -6, -6));
    m_refreshProgressIndicator->raise();
    m_tableView->setFrame(QRectF(0, kToolBarHeight, w, std::max(0.0, v->height() - kToolBarHeight)));
    // The first column after the check box takes what the others leave, so the list never
    // scrolls sideways.
    const QList<kit::TableColumn*> cols = m_tableView->tableColumns();
    double others = kScrollerAllowance;
    for (int i = 0; i < cols.size(); ++i)
        if (i != 1)
            others += cols[i]->width();
    if (kit::TableColumn* first = cols.value(1)) {
        first->setMinWidth(kFirstColumnMinWidth);
        first->setWidth(w - others);
    }
    m_tableView->tile();
    m_headerView->update();
}

void KZShareListViewController::resizeContent() {
    if (isViewLoaded())
        view()->update();
}

// ---- lifecycle

void KZShareListViewController::viewDidAppear() {
    KZShortcutKeysManager::shareInstance().addShortcutKeysObserver(this);
    refreshHomeToolBarMessage();
}

void KZShareListViewController::viewWillDisappear() {
    deselectAllRows();
    KZShortcutKeysManager::shareInstance().removeShortcutKeysObserver(this);
    closeFileOperateMenu();
}

void KZShareListViewController::closeFileOperateMenu() {
    if (m_fileOperateMenu)
        m_fileOperateMenu->close();
    KZWindowsManager::shareInstance().closeUserInfoWindow();
}

// ---- loading

void KZShareListViewController::requestShareList() {
    view();
    m_refreshButton->hide();
    m_refreshProgressIndicator->show();
    m_refreshProgressIndicator->startAnimation();
    ++m_pendingLists;
    KZSessionProxy::shareSessionProxy()->requestShareGetList(this, {});
}

void KZShareListViewController::actionButtonRefresh() {
    closeFileOperateMenu();
    requestShareList();
}

void KZShareListViewController::kzSessionRequestShareGetList(KZAbstractSession*, qint64,
                                                             const QVariantList& shareList,
                                                             const QVariantMap&) {
    // The control comes back with the last of several overlapping requests.
    if (--m_pendingLists <= 0) {
        m_pendingLists = 0;
        m_refreshButton->show();
        m_refreshProgressIndicator->stopAnimation();
        m_refreshProgressIndicator->hide();
    }
    setShareList(shareList);
}

void KZShareListViewController::kzSessionRequestShareGetListFail(KZAbstractSession*, qint64,
                                                                 const QVariantMap&, const BWError& error) {
    if (--m_pendingLists <= 0) {
        m_pendingLists = 0;
        m_refreshButton->show();
        m_refreshProgressIndicator->stopAnimation();
        m_refreshProgressIndicator->hide();
    }
    // Not signed in because the service could not be opened: its reason is what helps.
    const BWError why = signInFailure();
    KZToast::showToastWithErrorMessage(
        view(), (why && error.code() == nubo::cloudError::kNotSignedIn ? why : error).localizedDescription());
    KZMessageSet::reloadMessageSet(view());
}

BWError KZShareListViewController::signInFailure() {
    return KZSessionProxy::shareSessionProxy()->loginError();
}

void KZShareListViewController::setShareList(const QVariantList& shareList) {
    QList<ShareInfoPtr> kept;
    for (const QVariant& v : shareList) {
        ShareInfoPtr share = ShareInfo::initWithDict(nubo::safe::toMap(v));
        if (keepsStatus(share->status().toInt()))
            kept.append(std::move(share));
    }
    replaceShareList(kept);
}

void KZShareListViewController::replaceShareList(const QList<ShareInfoPtr>& list) {
    view();
    m_shareList = list;
    // Rows of the old list are gone: nothing of the selection may carry over to the new one,
    // also while the list is off screen.
    m_selectedShareInfos.clear();
    m_tableView->deselectAll();
    m_tableView->reloadData();
    updateHeaderCheckBox();
    refreshToolBar();
    KZMessageSet::reloadMessageSet(view());
    if (isViewVisible())
        refreshHomeToolBarMessage();
}

// ---- table

kit::View* KZShareListViewController::makeCell(const QString& identifier, const QString& text) {
    auto* cell = m_tableView->makeView<KZShareLabelCellView>(identifier);
    if (cell)
        cell->setStringValue(text);
    return cell;
}

kit::View* KZShareListViewController::commonCell(const QString& column, const ShareInfoPtr& share) {
    if (column == kNameColumn) {
        auto* cell = static_cast<KZTableViewFileNameCellView*>(makeCell(kNameCell, share->desc()));
        if (cell)
            cell->iconImageView()->setImage(KZTools::getDefaultIconForShareInfo(share));
        return cell;
    }
    if (column == kSizeColumn)
        return makeCell(kDefaultCell, KZTools::convertSizeToReadable(
                                          quint64(std::max(0.0, share->count_size().toDouble()))));
    if (column == kExpireColumn)
        return makeCell(kDefaultCell, KZShareText::expireText(share->expire()));
    if (column == kDownloadColumn)
        return makeCell(kDefaultCell, share->count_download());
    return nullptr;
}

kit::View* KZShareListViewController::tableViewViewForTableColumn(kit::TableView*, kit::TableColumn* column,
                                                                  int row) {
    if (!column || row < 0 || row >= m_shareList.size() || column->identifier() == kCheckColumn)
        return nullptr;
    return cellForColumn(column->identifier(), m_shareList.at(row));
}

kit::TableRowView* KZShareListViewController::tableViewRowViewForRow(kit::TableView* table, int) {
    auto* row = table->makeView<KZTableViewRowView>(kRowId);
    if (row)
        row->setDelegate(this);
    return row;
}

void KZShareListViewController::tableViewSelectionDidChange(kit::TableView* table) {
    selectRowsAtIndexes(table->selectedRowIndexes());
}

// ---- selection

void KZShareListViewController::updateHeaderCheckBox() {
    if (!m_headerView)
        return;
    // Over no links there is nothing to select: the box is neither ticked nor offered.
    m_headerView->setEnable(!m_shareList.isEmpty());
    m_headerView->setSelected(!m_shareList.isEmpty() && m_selectedShareInfos.size() == m_shareList.size());
}

void KZShareListViewController::selectRowsAtIndexes(const kit::IndexSet& indexes) {
    for (const auto& s : std::as_const(m_shareList))
        s->setSelected(false);
    m_selectedShareInfos.clear();
    for (int i : indexes.toList()) {
        if (i < 0 || i >= m_shareList.size())
            continue;
        m_shareList[i]->setSelected(true);
        m_selectedShareInfos.append(m_shareList[i]);
    }
    updateHeaderCheckBox();
    refreshToolBar();
    refreshHomeToolBarMessage();
    closeFileOperateMenu();
}

// The table reports every change of its selection, which rebuilds the links' side of it.
void KZShareListViewController::selectAllRows() {
    m_tableView->selectAll();
}

void KZShareListViewController::deselectAllRows() {
    if (isViewLoaded())
        m_tableView->deselectAll();
}

void KZShareListViewController::didPressCmdA() {
    selectAllRows();
}

void KZShareListViewController::tableCheckBoxHeaderViewDidPressSelectButton(KZTableCheckboxHeaderView*,
                                                                            KZCheckBoxButton* button) {
    if (button && button->checked())
        selectAllRows();
    else
        deselectAllRows();
    closeFileOperateMenu();
}

void KZShareListViewController::tableViewRowViewDidCheckBoxSelected(KZTableViewRowView* rowView,
                                                                    bool selected) {
    const int row = m_tableView->rowForView(rowView);
    if (row < 0)
        return;
    if (selected)
        m_tableView->selectRowIndexes(kit::IndexSet(row), true);
    else
        m_tableView->deselectRow(row);
    closeFileOperateMenu();
}

// ---- menus

void KZShareListViewController::selectClickedRow(int row) {
    if (row < 0 || m_tableView->isRowSelected(row))
        return;
    m_tableView->selectRowIndexes(kit::IndexSet(row), false);
}

void KZShareListViewController::fileRowViewRightMouseUp(KZTableViewRowView* rowView,
                                                        const kit::Event& event) {
    m_currentPoint = event.locationInWindow();
    if (newMenuForEveryRightClick()) {
        closeFileOperateMenu();
        if (m_fileOperateMenu)
            m_fileOperateMenu->deleteLater();
        m_fileOperateMenu = new KZFileOperateMenuWindowController(this);
        m_fileOperateMenu->setDelegate(this);
    }
    selectClickedRow(m_tableView->rowForView(rowView));
    const QList<KZFileOperateMenuItemPtr> items = getfileOperateMenuItems();
    if (items.isEmpty() || !m_fileOperateMenu || !viewWindow())
        return;
    m_fileOperateMenu->showInWindow(viewWindow(), m_currentPoint, items);
}

void KZShareListViewController::fileOperateMenuSelectedItem(const KZFileOperateMenuItemPtr& item,
                                                            kit::TableView*) {
    if (item)
        menuItemChosen(item->type());
}

// ---- cancelling and deleting

void KZShareListViewController::sendCancel(const QList<ShareInfoPtr>& links, const QString& type,
                                           const QString& waitingText) {
    if (links.isEmpty())
        return;
    const qint64 id = KZSessionProxy::shareSessionProxy()->requestCancelShare(
        links, this, {{QStringLiteral("type"), type}});
    m_cancelling.insert(id, links);
    KZToast::showToast(view(), waitingText, false, false);
}

void KZShareListViewController::kzSessionRequestCancelShare(KZAbstractSession*, qint64 requestId,
                                                            const QVariantMap&) {
    // By link, not by record: a fetch answered meanwhile has replaced the records of these links.
    QSet<QString> gone;
    for (const ShareInfoPtr& s : m_cancelling.take(requestId))
        gone.insert(s->shorturl());
    m_shareList.removeIf([&](const ShareInfoPtr& s) { return gone.contains(s->shorturl()); });
    m_selectedShareInfos.clear();
    for (const auto& s : std::as_const(m_shareList))
        s->setSelected(false);
    m_tableView->deselectAll();
    m_tableView->reloadData();
    KZToast::showToastWithSucessMessageAfterDelay(view(), cancelSuccessText(), kToastDelay);
    KZMessageSet::reloadMessageSet(view());
    updateHeaderCheckBox();
    refreshToolBar();
    refreshHomeToolBarMessage();
}

void KZShareListViewController::kzSessionRequestCancelShareFail(KZAbstractSession*, qint64 requestId,
                                                                const QVariantMap&, const BWError& error) {
    const QList<ShareInfoPtr> sent = m_cancelling.take(requestId);
    KZToast::showToastWithErrorMessageAfterDelay(view(), KZShareText::errorText(error, cancelFailureText()),
                                                 kToastDelay);
    // The service stops at the first link it cannot handle; the ones before it are done, so the
    // list is fetched again rather than left showing them.
    if (sent.size() > 1)
        requestShareList();
}

// ---- bottom bar and states

void KZShareListViewController::refreshHomeToolBarMessage() {
    m_homeToolBarMessage = bottomBarText();
    // The bar belongs to the page on screen: a list changed while hidden leaves it alone.
    if (isViewVisible())
        KZWindowsManager::showMessageInBottomBarRightArea(m_homeToolBarMessage);
}

kit::AttributedString KZShareListViewController::overdueTitle() {
    const QVariantMap detail = KZSessionProxy::shareSessionProxy()->userDetail();
    if (!nubo::safe::boolean(detail, QStringLiteral("is_admin")))
        return KZMessageSetModules::memberOverdueDescription();
    return nubo::safe::boolean(detail, QStringLiteral("is_person"))
               ? KZMessageSetModules::personalOverdueDescription()
               : KZMessageSetModules::adminOverdueDescription();
}

bool KZShareListViewController::messageSetViewShouldDisplay(QWidget*) {
    return User::isTotallyOverdue() || m_shareList.isEmpty();
}

bool KZShareListViewController::messageSetViewShouldInterceptionEvents(QWidget*) {
    return User::isTotallyOverdue();
}

QMargins KZShareListViewController::insetsForMessageSetView(QWidget*) {
    if (User::isTotallyOverdue() || !m_shareList.isEmpty())
        return {};
    // The table's frame takes in its header; the empty state goes under it.
    return emptyInsets() + QMargins(0, int(m_tableView->headerHeight()), 0, 0);
}

QWidget* KZShareListViewController::containerViewForMessageSetView(QWidget*) {
    if (!User::isTotallyOverdue() && m_shareList.isEmpty())
        return m_tableView;
    return view();
}

kit::AttributedString KZShareListViewController::titleForMessageSetView(QWidget*) {
    return User::isTotallyOverdue() ? overdueTitle() : kit::AttributedString();
}

kit::AttributedString KZShareListViewController::descriptionForMessageSetView(QWidget*) {
    if (User::isTotallyOverdue())
        return {};
    if (const BWError why = signInFailure(); why && m_shareList.isEmpty())
        return KZMessageSetModules::unreadableShareListDescription(why.localizedDescription());
    return emptyDescription();
}

kit::Image KZShareListViewController::imageForMessageSetView(QWidget*) {
    return User::isTotallyOverdue() ? KZMessageSetModules::overdueImage()
                                    : KZMessageSetModules::emptyShareListImage();
}

QList<KZButton*> KZShareListViewController::buttonsForMessageSetView(QWidget*) {
    if (User::isTotallyOverdue() &&
        nubo::safe::boolean(KZSessionProxy::shareSessionProxy()->userDetail(), QStringLiteral("is_admin")))
        return KZMessageSetModules::overdueButtons();
    return {};
}
