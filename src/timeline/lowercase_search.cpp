// Case-insensitive search that lower-cases with ICU only the rare texts whose
// non-ASCII letters could change the answer.
#include "timeline/lowercase_search.hpp"

#include <unicode/uniset.h>   // icu::UnicodeSet
#include <unicode/ustring.h>  // u_strToLower
#include <unicode/utf16.h>    // U16_APPEND_UNSAFE

#include <climits>  // INT32_MAX
#include <string>   // std::string

#include "text/unicode.hpp"

namespace qs {
namespace {

// The full lower-case form of a text differs from its ASCII-only lower-case
// form only at code points from these sets (derived from ICU's data once).
struct CaseSets {
    // Non-ASCII code points that lower-casing changes.
    icu::UnicodeSet changing;
    // Those among them whose lower-case form holds an ASCII character (such
    // as U+0130 and the Kelvin sign): the only ones an ASCII query can meet.
    icu::UnicodeSet reachingAscii;

    CaseSets() {
        UErrorCode status = U_ZERO_ERROR;
        changing.applyPattern(icu::UnicodeString(u"[[:Changes_When_Lowercased:]-[\\u0000-\\u007F]]"), status);
        for (int32_t r = 0; r < changing.getRangeCount(); ++r) {
            for (UChar32 c = changing.getRangeStart(r); c <= changing.getRangeEnd(r); ++c) {
                if (lowersToAscii(c)) reachingAscii.add(c);
            }
        }
        changing.freeze();
        reachingAscii.freeze();
    }

    static bool lowersToAscii(UChar32 c) {
        UChar source[2];
        int32_t length = 0;
        U16_APPEND_UNSAFE(source, length, c);
        UChar lowered[16];
        UErrorCode status = U_ZERO_ERROR;
        int32_t n = u_strToLower(lowered, 16, source, length, "", &status);
        if (U_FAILURE(status)) return false;
        for (int32_t i = 0; i < n; ++i) {
            if (lowered[i] < 0x80) return true;
        }
        return false;
    }
};

const CaseSets& caseSets() {
    static const CaseSets sets;
    return sets;
}

// ASCII letters lower-cased into `out` (reused between calls, so no
// allocation once warm); tells whether any byte was outside ASCII. The loop
// is branch-free so the compiler vectorises it.
bool asciiLowerInto(std::string_view text, std::string& out) {
    if (out.size() < text.size()) out.resize(text.size());
    const auto* src = reinterpret_cast<const unsigned char*>(text.data());
    auto* dst = reinterpret_cast<unsigned char*>(out.data());
    unsigned char seen = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = src[i];
        seen |= c;
        dst[i] = static_cast<unsigned char>(c + (static_cast<unsigned char>(c - 'A') < 26 ? 32 : 0));
    }
    return (seen & 0x80) != 0;
}

}  // namespace

LowercaseNeedle::LowercaseNeedle(std::string_view lowerQuery) : query_(lowerQuery), asciiQuery_(true) {
    for (char c : lowerQuery) {
        if (static_cast<unsigned char>(c) >= 0x80) asciiQuery_ = false;
    }
}

bool LowercaseNeedle::foundIn(std::string_view text) const {
    thread_local std::string scratch;
    bool nonAscii = asciiLowerInto(text, scratch);
    // A hit in the ASCII-lowered text is a hit in the fully lowered one: the
    // query's own characters are already lower-case and stay as they are.
    if (std::string_view(scratch.data(), text.size()).find(query_) != std::string_view::npos) return true;
    if (!nonAscii) return false;
    if (text.size() <= INT32_MAX) {
        const icu::UnicodeSet& relevant = asciiQuery_ ? caseSets().reachingAscii : caseSets().changing;
        auto length = static_cast<int32_t>(text.size());
        if (relevant.spanUTF8(text.data(), length, USET_SPAN_NOT_CONTAINED) == length) return false;
    }
    return text::toLowerFull(text).find(query_) != std::string::npos;
}

}  // namespace qs
