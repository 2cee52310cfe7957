// A bit-sliced signature of every item's lower-cased text, by byte trigram:
// the items that can hold a query, found by AND-ing a few bitmaps instead of
// reading every text. Candidates only; the exact matcher has the last word.
#pragma once

#include <cstddef>      // size_t
#include <cstdint>      // uint64_t
#include <optional>     // std::optional
#include <span>         // std::span
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "timeline/feed_item.hpp"

namespace qs {

class TrigramSlices {
public:
    // Every byte trigram of the full lower-case form of every searched text
    // (title, content, id, tags, people, projects) of items[order[r]] sets
    // bit r of its slice.
    TrigramSlices(const std::vector<FeedItem>& items, std::span<const uint32_t> order);

    // One bit per rank r, set when items[order[r]] may hold `lowerQuery`: a
    // superset of those that do. Nothing when the query is too short to
    // narrow anything (under three bytes): every item is a candidate.
    [[nodiscard]] std::optional<std::vector<uint64_t>> candidates(std::string_view lowerQuery) const;

private:
    void add(size_t item, std::string_view lowerText);

    size_t words_;                // 64-bit words per slice: one bit per item
    std::vector<uint64_t> bits_;  // kSlices slices, one after the other
};

}  // namespace qs
