#include "cloud/KZSessionProxy.h"

#include "cloud/ChangeDigest.h"
#include "cloud/CloudErrors.h"
#include "cloud/KZSession.h"
#include "foundation/Dispatch.h"
#include "foundation/Handoff.h"
#include "foundation/Log.h"
#include "foundation/SingletonT.h"
#include "storage/SystemConfig.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThreadPool>

using nubo::KZBackgroundThread;
using nubo::runOn;

KZSessionProxy* KZSessionProxy::shareSessionProxy() {
    return &nubo::SingletonT<KZSessionProxy>::instance();
}

KZSessionProxy::KZSessionProxy() : m_context(std::make_unique<QObject>()) {
    if (QCoreApplication* app = QCoreApplication::instance())
        m_context->moveToThread(app->thread()); // the answers are delivered on the main thread
    m_changeListener = KZSession::sharedSession().addChangeListener(
        [this](qint64 nid, bool needReset, const QList<CloudFileInfoPtr>& children) {
            // Read here, on the background thread, so that a list merging a big report on the
            // main thread reads no record of it for its order.
            std::shared_ptr<const nubo::ChangeDigest> digest;
            if (!needReset && !children.isEmpty())
                digest = std::make_shared<const nubo::ChangeDigest>(
                    children, nubo::SingletonT<nubo::SystemConfig>::instance().getCloudFileSort());
            runOn(m_context.get(), [this, nid, needReset, children, digest] {
                relayChange(nid, needReset, children, digest);
            });
        });
}

KZSessionProxy::~KZSessionProxy() {
    NUBO_ASSERT_MAIN_THREAD();
    // Requests queued for the session refer to this proxy: they finish first (the background
    // thread runs one thing at a time), and their answers, queued to the context, go with it.
    KZBackgroundThread::shared().runAndWaitOrHere([token = m_changeListener] {
        if (KZSession* session = nubo::SingletonT<KZSession>::existing())
            session->removeChangeListener(token);
    });
    m_context.reset();
}

void KZSessionProxy::relayChange(qint64 nid, bool needReset, const QList<CloudFileInfoPtr>& children,
                                 const std::shared_ptr<const nubo::ChangeDigest>& digest) {
    NUBO_ASSERT_MAIN_THREAD();
    m_observers.forEach([&](KZSessionDelegate* o) {
        // Observers mark their rows (selection): each gets records of its own, in the report's
        // order, which the digest's indexes follow.
        QList<CloudFileInfoPtr> copies;
        copies.reserve(children.size());
        for (const auto& c : children)
            copies.append(c->clone());
        const auto* outer = std::exchange(m_delivering, &copies);
        auto outerDigest = std::exchange(m_deliveringDigest, digest);
        o->didKZSessionIncrNodeChanged(this, nid, needReset, copies);
        m_delivering = outer;
        m_deliveringDigest = std::move(outerDigest);
    });
}

std::shared_ptr<const nubo::ChangeDigest>
KZSessionProxy::digestOf(const QList<CloudFileInfoPtr>& children) const {
    NUBO_ASSERT_MAIN_THREAD();
    return &children == m_delivering ? m_deliveringDigest : nullptr;
}

// Runs `work` on the background thread with the session, then `deliver` on the main thread
// with the delegate, the request id and the result, unless the delegate is gone by then.
template <class D, class Work, class Deliver>
qint64 KZSessionProxy::run(D* delegate, Work work, Deliver deliver, std::function<bool(qint64)> settle) {
    NUBO_ASSERT_MAIN_THREAD();
    const qint64 id = m_nextRequestId++;
    nubo::Weak<D> weak(delegate);
    KZBackgroundThread::shared().run([id, weak, work, deliver, settle, context = m_context.get()]() {
        auto result = work(KZSession::sharedSession(), id);
        runOn(context, [id, weak, result = std::move(result), deliver, settle]() mutable {
            const bool wanted = !settle || settle(id);
            if (D* d = weak.get(); d && wanted)
                deliver(d, id, result);
            // Freed on a pool thread: a big answer (ten thousand share records) took the main
            // thread nearly as long to free as to read, before it could paint what it shows. Not
            // on the session's thread either, where the next request would wait for it.
            nubo::startOnPool(*QThreadPool::globalInstance(), [spent = std::move(result)] {});
        });
    });
    return id;
}

