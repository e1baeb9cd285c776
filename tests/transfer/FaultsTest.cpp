// Transfers under faults: commands and quits at the exact moment a job's work is done, folders
// swapped for links while downloads run, names the local disk cannot take, failing writes.
#include "support/TransferFixture.h"

#include "storage/DatabaseRescue.h"
#include "support/DamagedDatabase.h"
#include "transfer/KZDownloadMgr.h"
#include "transfer/KZUploadMgr.h"
#include "transfer/LocalTarget.h"
#include "transfer/TransferErrors.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>

using namespace nubo;
using namespace nubo::test;
using namespace nubo::transfer;

namespace {

constexpr qint64 kBlock = CloudService::kBlockSize;

// Runs `action` once on the worker the first time it reaches `step`, while that worker waits;
// the hook is removed when the guard goes. fired() turns true only once the action has returned:
// a test that goes on as soon as the step is claimed may overtake what the action asks for.
class StepOnce {
public:
    StepOnce(const char* step, std::function<void()> action) {
        TransferEngine::setStepHookForTesting(
            [state = m_state, want = QByteArray(step), action = std::move(action)](const char* at,
                                                                                   const TransferJobRecord&) {
                if (want == at && !state->claimed.exchange(true)) {
                    action();
                    state->done = true;
                }
            });
    }
    ~StepOnce() { TransferEngine::setStepHookForTesting({}); }
    bool fired() const { return m_state->done; }

private:
    // Shared with the hook: a worker may still hold the hook after the guard has gone.
    struct State {
        std::atomic<bool> claimed{false};
        std::atomic<bool> done{false};
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

// Signs the engine out on the background thread without waiting for it (the worker that asks is
// still running): once the background thread has begun it, the worker's report can only arrive
// after the jobs were dropped, as after a quit.
void quitFromWorker(TransferEngine& engine) {
    std::atomic<bool> begun{false};
    KZBackgroundThread::shared().run([&engine, &begun] {
        begun = true;
        engine.signOut();
    });
    while (!begun)
        std::this_thread::yield();
}

qint64 openUploads(ServiceFixture& svc) {
    Query q = svc.service().database().query(QStringLiteral("SELECT COUNT(*) FROM uploads"));
    return q.next() ? q.int64(0) : -1;
}

} // namespace

TEST_F(TransferTest, ADownloadStoppedRightAfterItsRenameEndsFinished) {
    const QByteArray c = ServiceFixture::randomBytes(3 * kBlock + 7, 41);
    const ServiceNode n = svc.putFile(QStringLiteral("/r.bin"), c);
    const QString path = local.path() + QStringLiteral("/r.bin");

    // A pause that arrives after the file is in place: the success still counts.
    {
        StepOnce pause("placed", [&] {
            KZBackgroundThread::shared().runAndWait([&] { KZDownloadMgr::shared().pause(path); });
        });
        addDownloads({KZDownloadMgr::makeJob(n, local.path(), path, false)});
        ASSERT_TRUE(waitUntil([&] { return downloadStatus(path) == KZTransportJobStatusFinished; }));
        EXPECT_TRUE(pause.fired());
    }
    EXPECT_EQ(readLocal(path), c);
    EXPECT_FALSE(QFileInfo::exists(local.path() + QStringLiteral("/.Download")));

    // A quit at the same point: the next start finds the file in place and ends the job finished
    // instead of refusing the existing file.
    QFile::remove(path);
    KZBackgroundThread::shared().runAndWait([&] { KZDownloadMgr::shared().cancel(path); });
    {
        StepOnce quit("placed", [] { quitFromWorker(KZDownloadMgr::shared()); });
        addDownloads({KZDownloadMgr::makeJob(n, local.path(), path, false)});
        ASSERT_TRUE(waitUntil([&] { return quit.fired(); }));
        KZBackgroundThread::shared().runAndWait([] {}); // the sign-out has run
        KZBackgroundThread::shared().runAndWait([] { ASSERT_FALSE(KZDownloadMgr::shared().signedIn()); });
    }
    signOutTransfers();
    ASSERT_FALSE(signInTransfers(svc.shared(), dbPath));
    ASSERT_TRUE(waitDownloadsSettled());
    EXPECT_EQ(downloadStatus(path), KZTransportJobStatusFinished);
    EXPECT_EQ(readLocal(path), c);
    EXPECT_FALSE(QFileInfo::exists(local.path() + QStringLiteral("/.Download")));
}

// What reaches the disk, in order, before a download counts as finished: the partial file's
// bytes before its rename, the folder's entry after it; a run that finds the file already in place
// (an earlier one stopped right after its rename) syncs both before it ends finished.
TEST_F(TransferTest, ADownloadIsOnTheDiskBeforeItIsFinished) {
    const QByteArray c = ServiceFixture::randomBytes(3 * kBlock + 5, 43);
    const ServiceNode n = svc.putFile(QStringLiteral("/d.bin"), c);
    const QString folder = local.path() + QStringLiteral("/in");
    const QString path = folder + QStringLiteral("/d.bin");
    struct Sync {
        QString what; // the synced file or folder
        bool placed;  // whether the destination was there when it was synced
    };
    std::mutex mutex;
    QList<Sync> syncs;
    setSyncWatcherForTesting([&](int fd) {
        const QString what = QFileInfo(QStringLiteral("/proc/self/fd/%1").arg(fd)).symLinkTarget();
        std::lock_guard lock(mutex);
        syncs.append({what, QFileInfo::exists(path)});
    });
    auto taken = [&] {
        std::lock_guard lock(mutex);
        return std::exchange(syncs, {});
    };

    addDownloads({KZDownloadMgr::makeJob(n, local.path(), path, false)});
    ASSERT_TRUE(waitUntil([&] { return downloadStatus(path) == KZTransportJobStatusFinished; }));
    QList<Sync> seen = taken();
    ASSERT_EQ(seen.size(), 2);
    EXPECT_TRUE(seen[0].what.startsWith(folder + QStringLiteral("/.Download/")))
        << seen[0].what.toStdString();
    EXPECT_FALSE(seen[0].placed);
    EXPECT_EQ(seen[1].what, folder);
    EXPECT_TRUE(seen[1].placed);
    EXPECT_EQ(readLocal(path), c);

    // Stopped right after the rename: the next start syncs what it finds in place.
    KZBackgroundThread::shared().runAndWait([&] { KZDownloadMgr::shared().cancel(path); });
    ASSERT_TRUE(QFile::remove(path));
    {
        StepOnce quit("placed", [] { quitFromWorker(KZDownloadMgr::shared()); });
        addDownloads({KZDownloadMgr::makeJob(n, local.path(), path, false)});
        ASSERT_TRUE(waitUntil([&] { return quit.fired(); }));
        KZBackgroundThread::shared().runAndWait([] {}); // the sign-out has run
    }
    signOutTransfers();
    taken();
    ASSERT_FALSE(signInTransfers(svc.shared(), dbPath));
    ASSERT_TRUE(waitDownloadsSettled());
    EXPECT_EQ(downloadStatus(path), KZTransportJobStatusFinished);
    seen = taken();
    setSyncWatcherForTesting({});
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0].what, path);
    EXPECT_EQ(seen[1].what, folder);
    EXPECT_EQ(readLocal(path), c);
}

