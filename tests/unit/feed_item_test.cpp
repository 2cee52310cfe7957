// Feed item rules: tolerant fields, the derived day, titles, summaries, matching.
#include <gtest/gtest.h>

#include <climits>  // INT64_MAX, INT64_MIN
#include <string>   // std::string
#include <vector>   // std::vector

#include "text/unicode.hpp"
#include "timeline/dashboard_index.hpp"
#include "timeline/lowercase_search.hpp"

namespace qs {
namespace {

using Texts = std::vector<std::string>;

// Items are views into their index, so the index travels with them.
struct Loaded {
    DashboardIndex index;
    const FeedItem& only() const { return index.items.at(0); }
};

Loaded load(const Json& entries) {
    auto index = DashboardIndex::parse(Json{{"feedItems", entries}}.dump());
    if (!index) throw std::runtime_error("fixture is not an index");
    return Loaded{std::move(*index)};
}

Loaded one(const Json& entry) {
    Loaded loaded = load(Json::array({entry}));
    EXPECT_EQ(loaded.index.items.size(), 1u) << entry.dump();
    return loaded;
}

Texts texts(FeedItem::TextList list) { return {list.begin(), list.end()}; }

std::string repeat(std::string_view unit, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += unit;
    return out;
}

TEST(FeedItem, MissingOrMistypedFieldsTakeTheirDefaults) {
    const Json entries = Json::array({
        {{"id", "x"}},
        {{"id", "x"}, {"type", 5}, {"date", Json::object()}, {"title", 3}, {"content", Json::array()}, {"source", false},
         {"outputRelPath", 1}, {"processingState", nullptr}, {"tags", "a"}, {"people", {{"a", 1}}}, {"importance", "5"}},
    });
    Loaded loaded = load(entries);
    ASSERT_EQ(loaded.index.items.size(), 2u);
    for (const FeedItem& item : loaded.index.items) {
        EXPECT_EQ(item.type, "text");
        EXPECT_EQ(item.dateISO, "");
        EXPECT_EQ(item.day, "");
        EXPECT_FALSE(item.title || item.source || item.outputRelPath || item.processingState);
        EXPECT_EQ(item.content, "");
        EXPECT_TRUE(item.tags.empty() && item.people.empty() && item.projects.empty() && item.extractedTasks.empty());
        EXPECT_EQ(item.importance, 3);
    }
}

TEST(FeedItem, EntriesWithoutAUsableIdAreDroppedAndListsKeepOnlyTheirStrings) {
    Loaded loaded = load(Json::array({{{"id", 42}}, {{"id", ""}}, {{"id", nullptr}}, {{"title", "no id"}},
                                      {{"id", "kept"}, {"tags", {"a", 1, nullptr, "b", {"c"}, ""}},
                                       {"people", {"张三"}}, {"extractedTasks", {true, "do it"}}}}));
    ASSERT_EQ(loaded.index.items.size(), 1u);
    EXPECT_EQ(loaded.only().id, "kept");
    EXPECT_EQ(texts(loaded.only().tags), (Texts{"a", "b", ""}));
    EXPECT_EQ(texts(loaded.only().people), Texts{"张三"});
    EXPECT_EQ(texts(loaded.only().extractedTasks), Texts{"do it"});
}

TEST(FeedItem, ImportanceIsAnyNumberTruncatedTowardZero) {
    const std::pair<const char*, int64_t> cases[] = {
        {"4.9", 4},   {"-7.9", -7},       {"\"5\"", 3},         {"true", 1},         {"false", 0},
        {"null", 3},  {"1e2", 100},       {"-0.5", 0},          {"1e30", INT64_MAX}, {"-1e30", INT64_MIN},
        {"1e400", INT64_MAX}, {"12345678901234567890", INT64_MAX}, {"-9223372036854775808", INT64_MIN},
    };
    for (const auto& [raw, expected] : cases) {
        auto index = DashboardIndex::parse(std::string(R"({"feedItems":[{"id":"x","importance":)") + raw + "}]}");
        ASSERT_TRUE(index && index->items.size() == 1) << raw;
        EXPECT_EQ(index->items[0].importance, expected) << raw;
    }
}

TEST(FeedItem, DayComesFromTheOutputFolderElseTheDate) {
    const std::string date = "2025-03-02T08:15:00+08:00";
    const std::tuple<Json, std::string, std::string> cases[] = {  // outputRelPath (null: absent), date, day
        {nullptr, date, "2025-03-02"},
        {"outputs/2025-03-04/abc.min.md", "2025-01-01T00:00:00Z", "2025-03-04"},
        {"/x.md", date, "2025-03-02"},
        {"outputs/misc/abc.min.md", date, "2025-03-02"},
        {"a//2025-03-06//x.txt", date, "2025-03-06"},
        {"2025-3-5/x.txt", date, "2025-03-02"},
        {"2025-03-07/", date, "2025-03-02"},  // one piece once the empty ones go
        {5, date, "2025-03-02"},              // not a text: absent
        {nullptr, "2025", "2025"},
        // Characters, not bytes: a combining accent belongs to the tenth one.
        {nullptr, "2025-03-02\u0301T08", "2025-03-02\u0301"},
        {nullptr, repeat("🇨🇳", 11), repeat("🇨🇳", 10)},
    };
    for (const auto& [outputRelPath, dateText, day] : cases) {
        Json entry = {{"id", "x"}, {"date", dateText}};
        if (!outputRelPath.is_null()) entry["outputRelPath"] = outputRelPath;
        EXPECT_EQ(one(entry).only().day, day) << entry.dump();
    }
}

// A given title is trimmed (ideographic space too) and may become empty;
// otherwise the first non-empty content line, cut to 60 characters.
TEST(FeedItem, DisplayTitleFallsBackToTheFirstContentLine) {
    const std::tuple<Json, std::string, std::string> cases[] = {  // title (null: absent), content, shown
        {"  Given\t\n", "content", "Given"},
        {"\u3000标题\u3000", "", "标题"},
        {"  \n", "from content", "from content"},
        {nullptr, "\n\nfirst line\nsecond", "first line"},
        {nullptr, "\n\n\n", "(无标题)"},
        {"", "", "(无标题)"},
        {nullptr, repeat("会", 80), repeat("会", 60)},
        {nullptr, repeat("🇨🇳", 61) + "\nrest", repeat("🇨🇳", 60)},
        {nullptr, "   \nsecond", "   "},
        {nullptr, "a\r\nb\nc", "a\r\nb"},  // a CR LF pair is one character that is no line feed
    };
    for (const auto& [title, content, shown] : cases) {
        Json entry = {{"id", "x"}, {"content", content}};
        if (!title.is_null()) entry["title"] = title;
        EXPECT_EQ(one(entry).only().displayTitle(), shown) << entry.dump();
    }
    EXPECT_EQ(one({{"id", "x"}, {"title", "  \n"}}).only().title, "");
}

TEST(FeedItem, SummaryHoldsOnlyWhatTheItemHasWithASnippetCutInCharacters) {
    EXPECT_EQ(one({{"id", "x"}, {"date", "2025-03-02T08:15:00+08:00"}}).only().summaryDict(180),
              (Json{{"id", "x"}, {"type", "text"}, {"date", "2025-03-02"}, {"title", "(无标题)"}}));
    Loaded full = one({{"id", "y"}, {"type", "voice"}, {"title", "T"}, {"content", "a\nb"}, {"source", ""},
                       {"tags", {"t"}}, {"people", {"p"}}, {"projects", {"q"}}, {"outputRelPath", "outputs/2025-03-04/y.tr.txt"}});
    EXPECT_EQ(full.only().summaryDict(180),
              (Json{{"id", "y"}, {"type", "voice"}, {"date", "2025-03-04"}, {"title", "T"}, {"snippet", "a b"},
                    {"source", ""}, {"tags", {"t"}}, {"people", {"p"}}, {"projects", {"q"}}}));
    Loaded longer = one({{"id", "x"}, {"content", repeat("👍🏽", 130) + "\n" + repeat("字", 100)}});
    EXPECT_EQ(longer.only().summaryDict(120)["snippet"], repeat("👍🏽", 120));
    EXPECT_EQ(longer.only().summaryDict(180)["snippet"], repeat("👍🏽", 130) + " " + repeat("字", 49));
}

TEST(FeedItem, MatchesTitleContentIdAndListsButNothingElse) {
    Loaded loaded = load(Json::array({
        {{"id", "a"}, {"title", "Team MEETING notes"}},
        {{"id", "b"}, {"tags", {"x", "meetings"}}},
        {{"id", "weekly-meeting-3"}},
        {{"id", "d"}, {"content", "the Meeting went long"}},
        {{"id", "e"}, {"people", {"Meeting Room"}}},
        {{"id", "f"}, {"projects", {"MEETING"}}},
        {{"id", "g"}, {"source", "meeting"}, {"type", "meeting"}, {"processingState", "meeting"},
         {"extractedTasks", {"meeting"}}, {"date", "meeting"}},
        {{"id", "h"}, {"title", ""}, {"content", "meet ing"}},
    }));
    Texts hits;
    for (const FeedItem& item : loaded.index.items) {
        if (item.matches("meeting")) hits.emplace_back(item.id);
    }
    EXPECT_EQ(hits, (Texts{"a", "b", "weekly-meeting-3", "d", "e", "f"}));
}

TEST(LowercaseNeedle, AgreesWithLowerCasingTheWholeText) {
    const Texts haystacks = {"Team MEETING notes", "今天的会议记录，很长", "CAFÉ AU LAIT", "İstanbul", "\u212Aelvin",
                             "ΣΟΦΟΣ ΚΑΙ", "ΑΣ", "AΣ B", "Straße", "ǅungla", "ＡＢＣ全角", ""};
    const Texts needles = {"meeting", "会议", "café", "i̇stanbul", "istanbul", "kelvin", "σοφος", "σοφοσ",
                           "σοφος και", "ss", "ς", "aς b", "ǆungla", "ａｂｃ", "abc", " "};
    for (const auto& text : haystacks) {
        std::string lowered = text::toLowerFull(text);
        for (const auto& needle : needles) {
            EXPECT_EQ(LowercaseNeedle(needle).foundIn(text), lowered.find(needle) != std::string::npos) << text << " / " << needle;
        }
    }
}

// The search skips ICU for texts without characters that lower-casing
// changes; every character it changes must still be found.
TEST(LowercaseNeedle, FindsTheLowerCaseOfEveryCodePoint) {
    for (char32_t c = 0x80; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        std::string text;
        if (c < 0x800) {
            text = {char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
        } else if (c < 0x10000) {
            text = {char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
        } else {
            text = {char(0xF0 | (c >> 18)), char(0x80 | ((c >> 12) & 0x3F)), char(0x80 | ((c >> 6) & 0x3F)),
                    char(0x80 | (c & 0x3F))};
        }
        std::string lowered = text::toLowerFull(text);
        if (lowered == text) continue;
        // Every query a hit of which overlaps what the character becomes,
        // between letters and at the edges: alone it holds no hit in ASCII.
        for (const std::string& context : {"x" + text + "y", "A" + text + " ", text}) {
            std::string low = text::toLowerFull(context);
            std::vector<size_t> starts;  // code point starts in `low`
            for (size_t i = 0; i < low.size(); ++i) {
                if ((static_cast<unsigned char>(low[i]) & 0xC0) != 0x80) starts.push_back(i);
            }
            starts.push_back(low.size());
            // The lowered character sits between the first and the last code point.
            const bool framed = context.size() > text.size();
            size_t formFrom = framed ? starts[1] : 0, formTo = framed ? starts[starts.size() - 2] : low.size();
            for (size_t a = 0; a + 1 < starts.size(); ++a) {
                for (size_t b = a + 1; b < starts.size(); ++b) {
                    if (starts[b] <= formFrom || starts[a] >= formTo) continue;
                    std::string query = low.substr(starts[a], starts[b] - starts[a]);
                    ASSERT_TRUE(LowercaseNeedle(query).foundIn(context)) << std::hex << uint32_t(c) << " / " << query;
                }
            }
        }
    }
}

// A character whose lower-case form shares a letter with the query but
// cannot overlap a hit must not send texts to the slow path, and must not
// hide hits either.
TEST(LowercaseNeedle, FormsThatShareALetterOutOfPlace) {
    // "İ" becomes "i" + U+0307; "zephyrine" has "n" after its "i".
    EXPECT_TRUE(LowercaseNeedle("zephyrine").foundIn("ZEPHYRINE İ"));
    EXPECT_FALSE(LowercaseNeedle("zephyrine").foundIn("ZEPHYRİNE"));
    EXPECT_TRUE(LowercaseNeedle("zephyri").foundIn("ZEPHYRİNE"));
    EXPECT_TRUE(LowercaseNeedle("\u0307ne").foundIn("ZEPHYRİNE"));
    EXPECT_TRUE(LowercaseNeedle("ki").foundIn("\u212AİX"));
}

}  // namespace
}  // namespace qs
