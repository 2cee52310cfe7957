// Unicode services on UTF-8 text, each with a cheap path for the common case
// and ICU for everything that needs real Unicode knowledge.
#include "text/unicode.hpp"

#include <unicode/brkiter.h>      // icu::BreakIterator
#include <unicode/bytestream.h>   // icu::StringByteSink
#include <unicode/casemap.h>      // icu::CaseMap::utf8ToLower
#include <unicode/normalizer2.h>  // icu::Normalizer2
#include <unicode/uchar.h>        // u_hasBinaryProperty, u_getBinaryPropertySet, u_isUWhiteSpace
#include <unicode/uset.h>         // uset_getItem
#include <unicode/utext.h>        // utext_openUTF8
#include <unicode/utf8.h>         // U8_NEXT

#include <cstdint>  // uint8_t
#include <memory>   // std::unique_ptr

namespace qs::Text {
namespace {

bool isAscii(std::string_view s) {
    for (unsigned char c : s) {
        if (c >= 0x80) return false;
    }
    return true;
}

// One character break iterator per thread, cloned from a prototype so the
// rule data is loaded once.
icu::BreakIterator* characterIterator() {
    static const std::unique_ptr<icu::BreakIterator> prototype = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> it(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        return U_SUCCESS(status) ? std::move(it) : nullptr;
    }();
    thread_local std::unique_ptr<icu::BreakIterator> local(prototype ? prototype->clone() : nullptr);
    return local.get();
}

// Walks the grapheme boundaries of `s` over the UTF-8 bytes themselves, so
// every boundary is a byte offset. `visit` returns false to stop early.
template <typename Visit>
void forEachBoundary(std::string_view s, Visit visit) {
    icu::BreakIterator* it = characterIterator();
    UErrorCode status = U_ZERO_ERROR;
    UText* ut = utext_openUTF8(nullptr, s.data(), static_cast<int64_t>(s.size()), &status);
    if (!it || U_FAILURE(status)) {
        utext_close(ut);
        // Without ICU data every byte stands alone; better than failing.
        for (size_t i = 1; i <= s.size(); ++i) {
            if (!visit(i)) return;
        }
        return;
    }
    it->setText(ut, status);
    for (int32_t b = it->next(); b != icu::BreakIterator::DONE; b = it->next()) {
        if (!visit(static_cast<size_t>(b))) break;
    }
    // Detach the iterator from the text before the UText goes away.
    it->setText(icu::UnicodeString());
    utext_close(ut);
}

// The first `n` characters of pure ASCII text: every byte is one character
// except that CR LF is one.
size_t asciiPrefixLength(std::string_view s, size_t n) {
    size_t i = 0;
    for (size_t count = 0; count < n && i < s.size(); ++count) {
        i += (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ? 2 : 1;
    }
    return i;
}

std::string icuLower(std::string_view s) {
    std::string out;
    icu::StringByteSink<std::string> sink(&out, static_cast<int32_t>(s.size()));
    UErrorCode status = U_ZERO_ERROR;
    icu::CaseMap::utf8ToLower("", 0, icu::StringPiece(s.data(), static_cast<int32_t>(s.size())), sink, nullptr, status);
    if (U_FAILURE(status)) return std::string(s);
    return out;
}

constexpr UChar32 kCapitalSigma = 0x03A3;

// ICU's Changes_When_Lowercased for the Basic Multilingual Plane, copied once
// into a bitmap: the property lookup is the cost of scanning CJK text.
class LowercaseChanges {
public:
    LowercaseChanges() {
        UErrorCode status = U_ZERO_ERROR;
        const USet* set = u_getBinaryPropertySet(UCHAR_CHANGES_WHEN_LOWERCASED, &status);
        if (U_FAILURE(status)) {
            for (UChar32 c = 0; c < 0x10000; ++c) {
                if (u_hasBinaryProperty(c, UCHAR_CHANGES_WHEN_LOWERCASED)) mark(c);
            }
            return;
        }
        for (int32_t item = 0, count = uset_getItemCount(set); item < count; ++item) {
            UChar32 first = 0, last = -1;
            status = U_ZERO_ERROR;
            if (uset_getItem(set, item, &first, &last, nullptr, 0, &status) != 0) continue;  // a string
            for (UChar32 c = first; c <= last && c < 0x10000; ++c) mark(c);
        }
    }
    [[nodiscard]] bool contains(UChar32 c) const {
        if (c >= 0x10000) return u_hasBinaryProperty(c, UCHAR_CHANGES_WHEN_LOWERCASED);
        return (bits_[static_cast<size_t>(c) >> 6] >> (c & 63)) & 1;
    }

private:
    void mark(UChar32 c) { bits_[static_cast<size_t>(c) >> 6] |= uint64_t{1} << (c & 63); }
    uint64_t bits_[0x10000 / 64] = {};
};

bool changesWhenLowercased(UChar32 c) {
    static const LowercaseChanges table;
    return table.contains(c);
}

}  // namespace

bool isValidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    const size_t length = s.size();
    size_t i = 0;
    while (i < length) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        UChar32 c;
        U8_NEXT(p, i, length, c);
        if (c < 0) return false;
    }
    return true;
}

