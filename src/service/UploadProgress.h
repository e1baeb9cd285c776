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
//   comes a little ahead of its turn waits in memory; one further ahead is read back as the fold
//   nears it, by the threads handing in later blocks or by the fold itself, or at the end);
// - which blocks are known to hold the right bytes on disk (written or checked by this process).
// Safe from several threads.
class UploadProgress {
public:
    // How far ahead of the fold a block may wait in memory for its turn (8 MiB per upload).
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
    void fold(std::unique_lock<std::mutex>& lock, const QByteArray& first);
    void readAhead(std::unique_lock<std::mutex>& lock);

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
    QSet<int> m_reading; // dropped blocks being read back by threads other than the fold's
    std::condition_variable m_readDone;
    Sha1 m_hash;
    QString m_result;
    QSet<QString> m_onDisk;
};

} // namespace nubo
