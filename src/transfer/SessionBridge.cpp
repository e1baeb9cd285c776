#include "transfer/SessionBridge.h"

#include "cloud/KZSession.h"
#include "foundation/Dispatch.h"
#include "foundation/Log.h"
#include "transfer/KZDownloadMgr.h"
#include "transfer/KZUploadMgr.h"

#include <atomic>
#include <mutex>

namespace nubo::transfer {

QVariantMap transportCounts() {
    const TransferEngine& up = KZUploadMgr::shared();
    const TransferEngine& down = KZDownloadMgr::shared();
    return {
        {KZSession::kUploadCountKey,
         up.count(KZTransportJobStatusRunning) + up.count(KZTransportJobStatusWaiting)},
        {KZSession::kDownloadCountKey,
         down.count(KZTransportJobStatusRunning) + down.count(KZTransportJobStatusWaiting)},
        {KZSession::kFinishedCountKey,
         up.count(KZTransportJobStatusFinished) + down.count(KZTransportJobStatusFinished)},
    };
}

void postTransportCount() {
    static std::once_flag registered;
    std::call_once(registered, [] { KZSession::sharedSession().setTransportCountProvider(transportCounts); });
    KZSession::sharedSession().postNotificationForTransportCount();
}

void cloudTreeChanged() {
    // Many files may finish at once; one fetch after them picks up every change.
    static std::atomic<bool> pending{false};
    if (pending.exchange(true))
        return;
    KZBackgroundThread::shared().run([] {
        pending.store(false);
        KZSession& session = KZSession::sharedSession();
        if (session.isLoggedIn())
            warnIfFailed(lcTransfer(), session.requestIncrNode(), "fetching the changes after a transfer");
    });
}

} // namespace nubo::transfer
