#include "transport/KZDownloadMgrProxy.h"

#include "foundation/Dispatch.h"

using nubo::KZBackgroundThread;
using nubo::transfer::TransferEngine;
using D = KZDownloadMgrProxyDelegate;

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

} // namespace

KZDownloadMgrProxy* KZDownloadMgrProxy::shareDownloadMgrProxy() {
    static KZDownloadMgrProxy* instance = new KZDownloadMgrProxy;
    return instance;
}

KZDownloadMgrProxy::KZDownloadMgrProxy()
    : TransferMgrProxy(&toInfo,
                       {&D::downloadAdd, &D::downloadStateChanged, &D::downloadFinished, &D::downloadCancel,
                        &D::downloadError, &D::didUpdateUnFinishedDownloadJobOpenInfos,
                        &D::didUpdateFinishedDownloadJobOpenInfos}) {
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

void KZDownloadMgrProxy::getUnFinishedDownloadJobOpenInfo() {
    fetch(true);
}
void KZDownloadMgrProxy::getFinishedDownloadJobOpenInfo() {
    fetch(false);
}

void KZDownloadMgrProxy::downloadFileByCloudFile(const CloudFileInfoPtr& file,
                                                 const QString& destDiskFilePath) {
    onSync([=](LocalFileSyncMgr& m) { m.downloadFileByCloudFile(file, destDiskFilePath); });
}
