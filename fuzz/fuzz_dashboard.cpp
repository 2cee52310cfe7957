// Arbitrary bytes as Dashboard.json: parse, look up, search and summarise.
#include <cstddef>      // size_t
#include <cstdint>      // uint8_t
#include <string_view>  // std::string_view

#include "timeline/dashboard_index.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto index = qs::DashboardIndex::parse(bytes);
    if (!index) return 0;
    for (const auto* item : index->search({std::string("a"), {}, {}, {}}, {0, 50}).items) {
        (void)item->summaryJson(180);
    }
    for (const auto* item : index->search({{}, std::string("voice"), std::string("2025"), {}}, {2, 5}).items) {
        (void)index->item(item->id);
        (void)item->displayTitle();
    }
    return 0;
}
