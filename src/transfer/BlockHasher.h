#pragma once

#include "foundation/BWError.h"
#include "service/CloudService.h"
#include "service/Sha1.h"
#include "transfer/PosixFile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <sys/stat.h>

namespace nubo::transfer {

// Transfers move files in blocks of this size; the last block may be shorter.
constexpr qint64 kBlockSize = CloudService::kBlockSize;

inline int blockCountForSize(qint64 size) {
    return size <= 0 ? 0 : int((size + kBlockSize - 1) / kBlockSize);
}

struct FileDigest {
    qint64 size = 0;
    QList<QByteArray> blockSha1s; // raw 20 bytes each
};

// Called now and then by the hashers; true stops them early with an error.
using CancelCheck = std::function<bool()>;

// Opens an upload's source for reading: without waiting (a FIFO put in its place would block
// for ever) and without following a link (it would read another file than the one chosen); what
// is not a regular file fails with kErrLocalChanged, a missing one with kErrSourceMissing. `st`
// describes the file opened.
BWError openSourceFile(const QString& path, Fd& fd, struct stat& st);

// Splits a file into blocks and hashes them, several blocks at a time on every core.
BWError hashBlocks(const QString& path, FileDigest& out, const CancelCheck& cancelled = {});

// The SHA-1 of the first `size` bytes of a file, which must have exactly that size (raw 20 bytes).
// A single pass in order: the caller may run it beside other work.
BWError hashWhole(const QString& path, qint64 size, QByteArray& out, const CancelCheck& cancelled = {});

} // namespace nubo::transfer
