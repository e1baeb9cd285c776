#include "ui/files/KZFilesViewController.h"

#include "cloud/KZSessionProxy.h"
#include "foundation/Dispatch.h"
#include "foundation/NotificationCenter.h"
#include "foundation/SingletonT.h"
#include "shell/KZButton.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZMessageSet.h"
#include "shell/KZRouter.h"
#include "shell/KZStyle.h"
#include "shell/KZTools.h"
#include "shell/KZWindowsManager.h"
#include "storage/SystemConfig.h"
#include "ui/files/KZFileInfoCell.h"
#include "ui/files/KZFilesImages.h"
#include "ui/files/KZFilesViewContentView.h"
#include "ui/files/KZNewFolderNameGenerator.h"
#include "ui/files/KZSpinnerView.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>

namespace {

constexpr double kNavigationBarHeight = 48;
constexpr double kToolBarHeight = 44;
constexpr double kRowHeight = 44;
constexpr double kCheckColumnWidth = 40;
constexpr double kNameColumnMinWidth = 140;
const QString kCheckColumn = QStringLiteral("KZCheckColumn");

// The page's root view: it lays the bars and the list out on every resize.
class KZFilesPageView : public kit::View {
public:
    explicit KZFilesPageView(std::function<void()> onLayout) : m_onLayout(std::move(onLayout)) {}

    // Clicks that no row, item or control took end here.
    std::function<void(const kit::Event&)> onMouseDown;
    std::function<void(const kit::Event&)> onRightMouseUp;

protected:
    void layout() override {
        if (m_onLayout)
            m_onLayout();
    }
    void mouseDown(const kit::Event& e) override {
        if (onMouseDown)
            onMouseDown(e);
    }
    void rightMouseUp(const kit::Event& e) override {
        if (onRightMouseUp)
            onRightMouseUp(e);
    }

private:
    std::function<void()> m_onLayout;
};

KZButton* makeNavigationButton(const QString& image, const QObject* context, std::function<void()> action) {
    auto* b = new KZButton;
    b->setImage(KZFilesImages::named(image).toImage());
    b->setAction(context, [action = std::move(action)](KZButton*) { action(); });
    b->setEnabled(false);
    return b;
}

} // namespace

void KZFilesViewController::registerWithRouter() {
    KZInitializer init(kClassName, [](const QVariantMap&) -> QObject* {
        return new KZFilesViewController(CloudFileInfo::rootFile());
    });
    init.setLongLife(true);
    KZRouter::shareInstance().registerEntityInitializer(init);
}

KZFilesViewController::KZFilesViewController(const CloudFileInfoPtr& fileInfo, QObject* parent)
    : KZBaseViewController(parent), m_fileInfo(fileInfo ? fileInfo : CloudFileInfo::rootFile()),
      m_folderNameGenerator(std::make_unique<KZNewFolderNameGenerator>()) {
    initData();
}

KZFilesViewController::~KZFilesViewController() {
    KZSessionProxy::shareSessionProxy()->removeSessionObserver(this);
    KZUploadMgrProxy::shareUploadMgrProxy()->removeUploadMgrProxyObserver(this);
    KZDownloadMgrProxy::shareDownloadMgrProxy()->removeDownloadMgrProxyObserver(this);
    nubo::NotificationCenter::defaultCenter().removeObserver(this);
    KZShortcutKeysManager::shareInstance().removeShortcutKeysObserver(this);
}

void KZFilesViewController::initData() {
    m_fileListSortMode = nubo::SingletonT<nubo::SystemConfig>::instance().getCloudFileSort();
    m_files.clear();
    m_selectedFiles.clear();
    m_nodeIndexs.clear();
    m_tableViewOffsets.clear();
    m_collectionViewOffsets.clear();
    m_creatingFiles.clear();
}

uint KZFilesViewController::filesContainerStyle() const {
    return m_switcher ? m_switcher->style() : uint(KZFileListStyleList);
}

