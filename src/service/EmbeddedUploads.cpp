// Content of the embedded service: uploads by block, range reads, thumbnails and the content check.
#include "service/BlobStore.h"
#include "service/CommitGroup.h"
#include "service/EmbeddedCloudService.h"
#include "service/ServiceInternal.h"
#include "service/Sha1.h"
#include "service/UploadProgress.h"

#include <QBuffer>
#include <QDateTime>
#include <QImage>
#include <QImageReader>
#include <QRandomGenerator>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace nubo {

using namespace service_detail;

namespace {

constexpr quint64 kMaxFileSize = quint64(1) << 50;
constexpr quint64 kMaxReadLength = 64 * 1024 * 1024;

qint64 blockCountFor(quint64 size) {
    return qint64((size + CloudService::kBlockSize - 1) / CloudService::kBlockSize);
}

qint64 blockSizeAt(quint64 size, qint64 index) {
    const quint64 start = quint64(index) * CloudService::kBlockSize;
    return qint64(qMin<quint64>(CloudService::kBlockSize, size - start));
}

BWError badArgument(const QString& msg) {
    return cloudError(kCloudErrorInvalidArgument, msg);
}

BWError uploadNotFound() {
    return cloudError(kCloudErrorUploadNotFound, QStringLiteral("上传任务不存在或已结束"));
}

BWError corrupt(const QString& what) {
    return cloudError(kCloudErrorDataCorrupt, QStringLiteral("文件数据已损坏：%1").arg(what));
}

// A commit refused for want of blocks; "missing" lists their indexes.
BWError blocksMissing(const QVariantList& missing) {
    return BWError(BWError::kDomainCloud, kCloudErrorBlockMissing,
                   {{BWError::kErrMsgKey, QStringLiteral("文件分块不完整，缺少%1块").arg(missing.size())},
                    {QStringLiteral("missing"), missing}});
}

// Runs fn(0) ... fn(n - 1) on a few threads.
void forEachParallel(int n, const std::function<void(int)>& fn) {
    std::atomic<int> next{0};
    auto worker = [&] {
        for (int i = next++; i < n; i = next++)
            fn(i);
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < qMin(n, 8); ++t)
        helpers.emplace_back(worker);
    worker();
    for (auto& h : helpers)
        h.join();
}

// Whether `bytes` were read and are the block of that SHA-1 and size.
bool isBlock(const Result<QByteArray>& bytes, const QString& sha1, qint64 size) {
    return bytes.ok() && bytes.value.size() == size && Sha1::of(bytes.value) == sha1;
}

struct UploadRow {
    qint64 pid = 0;
    QString name;
    quint64 size = 0;
    QString sha1;
    QStringList blocks;
};

} // namespace

