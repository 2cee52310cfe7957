// The tolerant reader of the vocabulary book: one parse, then the four
// readings in order, the first that succeeds giving the book.
#include "vocab/vocab_book.hpp"

#include <algorithm>  // std::stable_sort, std::is_sorted, std::adjacent_find
#include <utility>    // std::pair, std::move

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

}  // namespace

std::optional<std::span<const Word>> VocabBookReader::read(std::string_view data) {
    input_.assign(data);
    return readInput();
}

std::optional<std::span<const Word>> VocabBookReader::readInput() {
    words_.clear();
    std::string_view data = input_;
    // Foundation's reader accepts a leading byte-order mark; simdjson does not.
    if (data.starts_with(kUtf8ByteOrderMark)) data.remove_prefix(kUtf8ByteOrderMark.size());
    // simdjson reads a little past the end; zeroed padding keeps that defined.
    const size_t length = data.size();
    input_.append(simdjson::SIMDJSON_PADDING, '\0');
    simdjson::dom::element root;
    simdjson::error_code error = parser_.parse(input_.data() + (input_.size() - simdjson::SIMDJSON_PADDING - length),
                                               length, /*realloc_if_needed=*/false).get(root);
    if (error) return std::nullopt;

    using VocabReading::Shape;
    constexpr std::pair<Shape, DateEncoding> kReadings[] = {
        {Shape::envelope, DateEncoding::iso8601},
        {Shape::envelope, DateEncoding::referenceSeconds},
        {Shape::bareMap, DateEncoding::iso8601},
        {Shape::bareMap, DateEncoding::referenceSeconds},
    };
    for (const auto& [shape, dates] : kReadings) {
        if (VocabReading::read(root, shape, dates, words_)) {
            numericDates_ = dates == DateEncoding::referenceSeconds;
            orderByKey(words_);
            return std::span<const Word>(words_);
        }
    }
    return std::nullopt;
}

VocabEntry VocabBookReader::entry(const Word& word) const {
    return VocabReading::entry(word, numericDates_ ? DateEncoding::referenceSeconds : DateEncoding::iso8601);
}

namespace VocabBook {

std::optional<std::map<std::string, VocabEntry>> decode(std::string_view data) {
    VocabBookReader reader;
    auto words = reader.read(data);
    if (!words) return std::nullopt;
    std::map<std::string, VocabEntry> book;
    for (const Word& word : *words) book.emplace_hint(book.end(), std::string(word.key), reader.entry(word));
    return book;
}

}  // namespace VocabBook

}  // namespace qs
