// Builds a whole synthetic vault in a scratch folder and publishes it only when complete.
#include "vault_generator.hpp"

#include <stdexcept>  // std::runtime_error
#include <system_error>  // std::error_code

#include "text_pool.hpp"
#include "vault_parts.hpp"

namespace qs::Bench {
namespace fs = std::filesystem;

BenchTargets generateVault(const GenOptions& options) {
    if (options.out.empty()) throw std::runtime_error("no output folder given");
    if (options.reportDays == 0 || options.vocabWords == 0) throw std::runtime_error("reports and words must not be zero");
    std::error_code ec;
    if (fs::exists(options.out, ec)) {
        throw std::runtime_error(options.out.string() + " already exists; remove it to regenerate");
    }
    // A run that was killed leaves only this scratch folder, never a vault
    // that looks complete.
    fs::path scratch = options.out;
    scratch += ".partial";
    fs::remove_all(scratch);
    fs::create_directories(scratch);

    VaultPlan plan = makePlan(options);
    BenchTargets t;
    t.entries = options.entries;
    t.seed = options.seed;
    t.dashboardBytes = writeTimeline(scratch, plan, options.seed);
    writeVocabulary(scratch, plan, options.vocabWords, options.seed);
    t.reportDay = writeDailyReports(scratch, options.reportDays, options.seed);
    writeLibraryMarker(scratch);
    fs::create_directories(scratch / "memories/timeline/inputs");

    t.asciiMarker = TextPool::asciiMarker;
    t.chineseMarker = TextPool::chineseMarker;
    for (const auto& e : plan.entries) {
        t.asciiMarked += e.asciiMarker ? 1 : 0;
        t.chineseMarked += e.chineseMarker ? 1 : 0;
    }
    t.voiceDateFrom = "2023-01-01";
    t.voiceDateTo = "2023-03-31";
    t.transcriptId = plan.entries[plan.transcriptTarget].id;
    t.transcriptChars = kTargetTranscriptChars;
    t.minutesId = plan.entries[plan.minutesTarget].id;
    t.vocabQuery = TextPool::vocabQuery;
    t.vocabWords = options.vocabWords;

    fs::rename(scratch, options.out);
    writeFile(targetsPath(options.out), targetsToJson(t) + "\n");
    return t;
}

}  // namespace qs::Bench