Result<UploadSession> EmbeddedCloudService::beginUpload(qint64 parentId, const QString& name, quint64 size,
                                                        const QString& fileSha1,
                                                        const QStringList& blockSha1s) {
    using R = Result<UploadSession>;
    if (BWError err = enterOp(ServiceOp::BeginUpload))
        return R::failure(err);
    if (BWError err = validateName(name))
        return R::failure(err);
    if (size > kMaxFileSize)
        return R::failure(badArgument(QStringLiteral("文件过大")));
    if (!fileSha1.isEmpty() && !Sha1::isValidHex(fileSha1))
        return R::failure(badArgument(QStringLiteral("文件校验值无效")));
    if (blockSha1s.size() != blockCountFor(size))
        return R::failure(badArgument(QStringLiteral("分块数量与文件大小不符")));
    QStringList blocks;
    blocks.reserve(blockSha1s.size());
    for (const QString& b : blockSha1s) {
        if (!Sha1::isValidHex(b))
            return R::failure(badArgument(QStringLiteral("分块校验值无效")));
        blocks.append(b.toLower());
    }
    const QString sha1 = fileSha1.toLower();
    const QString blockList = blocks.join(QLatin1Char(','));

    // Losing the upload's row in a power cut only makes the client begin it again.
    Database::Transaction t(*m_db, Database::Transaction::Sync::Unsynced);
    if (t.error())
        return R::failure(storageFailure(t.error()));
    auto parent = liveFolder(parentId);
    if (!parent.ok())
        return R::failure(parent.error);
    UploadSession session;
    {
        // The same file to the same place resumes the upload already begun.
        Query q =
            m_db->query(QStringLiteral("SELECT upload_id FROM uploads WHERE pid = ? AND name = ? AND size = ?"
                                       " AND sha1 = ? AND block_list = ?"));
        q.bind(1, parentId).bind(2, name).bind(3, qint64(size)).bind(4, sha1).bind(5, blockList);
        if (q.next())
            session.uploadId = q.text(0);
        else if (q.error())
            return R::failure(storageFailure(q.error()));
    }
    if (session.uploadId.isEmpty()) {
        auto* rng = QRandomGenerator::system();
        session.uploadId = QString::number(rng->generate64(), 16).rightJustified(16, QLatin1Char('0')) +
                           QString::number(rng->generate64(), 16).rightJustified(16, QLatin1Char('0'));
        Query ins = m_db->query(QStringLiteral("INSERT INTO uploads (upload_id, pid, name, size, sha1, "
                                               "block_list, ctime) VALUES (?, ?, ?, ?, ?, ?, ?)"));
        ins.bind(1, session.uploadId).bind(2, parentId).bind(3, name).bind(4, qint64(size)).bind(5, sha1);
        if (BWError err = ins.bind(6, blockList).bind(7, qint64(QDateTime::currentSecsSinceEpoch())).exec())
            return R::failure(storageFailure(err));
    }
    session.blockCount = int(blocks.size());
    Query has = m_db->query(QStringLiteral("SELECT 1 FROM blocks WHERE sha1 = ?"));
    for (const QString& b : blocks) {
        has.bind(1, b);
        session.present.append(has.next());
        if (has.error())
            return R::failure(storageFailure(has.error()));
        has.reset();
    }
    if (BWError err = t.commit())
        return R::failure(storageFailure(err));
    return {session, {}};
}

static Result<UploadRow> loadUpload(Database& db, const QString& uploadId) {
    Query q =
        db.query(QStringLiteral("SELECT pid, name, size, sha1, block_list FROM uploads WHERE upload_id = ?"));
    q.bind(1, uploadId);
    if (!q.next())
        return Result<UploadRow>::failure(q.error() ? storageFailure(q.error()) : uploadNotFound());
    UploadRow row;
    row.pid = q.int64(0);
    row.name = q.text(1);
    row.size = quint64(q.int64(2));
    row.sha1 = q.text(3);
    const QString list = q.text(4);
    if (!list.isEmpty())
        row.blocks = list.split(QLatin1Char(','));
    return {row, {}};
}

BWError EmbeddedCloudService::putBlock(const QString& uploadId, int index, const QByteArray& bytes,
                                       const QString& sha1) {
    if (BWError err = enterOp(ServiceOp::PutBlock))
        return err;
    auto found = uploadProgress(uploadId);
    if (!found.ok())
        return found.error;
    UploadProgress& progress = *found.value;
    if (index < 0 || index >= progress.blocks().size())
        return badArgument(QStringLiteral("分块序号无效：%1").arg(index));
    const QString& declared = progress.blocks().at(index);
    if (bytes.size() != blockSizeAt(progress.size(), index))
        return badArgument(QStringLiteral("分块%1大小不符").arg(index));
    const QString actual = Sha1::of(bytes);
    if (sha1.toLower() != actual || declared != actual)
        return cloudError(kCloudErrorBlockHashMismatch, QStringLiteral("分块%1校验失败").arg(index));
    if (!progress.isOnDisk(actual)) {
        // A block already under its name (held for another file) is kept, unless its copy is not
        // sound (one that never reached the disk before a power cut, say).
        if (BWError err = m_blobs->write(actual, bytes))
            return err;
        // A big file's blocks reach the disk while the rest are sent, not all at its commit.
        if (progress.blocks().size() > 1)
            m_blobs->syncSoon(actual);
        // The row only spares sending the block again; the commit syncs the block itself.
        if (BWError err = recordBlockRow(actual, bytes.size()))
            return storageFailure(err);
        progress.markOnDisk(actual);
    }
    progress.add(index, bytes);
    return {};
}

