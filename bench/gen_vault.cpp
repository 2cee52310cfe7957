// quillstack-genvault: writes a synthetic vault for the benchmarks.
#include <cstdio>     // std::fprintf
#include <exception>  // std::exception
#include <string>     // std::stoull

#include "vault_gen.hpp"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr,
                     "usage: quillstack-genvault <output folder> <entry count> [seed]\n"
                     "Writes a vault of <entry count> timeline entries and <output folder>.bench.json\n"
                     "beside it (the ids and words the benchmarks use), and prints the latter.\n");
        return 2;
    }
    try {
        std::size_t entries = std::stoull(argv[2]), seed = argc == 4 ? std::stoull(argv[3]) : 1;
        std::printf("%s\n", qs::Bench::generateVault(argv[1], entries, seed).dump(2).c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillstack-genvault: %s\n", e.what());
        return 1;
    }
    return 0;
}
