#include "transfer/BlockHasher.h"

#include "transfer/PosixFile.h"
#include "transfer/TransferErrors.h"

#include <QFile>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace nubo::transfer {

namespace {

// Every core: the blocks are hashed before anything can be sent.
int hashThreads() {
    return int(qBound(4u, std::thread::hardware_concurrency(), 16u));
}
constexpr qint64 kWholeChunk = 4 * 1024 * 1024;

} // namespace

BWError openSourceFile(const QString& path, Fd& fd, struct stat& st) {
    fd.reset(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return transferError(kErrSourceMissing, path);
        return transferError(errno == ELOOP ? kErrLocalChanged : kErrLocalRead, path);
    }
    if (::fstat(fd.get(), &st) != 0)
        return transferError(kErrLocalRead, path);
    if (!S_ISREG(st.st_mode))
        return transferError(kErrLocalChanged, path);
    // Reads of a regular file never wait for a writer; the flag is dropped all the same, so the
    // reads are plain ones.
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return transferError(kErrLocalRead, path);
    return {};
}

BWError hashBlocks(const QString& path, FileDigest& out, const CancelCheck& cancelled) {
    out = FileDigest();
    Fd fd;
    struct stat st {};
    if (BWError e = openSourceFile(path, fd, st))
        return e;
    const qint64 size = st.st_size;
    const int blocks = blockCountForSize(size);
    out.size = size;
    out.blockSha1s.resize(blocks);

    // Each thread takes the next block, reads it and hashes it.
    std::atomic<int> next{0};
    std::atomic<int> failure{0};
    auto worker = [&] {
        QByteArray buffer(int(kBlockSize), Qt::Uninitialized);
        for (int i = next++; i < blocks && !failure; i = next++) {
            if (cancelled && cancelled()) {
                failure = kErrCancelled;
                return;
            }
            const qint64 off = qint64(i) * kBlockSize;
            const qint64 len = qMin(kBlockSize, size - off);
            if (!readFully(fd.get(), buffer.data(), len, off)) {
                failure = kErrLocalChanged;
                return;
            }
            out.blockSha1s[i] = Sha1::raw(buffer.constData(), len);
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < qMin(blocks, hashThreads()); ++t)
        helpers.emplace_back(worker);
    worker();
    for (auto& h : helpers)
        h.join();
    if (failure)
        return transferError(failure, path);
    if (::fstat(fd.get(), &st) != 0 || st.st_size != size)
        return transferError(kErrLocalChanged, path);
    return {};
}

BWError hashWhole(const QString& path, qint64 size, QByteArray& out, const CancelCheck& cancelled) {
    out.clear();
    Fd fd;
    struct stat st {};
    if (BWError e = openSourceFile(path, fd, st))
        return e;
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    QByteArray buffer(int(qMin(kWholeChunk, qMax<qint64>(size, 1))), Qt::Uninitialized);
    Sha1 whole;
    for (qint64 done = 0; done < size;) {
        if (cancelled && cancelled())
            return transferError(kErrCancelled, path);
        const qint64 len = qMin<qint64>(buffer.size(), size - done);
        if (!readFully(fd.get(), buffer.data(), len, done))
            return transferError(kErrLocalChanged, path);
        whole.add(buffer.constData(), len);
        done += len;
    }
    if (::fstat(fd.get(), &st) != 0 || st.st_size != size)
        return transferError(kErrLocalChanged, path);
    out = whole.result();
    return {};
}

} // namespace nubo::transfer
