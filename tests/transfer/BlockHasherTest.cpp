#include "transfer/BlockHasher.h"
#include "support/ServiceFixture.h"
#include "transfer/CloudPaths.h"
#include "transfer/TransferErrors.h"

#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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
        ASSERT_FALSE(hashBlocks(path, d)) << size;
        EXPECT_EQ(d.size, size);
        QByteArray whole;
        ASSERT_FALSE(hashWhole(path, size, whole)) << size;
        EXPECT_EQ(QString::fromLatin1(whole.toHex()), ServiceFixture::sha1(content)) << size;
        QStringList blocks;
        for (const QByteArray& b : d.blockSha1s)
            blocks << QString::fromLatin1(b.toHex());
        EXPECT_EQ(blocks, ServiceFixture::blockHashes(content)) << size;
    }
}

TEST(BlockHasher, MissingOrChangedFileIsAnErrorAndCancelStops) {
    FileDigest d;
    QByteArray whole;
    EXPECT_TRUE(hashBlocks(QStringLiteral("/nonexistent/nubo-file"), d));
    EXPECT_TRUE(hashWhole(QStringLiteral("/nonexistent/nubo-file"), 0, whole));
    QTemporaryDir dir;
    QFile f(dir.path() + QStringLiteral("/f"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(int(kBlockSize) * 3, 'x'));
    f.close();
    // The whole-file pass comes later than the block pass: a size that no longer holds is a change.
    EXPECT_EQ(hashWhole(f.fileName(), kBlockSize * 3 + 1, whole).code(), kErrLocalChanged);
    EXPECT_EQ(hashWhole(f.fileName(), kBlockSize * 3 - 1, whole).code(), kErrLocalChanged);
    EXPECT_EQ(hashBlocks(f.fileName(), d, [] { return true; }).code(), kErrCancelled);
    EXPECT_EQ(hashWhole(f.fileName(), kBlockSize * 3, whole, [] { return true; }).code(), kErrCancelled);
}

// What stands at the source's name is opened without waiting and without following a link: a
// FIFO (nobody writing) and a link, even to a sound file, are a changed file, told at once.
TEST(BlockHasher, AFifoOrALinkInPlaceOfTheFileIsAChangeToldAtOnce) {
    QTemporaryDir dir;
    const QString fifo = dir.path() + QStringLiteral("/fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QFile target(dir.path() + QStringLiteral("/target"));
    ASSERT_TRUE(target.open(QIODevice::WriteOnly));
    target.write(QByteArray(int(kBlockSize) + 1, 'x'));
    target.close();
    const QString link = dir.path() + QStringLiteral("/link");
    ASSERT_TRUE(QFile::link(target.fileName(), link));
    for (const QString& path : {fifo, link}) {
        auto both = std::async(std::launch::async, [&] {
            FileDigest d;
            QByteArray whole;
            return std::pair(hashBlocks(path, d).code(), hashWhole(path, kBlockSize + 1, whole).code());
        });
        if (both.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
            ADD_FAILURE() << "waits on " << path.toStdString();
            // Let the reader go: a writer that comes and goes ends its wait.
            while (both.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
                if (const int w = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK); w >= 0)
                    ::close(w);
        }
        const auto [blocks, whole] = both.get();
        EXPECT_EQ(blocks, kErrLocalChanged) << path.toStdString();
        EXPECT_EQ(whole, kErrLocalChanged) << path.toStdString();
    }
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
