#include "ui/transport/KZTransportedFilesViewController.h"

#include "foundation/Dispatch.h"
#include "shell/KZButton.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZWindowsManager.h"
#include "ui/transport/KZTransportAlert.h"
#include "ui/transport/KZTransportListView.h"
#include "ui/transport/KZTransportSelection.h"

#include <QSet>
#include <algorithm>
#include <vector>

namespace {

// The same list, untouched: a list that changed since was copied away from the one kept.
template <class T> bool sameList(const QList<T>& a, const QList<T>& b) {
    return a.constData() == b.constData() && a.size() == b.size();
}

} // namespace

KZTransportedFilesViewController::KZTransportedFilesViewController(QObject* parent)
    : KZTransportListController(parent) {}

KZTransportedFilesViewController::~KZTransportedFilesViewController() {
    KZUploadMgrProxy::shareUploadMgrProxy()->removeUploadMgrProxyObserver(this);
    KZDownloadMgrProxy::shareDownloadMgrProxy()->removeDownloadMgrProxyObserver(this);
}

void KZTransportedFilesViewController::viewDidLoad() {
    KZBaseViewController::viewDidLoad();
    KZTransportListView* v = m_listView;
    v->setMouseDownHandler([] { KZTransportAlert::closeUserInfoWindow(); });
    m_clearButton = v->addBarButton(QStringLiteral("清除记录"), QStringLiteral("share_delete"), this,
                                    [this] { clearButtonClicked(); });
    m_clearButton->setInterval(1.0);
    m_clearAllButton = v->addBarButton(QStringLiteral("清空记录"), QStringLiteral("share_delete"), this,
                                       [this] { clearAllButtonClicked(); });
    kit::TableView* table = v->tableView();
    v->headerView()->setDelegate(this);
    // A finished row draws its cells itself: a screen of them is one widget per row.
    table->registerView(KZTransportedRowView::kIdentifier, [] { return new KZTransportedRowView; });
    table->setDataSource(this);
    table->setDelegate(this);
    reloadUI();
}

void KZTransportedFilesViewController::viewWillAppear() {
    KZBaseViewController::viewWillAppear();
    KZUploadMgrProxy::shareUploadMgrProxy()->addUploadMgrProxyObserver(this);
    KZDownloadMgrProxy::shareDownloadMgrProxy()->addDownloadMgrProxyObserver(this);
    // Proxies that hold their lists answer at once: the rows are merged before the first frame
    // instead of a turn later, so the page never paints the rows of its last appearance first.
    m_askingProxies = true;
    KZUploadMgrProxy::shareUploadMgrProxy()->getFinishedUploadJobOpenInfo();
    KZDownloadMgrProxy::shareDownloadMgrProxy()->getFinishedDownloadJobOpenInfo();
    m_askingProxies = false;
    if (std::exchange(m_mergeAsked, false))
        merge();
    refreshToolbarButtonsState();
}

void KZTransportedFilesViewController::viewWillDisappear() {
    KZBaseViewController::viewWillDisappear();
    KZUploadMgrProxy::shareUploadMgrProxy()->removeUploadMgrProxyObserver(this);
    KZDownloadMgrProxy::shareDownloadMgrProxy()->removeDownloadMgrProxyObserver(this);
}

// ---- table

kit::TableRowView* KZTransportedFilesViewController::tableViewRowViewForRow(kit::TableView* table, int row) {
    auto* rowView = table->makeView<KZTransportedRowView>(KZTransportedRowView::kIdentifier);
    rowView->setDelegate(this);
    rowView->setJob(row >= 0 && row < m_tranportedJobs.size() ? m_tranportedJobs.at(row)
                                                              : KZTransportedJob{});
    return rowView;
}

void KZTransportedFilesViewController::tableViewSelectionDidChange(kit::TableView* table) {
    KZTransportAlert::closeUserInfoWindow();
    for (const KZTransportedJob& j : std::as_const(m_selectedJobs))
        j.selected() = false;
    m_selectedJobs.clear();
    table->selectedRowIndexes().forEach([this](int row) {
        if (row >= m_tranportedJobs.size())
            return;
        const KZTransportedJob& j = m_tranportedJobs.at(row);
        j.selected() = true;
        m_selectedJobs.append(j);
    });
    refreshToolbarButtonsState();
    refreshTableHeaderViewState();
}

// ---- proxy reports

int KZTransportedFilesViewController::uploadFinished(const KZUploadJobOpenInfoPtr& info) {
    insertJob({info, nullptr});
    return 0;
}

int KZTransportedFilesViewController::downloadFinished(const KZDownloadJobOpenInfoPtr& info) {
    insertJob({nullptr, info});
    return 0;
}

