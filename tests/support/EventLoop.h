#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <functional>

namespace nubo::test {

// Spins the event loop until `done` holds or `timeoutMs` passes; returns whether it held.
// Tests wait with this, never with fixed sleeps.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Processes the events that are already queued (and those they post) a few rounds.
void drainEvents(int rounds = 3);

} // namespace nubo::test
