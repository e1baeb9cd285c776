// Transfers killed with SIGKILL at random points, and at the exact points where a job's work is
// done but not yet on record, resume after each restart and complete intact.
// The test runs this same binary as the child process (a disabled test, selected by a flag).
#include "TransferFolder.h"
#include "support/Seed.h"
#include "support/TransferFixture.h"

#include "storage/Database.h"
#include "transfer/BlockHasher.h"
#include "transfer/KZDownloadMgr.h"
#include "transfer/KZUploadMgr.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <csignal>
#include <memory>
#include <vector>

using namespace nubo;
using namespace nubo::test;
using namespace nubo::transfer;

namespace {

constexpr qint64 kFileSize = 64 * CloudService::kBlockSize + 1234;
const char* const kDirVar = "NUBO_CRASH_DIR";
const char* const kRoundVar = "NUBO_CRASH_ROUND";
const char* const kKillAtVar = "NUBO_CRASH_KILL_AT";

// The service as the child sees it: every block the service has taken is logged, after it took
// it, so the parent can tell which blocks were sent in which run.
class LoggingService : public CloudService {
public:
    LoggingService(std::shared_ptr<EmbeddedCloudService> inner, const QString& log)
        : m(std::move(inner)), m_log(log) {
        m_log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    }
    BWError putBlock(const QString& id, int index, const QByteArray& bytes, const QString& sha1) override {
        BWError e = m->putBlock(id, index, bytes, sha1);
        if (!e) {
            std::lock_guard<std::mutex> l(m_mutex);
            m_log.write(QByteArray::number(index) + '\n');
        }
        return e;
    }
    // Everything else passes through.
    Result<ServiceAccount> account() override { return m->account(); }
    Result<NodePage> fetchAllNodes(qint64 a, int l) override { return m->fetchAllNodes(a, l); }
    Result<NodePage> fetchChanges(qint64 v, int l) override { return m->fetchChanges(v, l); }
    Result<qint64> currentVersion() override { return m->currentVersion(); }
    Result<ServiceNode> node(qint64 n) override { return m->node(n); }
    Result<ServiceNode> nodeByPath(const QString& p) override { return m->nodeByPath(p); }
    Result<NodeList> children(qint64 n) override { return m->children(n); }
    Result<ServiceNode> createFolder(qint64 p, const QString& n) override { return m->createFolder(p, n); }
    Result<ServiceNode> createFolderAtPath(const QString& p) override { return m->createFolderAtPath(p); }
    Result<ServiceNode> rename(qint64 n, const QString& s) override { return m->rename(n, s); }
    Result<ServiceNode> move(qint64 n, qint64 p, const QString& s) override { return m->move(n, p, s); }
    Result<ServiceNode> copy(qint64 n, qint64 p, const QString& s) override { return m->copy(n, p, s); }
    BWError remove(const QList<qint64>& n) override { return m->remove(n); }
    Result<UploadSession> beginUpload(qint64 p, const QString& n, quint64 s, const QString& h,
                                      const QStringList& b) override {
        return m->beginUpload(p, n, s, h, b);
    }
    Result<ServiceNode> commitUpload(const QString& id, bool r, const QString& h) override {
        return m->commitUpload(id, r, h);
    }
    BWError cancelUpload(const QString& id) override { return m->cancelUpload(id); }
    Result<ServiceNode> uploadSmallFile(qint64 p, const QString& n, const QByteArray& b, const QString& h,
                                        bool r, const std::function<bool()>& s) override {
        return m->uploadSmallFile(p, n, b, h, r, s);
    }
    Result<QByteArray> readRange(qint64 n, quint64 o, quint64 l) override { return m->readRange(n, o, l); }
    Result<QStringList> blockSha1s(qint64 n) override { return m->blockSha1s(n); }
    Result<QByteArray> thumbnail(qint64 n, int w, int h) override { return m->thumbnail(n, w, h); }
    Result<QVariantMap> createShare(const QList<qint64>& n) override { return m->createShare(n); }
    Result<QVariantMap> share(const QString& s) override { return m->share(s); }
    BWError cancelSharesByPaths(const QStringList& p) override { return m->cancelSharesByPaths(p); }
    BWError cancelShare(const QString& s) override { return m->cancelShare(s); }
    BWError deleteShare(const QString& s) override { return m->deleteShare(s); }
    Result<QVariantList> listShares(int s, int c) override { return m->listShares(s, c); }
    Result<QString> setSharePassword(const QString& s, const QString& p) override {
        return m->setSharePassword(s, p);
    }
    Result<QVariantMap> setShareExpire(const QString& s, const QString& e) override {
        return m->setShareExpire(s, e);
    }
    Result<QString> loginJumpUrl(const QString& k) override { return m->loginJumpUrl(k); }

private:
    std::shared_ptr<EmbeddedCloudService> m;
    std::mutex m_mutex;
    QFile m_log;
};

QSet<int> recordedUploadBlocks(const QString& dbPath) {
    QSet<int> done;
    auto db = Database::open(dbPath);
    if (!db.ok())
        return done;
    Query q = db.value->query(QStringLiteral("SELECT idx FROM upload_block WHERE done=1"));
    while (q.next())
        done.insert(int(q.int64(0)));
    return done;
}

// Blocks a child sends before a random kill may come while nothing is recorded yet (more than one
// batch of block marks); once some are, one sent block is enough, so that a loaded machine's late
// kill does not let one run record the whole file.
constexpr int kBlocksBeforeFirstRecord = 20;

// Runs the child over `dir`: killed by the parent `killAfterMs` after it sent `blocksBeforeKill`
// blocks (when > 0), or killing itself at the worker step `killAt` (when set). 0 when it ran to its
// end, -2 when killed, another value when it failed.
int runChild(const QString& dir, int round, int killAfterMs, int blocksBeforeKill = 1,
             const QByteArray& killAt = {}) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kDirVar), dir);
    env.insert(QString::fromLatin1(kRoundVar), QString::number(round));
    env.remove(QString::fromLatin1(kKillAtVar));
    if (!killAt.isEmpty())
        env.insert(QString::fromLatin1(kKillAtVar), QString::fromLatin1(killAt));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.setStandardOutputFile(QProcess::nullDevice());
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_also_run_disabled_tests"),
                                                          QStringLiteral("--gtest_filter=CrashChild.*")});
    if (!child.waitForStarted(5000))
        return -1;
    if (killAfterMs > 0) {
        // Count the delay from the child's sent blocks, not from its start: a slow start (a loaded
        // machine) would otherwise put every kill before the transfer began.
        const QString log = dir + QStringLiteral("/puts-%1.log").arg(round);
        auto sent = [&log] {
            QFile f(log);
            return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
        };
        QDeadlineTimer started(10000);
        while (sent() < blocksBeforeKill && child.state() == QProcess::Running && !started.hasExpired())
            child.waitForFinished(5);
    }
    // waitForFinished() is also false for a child that has already ended; its process id is
    // then 0, and kill(0) would hit this whole process group.
    if (killAfterMs > 0 && !child.waitForFinished(killAfterMs) && child.processId() > 0) {
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished(5000);
        return -2;
    }
    // A child still running after its own wait (20 s) plus a start is hung: it must not pass for
    // one that ended well, as its exit code would read 0.
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished(5000);
        return -1;
    }
    if (child.exitStatus() == QProcess::CrashExit)
        return -2;
    return child.exitCode();
}

} // namespace

