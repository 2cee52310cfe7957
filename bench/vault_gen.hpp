// Synthetic journaling vaults of any size, and the description that tells the benchmarks what to call in each.
#pragma once

#include <cstddef>     // std::size_t
#include <cstdint>     // std::uint64_t
#include <filesystem>  // std::filesystem::path
#include <optional>    // std::optional

#include "json/json.hpp"

namespace qs::Bench {

// Writes a vault of `entries` timeline entries into `out`, which must not
// exist yet (it appears only once complete), then "<out>.bench.json" beside
// it: the ids, words and counts the benchmarks aim at, which it returns.
// Throws std::runtime_error.
Json generateVault(const std::filesystem::path& out, std::size_t entries, std::uint64_t seed);

// A vault of `dayFolders` days (ten years: 3,650), one recording and one note
// a day, so both base folders hold that many day folders. The recordings of
// the last 100 days have no files on their own day (half none at all, half
// filed under the day before); the others have theirs. Returns the
// description, also written beside it. Throws std::runtime_error.
Json generateDayFolderVault(const std::filesystem::path& out, std::size_t dayFolders, std::uint64_t seed);

// The description beside a generated vault; nothing when missing or unreadable.
std::optional<Json> readTargets(const std::filesystem::path& vault);

}  // namespace qs::Bench
