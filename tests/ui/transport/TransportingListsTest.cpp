// The uploading and downloading lists against the real transfer engines and embedded service.
#include "TransportFixture.h"

#include "foundation/NetworkMonitor.h"
#include "kit/TableView.h"
#include "kit/Window.h"
#include "shell/KZAlertController.h"
#include "shell/KZButton.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZLabel.h"
#include "shell/KZMessageSet.h"
#include "shell/KZTableCheckboxHeaderView.h"
#include "shell/KZWindowsManager.h"
#include "transfer/KZUploadMgr.h"
#include "ui/transport/KZDownloadingFilesViewController.h"
#include "ui/transport/KZTransportListView.h"
#include "ui/transport/KZUploadingFilesViewController.h"

#include <QElapsedTimer>
#include <condition_variable>
#include <mutex>
#include <optional>

using namespace nubo::test;
using nubo::ServiceOp;

namespace {

KZUploadJobOpenInfoPtr madeUpload(const QString& name, int status) {
    KZUploadJobInfo i;
    i.m_path = QStringLiteral("/up/") + name;
    i.m_disk_path = QStringLiteral("/tmp/") + name;
    i.m_status = quint32(status);
    return std::make_shared<KZUploadJobOpenInfo>(i);
}

KZDownloadJobOpenInfoPtr madeDownload(const QString& name, int status) {
    KZDownloadJobInfo i;
    i.m_path = QStringLiteral("/tmp/dl/") + name;
    i.m_status = status;
    return std::make_shared<KZDownloadJobOpenInfo>(i);
}

template <class List> QStringList paths(const List& jobs) {
    QStringList out;
    for (const auto& j : jobs)
        out << j->m_path;
    return out;
}

// The rows whose check box shows ticked.
QList<int> tickedRows(kit::TableView* table) {
    QList<int> out;
    for (int row : table->displayedRows())
        if (table->rowViewAtRow(row, false)->isSelected())
            out << row;
    return out;
}

// The row's own delete button, as the user presses it.
template <class Cell> void pressRowDelete(kit::TableView* table, int row) {
    auto* cell = qobject_cast<Cell*>(
        table->viewAtColumn(table->columnWithIdentifier(KZTransportListView::kOperationsColumn), row, false));
    ASSERT_TRUE(cell);
    cell->taskDeleteButton()->sendAction();
}

// Holds the upload proxy's report of the next upload to finish on the engine's thread, inside the
// proxy, until released: the job is finished in the engine while the pages still see it unfinished.
class HeldFinishReport {
public:
    HeldFinishReport() : m_finishedBefore(finishedUploads()) {
        nubo::transfer::relayHookForTesting() = &m_hook;
    }
    ~HeldFinishReport() {
        release();
        nubo::transfer::relayHookForTesting() = nullptr;
        nubo::KZBackgroundThread::shared().runAndWait([] {}); // no call of the hook is left under way
    }
    bool waitHeld() {
        return waitUntil([this] {
            std::lock_guard lock(m_mutex);
            return m_held;
        });
    }
    void release() {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_cv.notify_all();
    }

private:
    static int finishedUploads() {
        return nubo::transfer::KZUploadMgr::shared().count(KZTransportJobStatusFinished);
    }
    const int m_finishedBefore;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_held = false, m_released = false;
    const nubo::transfer::RelayHook m_hook = [this] {
        if (finishedUploads() == m_finishedBefore)
            return;
        std::unique_lock lock(m_mutex);
        m_held = true;
        m_cv.wait_for(lock, std::chrono::seconds(20), [this] { return m_released; });
    };
};

} // namespace

class UploadingList : public TransportTest {
protected:
    void SetUp() override {
        TransportTest::SetUp();
        list = std::make_unique<KZUploadingFilesViewController>();
    }
    void TearDown() override {
        list.reset();
        TransportTest::TearDown();
    }
    void show() {
        showInWindow(list->view());
        settle();
    }
    bool waitRows(int n) {
        const bool ok =
            waitUntil([&] { return list->uploadJobs().size() == n && !list->hasPendingRefresh(); });
        settle();
        return ok;
    }
    std::unique_ptr<KZUploadingFilesViewController> list;
};

