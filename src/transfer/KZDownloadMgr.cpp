#include "transfer/KZDownloadMgr.h"

#include "transfer/BlockHasher.h"
#include "transfer/Lanes.h"
#include "transfer/LocalTarget.h"
#include "transfer/PosixFile.h"
#include "transfer/TransferErrors.h"

#include <QFile>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace nubo::transfer {

KZDownloadMgr& KZDownloadMgr::shared() {
    // Lives until exit: workers and queued reports may still refer to it while the program ends.
    static KZDownloadMgr* instance = new KZDownloadMgr;
    return *instance;
}

TransferJobRecord KZDownloadMgr::makeJob(const ServiceNode& node, const QString& root,
                                         const QString& localPath, bool replace) {
    TransferJobRecord rec;
    rec.path = localPath;
    rec.source = node.path;
    rec.root = root;
    rec.nid = node.nid;
    rec.size = qint64(node.size);
    rec.fileSha1 = node.fileHash;
    rec.replace = replace;
    return rec;
}

namespace {

QByteArray native(const QString& p) {
    return QFile::encodeName(p);
}

// Blocks written so far, in any order, and a hasher that follows the written prefix in order.
class BlockBoard {
public:
    explicit BlockBoard(int n) : m_done(n, false) {}
    void set(int i) {
        std::lock_guard<std::mutex> l(m_mutex);
        m_done[i] = true;
        m_cv.notify_all();
    }
    void fail() {
        std::lock_guard<std::mutex> l(m_mutex);
        m_failed = true;
        m_cv.notify_all();
    }
    // Waits until block i is written; false when the fetch failed.
    bool waitFor(int i) {
        std::unique_lock<std::mutex> l(m_mutex);
        m_cv.wait(l, [&] { return m_done[i] || m_failed; });
        return m_done[i];
    }
    bool isDone(int i) {
        std::lock_guard<std::mutex> l(m_mutex);
        return m_done[i];
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<bool> m_done;
    bool m_failed = false;
};

} // namespace

BWError KZDownloadMgr::work(const TransferJobRecord& rec, WorkerContext& ctx) {
    auto node = ctx.service().node(rec.nid);
    if (!node.ok())
        return node.error;
    if (node.value.isDir)
        return transferError(kErrSourceMissing, rec.source);
    const qint64 size = qint64(node.value.size);
    const QString expected = node.value.fileHash;
    if (expected != rec.fileSha1 || size != rec.size) {
        // The cloud file changed since the job was made: start over from its new content.
        ctx.table().clearBlocks(rec.id);
        ::unlink(native(partialFile(rec.path, rec.id)).constData());
        ctx.updateRecord([expected, size](TransferJobRecord& r) {
            r.fileSha1 = expected;
            r.size = size;
        });
    }
    if (BWError e = checkLocalTarget(rec.root, rec.path, rec.replace, true))
        return e;

    // The partial file: in ".Download" beside the destination, never through a link. Another
    // job may remove the folder as it finishes, between our making it and opening in it.
    const QString folder = partialFolder(rec.path);
    const QString partial = partialFile(rec.path, rec.id);
    int opened = -1;
    for (int attempt = 0; attempt < 5 && opened < 0; ++attempt) {
        struct stat st {};
        if (::mkdir(native(folder).constData(), 0700) != 0 && errno != EEXIST)
            return transferError(kErrLocalWrite, folder);
        if (::lstat(native(folder).constData(), &st) != 0) {
            if (errno == ENOENT)
                continue;
            return transferError(kErrLocalWrite, folder);
        }
        if (!S_ISDIR(st.st_mode))
            return transferError(kErrUnsafeTarget, folder);
        opened = ::open(native(partial).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (opened < 0 && errno != ENOENT)
            return transferError(kErrLocalWrite, partial);
    }
    Fd fd(opened);
    if (fd.get() < 0)
        return transferError(kErrLocalWrite, partial);
    if (::ftruncate(fd.get(), size) != 0)
        return transferError(kErrLocalWrite, partial);

    // Blocks written before: kept when the partial file still holds what was recorded.
    const int n = blockCountForSize(size);
    BlockBoard board(n);
    auto done = ctx.table().doneBlocks(rec.id);
    if (!done.ok())
        return done.error;
    qint64 doneBytes = 0;
    {
        QByteArray buffer(int(kBlockSize), Qt::Uninitialized);
        for (auto it = done.value.cbegin(); it != done.value.cend(); ++it) {
            const int i = it.key();
            if (i < 0 || i >= n)
                continue;
            const qint64 len = qMin(kBlockSize, size - qint64(i) * kBlockSize);
            if (readFully(fd.get(), buffer.data(), len, qint64(i) * kBlockSize) &&
                QString::fromLatin1(Sha1::raw(buffer.constData(), len).toHex()) == it.value()) {
                board.set(i);
                doneBytes += len;
            }
        }
    }
    ctx.progress(doneBytes);

    // Fetch lanes write blocks in any order; the hasher follows them in order.
    std::atomic<int> nextIndex{0};
    std::atomic<qint64> progressBytes{doneBytes};
    std::mutex writeTurn;
    auto lane = [&]() -> BWError {
        for (;;) {
            if (ctx.stopped())
                return transferError(kErrCancelled, rec.path);
            const int i = nextIndex++;
            if (i >= n)
                return {};
            if (board.isDone(i))
                continue;
            const qint64 off = qint64(i) * kBlockSize;
            const qint64 len = qMin(kBlockSize, size - off);
            auto bytes = ctx.service().readRange(rec.nid, quint64(off), quint64(len));
            if (!bytes.ok())
                return bytes.error;
            if (bytes.value.size() != len)
                return transferError(kErrBlockHash, rec.source);
            {
                // Writes into one file serialize in the kernel anyway; taking turns here lets the
                // waiting lanes sleep instead of spinning on the file's lock.
                std::lock_guard<std::mutex> turn(writeTurn);
                if (!writeFully(fd.get(), bytes.value.constData(), len, off))
                    return transferError(kErrLocalWrite, partial);
            }
            const QString sha1 = Sha1::of(bytes.value);
            ctx.table().markBlockDone(rec.id, i, sha1);
            board.set(i);
            ctx.progress(progressBytes += len);
        }
    };
    auto hasher = std::async(std::launch::async, [&]() -> QString {
        Sha1 whole;
        QByteArray buffer(int(kBlockSize), Qt::Uninitialized);
        for (int i = 0; i < n; ++i) {
            if (!board.waitFor(i))
                return {};
            const qint64 len = qMin(kBlockSize, size - qint64(i) * kBlockSize);
            if (!readFully(fd.get(), buffer.data(), len, qint64(i) * kBlockSize))
                return {};
            whole.add(buffer.constData(), len);
        }
        return QString::fromLatin1(whole.result().toHex());
    });
    BWError error = runLanes(kParallelBlocks, lane);
    if (error)
        board.fail();
    const QString got = hasher.get();
    if (error)
        return error;
    if (!expected.isEmpty() && got != expected) {
        // Start the next attempt from nothing: something in the partial file is not the cloud's.
        ctx.table().clearBlocks(rec.id);
        ::unlink(native(partial).constData());
        return transferError(kErrBlockHash, rec.source);
    }

    // Into place: checked again right before the rename, which never follows a link.
    if (BWError e = checkLocalTarget(rec.root, rec.path, rec.replace, false))
        return e;
    const int flags = rec.replace ? 0 : RENAME_NOREPLACE;
    if (::renameat2(AT_FDCWD, native(partial).constData(), AT_FDCWD, native(rec.path).constData(), flags) !=
        0)
        return transferError(kErrLocalWrite, rec.path);
    ::rmdir(native(folder).constData());
    return {};
}

void KZDownloadMgr::discard(const TransferJobRecord& rec) {
    if (!isInsideRoot(rec.root, rec.path))
        return; // such a job never made a partial file, and must not remove one elsewhere
    ::unlink(native(partialFile(rec.path, rec.id)).constData());
    ::rmdir(native(partialFolder(rec.path)).constData());
}

bool KZDownloadMgr::thawed(const TransferJobRecord& rec) {
    if (!service())
        return false;
    auto probe = service()->readRange(rec.nid, 0, 1);
    return probe.ok() || probe.error.code() != kCloudErrorFrozen;
}

} // namespace nubo::transfer