TEST_F(TransferTest, AnUploadStoppedAroundItsCommitLeavesNoOpenUpload) {
    svc.mkdir(QStringLiteral("/up"));
    const QByteArray c = ServiceFixture::randomBytes(2 * kBlock + 3, 42);
    const auto job = KZUploadMgr::makeJob(writeLocal(QStringLiteral("u.bin"), c), QStringLiteral("/up/u.bin"),
                                          c.size(), false);

    // A quit right after the commit: the next run finds the file committed, and the upload it
    // began to find that out is closed.
    {
        StepOnce quit("committed", [] { quitFromWorker(KZUploadMgr::shared()); });
        addUploads({job});
        ASSERT_TRUE(waitUntil([&] { return quit.fired(); }));
        KZBackgroundThread::shared().runAndWait([] {}); // the sign-out has run
        KZBackgroundThread::shared().runAndWait([] { ASSERT_FALSE(KZUploadMgr::shared().signedIn()); });
    }
    signOutTransfers();
    ASSERT_FALSE(signInTransfers(svc.shared(), dbPath));
    ASSERT_TRUE(waitUploadsSettled());
    EXPECT_EQ(uploadStatus(job.path), KZTransportJobStatusFinished);
    EXPECT_EQ(cloudContentOf(svc, job.path), c);
    EXPECT_EQ(openUploads(svc), 0);

    // A cancel that comes while the service hands out the upload id: the id still reaches the
    // cancelled job's tidy-up.
    const auto other = KZUploadMgr::makeJob(writeLocal(QStringLiteral("v.bin"), c),
                                            QStringLiteral("/up/v.bin"), c.size(), false);
    {
        StepOnce cancel("began", [&] {
            KZBackgroundThread::shared().runAndWait([&] { KZUploadMgr::shared().cancel(other.path); });
        });
        addUploads({other});
        ASSERT_TRUE(waitUntil([&] { return cancel.fired(); }));
        ASSERT_TRUE(waitUntil([&] { return rec.uploadCancelled.size() == 1; }));
        ASSERT_TRUE(waitUntil([&] { return openUploads(svc) == 0; })) << openUploads(svc);
    }
}

