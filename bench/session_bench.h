// What the benchmarks that sign the session in to a local service share: waiting on the event
// loop, and the sign-in itself.
#pragma once

#include "cloud/KZSessionProxy.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <cstdio>

namespace sessionbench {

// Sleeps between events as the program's own loop does: spinning would take a core from the
// threads being measured.
template <class F> void spinUntil(F done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

// Signs the session in to the shared service; false, with a line saying why, when it fails.
inline bool signIn() {
    bool signedIn = false;
    BWError error;
    KZSessionProxy::shareSessionProxy()->loginLocal([&](const BWError& e) {
        error = e;
        signedIn = true;
    });
    spinUntil([&] { return signedIn; });
    if (error)
        std::printf("sign-in failed: %s\n", qPrintable(error.localizedDescription()));
    return !error;
}

} // namespace sessionbench
