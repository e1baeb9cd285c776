// The file page's navigation commands, its list replies, data sources, sorting and scroll memory.
#include "ui/files/KZFilesViewController.h"

#include "cloud/KZSessionProxy.h"
#include "foundation/Dispatch.h"
#include "foundation/SingletonT.h"
#include "kit/Window.h"
#include "shell/KZToast.h"
#include "shell/KZWindowsManager.h"
#include "storage/SystemConfig.h"
#include "ui/files/KZFileInfoCell.h"
#include "ui/files/KZFileListSort.h"

QString KZFilesViewController::offsetKey(qint64 nid) {
    return QString::number(nid);
}

qint64 KZFilesViewController::requestFileList(qint64 nid, const QString& path, const QVariantMap& userInfo) {
    // Every navigation but a reload leaves what the user typed behind, so an answer that lands
    // later never turns back into a search (no change is sent for this).
    if (nid != -4 && m_fileSearchView) {
        m_fileSearchView->resetText();
        m_searchTextWaiting = false;
    }
    const qint64 id =
        KZSessionProxy::shareSessionProxy()->getFileListByNid(nid, path, m_fileListSortMode, this, userInfo);
    m_pendingListRequests.insert(id);
    return id;
}

// ---- navigation

void KZFilesViewController::openDir(const CloudFileInfoPtr& folder) {
    if (!folder)
        return;
    recordLastOffset();
    requestFileList(folder->nid(), folder->path(), {{kRestoreOffsetKey, 1}});
}

void KZFilesViewController::openDirForGoForword() {
    requestFileList(-1, m_fileInfo ? m_fileInfo->path() : QString(), {{kRestoreOffsetKey, 1}});
}

void KZFilesViewController::openDirForGoBack() {
    requestFileList(-2, m_fileInfo ? m_fileInfo->path() : QString(), {{kRestoreOffsetKey, 1}});
}

void KZFilesViewController::openDirWithJumpPath(const QString& path, const QString& expectFilePath,
                                                bool restoreOffset) {
    QVariantMap userInfo;
    if (!expectFilePath.isEmpty())
        userInfo.insert(kExpectFilePathKey, expectFilePath);
    if (restoreOffset)
        userInfo.insert(kRestoreOffsetKey, true);
    requestFileList(-3, path, userInfo);
}

void KZFilesViewController::openDirToRoot() {
    requestFileList(0, QStringLiteral("/"), {{kRestoreOffsetKey, 1}});
}

void KZFilesViewController::resetCurrentFileList() {
    requestFileList(-4, QString(), {});
}

void KZFilesViewController::refreshBackForward(int backForward) {
    if (m_goForwardButton)
        m_goForwardButton->setEnabled(backForward & 1);
    if (m_goBackButton)
        m_goBackButton->setEnabled(backForward & 2);
}

// ---- list replies

void KZFilesViewController::kzSessionRequestFileList(KZAbstractSession*, qint64 requestId,
                                                     const CloudFileInfoPtr& cloudFile,
                                                     const CloudFileList& fileList,
                                                     KZBackForwardState backForward,
                                                     const QVariantMap& userInfo) {
    const bool settled = settleListRequest(requestId);
    if (!cloudFile)
        return;
    view(); // the reply may come before the page was first shown
    // Ending a name being typed would send it: the rows wait until the field closes.
    const bool rerun = m_searchReruns.remove(requestId);
    if (waitForNameField(
            [=, this] { applyFileList(cloudFile, fileList, backForward, userInfo, settled, rerun); }))
        return;
    applyFileList(cloudFile, fileList, backForward, userInfo, settled, rerun);
}

void KZFilesViewController::applyFileList(const CloudFileInfoPtr& cloudFile, const CloudFileList& fileList,
                                          KZBackForwardState backForward, const QVariantMap& userInfo,
                                          bool settled, bool rerun) {
    // A search run again for changes elsewhere keeps the hits the user chose, by node.
    QSet<qint64> kept;
    if (rerun)
        for (const CloudFileInfoPtr& f : std::as_const(m_selectedFiles))
            kept.insert(f->nid());
    updateSearchView(cloudFile, m_fileInfo);
    m_fileInfo = cloudFile;
    m_files = fileList;
    m_nodeIndexs.clear();
    // The reload drops the rows of folders being named.
    m_creatingFiles.clear();
    deselectAllRows();
    resortAllFileList();
    reloadData();
    if (!kept.isEmpty())
        selectRowsOfNodes(kept);
    refreshFolderCrumbs();
    refreshToolbarItemState();
    refreshHomeToolBarMessage();
    refreshTableHeaderViewState();
    refreshBackForward(int(backForward));
    // After the views have taken the new rows.
    nubo::runOn(this, [this, userInfo, cloudFile, settled] {
        checkStoreOffset(userInfo);
        checkSelectExpectFile(userInfo);
        scanFileNameForCreateDir();
        // Text typed while requests were out is looked at once the last one has answered.
        if (settled && !isListRequestPending())
            checkSeachIntent(cloudFile);
    });
}

