// Writes that fail for lack of room, during an upload and a download: the failure reaches the
// proxies' observers with a clear text, the job is never recorded finished, every block recorded
// done is really stored, and once there is room again the same jobs complete intact.
// Two ways to run out of room without root: a file-size limit on a child process (always
// available; the embedded service's block files run into it too), and a small memory file system
// in a child of its own user and mount namespace, filled up while the transfers run (where the
// system allows such namespaces; skipped elsewhere).
#include "TransferFolder.h"
#include "storage/Database.h"
#include "support/TransferFixture.h"
#include "transfer/KZDownloadMgr.h"
#include "transfer/KZUploadMgr.h"
#include "transfer/TransferErrors.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <csignal>
#include <sys/resource.h>

using namespace nubo;
using namespace nubo::test;
using namespace nubo::transfer;

namespace {

const char* const kDirVar = "NUBO_FULLDISK_DIR";
const char* const kLimitVar = "NUBO_FULLDISK_LIMIT";
// The child that fills a small file system exits with this when it cannot have one.
constexpr int kNoNamespace = 77;
// Below a whole block (so the service cannot store one) and below the download's size (so its
// partial file cannot be made that large), above the databases' needs.
constexpr qint64 kLimit = 384 * 1024;

// Runs the child over `dir`, under the file-size limit when `limit` > 0; its exit code, or -1.
int runChild(const QString& dir, qint64 limit) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kDirVar), dir);
    env.insert(QString::fromLatin1(kLimitVar), QString::number(limit));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_also_run_disabled_tests"),
                 QStringLiteral("--gtest_filter=FullDiskChild.DISABLED_Run")});
    if (!child.waitForStarted(5000))
        return -1;
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished(5000);
        return -1;
    }
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

struct DoneBlock {
    int index;
    QString sha1;
};

QList<DoneBlock> doneBlocks(Database& db, const char* table) {
    QList<DoneBlock> out;
    Query q = db.query(QStringLiteral("SELECT idx, sha1 FROM %1 WHERE done=1").arg(QLatin1String(table)));
    while (q.next())
        out.append({int(q.int64(0)), q.text(1)});
    return out;
}

qint64 jobStatus(Database& db, const char* table) {
    Query q = db.query(QStringLiteral("SELECT status FROM %1").arg(QLatin1String(table)));
    return q.next() ? q.int64(0) : -1;
}

// The record is true: every block it calls sent is held by the service, every block it calls
// written is in the partial file below `downloadFolder`, and neither job is finished.
void expectTrueRecord(const QString& dbPath, EmbeddedCloudService& svc, const QString& downloadFolder) {
    auto db = Database::open(dbPath);
    ASSERT_TRUE(db.ok()) << db.error.localizedDescription().toStdString();
    EXPECT_NE(jobStatus(*db.value, "upload_job"), KZTransportJobStatusFinished);
    EXPECT_NE(jobStatus(*db.value, "download_job"), KZTransportJobStatusFinished);
    for (const DoneBlock& b : doneBlocks(*db.value, "upload_block")) {
        Query q = svc.database().query(QStringLiteral("SELECT 1 FROM blocks WHERE sha1=?"));
        EXPECT_TRUE(q.bind(1, b.sha1).next()) << "block " << b.index << " recorded sent but not stored";
    }
    QByteArray partial;
    for (const QString& p : entriesBelow(downloadFolder))
        if (QFileInfo(p).isFile()) {
            QFile f(p);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            partial = f.readAll();
        }
    for (const DoneBlock& b : doneBlocks(*db.value, "download_block"))
        EXPECT_EQ(
            ServiceFixture::sha1(partial.mid(b.index * CloudService::kBlockSize, CloudService::kBlockSize)),
            b.sha1)
            << "block " << b.index << " recorded written but not on disk";
}

// Both proxies observed and the engines signed in to the service and per-user database, for a
// child; retries come quickly.
void signInObserved(std::shared_ptr<EmbeddedCloudService> svc, const QString& dbPath, TransferRecorder& rec) {
    createTransferProxies();
    KZUploadMgrProxy::shareUploadMgrProxy()->addUploadMgrProxyObserver(&rec);
    KZDownloadMgrProxy::shareDownloadMgrProxy()->addDownloadMgrProxyObserver(&rec);
    KZBackgroundThread::shared().runAndWait([] {
        KZUploadMgr::shared().setRetryDelayMs(10);
        KZDownloadMgr::shared().setRetryDelayMs(10);
    });
    ASSERT_FALSE(signInTransfers(std::move(svc), dbPath));
}

