#include "transfer/KZUploadMgr.h"

#include "foundation/Log.h"
#include "foundation/SingletonT.h"
#include "transfer/BlockHasher.h"
#include "transfer/CloudPaths.h"
#include "transfer/Lanes.h"
#include "transfer/PosixFile.h"
#include "transfer/SessionBridge.h"
#include "transfer/TransferErrors.h"

#include <QFile>
#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nubo::transfer {

KZUploadMgr& KZUploadMgr::shared() {
    return SingletonT<KZUploadMgr>::instance();
}

TransferJobRecord KZUploadMgr::makeJob(const QString& diskPath, const QString& cloudPath, qint64 size,
                                       bool replace) {
    TransferJobRecord rec;
    rec.path = cloudPath;
    rec.source = diskPath;
    rec.size = size;
    rec.replace = replace;
    return rec;
}

namespace {

bool isCloudError(const BWError& e, int code) {
    return e.domain() == BWError::kDomainCloud && e.code() == code;
}

QStringList toHex(const QList<QByteArray>& raw) {
    QStringList out;
    out.reserve(raw.size());
    for (const QByteArray& b : raw)
        out.append(QString::fromLatin1(b.toHex()));
    return out;
}

// Sends the blocks the service does not hold yet, a few at a time; each block is recorded as
// sent the moment the service has taken it.
BWError sendBlocks(int fd, const TransferJobRecord& rec, const UploadSession& session,
                   const QStringList& sha1s, WorkerContext& ctx) {
    const int n = int(sha1s.size());
    std::atomic<int> nextIndex{0};
    std::atomic<qint64> doneBytes{0};
    int toSend = 0;
    for (int i = 0; i < n; ++i) {
        if (i < session.present.size() && session.present[i])
            doneBytes += qMin(kBlockSize, rec.size - qint64(i) * kBlockSize);
        else
            ++toSend;
    }
    ctx.progress(doneBytes);

    BlockMarks marks(ctx.table(), rec.id);
    auto lane = [&]() -> BWError {
        QByteArray buffer(int(kBlockSize), Qt::Uninitialized);
        for (;;) {
            if (ctx.stopped())
                return transferError(kErrCancelled, rec.source);
            const int i = nextIndex++;
            if (i >= n)
                return {};
            if (i < session.present.size() && session.present[i])
                continue;
            const qint64 off = qint64(i) * kBlockSize;
            const qint64 len = qMin(kBlockSize, rec.size - off);
            if (!readFully(fd, buffer.data(), len, off))
                return transferError(kErrLocalChanged, rec.source);
            const QByteArray bytes = QByteArray::fromRawData(buffer.constData(), int(len));
            if (BWError e = ctx.service().putBlock(session.uploadId, i, bytes, sha1s[i])) {
                // The service refuses bytes that differ from their hash: the file changed.
                if (isCloudError(e, kCloudErrorBlockHashMismatch))
                    return transferError(kErrLocalChanged, rec.source);
                return e;
            }
            if (BWError e = marks.add(i))
                return e;
            ctx.progress(doneBytes += len);
        }
    };
    // No more lanes than blocks to send: a small file needs no helper threads.
    BWError error = runLanes(qBound(1, toSend, KZUploadMgr::kParallelBlocks), lane);
    if (BWError e = marks.flush(); !error)
        error = e;
    return error;
}

// An earlier run of the job may have committed the very file just before it stopped: then the
// job's work is done.
bool committedBefore(const TransferJobRecord& rec, const QString& fileSha1, WorkerContext& ctx) {
    auto there = ctx.service().nodeByPath(rec.path);
    return there.ok() && !there.value.isDir && there.value.fileHash == fileSha1;
}

// A file of at most one block: read once, hashed once (the block's hash is the file's), and
// handed to the service with its commit in one call. Nothing to resume: a stopped one is sent
// again whole.
BWError sendSmallFile(int fd, qint64 size, const TransferJobRecord& rec, WorkerContext& ctx,
                      const std::function<void()>& committed) {
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    struct stat st {};
    if (!readFully(fd, bytes.data(), size, 0) || ::fstat(fd, &st) != 0 || st.st_size != size)
        return transferError(kErrLocalChanged, rec.source);
    const QString sha1 = Sha1::of(bytes);
    if (rec.size != size)
        ctx.updateRecord([size](TransferJobRecord& r) { r.size = size; });
    if (ctx.stopped())
        return transferError(kErrCancelled, rec.source);
    auto parent = ctx.service().nodeByPath(cloudParentPath(rec.path));
    if (!parent.ok())
        return parent.error;
    auto made = ctx.service().uploadSmallFile(parent.value.nid, cloudFileName(rec.path), bytes, sha1,
                                              rec.replace, [&ctx] { return ctx.stopped(); });
    const BWError& error = made.error;
    if (!error) {
        committed();
        return {};
    }
    if (isCloudError(error, kCloudErrorUploadStopped))
        return transferError(kErrCancelled, rec.source);
    if (isCloudError(error, kCloudErrorBlockHashMismatch))
        return transferError(kErrLocalChanged, rec.source);
    if (isCloudError(error, kCloudErrorNameExists) && committedBefore(rec, sha1, ctx))
        return {};
    return error;
}

} // namespace