// A small file goes to the service in one call, which begins no upload. A pause while that call
// waits stops it before its commit, and the resumed job sends the file again.
TEST_F(TransferTest, ASmallFilePausedDuringItsOneCallIsNotCommitted) {
    svc.mkdir(QStringLiteral("/up"));
    svc.service().setHeld(ServiceOp::PutBlock, true);
    const QByteArray c = ServiceFixture::randomBytes(3000, 43);
    const auto job = KZUploadMgr::makeJob(writeLocal(QStringLiteral("s.txt"), c), QStringLiteral("/up/s.txt"),
                                          c.size(), false);
    addUploads({job});
    ASSERT_TRUE(waitUntil([&] { return svc.service().heldCalls(ServiceOp::PutBlock) == 1; }));
    EXPECT_EQ(openUploads(svc), 0);

    KZBackgroundThread::shared().runAndWait([&] { KZUploadMgr::shared().pause(job.path); });
    svc.service().setHeld(ServiceOp::PutBlock, false);
    signOutTransfers(); // waits for the paused job's call to end
    EXPECT_EQ(svc.service().nodeByPath(job.path).error.code(), kCloudErrorNotFound);

    ASSERT_FALSE(signInTransfers(svc.shared(), dbPath));
    EXPECT_EQ(uploadStatus(job.path), KZTransportJobStatusPaused);
    KZBackgroundThread::shared().runAndWait([&] { KZUploadMgr::shared().resume(job.path); });
    ASSERT_TRUE(waitUploadsSettled());
    EXPECT_EQ(uploadStatus(job.path), KZTransportJobStatusFinished);
    EXPECT_EQ(cloudContentOf(svc, job.path), c);
}

// A folder on the way to the destinations is swapped for a link to another folder, again and
// again, while downloads run: nothing is written outside the chosen folder, a job that meets the
// link fails clearly, and every job completes once the path is sound again.
TEST_F(TransferTest, DownloadsNeverWriteThroughAFolderSwappedForALink) {
    QTemporaryDir outside;
    const QString root = local.path() + QStringLiteral("/dl");
    const QString sub = root + QStringLiteral("/sub");
    const QString spare = root + QStringLiteral("/spare");
    QDir().mkpath(sub);
    ASSERT_EQ(::symlink(QFile::encodeName(outside.path()).constData(), QFile::encodeName(spare).constData()),
              0);

    svc.service().setDelay(ServiceOp::ReadRange, 5);
    QList<TransferJobRecord> jobs;
    QList<QByteArray> contents;
    for (int i = 0; i < 24; ++i) {
        contents << ServiceFixture::randomBytes(12 * kBlock + i, quint32(100 + i));
        const ServiceNode n = svc.putFile(QStringLiteral("/s/f%1").arg(i), contents.last());
        jobs << KZDownloadMgr::makeJob(n, root, sub + QStringLiteral("/f%1").arg(i), false);
    }
    std::atomic<bool> swapping{true};
    std::atomic<int> swaps{0};
    std::thread swapper([&] {
        const QByteArray a = QFile::encodeName(sub), b = QFile::encodeName(spare);
        while (swapping) {
            // "sub" becomes the link (and the real folder "spare"), then back again.
            if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_EXCHANGE) != 0)
                break;
            std::this_thread::yield();
            ::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_EXCHANGE);
            ++swaps;
            std::this_thread::yield();
        }
    });
    // Jobs that fail are resumed while the swapping goes on, so that each opens its way again.
    addDownloads(jobs);
    // Jobs that met the link say so.
    int refused = 0;
    auto checkErrors = [&refused] {
        KZBackgroundThread::shared().runAndWait([&refused] {
            for (const auto& j : KZDownloadMgr::shared().jobs()) {
                if (j.rec.status != KZTransportJobStatusError)
                    continue;
                ++refused;
                EXPECT_EQ(j.rec.error.code(), kErrUnsafeTarget)
                    << j.rec.error.localizedDescription().toStdString();
            }
        });
    };
    bool settled = true;
    for (int round = 0; round < 4 && settled; ++round) {
        settled = waitDownloadsSettled(60000);
        checkErrors();
        down->resumeAll();
    }
    settled = settled && waitDownloadsSettled(60000);
    swapping = false;
    swapper.join();
    ASSERT_TRUE(settled);
    checkErrors();
    std::printf("%d swaps, %d refusals\n", swaps.load(), refused);
    ASSERT_TRUE(QFileInfo(sub).isDir() && !QFileInfo(sub).isSymLink());
    EXPECT_EQ(entriesBelow(outside.path()).join(QLatin1Char('\n')).toStdString(), "");

    // Once the path is sound, every job completes.
    svc.service().setDelay(ServiceOp::ReadRange, 0);
    down->resumeAll();
    ASSERT_TRUE(
        waitUntil([] { return KZDownloadMgr::shared().count(KZTransportJobStatusFinished) == 24; }, 30000));
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(readLocal(sub + QStringLiteral("/f%1").arg(i)), contents[i]) << i;
    EXPECT_FALSE(QFileInfo::exists(sub + QStringLiteral("/.Download")));
    EXPECT_EQ(entriesBelow(outside.path()).join(QLatin1Char('\n')).toStdString(), "");
}