// Neither engine runs or waits, read on their thread, where a job is never between two statuses;
// the proxies' reports have then landed.
bool waitSettled() {
    auto settled = [] {
        bool s = false;
        KZBackgroundThread::shared().runAndWait([&] {
            for (TransferEngine* e : {static_cast<TransferEngine*>(&KZUploadMgr::shared()),
                                      static_cast<TransferEngine*>(&KZDownloadMgr::shared())})
                if (e->count(KZTransportJobStatusRunning) + e->count(KZTransportJobStatusWaiting) > 0)
                    return;
            s = true;
        });
        return s;
    };
    if (!waitUntil(settled, 30000))
        return false;
    drainEvents();
    return true;
}

} // namespace

// The child: starts (or resumes) one upload and one download, waits until neither runs, and
// checks what the proxies' observers were told: a clear failure under the limit, success without.
TEST(FullDiskChild, DISABLED_Run) {
    const QString dir = qEnvironmentVariable(kDirVar);
    ASSERT_FALSE(dir.isEmpty());
    const qint64 limit = qEnvironmentVariable(kLimitVar).toLongLong();
    if (limit > 0) {
        // Writes past the limit then fail with EFBIG instead of ending the process.
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit rl{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &rl), 0);
        rl.rlim_cur = rlim_t(limit);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &rl), 0);
    }
    auto svc = EmbeddedCloudService::open(dir + QStringLiteral("/service"));
    ASSERT_TRUE(svc.ok());
    TransferRecorder rec;
    signInObserved(svc.value, dir + QStringLiteral("/user.db"), rec);
    KZBackgroundThread::shared().runAndWait([&] {
        if (KZUploadMgr::shared().jobs().isEmpty())
            KZUploadMgr::shared().addJobs(
                {KZUploadMgr::makeJob(dir + QStringLiteral("/big.bin"), QStringLiteral("/up/big.bin"),
                                      QFileInfo(dir + QStringLiteral("/big.bin")).size(), false)});
        else
            KZUploadMgr::shared().resumeAll();
        if (KZDownloadMgr::shared().jobs().isEmpty()) {
            auto node = svc.value->nodeByPath(QStringLiteral("/cloud.bin"));
            KZDownloadMgr::shared().addJobs({KZDownloadMgr::makeJob(
                node.value, dir + QStringLiteral("/dl"), dir + QStringLiteral("/dl/cloud.bin"), false)});
        } else {
            KZDownloadMgr::shared().resumeAll();
        }
    });
    ASSERT_TRUE(waitSettled());

    if (limit > 0) {
        ASSERT_EQ(rec.uploadErrors.size(), 1);
        ASSERT_EQ(rec.downloadErrors.size(), 1);
        EXPECT_TRUE(rec.uploadFinishedList.isEmpty());
        EXPECT_TRUE(rec.downloadFinishedList.isEmpty());
        const BWError upError = rec.uploadErrors.first()->m_error;
        EXPECT_EQ(upError.code(), kCloudErrorStorage) << upError.localizedDescription().toStdString();
        EXPECT_TRUE(upError.localizedDescription().startsWith(QStringLiteral("存储失败")))
            << upError.localizedDescription().toStdString();
        const BWError downError = rec.downloadErrors.first()->m_error;
        EXPECT_EQ(downError.code(), kErrLocalWrite);
        EXPECT_EQ(downError.localizedDescription(),
                  QStringLiteral("写入本地文件失败：文件过大，磁盘无法保存"));
    } else {
        EXPECT_EQ(KZUploadMgr::shared().count(KZTransportJobStatusFinished), 1);
        EXPECT_EQ(KZDownloadMgr::shared().count(KZTransportJobStatusFinished), 1);
        EXPECT_EQ(rec.uploadFinishedList.size(), 1);
        EXPECT_EQ(rec.downloadFinishedList.size(), 1);
    }
    signOutTransfers();
}

