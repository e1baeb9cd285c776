#pragma once
// TEMPORARY profiling aid: not to be committed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
namespace nubo::tmptrace {
inline std::chrono::steady_clock::time_point& origin() {
    static std::chrono::steady_clock::time_point t = std::chrono::steady_clock::now();
    return t;
}
inline double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - origin()).count();
}
inline void mark(const char* what, double extra = -1) {
    static const bool on = std::getenv("NUBO_TRACE") != nullptr;
    if (on)
        std::fprintf(stderr, "[trace %8.3f] %s %s\n", now(), what,
                     extra >= 0 ? std::to_string(extra).c_str() : "");
}
} // namespace nubo::tmptrace
#include <atomic>
namespace nubo::tmptrace {
struct Acc {
    const char* name;
    std::atomic<long long> ns{0};
    std::atomic<long long> n{0};
    explicit Acc(const char* nm) : name(nm) {}
    ~Acc() {
        if (std::getenv("NUBO_TRACE") && n)
            std::fprintf(stderr, "[acc] %-24s total %.3f s  n %lld  avg %.3f ms\n", name, ns / 1e9, (long long)n,
                         ns / 1e6 / n);
    }
};
struct Scope {
    Acc& a;
    std::chrono::steady_clock::time_point t0 = std::chrono::steady_clock::now();
    explicit Scope(Acc& acc) : a(acc) {}
    ~Scope() {
        a.ns += std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - t0).count();
        ++a.n;
    }
};
} // namespace nubo::tmptrace
#define TMP_ACC(var, label) static nubo::tmptrace::Acc var(label); nubo::tmptrace::Scope var##_s(var)
