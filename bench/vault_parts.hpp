// The generator's internal steps: the entry plan and the writers of each kind of file.
#pragma once

#include <cstddef>     // std::size_t
#include <cstdint>     // std::uint64_t
#include <filesystem>  // std::filesystem::path
#include <string>      // std::string
#include <vector>      // std::vector

#include "bench_targets.hpp"
#include "vault_generator.hpp"

namespace qs::Bench {

struct PlannedEntry {
    std::string id;
    std::string type;
    std::string dateISO;  // local time with a +08:00 offset
    std::string day;
    std::string processingState;  // empty: the key is left out
    bool asciiMarker = false;
    bool chineseMarker = false;
    bool transcript = false;  // write .transcript.json and/or .tr.txt
    bool insights = false;    // write .min.md, .sum.txt and .meta.json
    std::size_t transcriptChars = 0;  // 0: a random length of 10-25 thousand
};

struct VaultPlan {
    std::vector<PlannedEntry> entries;  // newest first, as the index lists them
    std::size_t transcriptTarget = 0;   // index into `entries`
    std::size_t minutesTarget = 0;
};

inline constexpr std::size_t kTargetTranscriptChars = 20000;

VaultPlan makePlan(const GenOptions& options);

// Streams core/Dashboard.json and writes each planned entry's files;
// returns the index size in bytes.
std::uint64_t writeTimeline(const std::filesystem::path& root, const VaultPlan& plan, std::uint64_t seed);

// Returns the day of one report written.
std::string writeDailyReports(const std::filesystem::path& root, std::size_t days, std::uint64_t seed);
void writeVocabulary(const std::filesystem::path& root, const VaultPlan& plan, std::size_t words, std::uint64_t seed);
void writeLibraryMarker(const std::filesystem::path& root);

// Whole-file write; throws std::runtime_error naming the path.
void writeFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace qs::Bench
