#pragma once

#include "shell/KZAlertController.h"

#include <functional>

namespace KZTransportAlert {

// The transfer pages' destructive question: the confirm action first, then "取消" in the
// cancel style; presented application-modally. Neither runs once `context` is gone.
KZAlertController* ask(const QObject* context, const QString& windowTitle, const QString& text,
                       const QString& confirmTitle, KZAlertActionStyle style, std::function<void()> confirm,
                       std::function<void()> dismiss = {});

// Closes the home window's user-info pop-up, as every action of the transfer pages does first.
void closeUserInfoWindow();

} // namespace KZTransportAlert
