#pragma once

#include "cloud/KZImageCache.h"
#include "cloud/KZSession.h"
#include "cloud/KZSessionProxy.h"
#include "foundation/SingletonT.h"
#include "support/EventLoop.h"

#include <gtest/gtest.h>
#include <optional>

namespace nubo::test {

// Ends the session's process-wide objects (signed out or not), so that what comes next starts
// from fresh ones: no history, no node tree, no thumbnails of an earlier service.
inline void resetSession() {
    SingletonT<KZSessionProxy>::reset(); // it listens to the session
    SingletonT<KZSession>::reset();
    SingletonT<KZImageCache>::reset();
}

// Signs the session in to the shared service: its answer (a null error on success), or none if
// it did not answer in time.
inline std::optional<BWError> signInAnswer() {
    bool done = false;
    BWError error;
    KZSessionProxy::shareSessionProxy()->loginLocal([&](const BWError& e) {
        error = e;
        done = true;
    });
    if (!waitUntil([&] { return done; }, 20000))
        return std::nullopt;
    return error;
}

// Signs the session in and waits for the answer; a failure fails the test.
inline void signIn() {
    const std::optional<BWError> error = signInAnswer();
    ASSERT_TRUE(error.has_value()) << "the sign-in did not answer";
    ASSERT_TRUE(error->isNull()) << error->localizedDescription().toStdString();
}

// Signs the session out; whether it was out within `timeoutMs`.
inline bool signOut(int timeoutMs = 10000) {
    bool done = false;
    KZSessionProxy::shareSessionProxy()->logoutLocal([&] { done = true; });
    return waitUntil([&] { return done; }, timeoutMs);
}

} // namespace nubo::test