BWError EmbeddedCloudService::recordBlockRow(const QString& sha1, qint64 size) {
    std::unique_lock lock(m_blockRowsMutex);
    const std::shared_ptr<BlockRows> mine = m_blockRows;
    mine->rows.insert(sha1, size);
    while (!mine->done) {
        if (m_blockRowsWriting) {
            m_blockRowsDone.wait(lock);
            continue;
        }
        // This thread writes every row gathered so far, its own among them.
        m_blockRowsWriting = true;
        const std::shared_ptr<BlockRows> batch = std::exchange(m_blockRows, std::make_shared<BlockRows>());
        lock.unlock();
        BWError err;
        {
            // Losing these rows in a power cut only makes the blocks be sent again.
            Database::Transaction t(*m_db, Database::Transaction::Sync::Unsynced);
            err = t.error();
            Query ins =
                m_db->query(QStringLiteral("INSERT OR IGNORE INTO blocks (sha1, size) VALUES (?, ?)"));
            for (auto it = batch->rows.cbegin(); it != batch->rows.cend() && !err; ++it) {
                err = ins.bind(1, it.key()).bind(2, it.value()).exec();
                ins.reset();
            }
            if (!err)
                err = t.commit();
        }
        lock.lock();
        batch->error = err;
        batch->done = true;
        m_blockRowsWriting = false;
        m_blockRowsDone.notify_all();
    }
    return mine->error;
}

Result<QByteArray> EmbeddedCloudService::readBlock(const QString& sha1, qint64 expectedSize) {
    auto bytes = m_blobs->read(sha1);
    if (isBlock(bytes, sha1, expectedSize))
        return bytes;
    if (auto kept = blockBytesInDatabase(sha1); isBlock(kept, sha1, expectedSize))
        return kept;
    return Result<QByteArray>::failure(corrupt(bytes.ok() ? sha1 : bytes.error.localizedDescription()));
}

Result<QByteArray> EmbeddedCloudService::blockBytesInDatabase(const QString& sha1) {
    Query q = m_db->query(QStringLiteral("SELECT data FROM block_bytes WHERE sha1 = ?"));
    q.bind(1, sha1);
    if (q.next())
        return {q.blob(0), {}};
    return Result<QByteArray>::failure(q.error() ? storageFailure(q.error()) : corrupt(sha1));
}

UploadProgress::ReadBlock EmbeddedCloudService::blockReader(quint64 size, const QStringList& blocks,
                                                            const QSet<QString>& inDatabase) {
    return [this, size, blocks, inDatabase](int i) -> Result<QByteArray> {
        const bool kept = inDatabase.contains(blocks.at(i));
        auto bytes = kept ? blockBytesInDatabase(blocks.at(i)) : m_blobs->read(blocks.at(i));
        if (!bytes.ok() && !kept)
            bytes = blockBytesInDatabase(blocks.at(i));
        if (bytes.ok() && bytes.value.size() != blockSizeAt(size, i))
            return Result<QByteArray>::failure(corrupt(blocks.at(i)));
        return bytes;
    };
}

