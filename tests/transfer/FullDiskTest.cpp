// Writes that fail for lack of room, during an upload and a download: the failure reaches the
// proxies' observers with a clear text, the job is recorded failed (never finished), every block
// recorded done is really stored, and once there is room again the same jobs complete intact.
// A file-size limit stands in for a full disk (no mount needed); it applies to the whole child
// process, so the embedded service's block files run into it too.
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
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_also_run_disabled_tests"),
                                                          QStringLiteral("--gtest_filter=FullDiskChild.*")});
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
    createTransferProxies();
    TransferRecorder rec;
    KZUploadMgrProxy::shareUploadMgrProxy()->addUploadMgrProxyObserver(&rec);
    KZDownloadMgrProxy::shareDownloadMgrProxy()->addDownloadMgrProxyObserver(&rec);
    KZBackgroundThread::shared().runAndWait([] {
        KZUploadMgr::shared().setRetryDelayMs(10);
        KZDownloadMgr::shared().setRetryDelayMs(10);
    });
    ASSERT_FALSE(signInTransfers(svc.value, dir + QStringLiteral("/user.db")));
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
    // Read on the engines' thread, where a job is never between two statuses.
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
    ASSERT_TRUE(waitUntil(settled, 30000));
    drainEvents(); // the proxies' reports

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

        // Every block recorded sent is held by the service.
        auto svc = EmbeddedCloudService::open(dir.path() + QStringLiteral("/service"));
        ASSERT_TRUE(svc.ok());
        EXPECT_FALSE(svc.value->verifyContent());
        for (const DoneBlock& b : doneBlocks(*db.value, "upload_block")) {
            Query q = svc.value->database().query(QStringLiteral("SELECT 1 FROM blocks WHERE sha1=?"));
            EXPECT_TRUE(q.bind(1, b.sha1).next()) << "block " << b.index << " recorded sent but not stored";
        }
        EXPECT_FALSE(svc.value->nodeByPath(QStringLiteral("/up/big.bin")).ok());

        // Every block recorded written is in the partial file; nothing is in place.
        EXPECT_FALSE(QFileInfo::exists(dir.path() + QStringLiteral("/dl/cloud.bin")));
        const QList<DoneBlock> written = doneBlocks(*db.value, "download_block");
        if (!written.isEmpty()) {
            const QStringList partials = entriesBelow(dir.path() + QStringLiteral("/dl"));
            QByteArray partial;
            for (const QString& p : partials)
                if (QFileInfo(p).isFile()) {
                    QFile f(p);
                    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
                    partial = f.readAll();
                }
            for (const DoneBlock& b : written)
                EXPECT_EQ(ServiceFixture::sha1(
                              partial.mid(b.index * CloudService::kBlockSize, CloudService::kBlockSize)),
                          b.sha1)
                    << "block " << b.index << " recorded written but not on disk";
        }
    }

    // With room again, the same jobs run to the end.
    ASSERT_EQ(runChild(dir.path(), 0), 0);
    expectCleanEnd(dir.path(), upContent, downContent);
}
