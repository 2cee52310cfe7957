// Line framing, reply lines, and whole sessions driven through the transport seam.
#include <gtest/gtest.h>

#include <fcntl.h>   // fcntl, open, O_NONBLOCK
#include <unistd.h>  // pipe, close, write

#include <algorithm>   // std::count
#include <cmath>       // INFINITY
#include <filesystem>  // std::filesystem::remove
#include <sstream>     // std::istringstream
#include <thread>      // std::thread

#include "protocol/mcp_server.hpp"
#include "support/temp_vault.hpp"

using std::string, std::pair, std::vector;

using namespace qs;
using testing::internal::CaptureStderr, testing::internal::GetCapturedStderr;
using Kind = RPCTransport::Incoming::Kind;
using Lines = vector<string>;

namespace {

// The lines a reader makes of bytes written to a pipe piece by piece; the
// reading end non-blocking, as a parent may hand it over.
Lines linesOf(const Lines& pieces) {
    int fds[2];
    if (::pipe(fds) || ::fcntl(fds[0], F_SETFL, O_NONBLOCK)) throw std::runtime_error("pipe");
    std::thread writer([&] {
        for (const auto& p : pieces)
            if (::write(fds[1], p.data(), p.size()) != ssize_t(p.size())) break;
        ::close(fds[1]);
    });
    LineReader reader(fds[0]);
    Lines lines;
    while (auto line = reader.next()) lines.push_back(*line);
    // the end stays the end
    EXPECT_FALSE(reader.next());
    writer.join();
    ::close(fds[0]);
    return lines;
}

// A whole session in a string: the lines the server reads, the lines it writes.
struct Script final : Transport {
    explicit Script(const string& input) : in(input) {}
    std::optional<string> readLine() override {
        string line;
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
    Lines serve(const string& input) {
        Script script(input);
        MCPServer(Vault{vault.path()}, script).run();
        return script.out;
    }
    vector<Json> replies(const vector<Json>& messages) {
        string input;
        for (const auto& message : messages) input += message.dump() + "\n";
        vector<Json> parsed;
        for (const auto& line : serve(input)) parsed.push_back(Json::parse(line));
        return parsed;
    }
    test::TempVault vault;
};

// A request; with `version`, of the stateless era that names it.
const string kIo = "io.modelcontextprotocol/";
Json call(const Json& id, const string& method, Json params = Json::object(), const Json& version = nullptr) {
    if (!version.is_null()) params["_meta"] = {{kIo + "protocolVersion", version}, {kIo + "clientCapabilities", Json::object()}};
    return Json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}};
}
Json error(int code, const string& message) { return Json{{"code", code}, {"message", message}}; }
const char* const kModern = "2026-07-28";

}  // namespace

// Only a carriage return right before a line feed is stripped; a final
// unterminated line counts, an end right after a line feed adds none.
TEST(Transport, LinesInAnyPiecesOneObjectEach) {
    EXPECT_EQ(linesOf({"a\nb\r\n\r\nc\rd\n\nlast"}), (Lines{"a", "b", "", "c\rd", "", "last"}));
    EXPECT_EQ(linesOf({"{\"a\"", ":1}", "\r", "\n{", "}\n", "tail"}), (Lines{"{\"a\":1}", "{}", "tail"}));
    EXPECT_EQ(linesOf({}), Lines{});
    EXPECT_EQ(linesOf({string(200'000, 'x'), "\ny"}), (Lines{string(200'000, 'x'), "y"}));
    // a read error ends input as the end does
    const int folder = ::open(".", O_RDONLY | O_DIRECTORY);
    EXPECT_FALSE(LineReader(folder).next());
    ::close(folder);
    // A line already read in is input at once; with none, only the
    // descriptor can tell (no wait allowed here).
    int fds[2];
    ASSERT_TRUE(!::pipe(fds) && ::write(fds[1], "a\nb\n", 4) == 4);
    LineReader reader(fds[0]);
    reader.next();
    EXPECT_TRUE(reader.waitForInput({}));
    reader.next();
    EXPECT_FALSE(reader.waitForInput({}));
    ::close(fds[0]), ::close(fds[1]);
    // What is JSON at all is the parser's own test's; a line holds one object, trimmed of Unicode white space.
    // (An empty line, or one that is no object, is the session's test's.)
    for (const auto& [line, kind] : {pair{"\u3000", false}, {"null", false}, {"{} {}", false}, {" \t{}\u3000\r", true}})
        EXPECT_EQ(RPCTransport::parseLine(line).kind, kind ? Kind::message : Kind::invalid) << line;
}

