// The reader behind vocab_list: its words are decode's map, in the map's
// order, without copying the book, and a word's whole entry is decode's entry.
#include <gtest/gtest.h>

#include <string>  // std::string
#include <vector>  // std::vector

#include "json/json.hpp"
#include "vocab/vocab_book.hpp"

namespace qs {
namespace {

TEST(VocabBookReader, WordsAreDecodesMapInKeyOrderTheLastDuplicateWinning) {
    // Keys out of order and repeated; the first "b" would fail nothing but is replaced.
    const std::string file = R"({"c":{"word":"Cat","dueAt":"2025-03-02T00:00:00Z","translation":"猫","source":"imported"},
        "b":{"word":"old","dueAt":"2025-03-01T00:00:00Z"},
        "a":{"word":"ant","deletedAt":"2025-01-01T00:00:00Z","examTags":["CET4"],"provenance":{"excerpt":""}},
        "b":{"word":"bee","dueAt":"2025-03-03T00:00:00Z","note":"n"}})";
    VocabBookReader reader;
    auto words = reader.read(file);
    ASSERT_TRUE(words);
    std::vector<std::string> keys, texts;
    for (const auto& word : *words) {
        keys.emplace_back(word.key);
        texts.emplace_back(word.word);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(texts, (std::vector<std::string>{"ant", "bee", "Cat"}));
    EXPECT_TRUE((*words)[0].deleted);
    EXPECT_EQ((*words)[2].translation, "猫");
    EXPECT_EQ((*words)[2].source, VocabReviewSource::imported);

    auto book = *VocabBook::decode(file);
    ASSERT_EQ(book.size(), words->size());
    for (const auto& word : *words) {
        VocabEntry built = reader.entry(word);
        const VocabEntry& decoded = book.at(std::string(word.key));
        EXPECT_EQ(built.word, decoded.word);
        EXPECT_EQ(built.note, decoded.note);
        EXPECT_EQ(built.examTags, decoded.examTags);
        EXPECT_EQ(built.provenance.has_value(), decoded.provenance.has_value());
        EXPECT_EQ(built.deletedAt, decoded.deletedAt);
        EXPECT_EQ(built.dueAt, word.dueAt);
    }
}

// A default "the moment of reading" is taken when the word is read, and the
// whole entry built later keeps that moment.
TEST(VocabBookReader, AWordsEntryKeepsTheMomentItWasReadAt) {
    VocabBookReader reader;
    auto words = reader.read(R"({"x":{"word":"x"}})");
    ASSERT_TRUE(words);
    const double readAt = (*words)[0].dueAt;
    VocabEntry entry = reader.entry((*words)[0]);
    EXPECT_EQ(entry.dueAt, readAt);
    EXPECT_EQ(entry.addedAt, readAt);
    EXPECT_EQ(entry.updatedAt, readAt);
    EXPECT_FALSE(reader.read(R"({"x":{"word":"x","source":"Lookup"}})"));
}

}  // namespace
}  // namespace qs
