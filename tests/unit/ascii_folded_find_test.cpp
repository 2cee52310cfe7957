// The block search must agree with lowering the text's A-Z and searching it,
// wherever the match falls relative to the blocks.
#include <gtest/gtest.h>

#include <random>  // std::mt19937
#include <string>  // std::string
#include <vector>  // std::vector

#include "text/unicode.hpp"
#include "timeline/ascii_folded_find.hpp"
#include "timeline/lowercase_search.hpp"

namespace qs {
namespace {

std::string asciiLowered(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return text;
}

bool hasHighByte(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    }
    return false;
}

// Texts of every length up to a few blocks, from pieces that collide with
// the queries' first and last bytes in both cases.
std::string randomText(std::mt19937& random, size_t length) {
    static const std::vector<std::string> pieces = {"a", "A", "b", "B", "z", "Z", " ", "ab", "AB", "zA", "é", "İ", "会", "\n", "@", "`", "[", "{"};
    std::string text;
    while (text.size() < length) text += pieces[random() % pieces.size()];
    return text;
}

TEST(AsciiFoldedFinder, AgreesWithSearchingTheLoweredText) {
    std::mt19937 random(7);
    const std::vector<std::string> queries = {"a", "ab", "aba", "zab", "b a", "abzab", "é", "会a", "@", "[ab", "ab{",
                                              std::string(40, 'a')};
    for (int round = 0; round < 4000; ++round) {
        std::string text = randomText(random, random() % 150);
        for (const std::string& query : queries) {
            bool nonAscii = false;
            bool expected = asciiLowered(text).find(query) != std::string::npos;
            ASSERT_EQ(AsciiFoldedFinder(query).foundIn(text, &nonAscii), expected) << text << " / " << query;
            if (!expected) {
                ASSERT_EQ(nonAscii, hasHighByte(text)) << text;
            }
        }
    }
}

TEST(AsciiFoldedFinder, FindsAMatchAtEveryOffsetOfALongText) {
    for (size_t at = 0; at + 9 <= 200; ++at) {
        std::string text(200, 'x');
        text.replace(at, 9, "ZePHyrInE");
        bool nonAscii = true;
        EXPECT_TRUE(AsciiFoldedFinder("zephyrine").foundIn(text, &nonAscii)) << at;
        EXPECT_FALSE(AsciiFoldedFinder("zephyrinf").foundIn(text, &nonAscii)) << at;
        EXPECT_FALSE(nonAscii);
        text[199 - at % 50] = '\xE4';
        EXPECT_FALSE(AsciiFoldedFinder("zephyrinf").foundIn(text, &nonAscii));
        EXPECT_TRUE(nonAscii) << at;
    }
}

// The needle on texts long enough for the block search, with characters
// whose lower-case forms the ASCII pass cannot see.
TEST(LowercaseNeedle, AgreesWithLowerCasingLongTexts) {
    std::mt19937 random(11);
    const std::vector<std::string> pieces = {"Meeting ", "İSTANBUL ", "会议记录 ", "ΣΟΦΟΣ ", "\u212Aelvin ", "Straße ", "x"};
    const std::vector<std::string> queries = {"meeting", "i̇stanbul", "istanbul", "会议", "σοφος", "kelvin", "ss", "x"};
    std::vector<LowercaseNeedle> needles(queries.begin(), queries.end());
    for (int round = 0; round < 300; ++round) {
        std::string text;
        for (size_t n = random() % 30; n > 0; --n) text += pieces[random() % pieces.size()];
        std::string lowered = text::toLowerFull(text);
        for (size_t q = 0; q < queries.size(); ++q) {
            EXPECT_EQ(needles[q].foundIn(text), lowered.find(queries[q]) != std::string::npos) << text << " / " << queries[q];
        }
    }
}

}  // namespace
}  // namespace qs
