// The index: strict whole-file reading in any Unicode encoding, lookup and search.
#include <gtest/gtest.h>

#include <unicode/ucnv.h>  // ucnv_convert

#include <random>  // std::mt19937
#include <string>  // std::string
#include <vector>  // std::vector

#include "timeline/dashboard_index.hpp"

namespace qs {
namespace {

using Ids = std::vector<std::string>;

Ids idsOf(const std::vector<const FeedItem*>& items) {
    Ids ids;
    for (const FeedItem* item : items) ids.emplace_back(item->id);
    return ids;
}

Ids idsOf(const DashboardIndex& index) {
    Ids ids;
    for (const FeedItem& item : index.items) ids.emplace_back(item.id);
    return ids;
}

DashboardIndex parsed(const Json& document) {
    auto index = DashboardIndex::parse(document.dump());
    if (!index) throw std::runtime_error("fixture is not an index");
    return std::move(*index);
}

Json entry(const std::string& id, const std::string& day, const std::string& type = "text") {
    return {{"id", id}, {"type", type}, {"date", day + "T10:00:00+08:00"}};
}

// A realistic index: escapes, non-ASCII text, nested unknown keys.
const std::string sample = R"({"updatedAt":"2025-03-05T10:00:00Z","version":2,
 "feedItems":[
  {"id":"A1","type":"voice","date":"2025-03-02T08:15:00+08:00","title":"Weekly \"sync\"",
   "content":"line one\nline two \u00e9 \ud83d\ude00 \/ end","tags":["work","周会"],"importance":4.5,
   "outputRelPath":"outputs\/2025-03-02\/A1.tr.txt","extra":{"nested":[1,2.5e-3,true,false,null,{"k":"v"}]}},
  7, "text", null,
  {"id":"B2","content":"会议记录","people":[],"duration":-0.0}
 ],
 "settings":{"theme":"dark","list":[[],{}]}}
)";

TEST(DashboardIndex, ReadsARealisticIndexWithEscapes) {
    auto index = DashboardIndex::parse(sample);
    ASSERT_TRUE(index);
    EXPECT_EQ(index->updatedAt, "2025-03-05T10:00:00Z");
    ASSERT_EQ(idsOf(*index), (Ids{"A1", "B2"}));
    const FeedItem& first = index->items[0];
    EXPECT_EQ(first.title, "Weekly \"sync\"");
    EXPECT_EQ(first.content, "line one\nline two é 😀 / end");
    EXPECT_EQ(first.outputRelPath, "outputs/2025-03-02/A1.tr.txt");
    EXPECT_EQ(first.day, "2025-03-02");
    EXPECT_EQ(first.importance, 4);
    EXPECT_EQ(std::vector<std::string>(first.tags.begin(), first.tags.end()), (Ids{"work", "周会"}));
    EXPECT_EQ(index->items[1].content, "会议记录");
}

TEST(DashboardIndex, TopLevelMustBeAnObjectAndItemsAnArray) {
    for (const char* bad : {"[]", "null", "5", "\"x\"", "[{\"feedItems\":[]}]", "", "   "}) {
        EXPECT_FALSE(DashboardIndex::parse(bad)) << bad;
    }
    auto empty = DashboardIndex::parse("{}");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->items.empty());
    EXPECT_FALSE(empty->updatedAt);
    EXPECT_EQ(empty->item("x"), nullptr);
    EXPECT_TRUE(empty->search(std::nullopt, std::nullopt, std::nullopt, std::nullopt, 20).empty());
    for (const char* doc : {R"({"feedItems":{"id":"a"}})", R"({"feedItems":"a"})", R"({"updatedAt":5})"}) {
        auto index = DashboardIndex::parse(doc);
        ASSERT_TRUE(index) << doc;
        EXPECT_TRUE(index->items.empty() && !index->updatedAt) << doc;
    }
}

TEST(DashboardIndex, RepeatedKeysCountWithTheirLastValue) {
    auto index = DashboardIndex::parse(
        R"({"feedItems":[{"id":"old"}],"feedItems":[{"id":"x","id":"y","type":"voice","type":3}]})");
    ASSERT_TRUE(index);
    ASSERT_EQ(idsOf(*index), (Ids{"y"}));
    EXPECT_EQ(index->items[0].type, "text");
    // An escaped key is the same key.
    auto escaped = DashboardIndex::parse(R"({"feed\u0049tems":[{"\u0069d":"z"}]})");
    ASSERT_TRUE(escaped);
    EXPECT_EQ(idsOf(*escaped), (Ids{"z"}));
}

