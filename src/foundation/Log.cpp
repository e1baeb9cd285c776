#include "foundation/Log.h"

#include "foundation/Dispatch.h"

#include <QThread>

Q_LOGGING_CATEGORY(lcStorage, "nubo.storage", QtInfoMsg)
Q_LOGGING_CATEGORY(lcService, "nubo.service", QtInfoMsg)
Q_LOGGING_CATEGORY(lcCloud, "nubo.cloud", QtInfoMsg)
Q_LOGGING_CATEGORY(lcTransfer, "nubo.transfer", QtInfoMsg)
Q_LOGGING_CATEGORY(lcKit, "nubo.kit", QtInfoMsg)
Q_LOGGING_CATEGORY(lcUi, "nubo.ui", QtInfoMsg)

namespace nubo {

bool isBackgroundThread() {
    return QThread::currentThread() == KZBackgroundThread::shared().thread();
}

bool warnIfFailed(const QLoggingCategory& category, const BWError& error, const char* what) {
    if (error.isNull())
        return false;
    qCWarning(category, "%s failed: %s (%s %d)", what, qPrintable(error.localizedDescription()),
              qPrintable(error.domain()), error.code());
    return true;
}

} // namespace nubo