std::string decodeLossy(std::string_view s) {
    if (isValidUtf8(s)) return std::string(s);
    std::string out;
    out.reserve(s.size() + 16);
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    const size_t length = s.size();
    size_t i = 0;
    while (i < length) {
        size_t start = i;
        UChar32 c;
        // U8_NEXT consumes one maximal ill-formed subpart at a time.
        U8_NEXT(p, i, length, c);
        if (c < 0) {
            out.append("\xEF\xBF\xBD");
        } else {
            out.append(s.data() + start, i - start);
        }
    }
    return out;
}

size_t graphemeCount(std::string_view utf8) {
    if (isAscii(utf8)) {
        size_t crlf = 0;
        for (size_t i = 0; i + 1 < utf8.size(); ++i) {
            if (utf8[i] == '\r' && utf8[i + 1] == '\n') ++crlf;
        }
        return utf8.size() - crlf;
    }
    size_t count = 0;
    forEachBoundary(utf8, [&](size_t) {
        ++count;
        return true;
    });
    return count;
}

std::vector<size_t> graphemeBoundaries(std::string_view utf8) {
    std::vector<size_t> result{0};
    if (isAscii(utf8)) {
        for (size_t i = 0; i < utf8.size();) {
            i += asciiPrefixLength(utf8.substr(i), 1);
            result.push_back(i);
        }
        return result;
    }
    forEachBoundary(utf8, [&](size_t b) {
        result.push_back(b);
        return true;
    });
    return result;
}

std::string_view graphemePrefix(std::string_view utf8, size_t n) {
    if (n == 0) return utf8.substr(0, 0);
    if (isAscii(utf8)) return utf8.substr(0, asciiPrefixLength(utf8, n));
    size_t end = utf8.size();
    size_t count = 0;
    forEachBoundary(utf8, [&](size_t b) {
        if (++count < n) return true;
        end = b;
        return false;
    });
    return utf8.substr(0, end);
}

std::string toLowerFull(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    const auto* p = reinterpret_cast<const uint8_t*>(utf8.data());
    const size_t length = utf8.size();
    // Bytes from `copied` up to the current position are still to be copied
    // unchanged; they are appended in one piece when a change comes along.
    size_t copied = 0;
    size_t i = 0;
    while (i < length) {
        uint8_t b = p[i];
        if (b < 0x80) {
            if (b >= 'A' && b <= 'Z') {
                out.append(utf8.data() + copied, i - copied);
                out.push_back(static_cast<char>(b + ('a' - 'A')));
                copied = i + 1;
            }
            ++i;
            continue;
        }
        size_t start = i;
        UChar32 c;
        U8_NEXT(p, i, length, c);
        // Unchanged code points (and ill-formed bytes, which ICU also passes
        // through) stay in the pending run.
        if (c < 0 || !changesWhenLowercased(c)) continue;
        // A capital sigma's form depends on the letters around it, however
        // far away across case-ignorable ones: let ICU see the whole text.
        if (c == kCapitalSigma) return icuLower(utf8);
        // Gather the run of code points that change, so ICU is called once
        // per run; in the root locale nothing but sigma depends on context.
        size_t end = i;
        while (end < length && p[end] >= 0x80) {
            size_t next = end;
            UChar32 d;
            U8_NEXT(p, next, length, d);
            if (d < 0 || !changesWhenLowercased(d)) break;
            if (d == kCapitalSigma) return icuLower(utf8);
            end = next;
        }
        out.append(utf8.data() + copied, start - copied);
        out.append(icuLower(utf8.substr(start, end - start)));
        copied = i = end;
    }
    out.append(utf8.data() + copied, length - copied);
    return out;
}

std::string nfc(std::string_view utf8) {
    if (isAscii(utf8)) return std::string(utf8);
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* normalizer = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status) || utf8.size() > static_cast<size_t>(INT32_MAX)) return std::string(utf8);
    icu::StringPiece piece(utf8.data(), static_cast<int32_t>(utf8.size()));
    if (normalizer->isNormalizedUTF8(piece, status) && U_SUCCESS(status)) return std::string(utf8);
    status = U_ZERO_ERROR;
    std::string out;
    icu::StringByteSink<std::string> sink(&out, static_cast<int32_t>(utf8.size()));
    normalizer->normalizeUTF8(0, piece, sink, nullptr, status);
    if (U_FAILURE(status)) return std::string(utf8);
    return out;
}

std::string_view trimWhitespace(std::string_view utf8) {
    const auto* p = reinterpret_cast<const uint8_t*>(utf8.data());
    const size_t length = utf8.size();
    size_t begin = 0;
    while (begin < length) {
        size_t next = begin;
        UChar32 c;
        U8_NEXT(p, next, length, c);
        if (c < 0 || !u_isUWhiteSpace(c)) break;
        begin = next;
    }
    size_t end = length;
    while (end > begin) {
        // Step back to the lead byte of the last code point, then decode it
        // forwards; it must end exactly where the text does.
        size_t lead = end - 1;
        while (lead > begin && end - lead < 4 && (p[lead] & 0xC0) == 0x80) --lead;
        size_t next = lead;
        UChar32 c;
        U8_NEXT(p, next, end, c);
        if (c < 0 || next != end || !u_isUWhiteSpace(c)) break;
        end = lead;
    }
    return utf8.substr(begin, end - begin);
}

bool isDayShape(std::string_view s) {
    if (s.size() != 10) return false;
    for (size_t i = 0; i < 10; ++i) {
        bool wantDash = (i == 4 || i == 7);
        char c = s[i];
        if (wantDash ? c != '-' : (c < '0' || c > '9')) return false;
    }
    return true;
}

}  // namespace qs::Text