void KZFilesViewController::loadView() {
    auto* page = new KZFilesPageView([this] { layoutPage(); });
    page->onMouseDown = [this](const kit::Event&) { closeAllMenus(); };
    page->onRightMouseUp = [this](const kit::Event& e) {
        // Only the list's own area offers the blank-area menu, not the bars above it.
        if (m_centerView &&
            m_centerView->bounds().contains(m_centerView->convertFromWindow(e.locationInWindow())))
            rightMouseUp(e);
    };
    m_navigationBar = new kit::View;
    m_navigationBarSeprator = new kit::View;
    m_toolBarContainer = new kit::View;
    m_contentView = new KZFilesViewContentView;
    m_centerView = new kit::View;
    m_goBackButton = makeNavigationButton(QStringLiteral("files_go_back"), this, [this] { actionGoback(); });
    m_goForwardButton =
        makeNavigationButton(QStringLiteral("files_go_forward"), this, [this] { actionGoForward(); });
    m_folderCrumbs = new KZFolderCrumbs;
    m_refreshButton =
        makeNavigationButton(QStringLiteral("files_refresh"), this, [this] { actionIncrUpdate(); });
    m_refreshButton->setEnabled(true);
    m_refreshProgressIndicator = new KZSpinnerView;
    m_toolBar = new KZFilesToolBar;
    m_switcher = new KZFileListStyleSwitcher;
    m_tableView = new kit::TableView;
    m_collectionView = new KZCollectionView;
    m_fileSearchView = new KZFileSearchView;
    m_searchTextField = new kit::TextField;
    m_searchOptionsView = new KZSearchOptionsView;

    page->addSubview(m_navigationBar);
    page->addSubview(m_navigationBarSeprator);
    page->addSubview(m_toolBarContainer);
    page->addSubview(m_searchOptionsView);
    page->addSubview(m_contentView);
    m_navigationBar->addSubview(m_goBackButton);
    m_navigationBar->addSubview(m_goForwardButton);
    m_navigationBar->addSubview(m_folderCrumbs);
    m_toolBarContainer->addSubview(m_refreshButton);
    m_toolBarContainer->addSubview(m_refreshProgressIndicator);
    m_refreshProgressIndicator->stopAnimation(); // shown only while a refresh runs
    m_navigationBar->addSubview(m_fileSearchView);
    // The key mirror is not on screen; it only has to exist.
    m_searchTextField->setParent(page);
    m_searchTextField->hide();
    m_toolBarContainer->addSubview(m_toolBar);
    m_toolBarContainer->addSubview(m_switcher);
    m_contentView->addSubview(m_centerView);
    m_centerView->addSubview(m_tableView);
    m_centerView->addSubview(m_collectionView);
    setView(page);
}

void KZFilesViewController::viewDidLoad() {
    KZBaseViewController::viewDidLoad();
    initUI();
    addObservers();
    view()->setCustomBackgroundColor(Qt::transparent);
}

void KZFilesViewController::initUI() {
    initToolBarUI();
    initContentViewUI();
    initNavigationBarUI();
    initSearchUI();
    view()->setCornerRadius(12.0);
}

void KZFilesViewController::initToolBarUI() {
    m_toolBarContainer->setCustomBackgroundColor(Qt::white);
    m_switcher->setDelegate(this);
    auto item = [this](const QString& title, const QString& image, std::function<void()> action) {
        return KZFilesToolBarItem::toolBarItemWithTitle(
            title, image, false, this, [action = std::move(action)](KZFilesToolBarItemView*) {
                if (action)
                    action();
            });
    };
    m_uploadItem =
        item(QStringLiteral("上传"), QStringLiteral("files_upload"), [this] { actionUploadFile(); });
    m_folderItem = item(QStringLiteral("新建"), QStringLiteral("files_new"), [this] { actionCreateDir(); });
    m_downloadItem =
        item(QStringLiteral("下载"), QStringLiteral("files_download"), [this] { actionDownloadFile(); });
    m_deleteItem =
        item(QStringLiteral("删除"), QStringLiteral("files_delete"), [this] { actionDeleteFile(); });
    // "更多" and "排序" open their pop-up menus (the menu windows' part).
    m_moreItem =
        item(QStringLiteral("更多"), QStringLiteral("files_more"), [this] { actionMoreFileOperation(); });
    m_sortItem = item(QStringLiteral("排序"), QStringLiteral("files_sorts"), [this] { actionSortFile(); });
    m_toolBar->setLeftItems({m_uploadItem, m_folderItem, m_downloadItem, m_deleteItem, m_moreItem});
    m_toolBar->setRightItems({m_sortItem});
    refreshToolbarItemState();
}