TEST_F(UploadingList, ListsTheJobsAndEmptiesOnDeleteAll) {
    svc.service().setHeld(ServiceOp::PutBlock, true);
    const QStringList jobs = addUploadJobs(3, 1000);
    show();
    ASSERT_TRUE(waitRows(3));
    EXPECT_EQ(paths(list->uploadJobs()), jobs);
    EXPECT_EQ(bottomBarMessage(), QStringLiteral("已加载全部, 共3个文件正在上传"));
    EXPECT_FALSE(list->deleteAllButton()->isHidden());
    EXPECT_TRUE(list->deleteButton()->isHidden());
    EXPECT_FALSE(KZMessageSet::messageSetViewOf(list->view()));
    takeUploadCommands();

    list->deleteAllButton()->sendAction();
    EXPECT_EQ(takeUploadCommands(), QStringList({"pauseAll"}));
    ASSERT_TRUE(presentedAlert());
    EXPECT_EQ(presentedAlert()->title(),
              QStringLiteral("文件还未上传完成，确定要删除全部正在上传的文件吗？"));
    svc.service().setHeld(ServiceOp::PutBlock, false);
    ASSERT_TRUE(answerAlert(QStringLiteral("删除")));
    EXPECT_EQ(takeUploadCommands(), QStringList({"cancelAll"}));
    ASSERT_TRUE(waitRows(0));
    auto* empty = KZMessageSet::messageSetViewOf(list->view());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->descriptionLabel()->text(), QStringLiteral("暂无正在上传的文件"));
    EXPECT_EQ(bottomBarMessage(), QStringLiteral("已加载全部, 共0个文件正在上传"));
    EXPECT_FALSE(list->deleteAllButton()->isEnabled());
    EXPECT_TRUE(waitUntil([&] { return openUploadsInService() == 0; }));
}

TEST_F(UploadingList, PauseAndStartSendOneCallPerSelectedJobOrOneForAll) {
    svc.service().setHeld(ServiceOp::PutBlock, true);
    const QStringList jobs = addUploadJobs(3, 1000);
    show();
    ASSERT_TRUE(waitRows(3));
    kit::TableView* table = list->tableView();
    clickRowCheckBox(table, 0);
    clickRowCheckBox(table, 2);
    EXPECT_EQ(list->selectedUploadJobs().size(), 2);
    EXPECT_FALSE(list->pauseButton()->isHidden());
    EXPECT_TRUE(list->pauseButton()->isEnabled());
    EXPECT_FALSE(list->startButton()->isEnabled()); // nothing selected is paused
    takeUploadCommands();
    list->pauseButton()->sendAction();
    EXPECT_EQ(takeUploadCommands(), QStringList({"pause " + jobs[0], "pause " + jobs[2]}));
    // The reports turn the two rows paused: start is offered, pause is not.
    ASSERT_TRUE(waitUploads({jobs[0], jobs[2]}, KZTransportJobStatusPaused));
    EXPECT_TRUE(list->startButton()->isEnabled());
    EXPECT_FALSE(list->pauseButton()->isEnabled());
    list->startButton()->sendAction();
    EXPECT_EQ(takeUploadCommands(), QStringList({"resume " + jobs[0], "resume " + jobs[2]}));

    list->tableHeaderView()->checkBox()->setChecked(true);
    list->tableHeaderView()->checkBox()->sendAction();
    EXPECT_EQ(list->selectedUploadJobs().size(), 3);
    EXPECT_TRUE(list->tableHeaderView()->isSelected());
    list->pauseButton()->sendAction();
    list->startButton()->sendAction();
    EXPECT_EQ(takeUploadCommands(), QStringList({"pauseAll", "resumeAll"}));

    // With the network paused, pause and start only show the failure toast.
    NetworkMonitor::getInstance()->setNetworkPausedForTesting(true);
    settle();
    takeUploadCommands();
    list->pauseButton()->sendAction();
    list->startButton()->sendAction();
    list->tableHeaderView()->checkBox()->setChecked(false);
    list->tableHeaderView()->checkBox()->sendAction();
    list->pauseAllbutton()->sendAction();
    list->startAllButton()->sendAction();
    EXPECT_TRUE(takeUploadCommands().isEmpty());
}

