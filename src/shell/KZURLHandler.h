#pragma once

#include <QString>
#include <QVariantMap>

// Opens the service's web pages (signed in with a ticket of the session) in the user's browser.
class KZURLHandler {
public:
    // Hands the session the kit's opener, which opens only http and https addresses; the
    // application delegate calls it before any page can ask for one.
    static void installURLOpener();
    static void openURLWithLoginJumpKey(const QString& key);
    static void openURLWithLoginJumpKey(const QString& key, const QVariantMap& paramas);
    // The plan purchase page ("payment").
    static void openPackageURL();
};