void KZFilesViewController::kzSessionRequestFileListFail(KZAbstractSession*, qint64 requestId,
                                                         const QVariantMap&, const BWError& error) {
    settleListRequest(requestId);
    m_searchReruns.remove(requestId);
    KZToast::showToastWithErrorMessage(view(), error.localizedDescription());
}

void KZFilesViewController::selectRowsOfNodes(const QSet<qint64>& nids) {
    kit::IndexSet rows;
    for (qsizetype i = 0; i < m_files.size() && rows.count() < nids.size(); ++i)
        if (nids.contains(m_files.nid(i)))
            rows.add(int(i));
    // The list reports the change to the page; the grid does not.
    if (filesContainerStyle() == KZFileListStyleGrid) {
        m_collectionView->selectItems(kit::IndexPath::ofItems(rows), kit::ScrollPosition::None);
        selectRowsAtIndexes(m_collectionView->selectionIndexes());
    } else {
        m_tableView->selectRowIndexes(rows, false);
    }
}

bool KZFilesViewController::settleListRequest(qint64 requestId) {
    m_pendingListRequests.remove(requestId);
    m_pendingSearches.remove(requestId);
    return m_pendingListRequests.isEmpty();
}

void KZFilesViewController::reloadFiles() {
    if (m_fileInfo && m_fileInfo->isSearch())
        searchFile(m_fileInfo);
    else
        openDir(m_fileInfo);
}

void KZFilesViewController::resortAllFileList() {
    KZFileListSort::sort(m_files, m_fileListSortMode);
}

// ---- list and grid

void KZFilesViewController::switchFilesContainerView() {
    const bool grid = filesContainerStyle() == KZFileListStyleGrid;
    m_tableView->setHidden(grid);
    m_collectionView->setHidden(!grid);
    m_collectionView->setDelegate(grid ? this : nullptr);
    m_collectionView->setDataSource(grid ? this : nullptr);
    m_tableView->setDataSource(grid ? nullptr : this);
    m_tableView->setDelegate(grid ? nullptr : this);
    nubo::SingletonT<nubo::SystemConfig>::instance().setFilelistViewMode(int(filesContainerStyle()));
}

void KZFilesViewController::switcherValueChanged(KZFileListStyleSwitcher*) {
    closeAllMenus();
    // A name being typed ends as a click elsewhere ends it, before its field is hidden: left
    // open, the typed name was lost and the page stayed "editing", refusing new folders.
    if (m_isEditing)
        if (kit::Window* window = viewWindow())
            window->makeFirstResponder(nullptr);
    const bool grid = filesContainerStyle() == KZFileListStyleGrid;
    const bool allSelected = m_selectedFiles.size() == m_files.size();
    kit::IndexSet carried;
    if (!allSelected) {
        if (grid) {
            for (const kit::IndexPath& p : getCollectionViewSelectedIndexPathsFromTableView())
                carried.add(p.item);
        } else {
            carried = getTableViewSelectedRowIndexsFromCollectionView();
        }
    }
    switchFilesContainerView();
    reloadData();
    // The view that comes back keeps its selection from before; it takes the carried one instead.
    if (grid) {
        m_collectionView->deselectAll();
        if (allSelected) {
            m_collectionView->selectAll();
        } else {
            m_collectionView->selectItems(kit::IndexPath::ofItems(carried), kit::ScrollPosition::None);
        }
    } else {
        m_tableView->deselectAll();
        if (allSelected)
            m_tableView->selectAll();
        else
            m_tableView->selectRowIndexes(carried, true);
    }
    // Clearing the returning view reports an empty selection to the page, and the grid does not
    // report programmatic selections: take the page's selection from the view that now shows.
    selectRowsAtIndexes(grid ? m_collectionView->selectionIndexes() : m_tableView->selectedRowIndexes());
}

int KZFilesViewController::numberOfRowsInTableView(kit::TableView*) {
    return int(m_files.size());
}

int KZFilesViewController::nameColumn() const {
    return m_tableView ? m_tableView->columnWithIdentifier(QStringLiteral("name")) : -1;
}

kit::View* KZFilesViewController::tableViewViewForTableColumn(kit::TableView* table, kit::TableColumn* column,
                                                              int row) {
    if (!column || row < 0 || row >= m_files.size() || column->title().isEmpty())
        return nullptr;
    if (column->title() == kColumnLocation) {
        auto* pathCell = table->makeView<KZFilePathCell>(KZFilePathCell::kIdentifier);
        if (pathCell) {
            pathCell->setDelegate(this);
            pathCell->setFileInfo(m_files.at(row));
        }
        return pathCell;
    }
    auto* cell = table->makeView<KZFileInfoCell>(KZFileInfoCell::kIdentifier);
    if (!cell)
        return nullptr;
    const QString title = column->title();
    uint type = KZFileInfoCellTypeName;
    if (title == kColumnSize)
        type = KZFileInfoCellTypeSize;
    else if (title == kColumnType)
        type = KZFileInfoCellTypeFileType;
    else if (title == kColumnModifyTime)
        type = KZFileInfoCellTypeModifyTime;
    cell->setType(type);
    cell->setDelegate(this);
    cell->setFileInfo(m_files.at(row));
    if (type == KZFileInfoCellTypeName && m_fileInfo)
        cell->makeWordsHighlight(m_fileInfo->searchKey());
    return cell;
}

