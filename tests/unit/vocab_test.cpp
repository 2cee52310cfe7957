// The vocabulary book: both shapes in both date encodings, the defaults, what
// makes a file unreadable, and the reader that checks words without copying.
#include <gtest/gtest.h>

#include <string>  // std::string
#include <tuple>   // std::tie, std::tuple
#include <vector>  // std::vector

#include "json/json.hpp"
#include "text/dates.hpp"
#include "vocab/vocab_book.hpp"

using std::string, std::tuple;

namespace qs {
namespace {

// 2025-03-01T08:30:00Z
constexpr double kMarch1 = 1740817800.0;
// 2024-12-31T23:59:59Z
constexpr double kNewYearEve = 1735689599.0;
constexpr double kSince2001 = Text::kReferenceDateOffset;
using Texts = std::vector<string>;

Json envelope(const Json& words, const Json& updatedAt = "2025-03-01T08:30:00Z") {
    return Json{{"version", 1}, {"writer", "ios"}, {"updatedAt", updatedAt}, {"words", words}};
}

// Every member in both date encodings, as an envelope and as a bare map. A
// missing or null member takes its default: a date the moment of reading (one
// moment per entry), updatedAt the entry's own addedAt. (How the texts read,
// the same in both encodings, and the members the listing shows in the ISO
// encoding are the listing's test's.)
TEST(VocabBook, ShapesAndDateEncodings) {
    Json iso{{"word", "serendipity"}, {"addedAt", "2024-12-31T23:59:59Z"}, {"updatedAt", "2025-03-01T16:30:00.5+08:00"},
        {"dueAt", "2025-03-01T08:30:00.250Z"}, {"stage", 3.0}, {"lapses", 2}, {"graduated", true}, {"examples", {"e"}},
        {"futureMember", {{"ignored", true}}}};
    Json numeric = iso;
    numeric.update({{"addedAt", kNewYearEve - kSince2001}, {"updatedAt", kMarch1 - kSince2001 + 0.5}, {"dueAt", kMarch1 - kSince2001 + 0.25}});
    for (const auto& [entry, deletedAt] : {std::pair{iso, Json("2025-03-01T08:30:00Z")}, {numeric, Json(762510600)}}) {
        Json words{{"k-serendipity", entry}, {"k-old", entry}, {"k-bare", {{"word", "bare"}, {"stage", nullptr}}}};
        words["k-old"]["deletedAt"] = deletedAt;
        words["k-old"].erase("updatedAt");
        for (const Json& file : {envelope(words, deletedAt), words}) {
            // a byte-order mark is skipped
            auto book = VocabBook::decode("\xEF\xBB\xBF" + file.dump(), kMarch1);
            ASSERT_TRUE(book && book->size() == 3) << file.dump();
            const VocabEntry &e = book->at("k-serendipity"), &old = book->at("k-old"), &bare = book->at("k-bare");
            EXPECT_EQ(std::tie(e.word, e.addedAt, e.updatedAt, e.dueAt, e.stage, e.lapses, e.graduated, e.examples),
                tuple("serendipity", kNewYearEve, kMarch1 + 0.5, kMarch1 + 0.25, 3, 2, true, Texts{"e"}));
            EXPECT_EQ(std::tie(old.deletedAt, old.updatedAt), tuple(kMarch1, kNewYearEve));
            EXPECT_EQ(std::tie(bare.addedAt, bare.updatedAt, bare.dueAt, bare.stage, bare.source, bare.examples),
                tuple(kMarch1, kMarch1, kMarch1, 0, std::nullopt, std::nullopt));
        }
    }
    // an empty book is no fault
    EXPECT_EQ(VocabBook::decode(" { } \n", 0)->size(), 0u);
}

// A file whose shape fits no reading, or where no word reads, is unreadable.
// Otherwise an entry that does not fit costs only itself, the reading that
// reads the most words winning. A number of any size ("BIG", "INF" below) is
// no fault where ignored and a value of the wrong kind where used.
TEST(VocabBook, MisfitCostsOnlyItself) {
    auto withEntry = [](Json entry, const char* before = "") {
        string file = envelope({{"good", {{"word", "good"}, {"dueAt", "2025-03-01T16:30:00+0800"}}}, {"bad", std::move(entry)}}).dump();
        for (const auto& [name, token] : {std::pair{"\"BIG\"", "123456789012345678901234567890"}, {"\"INF\"", "-1e400"}})
            for (size_t at; (at = file.find(name)) != string::npos;) file.replace(at, 5, token);
        return file.insert(1, before);
    };
    // The word "n" with one more member.
    auto with = [&](const char* name, const Json& value) { return withEntry({{"word", "n"}, {name, value}}); };
    for (const string& file :
        Texts{"[]", R"({"a":{"stage":1}})", R"({"version":1,"updatedAt":"2025-03-01T08:30:00Z","words":{}})", withEntry("n", "\"x\":1e400x,")})
        EXPECT_FALSE(VocabBook::decode(file, 0)) << file;
    const string files[] = {with("dueAt", 762510600), with("dueAt", "2025-03-01 08:30:00"), withEntry("just text"), withEntry({{"stage", 1}}),
        with("lapses", 18446744073709551615ull), with("graduated", 1), with("examTags", {"CET4", 6}), with("provenance", {{"date", 20250301}}),
        with("source", "Lookup"), withEntry({{"word", "BIG"}}), with("stage", "INF"), with("dueAt", "BIG"), with("provenance", "BIG"),
        withEntry({{"word", "n"}, {"hash", "BIG"}, {"crc", {"INF"}}}, "\"sum\":-1e400,"),
        envelope({{"good", {{"word", "good"}, {"dueAt", kMarch1 - kSince2001}}}, {"bad", 1}}, 0).dump()};
    for (const string& file : files) {
        VocabBookReader reader;
        auto words = reader.read(file, 0);
        ASSERT_TRUE(words) << file;
        string seen;
        for (const auto& w : *words) seen += string(w.key) + " ";
        EXPECT_EQ(seen + std::to_string(reader.unreadableWords()), file.find("hash") != string::npos ? "bad good 0" : "good 1") << file;
        EXPECT_EQ(reader.entry(words->back()).dueAt, kMarch1) << file;
    }
}

// Words come in key order, the last of a repeated key winning, and a whole
// entry built later keeps the moment its word was read at. (What a word
// carries for filtering and ordering is the listing's test's.)
TEST(VocabBookReader, KeyOrderWholeOnDemand) {
    VocabBookReader reader;
    const auto words = reader
                           .read(R"({"c":{"word":"Cat","dueAt":"2025-03-02T00:00:00Z"},
        "b":{"word":"old","dueAt":"2025-03-01T00:00:00Z"}, "a":{"word":"ant","deletedAt":"2025-01-01T00:00:00Z"},
        "b":{"word":"bee","note":"n"}})",
                               kMarch1)
                           .value();
    string seen;
    for (const auto& w : words) seen += string(w.key) + ":" + string(w.word) + (w.deleted ? "- " : " ");
    EXPECT_EQ(seen, "a:ant- b:bee c:Cat ");
    const VocabEntry bee = reader.entry(words[1]);
    EXPECT_EQ(std::tie(bee.word, bee.note, bee.addedAt), tuple("bee", "n", kMarch1));
    // A shorter file in falling order, read with the same buffers.
    EXPECT_EQ(reader.read(R"({"y":{"word":"y"},"x":{"word":"x"}})", 0).value().front().key, "x");
}

}  // namespace
}  // namespace qs
