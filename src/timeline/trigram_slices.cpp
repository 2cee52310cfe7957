// Building the slices and intersecting them for a query.
#include "timeline/trigram_slices.hpp"

#include "text/unicode.hpp"

namespace qs {
namespace {

// Slices per signature. A trigram sets one slice's bit; an item of a
// thousand distinct trigrams sets about a third of its 2,048 bits, so a
// query of four trigrams lets through about one item in a hundred that
// does not hold it, which the exact matcher then turns away.
constexpr size_t kSlices = 2048;

size_t sliceOf(unsigned char a, unsigned char b, unsigned char c) {
    // Multiplicative hashing of the 24-bit trigram; the top bits are the best mixed.
    const uint32_t key = (uint32_t{a} << 16) | (uint32_t{b} << 8) | c;
    return (key * 2654435761u) >> (32 - 11);
}
static_assert(size_t{1} << 11 == kSlices);

}  // namespace

TrigramSlices::TrigramSlices(const std::vector<FeedItem>& items, std::span<const uint32_t> order)
    : words_((order.size() + 63) / 64), bits_(kSlices * words_, 0) {
    for (size_t i = 0; i < order.size(); ++i) {
        const FeedItem& item = items[order[i]];
        item.forEachSearchedText([&](FeedItem::Searched, std::string_view text) {
            add(i, Text::toLowerFull(text));
            return false;
        });
    }
}

void TrigramSlices::add(size_t item, std::string_view lowerText) {
    const uint64_t bit = uint64_t{1} << (item % 64);
    const size_t word = item / 64;
    for (size_t i = 0; i + 2 < lowerText.size(); ++i) {
        const auto* p = reinterpret_cast<const unsigned char*>(lowerText.data() + i);
        bits_[sliceOf(p[0], p[1], p[2]) * words_ + word] |= bit;
    }
}

std::optional<std::vector<uint64_t>> TrigramSlices::candidates(std::string_view lowerQuery) const {
    if (lowerQuery.size() < 3) return std::nullopt;
    std::vector<uint64_t> kept(words_, ~uint64_t{0});
    for (size_t i = 0; i + 2 < lowerQuery.size(); ++i) {
        const auto* p = reinterpret_cast<const unsigned char*>(lowerQuery.data() + i);
        const uint64_t* slice = bits_.data() + sliceOf(p[0], p[1], p[2]) * words_;
        for (size_t w = 0; w < words_; ++w) kept[w] &= slice[w];
    }
    return kept;
}

}  // namespace qs
