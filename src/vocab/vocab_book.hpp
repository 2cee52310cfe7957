// The vocabulary book file and its tolerant reader.
#pragma once

#include <cstdint>      // int64_t
#include <map>          // std::map
#include <optional>     // std::optional
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
    double addedAt = 0;    // seconds since 1970-01-01T00:00:00Z
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

namespace VocabBookCore {

// The book's words by key. Tries envelope/ISO, envelope/numeric, bare
// map/ISO, bare map/numeric; when all fail, warns on standard error and
// returns an empty map. Never fails.
std::map<std::string, VocabEntry> decode(std::string_view data);

// As decode, but nothing (and no warning) when none of the four readings
// succeeds, so a caller can tell an unreadable book from an empty one.
std::optional<std::map<std::string, VocabEntry>> tryDecode(std::string_view data);

// The unreadable-book warning line, written as is on standard error.
void warnUnreadable();

}  // namespace VocabBookCore

}  // namespace qs
