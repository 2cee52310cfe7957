// Line framing and reply writing.
#include <gtest/gtest.h>

#include <fcntl.h>   // open
#include <unistd.h>  // pipe, close, write

#include <cmath>      // INFINITY
#include <thread>     // std::thread

#include "protocol/transport.hpp"
#include "support/fd_capture.hpp"
#include "support/temp_vault.hpp"

using qs::Json;
using Kind = qs::RPCTransport::Incoming::Kind;
using Lines = std::vector<std::string>;

namespace {

// The lines a reader makes of bytes written to a pipe piece by piece.
Lines linesOf(const Lines& pieces) {
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe");
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

}  // namespace

// Only a carriage return right before a line feed is stripped; a final
// unterminated line counts, an end right after a line feed adds none.
TEST(Transport, SplitsLinesArrivingInAnyPiecesAndWantsOneObjectEach) {
    EXPECT_EQ(linesOf({"a\nb\r\n\r\nc\rd\n\nlast"}), (Lines{"a", "b", "", "c\rd", "", "last"}));
    EXPECT_EQ(linesOf({"{\"a\"", ":1}", "\r", "\n{", "}\n", "tail"}), (Lines{"{\"a\":1}", "{}", "tail"}));
    EXPECT_EQ(linesOf({}), Lines{});
    const std::pair<std::string, Kind> cases[] = {
        {"", Kind::invalid},      {"\u3000", Kind::invalid},   {"[1,2]", Kind::invalid},       {"null", Kind::invalid},
        {"{", Kind::invalid},     {"{} {}", Kind::invalid},    {" \t{}\u3000 ", Kind::message}, {"{}\r", Kind::message},
        {"{\"p\":" + std::string(511, '[') + std::string(511, ']') + "}", Kind::message},  // 512 levels
        {"{\"p\":" + std::string(512, '[') + std::string(512, ']') + "}", Kind::invalid},
    };
    for (const auto& [line, kind] : cases) EXPECT_EQ(qs::RPCTransport::parseLine(line).kind, kind) << line.substr(0, 20);
}

TEST(Transport, UnwritableReplyBecomesInternalErrorWithTheSameId) {
    qs::test::TempDir dir;
    int out = ::open(dir.at("out").c_str(), O_WRONLY | O_CREAT, 0600);
    qs::test::FdCapture log(2);
    EXPECT_TRUE(qs::RPCTransport::respond(out, Json("r1"), Json{{"x", INFINITY}}));
    ::close(out);
    EXPECT_EQ(dir.read("out").value(),
              "{\"error\":{\"code\":-32603,\"message\":\"response serialization failed\"},\"id\":\"r1\",\"jsonrpc\":\"2.0\"}\n");
    EXPECT_EQ(log.finish(), "[quillstack-mcp] ⚠️ 响应不是合法 JSON,已降级为 internal error\n");
}
