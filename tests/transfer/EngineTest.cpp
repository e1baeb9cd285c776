#include "support/TransferFixture.h"

#include "foundation/NetworkMonitor.h"
#include "foundation/NotificationCenter.h"
#include "transfer/KZDownloadMgr.h"
#include "transfer/KZUploadMgr.h"
#include "transfer/TransferErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

using namespace nubo;
using namespace nubo::test;
using namespace nubo::transfer;

namespace {

constexpr qint64 kBlock = CloudService::kBlockSize;

int count(TransferEngine& e, int status) {
    return e.count(status);
}

} // namespace

TEST_F(TransferTest, UploadsFilesOfEverySizeIntact) {
    svc.mkdir(QStringLiteral("/up"));
    QList<TransferJobRecord> jobs;
    QList<QByteArray> contents;
    const qint64 sizes[] = {0, 1, kBlock, 3 * kBlock + 5};
    for (int i = 0; i < 4; ++i) {
        contents << ServiceFixture::randomBytes(sizes[i], quint32(i + 7));
        const QString path = writeLocal(QStringLiteral("f%1").arg(i), contents[i]);
        jobs << KZUploadMgr::makeJob(path, QStringLiteral("/up/f%1").arg(i), sizes[i], false);
    }
    addUploads(jobs);
    ASSERT_TRUE(waitUploadsSettled());
    ASSERT_TRUE(waitUntil([&] { return rec.uploadFinishedList.size() == 4; }));
    for (int i = 0; i < 4; ++i) {
        auto node = svc.service().nodeByPath(QStringLiteral("/up/f%1").arg(i));
        ASSERT_TRUE(node.ok()) << i;
        EXPECT_EQ(svc.readAll(node.value.nid), contents[i]) << i;
    }
    // Each callback passes the proxy's own object of the job, and a finished job changes lists.
    ASSERT_EQ(rec.uploadAdded.size(), 4);
    for (const auto& info : rec.uploadFinishedList) {
        EXPECT_TRUE(rec.uploadAdded.contains(info));
        EXPECT_EQ(info->m_status, quint32(KZTransportJobStatusFinished));
        EXPECT_EQ(info->m_progress, 1.0);
        EXPECT_GT(info->m_jobFinishedTime, 0u);
        EXPECT_TRUE(up->finishedUploadJobOpenInfos().contains(info));
        EXPECT_FALSE(up->unFinishedUploadJobOpenInfos().contains(info));
    }
    for (const auto& info : rec.uploadChanged)
        EXPECT_TRUE(rec.uploadAdded.contains(info));
    EXPECT_EQ(up->getFinishedJobCount(), 4);
}

