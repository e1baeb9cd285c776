#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <functional>

class QWidget;

namespace nubo::test {

// Spins the event loop until `done` holds or `timeoutMs` passes; returns whether it held.
// Tests wait with this, never with fixed sleeps.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Processes the events that are already queued (and those they post) a few rounds.
void drainEvents(int rounds = 3);

// Closes a top-level widget as the window manager's close button does (a close event from the
// window system, which the window may refuse).
void closeFromWindowManager(QWidget* window);

} // namespace nubo::test
