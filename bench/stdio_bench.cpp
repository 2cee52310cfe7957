// quillstack-bench: per-call latency, memory and start-up time of the real server over stdio, as Markdown tables.
#include <algorithm>   // std::sort, std::max
#include <chrono>      // std::chrono::steady_clock
#include <cmath>       // std::ceil
#include <cstdio>      // std::printf, std::snprintf
#include <cstdlib>     // setenv
#include <filesystem>  // std::filesystem
#include <fstream>     // std::ifstream
#include <functional>  // std::function
#include <iterator>    // std::istreambuf_iterator
#include <memory>      // std::unique_ptr
#include <optional>    // std::optional
#include <stdexcept>   // std::invalid_argument
#include <string>      // std::string
#include <thread>      // std::this_thread::sleep_for
#include <vector>      // std::vector

#include "child_process.hpp"
#include "floor.hpp"
#include "vault_gen.hpp"

namespace fs = std::filesystem;
using qs::Json;

namespace {

const char* kUsage =
    "usage: quillstack-bench [--sizes 1000,20k,100k] [--repeat N] [--warmup N] [--changed N] [--idle-seconds N]\n"
    "                        [--spawns N] [--seed N] [--timeout SECONDS] [--binary PATH] [--cache DIR]\n"
    "                        [--day-folders N] [--fulltext N]\n"
    "Generates missing vaults into --cache (default build/bench-vaults), times each tool call over stdio\n"
    "against the server built beside this program: --changed calls right after its file was rewritten,\n"
    "then warm-ups and --repeat calls; then its memory after --idle-seconds. Then recording_list on a vault\n"
    "of --day-folders day folders (default 3650, ten years; 0 skips it); then the full-text index's build\n"
    "and searches on the vault of --fulltext entries (default 20k; 0 skips it). Prints Markdown tables.\n";

struct Options {
    std::vector<std::size_t> sizes{1000, 20000, 100000};
    std::string binary, cache;
    int repeat = 0, changed = -1;  // 15 and 5, or 5 and 2 above 200,000 entries
    int warmup = 2, idleSeconds = 0, spawns = 20, timeoutMs = 600000;
    std::size_t dayFolders = 3650;
    std::size_t fulltext = 20000;  // the vault the full-text index is measured on; 0 skips it
    std::uint64_t seed = 20250302;
};

enum class Floor { index, vocabulary, none };

struct Call {
    std::string label, tool;  // column heading, tool name
    Json arguments;
    Floor floor;
    // What is wrong with the first reply's payload, so a call that returns
    // the wrong thing is not mistaken for a fast one.
    std::function<std::string(const Json& payload)> check;
};

struct Latency {
    double median = 0, p95 = 0;  // p95: nearest rank
};

struct Measured {
    std::optional<Latency> first;  // right after the file changed
    Latency repeated;
    std::string error, warning;  // the first failure; what the check found
};

struct Row {
    std::size_t entries = 0;
    double indexMiB = 0;
    std::optional<double> floorMs, vocabFloorMs, peakMiB, idleMiB, spawnMs;
    std::vector<Measured> results;  // one per Call
    std::vector<std::string> problems;
};

using Clock = std::chrono::steady_clock;
double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

Latency summarize(std::vector<double> ms) {
    if (ms.empty()) return {};
    std::sort(ms.begin(), ms.end());
    std::size_t n = ms.size(), rank = static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(n)));
    return {n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2, ms[std::max<std::size_t>(rank, 1) - 1]};
}

std::string fixed(double value, const char* format) {
    char buf[48];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}
// Milliseconds with precision that suits their size: 0.42, 7.35, 31.2, 412.
std::string ms(double v) { return fixed(v, v < 10 ? "%.2f" : v < 100 ? "%.1f" : "%.0f"); }
std::string ms(const std::optional<double>& v) { return v ? ms(*v) : "error"; }
std::string mib(const std::optional<double>& v) { return v ? fixed(*v, "%.1f") : "error"; }

std::string thousands(std::size_t n) {
    std::string out = std::to_string(n);
    for (std::size_t at = out.size(); at > 3; at -= 3) out.insert(at - 3, ",");
    return out;
}