TEST_F(TransferTest, AtMostFiveRunAndPauseResumeCancelFollowTheRules) {
    svc.mkdir(QStringLiteral("/up"));
    // No block goes through until the rules are checked: the jobs stay running as long as needed.
    svc.service().setHeld(ServiceOp::PutBlock, true);
    QList<TransferJobRecord> jobs;
    for (int i = 0; i < 7; ++i) {
        const QString path =
            writeLocal(QStringLiteral("f%1").arg(i), ServiceFixture::randomBytes(8 * kBlock, i));
        jobs << KZUploadMgr::makeJob(path, QStringLiteral("/up/f%1").arg(i), 8 * kBlock, false);
    }
    addUploads(jobs);
    TransferEngine& e = KZUploadMgr::shared();
    EXPECT_EQ(count(e, KZTransportJobStatusRunning), 5);
    EXPECT_EQ(count(e, KZTransportJobStatusWaiting), 2);
    EXPECT_EQ(uploadStatus(QStringLiteral("/up/f5")), KZTransportJobStatusWaiting);

    auto run = [](const std::function<void(TransferEngine&)>& f) {
        KZBackgroundThread::shared().runAndWait([&] { f(KZUploadMgr::shared()); });
    };
    // Pausing a running job starts the next waiting one.
    run([](TransferEngine& x) { x.pause(QStringLiteral("/up/f0")); });
    EXPECT_EQ(uploadStatus(QStringLiteral("/up/f0")), KZTransportJobStatusPaused);
    EXPECT_EQ(uploadStatus(QStringLiteral("/up/f5")), KZTransportJobStatusRunning);
    // Pausing a waiting job pauses it.
    run([](TransferEngine& x) { x.pause(QStringLiteral("/up/f6")); });
    EXPECT_EQ(uploadStatus(QStringLiteral("/up/f6")), KZTransportJobStatusPaused);
    EXPECT_EQ(count(e, KZTransportJobStatusRunning), 5);
    // Resuming with five running makes the job wait; a running job is left as it is.
    run([](TransferEngine& x) {
        x.resume(QStringLiteral("/up/f0"));
        x.resume(QStringLiteral("/up/f1"));
    });
    EXPECT_EQ(uploadStatus(QStringLiteral("/up/f0")), KZTransportJobStatusWaiting);
    EXPECT_EQ(uploadStatus(QStringLiteral("/up/f1")), KZTransportJobStatusRunning);
    // Pausing the waiting job again, then cancelling a running one frees a slot.
    run([](TransferEngine& x) {
        x.pause(QStringLiteral("/up/f0"));
        x.cancel(QStringLiteral("/up/f1"));
    });
    EXPECT_EQ(uploadStatus(QStringLiteral("/up/f1")), 0); // gone
    EXPECT_EQ(count(e, KZTransportJobStatusRunning), 4);
    // A resumed job runs when a slot is free.
    run([](TransferEngine& x) { x.resume(QStringLiteral("/up/f0")); });
    EXPECT_EQ(uploadStatus(QStringLiteral("/up/f0")), KZTransportJobStatusRunning);
    EXPECT_EQ(up->getRunningJobCount(), 5);
    EXPECT_EQ(up->getPausedJobCount(), 1);

    // pauseAll, resumeAll.
    run([](TransferEngine& x) { x.pauseAll(); });
    EXPECT_EQ(count(e, KZTransportJobStatusPaused), 6);
    run([](TransferEngine& x) { x.resumeAll(); });
    EXPECT_EQ(count(e, KZTransportJobStatusRunning), 5);
    EXPECT_EQ(count(e, KZTransportJobStatusWaiting), 1);

    // The callbacks say what happened: the cancel passes the object that left the lists.
    ASSERT_TRUE(waitUntil([&] { return rec.uploadCancelled.size() == 1; }));
    EXPECT_EQ(rec.uploadCancelled[0]->m_path, QStringLiteral("/up/f1"));
    EXPECT_TRUE(rec.uploadAdded.contains(rec.uploadCancelled[0]));
    EXPECT_FALSE(up->unFinishedUploadJobOpenInfos().contains(rec.uploadCancelled[0]));

    svc.service().setHeld(ServiceOp::PutBlock, false);
    ASSERT_TRUE(waitUploadsSettled(20000));
    EXPECT_EQ(count(e, KZTransportJobStatusFinished), 6);

    // Finished jobs: pause, resume and a cancel of an unfinished job change nothing; cancel
    // deletes the record.
    run([](TransferEngine& x) {
        x.pause(QStringLiteral("/up/f2"));
        x.resume(QStringLiteral("/up/f2"));
        x.cancelUnfinished(QStringLiteral("/up/f2"));
    });
    EXPECT_EQ(uploadStatus(QStringLiteral("/up/f2")), KZTransportJobStatusFinished);
    run([](TransferEngine& x) { x.cancel(QStringLiteral("/up/f2")); });
    run([](TransferEngine& x) { x.cancelFinishedAll(); });
    EXPECT_EQ(count(e, KZTransportJobStatusFinished), 0);
    // The records are gone too: a new sign-in finds nothing.
    signOutTransfers();
    ASSERT_FALSE(signInTransfers(svc.shared(), dbPath));
    EXPECT_EQ(count(e, KZTransportJobStatusFinished), 0);
}

// Progress held back by the report interval still reaches the pages when the job then stalls:
// the figure shown is the last one reached, not the one before it.
TEST_F(TransferTest, AHeldBackProgressReportIsSentWhenTheJobStalls) {
    svc.mkdir(QStringLiteral("/up"));
    svc.service().setHeldAfter(ServiceOp::PutBlock, 2);
    const QString path = writeLocal(QStringLiteral("big"), ServiceFixture::randomBytes(8 * kBlock, 3));
    addUploads({KZUploadMgr::makeJob(path, QStringLiteral("/up/big"), 8 * kBlock, false)});
    ASSERT_TRUE(waitUntil([&] { return !rec.uploadAdded.isEmpty(); }));
    const auto info = rec.uploadAdded[0];
    EXPECT_TRUE(waitUntil([&] { return info->m_progress == 0.25; }, 3000)) << info->m_progress;
    EXPECT_EQ(uploadStatus(QStringLiteral("/up/big")), KZTransportJobStatusRunning);

    svc.service().setHeld(ServiceOp::PutBlock, false);
    ASSERT_TRUE(waitUntil([&] { return rec.uploadFinishedList.size() == 1; }, 20000));
    EXPECT_EQ(info->m_progress, 1.0);
}

