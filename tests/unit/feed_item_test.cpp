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

std::vector<std::string> texts(FeedItem::TextList list) { return {list.begin(), list.end()}; }

std::string repeat(std::string_view unit, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += unit;
    return out;
}

TEST(FeedItem, EntryWithOnlyAnIdTakesEveryDefault) {
    Loaded loaded = one({{"id", "x"}});
    const FeedItem& item = loaded.only();
    EXPECT_EQ(item.id, "x");
    EXPECT_EQ(item.type, "text");
    EXPECT_EQ(item.dateISO, "");
    EXPECT_EQ(item.day, "");
    EXPECT_FALSE(item.title);
    EXPECT_EQ(item.content, "");
    EXPECT_FALSE(item.source);
    EXPECT_TRUE(item.tags.empty() && item.people.empty() && item.projects.empty() && item.extractedTasks.empty());
    EXPECT_FALSE(item.outputRelPath);
    EXPECT_FALSE(item.processingState);
    EXPECT_EQ(item.importance, 3);
}

TEST(FeedItem, EntriesWithoutAUsableIdAreDropped) {
    Loaded loaded = load(Json::array({{{"id", 42}}, {{"id", ""}}, {{"id", nullptr}}, {{"id", Json::array({"a"})}},
                                      {{"title", "no id"}}, {{"id", "kept"}}}));
    ASSERT_EQ(loaded.index.items.size(), 1u);
    EXPECT_EQ(loaded.only().id, "kept");
}

TEST(FeedItem, MistypedFieldsFallBackToDefaults) {
    Loaded loaded = one({{"id", "x"}, {"type", 5}, {"date", Json::object()}, {"title", 3}, {"content", Json::array()},
                         {"source", false}, {"outputRelPath", 1}, {"processingState", nullptr}, {"tags", "a"},
                         {"people", Json::object({{"a", 1}})}});
    const FeedItem& item = loaded.only();
    EXPECT_EQ(item.type, "text");
    EXPECT_EQ(item.dateISO, "");
    EXPECT_FALSE(item.title);
    EXPECT_EQ(item.content, "");
    EXPECT_FALSE(item.source);
    EXPECT_FALSE(item.outputRelPath);
    EXPECT_FALSE(item.processingState);
    EXPECT_TRUE(item.tags.empty());
    EXPECT_TRUE(item.people.empty());
}

TEST(FeedItem, ListsKeepOnlyTheirStringsInOrder) {
    Loaded loaded = one({{"id", "x"},
                         {"tags", Json::array({"a", 1, nullptr, "b", Json::array({"c"}), ""})},
                         {"people", Json::array({"张三"})},
                         {"projects", Json::array()},
                         {"extractedTasks", Json::array({true, "do it"})}});
    const FeedItem& item = loaded.only();
    EXPECT_EQ(texts(item.tags), (std::vector<std::string>{"a", "b", ""}));
    EXPECT_EQ(texts(item.people), (std::vector<std::string>{"张三"}));
    EXPECT_TRUE(item.projects.empty());
    EXPECT_EQ(texts(item.extractedTasks), (std::vector<std::string>{"do it"}));
}

TEST(FeedItem, ImportanceIsAnyNumberTruncatedTowardZero) {
    struct Case {
        const char* raw;
        int64_t expected;
    };
    const Case cases[] = {
        {"4", 4},          {"4.9", 4},      {"-7.9", -7},       {"7.0", 7},        {"\"5\"", 3},
        {"true", 1},       {"false", 0},    {"null", 3},        {"[1]", 3},        {"1e2", 100},
        {"-0.5", 0},       {"1e30", INT64_MAX}, {"-1e30", INT64_MIN}, {"1e400", INT64_MAX},
        {"12345678901234567890", INT64_MAX}, {"-9223372036854775808", INT64_MIN},
    };
    for (const Case& c : cases) {
        std::string doc = std::string(R"({"feedItems":[{"id":"x","importance":)") + c.raw + "}]}";
        auto index = DashboardIndex::parse(doc);
        ASSERT_TRUE(index) << c.raw;
        ASSERT_EQ(index->items.size(), 1u);
        EXPECT_EQ(index->items[0].importance, c.expected) << c.raw;
    }
}

