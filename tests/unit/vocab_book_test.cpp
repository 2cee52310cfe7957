// The vocabulary book reader: both shapes, both date encodings, the defaults,
// and every way a file falls back to an empty book with the warning. (How each
// member reaches a client is vocab_list's end-to-end suite.)
#include <gtest/gtest.h>

#include <map>     // std::map
#include <string>  // std::string

#include "json/json.hpp"
#include "support/fd_capture.hpp"
#include "text/dates.hpp"
#include "vocab/vocab_book.hpp"

namespace qs {
namespace {

constexpr double kMarch1 = 1740817800.0;      // 2025-03-01T08:30:00Z
constexpr double kNewYearEve = 1735689599.0;  // 2024-12-31T23:59:59Z
constexpr double kSince2001 = text::kReferenceDateOffset;

// The book; `unreadable` tells whether no reading succeeded.
std::map<std::string, VocabEntry> decode(const std::string& data, bool* unreadable = nullptr) {
    auto book = VocabBook::decode(data);
    if (unreadable) *unreadable = !book;
    return book.value_or(std::map<std::string, VocabEntry>{});
}

Json envelope(const Json& words, const Json& updatedAt = "2025-03-01T08:30:00Z") {
    return Json{{"version", 1}, {"writer", "ios"}, {"updatedAt", updatedAt}, {"words", words}};
}

TEST(VocabBook, ReadsBothShapesInBothDateEncodings) {
    Json iso{{"word", "serendipity"}, {"addedAt", "2024-12-31T23:59:59Z"}, {"updatedAt", "2025-03-01T16:30:00.5+08:00"},
             {"dueAt", "2025-03-01T08:30:00.250Z"}, {"stage", 3.0}, {"lapses", 2}, {"graduated", true},
             {"examTags", {"GRE"}}, {"source", "imported"}, {"provenance", {{"itemID", "A1B2"}, {"extra", 1}}},
             {"futureMember", {{"ignored", true}}}};
    Json numeric = iso;
    numeric["addedAt"] = kNewYearEve - kSince2001;
    numeric["updatedAt"] = kMarch1 - kSince2001 + 0.5;
    numeric["dueAt"] = kMarch1 - kSince2001 + 0.25;
    for (const auto& [entry, deletedAt] : {std::pair{iso, Json("2025-03-01T08:30:00Z")}, {numeric, Json(kMarch1 - kSince2001)}}) {
        Json gone = entry;
        gone["deletedAt"] = deletedAt;
        Json words{{"k-serendipity", entry}, {"k-obsolete", gone}};
        for (const Json& file : {envelope(words, deletedAt), words}) {
            bool unreadable = true;
            auto book = decode(file.dump(), &unreadable);
            EXPECT_FALSE(unreadable);
            ASSERT_EQ(book.size(), 2u) << file.dump();
            const VocabEntry& e = book.at("k-serendipity");
            EXPECT_EQ(e.word, "serendipity");
            EXPECT_DOUBLE_EQ(e.addedAt, kNewYearEve);
            EXPECT_DOUBLE_EQ(e.updatedAt, kMarch1 + 0.5);
            EXPECT_DOUBLE_EQ(e.dueAt, kMarch1 + 0.25);
            EXPECT_EQ(e.stage, 3);  // an integral float stands for an integer
            EXPECT_EQ(e.source, VocabReviewSource::imported);
            ASSERT_TRUE(e.provenance);
            EXPECT_EQ(e.provenance->itemID, "A1B2");
            EXPECT_FALSE(e.deletedAt);
            EXPECT_EQ(book.at("k-obsolete").deletedAt, kMarch1);
        }
    }
}

TEST(VocabBook, MissingOrNullMembersTakeTheirDefaultsAtTheMomentOfReading) {
    Json allNull{{"word", "nulls"}};
    for (const char* member : {"addedAt", "updatedAt", "stage", "dueAt", "lapses", "graduated", "phonetic", "translation",
                               "examTags", "source", "provenance", "examples", "note", "deletedAt"}) {
        allNull[member] = nullptr;
    }
    Json words{{"bare", {{"word", "bare"}}}, {"nulls", allNull}, {"added", {{"word", "added"}, {"addedAt", "2024-12-31T23:59:59Z"}}}};
    const double before = text::nowUnixSeconds();
    bool unreadable = true;
    auto book = decode("\xEF\xBB\xBF" + envelope(words).dump(), &unreadable);  // a byte-order mark is skipped
    const double after = text::nowUnixSeconds();
    EXPECT_FALSE(unreadable);
    ASSERT_EQ(book.size(), 3u);
    EXPECT_DOUBLE_EQ(book.at("added").updatedAt, kNewYearEve);  // follows the entry's own addedAt
    book.erase("added");
    for (const auto& [key, e] : book) {
        EXPECT_TRUE(e.addedAt >= before && e.addedAt <= after && e.dueAt >= before && e.dueAt <= after) << key;
        EXPECT_EQ(e.updatedAt, e.addedAt) << key;
        EXPECT_EQ(e.stage + e.lapses, 0) << key;
        EXPECT_FALSE(e.graduated || !e.examTags.empty()) << key;
        EXPECT_FALSE(e.phonetic || e.translation || e.source || e.provenance || e.examples || e.note || e.deletedAt) << key;
    }
}

// One entry breaks the whole file, whichever reading would otherwise apply;
// an empty book is no fault.
TEST(VocabBook, AnythingThatDoesNotFitGivesAnEmptyBookAndTheWarning) {
    auto withEntry = [](Json entry) {
        return envelope({{"good", {{"word", "good"}, {"dueAt", "2025-03-01T08:30:00Z"}}}, {"bad", std::move(entry)}}).dump();
    };
    Json lackingWriter = envelope({{"w", {{"word", "w"}}}});
    lackingWriter.erase("writer");
    const std::pair<std::string, bool> cases[] = {  // file, warns
        {envelope(Json::object()).dump(), false},
        {" { } \n", false},
        {"", true},
        {"[]", true},
        {"{\"words\": {", true},
        {envelope(Json::object()).dump() + " x", true},
        {lackingWriter.dump(), true},
        {envelope(Json::array()).dump(), true},
        {withEntry({{"word", "n"}, {"dueAt", 762510600}}), true},  // mixed date encodings
        {envelope({{"w", {{"word", "w"}, {"dueAt", "2025-03-01T08:30:00Z"}}}}, 762510600).dump(), true},
        {withEntry({{"word", "n"}, {"dueAt", "2025-03-01 08:30:00"}}), true},
        {withEntry("just text"), true},
        {withEntry({{"stage", 1}}), true},
        {withEntry({{"word", 7}}), true},
        {withEntry({{"word", "n"}, {"stage", "3"}}), true},
        {withEntry({{"word", "n"}, {"stage", 1.5}}), true},
        {withEntry({{"word", "n"}, {"lapses", 18446744073709551615ull}}), true},
        {withEntry({{"word", "n"}, {"graduated", 1}}), true},
        {withEntry({{"word", "n"}, {"examTags", {"CET4", 6}}}), true},
        {withEntry({{"word", "n"}, {"examples", {nullptr}}}), true},
        {withEntry({{"word", "n"}, {"provenance", {{"date", 20250301}}}}), true},
        {withEntry({{"word", "n"}, {"source", "Lookup"}}), true},
        {withEntry({{"word", "n"}, {"source", ""}}), true},
    };
    for (const auto& [file, warns] : cases) {
        bool unreadable = false;
        EXPECT_TRUE(decode(file, &unreadable).empty()) << file;
        EXPECT_EQ(unreadable, warns) << file;
    }
}

TEST(VocabBook, ABookOfThousandsOfWordsReadsWhole) {
    Json words = Json::object();
    for (int i = 0; i < 3000; ++i) {
        std::string w = "word" + std::to_string(i);
        words[w] = {{"word", w}, {"addedAt", 700000000 + i}, {"dueAt", 760000000.25 + i}, {"examTags", {"CET6"}}};
    }
    bool unreadable = true;
    auto book = decode(envelope(words, 762510600).dump(), &unreadable);
    EXPECT_FALSE(unreadable);
    ASSERT_EQ(book.size(), 3000u);
    EXPECT_DOUBLE_EQ(book.at("word2999").dueAt, 760002999.25 + kSince2001);
    // The reused parse buffers must not leak a longer earlier file into a shorter one.
    EXPECT_EQ(decode(R"({"w": {"word": "w"}})", &unreadable).size(), 1u);
    EXPECT_FALSE(unreadable);
}

}  // namespace
}  // namespace qs