// The child: resumes (or starts) one upload and one download and runs them to the end.
TEST(CrashChild, DISABLED_Run) {
    const QString dir = qEnvironmentVariable(kDirVar);
    ASSERT_FALSE(dir.isEmpty());
    auto opened = EmbeddedCloudService::open(dir + QStringLiteral("/service"));
    ASSERT_TRUE(opened.ok());
    // Killed by itself at an exact point of a worker, or by the parent at a random moment (the
    // transfers slowed down so that it lands among them).
    const QByteArray killAt = qgetenv(kKillAtVar);
    if (!killAt.isEmpty()) {
        TransferEngine::setStepHookForTesting([killAt](const char* step, const TransferJobRecord&) {
            if (killAt == step)
                ::raise(SIGKILL);
        });
    } else {
        opened.value->setDelay(ServiceOp::PutBlock, 60);
        opened.value->setDelay(ServiceOp::ReadRange, 10);
    }
    auto svc = std::make_shared<LoggingService>(
        opened.value, dir + QStringLiteral("/puts-%1.log").arg(qEnvironmentVariable(kRoundVar)));
    createTransferProxies();
    ASSERT_FALSE(signInTransfers(svc, dir + QStringLiteral("/user.db")));
    KZBackgroundThread::shared().runAndWait([&] {
        if (KZUploadMgr::shared().jobs().isEmpty())
            KZUploadMgr::shared().addJobs(
                {KZUploadMgr::makeJob(dir + QStringLiteral("/big.bin"), QStringLiteral("/up/big.bin"),
                                      QFileInfo(dir + QStringLiteral("/big.bin")).size(), false)});
        if (KZDownloadMgr::shared().jobs().isEmpty()) {
            auto node = svc->nodeByPath(QStringLiteral("/cloud.bin"));
            KZDownloadMgr::shared().addJobs({KZDownloadMgr::makeJob(
                node.value, dir + QStringLiteral("/dl"), dir + QStringLiteral("/dl/cloud.bin"), false)});
        }
    });
    auto finished = [] {
        return KZUploadMgr::shared().count(KZTransportJobStatusFinished) == 1 &&
               KZDownloadMgr::shared().count(KZTransportJobStatusFinished) == 1;
    };
    ASSERT_TRUE(waitUntil(finished, 20000));
    signOutTransfers();
}