// Six files of at most one block each way, with the service holding their calls: five run in
// adding order and the sixth waits, however small the files; so again after the network comes
// back, and each finishes intact once the service lets them through.
TEST_F(TransferTest, OneBlockFilesRunFiveAtATimeEachWay) {
    svc.mkdir(QStringLiteral("/up"));
    QList<TransferJobRecord> ups, downs;
    QList<QByteArray> contents;
    for (int i = 0; i < 6; ++i) {
        contents << ServiceFixture::randomBytes(i == 0 ? kBlock : 100 + i, quint32(i + 1));
        const QString name = QStringLiteral("s%1").arg(i);
        ups << KZUploadMgr::makeJob(writeLocal(name, contents[i]), QStringLiteral("/up/") + name,
                                    contents[i].size(), false);
        const ServiceNode node = svc.putFile(QStringLiteral("/down/") + name, contents[i]);
        downs << KZDownloadMgr::makeJob(node, local.path(), local.path() + QStringLiteral("/got/") + name,
                                        false);
    }
    svc.service().setHeld(ServiceOp::PutBlock, true);
    svc.service().setHeld(ServiceOp::ReadRange, true);
    addUploads(ups);
    addDownloads(downs);
    TransferEngine& u = KZUploadMgr::shared();
    TransferEngine& d = KZDownloadMgr::shared();
    auto fiveRunEachWay = [&](const char* when) {
        SCOPED_TRACE(when);
        ASSERT_TRUE(waitUntil([&] {
            return svc.service().heldCalls(ServiceOp::PutBlock) == 5 &&
                   svc.service().heldCalls(ServiceOp::ReadRange) == 5 &&
                   count(u, KZTransportJobStatusRunning) == 5 && count(d, KZTransportJobStatusRunning) == 5;
        }));
        drainEvents();
        EXPECT_EQ(svc.service().heldCalls(ServiceOp::PutBlock), 5);
        EXPECT_EQ(svc.service().heldCalls(ServiceOp::ReadRange), 5);
        EXPECT_EQ(count(u, KZTransportJobStatusRunning), 5);
        EXPECT_EQ(count(u, KZTransportJobStatusWaiting), 1);
        EXPECT_EQ(count(d, KZTransportJobStatusRunning), 5);
        EXPECT_EQ(count(d, KZTransportJobStatusWaiting), 1);
        EXPECT_EQ(up->getRunningJobCount(), 5);
        EXPECT_EQ(down->getRunningJobCount(), 5);
        EXPECT_EQ(uploadStatus(ups[5].path), KZTransportJobStatusWaiting);
        EXPECT_EQ(downloadStatus(downs[5].path), KZTransportJobStatusWaiting);
    };
    fiveRunEachWay("added");

    NetworkMonitor::getInstance()->setNetworkPausedForTesting(true);
    ASSERT_TRUE(waitUntil([&] {
        return count(u, KZTransportJobStatusPaused) == 5 && count(d, KZTransportJobStatusPaused) == 5;
    }));
    NetworkMonitor::getInstance()->setNetworkPausedForTesting(false);
    fiveRunEachWay("network back");

    svc.service().setHeld(ServiceOp::PutBlock, false);
    svc.service().setHeld(ServiceOp::ReadRange, false);
    ASSERT_TRUE(waitUploadsSettled());
    ASSERT_TRUE(waitDownloadsSettled());
    EXPECT_EQ(count(u, KZTransportJobStatusFinished), 6);
    EXPECT_EQ(count(d, KZTransportJobStatusFinished), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(cloudContentOf(svc, ups[i].path), contents[i]) << i;
        EXPECT_EQ(readLocal(downs[i].path), contents[i]) << i;
    }
}

// Jobs restored at sign-in start only up to the limit too.
TEST_F(TransferTest, ARestartRunsFiveOneBlockFilesAtATime) {
    svc.mkdir(QStringLiteral("/up"));
    NetworkMonitor::getInstance()->setNetworkPausedForTesting(true); // nothing starts yet
    QList<TransferJobRecord> ups;
    for (int i = 0; i < 7; ++i) {
        const QString name = QStringLiteral("r%1").arg(i);
        ups << KZUploadMgr::makeJob(writeLocal(name, ServiceFixture::randomBytes(10, i)),
                                    QStringLiteral("/up/") + name, 10, false);
    }
    addUploads(ups);
    TransferEngine& u = KZUploadMgr::shared();
    EXPECT_EQ(count(u, KZTransportJobStatusWaiting), 7);
    signOutTransfers();
    NetworkMonitor::getInstance()->setNetworkPausedForTesting(false);
    svc.service().setHeld(ServiceOp::PutBlock, true);
    ASSERT_FALSE(signInTransfers(svc.shared(), dbPath));
    ASSERT_TRUE(waitUntil([&] { return svc.service().heldCalls(ServiceOp::PutBlock) == 5; }));
    drainEvents();
    EXPECT_EQ(svc.service().heldCalls(ServiceOp::PutBlock), 5);
    EXPECT_EQ(count(u, KZTransportJobStatusRunning), 5);
    EXPECT_EQ(count(u, KZTransportJobStatusWaiting), 2);
    svc.service().setHeld(ServiceOp::PutBlock, false);
    ASSERT_TRUE(waitUploadsSettled());
    EXPECT_EQ(count(u, KZTransportJobStatusFinished), 7);
}