// ---- account

void KZSessionProxy::loginLocal(std::function<void(const BWError&)> done) {
    NUBO_ASSERT_MAIN_THREAD();
    KZBackgroundThread::shared().run([this, done] {
        KZSession& session = KZSession::sharedSession();
        const BWError error = session.login();
        const QVariantMap detail = session.userDetail();
        const auto ids = session.accountIds();
        runOn(m_context.get(), [this, done, error, detail, ids] {
            m_userDetail = detail;
            m_accountIds = ids;
            m_loginError = error;
            m_observers.forEach([&](KZSessionDelegate* o) { o->didKZSessionLogin(this, error); });
            if (done)
                done(error);
        });
    });
}

void KZSessionProxy::logoutLocal(std::function<void()> done) {
    NUBO_ASSERT_MAIN_THREAD();
    KZBackgroundThread::shared().run([this, done] {
        KZSession::sharedSession().logout();
        runOn(m_context.get(), [this, done] {
            m_userDetail.clear();
            m_accountIds = {};
            m_observers.forEach([&](KZSessionDelegate* o) { o->didKZSessionLogout(this); });
            if (done)
                done();
        });
    });
}

CloudFileInfoPtr KZSessionProxy::currentNode(qint64 nid) const {
    if (nid <= 0)
        return nullptr;
    return KZSession::sharedSession().nodeTree().fileInfo(nid);
}

bool KZSessionProxy::addSessionObserver(KZSessionDelegate* observer) {
    NUBO_ASSERT_MAIN_THREAD();
    return m_observers.add(observer);
}

bool KZSessionProxy::removeSessionObserver(KZSessionDelegate* observer) {
    NUBO_ASSERT_MAIN_THREAD();
    return m_observers.remove(observer);
}

std::shared_ptr<KZBackForwardList> KZSessionProxy::backForwordList() const {
    return KZSession::sharedSession().backForwordList();
}

std::shared_ptr<KZBackForwardList> KZSessionProxy::folderBackForwordList() const {
    return KZSession::sharedSession().folderBackForwordList();
}

// ---- listings

namespace {
template <class D>
void deliverList(KZAbstractSession* s, D* d, qint64 id, const KZSession::ListReply& r,
                 const QVariantMap& userInfo) {
    if (r.silent)
        return;
    if (r.error)
        d->kzSessionRequestFileListFail(s, id, userInfo, r.error);
    else
        d->kzSessionRequestFileList(s, id, r.cloudFile, r.fileList, r.backForward, userInfo);
}
} // namespace

qint64 KZSessionProxy::getFileListByNid(qint64 nid, const QString& path, int sort,
                                        KZRequestFileListDelegate* delegate, const QVariantMap& userInfo) {
    return run(
        delegate, [nid, path, sort](KZSession& s, qint64) { return s.getFileListByNid(nid, path, sort); },
        [this, userInfo](KZRequestFileListDelegate* d, qint64 id, const KZSession::ListReply& r) {
            deliverList(this, d, id, r, userInfo);
        });
}

qint64 KZSessionProxy::getFolderListByNid(qint64 nid, const QString& path, int sort,
                                          KZRequestFileListDelegate* delegate, const QVariantMap& userInfo) {
    return run(
        delegate, [nid, path, sort](KZSession& s, qint64) { return s.getFolderListByNid(nid, path, sort); },
        [this, userInfo](KZRequestFileListDelegate* d, qint64 id, const KZSession::ListReply& r) {
            deliverList(this, d, id, r, userInfo);
        });
}