Result<QString> EmbeddedCloudService::uploadPlacement(qint64 parentId, const QString& name,
                                                      bool replaceExisting, qint64* replacedId) {
    *replacedId = -1;
    auto parent = liveFolder(parentId);
    if (!parent.ok())
        return Result<QString>::failure(parent.error);
    auto existing = childIdByName(parentId, name);
    if (!existing.ok())
        return Result<QString>::failure(existing.error);
    if (existing.value >= 0) {
        auto other = loadNode(existing.value);
        if (!other.ok())
            return Result<QString>::failure(other.error);
        if (!replaceExisting || other.value.isDir)
            return Result<QString>::failure(
                cloudError(kCloudErrorNameExists, QStringLiteral("已存在同名文件：%1").arg(name)));
        *replacedId = existing.value;
    }
    return {childPath(parent.value.path, name), {}};
}

Result<ServiceNode> EmbeddedCloudService::commitUpload(const QString& uploadId, bool replaceExisting,
                                                       const QString& fileSha1) {
    using R = Result<ServiceNode>;
    if (BWError err = enterOp(ServiceOp::CommitUpload))
        return R::failure(err);
    auto up = loadUpload(*m_db, uploadId);
    if (!up.ok())
        return R::failure(up.error);
    const UploadRow& row = up.value;
    if (!fileSha1.isEmpty() && !Sha1::isValidHex(fileSha1))
        return R::failure(badArgument(QStringLiteral("文件校验值无效")));
    if (row.sha1.isEmpty() && fileSha1.isEmpty())
        return R::failure(badArgument(QStringLiteral("缺少文件校验值")));
    const QString declared = row.sha1.isEmpty() ? fileSha1.toLower() : row.sha1;
    if (!fileSha1.isEmpty() && fileSha1.toLower() != declared)
        return R::failure(
            cloudError(kCloudErrorFileHashMismatch, QStringLiteral("文件校验失败，请重新上传")));
    {
        QVariantList missing;
        Query has = m_db->query(QStringLiteral("SELECT 1 FROM blocks WHERE sha1 = ?"));
        for (int i = 0; i < row.blocks.size(); ++i) {
            has.bind(1, row.blocks.at(i));
            if (!has.next())
                missing.append(i);
            if (has.error())
                return R::failure(storageFailure(has.error()));
            has.reset();
        }
        if (!missing.isEmpty())
            return R::failure(blocksMissing(missing));
    }
    auto found = uploadProgress(uploadId);
    if (!found.ok())
        return R::failure(found.error);
    UploadProgress* progress = found.value.get();
    // Blocks this process has neither written nor checked (sent before a restart, or held for
    // another file) are checked on disk now. One that is missing or damaged loses its row, so
    // that the next upload request asks for it again. One kept in the database (the block of a
    // file of one block) is durable already, and is read from there, whatever lies in its place
    // in the folder.
    QSet<QString> inDatabase;
    {
        QStringList unchecked;
        QList<qint64> sizes;
        QSet<QString> seen;
        for (int i = 0; i < row.blocks.size(); ++i) {
            const QString& sha1 = row.blocks.at(i);
            if (!progress->isOnDisk(sha1) && !seen.contains(sha1)) {
                seen.insert(sha1);
                unchecked.append(sha1);
                sizes.append(blockSizeAt(row.size, i));
            }
        }
        enum : char { Damaged, OnDisk, InDatabase };
        std::vector<char> found(size_t(unchecked.size()), Damaged);
        forEachParallel(int(unchecked.size()), [&](int k) {
            const QString& sha1 = unchecked.at(k);
            if (m_blobs->isSound(sha1, sizes.at(k))) {
                found[size_t(k)] = OnDisk;
                progress->markOnDisk(sha1);
            } else if (isBlock(blockBytesInDatabase(sha1), sha1, sizes.at(k))) {
                found[size_t(k)] = InDatabase;
            }
        });
        QSet<QString> damaged;
        for (int k = 0; k < unchecked.size(); ++k) {
            if (found[size_t(k)] == Damaged)
                damaged.insert(unchecked.at(k));
            else if (found[size_t(k)] == InDatabase)
                inDatabase.insert(unchecked.at(k));
        }
        if (!damaged.isEmpty()) {
            QVariantList missing;
            for (int i = 0; i < row.blocks.size(); ++i)
                if (damaged.contains(row.blocks.at(i)))
                    missing.append(i);
            Query drop = m_db->query(QStringLiteral("DELETE FROM blocks WHERE sha1 = ?"));
            Query dropBytes = m_db->query(QStringLiteral("DELETE FROM block_bytes WHERE sha1 = ?"));
            for (const QString& sha1 : damaged) {
                if (BWError err = drop.bind(1, sha1).exec())
                    return R::failure(storageFailure(err));
                if (BWError err = dropBytes.bind(1, sha1).exec())
                    return R::failure(storageFailure(err));
                drop.reset();
                dropBytes.reset();
            }
            return R::failure(blocksMissing(missing));
        }
    }
    // The whole must also be the file that was declared. Most of it was hashed as the blocks
    // came in; what was not is read back here.
    auto whole = progress->finish(blockReader(row.size, row.blocks, inDatabase));
    if (!whole.ok())
        return R::failure(whole.error);
    if (whole.value != declared)
        return R::failure(
            cloudError(kCloudErrorFileHashMismatch, QStringLiteral("文件校验失败，请重新上传")));
    // Every block reaches the disk before the row that points to it; the commits of uploads that
    // finish together share one flush. A block kept in the database goes with the rows.
    QStringList distinct = row.blocks;
    distinct.removeDuplicates();
    distinct.removeIf([&](const QString& sha1) { return inDatabase.contains(sha1); });
    Result<ServiceNode> created;
    BWError err = m_commits->commit(distinct, [&]() -> BWError {
        if (auto again = loadUpload(*m_db, uploadId); !again.ok())
            return again.error; // committed or cancelled meanwhile by another thread
        created = insertCommittedFile(row.pid, row.name, row.size, declared, row.blocks, replaceExisting);
        if (created.error)
            return created.error;
        Query del = m_db->query(QStringLiteral("DELETE FROM uploads WHERE upload_id = ?"));
        if (BWError e = del.bind(1, uploadId).exec())
            return storageFailure(e);
        return {};
    });
    if (err)
        return R::failure(err);
    forgetProgress(uploadId);
    return created;
}

