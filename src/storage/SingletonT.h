#pragma once

#include <memory>
#include <mutex>

namespace nubo {

// The holder of a process-wide settings object: created on first use, kept until exit, and
// resettable in tests so that the next use creates it afresh.
template <class T> class SingletonT {
public:
    static T& instance() {
        std::lock_guard<std::mutex> lock(mutex());
        auto& p = holder();
        if (!p)
            p = std::make_unique<T>();
        return *p;
    }
    // Tests only: drops the object; callers must hold no reference to it.
    static void reset() {
        std::lock_guard<std::mutex> lock(mutex());
        holder().reset();
    }

private:
    static std::unique_ptr<T>& holder() {
        static std::unique_ptr<T> p;
        return p;
    }
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
};

} // namespace nubo
