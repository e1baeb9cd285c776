#pragma once

// Seeds for tests that choose at random (kill points, sizes, fault dice).
#include <QtGlobal>
#include <optional>

namespace nubo::test {

// The seed in the environment variable `variable` when set (to replay a run), else `fallback`,
// else a fresh one. Printed either way, with the line that replays it.
quint32 testSeed(const char* variable, std::optional<quint32> fallback = std::nullopt);

} // namespace nubo::test
