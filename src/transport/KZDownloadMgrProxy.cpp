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
    listenToSync(
        {[](D* o, quint64 state, quint64 count, int type) {
             o->localFileSyncStateChange(state, count, type);
         },
         [](D* o, const QString& name, const BWError& error, int) { o->localFileSyncFail(name, error); },
         [](D* o, const QString& name, quint64 files, quint64 ctrl, int) {
             o->localFileSyncSuccess(name, files, ctrl);
         },
         {}});
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
void KZDownloadMgrProxy::downloadFilesByCloudFiles(const QList<CloudFileInfoPtr>& files,
                                                   const QString& destDiskFilePath) {
    onSync([=](LocalFileSyncMgr& m) { m.downloadFilesByCloudFiles(files, destDiskFilePath); });
}
