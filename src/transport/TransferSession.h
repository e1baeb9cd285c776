#pragma once

#include "foundation/BWError.h"

#include <QString>
#include <memory>

namespace nubo {
class CloudService;
}

namespace nubo::transfer {

// Creates both transfer proxies; on the main thread, at launch.
void createTransferProxies();

// Signs the engines and the sync managers in for the account the service is signed in to: the
// job tables live in that user's database, and unfinished jobs are restored from it. Runs on the
// background thread (waits there when called from elsewhere).
BWError signInTransfers(std::shared_ptr<CloudService> service);
// The same with the per-user database file given (tests).
BWError signInTransfers(std::shared_ptr<CloudService> service, const QString& userDatabasePath);
// Stops the sync operations and the workers; the records stay for the next sign-in.
void signOutTransfers();
// Ends both proxies, then the sync managers and the engines (main thread, after signing out);
// the next use makes them afresh, the proxies through createTransferProxies().
void endTransfers();

// The launch step after the session signed in: signs the transfers in to the process-wide
// service on the background thread, without waiting.
void startTransfersAfterSignIn();

} // namespace nubo::transfer
