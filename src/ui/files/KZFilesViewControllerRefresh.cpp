// The file page's incremental refresh: the refresh request and its spinner, the merge of the
// session's node changes into the open folder, and the placeholder rows of folders being created.
#include "ui/files/KZFilesViewController.h"

#include "cloud/KZSessionProxy.h"
#include "foundation/Dispatch.h"
#include "shell/KZButton.h"
#include "shell/KZToast.h"
#include "ui/files/KZFileInfoCell.h"
#include "ui/files/KZFileListSort.h"
#include "ui/files/KZNewFolderNameGenerator.h"
#include "ui/files/KZSpinnerView.h"

#include <QSet>
#include <algorithm>

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

void KZFilesViewController::didKZSessionIncrNodeChanged(KZAbstractSession*, qint64 nid, bool needReset,
                                                        const QList<CloudFileInfoPtr>& children) {
    if (!m_fileInfo)
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
                reloadFiles();
        });
        return;
    }
    if (nid != m_fileInfo->nid())
        return;

    kit::IndexSet deleted;
    QList<CloudFileInfoPtr> additional;
    getDeletedNodesIndexs(deleted, additional, children);
    removeDeletedIncrNodesAtIndexs(deleted);
    insertRowsAtIndexs(mergeSortedRows(additional));
    refreshToolbarItemState();
    refreshHomeToolBarMessage();
    refreshTableHeaderViewState();
}

namespace {

// The records in the mode's order, stably. The sort compares small copies (the kind, then the
// first 16 bytes of the name key or the time) and reads the records only on a tie.
QList<CloudFileInfoPtr> sortedRecords(const QList<CloudFileInfoPtr>& records, int mode) {
    struct Item {
        quint64 hi = 0;
        quint64 lo = 0;
        qsizetype index = 0;
        bool dir = false;
    };
    const bool byName = mode == 0 || mode == 1;
    const bool descending = mode != 0 && mode != 2;
    std::vector<Item> items(size_t(records.size()));
    for (qsizetype i = 0; i < records.size(); ++i) {
        const CloudFileInfo& f = *records.at(i);
        Item& it = items[size_t(i)];
        it.index = i;
        it.dir = f.isDirectory();
        if (byName) {
            const QByteArray& k = f.nameSortKey();
            for (qsizetype b = 0; b < 16; ++b) {
                const quint64 c = b < k.size() ? quint8(k[b]) : 0;
                (b < 8 ? it.hi : it.lo) = ((b < 8 ? it.hi : it.lo) << 8) | c;
            }
        } else {
            it.hi = quint64(qint64(f.m_fmtime()) + (qint64(1) << 32));
        }
    }
    std::stable_sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
        if (a.dir != b.dir)
            return a.dir;
        const Item& x = descending ? b : a;
        const Item& y = descending ? a : b;
        if (x.hi != y.hi)
            return x.hi < y.hi;
        if (x.lo != y.lo)
            return x.lo < y.lo;
        return byName && records.at(a.index)->compareBySortMode(*records.at(b.index), mode) < 0;
    });
    QList<CloudFileInfoPtr> out;
    out.reserve(records.size());
    for (const Item& it : items)
        out.append(records.at(it.index));
    return out;
}

} // namespace

// The rows stay sorted: the additions are sorted alone and each is placed by a binary search
// among the rows, which gives the order of appending them and sorting everything without
// reading (or making records of) the rows in between.
kit::IndexSet KZFilesViewController::mergeSortedRows(QList<CloudFileInfoPtr> additional) {
    kit::IndexSet inserted;
    if (additional.isEmpty())
        return inserted;
    const int mode = m_fileListSortMode;
    // Neither side holds placeholder rows past the leading ones, so nodes compare directly.
    additional = sortedRecords(additional, mode);
    qsizetype lead = 0;
    while (lead < m_files.size() && KZLocalFileInfo::isLocal(m_files.made(lead)))
        ++lead;
    // Each addition goes after the rows that do not sort after it, as a merge puts them. The
    // additions are in order, so each search gallops on from the last one's place.
    std::vector<qsizetype> at;
    at.reserve(size_t(additional.size()));
    const qsizetype rows = m_files.size();
    qsizetype from = lead;
    for (const CloudFileInfoPtr& f : std::as_const(additional)) {
        const auto after = [&](qsizetype row) { return m_files.compareRow(row, *f, mode) > 0; };
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
        at.push_back(lo);
        from = lo;
    }
    const int order = m_files.sortedBy();
    for (qsizetype row : m_files.insertSorted(additional, at))
        inserted.add(int(row));
    m_files.setSortedBy(order);
    return inserted;
}

