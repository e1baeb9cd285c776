#include "support/TransferFixture.h"

#include "storage/Database.h"
#include "transfer/KZDownloadMgr.h"

#include <QDir>
#include <QFile>

using namespace nubo;
using namespace nubo::test;
using namespace nubo::transfer;

namespace {

constexpr qint64 kBlock = CloudService::kBlockSize;

// The blocks the per-user database records as written, with their SHA-1.
QHash<int, QString> recordedBlocks(const QString& dbPath) {
    QHash<int, QString> out;
    auto db = Database::open(dbPath);
    if (!db.ok())
        return out;
    Query q = db.value->query(QStringLiteral("SELECT idx, sha1 FROM download_block WHERE done=1"));
    while (q.next())
        out.insert(int(q.int64(0)), q.text(1));
    return out;
}

} // namespace

// A download stopped partway resumes over its partial file. It keeps the recorded blocks that
// the file still holds (and hashes them from the file, since they are not in memory), fetches
// again those that no longer match their record, and ends with the cloud's exact content. The
// file has more blocks than fetching may run ahead of the whole-file hash.
TEST_F(TransferTest, AResumedDownloadKeepsOnlyTheBlocksItsPartialFileStillHolds) {
    const int blocks = KZDownloadMgr::kHashWindow + 30;
    const QByteArray content = ServiceFixture::randomBytes(blocks * kBlock + 11, 77);
    const ServiceNode f = svc.putFile(QStringLiteral("/big.bin"), content);
    const QString path = local.path() + QStringLiteral("/big.bin");

    // Forty blocks arrive, then every later fetch fails: the job stops with an error.
    svc.service().setHeldAfter(ServiceOp::ReadRange, 40);
    addDownloads({KZDownloadMgr::makeJob(f, local.path(), path, false)});
    ASSERT_TRUE(waitUntil([&] { return recordedBlocks(dbPath).size() >= 32; }, 15000));
    svc.service().failNext(ServiceOp::ReadRange, 1000,
                           BWError(BWError::kDomainCloud, kCloudErrorDataCorrupt));
    svc.service().setHeld(ServiceOp::ReadRange, false);
    ASSERT_TRUE(waitDownloadsSettled());
    ASSERT_EQ(downloadStatus(path), KZTransportJobStatusError);
    svc.service().clearFaults();

    // The partial file: one recorded block damaged, one recorded block cut off at the end.
    const QStringList parts =
        QDir(local.path() + QStringLiteral("/.Download")).entryList(QDir::Files | QDir::Hidden);
    ASSERT_EQ(parts.size(), 1);
    const QString partial = local.path() + QStringLiteral("/.Download/") + parts.first();
    const QHash<int, QString> kept = recordedBlocks(dbPath);
    ASSERT_GE(kept.size(), 32);
    QList<int> indexes = kept.keys();
    std::sort(indexes.begin(), indexes.end());
    for (int i : indexes)
        EXPECT_EQ(kept.value(i), ServiceFixture::sha1(content.mid(i * kBlock, kBlock))) << "block " << i;
    {
        QFile file(partial);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.seek(indexes.at(3) * kBlock + 100));
        ASSERT_EQ(file.write("damaged"), 7);
        ASSERT_TRUE(file.resize(indexes.last() * kBlock + 5));
    }

    down->resume(path);
    ASSERT_TRUE(waitUntil([&] { return downloadStatus(path) == KZTransportJobStatusFinished; }, 15000));
    EXPECT_EQ(readLocal(path), content);
    EXPECT_FALSE(QFileInfo::exists(local.path() + QStringLiteral("/.Download")));
}