TEST(FeedItem, TitleIsTrimmedAndMayBecomeEmpty) {
    EXPECT_EQ(one({{"id", "x"}, {"title", "  Hello\t\n"}}).only().title, "Hello");
    Loaded blank = one({{"id", "x"}, {"title", "  \n"}, {"content", "from content"}});
    EXPECT_EQ(blank.only().title, "");
    EXPECT_EQ(blank.only().displayTitle(), "from content");
    // Ideographic space is white space too.
    EXPECT_EQ(one({{"id", "x"}, {"title", "\u3000标题\u3000"}}).only().title, "标题");
}

TEST(FeedItem, DayComesFromTheOutputFolderElseTheDate) {
    struct Case {
        Json outputRelPath;  // null: absent
        std::string date;
        std::string day;
    };
    const std::string date = "2025-03-02T08:15:00+08:00";
    const Case cases[] = {
        {nullptr, date, "2025-03-02"},
        {"2025-03-04/x.md", date, "2025-03-04"},
        {"outputs/2025-03-02/abc.min.md", "2025-01-01T00:00:00Z", "2025-03-02"},
        {"/x.md", date, "2025-03-02"},
        {"outputs/misc/abc.min.md", date, "2025-03-02"},
        {"abc.min.md", date, "2025-03-02"},
        {"a//2025-03-06//x.txt", date, "2025-03-06"},
        {"2025-3-5/x.txt", date, "2025-03-02"},
        {"2025-03-07/", date, "2025-03-02"},  // one piece once the empty ones go
        {5, date, "2025-03-02"},              // not a text: absent
        {nullptr, "2025", "2025"},
        {nullptr, "", ""},
        // Characters, not bytes: a combining accent belongs to the tenth one.
        {nullptr, "2025-03-02\u0301T08", "2025-03-02\u0301"},
        {nullptr, "🇨🇳🇨🇳🇨🇳🇨🇳🇨🇳🇨🇳🇨🇳🇨🇳🇨🇳🇨🇳🇨🇳", "🇨🇳🇨🇳🇨🇳🇨🇳🇨🇳🇨🇳🇨🇳🇨🇳🇨🇳🇨🇳"},
        {nullptr, "2025-03-0\r\n", "2025-03-0\r\n"},
    };
    for (const Case& c : cases) {
        Json entry = {{"id", "x"}, {"date", c.date}};
        if (!c.outputRelPath.is_null()) entry["outputRelPath"] = c.outputRelPath;
        EXPECT_EQ(one(entry).only().day, c.day) << entry.dump();
    }
}

TEST(FeedItem, DisplayTitleFallsBackToTheFirstContentLine) {
    struct Case {
        Json title;  // null: absent
        std::string content;
        std::string expected;
    };
    const std::string ascii80 = repeat("abcdefgh", 10);
    const Case cases[] = {
        {"Given", "content", "Given"},
        {nullptr, "\n\nfirst line\nsecond", "first line"},
        {nullptr, "\n\n\n", "(无标题)"},
        {nullptr, "", "(无标题)"},
        {"", "", "(无标题)"},
        {nullptr, ascii80, ascii80.substr(0, 60)},
        {nullptr, repeat("会", 80), repeat("会", 60)},
        {nullptr, repeat("🇨🇳", 61) + "\nrest", repeat("🇨🇳", 60)},
        {nullptr, "   \nsecond", "   "},
        // A CR LF pair is one character that is no line feed.
        {nullptr, "a\r\nb\nc", "a\r\nb"},
        {nullptr, "\r\n", "\r\n"},
    };
    for (const Case& c : cases) {
        Json entry = {{"id", "x"}, {"content", c.content}};
        if (!c.title.is_null()) entry["title"] = c.title;
        EXPECT_EQ(one(entry).only().displayTitle(), c.expected) << entry.dump();
    }
}

