#pragma once

#include "cloud/CloudFileInfo.h"
#include "cloud/KZBackForwardList.h"
#include "cloud/KZNodeTree.h"
#include "cloud/ShareInfo.h"
#include "foundation/Result.h"

#include <QMutex>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <memory>

namespace nubo {
class CloudService;
class UserDatabase;
template <class T> class SingletonT;
} // namespace nubo

// The cloud session: signs in to the service's account, keeps the per-user node database and
// the in-memory node tree current, owns the two histories and answers every request. Its
// requests run on the shared background thread (nubo::KZBackgroundThread), one at a time; the
// session proxy is the interface's door to it.
class KZSession {
public:
    static inline const QString kNotificationTransportJobCount =
        QStringLiteral("KZNotificationTransportJobCount");
    static inline const QString kUploadCountKey = QStringLiteral("KEY_UPLOAD_COUNT");
    static inline const QString kDownloadCountKey = QStringLiteral("KEY_DOWNLOAD_COUNT");
    static inline const QString kFinishedCountKey = QStringLiteral("KEY_FINISHED_COUNT");

    static inline const QString kShareTypeKey = QStringLiteral("type");
    static inline const QString kShareTypePath = QStringLiteral("ShareTypePath");
    static inline const QString kShareTypeSid = QStringLiteral("ShareTypeSid");
    static inline const QString kShareCancelTypePath = QStringLiteral("ShareCancelTypePath");
    static inline const QString kShareCancelTypeShortUrl = QStringLiteral("ShareCancelTypeShortUrl");
    static inline const QString kShareDeleteTypeShortUrl = QStringLiteral("ShareDeleteTypeShortUrl");
    static constexpr int kSharePageSize = 1000;

    // Reset with SingletonT<KZSession>::reset(); its requests hold it by reference, so it ends on
    // the background thread behind them. Its listeners (the session proxy's) go with it.
    static KZSession& sharedSession();
    static constexpr bool kEndsOnBackgroundThread = true;
    ~KZSession();

    // ---- account (background thread)
    // Signs in to the account of the process-wide service: opens the per-user database, fetches
    // the whole node list (or the changes since the stored cursor when the database is current),
    // builds the node tree and starts both histories.
    BWError login();
    // Signs out: histories emptied, node tree and database closed.
    void logout();
    bool isLoggedIn() const;
    // The user's detail dictionary from the service (any thread).
    QVariantMap userDetail() const;
    // The signed-in account's user id and enterprise id; empty while signed out (any thread).
    QPair<QString, QString> accountIds() const;

    // Created once; mutated on the background thread only.
    const std::shared_ptr<KZBackForwardList>& backForwordList() const { return m_backForwardList; }
    const std::shared_ptr<KZBackForwardList>& folderBackForwordList() const {
        return m_folderBackForwardList;
    }
    // The node tree (any thread).
    const nubo::KZNodeTree& nodeTree() const { return m_tree; }

    // ---- listings (background thread)
    struct ListReply {
        CloudFileInfoPtr cloudFile;
        CloudFileList fileList;
        KZBackForwardState backForward = 0;
        BWError error;
        bool silent = false; // the command answers nothing
    };
    ListReply getFileListByNid(qint64 nid, const QString& path, int sort);
    ListReply getFolderListByNid(qint64 nid, const QString& path, int sort);
    ListReply searchFileListByFileInfo(const CloudFileInfoPtr& fileInfo, const QString& searchKey, int sort);

