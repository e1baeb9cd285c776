#pragma once

#include <QThreadPool>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#define NUBO_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define NUBO_TSAN 1
#endif
#endif

#ifdef NUBO_TSAN
#include <sanitizer/tsan_interface.h>
#endif

namespace nubo {

// The thread sanitizer sees only what is built with it. Qt as installed is not, so the order its
// event queue, thread pool and blocking calls give (a post before the call it delivers, a blocking
// call's work before its return) is invisible and every hand-off would be reported as a race.
// These state that order; in a normal build they cost nothing.
inline void handoffRelease([[maybe_unused]] const void* token) {
#ifdef NUBO_TSAN
    __tsan_release(const_cast<void*>(token));
#endif
}

inline void handoffAcquire([[maybe_unused]] const void* token) {
#ifdef NUBO_TSAN
    __tsan_acquire(const_cast<void*>(token));
#endif
}

// A callable to be run on another thread by Qt. Each move publishes everything written so far
// (the callable and the Qt object it sits in are built first); the call takes it up before
// touching anything. Only the sanitizer build needs this; it changes no behaviour.
template <class F> class Handoff {
public:
    explicit Handoff(F f) : m_f(std::move(f)) { handoffRelease(this); }
    Handoff(Handoff&& other) noexcept : m_f(std::move(other.m_f)) { handoffRelease(this); }
    Handoff(const Handoff& other) : m_f(other.m_f) { handoffRelease(this); }
    // A call dropped unrun (its context went first) is destroyed wherever Qt drops it.
    ~Handoff() { handoffAcquire(this); }
    Handoff& operator=(const Handoff&) = delete;
    Handoff& operator=(Handoff&&) = delete;

    decltype(auto) operator()() {
        handoffAcquire(this);
        // Qt may drop the last reference to a queued call on the posting thread once the call
        // has run (its atomic count, unseen): what the call wrote is published to that drop.
        struct Publish {
            const void* token;
            ~Publish() { handoffRelease(token); }
        } publish{this};
        return m_f();
    }

private:
    F m_f;
};

// Runs f on pool; waitForPool(pool) then sees all that f wrote.
template <class F> void startOnPool(QThreadPool& pool, F f) {
    pool.start(Handoff([&pool, f = std::move(f)]() mutable {
        f();
        handoffRelease(&pool);
    }));
}

inline void waitForPool(QThreadPool& pool) {
    pool.waitForDone();
    handoffAcquire(&pool);
}

} // namespace nubo
