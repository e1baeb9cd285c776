// The file page's operation menus (the context menu, the toolbar's "more" menu and sort pop-up),
// the dispatch of their entries, the sort and display commands and the closing of every pop-up.
#include "ui/files/KZFilesViewController.h"

#include "kit/Window.h"
#include "shell/KZTools.h"
#include "shell/KZWindowsManager.h"
#include "ui/files/KZFilePathCell.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcFileMenus, "nubo.ui.files.menus", QtInfoMsg)

namespace {

using Item = KZFileOperateMenuItem;

KZFileOperateMenuItemPtr entry(const QString& title, KZFileOperateItemType type) {
    return Item::itemWithTitle(title, type);
}

// Whether any of the files is not shared yet (then "分享" is offered, else the share's own entries).
bool anyUnshared(const QList<CloudFileInfoPtr>& files) {
    for (const CloudFileInfoPtr& f : files)
        if (!f->m_isLink())
            return true;
    return false;
}

} // namespace

// ---- the pop-ups

KZFileOperateMenuWindowController* KZFilesViewController::fileOperateMenu() {
    if (!m_fileOperateMenu) {
        m_fileOperateMenu = new KZFileOperateMenuWindowController(this);
        m_fileOperateMenu->setDelegate(this);
    }
    return m_fileOperateMenu;
}

KZFileSortWindowController* KZFilesViewController::fileSortMenu() {
    if (!m_fileSortMenu) {
        m_fileSortMenu = new KZFileSortWindowController(this);
        m_fileSortMenu->setDelegate(this);
    }
    return m_fileSortMenu;
}

void KZFilesViewController::closeAllMenus() {
    if (m_fileOperateMenu)
        m_fileOperateMenu->close();
    if (m_moreOperateMenu)
        m_moreOperateMenu->close();
    if (m_fileSortMenu)
        m_fileSortMenu->close();
    KZWindowsManager::shareInstance().closeUserInfoWindow();
}

// ---- what the menus offer

bool KZFilesViewController::updateClickedRow() {
    const uint style = filesContainerStyle();
    int clicked = -1;
    bool selected = false;
    if (style == KZFileListStyleList && m_tableView) {
        clicked = m_tableView->clickedRow();
        selected = m_tableView->isRowSelected(clicked);
    } else if (style == KZFileListStyleGrid && m_collectionView) {
        const auto path = m_collectionView->clickedItemIndexPath();
        clicked = path ? path->item : -1;
        selected = clicked >= 0 && m_collectionView->selectionIndexes().contains(clicked);
    } else {
        return true;
    }
    if (clicked >= m_files.size())
        clicked = -1;
    if (clicked >= 0 && selected)
        return false;
    deselectAllRows();
    if (clicked < 0)
        return true;
    if (style == KZFileListStyleList)
        m_tableView->selectRowIndexes(kit::IndexSet(clicked), true);
    else
        m_collectionView->selectItems({kit::IndexPath{0, clicked}}, kit::ScrollPosition::None);
    selectRowsAtIndexes(kit::IndexSet(clicked));
    return false;
}