TEST(DashboardIndex, ItemFindsTheFirstExactId) {
    DashboardIndex index = parsed({{"feedItems", {entry("a", "2025-03-01"), entry("A", "2025-03-02"),
                                                  entry("a", "2025-03-03")}}});
    ASSERT_NE(index.item("a"), nullptr);
    EXPECT_EQ(index.item("a")->day, "2025-03-01");
    EXPECT_EQ(index.item("A")->day, "2025-03-02");
    EXPECT_EQ(index.item("a "), nullptr);
}

// Every way a file can be broken, anywhere in it, fails the whole load; the
// library's own strict parser is the judge.
TEST(DashboardIndex, RejectsEveryDocumentThatIsNotValidJson) {
    const std::vector<std::string> documents = {
        R"({"feedItems":[{"id":"a"}]} x)", R"({"feedItems":[{"id":"a"}]}{})", R"({"a":1},)",
        R"({"a":1,})", R"({"a":[1,]})", R"({"a" 1})", R"({'a':1})", R"({"a":1 /* c */})", R"({"a":NaN})",
        R"({"other":{"x":[1,tru]}})", R"({"other":{"x":[1,nul]}})", R"({"other":{"x":[01]}})",
        R"({"other":{"x":[1.]}})", R"({"other":[-]})", R"({"other":[+1]})", R"({"other":[.5]})",
        R"({"other":[1e]})", R"({"other":"\q"})", R"({"other":"\ud800"})", R"({"other":"\udc00x"})",
        R"({"other":"\u12"})", "{\"other\":\"a\tb\"}", "{\"other\":\"\xC3\x28\"}", "{\"o\xFF\":1}",
        R"({"a":{"b":[1,2}]})", R"({"a":[{"b":1]}})", R"({"a":{}})" "}", R"({"feedItems":[{"id":"a","x":[}]})",
        R"({"feedItems":[{"id":"a"},{"id":"b","importance":1x}]})", R"({"feedItems":[{"id":"a","tags":["t",]}]})",
        R"({"feedItems":[{"id":"a"} {"id":"b"}]})", R"({"feedItems":[{"id":"a" "type":"b"}]})",
        R"({"feedItems":["id":"a"]})", R"({"x":["a":1]})", R"({"x":[1:2]})", R"({"feedItems":[{"tags":["a":"b"]}]})",
        R"({"a":true1})", R"({"a":"x"y})", std::string("{\"a\":1}\0", 8), R"({"a":1)", R"({"a":[[[[[]]]]})",
        R"({"ok":1,"deep":)" + std::string(3000, '[') + std::string(3000, ']') + "}",
        R"({"ok":1,"fine":)" + std::string(200, '[') + std::string(200, ']') + "}",
        R"({"feedItems":[],"x":"\/\b\f\n\r\t\u00e9\"\\"})", R"({"x":-0.0e+5,"y":[1E-2,0,-1]})",
        "  {\"a\" : [ 1 , { } ] }\n\t ",
    };
    for (const std::string& doc : documents) {
        bool valid = Json::accept(doc) && Json::parse(doc).is_object();
        // nlohmann has no depth limit (ours is 512 levels) and stops reading
        // at a NUL byte; both are refused here.
        if (doc.find(std::string(3000, '[')) != std::string::npos || doc.find('\0') != std::string::npos) valid = false;
        EXPECT_EQ(DashboardIndex::parse(doc).has_value(), valid) << doc.substr(0, 80);
    }
}

TEST(DashboardIndex, EveryTruncationOfAValidFileFails) {
    for (size_t cut = 0; cut < sample.size(); ++cut) {
        std::string prefix = sample.substr(0, cut);
        bool onlyTrailingSpace = sample.find_first_not_of(" \n\t\r", cut) == std::string::npos;
        EXPECT_EQ(DashboardIndex::parse(prefix).has_value(), onlyTrailingSpace) << "cut at " << cut;
    }
}