void KZFilesViewController::initContentViewUI() {
    m_centerView->setCustomBackgroundColor(Qt::white);

    m_tableView->addTableColumn(kCheckColumn, QString(), kCheckColumnWidth);
    m_tableView->addTableColumn(QStringLiteral("name"), kColumnName, 360);
    m_tableView->addTableColumn(QStringLiteral("size"), kColumnSize, 110);
    m_tableView->addTableColumn(QStringLiteral("type"), kColumnType, 140);
    m_tableView->addTableColumn(QStringLiteral("mtime"), kColumnModifyTime, 170);
    auto* header = new KZTableCheckboxHeaderView;
    header->setTableView(m_tableView);
    header->setDelegate(this);
    header->setFrameSize(QSizeF(header->width(), kTableHeaderHeight));
    m_tableHeaderView = header;
    m_tableView->setHeaderView(header);
    m_tableView->setRowHeight(kRowHeight);
    m_tableView->setAllowsMultipleSelection(true);
    m_tableView->setSelectionHighlightStyle(kit::SelectionHighlightStyle::None);
    m_tableView->registerView(KZFileRowView::kIdentifier, [] { return new KZFileRowView; });
    m_tableView->registerView(KZFileInfoCell::kIdentifier, [] { return new KZFileInfoCell; });
    m_tableView->registerView(KZFilePathCell::kIdentifier, [] { return new KZFilePathCell; });
    m_tableView->setDoubleAction(this, [this] { actionDoubleClick(); });
    m_tableView->setAction(this, [this] { closeAllMenus(); });

    initGridUI();
    initDragAndDrop();

    // The saved style picks the container (the switcher tells us at once).
    m_switcher->setStyle(uint(nubo::SingletonT<nubo::SystemConfig>::instance().getFilelistViewMode()));
    // No rows until the first list arrives (which may fail): nothing to select yet.
    refreshTableHeaderViewState();
}

void KZFilesViewController::initNavigationBarUI() {
    m_navigationBar->setCustomBackgroundColor(Qt::white);
    m_navigationBarSeprator->setCustomBackgroundColor(KZStyle::separatorColor());
    m_folderCrumbs->setDelegate(this);
    refreshFolderCrumbs();
}

void KZFilesViewController::layoutPage() {
    kit::View* page = view();
    const double w = page->width();
    m_navigationBar->setFrame(QRectF(0, 0, w, kNavigationBarHeight));
    m_goBackButton->setFrame(QRectF(16, (kNavigationBarHeight - 24) / 2, 24, 24));
    m_goForwardButton->setFrame(QRectF(48, (kNavigationBarHeight - 24) / 2, 24, 24));
    const double crumbsLeft = 88;
    const double oldCrumbsWidth = m_folderCrumbs->width();
    layoutSearchViews(w);
    m_folderCrumbs->setFrame(QRectF(crumbsLeft, 0, std::max(0.0, m_fileSearchView->left() - crumbsLeft - 16),
                                    kNavigationBarHeight));
    // The crumbs are chosen for the bar's width: choose again once the bar first has one.
    if (oldCrumbsWidth <= 0 && m_folderCrumbs->width() > 0)
        refreshFolderCrumbs();
    m_navigationBarSeprator->setFrame(QRectF(0, kNavigationBarHeight, w, 1));
    m_toolBarContainer->setFrame(QRectF(0, kNavigationBarHeight + 1, w, kToolBarHeight));
    m_switcher->setFrame(QRectF(w - 16 - 49, (kToolBarHeight - 26) / 2, 49, 26));
    // The refresh button sits between the operations and the style switcher.
    const QRectF refresh(m_switcher->left() - 16 - 24, (kToolBarHeight - 24) / 2, 24, 24);
    m_refreshButton->setFrame(refresh);
    m_refreshProgressIndicator->setFrame(refresh);
    m_toolBar->setFrame(QRectF(16, 0, std::max(0.0, refresh.left() - 16 - 16), kToolBarHeight));
    m_searchOptionsView->setFrame(QRectF(0, m_toolBarContainer->bottom(), w, m_searchOptionsViewHeight));
    m_searchOptionsView->setHidden(m_searchOptionsViewHeight <= 0);
    const double top = m_searchOptionsView->bottom();
    m_contentView->setFrame(QRectF(0, top, w, std::max(0.0, page->height() - top)));
    m_centerView->setFrame(m_contentView->bounds());
    fitNameColumn(m_centerView->width());
    m_tableView->setFrame(m_centerView->bounds());
    m_collectionView->setFrame(m_centerView->bounds());
}