TEST_F(TransferTest, ErrorsPauseResumeAndRetry) {
    svc.mkdir(QStringLiteral("/up"));
    // A transient failure is retried and the job completes.
    svc.service().failNext(ServiceOp::PutBlock, 2, BWError(BWError::kDomainNetwork, -1001));
    const QByteArray a = ServiceFixture::randomBytes(2 * kBlock, 1);
    addUploads(
        {KZUploadMgr::makeJob(writeLocal(QStringLiteral("a"), a), QStringLiteral("/up/a"), a.size(), false)});
    ASSERT_TRUE(waitUploadsSettled());
    EXPECT_EQ(uploadStatus(QStringLiteral("/up/a")), KZTransportJobStatusFinished);

    // A lasting failure: status 4 with the error; pause then makes it paused, resume runs it.
    svc.mkdir(QStringLiteral("/up/b"));
    const QByteArray b = ServiceFixture::randomBytes(100, 2);
    addUploads(
        {KZUploadMgr::makeJob(writeLocal(QStringLiteral("b"), b), QStringLiteral("/up/b"), b.size(), false)});
    ASSERT_TRUE(waitUntil([&] { return rec.uploadErrors.size() == 1; }));
    const auto info = rec.uploadErrors[0];
    EXPECT_EQ(info->m_status, quint32(KZTransportJobStatusError));
    EXPECT_TRUE(info->m_error);
    EXPECT_EQ(up->getErrorJobCount(), 1);
    up->pause(QStringLiteral("/up/b"));
    ASSERT_TRUE(waitUntil([&] { return info->m_status == KZTransportJobStatusPaused; }));
    up->resume(QStringLiteral("/up/b"));
    ASSERT_TRUE(waitUntil([&] { return info->m_status == KZTransportJobStatusError; }));
    // A failed job can also be resumed straight away, once the cause is gone.
    auto folder = svc.service().nodeByPath(QStringLiteral("/up/b"));
    ASSERT_FALSE(svc.service().remove({folder.value.nid}));
    up->resume(QStringLiteral("/up/b"));
    ASSERT_TRUE(waitUntil([&] { return info->m_status == KZTransportJobStatusFinished; }));
    EXPECT_FALSE(info->m_error);
}

TEST_F(TransferTest, NetworkLossPausesRunningJobsAndItsReturnResumesThem) {
    svc.mkdir(QStringLiteral("/up"));
    svc.service().setHeld(ServiceOp::PutBlock, true); // running until the network goes
    QList<TransferJobRecord> jobs;
    for (int i = 0; i < 3; ++i) {
        const QByteArray c = ServiceFixture::randomBytes(6 * kBlock, i + 20);
        jobs << KZUploadMgr::makeJob(writeLocal(QStringLiteral("n%1").arg(i), c),
                                     QStringLiteral("/up/n%1").arg(i), c.size(), false);
    }
    addUploads(jobs);
    // A job the user paused stays paused when the network comes back.
    KZBackgroundThread::shared().runAndWait([] { KZUploadMgr::shared().pause(QStringLiteral("/up/n2")); });
    NetworkMonitor::getInstance()->setNetworkPausedForTesting(true);
    TransferEngine& e = KZUploadMgr::shared();
    ASSERT_TRUE(waitUntil([&] { return e.count(KZTransportJobStatusPaused) == 3; }));
    for (const auto& info : up->unFinishedUploadJobOpenInfos()) {
        if (info->m_path != QLatin1String("/up/n2")) {
            EXPECT_TRUE(waitUntil([&] { return info->m_pausedReason == KZTransportPausedReasonNetwork; }));
        }
    }
    svc.service().setHeld(ServiceOp::PutBlock, false);
    NetworkMonitor::getInstance()->setNetworkPausedForTesting(false);
    ASSERT_TRUE(waitUntil([&] { return e.count(KZTransportJobStatusFinished) == 2; }, 15000));
    EXPECT_EQ(uploadStatus(QStringLiteral("/up/n2")), KZTransportJobStatusPaused);
    for (int i = 0; i < 2; ++i) {
        auto node = svc.service().nodeByPath(QStringLiteral("/up/n%1").arg(i));
        ASSERT_TRUE(node.ok());
        EXPECT_EQ(svc.readAll(node.value.nid), ServiceFixture::randomBytes(6 * kBlock, i + 20));
    }
}

