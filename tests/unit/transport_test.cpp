// Line framing, reply writing, and whole sessions fed through the server loop.
#include <gtest/gtest.h>

#include <algorithm>  // std::count
#include <cmath>     // INFINITY
#include <csignal>   // std::signal, SIGPIPE
#include <fcntl.h>   // open
#include <thread>    // std::thread
#include <unistd.h>  // pipe, dup, dup2, close, write

#include "protocol/mcp_server.hpp"
#include "protocol/transport.hpp"
#include "support/fd_capture.hpp"
#include "support/temp_vault.hpp"

using qs::Json;
using qs::LineReader;
using Kind = qs::RPCTransport::Incoming::Kind;
namespace RPCTransport = qs::RPCTransport;

namespace {

// A pipe whose write end is fed from a thread, piece by piece, so the reader
// sees the bytes in as many reads as the kernel makes of them.
class FedPipe {
public:
    explicit FedPipe(std::vector<std::string> pieces) {
        int fds[2];
        if (::pipe(fds) != 0) throw std::runtime_error("pipe");
        readFd = fds[0];
        writer_ = std::thread([fd = fds[1], pieces = std::move(pieces)] {
            for (const auto& piece : pieces) {
                size_t off = 0;
                while (off < piece.size()) {
                    ssize_t n = ::write(fd, piece.data() + off, piece.size() - off);
                    if (n <= 0) break;
                    off += static_cast<size_t>(n);
                }
            }
            ::close(fd);
        });
    }
    // Closing first lets a writer blocked on a reader that stopped early finish.
    ~FedPipe() {
        ::close(readFd);
        writer_.join();
    }
    int readFd;

private:
    std::thread writer_;
};

std::vector<std::string> allLines(int fd) {
    LineReader reader(fd);
    std::vector<std::string> lines;
    while (auto line = reader.next()) lines.push_back(*line);
    EXPECT_FALSE(reader.next());  // end of input stays the end
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
    {
        qs::test::FdCapture log(2);
        qs::MCPServer(qs::Vault{dir.at("no-vault")}, in, out).run();
    }
    ::close(in);
    ::close(out);
    std::vector<Json> replies;
    std::string written = dir.read("out").value_or("");
    for (size_t start = 0; start < written.size();) {
        size_t nl = written.find('\n', start);
        replies.push_back(Json::parse(written.substr(start, nl - start)));
        start = nl + 1;
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

TEST(LineReader, SplitsLinesAndStripsOnlyTheCarriageReturnBeforeALineFeed) {
    FedPipe pipe({"a\nb\r\n\r\nc\rd\n\nlast"});
    EXPECT_EQ(allLines(pipe.readFd), (std::vector<std::string>{"a", "b", "", "c\rd", "", "last"}));
}

TEST(LineReader, EndOfInputRightAfterALineFeedEndsTheLines) {
    FedPipe pipe({"x\n"});
    EXPECT_EQ(allLines(pipe.readFd), (std::vector<std::string>{"x"}));
    FedPipe empty({});
    EXPECT_TRUE(allLines(empty.readFd).empty());
}

TEST(LineReader, AssemblesLinesArrivingInPieces) {
    FedPipe pipe({"{\"a\"", ":1}", "\r", "\n{", "}\n", "tail"});
    EXPECT_EQ(allLines(pipe.readFd), (std::vector<std::string>{"{\"a\":1}", "{}", "tail"}));
}

TEST(Transport, ParseLineOutcomes) {
    struct Case {
        std::string line;
        Kind kind;
    };
    const Case cases[] = {
        {"", Kind::invalid},          {" \t ", Kind::invalid},      {"\u3000", Kind::invalid},
        {"[1,2]", Kind::invalid},     {"[]", Kind::invalid},        {"42", Kind::invalid},
        {"\"s\"", Kind::invalid},     {"null", Kind::invalid},      {"{", Kind::invalid},
        {"{} {}", Kind::invalid},     {"{\"a\":1}", Kind::message}, {" \t{}\u3000 ", Kind::message},
        {"{}\r", Kind::message},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RPCTransport::parseLine(c.line).kind, c.kind) << c.line;
    }
    EXPECT_EQ(RPCTransport::parseLine("{\"m\":[1]}").object, (Json{{"m", Json::array({1})}}));
}

TEST(Transport, DeepNestingIsRefusedBeforeItCanExhaustTheStack) {
    // The message object plus levels - 1 arrays inside it.
    auto nested = [](size_t levels) {
        return "{\"p\":" + std::string(levels - 1, '[') + std::string(levels - 1, ']') + "}";
    };
    EXPECT_EQ(RPCTransport::parseLine(nested(512)).kind, Kind::message);
    EXPECT_EQ(RPCTransport::parseLine(nested(513)).kind, Kind::invalid);
    EXPECT_EQ(RPCTransport::parseLine(nested(300000)).kind, Kind::invalid);
    // Brackets inside texts, escaped quotes included, are not nesting.
    std::string text = "{\"s\":\"\\\"" + std::string(5000, '[') + "\"}";
    EXPECT_EQ(RPCTransport::parseLine(text).kind, Kind::message);
}

TEST(Transport, RepliesAreSingleLinesWithSlashEscapedAndUtf8Raw) {
    qs::test::TempDir dir;
    int out = ::open(dir.at("out").c_str(), O_WRONLY | O_CREAT, 0600);
    EXPECT_TRUE(RPCTransport::respond(out, Json("a/b"), Json{{"t", "中/文"}}));
    EXPECT_TRUE(RPCTransport::respond(out, std::nullopt, qs::RPCError(-32700, "消息不是合法 JSON")));
    EXPECT_TRUE(RPCTransport::respond(out, Json(0), Json::object()));
    ::close(out);
    EXPECT_EQ(dir.read("out").value(),
              "{\"id\":\"a\\/b\",\"jsonrpc\":\"2.0\",\"result\":{\"t\":\"中\\/文\"}}\n"
              "{\"error\":{\"code\":-32700,\"message\":\"消息不是合法 JSON\"},\"id\":null,\"jsonrpc\":\"2.0\"}\n"
              "{\"id\":0,\"jsonrpc\":\"2.0\",\"result\":{}}\n");
}

TEST(Transport, UnwritableReplyBecomesInternalErrorWithTheSameId) {
    qs::test::TempDir dir;
    int out = ::open(dir.at("out").c_str(), O_WRONLY | O_CREAT, 0600);
    qs::test::FdCapture log(2);
    EXPECT_TRUE(RPCTransport::respond(out, Json("r1"), Json{{"x", INFINITY}}));
    ::close(out);
    EXPECT_EQ(Json::parse(dir.read("out").value()), errorReply("r1", -32603, "response serialization failed"));
    EXPECT_EQ(log.finish(), "[quillstack-mcp] ⚠️ 响应不是合法 JSON,已降级为 internal error\n");
}

TEST(Transport, WriteToClosedOutputIsReportedNotFatal) {
    std::signal(SIGPIPE, SIG_IGN);  // as the program itself does at start-up
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    EXPECT_FALSE(RPCTransport::send(fds[1], Json{{"id", 1}}));
    ::close(fds[1]);
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
    EXPECT_EQ(result.size(), 4u);
    EXPECT_EQ(result["capabilities"], (Json{{"tools", Json{{"listChanged", false}}}}));
    EXPECT_EQ(result["serverInfo"], (Json{{"name", "quillstack"}, {"version", "0.1.0"}}));
    const std::string instructions = result["instructions"];
    EXPECT_EQ(instructions.substr(0, instructions.find('\n')),
              "quillstack 是用户的个人记录库:录音转译、随手记、截图 OCR、剪贴板、健康数据、日报、英语词库。");
    EXPECT_EQ(std::count(instructions.begin(), instructions.end(), '\n'), 7);
    EXPECT_NE(instructions.back(), '\n');
}

TEST(Session, ToolCallProtocolErrors) {
    auto replies = serve({
        call(1, "tools/call"),
        call(2, "tools/call", Json{{"name", 5}}),
        call(3, "tools/call", Json{{"name", ""}}),
        call(4, "tools/call", Json{{"name", "Vault_Search"}}),
        call(5, "tools/call", Json{{"name", "nope"}, {"arguments", Json::array()}}),
    });
    ASSERT_EQ(replies.size(), 5u);
    EXPECT_EQ(replies[0], errorReply(1, -32602, "tools/call 缺少 name"));
    EXPECT_EQ(replies[1], errorReply(2, -32602, "tools/call 缺少 name"));
    EXPECT_EQ(replies[2], errorReply(3, -32601, "没有名为  的工具"));
    EXPECT_EQ(replies[3], errorReply(4, -32601, "没有名为 Vault_Search 的工具"));
    EXPECT_EQ(replies[4], errorReply(5, -32601, "没有名为 nope 的工具"));
}

TEST(Session, StopsQuietlyWhenTheClientClosesOutput) {
    std::signal(SIGPIPE, SIG_IGN);
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    ::close(out[0]);
    std::string session;
    for (int i = 0; i < 1000; ++i) session += call(i, "ping").dump() + "\n";
    FedPipe in({session});
    qs::test::FdCapture log(2);
    qs::MCPServer(qs::Vault{"/no-vault"}, in.readFd, out[1]).run();  // returns, no signal
    ::close(out[1]);
    EXPECT_EQ(log.finish(), "[quillstack-mcp] started (quillstack 0.1.0)\n");
}
