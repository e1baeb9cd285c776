// What the commit of an upload relies on: the whole-file hash folded as blocks arrive, the file
// hash given late, and held blocks that this process never wrote checked before they are used.
#include "service/BlobStore.h"
#include "service/CommitGroup.h"
#include "service/UploadProgress.h"
#include "support/EventLoop.h"
#include "support/ServiceFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <thread>

using namespace nubo;
using test::ServiceFixture;
using test::waitUntil;

namespace {

constexpr qint64 B = CloudService::kBlockSize;

QByteArray slice(const QByteArray& data, int i, qint64 blockSize) {
    return data.mid(i * blockSize, blockSize);
}

QString blobPath(EmbeddedCloudService& s, const QString& sha1) {
    return s.folder() + QStringLiteral("/blocks/") + sha1.left(2) + QLatin1Char('/') + sha1;
}

} // namespace

// Small blocks in a scrambled order from several threads, some never handed in (read back at
// the end), more ahead of their turn than may wait in memory.
TEST(UploadProgress, FoldsTheWholeInOrderWhateverTheArrival) {
    constexpr qint64 kSmall = 1000;
    const int n = 3 * UploadProgress::kMaxAhead + 5;
    const QByteArray data = ServiceFixture::randomBytes(n * kSmall - 17, 3);
    UploadProgress progress(quint64(data.size()), QStringList(n, QString()));
    std::vector<int> order(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        order[size_t(i)] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(5));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (size_t k = size_t(t); k < order.size(); k += 4)
                if (order[k] % 7 != 3) // these never arrive
                    progress.add(order[k], slice(data, order[k], kSmall));
        });
    }
    for (auto& th : threads)
        th.join();
    QList<int> readBack;
    bool failOnce = true;
    auto read = [&](int i) -> Result<QByteArray> {
        if (failOnce) {
            failOnce = false;
            return Result<QByteArray>::failure(BWError(BWError::kDomainCloud, kCloudErrorStorage));
        }
        readBack << i;
        return {slice(data, i, kSmall), {}};
    };
    EXPECT_TRUE(progress.finish(read).error); // a failed read leaves the fold to be finished later
    auto whole = progress.finish(read);
    ASSERT_TRUE(whole.ok());
    EXPECT_EQ(whole.value, ServiceFixture::sha1(data));
    for (int i = 3; i < n; i += 7)
        EXPECT_TRUE(readBack.contains(i)) << i;
    EXPECT_LT(readBack.size(), n); // most of it came from the blocks as they arrived
    EXPECT_EQ(progress.finish(read).value, whole.value);
}

// Blocks that came without room to wait are read back as the fold reaches them, so that the
// commit has nothing left to read.
TEST(UploadProgress, TheFoldGoesOnPastBlocksThatHadNoRoomToWait) {
    constexpr qint64 kSmall = 1000;
    const int n = 3 * UploadProgress::kMaxAhead + 5;
    const QByteArray data = ServiceFixture::randomBytes(n * kSmall - 17, 4);
    QList<int> readDuringFold;
    UploadProgress progress(quint64(data.size()), QStringList(n, QString()),
                            [&](int i) -> Result<QByteArray> {
                                readDuringFold << i;
                                return {slice(data, i, kSmall), {}};
                            });
    for (int i = 1; i < n; ++i)
        progress.add(i, slice(data, i, kSmall));
    EXPECT_TRUE(readDuringFold.isEmpty()); // nothing is read before its turn
    progress.add(0, slice(data, 0, kSmall));
    EXPECT_EQ(readDuringFold.size(), n - 1 - UploadProgress::kMaxAhead);
    auto whole = progress.finish([](int) -> Result<QByteArray> {
        ADD_FAILURE() << "the commit read a block again";
        return Result<QByteArray>::failure(BWError(BWError::kDomainCloud, kCloudErrorStorage));
    });
    ASSERT_TRUE(whole.ok());
    EXPECT_EQ(whole.value, ServiceFixture::sha1(data));
}

