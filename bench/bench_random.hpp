// Seeded, platform-independent random numbers for the vault generator.
#pragma once

#include <cstdint>  // std::uint64_t
#include <cstdio>   // std::snprintf
#include <string>   // std::string
#include <vector>   // std::vector

namespace qs::Bench {

// SplitMix64 rather than <random>'s distributions, whose output differs
// between standard libraries: one seed must give one vault everywhere.
class BenchRandom {
public:
    explicit BenchRandom(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n); n > 0.
    std::uint64_t below(std::uint64_t n) { return next() % n; }
    // Uniform in [lo, hi].
    long between(long lo, long hi) { return lo + static_cast<long>(below(static_cast<std::uint64_t>(hi - lo + 1))); }
    double unit() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    bool chance(double p) { return unit() < p; }
    template <typename T>
    const T& pick(const std::vector<T>& from) { return from[below(from.size())]; }

    // An upper-case version-4 UUID, the form the companion apps use for ids.
    std::string uuid() {
        std::uint64_t hi = next(), lo = next();
        hi = (hi & 0xFFFFFFFFFFFF0FFFULL) | 0x0000000000004000ULL;
        lo = (lo & 0x3FFFFFFFFFFFFFFFULL) | 0x8000000000000000ULL;
        char buf[40];
        std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-%04X-%012llX",
                      static_cast<unsigned>(hi >> 32), static_cast<unsigned>((hi >> 16) & 0xFFFF),
                      static_cast<unsigned>(hi & 0xFFFF), static_cast<unsigned>(lo >> 48),
                      static_cast<unsigned long long>(lo & 0xFFFFFFFFFFFFULL));
        return buf;
    }

private:
    std::uint64_t state_;
};

}  // namespace qs::Bench
