#include "transfer/BlockHasher.h"
#include "support/ServiceFixture.h"
#include "transfer/CloudPaths.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace nubo;
using namespace nubo::transfer;
using nubo::test::ServiceFixture;

// Sizes around block and read-chunk edges: the hasher splits reads among threads by chunk.
TEST(BlockHasher, MatchesPlainSha1AtEveryEdge) {
    QTemporaryDir dir;
    const qint64 sizes[] = {
        0, 1, kBlockSize - 1, kBlockSize, kBlockSize + 1, 32 * kBlockSize, 33 * kBlockSize + 7};
    for (qint64 size : sizes) {
        const QByteArray content = ServiceFixture::randomBytes(size, quint32(size + 1));
        const QString path = dir.path() + QStringLiteral("/f");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        f.close();
        FileDigest d;
        ASSERT_FALSE(hashFile(path, d)) << size;
        EXPECT_EQ(d.size, size);
        EXPECT_EQ(QString::fromLatin1(d.fileSha1.toHex()), ServiceFixture::sha1(content)) << size;
        QStringList blocks;
        for (const QByteArray& b : d.blockSha1s)
            blocks << QString::fromLatin1(b.toHex());
        EXPECT_EQ(blocks, ServiceFixture::blockHashes(content)) << size;
    }
}

TEST(BlockHasher, MissingFileIsAnErrorAndCancelStops) {
    FileDigest d;
    EXPECT_TRUE(hashFile(QStringLiteral("/nonexistent/nubo-file"), d));
    QTemporaryDir dir;
    QFile f(dir.path() + QStringLiteral("/f"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(int(kBlockSize) * 3, 'x'));
    f.close();
    std::atomic<bool> cancel{true};
    EXPECT_TRUE(hashFile(f.fileName(), d, &cancel));
}

TEST(CloudPaths, SplitsJoinsAndRefusesEscapingNames) {
    EXPECT_EQ(cloudParentPath(QStringLiteral("/a/b")), QStringLiteral("/a"));
    EXPECT_EQ(cloudParentPath(QStringLiteral("/b")), QStringLiteral("/"));
    EXPECT_EQ(cloudFileName(QStringLiteral("/a/b")), QStringLiteral("b"));
    EXPECT_EQ(cloudJoin(QStringLiteral("/"), QStringLiteral("b")), QStringLiteral("/b"));
    EXPECT_EQ(cloudJoin(QStringLiteral("/a"), QStringLiteral("b")), QStringLiteral("/a/b"));
    for (const char* bad : {"", ".", "..", "a/b", "../x"})
        EXPECT_FALSE(isSafeLocalName(QString::fromUtf8(bad))) << bad;
    EXPECT_FALSE(isSafeLocalName(QStringLiteral("a") + QChar(0) + QStringLiteral("b")));
    EXPECT_TRUE(isSafeLocalName(QStringLiteral("..a")));

    const QStringList taken{QStringLiteral("a.txt"), QStringLiteral("a(1).txt")};
    auto isTaken = [&](const QString& n) { return taken.contains(n); };
    EXPECT_EQ(freeName(QStringLiteral("a.txt"), isTaken), QStringLiteral("a(2).txt"));
    EXPECT_EQ(freeName(QStringLiteral("folder"), isTaken), QStringLiteral("folder(1)"));
    EXPECT_EQ(freeName(QStringLiteral(".profile"), isTaken), QStringLiteral(".profile(1)"));
}
