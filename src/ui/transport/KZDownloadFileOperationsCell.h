#pragma once

#include "foundation/Weak.h"
#include "transfer/KZTransportJobInfo.h"
#include "ui/transport/KZTransportOperationsCell.h"

class KZDownloadFileOperationsCellDelegate {
public:
    virtual ~KZDownloadFileOperationsCellDelegate() = default;
    virtual void downloadFileOperationsCellResumeDownloadJobAction(KZButton* sender) = 0;
    virtual void downloadFileOperationsCellPauseDownloadJobAction(KZButton* sender) = 0;
};

// The "操作" cell of a download row: pause, start or retry; delete after a question; locate on
// disk (the downloaded file once finished, else the destination folder).
class KZDownloadFileOperationsCell : public KZTransportOperationsCell {
    Q_OBJECT
public:
    static inline const QString kIdentifier = QStringLiteral("KZDownloadFileOperationsCell");

    explicit KZDownloadFileOperationsCell(QWidget* parent = nullptr);

    KZDownloadFileOperationsCellDelegate* delegate() const { return m_delegate.get(); }
    void setDelegate(KZDownloadFileOperationsCellDelegate* d) { m_delegate = d; }
    const KZDownloadJobOpenInfoPtr& downloadJobInfo() const { return m_downloadJobInfo; }
    void setDownloadJobInfo(const KZDownloadJobOpenInfoPtr& job);

    void actionPauseDownloadJob();
    void actionResumeDownloadJob();
    void actionDeleteDownloadJob();
    void actionLocationDownloadFile();
    // What the delete and locate buttons do for `job` (nothing for a null job); a file to locate
    // that is gone is said on `window`.
    static void deleteJob(const KZDownloadJobOpenInfoPtr& job);
    static void locateJob(const KZDownloadJobOpenInfoPtr& job, kit::Window* window);

private:
    nubo::Weak<KZDownloadFileOperationsCellDelegate> m_delegate;
    KZDownloadJobOpenInfoPtr m_downloadJobInfo;
    bool m_startPauses = false;
};
