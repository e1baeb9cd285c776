#pragma once

#include "foundation/BWError.h"
#include "foundation/Dispatch.h"

#include <QLoggingCategory>

// One logging category per layer. A failure that is handled by giving up logs a warning here, so
// it is never silent; QT_LOGGING_RULES turns a layer's debug lines on.
Q_DECLARE_LOGGING_CATEGORY(lcStorage)
Q_DECLARE_LOGGING_CATEGORY(lcService)
Q_DECLARE_LOGGING_CATEGORY(lcCloud)
Q_DECLARE_LOGGING_CATEGORY(lcTransfer)
Q_DECLARE_LOGGING_CATEGORY(lcKit)
Q_DECLARE_LOGGING_CATEGORY(lcUi)

namespace nubo {

// Thread contracts (with isMainThread): debug builds stop at the first call from the wrong thread.
bool isBackgroundThread();

// Logs a failure the caller can only give up on, as a warning naming what was being done.
// Answers whether there was one.
bool warnIfFailed(const QLoggingCategory& category, const BWError& error, const char* what);

} // namespace nubo

#define NUBO_ASSERT_MAIN_THREAD() Q_ASSERT_X(nubo::isMainThread(), Q_FUNC_INFO, "main thread only")
#define NUBO_ASSERT_BACKGROUND_THREAD()                                                                      \
    Q_ASSERT_X(nubo::isBackgroundThread(), Q_FUNC_INFO, "background thread only")