void KZFilesViewController::resetNodeIndex() {
    m_nodeIndexs.clear();
    m_nodeIndexs.reserve(m_files.size());
    for (int i = 0; i < m_files.size(); ++i)
        if (!KZLocalFileInfo::isLocal(m_files.made(i)))
            m_nodeIndexs.insert(m_files.nid(i), i);
}

void KZFilesViewController::getDeletedNodesIndexs(kit::IndexSet& deleted, QList<CloudFileInfoPtr>& additional,
                                                  const QList<CloudFileInfoPtr>& increased) {
    // Only the rows of the changed nodes are looked up: one pass over the rows' node ids against
    // the changes, instead of indexing every row of a big folder for a few changes. A bit per
    // hashed id turns most rows away before the hash is asked.
    m_nodeIndexs.clear();
    m_nodeIndexs.reserve(increased.size());
    std::vector<quint64> maybe(size_t(increased.size()) / 8 + 1); // about 8 bits per change
    const size_t bits = maybe.size() * 64;
    const auto bit = [bits](qint64 nid) { return size_t(quint64(nid) * 0x9e3779b97f4a7c15ull >> 17) % bits; };
    for (const CloudFileInfoPtr& node : increased)
        if (node) {
            m_nodeIndexs.insert(node->nid(), -1);
            maybe[bit(node->nid()) / 64] |= quint64(1) << (bit(node->nid()) % 64);
        }
    for (int i = 0; i < m_files.size(); ++i) {
        const qint64 nid = m_files.nid(i);
        if (!(maybe[bit(nid) / 64] >> (bit(nid) % 64) & 1))
            continue;
        if (auto it = m_nodeIndexs.find(nid);
            it != m_nodeIndexs.end() && !KZLocalFileInfo::isLocal(m_files.made(i)))
            *it = i;
    }
    m_nodeIndexs.removeIf([](const QHash<qint64, int>::iterator it) { return it.value() < 0; });
    QList<int> removal;
    for (const CloudFileInfoPtr& node : increased) {
        if (!node)
            continue;
        const auto row = m_nodeIndexs.constFind(node->nid());
        const bool present = row != m_nodeIndexs.constEnd();
        if (!node->isDeleted()) {
            if (present) {
                // Only a row whose record was made can carry a selection.
                const CloudFileInfo* old = m_files.made(*row);
                node->setSelected(old && old->selected());
                removal.append(*row);
            } else if (node->isDirectory()) {
                m_folderNameGenerator->addSuffixIndex({node});
            }
            additional.append(node);
            // The real folder takes the place of its placeholder.
            for (qsizetype i = m_creatingFiles.size() - 1; i >= 0; --i) {
                const auto& local = m_creatingFiles.at(i);
                if (local->name() != node->name())
                    continue;
                const qsizetype at = m_files.indexOf(local.get());
                if (at >= 0)
                    removal.append(int(at));
                m_creatingFiles.removeAt(i);
            }
        } else if (present) {
            removal.append(*row);
            if (m_files.isDirectory(*row))
                m_folderNameGenerator->deleteSuffixIndex({m_files.at(*row)});
            const QString key = offsetKey(node->nid());
            m_tableViewOffsets.remove(key);
            m_collectionViewOffsets.remove(key);
        }
    }
    std::sort(removal.begin(), removal.end());
    removal.erase(std::unique(removal.begin(), removal.end()), removal.end());
    for (int i : std::as_const(removal))
        deleted.add(i);
}

void KZFilesViewController::removeDeletedIncrNodesAtIndexs(const kit::IndexSet& indexes) {
    if (indexes.isEmpty())
        return;
    // One pass that keeps the other rows in order.
    const auto& ranges = indexes.ranges();
    auto range = ranges.cbegin();
    m_files.removeRowsIf([&](qsizetype i) {
        while (range != ranges.cend() && range->second <= i)
            ++range;
        return range != ranges.cend() && range->first <= i;
    });
    deleteRowsAtIndexs(indexes);
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
