// Median and nearest-rank p95 of latency samples.
#include "latency.hpp"

#include <algorithm>  // std::sort
#include <cmath>      // std::ceil
#include <cstdio>     // std::snprintf

namespace qs::Bench {

LatencySummary summarize(std::vector<double> ms) {
    LatencySummary s;
    s.samples = ms.size();
    if (ms.empty()) return s;
    std::sort(ms.begin(), ms.end());
    std::size_t n = ms.size();
    s.median = n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
    auto rank = static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(n)));
    s.p95 = ms[(rank == 0 ? 1 : rank) - 1];
    return s;
}

std::string formatMs(double ms) {
    char buf[32];
    if (ms < 10) {
        std::snprintf(buf, sizeof buf, "%.2f", ms);
    } else if (ms < 100) {
        std::snprintf(buf, sizeof buf, "%.1f", ms);
    } else {
        std::snprintf(buf, sizeof buf, "%.0f", ms);
    }
    return buf;
}

}  // namespace qs::Bench
