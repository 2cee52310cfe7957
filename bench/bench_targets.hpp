// What the generator tells the benchmark about a vault: sizes, marker words, the ids to call.
#pragma once

#include <cstddef>     // std::size_t
#include <cstdint>     // std::uint64_t
#include <filesystem>  // std::filesystem::path
#include <optional>    // std::optional
#include <string>      // std::string

namespace qs::Bench {

struct BenchTargets {
    std::size_t entries = 0;
    std::uint64_t seed = 0;
    std::uint64_t dashboardBytes = 0;
    std::string asciiMarker;
    std::string chineseMarker;
    std::size_t asciiMarked = 0;    // entries holding the ASCII marker
    std::size_t chineseMarked = 0;  // entries holding the Chinese marker
    std::string voiceDateFrom;
    std::string voiceDateTo;
    std::string transcriptId;  // a voice entry with a transcript of `transcriptChars`
    std::size_t transcriptChars = 0;
    std::string minutesId;  // a voice entry with minutes, summary and metadata
    std::string reportDay;  // a day with a daily report
    std::string vocabQuery;
    std::size_t vocabWords = 0;
};

// The small file next to a vault folder: "<parent>/<name>.bench.json".
std::filesystem::path targetsPath(const std::filesystem::path& vaultDir);

std::string targetsToJson(const BenchTargets& targets);
// Nothing when the file is missing or not a complete description.
std::optional<BenchTargets> readTargets(const std::filesystem::path& file);

}  // namespace qs::Bench
