#include "ui/transport/KZDownloadFileOperationsCell.h"

#include "kit/OpenPanel.h"
#include "shell/KZButton.h"
#include "transfer/KZDownloadMgrProxy.h"
#include "ui/transport/KZTransportAlert.h"

#include <QFileInfo>

KZDownloadFileOperationsCell::KZDownloadFileOperationsCell(QWidget* parent)
    : KZTransportOperationsCell(parent) {
    setIdentifier(kIdentifier);
    m_taskStartButton = buttonWithImage(QStringLiteral("transport_play"), [this] {
        if (m_startPauses)
            actionPauseDownloadJob();
        else
            actionResumeDownloadJob();
    });
    m_taskDeleteButton =
        buttonWithImage(QStringLiteral("transport_delete"), [this] { actionDeleteDownloadJob(); });
    m_showInFinderButton =
        buttonWithImage(QStringLiteral("transport_position"), [this] { actionLocationDownloadFile(); });
}

void KZDownloadFileOperationsCell::setDownloadJobInfo(const KZDownloadJobOpenInfoPtr& job) {
    m_downloadJobInfo = job;
    const qint32 status = job ? job->m_status : 0;
    m_startPauses = status != KZTransportJobStatusError && status != KZTransportJobStatusPaused;
    setButtonImage(m_taskStartButton, status == KZTransportJobStatusError ? QStringLiteral("transport_retry")
                                      : status == KZTransportJobStatusPaused
                                          ? QStringLiteral("transport_play")
                                          : QStringLiteral("transport_pause"));
    m_taskStartButton->setHidden(status == KZTransportJobStatusFinished);
    m_showInFinderButton->setHidden(status == KZTransportJobStatusError);
    setButtonImage(m_taskDeleteButton, status == KZTransportJobStatusFinished
                                           ? QStringLiteral("share_delete")
                                           : QStringLiteral("transport_delete"));
    layout();
}

void KZDownloadFileOperationsCell::actionPauseDownloadJob() {
    if (!m_downloadJobInfo)
        return;
    KZDownloadMgrProxy::shareDownloadMgrProxy()->pause(m_downloadJobInfo->m_path);
    if (auto* d = m_delegate.get())
        d->downloadFileOperationsCellPauseDownloadJobAction(m_taskStartButton);
}

void KZDownloadFileOperationsCell::actionResumeDownloadJob() {
    KZTransportAlert::closeUserInfoWindow();
    if (!m_downloadJobInfo)
        return;
    KZDownloadMgrProxy::shareDownloadMgrProxy()->resume(m_downloadJobInfo->m_path);
    if (auto* d = m_delegate.get())
        d->downloadFileOperationsCellResumeDownloadJobAction(m_taskStartButton);
}

void KZDownloadFileOperationsCell::actionDeleteDownloadJob() {
    KZTransportAlert::closeUserInfoWindow();
    const KZDownloadJobOpenInfoPtr job = m_downloadJobInfo;
    if (!job)
        return;
    auto* proxy = KZDownloadMgrProxy::shareDownloadMgrProxy();
    const QString path = job->m_path;
    if (job->m_status == KZTransportJobStatusFinished) {
        // Only the record goes: the downloaded file stays on disk.
        KZTransportAlert::ask(QStringLiteral("删除记录"), QStringLiteral("确定要删除传输记录吗？"),
                              QStringLiteral("删除"), KZAlertActionStyleWarning,
                              [proxy, path] { proxy->cancel(path); });
        return;
    }
    // Declining resumes the job only when it was running or waiting as the question opened.
    const bool wasActive =
        job->m_status == KZTransportJobStatusRunning || job->m_status == KZTransportJobStatusWaiting;
    if (wasActive)
        proxy->pause(path);
    KZTransportAlert::ask(
        QStringLiteral("下载文件"), QStringLiteral("文件还未下载到本地，确定要取消下载吗？"),
        QStringLiteral("确定"), KZAlertActionStylePrimary, [proxy, path] { proxy->cancel(path); },
        [proxy, path, wasActive] {
            if (wasActive)
                proxy->resume(path);
        });
}

void KZDownloadFileOperationsCell::actionLocationDownloadFile() {
    KZTransportAlert::closeUserInfoWindow();
    if (!m_downloadJobInfo)
        return;
    const QString path = m_downloadJobInfo->m_path;
    if (m_downloadJobInfo->m_status == KZTransportJobStatusFinished)
        kit::workspace::selectFile(path);
    else // the partial file is not the user's yet: open the folder it will land in
        kit::workspace::openFile(QFileInfo(path).absolutePath());
}
