#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QLocalSocket;
class QSocketNotifier;

// One copy of Nubo per data folder. The first start holds an advisory lock on a file in the
// data folder and listens on a local socket beside it; a later start finds the lock taken, asks
// the running copy to bring its window forward and gives up. The kernel drops the lock when its
// holder ends, however it ends, so a crashed copy's lock is simply taken over: nothing is read
// from the lock file, no process id is trusted and no signal is sent to anyone.
//
// Whatever else connects to the socket cannot shut later starts out: the running copy holds only
// a few connections at a time, drops one that does not send its request soon, and keeps
// listening when it cannot take a connection for a while (out of descriptors).
class KZSingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        First,  // this copy holds the lock and listens for later starts
        Raised, // another copy runs and was asked to come forward
        Failed, // see errorString()
    };

    // `folder` is the data folder; it is made private to the user (0700) if it is not yet.
    explicit KZSingleInstance(QString folder, QObject* parent = nullptr);
    ~KZSingleInstance() override;

    // `waitMs` bounds how long a later start tries to reach a copy that holds the lock but does
    // not listen yet (it may be starting).
    Claim claim(int waitMs = 5000);
    QString errorString() const { return m_error; }

    // Called on this thread each time a later start asks for the window.
    void setRaiseHandler(std::function<void()> handler) { m_raise = std::move(handler); }
    // How long a connection may take to send its request before it is dropped.
    void setRequestTimeoutMs(int ms) { m_requestTimeoutMs = ms; }

    QString lockPath() const;
    QString socketPath() const;

private:
    bool askRunningCopy(int waitMs);
    void listen();
    void acceptConnections();
    void adopt(int fd);
    void drop(QLocalSocket* socket);
    void readRequest(QLocalSocket* socket);

    QString m_folder;
    QString m_error;
    int m_lockFd = -1;
    int m_listenFd = -1;
    QSocketNotifier* m_acceptNotifier = nullptr;
    QList<QLocalSocket*> m_connections; // oldest first
    std::function<void()> m_raise;
    int m_requestTimeoutMs = 2000;
};
