// Line framing on file descriptors: reading messages, writing whole reply lines.
#include "protocol/transport.hpp"

#include <cerrno>    // errno, EINTR, EAGAIN
#include <poll.h>    // poll, when a descriptor was handed to us non-blocking
#include <unistd.h>  // read

#include "platform/log.hpp"
#include "text/unicode.hpp"

namespace qs {
namespace {

constexpr size_t minimumRead = 64 * 1024;

}  // namespace

std::optional<std::string> LineReader::next() {
    for (;;) {
        size_t newline = buffer_.find('\n', scanned_ > start_ ? scanned_ : start_);
        if (newline != std::string::npos) {
            size_t end = newline;
            if (end > start_ && buffer_[end - 1] == '\r') --end;
            std::string line = buffer_.substr(start_, end - start_);
            start_ = scanned_ = newline + 1;
            return line;
        }
        scanned_ = buffer_.size();
        if (eof_ || !fill()) {
            if (start_ >= buffer_.size()) return std::nullopt;
            std::string line = buffer_.substr(start_);
            start_ = scanned_ = buffer_.size();
            return line;
        }
    }
}

// Appends the next chunk; false at end of input (or a read error, which
// ends input just the same). The chunk grows with the line, so a line of
// many megabytes costs few reads and no quadratic copying.
bool LineReader::fill() {
    if (start_ > 0) {
        buffer_.erase(0, start_);
        scanned_ -= start_;
        start_ = 0;
    }
    const size_t used = buffer_.size();
    const size_t chunk = used > minimumRead ? used : minimumRead;
    buffer_.resize(used + chunk);
    for (;;) {
        ssize_t n = ::read(fd_, buffer_.data() + used, chunk);
        if (n > 0) {
            buffer_.resize(used + static_cast<size_t>(n));
            return true;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A parent may share a non-blocking pipe with us; wait instead of spinning.
            pollfd p{fd_, POLLIN, 0};
            ::poll(&p, 1, -1);
            continue;
        }
        buffer_.resize(used);
        eof_ = true;
        return false;
    }
}

namespace RPCTransport {

Incoming parseLine(std::string_view line) {
    std::string repaired;
    if (!text::isValidUtf8(line)) {
        repaired = text::decodeLossy(line);
        line = repaired;
    }
    std::string_view trimmed = text::trimWhitespace(line);
    if (trimmed.empty()) return {Incoming::Kind::invalid, Json()};
    auto document = parseJsonDocument(trimmed);
    // An array is a batch, which this server does not take.
    if (!document || !document->is_object()) return {Incoming::Kind::invalid, Json()};
    return {Incoming::Kind::message, std::move(*document)};
}

Incoming read(LineReader& in) {
    auto line = in.next();
    if (!line) return {Incoming::Kind::eof, Json()};
    return parseLine(*line);
}

bool respond(int outFd, const std::optional<Json>& id, const RPCError& error) {
    return send(outFd, Json{{"jsonrpc", "2.0"},
                            {"id", id ? *id : Json(nullptr)},
                            {"error", Json{{"code", error.code}, {"message", error.message}}}});
}

bool respond(int outFd, const Json& id, const Json& result) {
    return send(outFd, Json{{"jsonrpc", "2.0"}, {"id", id}, {"result", result}});
}

bool send(int outFd, const Json& message) {
    auto line = message.is_object() ? JsonWriter::wire(message) : std::nullopt;
    if (!line) {
        logStderr("⚠️ 响应不是合法 JSON,已降级为 internal error");
        Json id = message.is_object() && message.contains("id") ? message["id"] : Json(nullptr);
        line = JsonWriter::wire(Json{{"jsonrpc", "2.0"},
                                     {"id", id},
                                     {"error", Json{{"code", -32603}, {"message", "response serialization failed"}}}});
        if (!line) return true;  // nothing left that could be written
    }
    line->push_back('\n');
    return writeAll(outFd, *line);
}

}  // namespace RPCTransport

}  // namespace qs
