#pragma once

#include "foundation/BWError.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>

namespace nubo::transfer {

// Transfers move files in blocks of this size; the last block may be shorter.
constexpr qint64 kBlockSize = 512 * 1024;

inline int blockCountForSize(qint64 size) {
    return size <= 0 ? 0 : int((size + kBlockSize - 1) / kBlockSize);
}

// One SHA-1, incrementally; OpenSSL's EVP digest (it uses the CPU's SHA instructions).
class Sha1 {
public:
    Sha1();
    ~Sha1();
    Sha1(const Sha1&) = delete;
    Sha1& operator=(const Sha1&) = delete;
    void add(const char* data, qint64 len);
    void add(const QByteArray& data) { add(data.constData(), data.size()); }
    QByteArray result(); // 20 raw bytes; the object is spent afterwards

    static QByteArray of(const char* data, qint64 len);
    static QByteArray of(const QByteArray& data) { return of(data.constData(), data.size()); }

private:
    void* m_ctx;
};

struct FileDigest {
    qint64 size = 0;
    QByteArray fileSha1;          // raw 20 bytes
    QList<QByteArray> blockSha1s; // raw 20 bytes each
};

// Splits a file into blocks and hashes each block and the whole file in one read. Block hashes
// run on a few threads beside the whole-file hash, so the pass costs about one SHA-1 of the file.
// `cancel` (optional) stops it early with an error.
BWError hashFile(const QString& path, FileDigest& out, const std::atomic<bool>* cancel = nullptr);

} // namespace nubo::transfer
