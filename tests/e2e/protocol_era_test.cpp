// The stateless 2026-07-28 era over pipes: server/discover, the members every
// modern result carries, the _meta version rules and their errors, and the era
// a session's first request picks.
#include <gtest/gtest.h>

#include "support/server_process.hpp"
#include "support/temp_vault.hpp"

using qs::Json;

namespace {

const Json serverInfo{{"name", "quillstack"}, {"version", "0.1.0"}};

Json meta(const Json& version = "2026-07-28") {
    return Json{{"io.modelcontextprotocol/protocolVersion", version},
                {"io.modelcontextprotocol/clientInfo", {{"name", "e2e"}, {"version", "1"}}},
                {"io.modelcontextprotocol/clientCapabilities", Json::object()}};
}

// A request whose params carry `meta` as _meta (left out when null).
Json call(const std::string& method, const Json& metaObject, Json params = Json::object()) {
    if (!metaObject.is_null()) params["_meta"] = metaObject;
    return Json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", method}, {"params", params}};
}

Json error(int code, const std::string& message) { return Json{{"code", code}, {"message", message}}; }

struct ProtocolEras : ::testing::Test {
    ProtocolEras() { vault.dashboard(Json::array()); }
    std::vector<Json> replies(const std::vector<Json>& messages) {
        auto run = qs::test::runSession(vault.path(), messages);
        EXPECT_EQ(run.exitCode, 0);
        auto all = run.replies();
        EXPECT_EQ(all.size(), messages.size());
        return all;
    }
    qs::test::TempVault vault;
};

}  // namespace

TEST_F(ProtocolEras, DiscoverAndEveryModernResultCarryTheRevisionMembers) {
    auto r = replies({call("server/discover", meta()), call("tools/list", meta()), call("tools/list", meta()),
                      call("tools/call", meta(), {{"name", "vault_search"}}), call("resources/list", meta())});
    Json discover = r[0]["result"];
    EXPECT_EQ(discover["instructions"].get<std::string>().rfind("quillstack 是用户的个人记录库", 0), 0u);
    discover.erase("instructions");
    EXPECT_EQ(discover, (Json{{"resultType", "complete"},
                              {"supportedVersions", Json::array({"2026-07-28"})},
                              {"capabilities", {{"tools", {{"listChanged", false}}}}},
                              {"ttlMs", 3600000},
                              {"cacheScope", "public"},
                              {"_meta", {{"io.modelcontextprotocol/serverInfo", serverInfo}}}}));

    // The modern tool list is the 2025 one, in the same fixed order, plus the revision's members.
    Json legacyTools = replies({call("tools/list", nullptr)})[0]["result"];
    Json tools = r[1]["result"];
    EXPECT_EQ(r[2]["result"], tools);
    EXPECT_EQ(tools["resultType"], "complete");
    EXPECT_EQ(tools["ttlMs"], 3600000);
    EXPECT_EQ(tools["cacheScope"], "public");
    EXPECT_EQ(tools["_meta"]["io.modelcontextprotocol/serverInfo"], serverInfo);
    for (auto key : {"resultType", "ttlMs", "cacheScope", "_meta"}) tools.erase(key);
    EXPECT_EQ(tools, legacyTools);

    Json toolResult = r[3]["result"];
    EXPECT_EQ(toolResult["isError"], false);
    EXPECT_EQ(toolResult["resultType"], "complete");
    EXPECT_FALSE(toolResult.contains("ttlMs"));  // only list-like results are cacheable
    EXPECT_EQ(r[4]["result"]["resources"], Json::array());
    EXPECT_EQ(r[4]["result"]["cacheScope"], "public");
}

// Each request follows a served modern one in the same session.
TEST_F(ProtocolEras, ModernRequestsAreJudgedByTheirMetaVersionThenMethodThenCapabilities) {
    const std::string missingVersion = "缺少 _meta 字段 `io.modelcontextprotocol/protocolVersion`(字符串)";
    const Json supported = Json::array({"2026-07-28", "2025-11-25", "2025-06-18", "2025-03-26", "2024-11-05"});
    auto unsupported = [&](const std::string& requested) {
        Json e = error(-32022, "Unsupported protocol version");
        e["data"] = Json{{"supported", supported}, {"requested", requested}};
        return e;
    };
    struct Case {
        Json request;
        Json error;
    };
    const std::vector<Case> cases = {
        {call("tools/list", meta("2099-01-01")), unsupported("2099-01-01")},
        {call("server/discover", meta("2025-06-18")), unsupported("2025-06-18")},
        {call("ping", meta("2099-01-01")), unsupported("2099-01-01")},
        {call("ping", meta()), error(-32601, "不支持的方法: ping")},
        {call("initialize", meta(), {{"protocolVersion", "2025-06-18"}}), error(-32601, "不支持的方法: initialize")},
        {call("initialize", nullptr), error(-32601, "不支持的方法: initialize")},
        {call("tools/list", nullptr), error(-32602, missingVersion)},
        {call("tools/list", meta(20260728)), error(-32602, missingVersion)},
        {call("tools/list", {{"io.modelcontextprotocol/protocolVersion", "2026-07-28"}}),
         error(-32602, "缺少 _meta 字段 `io.modelcontextprotocol/clientCapabilities`(对象)")},
        {call("tools/call", meta(), {{"name", "no_such_tool"}}), error(-32602, "没有名为 no_such_tool 的工具")},
    };
    for (const auto& c : cases) {
        auto r = replies({call("tools/list", meta()), c.request});
        EXPECT_EQ(r[1], (Json{{"jsonrpc", "2.0"}, {"id", 1}, {"error", c.error}})) << c.request.dump();
    }
}

TEST_F(ProtocolEras, TheFirstServedRequestPicksTheSessionsEra) {
    const Json initialize = call("initialize", nullptr, {{"protocolVersion", "2025-11-25"}});
    struct Case {
        const char* name;
        std::vector<Json> messages;
        Json lastError;   // null: the last reply is a result
        bool modernLast;  // the last result carries "resultType"
    };
    const std::vector<Case> cases = {
        {"handshake first", {initialize, call("server/discover", meta())}, error(-32601, "不支持的方法: server/discover"), false},
        {"handshake first, _meta ignored", {initialize, call("tools/list", meta())}, nullptr, false},
        {"no _meta first", {call("ping", nullptr), call("tools/list", meta())}, nullptr, false},
        {"modern first", {call("tools/list", meta()), call("tools/list", nullptr)},
         error(-32602, "缺少 _meta 字段 `io.modelcontextprotocol/protocolVersion`(字符串)"), false},
        {"probe, then handshake", {call("server/discover", meta()), initialize}, nullptr, false},
        {"unsupported version, then handshake", {call("tools/list", meta("2099-01-01")), initialize}, nullptr, false},
        {"malformed _meta, then handshake", {call("tools/list", {{"io.modelcontextprotocol/protocolVersion", 1}}), initialize},
         nullptr, false},
        {"probe, then modern", {call("server/discover", meta()), call("tools/list", meta())}, nullptr, true},
    };
    for (const auto& c : cases) {
        const Json last = replies(c.messages).back();
        if (!c.lastError.is_null()) {
            EXPECT_EQ(last["error"], c.lastError) << c.name;
            continue;
        }
        ASSERT_TRUE(last.contains("result")) << c.name << ": " << last.dump();
        EXPECT_EQ(last["result"].contains("resultType"), c.modernLast) << c.name;
        if (c.messages.back() == initialize) {
            EXPECT_EQ(last["result"]["protocolVersion"], "2025-11-25") << c.name;
        }
    }
}