TEST(CrashSafety, TransfersSurviveRepeatedKills) {
    QTemporaryDir dir;
    const QByteArray upContent = ServiceFixture::randomBytes(kFileSize, 11);
    const QByteArray downContent = ServiceFixture::randomBytes(kFileSize - 999, 12);
    prepareTransferFolder(dir.path(), upContent, downContent);
    const QString dbPath = dir.path() + QStringLiteral("/user.db");
    // Kill at random points; after each kill, remember which blocks were recorded as sent.
    QList<QSet<int>> recordedAfter;
    const int kills = 12;
    QRandomGenerator rng(testSeed("NUBO_CRASH_SEED"));
    for (int round = 0; round < kills; ++round) {
        const bool noneRecorded = recordedAfter.isEmpty() || recordedAfter.last().isEmpty();
        const int result = runChild(dir.path(), round, 1 + int(rng.bounded(150)),
                                    noneRecorded ? kBlocksBeforeFirstRecord : 1);
        recordedAfter << recordedUploadBlocks(dbPath);
        if (result == 0)
            break; // it finished before the kill came
    }
    ASSERT_EQ(runChild(dir.path(), kills, 0), 0);
    // The kills must have come while blocks were on their way, not only before or after.
    int partial = 0;
    for (const QSet<int>& r : recordedAfter)
        partial += !r.isEmpty() && r.size() < blockCountForSize(kFileSize);
    EXPECT_GE(partial, 2);

    // No block recorded as sent was sent again by a later run.
    for (int round = 0; round < recordedAfter.size(); ++round) {
        for (int later = round + 1; later <= kills; ++later) {
            QFile log(dir.path() + QStringLiteral("/puts-%1.log").arg(later));
            if (!log.open(QIODevice::ReadOnly))
                continue;
            for (const QByteArray& line : log.readAll().split('\n')) {
                if (!line.isEmpty()) {
                    EXPECT_FALSE(recordedAfter[round].contains(line.toInt()))
                        << "block " << line.toInt() << " resent in run " << later;
                }
            }
        }
    }

    expectCleanEnd(dir.path(), upContent, downContent);
}

// A kill at the two points where a job's work is done but not yet on record: right after a
// download's rename into place and right after an upload's commit. The next start ends both jobs
// finished and leaves nothing behind.
class CrashAtStep : public ::testing::TestWithParam<const char*> {};

TEST_P(CrashAtStep, NextStartEndsTheJobFinished) {
    constexpr int kTrials = 10;
    // Every folder is made before the first child starts: once this thread has started a child
    // process, the thread sanitizer no longer follows its locks, and the service's background
    // syncs would be reported as racing with it.
    std::vector<std::unique_ptr<QTemporaryDir>> dirs;
    QList<QByteArray> ups, downs;
    for (int trial = 0; trial < kTrials; ++trial) {
        dirs.push_back(std::make_unique<QTemporaryDir>());
        ups.append(ServiceFixture::randomBytes(3 * CloudService::kBlockSize + trial, 20 + trial));
        downs.append(ServiceFixture::randomBytes(2 * CloudService::kBlockSize + trial, 40 + trial));
        prepareTransferFolder(dirs.back()->path(), ups.last(), downs.last());
        ASSERT_FALSE(HasFatalFailure());
    }
    for (int trial = 0; trial < kTrials; ++trial) {
        const QTemporaryDir& dir = *dirs[size_t(trial)];
        const QByteArray& upContent = ups[trial];
        const QByteArray& downContent = downs[trial];
        ASSERT_EQ(runChild(dir.path(), 0, 0, 1, GetParam()), -2) << "trial " << trial;
        if (QByteArray(GetParam()) == "placed") { // killed with the file in place
            EXPECT_TRUE(QFileInfo::exists(dir.path() + QStringLiteral("/dl/cloud.bin")));
        }
        ASSERT_EQ(runChild(dir.path(), 1, 0), 0) << "trial " << trial;
        expectCleanEnd(dir.path(), upContent, downContent);
        if (HasFatalFailure() || HasNonfatalFailure())
            FAIL() << "trial " << trial;
    }
}

INSTANTIATE_TEST_SUITE_P(CrashSafety, CrashAtStep, ::testing::Values("placed", "committed"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(QByteArray(info.param) == "placed"
                                                    ? "RightAfterADownloadsRename"
                                                    : "RightAfterAnUploadsCommit");
                         });