TEST(DashboardIndex, GarbledFilesAreJudgedLikeAStrictParser) {
    std::mt19937 random(20250302);
    const std::string alphabet = "{}[]\",:\\ 0-e.tfnu\x01\xC3\xA9\xFF";
    for (int round = 0; round < 3000; ++round) {
        std::string doc = sample;
        for (int edits = 1 + round % 3; edits > 0; --edits) {
            size_t at = random() % doc.size();
            char byte = alphabet[random() % alphabet.size()];
            switch (random() % 3) {
            case 0: doc[at] = byte; break;
            case 1: doc.insert(at, 1, byte); break;
            default: doc.erase(at, 1); break;
            }
        }
        bool valid = Json::accept(doc) && Json::parse(doc).is_object();
        ASSERT_EQ(DashboardIndex::parse(doc).has_value(), valid) << doc;
    }
}

std::string encode(const std::string& utf8, const char* encoding) {
    std::string out(utf8.size() * 4 + 8, '\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_convert(encoding, "UTF-8", out.data(), static_cast<int32_t>(out.size()), utf8.data(),
                             static_cast<int32_t>(utf8.size()), &status);
    if (U_FAILURE(status)) throw std::runtime_error("conversion failed");
    out.resize(static_cast<size_t>(n));
    return out;
}

TEST(DashboardIndex, ReadsUtf16AndUtf32WithOrWithoutByteOrderMark) {
    const std::string bom = "\xEF\xBB\xBF";
    struct Case {
        const char* encoding;
        std::string mark;
    };
    const Case cases[] = {
        {"UTF-8", ""},           {"UTF-8", bom},
        {"UTF-16LE", ""},        {"UTF-16LE", encode(bom, "UTF-16LE")},
        {"UTF-16BE", ""},        {"UTF-16BE", encode(bom, "UTF-16BE")},
        {"UTF-32LE", ""},        {"UTF-32LE", encode(bom, "UTF-32LE")},
        {"UTF-32BE", ""},        {"UTF-32BE", encode(bom, "UTF-32BE")},
    };
    for (const Case& c : cases) {
        auto index = DashboardIndex::parse(c.mark + encode(sample, c.encoding));
        ASSERT_TRUE(index) << c.encoding << " mark " << c.mark.size();
        ASSERT_EQ(idsOf(*index), (Ids{"A1", "B2"}));
        EXPECT_EQ(index->items[0].content, "line one\nline two é 😀 / end");
        EXPECT_EQ(index->items[1].content, "会议记录");
    }
    // A cut-off unit or an unpaired surrogate is no text at all.
    std::string utf16 = encode(R"({"feedItems":[{"id":"😀"}]})", "UTF-16LE");
    EXPECT_FALSE(DashboardIndex::parse(utf16.substr(0, utf16.size() - 1)));
    std::string lone = utf16;
    lone.replace(lone.find("\x3D\xD8"), 2, "\x3D\x00", 2);  // keep the low half only
    ASSERT_NE(lone, utf16);
    EXPECT_TRUE(DashboardIndex::parse(utf16));
    EXPECT_FALSE(DashboardIndex::parse(lone));
    EXPECT_FALSE(DashboardIndex::parse(bom + bom + "{}"));
}

TEST(DashboardIndex, LongListsAndManyIndexesAliveAtOnceStayIntact) {
    Json items = Json::array();
    for (int i = 0; i < 5; ++i) {
        Json tags = Json::array();
        for (int t = 0; t < 5000; ++t) tags.push_back("t" + std::to_string(i) + "-" + std::to_string(t));
        items.push_back({{"id", "e" + std::to_string(i)}, {"tags", tags}});
    }
    DashboardIndex first = parsed({{"feedItems", items}});
    std::optional<DashboardIndex> second = DashboardIndex::parse(sample);
    DashboardIndex third = parsed({{"feedItems", Json::array({entry("z", "2025-01-01")})}});
    third = std::move(*second);  // the replaced index hands its memory back
    second.reset();
    for (int i = 0; i < 5; ++i) {
        const FeedItem& item = first.items.at(static_cast<size_t>(i));
        ASSERT_EQ(item.tags.size(), 5000u);
        EXPECT_EQ(item.tags.front(), "t" + std::to_string(i) + "-0");
        EXPECT_EQ(item.tags.back(), "t" + std::to_string(i) + "-4999");
    }
    EXPECT_EQ(idsOf(third), (Ids{"A1", "B2"}));
    // A later load reuses the memory of the finished ones and sees new content.
    { DashboardIndex again = parsed({{"feedItems", Json::array({entry("fresh", "2025-01-01")})}}); }
    EXPECT_EQ(idsOf(parsed({{"feedItems", Json::array({entry("new", "2025-01-02")})}})), (Ids{"new"}));
}

