#include "KZSingleInstance.h"

#include "storage/DataPaths.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
const QByteArray kRaiseMessage = QByteArrayLiteral("raise\n");
// A later start sends its request as soon as it is connected and then leaves, so a few
// connections at a time are plenty; past that the oldest, which has waited longest, goes.
constexpr int kMaxConnections = 16;
// How long taking connections pauses after the system refused one (out of descriptors).
constexpr int kAcceptRetryMs = 250;
} // namespace

KZSingleInstance::KZSingleInstance(QString folder, QObject* parent)
    : QObject(parent), m_folder(std::move(folder)) {}

KZSingleInstance::~KZSingleInstance() {
    if (m_listenFd >= 0) {
        delete m_acceptNotifier;
        ::close(m_listenFd);
        ::unlink(QFile::encodeName(socketPath()).constData()); // while the lock still says it is ours
    }
    if (m_lockFd >= 0)
        ::close(m_lockFd); // releases the lock
}

QString KZSingleInstance::lockPath() const {
    return QDir(m_folder).filePath(QStringLiteral("nubo.lock"));
}

QString KZSingleInstance::socketPath() const {
    return QDir(m_folder).filePath(QStringLiteral("nubo.socket"));
}

KZSingleInstance::Claim KZSingleInstance::claim(int waitMs) {
    if (m_lockFd >= 0)
        return Claim::First;
    if (!nubo::paths::makePrivateFolder(m_folder)) {
        m_error = QStringLiteral("the data folder %1 cannot be made").arg(m_folder);
        return Claim::Failed;
    }
    // O_NOFOLLOW: a link planted in place of the lock file is refused, not followed.
    const int fd =
        ::open(QFile::encodeName(lockPath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        m_error = QStringLiteral("the lock file %1 cannot be opened: %2")
                      .arg(lockPath(), QString::fromLocal8Bit(std::strerror(errno)));
        return Claim::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        m_lockFd = fd;
        listen();
        return Claim::First;
    }
    const int err = errno;
    ::close(fd);
    if (err != EWOULDBLOCK) {
        m_error = QStringLiteral("the lock file %1 cannot be locked: %2")
                      .arg(lockPath(), QString::fromLocal8Bit(std::strerror(err)));
        return Claim::Failed;
    }
    if (askRunningCopy(waitMs))
        return Claim::Raised;
    m_error = QStringLiteral("another copy of Nubo holds %1 but does not answer").arg(lockPath());
    return Claim::Failed;
}

bool KZSingleInstance::askRunningCopy(int waitMs) {
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(int(std::max<qint64>(1, deadline.remainingTime())))) {
            socket.write(kRaiseMessage);
            const bool sent = socket.waitForBytesWritten(int(std::max<qint64>(1, deadline.remainingTime())));
            socket.disconnectFromServer();
            if (sent)
                return true;
        }
        if (deadline.hasExpired())
            return false;
        // The running copy may hold the lock and not listen yet.
        QThread::msleep(50);
    }
}

void KZSingleInstance::listen() {
    const QByteArray path = QFile::encodeName(socketPath());
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    // Without the socket later starts cannot reach this copy; they still never start a second one.
    if (size_t(path.size()) >= sizeof addr.sun_path)
        return;
    std::memcpy(addr.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return;
    // Holding the lock, no other copy listens here: a socket file left is a crashed copy's.
    ::unlink(path.constData());
    // The socket file takes its mode from the socket: the user's alone from the start.
    const bool bound = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 &&
                       ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    if (!bound || ::listen(fd, SOMAXCONN) != 0) {
        ::close(fd);
        return;
    }
    m_listenFd = fd;
    m_acceptNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_acceptNotifier, &QSocketNotifier::activated, this, [this] { acceptConnections(); });
}

void KZSingleInstance::acceptConnections() {
    // A bounded batch per wake-up: a flood of connections must not hold up the window.
    for (int i = 0; i < kMaxConnections; ++i) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            adopt(fd);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            // Out of descriptors or memory: the connection waits in the queue and the listener
            // stays; try again shortly rather than spin on a socket that stays readable.
            m_acceptNotifier->setEnabled(false);
            QTimer::singleShot(kAcceptRetryMs, m_acceptNotifier,
                               [n = m_acceptNotifier] { n->setEnabled(true); });
        }
        return;
    }
}

void KZSingleInstance::adopt(int fd) {
    if (m_connections.size() >= kMaxConnections)
        drop(m_connections.first());
    auto* s = new QLocalSocket(this);
    if (!s->setSocketDescriptor(fd)) {
        ::close(fd);
        delete s;
        return;
    }
    m_connections.append(s);
    connect(s, &QLocalSocket::readyRead, this, [this, s] { readRequest(s); });
    connect(s, &QLocalSocket::disconnected, this, [this, s] { drop(s); });
    QTimer::singleShot(m_requestTimeoutMs, s, [this, s] { drop(s); });
    readRequest(s); // what arrived before the connection was taken
}

void KZSingleInstance::drop(QLocalSocket* s) {
    if (!m_connections.removeOne(s))
        return;
    s->disconnect(this);
    s->abort();
    s->deleteLater();
}

void KZSingleInstance::readRequest(QLocalSocket* s) {
    if (!s->canReadLine()) {
        if (s->bytesAvailable() > kRaiseMessage.size())
            drop(s); // not a request of ours
        return;
    }
    const QByteArray line = s->readLine(kRaiseMessage.size() + 1);
    drop(s);
    if (line == kRaiseMessage && m_raise)
        m_raise();
}
