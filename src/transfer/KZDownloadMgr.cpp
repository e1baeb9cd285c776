#include "transfer/KZDownloadMgr.h"

#include "foundation/Log.h"
#include "foundation/SingletonT.h"
#include "transfer/BlockHasher.h"
#include "transfer/CloudPaths.h"
#include "transfer/Lanes.h"
#include "transfer/LocalTarget.h"
#include "transfer/PosixFile.h"
#include "transfer/TransferErrors.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <future>
#include <linux/magic.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace nubo::transfer {

KZDownloadMgr& KZDownloadMgr::shared() {
    return SingletonT<KZDownloadMgr>::instance();
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

// Blocks written so far, in any order, and the bytes of those the whole-file hash has not taken
// yet. The hash follows the blocks in order from memory; fetching runs at most `ahead` blocks
// past it, so a slow hash holds back the fetch instead of filling memory.
class BlockBoard {
public:
    BlockBoard(int n, int ahead) : m_done(n, false), m_bytes(n), m_ahead(ahead) {}
    // Block i is in the file from an earlier run: the hash reads it back from there.
    void setOnDisk(int i) {
        std::lock_guard<std::mutex> l(m_mutex);
        m_done[i] = true;
    }
    // Block i is written now; the hash takes `bytes`.
    void put(int i, QByteArray bytes) {
        std::lock_guard<std::mutex> l(m_mutex);
        m_bytes[i] = std::move(bytes);
        m_done[i] = true;
        if (i == m_wanted)
            m_arrived.notify_one();
    }
    // Wakes every waiter for good: a lane failed or stopped, or the hash did.
    void fail() {
        std::lock_guard<std::mutex> l(m_mutex);
        m_failed = true;
        m_arrived.notify_all();
        m_room.notify_all();
    }
    // Waits until block i may be fetched; false when the job failed meanwhile.
    bool waitForRoom(int i) {
        std::unique_lock<std::mutex> l(m_mutex);
        if (i < m_hashed + m_ahead)
            return !m_failed;
        ++m_roomWaiters;
        // Waits until the hash is a few blocks past the limit, so that one wake-up lets it fetch.
        m_room.wait(l, [&] { return i < m_hashed + m_ahead - kRoomStep || m_failed; });
        --m_roomWaiters;
        return !m_failed;
    }
    // Waits for block i and takes its bytes (null when they are to be read from the file);
    // false when the job failed first.
    bool take(int i, QByteArray& bytes) {
        std::unique_lock<std::mutex> l(m_mutex);
        m_wanted = i;
        m_arrived.wait(l, [&] { return m_done[i] || m_failed; });
        m_wanted = -1;
        if (!m_done[i])
            return false;
        bytes = std::exchange(m_bytes[i], QByteArray());
        return true;
    }
    // Blocks before i are hashed: lanes waiting for room may go on. They are woken a few blocks
    // at a time, not for every block.
    void hashedUpTo(int i) {
        std::lock_guard<std::mutex> l(m_mutex);
        m_hashed = i;
        if (m_roomWaiters > 0 && i % kRoomStep == 0)
            m_room.notify_all();
    }
    bool isDone(int i) {
        std::lock_guard<std::mutex> l(m_mutex);
        return m_done[i];
    }

private:
    static constexpr int kRoomStep = 8;
    std::mutex m_mutex;
    std::condition_variable m_arrived; // the hash waits for its next block
    std::condition_variable m_room;    // lanes wait for the hash to catch up
    std::vector<bool> m_done;
    std::vector<QByteArray> m_bytes;
    const int m_ahead;
    int m_hashed = 0;
    int m_wanted = -1;
    int m_roomWaiters = 0;
    bool m_failed = false;
};

} // namespace

