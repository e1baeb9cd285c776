#include "support/DamagedDatabase.h"
#include "support/Images.h"
#include "support/ServiceFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <thread>

using namespace nubo;
using test::ServiceFixture;

namespace {

constexpr qint64 B = CloudService::kBlockSize;

class Content : public ::testing::Test {
protected:
    ServiceFixture fx;
    EmbeddedCloudService& s = fx.service();
    QByteArray data = ServiceFixture::randomBytes(3 * B + 1000, 7); // four blocks, the last one short
    QStringList blocks = ServiceFixture::blockHashes(data);

    QByteArray block(int i) const { return data.mid(i * B, B); }
    UploadSession begin(const QString& name = QStringLiteral("f.bin")) {
        auto up = s.beginUpload(0, name, quint64(data.size()), ServiceFixture::sha1(data), blocks);
        EXPECT_TRUE(up.ok()) << up.error.localizedDescription().toStdString();
        return up.value;
    }
};

} // namespace

TEST_F(Content, UploadOutOfOrderAndResumed) {
    UploadSession up = begin();
    EXPECT_EQ(up.blockCount, 4);
    EXPECT_EQ(up.missingCount(), 4);
    ASSERT_FALSE(s.putBlock(up.uploadId, 3, block(3), blocks[3]));
    ASSERT_FALSE(s.putBlock(up.uploadId, 1, block(1), blocks[1]));

    // Beginning the same upload again resumes it and tells which blocks are there.
    UploadSession again = begin();
    EXPECT_EQ(again.uploadId, up.uploadId);
    EXPECT_EQ(again.present, (QList<bool>{false, true, false, true}));

    ASSERT_FALSE(s.putBlock(up.uploadId, 2, block(2), blocks[2]));
    ASSERT_FALSE(s.putBlock(up.uploadId, 0, block(0), blocks[0]));
    auto node = s.commitUpload(up.uploadId);
    ASSERT_TRUE(node.ok()) << node.error.localizedDescription().toStdString();
    EXPECT_EQ(node.value.size, quint64(data.size()));
    EXPECT_EQ(node.value.fileHash, ServiceFixture::sha1(data));
    EXPECT_EQ(fx.readAll(node.value.nid), data);
    EXPECT_EQ(s.commitUpload(up.uploadId).error.code(), kCloudErrorUploadNotFound);

    // Another file with the same blocks needs none of them sent.
    auto dup =
        s.beginUpload(0, QStringLiteral("g.bin"), quint64(data.size()), ServiceFixture::sha1(data), blocks);
    EXPECT_EQ(dup.value.missingCount(), 0);
    EXPECT_TRUE(s.commitUpload(dup.value.uploadId).ok());
    EXPECT_FALSE(s.verifyContent());
}

TEST_F(Content, BadBlocksAndIncompleteCommitsAreRefused) {
    UploadSession up = begin();
    QByteArray tampered = block(1);
    tampered[17] = char(tampered[17] ^ 1);
    // Bytes that do not match their hash, and a right hash for the wrong slot.
    EXPECT_EQ(s.putBlock(up.uploadId, 1, tampered, blocks[1]).code(), kCloudErrorBlockHashMismatch);
    EXPECT_EQ(s.putBlock(up.uploadId, 1, block(2), blocks[2]).code(), kCloudErrorBlockHashMismatch);
    EXPECT_EQ(s.putBlock(up.uploadId, 3, block(3) + "x", blocks[3]).code(), kCloudErrorInvalidArgument);
    EXPECT_EQ(s.putBlock(up.uploadId, 4, block(3), blocks[3]).code(), kCloudErrorInvalidArgument);
    EXPECT_EQ(s.putBlock(QStringLiteral("nope"), 0, block(0), blocks[0]).code(), kCloudErrorUploadNotFound);

    ASSERT_FALSE(s.putBlock(up.uploadId, 0, block(0), blocks[0]));
    ASSERT_FALSE(s.putBlock(up.uploadId, 2, block(2), blocks[2]));
    auto commit = s.commitUpload(up.uploadId);
    EXPECT_EQ(commit.error.code(), kCloudErrorBlockMissing);
    EXPECT_EQ(commit.error.userInfo().value(QStringLiteral("missing")).toList(), (QVariantList{1, 3}));
    EXPECT_TRUE(s.children(0).value.isEmpty());

    // Blocks that are each sound but do not make up the declared file.
    QStringList swapped = blocks;
    swapped.swapItemsAt(0, 1);
    auto wrong =
        s.beginUpload(0, QStringLiteral("w.bin"), quint64(data.size()), ServiceFixture::sha1(data), swapped);
    ASSERT_TRUE(wrong.ok());
    ASSERT_FALSE(s.putBlock(wrong.value.uploadId, 0, block(1), blocks[1]));
    ASSERT_FALSE(s.putBlock(wrong.value.uploadId, 3, block(3), blocks[3]));
    EXPECT_EQ(s.commitUpload(wrong.value.uploadId).error.code(), kCloudErrorFileHashMismatch);
    EXPECT_TRUE(s.children(0).value.isEmpty());

    // Malformed declarations.
    EXPECT_EQ(s.beginUpload(0, QStringLiteral("x"), 10, QStringLiteral("zz"), {}).error.code(),
              kCloudErrorInvalidArgument);
    EXPECT_EQ(
        s.beginUpload(0, QStringLiteral("x"), B + 1, ServiceFixture::sha1(data), {blocks[0]}).error.code(),
        kCloudErrorInvalidArgument);
}