TEST(FullDisk, TransfersStopWithAClearErrorKeepATrueRecordAndResumeOnceThereIsRoom) {
    QTemporaryDir dir;
    const QByteArray upContent = ServiceFixture::randomBytes(3 * CloudService::kBlockSize + 1234, 51);
    const QByteArray downContent = ServiceFixture::randomBytes(2 * CloudService::kBlockSize + 999, 52);
    prepareTransferFolder(dir.path(), upContent, downContent);

    ASSERT_EQ(runChild(dir.path(), kLimit), 0);
    {
        auto db = Database::open(dir.path() + QStringLiteral("/user.db"));
        ASSERT_TRUE(db.ok());
        EXPECT_EQ(jobStatus(*db.value, "upload_job"), KZTransportJobStatusError);
        EXPECT_EQ(jobStatus(*db.value, "download_job"), KZTransportJobStatusError);
    }
    auto svc = EmbeddedCloudService::open(dir.path() + QStringLiteral("/service"));
    ASSERT_TRUE(svc.ok());
    EXPECT_FALSE(svc.value->verifyContent());
    expectTrueRecord(dir.path() + QStringLiteral("/user.db"), *svc.value, dir.path() + QStringLiteral("/dl"));
    EXPECT_FALSE(svc.value->nodeByPath(QStringLiteral("/up/big.bin")).ok());
    EXPECT_FALSE(QFileInfo::exists(dir.path() + QStringLiteral("/dl/cloud.bin")));
    svc.value.reset();

    // With room again, the same jobs run to the end.
    ASSERT_EQ(runChild(dir.path(), 0), 0);
    expectCleanEnd(dir.path(), upContent, downContent);
}

namespace {

// Writes into `folder` until its file system is full.
void fillUp(const QString& folder) {
    QFile filler(folder + QStringLiteral("/filler"));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray chunk(64 * 1024, 'x');
    while (filler.write(chunk) > 0) {
    }
    // The last few bytes too, so no page is left for anyone.
    while (filler.write(chunk.constData(), 1) > 0) {
    }
}

// Runs the filling child with a small memory file system mounted at `dir`/small, in a user and
// mount namespace of its own; its exit code, kNoNamespace when there is none to have, or -1.
int runFillingChild(const QString& dir) {
    const QString small = dir + QStringLiteral("/small");
    QDir().mkpath(small);
    auto inNamespace = [&](const QString& size, const QStringList& then) {
        QStringList args{QStringLiteral("--user"),
                         QStringLiteral("--map-root-user"),
                         QStringLiteral("--mount"),
                         QStringLiteral("sh"),
                         QStringLiteral("-c"),
                         QStringLiteral("mount -t tmpfs -o size=%1 nubo-full \"$0\" || exit %2; exec \"$@\"")
                             .arg(size)
                             .arg(kNoNamespace),
                         small};
        return args + then;
    };
    // Whether this system lets an ordinary user have one (unshare fails alike for both reasons).
    QProcess probe;
    probe.start(QStringLiteral("unshare"), inNamespace(QStringLiteral("1m"), {QStringLiteral("true")}));
    if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        return kNoNamespace;

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kDirVar), dir);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(
        QStringLiteral("unshare"),
        inNamespace(QStringLiteral("8m"), {QCoreApplication::applicationFilePath(),
                                           QStringLiteral("--gtest_also_run_disabled_tests"),
                                           QStringLiteral("--gtest_filter=FullDiskChild.DISABLED_FillsUp")}));
    if (!child.waitForStarted(5000) || !child.waitForFinished(90000)) {
        child.kill();
        child.waitForFinished(5000);
        return -1;
    }
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

} // namespace

