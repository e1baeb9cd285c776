#include "transfer/KZDownloadMgrProxy.h"

#include "foundation/Dispatch.h"
#include "sync/LocalFileSyncMgr.h"
#include "transfer/KZDownloadMgr.h"

using nubo::KZBackgroundThread;
using nubo::transfer::KZDownloadMgr;
using nubo::transfer::TransferEngine;

namespace {

KZDownloadJobInfo toInfo(const TransferEngine::JobView& v) {
    KZDownloadJobInfo i;
    i.m_path = v.rec.path;
    i.m_cloudFile = v.rec.source;
    i.m_fsize = v.rec.size;
    i.m_status = v.rec.status;
    i.m_pausedReason = v.rec.pausedReason;
    i.m_jobFinishedTime = v.rec.finishedTime;
    i.m_progress = v.progress;
    i.m_speed = v.speed;
    i.m_finishedSize = v.rec.finishedSize;
    i.m_error = v.rec.error;
    return i;
}

void onEngine(const std::function<void(KZDownloadMgr&)>& f) {
    KZBackgroundThread::shared().run([f] { f(KZDownloadMgr::shared()); });
}

void onSync(const std::function<void(LocalFileSyncMgr&)>& f) {
    KZBackgroundThread::shared().run([f] { f(LocalFileSyncMgr::shared()); });
}

} // namespace

KZDownloadMgrProxy* KZDownloadMgrProxy::shareDownloadMgrProxy() {
    static KZDownloadMgrProxy* instance = new KZDownloadMgrProxy;
    return instance;
}

KZDownloadMgrProxy::KZDownloadMgrProxy() : m_lists(&toInfo) {
    KZBackgroundThread::shared().runAndWait([this] {
        KZDownloadMgr::shared().setListener(
            [this](TransferEngine::Event e, const QList<TransferEngine::JobView>& jobs) {
                nubo::runOn(this, [this, e, jobs] { engineEvent(e, jobs); });
            });
    });
    nubo::sync::SyncOperationQueue::Listener l;
    l.stateChange = [this](quint64 state, quint64 count, int type) {
        nubo::runOn(this,
                    [=, this] { notify([&](auto* o) { o->localFileSyncStateChange(state, count, type); }); });
    };
    l.fail = [this](const QString& name, const BWError& error, int) {
        nubo::runOn(this, [=, this] { notify([&](auto* o) { o->localFileSyncFail(name, error); }); });
    };
    l.success = [this](const QString& name, quint64 files, quint64 ctrl, int) {
        nubo::runOn(this,
                    [=, this] { notify([&](auto* o) { o->localFileSyncSuccess(name, files, ctrl); }); });
    };
    LocalFileSyncMgr::shared().setListener(l);
}

void KZDownloadMgrProxy::engineEvent(TransferEngine::Event e, const QList<TransferEngine::JobView>& jobs) {
    using Ptr = KZDownloadJobOpenInfoPtr;
    m_lists.handle(
        e, jobs,
        {[this](const QList<Ptr>& infos) { notify([&](auto* o) { o->downloadAdd(infos); }); },
         [this](const Ptr& info) { notify([&](auto* o) { o->downloadStateChanged(info); }); },
         [this](const Ptr& info) { notify([&](auto* o) { o->downloadFinished(info); }); },
         [this](const Ptr& info) { notify([&](auto* o) { o->downloadCancel(info); }); },
         [this](const Ptr& info) { notify([&](auto* o) { o->downloadError(info); }); },
         [this] {
             KZBackgroundThread::shared().run([this] {
                 const auto all = KZDownloadMgr::shared().jobs();
                 nubo::runOn(this, [this, all] {
                     m_lists.rebuild(all, true, true);
                     notify([&](auto* o) { o->didUpdateFinishedDownloadJobOpenInfos(m_lists.finished()); });
                     notify(
                         [&](auto* o) { o->didUpdateUnFinishedDownloadJobOpenInfos(m_lists.unfinished()); });
                 });
             });
         }});
}

