#pragma once

#include <QString>
#include <QVariantMap>

// Opens the service's web pages (signed in with a ticket of the session) in the user's browser.
class KZURLHandler {
public:
    static void openURLWithLoginJumpKey(const QString& key);
    static void openURLWithLoginJumpKey(const QString& key, const QVariantMap& paramas);
    // The plan purchase page ("payment").
    static void openPackageURL();
};
