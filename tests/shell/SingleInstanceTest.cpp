#include "shell/KZSingleInstance.h"
#include "support/EventLoop.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using nubo::test::drainEvents;
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

// The number the next descriptor of this process gets: a limit of it leaves none to open.
rlim_t nextDescriptor() {
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ::close(fd);
    return rlim_t(fd);
}

// Sets this process's descriptor limit for the life of the object.
struct DescriptorLimit {
    rlimit saved{};
    explicit DescriptorLimit(rlim_t soft) {
        ::getrlimit(RLIMIT_NOFILE, &saved);
        rlimit lowered = saved;
        lowered.rlim_cur = std::min(soft, saved.rlim_max);
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &saved); }
};

sockaddr_un addressOf(const QString& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray p = QFile::encodeName(path);
    std::memcpy(addr.sun_path, p.constData(), size_t(p.size()));
    return addr;
}

// A connection to the instance socket that sends only what the test writes.
struct Client {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ~Client() { ::close(fd); }
    bool connectTo(const QString& path) const {
        const sockaddr_un addr = addressOf(path);
        return ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    }
    // Whether the other end has closed the connection (it reads the end of the stream).
    bool closedByPeer() const {
        char c;
        return ::recv(fd, &c, 1, MSG_DONTWAIT) == 0;
    }
};

// Another process of the user that opens `count` connections to the socket and keeps them,
// saying nothing, until it is ended. It tells through a pipe how many it got.
struct IdleConnections {
    pid_t pid = -1;
    int report = -1;
    IdleConnections(const QString& path, int count) {
        const sockaddr_un addr = addressOf(path);
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        pid = ::fork();
        if (pid == 0) { // only calls that are safe after a fork of a threaded process
            // Nothing of the parent's stays open here, its listener least of all.
            ::close_range(3, unsigned(fds[1]) - 1, 0);
            ::close_range(unsigned(fds[1]) + 1, ~0U, 0);
            int connected = 0;
            for (int i = 0; i < count; ++i) {
                const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
                if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0)
                    ++connected;
                else if (fd >= 0)
                    ::close(fd);
            }
            if (::write(fds[1], &connected, sizeof connected) == sizeof connected)
                ::pause(); // until the parent ends it
            ::_exit(0);
        }
        ::close(fds[1]);
        report = fds[0];
    }
    ~IdleConnections() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        ::close(report);
    }
    // How many it connected, once it has tried them all; -1 before.
    int connected() {
        if (count < 0 && ::read(report, &count, sizeof count) != sizeof count)
            count = -1;
        return count;
    }
    int count = -1;
};

// A copy running on a data folder of its own, counting the starts that asked for its window.
struct RunningCopy {
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("data"));
    KZSingleInstance instance{folder};
    int raised = 0;
    RunningCopy() {
        instance.setRaiseHandler([this] { ++raised; });
    }
    // A later start on the folder hands over to this copy, which is asked for its window.
    bool laterStartRaises() {
        const int before = raised;
        return KZSingleInstance(folder).claim(1000) == KZSingleInstance::Claim::Raised &&
               waitUntil([&] { return raised == before + 1; });
    }
};

} // namespace

TEST(SingleInstance, ALaterStartRaisesTheRunningCopyAndAnotherDataFolderStartsItsOwn) {
    RunningCopy first;
    ASSERT_EQ(first.instance.claim(), KZSingleInstance::Claim::First);
    EXPECT_EQ(QFile::permissions(first.folder) & 0x0077, 0); // nothing for group or others
    EXPECT_EQ(QFileInfo(first.instance.lockPath()).path(), first.folder);
    EXPECT_EQ(QFile::permissions(first.instance.socketPath()) & 0x0077, 0);
    EXPECT_TRUE(first.laterStartRaises());
    EXPECT_TRUE(first.laterStartRaises());

    KZSingleInstance other(first.home.filePath(QStringLiteral("other")));
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

// Idle connections, however many, neither use up the running copy's descriptors nor make it stop
// listening: the copy holds a few, drops those that say nothing, and a later start still gets in.
TEST(SingleInstance, IdleConnectionsDoNotLockLaterStartsOut) {
    RunningCopy first;
    ASSERT_EQ(first.instance.claim(), KZSingleInstance::Claim::First);
    const QString socket = first.instance.socketPath();
    {
        constexpr int kIdle = 1100;
        IdleConnections idle(socket, kIdle);
        ASSERT_GT(idle.pid, 0);
        // A few dozen descriptors to spare here: far fewer than the idle connections.
        const DescriptorLimit limit{nextDescriptor() + 64};
        EXPECT_TRUE(waitUntil([&] { return idle.connected() >= 0; }, 20000));
        EXPECT_EQ(idle.connected(), kIdle);
        EXPECT_TRUE(QFileInfo::exists(socket));
        EXPECT_TRUE(first.laterStartRaises());
    }

    // One that says nothing, or only part of a request, is dropped after a short while.
    first.instance.setRequestTimeoutMs(50);
    Client silent, partial;
    ASSERT_TRUE(silent.connectTo(socket));
    ASSERT_TRUE(partial.connectTo(socket));
    ASSERT_EQ(::write(partial.fd, "rai", 3), 3);
    EXPECT_TRUE(waitUntil([&] { return silent.closedByPeer() && partial.closedByPeer(); }));
    EXPECT_TRUE(first.laterStartRaises());
}

// Out of descriptors, the running copy cannot take a start that knocks; it keeps listening and
// takes it once descriptors are free again.
TEST(SingleInstance, AFailedAcceptKeepsTheListener) {
    RunningCopy first;
    ASSERT_EQ(first.instance.claim(), KZSingleInstance::Claim::First);
    Client knocking;
    {
        const DescriptorLimit none{nextDescriptor()};
        ASSERT_TRUE(knocking.connectTo(first.instance.socketPath()));
        ASSERT_EQ(::write(knocking.fd, "raise\n", 6), 6);
        drainEvents();
        EXPECT_EQ(first.raised, 0);
    }
    EXPECT_TRUE(waitUntil([&] { return first.raised == 1; }));
    EXPECT_TRUE(QFileInfo::exists(first.instance.socketPath()));
    EXPECT_TRUE(first.laterStartRaises());
}
