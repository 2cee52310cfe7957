// Which results of a listing a call returns, and the page it gets.
#pragma once

#include <algorithm>  // std::max
#include <cstddef>    // size_t
#include <cstdint>    // int64_t
#include <vector>     // std::vector

#include "timeline/feed_item.hpp"

namespace qs {

// `limit` results (at least one) after skipping `offset` (none below zero),
// in result order: latest day first, then greatest id, then index order.
struct ResultWindow {
    int64_t offset = 0;
    int64_t limit = 1;
    [[nodiscard]] size_t skipped() const { return offset > 0 ? static_cast<size_t>(offset) : 0; }
    [[nodiscard]] size_t wanted() const { return static_cast<size_t>(std::max<int64_t>(limit, 1)); }
};

struct ResultPage {
    std::vector<const FeedItem*> items;
    bool more = false;  // results follow the page
};

// Takes matches in result order and says when it has seen enough: the page,
// and one more to know whether any follow.
class PageBuilder {
public:
    explicit PageBuilder(ResultWindow window) : skip_(window.skipped()), wanted_(window.wanted()) {}
    // False once the page is full and a further match was seen.
    bool add(const FeedItem* item) {
        if (skip_ > 0) {
            --skip_;
        } else if (page_.items.size() < wanted_) {
            page_.items.push_back(item);
        } else {
            page_.more = true;
        }
        return !page_.more;
    }
    ResultPage take() { return std::move(page_); }

private:
    size_t skip_;
    size_t wanted_;
    ResultPage page_;
};

}  // namespace qs
