#include "service/UploadProgress.h"

namespace nubo {

void UploadProgress::add(int index, const QByteArray& bytes) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (index >= m_next && index < m_count && !m_ahead.contains(index)) {
        if (index == m_next && !m_folding) {
            fold(lock, bytes);
            return;
        }
        // Not its turn (or a repeat of the block being folded): a copy is kept when the fold is
        // near (the caller's bytes do not outlive the call); a block further ahead is read back
        // as the fold nears it, so that the memory goes to the blocks needed first.
        if (index != m_next && index - m_next <= kMaxAhead)
            m_ahead.insert(index, QByteArray(bytes.constData(), bytes.size()));
        else if (index != m_next && m_readBack)
            m_dropped.insert(index);
    }
    readAhead(lock);
}

// This thread folds its own block, then every waiting block that follows on in order. The
// hashing runs outside the lock so other blocks can be handed in meanwhile.
void UploadProgress::fold(std::unique_lock<std::mutex>& lock, const QByteArray& first) {
    m_folding = true;
    QByteArray current = first;
    for (;;) {
        lock.unlock();
        m_hash.add(current);
        lock.lock();
        ++m_next;
        // Another thread reading the next block back: it is nearly there.
        m_readDone.wait(lock, [this] { return !m_reading.contains(m_next); });
        auto it = m_ahead.find(m_next);
        if (it != m_ahead.end()) {
            current = std::move(it.value());
            m_ahead.erase(it);
            continue;
        }
        // A block that came without room to wait is on disk by now: read back here, the fold
        // does not stall at it until the commit (which reads whatever is still missing).
        if (!m_dropped.remove(m_next))
            break;
        lock.unlock();
        auto got = m_readBack(m_next);
        lock.lock();
        if (!got.ok())
            break;
        current = std::move(got.value);
    }
    m_folding = false;
    m_idle.notify_all();
}

// A thread that hands in a block while the fold runs elsewhere reads back the first block the
// fold will soon reach that had no room to wait: the reading is shared out, and the fold, which
// no other thread can share, only hashes.
void UploadProgress::readAhead(std::unique_lock<std::mutex>& lock) {
    if (!m_readBack || !m_folding)
        return;
    int pick = -1;
    for (int i = m_next + 1; i < m_count && i - m_next <= kMaxAhead; ++i) {
        if (m_dropped.contains(i) && !m_reading.contains(i)) {
            pick = i;
            break;
        }
    }
    if (pick < 0)
        return;
    m_reading.insert(pick);
    lock.unlock();
    auto got = m_readBack(pick);
    lock.lock();
    m_reading.remove(pick);
    // A block that could not be read stays dropped: the fold reads it when it gets there.
    if (got.ok() && pick >= m_next && m_dropped.remove(pick))
        m_ahead.insert(pick, std::move(got.value));
    m_readDone.notify_all();
}

Result<QString> UploadProgress::finish(const ReadBlock& read) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_folding; });
    m_readDone.wait(lock, [this] { return m_reading.isEmpty(); });
    while (m_next < m_count) {
        QByteArray bytes = m_ahead.take(m_next);
        if (bytes.isNull()) {
            auto got = read(m_next);
            if (!got.ok())
                return Result<QString>::failure(got.error);
            bytes = std::move(got.value);
        }
        m_hash.add(bytes);
        ++m_next;
    }
    if (m_result.isEmpty())
        m_result = m_hash.hex();
    return {m_result, {}};
}

void UploadProgress::markOnDisk(const QString& sha1) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_onDisk.insert(sha1);
}

bool UploadProgress::isOnDisk(const QString& sha1) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_onDisk.contains(sha1);
}

} // namespace nubo
