// The vocabulary book file and its tolerant reader.
#pragma once

#include <simdjson.h>  // simdjson::dom::parser, simdjson::dom::element

#include <cstdint>      // int64_t
#include <map>          // std::map
#include <optional>     // std::optional
#include <span>         // std::span
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

namespace qs {

enum class VocabReviewSource { lookup, imported };

struct VocabEntry {
    struct Provenance {
        std::optional<std::string> itemID;
        std::optional<std::string> date;
        std::optional<std::string> excerpt;
    };

    std::string word;
    double addedAt = 0;  // seconds since 1970-01-01T00:00:00Z
    double updatedAt = 0;
    int64_t stage = 0;
    double dueAt = 0;
    int64_t lapses = 0;
    bool graduated = false;
    std::optional<std::string> phonetic;
    std::optional<std::string> translation;
    std::vector<std::string> examTags;
    std::optional<VocabReviewSource> source;
    std::optional<Provenance> provenance;
    std::optional<std::vector<std::string>> examples;
    std::optional<std::string> note;
    std::optional<double> deletedAt;
};

// The tolerant reader, keeping its memory from one read to the next: a book of
// thousands of words needs megabytes of parser buffers, and fresh mappings on
// every call would cost more in page faults than the parse. Nothing is cached.
//
// A read checks every entry as decode does but copies nothing out of the
// parsed file: a caller that lists a few of thousands of words filters them
// by the fields below and builds the whole entry only for the words it keeps.
class VocabBookReader {
public:
    struct Word {
        std::string_view key;
        std::string_view word;
        std::optional<std::string_view> translation;
        std::optional<VocabReviewSource> source;
        double dueAt = 0;              // the moment of reading when the file has none
        bool deleted = false;          // the entry has a deletedAt
        simdjson::dom::element value;  // the entry in the parsed file
        bool unreadable = false;       // does not fit its reading; never handed out
    };

    // The words of decode's reading, in key order with one word per key (a
    // later duplicate replacing an earlier one), as decode's map holds them;
    // a missing date is `now` (seconds since 1970), the moment of reading.
    // Nothing when no reading fits; nothing is written to standard error.
    // Valid until the next read.
    std::optional<std::span<const Word>> read(std::string_view data, double now);

    // The same for the bytes a caller has put into `input()`, which saves
    // copying a large file once more.
    std::string& input() { return input_; }
    std::optional<std::span<const Word>> readInput(double now);

    // The whole entry of a word of the last read, its defaults taken at the
    // same moment as when it was read.
    [[nodiscard]] VocabEntry entry(const Word& word) const;

    // How many words the last read left out because they could not be read.
    [[nodiscard]] size_t unreadableWords() const { return unreadable_; }

private:
    simdjson::dom::parser parser_;
    std::string input_;
    std::vector<Word> words_;
    std::vector<Word> spare_;  // a partial reading kept while the next is tried
    bool numericDates_ = false;
    double now_ = 0;
    size_t unreadable_ = 0;
};

namespace VocabBook {

// The book's words by key. Of the four readings (envelope/ISO,
// envelope/numeric, bare map/ISO, bare map/numeric), the first whose shape
// fits and where every word reads; else the one of them that reads the most
// words, the words it cannot read left out. A reading where no word reads
// does not count. Nothing when no reading counts, so a caller can tell an
// unreadable book from an empty one and word the warning itself. A missing
// date is `now`, as in VocabBookReader::read.
std::optional<std::map<std::string, VocabEntry>> decode(std::string_view data, double now);

}  // namespace VocabBook

}  // namespace qs
