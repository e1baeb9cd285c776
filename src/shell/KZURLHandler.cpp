#include "KZURLHandler.h"

#include "cloud/KZSessionProxy.h"
#include "kit/OpenPanel.h"

void KZURLHandler::installURLOpener() {
    KZSessionProxy::shareSessionProxy()->setUrlOpener(
        [](const QUrl& url) { return kit::workspace::openURL(url); });
}

void KZURLHandler::openURLWithLoginJumpKey(const QString& key) {
    openURLWithLoginJumpKey(key, {});
}

void KZURLHandler::openURLWithLoginJumpKey(const QString& key, const QVariantMap& paramas) {
    // No delegate: the page opens through the installed opener; the caller gets no result.
    KZSessionProxy::shareSessionProxy()->loginJumpDelegate(nullptr, key, paramas);
}

void KZURLHandler::openPackageURL() {
    openURLWithLoginJumpKey(QStringLiteral("payment"));
}