int KZTransportedFilesViewController::uploadCancel(const KZUploadJobOpenInfoPtr& info) {
    removeJob({info, nullptr});
    return 0;
}

int KZTransportedFilesViewController::downloadCancel(const KZDownloadJobOpenInfoPtr& info) {
    removeJob({nullptr, info});
    return 0;
}

void KZTransportedFilesViewController::didUpdateFinishedUploadJobOpenInfos(
    const QList<KZUploadJobOpenInfoPtr>& infos) {
    m_uploadedJobs = infos;
    scheduleMerge();
}

void KZTransportedFilesViewController::didUpdateFinishedDownloadJobOpenInfos(
    const QList<KZDownloadJobOpenInfoPtr>& infos) {
    m_downloadedJobs = infos;
    scheduleMerge();
}

void KZTransportedFilesViewController::scheduleMerge() {
    // Both proxies usually answer in the same turn of the event loop (at once, when they hold
    // their lists): the two answers are merged, sorted and shown once.
    if (m_askingProxies) {
        m_mergeAsked = true;
        return;
    }
    if (m_mergePending)
        return;
    m_mergePending = true;
    nubo::runOn(this, [this] {
        m_mergePending = false;
        merge();
    });
}

void KZTransportedFilesViewController::merge() {
    if (sameList(m_uploadedJobs, m_mergedUploads) && sameList(m_downloadedJobs, m_mergedDownloads)) {
        reloadUI();
        return;
    }
    m_mergedUploads = m_uploadedJobs;
    m_mergedDownloads = m_downloadedJobs;
    const QList<KZTransportedJob> before = std::exchange(m_tranportedJobs, {});
    m_tranportedJobs.reserve(m_uploadedJobs.size() + m_downloadedJobs.size());
    for (const auto& u : std::as_const(m_uploadedJobs))
        m_tranportedJobs.append({u, nullptr});
    for (const auto& d : std::as_const(m_downloadedJobs))
        m_tranportedJobs.append({nullptr, d});
    sortTranportedJobsByFinishedTime();
    reloadData(before);
}

void KZTransportedFilesViewController::sortTranportedJobsByFinishedTime() {
    // Sorted by keys read once, newest first (ties keep their order).
    std::vector<std::pair<quint32, int>> keys;
    keys.reserve(size_t(m_tranportedJobs.size()));
    for (int i = 0; i < m_tranportedJobs.size(); ++i)
        keys.emplace_back(m_tranportedJobs[i].finishedTime(), i);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    QList<KZTransportedJob> sorted;
    sorted.reserve(m_tranportedJobs.size());
    for (const auto& k : keys)
        sorted.append(std::move(m_tranportedJobs[k.second]));
    m_tranportedJobs = std::move(sorted);
}

void KZTransportedFilesViewController::reloadData(const QList<KZTransportedJob>& before) {
    const auto id = [](const KZTransportedJob& j) { return j.identity(); };
    // A record that is gone finds a new record of its own kind only.
    const QList<KZTransportedJob> carried = KZTransportSelection::carriedOver(
        m_selectedJobs, before, m_tranportedJobs, id,
        [](const KZTransportedJob& j) { return std::pair(j.isUpload(), j.selectionKey()); });
    for (const KZTransportedJob& j : std::as_const(m_selectedJobs))
        j.selected() = false;
    m_selectedJobs.clear();
    if (kit::TableView* table = tableView()) {
        // The reload selects nothing; selecting the carried rows rebuilds the selection.
        table->reloadData();
        table->selectRowIndexes(KZTransportSelection::rowsOf(carried, m_tranportedJobs, id), false);
    }
    reloadUI();
}

void KZTransportedFilesViewController::insertJob(const KZTransportedJob& job) {
    if (rowOf(job) >= 0)
        return;
    if (job.upload)
        m_uploadedJobs.append(job.upload);
    else
        m_downloadedJobs.append(job.download);
    // On top until the next full update sorts it in.
    m_tranportedJobs.prepend(job);
    if (kit::TableView* table = tableView()) {
        table->beginUpdates();
        table->insertRows(kit::IndexSet(0));
        table->endUpdates();
    }
    reloadUI();
}

void KZTransportedFilesViewController::removeJob(const KZTransportedJob& job) {
    if (job.upload)
        m_uploadedJobs.removeOne(job.upload);
    else
        m_downloadedJobs.removeOne(job.download);
    const int row = rowOf(job);
    if (row < 0)
        return;
    kit::TableView* table = tableView();
    if (table)
        table->beginUpdates();
    m_tranportedJobs.removeAt(row);
    m_selectedJobs.removeOne(job);
    if (table) {
        table->removeRows(kit::IndexSet(row));
        table->endUpdates();
    }
    reloadUI();
}

// ---- refreshers

