// The real binary over pipes: the command line, and one session of both
// protocol eras with its exit and its log.
#include <gtest/gtest.h>

#include "support/server_process.hpp"
#include "support/temp_vault.hpp"

using qs::Json;
using qs::test::runBinary;

namespace {

// A located vault with an empty timeline.
struct Server : ::testing::Test {
    Server() { vault.dashboard(Json::array()); }
    qs::test::TempVault vault;
};

Json call(const Json& id, const std::string& method, Json params = Json::object(), const Json& meta = nullptr) {
    if (params.is_null()) params = Json::object();
    if (!meta.is_null()) params["_meta"] = meta;
    return Json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}};
}

Json error(int code, const std::string& message) { return Json{{"code", code}, {"message", message}}; }

Json meta(const Json& version = "2026-07-28") {
    return Json{{"io.modelcontextprotocol/protocolVersion", version}, {"io.modelcontextprotocol/clientInfo", {{"name", "e2e"}, {"version", "1"}}},
        {"io.modelcontextprotocol/clientCapabilities", Json::object()}};
}

}  // namespace

// Taken strictly left to right: whatever follows --vault is the path, the
// last --vault counts, and --help or --version is answered before anything
// after it is looked at.
TEST(Cli, AnswersAndRefusalsNeedNoVault) {
    const std::string usage =
        "用法: quillstack-mcp [--vault <路径>]\n\n"
        "  --vault <路径>   指定 Vault 根目录。也可用环境变量 QUILLSTACK_VAULT。\n"
        "                  都不给则自动在 iCloud Drive 里找。\n"
        "  --version       打印版本\n"
        "  --help          本帮助\n\n"
        "这是一个 MCP server,正常情况下由 MCP host(Claude Desktop / Cursor / …)\n"
        "通过 stdio 拉起,不需要手工运行。\n";
    qs::test::TempDir home;
    const std::tuple<std::vector<std::string>, int, std::string, std::string> runs[] = {
        {{"--version"}, 0, "quillstack 0.1.0\n", ""},
        {{"-h"}, 0, usage, ""},
        {{"--vault", "/nowhere", "--help", "--bogus"}, 0, usage, ""},
        {{"--vault=/x"}, 2, "", "[quillstack-mcp] 未知参数: --vault=/x(用 --help 看用法)\n"},
        {{"--vault", "/a", "--vault"}, 2, "", "[quillstack-mcp] --vault 后面要跟路径\n"},
        {{"--bogus", "--help"}, 2, "", "[quillstack-mcp] 未知参数: --bogus(用 --help 看用法)\n"},
    };
    for (const auto& [args, status, out, err] : runs) {
        auto r = runBinary({args, {{"HOME", home.path()}}}, "");
        EXPECT_EQ(std::tie(r.exitCode, r.out, r.err), std::tie(status, out, err)) << args[0];
    }
}

TEST(Cli, NoVaultAnywhereListsTheTriedFoldersAndExitsOne) {
    qs::test::TempDir home;
    auto r = runBinary({{"--vault", home.path(), "--vault", home.at("missing")}, {{"HOME", home.path()}}}, "{\"id\":1,\"method\":\"ping\"}\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "[quillstack-mcp] 找不到 quillstack Vault。已尝试:\n  · " + home.at("missing") + "\n  · " + home.path() +
                         "/Library/Mobile Documents/com~apple~CloudDocs/quillstack\n\n"
                         "用 --vault <路径> 或环境变量 QUILLSTACK_VAULT 指定。\n");
}