QList<KZFileOperateMenuItemPtr> KZFilesViewController::getOperateMenuItems() {
    const bool blank = updateClickedRow();
    const bool search = m_fileInfo && m_fileInfo->isSearch();
    QList<KZFileOperateMenuItemPtr> items;
    if (blank) {
        if (!search) {
            items << entry(QStringLiteral("上传"), KZFileOperateItemTypeUpload)
                  << entry(QStringLiteral("新建文件夹"), KZFileOperateItemTypeNewFolder);
            if (!URLsOfPasteboardFiles().isEmpty() || cloudFilesItemInPasteboard())
                items << entry(QStringLiteral("粘贴"), KZFileOperateItemTypePaste);
        }
        items << entry(QStringLiteral("刷新"), KZFileOperateItemTypeRefresh)
              << entry(QStringLiteral("查看"), KZFileOperateItemTypeDisplayMode)
              << entry(QStringLiteral("排序"), KZFileOperateItemTypeSort);
        return items;
    }
    const int n = int(m_selectedFiles.size());
    const CloudFileInfoPtr first = m_selectedFiles.value(0);
    if (n == 1 && first->canPreview())
        items << entry(QStringLiteral("打开"), KZFileOperateItemTypeOpen);
    if (n == 1 && search)
        items << entry(QStringLiteral("打开文件位置"), KZFileOperateItemTypeOpenLocation);
    items << entry(QStringLiteral("下载"), KZFileOperateItemTypeDownload) << Item::separatorItem();
    if (!search)
        items << entry(QStringLiteral("复制到"), KZFileOperateItemTypeCopyTo)
              << entry(QStringLiteral("移动到"), KZFileOperateItemTypeMoveTo);
    if (n == 1) {
        items << entry(QStringLiteral("重命名"), KZFileOperateItemTypeRename) << Item::separatorItem();
        if (!first->isDirectory())
            items << entry(QStringLiteral("历史版本"), KZFileOperateItemTypeHistoryVersion)
                  << Item::separatorItem();
    }
    if (anyUnshared(m_selectedFiles))
        items << entry(QStringLiteral("分享"), KZFileOperateItemTypeShare) << Item::separatorItem();
    else
        items << entry(QStringLiteral("查看分享"), KZFileOperateItemTypeViewShare)
              << entry(QStringLiteral("取消分享"), KZFileOperateItemTypeCancelShare) << Item::separatorItem();
    items << entry(QStringLiteral("删除"), KZFileOperateItemTypeDelete);
    return items;
}

QList<KZFileOperateMenuItemPtr> KZFilesViewController::getmoreOperationItems() const {
    QList<KZFileOperateMenuItemPtr> items;
    if (anyUnshared(m_selectedFiles))
        items << entry(QStringLiteral("分享"), KZFileOperateItemTypeShare) << Item::separatorItem();
    else
        items << entry(QStringLiteral("查看分享"), KZFileOperateItemTypeViewShare)
              << entry(QStringLiteral("取消分享"), KZFileOperateItemTypeCancelShare) << Item::separatorItem();
    if (!(m_fileInfo && m_fileInfo->isSearch()))
        items << entry(QStringLiteral("移动到"), KZFileOperateItemTypeMoveTo)
              << entry(QStringLiteral("复制到"), KZFileOperateItemTypeCopyTo);
    if (m_selectedFiles.size() == 1) {
        items << entry(QStringLiteral("重命名"), KZFileOperateItemTypeRename);
        if (!m_selectedFiles.first()->isDirectory())
            items << Item::separatorItem()
                  << entry(QStringLiteral("历史版本"), KZFileOperateItemTypeHistoryVersion);
    }
    return items;
}

// ---- opening them

void KZFilesViewController::showOperateMenu(const kit::Event& event, bool withModes) {
    closeAllMenus();
    kit::Window* window = view()->kitWindow();
    if (!window)
        return;
    const QList<KZFileOperateMenuItemPtr> items = getOperateMenuItems();
    if (withModes)
        fileOperateMenu()->showInWindow(window, event.locationInWindow(), items, m_fileListSortMode,
                                        filesContainerStyle());
    else
        fileOperateMenu()->showInWindow(window, event.locationInWindow(), items);
}

void KZFilesViewController::rightMouseUp(const kit::Event& event) {
    showOperateMenu(event, true);
}

void KZFilesViewController::fileRowViewRightMouseUp(KZFileRowView*, const kit::Event& event) {
    qCDebug(lcFileMenus, "rightMouseUp==%f===%f", event.locationInWindow().x(), event.locationInWindow().y());
    showOperateMenu(event, false);
}

void KZFilesViewController::fileInfoItemViewRightMouseUp(KZFileInfoItemView*, const kit::Event& event) {
    showOperateMenu(event, false);
}

