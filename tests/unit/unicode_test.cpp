// Grapheme counting, full lower-casing against ICU itself, NFC, UTF-8
// validity and repair, trimming and the day shape.
#include "text/unicode.hpp"

#include <gtest/gtest.h>
#include <unicode/uchar.h>    // u_isUWhiteSpace
#include <unicode/unistr.h>   // icu::UnicodeString
#include <unicode/ustring.h>  // u_strToLower

#include <string>  // std::string

namespace qs::text {
namespace {

// The whole text lower-cased by ICU in one call, the result the fast paths
// must reproduce byte for byte.
std::string icuWholeLower(const std::string& s) {
    icu::UnicodeString in = icu::UnicodeString::fromUTF8(s);
    std::u16string out(static_cast<size_t>(in.length()) * 3 + 8, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = u_strToLower(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                             in.getBuffer(), in.length(), "", &status);
    EXPECT_TRUE(U_SUCCESS(status));
    std::string result;
    icu::UnicodeString(reinterpret_cast<const UChar*>(out.data()), n).toUTF8String(result);
    return result;
}

std::string utf8(UChar32 c) {
    std::string s;
    icu::UnicodeString(c).toUTF8String(s);
    return s;
}

// Final sigma and other context-dependent mappings need the whole text.
TEST(ToLowerFull, MatchesWholeTextIcu) {
    for (const char* c : {"", "HELLO World 123", "ΟΔΟΣ ΚΑΙ", "Σ", "ΣΑ", "AΣ.", "ΑΣ'Β", "A\u0301Σ", "ὈΔΥΣΣΕΎΣ",
                          "İstanbul", "ǅǈ", "ẞ", "中文ABC混合Ü", "👍🏽 EMOJI 🇨🇳", "x\u0345Σ\u0345y"}) {
        EXPECT_EQ(toLowerFull(c), icuWholeLower(c)) << c;
    }
    // Runs of every code point, each run lower-cased as one text.
    std::string run;
    for (UChar32 c = 0x20, checked = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        run += utf8(c);
        if (++checked % 500 == 0 || c == 0x10FFFF) {
            ASSERT_EQ(toLowerFull(run), icuWholeLower(run)) << "run ending at U+" << std::hex << c;
            run.clear();
        }
    }
    // Ill-formed bytes pass through unchanged around lower-cased text.
    EXPECT_EQ(toLowerFull("\xF0\x9F\u00C0\xFF" "B"), "\xF0\x9F\u00E0\xFF" "b");
    EXPECT_EQ(toLowerFull("\xFFΣ"), "\xFFσ");
}

TEST(Graphemes, CountsBoundsAndPrefixesUserPerceivedCharacters) {
    const std::pair<std::string, size_t> cases[] = {
        {"", 0},     {"abc", 3},     {"a\r\nb", 3},     {"\n\r", 2},    {"中文", 2},
        {"e\u0301", 1}, {"🇨🇳🇺🇸", 2}, {"👍🏽", 1}, {"👨‍👩‍👧", 1}, {"한국어", 3},
    };
    for (const auto& [text, count] : cases) {
        EXPECT_EQ(graphemeCount(text), count) << text;
        auto bounds = graphemeBoundaries(text);
        ASSERT_EQ(bounds.size(), count + 1) << text;
        EXPECT_EQ(bounds.back(), text.size());
    }
    EXPECT_EQ(graphemeBoundaries("a👍🏽b"), (std::vector<size_t>{0, 1, 9, 10}));
    EXPECT_EQ(graphemePrefix("🇨🇳🇺🇸x", 1), "🇨🇳");
    EXPECT_EQ(graphemePrefix("ab\r\ncd", 3), "ab\r\n");
    EXPECT_EQ(graphemePrefix("abc", 5), "abc");
    EXPECT_EQ(graphemePrefix("中文", 0), "");
}

TEST(Utf8, ValidityAndMaximalSubpartRepair) {
    const std::string r = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> cases[] = {
        {"中文 ✓ 👍", "中文 ✓ 👍"},
        {"a\xFF" "b", "a" + r + "b"},
        {"\xC0\xAF", r + r},                  // overlong "/"
        {"\xED\xA0\x80", r + r + r},          // a surrogate
        {"\xF0\x9F\x98", r},                  // truncated emoji: one subpart
        {"\xF4\x90\x80\x80", r + r + r + r},  // past U+10FFFF
        {std::string("nul\0ok", 6), std::string("nul\0ok", 6)},
    };
    for (const auto& [bytes, repaired] : cases) {
        EXPECT_EQ(isValidUtf8(bytes), bytes == repaired) << repaired;
        EXPECT_EQ(decodeLossy(bytes), repaired);
    }
}

TEST(Nfc, ComposesCanonically) {
    EXPECT_EQ(nfc("e\u0301"), "\u00E9");
    EXPECT_EQ(nfc("\u212B"), "\u00C5");  // Ångström sign is a singleton
    EXPECT_EQ(nfc("한"), "한");
}

TEST(Trim, RemovesUnicodeWhiteSpaceOnly) {
    EXPECT_EQ(trimWhitespace("\u200Bx\u200B"), "\u200Bx\u200B");  // zero-width space is not white space
    EXPECT_EQ(trimWhitespace(" \n "), "");
    EXPECT_EQ(trimWhitespace("\xFF "), "\xFF");
    for (UChar32 c = 0; c <= 0x3000; ++c) {
        if (!u_isUWhiteSpace(c)) continue;
        EXPECT_EQ(trimWhitespace(utf8(c) + "x y" + utf8(c)), "x y") << std::hex << c;
    }
}

TEST(DayShape, AsciiDigitsInTheExactPattern) {
    const std::pair<std::string, bool> cases[] = {
        {"2025-03-02", true},    {"0000-99-99", true},    {"2025-3-02", false},  {"2025-03-2", false},
        {"2025-03-02\n", false}, {" 2025-03-02", false},  {"2025/03/02", false}, {"２０２５-03-02", false},
        {"2025-03-0a", false},   {"", false},             {"2025-03-021", false},
    };
    for (const auto& [text, day] : cases) EXPECT_EQ(isDayShape(text), day) << text;
}

}  // namespace
}  // namespace qs::text
