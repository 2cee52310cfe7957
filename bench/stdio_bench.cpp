// quillstack-bench: per-call latency, peak memory and start-up time of the real server over stdio.
#include <algorithm>   // std::max
#include <chrono>      // std::chrono::steady_clock
#include <cstdio>      // std::fprintf
#include <cstdlib>     // std::exit
#include <optional>    // std::optional
#include <filesystem>  // std::filesystem
#include <memory>      // std::unique_ptr
#include <stdexcept>   // std::invalid_argument
#include <string>      // std::string
#include <vector>      // std::vector

#include "bench_table.hpp"
#include "floor_parse.hpp"

namespace fs = std::filesystem;
using namespace qs::Bench;

namespace {

struct Options {
    std::vector<std::size_t> sizes{1000, 20000, 100000};
    std::string binary, genvault, cache;
    int repeat = 0;  // 0: 15, or 5 above 200,000 entries
    int warmup = 2;
    int spawns = 20;
    std::uint64_t seed = 20250302;
    int timeoutMs = 600000;
};

const char* kUsage =
    "usage: quillstack-bench [--sizes 1000,20k,100k] [--repeat N] [--warmup N] [--spawns N]\n"
    "                        [--seed N] [--timeout SECONDS] [--binary PATH] [--genvault PATH] [--cache DIR]\n"
    "Generates missing vaults into the cache folder (default build/bench-vaults), then measures\n"
    "each tool call over stdio against the server (default build/<preset>/src/quillstack-mcp)\n"
    "and prints one Markdown table.\n";

std::size_t parseCount(const std::string& text) {
    std::size_t used = 0;
    double value = std::stod(text, &used);
    std::string suffix = text.substr(used);
    if (suffix == "k" || suffix == "K") value *= 1e3;
    else if (suffix == "m" || suffix == "M") value *= 1e6;
    else if (!suffix.empty()) throw std::invalid_argument(text);
    if (value < 2) throw std::invalid_argument(text);
    return static_cast<std::size_t>(value);
}

Options parseOptions(int argc, char** argv) {
    Options o;
    fs::path self = fs::read_symlink("/proc/self/exe").parent_path();  // build/<preset>/bench
    o.binary = (self.parent_path() / "src/quillstack-mcp").string();
    o.genvault = (self / "quillstack-genvault").string();
    o.cache = (self.parent_path().parent_path() / "bench-vaults").string();
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        }
        if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
        std::string value = argv[++i];
        if (arg == "--sizes") {
            o.sizes.clear();
            for (std::size_t start = 0; start <= value.size();) {
                std::size_t comma = value.find(',', start);
                if (comma == std::string::npos) comma = value.size();
                o.sizes.push_back(parseCount(value.substr(start, comma - start)));
                start = comma + 1;
            }
        } else if (arg == "--repeat") o.repeat = std::max(1, std::stoi(value));
        else if (arg == "--warmup") o.warmup = std::max(0, std::stoi(value));
        else if (arg == "--spawns") o.spawns = std::max(1, std::stoi(value));
        else if (arg == "--seed") o.seed = std::stoull(value);
        else if (arg == "--timeout") o.timeoutMs = std::max(1, std::stoi(value)) * 1000;
        else if (arg == "--binary") o.binary = value;
        else if (arg == "--genvault") o.genvault = value;
        else if (arg == "--cache") o.cache = value;
        else throw std::invalid_argument("unknown option " + arg);
    }
    return o;
}

void progress(const std::string& line) { std::fprintf(stderr, "[bench] %s\n", line.c_str()); }

using Clock = std::chrono::steady_clock;
double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The vault of `entries`, generated when missing or incomplete.
std::optional<BenchTargets> ensureVault(const Options& o, std::size_t entries, fs::path& vault, std::string& problem) {
    vault = fs::path(o.cache) / ("vault-" + std::to_string(entries) + "-" + std::to_string(o.seed));
    if (fs::exists(vault)) {
        if (auto t = readTargets(targetsPath(vault)); t && t->entries == entries && t->seed == o.seed) return t;
        // Not ours to delete: the generator publishes a vault and its
        // description together, so this folder came from somewhere else.
        problem = vault.string() + " exists without a matching " + targetsPath(vault).filename().string() +
                  "; remove it to regenerate";
        return std::nullopt;
    }
    fs::create_directories(o.cache);
    progress("generating " + std::to_string(entries) + " entries into " + vault.string());
    auto start = Clock::now();
    int rc = runToCompletion(o.genvault, {vault.string(), std::to_string(entries), std::to_string(o.seed)},
                             (fs::path(o.cache) / "genvault.log").string());
    if (rc != 0) {
        problem = "generator failed (status " + std::to_string(rc) + "), see " + o.cache + "/genvault.log";
        return std::nullopt;
    }
    progress("generated in " + formatMs(msSince(start) / 1000) + " s");
    auto targets = readTargets(targetsPath(vault));
    if (!targets) problem = "the generator wrote no readable " + targetsPath(vault).string();
    return targets;
}

// Floor samples taken all through a vault's run, a few before each tool is
// measured: on a shared machine the speed drifts, and a floor measured only
// at the start would tilt every ratio after it.
class FloorSamples {
public:
    // `count` timed walks, after `warmup` untimed ones.
    template <typename Run>
    void take(int warmup, int count, Run run, std::vector<std::string>& problems) {
        if (failed_) return;
        try {
            for (int i = 0; i < warmup + count; ++i) {
                auto start = Clock::now();
                run();
                if (i >= warmup) samples_.push_back(msSince(start));
            }
        } catch (const std::exception& e) {
            failed_ = true;
            problems.push_back(std::string("floor: ") + e.what());
        }
    }
    std::optional<double> median() const {
        if (failed_ || samples_.empty()) return std::nullopt;
        return summarize(samples_).median;
    }

private:
    std::vector<double> samples_;
    bool failed_ = false;
};