QPointF KZFilesViewController::pointUnderToolBarItem(const KZFilesToolBarItemPtr& item,
                                                     bool rightEdge) const {
    if (!m_toolBar)
        return {};
    for (const auto* views : {&m_toolBar->leftItemViews(), &m_toolBar->rightItemViews()})
        for (KZFilesToolBarItemView* v : *views)
            if (v->item() == item) {
                kit::Window* w = v->kitWindow();
                const QPointF inWindow = v->convertToWindow(QPointF(rightEdge ? v->width() : 0, v->height()));
                return w ? QPointF(w->left(), w->top()) + inWindow : inWindow;
            }
    return {};
}

void KZFilesViewController::actionMoreFileOperation() {
    closeAllMenus();
    kit::Window* window = view()->kitWindow();
    if (!window)
        return;
    if (m_toolBar)
        window->makeFirstResponder(m_toolBar);
    if (m_moreOperateMenu)
        m_moreOperateMenu->deleteLater();
    m_moreOperateMenu = new KZFileOperateMenuWindowController(this);
    m_moreOperateMenu->setDelegate(this);
    // Under the "更多" button, wherever the page's layout put it.
    m_moreOperateMenu->moreOperateMenuShowInWindow(window, pointUnderToolBarItem(m_moreItem, false),
                                                   getmoreOperationItems());
}

void KZFilesViewController::resizeContent() {
    if (m_moreOperateMenu && m_moreOperateMenu->window()->isVisible())
        m_moreOperateMenu->updateMoreOperateMenuFrameWithPoint(pointUnderToolBarItem(m_moreItem, false));
}

void KZFilesViewController::actionSortFile() {
    closeAllMenus();
    kit::Window* window = view()->kitWindow();
    if (!window)
        return;
    if (m_toolBar)
        window->makeFirstResponder(m_toolBar);
    KZFileSortWindowController* menu = fileSortMenu();
    window->removeChildWindow(menu->window());
    // Hanging from the "排序" button's lower edge, flush with its right side.
    const QPointF corner = pointUnderToolBarItem(m_sortItem, true);
    const double height = Item::menuHeightForItems(menu->getFileSortItems());
    menu->showInWindowSortMode(window,
                               QPointF(corner.x() - KZFileSortWindowController::kWidth, corner.y() - height),
                               m_fileListSortMode);
}

// ---- choices

void KZFilesViewController::fileOperateMenuSelectedItem(const KZFileOperateMenuItemPtr& item,
                                                        kit::TableView*) {
    if (!item)
        return;
    switch (item->type()) {
    case KZFileOperateItemTypeOpen:
        actionMenuItemOpenFile();
        break;
    case KZFileOperateItemTypeCopyTo:
        actionCopyFile();
        break;
    case KZFileOperateItemTypePaste:
        actionMenuItemPaste();
        break;
    case KZFileOperateItemTypeMoveTo:
        actionMoveFile();
        break;
    case KZFileOperateItemTypeRename:
        actionRenameFile();
        break;
    case KZFileOperateItemTypeShare:
        actionShareFile();
        break;
    case KZFileOperateItemTypeViewShare:
        actionMenuItemLookShare();
        break;
    case KZFileOperateItemTypeCancelShare:
        actionCancelShare();
        break;
    case KZFileOperateItemTypeDelete:
        actionDeleteFile();
        break;
    case KZFileOperateItemTypeHistoryVersion:
        actionFileHistory();
        break;
    case KZFileOperateItemTypeNewFolder:
        actionCreateDir();
        break;
    case KZFileOperateItemTypeOpenLocation:
        actionMenuItemLocationFile();
        break;
    case KZFileOperateItemTypeUpload:
        actionUploadFile();
        break;
    case KZFileOperateItemTypeRefresh:
        actionIncrUpdate();
        break;
    case KZFileOperateItemTypeDownload:
        actionDownloadFile();
        break;
    default:
        break;
    }
}