// While the fold runs, a thread that hands in a block reads back the next block the fold will
// need that had no room to wait, so the fold finds it in memory and only hashes.
TEST(UploadProgress, OtherThreadsReadBackWhatTheFoldWillSoonNeed) {
    constexpr qint64 kSmall = 1000;
    const int n = 3 * UploadProgress::kMaxAhead + 5;
    const int firstDropped = UploadProgress::kMaxAhead + 1; // 1 .. kMaxAhead wait in memory
    const QByteArray data = ServiceFixture::randomBytes(n * kSmall - 17, 6);
    std::mutex mutex;
    std::condition_variable changed;
    bool foldReading = false, released = false;
    QList<QPair<int, std::thread::id>> reads;
    UploadProgress progress(
        quint64(data.size()), QStringList(n, QString()), [&](int i) -> Result<QByteArray> {
            std::unique_lock lock(mutex);
            reads.append({i, std::this_thread::get_id()});
            if (i == firstDropped) { // the fold's own read: held until the other thread has read ahead
                foldReading = true;
                changed.notify_all();
                changed.wait(lock, [&] { return released; });
            }
            return {slice(data, i, kSmall), {}};
        });
    for (int i = 1; i < n; ++i)
        progress.add(i, slice(data, i, kSmall));
    std::thread folder([&] { progress.add(0, slice(data, 0, kSmall)); });
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return foldReading; }));
    }
    progress.add(1, slice(data, 1, kSmall)); // a block handed in again, while the fold runs
    {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
    folder.join();
    auto whole = progress.finish([](int) -> Result<QByteArray> {
        ADD_FAILURE() << "the commit read a block again";
        return Result<QByteArray>::failure(BWError(BWError::kDomainCloud, kCloudErrorStorage));
    });
    ASSERT_TRUE(whole.ok());
    EXPECT_EQ(whole.value, ServiceFixture::sha1(data));
    QList<int> byThisThread, byTheFold;
    for (const auto& [i, who] : reads)
        (who == std::this_thread::get_id() ? byThisThread : byTheFold).append(i);
    EXPECT_EQ(byThisThread, QList<int>{firstDropped + 1});
    EXPECT_FALSE(byTheFold.contains(firstDropped + 1));
    EXPECT_EQ(reads.size(), n - firstDropped); // each dropped block read once
}

TEST(UploadCommit, TheFileHashMayComeWithTheCommit) {
    ServiceFixture fx;
    EmbeddedCloudService& s = fx.service();
    const QByteArray data = ServiceFixture::randomBytes(2 * B + 9, 21);
    const QStringList blocks = ServiceFixture::blockHashes(data);
    auto up = s.beginUpload(0, QStringLiteral("late.bin"), quint64(data.size()), QString(), blocks);
    ASSERT_TRUE(up.ok());
    for (int i = 0; i < blocks.size(); ++i)
        ASSERT_FALSE(s.putBlock(up.value.uploadId, i, slice(data, i, B), blocks[i]));
    const QString other = ServiceFixture::sha1("other");
    EXPECT_EQ(s.commitUpload(up.value.uploadId).error.code(), kCloudErrorInvalidArgument);
    EXPECT_EQ(s.commitUpload(up.value.uploadId, false, QStringLiteral("xyz")).error.code(),
              kCloudErrorInvalidArgument);
    EXPECT_EQ(s.commitUpload(up.value.uploadId, false, other).error.code(), kCloudErrorFileHashMismatch);
    auto node = s.commitUpload(up.value.uploadId, false, ServiceFixture::sha1(data).toUpper());
    ASSERT_TRUE(node.ok()) << node.error.localizedDescription().toStdString();
    EXPECT_EQ(node.value.fileHash, ServiceFixture::sha1(data));
    EXPECT_EQ(fx.readAll(node.value.nid), data);

    // Declared at the begin, a different one at the commit is refused.
    auto early = s.beginUpload(0, QStringLiteral("early.bin"), quint64(data.size()),
                               ServiceFixture::sha1(data), blocks);
    ASSERT_TRUE(early.ok());
    EXPECT_EQ(s.commitUpload(early.value.uploadId, false, other).error.code(), kCloudErrorFileHashMismatch);
    EXPECT_TRUE(s.commitUpload(early.value.uploadId, false, ServiceFixture::sha1(data)).ok());
    EXPECT_FALSE(s.verifyContent());
}

