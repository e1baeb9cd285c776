#pragma once

#include "foundation/BWError.h"

#include <functional>

namespace nubo {

// The cloud layer's part of the application launch: sets the thumbnail budget (512 MiB) and
// signs the session in to the service's account. `done` runs on the main thread when the
// session is ready (or failed to sign in). Main thread.
void startCloudSession(std::function<void(const BWError&)> done = {});

constexpr qint64 kThumbnailCacheBudget = 512LL * 1024 * 1024;

} // namespace nubo