// An unwritable result becomes an internal error with the same id.
TEST(Reply, UnwritableIsInternalError) {
    CaptureStderr();
    EXPECT_EQ(replyLine(RequestId(1e2, "1e2"), Json{{"x", INFINITY}}),
        R"({"error":{"code":-32603,"message":"response serialization failed"},"id":1e2,"jsonrpc":"2.0"})");
    EXPECT_EQ(GetCapturedStderr(), "[quillstack-mcp] ⚠️ 响应不是合法 JSON,已降级为 internal error\n");
}

// Bad lines are answered and skipped; invalid UTF-8 becomes U+FFFD; a 10 MB
// line is read; ids come back as the same JSON text, even where a double would
// round them, and "/" is escaped on the wire. Each row: a line and its reply
// (none for a request without an id).
TEST_F(Session, MalformedInputAndIdTexts) {
    const string parseError = R"({"error":{"code":-32700,"message":"消息不是合法 JSON"},"id":null,"jsonrpc":"2.0"})",
                 noMethod = R"({"error":{"code":-32600,"message":"缺少 method"},"id":)", rpc = R"(,"jsonrpc":"2.0")", ok = rpc + R"(,"result":{}})";
    // (which lines are no object is the transport's test's)
    vector<pair<string, string>> rows = {{"", parseError},
        // would exhaust the stack
        {"{\"id\":" + string(200000, '[') + string(200000, ']') + ",\"method\":\"ping\"}", parseError},
        {R"({"id":4,"method":7})", noMethod + "4" + rpc + "}"}, {R"({"id":5})", noMethod + "5" + rpc + "}"}, {R"({"id":null,"method":"ping"})", ""},
        {"{\"id\":1,\"method\":\"a\xff\xfe"
         "b\"}",
            "{\"error\":{\"code\":-32601,\"message\":\"不支持的方法: a\uFFFD\uFFFDb\"},\"id\":1" + rpc + "}"},
        {call(6, "ping", {{"pad", string(10 << 20, 'x')}}).dump(), R"({"id":6)" + ok},
        // A lone surrogate, or a number beyond a double elsewhere on the line, costs the id nothing.
        {R"({"id":"s","method":"ping","params":{"q":"\ud800"}})", R"({"id":"s")" + ok},
        {R"({"params":{"n":1e400},"id":2.50,"method":"ping"})", R"({"id":2.50)" + ok}};
    for (string id : {"\"a\\/b\"", "{\"a\":1}", "18446744073709551616", "-9223372036854775809", "1e2", "-1e400"})
        rows.push_back({"{\"id\":" + id + ",\"method\":\"ping\"}", "{\"id\":" + id + ok});
    string input;
    Lines expected;
    for (const auto& [line, reply] : rows) {
        input += line + "\n";
        if (!reply.empty()) expected.push_back(reply);
    }
    EXPECT_EQ(serve(input), expected);
}