TEST_F(TransferTest, DownloadsIntoPlaceThroughTheHiddenFolder) {
    const QByteArray big = ServiceFixture::randomBytes(5 * kBlock + 3, 9);
    const ServiceNode a = svc.putFile(QStringLiteral("/d/a.bin"), big);
    const ServiceNode empty = svc.putFile(QStringLiteral("/d/empty"), QByteArray());
    const QString root = local.path();
    addDownloads({KZDownloadMgr::makeJob(a, root, root + QStringLiteral("/a.bin"), false),
                  KZDownloadMgr::makeJob(empty, root, root + QStringLiteral("/empty"), false)});
    ASSERT_TRUE(waitDownloadsSettled());
    EXPECT_EQ(downloadStatus(root + QStringLiteral("/a.bin")), KZTransportJobStatusFinished);
    EXPECT_EQ(readLocal(root + QStringLiteral("/a.bin")), big);
    EXPECT_TRUE(QFileInfo::exists(root + QStringLiteral("/empty")));
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("/.Download")));
    ASSERT_TRUE(waitUntil([&] { return rec.downloadFinishedList.size() == 2; }));
    for (const auto& info : rec.downloadFinishedList) {
        EXPECT_EQ(info->m_cloudFile, info->m_path.endsWith(QLatin1String("a.bin"))
                                         ? QStringLiteral("/d/a.bin")
                                         : QStringLiteral("/d/empty"));
        EXPECT_TRUE(down->finishedDownloadJobOpenInfos().contains(info));
    }

    // A second download of the same file over an existing one replaces it only when asked to.
    QFile::remove(root + QStringLiteral("/a.bin"));
    writeLocal(QStringLiteral("a.bin"), "old");
    addDownloads({KZDownloadMgr::makeJob(a, root, root + QStringLiteral("/a.bin"), false)});
    ASSERT_TRUE(waitDownloadsSettled());
    EXPECT_EQ(downloadStatus(root + QStringLiteral("/a.bin")), KZTransportJobStatusError);
    EXPECT_EQ(readLocal(root + QStringLiteral("/a.bin")), QByteArray("old"));
    KZBackgroundThread::shared().runAndWait(
        [&] { KZDownloadMgr::shared().cancel(root + QStringLiteral("/a.bin")); });
    addDownloads({KZDownloadMgr::makeJob(a, root, root + QStringLiteral("/a.bin"), true)});
    ASSERT_TRUE(waitDownloadsSettled());
    EXPECT_EQ(readLocal(root + QStringLiteral("/a.bin")), big);
}

// Many small files of one folder start and finish together: each finishing job may remove the
// emptied folder of partial files while another is about to create its file in it.
TEST_F(TransferTest, SmallDownloadsOfOneFolderNeverLoseTheFolderOfPartialFiles) {
    const QString root = local.path();
    QList<TransferJobRecord> jobs;
    for (int i = 0; i < 400; ++i) {
        const ServiceNode n = svc.putFile(QStringLiteral("/many/f%1").arg(i), QByteArray::number(i));
        jobs << KZDownloadMgr::makeJob(n, root, root + QStringLiteral("/f%1").arg(i), false);
    }
    addDownloads(jobs);
    ASSERT_TRUE(waitDownloadsSettled(60000));
    KZBackgroundThread::shared().runAndWait([] {
        EXPECT_EQ(KZDownloadMgr::shared().count(KZTransportJobStatusError), 0);
        EXPECT_EQ(KZDownloadMgr::shared().count(KZTransportJobStatusFinished), 400);
    });
    EXPECT_EQ(readLocal(root + QStringLiteral("/f399")), QByteArray("399"));
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("/.Download")));
}

