// The real binary over pipes: the command line, the method table, framing,
// ids and logs, and the stateless 2026-07-28 era beside the handshake era.
#include <gtest/gtest.h>

#include <algorithm>  // std::count

#include "support/server_process.hpp"
#include "support/temp_vault.hpp"

using qs::Json;
using qs::test::runBinary;

namespace {

// A located vault with an empty timeline.
struct Server : ::testing::Test {
    Server() { vault.dashboard(Json::array()); }
    qs::test::RunResult raw(const std::string& input) {
        return runBinary({{"--vault", vault.path()}, {{"HOME", vault.at(".no-home")}, {"LANG", "C.UTF-8"}}}, input);
    }
    std::vector<Json> replies(const std::vector<Json>& messages) {
        auto run = qs::test::runSession(vault.path(), messages);
        EXPECT_EQ(run.exitCode, 0);
        return run.replies();
    }
    qs::test::TempVault vault;
};

Json call(const Json& id, const std::string& method, Json params = Json::object(), const Json& meta = nullptr) {
    if (params.is_null()) params = Json::object();
    if (!meta.is_null()) params["_meta"] = meta;
    return Json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}};
}

Json error(int code, const std::string& message) { return Json{{"code", code}, {"message", message}}; }

Json meta(const Json& version = "2026-07-28") {
    return Json{{"io.modelcontextprotocol/protocolVersion", version},
                {"io.modelcontextprotocol/clientInfo", {{"name", "e2e"}, {"version", "1"}}},
                {"io.modelcontextprotocol/clientCapabilities", Json::object()}};
}

const std::string missingVersion = "缺少 _meta 字段 `io.modelcontextprotocol/protocolVersion`(字符串)";

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

// A notification gets no reply and one log line; slashes are escaped on the wire.
TEST_F(Server, AnswersTheMethodTableAndLogsItsLife) {
    auto r = qs::test::runSession(vault.path(), {call(1, "initialize"), Json{{"jsonrpc", "2.0"}, {"method", "notifications/initialized"}},
                                                 call(2, "tools/list"), call(3, "ping"), call(4, "resources/list"),
                                                 call(5, "prompts/list"), call("a/b", "x/y"),
                                                 call(7, "tools/call", {{"name", "minutes_read"}, {"arguments", nullptr}})});
    EXPECT_EQ(r.exitCode, 0);
    auto replies = r.replies();
    ASSERT_EQ(replies.size(), 7u);
    EXPECT_EQ(replies[1]["result"]["tools"].size(), 8u);
    EXPECT_EQ(r.outLines()[2], R"({"id":3,"jsonrpc":"2.0","result":{}})");
    EXPECT_EQ(replies[3]["result"], (Json{{"resources", Json::array()}}));
    EXPECT_EQ(replies[4]["result"], (Json{{"prompts", Json::array()}}));
    EXPECT_EQ(r.outLines()[5], R"({"error":{"code":-32601,"message":"不支持的方法: x\/y"},"id":"a\/b","jsonrpc":"2.0"})");
    // Missing arguments are the tool's failed result, not a protocol error.
    EXPECT_EQ(replies[6]["result"], (Json{{"content", {{{"type", "text"}, {"text", "❌ 缺少必填参数 `id`(非空字符串)"}}}}, {"isError", true}}));
    for (const auto& reply : replies) EXPECT_EQ(reply.size(), 3u) << reply.dump();  // "jsonrpc", "id", one outcome
    EXPECT_EQ(r.err, "[quillstack-mcp] Vault: " + vault.path() + " (schema=english-v2)\n[quillstack-mcp] started (quillstack 0.1.0)\n"
                     "[quillstack-mcp] notification: notifications/initialized\n[quillstack-mcp] stdin 关闭,退出\n");
}