void KZFilesViewController::submenuFileOperateMenuSelectedItem(const KZFileOperateMenuItemPtr& item,
                                                               kit::TableView*) {
    if (!item)
        return;
    switch (item->type()) {
    case KZFileOperateItemTypeSortByName:
    case KZFileOperateItemTypeSortByTime:
    case KZFileOperateItemTypeAscending:
    case KZFileOperateItemTypeDescending:
        changeSortMode(item->type());
        break;
    case KZFileOperateItemTypeListStyle:
        actionSwitchListStyle();
        break;
    case KZFileOperateItemTypeThumbnailStyle:
        actionSwitchGirdStyle();
        break;
    default:
        break;
    }
}

void KZFilesViewController::fileSortMenuItem(const KZFileOperateMenuItemPtr& item, kit::TableView*) {
    if (item && item->type() >= KZFileOperateItemTypeSortByName &&
        item->type() <= KZFileOperateItemTypeDescending)
        changeSortMode(item->type());
}

// ---- commands

void KZFilesViewController::actionIncrUpdate() {
    if (KZTools::isNetworkPaused())
        return;
    closeAllMenus();
    requestIncrFiles();
}

void KZFilesViewController::actionMenuItemOpenFile() {
    if (m_selectedFiles.size() != 1)
        return;
    const CloudFileInfoPtr f = m_selectedFiles.first();
    if (f->isDirectory()) {
        clearTextAction();
        openDir(f);
    } else if (f->m_category() == 1) {
        previewImage(f);
    }
}

void KZFilesViewController::actionMenuItemLocationFile() {
    if (m_selectedFiles.size() != 1)
        return;
    const QString path = m_selectedFiles.first()->path();
    openDirWithJumpPath(KZFilePathCell::parentPath(path), path, false);
}

void KZFilesViewController::actionMenuItemPaste() {
    pasteFileToCloud();
}

void KZFilesViewController::actionMenuItemLookShare() {
    shareFiles(m_selectedFiles);
}

KZFileListSortMode KZFilesViewController::sortModeAfterCommand(KZFileListSortMode mode, quint64 command) {
    // Any mode other than 0 to 2 is time descending, the saved default.
    const bool byName = mode == 0 || mode == 1;
    const bool ascending = mode == 0 || mode == 2;
    switch (command) {
    case KZFileOperateItemTypeSortByName:
        return ascending ? 0 : 1;
    case KZFileOperateItemTypeSortByTime:
        return ascending ? 2 : 3;
    case KZFileOperateItemTypeAscending:
        return byName ? 0 : 2;
    case KZFileOperateItemTypeDescending:
        return byName ? 1 : 3;
    default:
        return mode;
    }
}

void KZFilesViewController::changeSortMode(quint64 command) {
    const KZFileListSortMode next = sortModeAfterCommand(m_fileListSortMode, command);
    if (next == m_fileListSortMode)
        return;
    setFileListSortMode(next);
    reloadFiles();
}

void KZFilesViewController::actionSortFilesByName() {
    changeSortMode(KZFileOperateItemTypeSortByName);
}

void KZFilesViewController::actionSortFilesByModify() {
    changeSortMode(KZFileOperateItemTypeSortByTime);
}

void KZFilesViewController::actionSortFilesByAsc() {
    changeSortMode(KZFileOperateItemTypeAscending);
}

void KZFilesViewController::actionSortFilesByDesc() {
    changeSortMode(KZFileOperateItemTypeDescending);
}

void KZFilesViewController::actionSwitchListStyle() {
    closeAllMenus();
    if (m_switcher && m_switcher->style() != KZFileListStyleList)
        m_switcher->setStyle(KZFileListStyleList);
}

void KZFilesViewController::actionSwitchGirdStyle() {
    closeAllMenus();
    if (m_switcher && m_switcher->style() != KZFileListStyleGrid)
        m_switcher->setStyle(KZFileListStyleGrid);
}