// Declining resumes the jobs that were running or waiting when the question opened, whatever
// their status by the time of the answer; a job paused before stays paused.
TEST_F(UploadingList, PartialDeleteDeclinedResumesOnlyWhatRan) {
    svc.service().setHeld(ServiceOp::PutBlock, true);
    const QStringList jobs = addUploadJobs(3, 1000);
    show();
    ASSERT_TRUE(waitRows(3));
    KZUploadMgrProxy::shareUploadMgrProxy()->pause(jobs[1]);
    ASSERT_TRUE(waitUploads({jobs[1]}, KZTransportJobStatusPaused));
    clickRowCheckBox(list->tableView(), 0);
    clickRowCheckBox(list->tableView(), 1);
    takeUploadCommands();
    list->deleteButton()->sendAction();
    EXPECT_EQ(takeUploadCommands(), QStringList({"pause " + jobs[0], "pause " + jobs[1]}));
    ASSERT_TRUE(presentedAlert());
    EXPECT_EQ(presentedAlert()->title(), QStringLiteral("文件还未上传到云盘，确定要取消上传吗？"));
    ASSERT_TRUE(waitUploads({jobs[0]}, KZTransportJobStatusPaused)); // the pause has been reported
    ASSERT_TRUE(answerAlert(QStringLiteral("取消")));
    EXPECT_EQ(takeUploadCommands(), QStringList({"resume " + jobs[0]}));
    settle();
    EXPECT_NE(uploadStatus(jobs[0]), KZTransportJobStatusPaused);
    EXPECT_EQ(uploadStatus(jobs[1]), KZTransportJobStatusPaused);
}

// Confirming deletes the jobs chosen when the question opened: the one chosen job finishing
// meanwhile (which empties the selection) does not make it a deletion of every row.
TEST_F(UploadingList, ConfirmedDeleteCancelsOnlyTheChosenJobs) {
    svc.service().setHeld(ServiceOp::PutBlock, true);
    const QStringList jobs = addUploadJobs(4, 1000);
    show();
    ASSERT_TRUE(waitRows(4));
    clickRowCheckBox(list->tableView(), 0);
    clickRowCheckBox(list->tableView(), 1);
    list->deleteButton()->sendAction();
    ASSERT_TRUE(presentedAlert());
    list->uploadFinished(list->uploadJobs()[0]); // finished while the question is open
    takeUploadCommands();
    ASSERT_TRUE(answerAlert(QStringLiteral("确定")));
    EXPECT_EQ(takeUploadCommands(), QStringList({"cancelUnfinished " + jobs[1]}));
    EXPECT_TRUE(waitUntil([&] { return uploadStatus(jobs[1]) == 0; }));
    ASSERT_TRUE(waitRows(2));

    clickRowCheckBox(list->tableView(), 0);
    ASSERT_EQ(paths(list->selectedUploadJobs()), QStringList({jobs[2]}));
    list->deleteButton()->sendAction();
    list->uploadFinished(list->uploadJobs()[0]);
    EXPECT_TRUE(list->selectedUploadJobs().isEmpty());
    takeUploadCommands();
    ASSERT_TRUE(answerAlert(QStringLiteral("确定")));
    EXPECT_EQ(takeUploadCommands(), QStringList());
    EXPECT_EQ(paths(list->uploadJobs()), QStringList({jobs[3]}));
    EXPECT_NE(uploadStatus(jobs[3]), 0);
}