// The benchmark's calls, aimed at what the generator put in the vault.
std::vector<Call> benchCalls(const Json& t) {
    auto expect = [](const char* key, long want) {
        return [=](const Json& p) {
            Json v = p.value(key, Json());
            long got = v.is_number_integer() ? v.get<long>() : -1;
            return got == want ? ""
                               : std::string(key) + " is " + std::to_string(got) + ", expected " + std::to_string(want);
        };
    };
    auto some = [](const char* key) {  // a positive count or a non-empty text
        return [=](const Json& p) {
            Json v = p.value(key, Json());
            return (v.is_number() && v.get<double>() > 0) || (v.is_string() && v != "") ? "" : "no " + std::string(key);
        };
    };
    auto num = [&t](const char* key) { return t.value(key, 0L); };
    auto str = [&t](const char* key) { return t.value(key, std::string()); };
    const long chars = num("transcriptChars");
    auto transcript = [total = expect("total_chars", chars),
                          part = expect("returned_chars", std::min(5000L, chars - 10000))](
                          const Json& p) { return total(p) + part(p); };
    Json voice = {{"type", "voice"}, {"date_from", str("voiceDateFrom")}, {"date_to", str("voiceDateTo")}};
    Json excerpt = {{"id", str("transcriptId")}, {"offset", 10000}, {"max_chars", 5000}};
    return {
        {"search ASCII ~1%", "vault_search", {{"query", str("asciiMarker")}}, Floor::index,
            expect("returned", std::min(num("asciiMarked"), 20L))},
        {"search 中文 ~1%", "vault_search", {{"query", str("chineseMarker")}}, Floor::index,
            expect("returned", std::min(num("chineseMarked"), 20L))},
        {"search common \"review\"", "vault_search", {{"query", "review"}}, Floor::index, expect("returned", 20)},
        {"search common 会议", "vault_search", {{"query", "会议"}}, Floor::index, expect("returned", 20)},
        {"search \"review\" offset 200", "vault_search", {{"query", "review"}, {"offset", 200}}, Floor::index,
            expect("next_offset", 220)},
        {"search no args", "vault_search", Json::object(), Floor::index, expect("total_in_vault", num("entries"))},
        {"search voice+dates", "vault_search", voice, Floor::index, some("returned")},
        {"recording_list", "recording_list", Json::object(), Floor::index, some("returned")},
        {"transcript 5k@10k", "recording_transcript", excerpt, Floor::index, transcript},
        {"minutes_read", "minutes_read", {{"id", str("minutesId")}}, Floor::index, some("minutes_markdown")},
        {"vocab_list query", "vocab_list", {{"query", str("vocabQuery")}}, Floor::vocabulary, some("total")},
        {"report_daily", "report_daily", {{"date", str("reportDay")}}, Floor::none, some("headline")},
    };
}

struct Outcome {
    double ms = 0;
    std::string error;  // empty on success
    Json result;
    bool broken = false;  // the server can no longer be trusted
};

// One JSON-RPC conversation with a running server.
class Server {
public:
    Server(const Options& o, const fs::path& vault)
        : child(qs::harness::ChildOptions{o.binary, {"--vault", vault.string()}, {}, {}}), timeoutMs_(o.timeoutMs) {}

    // Sends "initialize" and then the "initialized" notification.
    Outcome initialize() {
        Outcome out = call("initialize", {{"protocolVersion", "2025-06-18"}, {"capabilities", Json::object()},
                                             {"clientInfo", {{"name", "quillstack-bench"}, {"version", "0.1.0"}}}});
        if (out.error.empty()) child.sendLine(R"({"jsonrpc":"2.0","method":"notifications/initialized"})");
        return out;
    }

    // From the first byte sent to the whole reply line read; a JSON-RPC
    // error or a tool result with "isError" comes back as `error`.
    Outcome call(const std::string& method, const Json& params) {
        const long id = nextId_++;
        Outcome out{0, "", Json(), true};
        auto start = Clock::now();
        if (!child.sendLine(Json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}}.dump())) {
            out.error = "server is not running";
            return out;
        }
        std::optional<Json> reply;
        while (!reply || !reply->is_object() || reply->value("id", Json()) != id) {  // skips notifications
            auto line = child.readLine(timeoutMs_);
            out.ms = msSince(start);
            if (!line) out.error = child.outputClosed() ? "server exited" : "no reply in time";
            if (line && !(reply = qs::parseJsonDocument(*line))) out.error = "unparsable reply line";
            if (!out.error.empty()) return out;
        }
        out.broken = false;
        // ASCII escapes, so the cut never splits a character.
        out.result = reply->value("result", Json::object());
        if (reply->contains("error")) out.error = "rpc " + (*reply)["error"].dump(-1, ' ', true).substr(0, 100);
        if (out.result.is_object() && out.result.value("isError", false)) {
            out.error = "tool error: " + out.result.dump(-1, ' ', true).substr(0, 100);
        }
        return out;
    }

    qs::harness::ChildProcess child;

