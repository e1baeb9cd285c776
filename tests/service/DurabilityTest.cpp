// Kills a process that is writing to the service at random points and checks, after every
// restart, that the database is sound and every committed file is intact.
#include "support/Seed.h"
#include "support/ServiceFixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace nubo;
using test::ServiceFixture;

namespace {

const char* kFolderVar = "NUBO_DURABILITY_FOLDER";
const char* kChildSeedVar = "NUBO_DURABILITY_CHILD_SEED";
const QByteArray kCommitTag = "NUBO-COMMIT ";

} // namespace

// The child: writes until it is killed. Run only by the test below, as a separate process.
TEST(DurabilityChild, DISABLED_Writer) {
    const QString folder = qEnvironmentVariable(kFolderVar);
    ASSERT_FALSE(folder.isEmpty());
    auto opened = EmbeddedCloudService::open(folder);
    ASSERT_TRUE(opened.ok());
    EmbeddedCloudService& s = *opened.value;
    QRandomGenerator rng(qEnvironmentVariable(kChildSeedVar).toUInt());
    for (quint64 round = 0;; ++round) {
        auto dir = s.createFolder(0, QStringLiteral("d%1").arg(rng.generate64(), 0, 16));
        if (!dir.ok())
            continue;
        const qint64 size = rng.bounded(3 * CloudService::kBlockSize);
        const QByteArray content = ServiceFixture::randomBytes(size, rng.generate());
        const QStringList blocks = ServiceFixture::blockHashes(content);
        const QString sha1 = ServiceFixture::sha1(content);
        Result<ServiceNode> node;
        if (size <= CloudService::kBlockSize && round % 2 == 0) {
            // A file of one block, whose block is kept in the database.
            node = s.uploadSmallFile(dir.value.nid, QStringLiteral("f"), content, sha1, false);
        } else {
            auto up = s.beginUpload(dir.value.nid, QStringLiteral("f"), quint64(size), sha1, blocks);
            ASSERT_TRUE(up.ok());
            for (int i = int(blocks.size()) - 1; i >= 0; --i)
                ASSERT_FALSE(s.putBlock(up.value.uploadId, i,
                                        content.mid(i * CloudService::kBlockSize, CloudService::kBlockSize),
                                        blocks[i]));
            node = s.commitUpload(up.value.uploadId);
        }
        ASSERT_TRUE(node.ok());
        std::printf("%s%lld %s\n", kCommitTag.constData(), qlonglong(node.value.nid), qPrintable(sha1));
        std::fflush(stdout);
        // Tree changes around the committed files: renames, copies and removals of folders.
        if (round % 3 == 1) {
            EXPECT_TRUE(s.rename(dir.value.nid, QStringLiteral("r%1").arg(rng.generate64(), 0, 16)).ok());
        }
        if (round % 4 == 2) {
            EXPECT_TRUE(s.copy(dir.value.nid, 0, QStringLiteral("c%1").arg(rng.generate64(), 0, 16)).ok());
        }
        if (round % 5 == 3) {
            auto extra = s.createFolder(dir.value.nid, QStringLiteral("tmp"));
            if (extra.ok()) {
                EXPECT_FALSE(s.remove({extra.value.nid}));
            }
        }
    }
}