void KZTransportedFilesViewController::refreshHomeToolBarMessage() {
    // The bar belongs to the page on screen: a list refreshed while hidden leaves it alone.
    if (!isViewVisible())
        return;
    KZWindowsManager::showMessageInBottomBarRightArea(
        QStringLiteral("已加载全部, 共%1个文件传输完成").arg(m_tranportedJobs.size()));
}

void KZTransportedFilesViewController::refreshToolbarButtonsState() {
    if (!m_clearButton)
        return;
    const bool any = !m_selectedJobs.isEmpty();
    // The bar is laid out again only when the buttons it shows change.
    const bool swapped = m_clearButton->isHidden() == any || m_clearAllButton->isHidden() != any;
    m_clearButton->setHidden(!any);
    m_clearAllButton->setHidden(any);
    m_clearButton->setEnabled(any);
    m_clearAllButton->setEnabled(!any && !m_tranportedJobs.isEmpty());
    if (swapped)
        m_listView->layout();
}

void KZTransportedFilesViewController::refreshTableHeaderViewState() {
    refreshHeader(m_tranportedJobs.size(), m_selectedJobs.size());
}

// ---- user actions

void KZTransportedFilesViewController::clearButtonClicked() {
    KZTransportAlert::closeUserInfoWindow();
    askClear(QStringLiteral("清除传输记录"), QStringLiteral("确定要清除选中的传输记录吗？"),
             QStringLiteral("清除"));
}

void KZTransportedFilesViewController::clearAllButtonClicked() {
    KZTransportAlert::closeUserInfoWindow();
    askClear(QStringLiteral("清空传输记录"), QStringLiteral("确定要清空全部传输记录吗？"),
             QStringLiteral("清空"));
}

void KZTransportedFilesViewController::askClear(const QString& title, const QString& text,
                                                const QString& confirmTitle) {
    // The records are the ones chosen now, whatever arrives or leaves while the question is open.
    const QList<KZTransportedJob> chosen = m_clearAllButton->isHidden() ? m_selectedJobs : m_tranportedJobs;
    KZTransportAlert::ask(this, title, text, confirmTitle, KZAlertActionStyleWarning,
                          [this, chosen] { deleteJobs(chosen); });
}

void KZTransportedFilesViewController::deleteJobs(const QList<KZTransportedJob>& chosen) {
    auto* up = KZUploadMgrProxy::shareUploadMgrProxy();
    auto* down = KZDownloadMgrProxy::shareDownloadMgrProxy();
    // One "clear all" per proxy only when the chosen records are every finished record of both:
    // otherwise a record that finished while the question was open would go too.
    QSet<const void*> ids;
    for (const KZTransportedJob& j : chosen)
        ids.insert(j.identity());
    const bool all =
        !chosen.isEmpty() &&
        std::all_of(up->finishedUploadJobOpenInfos().begin(), up->finishedUploadJobOpenInfos().end(),
                    [&](const auto& j) { return ids.contains(j.get()); }) &&
        std::all_of(down->finishedDownloadJobOpenInfos().begin(), down->finishedDownloadJobOpenInfos().end(),
                    [&](const auto& j) { return ids.contains(j.get()); });
    if (all) {
        up->cancelFinishedAll();
        down->cancelFinishedAll();
        return;
    }
    for (const KZTransportedJob& j : chosen) {
        if (j.upload)
            up->cancel(j.upload->m_path);
        else
            down->cancel(j.download->m_path);
    }
}

void KZTransportedFilesViewController::transportedRowViewDidClickCheckBox(KZTransportedRowView* rowView,
                                                                          bool checked) {
    KZTransportAlert::closeUserInfoWindow();
    const KZTransportedJob job = rowView->job();
    const int row = job.isNull() ? -1 : rowOf(job);
    kit::TableView* table = tableView();
    if (row < 0 || !table)
        return;
    if (checked) {
        if (!m_selectedJobs.contains(job))
            m_selectedJobs.append(job);
        table->selectRowIndexes(kit::IndexSet(row), true);
    } else {
        m_selectedJobs.removeOne(job);
        table->deselectRow(row);
    }
    refreshToolbarButtonsState();
    refreshTableHeaderViewState();
}

void KZTransportedFilesViewController::tableCheckBoxHeaderViewDidPressSelectButton(KZTableCheckboxHeaderView*,
                                                                                   KZCheckBoxButton* button) {
    KZTransportAlert::closeUserInfoWindow();
    const bool on = button->checked();
    for (const KZTransportedJob& j : std::as_const(m_selectedJobs))
        j.selected() = on;
    m_selectedJobs.clear();
    if (kit::TableView* table = tableView()) {
        if (on)
            table->selectAll();
        else
            table->deselectAll();
    }
    refreshToolbarButtonsState();
}
