// In-process timings of the hot paths, without the pipes: each tool handled
// by the server with its reply written to /dev/null, next to the floors of
// the same files. Run on a generated vault:
//   quillstack-micro --vault=build/bench-vaults/vault-20000-20250302
#include <benchmark/benchmark.h>
#include <fcntl.h>   // open
#include <unistd.h>  // close

#include <cstdio>     // std::fprintf
#include <cstdlib>    // std::exit
#include <cstring>    // std::strncmp
#include <memory>     // std::make_shared
#include <string>     // std::string
#include <utility>    // std::move, std::pair
#include <vector>     // std::vector

#include "bench_targets.hpp"
#include "floor_parse.hpp"
#include "protocol/mcp_server.hpp"
#include "vault/vault_locator.hpp"

namespace {

std::string vaultPath;

qs::Json call(const std::string& tool, qs::Json arguments) {
    return {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "tools/call"},
            {"params", {{"name", tool}, {"arguments", std::move(arguments)}}}};
}

void runTool(benchmark::State& state, const qs::Vault& vault, const qs::Json& raw) {
    int devNull = ::open("/dev/null", O_WRONLY);
    qs::MCPServer server(vault, -1, devNull);
    auto request = qs::RPCRequest::fromRaw(raw);
    for (auto _ : state) benchmark::DoNotOptimize(server.handle(*request));
    ::close(devNull);
}

void registerAll() {
    auto targets = qs::Bench::readTargets(qs::Bench::targetsPath(vaultPath));
    if (!targets) {
        std::fprintf(stderr, "quillstack-micro: no benchmark targets next to %s\n", vaultPath.c_str());
        std::exit(2);
    }
    const qs::Bench::BenchTargets t = *targets;
    std::string index = vaultPath + "/core/Dashboard.json";
    std::string vocab = vaultPath + "/core/vocabulary.json";
    auto floor = std::make_shared<qs::Bench::FloorReader>();
    benchmark::RegisterBenchmark("floor/index", [=](benchmark::State& s) {
        for (auto _ : s) benchmark::DoNotOptimize(floor->walkDashboard(index));
    });
    benchmark::RegisterBenchmark("floor/vocabulary", [=](benchmark::State& s) {
        for (auto _ : s) benchmark::DoNotOptimize(floor->parseWhole(vocab));
    });
    std::vector<std::pair<std::string, qs::Json>> calls = {
        {"search/no-args", call("vault_search", qs::Json::object())},
        {"search/ascii", call("vault_search", {{"query", t.asciiMarker}})},
        {"search/chinese", call("vault_search", {{"query", t.chineseMarker}})},
        {"recording_list", call("recording_list", qs::Json::object())},
        {"minutes_read", call("minutes_read", {{"id", t.minutesId}})},
        {"vocab_list/query", call("vocab_list", {{"query", t.vocabQuery}})},
        // The reading and one word's reply.
        {"vocab_list/limit-1", call("vocab_list", {{"query", t.vocabQuery}, {"limit", 1}})},
        // The reading alone: no word holds this.
        {"vocab_list/no-match", call("vocab_list", {{"query", "qqqqq"}})},
        {"report_daily", call("report_daily", {{"date", t.reportDay}})},
        {"ping", {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "ping"}}},
    };
    const qs::Vault vault = qs::VaultLocator::locate(vaultPath);
    for (auto& [name, raw] : calls) {
        benchmark::RegisterBenchmark(name.c_str(), [vault, raw](benchmark::State& s) { runTool(s, vault, raw); })
            ->Unit(benchmark::kMillisecond);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--vault=", 8) == 0) {
            vaultPath = argv[i] + 8;
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (vaultPath.empty()) {
        std::fprintf(stderr, "usage: quillstack-micro --vault=<generated vault> [benchmark flags]\n");
        return 2;
    }
    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
