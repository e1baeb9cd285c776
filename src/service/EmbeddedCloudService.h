#pragma once

#include "service/CloudService.h"
#include "storage/Database.h"

#include <QHash>
#include <QMutex>
#include <QSet>
#include <condition_variable>
#include <future>
#include <mutex>

namespace nubo {

class BlobStore;
class CommitGroup;
class UploadProgress;

// The cloud service that runs inside Nubo: a SQLite database ("service.db") and a blob folder
// ("blocks") under its own folder. Calls from several threads are serialised on its database;
// block bytes are written and renamed into place outside that lock. A file's blocks are synced
// to the disk (and checked, where this process did not write them) before the row of the file
// that points to them commits. The block of a file of one block is kept in the database
// instead ("block_bytes"), so that it reaches the disk with the file's rows in one sync.
class EmbeddedCloudService : public CloudService {
public:
    // Opens (creating when needed) the service in `folder`. The structure of a file made before
    // is checked on a connection of its own beside the first calls: each call waits for the
    // verdict before it reads or writes (the account, whose table alone is checked at once,
    // excepted), and fails with the same error as a failed open when the file is unsound.
    static Result<std::shared_ptr<EmbeddedCloudService>> open(const QString& folder);
    ~EmbeddedCloudService() override;

    const QString& folder() const { return m_folder; }

    // ---- account (settable in tests)
    BWError setAccount(const ServiceAccount& account);

    // The feedback reports kept so far, oldest first.
    Result<QList<FeedbackReport>> feedbackReports();

    // ---- fault injection (tests)
    // The next `count` calls of `op` fail with `error` before doing anything.
    void failNext(ServiceOp op, int count, const BWError& error);
    // Every later call of `op` waits `ms` milliseconds before it runs (0 stops the delay).
    void setDelay(ServiceOp op, int ms);
    // While held, calls of `op` wait (before doing anything) until it is released; a gate the
    // test opens, so jobs stay running exactly as long as a test needs them to.
    void setHeld(ServiceOp op, bool held);
    // Lets `passes` more calls of `op` through, then holds the later ones as setHeld does.
    void setHeldAfter(ServiceOp op, int passes);
    // Calls of `op` waiting at that gate now.
    int heldCalls(ServiceOp op);
    BWError setSyncLocked(qint64 nid, bool locked);
    BWError setEditLocked(qint64 nid, bool locked);
    // While frozen, readRange of the file fails with kCloudErrorFrozen.
    BWError setFrozen(qint64 nid, bool frozen);
    void clearFaults();

    // Adds ready-made nodes in one transaction (seeding trees for tests and benchmarks). Each
    // node's nid, pid, name, isDir, size, mtime and category are taken; the path is derived, the
    // parent must exist or come earlier in the list; files get no content.
    BWError importNodes(const NodeList& nodes);

    // The database, for checks in tests (after the verdict on the file).
    Database& database() {
        (void)awaitSound(); // tests read it once the check is over
        return *m_db;
    }
    // Every committed file's blocks are present and match their SHA-1, and the file's SHA-1
    // matches its blocks; the first problem found, else a null error.
    BWError verifyContent();

    // CloudService
    Result<ServiceAccount> account() override;
    Result<NodePage> fetchAllNodes(qint64 afterNid, int limit) override;
    Result<NodePage> fetchChanges(qint64 sinceVersion, int limit) override;
    Result<qint64> currentVersion() override;
    Result<ServiceNode> node(qint64 nid) override;
    Result<ServiceNode> nodeByPath(const QString& path) override;
    Result<NodeList> children(qint64 folderId) override;
    Result<ServiceNode> createFolder(qint64 parentId, const QString& name) override;
    Result<ServiceNode> createFolderAtPath(const QString& path) override;
    Result<ServiceNode> rename(qint64 nid, const QString& newName) override;
    Result<ServiceNode> move(qint64 nid, qint64 newParentId, const QString& newName = {}) override;
    Result<ServiceNode> copy(qint64 nid, qint64 newParentId, const QString& newName = {}) override;
    BWError remove(const QList<qint64>& nids) override;
    Result<UploadSession> beginUpload(qint64 parentId, const QString& name, quint64 size,
                                      const QString& fileSha1, const QStringList& blockSha1s) override;
    BWError putBlock(const QString& uploadId, int index, const QByteArray& bytes,
                     const QString& sha1) override;
    Result<ServiceNode> commitUpload(const QString& uploadId, bool replaceExisting = false,
                                     const QString& fileSha1 = {}) override;
    BWError cancelUpload(const QString& uploadId) override;
    Result<ServiceNode> uploadSmallFile(qint64 parentId, const QString& name, const QByteArray& bytes,
                                        const QString& sha1, bool replaceExisting,
                                        const std::function<bool()>& stopped = {}) override;
    Result<QByteArray> readRange(qint64 nid, quint64 offset, quint64 length) override;
    Result<QStringList> blockSha1s(qint64 nid) override;
    Result<QByteArray> thumbnail(qint64 nid, int width, int height) override;
    Result<QVariantMap> createShare(const QList<qint64>& nids) override;
    Result<QVariantMap> share(const QString& sid) override;
    BWError cancelSharesByPaths(const QStringList& paths) override;
    BWError cancelShare(const QString& shortUrl) override;
    BWError deleteShare(const QString& shortUrl) override;
    Result<QVariantList> listShares(int start, int count) override;
    Result<QString> setSharePassword(const QString& shortUrl, const QString& password) override;
    Result<QVariantMap> setShareExpire(const QString& shortUrl, const QString& expireId) override;
    Result<QString> loginJumpUrl(const QString& key) override;
    Result<qint64> submitFeedback(const FeedbackReport& report) override;

private:
    EmbeddedCloudService(QString folder, std::unique_ptr<Database> db, std::unique_ptr<BlobStore> blobs);
    BWError createSchema();
    // Waits for the verdict of the check run beside and makes the schema once the file is found
    // sound; the error every call fails with when it is not.
    BWError awaitSound();
    // Applies injected faults and delays for `op`; a set error means "fail now".
    BWError enterOp(ServiceOp op);
    BWError setFlag(qint64 nid, const char* column, bool on);

