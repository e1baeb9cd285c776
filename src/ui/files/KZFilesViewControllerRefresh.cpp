// The file page's incremental refresh: the refresh request and its spinner, the merge of the
// session's node changes into the open folder, and the placeholder rows of folders being created.
#include "ui/files/KZFilesViewController.h"

#include "cloud/KZSessionProxy.h"
#include "foundation/Dispatch.h"
#include "foundation/ParallelFor.h"
#include "shell/KZButton.h"
#include "shell/KZToast.h"
#include "ui/files/KZChangeBatch.h"
#include "ui/files/KZFileInfoCell.h"
#include "ui/files/KZFileListSort.h"
#include "ui/files/KZNewFolderNameGenerator.h"
#include "ui/files/KZSpinnerView.h"

#include <QSet>
#include <algorithm>
#include <bit>
#include <vector>

namespace {
constexpr double kReplyToastDelay = 0.1;
}

// ---- refresh

void KZFilesViewController::requestIncrFiles() {
    m_refreshing = true;
    if (m_refreshProgressIndicator)
        m_refreshProgressIndicator->startAnimation();
    if (m_refreshButton)
        m_refreshButton->setHidden(true);
    KZSessionProxy::shareSessionProxy()->requestIncrNodeDelegate(this, false, {});
}

static void endRefresh(KZSpinnerView* spinner, KZButton* button) {
    if (spinner)
        spinner->stopAnimation();
    if (button)
        button->setHidden(false);
}

void KZFilesViewController::kzSessionRequestGetIncrNode(KZAbstractSession*, qint64, const QVariantMap&) {
    m_refreshing = false;
    endRefresh(m_refreshProgressIndicator, m_refreshButton);
}

void KZFilesViewController::kzSessionRequestGetIncrNodeFail(KZAbstractSession*, qint64, const QVariantMap&,
                                                            const BWError& error) {
    m_refreshing = false;
    endRefresh(m_refreshProgressIndicator, m_refreshButton);
    const QString text = error.localizedDescription();
    KZToast::showToastWithErrorMessageAfterDelay(
        view(), text.isEmpty() ? QStringLiteral("刷新失败，请重试") : text, kReplyToastDelay);
}

// ---- node changes

void KZFilesViewController::didKZSessionIncrNodeChanged(KZAbstractSession* session, qint64 nid,
                                                        bool needReset,
                                                        const QList<CloudFileInfoPtr>& children) {
    if (!m_fileInfo)
        return;
    // After the list replies that wait for an open name field, in the order they came (the
    // session's digest of the change is only there now).
    if (waitForNameField([this, nid, needReset, children] {
            didKZSessionIncrNodeChanged(nullptr, nid, needReset, children);
        }))
        return;
    if (needReset) {
        resetCurrentFileList();
        return;
    }
    if (m_fileInfo->isSearch()) {
        // Rows of a search result must match its key, which a merge cannot know: the search runs
        // again instead (once for a burst of changes).
        if (m_searchRerunQueued)
            return;
        m_searchRerunQueued = true;
        nubo::runOn(this, [this] {
            m_searchRerunQueued = false;
            if (m_fileInfo && m_fileInfo->isSearch())
                m_searchReruns.insert(searchFile(m_fileInfo));
        });
        return;
    }
    if (nid != m_fileInfo->nid())
        return;

    KZChangeBatch batch(children, m_fileListSortMode, session ? session->digestOf(children) : nullptr);
    // The table lays its rows out once, after both edits, and the page takes its selection
    // once (removing selected rows and selecting their new rows each change it).
    const bool table = isViewLoaded() && filesContainerStyle() != KZFileListStyleGrid;
    if (table) {
        m_tableView->beginUpdates();
        m_holdSelection = true;
    }
    kit::IndexSet deleted;
    kit::IndexSet selected;
    const kit::IndexSet inserted = mergeSortedRows(batch, deleted, selected);
    deleteRowsAtIndexs(deleted);
    insertRowsAtIndexs(inserted, selected);
    if (table) {
        m_tableView->endUpdates();
        m_holdSelection = false;
        if (std::exchange(m_selectionHeld, false))
            selectRowsAtIndexes(m_tableView->selectedRowIndexes());
    }
    refreshToolbarItemState();
    refreshHomeToolBarMessage();
    refreshTableHeaderViewState();
}

