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

// Stands for the id in a reply line until the id's own text replaces it; a
// quote inside a text is always escaped, so this can only be the id's value.
constexpr std::string_view kRawIdSlot = R"("id":"\u0000raw-id\u0000")";

// Reads the exact text of the top-level "id" when it is a number the parsed
// value rounded: the parser hands every such number over with its text.
struct RawIdReader : nlohmann::json_sax<Json> {
    std::optional<std::string> raw;
    int depth = 0;
    bool atId = false;

    bool value() { return (atId = false, true); }
    bool null() override { return value(); }
    bool boolean(bool) override { return value(); }
    bool number_integer(number_integer_t) override { return value(); }
    bool number_unsigned(number_unsigned_t) override { return value(); }
    bool number_float(number_float_t, const string_t& text) override {
        if (atId) raw = text;  // a repeated key: the last one wins, as in the parsed value
        return value();
    }
    bool string(string_t&) override { return value(); }
    bool binary(binary_t&) override { return value(); }
    bool start_object(std::size_t) override { return (++depth, value()); }
    bool end_object() override { return (--depth, value()); }
    bool start_array(std::size_t) override { return (++depth, value()); }
    bool end_array() override { return (--depth, value()); }
    bool key(string_t& name) override {
        atId = depth == 1 && name == "id";
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }
};

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

bool LineReader::waitForInput(std::chrono::milliseconds timeout) {
    if (eof_ || buffer_.find('\n', scanned_ > start_ ? scanned_ : start_) != std::string::npos) return true;
    pollfd p{fd_, POLLIN, 0};
    for (;;) {
        int ready = ::poll(&p, 1, static_cast<int>(timeout.count()));
        if (ready >= 0) return ready > 0;
        if (errno != EINTR) return true;  // let the read itself meet the error
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
    if (!Text::isValidUtf8(line)) {
        repaired = Text::decodeLossy(line);
        line = repaired;
    }
    std::string_view trimmed = Text::trimWhitespace(line);
    if (trimmed.empty()) return {Incoming::Kind::invalid, Json(), std::nullopt};
    auto document = parseJsonDocument(trimmed);
    // An array is a batch, which this server does not take.
    if (!document || !document->is_object()) return {Incoming::Kind::invalid, Json(), std::nullopt};
    std::optional<std::string> rawId;
    if (auto id = document->find("id"); id != document->end() && id->is_number_float()) {
        RawIdReader reader;
        if (Json::sax_parse(trimmed, &reader)) rawId = std::move(reader.raw);
    }
    return {Incoming::Kind::message, std::move(*document), std::move(rawId)};
}

Incoming read(LineReader& in) {
    auto line = in.next();
    if (!line) return {Incoming::Kind::eof, Json(), std::nullopt};
    return parseLine(*line);
}

bool respond(int outFd, const std::optional<Json>& id, const RPCError& error, const std::optional<std::string>& rawId) {
    return send(outFd,
                Json{{"jsonrpc", "2.0"},
                     {"id", id ? *id : Json(nullptr)},
                     {"error", Json{{"code", error.code}, {"message", error.message}}}},
                rawId);
}

bool respond(int outFd, const Json& id, const Json& result, const std::optional<std::string>& rawId) {
    return send(outFd, Json{{"jsonrpc", "2.0"}, {"id", id}, {"result", result}}, rawId);
}

bool send(int outFd, const Json& message, const std::optional<std::string>& rawId) {
    std::optional<std::string> line;
    if (rawId && message.is_object() && message.contains("id")) {
        Json slotted = message;
        slotted["id"] = std::string("\0raw-id\0", 8);
        line = JsonWriter::wire(slotted);
        if (line) {
            size_t at = line->find(kRawIdSlot);
            if (at != std::string::npos) line->replace(at, kRawIdSlot.size(), "\"id\":" + *rawId);
        }
    } else if (message.is_object()) {
        line = JsonWriter::wire(message);
    }
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
