#pragma once

#include "cloud/CloudFileInfo.h"
#include "cloud/CloudFileList.h"
#include "cloud/KZBackForwardList.h"
#include "cloud/ShareInfo.h"
#include "foundation/BWError.h"

#include <QByteArray>
#include <QList>
#include <QVariantList>
#include <QVariantMap>

// The delegate protocols of the session proxy's requests and the observer protocol of the
// session. Implementers are QObjects (held weakly); every answer arrives on the main thread with
// the caller's user info unchanged. Both callbacks of a request protocol are required.

class KZAbstractSession;

class KZRequestFileListDelegate {
public:
    virtual ~KZRequestFileListDelegate() = default;
    virtual void kzSessionRequestFileList(KZAbstractSession* session, qint64 requestId,
                                          const CloudFileInfoPtr& cloudFile,
                                          const CloudFileList& fileList,
                                          KZBackForwardState backForward, const QVariantMap& userInfo) = 0;
    virtual void kzSessionRequestFileListFail(KZAbstractSession* session, qint64 requestId,
                                              const QVariantMap& userInfo, const BWError& error) = 0;
};

class KZRequestIncrNodeDelegate {
public:
    virtual ~KZRequestIncrNodeDelegate() = default;
    virtual void kzSessionRequestGetIncrNode(KZAbstractSession* session, qint64 requestId,
                                             const QVariantMap& userInfo) = 0;
    virtual void kzSessionRequestGetIncrNodeFail(KZAbstractSession* session, qint64 requestId,
                                                 const QVariantMap& userInfo, const BWError& error) = 0;
};

class KZRequestThumbDelegate {
public:
    virtual ~KZRequestThumbDelegate() = default;
    // `thumb` holds the encoded image bytes (PNG or JPEG).
    virtual void kzSessionRequestThumb(KZAbstractSession* session, qint64 requestId, const QByteArray& thumb,
                                       qint64 nid, const QVariantMap& userInfo) = 0;
    virtual void kzSessionRequestThumbFail(KZAbstractSession* session, qint64 requestId, qint64 nid,
                                           const QVariantMap& userInfo, const BWError& error) = 0;
};

class KZRequestCreateDirDelegate {
public:
    virtual ~KZRequestCreateDirDelegate() = default;
    virtual void kzSessionRequestCreateDir(KZAbstractSession* session, qint64 requestId,
                                           const QVariantMap& userInfo) = 0;
    virtual void kzSessionRequestCreateDirFail(KZAbstractSession* session, qint64 requestId,
                                               const QVariantMap& userInfo, const BWError& error) = 0;
};

class KZRequestRenameFileDelegate {
public:
    virtual ~KZRequestRenameFileDelegate() = default;
    virtual void kzSessionRequestRenameFile(KZAbstractSession* session, qint64 requestId,
                                            const QVariantMap& userInfo) = 0;
    virtual void kzSessionRequestRenameFileFail(KZAbstractSession* session, qint64 requestId,
                                                const QVariantMap& userInfo, const BWError& error) = 0;
};

class KZRequestDeleteFileDelegate {
public:
    virtual ~KZRequestDeleteFileDelegate() = default;
    virtual void kzSessionRequestDeleteFile(KZAbstractSession* session, qint64 requestId,
                                            const QVariantMap& userInfo) = 0;
    virtual void kzSessionRequestDeleteFileFail(KZAbstractSession* session, qint64 requestId,
                                                const QVariantMap& userInfo, const BWError& error) = 0;
};

class KZRequestShareFilesDelegate {
public:
    virtual ~KZRequestShareFilesDelegate() = default;
    virtual void kzSessionRequestShareFiles(KZAbstractSession* session, qint64 requestId,
                                            const ShareInfoPtr& shareInfo, const QVariantMap& userInfo) = 0;
    virtual void kzSessionRequestShareFilesFail(KZAbstractSession* session, qint64 requestId,
                                                const QVariantMap& userInfo, const BWError& error) = 0;
};

class KZRequestCancelShareDelegate {
public:
    virtual ~KZRequestCancelShareDelegate() = default;
    virtual void kzSessionRequestCancelShare(KZAbstractSession* session, qint64 requestId,
                                             const QVariantMap& userInfo) = 0;
    virtual void kzSessionRequestCancelShareFail(KZAbstractSession* session, qint64 requestId,
                                                 const QVariantMap& userInfo, const BWError& error) = 0;
};

class KZrequestShareGetListDelegate {
public:
    virtual ~KZrequestShareGetListDelegate() = default;
    // `shareList` holds the share dictionaries (QVariantMap) in the service's order.
    virtual void kzSessionRequestShareGetList(KZAbstractSession* session, qint64 requestId,
                                              const QVariantList& shareList, const QVariantMap& userInfo) = 0;
    virtual void kzSessionRequestShareGetListFail(KZAbstractSession* session, qint64 requestId,
                                                  const QVariantMap& userInfo, const BWError& error) = 0;
};

class KZRequestShareSetPwdDelegate {
public:
    virtual ~KZRequestShareSetPwdDelegate() = default;
    virtual void kzSessionRequestShareSetPwd(KZAbstractSession* session, qint64 requestId, const QString& pwd,
                                             const QVariantMap& userInfo) = 0;
    virtual void kzSessionRequestShareSetPwdFail(KZAbstractSession* session, qint64 requestId,
                                                 const QVariantMap& userInfo, const BWError& error) = 0;
};

class KZrequestShareSetExpireDelegate {
public:
    virtual ~KZrequestShareSetExpireDelegate() = default;
    virtual void kzSessionRequestShareSetExpire(KZAbstractSession* session, qint64 requestId,
                                                const ShareExpireInfoPtr& expireInfo,
                                                const QVariantMap& userInfo) = 0;
    virtual void kzSessionRequestShareSetExpireFail(KZAbstractSession* session, qint64 requestId,
                                                    const QVariantMap& userInfo, const BWError& error) = 0;
};

class KZLoginJumpDelegate {
public:
    virtual ~KZLoginJumpDelegate() = default;
    virtual void kzSessionLoginJump(KZAbstractSession* session, qint64 requestId,
                                    const QVariantMap& userInfo) = 0;
    virtual void kzSessionLoginJumpFail(KZAbstractSession* session, qint64 requestId,
                                        const QVariantMap& userInfo, const BWError& error) = 0;
};

// Observer of the session; every member is optional.
class KZSessionDelegate {
public:
    virtual ~KZSessionDelegate() = default;
    // The children of folder `nid` changed (each child's isDeleted() tells whether it went);
    // with `needReset` the observer reloads what it shows. Each observer gets its own records.
    virtual void didKZSessionIncrNodeChanged(KZAbstractSession* session, qint64 nid, bool needReset,
                                             const QList<CloudFileInfoPtr>& children) {
        Q_UNUSED(session);
        Q_UNUSED(nid);
        Q_UNUSED(needReset);
        Q_UNUSED(children);
    }
    // The session signed in (error null) or failed to.
    virtual void didKZSessionLogin(KZAbstractSession* session, const BWError& error) {
        Q_UNUSED(session);
        Q_UNUSED(error);
    }
    virtual void didKZSessionLogout(KZAbstractSession* session) { Q_UNUSED(session); }
};
