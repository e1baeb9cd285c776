#include "ui/transport/KZTransportingFilesViewController.h"

#include "foundation/Dispatch.h"
#include "shell/KZButton.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZTools.h"
#include "shell/KZWindowsManager.h"
#include "ui/transport/KZTransportAlert.h"
#include "ui/transport/KZTransportListTraits.h"
#include "ui/transport/KZTransportListView.h"
#include "ui/transport/KZTransportSelection.h"

using L = KZTransportListView;

template <class T>
KZTransportingFilesViewController<T>::KZTransportingFilesViewController(QObject* parent)
    : KZTransportListController(parent) {}

template <class T> void KZTransportingFilesViewController<T>::viewDidLoad() {
    KZBaseViewController::viewDidLoad();
    KZTransportListView* v = m_listView;
    v->setMouseDownHandler([] { KZTransportAlert::closeUserInfoWindow(); });
    m_pauseButton = v->addBarButton(QStringLiteral("暂停"), QStringLiteral("transport_pause"), this,
                                    [this] { pauseButtonClicked(); });
    m_startButton = v->addBarButton(QStringLiteral("开始"), QStringLiteral("transport_play"), this,
                                    [this] { startButtonClicked(); });
    m_deleteButton = v->addBarButton(QStringLiteral("删除"), QStringLiteral("transport_delete"), this,
                                     [this] { deleteButtonClicked(); });
    m_pauseAllbutton = v->addBarButton(QStringLiteral("全部暂停"), QStringLiteral("transport_pause"), this,
                                       [this] { pauseAllButtonPressed(); });
    m_startAllButton = v->addBarButton(QStringLiteral("全部开始"), QStringLiteral("transport_play"), this,
                                       [this] { startAllButtonPressed(); });
    m_deleteAllButton = v->addBarButton(QStringLiteral("全部删除"), QStringLiteral("transport_delete"), this,
                                        [this] { deleteAllButtonPressed(); });
    kit::TableView* table = v->tableView();
    v->headerView()->setDelegate(this);
    table->registerView(KZFileRowView::kIdentifier, [] { return new KZFileRowView; });
    table->registerView(KZFileInfoCell::kIdentifier, [] { return new KZFileInfoCell; });
    table->registerView(KZTransportFileProgressCell::kIdentifier,
                        [] { return new KZTransportFileProgressCell; });
    table->registerView(T::OperationsCell::kIdentifier, [] { return new typename T::OperationsCell; });
    table->setDataSource(this);
    table->setDelegate(this);
    reloadUI();
}

template <class T> void KZTransportingFilesViewController<T>::viewWillAppear() {
    KZBaseViewController::viewWillAppear();
    addObserver();
    T::requestList();
    refreshToolbarButtonsState();
}

template <class T> void KZTransportingFilesViewController<T>::viewWillDisappear() {
    KZBaseViewController::viewWillDisappear();
    removeObserver();
}

// ---- table

template <class T>
kit::View* KZTransportingFilesViewController<T>::tableViewViewForTableColumn(kit::TableView* table,
                                                                             kit::TableColumn* column,
                                                                             int row) {
    if (!column || row < 0 || row >= m_jobs.size() || column->title().isEmpty())
        return nullptr; // the check column: the row view draws its box
    const JobPtr& job = m_jobs.at(row);
    const QString title = column->title();
    if (title == L::kStateTitle) {
        auto* cell = table->makeView<KZTransportFileProgressCell>(KZTransportFileProgressCell::kIdentifier);
        T::show(cell, job);
        return cell;
    }
    if (title == L::kOperationsTitle) {
        auto* cell = table->makeView<typename T::OperationsCell>(T::OperationsCell::kIdentifier);
        cell->setDelegate(dynamic_cast<typename T::CellDelegate*>(this));
        T::show(cell, job);
        return cell;
    }
    auto* cell = table->makeView<KZFileInfoCell>(KZFileInfoCell::kIdentifier);
    cell->setType(title == L::kSizeTitle ? KZFileInfoCellTypeSize : KZFileInfoCellTypeName);
    T::show(cell, job);
    return cell;
}

template <class T>
kit::TableRowView* KZTransportingFilesViewController<T>::tableViewRowViewForRow(kit::TableView* table,
                                                                                int row) {
    auto* rowView = table->makeView<KZFileRowView>(KZFileRowView::kIdentifier);
    rowView->setDelegate(this);
    T::show(rowView, row >= 0 && row < m_jobs.size() ? m_jobs.at(row) : JobPtr());
    return rowView;
}

