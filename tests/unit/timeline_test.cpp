// The timeline: strict reading of Dashboard.json in any Unicode encoding, feed
// item rules, and the ordered, paged listing.
#include <gtest/gtest.h>
#include <unicode/ucnv.h>  // ucnv_convert

#include <algorithm>  // std::is_sorted
#include <cstdlib>    // setenv
#include <ctime>      // tzset
#include <random>     // std::mt19937

#include "json/json_escapes.hpp"
#include "text/unicode.hpp"
#include "timeline/dashboard_index.hpp"
#include "timeline/result_order.hpp"

using std::string, std::pair;

namespace qs {
namespace {

using Ids = std::vector<string>;
using Maybe = std::optional<string>;

Ids ids(const ResultPage& page) {
    Ids out;
    for (const FeedItem* item : page.items) out.emplace_back(item->id);
    if (page.more) out.emplace_back("+");
    return out;
}
string repeat(std::string_view unit, int n) { return n > 0 ? string(unit) + repeat(unit, n - 1) : ""; }

// The index read from `args`.
auto load(const auto&... args) { return DashboardIndex::parse(args...); }
// Items are views into their index, which must outlive them.
DashboardIndex parsed(const Json& items) { return std::move(load(Json{{"feedItems", items}}.dump()).value()); }

string encode(const string& utf8, const char* encoding) {
    string out(utf8.size() * 4 + 8, '\0');
    UErrorCode status = U_ZERO_ERROR;
    out.resize(ucnv_convert(encoding, "UTF-8", out.data(), int32_t(out.size()), utf8.data(), int32_t(utf8.size()), &status));
    return out;
}

// Escapes, non-ASCII text, elements that are no items, nested unknown keys,
// and repeated keys, which count with their last value, escaped or not.
const string sample = R"({"updatedAt":"x","feedItems":[{"id":"old"}],"version":2,
 "feed\u0049tems":[
  {"id":"x","i\u0064":"A1","type":"voice","type":3,"date":"2025-03-02T08:15:00+08:00","title":"Weekly \"sync\"",
   "content":"line one\nline two \u00e9 \ud83d\ude00 \/ end","tags":["work","周会"],"importance":4.5,
   "outputRelPath":"outputs\/2025-03-03\/A1.tr.txt","extra":{"nested":[1,2.5e-3,true,false,null,{"\"k\\":"v"}]}},
  7, "text", null, {"id":"B2","content":"会议记录","people":[],"duration":-0.0}],
 "settings":{"theme":"dark","list":[[],{}]},"updatedAt":"2025-03-05T10:00:00Z"})";

// UTF-8, -16 and -32, with or without a byte-order mark.
TEST(DashboardIndex, AnyUnicodeEncoding) {
    // the time of day is the machine's local one
    ::setenv("TZ", "CST-8", 1);
    ::tzset();
    for (const char* encoding : {"UTF-8", "UTF-16LE", "UTF-16BE", "UTF-32LE", "UTF-32BE"}) {
        for (const string& mark : {string(), encode("\xEF\xBB\xBF", encoding)}) {
            auto index = load(mark + encode(sample, encoding));
            ASSERT_TRUE(index && index->items.size() == 2) << encoding << " mark " << mark.size();
            EXPECT_EQ(index->items[0].summaryJson(99),
                (Json{{"id", "A1"}, {"type", "text"}, {"date", "2025-03-03"}, {"time", "08:15"}, {"title", "Weekly \"sync\""},
                    {"snippet", "line one line two é 😀 / end"}, {"tags", {"work", "周会"}}}));
        }
    }
    // A lone surrogate escape or a byte that is no UTF-8 costs only its own character.
    auto lossy = load(R"({"feedItems":[{"id":"a","title":"x\ud800y","tags":[")"
                      "\xFF"
                      R"("],"z":"\udc00"},{"id":"b"}]})");
    ASSERT_TRUE(lossy && lossy->items.size() == 2);
    EXPECT_EQ(lossy->items[0].summaryJson(9), (Json{{"id", "a"}, {"type", "text"}, {"date", ""}, {"title", "x\uFFFDy"}, {"tags", {"\uFFFD"}}}));
    // An unpaired surrogate (here {"a":"\udc00"} in UTF-16LE) is no text at all.
    EXPECT_FALSE(load(string("{\0\"\0a\0\"\0:\0\"\0\x00\xDC\"\0}\0", 18)));
}

