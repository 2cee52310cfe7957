// Whether a feed item passes a search's filters: type, day range, text.
#pragma once

#include <optional>  // std::optional
#include <string>    // std::string

#include "text/lowercase_search.hpp"
#include "timeline/dashboard_index.hpp"
#include "timeline/feed_item.hpp"

namespace qs {

// Prepared once per search (the query lower-cased, its needle built), then
// asked about every item. Not copyable: the needle views the lowered query.
class ItemFilter {
public:
    explicit ItemFilter(const DashboardIndex::SearchFilter& filter);
    ItemFilter(const ItemFilter&) = delete;
    ItemFilter& operator=(const ItemFilter&) = delete;

    // Tested in this order: type, from, to, text.
    [[nodiscard]] bool keeps(const FeedItem& item) const;

    // The day bounds, when given.
    [[nodiscard]] const std::optional<std::string>& dateFrom() const { return dateFrom_; }
    [[nodiscard]] const std::optional<std::string>& dateTo() const { return dateTo_; }

    // The lower-cased query; empty when the search has none.
    [[nodiscard]] std::string_view lowerQuery() const { return lowerQuery_; }

private:
    std::optional<std::string> type_;
    std::optional<std::string> dateFrom_;
    std::optional<std::string> dateTo_;
    std::string lowerQuery_;
    std::optional<Text::LowercaseNeedle> needle_;
};

}  // namespace qs
