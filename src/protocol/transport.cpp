// Line framing on file descriptors: reading lines, writing whole reply lines.
#include "protocol/transport.hpp"

#include <poll.h>    // poll, when a descriptor was handed to us non-blocking
#include <unistd.h>  // read
#include <cerrno>    // errno, EINTR, EAGAIN

#include "json/json_escapes.hpp"
#include "platform/log.hpp"
#include "text/unicode.hpp"

namespace qs {
namespace {

constexpr size_t kMinimumRead = size_t{64} * 1024;

}  // namespace

std::optional<std::string> LineReader::next() {
    for (;;) {
        size_t newline = buffer_.find('\n', scanned_);
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
    if (eof_ || buffer_.find('\n', scanned_) != std::string::npos) return true;
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
    buffer_.erase(0, start_);
    scanned_ -= start_;
    start_ = 0;
    const size_t used = buffer_.size();
    const size_t chunk = used > kMinimumRead ? used : kMinimumRead;
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

class FdTransport final : public Transport {
public:
    FdTransport(int inFd, int outFd) : in_(inFd), outFd_(outFd) {}
    std::optional<std::string> readLine() override { return in_.next(); }
    bool waitForInput(std::chrono::milliseconds timeout) override { return in_.waitForInput(timeout); }
    bool writeLine(std::string_view line) override {
        std::string bytes;
        bytes.reserve(line.size() + 1);
        bytes.append(line).push_back('\n');
        return writeAll(outFd_, bytes);
    }

private:
    LineReader in_;
    int outFd_;
};

std::unique_ptr<Transport> fdTransport(int inFd, int outFd) { return std::make_unique<FdTransport>(inFd, outFd); }

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
    // A lone surrogate escape costs only the character it names, not the
    // whole line: refused, the reply could not carry the request's id.
    std::string unpaired;
    if (!document) {
        unpaired.assign(trimmed);
        if (replaceLoneSurrogateEscapes(unpaired.data(), unpaired.size())) {
            trimmed = unpaired;
            document = parseJsonDocument(trimmed);
        }
    }
    // An array is a batch, which this server does not take.
    if (!document || !document->is_object()) return {Incoming::Kind::invalid, Json(), std::nullopt};
    std::optional<std::string> idText;
    // A real-valued id is echoed as the client wrote it ("1e2", not 100.0):
    // the rare line that has one is read again keeping every number's text.
    if (auto id = document->find("id"); id != document->end() && (id->is_number_float() || id->is_binary())) {
        if (auto exact = parseJsonDocument(trimmed, JsonNumbers::ownText)) {
            if (auto text = rawNumberText((*exact)["id"])) idText = std::string(*text);
        }
    }
    return {Incoming::Kind::message, std::move(*document), std::move(idText)};
}

}  // namespace RPCTransport

}  // namespace qs
