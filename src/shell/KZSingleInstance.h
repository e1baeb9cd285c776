#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;
class QLocalSocket;

// One copy of Nubo per data folder. The first start holds an advisory lock on a file in the
// data folder and listens on a local socket beside it; a later start finds the lock taken, asks
// the running copy to bring its window forward and gives up. The kernel drops the lock when its
// holder ends, however it ends, so a crashed copy's lock is simply taken over: nothing is read
// from the lock file, no process id is trusted and no signal is sent to anyone.
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

    QString lockPath() const;
    QString socketPath() const;

private:
    bool askRunningCopy(int waitMs);
    void listen();
    void readRequest(QLocalSocket* socket);

    QString m_folder;
    QString m_error;
    int m_lockFd = -1;
    QLocalServer* m_server = nullptr;
    std::function<void()> m_raise;
};
