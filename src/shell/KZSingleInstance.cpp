#include "KZSingleInstance.h"

#include "storage/DataPaths.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
const QByteArray kRaiseMessage = QByteArrayLiteral("raise\n");
}

KZSingleInstance::KZSingleInstance(QString folder, QObject* parent)
    : QObject(parent), m_folder(std::move(folder)) {}

KZSingleInstance::~KZSingleInstance() {
    if (m_server) {
        m_server->close(); // removes the socket file
        delete m_server;
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
    m_server = new QLocalServer;
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Holding the lock, no other copy listens here: a socket file left is a crashed copy's.
    QLocalServer::removeServer(socketPath());
    if (!m_server->listen(socketPath())) {
        // Later starts then cannot reach this copy; they still never start a second one.
        delete m_server;
        m_server = nullptr;
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = m_server->nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, this, [this, s] { readRequest(s); });
            readRequest(s); // what arrived before the connection was taken
        }
    });
}

void KZSingleInstance::readRequest(QLocalSocket* s) {
    if (!s->canReadLine()) {
        if (s->bytesAvailable() > kRaiseMessage.size())
            s->abort(); // not a request of ours
        return;
    }
    const QByteArray line = s->readLine(kRaiseMessage.size() + 1);
    s->disconnectFromServer();
    if (line == kRaiseMessage && m_raise)
        m_raise();
}