// A broken file fails the whole load wherever the fault is; nlohmann's strict
// parser is the judge, after the reader's repairs of single characters (it
// stops at a NUL byte, which is refused here). The
// listed cases are those random edits rarely make.
TEST(DashboardIndex, StrictJsonObjectOnly) {
    std::vector<string> documents = {"[]", "null", R"({"feedItems":{"id":"a"}})", R"({"feedItems":"a"})", R"({"a":1,})", R"({'a':1})", R"({"a":NaN})",
        R"({"o":"\q"})", R"({"o":"\ud800"})", R"({"o":"\udc00x"})", R"({"o":"\u12"})", "{\"o\":\"a\tb\"}", "{\"o\":\"\xC3\x28\"}", "{\"o\xFF\":1}",
        R"({"x":-0.0e+5,"y":[1E-2,0,-1]})", string("{\"a\":1}\0", 8), R"({"feedItems":[{"id":"a"} {"id":"b"}]})",
        R"({"feedItems":[],"x":"\/\b\f\n\r\t\u00e9\"\\"})", R"({"o":[1e400x]})", R"({"feedItems":[{"id":"a","importance":-1e400.5}]})",
        R"({"ok":1,"fine":)" + string(511, '[') + string(511, ']') + "}",
        // deeper than half the limit in objects too
        "{\"o\":" + repeat("{\"a\":", 400) + "1" + string(401, '}')};
    for (size_t cut = 0; cut < sample.size(); ++cut) documents.push_back(sample.substr(0, cut));
    std::mt19937 random(20250302);
    const string alphabet = "{}[]\",:\\ 0-e.tfnu\x01\xC3\xA9\xFF";
    for (int round = 0; round < 3000; ++round) {
        string doc = sample;
        for (int edits = 1 + round % 3; edits > 0; --edits) {
            // insert, replace or erase a byte
            size_t at = random() % doc.size(), op = random() % 3;
            doc.replace(at, op == 0 ? 0 : 1, op == 2 ? string() : string(1, alphabet[random() % alphabet.size()]));
        }
        documents.push_back(doc);
    }
    for (const string& doc : documents) {
        // as the reader does, string by string
        string repaired = qs::Text::decodeLossy(doc);
        qs::replaceLoneSurrogateEscapes(repaired.data(), repaired.size());
        bool valid = Json::accept(repaired) && Json::parse(repaired).is_object() && doc.find('\0') == string::npos;
        EXPECT_EQ(load(doc).has_value(), valid) << doc;
    }
    // nlohmann has no depth limit; ours is 512 levels, the top-level object's included.
    EXPECT_FALSE(load(R"({"deep":)" + string(512, '[') + string(512, ']') + "}"));
}

// Importance is any number, truncated toward zero and clamped.
TEST(FeedItem, Importance) {
    const pair<const char*, int64_t> cases[] = {{"4.9", 4}, {"-7.9", -7}, {"\"5\"", 3}, {"true", 1}, {"null", 3}, {"1e2", 100}, {"1e30", INT64_MAX},
        {"-1e400", INT64_MIN}, {"-9223372036854775808", INT64_MIN}, {"9223372036854775807", INT64_MAX}, {"9223372036854775808", INT64_MAX},
        {"-123456789012345678901234567890", INT64_MIN}, {"1e-400", 0}};
    // The same number in members the index ignores, at the top level and in the entry, costs nothing.
    for (const auto& [raw, expected] : cases) {
        auto index = load(string(R"({"sum":)") + raw + R"(,"feedItems":[{"id":"x","hash":[)" + raw + R"(],"importance":)" + raw + "}]}");
        EXPECT_EQ(index ? index->items.at(0).importance : -1, expected) << raw;
    }
}

