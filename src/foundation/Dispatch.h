#pragma once

#include <QObject>
#include <QThread>
#include <functional>

namespace nubo {

// Runs f later on the main thread (the application's thread), from any thread.
void runOnMain(std::function<void()> f);

// Runs f later on the thread of `context`; dropped when context is destroyed first.
void runOn(QObject* context, std::function<void()> f);

// Runs f on the main thread after `ms` milliseconds; dropped when `context` (if given) dies first.
void runAfter(int ms, std::function<void()> f, QObject* context = nullptr);

bool isMainThread();

// The one shared background thread with its own event loop. It carries the session's work and
// the transfer proxies' commands. Created on first use, stopped when the application object goes.
class KZBackgroundThread {
public:
    static KZBackgroundThread& shared();

    // An object living on the background thread: a context for queued calls and timers.
    QObject* context() const { return m_context; }
    QThread* thread() const { return m_thread; }

    // Runs f later on the background thread.
    void run(std::function<void()> f) { runOn(m_context, std::move(f)); }
    // Runs f on the background thread and waits for it; runs inline when already there.
    void runAndWait(const std::function<void()>& f);
    // The same, except that once the thread is stopped f runs here: nothing runs there any more.
    // For what ends an object that work on the thread reaches.
    void runAndWaitOrHere(const std::function<void()>& f);

    // Stops the thread after the work already queued; later runs are dropped.
    void stop();

private:
    KZBackgroundThread();
    QThread* m_thread;
    QObject* m_context;
};

// A context object on the background thread for queued calls and timers that capture their
// owner. Its destruction drops what is still queued for it: once the destructor returns, none of
// those calls runs (from another thread it waits for the one that may be running).
class BackgroundContext {
public:
    BackgroundContext();
    ~BackgroundContext();
    BackgroundContext(const BackgroundContext&) = delete;
    BackgroundContext& operator=(const BackgroundContext&) = delete;

    QObject* get() const { return m_object; }

private:
    QObject* m_object;
};

} // namespace nubo
