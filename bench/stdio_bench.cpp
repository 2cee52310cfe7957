// quillstack-bench: per-call latency and memory of the real server over stdio, as Markdown tables.
//
// Generates missing vaults into --cache (default build/bench-vaults), times each tool call over stdio
// against the server built beside this program: --changed calls right after its file was rewritten,
// then warm-ups and --repeat calls; then its memory after --idle-seconds. Then recording_list on a vault
// of --day-folders day folders (default 3650, ten years; 0 skips it); then the full-text index's build
// and searches on the vault of --fulltext entries (default 100k; 0 skips it); --fulltext-build 0 times
// the searches on the index an earlier run left in --cache, without building it again. --sizes 0 skips
// the tool calls' tables. --seed picks the vaults, --timeout bounds a call, --binary names the server.
#include <algorithm>   // std::sort, std::max
#include <chrono>      // std::chrono::steady_clock
#include <cmath>       // std::ceil
#include <cstdio>      // std::printf, std::snprintf
#include <cstdlib>     // setenv
#include <filesystem>  // std::filesystem
#include <fstream>     // std::ifstream
#include <functional>  // std::function
#include <map>         // std::map
#include <memory>      // std::unique_ptr
#include <optional>    // std::optional
#include <stdexcept>   // std::invalid_argument
#include <string>      // std::string
#include <thread>      // std::this_thread::sleep_for
#include <vector>      // std::vector

#include <unistd.h>  // sysconf

#include "child_process.hpp"
#include "floor.hpp"
#include "vault_gen.hpp"

namespace fs = std::filesystem;
using qs::Json;

