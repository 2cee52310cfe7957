// Ranking the items once per kept index.
#include "timeline/result_order.hpp"

#include <algorithm>  // std::sort
#include <numeric>    // std::iota

namespace qs {

std::vector<uint32_t> ResultOrder::rank(const std::vector<FeedItem>& items) {
    std::vector<uint32_t> ranked(items.size());
    std::iota(ranked.begin(), ranked.end(), 0u);
    std::sort(ranked.begin(), ranked.end(), [&items](uint32_t a, uint32_t b) {
        const FeedItem& x = items[a];
        const FeedItem& y = items[b];
        if (x.day != y.day) return x.day > y.day;
        if (x.id != y.id) return x.id > y.id;
        return a < b;
    });
    return ranked;
}

ResultOrder::ResultOrder(const std::vector<FeedItem>& items) : items_(items), ranked_(rank(items)) {}

const TrigramSlices& ResultOrder::slices() const {
    if (!slices_) slices_ = std::make_unique<TrigramSlices>(items_, ranked_);
    return *slices_;
}

}  // namespace qs
