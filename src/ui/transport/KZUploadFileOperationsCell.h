#pragma once

#include "foundation/Weak.h"
#include "transfer/KZTransportJobInfo.h"
#include "ui/transport/KZTransportOperationsCell.h"

class KZUploadFileOperationsCellDelegate {
public:
    virtual ~KZUploadFileOperationsCellDelegate() = default;
    virtual void uploadFileOperationsCellResumeUploadJobAction(KZButton* sender) = 0;
    virtual void uploadFileOperationsCellPauseUploadJobAction(KZButton* sender) = 0;
};

// The "操作" cell of an upload row: pause, start or retry; delete after a question; show the file
// (the cloud file in the file page once finished, else the local file in the file manager).
class KZUploadFileOperationsCell : public KZTransportOperationsCell {
    Q_OBJECT
public:
    static inline const QString kIdentifier = QStringLiteral("KZUploadFileOperationsCell");

    explicit KZUploadFileOperationsCell(QWidget* parent = nullptr);

    KZUploadFileOperationsCellDelegate* delegate() const { return m_delegate.get(); }
    void setDelegate(KZUploadFileOperationsCellDelegate* d) { m_delegate = d; }
    const KZUploadJobOpenInfoPtr& uploadJobInfo() const { return m_uploadJobInfo; }
    void setUploadJobInfo(const KZUploadJobOpenInfoPtr& job);

    void actionPauseUploadJob();
    void actionResumeUploadJob();
    void actionDeleteUploadJob();
    void actionLocationUploadFile();
    // What the delete and locate buttons do for `job` (nothing for a null job); a file to locate
    // that is gone is said on `window`.
    static void deleteJob(const KZUploadJobOpenInfoPtr& job);
    static void locateJob(const KZUploadJobOpenInfoPtr& job, kit::Window* window);

private:
    nubo::Weak<KZUploadFileOperationsCellDelegate> m_delegate;
    KZUploadJobOpenInfoPtr m_uploadJobInfo;
    bool m_startPauses = false; // the start button pauses (running and waiting jobs)
};
