#pragma once

#include "ui/transport/KZTransportListTraits.h"
#include "ui/transport/KZTransportingFilesViewController.h"

// The "正在下载" tab of the transfer page: the unfinished downloads.
class KZDownloadingFilesViewController : public KZTransportingFilesViewController<KZDownloadListTraits>,
                                         public KZDownloadMgrProxyDelegate,
                                         public KZDownloadFileOperationsCellDelegate {
    Q_OBJECT
public:
    static inline const QString kClassName = QStringLiteral("KZDownloadingFilesViewController");

    explicit KZDownloadingFilesViewController(QObject* parent = nullptr);
    ~KZDownloadingFilesViewController() override;

    const QList<KZDownloadJobOpenInfoPtr>& downloadJobs() const { return jobs(); }
    const QList<KZDownloadJobOpenInfoPtr>& selectedDwonloadJobs() const { return selectedJobs(); }

    // KZDownloadMgrProxyDelegate
    int downloadAdd(const QList<KZDownloadJobOpenInfoPtr>& infos) override;
    void downloadStateChanged(const KZDownloadJobOpenInfoPtr& info) override;
    int downloadFinished(const KZDownloadJobOpenInfoPtr& info) override;
    int downloadCancel(const KZDownloadJobOpenInfoPtr& info) override;
    int downloadError(const KZDownloadJobOpenInfoPtr& info) override;
    void didUpdateUnFinishedDownloadJobOpenInfos(const QList<KZDownloadJobOpenInfoPtr>& infos) override;
    // KZDownloadFileOperationsCellDelegate
    void downloadFileOperationsCellResumeDownloadJobAction(KZButton* sender) override;
    void downloadFileOperationsCellPauseDownloadJobAction(KZButton* sender) override;

protected:
    void addObserver() override;
    void removeObserver() override;
};
