#pragma once

#include "cloud/CloudFileInfo.h"

#include <QHash>
#include <QImage>
#include <list>

// The process-wide memory cache of thumbnails, keyed by node id and bounded by a byte budget:
// the least recently used keys go first. Every operation takes constant time. Main thread only.
class KZImageCache {
public:
    // Reset with SingletonT<KZImageCache>::reset() (main thread).
    static KZImageCache* shareInstance();

    KZImageCache() = default;
    KZImageCache(const KZImageCache&) = delete;
    KZImageCache& operator=(const KZImageCache&) = delete;

    // The budget in bytes; a smaller budget evicts at once until the images fit.
    void setMemoryCacheSize(qint64 bytes);
    qint64 memoryCacheSize() const { return m_budget; }

    // The cached image of the node, or a null image. Hit or miss, the key becomes the most
    // recently used one.
    QImage imageForCloudFile(const CloudFileInfo& file);
    QImage imageForCloudFile(const CloudFileInfoPtr& file) {
        return file ? imageForCloudFile(*file) : QImage();
    }
    // Stores the image unless it is null or the node already has one (the first image stays).
    // An image larger than the whole budget is refused: storing it would empty the cache for
    // a picture that could not stay anyway.
    void setImage(const QImage& image, const CloudFileInfo& file);
    void setImage(const QImage& image, const CloudFileInfoPtr& file) {
        if (file)
            setImage(image, *file);
    }

    qint64 totalBytes() const { return m_total; }
    int keyCount() const { return int(m_slots.size()); }
    int imageCount() const;
    void removeAll();

private:
    struct Slot {
        std::list<qint64>::iterator position;
        QImage image;
        qint64 bytes = 0;
    };
    Slot& touch(qint64 key);
    void evictOldest();

    qint64 m_budget = 0;
    qint64 m_total = 0;
    std::list<qint64> m_order; // least recently used first
    QHash<qint64, Slot> m_slots;
};
