// Grapheme counting, full lower-casing against ICU itself, NFC, UTF-8
// validity and repair, trimming and the day shape.
#include "text/unicode.hpp"

#include <gtest/gtest.h>
#include <unicode/uchar.h>   // u_isUWhiteSpace
#include <unicode/unistr.h>  // icu::UnicodeString
#include <unicode/ustring.h> // u_strToLower

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

TEST(ToLowerFull, MatchesWholeTextIcuOnTrickyTexts) {
    const char* cases[] = {
        "", "HELLO World 123", "ΟΔΟΣ", "ΟΔΟΣ ΚΑΙ", "Σ", "ΣΑ", "AΣ.", "ΑΣ'Β", "A\u0301Σ", "ΣΣΣ", "ὈΔΥΣΣΕΎΣ",
        "İstanbul", "DİYARBAKIR", "ÀÉÎÕÜ", "ǅǈ", "ẞ", "Ω K Å", "中文ABC混合Ü", "👍🏽 EMOJI 🇨🇳", "Abc ΑΣ def",
        "x\u0345Σ\u0345y", "İİI", "\u1E9E\u00DF",
    };
    for (const char* c : cases) EXPECT_EQ(toLowerFull(c), icuWholeLower(c)) << c;
    // Ill-formed bytes pass through unchanged around lower-cased text.
    EXPECT_EQ(toLowerFull("A\xCC"), "a\xCC");
    EXPECT_EQ(toLowerFull("\xF0\x9F\u00C0\xFF" "B"), "\xF0\x9F\u00E0\xFF" "b");
    EXPECT_EQ(toLowerFull("\xFFΣ"), "\xFFσ");
}

TEST(ToLowerFull, MatchesWholeTextIcuForEveryCodePoint) {
    // Runs of code points, each run lower-cased as one text; a Σ anywhere in
    // a run exercises the whole-text path with real neighbours.
    std::string run;
    size_t checked = 0;
    for (UChar32 c = 0x20; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        run += utf8(c);
        if (++checked % 500 == 0 || c == 0x10FFFF) {
            ASSERT_EQ(toLowerFull(run), icuWholeLower(run)) << "run ending at U+" << std::hex << c;
            run.clear();
        }
    }
}

TEST(Graphemes, CountsUserPerceivedCharacters) {
    struct Case {
        std::string text;
        size_t count;
    } cases[] = {
        {"", 0},          {"abc", 3},         {"a\r\nb", 3},      {"\r\n\r\n", 2}, {"\n\r", 2},
        {"中文", 2},      {"e\u0301", 1},     {"🇨🇳🇺🇸", 2},       {"👍🏽", 1},       {"👨‍👩‍👧", 1},
        {"a\u0308\u0301b", 2}, {"한국어", 3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(graphemeCount(c.text), c.count) << c.text;
        auto bounds = graphemeBoundaries(c.text);
        ASSERT_EQ(bounds.size(), c.count + 1) << c.text;
        EXPECT_EQ(bounds.front(), 0u);
        EXPECT_EQ(bounds.back(), c.text.size());
    }
    EXPECT_EQ(graphemeBoundaries("a👍🏽b"), (std::vector<size_t>{0, 1, 9, 10}));
    EXPECT_EQ(graphemeBoundaries("a\r\nb"), (std::vector<size_t>{0, 1, 3, 4}));
}

TEST(Graphemes, PrefixNeverSplitsACharacter) {
    EXPECT_EQ(graphemePrefix("👍🏽ab", 1), "👍🏽");
    EXPECT_EQ(graphemePrefix("🇨🇳🇺🇸x", 1), "🇨🇳");
    EXPECT_EQ(graphemePrefix("ab\r\ncd", 3), "ab\r\n");
    EXPECT_EQ(graphemePrefix("abc", 5), "abc");
    EXPECT_EQ(graphemePrefix("中文", 0), "");
    EXPECT_EQ(graphemePrefix("e\u0301f", 1), "e\u0301");
}

TEST(Utf8, ValidityAndMaximalSubpartRepair) {
    const std::string r = "\xEF\xBF\xBD";
    struct Case {
        std::string bytes;
        std::string repaired;
    } cases[] = {
        {"plain", "plain"},
        {"中文 ✓ 👍", "中文 ✓ 👍"},
        {"a\xFF" "b", "a" + r + "b"},
        {"\xC0\xAF", r + r},                       // overlong "/"
        {"\xED\xA0\x80", r + r + r},               // a surrogate
        {"\xF0\x9F\x98", r},                       // truncated emoji: one subpart
        {"\xF4\x90\x80\x80", r + r + r + r},       // past U+10FFFF
        {"\xE4\xB8" "x", r + "x"},
        {std::string("nul\0ok", 6), std::string("nul\0ok", 6)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isValidUtf8(c.bytes), c.bytes == c.repaired) << c.repaired;
        EXPECT_EQ(decodeLossy(c.bytes), c.repaired);
        EXPECT_TRUE(isValidUtf8(decodeLossy(c.bytes)));
    }
}

TEST(Nfc, ComposesCanonically) {
    EXPECT_EQ(nfc("e\u0301"), "\u00E9");
    EXPECT_EQ(nfc("A\u030A"), "\u00C5");
    EXPECT_EQ(nfc("\u212B"), "\u00C5");  // Ångström sign is a singleton
    EXPECT_EQ(nfc("plain ascii"), "plain ascii");
    EXPECT_EQ(nfc("한"), "한");
}

TEST(Trim, RemovesUnicodeWhiteSpaceAndLineBreaksOnly) {
    EXPECT_EQ(trimWhitespace(" \t\r\n\u3000abc def\u00A0\u2028\u0085 "), "abc def");
    EXPECT_EQ(trimWhitespace("\u200Bx\u200B"), "\u200Bx\u200B");  // zero-width space is not white space
    EXPECT_EQ(trimWhitespace(" \n "), "");
    EXPECT_EQ(trimWhitespace(""), "");
    EXPECT_EQ(trimWhitespace("中文"), "中文");
    EXPECT_EQ(trimWhitespace("\xFF "), "\xFF");
    EXPECT_EQ(trimWhitespace(" \x80"), "\x80");
    // Every White_Space code point is trimmed from both ends.
    for (UChar32 c = 0; c <= 0x3000; ++c) {
        if (!u_isUWhiteSpace(c)) continue;
        EXPECT_EQ(trimWhitespace(utf8(c) + "x" + utf8(c)), "x") << std::hex << c;
    }
}

TEST(DayShape, AsciiDigitsInTheExactPattern) {
    struct Case {
        std::string text;
        bool day;
    } cases[] = {
        {"2025-03-02", true},   {"0000-99-99", true},   {"2025-3-02", false},  {"2025-03-2", false},
        {"2025-03-02\n", false}, {" 2025-03-02", false}, {"2025/03/02", false}, {"２０２５-03-02", false},
        {"2025-03-0a", false},  {"", false},            {"drafts", false},     {"2025-03-021", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isDayShape(c.text), c.day) << c.text;
}

}  // namespace
}  // namespace qs::text
