// One timeline entry of Dashboard.json.
#pragma once

#include <cstdint>      // int64_t
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "json/json.hpp"

namespace qs {

struct FeedItem {
    std::string id;
    std::string type = "text";
    std::string dateISO;
    std::string day;
    std::optional<std::string> title;
    std::string content;
    std::optional<std::string> source;
    std::vector<std::string> tags;
    std::vector<std::string> people;
    std::vector<std::string> projects;
    std::optional<std::string> outputRelPath;
    std::optional<std::string> processingState;
    std::vector<std::string> extractedTasks;
    int64_t importance = 3;

    // Tolerant construction from one entry object; nothing when "id" is not
    // a non-empty text.
    static std::optional<FeedItem> fromJson(const Json& raw);

    std::string displayTitle() const;
    Json summaryDict(size_t snippetLimit) const;
    // `lowerQuery` is already lower-cased and not empty.
    bool matches(std::string_view lowerQuery) const;
};

}  // namespace qs
