// JSON-RPC over a pair of file descriptors, one JSON object per line.
#pragma once

#include <chrono>       // std::chrono::milliseconds
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "json/json.hpp"
#include "protocol/rpc_error.hpp"

namespace qs {

// Reads lines of any length from a file descriptor.
class LineReader {
public:
    explicit LineReader(int fd) : fd_(fd) {}
    // The next line without its "\n" (and a "\r" right before it); a final
    // unterminated line counts. Nothing at end of input.
    std::optional<std::string> next();

    // Waits up to `timeout` for a whole line (or the end of input); false
    // when none came.
    bool waitForInput(std::chrono::milliseconds timeout);

private:
    bool fill();

    int fd_;
    std::string buffer_;
    size_t start_ = 0;    // first byte of the line being assembled
    size_t scanned_ = 0;  // bytes before this hold no line feed
    bool eof_ = false;
};

namespace RPCTransport {

struct Incoming {
    enum class Kind { message, invalid, eof };
    Kind kind;
    Json object;  // the message when kind == message
    // The exact text of a numeric "id" that a JSON number value cannot hold
    // as sent (beyond the 64-bit integers, or written with a fraction or an
    // exponent), so the reply can carry it back unchanged.
    std::optional<std::string> rawId;
};

// Turns one line into a message (or invalid).
Incoming parseLine(std::string_view line);

Incoming read(LineReader& in);

// Each writes one whole line; false when the write failed (closed output).
// `rawId`, when given, is written in place of the id's value.
bool respond(int outFd, const std::optional<Json>& id, const RPCError& error,
             const std::optional<std::string>& rawId = std::nullopt);
bool respond(int outFd, const Json& id, const Json& result, const std::optional<std::string>& rawId = std::nullopt);
bool send(int outFd, const Json& message, const std::optional<std::string>& rawId = std::nullopt);

}  // namespace RPCTransport

}  // namespace qs
