#pragma once

#include <functional>

namespace nubo {

// Runs fn(0) .. fn(parts - 1) across the cores: the caller takes parts too, so it never waits idle
// and a busy pool only slows the call down. Returns when every part has returned. `fn` must not
// call parallelFor itself.
void parallelFor(int parts, const std::function<void(int part)>& fn);

// How many parts a job of `bytes` is worth splitting into: a few per core, none below `grain` bytes.
int parallelParts(long long bytes, long long grain);

} // namespace nubo
