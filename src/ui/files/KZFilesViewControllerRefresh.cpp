// The file page's incremental refresh: the refresh request and its spinner, the merge of the
// session's node changes into the open folder, and the placeholder rows of folders being created.
#include "ui/files/KZFilesViewController.h"

#include "cloud/KZSessionProxy.h"
#include "foundation/Dispatch.h"
#include "foundation/ParallelFor.h"
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
    mergeSortedRows(additional);
    insertRowsAtIndexs(indexsOfNodes(additional));
    refreshToolbarItemState();
    refreshHomeToolBarMessage();
    refreshTableHeaderViewState();
}

// The rows stay sorted: the additions are sorted alone and merged in, which gives the order of
// appending them and sorting everything, in one pass over the rows.
void KZFilesViewController::mergeSortedRows(QList<CloudFileInfoPtr> additional) {
    if (additional.isEmpty())
        return;
    const int mode = m_fileListSortMode;
    if (mode == 0 || mode == 1) {
        // Each record keeps its own name key; the keys of a big batch are made on every core.
        const int parts = nubo::parallelParts(additional.size() * 64LL, 64LL * 256);
        nubo::parallelFor(parts, [&](int part) {
            const qsizetype n = additional.size();
            for (qsizetype i = n * part / parts; i < n * (part + 1) / parts; ++i)
                additional.at(i)->nameSortKey();
        });
    }
    // Neither side holds placeholder rows past the leading ones, so nodes compare directly.
    const auto less = [mode](const CloudFileInfoPtr& a, const CloudFileInfoPtr& b) {
        return a->compareBySortMode(*b, mode) < 0;
    };
    std::stable_sort(additional.begin(), additional.end(), less);
    qsizetype lead = 0;
    while (lead < m_files.size() && KZLocalFileInfo::isLocal(m_files.at(lead).get()))
        ++lead;
    QList<CloudFileInfoPtr> merged;
    merged.reserve(m_files.size() + additional.size());
    merged.append(m_files.mid(0, lead));
    std::merge(m_files.cbegin() + lead, m_files.cend(), additional.cbegin(), additional.cend(),
               std::back_inserter(merged), less);
    m_files = std::move(merged);
}

void KZFilesViewController::resetNodeIndex() {
    m_nodeIndexs.clear();
    m_nodeIndexs.reserve(m_files.size());
    for (int i = 0; i < m_files.size(); ++i)
        if (!KZLocalFileInfo::isLocal(m_files.at(i).get()))
            m_nodeIndexs.insert(m_files.at(i)->nid(), i);
}

void KZFilesViewController::getDeletedNodesIndexs(kit::IndexSet& deleted, QList<CloudFileInfoPtr>& additional,
                                                  const QList<CloudFileInfoPtr>& increased) {
    // Only the rows of the changed nodes are looked up: one pass over the rows against the
    // changes, instead of indexing every row of a big folder for a few changes.
    m_nodeIndexs.clear();
    m_nodeIndexs.reserve(increased.size());
    for (const CloudFileInfoPtr& node : increased)
        if (node)
            m_nodeIndexs.insert(node->nid(), -1);
    for (int i = 0; i < m_files.size(); ++i) {
        const CloudFileInfo* f = m_files.at(i).get();
        if (auto it = m_nodeIndexs.find(f->nid()); it != m_nodeIndexs.end() && !KZLocalFileInfo::isLocal(f))
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
                node->setSelected(m_files.at(*row)->selected());
                removal.append(*row);
            } else {
                m_folderNameGenerator->addSuffixIndex({node});
            }
            additional.append(node);
            // The real folder takes the place of its placeholder.
            for (qsizetype i = m_creatingFiles.size() - 1; i >= 0; --i) {
                const auto& local = m_creatingFiles.at(i);
                if (local->name() != node->name())
                    continue;
                const qsizetype at = m_files.indexOf(std::static_pointer_cast<CloudFileInfo>(local));
                if (at >= 0)
                    removal.append(int(at));
                m_creatingFiles.removeAt(i);
            }
        } else if (present) {
            removal.append(*row);
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
    QList<CloudFileInfoPtr> kept;
    kept.reserve(m_files.size() - indexes.count());
    int next = 0;
    for (const auto& [first, end] : indexes.ranges()) {
        for (int i = next; i < std::min<int>(first, int(m_files.size())); ++i)
            kept.append(m_files.at(i));
        next = end;
    }
    for (int i = next; i < m_files.size(); ++i)
        kept.append(m_files.at(i));
    m_files = std::move(kept);
    deleteRowsAtIndexs(indexes);
}

kit::IndexSet KZFilesViewController::indexsOfNodes(const QList<CloudFileInfoPtr>& nodes) const {
    kit::IndexSet out;
    if (nodes.isEmpty())
        return out;
    QSet<const CloudFileInfo*> wanted;
    wanted.reserve(nodes.size());
    for (const auto& f : nodes)
        wanted.insert(f.get());
    for (int i = 0; i < m_files.size(); ++i)
        if (wanted.contains(m_files.at(i).get()))
            out.add(i);
    return out;
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
