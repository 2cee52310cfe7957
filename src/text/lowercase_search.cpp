// Case-insensitive search that lower-cases with ICU only the rare texts whose
// non-ASCII letters could change the answer.
//
// The full lower-case form of a text and its ASCII-only lower-case form differ
// only where the text holds a non-ASCII character that lower-casing changes.
// A hit in the ASCII-lowered text is a hit in the fully lowered one (the
// query's own characters are lower-case already and stay as they are); a hit
// only the full form has must overlap the lower-case form of such a
// character, and agree with it where they overlap. So most texts
// are settled by one pass without ICU and without a lowered copy.
#include "text/lowercase_search.hpp"

#include <unicode/uniset.h>   // icu::UnicodeSet
#include <unicode/ustring.h>  // u_strToLower
#include <unicode/utf16.h>    // U16_APPEND_UNSAFE, U16_NEXT
#include <unicode/utf8.h>     // U8_NEXT, U8_APPEND_UNSAFE

#include <algorithm>  // std::any_of, std::find, std::min, std::max
#include <climits>    // INT32_MAX
#include <cstddef>    // std::ptrdiff_t
#include <utility>    // std::move

#include "text/unicode.hpp"

namespace qs::Text {
namespace {

struct Mapping {
    UChar32 character;
    // Its full lower-case forms: lower-casing looks at the neighbours (a
    // capital sigma ending a word becomes a final sigma), so there may be two.
    std::vector<std::vector<UChar32>> forms;
};

// Every non-ASCII character that lower-casing changes, with what it becomes;
// derived from ICU's data once.
struct CaseData {
    std::vector<Mapping> changing;
    icu::UnicodeSet changingSet;

    CaseData() {
        UErrorCode status = U_ZERO_ERROR;
        changingSet.applyPattern(icu::UnicodeString(u"[[:Changes_When_Lowercased:]-[\\u0000-\\u007F]]"), status);
        changingSet.freeze();
        for (int32_t r = 0; r < changingSet.getRangeCount(); ++r) {
            for (UChar32 c = changingSet.getRangeStart(r); c <= changingSet.getRangeEnd(r); ++c) {
                changing.push_back({c, formsOf(c)});
            }
        }
    }

    // The character lowered alone and between cased letters, the letters cut off.
    static std::vector<std::vector<UChar32>> formsOf(UChar32 c) {
        std::vector<std::vector<UChar32>> forms;
        for (bool before : {false, true}) {
            for (bool after : {false, true}) {
                UChar source[6];
                int32_t length = 0;
                if (before) source[length++] = u'A';
                U16_APPEND_UNSAFE(source, length, c);
                if (after) source[length++] = u'A';
                UChar lowered[24];
                UErrorCode status = U_ZERO_ERROR;
                int32_t n = u_strToLower(lowered, 24, source, length, "", &status);
                if (U_FAILURE(status)) continue;
                std::vector<UChar32> form;
                for (int32_t i = before ? 1 : 0; i < n - (after ? 1 : 0);) {
                    UChar32 d;
                    U16_NEXT(lowered, i, n, d);
                    form.push_back(d);
                }
                if (std::find(forms.begin(), forms.end(), form) == forms.end()) forms.push_back(std::move(form));
            }
        }
        return forms;
    }
};

// Whether a hit of `query` in a lowered text can overlap `form` there: some
// placement of the one against the other where they share at least one
// character and agree on every character they share. A form that only shares
// characters with the query out of place (the "i" of "i̇" in "zephyrine",
// followed there by "n" rather than the dot) cannot make a hit.
bool canOverlap(const std::vector<UChar32>& form, const std::vector<UChar32>& query) {
    const auto f = static_cast<std::ptrdiff_t>(form.size());
    const auto q = static_cast<std::ptrdiff_t>(query.size());
    // `shift` is where the form starts, counted in the query's characters.
    for (std::ptrdiff_t shift = 1 - f; shift < q; ++shift) {
        std::ptrdiff_t from = std::max<std::ptrdiff_t>(0, shift), to = std::min(q, shift + f);
        bool agree = true;
        for (std::ptrdiff_t k = from; k < to && agree; ++k) {
            agree = query[static_cast<size_t>(k)] == form[static_cast<size_t>(k - shift)];
        }
        if (agree) return true;
    }
    return false;
}

const CaseData& caseData() {
    static const CaseData data;
    return data;
}

std::vector<UChar32> codePoints(std::string_view utf8) {
    std::vector<UChar32> out;
    auto length = static_cast<int32_t>(std::min<size_t>(utf8.size(), INT32_MAX));
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(utf8.data(), i, length, c);
        out.push_back(c);
    }
    return out;
}

std::string utf8Of(UChar32 c) {
    char bytes[4];
    int32_t length = 0;
    U8_APPEND_UNSAFE(bytes, length, c);
    return std::string(bytes, static_cast<size_t>(length));
}

}  // namespace

LowercaseNeedle::LowercaseNeedle(std::string_view lowerQuery) : query_(lowerQuery), ascii_(lowerQuery) {
    upperAscii_ = std::any_of(lowerQuery.begin(), lowerQuery.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
    std::vector<UChar32> queryCharacters = codePoints(lowerQuery);
    for (const Mapping& mapping : caseData().changing) {
        if (std::any_of(mapping.forms.begin(), mapping.forms.end(),
                [&](const std::vector<UChar32>& form) { return canOverlap(form, queryCharacters); })) {
            relevant_.push_back(utf8Of(mapping.character));
        }
    }
    manyRelevant_ = relevant_.size() > 8;
    if (!relevant_.empty()) {
        relevantLeads_ = {0xFF, 0x00};
        for (const std::string& form : relevant_) {
            auto lead = static_cast<unsigned char>(form.front());
            relevantLeads_.low = std::min(relevantLeads_.low, lead);
            relevantLeads_.high = std::max(relevantLeads_.high, lead);
        }
    }
}

bool LowercaseNeedle::mayGainAHitByLowerCasing(std::string_view text) const {
    if (relevant_.empty()) return false;
    if (manyRelevant_ && text.size() <= INT32_MAX) {
        auto length = static_cast<int32_t>(text.size());
        return caseData().changingSet.spanUTF8(text.data(), length, USET_SPAN_NOT_CONTAINED) < length;
    }
    return std::any_of(relevant_.begin(), relevant_.end(),
        [&](const std::string& form) { return text.find(form) != std::string_view::npos; });
}

bool LowercaseNeedle::foundIn(std::string_view text) const {
    // No lower-cased text holds A-Z.
    if (upperAscii_) return false;
    // Without characters that could lower-case into the query's, lowering
    // the ASCII letters is all lowering can change.
    if (relevant_.empty()) return ascii_.foundIn(text);
    // A text without the first byte of any such character is settled by the
    // same pass.
    bool maybeRelevant = false;
    if (ascii_.foundIn(text, relevantLeads_, maybeRelevant)) return true;
    if (!maybeRelevant || !mayGainAHitByLowerCasing(text)) return false;
    return Text::toLowerFull(text).find(query_) != std::string::npos;
}

}  // namespace qs::Text
