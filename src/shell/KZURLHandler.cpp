#include "KZURLHandler.h"

#include "cloud/KZSessionProxy.h"

void KZURLHandler::openURLWithLoginJumpKey(const QString& key) { openURLWithLoginJumpKey(key, {}); }

void KZURLHandler::openURLWithLoginJumpKey(const QString& key, const QVariantMap& paramas) {
    // No delegate: the session opens the page itself; the caller gets no result.
    KZSessionProxy::shareSessionProxy()->loginJumpDelegate(nullptr, key, paramas);
}

void KZURLHandler::openPackageURL() { openURLWithLoginJumpKey(QStringLiteral("payment")); }