Result<ServiceNode> EmbeddedCloudService::insertCommittedFile(qint64 parentId, const QString& name,
                                                              quint64 size, const QString& fileSha1,
                                                              const QStringList& blocks,
                                                              bool replaceExisting) {
    using R = Result<ServiceNode>;
    qint64 replaced = -1;
    auto path = uploadPlacement(parentId, name, replaceExisting, &replaced);
    if (!path.ok())
        return R::failure(path.error);
    auto v = nextVersion();
    if (!v.ok())
        return R::failure(v.error);
    const qint32 ts = qint32(QDateTime::currentSecsSinceEpoch());
    if (replaced >= 0) {
        Query rm = m_db->query(QStringLiteral("UPDATE nodes SET status = 1, version = ? WHERE nid = ?"));
        if (BWError e = rm.bind(1, v.value).bind(2, replaced).exec())
            return R::failure(storageFailure(e));
        Query rec = m_db->query(QStringLiteral("INSERT INTO recycle (nid, path, dtime) VALUES (?, ?, ?)"));
        if (BWError e = rec.bind(1, replaced).bind(2, path.value).bind(3, ts).exec())
            return R::failure(storageFailure(e));
        if (BWError e = lapseSharesOfRemoved(v.value))
            return R::failure(e);
    }
    Query ins = m_db->query(QStringLiteral(
        "INSERT INTO nodes (pid, name, path, is_dir, size, mtime, ctime, category, file_hash, version)"
        " VALUES (?, ?, ?, 0, ?, ?, ?, ?, ?, ?)"));
    ins.bind(1, parentId).bind(2, name).bind(3, path.value).bind(4, qint64(size)).bind(5, ts).bind(6, ts);
    if (BWError e = ins.bind(7, categoryOf(name)).bind(8, fileSha1).bind(9, v.value).exec())
        return R::failure(storageFailure(e));
    const qint64 nid = m_db->lastInsertId();
    Query blk = m_db->query(QStringLiteral("INSERT INTO file_blocks (nid, idx, sha1) VALUES (?, ?, ?)"));
    for (int i = 0; i < blocks.size(); ++i) {
        if (BWError e = blk.bind(1, nid).bind(2, i).bind(3, blocks.at(i)).exec())
            return R::failure(storageFailure(e));
        blk.reset();
    }
    return loadNode(nid);
}

