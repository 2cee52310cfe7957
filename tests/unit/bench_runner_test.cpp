// The benchmark's measuring side: statistics, the simdjson floor, the report, and surviving bad servers.
#include <gtest/gtest.h>

#include <algorithm>  // std::count
#include <memory>     // std::unique_ptr
#include <stdexcept>  // std::runtime_error

#include "bench_calls.hpp"
#include "bench_table.hpp"
#include "floor_parse.hpp"
#include "latency.hpp"
#include "support/temp_vault.hpp"

namespace qs::Bench {
namespace {

using test::TempDir;

TEST(Latency, MedianAndNearestRankP95) {
    struct Case {
        std::vector<double> samples;
        double median, p95;
    };
    std::vector<double> twenty;
    for (int i = 20; i >= 1; --i) twenty.push_back(i);
    for (const auto& c : std::vector<Case>{
             {{7}, 7, 7},
             {{3, 1, 2}, 2, 3},
             {{4, 1, 3, 2}, 2.5, 4},
             {twenty, 10.5, 19},
         }) {
        LatencySummary s = summarize(c.samples);
        EXPECT_DOUBLE_EQ(s.median, c.median);
        EXPECT_DOUBLE_EQ(s.p95, c.p95);
        EXPECT_EQ(s.samples, c.samples.size());
    }
    EXPECT_EQ(summarize({}).samples, 0u);
    EXPECT_EQ(formatMs(0.421), "0.42");
    EXPECT_EQ(formatMs(31.24), "31.2");
    EXPECT_EQ(formatMs(412.4), "412");
}

TEST(FloorReader, WalksFeedItemFieldsUnescapedAndSkipsNonObjects) {
    TempDir dir;
    dir.write("d.json", R"({"version":3,"feedItems":[{"id":"a","title":"x\/y","tags":["t",1,"u"],"importance":4.9,)"
                        R"("other":{"deep":[1,2]}},5,"s",{"content":"\u00e9","id":"b"}],"updatedAt":"z"})");
    FloorReader reader;
    EXPECT_EQ(reader.walkDashboard(dir.at("d.json")), 2u);
    // a, x/y, t, u, 4 (importance), b, é (two bytes), z
    EXPECT_EQ(reader.checksum(), 14u);
}

TEST(FloorReader, ReusedBufferFollowsFilesThatGrowAndShrink) {
    TempDir dir;
    std::string many = "{\"feedItems\":[";
    for (int i = 0; i < 5000; ++i) many += std::string(i ? "," : "") + "{\"id\":\"item-" + std::to_string(i) + "\"}";
    many += "]}";
    dir.write("small.json", R"({"feedItems":[{"id":"one"}]})");
    dir.write("big.json", many);
    FloorReader reader;
    EXPECT_EQ(reader.walkDashboard(dir.at("small.json")), 1u);
    EXPECT_EQ(reader.walkDashboard(dir.at("big.json")), 5000u);
    EXPECT_EQ(reader.walkDashboard(dir.at("small.json")), 1u);
    EXPECT_EQ(reader.checksum(), 3u);
}

TEST(FloorReader, WalkEverythingTouchesEveryValue) {
    TempDir dir;
    dir.write("v.json", R"({"a":[1,"xy",true,null,{"b":"c"}]})");
    FloorReader reader;
    EXPECT_EQ(reader.walkEverything(dir.at("v.json")), 7u);
    EXPECT_EQ(reader.checksum(), 8u);  // keys a, b; 1≠0; xy; true; null; c
}

TEST(FloorReader, UnreadableOrMalformedFilesThrow) {
    TempDir dir;
    dir.write("bad.json", R"({"feedItems":[{"id":)");
    FloorReader reader;
    EXPECT_THROW(reader.walkDashboard(dir.at("absent.json")), std::runtime_error);
    EXPECT_THROW(reader.walkDashboard(dir.at("bad.json")), std::runtime_error);
    EXPECT_THROW(reader.walkEverything(dir.at("bad.json")), std::runtime_error);
}

std::vector<ToolCall> threeCalls() {
    return {{"search", "vault_search", Json::object(), FloorKind::dashboard, nullptr},
            {"vocab", "vocab_list", Json::object(), FloorKind::vocabulary, nullptr},
            {"report", "report_daily", Json::object(), FloorKind::none, nullptr}};
}

SizeReport row(std::size_t entries, double median) {
    SizeReport r;
    r.entries = entries;
    r.indexMB = 50;
    r.floorMs = 10;
    r.vocabFloorMs = 4;
    CallResult search, vocab;
    search.latency = {median, median + 5, 15};
    vocab.latency = {6, 8, 15};
    vocab.warning = "no words found";
    r.results = {search, vocab, CallResult::failed("rpc -32601 没有名为 report_daily 的工具")};
    r.peakRssMB = 75;
    r.spawnMs = 3.25;
    return r;
}

TEST(BenchReport, OneRowPerSizeWithRatiosAndErrorCells) {
    std::string table = markdownTable(threeCalls(), {row(1000, 15), row(100000, 150)});
    EXPECT_NE(table.find("| entries | index MiB | floor ms | search | vocab floor ms | vocab | report | peak RSS MiB | "
                         "RSS/index | spawn→init ms |"),
              std::string::npos)
        << table;
    EXPECT_NE(table.find("| 1,000 | 50.0 | 10.0 | 15.0 / 20.0 (1.50×) | 4.00 | 6.00 / 8.00 (1.50×) ⚠ | error | 75.0 | "
                         "1.50 | 3.25 |"),
              std::string::npos)
        << table;
    EXPECT_NE(table.find("| 100,000 |"), std::string::npos);
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 4);