kit::TableRowView* KZFilesViewController::tableViewRowViewForRow(kit::TableView* table, int row) {
    auto* rowView = table->makeView<KZFileRowView>(KZFileRowView::kIdentifier);
    if (!rowView)
        return nullptr;
    rowView->setDelegate(this);
    rowView->setFileInfo(row >= 0 && row < m_files.size() ? m_files.at(row) : nullptr);
    return rowView;
}

void KZFilesViewController::tableViewDidAddRowView(kit::TableView*, kit::TableRowView* rowView, int) {
    if (auto* cell = qobject_cast<KZFileInfoCell*>(rowView->viewAtColumn(nameColumn())))
        cell->loadImage();
}

void KZFilesViewController::tableViewDidRemoveRowView(kit::TableView*, kit::TableRowView* rowView, int) {
    if (auto* cell = qobject_cast<KZFileInfoCell*>(rowView->viewAtColumn(nameColumn())))
        cell->cancelLoadImage();
}

// ---- scroll memory

void KZFilesViewController::recordLastOffset() {
    if (!m_fileInfo || !isViewLoaded())
        return;
    const QString key = offsetKey(m_fileInfo->nid());
    if (filesContainerStyle() == KZFileListStyleGrid)
        m_collectionViewOffsets.insert(key, float(m_collectionView->visibleRect().y()));
    else
        m_tableViewOffsets.insert(key, float(m_tableView->visibleRect().y()));
}

void KZFilesViewController::checkStoreOffset(const QVariantMap& userInfo) {
    if (userInfo.value(kRestoreOffsetKey).toBool())
        scrollToOriginalOffset();
}

void KZFilesViewController::scrollToOriginalOffset() {
    if (!m_fileInfo)
        return;
    const QString key = offsetKey(m_fileInfo->nid());
    if (filesContainerStyle() == KZFileListStyleGrid)
        m_collectionView->scrollToPoint(QPointF(0, m_collectionViewOffsets.value(key, 0.0f)));
    else
        m_tableView->scrollToPoint(QPointF(0, m_tableViewOffsets.value(key, float(-kTableHeaderHeight))));
}

void KZFilesViewController::checkSelectExpectFile(const QVariantMap& userInfo) {
    if (!userInfo.contains(kExpectFilePathKey))
        return;
    const QString path = userInfo.value(kExpectFilePathKey).toString();
    const QString name = path.section(u'/', -1);
    int index = -1;
    // The name is read from the rows first, so rows that cannot match make no record.
    for (int i = 0; i < m_files.size(); ++i) {
        if (m_files.name(i) == name && m_files.at(i)->path() == path) {
            index = i;
            break;
        }
    }
    if (index >= 0)
        selectExpectFile(index);
    else // deleted or moved since the link to it was made: say so rather than select nothing
        KZToast::showToastWithErrorMessage(view(), QStringLiteral("文件不存在或已被删除"));
}

void KZFilesViewController::selectExpectFile(int index) {
    if (index < 0 || index >= m_files.size())
        return;
    selectRowsAtIndexes(kit::IndexSet(index));
    if (filesContainerStyle() == KZFileListStyleGrid) {
        m_collectionView->selectItems({kit::IndexPath{0, index}}, kit::ScrollPosition::CenteredVertically);
    } else {
        m_tableView->scrollRowToVisible(index);
        m_tableView->selectRowIndexes(kit::IndexSet(index), true);
    }
}

void KZFilesViewController::scrollToTopItem() {
    if (m_files.isEmpty())
        return;
    if (filesContainerStyle() == KZFileListStyleGrid)
        m_collectionView->scrollToItems({kit::IndexPath{0, 0}}, kit::ScrollPosition::Top);
    else
        m_tableView->scrollRowToVisible(0);
}

CloudFileInfoPtr KZFilesViewController::convertFileFromClickPosition() const {
    int row = -1;
    if (filesContainerStyle() == KZFileListStyleList) {
        row = m_tableView ? m_tableView->clickedRow() : -1;
    } else if (filesContainerStyle() == KZFileListStyleGrid && m_collectionView) {
        const auto clicked = m_collectionView->clickedItemIndexPath();
        row = clicked ? clicked->item : -1;
    }
    if (row < 0 || row >= m_files.size())
        return nullptr;
    return m_files.at(row);
}
