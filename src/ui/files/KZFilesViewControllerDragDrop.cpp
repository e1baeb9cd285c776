// Drag and drop on the file page, in the list and in the grid: local files dropped in are
// uploaded into the folder under the pointer (or the open folder), own rows dropped on a folder
// are moved into it, and own rows dragged out to a file manager are downloaded there.
#include "ui/files/KZFilesViewController.h"

#include "foundation/NotificationCenter.h"
#include "ui/files/KZDraggingFile.h"

namespace {

void post(const QString& name) {
    nubo::NotificationCenter::defaultCenter().post(name);
}

} // namespace

void KZFilesViewController::initDragAndDrop() {
    m_tableView->setAcceptDrops(true);
    m_collectionView->setAcceptDrops(true);
}

// ---- hover hooks

void KZFilesViewController::outsideFilesWillDragInApplictionFilesView(const kit::DraggingInfo&) {
    if (!m_selectedFiles.isEmpty())
        deselectAllRows();
    post(KZFileRowView::kWillDropInApplication);
}

void KZFilesViewController::outsideFilesWillDragOutsideApplictionFilesView(const kit::DraggingInfo&) {
    if (!m_selectedFiles.isEmpty())
        deselectAllRows();
    post(KZFileRowView::kWillDropOutFilesView);
}

bool KZFilesViewController::isDraggingOverFile(const kit::DraggingInfo& info) const {
    if (filesContainerStyle() == KZFileListStyleGrid)
        return m_collectionView &&
               m_collectionView
                   ->indexPathForItemAtPoint(m_collectionView->convertFromWindow(info.draggingLocation()))
                   .has_value();
    return m_tableView &&
           m_tableView->rowAtPoint(m_tableView->convertFromWindow(info.draggingLocation())) >= 0;
}

// ---- the drag source

std::shared_ptr<kit::PasteboardWriter> KZFilesViewController::tableViewPasteboardWriterForRow(kit::TableView*,
                                                                                              int row) {
    const CloudFileInfoPtr f = m_files.value(row);
    if (!f || KZLocalFileInfo::isLocal(f.get()))
        return nullptr; // a folder still being named is nothing to drag
    return std::make_shared<KZDraggingFile>();
}

std::shared_ptr<kit::PasteboardWriter>
KZFilesViewController::collectionViewPasteboardWriterForItemAtIndexPath(kit::CollectionView*,
                                                                        kit::IndexPath path) {
    return tableViewPasteboardWriterForRow(nullptr, path.item);
}

bool KZFilesViewController::collectionViewCanDragItemsAtIndexPaths(kit::CollectionView*,
                                                                   const QList<kit::IndexPath>&,
                                                                   const kit::Event&) {
    return true;
}

void KZFilesViewController::beginOwnDrag(int firstIndex) {
    deselectAllRows();
    const CloudFileInfoPtr f = m_files.value(firstIndex);
    if (!f)
        return;
    f->setSelected(true);
    m_selectedFiles.append(f);
}

void KZFilesViewController::tableViewDraggingSessionWillBegin(kit::TableView* table, kit::DraggingSession*,
                                                              QPointF, const kit::IndexSet& rows) {
    beginOwnDrag(rows.first());
    table->selectRowIndexes(rows, true);
    refreshToolbarItemState();
    refreshHomeToolBarMessage();
}

void KZFilesViewController::collectionViewDraggingSessionWillBegin(kit::CollectionView* collection,
                                                                   kit::DraggingSession*, QPointF,
                                                                   const QList<kit::IndexPath>& paths) {
    // A drag of several tiles keeps the selection as it is.
    if (paths.size() != 1)
        return;
    beginOwnDrag(paths.first().item);
    collection->selectItems(paths, kit::ScrollPosition::None);
    refreshToolbarItemState();
    refreshHomeToolBarMessage();
}

QStringList KZFilesViewController::tableViewNamesOfPromisedFilesDroppedAtDestination(
    kit::TableView*, const QString& destination, const kit::IndexSet&) {
    m_localDestPath = destination;
    return {};
}

QStringList KZFilesViewController::collectionViewNamesOfPromisedFilesDroppedAtDestination(
    kit::CollectionView*, const QString& destination, const QList<kit::IndexPath>&) {
    m_localDestPath = destination;
    return {};
}

QStringList KZFilesViewController::tableViewFilesForPromisedRows(kit::TableView*, const kit::IndexSet&) {
    return filesForDragOut(m_selectedFiles);
}

QStringList KZFilesViewController::collectionViewFilesForPromisedItems(kit::CollectionView*,
                                                                       const QList<kit::IndexPath>& paths) {
    QList<CloudFileInfoPtr> files;
    for (const kit::IndexPath& p : paths)
        if (CloudFileInfoPtr f = m_files.value(p.item))
            files.append(f);
    return filesForDragOut(files);
}

void KZFilesViewController::endOwnDrag(kit::DragOperation operation) {
    const CloudFileInfoPtr dest = m_cloudDestFile;
    const QString local = m_localDestPath;
    m_cloudDestFile.reset();
    m_localDestPath.clear();
    if (operation == kit::DragOperation::Move) {
        if (dest && m_fileInfo && dest->path() != m_fileInfo->path())
            moveFiles(m_selectedFiles, dest);
    } else if (operation == kit::DragOperation::Copy && !local.isEmpty()) {
        downloadFiles(m_selectedFiles, local);
    }
}