qint64 KZSessionProxy::searchFileListByFileInfo(const CloudFileInfoPtr& fileInfo, const QString& searchKey,
                                                int sort, KZRequestFileListDelegate* delegate,
                                                const QVariantMap& userInfo) {
    // The caller keeps its record; the session works on a copy.
    const CloudFileInfoPtr copy = fileInfo ? fileInfo->clone() : nullptr;
    const qint64 id = m_nextRequestId; // the id run() is about to hand out
    m_pendingSearches.insert(id);
    return run(
        delegate,
        [this, copy, searchKey, sort](KZSession& s, qint64 requestId) {
            {
                QMutexLocker lock(&m_cancelMutex);
                if (m_cancelledSearches.contains(requestId)) {
                    KZSession::ListReply skipped;
                    skipped.silent = true;
                    return skipped;
                }
            }
            return s.searchFileListByFileInfo(copy, searchKey, sort);
        },
        [this, userInfo](KZRequestFileListDelegate* d, qint64 requestId, const KZSession::ListReply& r) {
            deliverList(this, d, requestId, r, userInfo);
        },
        // The marks go also when the delegate is gone; a cancelled search answers nothing.
        [this](qint64 requestId) {
            {
                QMutexLocker lock(&m_cancelMutex);
                m_cancelledSearches.remove(requestId);
            }
            return m_pendingSearches.remove(requestId);
        });
}

bool KZSessionProxy::cancelSearchRequest(qint64 requestId) {
    if (!m_pendingSearches.remove(requestId))
        return false;
    QMutexLocker lock(&m_cancelMutex);
    m_cancelledSearches.insert(requestId);
    return true;
}

// ---- node changes and thumbnails

qint64 KZSessionProxy::requestIncrNodeDelegate(KZRequestIncrNodeDelegate* delegate, bool isCache,
                                               const QVariantMap& userInfo) {
    Q_UNUSED(isCache); // the tree is always answered from the node database; nothing to skip
    return run(
        delegate, [](KZSession& s, qint64) { return s.requestIncrNode(); },
        [this, userInfo](KZRequestIncrNodeDelegate* d, qint64 id, const BWError& e) {
            if (e)
                d->kzSessionRequestGetIncrNodeFail(this, id, userInfo, e);
            else
                d->kzSessionRequestGetIncrNode(this, id, userInfo);
        });
}

qint64 KZSessionProxy::requestThumbDelegate(KZRequestThumbDelegate* delegate, const QString& path, qint64 nid,
                                            int width, int height, const QVariantMap& userInfo,
                                            bool fromCacheOnly) {
    Q_UNUSED(path);
    Q_UNUSED(fromCacheOnly);
    const qint64 id = m_nextRequestId; // the id run() is about to hand out
    m_pendingThumbs.insert(id);
    return run(
        delegate,
        [this, nid, width, height](KZSession& s, qint64 requestId) {
            {
                QMutexLocker lock(&m_cancelMutex);
                if (m_cancelledThumbs.contains(requestId))
                    return nubo::Result<QByteArray>::failure(BWError(BWError::kDomainApplication, 0));
            }
            return s.requestThumb(nid, width, height);
        },
        [this, nid, userInfo](KZRequestThumbDelegate* d, qint64 requestId,
                              const nubo::Result<QByteArray>& r) {
            if (r.ok())
                d->kzSessionRequestThumb(this, requestId, r.value, nid, userInfo);
            else
                d->kzSessionRequestThumbFail(this, requestId, nid, userInfo, r.error);
        },
        // The request's marks go also when its delegate is gone; a cancelled one answers nothing.
        [this](qint64 requestId) {
            {
                QMutexLocker lock(&m_cancelMutex);
                m_cancelledThumbs.remove(requestId);
            }
            return m_pendingThumbs.remove(requestId);
        });
}

bool KZSessionProxy::cancelThumbRequest(qint64 requestId) {
    if (!m_pendingThumbs.remove(requestId))
        return false;
    QMutexLocker lock(&m_cancelMutex);
    m_cancelledThumbs.insert(requestId);
    return true;
}

// ---- operations

