// JSON-RPC lines in and out: the transport the server talks through, its
// file-descriptor implementation, and the framing of one incoming line.
#pragma once

#include <chrono>       // std::chrono::milliseconds
#include <memory>       // std::unique_ptr
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "json/json.hpp"

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
    size_t scanned_ = 0;  // bytes before this hold no line feed; never before start_
    bool eof_ = false;
};

// Where the server's lines come from and go to. The process uses standard
// input and output; a test scripts a whole session in a string.
class Transport {
public:
    virtual ~Transport() = default;
    // The next line, without its line end; nothing at the end of input.
    virtual std::optional<std::string> readLine() = 0;
    // Waits up to `timeout` for a line (or the end); false when none came.
    virtual bool waitForInput(std::chrono::milliseconds timeout) = 0;
    // Writes one whole line (the line feed is added); false once the reader is gone.
    virtual bool writeLine(std::string_view line) = 0;
};

// Lines on two file descriptors, each reply one unbuffered write.
std::unique_ptr<Transport> fdTransport(int inFd, int outFd);

namespace RPCTransport {

struct Incoming {
    enum class Kind { message, invalid, eof };
    Kind kind;
    Json object;  // the message when kind == message
    // The exact text of a numeric "id" that a JSON number value cannot hold
    // as sent (beyond the 64-bit integers, or written with a fraction or an
    // exponent), so the reply can carry it back unchanged.
    std::optional<std::string> idText;
};

// Turns one line into a message (or invalid).
Incoming parseLine(std::string_view line);

}  // namespace RPCTransport

}  // namespace qs
