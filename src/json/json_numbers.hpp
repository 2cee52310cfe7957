// JSON number tokens: how one reads by the JSON grammar, and where they lie in
// a text.
#pragma once

#include <cstdint>      // int64_t
#include <optional>     // std::optional
#include <string_view>  // std::string_view
#include <vector>       // std::vector

namespace qs {

struct JsonNumber {
    enum class Kind {
        integer,      // inside the 64-bit integers
        wideInteger,  // written without fraction or exponent, beyond the 64-bit integers
        real,         // with a fraction or an exponent, inside a double's range
        infinite,     // beyond a double's range; `value` is ±infinity
    };
    Kind kind;
    double value;
};

// One whole token read by the JSON grammar (nlohmann's reader is the judge);
// nothing when it is not exactly one JSON number.
std::optional<JsonNumber> readJsonNumber(std::string_view token);

// Every maximal run of number characters that starts with "-" or a digit
// outside a string, in text order. In a valid JSON document these are
// exactly its numbers; in any other text they are only candidates.
std::vector<std::string_view> numberTokens(std::string_view text);

// Calls `visit(i)` for every byte i of `text` that lies outside a string
// (the quotes themselves excluded); `visit` may move i on to the last byte
// it took, and returns false to stop the walk. The text need not be valid
// JSON.
template <class Visit>
bool forEachOutsideStrings(std::string_view text, Visit visit) {
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (!visit(i)) {
            return false;
        }
    }
    return true;
}

// The two ways a real number becomes a 64-bit integer here. Truncated: its
// integer part, an absurd value (1e300, ±infinity) held at the nearest end of
// the range instead of overflowing. Exact: only a whole number inside the
// range, so 3.5 is no integer rather than a silent 3.
int64_t truncatedInt64(double value);
std::optional<int64_t> exactInt64(double value);

}  // namespace qs