TEST_F(Content, CommitPlacesTheFileOnlyWhereAllowed) {
    ServiceNode first = fx.putFile(QStringLiteral("/d/f.bin"), "old");
    const QByteArray next = "new content";
    auto up = s.beginUpload(first.pid, QStringLiteral("f.bin"), quint64(next.size()),
                            ServiceFixture::sha1(next), ServiceFixture::blockHashes(next));
    ASSERT_FALSE(s.putBlock(up.value.uploadId, 0, next, ServiceFixture::blockHashes(next)[0]));
    EXPECT_EQ(s.commitUpload(up.value.uploadId).error.code(), kCloudErrorNameExists);
    auto replaced = s.commitUpload(up.value.uploadId, true);
    ASSERT_TRUE(replaced.ok());
    EXPECT_EQ(fx.readAll(replaced.value.nid), next);
    EXPECT_EQ(s.node(first.nid).error.code(), kCloudErrorNotFound);
    // A folder is never replaced by a file.
    fx.mkdir(QStringLiteral("/d/sub"));
    auto up2 = s.beginUpload(first.pid, QStringLiteral("sub"), 0, ServiceFixture::sha1({}), {});
    EXPECT_EQ(s.commitUpload(up2.value.uploadId, true).error.code(), kCloudErrorNameExists);
    // An empty file has no blocks at all.
    ServiceNode empty = fx.putFile(QStringLiteral("/d/empty"), {});
    EXPECT_EQ(empty.size, 0u);
    EXPECT_TRUE(s.readRange(empty.nid, 0, 100).value.isEmpty());
}

