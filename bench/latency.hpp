// Latency samples reduced to the two numbers the report shows, and how they are printed.
#pragma once

#include <cstddef>  // std::size_t
#include <string>   // std::string
#include <vector>   // std::vector

namespace qs::Bench {

struct LatencySummary {
    double median = 0;
    double p95 = 0;  // nearest rank: the smallest sample at or above 95 % of them
    std::size_t samples = 0;
};

LatencySummary summarize(std::vector<double> milliseconds);

// Milliseconds with precision that suits their size: 0.42, 7.35, 31.2, 412.
std::string formatMs(double milliseconds);

}  // namespace qs::Bench