// New objects of the chosen jobs are found by local path, whatever rows go afterwards.
TEST_F(UploadingList, ReplacementKeepsTheSelectionByJob) {
    show();
    const auto a = madeUpload(QStringLiteral("a"), 1), b = madeUpload(QStringLiteral("b"), 1),
               c = madeUpload(QStringLiteral("c"), 2);
    list->didUpdateUnFinishedUploadJobOpenInfos({a, b, c});
    list->tableView()->selectRowIndexes(kit::IndexSet({1, 2}), false);
    ASSERT_EQ(list->selectedUploadJobs().size(), 2);
    EXPECT_TRUE(list->startButton()->isEnabled()); // c is paused

    // New objects of the same jobs (matched by local path), a duplicate path taking at most one
    // old selection; then a row leaves.
    const auto a2 = madeUpload(QStringLiteral("a"), 1), b2 = madeUpload(QStringLiteral("b"), 1),
               c2 = madeUpload(QStringLiteral("c"), 1), c3 = madeUpload(QStringLiteral("c"), 1);
    list->didUpdateUnFinishedUploadJobOpenInfos({a2, b2, c2, c3});
    EXPECT_TRUE(b2->m_selected && c2->m_selected);
    EXPECT_FALSE(a2->m_selected || c3->m_selected);
    list->uploadCancel(a2);
    ASSERT_TRUE(waitUntil([&] { return list->tableView()->numberOfSelectedRows() == 2; }));
    EXPECT_EQ(list->tableView()->selectedRowIndexes(), kit::IndexSet({0, 1}));
    EXPECT_EQ(list->selectedUploadJobs(), QList<KZUploadJobOpenInfoPtr>({b2, c2}));
}

// Each appearance replaces the list. The selection is then exactly the chosen jobs still there:
// jobs that came, went or moved up while the tab was hidden neither join it nor leave it, none
// is ticked without being counted, and what the buttons do follows it.
TEST_F(UploadingList, AReplacementSelectsExactlyTheChosenJobsThatAreLeft) {
    svc.service().setHeld(ServiceOp::PutBlock, true);
    const QStringList f = addUploadJobs(4, 1000);
    show();
    ASSERT_TRUE(waitRows(4));
    kit::TableView* table = list->tableView();
    clickRowCheckBox(table, 1);
    clickRowCheckBox(table, 2);
    list->view()->hide();
    KZUploadMgrProxy::shareUploadMgrProxy()->cancel(f[0]);
    KZUploadMgrProxy::shareUploadMgrProxy()->cancel(f[1]); // a chosen job goes
    const QStringList g = addUploadJobs(1, 1000, QStringLiteral("g"));
    ASSERT_TRUE(waitUntil([&] { return uploadStatus(f[0]) == 0 && uploadStatus(f[1]) == 0; }));
    settle(); // the proxy's lists have taken the changes
    show();
    ASSERT_TRUE(waitRows(3));
    ASSERT_EQ(paths(list->uploadJobs()), QStringList({f[2], f[3], g[0]}));
    const auto selectionIs = [&](const QStringList& chosen, const kit::IndexSet& rows) {
        EXPECT_EQ(paths(list->selectedUploadJobs()), chosen);
        EXPECT_TRUE(table->selectedRowIndexes() == rows);
        EXPECT_EQ(tickedRows(table), rows.toList());
        for (const auto& j : list->uploadJobs())
            EXPECT_EQ(j->m_selected, chosen.contains(j->m_path)) << j->m_path.toStdString();
    };
    selectionIs({f[2]}, kit::IndexSet(0));
    // Nothing joins it later either.
    EXPECT_FALSE(waitUntil([&] { return table->numberOfSelectedRows() != 1; }, 100));
    EXPECT_FALSE(list->deleteButton()->isHidden());
    EXPECT_FALSE(list->tableHeaderView()->isSelected());
    takeUploadCommands();
    list->deleteButton()->sendAction();
    ASSERT_TRUE(answerAlert(QStringLiteral("确定")));
    EXPECT_EQ(takeUploadCommands(), QStringList({"pause " + f[2], "cancelUnfinished " + f[2]}));
    ASSERT_TRUE(waitRows(2));

    // A list that shrinks below the chosen rows keeps them.
    list->view()->hide();
    const QStringList h = addUploadJobs(1, 1000, QStringLiteral("h"));
    settle();
    show();
    ASSERT_TRUE(waitRows(3));
    clickRowCheckBox(table, 1);
    clickRowCheckBox(table, 2);
    list->view()->hide();
    KZUploadMgrProxy::shareUploadMgrProxy()->cancel(f[3]);
    ASSERT_TRUE(waitUntil([&] { return uploadStatus(f[3]) == 0; }));
    settle();
    show();
    ASSERT_TRUE(waitRows(2));
    selectionIs({g[0], h[0]}, kit::IndexSet({0, 1}));
    EXPECT_TRUE(list->tableHeaderView()->isSelected());
}

