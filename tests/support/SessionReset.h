#pragma once

#include "cloud/KZImageCache.h"
#include "cloud/KZSession.h"
#include "cloud/KZSessionProxy.h"
#include "foundation/SingletonT.h"

namespace nubo::test {

// Ends the session's process-wide objects (signed out or not), so that what comes next starts
// from fresh ones: no history, no node tree, no thumbnails of an earlier service.
inline void resetSession() {
    SingletonT<KZSessionProxy>::reset(); // it listens to the session
    SingletonT<KZSession>::reset();
    SingletonT<KZImageCache>::reset();
}

} // namespace nubo::test