// A FIFO put in place of a file being uploaded, after the job opened it and before the hashing
// opens it again by name, must not hold the worker: the job fails as a changed file, and
// quitting does not wait for a writer that never comes.
TEST_F(TransferTest, AFifoSwappedInMidUploadFailsTheJobAndQuittingDoesNotWait) {
    const QString source = writeLocal(QStringLiteral("big.bin"), ServiceFixture::randomBytes(3 * kBlock, 3));
    const QByteArray sourceName = QFile::encodeName(source);
    StepOnce swap("opened", [&] {
        const QByteArray fifo = QFile::encodeName(local.path() + QStringLiteral("/fifo"));
        ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
        ASSERT_EQ(::rename(fifo.constData(), sourceName.constData()), 0);
    });
    // Whatever still waits on the FIFO after a while is let go, so that a stuck worker cannot
    // hold the test for ever.
    std::mutex mutex;
    std::condition_variable cv;
    bool quit = false;
    std::thread releaser([&] {
        std::unique_lock lock(mutex);
        if (cv.wait_for(lock, std::chrono::seconds(3), [&] { return quit; }))
            return;
        while (!cv.wait_for(lock, std::chrono::milliseconds(50), [&] { return quit; }))
            if (const int w = ::open(sourceName.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC); w >= 0)
                ::close(w);
    });
    addUploads({KZUploadMgr::makeJob(source, QStringLiteral("/big.bin"), 3 * kBlock, false)});
    ASSERT_TRUE(waitUntil([&] { return swap.fired(); }));
    QElapsedTimer quitting;
    quitting.start();
    endTransfers();
    const qint64 quitMs = quitting.elapsed();
    {
        std::lock_guard lock(mutex);
        quit = true;
        cv.notify_all();
    }
    releaser.join();
    EXPECT_LT(quitMs, 1000);

    // Started again, the job meets the FIFO at once and says that the file changed.
    createTransferProxies();
    up = KZUploadMgrProxy::shareUploadMgrProxy();
    down = KZDownloadMgrProxy::shareDownloadMgrProxy();
    ASSERT_FALSE(signInTransfers(svc.shared(), dbPath));
    ASSERT_TRUE(waitUploadsSettled(5000));
    KZBackgroundThread::shared().runAndWait([] {
        const auto jobs = KZUploadMgr::shared().jobs();
        ASSERT_EQ(jobs.size(), 1);
        EXPECT_EQ(jobs[0].rec.status, KZTransportJobStatusError);
        EXPECT_EQ(jobs[0].rec.error.code(), kErrLocalChanged);
        EXPECT_EQ(jobs[0].rec.error.localizedDescription(), QStringLiteral("本地文件已被修改"));
    });
    EXPECT_FALSE(svc.service().nodeByPath(QStringLiteral("/big.bin")).ok());
}

