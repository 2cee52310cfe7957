// The vocabulary book reader: both shapes, both date encodings, the defaults,
// and every way a file falls back to an empty book with the warning.
#include <gtest/gtest.h>

#include <map>     // std::map
#include <string>  // std::string
#include <vector>  // std::vector

#include "json/json.hpp"
#include "text/dates.hpp"
#include "vocab/vocab_book.hpp"

namespace qs {
namespace {

constexpr char kWarning[] = "⚠️ [VocabBook] 词库文件解不开,按空处理(合并取并集,不会因此删词)\n";
constexpr double kMarch1 = 1740817800.0;     // 2025-03-01T08:30:00Z
constexpr double kNewYearEve = 1735689599.0;  // 2024-12-31T23:59:59Z

struct Decoded {
    std::map<std::string, VocabEntry> book;
    std::string err;
    std::string out;
};

Decoded decodeCapturing(const std::string& data) {
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    Decoded d;
    d.book = VocabBookCore::decode(data);
    d.out = testing::internal::GetCapturedStdout();
    d.err = testing::internal::GetCapturedStderr();
    return d;
}

Json envelope(const Json& words, const Json& updatedAt = "2025-03-01T08:30:00Z") {
    return Json{{"version", 1}, {"writer", "ios"}, {"updatedAt", updatedAt}, {"words", words}};
}

// A full entry in ISO form, and the same entry with numeric dates.
Json fullEntryIso() {
    return Json{
        {"word", "serendipity"},
        {"addedAt", "2024-12-31T23:59:59Z"},
        {"updatedAt", "2025-03-01T16:30:00+08:00"},
        {"stage", 3},
        {"dueAt", "2025-03-01T08:30:00Z"},
        {"lapses", 2},
        {"graduated", true},
        {"phonetic", "/ˌserənˈdɪpəti/"},
        {"translation", "意外发现珍宝的运气"},
        {"examTags", {"GRE", "IELTS"}},
        {"source", "imported"},
        {"provenance", {{"itemID", "A1B2"}, {"date", "2025-02-28"}, {"excerpt", "pure serendipity"}, {"extra", 1}}},
        {"examples", {"It was serendipity."}},
        {"note", "nice word"},
        {"futureMember", {{"ignored", true}}},
    };
}

Json fullEntryNumeric() {
    Json entry = fullEntryIso();
    entry["addedAt"] = kNewYearEve - text::kReferenceDateOffset;
    entry["updatedAt"] = kMarch1 - text::kReferenceDateOffset;
    entry["dueAt"] = kMarch1 - text::kReferenceDateOffset + 0.5;  // fractions allowed
    return entry;
}

void expectFullEntry(const VocabEntry& e, double dueFraction) {
    EXPECT_EQ(e.word, "serendipity");
    EXPECT_DOUBLE_EQ(e.addedAt, kNewYearEve);
    EXPECT_DOUBLE_EQ(e.updatedAt, kMarch1);
    EXPECT_DOUBLE_EQ(e.dueAt, kMarch1 + dueFraction);
    EXPECT_EQ(e.stage, 3);
    EXPECT_EQ(e.lapses, 2);
    EXPECT_TRUE(e.graduated);
    EXPECT_EQ(e.phonetic, "/ˌserənˈdɪpəti/");
    EXPECT_EQ(e.translation, "意外发现珍宝的运气");
    EXPECT_EQ(e.examTags, (std::vector<std::string>{"GRE", "IELTS"}));
    EXPECT_EQ(e.source, VocabReviewSource::imported);
    ASSERT_TRUE(e.provenance);
    EXPECT_EQ(e.provenance->itemID, "A1B2");
    EXPECT_EQ(e.provenance->date, "2025-02-28");
    EXPECT_EQ(e.provenance->excerpt, "pure serendipity");
    EXPECT_EQ(e.examples, (std::vector<std::string>{"It was serendipity."}));
    EXPECT_EQ(e.note, "nice word");
    EXPECT_FALSE(e.deletedAt);
}

TEST(VocabBook, ReadsBothShapesInBothDateEncodings) {
    const struct {
        const char* name;
        Json entry;
        Json deletedAt;
        bool wrapped;
        double dueFraction;
    } cases[] = {
        {"envelope, ISO", fullEntryIso(), "2025-03-01T08:30:00Z", true, 0.0},
        {"envelope, numeric", fullEntryNumeric(), kMarch1 - text::kReferenceDateOffset, true, 0.5},
        {"bare map, ISO", fullEntryIso(), "2025-03-01T08:30:00Z", false, 0.0},
        {"bare map, numeric", fullEntryNumeric(), kMarch1 - text::kReferenceDateOffset, false, 0.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Json gone = c.entry;
        gone["word"] = "obsolete";
        gone["deletedAt"] = c.deletedAt;
        Json words{{"k-serendipity", c.entry}, {"k-obsolete", gone}};
        Json file = c.wrapped ? envelope(words, c.deletedAt) : words;

        Decoded d = decodeCapturing(file.dump());
        EXPECT_EQ(d.err, "");
        EXPECT_EQ(d.out, "");
        ASSERT_EQ(d.book.size(), 2u);
        expectFullEntry(d.book.at("k-serendipity"), c.dueFraction);
        ASSERT_TRUE(d.book.at("k-obsolete").deletedAt);
        EXPECT_DOUBLE_EQ(*d.book.at("k-obsolete").deletedAt, kMarch1);
    }
}

TEST(VocabBook, IsoDatesTakeFractionalSecondsAndOffsets) {
    Json words{
        {"a", {{"word", "a"}, {"dueAt", "2025-03-01T08:30:00.250Z"}}},
        {"b", {{"word", "b"}, {"dueAt", "2025-03-01T16:30:00.5+08:00"}}},
    };
    Decoded d = decodeCapturing(envelope(words).dump());
    EXPECT_EQ(d.err, "");
    ASSERT_EQ(d.book.size(), 2u);
    EXPECT_DOUBLE_EQ(d.book.at("a").dueAt, kMarch1 + 0.25);
    EXPECT_DOUBLE_EQ(d.book.at("b").dueAt, kMarch1 + 0.5);
}

TEST(VocabBook, MissingOrNullMembersTakeTheirDefaultsAtTheMomentOfReading) {
    Json onlyWord{{"word", "bare"}};
    Json allNull{{"word", "nulls"},     {"addedAt", nullptr},  {"updatedAt", nullptr}, {"stage", nullptr},
                 {"dueAt", nullptr},    {"lapses", nullptr},   {"graduated", nullptr}, {"phonetic", nullptr},
                 {"translation", nullptr}, {"examTags", nullptr}, {"source", nullptr}, {"provenance", nullptr},
                 {"examples", nullptr}, {"note", nullptr},     {"deletedAt", nullptr}};
    Json addedOnly{{"word", "added"}, {"addedAt", "2024-12-31T23:59:59Z"}};
    const double before = text::nowUnixSeconds();
    Decoded d = decodeCapturing(envelope({{"bare", onlyWord}, {"nulls", allNull}, {"added", addedOnly}}).dump());
    const double after = text::nowUnixSeconds();
    EXPECT_EQ(d.err, "");
    ASSERT_EQ(d.book.size(), 3u);
    // updatedAt follows the entry's own addedAt, not the moment of reading.
    EXPECT_DOUBLE_EQ(d.book.at("added").updatedAt, kNewYearEve);
    d.book.erase("added");
    for (const auto& [key, e] : d.book) {
        SCOPED_TRACE(key);
        EXPECT_GE(e.addedAt, before);
        EXPECT_LE(e.addedAt, after);
        EXPECT_EQ(e.updatedAt, e.addedAt);
        EXPECT_GE(e.dueAt, before);
        EXPECT_LE(e.dueAt, after);
        EXPECT_EQ(e.stage, 0);
        EXPECT_EQ(e.lapses, 0);
        EXPECT_FALSE(e.graduated);
        EXPECT_TRUE(e.examTags.empty());
        EXPECT_FALSE(e.phonetic || e.translation || e.source || e.provenance || e.examples || e.note || e.deletedAt);
    }
}

// Integral numbers stand for integers (3.5 does not, see below), and a
// leading byte-order mark is skipped as Foundation's reader does.
TEST(VocabBook, AcceptsIntegralFloatsAndAByteOrderMark) {
    Json words{{"w", {{"word", "w"}, {"stage", 4.0}, {"lapses", 1e2}}}};
    Decoded d = decodeCapturing("\xEF\xBB\xBF" + envelope(words).dump());
    EXPECT_EQ(d.err, "");
    ASSERT_EQ(d.book.size(), 1u);
    EXPECT_EQ(d.book.at("w").stage, 4);
    EXPECT_EQ(d.book.at("w").lapses, 100);
}

TEST(VocabBook, EmptyBooksReadWithoutWarning) {
    for (const std::string& file : {envelope(Json::object()).dump(), std::string("{}"), std::string(" { } \n")}) {
        SCOPED_TRACE(file);
        Decoded d = decodeCapturing(file);
        EXPECT_TRUE(d.book.empty());
        EXPECT_EQ(d.err, "");
    }
}

// One entry breaks the whole file, whichever reading would otherwise apply.
TEST(VocabBook, AnythingThatDoesNotFitGivesAnEmptyBookAndTheWarning) {
    auto withEntry = [](Json entry) {
        return envelope({{"good", {{"word", "good"}, {"dueAt", "2025-03-01T08:30:00Z"}}}, {"bad", std::move(entry)}})
            .dump();
    };
    Json lackingWriter = envelope({{"w", {{"word", "w"}}}});
    lackingWriter.erase("writer");
    Json nullVersion = envelope({{"w", {{"word", "w"}}}});
    nullVersion["version"] = nullptr;

    const struct {
        const char* name;
        std::string file;
    } cases[] = {
        {"empty file", ""},
        {"white space only", "  \n"},
        {"top-level array", "[]"},
        {"top-level text", "\"words\""},
        {"not JSON", "{\"words\": {"},
        {"trailing garbage", envelope(Json::object()).dump() + " x"},
        {"envelope lacking writer", lackingWriter.dump()},
        {"envelope with null version", nullVersion.dump()},
        {"words not an object", envelope(Json::array()).dump()},
        {"mixed date encodings", withEntry({{"word", "n"}, {"dueAt", 762510600}})},
        {"envelope date in the other encoding",
         envelope({{"w", {{"word", "w"}, {"dueAt", "2025-03-01T08:30:00Z"}}}}, 762510600).dump()},
        {"unparsable ISO date", withEntry({{"word", "n"}, {"dueAt", "2025-03-01 08:30:00"}})},
        {"entry not an object", withEntry("just text")},
        {"entry without word", withEntry({{"stage", 1}})},
        {"word not a text", withEntry({{"word", 7}})},
        {"stage as text", withEntry({{"word", "n"}, {"stage", "3"}})},
        {"fractional stage", withEntry({{"word", "n"}, {"stage", 1.5}})},
        {"lapses past 64 bits", withEntry({{"word", "n"}, {"lapses", 18446744073709551615ull}})},
        {"graduated as number", withEntry({{"word", "n"}, {"graduated", 1}})},
        {"examTags as text", withEntry({{"word", "n"}, {"examTags", "CET4"}})},
        {"examTags holding a number", withEntry({{"word", "n"}, {"examTags", {"CET4", 6}}})},
        {"examples holding null", withEntry({{"word", "n"}, {"examples", {nullptr}}})},
        {"phonetic as number", withEntry({{"word", "n"}, {"phonetic", 1}})},
        {"provenance as text", withEntry({{"word", "n"}, {"provenance", "chat"}})},
        {"provenance member as number", withEntry({{"word", "n"}, {"provenance", {{"date", 20250301}}}})},
        {"source capitalised", withEntry({{"word", "n"}, {"source", "Lookup"}})},
        {"source upper case", withEntry({{"word", "n"}, {"source", "IMPORTED"}})},
        {"source misspelt", withEntry({{"word", "n"}, {"source", "lookups"}})},
        {"source empty", withEntry({{"word", "n"}, {"source", ""}})},
        {"source as number", withEntry({{"word", "n"}, {"source", 0}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Decoded d = decodeCapturing(c.file);
        EXPECT_TRUE(d.book.empty());
        EXPECT_EQ(d.err, kWarning);
        EXPECT_EQ(d.out, "");
        EXPECT_FALSE(VocabBookCore::tryDecode(c.file));
    }
}

TEST(VocabBook, TryDecodeStaysSilent) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(VocabBookCore::tryDecode("[]"));
    ASSERT_TRUE(VocabBookCore::tryDecode("{}"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(VocabBook, ABookOfThousandsOfWordsReadsWhole) {
    Json words = Json::object();
    for (int i = 0; i < 3000; ++i) {
        std::string w = "word" + std::to_string(i);
        words[w] = {{"word", w}, {"addedAt", 700000000 + i}, {"dueAt", 760000000.25 + i}, {"examTags", {"CET6"}}};
    }
    Decoded d = decodeCapturing(envelope(words, 762510600).dump());
    EXPECT_EQ(d.err, "");
    ASSERT_EQ(d.book.size(), 3000u);
    EXPECT_DOUBLE_EQ(d.book.at("word2999").dueAt, 760002999.25 + text::kReferenceDateOffset);
    // The reused parse buffers must not leak a longer earlier file into a shorter one.
    Decoded small = decodeCapturing(R"({"w": {"word": "w"}})");
    EXPECT_EQ(small.err, "");
    EXPECT_EQ(small.book.size(), 1u);
}

}  // namespace
}  // namespace qs
