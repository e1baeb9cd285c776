// The finished-transfers list against the real transfer engines and embedded service.
#include "TransportFixture.h"

#include "shell/KZAlertController.h"
#include "shell/KZButton.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZLabel.h"
#include "shell/KZMessageSet.h"
#include "transfer/KZDownloadMgr.h"
#include "ui/transport/KZTransportListView.h"
#include "ui/transport/KZTransportedFilesViewController.h"
#include "ui/transport/KZTransportedRowView.h"

#include <QFile>

using namespace nubo::test;
using nubo::ServiceOp;

namespace {

KZUploadJobOpenInfoPtr finishedUpload(const QString& name, quint32 time) {
    KZUploadJobInfo i;
    i.m_path = QStringLiteral("/up/") + name;
    i.m_disk_path = QStringLiteral("/tmp/") + name;
    i.m_status = KZTransportJobStatusFinished;
    i.m_jobFinishedTime = time;
    return std::make_shared<KZUploadJobOpenInfo>(i);
}

KZDownloadJobOpenInfoPtr finishedDownload(const QString& path, quint32 time) {
    KZDownloadJobInfo i;
    i.m_path = path;
    i.m_status = KZTransportJobStatusFinished;
    i.m_jobFinishedTime = time;
    return std::make_shared<KZDownloadJobOpenInfo>(i);
}

QList<quint32> times(const QList<KZTransportedJob>& jobs) {
    QList<quint32> out;
    for (const auto& j : jobs)
        out << j.finishedTime();
    return out;
}

QByteArray fileContent(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TransportedList : public TransportTest {
protected:
    void SetUp() override {
        TransportTest::SetUp();
        list = std::make_unique<KZTransportedFilesViewController>();
    }
    void TearDown() override {
        list.reset();
        TransportTest::TearDown();
    }
    bool waitRows(int n) {
        const bool ok = waitUntil([&] { return list->tranportedJobs().size() == n; }, 15000);
        settle();
        return ok;
    }
    void selectAllWithHeader(bool on) {
        list->tableHeaderView()->checkBox()->setChecked(on);
        list->tableHeaderView()->checkBox()->sendAction();
    }
    std::unique_ptr<KZTransportedFilesViewController> list;
};

TEST_F(TransportedList, MergesNewestFirstWhicheverProxyAnswersFirst) {
    showInWindow(list->view());
    settle(); // the proxies' own first answers land before the test's lists
    const auto u100 = finishedUpload(QStringLiteral("a"), 100),
               u300 = finishedUpload(QStringLiteral("b"), 300);
    const auto d200 = finishedDownload(QStringLiteral("/tmp/c"), 200);
    list->didUpdateFinishedDownloadJobOpenInfos({d200});
    list->didUpdateFinishedUploadJobOpenInfos({u100, u300});
    drainEvents(); // both answers of one turn are merged once
    EXPECT_EQ(times(list->tranportedJobs()), QList<quint32>({300, 200, 100}));

    KZTransportedFilesViewController other;
    other.view();
    other.didUpdateFinishedUploadJobOpenInfos({u100, u300});
    other.didUpdateFinishedDownloadJobOpenInfos({d200});
    drainEvents();
    EXPECT_EQ(times(other.tranportedJobs()), QList<quint32>({300, 200, 100}));

    // A job finishing while shown goes on top, older or not.
    list->uploadFinished(finishedUpload(QStringLiteral("late"), 50));
    EXPECT_EQ(times(list->tranportedJobs()), QList<quint32>({50, 300, 200, 100}));
    EXPECT_EQ(bottomBarMessage(), QStringLiteral("已加载全部, 共4个文件传输完成"));
}

// An appearance that gets back the very lists it merged last keeps its rows; any change merges.
TEST_F(TransportedList, UnchangedAnswersKeepTheRowsAndChangedOnesMerge) {
    showInWindow(list->view());
    settle();
    QList<KZUploadJobOpenInfoPtr> uploads{finishedUpload(QStringLiteral("a"), 100)};
    const QList<KZDownloadJobOpenInfoPtr> downloads{finishedDownload(QStringLiteral("/tmp/c"), 200)};
    list->didUpdateFinishedUploadJobOpenInfos(uploads);
    list->didUpdateFinishedDownloadJobOpenInfos(downloads);
    drainEvents();
    ASSERT_EQ(times(list->tranportedJobs()), QList<quint32>({200, 100}));
    const KZTransportedJob* rows = list->tranportedJobs().constData();

    list->didUpdateFinishedUploadJobOpenInfos(uploads);
    list->didUpdateFinishedDownloadJobOpenInfos(downloads);
    drainEvents();
    EXPECT_EQ(list->tranportedJobs().constData(), rows); // not merged again
    EXPECT_EQ(bottomBarMessage(), QStringLiteral("已加载全部, 共2个文件传输完成"));

    // A record that finished meanwhile went on top; the proxy's next list sorts it in.
    const auto late = finishedUpload(QStringLiteral("late"), 150);
    list->uploadFinished(late);
    EXPECT_EQ(times(list->tranportedJobs()), QList<quint32>({150, 200, 100}));
    uploads.append(late);
    list->didUpdateFinishedUploadJobOpenInfos(uploads);
    list->didUpdateFinishedDownloadJobOpenInfos(downloads);
    drainEvents();
    EXPECT_EQ(times(list->tranportedJobs()), QList<quint32>({200, 150, 100}));

    // A list of the same length but other records is a change too.
    uploads[0] = finishedUpload(QStringLiteral("b"), 300);
    list->didUpdateFinishedUploadJobOpenInfos(uploads);
    drainEvents();
    EXPECT_EQ(times(list->tranportedJobs()), QList<quint32>({300, 200, 150}));
}

// Selected records are found again after a full update: uploads by local path, downloads by
// destination, never one kind for the other.
TEST_F(TransportedList, ReplacementKeepsTheSelectionOfEachKind) {
    showInWindow(list->view());
    settle(); // the proxies' own first answers land before the test's lists
    const auto up = finishedUpload(QStringLiteral("x"), 100);
    const auto down = finishedDownload(QStringLiteral("/tmp/x"), 200); // the upload's local path
    const auto other = finishedDownload(QStringLiteral("/tmp/y"), 300);
    list->didUpdateFinishedUploadJobOpenInfos({up});
    list->didUpdateFinishedDownloadJobOpenInfos({down, other});
    drainEvents();
    list->tableView()->selectRowIndexes(kit::IndexSet(2), false); // the upload
    ASSERT_EQ(list->selectedJobs().size(), 1);

    const auto up2 = finishedUpload(QStringLiteral("x"), 100);
    list->didUpdateFinishedUploadJobOpenInfos({up2});
    drainEvents();
    EXPECT_TRUE(up2->m_selected);
    EXPECT_FALSE(down->m_selected);
    list->downloadCancel(other); // a row leaves afterwards
    ASSERT_TRUE(waitUntil([&] { return list->tableView()->numberOfSelectedRows() == 1; }));
    EXPECT_EQ(list->tableView()->selectedRowIndexes(), kit::IndexSet(1));
    ASSERT_EQ(list->selectedJobs().size(), 1);
    EXPECT_EQ(list->selectedJobs()[0].upload, up2);

    selectAllWithHeader(true);
    EXPECT_EQ(list->selectedJobs().size(), 2);
    EXPECT_TRUE(list->tableHeaderView()->isSelected());
    EXPECT_FALSE(list->clearButton()->isHidden());
    EXPECT_TRUE(list->clearAllButton()->isHidden());
    selectAllWithHeader(false);
    EXPECT_TRUE(list->selectedJobs().isEmpty());
    EXPECT_FALSE(list->clearAllButton()->isHidden());
}

// Records ticked, then transfers finish while the tab is hidden: shown again, the rows are merged
// and sorted anew and the ticked records are exactly the ones selected and cleared (of two
// uploads of one file, the one ticked).
TEST_F(TransportedList, AMergeKeepsExactlyTheTickedRecords) {
    addUploadJobsOfOneFile({QStringLiteral("/up/a"), QStringLiteral("/up/b")}, 1000);
    const QStringList downs = addDownloadJobs(1, 2000);
    ASSERT_TRUE(
        waitUploads({QStringLiteral("/up/a"), QStringLiteral("/up/b")}, KZTransportJobStatusFinished));
    ASSERT_TRUE(waitDownloads(downs, KZTransportJobStatusFinished));
    showInWindow(list->view());
    ASSERT_TRUE(waitRows(3));
    const auto rowOfPath = [&](const QString& path) {
        for (int i = 0; i < list->tranportedJobs().size(); ++i)
            if (list->tranportedJobs()[i].path() == path)
                return i;
        return -1;
    };
    kit::TableView* table = list->tableView();
    clickRowCheckBox(table, rowOfPath(QStringLiteral("/up/b")));
    clickRowCheckBox(table, rowOfPath(downs[0]));
    const auto ids = [](const QList<KZTransportedJob>& jobs) {
        QSet<const void*> out;
        for (const auto& j : jobs)
            out.insert(j.identity());
        return out;
    };
    const QSet<const void*> ticked = ids(list->selectedJobs());
    ASSERT_EQ(ticked.size(), 2);

    list->view()->hide();
    const QStringList late = addUploadJobs(1, 1000, QStringLiteral("late"));
    ASSERT_TRUE(waitUploads(late, KZTransportJobStatusFinished));
    list->view()->show();
    ASSERT_TRUE(waitRows(4));
    EXPECT_EQ(ids(list->selectedJobs()), ticked);
    EXPECT_TRUE(table->selectedRowIndexes() ==
                kit::IndexSet({rowOfPath(QStringLiteral("/up/b")), rowOfPath(downs[0])}));
    EXPECT_FALSE(waitUntil([&] { return table->numberOfSelectedRows() != 2; }, 100));

    takeUploadCommands();
    takeDownloadCommands();
    list->clearButton()->sendAction();
    ASSERT_TRUE(answerAlert(QStringLiteral("清除")));
    EXPECT_EQ(takeUploadCommands(), QStringList({QStringLiteral("cancel /up/b")}));
    EXPECT_EQ(takeDownloadCommands(), QStringList({"cancel " + downs[0]}));
}

TEST_F(TransportedList, ClearsChosenRecordsAndEverythingKeepingTheFiles) {
    const QStringList ups = addUploadJobs(2, 3000);
    const QStringList downs = addDownloadJobs(2, 5000);
    ASSERT_TRUE(waitUploads(ups, KZTransportJobStatusFinished));
    ASSERT_TRUE(waitDownloads(downs, KZTransportJobStatusFinished));
    const QByteArray first = fileContent(downs[0]), second = fileContent(downs[1]);
    ASSERT_EQ(first.size(), 5000);
    showInWindow(list->view());
    ASSERT_TRUE(waitRows(4));

    // One upload and one download: one cancel to each proxy.
    int up = -1, down = -1;
    for (int i = 0; i < 4; ++i)
        (list->tranportedJobs()[i].isUpload() ? up : down) = i;
    clickRowCheckBox(list->tableView(), up);
    clickRowCheckBox(list->tableView(), down);
    const KZTransportedJob u = list->tranportedJobs()[up], d = list->tranportedJobs()[down];
    list->clearButton()->sendAction();
    ASSERT_TRUE(presentedAlert());
    EXPECT_EQ(presentedAlert()->title(), QStringLiteral("确定要清除选中的传输记录吗？"));
    takeUploadCommands();
    takeDownloadCommands();
    ASSERT_TRUE(answerAlert(QStringLiteral("清除")));
    EXPECT_EQ(takeUploadCommands(), QStringList({"cancel " + u.path()}));
    EXPECT_EQ(takeDownloadCommands(), QStringList({"cancel " + d.path()}));
    ASSERT_TRUE(waitRows(2));

    list->clearAllButton()->sendAction();
    EXPECT_EQ(presentedAlert()->title(), QStringLiteral("确定要清空全部传输记录吗？"));
    ASSERT_TRUE(answerAlert(QStringLiteral("清空")));
    EXPECT_EQ(takeUploadCommands(), QStringList({"cancelFinishedAll"}));
    EXPECT_EQ(takeDownloadCommands(), QStringList({"cancelFinishedAll"}));
    ASSERT_TRUE(waitRows(0));
    auto* empty = KZMessageSet::messageSetViewOf(list->view());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->descriptionLabel()->text(), QStringLiteral("没有正在传输的任务"));
    EXPECT_FALSE(list->clearAllButton()->isEnabled());
    EXPECT_EQ(fileContent(downs[0]), first);
    EXPECT_EQ(fileContent(downs[1]), second);
}

// "Clear all" clears the records shown when the question opened: one that finishes meanwhile
// stays, so the records are cancelled one by one instead of by "clear all".
TEST_F(TransportedList, ClearAllSparesARecordThatFinishesWhileAsking) {
    const QStringList ups = addUploadJobs(2, 1000);
    ASSERT_TRUE(waitUploads(ups, KZTransportJobStatusFinished));
    showInWindow(list->view());
    ASSERT_TRUE(waitRows(2));
    list->clearAllButton()->sendAction();
    ASSERT_TRUE(presentedAlert());
    const QStringList late = addUploadJobs(1, 1000, QStringLiteral("late"));
    ASSERT_TRUE(waitRows(3));
    EXPECT_EQ(list->tranportedJobs()[0].path(), late[0]);
    takeUploadCommands();
    ASSERT_TRUE(answerAlert(QStringLiteral("清空")));
    QStringList commands = takeUploadCommands();
    commands.sort();
    EXPECT_EQ(commands, QStringList({"cancel " + ups[0], "cancel " + ups[1]}));
    ASSERT_TRUE(waitRows(1));
    EXPECT_EQ(list->tranportedJobs()[0].path(), late[0]);
}

TEST_F(TransportedList, AFinishedDownloadDeletedFromItsRowKeepsItsFile) {
    const QStringList downs = addDownloadJobs(1, 4000);
    ASSERT_TRUE(waitDownloads(downs, KZTransportJobStatusFinished));
    const QByteArray content = fileContent(downs[0]);
    showInWindow(list->view());
    ASSERT_TRUE(waitRows(1));
    auto* row = qobject_cast<KZTransportedRowView*>(list->tableView()->rowViewAtRow(0, false));
    ASSERT_TRUE(row);
    // A finished row has no start button: delete and locate only.
    EXPECT_EQ(row->buttonImageNames(), QStringList({"share_delete", "transport_position"}));
    clickAt(row, row->rectOf(KZTransportedRowView::Part::Delete).center());
    ASSERT_TRUE(answerAlert(QStringLiteral("删除")));
    ASSERT_TRUE(waitRows(0));
    EXPECT_EQ(downloadStatus(downs[0]), 0);
    EXPECT_EQ(fileContent(downs[0]), content);
}
