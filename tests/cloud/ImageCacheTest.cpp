#include "cloud/KZImageCache.h"
#include "support/CloudPrinters.h"

#include <gtest/gtest.h>

namespace {

CloudFileInfoPtr file(qint64 nid) {
    auto f = CloudFileInfo::create();
    f->setNid(nid);
    return f;
}

// A 32-bit image of exactly `kb` KiB.
QImage image(int kb, QRgb color = 0xff336699) {
    QImage img(16, kb * 16, QImage::Format_ARGB32);
    img.fill(color);
    return img;
}

} // namespace

TEST(ImageCache, EvictsLeastRecentlyUsedWithinTheBudget) {
    KZImageCache cache;
    cache.setMemoryCacheSize(3 * 1024);
    cache.setImage(image(1), file(1));
    cache.setImage(image(1), file(2));
    cache.setImage(image(1), file(3));
    EXPECT_EQ(cache.totalBytes(), 3 * 1024);

    // A lookup makes 1 the most recent, so adding 4 pushes out 2.
    EXPECT_FALSE(cache.imageForCloudFile(file(1)).isNull());
    cache.setImage(image(1), file(4));
    EXPECT_TRUE(cache.imageForCloudFile(file(2)).isNull());
    EXPECT_FALSE(cache.imageForCloudFile(file(1)).isNull());
    EXPECT_LE(cache.totalBytes(), 3 * 1024);

    // A bigger image evicts as many as it needs, oldest first.
    cache.setImage(image(2), file(5));
    EXPECT_LE(cache.totalBytes(), 3 * 1024);
    EXPECT_FALSE(cache.imageForCloudFile(file(5)).isNull());
}

TEST(ImageCache, FirstImageStaysAndNullIsIgnored) {
    KZImageCache cache;
    cache.setMemoryCacheSize(1 << 20);
    cache.setImage(image(1, 0xffff0000), file(1));
    cache.setImage(image(1, 0xff00ff00), file(1));
    EXPECT_EQ(cache.imageForCloudFile(file(1)).pixel(0, 0), 0xffff0000);
    EXPECT_EQ(cache.totalBytes(), 1024);
    cache.setImage(QImage(), file(2));
    EXPECT_EQ(cache.imageCount(), 1);
}

TEST(ImageCache, MissesCountAsUses) {
    KZImageCache cache;
    cache.setMemoryCacheSize(2 * 1024);
    cache.setImage(image(1), file(1));
    cache.setImage(image(1), file(2));
    // 1 is touched by a lookup; a miss on 3 puts an empty key at the recent end.
    cache.imageForCloudFile(file(1));
    cache.imageForCloudFile(file(3));
    cache.setImage(image(1), file(4)); // evicts 2, the least recent
    EXPECT_TRUE(cache.imageForCloudFile(file(2)).isNull());
    EXPECT_FALSE(cache.imageForCloudFile(file(1)).isNull());
    // The earlier miss does not block 3 from getting its image later.
    cache.setImage(image(1), file(3));
    EXPECT_FALSE(cache.imageForCloudFile(file(3)).isNull());
    EXPECT_LE(cache.totalBytes(), 2 * 1024);
}

TEST(ImageCache, ImageLargerThanTheBudgetIsRefusedWithoutEvicting) {
    KZImageCache cache;
    cache.setMemoryCacheSize(4 * 1024);
    cache.setImage(image(1), file(1));
    cache.setImage(image(8), file(2));
    EXPECT_TRUE(cache.imageForCloudFile(file(2)).isNull());
    EXPECT_FALSE(cache.imageForCloudFile(file(1)).isNull());
    EXPECT_EQ(cache.totalBytes(), 1024);

    // Lowering the budget evicts at once.
    cache.setImage(image(2), file(3));
    cache.setMemoryCacheSize(2 * 1024);
    EXPECT_LE(cache.totalBytes(), 2 * 1024);
    EXPECT_FALSE(cache.imageForCloudFile(file(3)).isNull());
}
