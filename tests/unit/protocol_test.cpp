// Line framing, reply lines, and whole sessions driven through the transport seam.
#include <gtest/gtest.h>

#include <fcntl.h>   // fcntl, open, O_NONBLOCK
#include <unistd.h>  // pipe, close, write

#include <algorithm>  // std::count
#include <cmath>      // INFINITY
#include <sstream>    // std::istringstream
#include <thread>     // std::thread

#include "protocol/mcp_server.hpp"
#include "support/fd_capture.hpp"
#include "support/temp_vault.hpp"

using qs::Json;
using Kind = qs::RPCTransport::Incoming::Kind;
using Lines = std::vector<std::string>;

namespace {

// The lines a reader makes of bytes written to a pipe piece by piece; the
// reading end non-blocking, as a parent may hand it over.
Lines linesOf(const Lines& pieces) {
    int fds[2];
    if (::pipe(fds) != 0 || ::fcntl(fds[0], F_SETFL, O_NONBLOCK) != 0) throw std::runtime_error("pipe");
    std::thread writer([fd = fds[1], &pieces] {
        for (const auto& piece : pieces) {
            if (::write(fd, piece.data(), piece.size()) != static_cast<ssize_t>(piece.size())) break;
        }
        ::close(fd);
    });
    qs::LineReader reader(fds[0]);
    Lines lines;
    while (auto line = reader.next()) lines.push_back(*line);
    EXPECT_FALSE(reader.next());  // the end stays the end
    writer.join();
    ::close(fds[0]);
    return lines;
}

// A whole session in a string: the lines the server reads, the lines it writes.
struct Script final : qs::Transport {
    explicit Script(const std::string& input) : in(input) {}
    std::optional<std::string> readLine() override {
        std::string line;
        return std::getline(in, line) ? std::optional(line) : std::nullopt;
    }
    bool waitForInput(std::chrono::milliseconds) override { return true; }
    bool writeLine(std::string_view line) override { return (out.emplace_back(line), true); }
    std::istringstream in;
    Lines out;
};

// A vault with an empty timeline, so vault_search succeeds and minutes_read fails.
struct Session : ::testing::Test {
    Session() { vault.dashboard(Json::array()); }
    Lines serve(const std::string& input) {
        Script script(input);
        qs::MCPServer(qs::Vault{vault.path()}, script).run();
        return script.out;
    }
    std::vector<Json> replies(const std::vector<Json>& messages) {
        std::string input;
        for (const auto& message : messages) input += message.dump() + "\n";
        std::vector<Json> parsed;
        for (const auto& line : serve(input)) parsed.push_back(Json::parse(line));
        return parsed;
    }
    qs::test::TempVault vault;
};

Json call(const Json& id, const std::string& method, const Json& params = Json::object()) {
    return Json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}};
}
Json error(int code, const std::string& message) { return Json{{"code", code}, {"message", message}}; }
const Json modernMeta{{"io.modelcontextprotocol/protocolVersion", "2026-07-28"}, {"io.modelcontextprotocol/clientCapabilities", Json::object()}};

}  // namespace

// Only a carriage return right before a line feed is stripped; a final
// unterminated line counts, an end right after a line feed adds none.
TEST(Transport, SplitsLinesArrivingInAnyPiecesAndWantsOneObjectEach) {
    EXPECT_EQ(linesOf({"a\nb\r\n\r\nc\rd\n\nlast"}), (Lines{"a", "b", "", "c\rd", "", "last"}));
    EXPECT_EQ(linesOf({"{\"a\"", ":1}", "\r", "\n{", "}\n", "tail"}), (Lines{"{\"a\":1}", "{}", "tail"}));
    EXPECT_EQ(linesOf({}), Lines{});
    EXPECT_EQ(linesOf({std::string(200'000, 'x'), "\ny"}), (Lines{std::string(200'000, 'x'), "y"}));
    const int folder = ::open(".", O_RDONLY | O_DIRECTORY);  // a read error ends input as the end does
    EXPECT_FALSE(qs::LineReader(folder).next());
    ::close(folder);
    const std::pair<std::string, Kind> cases[] = {
        {"", Kind::invalid},
        {"\u3000", Kind::invalid},
        {"[1,2]", Kind::invalid},
        {"null", Kind::invalid},
        {"{", Kind::invalid},
        {"{} {}", Kind::invalid},
        {" \t{}\u3000 ", Kind::message},
        {"{}\r", Kind::message},
        {"{\"p\":" + std::string(511, '[') + std::string(511, ']') + "}", Kind::message},  // 512 levels
        {"{\"p\":" + std::string(512, '[') + std::string(512, ']') + "}", Kind::invalid},
    };
    for (const auto& [line, kind] : cases) EXPECT_EQ(qs::RPCTransport::parseLine(line).kind, kind) << line.substr(0, 20);
}