void KZDownloadMgrProxy::fetch(bool unfinished) {
    if (m_busy)
        return;
    const auto& current = unfinished ? m_lists.unfinished() : m_lists.finished();
    auto answer = [this, unfinished] {
        if (unfinished)
            notify([&](auto* o) { o->didUpdateUnFinishedDownloadJobOpenInfos(m_lists.unfinished()); });
        else
            notify([&](auto* o) { o->didUpdateFinishedDownloadJobOpenInfos(m_lists.finished()); });
    };
    if (!current.isEmpty())
        return answer();
    m_busy = true;
    KZBackgroundThread::shared().run([this, unfinished, answer] {
        const auto all = KZDownloadMgr::shared().jobs();
        nubo::runOn(this, [this, all, unfinished, answer] {
            m_lists.rebuild(all, unfinished, !unfinished);
            m_busy = false;
            answer();
        });
    });
}

void KZDownloadMgrProxy::getUnFinishedDownloadJobOpenInfo() {
    fetch(true);
}
void KZDownloadMgrProxy::getFinishedDownloadJobOpenInfo() {
    fetch(false);
}

int KZDownloadMgrProxy::getRunningJobCount() const {
    return KZDownloadMgr::shared().count(KZTransportJobStatusRunning);
}
int KZDownloadMgrProxy::getWaitingJobCount() const {
    return KZDownloadMgr::shared().count(KZTransportJobStatusWaiting);
}
int KZDownloadMgrProxy::getPausedJobCount() const {
    return KZDownloadMgr::shared().count(KZTransportJobStatusPaused);
}
int KZDownloadMgrProxy::getErrorJobCount() const {
    return KZDownloadMgr::shared().count(KZTransportJobStatusError);
}
int KZDownloadMgrProxy::getFinishedJobCount() const {
    return KZDownloadMgr::shared().count(KZTransportJobStatusFinished);
}

void KZDownloadMgrProxy::downloadFileByCloudFile(const CloudFileInfoPtr& file,
                                                 const QString& destDiskFilePath) {
    onSync([=](LocalFileSyncMgr& m) { m.downloadFileByCloudFile(file, destDiskFilePath); });
}

void KZDownloadMgrProxy::pause(const QString& path) {
    onEngine([=](KZDownloadMgr& m) { m.pause(path); });
}
void KZDownloadMgrProxy::resume(const QString& path) {
    onEngine([=](KZDownloadMgr& m) { m.resume(path); });
}
void KZDownloadMgrProxy::cancel(const QString& path) {
    onEngine([=](KZDownloadMgr& m) { m.cancel(path); });
}
void KZDownloadMgrProxy::pauseAll() {
    onEngine([](KZDownloadMgr& m) { m.pauseAll(); });
}
void KZDownloadMgrProxy::resumeAll() {
    onEngine([](KZDownloadMgr& m) { m.resumeAll(); });
}
void KZDownloadMgrProxy::cancelAll() {
    onEngine([](KZDownloadMgr& m) { m.cancelAll(); });
}
void KZDownloadMgrProxy::cancelFinishedAll() {
    onEngine([](KZDownloadMgr& m) { m.cancelFinishedAll(); });
}

void KZDownloadMgrProxy::coverCurrentOperation(const QString& op) {
    onSync([=](LocalFileSyncMgr& m) { m.coverCurrentOperation(op); });
}
void KZDownloadMgrProxy::coverAllOperation(const QString& op) {
    onSync([=](LocalFileSyncMgr& m) { m.coverAllOperation(op); });
}
void KZDownloadMgrProxy::mergeCurrentOperation(const QString& op) {
    onSync([=](LocalFileSyncMgr& m) { m.mergeCurrentOperation(op); });
}
void KZDownloadMgrProxy::mergeAllOperation(const QString& op) {
    onSync([=](LocalFileSyncMgr& m) { m.mergeAllOperation(op); });
}
void KZDownloadMgrProxy::skipCurrentCoverOperation(const QString& op) {
    onSync([=](LocalFileSyncMgr& m) { m.skipCurrentCoverOperation(op); });
}
void KZDownloadMgrProxy::skipAllCoverOperation(const QString& op) {
    onSync([=](LocalFileSyncMgr& m) { m.skipAllCoverOperation(op); });
}
void KZDownloadMgrProxy::skipCurrentMergeOperation(const QString& op) {
    onSync([=](LocalFileSyncMgr& m) { m.skipCurrentMergeOperation(op); });
}
void KZDownloadMgrProxy::skipAllMergeOperation(const QString& op) {
    onSync([=](LocalFileSyncMgr& m) { m.skipAllMergeOperation(op); });
}