namespace {
// Delivers a plain outcome to a delegate's success or failure member.
template <class D>
auto outcome(KZAbstractSession* s, const QVariantMap& userInfo,
             void (D::*success)(KZAbstractSession*, qint64, const QVariantMap&),
             void (D::*failure)(KZAbstractSession*, qint64, const QVariantMap&, const BWError&)) {
    return [s, userInfo, success, failure](D* d, qint64 id, const BWError& e) {
        if (e)
            (d->*failure)(s, id, userInfo, e);
        else
            (d->*success)(s, id, userInfo);
    };
}
} // namespace

qint64 KZSessionProxy::requestCreateDir(const QString& path, KZRequestCreateDirDelegate* delegate,
                                        const QVariantMap& userInfo) {
    return run(
        delegate, [path](KZSession& s, qint64) { return s.requestCreateDir(path); },
        outcome(this, userInfo, &KZRequestCreateDirDelegate::kzSessionRequestCreateDir,
                &KZRequestCreateDirDelegate::kzSessionRequestCreateDirFail));
}

qint64 KZSessionProxy::requestRenameFile(const CloudFileInfoPtr& file, const QString& newName,
                                         KZRequestRenameFileDelegate* delegate, const QVariantMap& userInfo) {
    const CloudFileInfoPtr copy = file ? file->clone() : nullptr;
    return run(
        delegate, [copy, newName](KZSession& s, qint64) { return s.requestRenameFile(copy, newName); },
        outcome(this, userInfo, &KZRequestRenameFileDelegate::kzSessionRequestRenameFile,
                &KZRequestRenameFileDelegate::kzSessionRequestRenameFileFail));
}

namespace {
template <class T> QList<std::shared_ptr<T>> copies(const QList<std::shared_ptr<T>>& items) {
    QList<std::shared_ptr<T>> out;
    for (const auto& i : items)
        out.append(i ? std::make_shared<T>(*i) : nullptr);
    return out;
}
} // namespace

qint64 KZSessionProxy::requestDeleteFile(const QList<CloudFileInfoPtr>& files,
                                         KZRequestDeleteFileDelegate* delegate, const QVariantMap& userInfo) {
    const auto list = copies(files);
    return run(
        delegate, [list](KZSession& s, qint64) { return s.requestDeleteFile(list); },
        outcome(this, userInfo, &KZRequestDeleteFileDelegate::kzSessionRequestDeleteFile,
                &KZRequestDeleteFileDelegate::kzSessionRequestDeleteFileFail));
}

// ---- share links

namespace {
auto shareAnswer(KZAbstractSession* s, const QVariantMap& userInfo) {
    return [s, userInfo](KZRequestShareFilesDelegate* d, qint64 id, const nubo::Result<ShareInfoPtr>& r) {
        if (r.ok())
            d->kzSessionRequestShareFiles(s, id, r.value, userInfo);
        else
            d->kzSessionRequestShareFilesFail(s, id, userInfo, r.error);
    };
}
} // namespace

qint64 KZSessionProxy::requestShareFiles(const QList<CloudFileInfoPtr>& files,
                                         KZRequestShareFilesDelegate* delegate, const QVariantMap& userInfo) {
    const auto list = copies(files);
    return run(
        delegate, [list, userInfo](KZSession& s, qint64) { return s.requestShareFiles(list, userInfo); },
        shareAnswer(this, userInfo));
}

qint64 KZSessionProxy::requestShareFiles(const QList<ShareInfoPtr>& shares,
                                         KZRequestShareFilesDelegate* delegate, const QVariantMap& userInfo) {
    const auto list = copies(shares);
    return run(
        delegate, [list, userInfo](KZSession& s, qint64) { return s.requestShareFiles(list, userInfo); },
        shareAnswer(this, userInfo));
}

qint64 KZSessionProxy::requestCancelShare(const QList<CloudFileInfoPtr>& files,
                                          KZRequestCancelShareDelegate* delegate,
                                          const QVariantMap& userInfo) {
    const auto list = copies(files);
    return run(
        delegate, [list, userInfo](KZSession& s, qint64) { return s.requestCancelShare(list, userInfo); },
        outcome(this, userInfo, &KZRequestCancelShareDelegate::kzSessionRequestCancelShare,
                &KZRequestCancelShareDelegate::kzSessionRequestCancelShareFail));
}