Result<ServiceNode> EmbeddedCloudService::uploadSmallFile(qint64 parentId, const QString& name,
                                                          const QByteArray& bytes, const QString& sha1,
                                                          bool replaceExisting,
                                                          const std::function<bool()>& stopped) {
    using R = Result<ServiceNode>;
    if (BWError err = enterOp(ServiceOp::PutBlock))
        return R::failure(err);
    if (BWError err = validateName(name))
        return R::failure(err);
    if (bytes.size() > kBlockSize)
        return R::failure(badArgument(QStringLiteral("文件大于一个分块")));
    if (!Sha1::isValidHex(sha1))
        return R::failure(badArgument(QStringLiteral("文件校验值无效")));
    // The one block is the whole file: one hash checks both.
    const QString actual = Sha1::of(bytes);
    if (sha1.toLower() != actual)
        return R::failure(cloudError(kCloudErrorBlockHashMismatch, QStringLiteral("分块0校验失败")));
    const QStringList blocks = bytes.isEmpty() ? QStringList() : QStringList{actual};
    if (stopped && stopped())
        return R::failure(cloudError(kCloudErrorUploadStopped, QStringLiteral("上传已停止")));
    // The block goes into the database with the file's rows: one sync of the log makes them all
    // durable, where a block file would cost a sync of its own (and of its folder) first.
    Result<ServiceNode> created;
    BWError err = m_commits->commit({}, [&]() -> BWError {
        if (!blocks.isEmpty()) {
            Query row =
                m_db->query(QStringLiteral("INSERT OR IGNORE INTO blocks (sha1, size) VALUES (?, ?)"));
            if (BWError e = row.bind(1, actual).bind(2, qint64(bytes.size())).exec())
                return storageFailure(e);
            Query kept =
                m_db->query(QStringLiteral("INSERT OR IGNORE INTO block_bytes (sha1, data) VALUES (?, ?)"));
            if (BWError e = kept.bind(1, actual).bind(2, bytes).exec())
                return storageFailure(e);
        }
        created = insertCommittedFile(parentId, name, quint64(bytes.size()), actual, blocks, replaceExisting);
        return created.error;
    });
    if (err)
        return R::failure(err);
    return created;
}

Result<std::shared_ptr<UploadProgress>> EmbeddedCloudService::uploadProgress(const QString& uploadId) {
    using R = Result<std::shared_ptr<UploadProgress>>;
    std::shared_ptr<UploadProgress> known;
    {
        QMutexLocker lock(&m_progressMutex);
        known = m_progress.value(uploadId);
    }
    // Still open: a commit or cancel forgets the progress as it ends the upload.
    if (known)
        return {known, {}};
    auto up = loadUpload(*m_db, uploadId);
    if (!up.ok())
        return R::failure(up.error);
    QMutexLocker lock(&m_progressMutex);
    auto& p = m_progress[uploadId];
    if (!p)
        p = std::make_shared<UploadProgress>(up.value.size, up.value.blocks,
                                             blockReader(up.value.size, up.value.blocks));
    return {p, {}};
}

void EmbeddedCloudService::forgetProgress(const QString& uploadId) {
    QMutexLocker lock(&m_progressMutex);
    m_progress.remove(uploadId);
}