TEST_F(TransferTest, FrozenFileWaitsInStatusSevenUntilThawed) {
    const QByteArray c = ServiceFixture::randomBytes(kBlock + 1, 4);
    const ServiceNode n = svc.putFile(QStringLiteral("/frozen.bin"), c);
    ASSERT_FALSE(svc.service().setFrozen(n.nid, true));
    const QString path = local.path() + QStringLiteral("/frozen.bin");
    addDownloads({KZDownloadMgr::makeJob(n, local.path(), path, false)});
    ASSERT_TRUE(waitUntil([&] { return downloadStatus(path) == KZTransportJobStatusWaitingThaw; }));
    EXPECT_EQ(KZDownloadMgr::shared().count(KZTransportJobStatusRunning), 0); // its slot is free
    drainEvents();
    ASSERT_FALSE(rec.downloadAdded.isEmpty());
    EXPECT_EQ(rec.downloadAdded[0]->m_status, KZTransportJobStatusWaitingThaw);
    EXPECT_EQ(rec.downloadAdded[0]->m_error.code(), kCloudErrorFrozen);
    // Pause and resume leave a job waiting for the thaw as it is.
    KZBackgroundThread::shared().runAndWait([&] {
        KZDownloadMgr::shared().pause(path);
        KZDownloadMgr::shared().resume(path);
    });
    EXPECT_EQ(downloadStatus(path), KZTransportJobStatusWaitingThaw);
    ASSERT_FALSE(svc.service().setFrozen(n.nid, false));
    ASSERT_TRUE(waitUntil([&] { return downloadStatus(path) == KZTransportJobStatusFinished; }));
    EXPECT_EQ(readLocal(path), c);
}

TEST_F(TransferTest, HostileNamesAndPlantedLinksWriteNothing) {
    const QByteArray c("secret");
    ServiceNode n = svc.putFile(QStringLiteral("/x"), c);
    QTemporaryDir outside;
    const QString root = local.path() + QStringLiteral("/dl");
    QDir().mkpath(root);
    // Names the service would never give, as a tampered record could carry them.
    QList<TransferJobRecord> jobs;
    const QStringList badNames{QStringLiteral(".."), QStringLiteral("../escape"),
                               QStringLiteral("a/../../escape"), QStringLiteral("nul") + QChar(0),
                               outside.path() + QStringLiteral("/abs")};
    for (const QString& bad : badNames) {
        n.name = bad;
        jobs << KZDownloadMgr::makeJob(n, root, root + QLatin1Char('/') + bad, false);
    }
    // A link planted where the file goes, and one planted as a folder on the way.
    ASSERT_EQ(::symlink(QFile::encodeName(outside.path() + QStringLiteral("/target")).constData(),
                        QFile::encodeName(root + QStringLiteral("/link")).constData()),
              0);
    ASSERT_EQ(::symlink(QFile::encodeName(outside.path()).constData(),
                        QFile::encodeName(root + QStringLiteral("/sub")).constData()),
              0);
    n.name = QStringLiteral("link");
    jobs << KZDownloadMgr::makeJob(n, root, root + QStringLiteral("/link"), true);
    n.name = QStringLiteral("f");
    jobs << KZDownloadMgr::makeJob(n, root, root + QStringLiteral("/sub/f"), true);
    addDownloads(jobs);
    ASSERT_TRUE(waitDownloadsSettled());
    ASSERT_TRUE(waitUntil([&] { return rec.downloadErrors.size() == jobs.size(); }));
    for (const auto& info : rec.downloadErrors) {
        EXPECT_EQ(info->m_status, KZTransportJobStatusError) << info->m_path.toStdString();
        EXPECT_TRUE(info->m_error.code() == kErrUnsafeName || info->m_error.code() == kErrUnsafeTarget)
            << info->m_path.toStdString() << " " << info->m_error.code();
        EXPECT_FALSE(info->m_error.localizedDescription().isEmpty());
    }
    EXPECT_TRUE(
        QDir(outside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(local.path() + QStringLiteral("/escape")));
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("/.Download")));
}

TEST_F(TransferTest, CountsNotificationFollowsEveryChange) {
    QList<QVariantMap> posted;
    QObject observer;
    NotificationCenter::defaultCenter().addObserver(
        &observer, QStringLiteral("KZNotificationTransportJobCount"), [&](const Notification& n) {
            const QVariantMap m = n.object.toMap();
            runOnMain([&posted, m] { posted << m; });
        });
    svc.mkdir(QStringLiteral("/up"));
    const QByteArray c = ServiceFixture::randomBytes(10, 1);
    addUploads(
        {KZUploadMgr::makeJob(writeLocal(QStringLiteral("c"), c), QStringLiteral("/up/c"), c.size(), false)});
    ASSERT_TRUE(waitUploadsSettled());
    ASSERT_TRUE(waitUntil([&] {
        return !posted.isEmpty() && posted.last().value(QStringLiteral("KEY_FINISHED_COUNT")).toInt() == 1;
    }));
    EXPECT_EQ(posted.first().value(QStringLiteral("KEY_UPLOAD_COUNT")).toInt(), 1);
    EXPECT_EQ(posted.last().value(QStringLiteral("KEY_UPLOAD_COUNT")).toInt(), 0);
    EXPECT_EQ(posted.last().value(QStringLiteral("KEY_DOWNLOAD_COUNT")).toInt(), 0);
    up->cancelFinishedAll();
    ASSERT_TRUE(
        waitUntil([&] { return posted.last().value(QStringLiteral("KEY_FINISHED_COUNT")).toInt() == 0; }));
    NotificationCenter::defaultCenter().removeObserver(&observer);
}

