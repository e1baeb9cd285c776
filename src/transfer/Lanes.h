#pragma once

#include "foundation/BWError.h"

#include <future>
#include <vector>

namespace nubo::transfer {

// Runs `count` copies of `lane` at once, this thread running one of them, and waits for them all:
// this thread's error first, then the others' in order; none when all went well.
template <class Lane> BWError runLanes(int count, const Lane& lane) {
    std::vector<std::future<BWError>> others;
    for (int i = 1; i < count; ++i)
        others.push_back(std::async(std::launch::async, lane));
    BWError error = lane();
    for (auto& f : others) {
        BWError e = f.get();
        if (!error)
            error = e;
    }
    return error;
}

} // namespace nubo::transfer
