// What every benchmark shares: medians over repeated runs and the closing RATIO line, whose
// ratio always reads "how many times faster Nubo is than the baseline" (above 1 is better).
#pragma once

#include <algorithm>
#include <cstdio>
#include <vector>

namespace benchcommon {

// Runs of each side that a median is taken over; one noisy run must not decide a figure.
inline constexpr int kRuns = 5;

inline double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline double minOf(const std::vector<double>& v) {
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

inline double maxOf(const std::vector<double>& v) {
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

// "median (min-max)" of a series, for the figures printed before the RATIO line.
inline void printSeries(const char* label, const std::vector<double>& v, const char* unit) {
    std::printf("%s: median %.2f %s (min %.2f, max %.2f, %zu runs)\n", label, median(v), unit, minOf(v),
                maxOf(v), v.size());
}

// For durations: the baseline's time over Nubo's.
inline void ratioForTimes(const char* name, double nubo, double baseline) {
    std::printf("RATIO name=%s nubo=%.2f baseline=%.2f ratio=%.2f\n", name, nubo, baseline,
                nubo > 0 ? baseline / nubo : 0.0);
    std::fflush(stdout);
}

// For throughputs: Nubo's rate over the baseline's.
inline void ratioForRates(const char* name, double nubo, double baseline) {
    std::printf("RATIO name=%s nubo=%.2f baseline=%.2f ratio=%.2f\n", name, nubo, baseline,
                baseline > 0 ? nubo / baseline : 0.0);
    std::fflush(stdout);
}

} // namespace benchcommon
