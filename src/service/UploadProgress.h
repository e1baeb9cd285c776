#pragma once

#include "service/Sha1.h"
#include "foundation/Result.h"

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace nubo {

// What this process has learnt of one upload while its blocks arrive, so that the commit need
// not read the whole file back:
// - the SHA-1 of the whole content, folded in block order as the blocks come in (a block that
//   comes ahead of its turn waits in memory, up to a bound; the rest is read back at the end);
// - which blocks are known to hold the right bytes on disk (written or checked by this process).
// Safe from several threads.
class UploadProgress {
public:
    // Blocks that may wait in memory for their turn (8 MiB per upload).
    static constexpr int kMaxAhead = 16;

    using ReadBlock = std::function<Result<QByteArray>(int)>;

    // The upload as it was declared: its size and block hashes (lowercase hex). `readBack`, when
    // given, reads a block that was handed in and not kept, so that the fold goes on past it.
    UploadProgress(quint64 size, QStringList blocks, ReadBlock readBack = {})
        : m_size(size), m_blocks(std::move(blocks)), m_count(int(m_blocks.size())),
          m_readBack(std::move(readBack)) {}

    quint64 size() const { return m_size; }
    const QStringList& blocks() const { return m_blocks; }

    // Block `index` arrived with `bytes` (already checked against its SHA-1).
    void add(int index, const QByteArray& bytes);
    // Folds the blocks still missing from the hash, taking each that is not held from `read`;
    // the whole content's SHA-1 as hex, or the first read error (the fold can be finished later).
    Result<QString> finish(const ReadBlock& read);

    void markOnDisk(const QString& sha1);
    bool isOnDisk(const QString& sha1) const;

private:
    const quint64 m_size;
    const QStringList m_blocks;
    const int m_count;
    mutable std::mutex m_mutex;
    std::condition_variable m_idle;
    int m_next = 0;         // the first block not yet folded
    bool m_folding = false; // a thread is hashing outside the lock
    const ReadBlock m_readBack;
    QMap<int, QByteArray> m_ahead;
    QSet<int> m_dropped; // handed in ahead of their turn without room to wait: read back
    Sha1 m_hash;
    QString m_result;
    QSet<QString> m_onDisk;
};

} // namespace nubo
