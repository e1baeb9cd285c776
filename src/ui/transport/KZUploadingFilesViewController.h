#pragma once

#include "ui/transport/KZTransportListTraits.h"
#include "ui/transport/KZTransportingFilesViewController.h"

// The "正在上传" tab of the transfer page: the unfinished uploads.
class KZUploadingFilesViewController : public KZTransportingFilesViewController<KZUploadListTraits>,
                                       public KZUploadMgrProxyDelegate,
                                       public KZUploadFileOperationsCellDelegate {
    Q_OBJECT
public:
    static inline const QString kClassName = QStringLiteral("KZUploadingFilesViewController");

    explicit KZUploadingFilesViewController(QObject* parent = nullptr);
    ~KZUploadingFilesViewController() override;

    const QList<KZUploadJobOpenInfoPtr>& uploadJobs() const { return jobs(); }
    const QList<KZUploadJobOpenInfoPtr>& selectedUploadJobs() const { return selectedJobs(); }

    // KZUploadMgrProxyDelegate
    int uploadAdd(const QList<KZUploadJobOpenInfoPtr>& infos) override;
    void uploadStateChanged(const KZUploadJobOpenInfoPtr& info) override;
    int uploadFinished(const KZUploadJobOpenInfoPtr& info) override;
    int uploadCancel(const KZUploadJobOpenInfoPtr& info) override;
    int uploadError(const KZUploadJobOpenInfoPtr& info) override;
    void didUpdateUnFinishedUploadJobOpenInfos(const QList<KZUploadJobOpenInfoPtr>& infos) override;
    // KZUploadFileOperationsCellDelegate
    void uploadFileOperationsCellResumeUploadJobAction(KZButton* sender) override;
    void uploadFileOperationsCellPauseUploadJobAction(KZButton* sender) override;

protected:
    void addObserver() override;
    void removeObserver() override;
};