// A file of one block goes in one call, with the checks and the records of an upload: its one
// hash checks the bytes, its block is held for later uploads, and nothing is left open.
TEST_F(Content, ASmallFileInOneCallIsCheckedAndCommittedLikeAnUpload) {
    const ServiceNode d = fx.mkdir(QStringLiteral("/d"));
    const QByteArray small = data.left(5000);
    const QString sha1 = ServiceFixture::sha1(small);
    auto made = s.uploadSmallFile(d.nid, QStringLiteral("s.txt"), small, sha1.toUpper(), false);
    ASSERT_TRUE(made.ok()) << made.error.localizedDescription().toStdString();
    EXPECT_EQ(made.value.path, QStringLiteral("/d/s.txt"));
    EXPECT_EQ(made.value.fileHash, sha1);
    EXPECT_EQ(fx.readAll(made.value.nid), small);
    EXPECT_EQ(s.blockSha1s(made.value.nid).value, QStringList{sha1});
    auto again = s.beginUpload(0, QStringLiteral("t.txt"), quint64(small.size()), sha1, {sha1});
    EXPECT_EQ(again.value.present, QList<bool>{true}); // the block is on record
    ASSERT_TRUE(s.commitUpload(again.value.uploadId).ok());
    Query open = s.database().query(QStringLiteral("SELECT COUNT(*) FROM uploads"));
    ASSERT_TRUE(open.next());
    EXPECT_EQ(open.int64(0), 0);

    // Refused: bytes that are not the hash, more than a block, a bad name; nothing is made.
    EXPECT_EQ(s.uploadSmallFile(d.nid, QStringLiteral("x"), "other", sha1, false).error.code(),
              kCloudErrorBlockHashMismatch);
    const QByteArray big = data.left(B + 1);
    EXPECT_EQ(
        s.uploadSmallFile(d.nid, QStringLiteral("x"), big, ServiceFixture::sha1(big), false).error.code(),
        kCloudErrorInvalidArgument);
    EXPECT_EQ(s.uploadSmallFile(d.nid, QStringLiteral("a/b"), small, sha1, false).error.code(),
              kCloudErrorInvalidName);
    EXPECT_EQ(s.uploadSmallFile(made.value.nid, QStringLiteral("x"), small, sha1, false).error.code(),
              kCloudErrorNotFolder);
    // Stopped once the bytes are taken: no file.
    EXPECT_EQ(
        s.uploadSmallFile(d.nid, QStringLiteral("x"), small, sha1, false, [] { return true; }).error.code(),
        kCloudErrorUploadStopped);
    EXPECT_EQ(s.nodeByPath(QStringLiteral("/d/x")).error.code(), kCloudErrorNotFound);

    // A name taken: refused, or the old file goes to the recycle bin when asked.
    const QByteArray next = "new content";
    EXPECT_EQ(s.uploadSmallFile(d.nid, QStringLiteral("s.txt"), next, ServiceFixture::sha1(next), false)
                  .error.code(),
              kCloudErrorNameExists);
    auto replaced = s.uploadSmallFile(d.nid, QStringLiteral("s.txt"), next, ServiceFixture::sha1(next), true);
    ASSERT_TRUE(replaced.ok());
    EXPECT_EQ(fx.readAll(replaced.value.nid), next);
    EXPECT_EQ(s.node(made.value.nid).error.code(), kCloudErrorNotFound);

    // An empty file has no block. The block is kept with the file's rows: a damaged file under
    // the block's name does not hide it.
    auto empty = s.uploadSmallFile(d.nid, QStringLiteral("e"), {}, ServiceFixture::sha1({}), false);
    ASSERT_TRUE(empty.ok());
    EXPECT_TRUE(s.blockSha1s(empty.value.nid).value.isEmpty());
    const QString blobPath = s.folder() + QStringLiteral("/blocks/") + sha1.left(2) + QLatin1Char('/') + sha1;
    ASSERT_TRUE(QDir().mkpath(QFileInfo(blobPath).path()));
    QFile blob(blobPath);
    ASSERT_TRUE(blob.open(QIODevice::WriteOnly));
    blob.write("XY");
    blob.close();
    auto second = s.uploadSmallFile(d.nid, QStringLiteral("s2.txt"), small, sha1, false);
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(fx.readAll(second.value.nid), small);
    EXPECT_FALSE(s.verifyContent());
}

TEST_F(Content, RangeReadsAndFrozenFiles) {
    ServiceNode f = fx.putFile(QStringLiteral("/f.bin"), data);
    const QList<QPair<quint64, quint64>> ranges = {{0, 10},
                                                   {quint64(B - 5), 10},
                                                   {quint64(B), quint64(B)},
                                                   {100, quint64(2 * B + 7)},
                                                   {quint64(data.size() - 3), 100},
                                                   {quint64(data.size()), 5}};
    for (const auto& [off, len] : ranges) {
        auto r = s.readRange(f.nid, off, len);
        ASSERT_TRUE(r.ok()) << off;
        EXPECT_EQ(r.value, data.mid(qsizetype(off), qsizetype(len))) << off << "+" << len;
    }
    EXPECT_EQ(s.readRange(f.nid, quint64(data.size()) + 1, 1).error.code(), kCloudErrorInvalidArgument);
    EXPECT_EQ(s.readRange(f.nid, 10, std::numeric_limits<quint64>::max()).value, data.mid(10));
    EXPECT_EQ(s.readRange(fx.mkdir(QStringLiteral("/dir")).nid, 0, 1).error.code(), kCloudErrorNotFile);

    ASSERT_FALSE(s.setFrozen(f.nid, true));
    EXPECT_EQ(s.readRange(f.nid, 0, 10).error.code(), kCloudErrorFrozen);
    ASSERT_FALSE(s.setFrozen(f.nid, false));
    EXPECT_TRUE(s.readRange(f.nid, 0, 10).ok());
}

