#include "support/Seed.h"

#include <QRandomGenerator>
#include <QString>
#include <cstdio>

namespace nubo::test {

quint32 testSeed(const char* variable, std::optional<quint32> fallback) {
    bool given = false;
    quint32 seed = qEnvironmentVariable(variable).toUInt(&given);
    if (!given)
        seed = fallback ? *fallback : QRandomGenerator::system()->generate();
    std::printf("random seed %u (replay with %s=%u)\n", seed, variable, seed);
    std::fflush(stdout);
    return seed;
}

} // namespace nubo::test
