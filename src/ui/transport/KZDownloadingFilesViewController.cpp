#include "ui/transport/KZDownloadingFilesViewController.h"

KZDownloadingFilesViewController::KZDownloadingFilesViewController(QObject* parent)
    : KZTransportingFilesViewController(parent) {}

KZDownloadingFilesViewController::~KZDownloadingFilesViewController() {
    removeObserver();
}

void KZDownloadingFilesViewController::addObserver() {
    KZDownloadMgrProxy::shareDownloadMgrProxy()->addDownloadMgrProxyObserver(this);
}

void KZDownloadingFilesViewController::removeObserver() {
    KZDownloadMgrProxy::shareDownloadMgrProxy()->removeDownloadMgrProxyObserver(this);
}

int KZDownloadingFilesViewController::downloadAdd(const QList<KZDownloadJobOpenInfoPtr>& infos) {
    jobsAdded(infos);
    return 0;
}

void KZDownloadingFilesViewController::downloadStateChanged(const KZDownloadJobOpenInfoPtr& info) {
    jobChanged(info);
}

int KZDownloadingFilesViewController::downloadFinished(const KZDownloadJobOpenInfoPtr& info) {
    jobLeft(info);
    return 0;
}

int KZDownloadingFilesViewController::downloadCancel(const KZDownloadJobOpenInfoPtr& info) {
    jobLeft(info);
    return 0;
}

int KZDownloadingFilesViewController::downloadError(const KZDownloadJobOpenInfoPtr& info) {
    jobFailed(info);
    return 0;
}

void KZDownloadingFilesViewController::didUpdateUnFinishedDownloadJobOpenInfos(
    const QList<KZDownloadJobOpenInfoPtr>& infos) {
    replaceJobs(infos);
}

void KZDownloadingFilesViewController::downloadFileOperationsCellResumeDownloadJobAction(KZButton*) {
    rowCommandSent();
}

void KZDownloadingFilesViewController::downloadFileOperationsCellPauseDownloadJobAction(KZButton*) {
    rowCommandSent();
}