template <class T>
void KZTransportingFilesViewController<T>::tableViewSelectionDidChange(kit::TableView* table) {
    KZTransportAlert::closeUserInfoWindow();
    for (const JobPtr& j : std::as_const(m_selectedJobs))
        j->m_selected = false;
    m_selectedPauseJobs.clear();
    m_selectedJobs.clear();
    table->selectedRowIndexes().forEach([this](int row) {
        if (row >= m_jobs.size())
            return;
        const JobPtr& j = m_jobs.at(row);
        j->m_selected = true;
        m_selectedJobs.append(j);
        if (isPausedState(int(j->m_status)))
            m_selectedPauseJobs.insert(j->m_path);
    });
    refreshToolbarButtonsState();
    refreshTableHeaderViewState();
}

template <class T>
void KZTransportingFilesViewController<T>::updateRowViews(const JobPtr& job, const QStringList& columns) {
    kit::TableView* table = tableView();
    const int row = rowOf(job);
    if (!table || row < 0)
        return;
    for (const QString& id : columns) {
        kit::View* v = table->viewAtColumn(table->columnWithIdentifier(id), row, false);
        if (auto* c = qobject_cast<KZFileInfoCell*>(v))
            T::show(c, job);
        else if (auto* c = qobject_cast<KZTransportFileProgressCell*>(v))
            T::show(c, job);
        else if (auto* c = qobject_cast<typename T::OperationsCell*>(v))
            T::show(c, job);
    }
}

// ---- proxy reports

template <class T> void KZTransportingFilesViewController<T>::jobsAdded(const QList<JobPtr>& added) {
    if (added.isEmpty())
        return;
    const int first = int(m_jobs.size());
    m_jobs.append(added);
    if (kit::TableView* table = tableView()) {
        beginBatch();
        table->insertRows(kit::IndexSet::range(first, int(added.size())));
    }
}

template <class T> void KZTransportingFilesViewController<T>::beginBatch() {
    kit::TableView* table = tableView();
    if (m_batchOpen || !table)
        return;
    // Rows that come and go, and cells that change, are laid out and painted together a moment
    // later: ten thousand small files finish a few at a time, and painting each change on its
    // own would keep the main thread busy.
    m_batchOpen = true;
    table->beginUpdates();
    nubo::runAfter(
        kRefreshIntervalMs,
        [this] {
            m_batchOpen = false;
            kit::TableView* t = tableView();
            if (!t)
                return;
            t->endUpdates();
            for (const JobPtr& j : std::exchange(m_changedJobs, {}))
                updateRowViews(j, {L::kSizeColumn, L::kStateColumn, L::kOperationsColumn});
            reloadUI();
        },
        this);
}

template <class T> void KZTransportingFilesViewController<T>::jobChanged(const JobPtr& job) {
    if (rowOf(job) < 0)
        return;
    if (!m_changedJobs.contains(job))
        m_changedJobs.append(job);
    beginBatch();
    if (job->m_selected) {
        if (isPausedState(int(job->m_status)))
            m_selectedPauseJobs.insert(job->m_path);
        else if (isActiveState(int(job->m_status)))
            m_selectedPauseJobs.remove(job->m_path);
    }
    refreshToolbarButtonsState();
}

template <class T> void KZTransportingFilesViewController<T>::jobFailed(const JobPtr& job) {
    if (rowOf(job) < 0)
        return;
    updateRowViews(job, {L::kStateColumn, L::kOperationsColumn});
    // A selected job that failed can be retried at once.
    if (job->m_selected)
        m_selectedPauseJobs.insert(job->m_path);
    refreshToolbarButtonsState();
}

template <class T> void KZTransportingFilesViewController<T>::jobLeft(const JobPtr& job) {
    const int row = rowOf(job);
    if (row < 0)
        return;
    m_jobs.removeAt(row);
    m_changedJobs.removeOne(job);
    m_selectedJobs.removeOne(job);
    m_activeJobs.removeOne(job);
    m_selectedPauseJobs.remove(job->m_path);
    if (kit::TableView* table = tableView()) {
        beginBatch();
        table->removeRows(kit::IndexSet(row));
    }
}

