// Unicode services pinned against ICU itself, the case-insensitive search,
// the day shape, and time stamps checked by the civil calendar round trip.
#include <gtest/gtest.h>
#include <unicode/uchar.h>   // u_isUWhiteSpace
#include <unicode/unistr.h>  // icu::UnicodeString

#include <algorithm>  // std::any_of
#include <cmath>      // std::abs, std::floor, NAN
#include <cstdlib>    // setenv
#include <ctime>      // tzset
#include <random>     // std::mt19937

#include "text/ascii_folded_find.hpp"
#include "text/dates.hpp"
#include "text/lowercase_search.hpp"
#include "text/unicode.hpp"

using std::string, std::pair, std::vector;

using namespace qs::Text;

static string utf8(const icu::UnicodeString& s) {
    string out;
    return s.toUTF8String(out);
}
static string repeat(std::string_view unit, int n) { return n > 0 ? string(unit) + repeat(unit, n - 1) : ""; }

// Final sigma and the other context-dependent mappings need the whole text,
// which ICU lower-cases in one call: the fast paths must give that byte for byte.
TEST(ToLowerFull, MatchesIcu) {
    // no locale tailors these
    auto icu = [](const string& s) { return utf8(icu::UnicodeString::fromUTF8(s).toLower()); };
    for (const char* text : {"ΑΣ'Β", "ὈΔΥΣΣΕΎΣ", "A\u0301Σ", "x\u0345Σ\u0345y", "İstanbul"}) EXPECT_EQ(toLowerFull(text), icu(text));
    for (UChar32 first = 0x20; first <= 0x10FFFF; first += 500) {
        // every code point, in runs lower-cased as one text
        icu::UnicodeString run;
        for (UChar32 c = first; c < first + 500 && c <= 0x10FFFF; ++c)
            if (!U_IS_SURROGATE(c)) run.append(c);
        ASSERT_EQ(toLowerFull(utf8(run)), icu(utf8(run))) << std::hex << first;
    }
    // Ill-formed bytes pass through unchanged around lower-cased text.
    EXPECT_EQ(toLowerFull("\xF0\x9F\u00C0\xFF\x42") + toLowerFull("\xFFΣ"), "\xF0\x9F\u00E0\xFF\x62\xFFσ");
}

TEST(Unicode, Utf8RepairNfcTrimAndDayShape) {
    const string r = "\xEF\xBF\xBD", nul("nul\0ok", 6);
    const pair<string, string> cases[] = {{"中文 ✓ 👍", "中文 ✓ 👍"}, {"a\x80\x62", "a" + r + "b"},
        // an overlong "/"
        {"\xC0\xAF", r + r}, {"\xED\xA0\x80", r + r + r}, {"\xF0\x9F\x98", r}, {"\xF4\x90\x80\x80", r + r + r + r}, {nul, nul}};
    for (const auto& [bytes, repaired] : cases) EXPECT_EQ((pair{isValidUtf8(bytes), decodeLossy(bytes)}), (pair{bytes == repaired, repaired}));
    // the Ångström sign is a singleton
    EXPECT_EQ(nfc("e\u0301") + nfc("\u212B") + nfc("한"), "\u00E9\u00C5한");
    EXPECT_EQ(graphemeCount("\r\nab\r\n"), 4u);
    // Trimming takes Unicode white space only; the day shape is ASCII digits in the exact pattern.
    // zero-width space, for one, is not white space
    for (UChar32 c = 0; c <= 0x3000; ++c) {
        const string around = utf8(c) + "x y" + utf8(c);
        EXPECT_EQ(trimWhitespace(around), u_isUWhiteSpace(c) ? "x y" : around) << c;
    }
    for (const char* day : {"2025-03-02", "0000-99-99"}) EXPECT_TRUE(isDayShape(day));
    for (const char* text : {"2025-03-021", "2025/03/02", "2025-03-0a", "2025-03- 2"}) EXPECT_FALSE(isDayShape(text)) << text;
}

