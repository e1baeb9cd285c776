#include "support/TransferFixture.h"

#include "foundation/NetworkMonitor.h"
#include "sync/CloudFileSyncMgr.h"
#include "sync/LocalFileSyncMgr.h"
#include "transfer/KZDownloadMgr.h"
#include "transfer/KZUploadMgr.h"
#include "transport/TransferSession.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace nubo::test {

using namespace nubo::transfer;

void addUploads(const QList<TransferJobRecord>& jobs) {
    KZBackgroundThread::shared().runAndWait([&] { KZUploadMgr::shared().addJobs(jobs); });
}

void addDownloads(const QList<TransferJobRecord>& jobs) {
    KZBackgroundThread::shared().runAndWait([&] { KZDownloadMgr::shared().addJobs(jobs); });
}

QStringList entriesBelow(const QString& folder, const QStringList& patterns) {
    QStringList out;
    QDirIterator it(folder, patterns, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next();
    return out;
}

QByteArray cloudContentOf(ServiceFixture& svc, const QString& path) {
    auto node = svc.service().nodeByPath(path);
    return node.ok() ? svc.readAll(node.value.nid) : QByteArray();
}

void TransferTest::SetUp() {
    svc.installAsShared();
    dbPath = svc.folder() + QStringLiteral("/user.db");
    createTransferProxies();
    up = KZUploadMgrProxy::shareUploadMgrProxy();
    down = KZDownloadMgrProxy::shareDownloadMgrProxy();
    KZBackgroundThread::shared().runAndWait([] {
        KZUploadMgr::shared().setRetryDelayMs(50);
        KZDownloadMgr::shared().setRetryDelayMs(50);
    });
    ASSERT_FALSE(signInTransfers(svc.shared(), dbPath));
    drainEvents();
    up->addUploadMgrProxyObserver(&rec);
    down->addDownloadMgrProxyObserver(&rec);
}

void TransferTest::TearDown() {
    // A test that stopped early may leave a gate closed, and signing out waits for the workers.
    svc.service().clearFaults();
    NetworkMonitor::getInstance()->setNetworkPausedForTesting(std::nullopt);
    signOutTransfers();
    // The next test starts from fresh proxies, engines and sync managers.
    endTransfers();
    up = nullptr;
    down = nullptr;
    drainEvents();
}

QString TransferTest::writeLocal(const QString& relative, const QByteArray& content) {
    const QString path = local.path() + QLatin1Char('/') + relative;
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
    return path;
}

QByteArray TransferTest::readLocal(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

CloudFileInfoPtr TransferTest::cloudNode(const ServiceNode& node) {
    auto f = CloudFileInfo::create();
    f->setNid(node.nid);
    f->setPid(node.pid);
    f->setName(node.name);
    f->setPath(node.path);
    f->setIsDirectory(node.isDir);
    f->setM_size(node.size);
    return f;
}

CloudFileInfoPtr TransferTest::cloudFolder(const QString& path) {
    if (path == QLatin1String("/"))
        return CloudFileInfo::rootFile();
    return cloudNode(svc.mkdir(path));
}

namespace {
// Read on the engine's thread: a job moving from waiting to running passes through a moment
// where neither count holds it, which a reader on another thread could take for the end.
bool settled(const TransferEngine& e) {
    bool done = false;
    KZBackgroundThread::shared().runAndWait([&] {
        done = e.count(KZTransportJobStatusRunning) == 0 && e.count(KZTransportJobStatusWaiting) == 0;
    });
    return done;
}

// The status of the engine's job at `path`, read on its thread; 0 when there is none.
int statusOf(const TransferEngine& e, const QString& path) {
    int status = 0;
    KZBackgroundThread::shared().runAndWait([&] {
        for (const auto& j : e.jobs())
            if (j.rec.path == path)
                status = j.rec.status;
    });
    return status;
}
} // namespace

bool TransferTest::waitUploadsSettled(int ms) {
    return waitUntil([] { return settled(KZUploadMgr::shared()); }, ms);
}

bool TransferTest::waitDownloadsSettled(int ms) {
    return waitUntil([] { return settled(KZDownloadMgr::shared()); }, ms);
}

int TransferTest::uploadStatus(const QString& cloudPath) {
    return statusOf(KZUploadMgr::shared(), cloudPath);
}

int TransferTest::downloadStatus(const QString& localPath) {
    return statusOf(KZDownloadMgr::shared(), localPath);
}

std::optional<TransferRecorder::Sync> TransferTest::waitCloudFail(int ms) {
    std::optional<TransferRecorder::Sync> s;
    // waitUntil may ask more than once: the failure found first is kept.
    waitUntil([&] { return s || (s = rec.nextFail(rec.cloudSync, cloudFailSeen)).has_value(); }, ms);
    return s;
}

std::optional<TransferRecorder::Sync> TransferTest::waitLocalFail(int ms) {
    std::optional<TransferRecorder::Sync> s;
    waitUntil([&] { return s || (s = rec.nextFail(rec.localSync, localFailSeen)).has_value(); }, ms);
    return s;
}

bool TransferTest::waitCloudIdle(int ms) {
    KZBackgroundThread::shared().runAndWait([] {}); // requests handed over before reach the queue
    const bool ok = waitUntil([] { return CloudFileSyncMgr::shared().operationCount() == 0; }, ms);
    drainEvents();
    return ok;
}

bool TransferTest::waitLocalIdle(int ms) {
    KZBackgroundThread::shared().runAndWait([] {}); // requests handed over before reach the queue
    const bool ok = waitUntil([] { return LocalFileSyncMgr::shared().operationCount() == 0; }, ms);
    drainEvents();
    return ok;
}

} // namespace nubo::test
