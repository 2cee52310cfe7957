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

template <typename Items>
Ids idsOf(const Items& items) {
    Ids ids;
    for (const auto& item : items) {
        if constexpr (std::is_pointer_v<std::decay_t<decltype(item)>>) {
            ids.emplace_back(item->id);
        } else {
            ids.emplace_back(item.id);
        }
    }
    return ids;
}

DashboardIndex parsed(const Json& items) {
    auto index = DashboardIndex::parse(Json{{"feedItems", items}}.dump());
    if (!index) throw std::runtime_error("fixture is not an index");
    return std::move(*index);
}

Json entry(const std::string& id, const std::string& day, const std::string& type = "text") {
    return {{"id", id}, {"type", type}, {"date", day + "T10:00:00+08:00"}};
}

// Valid JSON the strict judge accepts, and an object at the top.
bool validIndex(const std::string& doc) { return Json::accept(doc) && Json::parse(doc).is_object(); }

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
    ASSERT_EQ(idsOf(index->items), (Ids{"A1", "B2"}));
    const FeedItem& first = index->items[0];
    EXPECT_EQ(first.title, "Weekly \"sync\"");
    EXPECT_EQ(first.content, "line one\nline two é 😀 / end");
    EXPECT_EQ(first.outputRelPath, "outputs/2025-03-02/A1.tr.txt");
    EXPECT_EQ(first.importance, 4);
    EXPECT_EQ(Ids(first.tags.begin(), first.tags.end()), (Ids{"work", "周会"}));
    EXPECT_EQ(index->items[1].content, "会议记录");
}

// Anything but an object is no index; an object without usable members is an empty one.
TEST(DashboardIndex, TopLevelMustBeAnObjectAndRepeatedKeysCountWithTheirLastValue) {
    for (const char* bad : {"[]", "null", "\"x\"", "[{\"feedItems\":[]}]", "", "   "}) EXPECT_FALSE(DashboardIndex::parse(bad)) << bad;
    for (const char* doc : {"{}", R"({"feedItems":{"id":"a"}})", R"({"feedItems":"a"})", R"({"updatedAt":5})"}) {
        auto index = DashboardIndex::parse(doc);
        ASSERT_TRUE(index) << doc;
        EXPECT_TRUE(index->items.empty() && !index->updatedAt) << doc;
    }
    auto index = DashboardIndex::parse(R"({"feedItems":[{"id":"old"}],"feedItems":[{"id":"x","id":"y","type":"voice","type":3}]})");
    ASSERT_TRUE(index);
    ASSERT_EQ(idsOf(index->items), (Ids{"y"}));
    EXPECT_EQ(index->items[0].type, "text");
    auto escaped = DashboardIndex::parse(R"({"feed\u0049tems":[{"\u0069d":"z"}]})");  // the same keys, escaped
    ASSERT_TRUE(escaped);
    EXPECT_EQ(idsOf(escaped->items), (Ids{"z"}));
}

// Every way a file can be broken, anywhere in it, fails the whole load; the
// library's own strict parser is the judge. The listed cases are those random
// edits rarely make.
TEST(DashboardIndex, RejectsEveryDocumentThatIsNotValidJson) {
    const std::vector<std::string> documents = {
        R"({"feedItems":[{"id":"a"}]} x)", R"({"a":1,})", R"({'a':1})", R"({"a":1 /* c */})", R"({"a":NaN})",
        R"({"other":{"x":[1,tru]}})", R"({"other":{"x":[01]}})", R"({"other":[1.]})", R"({"other":[.5]})",
        R"({"other":"\q"})", R"({"other":"\ud800"})", R"({"other":"\udc00x"})", R"({"other":"\u12"})",
        "{\"other\":\"a\tb\"}", "{\"other\":\"\xC3\x28\"}", "{\"o\xFF\":1}", R"({"a":[{"b":1]}})",
        R"({"feedItems":[{"id":"a","x":[}]})", R"({"feedItems":[{"id":"a"} {"id":"b"}]})", R"({"feedItems":["id":"a"]})",
        R"({"feedItems":[{"tags":["a":"b"]}]})", R"({"a":true1})", std::string("{\"a\":1}\0", 8),
        R"({"ok":1,"fine":)" + std::string(200, '[') + std::string(200, ']') + "}",
        R"({"feedItems":[],"x":"\/\b\f\n\r\t\u00e9\"\\"})", R"({"x":-0.0e+5,"y":[1E-2,0,-1]})", "  {\"a\" : [ 1 , { } ] }\n\t ",
    };
    for (const std::string& doc : documents) {
        // nlohmann stops reading at a NUL byte; it is refused here.
        bool valid = validIndex(doc) && doc.find('\0') == std::string::npos;
        EXPECT_EQ(DashboardIndex::parse(doc).has_value(), valid) << doc.substr(0, 80);
    }
    // nlohmann has no depth limit; ours is 512 levels.
    EXPECT_FALSE(DashboardIndex::parse(R"({"deep":)" + std::string(3000, '[') + std::string(3000, ']') + "}"));
    for (size_t cut = 0; cut < sample.size(); ++cut) {
        bool onlyTrailingSpace = sample.find_first_not_of(" \n\t\r", cut) == std::string::npos;
        EXPECT_EQ(DashboardIndex::parse(sample.substr(0, cut)).has_value(), onlyTrailingSpace) << "cut at " << cut;
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
        ASSERT_EQ(DashboardIndex::parse(doc).has_value(), validIndex(doc)) << doc;
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
    for (const char* encoding : {"UTF-8", "UTF-16LE", "UTF-16BE", "UTF-32LE", "UTF-32BE"}) {
        for (const std::string& mark : {std::string(), encode(bom, encoding)}) {
            auto index = DashboardIndex::parse(mark + encode(sample, encoding));
            ASSERT_TRUE(index) << encoding << " mark " << mark.size();
            ASSERT_EQ(idsOf(index->items), (Ids{"A1", "B2"}));
            EXPECT_EQ(index->items[0].content, "line one\nline two é 😀 / end");
            EXPECT_EQ(index->items[1].content, "会议记录");
        }
    }
    // A cut-off unit or an unpaired surrogate is no text at all.
    std::string utf16 = encode(R"({"feedItems":[{"id":"😀"}]})", "UTF-16LE");
    EXPECT_FALSE(DashboardIndex::parse(utf16.substr(0, utf16.size() - 1)));
    std::string lone = utf16;
    lone.replace(lone.find("\x3D\xD8"), 2, "\x3D\x00", 2);  // keep the low half only
    EXPECT_FALSE(DashboardIndex::parse(lone));
    EXPECT_FALSE(DashboardIndex::parse(bom + bom + "{}"));
}

