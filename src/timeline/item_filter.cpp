// The filters of a search, applied to one item.
#include "timeline/item_filter.hpp"

#include "text/unicode.hpp"

namespace qs {
namespace {

std::optional<std::string> given(const std::optional<std::string>& text) {
    return text && !text->empty() ? text : std::nullopt;
}

}  // namespace

ItemFilter::ItemFilter(const DashboardIndex::SearchFilter& filter)
    : type_(given(filter.type)), dateFrom_(given(filter.dateFrom)), dateTo_(given(filter.dateTo)) {
    if (given(filter.query)) lowerQuery_ = Text::toLowerFull(*filter.query);
    if (!lowerQuery_.empty()) needle_.emplace(lowerQuery_);
}

bool ItemFilter::keeps(const FeedItem& item) const {
    if (type_ && item.type != *type_) return false;
    if (dateFrom_ && item.day < *dateFrom_) return false;
    if (dateTo_ && item.day > *dateTo_) return false;
    return !needle_ || item.matches(*needle_);
}

}  // namespace qs
