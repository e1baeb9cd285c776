#include "TransferFolder.h"

#include "storage/Database.h"
#include "support/ServiceFixture.h"
#include "transfer/KZTransportJobInfo.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace nubo::test {

void prepareTransferFolder(const QString& dir, const QByteArray& upContent, const QByteArray& downContent) {
    {
        QFile f(dir + QStringLiteral("/big.bin"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(upContent);
    }
    QDir().mkpath(dir + QStringLiteral("/dl"));
    auto svc = EmbeddedCloudService::open(dir + QStringLiteral("/service"));
    ASSERT_TRUE(svc.ok());
    ASSERT_TRUE(svc.value->createFolder(CloudService::kRootId, QStringLiteral("up")).ok());
    auto up = svc.value->beginUpload(CloudService::kRootId, QStringLiteral("cloud.bin"),
                                     quint64(downContent.size()), ServiceFixture::sha1(downContent),
                                     ServiceFixture::blockHashes(downContent));
    ASSERT_TRUE(up.ok());
    const QStringList blocks = ServiceFixture::blockHashes(downContent);
    for (int i = 0; i < blocks.size(); ++i)
        ASSERT_FALSE(svc.value->putBlock(
            up.value.uploadId, i, downContent.mid(i * CloudService::kBlockSize, CloudService::kBlockSize),
            blocks[i]));
    ASSERT_TRUE(svc.value->commitUpload(up.value.uploadId).ok());
}

void expectCleanEnd(const QString& dir, const QByteArray& upContent, const QByteArray& downContent) {
    auto svc = EmbeddedCloudService::open(dir + QStringLiteral("/service"));
    ASSERT_TRUE(svc.ok());
    EXPECT_FALSE(svc.value->verifyContent());
    EXPECT_EQ(svc.value->database().integrityCheck(), QStringLiteral("ok"));
    auto node = svc.value->nodeByPath(QStringLiteral("/up/big.bin"));
    ASSERT_TRUE(node.ok());
    EXPECT_EQ(node.value.fileHash, ServiceFixture::sha1(upContent));
    {
        Query q = svc.value->database().query(QStringLiteral("SELECT COUNT(*) FROM uploads"));
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.int64(0), 0) << "open uploads left";
    }
    QDirIterator tmp(dir + QStringLiteral("/service/blocks"), {QStringLiteral("*.tmp")},
                     QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    EXPECT_FALSE(tmp.hasNext()) << "temporary block file left: " << tmp.next().toStdString();
    QFile downloaded(dir + QStringLiteral("/dl/cloud.bin"));
    ASSERT_TRUE(downloaded.open(QIODevice::ReadOnly));
    EXPECT_EQ(ServiceFixture::sha1(downloaded.readAll()), ServiceFixture::sha1(downContent));
    EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/dl/.Download")));
    auto db = Database::open(dir + QStringLiteral("/user.db"));
    ASSERT_TRUE(db.ok());
    EXPECT_EQ(db.value->integrityCheck(), QStringLiteral("ok"));
    for (const char* table : {"upload_job", "download_job"}) {
        Query q = db.value->query(QStringLiteral("SELECT status FROM %1").arg(QLatin1String(table)));
        ASSERT_TRUE(q.next()) << table;
        EXPECT_EQ(q.int64(0), KZTransportJobStatusFinished) << table;
    }
}

} // namespace nubo::test
