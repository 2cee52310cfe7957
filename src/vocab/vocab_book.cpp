// The tolerant reader of the vocabulary book: one parse, then the four
// readings in order, the first that succeeds giving the book.
#include "vocab/vocab_book.hpp"

#include <cerrno>    // errno, EINTR
#include <cstring>   // std::memcpy
#include <string>    // std::string
#include <unistd.h>  // write
#include <utility>   // std::pair, std::move

#include "vocab/vocab_reading.hpp"

namespace qs::VocabBookCore {
namespace {

// Written without the diagnostic log's prefix: the line is the book reader's own.
constexpr std::string_view kUnreadableWarning =
    "⚠️ [VocabBook] 词库文件解不开,按空处理(合并取并集,不会因此删词)\n";

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// The parser and its padded input outlive a call: a book of thousands of words
// needs megabytes of buffers, and fresh mappings on every call would cost more
// in page faults than the parse. Only memory is reused; nothing is cached.
struct ParseBuffers {
    simdjson::dom::parser parser;
    std::string input;
};

ParseBuffers& parseBuffers() {
    static ParseBuffers buffers;
    return buffers;
}

}  // namespace

std::optional<std::map<std::string, VocabEntry>> tryDecode(std::string_view data) {
    // Foundation's reader accepts a leading byte-order mark; simdjson does not.
    if (data.starts_with(kUtf8ByteOrderMark)) data.remove_prefix(kUtf8ByteOrderMark.size());

    ParseBuffers& buffers = parseBuffers();
    if (buffers.input.size() < data.size() + simdjson::SIMDJSON_PADDING) {
        buffers.input.resize(data.size() + simdjson::SIMDJSON_PADDING);
    }
    std::memcpy(buffers.input.data(), data.data(), data.size());

    simdjson::dom::element root;
    if (buffers.parser.parse(buffers.input.data(), data.size(), /*realloc_if_needed=*/false).get(root)) {
        return std::nullopt;
    }

    using VocabReading::DateEncoding;
    using VocabReading::Shape;
    constexpr std::pair<Shape, DateEncoding> kReadings[] = {
        {Shape::envelope, DateEncoding::iso8601},
        {Shape::envelope, DateEncoding::referenceSeconds},
        {Shape::bareMap, DateEncoding::iso8601},
        {Shape::bareMap, DateEncoding::referenceSeconds},
    };
    for (const auto& [shape, dates] : kReadings) {
        if (auto book = VocabReading::read(root, shape, dates)) return book;
    }
    return std::nullopt;
}

std::map<std::string, VocabEntry> decode(std::string_view data) {
    if (auto book = tryDecode(data)) return std::move(*book);
    warnUnreadable();
    return {};
}

void warnUnreadable() {
    const char* bytes = kUnreadableWarning.data();
    size_t left = kUnreadableWarning.size();
    while (left > 0) {
        ssize_t n = ::write(2, bytes, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;  // standard error is gone; there is nowhere else to warn
        }
        bytes += n;
        left -= static_cast<size_t>(n);
    }
}

}  // namespace qs::VocabBookCore