// A download records each block with the service's hash of it instead of hashing the bytes
// again: the list must name every block in order, and the bytes served must match it.
TEST_F(Content, BlockListNamesWhatRangeReadsServe) {
    const ServiceNode f = fx.putFile(QStringLiteral("/f.bin"), data);
    auto list = s.blockSha1s(f.nid);
    ASSERT_TRUE(list.ok()) << list.error.localizedDescription().toStdString();
    EXPECT_EQ(list.value, blocks);
    for (int i = 0; i < list.value.size(); ++i)
        EXPECT_EQ(ServiceFixture::sha1(s.readRange(f.nid, quint64(i * B), quint64(B)).value),
                  list.value.at(i));

    const ServiceNode empty = fx.putFile(QStringLiteral("/empty"), QByteArray());
    ASSERT_TRUE(s.blockSha1s(empty.nid).ok());
    EXPECT_TRUE(s.blockSha1s(empty.nid).value.isEmpty());
    EXPECT_EQ(s.blockSha1s(fx.mkdir(QStringLiteral("/dir")).nid).error.code(), kCloudErrorNotFile);
    // A file whose rows lost some of its blocks is reported, not listed short.
    Query del = s.database().query(QStringLiteral("DELETE FROM file_blocks WHERE nid = ? AND idx = 2"));
    ASSERT_FALSE(del.bind(1, f.nid).exec());
    EXPECT_EQ(s.blockSha1s(f.nid).error.code(), kCloudErrorDataCorrupt);
}

TEST_F(Content, DamagedBlockIsReportedNotServed) {
    ServiceNode f = fx.putFile(QStringLiteral("/f.bin"), data);
    const QString path =
        s.folder() + QStringLiteral("/blocks/") + blocks[1].left(2) + QLatin1Char('/') + blocks[1];
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.seek(5);
    file.write("XY");
    file.close();
    EXPECT_EQ(s.readRange(f.nid, quint64(B), 10).error.code(), kCloudErrorDataCorrupt);
    EXPECT_TRUE(s.readRange(f.nid, 0, 10).ok());
    EXPECT_EQ(s.verifyContent().code(), kCloudErrorDataCorrupt);
}

TEST_F(Content, ThumbnailsFitTheAskedBox) {
    ServiceNode pic = fx.putFile(QStringLiteral("/pic.png"), nubo::test::png(400, 200, Qt::blue));
    EXPECT_EQ(pic.category, 1);
    auto thumb = s.thumbnail(pic.nid, 128, 128);
    ASSERT_TRUE(thumb.ok()) << thumb.error.localizedDescription().toStdString();
    QImage small = QImage::fromData(thumb.value);
    EXPECT_EQ(small.size(), QSize(128, 64));
    // Smaller images are not blown up.
    EXPECT_EQ(QImage::fromData(s.thumbnail(pic.nid, 1280, 1280).value).size(), QSize(400, 200));
    ServiceNode fake = fx.putFile(QStringLiteral("/fake.jpg"), "not an image");
    EXPECT_EQ(s.thumbnail(fake.nid, 128, 128).error.code(), kCloudErrorNotImage);
    EXPECT_EQ(s.thumbnail(pic.nid, 0, 128).error.code(), kCloudErrorInvalidArgument);
}

namespace {
using nubo::test::encoded;
// Whether every pixel is within a JPEG's rounding of `colour`.
bool allNear(const QImage& image, QColor colour) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            const QColor c = rgb.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) > 12 || std::abs(c.green() - colour.green()) > 12 ||
                std::abs(c.blue() - colour.blue()) > 12)
                return false;
        }
    return !rgb.isNull();
}
} // namespace