BWError KZUploadMgr::work(const TransferJobRecord& rec, WorkerContext& ctx) {
    struct stat st {};
    Fd fd;
    if (BWError e = openSourceFile(rec.source, fd, st))
        return e;
    reachedStep("opened", rec);
    const qint64 size = st.st_size;
    const qint64 mtime = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    // A small file whose upload an earlier version began is finished the way it was begun.
    if (size <= kBlockSize && rec.uploadId.isEmpty())
        return sendSmallFile(fd.get(), size, rec, ctx, [&rec] { reachedStep("committed", rec); });

    // Split and hash the blocks, unless the stored hashes still describe the file. The whole
    // file's hash is only needed at the commit: it is worked out while the blocks are sent.
    QString fileSha1;
    QStringList sha1s;
    if (rec.size == size && rec.sourceMtime == mtime) {
        auto stored = ctx.table().blockSha1s(rec.id);
        if (stored.ok() && stored.value.size() == blockCountForSize(size)) {
            sha1s = stored.value;
            fileSha1 = rec.fileSha1;
        }
    }
    // The whole file's hash is only needed at the commit, and a file of one block is its block:
    // it is worked out in one pass beside the block hashing and the sending.
    std::atomic<bool> giveUp{false};
    std::future<BWError> wholeHash;
    QByteArray wholeRaw;
    if (fileSha1.isEmpty() && blockCountForSize(size) > 1) {
        wholeHash = std::async(std::launch::async, [&] {
            return hashWhole(rec.source, size, wholeRaw, [&] { return giveUp || ctx.stopped(); });
        });
    }
    // Every way out stops the hashing thread and waits for it, so it never outlives the job's data.
    struct StopHash {
        std::atomic<bool>& flag;
        std::future<BWError>& f;
        ~StopHash() {
            flag = true;
            if (f.valid())
                f.wait();
        }
    } stopHash{giveUp, wholeHash};
    // The whole file's hash, once the blocks are sent (waits for the hashing thread).
    auto finishWholeHash = [&]() -> BWError {
        if (!wholeHash.valid())
            return {};
        if (BWError e = wholeHash.get())
            return e;
        fileSha1 = QString::fromLatin1(wholeRaw.toHex());
        const QString known = fileSha1;
        ctx.updateRecord([known](TransferJobRecord& r) { r.fileSha1 = known; });
        return {};
    };

    if (sha1s.size() != blockCountForSize(size)) {
        FileDigest digest;
        if (BWError e = hashBlocks(rec.source, digest, [&ctx] { return ctx.stopped(); }))
            return e;
        if (digest.size != size)
            return transferError(kErrLocalChanged, rec.source);
        sha1s = toHex(digest.blockSha1s);
        if (BWError e = ctx.table().setBlocks(rec.id, sha1s))
            return e;
        ctx.updateRecord([size, mtime](TransferJobRecord& r) {
            r.fileSha1.clear();
            r.size = size;
            r.sourceMtime = mtime;
        });
    }
    if (sha1s.size() <= 1)
        fileSha1 = sha1s.isEmpty() ? QString::fromLatin1(Sha1::raw(nullptr, 0).toHex()) : sha1s.first();
    if (ctx.stopped())
        return transferError(kErrCancelled, rec.source);

    // Upload address: the destination folder.
    auto parent = ctx.service().nodeByPath(cloudParentPath(rec.path));
    if (!parent.ok())
        return parent.error;

    // Upload request: the service answers which blocks it already holds. An upload that the
    // service no longer knows (cancelled by a job of the same file that went) is begun again,
    // and so is one whose commit found some held block missing or damaged (sent again then).
    const QString name = cloudFileName(rec.path);
    TransferJobRecord current = rec;
    current.size = size;
    BWError error;
    for (int attempt = 0; attempt < 3; ++attempt) {
        auto session = ctx.service().beginUpload(parent.value.nid, name, quint64(size), QString(), sha1s);
        if (!session.ok())
            return session.error;
        reachedStep("began", rec);
        if (session.value.uploadId != current.uploadId) {
            const QString id = session.value.uploadId;
            current.uploadId = id;
            ctx.updateRecord([id](TransferJobRecord& r) { r.uploadId = id; });
        }
        error = sendBlocks(fd.get(), current, session.value, sha1s, ctx);
        if (!error && ctx.stopped())
            return transferError(kErrCancelled, rec.source);
        if (!error)
            error = finishWholeHash();
        // Commit: the service makes the file node (and adds it to the tree).
        if (!error) {
            error = ctx.service().commitUpload(session.value.uploadId, rec.replace, fileSha1).error;
            if (!error)
                reachedStep("committed", rec);
        }
        if (!isCloudError(error, kCloudErrorUploadNotFound) && !isCloudError(error, kCloudErrorBlockMissing))
            break;
    }
    if (isCloudError(error, kCloudErrorFileHashMismatch)) {
        // The blocks were hashed in one read and the whole file in another: it changed between
        // them. The next attempt hashes it afresh.
        ctx.updateRecord([](TransferJobRecord& r) { r.sourceMtime = 0; });
        return transferError(kErrLocalChanged, rec.source);
    }
    if (isCloudError(error, kCloudErrorNameExists)) {
        if (committedBefore(rec, fileSha1, ctx)) {
            // The upload this run began is not needed: the service closes it.
            nubo::warnIfFailed(lcTransfer(), ctx.service().cancelUpload(current.uploadId),
                               "closing an upload that was not needed");
            return {};
        }
    }
    return error;
}

void KZUploadMgr::discard(const TransferJobRecord& rec) {
    if (!rec.uploadId.isEmpty() && service())
        nubo::warnIfFailed(lcTransfer(), service()->cancelUpload(rec.uploadId), "closing a discarded upload");
}

void KZUploadMgr::jobFinished(const TransferJobRecord&) {
    cloudTreeChanged();
}

} // namespace nubo::transfer