// Two jobs of one local file: the one the user chose stays chosen, not the first of the two.
TEST_F(UploadingList, OfTwoJobsOfOneFileTheChosenOneStaysChosen) {
    svc.service().setHeld(ServiceOp::PutBlock, true);
    const QStringList both{QStringLiteral("/up/a"), QStringLiteral("/up/b")};
    addUploadJobsOfOneFile(both, 1000);
    show();
    ASSERT_TRUE(waitRows(2));
    clickRowCheckBox(list->tableView(), 1);
    list->view()->hide();
    show();
    ASSERT_TRUE(waitRows(2));
    EXPECT_EQ(paths(list->selectedUploadJobs()), QStringList({both[1]}));
    EXPECT_TRUE(list->tableView()->selectedRowIndexes() == kit::IndexSet(1));
    EXPECT_FALSE(list->uploadJobs()[0]->m_selected);
}

// A row's delete question pauses the job, which may still finish (a late success is kept): "确定"
// then leaves the finished job and its record alone, whether its finish has reached the list
// (nothing is sent) or is still on its way (the list still sees it unfinished and sends a cancel,
// which the engine then ignores).
TEST_F(UploadingList, ARowsDeleteConfirmedAsOrAfterTheJobFinishesKeepsIt) {
    show();
    QStringList finished;
    for (const bool reportArrived : {true, false}) {
        svc.service().setHeld(ServiceOp::PutBlock, true);
        const QStringList jobs =
            addUploadJobs(1, 1000, reportArrived ? QStringLiteral("a") : QStringLiteral("b"));
        ASSERT_TRUE(waitRows(1));
        pressRowDelete<KZUploadFileOperationsCell>(list->tableView(), 0);
        ASSERT_TRUE(presentedAlert());
        ASSERT_TRUE(waitUploads(jobs, KZTransportJobStatusPaused));
        std::optional<HeldFinishReport> held;
        if (!reportArrived)
            held.emplace();
        KZUploadMgrProxy::shareUploadMgrProxy()->resume(jobs[0]);
        svc.service().setHeld(ServiceOp::PutBlock, false);
        if (reportArrived)
            ASSERT_TRUE(waitUploads(jobs, KZTransportJobStatusFinished));
        else
            ASSERT_TRUE(held->waitHeld());
        takeUploadCommands();
        ASSERT_TRUE(answerAlert(QStringLiteral("确定")));
        EXPECT_EQ(takeUploadCommands(),
                  reportArrived ? QStringList() : QStringList({"cancelUnfinished " + jobs[0]}));
        held.reset();
        settle();
        EXPECT_EQ(uploadStatus(jobs[0]), KZTransportJobStatusFinished) << reportArrived;
        finished += jobs;
        EXPECT_EQ(paths(KZUploadMgrProxy::shareUploadMgrProxy()->finishedUploadJobOpenInfos()), finished);
        EXPECT_TRUE(list->uploadJobs().isEmpty());
    }
}

