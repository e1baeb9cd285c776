#pragma once

#include <QByteArray>
#include <condition_variable>
#include <map>
#include <mutex>

namespace nubo::transfer {

// One block on its way through a transfer.
struct BlockData {
    QByteArray bytes;
};

// A hand-over of blocks that are produced in any order (by several threads) to one consumer
// that takes them strictly in order. Producers wait while their block lies too far ahead of the
// consumer, which bounds the memory held. Any side may fail it, which releases every waiter.
class OrderedBlocks {
public:
    explicit OrderedBlocks(int window) : m_window(window) {}

    // Hands over block `index`; false when the hand-over failed.
    bool put(int index, BlockData block) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_failed || index < m_next + m_window; });
        if (m_failed)
            return false;
        m_blocks[index] = std::move(block);
        m_changed.notify_all();
        return true;
    }

    // Takes the next block in order, waiting for it; false when the hand-over failed.
    bool take(BlockData* out) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_failed || m_blocks.count(m_next) != 0; });
        if (m_failed)
            return false;
        auto it = m_blocks.find(m_next);
        *out = std::move(it->second);
        m_blocks.erase(it);
        ++m_next;
        m_changed.notify_all();
        return true;
    }

    void fail() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_failed = true;
        m_blocks.clear();
        m_changed.notify_all();
    }

private:
    const int m_window;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<int, BlockData> m_blocks;
    int m_next = 0;
    bool m_failed = false;
};

} // namespace nubo::transfer
