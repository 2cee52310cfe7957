// Decides every generated entry up front: id, type, time, markers and which files it gets.
#include <algorithm>  // std::sort
#include <stdexcept>  // std::runtime_error

#include "bench_dates.hpp"
#include "bench_random.hpp"
#include "vault_parts.hpp"

namespace qs::Bench {
namespace {

struct TypeShare {
    const char* type;
    double share;
};
// Roughly what a heavy user's timeline holds.
constexpr TypeShare kTypes[] = {
    {"text", 0.30}, {"ocr", 0.20}, {"voice", 0.15}, {"clip", 0.15},
    {"health", 0.08}, {"sms", 0.07}, {"serendipity", 0.05},
};

std::string pickType(BenchRandom& rng) {
    double u = rng.unit();
    for (const auto& t : kTypes) {
        if (u < t.share) return t.type;
        u -= t.share;
    }
    return "text";
}

std::string voiceState(BenchRandom& rng) {
    double u = rng.unit();
    if (u < 0.85) return "done";
    if (u < 0.95) return "transcribed";
    return "pending";
}

}  // namespace

VaultPlan makePlan(const GenOptions& options) {
    if (options.entries < 2) throw std::runtime_error("a vault needs at least 2 entries");
    BenchRandom rng(options.seed ^ 0x706C616E5F763031ULL);
    const std::int64_t start = BenchDates::midnight(2021, 1, 1);
    const std::int64_t span = BenchDates::midnight(2026, 1, 1) - start;

    // Wall-clock seconds of a user at +08:00, newest first like the index.
    std::vector<std::int64_t> times(options.entries);
    for (auto& t : times) t = start + static_cast<std::int64_t>(rng.below(static_cast<std::uint64_t>(span)));
    std::sort(times.begin(), times.end(), [](auto a, auto b) { return a > b; });

    VaultPlan plan;
    plan.entries.resize(options.entries);
    for (std::size_t i = 0; i < options.entries; ++i) {
        PlannedEntry& e = plan.entries[i];
        e.id = rng.uuid();
        e.type = pickType(rng);
        e.dateISO = BenchDates::iso(times[i], "+08:00");
        e.day = e.dateISO.substr(0, 10);
        if (e.type == "voice") {
            e.processingState = voiceState(rng);
        } else if (rng.chance(0.7)) {
            e.processingState = "done";
        }
        e.asciiMarker = rng.chance(0.01);
        e.chineseMarker = rng.chance(0.01);
    }

    // The two recordings the benchmark opens sit mid-index, fully processed.
    plan.transcriptTarget = options.entries / 2;
    plan.minutesTarget = options.entries / 2 + 1 < options.entries ? options.entries / 2 + 1 : 0;
    for (std::size_t target : {plan.transcriptTarget, plan.minutesTarget}) {
        plan.entries[target].type = "voice";
        plan.entries[target].processingState = "done";
        plan.entries[target].transcript = true;
        plan.entries[target].insights = true;
    }
    plan.entries[plan.transcriptTarget].transcriptChars = kTargetTranscriptChars;

    std::size_t transcripts = 0, minutes = 0;
    for (auto& e : plan.entries) {
        if (e.type != "voice") continue;
        if (e.processingState != "pending" && transcripts < options.maxTranscripts) {
            e.transcript = true;
            ++transcripts;
        }
        if (e.processingState == "done" && minutes < options.maxMinutes) {
            e.insights = true;
            ++minutes;
        }
    }
    return plan;
}

}  // namespace qs::Bench
