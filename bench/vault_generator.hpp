// Deterministic synthetic vaults of any size for the latency benchmark.
#pragma once

#include <cstddef>     // std::size_t
#include <cstdint>     // std::uint64_t
#include <filesystem>  // std::filesystem::path

#include "bench_targets.hpp"

namespace qs::Bench {

struct GenOptions {
    std::filesystem::path out;  // the vault folder to create; must not exist yet
    std::size_t entries = 1000;
    std::uint64_t seed = 1;
    // Transcripts are 10-25 thousand characters: only the newest recordings
    // (and the ones the benchmark opens) get them, to keep disk use sane.
    std::size_t maxTranscripts = 2000;
    std::size_t maxMinutes = 20000;
    std::size_t vocabWords = 3000;
    std::size_t reportDays = 365;
};

// Writes the vault into a scratch folder, renames it to `out` when complete,
// then writes the targets file next to it. Throws std::runtime_error.
BenchTargets generateVault(const GenOptions& options);

}  // namespace qs::Bench