TEST(DashboardIndex, SearchFiltersOrdersAndCaps) {
    DashboardIndex index = parsed({{"feedItems",
                                    {entry("b", "2025-03-02"), entry("v1", "2025-03-01", "voice"),
                                     entry("c", "2025-03-02"), entry("v3", "2025-03-01", "voice"),
                                     entry("a", "2025-03-05"), entry("v2", "2025-03-01", "voice"),
                                     {{"id", "noday"}}, entry("v0", "2025-02-28", "voice")}}});
    auto run = [&](std::optional<std::string> type, std::optional<std::string> from, std::optional<std::string> to,
                   int64_t limit) { return idsOf(index.search(std::nullopt, type, from, to, limit)); };
    EXPECT_EQ(run("voice", "2025-03-01", "2025-03-01", 20), (Ids{"v3", "v2", "v1"}));
    EXPECT_EQ(run("text", std::nullopt, std::nullopt, 20), (Ids{"a", "c", "b", "noday"}));
    EXPECT_EQ(run(std::nullopt, "2025-03-10", "2025-03-01", 20), Ids{});
    EXPECT_EQ(run(std::nullopt, std::nullopt, std::nullopt, 0), (Ids{"a"}));
    EXPECT_EQ(run(std::nullopt, std::nullopt, std::nullopt, -5), (Ids{"a"}));
    EXPECT_EQ(run(std::nullopt, std::nullopt, std::nullopt, 1000).size(), 8u);
    EXPECT_EQ(run(std::nullopt, std::nullopt, std::nullopt, 3), (Ids{"a", "c", "b"}));
    EXPECT_EQ(run("", "", "", 20), run(std::nullopt, std::nullopt, std::nullopt, 20));
    EXPECT_EQ(run("Voice", std::nullopt, std::nullopt, 20), Ids{});
    // An empty day sorts below every bound.
    EXPECT_EQ(run(std::nullopt, std::nullopt, "2025-02-28", 20), (Ids{"v0", "noday"}));
    EXPECT_EQ(run(std::nullopt, "0", std::nullopt, 20).size(), 7u);
}

TEST(DashboardIndex, SearchKeepsIndexOrderForEqualKeysAndMatchesLowerCased) {
    DashboardIndex index = parsed({{"feedItems",
                                    {{{"id", "same"}, {"date", "2025-03-02"}, {"content", "first MEETING"}},
                                     {{"id", "same"}, {"date", "2025-03-02"}, {"content", "second meeting"}},
                                     {{"id", "other"}, {"date", "2025-03-02"}, {"content", "Café"}},
                                     {{"id", "same"}, {"date", "2025-03-02"}, {"content", "third Meeting"}}}}});
    std::vector<const FeedItem*> found = index.search("Meeting", std::nullopt, std::nullopt, std::nullopt, 20);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0]->content, "first MEETING");
    EXPECT_EQ(found[1]->content, "second meeting");
    EXPECT_EQ(found[2]->content, "third Meeting");
    EXPECT_EQ(index.search("Meeting", std::nullopt, std::nullopt, std::nullopt, 2).size(), 2u);
    EXPECT_EQ(index.search("Meeting", std::nullopt, std::nullopt, std::nullopt, 2)[1]->content, "second meeting");
    EXPECT_EQ(idsOf(index.search("CAFÉ", std::nullopt, std::nullopt, std::nullopt, 20)), (Ids{"other"}));
    EXPECT_EQ(index.search(" meeting", std::nullopt, std::nullopt, std::nullopt, 20).size(), 3u);
    EXPECT_EQ(index.search("meeting ", std::nullopt, std::nullopt, std::nullopt, 20).size(), 0u);
}

}  // namespace
}  // namespace qs
