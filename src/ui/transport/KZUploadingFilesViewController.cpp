#include "ui/transport/KZUploadingFilesViewController.h"

KZUploadingFilesViewController::KZUploadingFilesViewController(QObject* parent)
    : KZTransportingFilesViewController(parent) {}

KZUploadingFilesViewController::~KZUploadingFilesViewController() {
    removeObserver();
}

void KZUploadingFilesViewController::addObserver() {
    KZUploadMgrProxy::shareUploadMgrProxy()->addUploadMgrProxyObserver(this);
}

void KZUploadingFilesViewController::removeObserver() {
    KZUploadMgrProxy::shareUploadMgrProxy()->removeUploadMgrProxyObserver(this);
}

int KZUploadingFilesViewController::uploadAdd(const QList<KZUploadJobOpenInfoPtr>& infos) {
    jobsAdded(infos);
    return 0;
}

void KZUploadingFilesViewController::uploadStateChanged(const KZUploadJobOpenInfoPtr& info) {
    jobChanged(info);
}

int KZUploadingFilesViewController::uploadFinished(const KZUploadJobOpenInfoPtr& info) {
    jobLeft(info);
    return 0;
}

int KZUploadingFilesViewController::uploadCancel(const KZUploadJobOpenInfoPtr& info) {
    jobLeft(info);
    return 0;
}

int KZUploadingFilesViewController::uploadError(const KZUploadJobOpenInfoPtr& info) {
    jobFailed(info);
    return 0;
}

void KZUploadingFilesViewController::didUpdateUnFinishedUploadJobOpenInfos(
    const QList<KZUploadJobOpenInfoPtr>& infos) {
    replaceJobs(infos);
}

void KZUploadingFilesViewController::uploadFileOperationsCellResumeUploadJobAction(KZButton*) {
    rowCommandSent();
}

void KZUploadingFilesViewController::uploadFileOperationsCellPauseUploadJobAction(KZButton*) {
    rowCommandSent();
}