// The day is the folder holding the output when that is a day, else the
// date's first ten characters. The title is the given one trimmed, else the
// first non-empty content line cut to 60 characters.
TEST(FeedItem, DayAndTitleFallBack) {
    const string date = "2025-03-02T08:15:00+08:00";
    // fields besides the id, day, title
    const std::tuple<Json, string, string> cases[] = {{{{"date", date}, {"title", "\u3000Given\t\n"}}, "2025-03-02", "Given"},
        {{{"outputRelPath", "outputs/2025-03-04/a.md"}, {"date", "2025-01-01"}, {"title", ""}}, "2025-03-04", "(无标题)"},
        {{{"outputRelPath", "/x.md"}, {"date", date}, {"title", "  \n"}, {"content", "from content"}}, "2025-03-02", "from content"},
        {{{"outputRelPath", "outputs/misc/a.md"}, {"date", date}, {"content", "\n\nfirst line\nsecond"}}, "2025-03-02", "first line"},
        {{{"outputRelPath", "/2025-03-06//x.txt"}, {"content", "\n\n\n"}}, "2025-03-06", "(无标题)"},
        {{{"outputRelPath", "2025-3-5/x.txt"}, {"date", date}, {"content", repeat("会", 80)}}, "2025-03-02", repeat("会", 60)},
        {{{"outputRelPath", "2025-03-07/"}, {"date", date}, {"content", repeat("🇨🇳", 61) + "\nrest"}}, "2025-03-02", repeat("🇨🇳", 60)},
        {{{"date", "2025-03-02\u0301T08"}, {"content", repeat("x", 60) + "\u0301"}}, "2025-03-02\u0301", repeat("x", 60) + "\u0301"},
        {{{"date", "2025"}, {"content", "   \nsecond"}}, "2025", "   "},
        // a CR LF pair is one character, no line feed
        {{{"content", "a\r\nb\nc"}}, "", "a\r\nb"}};
    for (const auto& [fields, day, title] : cases) {
        const auto index = std::move(load(R"({"feedItems":[{"id":"x",)" + fields.dump().substr(1) + "]}").value());
        const FeedItem& item = index.items.at(0);
        EXPECT_EQ((pair<string, string>(item.day, item.displayTitle())), pair(day, title)) << fields.dump();
    }
}

// Entries without a usable id are dropped; mistyped fields take their
// defaults; lists keep only their strings; the snippet is cut in characters.
// (A well-typed state and tasks are the minutes tool's test's.)
TEST(FeedItem, SummaryOfWhatItHas) {
    DashboardIndex index = parsed({{{"id", 42}}, {{"id", ""}}, {{"title", "no id"}},
        {{"id", "x"}, {"type", 5}, {"date", Json::object()}, {"title", 3}, {"content", Json::array()}, {"source", false}, {"outputRelPath", 1},
            {"processingState", nullptr}, {"tags", "a"}, {"people", {{"a", 1}}}, {"extractedTasks", 1}},
        {{"id", "y"}, {"type", "voice"}, {"title", "T"}, {"content", "a\n👍🏽b"}, {"source", ""}, {"tags", {"a", 1, nullptr, "b", {"c"}, ""}},
            {"people", {"张三"}}, {"projects", {"q", 2}}, {"outputRelPath", "outputs/2025-03-04/y.tr.txt"}}});
    ASSERT_EQ(index.items.size(), 2u);
    EXPECT_EQ(index.items[0].summaryJson(3), (Json{{"id", "x"}, {"type", "text"}, {"date", ""}, {"title", "(无标题)"}}));
    EXPECT_TRUE(!index.items[0].processingState && index.items[0].extractedTasks.empty());
    EXPECT_EQ(index.items[1].summaryJson(3), (Json{{"id", "y"}, {"type", "voice"}, {"date", "2025-03-04"}, {"title", "T"}, {"snippet", "a 👍🏽"},
                                                 {"source", ""}, {"tags", {"a", "b", ""}}, {"people", {"张三"}}, {"projects", {"q"}}}));
}

