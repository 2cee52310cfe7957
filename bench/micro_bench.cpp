// In-process timings of the hot paths, without the pipes: each tool handled
// by the server with its reply written to /dev/null, next to the floor of
// the index. Run on a generated vault:
//   quillstack-micro --vault=build/bench-vaults/vault-20000-20250302
#include <benchmark/benchmark.h>
#include <fcntl.h>   // open
#include <unistd.h>  // close

#include <cstdio>   // std::fprintf
#include <memory>   // std::make_shared, std::unique_ptr
#include <string>   // std::string
#include <utility>  // std::pair
#include <vector>   // std::vector

#include "floor.hpp"
#include "protocol/mcp_server.hpp"
#include "vault/vault_locator.hpp"
#include "vault_gen.hpp"

using qs::Json;

int main(int argc, char** argv) {
    std::string vaultPath;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--vault=", 0) == 0)
            vaultPath = arg.substr(8);
        else
            rest.push_back(argv[i]);
    }
    auto targets = qs::Bench::readTargets(vaultPath);
    if (vaultPath.empty() || !targets) {
        std::fprintf(stderr, "usage: quillstack-micro --vault=<generated vault> [benchmark flags]\n");
        return 2;
    }
    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());

    auto floor = std::make_shared<qs::Bench::FloorReader>();
    const std::string index = vaultPath + "/core/Dashboard.json";
    benchmark::RegisterBenchmark("floor/index", [=](benchmark::State& s) {
        for (auto _ : s) benchmark::DoNotOptimize(floor->walkDashboard(index));
    });
    auto t = [&targets](const char* key) { return targets->value(key, std::string()); };
    const std::vector<std::pair<const char*, Json>> calls = {
        {"search/no-args", {{"name", "vault_search"}, {"arguments", Json::object()}}},
        {"search/ascii", {{"name", "vault_search"}, {"arguments", {{"query", t("asciiMarker")}}}}},
        {"search/chinese", {{"name", "vault_search"}, {"arguments", {{"query", t("chineseMarker")}}}}},
        {"recording_list", {{"name", "recording_list"}, {"arguments", Json::object()}}},
        {"minutes_read", {{"name", "minutes_read"}, {"arguments", {{"id", t("minutesId")}}}}},
        {"ping", nullptr},
    };
    const qs::Vault vault = qs::VaultLocator::locate(qs::Platform::systemFileSystem(), vaultPath).value();
    for (const auto& call : calls) {
        Json raw = {{"jsonrpc", "2.0"}, {"id", 1}, {"method", call.second.is_null() ? "ping" : "tools/call"}};
        if (!call.second.is_null()) raw["params"] = call.second;
        benchmark::RegisterBenchmark(call.first, [vault, raw](benchmark::State& s) {
            int devNull = ::open("/dev/null", O_WRONLY);
            const std::unique_ptr<qs::Transport> transport = qs::fdTransport(-1, devNull);
            qs::MCPServer server(vault, *transport);
            auto request = qs::RPCRequest::fromJson(raw);
            for (auto _ : s) benchmark::DoNotOptimize(server.handle(*request));
            ::close(devNull);
        })->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