namespace {

// Opens (making it when missing) the folder of partial files in `folder`, never through a link;
// errno when it cannot (ENOENT: another job removed it meanwhile).
int openPartialFolder(int folder, Fd& out) {
    if (::mkdirat(folder, kPartialFolderName, 0700) != 0 && errno != EEXIST)
        return errno;
    const int fd = ::openat(folder, kPartialFolderName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno;
    out.reset(fd);
    return 0;
}

// Held while a job makes the folder of partial files and creates its file in it, and while a
// finishing job removes the emptied folder: the folder cannot vanish between the two steps, however
// many jobs of one folder start and end at once.
std::mutex& partialFolderTurn() {
    static std::mutex m;
    return m;
}

// Removes the folder of partial files when no job holds a partial file in it any more.
void removePartialFolderIfEmpty(int folder) {
    std::lock_guard<std::mutex> turn(partialFolderTurn());
    ::unlinkat(folder, kPartialFolderName, AT_REMOVEDIR);
}

// Removes a job's partial file wherever it was kept, and the folder of partial files when that
// was the last one in it.
void removePartial(int folder, const QByteArray& name, qint64 jobId) {
    ::unlinkat(folder, partialName(name, jobId, true).constData(), 0);
    Fd partDir(::openat(folder, kPartialFolderName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (partDir.get() < 0)
        return;
    ::unlinkat(partDir.get(), partialName(name, jobId, false).constData(), 0);
    removePartialFolderIfEmpty(folder);
}

QByteArray entryName(const QString& path) {
    return QFile::encodeName(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
}

// Whether the file at `name` already holds exactly the cloud file's content.
bool holdsContent(int folder, const QByteArray& name, qint64 size, const QString& sha1) {
    Fd fd(::openat(folder, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != size)
        return false;
    Sha1 whole;
    QByteArray buffer(int(qMin<qint64>(qMax<qint64>(size, 1), 4 * kBlockSize)), Qt::Uninitialized);
    for (qint64 done = 0; done < size;) {
        const qint64 len = qMin<qint64>(buffer.size(), size - done);
        if (!readFully(fd.get(), buffer.data(), len, done))
            return false;
        whole.add(buffer.constData(), len);
        done += len;
    }
    return QString::fromLatin1(whole.result().toHex()) == sha1;
}

// Whether asking for pages over a hole of the file makes them in memory, as local file systems do,
// instead of reading zeros from a server.
bool fillsHolesInMemory(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0)
        return false;
    switch (fs.f_type) {
    case EXT4_SUPER_MAGIC:
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
        return true;
    default:
        return false;
    }
}

// The partial file, never through a link, made in `folder` itself (`beside`) or in its folder of
// partial files; a cloud file changed since the job was made starts it over. Something outside may
// still remove the folder of partial files between our making it and creating our file in it, so
// that is tried a few times. `partial` is the file as errors name it.
BWError openPartialFile(int folder, bool beside, const QByteArray& partName, bool startOver,
                        const QString& partial, Fd& partDir, Fd& fd) {
    for (int attempt = 0; attempt < 5 && fd.get() < 0; ++attempt) {
        std::lock_guard<std::mutex> turn(partialFolderTurn());
        if (beside) {
            partDir.reset(::dup(folder));
        } else if (const int err = openPartialFolder(folder, partDir); err == ENOENT) {
            continue;
        } else if (err) {
            return refuseNonFolder(partial, err);
        }
        if (startOver)
            ::unlinkat(partDir.get(), partName.constData(), 0);
        fd.reset(
            ::openat(partDir.get(), partName.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (fd.get() < 0 && errno != ENOENT)
            return errno == ELOOP ? transferError(kErrUnsafeTarget, partial)
                                  : localWriteError(partial, errno);
    }
    if (fd.get() < 0)
        return localWriteError(partial, ENOENT);
    return {};
}

// Marks on the board the blocks recorded as written before that the partial file still holds
// (same bytes as recorded); the bytes they make up.
qint64 keepWrittenBlocks(int fd, const QHash<int, QString>& recorded, qint64 size, BlockBoard& board) {
    const int n = blockCountForSize(size);
    struct stat st {};
    const qint64 had = ::fstat(fd, &st) == 0 ? st.st_size : 0;
    QByteArray buffer(int(kBlockSize), Qt::Uninitialized);
    qint64 kept = 0;
    for (auto it = recorded.cbegin(); it != recorded.cend(); ++it) {
        const int i = it.key();
        if (i < 0 || i >= n)
            continue;
        const qint64 len = qMin(kBlockSize, size - qint64(i) * kBlockSize);
        if (qint64(i) * kBlockSize + len <= had &&
            readFully(fd, buffer.data(), len, qint64(i) * kBlockSize) &&
            QString::fromLatin1(Sha1::raw(buffer.constData(), len).toHex()) == it.value()) {
            board.setOnDisk(i);
            kept += len;
        }
    }
    return kept;
}

// The whole-file hash: takes each block from memory as the lanes write it; only blocks kept from
// an earlier run are read back from the file. Empty when the job failed or a kept block could
// not be read.
QString hashInOrder(BlockBoard& board, int fd, int n, qint64 size) {
    Sha1 whole;
    QByteArray buffer;
    for (int i = 0; i < n; ++i) {
        QByteArray bytes;
        if (!board.take(i, bytes))
            return {};
        const qint64 len = qMin(kBlockSize, size - qint64(i) * kBlockSize);
        if (bytes.isNull()) {
            buffer.resize(len);
            if (!readFully(fd, buffer.data(), len, qint64(i) * kBlockSize)) {
                board.fail();
                return {};
            }
            bytes = buffer;
        }
        whole.add(bytes.constData(), len);
        board.hashedUpTo(i + 1);
    }
    return QString::fromLatin1(whole.result().toHex());
}

// Fetches every block the board does not hold yet into the partial file `fd` on parallel lanes,
// in any order, recording each as written; the hasher follows them in order. `got` is the whole
// file's hash (empty when a block kept from an earlier run could not be read back).
BWError fetchBlocks(const TransferJobRecord& rec, WorkerContext& ctx, int fd, qint64 size, qint64 doneBytes,
                    const QStringList& blockSha1s, const QString& partial, BlockBoard& board, QString& got) {
    const int n = blockCountForSize(size);
    std::atomic<int> nextIndex{0};
    std::atomic<qint64> progressBytes{doneBytes};
    std::mutex writeTurn;
    const bool makePagesFirst = fillsHolesInMemory(fd);
    BlockMarks marks(ctx.table(), rec.id);
    auto fetch = [&]() -> BWError {
        for (;;) {
            if (ctx.stopped())
                return transferError(kErrCancelled, rec.path);
            const int i = nextIndex++;
            if (i >= n)
                return {};
            if (board.isDone(i))
                continue;
            if (!board.waitForRoom(i))
                return {}; // another lane or the hasher failed, and tells why
            const qint64 off = qint64(i) * kBlockSize;
            const qint64 len = qMin(kBlockSize, size - off);
            // The block's pages of the file are made here, beside the other lanes: writes into
            // one file take turns, and a page of new memory is slow to touch the first time.
            if (makePagesFirst)
                ::posix_fadvise(fd, off, len, POSIX_FADV_WILLNEED);
            auto bytes = ctx.service().readRange(rec.nid, quint64(off), quint64(len));
            if (!bytes.ok())
                return bytes.error;
            if (bytes.value.size() != len)
                return transferError(kErrBlockHash, rec.source);
            {
                // Writes into one file serialize in the kernel anyway; taking turns here lets the
                // waiting lanes sleep instead of spinning on the file's lock.
                std::lock_guard<std::mutex> turn(writeTurn);
                if (!writeFully(fd, bytes.value.constData(), len, off))
                    return localWriteError(partial, errno);
            }
            // Its writeback starts now, beside the fetch, so the sync before the rename finds
            // little left to wait for.
            ::sync_file_range(fd, off, len, SYNC_FILE_RANGE_WRITE);
            // The hash needs only the bytes in memory; it goes on while this lane records them.
            board.put(i, std::move(bytes.value));
            // A block the record does not hold is fetched again; a job that cannot record its
            // progress stops rather than run on with a record that no longer matches.
            if (BWError e = marks.add(i, blockSha1s.at(i)))
                return e;
            ctx.progress(progressBytes += len);
        }
    };
    auto lane = [&]() -> BWError {
        BWError e = fetch();
        if (e)
            board.fail(); // no lane or hasher waits for a block this lane will not bring
        return e;
    };
    auto hasher = std::async(std::launch::async, [&] { return hashInOrder(board, fd, n, size); });
    BWError error = runLanes(qMax(1, qMin(KZDownloadMgr::kParallelBlocks, n)), lane);
    if (BWError e = marks.flush(); !error)
        error = e;
    if (error)
        board.fail();
    got = hasher.get();
    return error;
}

} // namespace

BWError KZDownloadMgr::work(const TransferJobRecord& rec, WorkerContext& ctx) {
    auto node = ctx.service().node(rec.nid);
    if (!node.ok())
        return node.error;
    if (node.value.isDir)
        return transferError(kErrSourceMissing, rec.source);
    // A name from the service becomes one local entry: "a/b" must not become folder "a" and
    // file "b", whatever the local path was made from.
    if (!isSafeLocalName(node.value.name))
        return transferError(kErrUnsafeName, rec.source);
    const qint64 size = qint64(node.value.size);
    const QString expected = node.value.fileHash;
    const bool cloudChanged = expected != rec.fileSha1 || size != rec.size;
    if (cloudChanged) {
        // The cloud file changed since the job was made: start over from its new content.
        if (BWError e = ctx.table().clearBlocks(rec.id))
            return e;
        ctx.updateRecord([expected, size](TransferJobRecord& r) {
            r.fileSha1 = expected;
            r.size = size;
        });
    }

    // Everything below works relative to the destination's folder, opened once.
    Fd folder;
    if (BWError e = openTargetFolder(rec.root, rec.path, true, folder))
        return e;
    const QByteArray name = entryName(rec.path);
    const bool beside = partialBesideDestination(folder.get(), name);
    const QByteArray partName = partialName(name, rec.id, beside);
    // The partial file as errors name it.
    const QString partial =
        rec.path.left(rec.path.lastIndexOf(QLatin1Char('/')) + 1) +
        (beside ? QString() : QStringLiteral("%1/").arg(QLatin1String(kPartialFolderName))) +
        QFile::decodeName(partName);

    // Already in place: an earlier run was stopped (a pause, a quit, a kill) between its rename
    // and the record of its success, maybe before the file and its name were on the disk.
    if (!expected.isEmpty() && holdsContent(folder.get(), name, size, expected)) {
        Fd placed(::openat(folder.get(), name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (placed.get() < 0 || !syncToDisk(placed.get()) || !syncToDisk(folder.get()))
            return localWriteError(rec.path, errno);
        removePartial(folder.get(), name, rec.id);
        return {};
    }
    if (BWError e = checkTargetEntry(folder.get(), name, rec.replace, rec.path))
        return e;

    Fd partDir;
    Fd fd;
    if (BWError e = openPartialFile(folder.get(), beside, partName, cloudChanged, partial, partDir, fd))
        return e;

    const int n = blockCountForSize(size);
    BlockBoard board(n, kHashWindow);
    auto done = ctx.table().doneBlocks(rec.id);
    if (!done.ok())
        return done.error;
    const qint64 doneBytes = keepWrittenBlocks(fd.get(), done.value, size, board);
    // What is still to come must fit: a full disk is told at once, not after most of the fetch.
    struct statvfs vfs {};
    if (::fstatvfs(fd.get(), &vfs) == 0 && qint64(vfs.f_bavail) * qint64(vfs.f_frsize) < size - doneBytes)
        return localWriteError(partial, ENOSPC);
    if (::ftruncate(fd.get(), size) != 0)
        return localWriteError(partial, errno);
    ctx.progress(doneBytes);

    // The service's hash of each block: what a written block is recorded with (the service
    // checks every block it serves against it), so the bytes are not hashed a second time here.
    QStringList blockSha1s;
    if (n > 0) {
        auto list = ctx.service().blockSha1s(rec.nid);
        if (!list.ok())
            return list.error;
        if (list.value.size() != n || !std::all_of(list.value.cbegin(), list.value.cend(), Sha1::isValidHex))
            return transferError(kErrBlockHash, rec.source);
        blockSha1s = std::move(list.value);
    }

    // The next attempt starts from nothing: something in the partial file is not the cloud's, or
    // may not be on the disk although it reads back from memory.
    auto startOver = [&](const BWError& error) {
        nubo::warnIfFailed(lcTransfer(), ctx.table().clearBlocks(rec.id), "clearing a download's blocks");
        ::unlinkat(partDir.get(), partName.constData(), 0);
        return error;
    };
    QString got;
    if (BWError e = fetchBlocks(rec, ctx, fd.get(), size, doneBytes, blockSha1s, partial, board, got))
        return e;
    // No hash at all: a block kept from an earlier run could not be read back, and the lanes may
    // have stopped short of the end.
    if (got.isEmpty() || (!expected.isEmpty() && got != expected))
        return startOver(transferError(kErrBlockHash, rec.source));

    // The bytes reach the disk before the name does, and the name before the job is finished:
    // after a power cut, a file said to be finished holds its content, not zeros.
    if (!syncToDisk(fd.get()))
        return startOver(localWriteError(partial, errno));
    // Into place: checked again right before the rename, which never follows a link.
    if (BWError e = checkTargetEntry(folder.get(), name, rec.replace, rec.path))
        return e;
    const int flags = rec.replace ? 0 : RENAME_NOREPLACE;
    if (::renameat2(partDir.get(), partName.constData(), folder.get(), name.constData(), flags) != 0)
        return localWriteError(rec.path, errno);
    reachedStep("placed", rec);
    // A failure here leaves the file in place: the next attempt finds it and syncs again.
    if (!syncToDisk(folder.get()))
        return localWriteError(rec.path, errno);
    removePartialFolderIfEmpty(folder.get());
    return {};
}

void KZDownloadMgr::discard(const TransferJobRecord& rec) {
    // Reached the same way as the job writes: a job whose path is unsafe never made a partial
    // file, and nothing is removed elsewhere.
    Fd folder;
    if (!openTargetFolder(rec.root, rec.path, false, folder))
        removePartial(folder.get(), entryName(rec.path), rec.id);
}

bool KZDownloadMgr::thawed(const TransferJobRecord& rec) {
    if (!service())
        return false;
    auto probe = service()->readRange(rec.nid, 0, 1);
    return probe.ok() || probe.error.code() != kCloudErrorFrozen;
}

} // namespace nubo::transfer