    std::string notes = reportNotes(threeCalls(), {row(1000, 15), row(100000, 150)});
    EXPECT_NE(notes.find("report: rpc -32601 没有名为 report_daily 的工具"), std::string::npos) << notes;
    EXPECT_NE(notes.find("vocab ⚠ unexpected reply: no words found"), std::string::npos) << notes;
    EXPECT_NE(notes.find("1,000 → 100,000 entries (×100), median grows: search ×10.0, vocab ×1.0"), std::string::npos)
        << notes;
}

// A stand-in server: a shell loop answering each request line with a
// notification and then `reply`, whose "%d" becomes the running request
// number (the id). The reply travels as an argument, so no shell escapes.
std::unique_ptr<ServerChild> fakeServer(const std::string& reply) {
    auto at = reply.find("%d");
    std::string script =
        "i=0; while read l; do i=$((i+1)); "
        "printf '%s\\n' '{\"jsonrpc\":\"2.0\",\"method\":\"notifications/message\"}'; "
        "printf '%s%d%s\\n' \"$1\" $i \"$2\"; done";
    return std::make_unique<ServerChild>(
        "/bin/sh", std::vector<std::string>{"-c", script, "sh", reply.substr(0, at), reply.substr(at + 2)});
}

const std::string kToolReply = R"({"jsonrpc":"2.0","id":%d,"result":)";

TEST(RpcDriver, ClassifiesRepliesAndSkipsNotifications) {
    struct Case {
        std::string reply;
        std::string error;  // empty: success
    };
    for (const auto& c : std::vector<Case>{
             {kToolReply + R"({"content":[{"type":"text","text":"{\"returned\":3}"}]}})", ""},
             {kToolReply + R"({"isError":true,"content":[{"type":"text","text":"❌ 读不到"}]}})", "tool error: ❌ 读不到"},
             {R"({"jsonrpc":"2.0","id":%d,"error":{"code":-32601,"message":"Method not found"}})",
              "rpc -32601 Method not found"},
             {R"({"jsonrpc":"2.0","id":%d})", "reply has no result"},
             {R"(not json %d)", "unparsable reply line"},
         }) {
        auto child = fakeServer(c.reply);
        RpcDriver driver(*child, 20000);
        CallOutcome out = driver.call("tools/call", Json::object());
        EXPECT_EQ(out.error, c.error) << c.reply;
        if (c.error.empty()) {
            EXPECT_EQ(out.result["content"][0]["text"], "{\"returned\":3}");
        }
    }
}

TEST(RpcDriver, MeasureCallChecksTheFirstPayloadAndCountsOnlyTimedCalls) {
    auto child = fakeServer(kToolReply + R"({"content":[{"type":"text","text":"{\"returned\":0}"}]}})");
    RpcDriver driver(*child, 20000);
    ToolCall toolCall{"search", "vault_search", Json::object(), FloorKind::dashboard,
                  [](const Json& p) { return p["returned"] == 0 ? std::string("nothing found") : std::string(); }};
    CallResult result = measureCall(driver, toolCall, 2, 3);
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.warning, "nothing found");
    EXPECT_EQ(result.latency.samples, 3u);
    EXPECT_TRUE(child->peakRssKb().has_value());
    EXPECT_EQ(child->finish(), 0);
    EXPECT_FALSE(child->peakRssKb().has_value());
}

TEST(RpcDriver, DeadSilentOrMissingServersBecomeErrorsNotCrashes) {
    {
        ServerChild child("/bin/sh", {"-c", "exit 3"});
        RpcDriver driver(child, 20000);
        std::string error = driver.call("ping", Json::object()).error;
        EXPECT_TRUE(error == "server exited" || error == "server is not running") << error;
        EXPECT_EQ(child.finish(), 3);
    }
    {
        ServerChild child("/bin/sh", {"-c", "exec sleep 60"});
        RpcDriver driver(child, 200);
        EXPECT_EQ(driver.call("ping", Json::object()).error, "no reply in time");
        EXPECT_EQ(child.finish(100), 128 + 9);  // killed: it never reads its input
    }
    EXPECT_THROW(ServerChild("/nonexistent/quillstack-mcp", {}), std::runtime_error);
    CallOutcome spawn = timeSpawnToInitialize("/nonexistent/quillstack-mcp", "/tmp", 1000);
    EXPECT_NE(spawn.error, "");
}

}  // namespace
}  // namespace qs::Bench