// The rows stay sorted: the additions come sorted and each is placed by a binary search among
// the rows, which gives the order of appending them and sorting everything without reading (or
// making records of) the rows in between. The places are taken among the rows as they stand,
// while the changed nodes' rows are looked up; removing and inserting is then one pass.
kit::IndexSet KZFilesViewController::mergeSortedRows(KZChangeBatch& batch, kit::IndexSet& deleted,
                                                     kit::IndexSet& selected) {
    const std::vector<qsizetype>& order = batch.additions();
    const int mode = m_fileListSortMode;
    // Neither side holds placeholder rows past the leading ones, so nodes compare directly.
    qsizetype lead = 0;
    while (lead < m_files.size() && KZLocalFileInfo::isLocal(m_files.made(lead)))
        ++lead;
    // Each addition goes after the rows that do not sort after it, as a merge puts them. The
    // additions are in order, so each search gallops on from the last one's place; runs of them
    // are placed on several cores, which also take the references the list will hold.
    const qsizetype rows = m_files.size();
    const size_t count = order.size();
    std::vector<qsizetype> at(count);
    std::vector<CloudFileInfoPtr> records(count);
    const int parts = count ? nubo::parallelParts(qint64(count), 512) : 0;
    batch.findRows(m_files, parts, [&](int part) {
        const size_t first = count * size_t(part) / size_t(parts);
        const size_t last = count * size_t(part + 1) / size_t(parts);
        qsizetype from = lead;
        for (size_t k = first; k < last; ++k) {
            // The keys and records lie scattered: fetched a few ahead, so that the misses overlap.
            if (k + 4 < last) {
                __builtin_prefetch(batch.key(order[k + 4]).key.data());
                __builtin_prefetch(reinterpret_cast<const char*>(batch.record(order[k + 4]).get()) - 16, 1);
            }
            const CloudFileList::RowKey& key = batch.key(order[k]);
            const auto after = [&](qsizetype row) { return m_files.compareRow(row, key, mode) > 0; };
            qsizetype lo = from, hi = from, step = 1;
            while (hi < rows && !after(hi)) {
                lo = hi + 1;
                hi += step;
                step *= 2;
            }
            hi = std::min(hi, rows);
            while (lo < hi) {
                const qsizetype mid = lo + (hi - lo) / 2;
                if (after(mid))
                    hi = mid;
                else
                    lo = mid + 1;
            }
            at[k] = lo;
            from = lo;
            records[k] = batch.record(order[k]);
        }
    });
    const std::vector<quint64> removal = getDeletedNodesIndexs(deleted, batch);
    const int sortedBy = m_files.sortedBy();
    const auto placed = m_files.spliceSorted(
        removal, qsizetype(count), [&](qsizetype k) { return std::move(records[size_t(k)]); }, at);
    m_files.setSortedBy(sortedBy);
    // A replaced row's selection goes to its node's new row.
    kit::IndexSet inserted;
    for (size_t k = 0; k < placed.size(); ++k) {
        inserted.add(int(placed[k]));
        const KZChangeBatch::Row& found = batch.rowOf(order[k]);
        if (found.row >= 0 ? found.selected : batch.isSelected(order[k]))
            selected.add(int(placed[k]));
    }
    return inserted;
}

void KZFilesViewController::resetNodeIndex() {
    m_nodeIndexs.clear();
    m_nodeIndexs.reserve(m_files.size());
    for (int i = 0; i < m_files.size(); ++i)
        if (!KZLocalFileInfo::isLocal(m_files.made(i)))
            m_nodeIndexs.insert(m_files.nid(i), i);
}