TEST_F(Content, PaletteAndWebPImagesGetTrueThumbnails) {
    const QColor pink(255, 105, 180);
    QImage mono(400, 400, QImage::Format_Mono);
    mono.setColorTable({pink.rgb(), qRgb(255, 255, 255)});
    mono.fill(0);
    ServiceNode png = fx.putFile(QStringLiteral("/pink.png"), encoded(mono, "PNG"));
    auto thumb = s.thumbnail(png.nid, 128, 128);
    ASSERT_TRUE(thumb.ok()) << thumb.error.localizedDescription().toStdString();
    EXPECT_EQ(QImage::fromData(thumb.value).size(), QSize(128, 128));
    EXPECT_TRUE(allNear(QImage::fromData(thumb.value), pink));

    QImage picture(300, 150, QImage::Format_RGB32);
    picture.fill(QColor(20, 120, 40));
    ServiceNode webp = fx.putFile(QStringLiteral("/green.webp"), encoded(picture, "WEBP"));
    thumb = s.thumbnail(webp.nid, 128, 128);
    ASSERT_TRUE(thumb.ok()) << thumb.error.localizedDescription().toStdString();
    EXPECT_EQ(QImage::fromData(thumb.value).size(), QSize(128, 64));
    EXPECT_TRUE(allNear(QImage::fromData(thumb.value), QColor(20, 120, 40)));
}

// Under Qt's allocation limit a large picture decoded whole is refused: the thumbnail is
// decoded at its own size. The limit is lowered so that an ordinary picture stands for a
// camera's photo.
TEST_F(Content, PicturesTooLargeToDecodeWholeStillGetThumbnails) {
    QImage big(1600, 1200, QImage::Format_RGB32);
    big.fill(QColor(200, 40, 40));
    ServiceNode jpeg = fx.putFile(QStringLiteral("/photo.jpg"), nubo::test::encoded(big, "JPEG"));
    ServiceNode png = fx.putFile(QStringLiteral("/shot.png"), nubo::test::encoded(big, "PNG"));
    const int limit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(4); // MiB: 1600 x 1200 x 4 bytes is over it
    auto fromJpeg = s.thumbnail(jpeg.nid, 400, 400);
    auto fromPng = s.thumbnail(png.nid, 400, 400);
    QImageReader::setAllocationLimit(limit);
    ASSERT_TRUE(fromJpeg.ok()) << fromJpeg.error.localizedDescription().toStdString();
    ASSERT_TRUE(fromPng.ok()) << fromPng.error.localizedDescription().toStdString();
    EXPECT_EQ(QImage::fromData(fromJpeg.value).size(), QSize(400, 300));
    EXPECT_EQ(QImage::fromData(fromPng.value).size(), QSize(400, 300));
    EXPECT_TRUE(allNear(QImage::fromData(fromJpeg.value), QColor(200, 40, 40)));
    EXPECT_TRUE(allNear(QImage::fromData(fromPng.value), QColor(200, 40, 40)));
}

TEST_F(Content, ConcurrentClientsOnOneService) {
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            auto dir = s.createFolder(0, QStringLiteral("t%1").arg(t));
            if (!dir.ok())
                ++failures;
            for (int i = 0; i < 10; ++i) {
                const QByteArray content = ServiceFixture::randomBytes(B / 2 + i, quint32(t * 100 + i));
                const QStringList bh = ServiceFixture::blockHashes(content);
                auto up = s.beginUpload(dir.value.nid, QString::number(i), quint64(content.size()),
                                        ServiceFixture::sha1(content), bh);
                if (!up.ok() || s.putBlock(up.value.uploadId, 0, content, bh[0]) ||
                    !s.commitUpload(up.value.uploadId).ok() || !s.fetchChanges(0, 100).ok())
                    ++failures;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
    auto all = s.fetchAllNodes(0, 1000);
    EXPECT_EQ(all.value.nodes.size(), 44);
    EXPECT_EQ(s.database().integrityCheck(), QStringLiteral("ok"));
    EXPECT_FALSE(s.verifyContent());
}

// Blocks taken by several threads at once have their rows written together: each call returns
// only once its own block is on record, so a client that notes it as sent never needs to send it
// again after a kill.
TEST_F(Content, BlocksTakenTogetherAreEachOnRecordWhenTheCallReturns) {
    const QByteArray many = ServiceFixture::randomBytes(24 * B, 9);
    const QStringList hashes = ServiceFixture::blockHashes(many);
    auto up = s.beginUpload(0, QStringLiteral("many.bin"), quint64(many.size()), ServiceFixture::sha1(many),
                            hashes);
    ASSERT_TRUE(up.ok());
    std::atomic<int> next{0}, unrecorded{0}, failures{0};
    std::vector<std::thread> lanes;
    for (int t = 0; t < 8; ++t) {
        lanes.emplace_back([&] {
            for (int i = next++; i < hashes.size(); i = next++) {
                if (s.putBlock(up.value.uploadId, i, many.mid(i * B, B), hashes[i])) {
                    ++failures;
                    continue;
                }
                Query q = s.database().query(QStringLiteral("SELECT 1 FROM blocks WHERE sha1 = ?"));
                q.bind(1, hashes[i]);
                if (!q.next())
                    ++unrecorded;
            }
        });
    }
    for (auto& t : lanes)
        t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(unrecorded.load(), 0);
    auto again = s.beginUpload(0, QStringLiteral("many.bin"), quint64(many.size()),
                               ServiceFixture::sha1(many), hashes);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.value.missingCount(), 0);
    EXPECT_TRUE(s.commitUpload(up.value.uploadId).ok());
}