private:
    int timeoutMs_;
    long nextId_ = 1;
};

// `changed` calls, each right after `file` got the same bytes under a new
// modification time and inode (as an app's atomic save leaves it), then
// warm-ups and `repeat` timed calls.
Measured measure(
    Server& server, const Call& call, const fs::path& file, int changed, int warmup, int repeat, bool& broken) {
    Json params = {{"name", call.tool}, {"arguments", call.arguments}};
    Measured m;
    std::vector<double> first, repeated;
    if (file.empty()) changed = 0;
    try {
        for (int i = 0; i < changed + warmup + repeat && m.error.empty(); ++i) {
            if (i < changed) {
                fs::copy_file(file, fs::path(file) += ".bench-copy", fs::copy_options::overwrite_existing);
                fs::rename(fs::path(file) += ".bench-copy", file);
            } else if (i == changed && changed > 0) {
                // A file changed within two seconds of a read is read again
                // (the kept index's racy window): as between an app's rescans,
                // the repeated calls come once it has settled.
                std::this_thread::sleep_for(std::chrono::milliseconds(2100));
            }
            Outcome one = server.call("tools/call", params);
            m.error = one.error;
            broken = one.broken;
            if (i == 0 && one.error.empty()) {
                Json text = one.result.value(Json::json_pointer("/content/0/text"), Json());
                auto payload = text.is_string() ? qs::parseJsonDocument(text.get<std::string>()) : std::nullopt;
                m.warning = payload ? call.check(*payload) : "the result holds no JSON payload";
            }
            if (i < changed) first.push_back(one.ms);
            if (i >= changed + warmup) repeated.push_back(one.ms);
        }
    } catch (const std::exception& e) {
        m.error = e.what();
    }
    if (changed > 0) m.first = summarize(first);
    m.repeated = summarize(repeated);
    return m;
}

