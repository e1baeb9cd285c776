#include "transfer/KZUploadMgrProxy.h"

#include "foundation/Dispatch.h"
#include "sync/CloudFileSyncMgr.h"
#include "transfer/KZUploadMgr.h"

using nubo::KZBackgroundThread;
using nubo::transfer::KZUploadMgr;
using nubo::transfer::TransferEngine;

namespace {

KZUploadJobInfo toInfo(const TransferEngine::JobView& v) {
    KZUploadJobInfo i;
    i.m_path = v.rec.path;
    i.m_disk_path = v.rec.source;
    i.m_fsize = quint64(qMax<qint64>(0, v.rec.size));
    i.m_status = quint32(v.rec.status);
    i.m_pausedReason = v.rec.pausedReason;
    i.m_jobFinishedTime = v.rec.finishedTime;
    i.m_progress = v.progress;
    i.m_speed = v.speed;
    i.m_finishedSize = v.rec.finishedSize;
    i.m_error = v.rec.error;
    return i;
}

void onEngine(const std::function<void(KZUploadMgr&)>& f) {
    KZBackgroundThread::shared().run([f] { f(KZUploadMgr::shared()); });
}

void onSync(const std::function<void(CloudFileSyncMgr&)>& f) {
    KZBackgroundThread::shared().run([f] { f(CloudFileSyncMgr::shared()); });
}

} // namespace

KZUploadMgrProxy* KZUploadMgrProxy::shareUploadMgrProxy() {
    static KZUploadMgrProxy* instance = new KZUploadMgrProxy;
    return instance;
}

KZUploadMgrProxy::KZUploadMgrProxy() : m_lists(&toInfo) {
    KZBackgroundThread::shared().runAndWait([this] {
        KZUploadMgr::shared().setListener(
            [this](TransferEngine::Event e, const QList<TransferEngine::JobView>& jobs) {
                nubo::runOn(this, [this, e, jobs] { engineEvent(e, jobs); });
            });
    });
    nubo::sync::SyncOperationQueue::Listener l;
    l.stateChange = [this](quint64 state, quint64 count, int type) {
        nubo::runOn(this,
                    [=, this] { notify([&](auto* o) { o->cloudFileSyncStateChange(state, count, type); }); });
    };
    l.fail = [this](const QString& name, const BWError& error, int type) {
        nubo::runOn(this, [=, this] { notify([&](auto* o) { o->cloudFileSyncFail(name, error, type); }); });
    };
    l.success = [this](const QString& name, quint64 files, quint64 ctrl, int type) {
        nubo::runOn(
            this, [=, this] { notify([&](auto* o) { o->cloudFileSyncSuccess(name, files, ctrl, type); }); });
    };
    l.completion = [this](int type) {
        nubo::runOn(this, [=, this] { notify([&](auto* o) { o->cloudFileSyncCompletion(type); }); });
    };
    CloudFileSyncMgr::shared().setListener(l);
}

void KZUploadMgrProxy::engineEvent(TransferEngine::Event e, const QList<TransferEngine::JobView>& jobs) {
    using Ptr = KZUploadJobOpenInfoPtr;
    m_lists.handle(
        e, jobs,
        {[this](const QList<Ptr>& infos) { notify([&](auto* o) { o->uploadAdd(infos); }); },
         [this](const Ptr& info) { notify([&](auto* o) { o->uploadStateChanged(info); }); },
         [this](const Ptr& info) { notify([&](auto* o) { o->uploadFinished(info); }); },
         [this](const Ptr& info) { notify([&](auto* o) { o->uploadCancel(info); }); },
         [this](const Ptr& info) { notify([&](auto* o) { o->uploadError(info); }); },
         [this] {
             KZBackgroundThread::shared().run([this] {
                 const auto all = KZUploadMgr::shared().jobs();
                 nubo::runOn(this, [this, all] {
                     m_lists.rebuild(all, true, true);
                     notify([&](auto* o) { o->didUpdateFinishedUploadJobOpenInfos(m_lists.finished()); });
                     notify([&](auto* o) { o->didUpdateUnFinishedUploadJobOpenInfos(m_lists.unfinished()); });
                 });
             });
         }});
}

void KZUploadMgrProxy::fetch(bool unfinished) {
    if (m_busy)
        return;
    const auto& current = unfinished ? m_lists.unfinished() : m_lists.finished();
    auto answer = [this, unfinished] {
        if (unfinished)
            notify([&](auto* o) { o->didUpdateUnFinishedUploadJobOpenInfos(m_lists.unfinished()); });
        else
            notify([&](auto* o) { o->didUpdateFinishedUploadJobOpenInfos(m_lists.finished()); });
    };
    if (!current.isEmpty())
        return answer();
    m_busy = true;
    KZBackgroundThread::shared().run([this, unfinished, answer] {
        const auto all = KZUploadMgr::shared().jobs();
        nubo::runOn(this, [this, all, unfinished, answer] {
            m_lists.rebuild(all, unfinished, !unfinished);
            m_busy = false;
            answer();
        });
    });
}