    // Whole node rows; `where` follows "FROM nodes WHERE".
    Query nodeQuery(const QString& where);
    // Appends the live nodes with ids in [from, to] to `out` in id order, read in parts on several
    // cores, each on a reader connection of its own. Only inside a transaction of the main
    // connection, so that all of them read one state.
    BWError readLiveNodesInParts(qint64 from, qint64 to, NodeList& out);
    Result<ServiceNode> loadNode(qint64 nid);
    Result<ServiceNode> liveNode(qint64 nid);
    // A live node whose content can be read: folders are refused.
    Result<ServiceNode> liveFile(qint64 nid);
    Result<ServiceNode> liveFolder(qint64 nid);
    Result<qint64> childIdByName(qint64 pid, const QString& name);
    Result<qint64> nextVersion();
    Result<ServiceNode> relocate(qint64 nid, qint64 newParentId, const QString& newName);
    BWError checkPlacement(const ServiceNode& node, const ServiceNode& dest, const QString& name,
                           bool allowSelf);
    BWError insertCopy(const ServiceNode& src, qint64 pid, const QString& name, const QString& path,
                       qint64 version, qint64* newId);
    // A block's bytes, checked against its size and SHA-1: from the store, else from the copy
    // in the database (blocks of files of one block are kept there).
    Result<QByteArray> readBlock(const QString& sha1, qint64 expectedSize);
    // The database's copy of a block; an error when it holds none.
    Result<QByteArray> blockBytesInDatabase(const QString& sha1);
    // Reads block `i` of an upload back (its size checked), from the store or the database; the
    // blocks `inDatabase` (whose files in the store were found unsound) from the database only.
    std::function<Result<QByteArray>(int)> blockReader(quint64 size, const QStringList& blocks,
                                                       const QSet<QString>& inDatabase = {});
    // The block list of a file with content, checked to be whole and in order.
    Result<QStringList> fileBlocks(const ServiceNode& file);
    // This process's progress of an upload (made from its row on first use, which saves reading
    // the declaration for every block); forgotten when the upload ends.
    Result<std::shared_ptr<UploadProgress>> uploadProgress(const QString& uploadId);
    void forgetProgress(const QString& uploadId);
    // Records a block written to the store, returning once its row is in the database. Rows
    // that arrive while a batch is being written go together in the next one.
    BWError recordBlockRow(const QString& sha1, qint64 size);
    Result<QByteArray> readContent(const ServiceNode& file, quint64 offset, quint64 length);
    Result<QString> uploadPlacement(qint64 parentId, const QString& name, bool replaceExisting,
                                    qint64* replacedId);
    // The rows of a committed file (inside a commit group's write): its node, replacing one of
    // the same name when asked, and its block list.
    Result<ServiceNode> insertCommittedFile(qint64 parentId, const QString& name, quint64 size,
                                            const QString& fileSha1, const QStringList& blocks,
                                            bool replaceExisting);
    BWError refreshLinkFlags(const QList<qint64>& nids);
    Result<QVariantMap> shareRecord(const QString& column, const QString& key);
    Result<qint64> sidOf(const QString& shortUrl);
    BWError endShares(const QList<qint64>& sids, bool deleteRecords);
    // Ends the working links of the nodes a delete at `version` removed.
    BWError lapseSharesOfRemoved(qint64 version);
    BWError endShareByShortUrl(const QString& shortUrl, bool deleteRecord);

    QString m_folder;
    std::unique_ptr<Database> m_db;
    std::unique_ptr<BlobStore> m_blobs;
    std::unique_ptr<CommitGroup> m_commits;
    // Read-only connections that share out the reading of a large page; opened on first use and
    // used only under a transaction of m_db, which keeps their use serial.
    std::vector<std::unique_ptr<Database>> m_readers;

    std::future<QString> m_check; // the verdict on a file made before, while it is pending
    std::once_flag m_checked;
    BWError m_unsound;
    bool m_accountSound = false; // the account table alone was found sound on open

    struct BlockRows {
        QHash<QString, qint64> rows;
        BWError error;
        bool done = false;
    };
    std::mutex m_blockRowsMutex;
    std::condition_variable m_blockRowsDone;
    std::shared_ptr<BlockRows> m_blockRows = std::make_shared<BlockRows>(); // still gathering
    bool m_blockRowsWriting = false;

    QMutex m_progressMutex;
    QHash<QString, std::shared_ptr<UploadProgress>> m_progress;

    // Standard locks, not Qt's: a wait on a QWaitCondition unlocks and relocks inside Qt, where
    // the thread sanitizer cannot see it, and the held gate is waited on from many threads.
    std::mutex m_faultMutex;
    QHash<int, QPair<int, BWError>> m_failures;
    QHash<int, int> m_delays;
    QSet<int> m_held;
    QHash<int, int> m_passesBeforeHold;
    QHash<int, int> m_waitingAtGate;
    std::condition_variable m_released;
};

} // namespace nubo