TEST_F(TransferTest, ListFetchesReadTheEngineOnlyWhenEmpty) {
    svc.mkdir(QStringLiteral("/up"));
    const QByteArray c = ServiceFixture::randomBytes(10, 1);
    addUploads(
        {KZUploadMgr::makeJob(writeLocal(QStringLiteral("c"), c), QStringLiteral("/up/c"), c.size(), false)});
    ASSERT_TRUE(waitUploadsSettled());
    drainEvents();
    // Restart: the proxy's lists are read again from the restored engine. Sign-out and sign-in
    // each make it read both lists: let both reads answer before counting.
    signOutTransfers();
    ASSERT_FALSE(signInTransfers(svc.shared(), dbPath));
    for (int i = 0; i < 2; ++i) {
        drainEvents();
        KZBackgroundThread::shared().runAndWait([] {});
    }
    drainEvents();
    ASSERT_EQ(rec.lastFinishedUploads.size(), 1);
    const auto same = rec.lastFinishedUploads[0];
    // A non-empty list is answered within the call, with the same objects.
    const int before = rec.finishedUploadAnswers;
    up->getFinishedUploadJobOpenInfo();
    EXPECT_EQ(rec.finishedUploadAnswers, before + 1);
    EXPECT_EQ(rec.lastFinishedUploads[0], same);
    // An empty list is read from the engine, later. Requests made meanwhile, for either list,
    // are each answered when that read ends.
    const int unfinishedBefore = rec.unfinishedUploadAnswers;
    up->getUnFinishedUploadJobOpenInfo();
    up->getUnFinishedUploadJobOpenInfo();
    up->getFinishedUploadJobOpenInfo();
    EXPECT_EQ(rec.unfinishedUploadAnswers, unfinishedBefore);
    EXPECT_EQ(rec.finishedUploadAnswers, before + 1);
    KZBackgroundThread::shared().runAndWait([] {});
    drainEvents();
    EXPECT_EQ(rec.unfinishedUploadAnswers, unfinishedBefore + 2);
    EXPECT_EQ(rec.finishedUploadAnswers, before + 2);
    EXPECT_TRUE(rec.lastUnfinishedUploads.isEmpty());
    ASSERT_EQ(rec.lastFinishedUploads.size(), 1);
    EXPECT_EQ(rec.lastFinishedUploads[0], same);
}

TEST_F(TransferTest, ACancelledUploadAddedAgainCompletes) {
    // The cancelled job's tidy-up ends the service's upload, which the new job of the same file
    // shares: the new job begins it again instead of failing. Cancelled mid-way, and again
    // after the blocks were all sent (its commit may land first: the new job then finds the
    // same file there).
    svc.mkdir(QStringLiteral("/up"));
    svc.service().setDelay(ServiceOp::PutBlock, 100);
    const QByteArray c = ServiceFixture::randomBytes(24 * kBlock, 5);
    const QString disk = writeLocal(QStringLiteral("again"), c);
    const auto job = KZUploadMgr::makeJob(disk, QStringLiteral("/up/again"), c.size(), false);
    addUploads({job});
    ASSERT_TRUE(waitUntil(
        [&] { return !rec.uploadChanged.isEmpty() && rec.uploadChanged.last()->m_finishedSize > 0; }));
    KZBackgroundThread::shared().runAndWait([&] {
        KZUploadMgr::shared().cancel(job.path);
        KZUploadMgr::shared().addJobs({job});
    });
    svc.service().setDelay(ServiceOp::PutBlock, 0);
    ASSERT_TRUE(waitUploadsSettled());
    EXPECT_EQ(uploadStatus(QStringLiteral("/up/again")), KZTransportJobStatusFinished);
    EXPECT_EQ(cloudContentOf(svc, QStringLiteral("/up/again")), c);

    KZBackgroundThread::shared().runAndWait([&] {
        KZUploadMgr::shared().cancel(job.path);
        KZUploadMgr::shared().addJobs({job});
    });
    ASSERT_TRUE(waitUploadsSettled());
    EXPECT_EQ(uploadStatus(QStringLiteral("/up/again")), KZTransportJobStatusFinished);
}

