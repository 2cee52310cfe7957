// Case-insensitive substring search: a lower-cased query against the full
// Unicode lower-case form of a text, without lower-casing most texts at all.
#pragma once

#include <string_view>  // std::string_view

namespace qs {

class LowercaseNeedle {
public:
    // `lowerQuery` is already lower-cased (full mapping) and not empty; the
    // needle keeps a view of it.
    explicit LowercaseNeedle(std::string_view lowerQuery);

    // True when the full lower-case form of `text` contains the query.
    bool foundIn(std::string_view text) const;

private:
    std::string_view query_;
    bool asciiQuery_;
};

}  // namespace qs
