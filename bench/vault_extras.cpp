// The generated vault's vocabulary book, daily reports and library marker.
#include <set>  // std::set

#include "bench_dates.hpp"
#include "json/json.hpp"
#include "text_pool.hpp"
#include "vault_parts.hpp"

namespace qs::Bench {
namespace fs = std::filesystem;

namespace {

// The iOS app writes the book pretty-printed with sorted keys.
std::string pretty(const Json& value) { return JsonWriter::payload(value).value_or("{}"); }

std::string isoUtc(BenchRandom& rng, int fromYear, int toYear) {
    std::int64_t from = BenchDates::midnight(fromYear, 1, 1);
    std::int64_t to = BenchDates::midnight(toYear + 1, 1, 1);
    return BenchDates::iso(from + static_cast<std::int64_t>(rng.below(static_cast<std::uint64_t>(to - from))), "Z");
}

const std::vector<std::string> kExamTags = {"CET4", "CET6", "IELTS", "TOEFL", "GRE", "考研"};

}  // namespace

void writeVocabulary(const fs::path& root, const VaultPlan& plan, std::size_t count, std::uint64_t seed) {
    BenchRandom rng(seed ^ 0x766F6361625F7631ULL);
    Json words = Json::object();
    std::set<std::string> seen;
    while (seen.size() < count) {
        std::string word = TextPool::pseudoWord(rng);
        if (!seen.insert(word).second) continue;
        std::string added = isoUtc(rng, 2021, 2025);
        Json entry = {
            {"word", word},
            {"addedAt", added},
            {"updatedAt", added},
            {"stage", rng.between(0, 7)},
            // Past and far-future due dates, so "due_only" splits the book.
            {"dueAt", rng.chance(0.4) ? isoUtc(rng, 2021, 2025) : isoUtc(rng, 2090, 2099)},
            {"lapses", rng.between(0, 4)},
            {"graduated", rng.chance(0.1)},
            {"examTags", Json::array()},
        };
        for (long i = 0, n = rng.between(0, 3); i < n; ++i) entry["examTags"].push_back(rng.pick(kExamTags));
        if (rng.chance(0.95)) entry["phonetic"] = "/" + word + "/";
        if (rng.chance(0.97)) entry["translation"] = rng.pick(TextPool::translations());
        if (rng.chance(0.9)) entry["source"] = rng.chance(0.6) ? "lookup" : "imported";
        if (rng.chance(0.5)) {
            const PlannedEntry& met = plan.entries[rng.below(plan.entries.size())];
            std::string excerpt = TextPool::mixedText(rng, 30, 0.2);
            entry["provenance"] = {{"itemID", met.id}, {"date", met.day}, {"excerpt", excerpt}};
            entry["examples"] = Json::array({excerpt});
        }
        if (rng.chance(0.05)) entry["note"] = TextPool::mixedText(rng, 10, 0.8);
        if (rng.chance(0.02)) entry["deletedAt"] = isoUtc(rng, 2025, 2025);
        words[word] = entry;
    }
    Json book = {{"version", 1}, {"writer", "ios"}, {"updatedAt", "2025-12-31T12:00:00Z"}, {"words", words}};
    writeFile(root / "core/vocabulary.json", pretty(book));
}

std::string writeDailyReports(const fs::path& root, std::size_t days, std::uint64_t seed) {
    BenchRandom rng(seed ^ 0x7265706F72745F31ULL);
    fs::path dir = root / "memories/timeline/insights/daily_reports";
    fs::create_directories(dir);
    const std::int64_t last = BenchDates::midnight(2025, 12, 31);
    std::string someDay;
    for (std::size_t i = 0; i < days; ++i) {
        std::string day = BenchDates::day(last - static_cast<std::int64_t>(i) * 86400);
        Json insights = Json::array();
        for (long k = 0, n = rng.between(2, 4); k < n; ++k) insights.push_back(TextPool::mixedText(rng, 20, 0.8));
        Json report = {
            {"headline", TextPool::mixedText(rng, 12, 0.9)},
            {"shortSummary", TextPool::mixedText(rng, 40, 0.8)},
            {"narrative", TextPool::mixedText(rng, 300, 0.8)},
            {"markdownContent", "## 今天\n- " + TextPool::mixedText(rng, 200, 0.8)},
            {"moodSummary", {{"label", "平稳"}, {"score", rng.between(1, 5)}}},
            {"keyInsights", insights},
            {"topInsights", Json::array({{{"title", rng.pick(TextPool::titles())}}})},
            {"stats", {{"entries", rng.between(1, 60)}, {"voice", rng.between(0, 8)}, {"steps", rng.between(800, 20000)}}},
            {"pendingItems", Json::array({rng.pick(TextPool::tasks())})},
            {"tomorrowSuggestions", Json::array({rng.pick(TextPool::tasks())})},
            {"mode", "auto"},
            {"schemaVersion", 2},
            {"generatedBy", "quillstack-mac 1.8.3 (minutes-v3)"},
            {"generatedAt", day + "T15:30:00Z"},
        };
        writeFile(dir / (day + ".json"), pretty(report));
        if (i == days / 2 || someDay.empty()) someDay = day;
    }
    return someDay;
}

void writeLibraryMarker(const fs::path& root) {
    fs::create_directories(root / "preferences");
    Json marker = {{"app", "quillstack"}, {"createdAt", "2021-01-01T00:00:00Z"}, {"pathSchema", "english-v2"}, {"schemaVersion", 2}};
    writeFile(root / "preferences/quillstack-library.json", pretty(marker));
}

}  // namespace qs::Bench