template <class T> void KZTransportingFilesViewController<T>::replaceJobs(const QList<JobPtr>& jobs) {
    const auto id = [](const JobPtr& j) { return static_cast<const void*>(j.get()); };
    const QList<JobPtr> before = std::exchange(m_jobs, jobs);
    const QList<JobPtr> carried = KZTransportSelection::carriedOver(
        m_selectedJobs, before, m_jobs, id, [](const JobPtr& j) { return T::selectionKey(*j); });
    m_changedJobs.clear();
    for (const JobPtr& j : std::as_const(m_selectedJobs))
        j->m_selected = false;
    m_selectedJobs.clear();
    m_selectedPauseJobs.clear();
    if (kit::TableView* table = tableView()) {
        // The reload selects nothing; selecting the carried rows rebuilds the selection sets.
        table->reloadData();
        table->selectRowIndexes(KZTransportSelection::rowsOf(carried, m_jobs, id), false);
    }
    reloadUI();
}

template <class T> void KZTransportingFilesViewController<T>::rowCommandSent() {
    KZTools::isNetworkPaused();
}

// ---- refreshers

template <class T> void KZTransportingFilesViewController<T>::refreshHomeToolBarMessage() {
    // The bar belongs to the page on screen: a list refreshed while hidden leaves it alone.
    if (!isViewVisible())
        return;
    KZWindowsManager::showMessageInBottomBarRightArea(T::kBottomBarText.arg(m_jobs.size()));
}

template <class T> void KZTransportingFilesViewController<T>::refreshTableHeaderViewState() {
    refreshHeader(m_jobs.size(), m_selectedJobs.size());
}

template <class T> void KZTransportingFilesViewController<T>::refreshToolbarButtonsState() {
    if (!m_pauseButton)
        return;
    const qsizetype n = m_selectedJobs.size();
    const bool relayout = m_pauseButton->isHidden() != (n == 0);
    for (KZButton* b : {m_pauseButton.data(), m_startButton.data(), m_deleteButton.data()})
        b->setHidden(n == 0);
    for (KZButton* b : {m_pauseAllbutton.data(), m_startAllButton.data(), m_deleteAllButton.data()})
        b->setHidden(n != 0);
    if (n > 0) {
        m_startButton->setEnabled(!m_selectedPauseJobs.isEmpty());
        m_pauseButton->setEnabled(m_selectedPauseJobs.size() != n);
        m_deleteButton->setEnabled(true);
    } else {
        auto* proxy = T::proxy();
        const int stopped = proxy->getPausedJobCount() + proxy->getErrorJobCount();
        m_startAllButton->setEnabled(stopped != 0);
        m_pauseAllbutton->setEnabled(stopped != m_jobs.size());
        m_deleteAllButton->setEnabled(!m_jobs.isEmpty());
    }
    if (relayout)
        m_listView->layout();
}

// ---- user actions

template <class T> void KZTransportingFilesViewController<T>::pauseButtonClicked() {
    KZTransportAlert::closeUserInfoWindow();
    if (KZTools::isNetworkPaused())
        return;
    if (m_selectedJobs.size() == m_jobs.size())
        return T::proxy()->pauseAll();
    for (const JobPtr& j : std::as_const(m_selectedJobs))
        T::proxy()->pause(j->m_path);
}

template <class T> void KZTransportingFilesViewController<T>::startButtonClicked() {
    KZTransportAlert::closeUserInfoWindow();
    if (KZTools::isNetworkPaused())
        return;
    if (m_selectedJobs.size() == m_jobs.size())
        return T::proxy()->resumeAll();
    for (const JobPtr& j : std::as_const(m_selectedJobs))
        T::proxy()->resume(j->m_path);
}

template <class T> void KZTransportingFilesViewController<T>::pauseAllButtonPressed() {
    KZTransportAlert::closeUserInfoWindow();
    if (!KZTools::isNetworkPaused())
        T::proxy()->pauseAll();
}

template <class T> void KZTransportingFilesViewController<T>::startAllButtonPressed() {
    KZTransportAlert::closeUserInfoWindow();
    if (!KZTools::isNetworkPaused())
        T::proxy()->resumeAll();
}