void KZUploadMgrProxy::getUnFinishedUploadJobOpenInfo() {
    fetch(true);
}
void KZUploadMgrProxy::getFinishedUploadJobOpenInfo() {
    fetch(false);
}

int KZUploadMgrProxy::getRunningJobCount() const {
    return KZUploadMgr::shared().count(KZTransportJobStatusRunning);
}
int KZUploadMgrProxy::getWaitingJobCount() const {
    return KZUploadMgr::shared().count(KZTransportJobStatusWaiting);
}
int KZUploadMgrProxy::getPausedJobCount() const {
    return KZUploadMgr::shared().count(KZTransportJobStatusPaused);
}
int KZUploadMgrProxy::getErrorJobCount() const {
    return KZUploadMgr::shared().count(KZTransportJobStatusError);
}
int KZUploadMgrProxy::getFinishedJobCount() const {
    return KZUploadMgr::shared().count(KZTransportJobStatusFinished);
}

void KZUploadMgrProxy::uploadFileByDiskFile(const QString& diskPath, const CloudFileInfoPtr& cloudDestFile) {
    onSync([=](CloudFileSyncMgr& m) { m.uploadFileByDiskFile(diskPath, cloudDestFile); });
}
void KZUploadMgrProxy::moveWithSrcCloudFile(const QList<CloudFileInfoPtr>& srcs,
                                            const CloudFileInfoPtr& cloudDestFile) {
    onSync([=](CloudFileSyncMgr& m) { m.moveWithSrcCloudFile(srcs, cloudDestFile); });
}
void KZUploadMgrProxy::copyWithSrcCloudFile(const QList<CloudFileInfoPtr>& srcs,
                                            const CloudFileInfoPtr& cloudDestFile) {
    onSync([=](CloudFileSyncMgr& m) { m.copyWithSrcCloudFile(srcs, cloudDestFile); });
}

void KZUploadMgrProxy::pause(const QString& path) {
    onEngine([=](KZUploadMgr& m) { m.pause(path); });
}
void KZUploadMgrProxy::resume(const QString& path) {
    onEngine([=](KZUploadMgr& m) { m.resume(path); });
}
void KZUploadMgrProxy::cancel(const QString& path) {
    onEngine([=](KZUploadMgr& m) { m.cancel(path); });
}
void KZUploadMgrProxy::pauseAll() {
    onEngine([](KZUploadMgr& m) { m.pauseAll(); });
}
void KZUploadMgrProxy::resumeAll() {
    onEngine([](KZUploadMgr& m) { m.resumeAll(); });
}
void KZUploadMgrProxy::cancelAll() {
    onEngine([](KZUploadMgr& m) { m.cancelAll(); });
}
void KZUploadMgrProxy::cancelFinishedAll() {
    onEngine([](KZUploadMgr& m) { m.cancelFinishedAll(); });
}

void KZUploadMgrProxy::coverCurrentOperation(const QString& op) {
    onSync([=](CloudFileSyncMgr& m) { m.coverCurrentOperation(op); });
}
void KZUploadMgrProxy::coverAllOperation(const QString& op) {
    onSync([=](CloudFileSyncMgr& m) { m.coverAllOperation(op); });
}
void KZUploadMgrProxy::keepCurrentOperation(const QString& op) {
    onSync([=](CloudFileSyncMgr& m) { m.keepCurrentOperation(op); });
}
void KZUploadMgrProxy::keepAllOperation(const QString& op) {
    onSync([=](CloudFileSyncMgr& m) { m.keepAllOperation(op); });
}
void KZUploadMgrProxy::mergeCurrentOperation(const QString& op) {
    onSync([=](CloudFileSyncMgr& m) { m.mergeCurrentOperation(op); });
}
void KZUploadMgrProxy::mergeAllOperation(const QString& op) {
    onSync([=](CloudFileSyncMgr& m) { m.mergeAllOperation(op); });
}
void KZUploadMgrProxy::skipCurrentCoverOperation(const QString& op) {
    onSync([=](CloudFileSyncMgr& m) { m.skipCurrentCoverOperation(op); });
}
void KZUploadMgrProxy::skipAllCoverOperation(const QString& op) {
    onSync([=](CloudFileSyncMgr& m) { m.skipAllCoverOperation(op); });
}
void KZUploadMgrProxy::skipCurrentMergeOperation(const QString& op) {
    onSync([=](CloudFileSyncMgr& m) { m.skipCurrentMergeOperation(op); });
}
void KZUploadMgrProxy::skipAllMergeOperation(const QString& op) {
    onSync([=](CloudFileSyncMgr& m) { m.skipAllMergeOperation(op); });
}
