#pragma once

#include "cloud/KZAbstractSession.h"
#include "foundation/Weak.h"

#include <QMutex>
#include <QObject>
#include <QSet>
#include <QUrl>
#include <functional>
#include <memory>

// The interface's door to the session. Every request returns a request id at once, runs on the
// shared background thread and answers its delegate (held weakly: a delegate that is gone gets
// nothing) on the main thread with the caller's user info unchanged. Observers hear of node
// changes on the main thread, each with its own copies of the changed records. Main thread only.
namespace nubo {
template <class T> class SingletonT;
}

class KZSessionProxy : public KZAbstractSession {
public:
    // Reset with SingletonT<KZSessionProxy>::reset() (main thread); reset it with the session,
    // whose change listener it is.
    static KZSessionProxy* shareSessionProxy();
    ~KZSessionProxy() override;

    // ---- account
    // Signs in to the service's account by itself (there is no sign-in window): the session
    // opens the per-user database, fetches the nodes and starts its histories. `done` runs on the
    // main thread with the outcome, after the observers heard of it.
    void loginLocal(std::function<void(const BWError&)> done = {});
    // Signs out: the histories are emptied and the node tree dropped.
    void logoutLocal(std::function<void()> done = {});

    // KZAbstractSession
    bool addSessionObserver(KZSessionDelegate* observer) override;
    bool removeSessionObserver(KZSessionDelegate* observer) override;
    QVariantMap userDetail() const override { return m_userDetail; }
    // Why the last sign-in failed (the service's files could not be opened, say); null when it
    // succeeded or none was made.
    const BWError& loginError() const { return m_loginError; }
    // The signed-in account's ids (what a pasteboard item is tied to); empty while signed out.
    QString userId() const { return m_accountIds.first; }
    QString enterpriseId() const { return m_accountIds.second; }
    // The node as the session knows it now (its current path), or null when it is gone. Reads
    // the session's in-memory tree without waiting for queued requests.
    CloudFileInfoPtr currentNode(qint64 nid) const;
    std::shared_ptr<KZBackForwardList> backForwordList() const override;
    std::shared_ptr<KZBackForwardList> folderBackForwordList() const override;
    bool cancelThumbRequest(qint64 requestId) override;
    std::shared_ptr<const nubo::ChangeDigest>
    digestOf(const QList<CloudFileInfoPtr>& children) const override;

    // ---- folder listings and search (nid read as a KZFileListNavigation command)
    qint64 getFileListByNid(qint64 nid, const QString& path, int sort, KZRequestFileListDelegate* delegate,
                            const QVariantMap& userInfo);
    qint64 getFolderListByNid(qint64 nid, const QString& path, int sort, KZRequestFileListDelegate* delegate,
                              const QVariantMap& userInfo);
    qint64 searchFileListByFileInfo(const CloudFileInfoPtr& fileInfo, const QString& searchKey, int sort,
                                    KZRequestFileListDelegate* delegate, const QVariantMap& userInfo);
    // Drops a search not answered yet: it is not run if it has not begun, and answers nothing.
    // True when one was pending.
    bool cancelSearchRequest(qint64 requestId);

    // ---- node changes, thumbnails, operations
    qint64 requestIncrNodeDelegate(KZRequestIncrNodeDelegate* delegate, bool isCache,
                                   const QVariantMap& userInfo);
    // The request goes to the service whatever `fromCacheOnly` says.
    qint64 requestThumbDelegate(KZRequestThumbDelegate* delegate, const QString& path, qint64 nid, int width,
                                int height, const QVariantMap& userInfo, bool fromCacheOnly);
    qint64 requestCreateDir(const QString& path, KZRequestCreateDirDelegate* delegate,
                            const QVariantMap& userInfo);
    qint64 requestRenameFile(const CloudFileInfoPtr& file, const QString& newName,
                             KZRequestRenameFileDelegate* delegate, const QVariantMap& userInfo);
    qint64 requestDeleteFile(const QList<CloudFileInfoPtr>& files, KZRequestDeleteFileDelegate* delegate,
                             const QVariantMap& userInfo);

    // ---- share links; userInfo["type"] picks the operation (see KZSession's kShare* names)
    qint64 requestShareFiles(const QList<CloudFileInfoPtr>& files, KZRequestShareFilesDelegate* delegate,
                             const QVariantMap& userInfo);
    qint64 requestShareFiles(const QList<ShareInfoPtr>& shares, KZRequestShareFilesDelegate* delegate,
                             const QVariantMap& userInfo);
    qint64 requestCancelShare(const QList<CloudFileInfoPtr>& files, KZRequestCancelShareDelegate* delegate,
                              const QVariantMap& userInfo);
    qint64 requestCancelShare(const QList<ShareInfoPtr>& shares, KZRequestCancelShareDelegate* delegate,
                              const QVariantMap& userInfo);
    qint64 requestShareGetList(KZrequestShareGetListDelegate* delegate, const QVariantMap& userInfo);
    qint64 requestSetPwd(const QString& pwd, const QString& shortUrl, KZRequestShareSetPwdDelegate* delegate,
                         const QVariantMap& userInfo);
    qint64 requestShareSetExpire(const QString& expireId, const QString& shortUrl,
                                 KZrequestShareSetExpireDelegate* delegate, const QVariantMap& userInfo);
    // Opens the signed address of `key` through the URL opener.
    qint64 loginJumpDelegate(KZLoginJumpDelegate* delegate, const QString& key, const QVariantMap& userInfo);

    // How addresses are opened, handed in from above (the cloud layer opens nothing itself);
    // answers whether it opened. Without one every page fails to open.
    void setUrlOpener(std::function<bool(const QUrl&)> opener);

private:
    friend class nubo::SingletonT<KZSessionProxy>;
    KZSessionProxy();
    // `settle`, when given, runs on the main thread with the request id whether or not the
    // delegate is still there, and says whether the answer is still wanted.
    template <class D, class Work, class Deliver>
    qint64 run(D* delegate, Work work, Deliver deliver, std::function<bool(qint64)> settle = {});
    void relayChange(qint64 nid, bool needReset, const QList<CloudFileInfoPtr>& children,
                     const std::shared_ptr<const nubo::ChangeDigest>& digest);

    qint64 m_nextRequestId = 1;
    nubo::WeakList<KZSessionDelegate> m_observers;
    // The report being delivered to an observer, and its digest.
    const QList<CloudFileInfoPtr>* m_delivering = nullptr;
    std::shared_ptr<const nubo::ChangeDigest> m_deliveringDigest;
    QVariantMap m_userDetail;
    BWError m_loginError;
    QPair<QString, QString> m_accountIds;
    QSet<qint64> m_pendingThumbs;
    QMutex m_cancelMutex;
    QSet<qint64> m_cancelledThumbs; // read by the background thread before it asks the service
    QSet<qint64> m_pendingSearches;
    QSet<qint64> m_cancelledSearches; // read by the background thread before it searches
    std::function<bool(const QUrl&)> m_urlOpener;
    quint64 m_changeListener = 0;
    // Main thread; answers are queued to it, so those still queued when the proxy goes are dropped.
    std::unique_ptr<QObject> m_context;
};