// Blocks taken by a process that then died may not have reached the disk: a later process checks
// them at the commit, drops the missing and damaged ones and asks for them again.
TEST(UploadCommit, HeldBlocksLostBeforeTheCommitAreAskedForAgain) {
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/service");
    const QByteArray data = ServiceFixture::randomBytes(4 * B + 77, 22);
    const QStringList blocks = ServiceFixture::blockHashes(data);
    const QString sha1 = ServiceFixture::sha1(data);
    QString uploadId;
    {
        auto first = EmbeddedCloudService::open(folder);
        ASSERT_TRUE(first.ok());
        auto up = first.value->beginUpload(0, QStringLiteral("f.bin"), quint64(data.size()), sha1, blocks);
        ASSERT_TRUE(up.ok());
        uploadId = up.value.uploadId;
        for (int i = 0; i < blocks.size(); ++i)
            ASSERT_FALSE(first.value->putBlock(uploadId, i, slice(data, i, B), blocks[i]));
        // Torn and lost blocks, as a power cut could leave them.
        QFile torn(blobPath(*first.value, blocks[1]));
        ASSERT_TRUE(torn.open(QIODevice::ReadWrite));
        torn.seek(B / 2);
        torn.write("torn");
        torn.close();
        ASSERT_TRUE(QFile::remove(blobPath(*first.value, blocks[3])));
    }
    auto opened = EmbeddedCloudService::open(folder);
    ASSERT_TRUE(opened.ok());
    EmbeddedCloudService& s = *opened.value;
    auto refused = s.commitUpload(uploadId);
    EXPECT_EQ(refused.error.code(), kCloudErrorBlockMissing);
    EXPECT_EQ(refused.error.userInfo().value(QStringLiteral("missing")).toList(), (QVariantList{1, 3}));
    EXPECT_TRUE(s.children(0).value.isEmpty());

    auto again = s.beginUpload(0, QStringLiteral("f.bin"), quint64(data.size()), sha1, blocks);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.value.uploadId, uploadId);
    EXPECT_EQ(again.value.present, (QList<bool>{true, false, true, false, true}));
    ASSERT_FALSE(s.putBlock(uploadId, 1, slice(data, 1, B), blocks[1]));
    ASSERT_FALSE(s.putBlock(uploadId, 3, slice(data, 3, B), blocks[3]));
    auto node = s.commitUpload(uploadId);
    ASSERT_TRUE(node.ok()) << node.error.localizedDescription().toStdString();
    auto bytes = s.readRange(node.value.nid, 0, quint64(data.size()));
    ASSERT_TRUE(bytes.ok());
    EXPECT_EQ(bytes.value, data);
    EXPECT_FALSE(s.verifyContent());
}

// The block of a file of one block is kept in the database: after a restart it still serves
// the file and bigger files that hold the same bytes, which need not send it again, also when a
// damaged file lies under its name in the block folder (left by a version that kept every block
// there).
TEST(UploadCommit, ABlockKeptWithASmallFileServesLaterUploads) {
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/service");
    const QByteArray data = ServiceFixture::randomBytes(2 * B + 5, 25);
    const QStringList blocks = ServiceFixture::blockHashes(data);
    const QByteArray small = slice(data, 0, B);
    qint64 smallId = 0;
    {
        auto first = EmbeddedCloudService::open(folder);
        ASSERT_TRUE(first.ok());
        auto made = first.value->uploadSmallFile(0, QStringLiteral("small.bin"), small, blocks[0], false);
        ASSERT_TRUE(made.ok()) << made.error.localizedDescription().toStdString();
        smallId = made.value.nid;
    }
    auto opened = EmbeddedCloudService::open(folder);
    ASSERT_TRUE(opened.ok());
    EmbeddedCloudService& s = *opened.value;
    EXPECT_EQ(s.readRange(smallId, 0, quint64(B)).value, small);

    // Sends the blocks the service asks for and answers which ones it had.
    const auto uploadWhole = [&](const QString& name) {
        auto up = s.beginUpload(0, name, quint64(data.size()), ServiceFixture::sha1(data), blocks);
        EXPECT_TRUE(up.ok());
        for (int i = 0; i < blocks.size(); ++i)
            if (up.ok() && !up.value.present.at(i)) {
                EXPECT_FALSE(s.putBlock(up.value.uploadId, i, slice(data, i, B), blocks[i]));
            }
        auto node = s.commitUpload(up.value.uploadId);
        EXPECT_TRUE(node.ok()) << node.error.localizedDescription().toStdString();
        EXPECT_EQ(s.readRange(node.value.nid, 0, quint64(data.size())).value, data);
        return up.value.present;
    };
    EXPECT_EQ(uploadWhole(QStringLiteral("big.bin")), (QList<bool>{true, false, false}));
    for (const QByteArray& damage : {QByteArray("XY"), QByteArray(B, 'x')}) {
        SCOPED_TRACE(damage.size());
        const QString blob = blobPath(s, blocks[0]);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(blob).path()));
        QFile f(blob);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(damage);
        f.close();
        uploadWhole(QStringLiteral("big%1.bin").arg(damage.size()));
    }
    EXPECT_FALSE(s.verifyContent());
}