// The service checks held blocks that the upload did not send; one found damaged is asked for
// again, and the engine sends it on the same run.
TEST_F(TransferTest, AHeldBlockFoundDamagedAtTheCommitIsSentAgain) {
    const QByteArray data = ServiceFixture::randomBytes(3 * kBlock + 11, 31);
    const ServiceNode first = svc.putFile(QStringLiteral("/a.bin"), data);
    const QString damaged = ServiceFixture::blockHashes(data)[1];
    QFile blob(svc.service().folder() + QStringLiteral("/blocks/") + damaged.left(2) + QLatin1Char('/') +
               damaged);
    ASSERT_TRUE(blob.open(QIODevice::ReadWrite));
    blob.write("XY");
    blob.close();
    addUploads({KZUploadMgr::makeJob(writeLocal(QStringLiteral("b.bin"), data), QStringLiteral("/b.bin"),
                                     data.size(), false)});
    ASSERT_TRUE(waitUploadsSettled());
    EXPECT_EQ(uploadStatus(QStringLiteral("/b.bin")), KZTransportJobStatusFinished);
    EXPECT_EQ(cloudContentOf(svc, QStringLiteral("/b.bin")), data);
    EXPECT_EQ(svc.readAll(first.nid), data); // the file that shares the block is whole again
    EXPECT_FALSE(svc.service().verifyContent());
}

// A download whose block fetches fail while others are under way stops cleanly (no stage waits
// for a block that will not come), leaves nothing at the destination, and completes when resumed.
TEST_F(TransferTest, ADownloadFailingMidwayStopsCleanlyAndResumes) {
    const QByteArray big = ServiceFixture::randomBytes(40 * kBlock + 5, 32);
    const ServiceNode a = svc.putFile(QStringLiteral("/big.bin"), big);
    const QString path = local.path() + QStringLiteral("/big.bin");
    svc.service().setDelay(ServiceOp::ReadRange, 2);
    svc.service().failNext(ServiceOp::ReadRange, 3, BWError(BWError::kDomainCloud, kCloudErrorDataCorrupt));
    addDownloads({KZDownloadMgr::makeJob(a, local.path(), path, false)});
    ASSERT_TRUE(waitDownloadsSettled());
    EXPECT_EQ(downloadStatus(path), KZTransportJobStatusError);
    EXPECT_FALSE(QFileInfo::exists(path));
    // The lanes stop fetching at the first failure, so some of the three may not have been used.
    svc.service().clearFaults();
    down->resume(path);
    ASSERT_TRUE(waitUntil([&] { return downloadStatus(path) == KZTransportJobStatusFinished; }));
    EXPECT_EQ(readLocal(path), big);
}

TEST_F(TransferTest, JobRecordsWrittenATurnAtATimeStillFollowEveryChange) {
    svc.mkdir(QStringLiteral("/up"));
    QList<TransferJobRecord> done, held;
    for (int i = 0; i < 6; ++i) {
        const QString name = QStringLiteral("f%1").arg(i);
        (i < 4 ? done : held) << KZUploadMgr::makeJob(
            writeLocal(name, ServiceFixture::randomBytes(100 + i, quint32(i + 1))),
            QStringLiteral("/up/") + name, 100 + i, false);
    }
    TransferEngine& e = KZUploadMgr::shared();
    addUploads(done);
    // The finishes are taken in on this thread, and the finished list is cleared in the same
    // turn: records written later must not bring the cleared jobs back.
    KZBackgroundThread::shared().runAndWait([&] {
        QDeadlineTimer deadline(15000);
        while (e.count(KZTransportJobStatusFinished) < 4 && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        e.cancelFinishedAll();
    });
    ASSERT_EQ(e.count(KZTransportJobStatusFinished), 0);

    // Jobs paused in the same turn as the sign-out are recorded paused.
    NetworkMonitor::getInstance()->setNetworkPausedForTesting(true);
    addUploads(held);
    KZBackgroundThread::shared().runAndWait([&] {
        e.pauseAll();
        e.signOut();
    });
    NetworkMonitor::getInstance()->setNetworkPausedForTesting(false);
    ASSERT_FALSE(signInTransfers(svc.shared(), dbPath));
    int paused = 0, others = 0;
    KZBackgroundThread::shared().runAndWait([&] {
        for (const auto& j : e.jobs())
            ++(j.rec.status == KZTransportJobStatusPaused ? paused : others);
    });
    EXPECT_EQ(paused, 2);
    EXPECT_EQ(others, 0);
}