TEST_F(Server, InitializeNegotiatesTheVersionAndToolCallsNeedAKnownName) {
    const std::pair<Json, Json> cases[] = {  // request params, the protocol version answered or the error
        {{{"protocolVersion", "2025-03-26"}}, "2025-03-26"}, {{{"protocolVersion", "2024-11-05"}}, "2024-11-05"},
        {{{"protocolVersion", "2025-11-25"}}, "2025-11-25"}, {{{"protocolVersion", "2099-01-01"}}, "2025-06-18"},
        {{{"protocolVersion", " 2025-03-26"}}, "2025-06-18"}, {{{"protocolVersion", 20250326}}, "2025-06-18"},
        {Json::object(), "2025-06-18"}, {Json::array({1}), "2025-06-18"}, {{{"name", 5}}, error(-32602, "tools/call 缺少 name")},
        {{{"name", "Vault_Search"}}, error(-32601, "没有名为 Vault_Search 的工具")},
    };
    std::vector<Json> messages;
    for (const auto& [params, expected] : cases) {
        messages.push_back(Json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", expected.is_string() ? "initialize" : "tools/call"}, {"params", params}});
    }
    auto r = replies(messages);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Json& expected = cases[i].second;
        EXPECT_EQ(expected.is_string() ? r[i]["result"]["protocolVersion"] : r[i]["error"], expected) << cases[i].first;
    }
    const Json& result = r[0]["result"];
    EXPECT_EQ(result.size(), 4u);
    EXPECT_EQ(result["capabilities"], (Json{{"tools", Json{{"listChanged", false}}}}));
    EXPECT_EQ(result["serverInfo"], (Json{{"name", "quillstack"}, {"version", "0.1.0"}}));
    const std::string instructions = result["instructions"];
    EXPECT_EQ(std::count(instructions.begin(), instructions.end(), '\n'), 7);  // eight lines, no final line end
}

// Bad lines are answered and skipped; invalid UTF-8 becomes U+FFFD; a 10 MB
// line is read; ids come back as the same JSON text, even where a double would
// round them or cannot hold them, and numbers of any size parse; the
// unterminated last line is still read.
TEST_F(Server, MalformedInputIsAnsweredAndIdsKeepTheirText) {
    const std::string deep = std::string(200000, '[') + std::string(200000, ']');  // would exhaust the stack
    const Json parseError{{"jsonrpc", "2.0"}, {"id", nullptr}, {"error", error(-32700, "消息不是合法 JSON")}};
    const std::vector<std::string> ids = {"\"abc\"", "{\"a\":1}", "false", "18446744073709551616", "-9223372036854775809", "1e2", "1.0", "-1e400"};
    std::string input = "\n\t \nnot json\n[]\n{\"id\":" + deep + ",\"method\":\"ping\"}\n{\"id\":4,\"method\":7}\n{\"id\":5}\n"
                        "{\"id\":null,\"method\":\"ping\"}\n{\"id\":1,\"method\":\"a\xff\xfe" "b\"}\n" +
                        call(6, "ping", {{"pad", std::string(10 << 20, 'x')}}).dump() + "\n";
    for (const auto& id : ids) input += "{\"id\":" + id + ",\"method\":\"ping\"}\n";
    auto r = raw(input + R"({"id":9,"method":"tools/call","params":{"name":"vault_search","arguments":{"limit":1e400,"n":99999999999999999999}}})");
    EXPECT_EQ(r.exitCode, 0);
    auto replies = r.replies();
    ASSERT_EQ(replies.size(), 10 + ids.size());
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(replies[i], parseError) << i;
    EXPECT_EQ(replies[5]["error"], error(-32600, "缺少 method"));
    EXPECT_EQ(replies[6]["error"], error(-32600, "缺少 method"));
    EXPECT_EQ(replies[7]["error"], error(-32601, "不支持的方法: a\uFFFD\uFFFDb"));
    EXPECT_EQ(replies[8]["id"], 6);
    for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(r.outLines()[9 + i], "{\"id\":" + ids[i] + ",\"jsonrpc\":\"2.0\",\"result\":{}}");
    EXPECT_EQ(replies.back()["id"], 9);
    EXPECT_EQ(replies.back()["result"]["isError"], false);
    EXPECT_NE(r.err.find("[quillstack-mcp] notification: ping\n"), std::string::npos);
}

