#include "foundation/Dispatch.h"
#include "transfer/TransferEngine.h"

#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace nubo;
using namespace nubo::transfer;

namespace {

// An engine whose jobs report and end at once, or hold until they are stopped.
class QuickEngine : public TransferEngine {
public:
    QuickEngine() : TransferEngine(QStringLiteral("upload")) {}
    ~QuickEngine() override { stopWorkers(); }
    std::atomic<int> started{0};
    std::atomic<int> done{0};
    std::atomic<bool> hold{false};

protected:
    BWError work(const TransferJobRecord&, WorkerContext& ctx) override {
        ctx.progress(1);
        ctx.updateRecord([](TransferJobRecord& r) { r.fileSha1 = QStringLiteral("0"); });
        ++started;
        while (hold && !ctx.stopped())
            QThread::msleep(1);
        ++done;
        // A transient failure: the engine would try again after its retry delay.
        return BWError(BWError::kDomainNetwork, 1);
    }
};

QList<TransferJobRecord> jobs(int n) {
    QList<TransferJobRecord> list;
    for (int i = 0; i < n; ++i) {
        TransferJobRecord r;
        r.path = QStringLiteral("/up/f%1").arg(i);
        r.source = QStringLiteral("/nowhere/f%1").arg(i);
        r.size = 2 * CloudService::kBlockSize; // big enough to count against the limit of five
        list << r;
    }
    return list;
}

// Runs everything queued on the background thread so far.
void drainBackground() {
    KZBackgroundThread::shared().runAndWait([] {});
}

} // namespace

// Reports, record updates and retry timers of the engine's workers are queued calls that hold
// the engine; after its destructor none of them may run (run under ASan to see the difference).
TEST(EngineLifetime, DestroyedWithItsWorkersReportsQueuedRunsNoneOfThem) {
    QTemporaryDir dir;
    auto* engine = new QuickEngine;
    std::atomic<int> events{0};
    int eventsAtDestruction = -1;
    KZBackgroundThread::shared().runAndWait([&] {
        ASSERT_FALSE(engine->signIn(nullptr, dir.filePath(QStringLiteral("user.db"))));
        engine->setRetryDelayMs(1);
        engine->setListener([&](TransferEngine::Event, const QList<TransferEngine::JobView>&) { ++events; });
        engine->addJobs(jobs(TransferEngine::kMaxRunning));
        // The background thread is busy here, so every report of the finished workers waits.
        for (int i = 0; i < 5000 && engine->done < TransferEngine::kMaxRunning; ++i)
            QThread::msleep(1);
        ASSERT_EQ(engine->done, TransferEngine::kMaxRunning);
        eventsAtDestruction = events;
        delete engine;
    });
    drainBackground();
    drainBackground();
    EXPECT_EQ(events, eventsAtDestruction);
}

TEST(EngineLifetime, DestroyedFromTheMainThreadWhileWorkersRunStopsThemAndDropsTheirReports) {
    QTemporaryDir dir;
    auto* engine = new QuickEngine;
    engine->hold = true;
    std::atomic<int> events{0};
    KZBackgroundThread::shared().runAndWait([&] {
        ASSERT_FALSE(engine->signIn(nullptr, dir.filePath(QStringLiteral("user.db"))));
        engine->setRetryDelayMs(1);
        engine->setListener([&](TransferEngine::Event, const QList<TransferEngine::JobView>&) { ++events; });
        engine->addJobs(jobs(2 * TransferEngine::kMaxRunning));
    });
    for (int i = 0; i < 5000 && engine->started < TransferEngine::kMaxRunning; ++i)
        QThread::msleep(1);
    ASSERT_EQ(engine->started, TransferEngine::kMaxRunning);
    drainBackground();
    const int before = events;
    delete engine; // waits for the held workers, which the stop lets go
    drainBackground();
    drainBackground();
    EXPECT_EQ(events, before);
}
