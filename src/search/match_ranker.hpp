// A query's matches ranked in the one pass that counts them: a match is
// scored in full only while it may still reach the page asked for.
#pragma once

#include <cstdint>   // int64_t
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

#include "search/sqlite_handle.hpp"

struct sqlite3_value;
struct Fts5ExtensionApi;
struct Fts5Context;

namespace qs::Search {

// What one phrase of a query's FTS5 expression stands for, in the order
// the expression names them.
struct PhraseRole {
    int term = -1;      // the required word or phrase it finds; -1: an excluded one
    bool typo = false;  // a word of the vocabulary standing in for a misspelt one
};

struct RankedMatch {
    int64_t rowid = 0;
    bool typo = false;   // found only with a typo forgiven
    double score = 0.0;  // by relevance: higher first
    std::string newest;  // by date: day, time and id, greater first
};

class MatchRanker {
public:
    // Keeps the best `keep` matches. By relevance: every exact match above
    // every match that needed a typo forgiven, then FTS5's BM25 with the
    // field weights, a little more for recent days (as of `now`, seconds
    // since 1970; without it every day ranks alike), then the later
    // document. By date: day, time and id, newest first.
    MatchRanker(Connection& db, std::vector<PhraseRole> phrases, size_t keep, bool newest, std::optional<int64_t> now);

    // The SQL call each match passes through, its filters' verdict after
    // the ranker bound to it, and its day, time and id where the documents'
    // table is joined anyway: quill_rank(body, ?ranker, passes[, day, time, id]).
    static constexpr const char* kFunction = "quill_rank";
    static constexpr const char* kPointerType = "quill_ranker";

    [[nodiscard]] int64_t total() const { return total_; }
    // The kept matches, best first.
    [[nodiscard]] std::vector<RankedMatch> best();

    void offer(const Fts5ExtensionApi* api, Fts5Context* fts, int argc, sqlite3_value** argv);

private:
    [[nodiscard]] bool better(const RankedMatch& a, const RankedMatch& b) const;
    void keepIfBetter(RankedMatch match);
    void dateMatched();
    double idf(const Fts5ExtensionApi* api, Fts5Context* fts, size_t phrase);
    double recency(int64_t rowid);

    Connection& db_;
    std::vector<PhraseRole> phrases_;
    size_t keep_;
    bool newest_;
    int terms_ = 0;
    int64_t total_ = 0;
    std::vector<RankedMatch> heap_;  // the worst kept first
    std::vector<int64_t> undated_;   // by date, matches whose day is not at hand yet
    Statement age_;
    std::optional<int64_t> now_;
    double mostRecent_ = 1.3;  // the recency of the newest day, which none exceeds
    double averageLength_ = -1.0, rows_ = 0.0;
    std::vector<double> idf_, frequency_;  // idf_: negative until computed
};

// Registers quill_rank with the connection's FTS5; false without FTS5.
bool registerRanker(sqlite3* db);

}  // namespace qs::Search