namespace {

const char* kUsage =
    "usage: quillstack-bench [--sizes 1000,20k,100k] [--repeat N] [--warmup N] [--changed N] [--idle-seconds N]\n"
    "                        [--seed N] [--timeout SECONDS] [--binary PATH] [--cache DIR] [--day-folders N]\n"
    "                        [--fulltext N] [--fulltext-build 0|1]   (each option: bench/stdio_bench.cpp's head)\n";

struct Options {
    std::vector<std::size_t> sizes{1000, 20000, 100000};
    std::string binary, cache;
    int repeat = 0, changed = -1;  // 15 and 5, or 5 and 2 above 200,000 entries
    int warmup = 2, idleSeconds = 0, timeoutSeconds = 600;
    std::size_t dayFolders = 3650;
    std::size_t fulltext = 100000;  // the vault the full-text index is measured on; 0 skips it
    int fulltextBuild = 1;          // 0: the searches on the index left by an earlier run
    std::uint64_t seed = 20250302;
};

struct Call {
    std::string label, tool;  // column heading, tool name
    Json arguments;
    // A member of the first reply's payload and its value (null: any positive
    // count or non-empty text), so a call that returns the wrong thing is not
    // mistaken for a fast one.
    std::string key;
    Json want;
};

// What is wrong with a call's first payload; "" when nothing is.
std::string check(const Call& call, const Json& payload) {
    Json v = payload.value(call.key, Json());
    if (call.want.is_null() ? (v.is_number() && v.get<double>() > 0) || (v.is_string() && v != "") : v == call.want)
        return "";
    return call.key + " is " + v.dump() + (call.want.is_null() ? "" : ", expected " + call.want.dump());
}

struct Latency {
    double median = 0, p95 = 0;  // p95: nearest rank
};

struct Measured {
    std::optional<Latency> first;  // right after the file changed
    Latency repeated;
    std::string error, warning;  // the first failure; what the check found
    bool broken = false;         // the server can no longer be trusted
};

struct Row {
    std::size_t entries = 0;
    double indexMiB = 0;
    std::optional<double> floorMs, peakMiB, idleMiB;
    std::vector<Measured> results;  // one per Call
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
    auto num = [&t](const char* key) { return t.value(key, 0L); };
    auto str = [&t](const char* key) { return t.value(key, std::string()); };
    Json voice = {{"type", "voice"}, {"date_from", str("voiceDateFrom")}, {"date_to", str("voiceDateTo")}};
    Json excerpt = {{"id", str("transcriptId")}, {"offset", 10000}, {"max_chars", 5000}};
    return {
        {"search ASCII ~1%", "vault_search", {{"query", str("asciiMarker")}}, "returned",
            std::min(num("asciiMarked"), 20L)},
        {"search 中文 ~1%", "vault_search", {{"query", str("chineseMarker")}}, "returned",
            std::min(num("chineseMarked"), 20L)},
        {"search common \"review\"", "vault_search", {{"query", "review"}}, "returned", 20},
        {"search common 会议", "vault_search", {{"query", "会议"}}, "returned", 20},
        {"search \"review\" offset 200", "vault_search", {{"query", "review"}, {"offset", 200}}, "next_offset", 220},
        {"search no args", "vault_search", Json::object(), "total_in_vault", num("entries")},
        {"search voice+dates", "vault_search", voice, "returned", nullptr},
        {"recording_list", "recording_list", Json::object(), "returned", nullptr},
        {"transcript 5k@10k", "recording_transcript", excerpt, "returned_chars",
            std::min(5000L, num("transcriptChars") - 10000)},
        {"minutes_read", "minutes_read", {{"id", str("minutesId")}}, "minutes_markdown", nullptr},
    };
}

struct Outcome {
    double ms = 0;
    std::string error;  // empty on success
    Json result;
    bool broken = false;  // the server can no longer be trusted
};

// One JSON-RPC conversation with a running server, "initialize" done.
class Server {
public:
    Server(const Options& o, const fs::path& vault)
        : child(qs::harness::ChildOptions{o.binary, {"--vault", vault.string()}, {}, {}}),
          timeoutMs_(o.timeoutSeconds * 1000) {
        Outcome init = call("initialize", {{"protocolVersion", "2025-06-18"}, {"capabilities", Json::object()},
                                              {"clientInfo", {{"name", "quillstack-bench"}, {"version", "0.1.0"}}}});
        if (!init.error.empty()) throw std::runtime_error("initialize: " + init.error + "; " + child.stderrText());
        child.sendLine(R"({"jsonrpc":"2.0","method":"notifications/initialized"})");
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
Measured measure(Server& server, const Call& call, const fs::path& file, int changed, int warmup, int repeat) {
    Json params = {{"name", call.tool}, {"arguments", call.arguments}};
    Measured m;
    std::vector<double> first, repeated;
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
            m.broken = one.broken;
            if (i == 0 && one.error.empty()) {
                Json text = one.result.value(Json::json_pointer("/content/0/text"), Json());
                auto payload = text.is_string() ? qs::parseJsonDocument(text.get<std::string>()) : std::nullopt;
                m.warning = payload ? check(call, *payload) : "the result holds no JSON payload";
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

// A generated vault and its description, generated first when missing.
// Throws std::runtime_error.
Json prepare(const Options& o, const fs::path& vault, std::size_t count, bool dayFolders) {
    if (!fs::exists(vault)) {
        std::fprintf(stderr, "[bench] generating %s\n", vault.c_str());
        fs::create_directories(o.cache);
        dayFolders ? qs::Bench::generateDayFolderVault(vault, count, o.seed)
                   : qs::Bench::generateVault(vault, count, o.seed);
    }
    // Not ours to delete: the generator publishes a vault with its description.
    auto t = qs::Bench::readTargets(vault);
    if (!t || t->value(dayFolders ? "dayFolders" : "entries", 0UL) != count || t->value("seed", 0ULL) != o.seed)
        throw std::runtime_error(vault.string() + " has no matching .bench.json; remove it to regenerate");
    return *t;
}

Row measureSize(const Options& o, std::size_t entries) {
    Row row;
    row.entries = entries;
    const fs::path vault = fs::path(o.cache) / ("vault-" + std::to_string(entries) + "-" + std::to_string(o.seed));
    const Json targets = prepare(o, vault, entries, false);
    const bool huge = entries > 200000;
    const int repeat = o.repeat ? o.repeat : huge ? 5 : 15, changed = o.changed >= 0 ? o.changed : huge ? 2 : 5;
    const fs::path index = vault / "core/Dashboard.json";
    row.indexMiB = static_cast<double>(fs::file_size(index)) / (1 << 20);

    // Floor samples taken all through the run, a few before each tool: on a
    // shared machine the speed drifts, and a floor taken only at the start
    // would tilt every ratio after it.
    qs::Bench::FloorReader reader;
    std::vector<double> floor;
    auto sample = [&](int warmup) {
        for (int i = 0; i < warmup + (repeat + 2) / 3; ++i) {
            auto start = Clock::now();
            std::size_t walked = reader.walkDashboard(index);
            if (walked != entries) throw std::runtime_error("the floor walked " + std::to_string(walked) + " items");
            if (i >= warmup) floor.push_back(msSince(start));
        }
    };
    sample(o.warmup);
    auto server = std::make_unique<Server>(o, vault);
    long peakKiB = 0;
    for (const Call& call : benchCalls(targets)) {
        sample(0);  // the floor this tool is compared with, right before it
        Measured m = measure(*server, call, index, changed, o.warmup, repeat);
        peakKiB = std::max(peakKiB, qs::harness::statusKiB(server->child.pid(), "VmHWM").value_or(0));
        // Errors and unexpected replies are told here; the tables mark them.
        std::string note = m.error.empty() ? ms(m.repeated.median) + " ms" +
                                                 (m.warning.empty() ? "" : ", ⚠ unexpected reply: " + m.warning)
                                           : m.error;
        std::fprintf(stderr, "[bench] %zu entries: %s %s\n", entries, call.label.c_str(), note.c_str());
        if (m.broken) {
            std::string err = server->child.stderrText();
            m.error += "; the next call starts a new server; stderr: " +
                       err.substr(err.size() - std::min<std::size_t>(err.size(), 300));
            server = std::make_unique<Server>(o, vault);
        }
        row.results.push_back(std::move(m));
    }
    std::this_thread::sleep_for(std::chrono::seconds(o.idleSeconds));
    if (auto idleKiB = qs::harness::statusKiB(server->child.pid(), "VmRSS"))
        row.idleMiB = static_cast<double>(*idleKiB) / 1024;
    row.floorMs = summarize(floor).median;
    if (peakKiB > 0) row.peakMiB = static_cast<double>(peakKiB) / 1024;
    return row;
}

std::string cell(const std::optional<Latency>& l) { return l ? ms(l->median) + " / " + ms(l->p95) : "–"; }

// recording_list on a vault of many day folders: the 50 newest recordings,
// whose files are not on their own day (half have none at all, so every day
// folder is looked at), against 50 older ones whose files are on their day.
std::string measureDayFolders(const Options& o) {
    const fs::path vault = fs::path(o.cache) / ("days-" + std::to_string(o.dayFolders) + "-" + std::to_string(o.seed));
    const Json t = prepare(o, vault, o.dayFolders, true);
    const Call calls[] = {{"files on their day", "recording_list",
                              {{"date_from", t["presentFrom"]}, {"date_to", t["presentTo"]}}, "returned", 50},
        {"files elsewhere or missing", "recording_list", Json::object(), "returned", 50}};
    Server server(o, vault);
    std::vector<Measured> m;
    for (const Call& call : calls) {
        m.push_back(measure(server, call, vault / "core/Dashboard.json", o.changed >= 0 ? o.changed : 5, o.warmup,
            o.repeat ? o.repeat : 15));
        if (!m.back().error.empty() || !m.back().warning.empty())
            throw std::runtime_error(call.label + ": " + m.back().error + m.back().warning);
    }
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
// the repeated calls, peak RSS. With `first`: the calls right after the file
// changed, and the memory after the idle time.
std::string table(const std::vector<Call>& calls, const std::vector<Row>& rows, bool first, int idleSeconds) {
    std::string out = "| entries | index MiB | floor ms |", rule = "|---:|---:|---:|";
    for (const Call& call : calls) out += " " + call.label + " |", rule += "---:|";
    out += (first ? " RSS MiB after " + std::to_string(idleSeconds) + " s idle |" : " peak RSS MiB | RSS/index |") +
           std::string("\n");
    out += rule + (first ? "---:|\n" : "---:|---:|\n");
    for (const Row& row : rows) {
        out += "| " + thousands(row.entries) + " | " + fixed(row.indexMiB, "%.1f") + " | " + ms(row.floorMs) + " |";
        for (std::size_t i = 0; i < calls.size(); ++i) {
            const Measured& m = row.results[i];
            std::optional<Latency> l = first ? m.first : m.repeated;
            std::string text = m.error.empty() ? cell(l) : "error";
            if (m.error.empty() && l && row.floorMs > 0.0)
                text += " (" + fixed(l->median / *row.floorMs, "%.2f") + "×)";
            out += " " + text + (m.warning.empty() ? "" : " ⚠") + " |";
        }
        std::string ratio = row.peakMiB && row.indexMiB > 0 ? fixed(*row.peakMiB / row.indexMiB, "%.2f") : "–";
        out += first ? " " + mib(row.idleMiB) + " |\n" : " " + mib(row.peakMiB) + " | " + ratio + " |\n";
    }
    return out;
}

// The full-text index on the vault of `o.fulltext` entries, from an empty
// cache: its first build (rate, size, peak memory, other calls meanwhile),
// then searches, and what one minutes_write costs once the index is open.
std::string measureFulltext(const Options& o) {
    const fs::path vault = fs::path(o.cache) / ("vault-" + std::to_string(o.fulltext) + "-" + std::to_string(o.seed));
    const std::string minutesId = prepare(o, vault, o.fulltext, false).value("minutesId", "");
    // What the index reads: the timeline's file, one transcript form per
    // recording (the text form where both stand), minutes, summaries, reports, inputs.
    double textMB = 0;
    for (const auto& e : fs::recursive_directory_iterator(vault / "memories/timeline")) {
        const std::string name = e.path().filename().string();
        fs::path text = e.path().parent_path() / name.substr(0, name.find('.')) += ".tr.txt";
        if (e.is_regular_file() && !name.ends_with(".meta.json") && !(name.ends_with(".json") && fs::exists(text)))
            textMB += static_cast<double>(e.file_size()) / 1e6;
    }
    textMB += static_cast<double>(fs::file_size(vault / "core/Dashboard.json")) / 1e6;
    const fs::path cache = fs::path(o.cache) / "fulltext-cache";
    if (o.fulltextBuild) fs::remove_all(cache);
    setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    Server server(o, vault);
    auto tool = [&](const std::string& name, const Json& arguments) {
        Outcome out = server.call("tools/call", {{"name", name}, {"arguments", arguments}});
        if (!out.error.empty()) throw std::runtime_error(name + ": " + out.error);
        return out;
    };
    auto timed = [&](int n, const std::function<Outcome()>& call) {
        std::vector<double> all(static_cast<std::size_t>(n));
        for (double& ms : all) ms = call().ms;
        return summarize(all);
    };
    auto cpuSeconds = [&] {  // the server's user and system time (stat's 14th and 15th), whatever the load
        std::ifstream stat("/proc/" + std::to_string(server.child.pid()) + "/stat");
        std::string skip;
        double user = 0, system = 0;
        std::getline(stat, skip, ')');  // its name, which holds no ')'
        for (int field = 3; field < 14; ++field) stat >> skip;
        stat >> user >> system;
        return (user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
    };
    const Json write = {{"id", minutesId}, {"markdown", "Bench minutes: pricing review with Katrin"}};
    const Latency writeBefore = timed(5, [&] { return tool("minutes_write", write); });
    // The other calls' first reading of the timeline is theirs, not the build's.
    tool("recording_list", {{"limit", 20}}), tool("vault_search", {{"query", "review"}});

    const auto start = Clock::now();
    const double cpuStart = cpuSeconds();
    std::vector<double> others;
    for (Json state; msSince(start) < o.timeoutSeconds * 1000.0;) {
        std::string text =
            tool("fulltext_search", {{"query", "会议"}}).result.value("/content/0/text"_json_pointer, "");
        if (!(state = qs::parseJsonDocument(text).value_or(Json())).value("/index/building"_json_pointer, false)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        others.push_back(tool("recording_list", {{"limit", 20}}).ms);
        others.push_back(tool("vault_search", {{"query", "review"}}).ms);
    }
    const double buildS = msSince(start) / 1000, cpuS = cpuSeconds() - cpuStart;
    const long peakKiB = qs::harness::statusKiB(server.child.pid(), "VmHWM").value_or(0);
    double dbMB = 0;
    for (const auto& e : fs::recursive_directory_iterator(cache))
        if (e.is_regular_file()) dbMB += static_cast<double>(e.file_size()) / 1e6;

    const std::pair<const char*, const char*> queries[] = {{"one word", "meeting"}, {"two words", "Atlas 定价"},
        {"three words", "Sarah Chen 访谈"}, {"CJK", "用户访谈"}, {"phrase", "\"Partner sync\""}, {"typo", "Katrinn"},
        {"rare CJK", "青鸾计划"}};
    std::string out = "| full-text index, " + thousands(o.fulltext) + " entries | |\n|---|---:|\n";
    auto line = [&](const std::string& what, const std::string& value) { out += "| " + what + " | " + value + " |\n"; };
    // The request thread's CPU time in ms (its first schedstat field, in ns),
    // fine enough for one call, unlike the clock ticks of /proc's stat.
    auto requestCpuMs = [pid = std::to_string(server.child.pid())] {
        double ns = 0;
        std::ifstream("/proc/" + pid + "/task/" + pid + "/schedstat") >> ns;
        return ns / 1e6;
    };
    if (o.fulltextBuild) {
        const std::string rate = fixed(buildS, "%.1f") + " / " + fixed(textMB / buildS, "%.1f");
        line("vault text indexed (MB)", fixed(textMB, "%.1f"));
        line("first build: wall s / MB/s; CPU s / MB/s",
            rate + "; " + fixed(cpuS, "%.1f") + " / " + fixed(textMB / cpuS, "%.1f"));
        line("database (MB) / × text", fixed(dbMB, "%.1f") + " / " + fixed(dbMB / textMB, "%.2f") + "×");
        line("peak RSS while building (MiB)", fixed(static_cast<double>(peakKiB) / 1024, "%.0f"));
        const double most = others.empty() ? 0 : *std::max_element(others.begin(), others.end());
        line("other calls during the build (median / max ms)", ms(summarize(others).median) + " / " + ms(most));
    }
    for (const auto& [label, query] : queries) {
        std::vector<double> cpu;
        const Latency l = timed(o.repeat ? o.repeat : 15, [&, q = query] {
            const double before = requestCpuMs();
            Outcome out = tool("fulltext_search", {{"query", q}});
            cpu.push_back(requestCpuMs() - before);
            return out;
        });
        line(std::string("search, ") + label + " `" + query + "` (median / p95 ms; server CPU median ms)",
            ms(l.median) + " / " + ms(l.p95) + "; " + ms(summarize(cpu).median));
    }
    if (!o.fulltextBuild) return out;
    const Latency writeAfter = timed(5, [&] { return tool("minutes_write", write); });
    line("minutes_write without / with the index (median ms)", ms(writeBefore.median) + " / " + ms(writeAfter.median));
    return out;
}

std::size_t parseCount(const std::string& text) {
    std::size_t used = 0;
    double value = std::stod(text, &used);
    const std::string suffix = text.substr(used);
    double scale = suffix.empty() ? 1 : suffix == "k" || suffix == "K" ? 1e3 : suffix == "m" || suffix == "M" ? 1e6 : 0;
    if (value * scale < 2 && text != "0") throw std::invalid_argument(text);
    return static_cast<std::size_t>(value * scale);
}

Options parseOptions(int argc, char** argv) {
    Options o;
    // Where the build put them: no /proc/self/exe on macOS to ask.
    o.binary = QS_SERVER_BINARY;
    o.cache = QS_BENCH_VAULTS;
    // The integer options and their least values.
    const std::map<std::string, std::pair<int*, int>> integers = {{"--repeat", {&o.repeat, 1}},
        {"--warmup", {&o.warmup, 0}}, {"--changed", {&o.changed, 0}}, {"--idle-seconds", {&o.idleSeconds, 0}},
        {"--timeout", {&o.timeoutSeconds, 1}}, {"--fulltext-build", {&o.fulltextBuild, 0}}};
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") throw std::invalid_argument("");
        if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
        std::string value = argv[++i];
        if (auto it = integers.find(arg); it != integers.end()) {
            *it->second.first = std::max(it->second.second, std::stoi(value));
        } else if (arg == "--sizes") {
            o.sizes.clear();
            for (std::size_t start = 0, comma = 0; start <= value.size(); start = comma + 1) {
                comma = std::min(value.find(',', start), value.size());
                o.sizes.push_back(parseCount(value.substr(start, comma - start)));
            }
        } else if (arg == "--seed" || arg == "--day-folders" || arg == "--fulltext") {
            (arg == "--seed" ? o.seed : arg == "--fulltext" ? o.fulltext : o.dayFolders) = parseCount(value);
        } else if (arg == "--binary" || arg == "--cache") {
            (arg == "--binary" ? o.binary : o.cache) = value;
        } else {
            throw std::invalid_argument("unknown option " + arg);
        }
    }
    return o;
}

}  // namespace

// An exception past the per-size catch ends the run with its message, as a benchmark should.
// NOLINTNEXTLINE(bugprone-exception-escape)
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
    if (o.sizes == std::vector<std::size_t>{0}) o.sizes.clear();
    for (std::size_t entries : o.sizes) {
        try {
            rows.push_back(measureSize(o, entries));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "[bench] %zu entries: %s\n", entries, e.what());
            rows.push_back(
                {entries, 0, {}, {}, {}, std::vector<Measured>(calls.size(), Measured{{}, {}, "error", {}})});
        }
    }
    if (!rows.empty()) {
        const std::string repeats = o.repeat ? std::to_string(o.repeat) : "15 (5 above 200,000 entries)";
        const std::string changes = o.changed >= 0 ? std::to_string(o.changed) : "5 (2 above 200,000 entries)";
        std::printf(
            "%s\nCells: median / p95 ms of %s repeated calls after %d warm-up calls (ratio = median ÷ floor). "
            "Floor: Dashboard.json read into a reused buffer and walked once with simdjson on-demand, its median "
            "over samples taken before each tool all through the run. MiB throughout.\n\n",
            table(calls, rows, false, o.idleSeconds).c_str(), repeats.c_str(), o.warmup);
        std::printf(
            "The first call right after its file was rewritten (same bytes, new inode and time), %s calls each, "
            "and the server's resident memory after %d s without calls:\n\n%s",
            changes.c_str(), o.idleSeconds, table(calls, rows, true, o.idleSeconds).c_str());
    }
    auto section = [](std::size_t count, const std::string& heading, std::string (*measured)(const Options&),
                       const Options& o) {
        try {
            if (count > 0) std::printf("\n%s%s", heading.c_str(), measured(o).c_str());
        } catch (const std::exception& e) {
            std::printf("- %s: %s\n", heading.c_str(), e.what());
        }
    };
    section(o.dayFolders,
        "recording_list, limit 50, on a vault of " + thousands(o.dayFolders) +
            " day folders (median / p95 ms; ratio: files elsewhere or missing ÷ files on their day):\n\n",
        measureDayFolders, o);
    section(o.fulltext, "", measureFulltext, o);
    return 0;
}
