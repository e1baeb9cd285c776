#pragma once

#include <QList>
#include <QObject>

class KZAlertController;
namespace nubo {
template <class T> class SingletonT;
}

// Tells the user, once each, of the local databases that were found damaged and made afresh: an
// alert per database saying what was lost and where the damaged file was put. Main thread.
class KZDatabaseRescueNotice : public QObject {
public:
    // Reset with SingletonT<KZDatabaseRescueNotice>::reset() (main thread).
    static KZDatabaseRescueNotice& shareInstance();

    // Shows the rescues so far and, from now on, each later one as it happens.
    void start();
    // Shows every rescue not told yet; the alerts presented.
    QList<KZAlertController*> showPending();

private:
    friend class nubo::SingletonT<KZDatabaseRescueNotice>;
    KZDatabaseRescueNotice() = default;
    bool m_started = false;
};
