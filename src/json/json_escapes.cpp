// Lone surrogate escapes rewritten to the replacement character.
#include "json/json_escapes.hpp"

#include <cstring>  // std::memcpy

namespace qs {
namespace {

// The code unit of the four hex digits at `at`; -1 when they are none.
int hexUnit(const char* at) {
    int unit = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = at[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

// The unit of a "\uXXXX" escape at `i`, or -1.
int escapedUnit(const char* text, size_t length, size_t i) {
    if (i + 6 > length || text[i] != '\\' || text[i + 1] != 'u') return -1;
    return hexUnit(text + i + 2);
}

}  // namespace

bool replaceLoneSurrogateEscapes(char* text, size_t length) {
    bool replaced = false;
    for (size_t i = 0; i + 1 < length; ++i) {
        if (text[i] != '\\') continue;
        const int unit = escapedUnit(text, length, i);
        if (unit < 0xD800 || unit > 0xDFFF) {
            ++i;  // the escaped character, a backslash included
            continue;
        }
        const int low = unit <= 0xDBFF ? escapedUnit(text, length, i + 6) : -1;
        if (low >= 0xDC00 && low <= 0xDFFF) {
            i += 11;  // a whole pair
            continue;
        }
        std::memcpy(text + i + 2, "fffd", 4);
        replaced = true;
        i += 5;
    }
    return replaced;
}

}  // namespace qs