// The table does not scroll sideways: the name column takes what the other columns leave (less a
// scroll bar), so the last column stays in view at the window's smallest width and a wider window
// gives its room to the names.
void KZFilesViewController::fitNameColumn(double tableWidth) {
    const int name = nameColumn();
    if (name < 0)
        return;
    double others = m_tableView->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_tableView);
    const QList<kit::TableColumn*> columns = m_tableView->tableColumns();
    for (int i = 0; i < columns.size(); ++i)
        if (i != name)
            others += columns.at(i)->width();
    columns.at(name)->setWidth(std::max(kNameColumnMinWidth, tableWidth - others));
}

void KZFilesViewController::addObservers() {
    KZSessionProxy::shareSessionProxy()->addSessionObserver(this);
    KZUploadMgrProxy::shareUploadMgrProxy()->addUploadMgrProxyObserver(this);
    KZDownloadMgrProxy::shareDownloadMgrProxy()->addDownloadMgrProxyObserver(this);
    nubo::NotificationCenter::defaultCenter().addObserver(
        this, kUploadFilesNotification,
        [this](const nubo::Notification&) { nubo::runOn(this, [this] { uploadFilesButtonsAction(); }); });
}

void KZFilesViewController::setExpectFilePath(const QString& path) {
    m_expectFilePath = path;
    // On screen already: no appearing is coming to pick the path up.
    if (isViewVisible())
        openExpectFilePath();
}

void KZFilesViewController::openExpectFilePath() {
    QString path = m_expectFilePath;
    m_expectFilePath.clear();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (path.isEmpty())
        return;
    QString parent = path.section(QLatin1Char('/'), 0, -2);
    if (parent.isEmpty())
        parent = QStringLiteral("/");
    openDirWithJumpPath(parent, path, false);
}

void KZFilesViewController::viewDidAppear() {
    if (!m_expectFilePath.isEmpty())
        openExpectFilePath();
    else
        reloadFiles();
    KZShortcutKeysManager::shareInstance().addShortcutKeysObserver(this);
}

void KZFilesViewController::viewWillDisappear() {
    deselectAllRows();
    m_homeToolBarMessage.clear();
    KZWindowsManager::showMessageInBottomBarRightArea(QString());
    KZShortcutKeysManager::shareInstance().removeShortcutKeysObserver(this);
    closeAllMenus();
}

// ---- refresh routines

void KZFilesViewController::refreshFolderCrumbs() {
    if (!m_folderCrumbs || !m_fileInfo)
        return;
    // The search crumb is one title, whatever the key holds (a "/" splits nothing).
    m_folderCrumbs->setFullPath(
        m_fileInfo->path(),
        m_fileInfo->isSearch() ? QStringLiteral("“%1”的搜索结果").arg(m_fileInfo->searchKey()) : QString());
}

