#pragma once

#include "cloud/KZBackForwardList.h"
#include "cloud/KZSessionDelegates.h"

namespace nubo {
class ChangeDigest;
}

#include <QVariantMap>
#include <memory>

// What every caller of the session sees: observers, the user's detail, the two histories and the
// cancelling of a thumbnail request. Main thread.
class KZAbstractSession {
public:
    virtual ~KZAbstractSession() = default;

    // Adds the observer (held weakly) unless that same object is already there; true when added.
    virtual bool addSessionObserver(KZSessionDelegate* observer) = 0;
    // Removes that object; true when it was there.
    virtual bool removeSessionObserver(KZSessionDelegate* observer) = 0;
    // The signed-in user's detail dictionary ("is_admin", "is_person", "package_id",
    // "expire_day", "is_vip", "expire_status"); empty while signed out.
    virtual QVariantMap userDetail() const = 0;
    // The browser's and the folder picker's histories. They change on the background thread:
    // read them there (nubo::KZBackgroundThread::shared().runAndWait).
    virtual std::shared_ptr<KZBackForwardList> backForwordList() const = 0;
    virtual std::shared_ptr<KZBackForwardList> folderBackForwordList() const = 0;
    // Drops the pending thumbnail request with that id; it will answer nothing. True when one
    // was pending.
    virtual bool cancelThumbRequest(qint64 requestId) = 0;
    // The digest of the change report `children` while it is being delivered to an observer
    // (that very list), made off the main thread; null for any other list.
    virtual std::shared_ptr<const nubo::ChangeDigest>
    digestOf(const QList<CloudFileInfoPtr>& children) const {
        (void)children;
        return nullptr;
    }
};
