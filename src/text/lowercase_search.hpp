// Case-insensitive substring search: a lower-cased query against the full
// Unicode lower-case form of a text, without lower-casing most texts at all.
#pragma once

#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "text/ascii_folded_find.hpp"

namespace qs::Text {

// Prepared once per search, then asked about many texts.
class LowercaseNeedle {
public:
    // `lowerQuery` is already lower-cased (full mapping) and not empty; the
    // needle keeps a view of it.
    explicit LowercaseNeedle(std::string_view lowerQuery);

    // True when the full lower-case form of `text` contains the query.
    [[nodiscard]] bool foundIn(std::string_view text) const;

private:
    [[nodiscard]] bool mayGainAHitByLowerCasing(std::string_view text) const;

    std::string_view query_;
    AsciiFoldedFinder ascii_;  // the query in the ASCII-lowered text
    bool upperAscii_ = false;  // a query holding A-Z is in no lower-cased text
    // The UTF-8 forms of the non-ASCII characters whose lower-case form can
    // overlap a hit of the query: only they can make the fully
    // lower-cased text hold the query where the ASCII-lower-cased one does not.
    std::vector<std::string> relevant_;
    bool manyRelevant_ = false;  // then a set lookup beats one find per form
    // The range of the first bytes of those forms: a text holding none of
    // them cannot hold any of the forms.
    AsciiFoldedFinder::ByteRange relevantLeads_{0x80, 0xFF};
};

}  // namespace qs::Text
