#pragma once

#include "shell/KZAlertController.h"
#include "shell/KZButton.h"
#include "ui/files/KZFileRowView.h"
#include "ui/transport/KZTransportListController.h"

#include <QPointer>
#include <QSet>

// What the uploading and the downloading lists share (`Traits` names what differs): a table of
// the proxy's unfinished jobs, the selection kept across list replacements, the buttons that
// act on the selected jobs or on all, and the delete question that pauses jobs while it is open.
template <class Traits>
class KZTransportingFilesViewController : public KZTransportListController, public KZFileRowViewDelegate {
public:
    using Job = typename Traits::Job;
    using JobPtr = typename Traits::JobPtr;

    // How often row changes and cell updates reach the screen while jobs report.
    static constexpr int kRefreshIntervalMs = 100;

    explicit KZTransportingFilesViewController(QObject* parent = nullptr);

    const QList<JobPtr>& jobs() const { return m_jobs; }
    const QList<JobPtr>& selectedJobs() const { return m_selectedJobs; }
    const QSet<QString>& selectedPauseJobs() const { return m_selectedPauseJobs; }
    // Row changes or cell updates are waiting for the next refresh.
    bool hasPendingRefresh() const { return m_batchOpen; }

    KZButton* pauseButton() const { return m_pauseButton; }
    KZButton* startButton() const { return m_startButton; }
    KZButton* deleteButton() const { return m_deleteButton; }
    KZButton* pauseAllbutton() const { return m_pauseAllbutton; }
    KZButton* startAllButton() const { return m_startAllButton; }
    KZButton* deleteAllButton() const { return m_deleteAllButton; }

    void viewWillAppear() override;
    void viewWillDisappear() override;

    // User actions.
    void pauseButtonClicked();
    void startButtonClicked();
    void pauseAllButtonPressed();
    void startAllButtonPressed();
    void deleteButtonClicked();
    void deleteAllButtonPressed();

    void refreshToolbarButtonsState() override;
    void refreshTableHeaderViewState() override;
    void refreshHomeToolBarMessage() override;

    // kit::TableViewDataSource / kit::TableViewDelegate
    int numberOfRowsInTableView(kit::TableView*) override { return int(m_jobs.size()); }
    kit::View* tableViewViewForTableColumn(kit::TableView* table, kit::TableColumn* column, int row) override;
    kit::TableRowView* tableViewRowViewForRow(kit::TableView* table, int row) override;
    void tableViewSelectionDidChange(kit::TableView* table) override;
    // KZFileRowViewDelegate
    void fileRowViewDidClickCheckBox(KZFileRowView* rowView, KZCheckBoxButton* checkBox) override;
    void fileRowViewRightMouseUp(KZFileRowView*, const kit::Event&) override {}
    // KZTableCheckboxHeaderViewDelegate
    void tableCheckBoxHeaderViewDidPressSelectButton(KZTableCheckboxHeaderView* header,
                                                     KZCheckBoxButton* button) override;
    // KZMessageSetViewDelegate
    bool messageSetViewShouldDisplay(QWidget*) override { return m_jobs.isEmpty(); }
    kit::AttributedString descriptionForMessageSetView(QWidget*) override {
        return Traits::emptyDescription();
    }

protected:
    void viewDidLoad() override;

    // What the proxy reports, forwarded by the list of each direction.
    void jobsAdded(const QList<JobPtr>& added);
    void jobChanged(const JobPtr& job);
    void jobLeft(const JobPtr& job);
    void jobFailed(const JobPtr& job);
    void replaceJobs(const QList<JobPtr>& jobs);
    // A row's own start or pause button was pressed: the toast when the network is paused.
    void rowCommandSent();

    virtual void addObserver() = 0;
    virtual void removeObserver() = 0;

private:
    // Paused and failed jobs are what "start" acts on.
    static bool isPausedState(int status) {
        return status == KZTransportJobStatusPaused || status == KZTransportJobStatusError;
    }
    static bool isActiveState(int status) {
        return status == KZTransportJobStatusRunning || status == KZTransportJobStatusWaiting;
    }
    int rowOf(const JobPtr& job) const { return job ? int(m_jobs.indexOf(job)) : -1; }
    void updateRowViews(const JobPtr& job, const QStringList& columns);
    // Opens one batch of row changes for this turn of the event loop.
    void beginBatch();
    // Whether `chosen` holds every row (by identity).
    bool coversAllRows(const QList<JobPtr>& chosen) const;
    void askDelete(const QList<JobPtr>& chosen, const QString& title, const QString& text,
                   const QString& confirmTitle, KZAlertActionStyle style);
    void deleteJobs(const QList<JobPtr>& chosen);
    void cancelDeleteJobs();

    QPointer<KZButton> m_pauseButton, m_startButton, m_deleteButton;
    QPointer<KZButton> m_pauseAllbutton, m_startAllButton, m_deleteAllButton;
    QList<JobPtr> m_jobs;
    QList<JobPtr> m_selectedJobs;
    QSet<QString> m_selectedPauseJobs;
    // Jobs that were running or waiting when the open delete question paused them.
    QList<JobPtr> m_activeJobs;
    bool m_batchOpen = false;
    QList<JobPtr> m_changedJobs; // cells to update at the end of the batch
};
