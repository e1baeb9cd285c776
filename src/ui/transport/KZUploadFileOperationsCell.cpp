#include "ui/transport/KZUploadFileOperationsCell.h"

#include "kit/OpenPanel.h"
#include "shell/KZButton.h"
#include "shell/KZWindowsManager.h"
#include "transfer/KZUploadMgrProxy.h"
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
    const quint32 status = job ? job->m_status : 0;
    m_startPauses = status != KZTransportJobStatusError && status != KZTransportJobStatusPaused;
    setButtonImage(m_taskStartButton, status == KZTransportJobStatusError ? QStringLiteral("transport_retry")
                                      : status == KZTransportJobStatusPaused
                                          ? QStringLiteral("transport_play")
                                          : QStringLiteral("transport_pause"));
    m_taskStartButton->setHidden(status == KZTransportJobStatusFinished);
    setButtonImage(m_taskDeleteButton, status == KZTransportJobStatusFinished
                                           ? QStringLiteral("share_delete")
                                           : QStringLiteral("transport_delete"));
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
    KZTransportAlert::closeUserInfoWindow();
    const KZUploadJobOpenInfoPtr job = m_uploadJobInfo;
    if (!job)
        return;
    auto* proxy = KZUploadMgrProxy::shareUploadMgrProxy();
    const QString path = job->m_path;
    if (job->m_status == KZTransportJobStatusFinished) {
        KZTransportAlert::ask(QStringLiteral("删除记录"), QStringLiteral("确定要删除传输记录吗？"),
                              QStringLiteral("删除"), KZAlertActionStyleWarning,
                              [proxy, path] { proxy->cancel(path); });
        return;
    }
    // Only a job that was running or waiting when the question opened is resumed if the user
    // declines; what it is by the time of the answer (paused by this very question) does not count.
    const bool wasActive =
        job->m_status == KZTransportJobStatusRunning || job->m_status == KZTransportJobStatusWaiting;
    if (wasActive)
        proxy->pause(path);
    KZTransportAlert::ask(
        QStringLiteral("上传文件"), QStringLiteral("文件还未上传到云盘，确定要取消上传吗？"),
        QStringLiteral("确定"), KZAlertActionStylePrimary, [proxy, path] { proxy->cancel(path); },
        [proxy, path, wasActive] {
            if (wasActive)
                proxy->resume(path);
        });
}

void KZUploadFileOperationsCell::actionLocationUploadFile() {
    KZTransportAlert::closeUserInfoWindow();
    if (!m_uploadJobInfo)
        return;
    if (m_uploadJobInfo->m_status == KZTransportJobStatusFinished)
        KZWindowsManager::shareInstance().setExpectFilePath(m_uploadJobInfo->m_path);
    else
        kit::workspace::selectFile(m_uploadJobInfo->m_disk_path);
}
