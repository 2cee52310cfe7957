// The index's text search: the block search must agree with lowering the
// text's A-Z and searching it wherever the match falls relative to the blocks,
// and filtering while loading, or through a kept index's trigram slices, must
// agree with searching afterwards.
#include <gtest/gtest.h>

#include <random>  // std::mt19937
#include <string>  // std::string
#include <vector>  // std::vector

#include "json/json.hpp"
#include "text/unicode.hpp"
#include "timeline/ascii_folded_find.hpp"
#include "timeline/dashboard_index.hpp"
#include "timeline/lowercase_search.hpp"
#include "timeline/trigram_slices.hpp"

namespace qs {
namespace {

std::string asciiLowered(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return text;
}

bool hasByteIn(const std::string& text, AsciiFoldedFinder::ByteRange range) {
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= range.low && byte <= range.high) return true;
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
                                              std::string(40, 'a'), "会", "会会", "é会", "会ab", "İb会",
                                              "会会会会会会会会会会会会会会"};
    // Ranges that catch the text's bytes now and then, at any place.
    const std::vector<AsciiFoldedFinder::ByteRange> watched = {{0x80, 0xFF}, {0xC3, 0xC4}, {'@', '@'}, {'\n', ' '}};
    for (int round = 0; round < 4000; ++round) {
        std::string text = randomText(random, random() % 150);
        AsciiFoldedFinder::ByteRange range = watched[round % watched.size()];
        for (const std::string& query : queries) {
            bool seen = false;
            bool expected = asciiLowered(text).find(query) != std::string::npos;
            ASSERT_EQ(AsciiFoldedFinder(query).foundIn(text), expected) << text << " / " << query;
            ASSERT_EQ(AsciiFoldedFinder(query).foundIn(text, range, seen), expected) << text << " / " << query;
            if (!expected) {
                ASSERT_EQ(seen, hasByteIn(text, range)) << text;
            }
        }
    }
}

TEST(AsciiFoldedFinder, FindsAMatchAtEveryOffsetOfALongText) {
    for (size_t at = 0; at + 9 <= 200; ++at) {
        std::string text(200, 'x');
        text.replace(at, 9, "ZePHyrInE");
        const AsciiFoldedFinder::ByteRange nonAscii{0x80, 0xFF};
        bool seen = true;
        EXPECT_TRUE(AsciiFoldedFinder("zephyrine").foundIn(text)) << at;
        EXPECT_FALSE(AsciiFoldedFinder("zephyrinf").foundIn(text, nonAscii, seen)) << at;
        EXPECT_FALSE(seen);
        text[199 - at % 50] = '\xE4';
        EXPECT_FALSE(AsciiFoldedFinder("zephyrinf").foundIn(text, nonAscii, seen));
        EXPECT_TRUE(seen) << at;
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

TEST(DashboardIndex, FilteringWhileLoadingFindsWhatSearchFinds) {
    Json items = Json::array({7, Json{{"title", "no id"}}});
    std::mt19937 random(3);
    const std::vector<std::string> texts = {"Weekly MEETING", "会议记录", "İstanbul trip", "", "meeting\nnotes",
                                            "ΟΔΟΣ ΚΑΙ", "\u212Aelvin"};
    for (int i = 0; i < 60; ++i) {
        items.push_back({{"id", "id" + std::to_string(i % 45)}, {"type", i % 3 ? "voice" : "text"},
                         {"date", "2025-03-0" + std::to_string(1 + i % 7) + "T10:00:00Z"},
                         {"content", texts[random() % texts.size()]}, {"tags", Json::array({texts[random() % texts.size()]})}});
    }
    // A repeated "feedItems" counts with its last value, picks included.
    std::string document = R"({"feedItems":[{"id":"gone","content":"meeting"}],"feedItems":)" + items.dump() + "}";
    using Filter = DashboardIndex::SearchFilter;
    const std::vector<Filter> filters = {
        {}, {"MEETING", {}, {}, {}}, {"istanbul", "voice", {}, {}}, {"会议", {}, "2025-03-03", "2025-03-05"},
        {"", "", "", ""}, {{}, "voice", "2025-03-07", "2025-03-01"}, {" ", "text", {}, {}},
        {"οδος", {}, {}, {}}, {"ΟΔΟΣ", {}, {}, {}}, {"kelvin", {}, {}, {}}, {"i̇stanbul", {}, {}, {}}, {"ng\nno", {}, {}, {}},
    };
    auto ids = [](const std::vector<const FeedItem*>& found) {
        std::vector<std::string> out;
        for (const FeedItem* item : found) out.emplace_back(item->id);
        return out;
    };
    auto plain = DashboardIndex::parse(document);
    ASSERT_TRUE(plain);
    const TrigramSlices slices(plain->items);
    for (const Filter& f : filters) {
        auto filtered = DashboardIndex::parse(document, f);
        ASSERT_TRUE(filtered);
        for (int64_t limit : {-1, 5, 1000}) {
            EXPECT_EQ(ids(filtered->found(limit)), ids(plain->search(f.query, f.type, f.dateFrom, f.dateTo, limit)))
                << f.query.value_or("-") << " " << f.type.value_or("-") << " " << limit;
            // A kept index narrowed by its trigram slices answers the same.
            EXPECT_EQ(ids(plain->search(f, limit, slices)), ids(filtered->found(limit))) << f.query.value_or("-");
        }
    }
    EXPECT_TRUE(plain->found(10).empty());  // no filter given, nothing picked
}

}  // namespace
}  // namespace qs