// Throws std::runtime_error when there is no vault or its floor cannot be read.
Row measureSize(const Options& o, std::size_t entries) {
    Row row;
    row.entries = entries;
    const fs::path vault = fs::path(o.cache) / ("vault-" + std::to_string(entries) + "-" + std::to_string(o.seed));
    if (!fs::exists(vault)) {
        std::fprintf(stderr, "[bench] generating %zu entries into %s\n", entries, vault.c_str());
        fs::create_directories(o.cache);
        qs::Bench::generateVault(vault, entries, o.seed);
    }
    auto targets = qs::Bench::readTargets(vault);
    // Not ours to delete: the generator publishes a vault with its description.
    if (!targets || targets->value("entries", 0UL) != entries || targets->value("seed", 0ULL) != o.seed) {
        throw std::runtime_error(vault.string() + " has no matching .bench.json; remove it to regenerate");
    }
    const bool huge = entries > 200000;
    const int repeat = o.repeat ? o.repeat : huge ? 5 : 15, changed = o.changed >= 0 ? o.changed : huge ? 2 : 5;
    const fs::path index = vault / "core/Dashboard.json", vocab = vault / "core/vocabulary.json";
    row.indexMiB = static_cast<double>(fs::file_size(index)) / (1 << 20);

    // Floor samples taken all through the run, a few before each tool: on a
    // shared machine the speed drifts, and a floor taken only at the start
    // would tilt every ratio after it.
    qs::Bench::FloorReader reader;
    std::vector<double> indexFloor, vocabFloor;
    auto sample = [](std::vector<double>& into, int warmup, int count, const std::function<void()>& run) {
        for (int i = 0; i < warmup + count; ++i) {
            auto start = Clock::now();
            run();
            if (i >= warmup) into.push_back(msSince(start));
        }
    };
    std::size_t walked = 0;
    auto walkIndex = [&] { walked = reader.walkDashboard(index); };
    sample(indexFloor, o.warmup, (repeat + 2) / 3, walkIndex);
    if (walked != entries) row.problems.push_back("floor walked " + std::to_string(walked) + " items");

    std::unique_ptr<Server> server;
    long peakKiB = 0;
    auto launch = [&] {  // a fresh server, the old one killed
        server = std::make_unique<Server>(o, vault);
        Outcome init = server->initialize();
        if (!init.error.empty())
            throw std::runtime_error("initialize: " + init.error + "; " + server->child.stderrText());
    };
    launch();
    for (const Call& call : benchCalls(*targets)) {
        bool broken = false;
        // The floor this tool is compared with, sampled right before it.
        if (call.floor == Floor::vocabulary) sample(vocabFloor, o.warmup, repeat, [&] { reader.parseWhole(vocab); });
        if (call.floor == Floor::index) sample(indexFloor, 0, (repeat + 2) / 3, walkIndex);
        const fs::path file = call.floor == Floor::index ? index : call.floor == Floor::vocabulary ? vocab : fs::path();
        Measured m = measure(*server, call, file, changed, o.warmup, repeat, broken);
        peakKiB = std::max(peakKiB, qs::harness::statusKiB(server->child.pid(), "VmHWM").value_or(0));
        std::fprintf(stderr, "[bench] %zu entries: %s %s\n", entries, call.label.c_str(),
            m.error.empty() ? (ms(m.repeated.median) + " ms").c_str() : m.error.c_str());
        if (broken) {
            std::string err = server->child.stderrText();
            m.error +=
                "; the next call starts a new server; stderr: " + err.substr(err.size() > 300 ? err.size() - 300 : 0);
            launch();
        }
        row.results.push_back(std::move(m));
    }
    std::this_thread::sleep_for(std::chrono::seconds(o.idleSeconds));
    auto idleKiB = qs::harness::statusKiB(server->child.pid(), "VmRSS");
    if (idleKiB) row.idleMiB = static_cast<double>(*idleKiB) / 1024;
    row.floorMs = summarize(indexFloor).median;
    row.vocabFloorMs = summarize(vocabFloor).median;
    if (peakKiB > 0) row.peakMiB = static_cast<double>(peakKiB) / 1024;

    std::vector<double> spawn;
    for (int i = 0; i < o.spawns && static_cast<int>(spawn.size()) == i; ++i) {
        auto start = Clock::now();
        Server fresh(o, vault);
        Outcome init = fresh.initialize();
        if (init.error.empty()) spawn.push_back(msSince(start));
        if (!init.error.empty()) row.problems.push_back("spawn→initialize: " + init.error);
    }
    if (static_cast<int>(spawn.size()) == o.spawns) row.spawnMs = summarize(spawn).median;
    return row;
}