// Since 2025-06-18 a tool may carry a title and a result structuredContent:
// sent to sessions that agreed on such a version; an older session, or one
// that never sent "initialize", sees neither. (The 2026-07-28 era's, every
// tool's title, and a failed result staying text only, are the official
// clients' test's.)
TEST_F(Session, TitlesFollowTheAgreedVersion) {
    // initialize params (null: none), agreed
    auto v = [](const Json& version) { return Json{{"protocolVersion", version}}; };
    const string newer = "2025-06-18";
    const pair<Json, string> cases[] = {{nullptr, ""}, {v("2024-11-05"), "2024-11-05"}, {v("2025-03-26"), "2025-03-26"}, {v(newer), newer},
        {v("2025-11-25"), "2025-11-25"}, {v(" 2025-03-26"), newer}, {v(20250326), newer}, {Json::array({1}), newer}};
    for (const auto& [init, agreed] : cases) {
        SCOPED_TRACE(init.dump());
        const bool rich = agreed >= newer;
        vector<Json> messages{call(2, "tools/list"), call(3, "tools/call", {{"name", "vault_search"}})};
        if (!init.is_null()) messages.insert(messages.begin(), call(1, "initialize", init));
        auto r = replies(messages);
        EXPECT_EQ(r.front()["result"].value("protocolVersion", ""), agreed);
        const Json& tools = r[r.size() - 2]["result"]["tools"];
        EXPECT_EQ(tools[0].value("title", ""), rich ? "全库搜索" : "");
        EXPECT_EQ(tools[3].value("/_meta/anthropic~1maxResultSizeChars"_json_pointer, 0), rich ? 150000 : 0);
        const Json& found = r.back()["result"];
        EXPECT_EQ(found.value("structuredContent", Json()), rich ? Json::parse(found["content"][0]["text"].get<string>()) : Json());
    }
}

// Each request is judged by its own era (nothing latches one), a bare
// "server/discover" is answered, and -32022 lists exactly what discover
// lists; a version is judged before the method. Each row is a request and
// its reply: an error, a result, or "legacy" (a 2025 result), "failed" (a
// tool's failed result), "modern" (with the revision's members), "discover"
// (a modern result listing our versions). A notification gets no reply and
// one log line.
TEST_F(Session, EachRequestsOwnEra) {
    Json unsupported = error(-32022, "Unsupported protocol version");
    unsupported["data"] = {{"supported", {kModern}}, {"requested", "2025-11-25"}};
    const Json noTool = error(-32601, "没有名为 x 的工具");
    const pair<Json, Json> cases[] = {{call(1, "tools/list"), "legacy"}, {call(2, "tools/list", {}, kModern), "modern"},
        {call(3, "initialize", {{"protocolVersion", "2025-11-25"}}), "legacy"},
        {Json{{"jsonrpc", "2.0"}, {"id", 4}, {"method", "server/discover"}}, "discover"}, {call(5, "tools/list"), "legacy"},
        {call(6, "server/discover", {}, kModern), "discover"}, {call(8, "ping", {}, "2025-11-25"), unsupported},
        {call(9, "tools/call", {{"name", "vault_search"}}, kModern), "modern"},
        {call(10, "tools/call", {{"name", "x"}}, kModern), error(-32602, noTool["message"])}, {call(11, "tools/call", {{"name", "x"}}), noTool},
        {call(12, "ping", {}, kModern), error(-32601, "不支持的方法: ping")},
        {call(13, "initialize", {}, kModern), error(-32601, "不支持的方法: initialize")},
        {call(15, "tools/list", {}, 20260728), error(-32602, "缺少 _meta 字段 `" + kIo + "protocolVersion`(字符串)")},
        {call(16, "tools/list", {{"_meta", {{kIo + "protocolVersion", kModern}}}}),
            error(-32602, "缺少 _meta 字段 `" + kIo + "clientCapabilities`(对象)")},
        {call(17, "tools/list", {{"cursor", "x"}}), error(-32602, "无效的 cursor(tools/list 不分页)")},
        {call(19, "tools/list", {{"cursor", ""}}), "legacy"}, {call(20, "resources/templates/list", {}, kModern), "modern"},
        {call(21, "notifications/initialized"), error(-32601, "不支持的方法: notifications/initialized")},
        {call(23, "prompts/list"), {{"prompts", Json::array()}}},
        // Missing arguments are the tool's failed result, not a protocol error.
        {call(24, "tools/call", {{"name", "minutes_read"}, {"arguments", nullptr}}), "failed"},
        {call(25, "tools/call", {{"name", 5}}), error(-32602, "tools/call 缺少 name")},
        {Json{{"jsonrpc", "2.0"}, {"method", "notifications/initialized"}}, nullptr}};
    vector<Json> messages;
    for (const auto& c : cases) messages.push_back(c.first);
    CaptureStderr();
    auto r = replies(messages);
    EXPECT_EQ(GetCapturedStderr(),
        "[quillstack-mcp] started (quillstack 0.1.0)\n"
        "[quillstack-mcp] notification: notifications/initialized\n[quillstack-mcp] stdin 关闭,退出\n");
    ASSERT_EQ(r.size(), std::size(cases) - 1);
    const Json serverMeta{{kIo + "serverInfo", {{"name", "quillstack"}, {"version", "0.1.0"}}}};
    for (size_t i = 0; i < r.size(); ++i) {
        const auto& [request, expected] = cases[i];
        SCOPED_TRACE(request.dump());
        // "jsonrpc", "id", one outcome
        EXPECT_TRUE(r[i].size() == 3 && r[i]["id"] == request["id"]) << r[i];
        const Json& result = r[i]["result"];
        if (expected.is_object()) {
            EXPECT_EQ(r[i][expected.contains("code") ? "error" : "result"], expected);
        } else if (expected == "legacy" || expected == "failed") {
            EXPECT_TRUE(result.is_object() && !result.contains("resultType") && !result.contains("_meta"));
            EXPECT_EQ(result.value("isError", false), expected == "failed");
        } else {
            EXPECT_TRUE(result["resultType"] == "complete" && result["_meta"] == serverMeta);
            EXPECT_EQ(result.contains("ttlMs") && result["cacheScope"] == "public", request["method"] != "tools/call");
        }
        EXPECT_TRUE(expected != "discover" || result["supportedVersions"] == Json{kModern}) << result;
    }
    // four members; nine lines of instructions, no final line end (the agreed version is the titles test's)
    EXPECT_EQ(
        pair(r[2]["result"].size(), std::ranges::count(r[2]["result"]["instructions"].get<string>(), '\n')), (pair<size_t, std::ptrdiff_t>(4, 8)));
    // supportedVersions, capabilities, instructions, resultType, ttlMs, cacheScope, _meta
    EXPECT_EQ(r[3]["result"].size(), 7u);
}