TEST_F(TransferTest, CloudNamesThatAreNotOneLocalEntry) {
    // A name holding "/" (which the service itself refuses to create) is refused, not turned
    // into a folder and a file.
    const QByteArray c("content");
    ServiceNode slashed = svc.putFile(QStringLiteral("/plain"), c);
    {
        Query q =
            svc.service().database().query(QStringLiteral("UPDATE nodes SET name = 'a/b' WHERE nid = ?"));
        ASSERT_FALSE(q.bind(1, slashed.nid).exec());
    }
    auto fetched = svc.service().node(slashed.nid);
    ASSERT_TRUE(fetched.ok());
    down->downloadFileByCloudFile(cloudNode(fetched.value), local.path());
    ASSERT_TRUE(waitLocalIdle());
    ASSERT_TRUE(waitDownloadsSettled());
    ASSERT_TRUE(waitUntil([&] { return rec.downloadErrors.size() == 1; }));
    EXPECT_EQ(rec.downloadErrors[0]->m_error.code(), kErrUnsafeName);
    EXPECT_FALSE(rec.downloadErrors[0]->m_error.localizedDescription().isEmpty());
    EXPECT_EQ(entriesBelow(local.path()).join(QLatin1Char('\n')).toStdString(), "");

    // A file named like the folder of partial files downloads like any other, and leaves nothing.
    const QByteArray d = ServiceFixture::randomBytes(2 * kBlock + 1, 43);
    const ServiceNode named = svc.putFile(QStringLiteral("/.Download"), d);
    const QString path = local.path() + QStringLiteral("/.Download");
    addDownloads({KZDownloadMgr::makeJob(named, local.path(), path, false)});
    ASSERT_TRUE(waitDownloadsSettled());
    EXPECT_EQ(downloadStatus(path), KZTransportJobStatusFinished);
    EXPECT_EQ(readLocal(path), d);
    EXPECT_EQ(entriesBelow(local.path()).join(QLatin1Char('\n')), path);
    // With that file in place, other downloads into the folder keep their partial files beside
    // their destinations.
    const QByteArray e = ServiceFixture::randomBytes(3 * kBlock + 2, 44);
    const ServiceNode other = svc.putFile(QStringLiteral("/x.bin"), e);
    const QString otherPath = local.path() + QStringLiteral("/x.bin");
    addDownloads({KZDownloadMgr::makeJob(other, local.path(), otherPath, false)});
    ASSERT_TRUE(waitDownloadsSettled());
    EXPECT_EQ(downloadStatus(otherPath), KZTransportJobStatusFinished);
    EXPECT_EQ(readLocal(otherPath), e);
    EXPECT_EQ(readLocal(path), d);
    QStringList entries = entriesBelow(local.path());
    entries.sort();
    EXPECT_EQ(entries.join(QLatin1Char('\n')), path + QLatin1Char('\n') + otherPath);
}

