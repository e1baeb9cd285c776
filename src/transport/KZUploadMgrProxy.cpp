#include "transport/KZUploadMgrProxy.h"

#include "foundation/Dispatch.h"

using nubo::KZBackgroundThread;
using nubo::transfer::TransferEngine;
using D = KZUploadMgrProxyDelegate;

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

} // namespace

KZUploadMgrProxy* KZUploadMgrProxy::shareUploadMgrProxy() {
    static KZUploadMgrProxy* instance = new KZUploadMgrProxy;
    return instance;
}

KZUploadMgrProxy::KZUploadMgrProxy()
    : TransferMgrProxy(&toInfo, {&D::uploadAdd, &D::uploadStateChanged, &D::uploadFinished, &D::uploadCancel,
                                 &D::uploadError, &D::didUpdateUnFinishedUploadJobOpenInfos,
                                 &D::didUpdateFinishedUploadJobOpenInfos}) {
    listenToSync({[](D* o, quint64 state, quint64 count, int type) {
                      o->cloudFileSyncStateChange(state, count, type);
                  },
                  [](D* o, const QString& name, const BWError& error, int type) {
                      o->cloudFileSyncFail(name, error, type);
                  },
                  [](D* o, const QString& name, quint64 files, quint64 ctrl, int type) {
                      o->cloudFileSyncSuccess(name, files, ctrl, type);
                  },
                  [](D* o, int type) { o->cloudFileSyncCompletion(type); }});
}

void KZUploadMgrProxy::getUnFinishedUploadJobOpenInfo() {
    fetch(true);
}
void KZUploadMgrProxy::getFinishedUploadJobOpenInfo() {
    fetch(false);
}

void KZUploadMgrProxy::uploadFileByDiskFile(const QString& diskPath, const CloudFileInfoPtr& cloudDestFile) {
    onSync([=](CloudFileSyncMgr& m) { m.uploadFileByDiskFile(diskPath, cloudDestFile); });
}
void KZUploadMgrProxy::uploadFilesByDiskFiles(const QStringList& diskPaths,
                                              const CloudFileInfoPtr& cloudDestFile) {
    onSync([=](CloudFileSyncMgr& m) { m.uploadFilesByDiskFiles(diskPaths, cloudDestFile); });
}
void KZUploadMgrProxy::moveWithSrcCloudFile(const QList<CloudFileInfoPtr>& srcs,
                                            const CloudFileInfoPtr& cloudDestFile) {
    onSync([=](CloudFileSyncMgr& m) { m.moveWithSrcCloudFile(srcs, cloudDestFile); });
}
void KZUploadMgrProxy::copyWithSrcCloudFile(const QList<CloudFileInfoPtr>& srcs,
                                            const CloudFileInfoPtr& cloudDestFile) {
    onSync([=](CloudFileSyncMgr& m) { m.copyWithSrcCloudFile(srcs, cloudDestFile); });
}

void KZUploadMgrProxy::keepCurrentOperation(const QString& op) {
    onSync([=](CloudFileSyncMgr& m) { m.keepCurrentOperation(op); });
}
void KZUploadMgrProxy::keepAllOperation(const QString& op) {
    onSync([=](CloudFileSyncMgr& m) { m.keepAllOperation(op); });
}
