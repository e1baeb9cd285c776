#pragma once

#include "foundation/Dispatch.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace nubo {

// The holder of a process-wide object: made on first use, ended by the application delegate at
// shutdown, and resettable in tests so that the next use makes a fresh one.
//
// A class whose object is reached by reference from work on the background thread declares
// `static constexpr bool kEndsOnBackgroundThread = true;`: it is then ended there, behind the
// work already queued and with the caller waiting, so no request is half way through it. Others
// are ended on the caller's thread (the main thread for main-thread objects).
template <class T> class SingletonT {
public:
    static T& instance() {
        if (T* p = current().load(std::memory_order_acquire))
            return *p;
        std::lock_guard<std::mutex> lock(mutex());
        auto& held = holder();
        if (!held) {
            held.reset(new T);
            current().store(held.get(), std::memory_order_release);
        }
        return *held;
    }
    // The object if one was made since the last reset; never makes one (for those that only
    // want to unregister from it).
    static T* existing() { return current().load(std::memory_order_acquire); }

    // Ends the object, if any; the next instance() makes a fresh one. Callers must hold no
    // reference to it. On the background thread the reset takes its place in the queue: work
    // queued before it still reaches the old object, work queued after it the fresh one.
    static void reset() {
        if constexpr (endsOnBackgroundThread())
            KZBackgroundThread::shared().runAndWaitOrHere([] { take().reset(); });
        else
            take().reset();
    }

private:
    static constexpr bool endsOnBackgroundThread() {
        if constexpr (requires { T::kEndsOnBackgroundThread; })
            return T::kEndsOnBackgroundThread;
        else
            return false;
    }
    // Ended outside the lock: a destructor may ask for other process-wide objects.
    static std::unique_ptr<T> take() {
        std::lock_guard<std::mutex> lock(mutex());
        current().store(nullptr, std::memory_order_release);
        return std::move(holder());
    }
    // Never destroyed: what is not reset is left at exit, when other threads and queued work
    // may still reach it and the application object may be gone.
    static std::unique_ptr<T>& holder() {
        static auto* p = new std::unique_ptr<T>;
        return *p;
    }
    static std::atomic<T*>& current() {
        static std::atomic<T*> p{nullptr};
        return p;
    }
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
};

} // namespace nubo