TEST(Reply, UnwritableResultBecomesInternalErrorWithTheSameId) {
    qs::test::FdCapture log(2);
    EXPECT_EQ(qs::replyLine(qs::RequestId(1e2, "1e2"), Json{{"x", INFINITY}}),
        R"({"error":{"code":-32603,"message":"response serialization failed"},"id":1e2,"jsonrpc":"2.0"})");
    EXPECT_EQ(log.finish(), "[quillstack-mcp] ⚠️ 响应不是合法 JSON,已降级为 internal error\n");
}

// A notification gets no reply and one log line; slashes are escaped on the wire.
TEST_F(Session, AnswersTheMethodTableAndLogsItsLife) {
    qs::test::FdCapture log(2);
    auto r = replies({call(1, "initialize"), Json{{"jsonrpc", "2.0"}, {"method", "notifications/initialized"}}, call(2, "tools/list"),
        call(3, "ping"), call(4, "resources/list"), call(5, "prompts/list"), call("a/b", "x/y"),
        call(7, "tools/call", {{"name", "minutes_read"}, {"arguments", nullptr}}), call(8, "tools/call", {{"name", 5}}),
        call(9, "tools/call", {{"name", "Vault_Search"}})});
    EXPECT_EQ(log.finish(),
        "[quillstack-mcp] started (quillstack 0.1.0)\n"
        "[quillstack-mcp] notification: notifications/initialized\n[quillstack-mcp] stdin 关闭,退出\n");
    ASSERT_EQ(r.size(), 9u);
    const Json& init = r[0]["result"];
    EXPECT_EQ(init.size(), 4u);
    const std::string instructions = init["instructions"];
    EXPECT_EQ(std::count(instructions.begin(), instructions.end(), '\n'), 8);  // nine lines, no final line end
    EXPECT_EQ(r[1]["result"]["tools"].size(), 9u);
    EXPECT_EQ(r[2]["result"], Json::object());
    EXPECT_EQ(r[3]["result"], (Json{{"resources", Json::array()}}));
    EXPECT_EQ(r[4]["result"], (Json{{"prompts", Json::array()}}));
    EXPECT_EQ(r[5], (Json{{"jsonrpc", "2.0"}, {"id", "a/b"}, {"error", error(-32601, "不支持的方法: x/y")}}));
    // Missing arguments are the tool's failed result, not a protocol error.
    EXPECT_EQ(r[6]["result"], (Json{{"content", {{{"type", "text"}, {"text", "❌ 缺少必填参数 `id`(非空字符串)"}}}}, {"isError", true}}));
    EXPECT_EQ(r[7]["error"], error(-32602, "tools/call 缺少 name"));
    EXPECT_EQ(r[8]["error"], error(-32601, "没有名为 Vault_Search 的工具"));
    for (const auto& reply : r) EXPECT_EQ(reply.size(), 3u) << reply.dump();  // "jsonrpc", "id", one outcome
}