BWError EmbeddedCloudService::cancelUpload(const QString& uploadId) {
    if (BWError err = awaitSound())
        return err;
    forgetProgress(uploadId);
    Query del = m_db->query(QStringLiteral("DELETE FROM uploads WHERE upload_id = ?"));
    if (BWError err = del.bind(1, uploadId).exec())
        return storageFailure(err);
    return m_db->changes() > 0 ? BWError() : uploadNotFound();
}

Result<QByteArray> EmbeddedCloudService::readContent(const ServiceNode& file, quint64 offset,
                                                     quint64 length) {
    using R = Result<QByteArray>;
    if (offset > file.size)
        return R::failure(badArgument(QStringLiteral("读取位置超出文件大小")));
    const quint64 end = offset + qMin(length, file.size - offset);
    QByteArray out;
    if (end == offset)
        return {out, {}};
    if (file.fileHash.isEmpty())
        return R::failure(corrupt(QStringLiteral("文件内容不存在")));
    const qint64 first = qint64(offset / kBlockSize);
    const qint64 last = qint64((end - 1) / kBlockSize);
    QList<QPair<qint64, QString>> blocks;
    {
        Query q = m_db->query(QStringLiteral(
            "SELECT idx, sha1 FROM file_blocks WHERE nid = ? AND idx BETWEEN ? AND ? ORDER BY idx"));
        q.bind(1, file.nid).bind(2, first).bind(3, last);
        while (q.next())
            blocks.append({q.int64(0), q.text(1)});
        if (q.error())
            return R::failure(storageFailure(q.error()));
    }
    if (blocks.size() != last - first + 1)
        return R::failure(corrupt(file.path));
    out.reserve(qsizetype(end - offset));
    for (const auto& [idx, sha1] : blocks) {
        auto bytes = readBlock(sha1, blockSizeAt(file.size, idx));
        if (!bytes.ok())
            return bytes;
        const quint64 blockStart = quint64(idx) * kBlockSize;
        const quint64 from = qMax(offset, blockStart) - blockStart;
        const quint64 to = qMin(end, blockStart + quint64(bytes.value.size())) - blockStart;
        if (blocks.size() == 1 && from == 0 && to == quint64(bytes.value.size()))
            return bytes; // exactly one whole block: no copy
        out.append(bytes.value.constData() + from, qsizetype(to - from));
    }
    return {out, {}};
}

Result<QByteArray> EmbeddedCloudService::readRange(qint64 nid, quint64 offset, quint64 length) {
    using R = Result<QByteArray>;
    if (BWError err = enterOp(ServiceOp::ReadRange))
        return R::failure(err);
    auto n = liveFile(nid);
    if (!n.ok())
        return R::failure(n.error);
    // A length reaching past the end is clipped first: "the rest of the file" is a fair request.
    if (offset <= n.value.size && qMin(length, n.value.size - offset) > kMaxReadLength)
        return R::failure(badArgument(QStringLiteral("一次读取的长度过大")));
    bool frozen = false;
    {
        Query fz = m_db->query(QStringLiteral("SELECT frozen FROM nodes WHERE nid = ?"));
        fz.bind(1, nid);
        frozen = fz.next() && fz.int64(0) != 0;
    }
    if (frozen)
        return R::failure(cloudError(kCloudErrorFrozen, QStringLiteral("文件已冻结，请等待解冻后下载")));
    // Blocks are read outside the database lock: they never change once written.
    return readContent(n.value, offset, length);
}

Result<ServiceNode> EmbeddedCloudService::liveFile(qint64 nid) {
    auto n = liveNode(nid);
    if (n.ok() && n.value.isDir)
        return Result<ServiceNode>::failure(
            cloudError(kCloudErrorNotFile, QStringLiteral("不能下载文件夹的内容")));
    return n;
}