// True for failures after which the server can no longer be trusted.
bool serverBroken(const std::string& error) {
    return error == "server exited" || error == "server is not running" || error == "no reply in time" ||
           error == "unparsable reply line";
}

SizeReport measureSize(const Options& o, std::size_t entries, const std::vector<ToolCall>& columns) {
    SizeReport row;
    row.entries = entries;
    fs::path vault;
    std::string problem;
    auto targets = ensureVault(o, entries, vault, problem);
    if (!targets) {
        progress(problem);
        row.problems.push_back("no vault: " + problem);
        row.results.resize(columns.size(), CallResult::failed("no vault"));
        return row;
    }
    const std::vector<ToolCall> toolCalls = benchCalls(*targets);
    const int repeat = o.repeat ? o.repeat : (entries > 200000 ? 5 : 15);
    const std::string index = (vault / "core/Dashboard.json").string();
    const std::string vocab = (vault / "core/vocabulary.json").string();
    row.indexMB = static_cast<double>(fs::file_size(index)) / (1 << 20);

    FloorReader reader;
    std::size_t walked = 0;
    FloorSamples indexFloor, vocabFloor;
    auto walkIndex = [&] { walked = reader.walkDashboard(index); };
    auto walkVocab = [&] { reader.parseWhole(vocab); };
    // A first share of the samples before any tool runs.
    indexFloor.take(o.warmup, (repeat + 2) / 3, walkIndex, row.problems);
    if (indexFloor.median() && walked != entries) row.problems.push_back("floor walked " + std::to_string(walked) + " items");
    progress(std::to_string(entries) + " entries: floor " + (indexFloor.median() ? formatMs(*indexFloor.median()) : "error") + " ms");

    const std::string log = (fs::path(o.cache) / ("server-" + std::to_string(entries) + ".log")).string();
    fs::remove(log);
    std::unique_ptr<ServerChild> child;
    std::unique_ptr<RpcDriver> driver;
    long peakKb = 0;
    auto notePeak = [&] {
        if (child) peakKb = std::max(peakKb, child->peakRssKb().value_or(0));
    };
    for (const auto& toolCall : toolCalls) {
        if (!child) {
            std::string failure;
            try {
                child = std::make_unique<ServerChild>(o.binary, std::vector<std::string>{"--vault", vault.string()}, log);
                driver = std::make_unique<RpcDriver>(*child, o.timeoutMs);
                if (auto init = driver->initialize(); !init.error.empty()) failure = "initialize: " + init.error;
            } catch (const std::exception& e) {
                failure = e.what();
            }
            if (!failure.empty()) {
                // A server that cannot start answers no call; the next call tries a fresh one.
                row.results.push_back(CallResult::failed(failure + " (log " + log + ")"));
                driver.reset();
                child.reset();
                continue;
            }
        }
        // The floor this tool is compared with, sampled right before it.
        if (toolCall.floor == FloorKind::vocabulary) vocabFloor.take(o.warmup, repeat, walkVocab, row.problems);
        if (toolCall.floor == FloorKind::dashboard) indexFloor.take(0, (repeat + 2) / 3, walkIndex, row.problems);
        CallResult result = measureCall(*driver, toolCall, o.warmup, repeat);
        notePeak();
        progress(std::to_string(entries) + " entries: " + toolCall.label + " " +
                 (result.error.empty() ? formatMs(result.latency.median) + " ms" : result.error));
        if (serverBroken(result.error)) {
            result.error += " (log " + log + "; the next call starts a new server)";
            driver.reset();
            child.reset();  // finish() kills it if it still runs
        }
        row.results.push_back(std::move(result));
    }
    notePeak();
    driver.reset();
    child.reset();
    row.floorMs = indexFloor.median();
    row.vocabFloorMs = vocabFloor.median();
    if (peakKb > 0) row.peakRssMB = static_cast<double>(peakKb) / 1024;

    std::vector<double> spawn;
    for (int i = 0; i < o.spawns; ++i) {
        CallOutcome one = timeSpawnToInitialize(o.binary, vault.string(), std::min(o.timeoutMs, 30000));
        if (!one.error.empty()) {
            row.problems.push_back("spawn→initialize: " + one.error);
            break;
        }
        spawn.push_back(one.ms);
    }
    if (static_cast<int>(spawn.size()) == o.spawns) row.spawnMs = summarize(spawn).median;
    return row;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    try {
        options = parseOptions(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillstack-bench: %s\n%s", e.what(), kUsage);
        return 2;
    }
    if (!fs::exists(options.binary)) {
        std::fprintf(stderr, "quillstack-bench: no server at %s (build it, or pass --binary)\n", options.binary.c_str());
        return 1;
    }
    const std::vector<ToolCall> labels = benchCalls(BenchTargets{});
    std::vector<SizeReport> rows;
    for (std::size_t entries : options.sizes) rows.push_back(measureSize(options, entries, labels));

    std::printf("%s\n", markdownTable(labels, rows).c_str());
    std::printf("Cells: median / p95 ms of %s timed calls after %d warm-up calls (ratio = median ÷ floor). "
                "Floor: Dashboard.json read into a reused buffer and walked once with simdjson on-demand, "
                "its median over samples taken before each tool all through the run; "
                "vocab_list's floor: vocabulary.json read into a reused buffer and parsed whole into simdjson's DOM. "
                "MiB throughout.\n",
                options.repeat ? std::to_string(options.repeat).c_str() : "15 (5 above 200,000 entries)", options.warmup);
    std::string notes = reportNotes(labels, rows);
    if (!notes.empty()) std::printf("\n%s", notes.c_str());
    return 0;
}
