#include "foundation/ParallelFor.h"

#include "foundation/Handoff.h"

#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <atomic>
#include <memory>

namespace nubo {

namespace {

// Its own pool, so that long jobs queued on the global one never hold a short split back. Threads
// are kept: waking one is far cheaper than starting one.
QThreadPool& pool() {
    static QThreadPool* p = [] {
        auto* pool = new QThreadPool;
        pool->setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
        pool->setExpiryTimeout(-1);
        return pool;
    }();
    return *p;
}

struct Split {
    std::function<void(int)> fn;
    int parts = 0;
    std::atomic<int> next{0};
    std::atomic<int> done{0};

    // Takes parts until none is left.
    void work() {
        for (int i = next.fetch_add(1); i < parts; i = next.fetch_add(1)) {
            fn(i);
            if (done.fetch_add(1) + 1 == parts)
                done.notify_all();
        }
    }
};

} // namespace

void parallelFor(int parts, const std::function<void(int)>& fn) {
    if (parts <= 0)
        return;
    if (parts == 1) {
        fn(0);
        return;
    }
    auto split = std::make_shared<Split>();
    split->fn = fn;
    split->parts = parts;
    const int helpers = std::min(parts - 1, pool().maxThreadCount());
    for (int i = 0; i < helpers; ++i)
        startOnPool(pool(), [split] { split->work(); });
    split->work();
    for (int d = split->done.load(); d < parts; d = split->done.load())
        split->done.wait(d);
}

int parallelParts(long long bytes, long long grain) {
    // A few parts per core: a helper the scheduler sets aside then holds back only a small one.
    const long long cap = 4LL * std::max(1, QThread::idealThreadCount());
    return int(std::clamp(bytes / std::max(1LL, grain), 1LL, cap));
}

} // namespace nubo