// recording_list on a vault of many day folders: the 50 newest recordings,
// whose files are not on their own day (half have none at all, so every day
// folder is looked at), against 50 older ones whose files are on their day.
std::string measureDayFolders(const Options& o) {
    const fs::path vault = fs::path(o.cache) / ("days-" + std::to_string(o.dayFolders) + "-" + std::to_string(o.seed));
    if (!fs::exists(vault)) {
        std::fprintf(stderr, "[bench] generating %zu day folders into %s\n", o.dayFolders, vault.c_str());
        fs::create_directories(o.cache);
        qs::Bench::generateDayFolderVault(vault, o.dayFolders, o.seed);
    }
    std::ifstream in(fs::path(vault.string() + ".bench.json"));
    auto t = qs::parseJsonDocument(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    if (!t || !t->contains("presentTo"))
        throw std::runtime_error(vault.string() + " has no matching .bench.json; remove it to regenerate");
    const Call calls[] = {
        {"files on their day", "recording_list", {{"date_from", (*t)["presentFrom"]}, {"date_to", (*t)["presentTo"]}},
            Floor::index, [](const Json& p) { return p.value("returned", 0) == 50 ? "" : "returned is not 50"; }},
        {"files elsewhere or missing", "recording_list", Json::object(), Floor::index,
            [](const Json& p) { return p.value("returned", 0) == 50 ? "" : "returned is not 50"; }}};
    Server server(o, vault);
    Outcome init = server.initialize();
    if (!init.error.empty()) throw std::runtime_error("initialize: " + init.error);
    const int repeat = o.repeat ? o.repeat : 15, changed = o.changed >= 0 ? o.changed : 5;
    std::vector<Measured> m;
    for (const Call& call : calls) {
        bool broken = false;
        m.push_back(measure(server, call, vault / "core/Dashboard.json", changed, o.warmup, repeat, broken));
        for (const Measured& one : m) {
            if (!one.error.empty() || !one.warning.empty())
                throw std::runtime_error(call.label + ": " + one.error + one.warning);
        }
    }
    auto cell = [](const std::optional<Latency>& l) {
        return l ? ms(l->median) + " / " + ms(l->p95) : std::string("–");
    };
    std::string out =
        "| day folders | | " + calls[0].label + " | " + calls[1].label + " | ratio |\n|---:|---|---:|---:|---:|\n";
    for (bool first : {true, false}) {
        const std::optional<Latency> a = first ? m[0].first : m[0].repeated, b = first ? m[1].first : m[1].repeated;
        std::string ratio = a && b && a->median > 0 ? fixed(b->median / a->median, "%.1f") + "×" : "–";
        out += "| " + thousands(o.dayFolders) + (first ? " | first call after a change | " : " | repeated | ") +
               cell(a) + " | " + cell(b) + " | " + ratio + " |\n";
    }
    return out;
}

// One row per size. The main table: each call's "median / p95 (ratio×)" of
// the repeated calls, peak RSS, spawn→initialize. With `first`: the calls
// right after the file changed, and the memory after the idle time.
std::string table(const std::vector<Call>& calls, const std::vector<Row>& rows, bool first, int idleSeconds) {
    std::string out = "| entries | index MiB | floor ms |", rule = "|---:|---:|---:|";
    std::vector<std::string> heads;
    for (const Call& call : calls) {
        if (call.floor == Floor::vocabulary) heads.push_back("vocab floor ms");  // right before the call it scales
        heads.push_back(call.label);
    }
    if (first) heads.push_back("RSS MiB after " + std::to_string(idleSeconds) + " s idle");
    if (!first) heads.insert(heads.end(), {"peak RSS MiB", "RSS/index", "spawn→init ms"});
    for (const auto& head : heads) out += " " + head + " |", rule += "---:|";
    out += "\n" + rule + "\n";
    for (const Row& row : rows) {
        out += "| " + thousands(row.entries) + " | " + fixed(row.indexMiB, "%.1f") + " | " + ms(row.floorMs) + " |";
        for (std::size_t i = 0; i < calls.size(); ++i) {
            const Floor kind = calls[i].floor;
            double floor = (kind == Floor::index        ? row.floorMs
                            : kind == Floor::vocabulary ? row.vocabFloorMs
                                                        : 0)
                               .value_or(0);
            if (calls[i].floor == Floor::vocabulary) out += " " + ms(row.vocabFloorMs) + " |";
            const Measured& m = row.results[i];
            std::optional<Latency> l = first ? m.first : m.repeated;
            std::string cell = !m.error.empty() ? "error" : !l ? "–" : ms(l->median) + " / " + ms(l->p95);
            if (m.error.empty() && l && floor > 0) cell += " (" + fixed(l->median / floor, "%.2f") + "×)";
            out += " " + cell + (m.warning.empty() ? "" : " ⚠") + " |";
        }
        if (first) out += " " + mib(row.idleMiB) + " |";
        if (!first) {
            std::string ratio = row.peakMiB && row.indexMiB > 0 ? fixed(*row.peakMiB / row.indexMiB, "%.2f") : "–";
            out += " " + mib(row.peakMiB) + " | " + ratio + " | " + ms(row.spawnMs) + " |";
        }
        out += "\n";
    }
    return out;
}

// The full-text index on the vault of `o.fulltext` entries, from an empty
// cache: its first build (rate, size, peak memory, other calls meanwhile),
// then searches, and what one minutes_write costs once the index is open.
std::string measureFulltext(const Options& o) {
    const fs::path vault = fs::path(o.cache) / ("vault-" + std::to_string(o.fulltext) + "-" + std::to_string(o.seed));
    if (!fs::exists(vault)) qs::Bench::generateVault(vault, o.fulltext, o.seed);
    const std::string minutesId = qs::Bench::readTargets(vault).value_or(Json::object()).value("minutesId", "");
    double textMB = 0;  // what the index reads: the timeline index, entry files, reports, inputs
    for (const auto& e : fs::recursive_directory_iterator(vault)) {
        const std::string name = e.path().filename().string();
        if (e.is_regular_file() && name != "vocabulary.json" &&
            e.path().string().find("minutes-history") == std::string::npos)
            textMB += static_cast<double>(e.file_size()) / 1e6;
    }
    const fs::path cache = fs::path(o.cache) / "fulltext-cache";
    fs::remove_all(cache);
    setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    Server server(o, vault);
    if (Outcome init = server.initialize(); !init.error.empty()) throw std::runtime_error("initialize: " + init.error);
    auto tool = [&](const std::string& name, const Json& arguments) {
        Outcome out = server.call("tools/call", {{"name", name}, {"arguments", arguments}});
        if (!out.error.empty()) throw std::runtime_error(name + ": " + out.error);
        return out;
    };
    auto payload = [](const Outcome& out) {
        return qs::parseJsonDocument(out.result.value(Json::json_pointer("/content/0/text"), "{}")).value_or(Json());
    };
    auto timed = [&](int n, const std::function<Outcome()>& call) {
        std::vector<double> all;
        for (int i = 0; i < n; ++i) all.push_back(call().ms);
        return summarize(all);
    };
    const Json write = {{"id", minutesId}, {"markdown", "Bench minutes: pricing review with Katrin"}};
    const Latency writeBefore = timed(5, [&] { return tool("minutes_write", write); });

    const auto start = Clock::now();
    std::vector<double> others;
    Json state = payload(tool("fulltext_search", {{"query", "会议"}}));
    while (state.value(Json::json_pointer("/index/building"), false) && msSince(start) < o.timeoutMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        others.push_back(tool("recording_list", {{"limit", 20}}).ms);
        others.push_back(tool("vault_search", {{"query", "review"}}).ms);
        state = payload(tool("fulltext_search", {{"query", "会议"}}));
    }
    const double buildS = msSince(start) / 1000;
    const long peakKiB = qs::harness::statusKiB(server.child.pid(), "VmHWM").value_or(0);
    double dbMB = 0;
    for (const auto& e : fs::recursive_directory_iterator(cache)) dbMB += static_cast<double>(e.file_size()) / 1e6;

    const std::pair<const char*, const char*> queries[] = {{"one word", "meeting"}, {"two words", "Atlas 定价"},
        {"three words", "Sarah Chen 访谈"}, {"CJK", "用户访谈"}, {"phrase", "\"Partner sync\""}, {"typo", "Katrinn"}};
    std::string out = "| full-text index, " + thousands(o.fulltext) + " entries | |\n|---|---:|\n";
    auto line = [&](const std::string& what, const std::string& value) { out += "| " + what + " | " + value + " |\n"; };
    line("vault text read (MB)", fixed(textMB, "%.1f"));
    line("first build (s) / rate (MB/s)", fixed(buildS, "%.1f") + " / " + fixed(textMB / buildS, "%.1f"));
    line("database (MB) / × text", fixed(dbMB, "%.1f") + " / " + fixed(dbMB / textMB, "%.2f") + "×");
    line("peak RSS while building (MiB)", fixed(static_cast<double>(peakKiB) / 1024, "%.0f"));
    const Latency other = summarize(others);
    line("other calls during the build (median / max ms)",
        ms(other.median) + " / " + ms(*std::max_element(others.begin(), others.end())));
    for (const auto& [label, query] : queries) {
        const Latency l = timed(o.repeat ? o.repeat : 15, [&] { return tool("fulltext_search", {{"query", query}}); });
        line(std::string("search, ") + label + " `" + query + "` (median / p95 ms)", ms(l.median) + " / " + ms(l.p95));
    }
    const Latency writeAfter = timed(5, [&] { return tool("minutes_write", write); });
    line("minutes_write without / with the index (median ms)", ms(writeBefore.median) + " / " + ms(writeAfter.median));
    return out;
}

std::size_t parseCount(const std::string& text) {
    std::size_t used = 0;
    double value = std::stod(text, &used);
    const std::string suffix = text.substr(used);
    double scale = suffix.empty() ? 1 : suffix == "k" || suffix == "K" ? 1e3 : suffix == "m" || suffix == "M" ? 1e6 : 0;
    if (value * scale < 2) throw std::invalid_argument(text);
    return static_cast<std::size_t>(value * scale);
}

Options parseOptions(int argc, char** argv) {
    Options o;
    fs::path self = fs::read_symlink("/proc/self/exe").parent_path();  // build/<preset>/bench
    o.binary = (self.parent_path() / "src/quillstack-mcp").string();
    o.cache = (self.parent_path().parent_path() / "bench-vaults").string();
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") throw std::invalid_argument("");
        if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
        std::string value = argv[++i];
        if (arg == "--sizes") {
            o.sizes.clear();
            for (std::size_t start = 0, comma = 0; start <= value.size(); start = comma + 1) {
                comma = std::min(value.find(',', start), value.size());
                o.sizes.push_back(parseCount(value.substr(start, comma - start)));
            }
        } else if (arg == "--repeat")
            o.repeat = std::max(1, std::stoi(value));
        else if (arg == "--warmup")
            o.warmup = std::max(0, std::stoi(value));
        else if (arg == "--changed")
            o.changed = std::max(0, std::stoi(value));
        else if (arg == "--idle-seconds")
            o.idleSeconds = std::max(0, std::stoi(value));
        else if (arg == "--spawns")
            o.spawns = std::max(1, std::stoi(value));
        else if (arg == "--seed")
            o.seed = std::stoull(value);
        else if (arg == "--timeout")
            o.timeoutMs = std::max(1, std::stoi(value)) * 1000;
        else if (arg == "--binary")
            o.binary = value;
        else if (arg == "--cache")
            o.cache = value;
        else if (arg == "--day-folders")
            o.dayFolders = std::stoull(value);
        else if (arg == "--fulltext")
            o.fulltext = value == "0" ? 0 : parseCount(value);
        else
            throw std::invalid_argument("unknown option " + arg);
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    try {
        o = parseOptions(argc, argv);
        if (!fs::exists(o.binary))
            throw std::invalid_argument("no server at " + o.binary + " (build it, or pass --binary)");
    } catch (const std::exception& e) {
        if (*e.what()) std::fprintf(stderr, "quillstack-bench: %s\n", e.what());
        std::fputs(kUsage, *e.what() ? stderr : stdout);
        return *e.what() ? 2 : 0;
    }
    const std::vector<Call> calls = benchCalls(Json::object());
    std::vector<Row> rows;
    for (std::size_t entries : o.sizes) {
        try {
            rows.push_back(measureSize(o, entries));
        } catch (const std::exception& e) {
            std::vector<Measured> failed(calls.size(), Measured{{}, {}, "error", {}});
            rows.push_back({entries, 0, {}, {}, {}, {}, {}, failed, {e.what()}});
        }
    }

    const std::string repeats = o.repeat ? std::to_string(o.repeat) : "15 (5 above 200,000 entries)";
    const std::string changes = o.changed >= 0 ? std::to_string(o.changed) : "5 (2 above 200,000 entries)";
    std::printf(
        "%s\nCells: median / p95 ms of %s repeated calls after %d warm-up calls (ratio = median ÷ floor). "
        "Floor: Dashboard.json read into a reused buffer and walked once with simdjson on-demand, its median "
        "over samples taken before each tool all through the run; vocab_list's floor: vocabulary.json read "
        "into a reused buffer and parsed whole into simdjson's DOM. MiB throughout.\n\n",
        table(calls, rows, false, o.idleSeconds).c_str(), repeats.c_str(), o.warmup);
    std::printf(
        "The first call right after its file was rewritten (same bytes, new inode and time), %s calls each, "
        "and the server's resident memory after %d s without calls:\n\n%s",
        changes.c_str(), o.idleSeconds, table(calls, rows, true, o.idleSeconds).c_str());
    if (o.dayFolders > 0) {
        try {
            std::printf(
                "\nrecording_list, limit 50, on a vault of %s day folders (median / p95 ms; ratio: files elsewhere "
                "or missing ÷ files on their day):\n\n%s",
                thousands(o.dayFolders).c_str(), measureDayFolders(o).c_str());
        } catch (const std::exception& e) {
            std::printf("- day folders: %s\n", e.what());
        }
    }
    if (o.fulltext > 0) {
        try {
            std::printf("\n%s", measureFulltext(o).c_str());
        } catch (const std::exception& e) {
            std::printf("- full-text index: %s\n", e.what());
        }
    }
    for (const Row& row : rows) {
        const std::string size = thousands(row.entries);
        for (std::size_t i = 0; i < calls.size(); ++i) {
            const Measured& m = row.results[i];
            std::string note = !m.error.empty()     ? m.error
                               : !m.warning.empty() ? "⚠ unexpected reply: " + m.warning
                                                    : "";
            if (!note.empty())
                std::printf("- %s entries, %s: %s\n", size.c_str(), calls[i].label.c_str(), note.c_str());
        }
        for (const auto& problem : row.problems) std::printf("- %s entries: %s\n", size.c_str(), problem.c_str());
    }
    return 0;
}