// A block held for another file and damaged since is written again from the bytes sent.
TEST(UploadCommit, ABlockSentAgainRepairsADamagedCopy) {
    ServiceFixture fx;
    EmbeddedCloudService& s = fx.service();
    const QByteArray data = ServiceFixture::randomBytes(2 * B, 23);
    const QStringList blocks = ServiceFixture::blockHashes(data);
    ServiceNode first = fx.putFile(QStringLiteral("/a.bin"), data);
    QFile damaged(blobPath(s, blocks[0]));
    ASSERT_TRUE(damaged.open(QIODevice::ReadWrite));
    damaged.write("XY");
    damaged.close();
    EXPECT_EQ(s.verifyContent().code(), kCloudErrorDataCorrupt);
    auto up =
        s.beginUpload(0, QStringLiteral("b.bin"), quint64(data.size()), ServiceFixture::sha1(data), blocks);
    ASSERT_TRUE(up.ok());
    ASSERT_FALSE(s.putBlock(up.value.uploadId, 0, slice(data, 0, B), blocks[0]));
    ASSERT_TRUE(s.commitUpload(up.value.uploadId).ok());
    EXPECT_EQ(fx.readAll(first.nid), data);
    EXPECT_FALSE(s.verifyContent());
}

// A file left under a block's name by a crash, with no row for it, is not taken for the block.
TEST(UploadCommit, ALeftoverFileUnderABlocksNameIsReplaced) {
    ServiceFixture fx;
    EmbeddedCloudService& s = fx.service();
    const QByteArray data = ServiceFixture::randomBytes(B + 3, 24);
    const QStringList blocks = ServiceFixture::blockHashes(data);
    for (const QString& sha1 : blocks) {
        const QString path = blobPath(s, sha1);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile leftover(path);
        ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
        leftover.write(QByteArray(int(sha1 == blocks[0] ? B : 3), '\0')); // right size, wrong bytes
    }
    ServiceNode node = fx.putFile(QStringLiteral("/f.bin"), data);
    EXPECT_EQ(fx.readAll(node.nid), data);
    EXPECT_FALSE(s.verifyContent());
}