void KZFilesViewController::tableViewDraggingSessionEnded(kit::TableView*, kit::DraggingSession*, QPointF,
                                                          kit::DragOperation operation) {
    endOwnDrag(operation);
}

void KZFilesViewController::collectionViewDraggingSessionEnded(kit::CollectionView*, kit::DraggingSession*,
                                                               QPointF, kit::DragOperation operation) {
    endOwnDrag(operation);
}

// ---- the drop target

kit::DragOperation KZFilesViewController::tableViewValidateDrop(kit::TableView*,
                                                                const kit::DraggingInfo& info, int row,
                                                                kit::TableDropPosition position) {
    if (!m_fileInfo || m_fileInfo->isSearch())
        return kit::DragOperation::None;
    const QStringList names = info.localFileNames();
    const bool overRow = isDraggingOverFile(info);
    if (!names.isEmpty()) {
        if (refusesRootDrag(names))
            return kit::DragOperation::None;
        if (m_files.isEmpty())
            return kit::DragOperation::Copy;
        if (overRow)
            outsideFilesWillDragInApplictionFilesView(info);
        else
            outsideFilesWillDragOutsideApplictionFilesView(info);
        // Below the last row the files go into the open folder; between two rows nowhere.
        return !overRow || position == kit::TableDropPosition::On ? kit::DragOperation::Copy
                                                                  : kit::DragOperation::None;
    }
    if (!info.isFromNubo() || !overRow || row >= m_files.size())
        return kit::DragOperation::None;
    const CloudFileInfoPtr target = m_files.at(row);
    // A folder that is itself being dragged cannot take the drag.
    if (position == kit::TableDropPosition::Above || !target->isDirectory() ||
        m_selectedFiles.contains(target))
        return kit::DragOperation::None;
    return kit::DragOperation::Move;
}

kit::DragOperation KZFilesViewController::collectionViewValidateDrop(kit::CollectionView*,
                                                                     const kit::DraggingInfo& info,
                                                                     kit::IndexPath* path,
                                                                     kit::CollectionDropPosition* position) {
    if (!m_fileInfo || m_fileInfo->isSearch())
        return kit::DragOperation::None;
    const QStringList names = info.localFileNames();
    if (!names.isEmpty()) {
        if (refusesRootDrag(names))
            return kit::DragOperation::None;
        if (!m_files.isEmpty())
            outsideFilesWillDragInApplictionFilesView(info);
        return kit::DragOperation::Copy;
    }
    const int item = path ? path->item : -1;
    if (!info.isFromNubo() || item < 0 || item >= m_files.size()) {
        m_cloudDestFile.reset();
        return kit::DragOperation::None;
    }
    const CloudFileInfoPtr target = m_files.at(item);
    if (target->isDirectory() && *position != kit::CollectionDropPosition::Before &&
        !m_selectedFiles.contains(target)) {
        m_cloudDestFile = target;
        return kit::DragOperation::Move;
    }
    m_cloudDestFile.reset();
    return kit::DragOperation::None;
}

bool KZFilesViewController::acceptDrop(const kit::DraggingInfo& info, int index) {
    const QStringList names = info.localFileNames();
    // Refused whole, wherever in the list it is dropped.
    if (refusesRootDrag(names))
        return false;
    if (index >= m_files.size() || index < 0) {
        m_cloudDestFile = m_fileInfo;
        if (!info.isFromNubo() && !names.isEmpty()) {
            uploadFiles(names, m_fileInfo);
            post(KZFileRowView::kDidDropInApplication);
        }
        return !info.isFromNubo();
    }
    const CloudFileInfoPtr target = m_files.at(index);
    m_cloudDestFile = target->isDirectory() && isDraggingOverFile(info) ? target : m_fileInfo;
    if (info.isFromNubo())
        return target->isDirectory();
    uploadFiles(names, m_cloudDestFile);
    post(KZFileRowView::kDidDropInApplication);
    return true;
}

bool KZFilesViewController::tableViewAcceptDrop(kit::TableView*, const kit::DraggingInfo& info, int row,
                                                kit::TableDropPosition) {
    return acceptDrop(info, row);
}

bool KZFilesViewController::collectionViewAcceptDrop(kit::CollectionView*, const kit::DraggingInfo& info,
                                                     kit::IndexPath path, kit::CollectionDropPosition) {
    return acceptDrop(info, path.item);
}

// A drag holding the file system's root is refused whole; the user is told once per drag, not
// at every move of the pointer.
bool KZFilesViewController::refusesRootDrag(const QStringList& names) {
    if (!names.contains(QStringLiteral("/")))
        return false;
    if (!m_toldRootRefused)
        m_toldRootRefused = refusedFileSystemRoot(names);
    return true;
}

// A drag that left (or ended elsewhere) takes the rows' outside-drag look with it.
void KZFilesViewController::tableViewDraggingExited(kit::TableView*) {
    m_toldRootRefused = false;
    post(KZFileRowView::kDidDropInApplication);
}

void KZFilesViewController::collectionViewDraggingExited(kit::CollectionView*) {
    m_toldRootRefused = false;
    post(KZFileRowView::kDidDropInApplication);
}
