#include "shell/KZSingleInstance.h"
#include "support/EventLoop.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

using nubo::test::waitUntil;

namespace {

// A process of the same user that stays until it is ended.
struct Sleeper {
    QProcess process;
    Sleeper() {
        process.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        process.waitForStarted();
    }
    ~Sleeper() {
        process.kill();
        process.waitForFinished();
    }
    bool alive() { return process.state() == QProcess::Running && !process.waitForFinished(100); }
};

bool lockedByAnother(const QString& lock) {
    const int fd = ::open(QFile::encodeName(lock).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

// Holds the lock the way a running copy does, without listening: a hung or starting copy.
struct Holder {
    QProcess process;
    explicit Holder(const QString& lock) {
        process.start(QStringLiteral("flock"),
                      {QStringLiteral("--no-fork"), lock, QStringLiteral("sleep"), QStringLiteral("60")});
        process.waitForStarted();
    }
    ~Holder() { crash(); }
    void crash() {
        process.kill();
        process.waitForFinished();
    }
};

} // namespace

TEST(SingleInstance, ALaterStartRaisesTheRunningCopyAndAnotherDataFolderStartsItsOwn) {
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("data"));
    KZSingleInstance first(folder);
    int raised = 0;
    first.setRaiseHandler([&] { ++raised; });
    ASSERT_EQ(first.claim(), KZSingleInstance::Claim::First);
    EXPECT_EQ(QFile::permissions(folder) & 0x0077, 0); // nothing for group or others
    EXPECT_EQ(QFileInfo(first.lockPath()).path(), folder);

    KZSingleInstance second(folder);
    EXPECT_EQ(second.claim(1000), KZSingleInstance::Claim::Raised);
    EXPECT_TRUE(waitUntil([&] { return raised == 1; }));
    EXPECT_EQ(KZSingleInstance(folder).claim(1000), KZSingleInstance::Claim::Raised);
    EXPECT_TRUE(waitUntil([&] { return raised == 2; }));

    KZSingleInstance other(home.filePath(QStringLiteral("other")));
    EXPECT_EQ(other.claim(), KZSingleInstance::Claim::First);
}

TEST(SingleInstance, ACrashedCopysLockIsTakenOverAndAHungOneIsNotJoined) {
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("data"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString lock = KZSingleInstance(folder).lockPath();
    Holder holder(lock);
    ASSERT_TRUE(waitUntil([&] { return lockedByAnother(lock); }));
    // Whatever the lock file says, a process it names is never signalled.
    Sleeper named;
    {
        QFile f(lock);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::number(named.process.processId()) + "\nnubo\n");
    }
    KZSingleInstance waiting(folder);
    EXPECT_EQ(waiting.claim(300), KZSingleInstance::Claim::Failed);
    EXPECT_FALSE(waiting.errorString().isEmpty());

    holder.crash(); // the kernel lets go of a dead holder's lock
    QFile(KZSingleInstance(folder).socketPath()).open(QIODevice::WriteOnly); // and its socket stays
    KZSingleInstance next(folder);
    int raised = 0;
    next.setRaiseHandler([&] { ++raised; });
    ASSERT_EQ(next.claim(), KZSingleInstance::Claim::First);
    EXPECT_EQ(KZSingleInstance(folder).claim(1000), KZSingleInstance::Claim::Raised);
    EXPECT_TRUE(waitUntil([&] { return raised == 1; }));
    EXPECT_TRUE(named.alive());
}

TEST(SingleInstance, ALinkInPlaceOfTheLockFileIsNotFollowed) {
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("data"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString target = home.filePath(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QFile::link(target, KZSingleInstance(folder).lockPath()));
    KZSingleInstance instance(folder);
    EXPECT_EQ(instance.claim(100), KZSingleInstance::Claim::Failed);
    EXPECT_FALSE(QFile::exists(target));
}