TEST_F(UploadingList, ASelectedJobThatStopsOffersStartAtOnce) {
    show();
    const auto a = madeUpload(QStringLiteral("a"), 1), b = madeUpload(QStringLiteral("b"), 1);
    list->didUpdateUnFinishedUploadJobOpenInfos({a, b});
    list->tableView()->selectRowIndexes(kit::IndexSet(0), false);
    EXPECT_FALSE(list->startButton()->isEnabled());
    a->m_status = KZTransportJobStatusError;
    list->uploadError(a);
    EXPECT_TRUE(list->startButton()->isEnabled());
    EXPECT_FALSE(list->pauseButton()->isEnabled());
    a->m_status = KZTransportJobStatusRunning;
    list->uploadStateChanged(a);
    EXPECT_FALSE(list->startButton()->isEnabled());
    a->m_status = KZTransportJobStatusPaused;
    list->uploadStateChanged(a);
    EXPECT_TRUE(list->startButton()->isEnabled());
    // A report about a job the list does not hold changes nothing.
    list->uploadStateChanged(madeUpload(QStringLiteral("z"), 2));
    list->uploadFinished(madeUpload(QStringLiteral("z"), 5));
    EXPECT_EQ(list->uploadJobs().size(), 2);
}

class DownloadingList : public TransportTest {
protected:
    void SetUp() override {
        TransportTest::SetUp();
        list = std::make_unique<KZDownloadingFilesViewController>();
    }
    void TearDown() override {
        list.reset();
        TransportTest::TearDown();
    }
    std::unique_ptr<KZDownloadingFilesViewController> list;
};

TEST_F(DownloadingList, RunsTheRealJobsAndLeavesWhenTheyFinish) {
    svc.service().setHeld(ServiceOp::ReadRange, true);
    const QStringList jobs = addDownloadJobs(2, 3000);
    showInWindow(list->view());
    ASSERT_TRUE(waitUntil([&] { return list->downloadJobs().size() == 2 && !list->hasPendingRefresh(); }));
    settle();
    EXPECT_EQ(paths(list->downloadJobs()), jobs);
    EXPECT_EQ(bottomBarMessage(), QStringLiteral("已加载全部, 共2个文件正在下载"));
    svc.service().setHeld(ServiceOp::ReadRange, false);
    ASSERT_TRUE(
        waitUntil([&] { return list->downloadJobs().isEmpty() && !list->hasPendingRefresh(); }, 15000));
    settle();
    auto* empty = KZMessageSet::messageSetViewOf(list->view());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->descriptionLabel()->text(), QStringLiteral("暂无正在下载的文件"));
    EXPECT_EQ(bottomBarMessage(), QStringLiteral("已加载全部, 共0个文件正在下载"));
}

// A job waiting for the service to thaw its file is neither paused nor active: pause stays
// offered, and a declined delete question does not resume it.
TEST_F(DownloadingList, AFrozenJobIsNeitherPausedNorResumed) {
    showInWindow(list->view());
    const auto frozen = madeDownload(QStringLiteral("f"), 7), running = madeDownload(QStringLiteral("r"), 1),
               other = madeDownload(QStringLiteral("o"), 2);
    list->didUpdateUnFinishedDownloadJobOpenInfos({frozen, running, other});
    list->tableView()->selectRowIndexes(kit::IndexSet({0, 1}), false);
    EXPECT_TRUE(list->pauseButton()->isEnabled());
    EXPECT_FALSE(list->startButton()->isEnabled());
    takeDownloadCommands();
    list->deleteButton()->sendAction();
    EXPECT_EQ(takeDownloadCommands(), QStringList({"pause /tmp/dl/f", "pause /tmp/dl/r"}));
    ASSERT_TRUE(presentedAlert());
    EXPECT_EQ(presentedAlert()->title(), QStringLiteral("文件还未下载到本地，确认要取消下载吗？"));
    ASSERT_TRUE(answerAlert(QStringLiteral("取消")));
    EXPECT_EQ(takeDownloadCommands(), QStringList({"resume /tmp/dl/r"}));
}

