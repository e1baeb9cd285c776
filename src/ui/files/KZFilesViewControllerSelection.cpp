// The file page's selection, kept both in the visible view and in `selectedFiles` with each
// row's `selected` flag, and the insertion and removal of rows in whichever view is shown.
#include "ui/files/KZFilesViewController.h"

#include "shell/KZMessageSet.h"
#include "ui/files/KZFileInfoCell.h"

void KZFilesViewController::closeOperateMenuUnlessSelected(const kit::IndexSet& rows) {
    // A context menu acts on the selection it was opened for, never on another one.
    if (!m_fileOperateMenu || !m_fileOperateMenu->isWindowLoaded() ||
        !m_fileOperateMenu->window()->isVisible())
        return;
    bool same = rows.count() == m_selectedFiles.size();
    if (same) {
        QSet<qint64> selected;
        for (const CloudFileInfoPtr& f : std::as_const(m_selectedFiles))
            selected.insert(f->nid());
        rows.forEach([&](int i) { same = same && selected.contains(m_files.nid(i)); });
    }
    if (!same)
        m_fileOperateMenu->close();
}

void KZFilesViewController::deselectAllRows() {
    closeOperateMenuUnlessSelected({});
    if (isViewLoaded()) {
        if (filesContainerStyle() == KZFileListStyleGrid)
            m_collectionView->deselectAll();
        else
            m_tableView->deselectAll();
    }
    for (const CloudFileInfoPtr& f : std::as_const(m_selectedFiles))
        f->setSelected(false);
    m_selectedFiles.clear();
    refreshToolbarItemState();
    refreshHomeToolBarMessage();
    refreshTableHeaderViewState();
}

void KZFilesViewController::selectAllRows() {
    closeOperateMenuUnlessSelected(kit::IndexSet::range(0, int(m_files.size())));
    if (isViewLoaded()) {
        if (filesContainerStyle() == KZFileListStyleGrid)
            m_collectionView->selectAll();
        else
            m_tableView->selectAll();
    }
    m_selectedFiles = m_files.toList();
    for (const CloudFileInfoPtr& f : std::as_const(m_selectedFiles))
        f->setSelected(true);
    refreshToolbarItemState();
    refreshHomeToolBarMessage();
    refreshTableHeaderViewState();
}

void KZFilesViewController::selectRowsAtIndexes(const kit::IndexSet& indexes) {
    const kit::IndexSet rows = indexes.intersectedWithRange(0, int(m_files.size()));
    closeOperateMenuUnlessSelected(rows);
    for (const CloudFileInfoPtr& f : std::as_const(m_selectedFiles))
        f->setSelected(false);
    m_selectedFiles.clear();
    rows.forEach([this](int i) {
        const CloudFileInfoPtr& f = m_files.at(i);
        f->setSelected(true);
        m_selectedFiles.append(f);
    });
    refreshToolbarItemState();
    refreshHomeToolBarMessage();
    refreshTableHeaderViewState();
}

void KZFilesViewController::tableViewSelectionDidChange(kit::TableView* table) {
    if (m_holdSelection) {
        m_selectionHeld = true;
        return;
    }
    selectRowsAtIndexes(table->selectedRowIndexes());
}

void KZFilesViewController::collectionViewDidSelectItemsAtIndexPaths(kit::CollectionView* collection,
                                                                     const QList<kit::IndexPath>&) {
    closeAllMenus();
    selectRowsAtIndexes(collection->selectionIndexes());
}

void KZFilesViewController::collectionViewDidDeselectItemsAtIndexPaths(kit::CollectionView* collection,
                                                                       const QList<kit::IndexPath>&) {
    selectRowsAtIndexes(collection->selectionIndexes());
}

void KZFilesViewController::insertRowsAtIndexs(const kit::IndexSet& indexes) {
    if (indexes.isEmpty() || !isViewLoaded())
        return;
    kit::IndexSet flagged;
    indexes.intersectedWithRange(0, int(m_files.size())).forEach([this, &flagged](int i) {
        if (const CloudFileInfo* f = m_files.made(i); f && f->selected())
            flagged.add(i);
    });
    insertRowsAtIndexs(indexes, flagged);
}

void KZFilesViewController::insertRowsAtIndexs(const kit::IndexSet& indexes, const kit::IndexSet& flagged) {
    if (indexes.isEmpty() || !isViewLoaded())
        return;
    KZMessageSet::reloadMessageSet(view());
    if (filesContainerStyle() == KZFileListStyleGrid) {
        QPointer<KZFilesViewController> self(this);
        m_collectionView->performBatchUpdates(
            [this, paths = kit::IndexPath::ofItems(indexes)] { m_collectionView->insertItems(paths); },
            [self, flagged](bool) {
                if (!self)
                    return;
                self->m_collectionView->selectItems(kit::IndexPath::ofItems(flagged));
                self->selectRowsAtIndexes(self->m_collectionView->selectionIndexes());
            });
    } else {
        m_tableView->beginUpdates();
        m_tableView->insertRows(indexes);
        m_tableView->endUpdates();
        if (!flagged.isEmpty())
            m_tableView->selectRowIndexes(flagged, true);
    }
}

void KZFilesViewController::deleteRowsAtIndexs(const kit::IndexSet& indexes) {
    if (indexes.isEmpty() || !isViewLoaded())
        return;
    KZMessageSet::reloadMessageSet(view());
    if (filesContainerStyle() == KZFileListStyleGrid) {
        QPointer<KZFilesViewController> self(this);
        m_collectionView->performBatchUpdates(
            [this, paths = kit::IndexPath::ofItems(indexes)] { m_collectionView->deleteItems(paths); },
            [self](bool) {
                if (self)
                    self->selectRowsAtIndexes(self->m_collectionView->selectionIndexes());
            });
    } else {
        m_tableView->beginUpdates();
        m_tableView->removeRows(indexes);
        m_tableView->endUpdates();
    }
}

void KZFilesViewController::makeRenameFileFocus() {
    if (m_selectedFiles.size() != 1 || !isViewLoaded())
        return;
    const int row = int(m_files.indexOf(m_selectedFiles.first()));
    if (row < 0)
        return;
    // The row is brought into view first: only a shown row has a name field, and editing that
    // never starts would never end.
    KZTextFieldFocuse* target = nullptr;
    if (filesContainerStyle() == KZFileListStyleGrid) {
        m_collectionView->scrollToItems({kit::IndexPath{0, row}}, kit::ScrollPosition::Nearest);
        target = dynamic_cast<KZTextFieldFocuse*>(m_collectionView->itemAtIndexPath(kit::IndexPath{0, row}));
    } else {
        m_tableView->scrollRowToVisible(row);
        target = qobject_cast<KZFileInfoCell*>(m_tableView->viewAtColumn(nameColumn(), row, false));
    }
    if (!target)
        return;
    target->focus();
    m_isEditing = true;
}

QList<kit::IndexPath> KZFilesViewController::getCollectionViewSelectedIndexPathsFromTableView() const {
    if (filesContainerStyle() != KZFileListStyleGrid)
        return {};
    return kit::IndexPath::ofItems(m_tableView->selectedRowIndexes());
}

kit::IndexSet KZFilesViewController::getTableViewSelectedRowIndexsFromCollectionView() const {
    if (filesContainerStyle() != KZFileListStyleList)
        return {};
    return m_collectionView->selectionIndexes();
}