TEST_F(TransferTest, LocalWriteFailuresSayWhy) {
    // Keeps the general text and adds the cause.
    EXPECT_EQ(localWriteError(QStringLiteral("/x"), ENOSPC).localizedDescription(),
              QStringLiteral("写入本地文件失败：磁盘空间不足"));
    EXPECT_EQ(localWriteError(QStringLiteral("/x"), EACCES).localizedDescription(),
              QStringLiteral("写入本地文件失败：没有写入权限"));
    EXPECT_EQ(localWriteError(QStringLiteral("/x"), ENAMETOOLONG).localizedDescription(),
              QStringLiteral("写入本地文件失败：文件名过长"));
    EXPECT_EQ(localWriteError(QStringLiteral("/x"), EIO).localizedDescription(),
              QStringLiteral("写入本地文件失败：磁盘读写出错"));
    EXPECT_EQ(localWriteError(QStringLiteral("/x"), EINVAL).localizedDescription(),
              QStringLiteral("写入本地文件失败"));
    EXPECT_EQ(localWriteError(QStringLiteral("/x"), EIO).code(), kErrLocalWrite);

    // A file larger than the free space fails at once with the cause, before anything is fetched.
    struct statvfs vfs {};
    ASSERT_EQ(::statvfs(QFile::encodeName(local.path()).constData(), &vfs), 0);
    ServiceNode huge;
    huge.nid = 9001;
    huge.pid = CloudService::kRootId;
    huge.name = QStringLiteral("huge.bin");
    huge.size = quint64(vfs.f_bavail) * vfs.f_frsize + (quint64(1) << 30);
    ASSERT_FALSE(svc.service().importNodes({huge}));
    auto node = svc.service().node(huge.nid);
    ASSERT_TRUE(node.ok());
    // A name longer than the local disk takes, as a tampered or foreign service could send.
    const ServiceNode longName = svc.putFile(QStringLiteral("/long"), "x");
    {
        Query q = svc.service().database().query(QStringLiteral("UPDATE nodes SET name = ? WHERE nid = ?"));
        ASSERT_FALSE(q.bind(1, QString(300, QLatin1Char('n'))).bind(2, longName.nid).exec());
    }
    // An existing file the user did not choose to replace.
    const ServiceNode kept = svc.putFile(QStringLiteral("/kept"), "new");
    writeLocal(QStringLiteral("kept"), "old");
    addDownloads(
        {KZDownloadMgr::makeJob(node.value, local.path(), local.path() + QStringLiteral("/huge.bin"), false),
         KZDownloadMgr::makeJob(longName, local.path(), local.path() + QLatin1Char('/') + QString(300, 'n'),
                                false),
         KZDownloadMgr::makeJob(kept, local.path(), local.path() + QStringLiteral("/kept"), false)});
    ASSERT_TRUE(waitDownloadsSettled());
    ASSERT_TRUE(waitUntil([&] { return rec.downloadErrors.size() == 3; }));
    QStringList texts;
    for (const auto& info : rec.downloadErrors)
        texts << info->m_error.localizedDescription();
    texts.sort();
    EXPECT_EQ(texts, QStringList({QStringLiteral("写入本地文件失败：已存在同名文件"),
                                  QStringLiteral("写入本地文件失败：文件名过长"),
                                  QStringLiteral("写入本地文件失败：磁盘空间不足")}));
    EXPECT_EQ(readLocal(local.path() + QStringLiteral("/kept")), QByteArray("old"));

    // A folder the user may not write in (the superuser writes anyway, so only others see it).
    if (::geteuid() != 0) {
        const QString locked = local.path() + QStringLiteral("/locked");
        QDir().mkpath(locked);
        ::chmod(QFile::encodeName(locked).constData(), 0500);
        addDownloads({KZDownloadMgr::makeJob(kept, locked, locked + QStringLiteral("/kept"), false)});
        ASSERT_TRUE(waitDownloadsSettled());
        ASSERT_TRUE(waitUntil([&] { return rec.downloadErrors.size() == 4; }));
        EXPECT_EQ(rec.downloadErrors.last()->m_error.localizedDescription(),
                  QStringLiteral("写入本地文件失败：没有写入权限"));
        ::chmod(QFile::encodeName(locked).constData(), 0700);
    }
}

// The engines' records survive a damaged per-user database: the file is set aside, the jobs and
// their blocks are read back into a fresh one, and the user is told once.
TEST_F(TransferTest, UnfinishedJobsSurviveADamagedUserDatabase) {
    svc.mkdir(QStringLiteral("/up"));
    const QByteArray c = ServiceFixture::randomBytes(40 * kBlock, 45);
    const auto job = KZUploadMgr::makeJob(writeLocal(QStringLiteral("w.bin"), c), QStringLiteral("/up/w.bin"),
                                          c.size(), false);
    // Two blocks go out, then the rest wait: however slow this thread is, the job cannot finish
    // before it is paused.
    svc.service().setHeldAfter(ServiceOp::PutBlock, 2);
    addUploads({job});
    ASSERT_TRUE(waitUntil(
        [&] { return !rec.uploadChanged.isEmpty() && rec.uploadChanged.last()->m_finishedSize > 0; }));
    KZBackgroundThread::shared().runAndWait([&] { KZUploadMgr::shared().pause(job.path); });
    svc.service().setHeld(ServiceOp::PutBlock, false);
    signOutTransfers();
    takeDatabaseRescues();
    {
        // A node table of many pages, whose first page the disk then damages.
        auto db = Database::open(dbPath);
        ASSERT_TRUE(db.ok());
        fillManyPages(*db.value, QStringLiteral("cloud_file"));
    }
    damageRootPage(dbPath, QStringLiteral("cloud_file"));

    ASSERT_FALSE(signInTransfers(svc.shared(), dbPath));
    EXPECT_EQ(uploadStatus(job.path), KZTransportJobStatusPaused);
    const QList<DatabaseRescue> told = takeDatabaseRescues();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].message().contains(QStringLiteral("上传任务 1 条")))
        << told[0].message().toStdString();
    EXPECT_TRUE(QFile::exists(dbPath + QStringLiteral(".corrupt")));
    // It resumes and completes.
    up->resume(job.path);
    ASSERT_TRUE(waitUntil([&] { return uploadStatus(job.path) == KZTransportJobStatusFinished; }));
    EXPECT_EQ(cloudContentOf(svc, job.path), c);
}
