// quillstack-genvault: writes a deterministic synthetic vault for the benchmark.
#include <cstdio>     // std::fprintf
#include <exception>  // std::exception
#include <stdexcept>  // std::invalid_argument
#include <string>     // std::string, std::stoull

#include "bench_targets.hpp"
#include "vault_generator.hpp"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr,
                     "usage: quillstack-genvault <output folder> <entry count> [seed]\n"
                     "Writes a vault of <entry count> timeline entries and <output folder>.bench.json\n"
                     "beside it (the ids and words the benchmark uses), and prints the latter.\n");
        return 2;
    }
    qs::Bench::GenOptions options;
    options.out = argv[1];
    try {
        std::size_t used = 0;
        options.entries = std::stoull(argv[2], &used);
        if (used != std::string(argv[2]).size()) throw std::invalid_argument(argv[2]);
        if (argc == 4) {
            options.seed = std::stoull(argv[3], &used);
            if (used != std::string(argv[3]).size()) throw std::invalid_argument(argv[3]);
        }
    } catch (const std::exception&) {
        std::fprintf(stderr, "quillstack-genvault: entry count and seed must be whole numbers\n");
        return 2;
    }
    try {
        qs::Bench::BenchTargets targets = qs::Bench::generateVault(options);
        std::printf("%s\n", qs::Bench::targetsToJson(targets).c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillstack-genvault: %s\n", e.what());
        return 1;
    }
    return 0;
}
