#pragma once

#include "foundation/Result.h"
#include "storage/NodeRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <memory>

namespace nubo {

using ServiceNode = NodeRecord;

// Codes of the service's failures, domain "KZCloud". Each error carries a user-facing "errmsg".
enum CloudErrorCode {
    kCloudErrorInvalidName = 4001,     // empty, ".", "..", "/" or a control character inside, over 255 bytes
    kCloudErrorNameExists = 4002,      // a node of that name is already in the folder
    kCloudErrorNotFound = 4003,        // no such node (or it was removed)
    kCloudErrorNotFolder = 4004,       // a folder was expected
    kCloudErrorNotFile = 4005,         // a file was expected
    kCloudErrorMoveIntoSelf = 4006,    // a move or copy into the node itself or its own subtree
    kCloudErrorRootRefused = 4007,     // the root cannot be renamed, moved, copied or removed
    kCloudErrorInvalidArgument = 4008, // a malformed argument (hash, size, range, count, ...)
    kCloudErrorUploadNotFound = 4010,  // unknown or finished upload id
    kCloudErrorBlockHashMismatch = 4011, // a block's bytes do not match its SHA-1
    kCloudErrorBlockMissing = 4012,      // commit while some block has not been put
    kCloudErrorFileHashMismatch = 4013,  // the blocks do not make up the declared file SHA-1
    kCloudErrorUploadStopped = 4014,     // the caller stopped a small-file upload before its commit
    kCloudErrorFrozen = 4020,            // the file is frozen: a download must wait for a thaw
    kCloudErrorDataCorrupt = 4021,       // stored content no longer matches its hash
    kCloudErrorNotImage = 4022,          // no thumbnail: the node is not a decodable image
    kCloudErrorShareNotFound = 4030,     // no share link with that key
    kCloudErrorStorage = 4090,           // the service's own database or blob folder failed
};

// One upload in progress: its id and, per block, whether the service already holds it.
struct UploadSession {
    QString uploadId;
    int blockCount = 0;
    QList<bool> present; // present[i]: block i need not be sent again
    int missingCount() const { return int(present.count(false)); }
};

// A page of the full node fetch (nodes in id order) or of the change log (in version order).
struct NodePage {
    NodeList nodes;
    // Full fetch: the node id to pass as `afterNid` for the next page.
    // Change log: the version to pass as `sinceVersion` for the next page.
    qint64 next = 0;
    bool hasMore = false;
    // The service's version when the page was read. After a full fetch, the change log read from
    // the version of its FIRST page onwards covers every change made while the pages were read.
    qint64 version = 0;
};

// The account the service is signed in to.
struct ServiceAccount {
    QString userId;
    QString enterpriseId;
    // "is_admin", "is_person" (booleans), "package_id", "expire_day" (integers), "is_vip",
    // "expire_status".
    QVariantMap userDetail;
};

// Operations that tests can make fail or slow down (see the embedded service's fault injection).
enum class ServiceOp {
    Account,
    FetchAll,
    FetchChanges,
    Lookup, // node(), nodeByPath(), children()
    CreateFolder,
    Rename,
    Move,
    Copy,
    Remove,
    BeginUpload,
    PutBlock, // putBlock(), uploadSmallFile()
    CommitUpload,
    ReadRange,
    Thumbnail,
    CreateShare,
    GetShare,
    CancelShare, // by paths and by short url
    DeleteShare,
    ListShares,
    SetSharePassword,
    SetShareExpire,
    LoginJump,
    SubmitFeedback,
};

// A file sent with a feedback report, by its name.
struct FeedbackFile {
    QString name;
    QByteArray bytes;
    bool operator==(const FeedbackFile&) const = default;
};

// A problem report of the user: what happened, how to reach them, pictures of it and, when the
// user agreed, Nubo's log files.
struct FeedbackReport {
    QString description;
    QString contact;
    QList<QByteArray> images; // encoded pictures, as the user chose them
    QList<FeedbackFile> logs;
    qint64 time = 0; // seconds since 1970, set by the service
};

// The cloud file store as Nubo's session, transfer and sync engines use it. Every method may be
// called from any thread, blocks until the answer is there and returns it or a BWError; none
// throws. Paths are absolute cloud paths ("/" the root, "/a/b" below it).
class CloudService {
public:
    static constexpr qint64 kRootId = 0;
    static constexpr qint64 kBlockSize = 512 * 1024;
    static constexpr int kMaxNameBytes = 255;

    virtual ~CloudService() = default;

    // The process-wide service: the embedded one in "service" under Nubo's data folder unless one
    // was set; null (with a warning logged) when that cannot be opened.
    static std::shared_ptr<CloudService> shared();
    // Why the last attempt of shared() to open the embedded service failed; null when it did not.
    static BWError sharedOpenError();
    // Replaces the process-wide service (tests; a null pointer goes back to the default).
    static void setShared(std::shared_ptr<CloudService> service);

    // A clear error when the name cannot be a node name (kCloudErrorInvalidName), else null.
    static BWError validateName(const QString& name);

    // ---- account
    virtual Result<ServiceAccount> account() = 0;

    // ---- node tree and change log
    // The live nodes (root excluded) with id > afterNid, at most `limit` (1..100000) of them.
    virtual Result<NodePage> fetchAllNodes(qint64 afterNid, int limit) = 0;
    // Every node changed after `sinceVersion` (removed ones with status != 0), in version order.
    virtual Result<NodePage> fetchChanges(qint64 sinceVersion, int limit) = 0;
    virtual Result<qint64> currentVersion() = 0;
    virtual Result<ServiceNode> node(qint64 nid) = 0;
    virtual Result<ServiceNode> nodeByPath(const QString& path) = 0;
    virtual Result<NodeList> children(qint64 folderId) = 0;