// Commits that arrive while a flush is under way wait and then go to the disk together: with one
// group writing, one more may sync meanwhile and the rest wait, so the twelve below are written
// by at most two threads in two transactions. A refused commit undoes only its own rows, and
// each caller finds its rows committed (seen from another connection) when its call returns.
TEST(CommitGroup, CommitsWaitingTogetherShareOneFlushAndFailAlone) {
    QTemporaryDir dir;
    Database::Options options;
    options.durability = Database::Durability::Full;
    auto db = Database::open(dir.filePath(QStringLiteral("g.db")), options);
    ASSERT_TRUE(db.ok());
    ASSERT_FALSE(db.value->exec(QStringLiteral("CREATE TABLE t (k INTEGER PRIMARY KEY)")));
    BlobStore blobs(dir.filePath(QStringLiteral("blocks")));
    QStringList blocks;
    for (int i = 0; i < 4; ++i) {
        const QByteArray bytes = ServiceFixture::randomBytes(1000 + i, quint32(i));
        blocks << ServiceFixture::sha1(bytes);
        ASSERT_FALSE(blobs.write(blocks.last(), bytes));
    }
    CommitGroup group(*db.value, blobs);
    auto insert = [&](int k) {
        return db.value->query(QStringLiteral("INSERT INTO t (k) VALUES (?)")).bind(1, k).exec();
    };

    // The first commit holds its flush open until the others wait behind it.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> firstWriting{false};
    std::thread first([&] {
        EXPECT_FALSE(group.commit({blocks[0]}, [&] {
            firstWriting = true;
            released.wait();
            return insert(0);
        }));
    });
    ASSERT_TRUE(waitUntil([&] { return firstWriting.load(); }));
    constexpr int kOthers = 12;
    std::vector<std::thread::id> writers(kOthers);
    std::vector<BWError> results(kOthers);
    std::vector<std::thread> others;
    for (int i = 0; i < kOthers; ++i) {
        others.emplace_back([&, i] {
            results[size_t(i)] = group.commit({blocks[i % 4]}, [&, i]() -> BWError {
                writers[size_t(i)] = std::this_thread::get_id();
                if (BWError e = insert(100 + i))
                    return e;
                // Refused after writing: its row must go again.
                if (i == 5)
                    return BWError(BWError::kDomainCloud, kCloudErrorNameExists);
                // A row that breaks a constraint (the first commit's key) fails too.
                return i == 7 ? insert(0) : BWError();
            });
            // Returned: its rows are committed for every other connection.
            auto other = Database::open(dir.filePath(QStringLiteral("g.db")));
            ASSERT_TRUE(other.ok());
            Query q = other.value->query(QStringLiteral("SELECT count(*) FROM t WHERE k = ?"));
            q.bind(1, 100 + i);
            ASSERT_TRUE(q.next());
            EXPECT_EQ(q.int64(0), results[size_t(i)] ? 0 : 1) << i;
        });
    }
    ASSERT_TRUE(waitUntil([&] { return group.pendingCount() == 1 + kOthers; }));
    release.set_value();
    first.join();
    for (auto& t : others)
        t.join();
    std::set<std::thread::id> flushes;
    for (int i = 0; i < kOthers; ++i) {
        EXPECT_EQ(bool(results[size_t(i)]), i == 5 || i == 7) << i;
        flushes.insert(writers[size_t(i)]);
    }
    EXPECT_LE(flushes.size(), 2u);
    Query all = db.value->query(QStringLiteral("SELECT count(*) FROM t"));
    ASSERT_TRUE(all.next());
    EXPECT_EQ(all.int64(0), 1 + kOthers - 2);
}

// A block that cannot be made durable fails every commit of the flush, and none of their rows
// is written.
TEST(CommitGroup, ABlockThatCannotBeSyncedFailsTheCommitBeforeItsRows) {
    QTemporaryDir dir;
    auto db = Database::open(dir.filePath(QStringLiteral("g.db")));
    ASSERT_TRUE(db.ok());
    BlobStore blobs(dir.filePath(QStringLiteral("blocks")));
    CommitGroup group(*db.value, blobs);
    bool wrote = false;
    const BWError err = group.commit({QString(40, QLatin1Char('a'))}, [&] {
        wrote = true;
        return BWError();
    });
    EXPECT_EQ(err.code(), kCloudErrorStorage);
    EXPECT_FALSE(wrote);
}

// A block the background failed to sync fails the next sync that asks for it, even if the file
// under its name looks fine by then (a second fsync may report success for data that was lost);
// once reported, it is synced afresh.
TEST(BlobStore, ABackgroundSyncThatFailedFailsTheNextSync) {
    QTemporaryDir dir;
    BlobStore blobs(dir.filePath(QStringLiteral("blocks")));
    const QString sha1(40, QLatin1Char('c'));
    blobs.syncSoon(sha1); // nothing under its name yet: the background's sync fails
    ASSERT_TRUE(test::waitUntil([&] { return blobs.backgroundIdle(); }, 5000));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(blobs.pathOf(sha1)).absolutePath()));
    QFile f(blobs.pathOf(sha1));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();
    const BWError failed = blobs.sync({sha1});
    EXPECT_EQ(failed.code(), kCloudErrorStorage);
    // The cause in the user's words first, then the folder and the system's text for support.
    EXPECT_TRUE(failed.localizedDescription().startsWith(
        QStringLiteral("存储失败：磁盘读写出错（%1：").arg(dir.filePath(QStringLiteral("blocks")))))
        << failed.localizedDescription().toStdString();
    EXPECT_FALSE(blobs.sync({sha1}));

    // A block written again after a failed background sync is a new copy: nothing to report.
    const QByteArray bytes("block bytes");
    const QString other = Sha1::of(bytes);
    blobs.syncSoon(other);
    ASSERT_TRUE(test::waitUntil([&] { return blobs.backgroundIdle(); }, 5000));
    ASSERT_FALSE(blobs.write(other, bytes));
    EXPECT_FALSE(blobs.sync({other}));
}
