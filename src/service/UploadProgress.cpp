#include "service/UploadProgress.h"

namespace nubo {

void UploadProgress::add(int index, const QByteArray& bytes) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (index < m_next || index >= m_count || m_ahead.contains(index))
        return;
    if (index != m_next || m_folding) {
        // Not its turn (or a repeat of the block being folded): keep a copy while there is room;
        // the caller's bytes do not outlive the call.
        if (index != m_next && m_ahead.size() < kMaxAhead)
            m_ahead.insert(index, QByteArray(bytes.constData(), bytes.size()));
        else if (index != m_next && m_readBack)
            m_dropped.insert(index);
        return;
    }
    // This thread folds its own block, then every waiting block that follows on in order. The
    // hashing runs outside the lock so other blocks can be handed in meanwhile.
    m_folding = true;
    QByteArray current = bytes;
    for (;;) {
        lock.unlock();
        m_hash.add(current);
        lock.lock();
        ++m_next;
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

Result<QString> UploadProgress::finish(const ReadBlock& read) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_folding; });
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
