#include "support/EventLoop.h"

#include <QCloseEvent>
#include <QThread>
#include <QWidget>
#include <QtTest/qtestspontaneevent.h>

namespace nubo::test {

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (!done())
            QThread::yieldCurrentThread();
    }
    return true;
}

void drainEvents(int rounds) {
    for (int i = 0; i < rounds; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void closeFromWindowManager(QWidget* window) {
    QCloseEvent e;
    QSpontaneKeyEvent::setSpontaneous(&e);
    QCoreApplication::instance()->notify(window, &e); // sendEvent would clear the flag
}

} // namespace nubo::test