// The child with the small file system: the per-user database and the download folder live on
// it; the service does not. Both transfers run until a block is done, are held there while the
// file system fills, and go on into a full disk. Room is then made, and the same jobs resumed.
TEST(FullDiskChild, DISABLED_FillsUp) {
    const QString dir = qEnvironmentVariable(kDirVar);
    ASSERT_FALSE(dir.isEmpty());
    const QString small = dir + QStringLiteral("/small");
    const QString dbPath = small + QStringLiteral("/user.db");
    const QString target = small + QStringLiteral("/dl/cloud.bin");
    QFile upFile(dir + QStringLiteral("/big.bin"));
    ASSERT_TRUE(upFile.open(QIODevice::ReadOnly));
    const QByteArray upContent = upFile.readAll();
    ASSERT_TRUE(QDir().mkpath(small + QStringLiteral("/dl")));
    auto svc = EmbeddedCloudService::open(dir + QStringLiteral("/service"));
    ASSERT_TRUE(svc.ok());
    const ServiceNode cloud = svc.value->nodeByPath(QStringLiteral("/cloud.bin")).value;
    const QByteArray downContent = svc.value->readRange(cloud.nid, 0, cloud.size).value;

    TransferRecorder rec;
    signInObserved(svc.value, dbPath, rec);
    // A few blocks go through; the rest wait while the file system fills.
    svc.value->setHeldAfter(ServiceOp::PutBlock, 3);
    svc.value->setHeldAfter(ServiceOp::ReadRange, 2);
    addUploads({KZUploadMgr::makeJob(dir + QStringLiteral("/big.bin"), QStringLiteral("/up/big.bin"),
                                     upContent.size(), false)});
    addDownloads({KZDownloadMgr::makeJob(cloud, small + QStringLiteral("/dl"), target, false)});
    // Read on the engines' thread: progress reports to the proxies are spaced out.
    auto moved = [] {
        bool both = false;
        KZBackgroundThread::shared().runAndWait([&] {
            const auto ups = KZUploadMgr::shared().jobs();
            const auto downs = KZDownloadMgr::shared().jobs();
            both = !ups.isEmpty() && ups.first().rec.finishedSize > 0 && !downs.isEmpty() &&
                   downs.first().rec.finishedSize > 0;
        });
        return both;
    };
    ASSERT_TRUE(waitUntil(moved, 20000));
    fillUp(small);
    svc.value->clearFaults();
    ASSERT_TRUE(waitSettled());
    ASSERT_EQ(rec.uploadErrors.size(), 1);
    ASSERT_EQ(rec.downloadErrors.size(), 1);
    EXPECT_TRUE(rec.uploadFinishedList.isEmpty());
    EXPECT_TRUE(rec.downloadFinishedList.isEmpty());
    for (const BWError& e : {rec.uploadErrors.first()->m_error, rec.downloadErrors.first()->m_error})
        EXPECT_TRUE(e.localizedDescription().contains(QStringLiteral("磁盘空间不足")))
            << e.localizedDescription().toStdString();
    EXPECT_FALSE(QFileInfo::exists(target));
    signOutTransfers();

    // Room again. The record is what the disk held when it filled up: never finished, and every
    // block it calls done is stored.
    ASSERT_TRUE(QFile::remove(small + QStringLiteral("/filler")));
    expectTrueRecord(dbPath, *svc.value, small + QStringLiteral("/dl"));

    // The same jobs, resumed (a stopped job comes back unfinished), complete intact.
    ASSERT_FALSE(signInTransfers(svc.value, dbPath));
    KZBackgroundThread::shared().runAndWait([] {
        KZUploadMgr::shared().resumeAll();
        KZDownloadMgr::shared().resumeAll();
    });
    ASSERT_TRUE(waitUntil(
        [] {
            return KZUploadMgr::shared().count(KZTransportJobStatusFinished) == 1 &&
                   KZDownloadMgr::shared().count(KZTransportJobStatusFinished) == 1;
        },
        30000));
    signOutTransfers();
    QFile downloaded(target);
    ASSERT_TRUE(downloaded.open(QIODevice::ReadOnly));
    EXPECT_EQ(ServiceFixture::sha1(downloaded.readAll()), ServiceFixture::sha1(downContent));
    auto node = svc.value->nodeByPath(QStringLiteral("/up/big.bin"));
    ASSERT_TRUE(node.ok());
    EXPECT_EQ(node.value.fileHash, ServiceFixture::sha1(upContent));
    EXPECT_FALSE(svc.value->verifyContent());
}

TEST(FullDisk, ADiskThatFillsUpMidwayStopsTransfersWithATrueRecord) {
    QTemporaryDir dir;
    prepareTransferFolder(dir.path(), ServiceFixture::randomBytes(8 * CloudService::kBlockSize + 77, 61),
                          ServiceFixture::randomBytes(8 * CloudService::kBlockSize + 88, 62));
    const int result = runFillingChild(dir.path());
    if (result == kNoNamespace)
        GTEST_SKIP() << "no user and mount namespace here for a small file system";
    EXPECT_EQ(result, 0);
}
