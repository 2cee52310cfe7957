// The tolerant reader of the vocabulary book: one parse, then the four
// readings in order, the first that succeeds giving the book.
#include "vocab/vocab_book.hpp"

#include <algorithm>  // std::stable_sort, std::is_sorted, std::adjacent_find
#include <cstring>    // std::memcpy, std::memset
#include <utility>    // std::pair, std::move, std::swap

#include "json/json_numbers.hpp"
#include "vocab/vocab_reading.hpp"

namespace qs {
namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

using VocabReading::DateEncoding;
using Word = VocabBookReader::Word;

// Key order, one word per key with the last duplicate winning: what
// inserting them one by one into a map would leave.
void orderByKey(std::vector<Word>& words) {
    auto byKey = [](const Word& a, const Word& b) { return a.key < b.key; };
    // Writers keep their keys sorted, so this is usually all it costs.
    if (std::adjacent_find(words.begin(), words.end(), [](const Word& a, const Word& b) { return !(a.key < b.key); }) ==
        words.end()) {
        return;
    }
    std::stable_sort(words.begin(), words.end(), byKey);
    size_t kept = 0;
    for (size_t i = 0; i < words.size(); ++i) {
        if (i + 1 < words.size() && words[i + 1].key == words[i].key) continue;
        words[kept++] = words[i];
    }
    words.resize(kept);
}

// simdjson refuses numbers beyond its 64-bit integers and doubles
// (99999999999999999999, 1e400), which RFC 8259 allows. Each stands in as
// "[0]" padded to its length, a value no member of the format takes: an
// ignored member stays ignored, and a used one reads as a value of the wrong
// kind, as a number no field can hold is. True when anything stood in.
bool standInForWideNumbers(char* text, size_t length) {
    bool changed = false;
    for (std::string_view token : numberTokens(std::string_view(text, length))) {
        // Shorter than 20 characters and without an exponent, it fits.
        if (token.size() < 20 && token.find_first_of("eE") == std::string_view::npos) continue;
        const auto number = readJsonNumber(token);
        if (!number || (number->kind != JsonNumber::Kind::wideInteger && number->kind != JsonNumber::Kind::infinite))
            continue;
        char* at = text + (token.data() - text);
        std::memset(at, ' ', token.size());
        std::memcpy(at, "[0]", 3);
        changed = true;
    }
    return changed;
}

}  // namespace

std::optional<std::span<const Word>> VocabBookReader::read(std::string_view data, double now) {
    input_.assign(data);
    return readInput(now);
}

std::optional<std::span<const Word>> VocabBookReader::readInput(double now) {
    now_ = now;
    words_.clear();
    unreadable_ = 0;
    std::string_view data = input_;
    // Foundation's reader accepts a leading byte-order mark; simdjson does not.
    if (data.starts_with(kUtf8ByteOrderMark)) data.remove_prefix(kUtf8ByteOrderMark.size());
    // simdjson reads a little past the end; zeroed padding keeps that defined.
    const size_t length = data.size();
    input_.append(simdjson::SIMDJSON_PADDING, '\0');
    char* begin = input_.data() + (input_.size() - simdjson::SIMDJSON_PADDING - length);
    simdjson::dom::element root;
    simdjson::error_code error = parser_.parse(begin, length, /*realloc_if_needed=*/false).get(root);
    if (error == simdjson::NUMBER_ERROR && standInForWideNumbers(begin, length)) {
        error = parser_.parse(begin, length, /*realloc_if_needed=*/false).get(root);
    }
    if (error) return std::nullopt;

    using VocabReading::Shape;
    constexpr std::pair<Shape, DateEncoding> kReadings[] = {
        {Shape::envelope, DateEncoding::iso8601},
        {Shape::envelope, DateEncoding::referenceSeconds},
        {Shape::bareMap, DateEncoding::iso8601},
        {Shape::bareMap, DateEncoding::referenceSeconds},
    };
    // The best partial reading so far waits in spare_.
    std::optional<size_t> bestUnreadable;
    bool bestNumeric = false;
    for (const auto& [shape, dates] : kReadings) {
        const std::optional<size_t> unreadable = VocabReading::read(root, shape, dates, now, words_);
        if (!unreadable || (*unreadable == words_.size() && !words_.empty())) continue;  // nothing of it reads
        const bool numeric = dates == DateEncoding::referenceSeconds;
        if (*unreadable == 0) {
            bestUnreadable = 0;
            bestNumeric = numeric;
            break;
        }
        if (!bestUnreadable || words_.size() - *unreadable > spare_.size() - *bestUnreadable) {
            std::swap(words_, spare_);
            bestUnreadable = unreadable;
            bestNumeric = numeric;
        }
    }
    if (!bestUnreadable) {
        words_.clear();
        return std::nullopt;
    }
    if (*bestUnreadable > 0) std::swap(words_, spare_);
    numericDates_ = bestNumeric;
    orderByKey(words_);
    // A later duplicate replaces its key's word even when it cannot be read.
    unreadable_ = std::erase_if(words_, [](const Word& word) { return word.unreadable; });
    return std::span<const Word>(words_);
}

VocabEntry VocabBookReader::entry(const Word& word) const {
    return VocabReading::entry(word, numericDates_ ? DateEncoding::referenceSeconds : DateEncoding::iso8601, now_);
}

namespace VocabBook {

std::optional<std::map<std::string, VocabEntry>> decode(std::string_view data, double now) {
    VocabBookReader reader;
    auto words = reader.read(data, now);
    if (!words) return std::nullopt;
    std::map<std::string, VocabEntry> book;
    for (const Word& word : *words) book.emplace_hint(book.end(), std::string(word.key), reader.entry(word));
    return book;
}

}  // namespace VocabBook

}  // namespace qs
