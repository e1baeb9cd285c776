#pragma once

#include "cloud/ShareInfo.h"
#include "foundation/BWError.h"

#include <QString>

// Texts that the share window and the share lists show alike.
namespace KZShareText {

// The name of the notification that asks the share page to fetch its lists again.
inline const QString kShareFilesReloadNotification = QStringLiteral("ShareFilesReloadNotification");

// An expiry as the user reads it: seconds since 1970 become local "yyyy-MM-dd HH:mm:ss", 0 (or
// less) is "不限"; a text that is already a date (it has a ':') or is no number stays as it is.
QString expireText(const QString& expire);

// The link, followed by " (提取码:<code>)" when the share has an extraction code.
QString linkText(const ShareInfo& share);

// The error's own message; `fallback` when the service gave none (a network failure keeps its
// own text).
QString errorText(const BWError& error, const QString& fallback);

} // namespace KZShareText
