#pragma once

#include "cloud/CloudFileInfo.h"
#include "foundation/BWError.h"
#include "sync/LocalFileSyncMgr.h"
#include "transfer/KZDownloadMgr.h"
#include "transfer/KZTransportJobInfo.h"
#include "transport/TransferMgrProxy.h"

#include <QList>

// Observers of the download proxy; every callback is optional and arrives on the main thread.
class KZDownloadMgrProxyDelegate {
public:
    virtual ~KZDownloadMgrProxyDelegate() = default;
    virtual int downloadAdd(const QList<KZDownloadJobOpenInfoPtr>& infos) {
        (void)infos;
        return 0;
    }
    virtual void downloadStateChanged(const KZDownloadJobOpenInfoPtr& info) { (void)info; }
    virtual int downloadFinished(const KZDownloadJobOpenInfoPtr& info) {
        (void)info;
        return 0;
    }
    virtual int downloadCancel(const KZDownloadJobOpenInfoPtr& info) {
        (void)info;
        return 0;
    }
    virtual int downloadError(const KZDownloadJobOpenInfoPtr& info) {
        (void)info;
        return 0;
    }
    virtual void didUpdateUnFinishedDownloadJobOpenInfos(const QList<KZDownloadJobOpenInfoPtr>& infos) {
        (void)infos;
    }
    virtual void didUpdateFinishedDownloadJobOpenInfos(const QList<KZDownloadJobOpenInfoPtr>& infos) {
        (void)infos;
    }

    // Local sync reports.
    virtual void localFileSyncStateChange(quint64 state, quint64 fileCtrlCount, int type) {
        (void)state, (void)fileCtrlCount, (void)type;
    }
    virtual void localFileSyncFail(const QString& operation, const BWError& error) {
        (void)operation, (void)error;
    }
    virtual void localFileSyncSuccess(const QString& operation, quint64 filesCount, quint64 ctrlCount) {
        (void)operation, (void)filesCount, (void)ctrlCount;
    }
};

namespace nubo::transfer {
using DownloadProxyBase =
    TransferMgrProxy<KZDownloadMgr, LocalFileSyncMgr, KZDownloadMgrProxyDelegate, KZDownloadJobInfo>;
}

// The interface's door to downloads of cloud files and folder trees. Created on the main thread,
// which is where it answers; commands return at once and run on the shared background thread.
class KZDownloadMgrProxy : public nubo::transfer::DownloadProxyBase {
    Q_OBJECT
public:
    static KZDownloadMgrProxy* shareDownloadMgrProxy();

    bool addDownloadMgrProxyObserver(KZDownloadMgrProxyDelegate* observer) {
        return m_observers.add(observer);
    }
    bool removeDownloadMgrProxyObserver(KZDownloadMgrProxyDelegate* observer) {
        return m_observers.remove(observer);
    }

    void downloadFileByCloudFile(const CloudFileInfoPtr& file, const QString& destDiskFilePath);
    // Several files chosen together: an answer "for all" to a conflict covers all of them.
    void downloadFilesByCloudFiles(const QList<CloudFileInfoPtr>& files, const QString& destDiskFilePath);

    void getUnFinishedDownloadJobOpenInfo();
    void getFinishedDownloadJobOpenInfo();
    // The proxy's lists as they stand (main thread).
    const QList<KZDownloadJobOpenInfoPtr>& unFinishedDownloadJobOpenInfos() const {
        return m_lists.unfinished();
    }
    const QList<KZDownloadJobOpenInfoPtr>& finishedDownloadJobOpenInfos() const { return m_lists.finished(); }

private:
    KZDownloadMgrProxy();
};