template <class T> void KZTransportingFilesViewController<T>::deleteButtonClicked() {
    KZTransportAlert::closeUserInfoWindow();
    if (m_selectedJobs.size() == m_jobs.size())
        return deleteAllButtonPressed();
    m_activeJobs.clear();
    for (const JobPtr& j : std::as_const(m_selectedJobs))
        if (isActiveState(int(j->m_status)))
            m_activeJobs.append(j);
    const QList<JobPtr> chosen = m_selectedJobs;
    pauseButtonClicked();
    askDelete(chosen, T::kDeleteTitle, T::kDeleteText, QStringLiteral("确定"), KZAlertActionStylePrimary);
}

template <class T> void KZTransportingFilesViewController<T>::deleteAllButtonPressed() {
    KZTransportAlert::closeUserInfoWindow();
    m_activeJobs.clear();
    for (const JobPtr& j : std::as_const(m_jobs))
        if (isActiveState(int(j->m_status)))
            m_activeJobs.append(j);
    T::proxy()->pauseAll();
    askDelete(m_jobs, QStringLiteral("删除文件"), T::kDeleteAllText, QStringLiteral("删除"),
              KZAlertActionStyleWarning);
}

template <class T>
void KZTransportingFilesViewController<T>::askDelete(const QList<JobPtr>& chosen, const QString& title,
                                                     const QString& text, const QString& confirmTitle,
                                                     KZAlertActionStyle style) {
    // The jobs are the ones chosen now: what finishes or arrives while the question is open
    // changes neither what is deleted nor what is resumed.
    KZTransportAlert::ask(
        this, title, text, confirmTitle, style, [this, chosen] { deleteJobs(chosen); },
        [this] { cancelDeleteJobs(); });
}

template <class T>
bool KZTransportingFilesViewController<T>::coversAllRows(const QList<JobPtr>& chosen) const {
    if (chosen.size() < m_jobs.size())
        return false;
    QSet<const Job*> set;
    for (const JobPtr& j : chosen)
        set.insert(j.get());
    return std::all_of(m_jobs.begin(), m_jobs.end(), [&](const JobPtr& j) { return set.contains(j.get()); });
}

template <class T> void KZTransportingFilesViewController<T>::deleteJobs(const QList<JobPtr>& chosen) {
    m_activeJobs.clear();
    if (!m_jobs.isEmpty() && coversAllRows(chosen))
        return T::proxy()->cancelAll();
    for (const JobPtr& j : chosen)
        if (rowOf(j) >= 0)
            T::proxy()->cancelUnfinished(j->m_path);
}

template <class T> void KZTransportingFilesViewController<T>::cancelDeleteJobs() {
    const QList<JobPtr> active = std::exchange(m_activeJobs, {});
    if (active.isEmpty())
        return;
    // One "start all" only when it would start exactly these jobs: every row was running or
    // waiting as the question opened.
    if (coversAllRows(active))
        return startAllButtonPressed();
    for (const JobPtr& j : active)
        T::proxy()->resume(j->m_path);
}

template <class T>
void KZTransportingFilesViewController<T>::fileRowViewDidClickCheckBox(KZFileRowView* rowView,
                                                                       KZCheckBoxButton* checkBox) {
    KZTransportAlert::closeUserInfoWindow();
    const JobPtr job = T::jobOf(rowView);
    const int row = rowOf(job);
    kit::TableView* table = tableView();
    if (row < 0 || !table)
        return;
    if (checkBox->checked()) {
        if (isPausedState(int(job->m_status)))
            m_selectedPauseJobs.insert(job->m_path);
        if (!m_selectedJobs.contains(job))
            m_selectedJobs.append(job);
        table->selectRowIndexes(kit::IndexSet(row), true);
    } else {
        m_selectedPauseJobs.remove(job->m_path);
        m_selectedJobs.removeOne(job);
        table->deselectRow(row);
    }
    refreshToolbarButtonsState();
    refreshTableHeaderViewState();
}

template <class T>
void KZTransportingFilesViewController<T>::tableCheckBoxHeaderViewDidPressSelectButton(
    KZTableCheckboxHeaderView*, KZCheckBoxButton* button) {
    KZTransportAlert::closeUserInfoWindow();
    const bool on = button->checked();
    for (const JobPtr& j : std::as_const(m_jobs))
        j->m_selected = on;
    if (kit::TableView* table = tableView()) {
        if (on)
            table->selectAll();
        else
            table->deselectAll();
    }
    refreshToolbarButtonsState();
}

template class KZTransportingFilesViewController<KZUploadListTraits>;
template class KZTransportingFilesViewController<KZDownloadListTraits>;
