// The order in which a sync queue reports an operation: the interface shows a "preparing" text
// from the queued report until the operation is done, so "queued" must never come last.
#include "support/EventLoop.h"
#include "sync/SyncOperationQueue.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

using namespace nubo::sync;

namespace {

class QuickOperation : public SyncOperation {
public:
    explicit QuickOperation(std::atomic<bool>& ran) : SyncOperation(QStringLiteral("quick"), 0), m_ran(ran) {}
    void run() override { m_ran = true; }

private:
    std::atomic<bool>& m_ran;
};

} // namespace

TEST(SyncQueueOrder, AnOperationIsReportedQueuedBeforeItRuns) {
    std::atomic<bool> ran{false};
    QMutex mutex;
    QStringList reports;
    SyncOperationQueue queue(QStringLiteral("order"));
    SyncOperationQueue::Listener l;
    l.stateChange = [&](quint64 state, quint64, int) {
        if (state == kSyncStateQueued) {
            // A slow listener (the report crosses threads) gives the queue's thread every chance
            // to run the operation first; it must not.
            QDeadlineTimer deadline(300);
            while (!ran && !deadline.hasExpired())
                QThread::msleep(5);
        }
        QMutexLocker lock(&mutex);
        reports << QString::number(state);
    };
    l.success = [&](const QString&, quint64, quint64, int) {
        QMutexLocker lock(&mutex);
        reports << QStringLiteral("success");
    };
    queue.setListener(l);

    ASSERT_TRUE(queue.add(std::make_shared<QuickOperation>(ran)));
    ASSERT_TRUE(nubo::test::waitUntil([&] { return queue.idle(); }));
    QMutexLocker lock(&mutex);
    EXPECT_EQ(reports.join(u',').toStdString(), "0,1,success,4");
}