// Stamps are UTC whatever the zone, fractions floored (the local day is the
// diary tool's test's). Internet date-times parse, and nothing else does.
TEST(Dates, StampsAndDateTimes) {
    // nothing else here reads the zone
    ::setenv("TZ", "CST-8", 1);
    ::tzset();
    EXPECT_EQ(archiveStamp(Clock::time_point(std::chrono::milliseconds(1740903300999))), "2025-03-02T081500Z");
    // Out of range (not a number, past about three million years) is clamped.
    for (const auto& [seconds, text] : {pair{0.0, "1970-01-01T00:00:00Z"}, {1740903300.9, "2025-03-02T08:15:00Z"}, {-0.5, "1969-12-31T23:59:59Z"},
             {951782400.0, "2000-02-29T00:00:00Z"}, {253402300799.0, "9999-12-31T23:59:59Z"}, {-62167219200.0, "0000-01-01T00:00:00Z"},
             {NAN, "1970-01-01T00:00:00Z"}, {-1e300, "-3166904-02-24T14:13:20Z"}}) {
        EXPECT_EQ(isoUtc(seconds), text) << seconds;
        if (std::abs(seconds) < 1e14) {
            EXPECT_EQ(parseIsoDateTime(text), std::floor(seconds)) << text;
        }
    }
    // A row that starts with the time is on 1970-01-01.
    for (const auto& [text, seconds] : {pair{"08:00:00+08:00", 0.0}, {"1969-12-31T18:15:00-05:45", 0.0}, {"23:59:00+23:59", 0.0},
             {"00:00:00.250Z", 0.25}, {"00:00:00.999999999Z", 0.999999999}, {"2024-02-29T00:00:00Z", 1709164800.0},
             {"00:00:00.12345678901234567Z", 0.123456789012345}, {"08:00:00+0800", 0.0}, {"08:00:00+08", 0.0}})
        EXPECT_EQ(parseIsoDateTime(text[2] == ':' ? "1970-01-01T" + string(text) : text), seconds) << text;
    // A row that starts with its offset follows 2025-03-02T08:15:00.
    for (const string text : {"", "Z ", "2025-02-29T00:00:00Z", "2100-02-29T00:00:00Z", "+080", "+08:0", "+08:000", "+8"})
        EXPECT_FALSE(parseIsoDateTime(text.size() < 9 ? "2025-03-02T08:15:00" + text : text)) << text;
    // Out of range: month, day, hour, minute, second, offset hours and minutes.
    const string base = "2025-03-02T16:15:00+08:00";
    for (const auto& [at, digits] : {pair{5, "00"}, {5, "13"}, {8, "00"}, {11, "24"}, {14, "60"}, {17, "60"}, {20, "24"}, {23, "60"}})
        EXPECT_FALSE(parseIsoDateTime(base.substr(0, at) + digits + base.substr(at + 2))) << at << digits;
    // Any one character replaced by one below '0' or above '9' breaks the shape.
    for (const string& text : {base, string("2025-03-02T08:15:00.5Z")})
        for (size_t i = 0; i < text.size() * 2; ++i)
            EXPECT_FALSE(parseIsoDateTime(text.substr(0, i / 2) + "/x"[i % 2] + text.substr(i / 2 + 1))) << text << i;
}

// The search agrees with lowering the text and searching it, wherever a hit
// falls relative to the blocks of its ASCII pass, which tells in the same
// pass whether the text holds a watched byte. Forms that share a letter with
// the query out of place ("İ" is "i" + U+0307) neither hide hits nor make them.
TEST(LowercaseNeedle, AgreesWithLowering) {
    vector<string> haystacks = {"Team MEETING notes", "今天的会议记录，很长", "CAFÉ AU LAIT", "İstanbul", "\u212Aelvin", "ΣΟΦΟΣ ΚΑΙ", "ΑΣ", "AΣ B",
        "Straße", "ǅungla", "ＡＢＣ全角", "", "ZEPHYRINE İ", "ZEPHYRİNE", "\u212AİX"};
    const vector<string> pieces = {"a", "A", "b", "B", "z", "Z", " ", "ab", "AB", "zA", "é", "İ", "会", "\n", "@", "`", "[", "{", "Meeting ",
        "İSTANBUL ", "会议记录 ", "ΣΟΦΟΣ ", "\u212Aelvin ", "Straße ", "x"};
    std::mt19937 random(7);
    const vector<string> queries = {"a", "ab", "aba", "zab", "b a", "abzab", "é", "会a", "@", "[ab", "ab{", string(40, 'a'), "会", "会会", "é会",
        "会ab", "éb会", string(repeat("会", 14)), "meeting", "会议", "café", "i̇stanbul", "istanbul", "kelvin", "σοφος", "σοφοσ", "σοφος και", "ss",
        "ς", "aς b", "ǆungla", "ａｂｃ", "abc", " ", "x", "zephyrine", "zephyri", "\u0307ne", "ki"};
    const vector<LowercaseNeedle> needles(queries.begin(), queries.end());
    const AsciiFoldedFinder::ByteRange ranges[] = {{0x80, 0xFF}, {0xC3, 0xC4}, {'@', '@'}, {'\n', ' '}};
    // the listed texts, then random ones
    for (size_t t = 0; t < haystacks.size() + 4000; ++t) {
        string text = t < haystacks.size() ? haystacks[t] : "";
        for (size_t length = t < haystacks.size() ? 0 : random() % 150; text.size() < length;) text += pieces[random() % pieces.size()];
        const string lowered = toLowerFull(text);
        const AsciiFoldedFinder::ByteRange range = ranges[t % 4];
        const bool inRange = std::ranges::any_of(text, [&](unsigned char c) { return c >= range.low && c <= range.high; });
        for (size_t q = 0; q < queries.size(); ++q) {
            bool seen = !inRange;
            ASSERT_EQ(needles[q].foundIn(text), lowered.find(queries[q]) != string::npos) << text << " / " << queries[q];
            ASSERT_TRUE(AsciiFoldedFinder(queries[q]).foundIn(text, range, seen) || seen == inRange) << text << " / " << queries[q];
        }
    }
}

// Every part of what a changing character becomes, the character alone,
// between letters and at the edges, is found.
TEST(LowercaseNeedle, EveryCodePoint) {
    auto starts = [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; };
    for (UChar32 c = 0x80; c <= 0x10FFFF; ++c) {
        string text;
        if (c < 0xD800 || c > 0xDFFF) icu::UnicodeString(c).toUTF8String(text);
        if (text.empty() || toLowerFull(text) == text) continue;
        for (const string& context : {"x" + text + "y", "A" + text + " ", text}) {
            const string low = toLowerFull(context);
            for (size_t a = 0; a < low.size(); ++a) {
                for (size_t b = a + 1; b <= low.size(); ++b) {
                    if (!starts(low[a]) || (b < low.size() && !starts(low[b]))) continue;
                    ASSERT_TRUE(LowercaseNeedle(low.substr(a, b - a)).foundIn(context)) << std::hex << c << " " << a << " " << b;
                }
            }
        }
    }
}