    // ---- changes and operations (background thread)
    // Fetches and applies the node changes since the cursor, then reports them.
    BWError requestIncrNode();
    nubo::Result<QByteArray> requestThumb(qint64 nid, int width, int height);
    BWError requestCreateDir(const QString& path);
    BWError requestRenameFile(const CloudFileInfoPtr& file, const QString& newName);
    BWError requestDeleteFile(const QList<CloudFileInfoPtr>& files);
    nubo::Result<ShareInfoPtr> requestShareFiles(const QList<CloudFileInfoPtr>& files,
                                                 const QVariantMap& userInfo);
    nubo::Result<ShareInfoPtr> requestShareFiles(const QList<ShareInfoPtr>& shares,
                                                 const QVariantMap& userInfo);
    BWError requestCancelShare(const QList<CloudFileInfoPtr>& files, const QVariantMap& userInfo);
    BWError requestCancelShare(const QList<ShareInfoPtr>& shares, const QVariantMap& userInfo);
    nubo::Result<QVariantList> requestShareGetList();
    nubo::Result<QString> requestSetPwd(const QString& pwd, const QString& shortUrl);
    nubo::Result<ShareExpireInfoPtr> requestShareSetExpire(const QString& expireId, const QString& shortUrl);
    // The signed address that opens `key` in the account's web pages.
    nubo::Result<QUrl> loginJumpUrl(const QString& key);

    // The folder the picker shows last, -1 once the picker is closed (its -999). Background
    // thread.
    qint64 pickerFolder() const { return m_pickerNid; }

    // ---- observers
    // Called on the background thread with each change of a folder's children, after the node
    // database, the tree and both histories were brought up to date.
    using ChangeListener =
        std::function<void(qint64 nid, bool needReset, const QList<CloudFileInfoPtr>& children)>;
    // Returns a token for removeChangeListener.
    quint64 addChangeListener(ChangeListener listener);
    void removeChangeListener(quint64 token);

    // ---- transfer counts
    // The transfer engine registers where the counts come from ("KEY_UPLOAD_COUNT",
    // "KEY_DOWNLOAD_COUNT", "KEY_FINISHED_COUNT").
    void setTransportCountProvider(std::function<QVariantMap()> provider);
    // Posts "KZNotificationTransportJobCount" on the default centre with the counts as its
    // object, on the calling thread (any thread).
    void postNotificationForTransportCount();

private:
    friend class nubo::SingletonT<KZSession>;
    KZSession();
    ListReply listFolder(KZBackForwardList& history, qint64 nid, const QString& path, int sort,
                         bool foldersOnly);
    ListReply listEntry(const BackForwardItemPtr& entry, int sort, bool foldersOnly);
    BWError fullFetch();
    // Opens the per-user database and fills the tree from it, or by a full fetch.
    BWError openTree(const QString& userId, const QString& enterpriseId);
    BWError readTree(std::vector<nubo::KZNodeTree::Batch>& batches);
    BWError syncChanges();
    // A whole new copy of the tree in place of the stored one; the observers are told to reload.
    BWError fetchAgain();
    void report(const QList<nubo::KZNodeTree::Change>& changes);
    void updateHistories(const QList<nubo::KZNodeTree::Change>& changes);
    // Drops the histories' entries of folders the tree no longer holds.
    void pruneHistories();
    void emitChange(qint64 nid, bool needReset, const QList<CloudFileInfoPtr>& children);
    static void storeSort(int sort);

    std::shared_ptr<nubo::CloudService> m_service;
    std::unique_ptr<nubo::UserDatabase> m_db;
    nubo::KZNodeTree m_tree;
    std::shared_ptr<KZBackForwardList> m_backForwardList;
    std::shared_ptr<KZBackForwardList> m_folderBackForwardList;
    // The folder the picker shows last and its children, forgotten by the picker's -999.
    qint64 m_pickerNid = -1;
    QList<qint64> m_pickerChildren;

    mutable QMutex m_mutex; // guards what other threads read: the detail, listeners, provider
    bool m_loggedIn = false;
    QVariantMap m_userDetail;
    QPair<QString, QString> m_accountIds;
    QList<QPair<quint64, ChangeListener>> m_listeners;
    quint64 m_nextListener = 1;
    std::function<QVariantMap()> m_countProvider;
};