std::vector<quint64> KZFilesViewController::getDeletedNodesIndexs(kit::IndexSet& deleted,
                                                                  const KZChangeBatch& batch) {
    // The rows of the changed nodes were looked up in one pass over the rows' node ids, instead
    // of indexing every row of a big folder for a few changes.
    m_nodeIndexs.clear();
    std::vector<quint64> removal(size_t(m_files.size()) / 64 + 1);
    const auto remove = [&removal](qsizetype row) { removal[size_t(row) / 64] |= quint64(1) << (row % 64); };
    // Offsets are kept for few folders: most merges have none to drop.
    const bool offsets = !m_tableViewOffsets.isEmpty() || !m_collectionViewOffsets.isEmpty();
    // The loop reads the batch, not the records: only the records whose mark changes are
    // written, and only new folders are read for the generator.
    for (qsizetype c = 0; c < batch.size(); ++c) {
        const KZChangeBatch::Row& found = batch.rowOf(c);
        if (!batch.isDeleted(c)) {
            if (found.row >= 0) {
                if (found.selected != batch.isSelected(c))
                    batch.record(c)->setSelected(found.selected);
                remove(found.row);
            } else if (batch.isDirectory(c) &&
                       batch.record(c)->name().startsWith(KZNewFolderNameGenerator::kBaseName)) {
                m_folderNameGenerator->addSuffixIndex({batch.record(c)});
            }
            // The real folder takes the place of its placeholder.
            for (qsizetype i = m_creatingFiles.size() - 1; i >= 0; --i) {
                const auto& local = m_creatingFiles.at(i);
                if (local->name() != batch.record(c)->name())
                    continue;
                const qsizetype at = m_files.indexOf(local.get());
                if (at >= 0)
                    remove(at);
                m_creatingFiles.removeAt(i);
            }
        } else if (found.row >= 0) {
            remove(found.row);
            // The generator learns only from folders of its base name: no other row's record is
            // made for it.
            if (found.dir && m_files.name(found.row).startsWith(KZNewFolderNameGenerator::kBaseName))
                m_folderNameGenerator->deleteSuffixIndex({m_files.at(found.row)});
            // Only folders are opened, so only they keep offsets.
            if (offsets && (found.dir || batch.isDirectory(c))) {
                const QString key = offsetKey(batch.nid(c));
                m_tableViewOffsets.remove(key);
                m_collectionViewOffsets.remove(key);
            }
        }
    }
    for (size_t w = 0; w < removal.size(); ++w)
        for (quint64 bits = removal[w]; bits; bits &= bits - 1)
            deleted.add(int(w * 64 + size_t(std::countr_zero(bits))));
    return removal;
}

// ---- new folders

void KZFilesViewController::scanFileNameForCreateDir() {
    // No folder is made in a search result, and its hits may run to a million names.
    m_folderNameGenerator->scanFileNameForCreateDir(m_fileInfo && m_fileInfo->isSearch() ? decltype(m_files)()
                                                                                         : m_files);
}

void KZFilesViewController::insertLocalCreatingFile() {
    const QString name = m_folderNameGenerator->newFolderName();
    auto local = KZLocalFileInfo::localFileInfoWithName(name, m_fileInfo ? m_fileInfo->nid() : 0);
    m_creatingFiles.prepend(local);
    m_files.prepend(local);
    insertRowsAtIndexs(kit::IndexSet(0));
    makeLocalFileFocus();
}

void KZFilesViewController::makeLocalFileFocus() {
    if (m_creatingFiles.isEmpty() || !isViewLoaded())
        return;
    KZTextFieldFocuse* target = nullptr;
    if (filesContainerStyle() == KZFileListStyleGrid)
        target = dynamic_cast<KZTextFieldFocuse*>(m_collectionView->itemAtIndexPath(kit::IndexPath{0, 0}));
    else
        target = qobject_cast<KZFileInfoCell*>(m_tableView->viewAtColumn(nameColumn(), 0, false));
    if (target)
        target->focus();
    m_isEditing = true;
}