void KZFilesViewController::refreshToolbarItemState() {
    if (!m_toolBar)
        return;
    const bool search = m_fileInfo && m_fileInfo->isSearch();
    m_toolBar->setEnable(!search, m_uploadItem);
    m_toolBar->setEnable(!search, m_folderItem);
    const bool any = !m_selectedFiles.isEmpty();
    m_toolBar->setEnable(any, m_downloadItem);
    m_toolBar->setEnable(any, m_deleteItem);
    m_toolBar->setEnable(any, m_moreItem);
}

void KZFilesViewController::refreshTableHeaderViewState() {
    if (!m_tableHeaderView)
        return;
    const bool any = !m_files.isEmpty();
    m_tableHeaderView->setEnable(any);
    m_tableHeaderView->setSelected(any && m_selectedFiles.size() == m_files.size());
    if (m_collectionHeaderView) {
        m_collectionHeaderView->setEnable(any);
        m_collectionHeaderView->setSelected(any && m_selectedFiles.size() == m_files.size());
    }
}

void KZFilesViewController::refreshHomeToolBarMessage() {
    QString text;
    if (m_selectedFiles.isEmpty()) {
        text = QStringLiteral("共%1个文件").arg(m_files.size());
    } else if (m_selectedFiles.size() == 1) {
        const CloudFileInfoPtr& f = m_selectedFiles.first();
        text = QStringLiteral("%1 %2  修改日期：%3")
                   .arg(KZTools::fileType(f), f->name(), KZTools::getReadableTimeInterval(f->m_fmtime()));
    } else {
        text = QStringLiteral("已选中%1个文件").arg(m_selectedFiles.size());
    }
    m_homeToolBarMessage = text;
    KZWindowsManager::showMessageInBottomBarRightArea(text);
}

void KZFilesViewController::reloadData() {
    if (!isViewLoaded())
        return;
    if (filesContainerStyle() == KZFileListStyleGrid)
        m_collectionView->reloadData();
    else
        m_tableView->reloadData();
    KZMessageSet::reloadMessageSet(view());
}

// ---- commands of the views

void KZFilesViewController::actionGoback() {
    closeAllMenus();
    openDirForGoBack();
}

void KZFilesViewController::actionGoForward() {
    closeAllMenus();
    openDirForGoForword();
}

void KZFilesViewController::actionDoubleClick() {
    if (m_fileSearchView)
        m_fileSearchView->resetText();
    openClickedFile(convertFileFromClickPosition());
}

void KZFilesViewController::openClickedFile(const CloudFileInfoPtr& f) {
    // A folder still being created has no node to open.
    if (!f || KZLocalFileInfo::isLocal(f.get()))
        return;
    if (f->isDirectory())
        openDir(f);
    else if (f->m_category() == 1)
        previewImage(f);
    else
        downloadFiles(m_selectedFiles);
}

void KZFilesViewController::folderCrumbsDidClickDirectoryPath(const QString& path) {
    closeAllMenus();
    requestFileList(-3, path, {{kRestoreOffsetKey, 1}});
}

void KZFilesViewController::fileRowViewDidClickCheckBox(KZFileRowView* rowView, KZCheckBoxButton* checkBox) {
    closeAllMenus();
    const CloudFileInfoPtr f = rowView->fileInfo();
    const int row = f ? int(m_files.indexOf(f)) : -1;
    if (row < 0)
        return;
    if (checkBox->checked()) {
        if (!m_selectedFiles.contains(f))
            m_selectedFiles.append(f);
        m_tableView->selectRowIndexes(kit::IndexSet(row), true);
    } else {
        m_selectedFiles.removeAll(f);
        m_tableView->deselectRow(row);
    }
    refreshToolbarItemState();
    refreshHomeToolBarMessage();
}

void KZFilesViewController::tableCheckBoxHeaderViewDidPressSelectButton(KZTableCheckboxHeaderView*,
                                                                        KZCheckBoxButton* button) {
    if (button->checked())
        selectAllRows();
    else
        deselectAllRows();
}