Result<QStringList> EmbeddedCloudService::fileBlocks(const ServiceNode& file) {
    using R = Result<QStringList>;
    QStringList blocks;
    Query q = m_db->query(QStringLiteral("SELECT idx, sha1 FROM file_blocks WHERE nid = ? ORDER BY idx"));
    q.bind(1, file.nid);
    while (q.next()) {
        if (q.int64(0) != blocks.size())
            return R::failure(corrupt(file.path));
        blocks.append(q.text(1));
    }
    if (q.error())
        return R::failure(storageFailure(q.error()));
    if (blocks.size() != blockCountFor(file.size))
        return R::failure(corrupt(file.path));
    return {blocks, {}};
}

Result<QStringList> EmbeddedCloudService::blockSha1s(qint64 nid) {
    using R = Result<QStringList>;
    if (BWError err = enterOp(ServiceOp::Lookup))
        return R::failure(err);
    auto n = liveFile(nid);
    if (!n.ok())
        return R::failure(n.error);
    if (n.value.size > 0 && n.value.fileHash.isEmpty())
        return R::failure(corrupt(QStringLiteral("文件内容不存在")));
    return fileBlocks(n.value);
}

Result<QByteArray> EmbeddedCloudService::thumbnail(qint64 nid, int width, int height) {
    using R = Result<QByteArray>;
    if (BWError err = enterOp(ServiceOp::Thumbnail))
        return R::failure(err);
    if (width < 1 || height < 1 || width > 4096 || height > 4096)
        return R::failure(badArgument(QStringLiteral("缩略图尺寸无效")));
    auto n = liveNode(nid);
    if (!n.ok())
        return R::failure(n.error);
    const BWError notImage = cloudError(kCloudErrorNotImage, QStringLiteral("该文件没有缩略图"));
    if (n.value.isDir || n.value.category != 1 || n.value.size > kMaxReadLength)
        return R::failure(notImage);
    auto bytes = readContent(n.value, 0, n.value.size);
    if (!bytes.ok())
        return bytes;
    // A true-colour picture larger than the box is decoded straight to the box's size: decoded
    // whole, a phone camera's photo is over Qt's allocation limit and would get no thumbnail at
    // all. Palette pictures (one byte a pixel or less) are scaled only after going true colour.
    QBuffer source(&bytes.value);
    source.open(QIODevice::ReadOnly);
    QImageReader reader(&source);
    const QImage::Format stored = reader.imageFormat();
    const bool palette = stored == QImage::Format_Mono || stored == QImage::Format_MonoLSB ||
                         stored == QImage::Format_Indexed8;
    if (const QSize full = reader.size(); !palette && (full.width() > width || full.height() > height)) {
        const QSize fit = full.scaled(width, height, Qt::KeepAspectRatio);
        if (!fit.isEmpty())
            reader.setScaledSize(fit);
    }
    QImage image = reader.read();
    if (image.isNull())
        return R::failure(notImage);
    // Palette and 1-bit images would be scaled and encoded in their few colours: go true colour.
    image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.width() > width || image.height() > height)
        image = image.scaled(width, height, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    const bool alpha = image.hasAlphaChannel();
    if (!image.save(&buffer, alpha ? "PNG" : "JPG", alpha ? -1 : 85))
        return R::failure(notImage);
    return {out, {}};
}

BWError EmbeddedCloudService::verifyContent() {
    if (BWError err = awaitSound())
        return err;
    NodeList files;
    {
        Query q = nodeQuery(QStringLiteral("is_dir = 0 AND file_hash != '' ORDER BY nid"));
        if (BWError err = readNodeRows(q, files))
            return err;
    }
    for (const ServiceNode& f : files) {
        auto list = fileBlocks(f);
        if (!list.ok())
            return list.error;
        const QStringList& blocks = list.value;
        Sha1 whole;
        for (int i = 0; i < blocks.size(); ++i) {
            auto bytes = readBlock(blocks.at(i), blockSizeAt(f.size, i));
            if (!bytes.ok())
                return bytes.error;
            whole.add(bytes.value);
        }
        if (whole.hex() != f.fileHash)
            return corrupt(f.path);
    }
    return {};
}

} // namespace nubo