qint64 KZSessionProxy::requestCancelShare(const QList<ShareInfoPtr>& shares,
                                          KZRequestCancelShareDelegate* delegate,
                                          const QVariantMap& userInfo) {
    const auto list = copies(shares);
    return run(
        delegate, [list, userInfo](KZSession& s, qint64) { return s.requestCancelShare(list, userInfo); },
        outcome(this, userInfo, &KZRequestCancelShareDelegate::kzSessionRequestCancelShare,
                &KZRequestCancelShareDelegate::kzSessionRequestCancelShareFail));
}

qint64 KZSessionProxy::requestShareGetList(KZrequestShareGetListDelegate* delegate,
                                           const QVariantMap& userInfo) {
    return run(
        delegate, [](KZSession& s, qint64) { return s.requestShareGetList(); },
        [this, userInfo](KZrequestShareGetListDelegate* d, qint64 id, const nubo::Result<QVariantList>& r) {
            if (r.ok())
                d->kzSessionRequestShareGetList(this, id, r.value, userInfo);
            else
                d->kzSessionRequestShareGetListFail(this, id, userInfo, r.error);
        });
}

qint64 KZSessionProxy::requestSetPwd(const QString& pwd, const QString& shortUrl,
                                     KZRequestShareSetPwdDelegate* delegate, const QVariantMap& userInfo) {
    return run(
        delegate, [pwd, shortUrl](KZSession& s, qint64) { return s.requestSetPwd(pwd, shortUrl); },
        [this, userInfo](KZRequestShareSetPwdDelegate* d, qint64 id, const nubo::Result<QString>& r) {
            if (r.ok())
                d->kzSessionRequestShareSetPwd(this, id, r.value, userInfo);
            else
                d->kzSessionRequestShareSetPwdFail(this, id, userInfo, r.error);
        });
}

qint64 KZSessionProxy::requestShareSetExpire(const QString& expireId, const QString& shortUrl,
                                             KZrequestShareSetExpireDelegate* delegate,
                                             const QVariantMap& userInfo) {
    return run(
        delegate,
        [expireId, shortUrl](KZSession& s, qint64) { return s.requestShareSetExpire(expireId, shortUrl); },
        [this, userInfo](KZrequestShareSetExpireDelegate* d, qint64 id,
                         const nubo::Result<ShareExpireInfoPtr>& r) {
            if (r.ok())
                d->kzSessionRequestShareSetExpire(this, id, r.value, userInfo);
            else
                d->kzSessionRequestShareSetExpireFail(this, id, userInfo, r.error);
        });
}

qint64 KZSessionProxy::loginJumpDelegate(KZLoginJumpDelegate* delegate, const QString& key,
                                         const QVariantMap& userInfo) {
    NUBO_ASSERT_MAIN_THREAD();
    // Not `run`: the page opens whether or not anyone waits for the answer (callers without a
    // delegate only want the page), so only the answer depends on a live delegate.
    const qint64 id = m_nextRequestId++;
    nubo::Weak<KZLoginJumpDelegate> weak(delegate);
    KZBackgroundThread::shared().run([this, id, weak, key, userInfo] {
        const nubo::Result<QUrl> r = KZSession::sharedSession().loginJumpUrl(key);
        // The browser is opened from the main thread, where the desktop services live.
        runOn(m_context.get(), [this, id, weak, r, userInfo] {
            const bool opened = r.ok() && m_urlOpener && m_urlOpener(r.value);
            KZLoginJumpDelegate* d = weak.get();
            if (!d)
                return;
            if (opened)
                d->kzSessionLoginJump(this, id, userInfo);
            else
                d->kzSessionLoginJumpFail(this, id, userInfo,
                                          r.ok() ? nubo::cloudError::openUrlFailed() : r.error);
        });
    });
    return id;
}

void KZSessionProxy::setUrlOpener(std::function<bool(const QUrl&)> opener) {
    NUBO_ASSERT_MAIN_THREAD();
    m_urlOpener = std::move(opener);
}
