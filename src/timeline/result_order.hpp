// A kept index's items in result order, with the text signatures of its
// searches laid out in that order, so a search stops after its page.
#pragma once

#include <cstdint>  // uint32_t
#include <memory>   // std::unique_ptr
#include <span>     // std::span
#include <vector>   // std::vector

#include "timeline/feed_item.hpp"
#include "timeline/trigram_slices.hpp"

namespace qs {

class ResultOrder {
public:
    explicit ResultOrder(const std::vector<FeedItem>& items);

    // Positions in the items, latest day first, then greatest id, then
    // index order: a total order, so equal to the stable sort of any subset.
    std::span<const uint32_t> ranked() const { return ranked_; }
    // Built over ranks on the first text search: bit r stands for the item
    // at ranked()[r]. Listings without a query never pay for them.
    const TrigramSlices& slices() const;

private:
    static std::vector<uint32_t> rank(const std::vector<FeedItem>& items);

    const std::vector<FeedItem>& items_;
    std::vector<uint32_t> ranked_;
    mutable std::unique_ptr<TrigramSlices> slices_;
};

}  // namespace qs
