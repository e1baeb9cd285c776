#include "transport/TransferSession.h"

#include "foundation/Dispatch.h"
#include "foundation/Log.h"
#include "foundation/NetworkMonitor.h"
#include "service/CloudService.h"
#include "storage/DataPaths.h"
#include "storage/UserDatabase.h"
#include "sync/CloudFileSyncMgr.h"
#include "sync/LocalFileSyncMgr.h"
#include "transfer/KZDownloadMgr.h"
#include "transfer/KZUploadMgr.h"
#include "transfer/TransferErrors.h"
#include "transport/KZDownloadMgrProxy.h"
#include "transport/KZUploadMgrProxy.h"

namespace nubo::transfer {

void createTransferProxies() {
    // The network monitor belongs to the main thread; the engines only read its state.
    NetworkMonitor::getInstance();
    KZUploadMgrProxy::shareUploadMgrProxy();
    KZDownloadMgrProxy::shareDownloadMgrProxy();
}

BWError signInTransfers(std::shared_ptr<CloudService> service) {
    if (!service)
        return transferError(kErrNotSignedIn);
    auto account = service->account();
    if (!account.ok())
        return account.error;
    const QString file = UserDatabase::fileName(account.value.userId, account.value.enterpriseId);
    if (file.isEmpty())
        return transferError(kErrNotSignedIn);
    return signInTransfers(std::move(service), paths::dataFolder() + QLatin1Char('/') + file);
}

BWError signInTransfers(std::shared_ptr<CloudService> service, const QString& userDatabasePath) {
    CloudFileSyncMgr::shared().setService(service);
    LocalFileSyncMgr::shared().setService(service);
    BWError error;
    KZBackgroundThread::shared().runAndWait([&] {
        error = KZUploadMgr::shared().signIn(service, userDatabasePath);
        if (!error)
            error = KZDownloadMgr::shared().signIn(service, userDatabasePath);
    });
    return error;
}

void signOutTransfers() {
    CloudFileSyncMgr::shared().stopAll();
    LocalFileSyncMgr::shared().stopAll();
    // The signed-out account's service is let go here, as the engines let it go below.
    CloudFileSyncMgr::shared().setService(nullptr);
    LocalFileSyncMgr::shared().setService(nullptr);
    KZBackgroundThread::shared().runAndWait([] {
        KZUploadMgr::shared().signOut();
        KZDownloadMgr::shared().signOut();
    });
}

void startTransfersAfterSignIn() {
    KZBackgroundThread::shared().run([] {
        warnIfFailed(lcTransfer(), signInTransfers(CloudService::shared()), "restoring the transfers");
    });
}

} // namespace nubo::transfer