// The recent list pages by our own cursor; the vault's contents are private
// and short-lived to a 2026-07-28 cache; an unknown resource is -32002, in
// that era -32602; an evicted report is listed by its placeholder's name.
TEST_F(Session, ResourcesInBothEras) {
    // no recordings, still the reports
    std::filesystem::remove(vault.at(vault.coreDir() + "/Dashboard.json"));
    for (int day = 1; day <= 59; ++day)
        vault.writeJson(vault.insightsDir() + "/daily_reports/2026-01-" + std::to_string(day + 10) + ".json", {{"headline", "h"}});
    vault.write(vault.insightsDir() + "/daily_reports/.2026-03-01.json.icloud", "");
    const Json missing{{"uri", "quillstack://report/2020-01-01"}};
    auto r = replies({call(1, "resources/list"), call(2, "resources/list", {{"cursor", "50"}}), call(3, "resources/list", {{"cursor", "57"}}),
        call(4, "resources/read", {{"uri", "quillstack://report/2026-01-%311"}}), call(5, "resources/read", missing),
        call(6, "resources/read", missing, kModern), call(7, "resources/list", {}, kModern),
        call(8, "resources/read", {{"uri", "ui://quillstack/day.html"}}, kModern), call(9, "resources/templates/list")});
    // results by themselves, errors whole
    for (Json& reply : r)
        if (reply.contains("result")) reply = Json(reply["result"]);
    Json templates;
    for (const Json& t : r[8]["resourceTemplates"]) templates.push_back(t["uriTemplate"]);
    // the newest first, the 56 newest of 60 on the page from 50
    EXPECT_EQ((Json{r[0]["resources"][0]["uri"], r[0]["resources"][0]["mimeType"], r[0]["nextCursor"], r[1]["resources"].size(),
                  r[1].contains("nextCursor"), r[2]["error"], r[3]["contents"][0]["text"], r[4]["error"]["code"], r[5]["error"]["code"],
                  r[6]["cacheScope"], r[7]["cacheScope"], r[7]["contents"][0]["mimeType"], templates}),
        R"(["quillstack://report/2026-03-01","text/markdown","50",6,false,{"code":-32602,"message":"无效的 cursor: 57"},"# 2026-01-11 日报:h\n",
            -32002,-32602,"private","public","text/html;profile=mcp-app",
            ["quillstack://report/{date}","quillstack://minutes/{id}","quillstack://transcript/{id}"]])"_json);
}