TEST(Durability, SurvivesSigkillAtRandomPoints) {
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/service");
    QMap<qint64, QString> committed;
    const int rounds = 15;
    // The writers' choices and the kill times follow from one seed (the kills land by the clock).
    QRandomGenerator rng(nubo::test::testSeed("NUBO_DURABILITY_SEED"));
    for (int round = 0; round < rounds; ++round) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kFolderVar), folder);
        env.insert(QString::fromLatin1(kChildSeedVar), QString::number(rng.generate()));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_also_run_disabled_tests"),
                     QStringLiteral("--gtest_filter=DurabilityChild.DISABLED_Writer")});
        ASSERT_TRUE(child.waitForStarted(10000));
        QByteArray out;
        // The kill window opens at the writer's first commit: a slow start (a loaded machine, a
        // sanitizer build, the check of a file made before) would otherwise fill it.
        QDeadlineTimer ready(30000);
        while (!out.contains(kCommitTag) && !ready.hasExpired() && child.state() == QProcess::Running) {
            child.waitForReadyRead(100);
            out += child.readAllStandardOutput();
        }
        ASSERT_TRUE(out.contains(kCommitTag))
            << out.toStdString() << child.readAllStandardError().toStdString();
        // Let it write for a random while, then kill it where it stands.
        QDeadlineTimer run(rng.bounded(20, 400));
        while (!run.hasExpired() && child.state() == QProcess::Running) {
            child.waitForReadyRead(int(qMax<qint64>(1, run.remainingTime())));
            out += child.readAllStandardOutput();
        }
        ASSERT_EQ(child.state(), QProcess::Running) << "the writer stopped by itself: " << out.toStdString();
        const qint64 pid = child.processId();
        ASSERT_GT(pid, 0); // kill(0) would hit this whole process group
        ::kill(pid_t(pid), SIGKILL);
        child.waitForFinished(10000);
        out += child.readAllStandardOutput();

        for (const QByteArray& line : out.split('\n')) {
            if (!line.startsWith(kCommitTag))
                continue;
            const QList<QByteArray> parts = line.mid(kCommitTag.size()).split(' ');
            if (parts.size() == 2 && parts[1].size() == 40)
                committed.insert(parts[0].toLongLong(), QString::fromLatin1(parts[1]));
        }

        auto opened = EmbeddedCloudService::open(folder);
        ASSERT_TRUE(opened.ok()) << "round " << round << ": "
                                 << opened.error.localizedDescription().toStdString();
        EmbeddedCloudService& s = *opened.value;
        ASSERT_EQ(s.database().integrityCheck(), QStringLiteral("ok")) << "round " << round;
        ASSERT_FALSE(s.verifyContent()) << "round " << round;
        for (auto it = committed.cbegin(); it != committed.cend(); ++it) {
            auto n = s.node(it.key());
            ASSERT_TRUE(n.ok()) << "round " << round << ": committed file " << it.key() << " is gone";
            EXPECT_EQ(n.value.fileHash, it.value());
            auto bytes = s.readRange(it.key(), 0, n.value.size);
            ASSERT_TRUE(bytes.ok());
            EXPECT_EQ(ServiceFixture::sha1(bytes.value), it.value());
        }
    }
    EXPECT_GT(committed.size(), rounds); // the kills did land among real writes
}

// Temporary block files of an ended process (killed between writing a block and renaming it)
// are removed when the service opens; one this process may still be writing is left alone.
TEST(Durability, LeftoverTemporaryBlocksGoAtStart) {
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/service");
    { ASSERT_TRUE(EmbeddedCloudService::open(folder).ok()); }
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ASSERT_GT(ended, 0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const QString blocks = folder + QStringLiteral("/blocks/ab/");
    QDir().mkpath(blocks);
    const QString ofEnded = blocks + QStringLiteral(".ab12.%1-5f3e.tmp").arg(ended);
    const QString ofThis = blocks + QStringLiteral(".ab34.%1-77aa.tmp").arg(::getpid());
    const QString oldStyle = blocks + QStringLiteral(".ab56.9c1d.tmp"); // no process id in the name
    const QString oldStyleFresh = blocks + QStringLiteral(".ab78.2b2b.tmp");
    for (const QString& f : {ofEnded, ofThis, oldStyle, oldStyleFresh}) {
        QFile file(f);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("partial block");
    }
    // Without a process id, what was last written before this process started goes.
    const timespec times[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(oldStyle).constData(), times, 0), 0);
    ASSERT_TRUE(EmbeddedCloudService::open(folder).ok());
    EXPECT_FALSE(QFileInfo::exists(ofEnded));
    EXPECT_TRUE(QFileInfo::exists(ofThis));
    EXPECT_FALSE(QFileInfo::exists(oldStyle));
    EXPECT_TRUE(QFileInfo::exists(oldStyleFresh));
}
