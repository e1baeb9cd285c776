// Many uploads and downloads at once while pauses, resumes, cancels and network losses come at
// random (from a seed printed in the output; NUBO_LOAD_SEED replays another): every job that was
// not cancelled ends finished with the right content, and nothing is left behind.
#include "support/Seed.h"
#include "support/TransferFixture.h"

#include "foundation/NetworkMonitor.h"
#include "transfer/KZDownloadMgr.h"
#include "transfer/KZUploadMgr.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSet>
#include <cstdio>

using namespace nubo;
using namespace nubo::test;
using namespace nubo::transfer;

namespace {

constexpr qint64 kBlock = CloudService::kBlockSize;
constexpr int kSmall = 200;
constexpr int kLarge = 5;
// How long the faults go on; the jobs then get the time they need to finish.
constexpr qint64 kFaultsMs = 20000;

} // namespace

TEST_F(TransferTest, LoadWithRandomPausesCancelsAndNetworkLoss) {
    const quint32 seed = testSeed("NUBO_LOAD_SEED", 20261207u);
    QRandomGenerator rng(seed);
    auto sizeOf = [&](int i) {
        return i < kLarge ? 10 * kBlock + qint64(rng.bounded(int(kBlock)))
                          : qint64(rng.bounded(int(2 * kBlock)));
    };

    svc.mkdir(QStringLiteral("/load"));
    const QString root = local.path() + QStringLiteral("/in");
    QDir().mkpath(root);
    QHash<QString, QString> uploadSha1, downloadSha1; // job key -> expected SHA-1
    QList<TransferJobRecord> uploads, downloads;
    for (int i = 0; i < kSmall + kLarge; ++i) {
        const QByteArray up = ServiceFixture::randomBytes(sizeOf(i), seed + quint32(i));
        const QString cloud = QStringLiteral("/load/u%1").arg(i);
        uploads << KZUploadMgr::makeJob(writeLocal(QStringLiteral("out/u%1").arg(i), up), cloud, up.size(),
                                        false);
        uploadSha1.insert(cloud, ServiceFixture::sha1(up));
        const QByteArray down = ServiceFixture::randomBytes(sizeOf(i), seed + 100000u + quint32(i));
        const ServiceNode n = svc.putFile(QStringLiteral("/src/d%1").arg(i), down);
        const QString path = root + QStringLiteral("/d%1").arg(i);
        downloads << KZDownloadMgr::makeJob(n, root, path, false);
        downloadSha1.insert(path, ServiceFixture::sha1(down));
    }
    svc.service().setDelay(ServiceOp::PutBlock, 4);
    svc.service().setDelay(ServiceOp::ReadRange, 4);
    addUploads(uploads);
    addDownloads(downloads);

    // Faults at random until the time is up or every job has settled.
    QSet<QString> cancelled;
    int pauses = 0, resumes = 0, losses = 0;
    bool networkDown = false;
    QElapsedTimer clock;
    clock.start();
    auto allDone = [] {
        for (TransferEngine* e : {static_cast<TransferEngine*>(&KZUploadMgr::shared()),
                                  static_cast<TransferEngine*>(&KZDownloadMgr::shared())})
            for (int status :
                 {KZTransportJobStatusRunning, KZTransportJobStatusWaiting, KZTransportJobStatusPaused,
                  KZTransportJobStatusError, KZTransportJobStatusWaitingThaw})
                if (e->count(status) > 0)
                    return false;
        return true;
    };
    while (clock.elapsed() < kFaultsMs) {
        waitUntil([] { return false; }, 5 + int(rng.bounded(20)));
        const int dice = int(rng.bounded(100));
        const bool upload = rng.bounded(2) == 0;
        const int index = int(rng.bounded(kSmall + kLarge));
        TransferEngine& engine = upload ? static_cast<TransferEngine&>(KZUploadMgr::shared())
                                        : static_cast<TransferEngine&>(KZDownloadMgr::shared());
        const QString key = upload ? uploads[index].path : downloads[index].path;
        if (dice < 40) {
            KZBackgroundThread::shared().runAndWait([&] { engine.pause(key); });
            ++pauses;
        } else if (dice < 85) {
            KZBackgroundThread::shared().runAndWait([&] { engine.resume(key); });
            ++resumes;
        } else if (dice < 88) {
            KZBackgroundThread::shared().runAndWait([&] { engine.cancel(key); });
            cancelled.insert(key);
        } else {
            networkDown = !networkDown;
            losses += networkDown;
            NetworkMonitor::getInstance()->setNetworkPausedForTesting(networkDown);
        }
        if (!networkDown && allDone())
            break; // every job finished (or was cancelled): no more faults to put in
    }
    std::printf("load test: %d pauses, %d resumes, %d cancels, %d network losses in %lld ms\n", pauses,
                resumes, int(cancelled.size()), losses, static_cast<long long>(clock.elapsed()));

    // The faults end: the network is back, everything paused or failed is resumed.
    NetworkMonitor::getInstance()->setNetworkPausedForTesting(false);
    svc.service().setDelay(ServiceOp::PutBlock, 0);
    svc.service().setDelay(ServiceOp::ReadRange, 0);
    auto allFinished = [&](TransferEngine& e) {
        int open = 0;
        KZBackgroundThread::shared().runAndWait([&] {
            for (const auto& j : e.jobs()) {
                if (j.rec.status != KZTransportJobStatusFinished)
                    ++open;
            }
            e.resumeAll();
        });
        return open == 0;
    };
    ASSERT_TRUE(waitUntil(
        [&] { return allFinished(KZUploadMgr::shared()) && allFinished(KZDownloadMgr::shared()); }, 90000));

    // Every job not cancelled is finished, with the right content.
    QSet<QString> finishedUploads, finishedDownloads;
    KZBackgroundThread::shared().runAndWait([&] {
        for (const auto& j : KZUploadMgr::shared().jobs())
            finishedUploads.insert(j.rec.path);
        for (const auto& j : KZDownloadMgr::shared().jobs())
            finishedDownloads.insert(j.rec.path);
    });
    for (const auto& job : uploads) {
        if (cancelled.contains(job.path))
            continue;
        EXPECT_TRUE(finishedUploads.contains(job.path)) << job.path.toStdString();
        auto node = svc.service().nodeByPath(job.path);
        ASSERT_TRUE(node.ok()) << job.path.toStdString();
        EXPECT_EQ(node.value.fileHash, uploadSha1.value(job.path)) << job.path.toStdString();
    }
    for (const auto& job : downloads) {
        if (cancelled.contains(job.path))
            continue;
        EXPECT_TRUE(finishedDownloads.contains(job.path)) << job.path.toStdString();
        EXPECT_EQ(ServiceFixture::sha1(readLocal(job.path)), downloadSha1.value(job.path))
            << job.path.toStdString();
    }
    EXPECT_FALSE(svc.service().verifyContent());

    // Nothing is left behind: no open upload, no temporary block, no partial file.
    {
        Query q = svc.service().database().query(QStringLiteral("SELECT COUNT(*) FROM uploads"));
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.int64(0), 0) << "open uploads";
    }
    EXPECT_EQ(entriesBelow(svc.folder() + QStringLiteral("/blocks"), {QStringLiteral("*.tmp")})
                  .join(u'\n')
                  .toStdString(),
              "");
    EXPECT_EQ(
        entriesBelow(root, {QStringLiteral(".Download"), QStringLiteral("*.part")}).join(u'\n').toStdString(),
        "");
    EXPECT_EQ(svc.service().database().integrityCheck(), QStringLiteral("ok"));
    auto db = Database::open(dbPath);
    ASSERT_TRUE(db.ok());
    EXPECT_EQ(db.value->integrityCheck(), QStringLiteral("ok"));
}