// Greatest day first, then greatest id, else index order; an empty day sorts
// below every bound; at least one item is listed ("+" when more follow; a
// negative limit is the search tool's test's).
// Filtering while loading, or walking a kept index's result order, finds the
// same page at every offset.
TEST(DashboardIndex, Search) {
    // Fillers: 64 dated newest, so a query's first candidate word is empty,
    // and 57 undated; the searched items come after them.
    Json items(64, Json{{"id", "f"}, {"type", "filler"}, {"date", "2025-03-09"}});
    items.insert(items.end(), 57, Json{{"id", "f"}, {"type", "filler"}});
    const Json searched = {{{"id", "b"}, {"date", "2025-03-02"}, {"title", "Team MEETING notes"}},
        {{"id", "v1"}, {"type", "voice"}, {"date", "2025-03-01"}, {"tags", {"x", "meetings"}}},
        {{"id", "c"}, {"date", "2025-03-02"}, {"content", "the Meeting went long"}},
        {{"id", "v3"}, {"type", "voice"}, {"date", "2025-03-01"}, {"people", {"Meeting Room"}}},
        {{"id", "a"}, {"date", "2025-03-05T10:00:00Z"}, {"projects", {"MEETING"}}},
        {{"id", "v2"}, {"type", "voice"}, {"date", "2025-03-01"}, {"title", ""}, {"tags", {"other"}}, {"source", "meeting"},
            {"processingState", "meeting"}, {"extractedTasks", {"meeting"}}},
        {{"id", "noday"}, {"content", "Café meet ing"}}, {{"id", "v0-meeting"}, {"type", "voice"}, {"date", "2025-02-28"}}};
    items.insert(items.end(), searched.begin(), searched.end());
    // A repeated "feedItems" counts with its last value, picks included.
    const string document = R"({"feedItems":[{"id":"gone","content":"meeting"}],"feedItems":)" + items.dump() + "}";
    DashboardIndex index = parsed({{{"id", "old"}}});
    // the replaced index hands its memory back
    index = std::move(load(document).value());
    const ResultOrder order(index.items);
    // query, type, from, to, limit, found
    const std::tuple<Maybe, Maybe, Maybe, Maybe, int64_t, Ids> cases[] = {{{}, "voice", "2025-03-01", "2025-03-01", 20, {"v3", "v2", "v1"}},
        {{}, "text", {}, {}, 20, {"a", "c", "b", "noday"}}, {{}, {}, "2025-03-10", "2025-03-01", 20, {}}, {{}, {}, {}, {}, 0, {"f", "+"}},
        {{}, {}, {}, "2025-03-05", 3, {"a", "c", "b", "+"}},
        {"", "", "", "2025-03-05", 8, {"a", "c", "b", "v3", "v2", "v1", "v0-meeting", "noday", "+"}}, {{}, "Voice", {}, {}, 20, {}},
        {{}, {}, {}, "2025-02-28", 2, {"v0-meeting", "noday", "+"}}, {"meeting", {}, {}, {}, 20, {"a", "c", "b", "v3", "v1", "v0-meeting"}},
        {"CAFÉ", {}, {}, {}, 20, {"noday"}}, {"MEETING ", {}, {}, {}, 20, {"c", "b", "v3"}}, {"ng", {}, {}, {}, 1, {"a", "+"}},
        {"meeting", {}, "2025-03-01", "2025-03-02", 2, {"c", "b", "+"}}};
    int row = 0;
    for (const auto& [query, type, from, to, limit, found] : cases) {
        SCOPED_TRACE(row++);
        const DashboardIndex::SearchFilter filter{query, type, from, to};
        EXPECT_EQ(ids(index.search(filter, {0, limit})), found);
        for (int64_t offset : {-1, 0, 1, 3, 70}) {
            const Ids plain = ids(index.search(filter, {offset, limit}));
            EXPECT_EQ(ids(index.search(filter, {offset, limit}, order)), plain) << offset;
            EXPECT_EQ(ids(load(document, filter)->found({offset, limit})), plain) << offset;
        }
    }
    // no filter given, nothing picked
    EXPECT_TRUE(index.found({0, 10}).items.empty());
    // ties keep index order
    auto fillers = index.search({{}, "filler", {}, {}}, {0, 30}).items;
    EXPECT_TRUE(fillers.size() == 30 && fillers[0] == &index.items[0] && std::ranges::is_sorted(fillers));
    EXPECT_EQ(index.item("f"), &index.items[0]);
}

}  // namespace
}  // namespace qs