// Bad lines are answered and skipped; invalid UTF-8 becomes U+FFFD; a 10 MB
// line is read; ids come back as the same JSON text, even where a double would
// round them, and "/" is escaped on the wire.
TEST_F(Session, MalformedInputIsAnsweredAndIdsKeepTheirText) {
    const std::string deep = std::string(200000, '[') + std::string(200000, ']');  // would exhaust the stack
    const std::string parseError = R"({"error":{"code":-32700,"message":"消息不是合法 JSON"},"id":null,"jsonrpc":"2.0"})";
    const Lines ids = {"\"a\\/b\"", "{\"a\":1}", "false", "18446744073709551616", "-9223372036854775809", "1e2", "1.0", "-1e400"};
    std::string input = "\n\t \nnot json\n[]\n{\"id\":" + deep +
                        ",\"method\":\"ping\"}\n{\"id\":4,\"method\":7}\n{\"id\":5}\n"
                        "{\"id\":null,\"method\":\"ping\"}\n{\"id\":1,\"method\":\"a\xff\xfe"
                        "b\"}\n" +
                        call(6, "ping", {{"pad", std::string(10 << 20, 'x')}}).dump() + "\n";
    for (const auto& id : ids) input += "{\"id\":" + id + ",\"method\":\"ping\"}\n";
    // Numbers of any size parse, and a number beyond a double elsewhere on the line costs the id nothing.
    auto out = serve(input + R"({"params":{"n":1e400},"id":2.50,"method":"ping"})"
                             "\n");
    ASSERT_EQ(out.size(), 10 + ids.size());
    EXPECT_EQ(out.back(), R"({"id":2.50,"jsonrpc":"2.0","result":{}})");
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(out[i], parseError) << i;
    for (int i : {5, 6})
        EXPECT_EQ(out[i], R"({"error":{"code":-32600,"message":"缺少 method"},"id":)" + std::to_string(i - 1) + R"(,"jsonrpc":"2.0"})");
    EXPECT_EQ(out[7], "{\"error\":{\"code\":-32601,\"message\":\"不支持的方法: a\uFFFD\uFFFDb\"},\"id\":1,\"jsonrpc\":\"2.0\"}");
    EXPECT_EQ(out[8], R"({"id":6,"jsonrpc":"2.0","result":{}})");
    for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(out[9 + i], "{\"id\":" + ids[i] + ",\"jsonrpc\":\"2.0\",\"result\":{}}");
}

// Since 2025-06-18 a tool may carry a title and a result structuredContent:
// sent to sessions that agreed on such a version, and in the 2026-07-28 era;
// an older session, or one that never sent "initialize", sees neither. A
// failed result stays text only.
TEST_F(Session, TitlesAndStructuredContentFollowTheAgreedVersion) {
    const std::tuple<Json, std::string, bool> cases[] = {
        // initialize params (null: none, meta: modern), agreed, rich
        {nullptr, "", false},
        {{{"protocolVersion", "2024-11-05"}}, "2024-11-05", false},
        {{{"protocolVersion", "2025-03-26"}}, "2025-03-26", false},
        {{{"protocolVersion", "2025-06-18"}}, "2025-06-18", true},
        {{{"protocolVersion", "2025-11-25"}}, "2025-11-25", true},
        {{{"protocolVersion", " 2025-03-26"}}, "2025-06-18", true},
        {{{"protocolVersion", 20250326}}, "2025-06-18", true},
        {Json::array({1}), "2025-06-18", true},
        {{{"_meta", modernMeta}}, "", true},
    };
    for (const auto& [init, agreed, rich] : cases) {
        const Json meta = init.contains("_meta") ? init : Json::object();
        auto with = [&](Json params) { return params.update(meta), params; };
        std::vector<Json> messages{call(2, "tools/list", meta), call(3, "tools/call", with({{"name", "vault_search"}})),
            call(4, "tools/call", with({{"name", "minutes_read"}}))};
        if (!init.is_null() && meta.empty()) messages.insert(messages.begin(), call(1, "initialize", init));
        auto r = replies(messages);
        EXPECT_EQ(r.front()["result"].value("protocolVersion", ""), agreed) << init;
        const Json& tools = r[r.size() - 3]["result"]["tools"];
        EXPECT_EQ(tools[0].value("title", ""), rich ? "全库搜索" : "") << init;
        for (const Json& tool : tools) EXPECT_EQ(tool.size(), rich ? 5u : 4u) << init << tool["name"];
        const Json& found = r[r.size() - 2]["result"];
        EXPECT_EQ(found.value("structuredContent", Json()), rich ? Json::parse(found["content"][0]["text"].get<std::string>()) : Json());
        EXPECT_TRUE(r.back()["result"]["isError"] == true && !r.back()["result"].contains("structuredContent")) << init;
    }
}
