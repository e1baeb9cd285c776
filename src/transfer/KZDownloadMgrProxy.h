#pragma once

#include "cloud/CloudFileInfo.h"
#include "foundation/BWError.h"
#include "foundation/Weak.h"
#include "transfer/JobOpenInfoLists.h"
#include "transfer/KZTransportJobInfo.h"

#include <QList>
#include <QObject>

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

// The interface's door to downloads of cloud files and folder trees. Created on the main thread,
// which is where it answers; commands return at once and run on the shared background thread.
class KZDownloadMgrProxy : public QObject {
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

    void getUnFinishedDownloadJobOpenInfo();
    void getFinishedDownloadJobOpenInfo();
    // The proxy's lists as they stand (main thread).
    const QList<KZDownloadJobOpenInfoPtr>& unFinishedDownloadJobOpenInfos() const {
        return m_lists.unfinished();
    }
    const QList<KZDownloadJobOpenInfoPtr>& finishedDownloadJobOpenInfos() const { return m_lists.finished(); }

    int getRunningJobCount() const;
    int getWaitingJobCount() const;
    int getPausedJobCount() const;
    int getErrorJobCount() const;
    int getFinishedJobCount() const;

    void pause(const QString& path);
    void resume(const QString& path);
    void cancel(const QString& path);
    void pauseAll();
    void resumeAll();
    void cancelAll();
    void cancelFinishedAll();

    void coverCurrentOperation(const QString& operation);
    void coverAllOperation(const QString& operation);
    void mergeCurrentOperation(const QString& operation);
    void mergeAllOperation(const QString& operation);
    void skipCurrentCoverOperation(const QString& operation);
    void skipAllCoverOperation(const QString& operation);
    void skipCurrentMergeOperation(const QString& operation);
    void skipAllMergeOperation(const QString& operation);

private:
    KZDownloadMgrProxy();
    void engineEvent(nubo::transfer::TransferEngine::Event e,
                     const QList<nubo::transfer::TransferEngine::JobView>& jobs);
    void fetch(bool unfinished);
    template <class F> void notify(F&& f) { m_observers.forEach(f); }

    nubo::WeakList<KZDownloadMgrProxyDelegate> m_observers;
    mutable nubo::transfer::JobOpenInfoLists<KZDownloadJobOpenInfo, KZDownloadJobInfo> m_lists;
    bool m_busy = false;
};
