#include "ui/transport/KZUploadFileOperationsCell.h"

#include "shell/KZButton.h"
#include "shell/KZWindowsManager.h"
#include "transport/KZUploadMgrProxy.h"
#include "ui/transport/KZTransportAlert.h"

KZUploadFileOperationsCell::KZUploadFileOperationsCell(QWidget* parent) : KZTransportOperationsCell(parent) {
    setIdentifier(kIdentifier);
    m_taskStartButton = buttonWithImage(QStringLiteral("transport_play"), [this] {
        if (m_startPauses)
            actionPauseUploadJob();
        else
            actionResumeUploadJob();
    });
    m_taskDeleteButton =
        buttonWithImage(QStringLiteral("transport_delete"), [this] { actionDeleteUploadJob(); });
    m_showInFinderButton =
        buttonWithImage(QStringLiteral("transport_position"), [this] { actionLocationUploadFile(); });
}

void KZUploadFileOperationsCell::setUploadJobInfo(const KZUploadJobOpenInfoPtr& job) {
    m_uploadJobInfo = job;
    m_startPauses = applyStatus(job ? qint32(job->m_status) : 0);
    layout();
}

void KZUploadFileOperationsCell::actionPauseUploadJob() {
    KZTransportAlert::closeUserInfoWindow();
    if (!m_uploadJobInfo)
        return;
    KZUploadMgrProxy::shareUploadMgrProxy()->pause(m_uploadJobInfo->m_path);
    if (auto* d = m_delegate.get())
        d->uploadFileOperationsCellPauseUploadJobAction(m_taskStartButton);
}

void KZUploadFileOperationsCell::actionResumeUploadJob() {
    KZTransportAlert::closeUserInfoWindow();
    if (!m_uploadJobInfo)
        return;
    KZUploadMgrProxy::shareUploadMgrProxy()->resume(m_uploadJobInfo->m_path);
    if (auto* d = m_delegate.get())
        d->uploadFileOperationsCellResumeUploadJobAction(m_taskStartButton);
}

void KZUploadFileOperationsCell::actionDeleteUploadJob() {
    deleteJob(m_uploadJobInfo);
}

void KZUploadFileOperationsCell::actionLocationUploadFile() {
    locateJob(m_uploadJobInfo, kitWindow());
}

void KZUploadFileOperationsCell::deleteJob(const KZUploadJobOpenInfoPtr& job) {
    KZTransportAlert::closeUserInfoWindow();
    if (job)
        askDelete(KZUploadMgrProxy::shareUploadMgrProxy(), job, QStringLiteral("上传文件"),
                  QStringLiteral("文件还未上传到云盘，确定要取消上传吗？"));
}

void KZUploadFileOperationsCell::locateJob(const KZUploadJobOpenInfoPtr& job, kit::Window* window) {
    KZTransportAlert::closeUserInfoWindow();
    if (!job)
        return;
    if (job->m_status == KZTransportJobStatusFinished)
        KZWindowsManager::shareInstance().setExpectFilePath(job->m_path);
    else
        revealLocalFile(job->m_disk_path, window);
}
