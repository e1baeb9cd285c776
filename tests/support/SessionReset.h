#pragma once

#include "cloud/KZImageCache.h"
#include "cloud/KZSession.h"
#include "cloud/KZSessionProxy.h"
#include "foundation/SingletonT.h"
#include "support/EventLoop.h"

#include <gtest/gtest.h>

namespace nubo::test {

// Ends the session's process-wide objects (signed out or not), so that what comes next starts
// from fresh ones: no history, no node tree, no thumbnails of an earlier service.
inline void resetSession() {
    SingletonT<KZSessionProxy>::reset(); // it listens to the session
    SingletonT<KZSession>::reset();
    SingletonT<KZImageCache>::reset();
}

// Signs the session in to the shared service and waits for the answer; a failure fails the test.
inline void signIn() {
    bool done = false;
    BWError error;
    KZSessionProxy::shareSessionProxy()->loginLocal([&](const BWError& e) {
        error = e;
        done = true;
    });
    ASSERT_TRUE(waitUntil([&] { return done; }, 20000));
    ASSERT_TRUE(error.isNull()) << error.localizedDescription().toStdString();
}

// Signs the session out; whether it was out within `timeoutMs`.
inline bool signOut(int timeoutMs = 10000) {
    bool done = false;
    KZSessionProxy::shareSessionProxy()->logoutLocal([&] { done = true; });
    return waitUntil([&] { return done; }, timeoutMs);
}

} // namespace nubo::test