TEST_F(Server, DiscoverAndEveryModernResultCarryTheRevisionMembers) {
    const Json serverInfo{{"name", "quillstack"}, {"version", "0.1.0"}};
    auto r = replies({call(1, "server/discover", {}, meta()), call(2, "tools/list", {}, meta()),
                      call(3, "tools/call", {{"name", "vault_search"}}, meta()), call(4, "resources/list", {}, meta())});
    Json discover = r[0]["result"];
    EXPECT_EQ(discover["instructions"].get<std::string>().rfind("quillstack 是用户的个人记录库", 0), 0u);
    discover.erase("instructions");
    EXPECT_EQ(discover, (Json{{"resultType", "complete"}, {"supportedVersions", Json::array({"2026-07-28"})},
                              {"capabilities", {{"tools", {{"listChanged", false}}}}}, {"ttlMs", 3600000},
                              {"cacheScope", "public"}, {"_meta", {{"io.modelcontextprotocol/serverInfo", serverInfo}}}}));
    // The modern tool list is the handshake era's, plus the revision's members.
    Json tools = r[1]["result"];
    const Json members{{"resultType", "complete"}, {"ttlMs", 3600000}, {"cacheScope", "public"},
                       {"_meta", {{"io.modelcontextprotocol/serverInfo", serverInfo}}}};
    for (const auto& [key, value] : members.items()) {
        EXPECT_EQ(tools[key], value) << key;
        tools.erase(key);
    }
    EXPECT_EQ(tools, replies({call(1, "tools/list")})[0]["result"]);
    EXPECT_EQ(r[2]["result"]["resultType"], "complete");
    EXPECT_FALSE(r[2]["result"].contains("ttlMs"));  // only list-like results are cacheable
    EXPECT_EQ(r[3]["result"]["cacheScope"], "public");
}

// The first served request picks the session's era; a modern request is
// judged by its _meta version, then its method, then its capabilities. Each
// case is a session and what its last reply holds: an error, or a result with
// (true) or without (false) the revision's members.
TEST_F(Server, TheFirstServedRequestPicksTheEraAndModernRequestsAreJudged) {
    const Json initialize = call(1, "initialize", {{"protocolVersion", "2025-11-25"}});
    const Json modern = call(1, "tools/list", {}, meta()), probe = call(1, "server/discover", {}, meta());
    auto unsupported = [](const std::string& requested) {
        Json e = error(-32022, "Unsupported protocol version");
        e["data"] = {{"supported", {"2026-07-28", "2025-11-25", "2025-06-18", "2025-03-26", "2024-11-05"}}, {"requested", requested}};
        return e;
    };
    const std::pair<std::vector<Json>, Json> cases[] = {
        {{modern, call(1, "tools/list", {}, meta("2099-01-01"))}, unsupported("2099-01-01")},
        {{modern, call(1, "server/discover", {}, meta("2025-06-18"))}, unsupported("2025-06-18")},
        {{modern, call(1, "ping", {}, meta("2099-01-01"))}, unsupported("2099-01-01")},
        {{modern, call(1, "ping", {}, meta())}, error(-32601, "不支持的方法: ping")},
        {{modern, call(1, "initialize", {{"protocolVersion", "2025-06-18"}}, meta())}, error(-32601, "不支持的方法: initialize")},
        {{modern, call(1, "tools/list")}, error(-32602, missingVersion)},
        {{modern, call(1, "tools/list", {}, meta(20260728))}, error(-32602, missingVersion)},
        {{modern, call(1, "tools/list", {}, {{"io.modelcontextprotocol/protocolVersion", "2026-07-28"}})},
         error(-32602, "缺少 _meta 字段 `io.modelcontextprotocol/clientCapabilities`(对象)")},
        {{modern, call(1, "tools/call", {{"name", "no_such_tool"}}, meta())}, error(-32602, "没有名为 no_such_tool 的工具")},
        {{initialize, probe}, error(-32601, "不支持的方法: server/discover")},
        {{initialize, modern}, false}, {{call(1, "ping"), modern}, false}, {{probe, initialize}, false},
        {{call(1, "tools/list", {}, meta("2099-01-01")), initialize}, false},
        {{call(1, "tools/list", {}, {{"io.modelcontextprotocol/protocolVersion", 1}}), initialize}, false}, {{probe, modern}, true},
    };
    for (const auto& [messages, expected] : cases) {
        const Json last = replies(messages).back();
        if (!expected.is_boolean()) {
            EXPECT_EQ(last["error"], expected) << messages.back();
        } else {
            EXPECT_EQ(last["result"].contains("resultType"), expected) << messages.front() << messages.back() << last;
            EXPECT_TRUE(messages.back() != initialize || last["result"]["protocolVersion"] == "2025-11-25") << last;
        }
    }
}
