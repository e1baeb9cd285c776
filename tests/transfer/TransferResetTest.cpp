#include "foundation/SingletonT.h"
#include "support/TransferFixture.h"
#include "sync/CloudFileSyncMgr.h"
#include "transfer/KZUploadMgr.h"

#include <QThread>
#include <condition_variable>
#include <mutex>

namespace nubo::test {
namespace {

using namespace nubo::transfer;
constexpr qint64 kBlock = CloudService::kBlockSize;

int jobCount() {
    int n = -1;
    KZBackgroundThread::shared().runAndWait([&] { n = int(KZUploadMgr::shared().jobs().size()); });
    return n;
}

// The proxies, the sync managers and the engines are ended while workers run, their reports
// are queued on both threads and a folder upload is half way: nothing of the old objects runs
// after, the fresh ones start empty, and the jobs resume from their records at the next sign-in.
TEST_F(TransferTest, EndingTheTransfersWithWorkPendingDropsItAndTheRecordsResumeTheJobs) {
    svc.mkdir(QStringLiteral("/up"));
    svc.service().setHeld(ServiceOp::PutBlock, true);
    QList<TransferJobRecord> jobs;
    QHash<QString, QByteArray> contents;
    for (int i = 0; i < 8; ++i) {
        const QString cloud = QStringLiteral("/up/f%1").arg(i);
        contents[cloud] = ServiceFixture::randomBytes(3 * kBlock, quint32(i + 1));
        jobs << KZUploadMgr::makeJob(writeLocal(QStringLiteral("f%1").arg(i), contents[cloud]), cloud,
                                     3 * kBlock, false);
    }
    addUploads(jobs);
    for (int i = 0; i < 40; ++i)
        writeLocal(QStringLiteral("tree/t%1").arg(i), QByteArray("t"));
    up->uploadFileByDiskFile(local.path() + QStringLiteral("/tree"), cloudFolder(QStringLiteral("/")));
    up->getUnFinishedUploadJobOpenInfo(); // a list read queued both ways
    ASSERT_TRUE(waitUntil([&] { return !rec.uploadAdded.isEmpty(); }));

    const int heard = int(rec.uploadAdded.size() + rec.uploadChanged.size() + rec.cloudSync.size());
    svc.service().setHeld(ServiceOp::PutBlock, false); // the workers report while everything ends
    endTransfers();
    drainEvents();
    EXPECT_EQ(int(rec.uploadAdded.size() + rec.uploadChanged.size() + rec.cloudSync.size()), heard);

    // Fresh objects with nothing of the old ones: no job before the sign-in, no list, no watcher.
    EXPECT_EQ(jobCount(), 0);
    EXPECT_EQ(CloudFileSyncMgr::shared().operationCount(), 0);
    createTransferProxies();
    up = KZUploadMgrProxy::shareUploadMgrProxy();
    down = KZDownloadMgrProxy::shareDownloadMgrProxy();
    EXPECT_TRUE(up->unFinishedUploadJobOpenInfos().isEmpty());
    EXPECT_EQ(up->getRunningJobCount(), 0);

    // Every job that was not done is on record and finishes after the next sign-in.
    up->addUploadMgrProxyObserver(&rec);
    ASSERT_FALSE(signInTransfers(svc.shared(), dbPath));
    EXPECT_GE(jobCount(), jobs.size());
    ASSERT_TRUE(waitUploadsSettled(30000));
    for (auto it = contents.cbegin(); it != contents.cend(); ++it)
        EXPECT_EQ(cloudContentOf(svc, it.key()), it.value()) << it.key().toStdString();
    EXPECT_FALSE(rec.uploadChanged.size() + rec.uploadFinishedList.size() == 0); // the fresh proxy reports
}

// The sync manager reports on its own thread from a copy of the proxy's listener: the proxy may
// end while such a report is under way (quitting while a folder upload asks about a conflict).
// Ending waits for it, and the report's second call, made after, goes nowhere.
TEST_F(TransferTest, EndingTheUploadProxyWaitsForASyncReportUnderWayAndDropsLaterOnes) {
    svc.mkdir(QStringLiteral("/dest/tree"));
    writeLocal(QStringLiteral("tree/a"), QByteArray("a"));
    std::mutex mutex;
    std::condition_variable cv;
    bool entered = false, ended = false, returnedBeforeEnd = false;
    std::atomic<int> syncCalls{0};
    const RelayHook hook = [&] {
        if (QThread::currentThread()->objectName() != QLatin1String("CloudFileSyncMgr"))
            return;
        // The second call of the queue's thread: "waiting", before the question itself.
        if (++syncCalls != 2)
            return;
        std::unique_lock lock(mutex);
        entered = true;
        cv.notify_all();
        // Held until the proxy is gone, or for a while when ending waits for this call.
        cv.wait_for(lock, std::chrono::milliseconds(250), [&] { return ended; });
        returnedBeforeEnd = !ended;
    };
    relayHookForTesting() = &hook;
    up->uploadFileByDiskFile(local.path() + QStringLiteral("/tree"), cloudFolder(QStringLiteral("/dest")));
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return entered; }));
    }
    SingletonT<KZUploadMgrProxy>::reset();
    up = nullptr;
    {
        std::lock_guard lock(mutex);
        ended = true;
        cv.notify_all();
    }
    // The question is still being asked: stopping the operation waits until it has been.
    CloudFileSyncMgr::shared().stopAll();
    relayHookForTesting() = nullptr;
    EXPECT_TRUE(returnedBeforeEnd);
    EXPECT_EQ(syncCalls.load(), 2);
    drainEvents();
}

} // namespace
} // namespace nubo::test