TEST(ServiceDatabase, AFolderThatCannotBeMadeIsNamed) {
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/service");
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile blocks(folder + QStringLiteral("/blocks")); // a file where the block folder belongs
    ASSERT_TRUE(blocks.open(QIODevice::WriteOnly));
    blocks.close();
    auto s = EmbeddedCloudService::open(folder);
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.error.code(), kCloudErrorStorage);
    EXPECT_EQ(s.error.localizedDescription(), QStringLiteral("无法创建服务目录：%1/blocks").arg(folder));
}

TEST(ServiceDatabase, UnsoundDatabaseIsReportedAndKept) {
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/service");
    {
        auto s = EmbeddedCloudService::open(folder);
        ASSERT_TRUE(s.ok());
    }
    QFile::remove(folder + QStringLiteral("/service.db-wal"));
    QFile::remove(folder + QStringLiteral("/service.db-shm"));
    QFile f(folder + QStringLiteral("/service.db"));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.write(QByteArray(512, '\x01'));
    f.close();
    auto s = EmbeddedCloudService::open(folder);
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.error.code(), kCloudErrorStorage);
    // The user's files are never silently replaced by an empty service.
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/service.db")));
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/service.db.corrupt")));
}

// Damage that only the structural check can tell (an index page, the rows still readable), in a
// file made before: the service opens at once and checks beside its first calls, but no call
// reads or writes the nodes before the verdict, and every one fails as the open did before.
TEST(ServiceDatabase, DamageOnlyTheCheckFindsFailsEveryCallAndKeepsTheFile) {
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/service");
    const QString dbPath = folder + QStringLiteral("/service.db");
    {
        auto s = EmbeddedCloudService::open(folder);
        ASSERT_TRUE(s.ok());
        NodeList nodes;
        for (int i = 1; i <= 2000; ++i) {
            NodeRecord n;
            n.nid = i;
            n.pid = 0;
            n.name = QStringLiteral("file %1").arg(i);
            nodes.append(n);
        }
        ASSERT_FALSE(s.value->importNodes(nodes));
    }
    test::damageRootPage(dbPath, QStringLiteral("nodes_version"));
    QByteArray bytes;
    {
        QFile f(dbPath);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        bytes = f.readAll();
    }

    auto opened = EmbeddedCloudService::open(folder);
    ASSERT_TRUE(opened.ok());
    EmbeddedCloudService& s = *opened.value;
    EXPECT_TRUE(s.account().ok()); // its own table is sound, and checked before it is read
    auto isUnsound = [&](const BWError& e) {
        return e.code() == kCloudErrorStorage && e.localizedDescription().contains(dbPath) &&
               e.localizedDescription().contains(QStringLiteral("数据库已损坏"));
    };
    const auto all = s.fetchAllNodes(0, 100);
    EXPECT_TRUE(isUnsound(all.error)) << all.error.localizedDescription().toStdString();
    EXPECT_TRUE(isUnsound(s.fetchChanges(0, 100).error));
    EXPECT_TRUE(isUnsound(s.createFolder(0, QStringLiteral("new")).error));
    EXPECT_TRUE(isUnsound(s.rename(5, QStringLiteral("renamed")).error));
    EXPECT_TRUE(isUnsound(s.currentVersion().error));
    opened.value.reset();

    QFile f(dbPath);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll() == bytes); // not written, not replaced
    EXPECT_FALSE(QFile::exists(dbPath + QStringLiteral(".corrupt")));
    const QFileInfo wal(dbPath + QStringLiteral("-wal"));
    EXPECT_TRUE(!wal.exists() || wal.size() == 0);
}