// Items are views into memory their index owns and later loads reuse.
TEST(DashboardIndex, LongListsAndManyIndexesAliveAtOnceStayIntact) {
    Json items = Json::array();
    for (int i = 0; i < 5; ++i) {
        Json tags = Json::array();
        for (int t = 0; t < 5000; ++t) tags.push_back("t" + std::to_string(i) + "-" + std::to_string(t));
        items.push_back({{"id", "e" + std::to_string(i)}, {"tags", tags}});
    }
    DashboardIndex first = parsed(items);
    std::optional<DashboardIndex> second = DashboardIndex::parse(sample);
    DashboardIndex third = parsed(Json::array({entry("z", "2025-01-01")}));
    third = std::move(*second);  // the replaced index hands its memory back
    second.reset();
    { DashboardIndex gone = parsed(Json::array({entry("fresh", "2025-01-01")})); }
    EXPECT_EQ(idsOf(parsed(Json::array({entry("new", "2025-01-02")})).items), (Ids{"new"}));
    for (int i = 0; i < 5; ++i) {
        const FeedItem& item = first.items.at(static_cast<size_t>(i));
        ASSERT_EQ(item.tags.size(), 5000u);
        EXPECT_EQ(item.tags.front(), "t" + std::to_string(i) + "-0");
        EXPECT_EQ(item.tags.back(), "t" + std::to_string(i) + "-4999");
    }
    EXPECT_EQ(idsOf(third.items), (Ids{"A1", "B2"}));
}

TEST(DashboardIndex, ItemFindsTheFirstExactId) {
    DashboardIndex index = parsed({entry("a", "2025-03-01"), entry("A", "2025-03-02"), entry("a", "2025-03-03")});
    ASSERT_NE(index.item("a"), nullptr);
    EXPECT_EQ(index.item("a")->day, "2025-03-01");
    EXPECT_EQ(index.item("A")->day, "2025-03-02");
    EXPECT_EQ(index.item("a "), nullptr);
}

// Greatest day first, then greatest id, else index order; an empty day sorts
// below every bound.
TEST(DashboardIndex, SearchFiltersOrdersAndCaps) {
    DashboardIndex index = parsed({entry("b", "2025-03-02"), entry("v1", "2025-03-01", "voice"), entry("c", "2025-03-02"),
                                   entry("v3", "2025-03-01", "voice"), entry("a", "2025-03-05"),
                                   entry("v2", "2025-03-01", "voice"), {{"id", "noday"}, {"content", "Café MEETING"}},
                                   entry("v0", "2025-02-28", "voice")});
    using Text = std::optional<std::string>;
    const std::tuple<Text, Text, Text, Text, int64_t, Ids> cases[] = {  // query, type, from, to, limit, found
        {{}, "voice", "2025-03-01", "2025-03-01", 20, {"v3", "v2", "v1"}},
        {{}, "text", {}, {}, 20, {"a", "c", "b", "noday"}},
        {{}, {}, "2025-03-10", "2025-03-01", 20, {}},
        {{}, {}, {}, {}, 0, {"a"}},
        {{}, {}, {}, {}, -5, {"a"}},
        {{}, {}, {}, {}, 3, {"a", "c", "b"}},
        {{}, "", "", "", 1000, {"a", "c", "b", "v3", "v2", "v1", "v0", "noday"}},
        {{}, "Voice", {}, {}, 20, {}},
        {{}, {}, {}, "2025-02-28", 20, {"v0", "noday"}},
        {"meeting", {}, {}, {}, 20, {"noday"}},
        {"CAFÉ", {}, {}, {}, 20, {"noday"}},
        {"meeting ", {}, {}, {}, 20, {}},
    };
    for (const auto& [query, type, from, to, limit, found] : cases) {
        EXPECT_EQ(idsOf(index.search(query, type, from, to, limit)), found)
            << query.value_or("-") << " " << type.value_or("-") << " " << from.value_or("-") << " " << to.value_or("-");
    }
    DashboardIndex same = parsed({{{"id", "s"}, {"content", "first"}}, {{"id", "s"}, {"content", "second"}},
                                  {{"id", "s"}, {"content", "third"}}});
    auto found = same.search(std::nullopt, std::nullopt, std::nullopt, std::nullopt, 2);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0]->content, "first");
    EXPECT_EQ(found[1]->content, "second");
}

}  // namespace
}  // namespace qs
