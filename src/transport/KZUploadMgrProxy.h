#pragma once

#include "cloud/CloudFileInfo.h"
#include "foundation/BWError.h"
#include "sync/CloudFileSyncMgr.h"
#include "transfer/KZTransportJobInfo.h"
#include "transfer/KZUploadMgr.h"
#include "transport/TransferMgrProxy.h"

#include <QList>

// Observers of the upload proxy; every callback is optional and arrives on the main thread.
class KZUploadMgrProxyDelegate {
public:
    virtual ~KZUploadMgrProxyDelegate() = default;
    virtual int uploadAdd(const QList<KZUploadJobOpenInfoPtr>& infos) {
        (void)infos;
        return 0;
    }
    virtual void uploadStateChanged(const KZUploadJobOpenInfoPtr& info) { (void)info; }
    virtual int uploadFinished(const KZUploadJobOpenInfoPtr& info) {
        (void)info;
        return 0;
    }
    virtual int uploadCancel(const KZUploadJobOpenInfoPtr& info) {
        (void)info;
        return 0;
    }
    virtual int uploadError(const KZUploadJobOpenInfoPtr& info) {
        (void)info;
        return 0;
    }
    virtual void didUpdateUnFinishedUploadJobOpenInfos(const QList<KZUploadJobOpenInfoPtr>& infos) {
        (void)infos;
    }
    virtual void didUpdateFinishedUploadJobOpenInfos(const QList<KZUploadJobOpenInfoPtr>& infos) {
        (void)infos;
    }

    // Cloud sync reports; `type` is a KZCloudFileSyncType (0 upload, 1 move, 4 copy).
    virtual void cloudFileSyncStateChange(quint64 state, quint64 cloudFileCtrlCount, int type) {
        (void)state, (void)cloudFileCtrlCount, (void)type;
    }
    virtual void cloudFileSyncFail(const QString& operation, const BWError& error, int type) {
        (void)operation, (void)error, (void)type;
    }
    virtual void cloudFileSyncSuccess(const QString& operation, quint64 filesCount, quint64 ctrlCount,
                                      int type) {
        (void)operation, (void)filesCount, (void)ctrlCount, (void)type;
    }
    virtual void cloudFileSyncCompletion(int type) { (void)type; }
};

namespace nubo::transfer {
using UploadProxyBase =
    TransferMgrProxy<KZUploadMgr, CloudFileSyncMgr, KZUploadMgrProxyDelegate, KZUploadJobInfo>;
}

// The interface's door to uploads and cloud-side moves and copies. Created on the main thread,
// which is where it answers; commands return at once and run on the shared background thread.
class KZUploadMgrProxy : public nubo::transfer::UploadProxyBase {
    Q_OBJECT
public:
    static KZUploadMgrProxy* shareUploadMgrProxy();

    bool addUploadMgrProxyObserver(KZUploadMgrProxyDelegate* observer) { return m_observers.add(observer); }
    bool removeUploadMgrProxyObserver(KZUploadMgrProxyDelegate* observer) {
        return m_observers.remove(observer);
    }

    void uploadFileByDiskFile(const QString& diskPath, const CloudFileInfoPtr& cloudDestFile);
    // Several paths chosen together: an answer "for all" to a conflict covers all of them.
    void uploadFilesByDiskFiles(const QStringList& diskPaths, const CloudFileInfoPtr& cloudDestFile);
    void moveWithSrcCloudFile(const QList<CloudFileInfoPtr>& srcs, const CloudFileInfoPtr& cloudDestFile);
    void copyWithSrcCloudFile(const QList<CloudFileInfoPtr>& srcs, const CloudFileInfoPtr& cloudDestFile);

    void getUnFinishedUploadJobOpenInfo();
    void getFinishedUploadJobOpenInfo();
    // The proxy's lists as they stand (main thread).
    const QList<KZUploadJobOpenInfoPtr>& unFinishedUploadJobOpenInfos() const { return m_lists.unfinished(); }
    const QList<KZUploadJobOpenInfoPtr>& finishedUploadJobOpenInfos() const { return m_lists.finished(); }

    void keepCurrentOperation(const QString& operation);
    void keepAllOperation(const QString& operation);

private:
    KZUploadMgrProxy();
};
