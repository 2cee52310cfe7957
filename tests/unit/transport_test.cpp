// Line framing, reply writing, and whole sessions fed through the server loop.
#include <gtest/gtest.h>

#include <algorithm>  // std::count
#include <cmath>      // INFINITY
#include <fcntl.h>    // open
#include <thread>     // std::thread
#include <unistd.h>   // pipe, close, write

#include "protocol/mcp_server.hpp"
#include "protocol/transport.hpp"
#include "support/fd_capture.hpp"
#include "support/temp_vault.hpp"

using qs::Json;
using Kind = qs::RPCTransport::Incoming::Kind;
namespace RPCTransport = qs::RPCTransport;

namespace {

// The lines a reader makes of bytes fed through a pipe piece by piece, so it
// sees them in as many reads as the kernel makes of them.
std::vector<std::string> linesOf(const std::vector<std::string>& pieces) {
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe");
    std::thread writer([fd = fds[1], &pieces] {
        for (const auto& piece : pieces) {
            if (::write(fd, piece.data(), piece.size()) != static_cast<ssize_t>(piece.size())) break;
        }
        ::close(fd);
    });
    qs::LineReader reader(fds[0]);
    std::vector<std::string> lines;
    while (auto line = reader.next()) lines.push_back(*line);
    EXPECT_FALSE(reader.next());  // end of input stays the end
    writer.join();
    ::close(fds[0]);
    return lines;
}

// Files stand in for the client: the session is written to one, the replies
// land in another; the server's log is kept off the test output.
std::vector<Json> serve(const std::vector<Json>& messages) {
    qs::test::TempDir dir;
    std::string session;
    for (const auto& m : messages) session += m.dump() + "\n";
    dir.write("in", session);
    int in = ::open(dir.at("in").c_str(), O_RDONLY);
    int out = ::open(dir.at("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    qs::test::FdCapture log(2);
    qs::MCPServer(qs::Vault{dir.at("no-vault")}, in, out).run();
    ::close(in);
    ::close(out);
    std::vector<Json> replies;
    std::string written = dir.read("out").value_or("");
    for (size_t start = 0, nl; (nl = written.find('\n', start)) != std::string::npos; start = nl + 1) {
        replies.push_back(Json::parse(written.substr(start, nl - start)));
    }
    return replies;
}

Json call(int id, const std::string& method, const Json& params = Json::object()) {
    return Json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}};
}

Json errorReply(const Json& id, int code, const std::string& message) {
    return Json{{"jsonrpc", "2.0"}, {"id", id}, {"error", Json{{"code", code}, {"message", message}}}};
}

}  // namespace

// Only a carriage return right before a line feed is stripped; a final
// unterminated line counts, an end right after a line feed adds none.
TEST(LineReader, SplitsLinesArrivingInAnyPieces) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(linesOf({"a\nb\r\n\r\nc\rd\n\nlast"}), (Lines{"a", "b", "", "c\rd", "", "last"}));
    EXPECT_EQ(linesOf({"{\"a\"", ":1}", "\r", "\n{", "}\n", "tail"}), (Lines{"{\"a\":1}", "{}", "tail"}));
    EXPECT_EQ(linesOf({"x\n"}), Lines{"x"});
    EXPECT_EQ(linesOf({}), Lines{});
}

TEST(Transport, ParseLineTrimsAndWantsOneObject) {
    const std::pair<std::string, Kind> cases[] = {
        {"", Kind::invalid},      {" \t ", Kind::invalid},     {"\u3000", Kind::invalid},     {"[1,2]", Kind::invalid},
        {"42", Kind::invalid},    {"null", Kind::invalid},     {"{", Kind::invalid},          {"{} {}", Kind::invalid},
        {"{\"a\":1}", Kind::message}, {" \t{}\u3000 ", Kind::message}, {"{}\r", Kind::message},
        {"{\"p\":" + std::string(511, '[') + std::string(511, ']') + "}", Kind::message},  // 512 levels
        {"{\"p\":" + std::string(512, '[') + std::string(512, ']') + "}", Kind::invalid},
    };
    for (const auto& [line, kind] : cases) EXPECT_EQ(RPCTransport::parseLine(line).kind, kind) << line.substr(0, 20);
    EXPECT_EQ(RPCTransport::parseLine("{\"m\":[1]}").object, (Json{{"m", Json::array({1})}}));
}

TEST(Transport, UnwritableReplyBecomesInternalErrorWithTheSameId) {
    qs::test::TempDir dir;
    int out = ::open(dir.at("out").c_str(), O_WRONLY | O_CREAT, 0600);
    qs::test::FdCapture log(2);
    EXPECT_TRUE(RPCTransport::respond(out, Json("r1"), Json{{"x", INFINITY}}));
    ::close(out);
    EXPECT_EQ(dir.read("out").value(),
              "{\"error\":{\"code\":-32603,\"message\":\"response serialization failed\"},\"id\":\"r1\",\"jsonrpc\":\"2.0\"}\n");
    EXPECT_EQ(log.finish(), "[quillstack-mcp] ⚠️ 响应不是合法 JSON,已降级为 internal error\n");
}

TEST(Session, InitializeNegotiatesTheProtocolVersion) {
    // The requested version (absent when null), and the one answered.
    const std::pair<Json, std::string> cases[] = {
        {"2025-03-26", "2025-03-26"}, {"2024-11-05", "2024-11-05"},  {"2025-11-25", "2025-11-25"},
        {"2099-01-01", "2025-06-18"}, {" 2025-03-26", "2025-06-18"}, {20250326, "2025-06-18"},
        {nullptr, "2025-06-18"},
    };
    std::vector<Json> messages;
    for (const auto& [requested, answered] : cases) {
        Json params = requested.is_null() ? Json::object() : Json{{"protocolVersion", requested}};
        messages.push_back(call(static_cast<int>(messages.size()), "initialize", params));
    }
    auto replies = serve(messages);
    ASSERT_EQ(replies.size(), std::size(cases));
    for (size_t i = 0; i < replies.size(); ++i) {
        EXPECT_EQ(replies[i]["result"]["protocolVersion"], cases[i].second) << cases[i].first.dump();
    }
    const Json& result = replies[0]["result"];
    EXPECT_EQ(result["capabilities"], (Json{{"tools", Json{{"listChanged", false}}}}));
    EXPECT_EQ(result["serverInfo"], (Json{{"name", "quillstack"}, {"version", "0.1.0"}}));
    const std::string instructions = result["instructions"];
    EXPECT_EQ(std::count(instructions.begin(), instructions.end(), '\n'), 7);  // eight lines, no final line end
    EXPECT_NE(instructions.back(), '\n');
    EXPECT_EQ(result.size(), 4u);
}

TEST(Session, ToolCallProtocolErrors) {
    auto replies = serve({call(1, "tools/call"), call(2, "tools/call", Json{{"name", 5}}),
                          call(3, "tools/call", Json{{"name", ""}}), call(4, "tools/call", Json{{"name", "Vault_Search"}})});
    ASSERT_EQ(replies.size(), 4u);
    EXPECT_EQ(replies[0], errorReply(1, -32602, "tools/call 缺少 name"));
    EXPECT_EQ(replies[1], errorReply(2, -32602, "tools/call 缺少 name"));
    EXPECT_EQ(replies[2], errorReply(3, -32601, "没有名为  的工具"));
    EXPECT_EQ(replies[3], errorReply(4, -32601, "没有名为 Vault_Search 的工具"));
}