TEST(FeedItem, SummaryHoldsOnlyWhatTheItemHas) {
    Loaded bare = one({{"id", "x"}, {"date", "2025-03-02T08:15:00+08:00"}});
    EXPECT_EQ(bare.only().summaryDict(180),
              (Json{{"id", "x"}, {"type", "text"}, {"date", "2025-03-02"}, {"title", "(无标题)"}}));

    Loaded full = one({{"id", "y"}, {"type", "voice"}, {"title", "T"}, {"content", "a\nb"}, {"source", ""},
                       {"tags", Json::array({"t"})}, {"people", Json::array({"p"})},
                       {"projects", Json::array({"q"})}, {"outputRelPath", "outputs/2025-03-04/y.tr.txt"}});
    EXPECT_EQ(full.only().summaryDict(180),
              (Json{{"id", "y"}, {"type", "voice"}, {"date", "2025-03-04"}, {"title", "T"}, {"snippet", "a b"},
                    {"source", ""}, {"tags", {"t"}}, {"people", {"p"}}, {"projects", {"q"}}}));
}

TEST(FeedItem, SnippetIsCutInCharacters) {
    Loaded loaded = one({{"id", "x"}, {"content", repeat("👍🏽", 130) + "\n" + repeat("字", 100)}});
    std::string snippet = loaded.only().summaryDict(120)["snippet"];
    EXPECT_EQ(snippet, repeat("👍🏽", 120));
    std::string longer = loaded.only().summaryDict(180)["snippet"];
    EXPECT_EQ(longer, repeat("👍🏽", 130) + " " + repeat("字", 49));
}

TEST(FeedItem, MatchesTitleContentIdAndListsButNothingElse) {
    Loaded loaded = load(Json::array({
        {{"id", "a"}, {"title", "Team MEETING notes"}},
        {{"id", "b"}, {"tags", Json::array({"x", "meetings"})}},
        {{"id", "weekly-meeting-3"}},
        {{"id", "d"}, {"content", "the Meeting went long"}},
        {{"id", "e"}, {"people", Json::array({"Meeting Room"})}},
        {{"id", "f"}, {"projects", Json::array({"MEETING"})}},
        {{"id", "g"}, {"source", "meeting"}, {"type", "meeting"}, {"processingState", "meeting"},
         {"extractedTasks", Json::array({"meeting"})}, {"date", "meeting"}},
        {{"id", "h"}, {"title", ""}, {"content", "meet ing"}},
    }));
    std::vector<std::string> hits;
    for (const FeedItem& item : loaded.index.items) {
        if (item.matches("meeting")) hits.push_back(std::string(item.id));
    }
    EXPECT_EQ(hits, (std::vector<std::string>{"a", "b", "weekly-meeting-3", "d", "e", "f"}));
}

TEST(LowercaseNeedle, AgreesWithLowerCasingTheWholeText) {
    const std::vector<std::string> textsToSearch = {
        "Team MEETING notes", "今天的会议记录，很长", "CAFÉ AU LAIT", "İstanbul", "\u212Aelvin scale",
        "ΣΟΦΟΣ ΚΑΙ", "ΑΣ", "Σ", "AΣ B", "Straße", "ǅungla", "mixed 会议 MEETING Ünïcödé", "", "plain ascii text", "ＡＢＣ全角",
    };
    const std::vector<std::string> queries = {
        "meeting", "会议", "café", "i̇stanbul", "istanbul", "kelvin", "σοφος", "σοφοσ", "σοφος και", "straße",
        "ss", "σ", "ς", "aς b", "ǆungla", "ünïcödé", "ａｂｃ", "abc", "a", " ", "記録",
    };
    for (const auto& text : textsToSearch) {
        std::string lowered = text::toLowerFull(text);
        for (const auto& query : queries) {
            bool expected = lowered.find(query) != std::string::npos;
            EXPECT_EQ(LowercaseNeedle(query).foundIn(text), expected) << text << " / " << query;
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
        ASSERT_TRUE(LowercaseNeedle(lowered).foundIn("x" + text + "y")) << std::hex << uint32_t(c);
        // What it becomes after a letter, where that depends on its neighbours.
        std::string afterLetter = text::toLowerFull("A" + text + " ");
        std::string part = afterLetter.substr(1, afterLetter.size() - 2);
        ASSERT_TRUE(LowercaseNeedle(part).foundIn("A" + text + " ")) << std::hex << uint32_t(c);
        for (char ascii : lowered) {
            if (static_cast<unsigned char>(ascii) < 0x80) {
                ASSERT_TRUE(LowercaseNeedle(std::string(1, ascii)).foundIn(text)) << std::hex << uint32_t(c);
            }
        }
    }
}

}  // namespace
}  // namespace qs
