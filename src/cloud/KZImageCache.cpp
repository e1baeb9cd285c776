#include "cloud/KZImageCache.h"

#include "foundation/SingletonT.h"

KZImageCache* KZImageCache::shareInstance() {
    return &nubo::SingletonT<KZImageCache>::instance();
}

KZImageCache::Slot& KZImageCache::touch(qint64 key) {
    auto it = m_slots.find(key);
    if (it == m_slots.end()) {
        m_order.push_back(key);
        it = m_slots.insert(key, Slot{std::prev(m_order.end()), {}, 0});
    } else {
        m_order.splice(m_order.end(), m_order, it->position);
    }
    return *it;
}

void KZImageCache::evictOldest() {
    const qint64 key = m_order.front();
    m_order.pop_front();
    auto it = m_slots.find(key);
    m_total -= it->bytes;
    m_slots.erase(it);
}

QImage KZImageCache::imageForCloudFile(const CloudFileInfo& file) {
    return touch(file.nid()).image;
}

void KZImageCache::setImage(const QImage& image, const CloudFileInfo& file) {
    if (image.isNull())
        return;
    const qint64 key = file.nid();
    auto existing = m_slots.constFind(key);
    if (existing != m_slots.constEnd() && !existing->image.isNull())
        return;
    const qint64 bytes = image.sizeInBytes();
    if (bytes > m_budget)
        return;
    while (!m_order.empty() && m_total + bytes > m_budget)
        evictOldest();
    Slot& slot = touch(key);
    slot.image = image;
    slot.bytes = bytes;
    m_total += bytes;
}

void KZImageCache::setMemoryCacheSize(qint64 bytes) {
    m_budget = qMax<qint64>(0, bytes);
    while (!m_order.empty() && m_total > m_budget)
        evictOldest();
}

int KZImageCache::imageCount() const {
    int n = 0;
    for (const Slot& s : m_slots)
        n += s.image.isNull() ? 0 : 1;
    return n;
}

void KZImageCache::removeAll() {
    m_order.clear();
    m_slots.clear();
    m_total = 0;
}