// One process, requests of both eras interleaved: each is judged on its own
// (nothing latches an era), a bare "server/discover" is answered, and the
// -32022 error lists exactly what discover lists. Each case is a request and
// its reply: an error, "legacy" (a 2025 result), "modern" (with the
// revision's members) or "discover" (a modern result listing our versions).
TEST_F(Server, EveryRequestIsJudgedByItsOwnEra) {
    const Json supported = Json::array({"2026-07-28"});
    Json unsupported = error(-32022, "Unsupported protocol version");
    unsupported["data"] = {{"supported", supported}, {"requested", "2025-11-25"}};
    const std::string badCursor = "无效的 cursor(tools/list 不分页)";
    const std::pair<Json, Json> cases[] = {
        {call(1, "tools/list"), "legacy"},
        {call(2, "tools/list", {}, meta()), "modern"},
        {call(3, "initialize", {{"protocolVersion", "2025-11-25"}}), "legacy"},
        {Json{{"jsonrpc", "2.0"}, {"id", 4}, {"method", "server/discover"}}, "discover"},
        {call(5, "tools/list"), "legacy"},
        {call(6, "server/discover", {}, meta()), "discover"},
        {call(8, "ping", {}, meta("2025-11-25")), unsupported},  // the version is judged before the method
        {call(9, "tools/call", {{"name", "vault_search"}}, meta()), "modern"},
        {call(10, "tools/call", {{"name", "no_such_tool"}}, meta()), error(-32602, "没有名为 no_such_tool 的工具")},
        {call(11, "tools/call", {{"name", "no_such_tool"}}), error(-32601, "没有名为 no_such_tool 的工具")},
        {call(12, "ping", {}, meta()), error(-32601, "不支持的方法: ping")},
        {call(13, "initialize", {}, meta()), error(-32601, "不支持的方法: initialize")},
        {call(14, "ping"), "legacy"},
        {call(15, "tools/list", {}, meta(20260728)), error(-32602, "缺少 _meta 字段 `io.modelcontextprotocol/protocolVersion`(字符串)")},
        {call(16, "tools/list", {}, {{"io.modelcontextprotocol/protocolVersion", "2026-07-28"}}),
            error(-32602, "缺少 _meta 字段 `io.modelcontextprotocol/clientCapabilities`(对象)")},
        {call(17, "tools/list", {{"cursor", "x"}}), error(-32602, badCursor)},
        {call(18, "tools/list", {{"cursor", "x"}}, meta()), error(-32602, badCursor)},
        {call(19, "tools/list", {{"cursor", ""}}), "legacy"},
        {call(20, "resources/templates/list", {}, meta()), "modern"},
    };
    std::vector<Json> messages;
    for (const auto& c : cases) messages.push_back(c.first);
    auto r = qs::test::runSession(vault.path(), messages);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "[quillstack-mcp] Vault: " + vault.path() +
                         " (schema=english-v2)\n"
                         "[quillstack-mcp] started (quillstack 0.1.0)\n[quillstack-mcp] stdin 关闭,退出\n");
    auto replies = r.replies();
    ASSERT_EQ(replies.size(), std::size(cases));
    const Json serverMeta{{"io.modelcontextprotocol/serverInfo", {{"name", "quillstack"}, {"version", "0.1.0"}}}};
    for (size_t i = 0; i < replies.size(); ++i) {
        const auto& [request, expected] = cases[i];
        Json result = replies[i]["result"];
        EXPECT_EQ(replies[i]["id"], request["id"]);
        if (expected.is_object()) {
            EXPECT_EQ(replies[i]["error"], expected) << request;
        } else if (expected == "legacy") {
            EXPECT_TRUE(result.is_object() && !result.contains("resultType") && !result.contains("_meta")) << request;
        } else {
            const bool listing = request["method"] != "tools/call";
            EXPECT_TRUE(result["resultType"] == "complete" && result["_meta"] == serverMeta) << request;
            EXPECT_EQ(result.contains("ttlMs") && result["cacheScope"] == "public", listing) << request;
        }
        EXPECT_TRUE(expected != "discover" || result["supportedVersions"] == supported) << result;
    }
    EXPECT_EQ(replies[2]["result"]["protocolVersion"], "2025-11-25");
    EXPECT_EQ(replies[3]["result"].size(), 7u);  // supportedVersions, capabilities, instructions, resultType, ttlMs, cacheScope, _meta
}