TEST_F(DownloadingList, ARowsDeleteConfirmedAfterTheJobFinishedKeepsIt) {
    svc.service().setHeld(ServiceOp::ReadRange, true);
    const QStringList jobs = addDownloadJobs(1, 3000);
    showInWindow(list->view());
    ASSERT_TRUE(waitUntil([&] { return list->downloadJobs().size() == 1 && !list->hasPendingRefresh(); }));
    settle();
    pressRowDelete<KZDownloadFileOperationsCell>(list->tableView(), 0);
    ASSERT_TRUE(presentedAlert());
    ASSERT_TRUE(waitDownloads(jobs, KZTransportJobStatusPaused));
    KZDownloadMgrProxy::shareDownloadMgrProxy()->resume(jobs[0]);
    svc.service().setHeld(ServiceOp::ReadRange, false);
    ASSERT_TRUE(waitDownloads(jobs, KZTransportJobStatusFinished));
    takeDownloadCommands();
    ASSERT_TRUE(answerAlert(QStringLiteral("确定")));
    EXPECT_EQ(takeDownloadCommands(), QStringList());
    settle();
    EXPECT_EQ(downloadStatus(jobs[0]), KZTransportJobStatusFinished);
}

TEST_F(UploadingList, EveryRowSelectedStaysSelectedAcrossAReplacement) {
    show();
    auto make = [] {
        QList<KZUploadJobOpenInfoPtr> jobs;
        for (int i = 0; i < 500; ++i)
            jobs << madeUpload(QStringLiteral("f%1").arg(i), 2);
        return jobs;
    };
    list->didUpdateUnFinishedUploadJobOpenInfos(make());
    list->tableView()->selectAll();
    ASSERT_EQ(list->selectedUploadJobs().size(), 500);
    const auto next = make();
    list->didUpdateUnFinishedUploadJobOpenInfos(next);
    EXPECT_TRUE(waitUntil([&] { return list->tableView()->numberOfSelectedRows() == 500; }));
    EXPECT_EQ(list->selectedUploadJobs().size(), 500);
    EXPECT_TRUE(next.last()->m_selected);
}

// The bottom bar belongs to the page on screen: a hidden list's late refresh leaves it alone.
TEST_F(UploadingList, AHiddenListLeavesTheBottomBarAlone) {
    show();
    list->didUpdateUnFinishedUploadJobOpenInfos({madeUpload(QStringLiteral("a"), 2)});
    EXPECT_EQ(bottomBarMessage(), QStringLiteral("已加载全部, 共1个文件正在上传"));
    list->uploadAdd({madeUpload(QStringLiteral("b"), 3)});
    list->view()->hide();
    KZWindowsManager::showMessageInBottomBarRightArea(QStringLiteral("共2个文件"));
    ASSERT_TRUE(waitUntil([&] { return !list->hasPendingRefresh(); }));
    EXPECT_EQ(list->uploadJobs().size(), 2);
    EXPECT_EQ(bottomBarMessage(), QStringLiteral("共2个文件"));
}

// Jobs finish from the top a few at a time while the rows are batched: the visible area must
// keep showing rows, not only after the reports stop.
TEST_F(UploadingList, RowsStayOnScreenWhileManyJobsReport) {
    // Five lanes of small files, each slowed down a little: several rows finish in every refresh,
    // over several refreshes whatever the machine's speed.
    svc.service().setDelay(ServiceOp::PutBlock, 10);
    addUploadJobs(400, 10);
    show();
    kit::TableView* table = list->tableView();
    const auto rowsOnScreen = [table] {
        int n = 0;
        for (auto* rv : table->findChildren<kit::TableRowView*>())
            if (rv->isVisible() && rv->geometry().intersects(rv->parentWidget()->rect()))
                ++n;
        return n;
    };
    // The first rows come with the first refresh after the list is loaded.
    ASSERT_TRUE(waitUntil([&] { return rowsOnScreen() > 0; }));
    int samples = 0, blank = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30000 && list->uploadJobs().size() > 50) {
        // Sampled at any moment of the refresh cycle, as a paint would be.
        QElapsedTimer slice;
        slice.start();
        while (slice.elapsed() < 37)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ++samples;
        if (list->uploadJobs().size() > 50 && rowsOnScreen() == 0)
            ++blank;
    }
    EXPECT_GT(samples, 5) << "the jobs finished before the list could be looked at";
    EXPECT_EQ(blank, 0) << "of " << samples << " samples";
    ASSERT_TRUE(waitRows(0));
    EXPECT_EQ(rowsOnScreen(), 0);
}
