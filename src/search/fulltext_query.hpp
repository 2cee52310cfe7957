// A search of the full-text index: the query language, ranking, and each
// hit's field, offset and snippet.
#pragma once

#include <cstdint>      // int64_t
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "search/sqlite_handle.hpp"

namespace qs::Search {

// A query as the user wrote it: words in any order, all required;
// "…" an exact phrase; -word (or -"…") excluded.
struct ParsedQuery {
    struct Term {
        std::string text;                // as written, quotes and sign removed
        std::vector<std::string> words;  // its words, as the index keeps them
        bool phrase = false;
    };
    std::vector<Term> required;
    std::vector<Term> excluded;
};
ParsedQuery parseQuery(std::string_view query);

// The words of the index's vocabulary within a small edit distance of
// `word` (a Latin word of five letters or more: one edit, a swap of
// neighbours counting as one; eight or more: two), the closest first.
std::vector<std::string> typoCandidates(Connection& db, const std::string& word);

// Optimal string alignment distance between two texts, by code points.
size_t editDistance(std::u32string_view a, std::u32string_view b);

struct SearchRequest {
    std::string query;
    std::optional<std::string> type, dateFrom, dateTo;
    int64_t offset = 0;
    int64_t limit = 10;
    bool newest = false;  // else by relevance
    // The wall clock, in seconds since 1970: recent entries rank a little
    // higher. Without it, every day ranks alike.
    std::optional<int64_t> now;
};

struct Hit {
    std::string id, type, day, time, title;
    std::string field;              // where the best match stands
    std::optional<int64_t> offset;  // of the match in that field's text, in characters; none
                                    // in the tags, or where no match could be placed
    std::string snippet;            // about 200 characters around it, matched words in **…**
};

struct SearchResult {
    int64_t total = 0;
    std::vector<Hit> hits;
};

// Nothing when the query holds no word to look for (only exclusions or
// punctuation). Throws SqlError.
std::optional<SearchResult> search(Connection& db, const SearchRequest& request);

}  // namespace qs::Search
