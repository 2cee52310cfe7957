// The benchmark's one Markdown table, and the notes printed under it.
#pragma once

#include <cstddef>   // std::size_t
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

#include "bench_calls.hpp"

namespace qs::Bench {

struct SizeReport {
    std::size_t entries = 0;
    double indexMB = 0;
    std::optional<double> floorMs;       // Dashboard.json read + walk, median
    std::optional<double> vocabFloorMs;  // vocabulary.json read + walk, median
    std::vector<CallResult> results;     // one per ToolCall, same order
    std::optional<double> peakRssMB;
    std::optional<double> spawnMs;  // spawn to "initialize" reply, median
    std::vector<std::string> problems;  // failures outside the calls
};

// One row per size: entries, index MB, floors, each call's
// "median / p95 (ratio×)", peak RSS and RSS/index, spawn→initialize.
std::string markdownTable(const std::vector<ToolCall>& toolCalls, const std::vector<SizeReport>& rows);

// Lines under the table: failures in full, and how medians grow between sizes.
std::string reportNotes(const std::vector<ToolCall>& toolCalls, const std::vector<SizeReport>& rows);

}  // namespace qs::Bench
