// The real binary over pipes: the method table, framing, ids, logs and exits.
#include <gtest/gtest.h>

#include "support/server_process.hpp"
#include "support/temp_vault.hpp"

using qs::Json;
using qs::test::runSession;
using qs::test::ServerSession;

namespace {

// A located vault with an empty timeline.
struct Server : ::testing::Test {
    Server() { vault.dashboard(Json::array()); }
    qs::test::RunResult rawSession(const std::string& input) {
        return qs::test::runBinary({{"--vault", vault.path()}, {{"HOME", vault.at(".no-home")}, {"LANG", "C.UTF-8"}}, ""},
                                   input);
    }
    qs::test::TempVault vault;
};

Json call(const Json& id, const std::string& method, const Json& params = Json::object()) {
    return Json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}};
}

Json errorReply(const Json& id, int code, const std::string& message) {
    return Json{{"jsonrpc", "2.0"}, {"id", id}, {"error", Json{{"code", code}, {"message", message}}}};
}

}  // namespace

// A notification gets no reply and one log line.
TEST_F(Server, AnswersTheMethodTableAndLogsItsLife) {
    auto r = runSession(vault.path(), {call(1, "initialize", Json{{"protocolVersion", "2025-03-26"}}),
                                       Json{{"jsonrpc", "2.0"}, {"method", "notifications/initialized"}},
                                       call(2, "tools/list"), call(3, "ping"), call(4, "resources/list"),
                                       call(5, "prompts/list"), call(6, "resources/read")});
    EXPECT_EQ(r.exitCode, 0);
    auto replies = r.replies();
    ASSERT_EQ(replies.size(), 6u);
    EXPECT_EQ(replies[0]["result"]["protocolVersion"], "2025-03-26");
    EXPECT_EQ(replies[0]["result"]["serverInfo"], (Json{{"name", "quillstack"}, {"version", "0.1.0"}}));
    EXPECT_EQ(replies[1]["result"]["tools"].size(), 8u);
    EXPECT_EQ(r.outLines()[2], R"({"id":3,"jsonrpc":"2.0","result":{}})");
    EXPECT_EQ(replies[3]["result"], (Json{{"resources", Json::array()}}));
    EXPECT_EQ(replies[4]["result"], (Json{{"prompts", Json::array()}}));
    EXPECT_EQ(replies[5], errorReply(6, -32601, "不支持的方法: resources/read"));
    for (const auto& reply : replies) EXPECT_EQ(reply.size(), 3u) << reply.dump();  // "jsonrpc", "id", one outcome
    EXPECT_EQ(r.errLines(), (std::vector<std::string>{"[quillstack-mcp] Vault: " + vault.path() + " (schema=english-v2)",
                                                      "[quillstack-mcp] started (quillstack 0.1.0)",
                                                      "[quillstack-mcp] notification: notifications/initialized",
                                                      "[quillstack-mcp] stdin 关闭,退出"}));
}

// Bad lines are answered and skipped; invalid UTF-8 becomes U+FFFD; the
// unterminated last line is still read.
TEST_F(Server, MalformedInputIsAnsweredNeverFatal) {
    const std::string deep = std::string(200000, '[') + std::string(200000, ']');  // would exhaust the stack
    auto r = rawSession("\n\t \nnot json\n[]\n{\"id\":" + deep + ",\"method\":\"ping\"}\n{\"id\":4,\"method\":7}\n"
                        "{\"id\":5}\n{\"id\":null,\"method\":\"ping\"}\n{\"id\":1,\"method\":\"a\xff\xfe" "b\"}\n"
                        "{\"id\":6,\"method\":\"ping\"}");
    EXPECT_EQ(r.exitCode, 0);
    auto replies = r.replies();
    ASSERT_EQ(replies.size(), 9u);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(replies[i], errorReply(nullptr, -32700, "消息不是合法 JSON")) << i;
    EXPECT_EQ(replies[5], errorReply(4, -32600, "缺少 method"));
    EXPECT_EQ(replies[6], errorReply(5, -32600, "缺少 method"));
    EXPECT_EQ(replies[7], errorReply(1, -32601, "不支持的方法: a\uFFFD\uFFFDb"));
    EXPECT_EQ(replies[8]["id"], 6);
    EXPECT_NE(r.err.find("[quillstack-mcp] notification: ping\n"), std::string::npos);
}

TEST_F(Server, IdsAreEchoedWithTheirJsonKind) {
    // Numbers come back as the same text, even where a double would round them.
    const std::vector<std::string> ids = {"0", "\"\"", "\"abc\"", "1.5", "{\"a\":1}", "false",
                                          "18446744073709551616", "-9223372036854775809", "1e2", "1.0"};
    std::string input;
    for (const auto& id : ids) input += "{\"id\":" + id + ",\"method\":\"ping\"}\n";
    auto lines = rawSession(input).outLines();
    ASSERT_EQ(lines.size(), ids.size());
    for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(lines[i], "{\"id\":" + ids[i] + ",\"jsonrpc\":\"2.0\",\"result\":{}}");
}

TEST_F(Server, SlashesAreEscapedAndChineseIsRawOnTheWire) {
    auto lines = runSession(vault.path(), {call("a/b", "x/y")}).outLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], R"({"error":{"code":-32601,"message":"不支持的方法: x\/y"},"id":"a\/b","jsonrpc":"2.0"})");
}

TEST_F(Server, AnswersAVeryLongLine) {
    auto r = runSession(vault.path(), {call(1, "ping", Json{{"pad", std::string(10 * 1024 * 1024, 'x')}}), call(2, "ping")});
    auto replies = r.replies();
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0]["result"], Json::object());
    EXPECT_EQ(replies[1]["id"], 2);
}

TEST_F(Server, MissingToolArgumentsAreAFailedResultNotAProtocolError) {
    ServerSession session(vault.path());
    for (const Json& arguments : {Json::array(), Json(nullptr), Json::object()}) {
        EXPECT_EQ(session.callTool("minutes_read", arguments),
                  (Json{{"content", {{{"type", "text"}, {"text", "❌ 缺少必填参数 `id`(非空字符串)"}}}}, {"isError", true}}))
            << arguments.dump();
    }
    EXPECT_EQ(session.finish(), 0);
}

TEST_F(Server, ExitsQuietlyWhenTheClientClosesItsOutput) {
    ServerSession session(vault.path());
    EXPECT_EQ(session.request("ping")["result"], Json::object());
    session.closeOutput();
    for (int i = 0; i < 3; ++i) session.sendLine(R"({"jsonrpc":"2.0","id":9,"method":"ping"})");
    EXPECT_EQ(session.finish(), 0);  // not 128 + SIGPIPE
    EXPECT_EQ(session.stderrText().find("Sanitizer"), std::string::npos);
}
