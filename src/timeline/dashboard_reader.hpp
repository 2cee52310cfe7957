// Streams the text of Dashboard.json through simdjson on-demand into feed items.
#pragma once

#include <cstddef>   // size_t
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

#include "timeline/feed_item.hpp"
#include "timeline/index_arena.hpp"
#include "timeline/item_filter.hpp"

namespace qs {

// `json` holds `length` bytes of UTF-8 JSON text with at least
// SIMDJSON_PADDING spare bytes of capacity after them. Texts with escapes
// are unescaped in place, so the items' views point into `json`. The whole
// document is checked, not only the parts an item needs; false when it is not
// one valid JSON document whose top level is an object. With a filter,
// `picked` receives the positions in `items` of the items it keeps, each
// tested as soon as the item is complete.
bool readDashboard(IndexArena& arena, char* json, size_t length, size_t capacity, std::vector<FeedItem>& items,
    std::optional<std::string>& updatedAt, const ItemFilter* filter, std::vector<size_t>& picked);

}  // namespace qs