    // ---- tree operations
    virtual Result<ServiceNode> createFolder(qint64 parentId, const QString& name) = 0;
    // The folder at a full path; its parent folder must exist.
    virtual Result<ServiceNode> createFolderAtPath(const QString& path) = 0;
    virtual Result<ServiceNode> rename(qint64 nid, const QString& newName) = 0;
    // Moves a node into another folder (keeping its name, or taking newName when not empty).
    virtual Result<ServiceNode> move(qint64 nid, qint64 newParentId, const QString& newName = {}) = 0;
    // Deep copy with new ids; newName (when not empty) names the copy. Returns the copy's root.
    virtual Result<ServiceNode> copy(qint64 nid, qint64 newParentId, const QString& newName = {}) = 0;
    // Moves the nodes (and their subtrees) to the recycle bin: they leave the tree. All or none.
    virtual BWError remove(const QList<qint64>& nids) = 0;

    // ---- content
    // Starts (or resumes, for the same parent, name, size and hashes) an upload. Hashes are SHA-1
    // as 40 hex digits; blockSha1s has one entry per kBlockSize block (none for an empty file).
    // fileSha1 may be left empty and given to the commit instead, so that a client can send
    // blocks while it still hashes the whole file.
    virtual Result<UploadSession> beginUpload(qint64 parentId, const QString& name, quint64 size,
                                              const QString& fileSha1, const QStringList& blockSha1s) = 0;
    // Stores block `index`; refused when the bytes do not match sha1 or the declared block.
    virtual BWError putBlock(const QString& uploadId, int index, const QByteArray& bytes,
                             const QString& sha1) = 0;
    // Makes the file node once every block is there and they make up the file hash, declared at
    // the begin or here (one of the two is required; when both are given they must agree).
    // With replaceExisting, a file of the same name in the folder goes to the recycle bin.
    virtual Result<ServiceNode> commitUpload(const QString& uploadId, bool replaceExisting = false,
                                             const QString& fileSha1 = {}) = 0;
    virtual BWError cancelUpload(const QString& uploadId) = 0;
    // A file of at most one block in one call: what begin, put and commit would check and make
    // durable, without an upload to resume (a small file is simply sent again). `sha1` is the
    // file's hash, which is its one block's. `stopped`, when given, is asked once the bytes are
    // taken: true ends the call before the commit with kCloudErrorUploadStopped.
    virtual Result<ServiceNode> uploadSmallFile(qint64 parentId, const QString& name, const QByteArray& bytes,
                                                const QString& sha1, bool replaceExisting,
                                                const std::function<bool()>& stopped = {}) = 0;
    // Bytes [offset, offset + length) of a file, clipped at its end. kCloudErrorFrozen while the
    // file is frozen.
    virtual Result<QByteArray> readRange(qint64 nid, quint64 offset, quint64 length) = 0;
    // The SHA-1 (hex) of each kBlockSize block of a file, in order (none for an empty file); the
    // bytes readRange serves of a block always match its entry.
    virtual Result<QStringList> blockSha1s(qint64 nid) = 0;
    // Encoded image bytes (PNG or JPEG) of an image node scaled to fit width x height.
    virtual Result<QByteArray> thumbnail(qint64 nid, int width, int height) = 0;

    // ---- share links; records are dictionaries with the fields of a share ("sid", "shorturl",
    // "linkurl", "password", "expire", "link_type", "status", "status_desc",
    // "expire_day_count_arr", ...), every scalar as text.
    // One new link for the nodes.
    virtual Result<QVariantMap> createShare(const QList<qint64>& nids) = 0;
    // The record of an existing link, by its "sid".
    virtual Result<QVariantMap> share(const QString& sid) = 0;
    // Cancels every link that shares any of the nodes at these paths.
    virtual BWError cancelSharesByPaths(const QStringList& paths) = 0;
    virtual BWError cancelShare(const QString& shortUrl) = 0;
    // Removes the record itself.
    virtual BWError deleteShare(const QString& shortUrl) = 0;
    // The user's links, newest first, `count` (1..1000) from `start`.
    virtual Result<QVariantList> listShares(int start, int count) = 0;
    // Sets the extraction code ("" for none); returns the code that is now set.
    virtual Result<QString> setSharePassword(const QString& shortUrl, const QString& password) = 0;
    // Sets the expiry by choice id "1", "7" or "0" (unlimited); returns {"expire": seconds since
    // 1970 as text ("0" when unlimited), "renew_tips": text}.
    virtual Result<QVariantMap> setShareExpire(const QString& shortUrl, const QString& expireId) = 0;

    // ---- web
    // A signed one-time address that opens `key` in the web pages of the account.
    virtual Result<QString> loginJumpUrl(const QString& key) = 0;

    // ---- feedback
    static constexpr int kFeedbackMaxDescription = 2000; // characters
    static constexpr int kFeedbackMaxContact = 100;      // characters
    static constexpr int kFeedbackMaxImages = 4;
    static constexpr qint64 kFeedbackMaxImageBytes = 5 * 1024 * 1024;
    // The log and its backup, each at most a whole log file (LogFile::kMaxFileBytes).
    static constexpr int kFeedbackMaxLogs = 2;
    static constexpr qint64 kFeedbackMaxLogBytes = 10 * 1024 * 1024;
    static constexpr int kFeedbackMaxLogName = 255; // characters
    // Keeps a report and returns its id. It needs a description and names for its logs; a report
    // over the limits above is refused whole (kCloudErrorInvalidArgument with the reason). A
    // service that takes no reports refuses every one.
    virtual Result<qint64> submitFeedback(const FeedbackReport& report);
};

} // namespace nubo
