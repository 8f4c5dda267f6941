#pragma once

// Medians and nearest-rank percentiles of wall-time samples, and the line that prints them.

#include <QString>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace orvex::bench {

struct Stats {
    double median = 0;
    double p99 = 0;
    double min = 0;
    double max = 0;
    int count = 0;
};

// With fewer than a hundred samples the nearest-rank p99 is the slowest one.
inline Stats statsOf(std::vector<double> samples) {
    Stats s;
    if (samples.empty())
        return s;
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    const size_t rank = size_t(std::ceil(0.99 * double(n)));
    s.median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    s.p99 = samples[std::min(n - 1, rank == 0 ? 0 : rank - 1)];
    s.min = samples.front();
    s.max = samples.back();
    s.count = int(n);
    return s;
}

template <typename Duration> double milliseconds(Duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

} // namespace orvex::bench
