#include "ui/transport/KZDownloadFileOperationsCell.h"

#include "kit/OpenPanel.h"
#include "shell/KZButton.h"
#include "transport/KZDownloadMgrProxy.h"
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
    m_startPauses = applyStatus(status);
    // A failed download has nothing on disk to locate yet.
    m_showInFinderButton->setHidden(status == KZTransportJobStatusError);
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
    deleteJob(m_downloadJobInfo);
}

void KZDownloadFileOperationsCell::actionLocationDownloadFile() {
    locateJob(m_downloadJobInfo, kitWindow());
}

void KZDownloadFileOperationsCell::deleteJob(const KZDownloadJobOpenInfoPtr& job) {
    KZTransportAlert::closeUserInfoWindow();
    // Only the record of a finished download goes: the downloaded file stays on disk.
    if (job)
        askDelete(KZDownloadMgrProxy::shareDownloadMgrProxy(), job, QStringLiteral("下载文件"),
                  QStringLiteral("文件还未下载到本地，确定要取消下载吗？"));
}

void KZDownloadFileOperationsCell::locateJob(const KZDownloadJobOpenInfoPtr& job, kit::Window* window) {
    KZTransportAlert::closeUserInfoWindow();
    if (!job)
        return;
    const QString path = job->m_path;
    if (job->m_status == KZTransportJobStatusFinished)
        revealLocalFile(path, window);
    else // the partial file is not the user's yet: open the folder it will land in
        kit::workspace::openFile(QFileInfo(path).absolutePath());
}
