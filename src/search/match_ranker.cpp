// Ranking a query's matches as FTS5 finds them. BM25 as FTS5's own bm25()
// computes it needs each match's length, a look-up of its own per match:
// at 40,000 matches most of a search. A bound that needs no length (the
// length can be no shorter than the furthest match in each field) decides
// first whether a match could still reach the page; only those that could
// are looked up and scored, so the page is the one a full sort would give.
#include "search/match_ranker.hpp"

#include <sqlite3.h>

#include <algorithm>  // std::push_heap, std::pop_heap, std::count_if, std::binary_search
#include <array>      // std::array
#include <cmath>      // std::log
#include <cstdint>    // INT64_MAX
#include <exception>  // std::exception
#include <string>     // std::to_string
#include <utility>    // std::move

#include "search/index_fields.hpp"

namespace qs::Search {
namespace {

// FTS5's bm25() constants.
constexpr double kK1 = 1.2;
constexpr double kB = 0.75;
// A match of today ranks 30% above an old one; half that at six months.
constexpr double kRecencyBoost = 0.3;
constexpr double kRecencyDays = 180.0;
// A document's age in days as of ?2: a day that is no date counts as ten
// years, and so does every day without ?2.
constexpr std::string_view kDayShape = "day GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]*'";
constexpr double kUndatedAge = 3650.0;
std::string ageSql() {
    return "SELECT coalesce(CASE WHEN " + std::string(kDayShape) +
           " THEN julianday(?2,'unixepoch') - julianday(day) END, " + std::to_string(kUndatedAge) + ") FROM docs ";
}

// What a match sorts by, by date: its day, time and id, each closed by a
// unit separator so a shorter one sorts first.
std::string newestKey(std::string_view day, std::string_view time, std::string_view id) {
    std::string key;
    for (std::string_view part : {day, time, id}) key.append(part).push_back('\x1f');
    return key;
}

double boost(double age) { return 1.0 + kRecencyBoost / (1.0 + std::max(age, 0.0) / kRecencyDays); }

void rankFunction(
    const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int argc, sqlite3_value** argv) {
    auto* ranker =
        argc > 0 ? static_cast<MatchRanker*>(sqlite3_value_pointer(argv[0], MatchRanker::kPointerType)) : nullptr;
    if (!ranker) {
        sqlite3_result_error(context, "quill_rank: no ranker bound", -1);
        return;
    }
    try {
        ranker->offer(api, fts, argc - 1, argv + 1);
        sqlite3_result_int(context, 0);
    } catch (const SqlError& error) {
        sqlite3_result_error(context, error.message.c_str(), -1);
        sqlite3_result_error_code(context, error.code);  // a damaged index is rebuilt
    } catch (const std::exception& error) {              // nothing may pass through SQLite's C
        sqlite3_result_error(context, error.what(), -1);
    }
}

int countMatch(const Fts5ExtensionApi*, Fts5Context*, void* count) {
    ++*static_cast<int64_t*>(count);
    return SQLITE_OK;
}

std::string_view textOf(sqlite3_value* value) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    return text ? std::string_view(text, size_t(sqlite3_value_bytes(value))) : std::string_view();
}

}  // namespace

MatchRanker::MatchRanker(
    Connection& db, std::vector<PhraseRole> phrases, size_t keep, bool newest, std::optional<int64_t> now)
    : db_(db),
      phrases_(std::move(phrases)),
      keep_(keep),
      newest_(newest),
      age_(db.prepare(ageSql() + "WHERE rowid=?1")),
      now_(now) {
    for (const PhraseRole& p : phrases_) terms_ = std::max(terms_, p.term + 1);
    // No match is more recent than the newest day (the latest of dates as
    // texts is the latest date; one that is none leaves no bound but the
    // highest).
    Statement latest = db.prepare("SELECT julianday(?1,'unixepoch') - julianday(day) FROM docs WHERE " +
                                  std::string(kDayShape) + " ORDER BY day DESC LIMIT 1");
    latest.bind(1, now.value_or(0));
    if (!now) {
        mostRecent_ = boost(kUndatedAge);
    } else if (latest.step() && !latest.isNull(0)) {
        mostRecent_ = boost(latest.real(0));
    }
}

bool MatchRanker::better(const RankedMatch& a, const RankedMatch& b) const {
    if (newest_ && a.newest != b.newest) return a.newest > b.newest;
    if (a.typo != b.typo) return !a.typo;
    if (a.score != b.score) return a.score > b.score;
    return a.rowid > b.rowid;
}

void MatchRanker::keepIfBetter(RankedMatch match) {
    auto worse = [this](const RankedMatch& a, const RankedMatch& b) { return better(a, b); };
    if (heap_.size() < keep_) {
        heap_.push_back(std::move(match));
        std::push_heap(heap_.begin(), heap_.end(), worse);
    } else if (better(match, heap_.front())) {
        std::pop_heap(heap_.begin(), heap_.end(), worse);
        heap_.back() = std::move(match);
        std::push_heap(heap_.begin(), heap_.end(), worse);
    }
}

// By date: the documents walked newest first until the page is full (at
// most every document, about 10 ms at 100,000), kept in that order.
void MatchRanker::dateMatched() {
    const size_t wanted = std::min(keep_, undated_.size());
    // By rowid, as FTS5 gives its matches unless asked otherwise.
    if (!std::is_sorted(undated_.begin(), undated_.end())) std::sort(undated_.begin(), undated_.end());
    Statement walk = db_.prepare("SELECT rowid,day,time,id FROM docs ORDER BY day DESC,time DESC,id DESC,rowid DESC");
    while (heap_.size() < wanted && walk.step()) {
        if (!std::binary_search(undated_.begin(), undated_.end(), walk.integer(0))) continue;
        RankedMatch match;
        match.rowid = walk.integer(0);
        match.newest = newestKey(walk.text(1), walk.text(2), walk.text(3));
        heap_.push_back(std::move(match));
    }
    undated_.clear();
}

std::vector<RankedMatch> MatchRanker::best() {
    if (!undated_.empty()) dateMatched();
    std::vector<RankedMatch> sorted = heap_;
    std::sort(
        sorted.begin(), sorted.end(), [this](const RankedMatch& a, const RankedMatch& b) { return better(a, b); });
    return sorted;
}

// As bm25() weighs a phrase: the rarer in the whole index, the more.
double MatchRanker::idf(const Fts5ExtensionApi* api, Fts5Context* fts, size_t phrase) {
    if (idf_[phrase] >= 0.0) return idf_[phrase];
    int64_t hits = 0;
    if (int rc = api->xQueryPhrase(fts, int(phrase), &hits, countMatch); rc != SQLITE_OK) {
        throw SqlError{rc, "quill_rank: a phrase could not be counted"};
    }
    const double idf = std::log((rows_ - double(hits) + 0.5) / (double(hits) + 0.5));
    return idf_[phrase] = idf > 0.0 ? idf : 1e-6;
}

double MatchRanker::recency(int64_t rowid) {
    age_.bind(1, rowid);
    now_ ? age_.bind(2, *now_) : age_.bindNull(2);
    const double age = age_.step() ? age_.real(0) : kUndatedAge;
    age_.reset();
    return boost(age);
}

void MatchRanker::offer(const Fts5ExtensionApi* api, Fts5Context* fts, int argc, sqlite3_value** argv) {
    if (argc < 1 || !sqlite3_value_int(argv[0])) return;  // filtered out
    ++total_;
    RankedMatch match;
    match.rowid = api->xRowid(fts);
    if (averageLength_ < 0.0) {
        sqlite3_int64 rows = 0, tokens = 0;
        api->xRowCount(fts, &rows);
        api->xColumnTotalSize(fts, -1, &tokens);
        rows_ = double(rows);
        averageLength_ = rows > 0 ? double(tokens) / double(rows) : 1.0;
        // An expression other than the one described: every phrase counts alike.
        if (phrases_.size() != size_t(api->xPhraseCount(fts))) {
            phrases_.assign(size_t(api->xPhraseCount(fts)), {0, false});
            terms_ = 1;
        }
        idf_.assign(phrases_.size(), -1.0);
    }
    if (newest_) {
        if (argc < 4) {
            undated_.push_back(match.rowid);
            return;
        }
        match.newest = newestKey(textOf(argv[1]), textOf(argv[2]), textOf(argv[3]));
        keepIfBetter(std::move(match));
        return;
    }

    // How often each phrase stands in the match, weighed by its field, and
    // the least length its fields can have.
    frequency_.assign(phrases_.size(), 0.0);
    std::array<int, kFieldCount> reach{};
    std::vector<bool> exact(size_t(terms_), false);
    int instances = 0;
    api->xInstCount(fts, &instances);
    for (int i = 0; i < instances; ++i) {
        int phrase = 0, column = 0, offset = 0;
        if (api->xInst(fts, i, &phrase, &column, &offset) != SQLITE_OK || size_t(column) >= kFieldCount) continue;
        frequency_[size_t(phrase)] += kFieldWeights[size_t(column)];
        reach[size_t(column)] = std::max(reach[size_t(column)], offset + 1);
        const PhraseRole& role = phrases_[size_t(phrase)];
        if (role.term >= 0 && !role.typo) exact[size_t(role.term)] = true;
    }
    match.typo = std::find(exact.begin(), exact.end(), false) != exact.end();

    // An exact match is scored by the words asked for, a typo match by every
    // word that stands in; one phrase alone needs no weight of its own.
    auto counts = [&](const PhraseRole& role) { return role.term >= 0 && (match.typo || !role.typo); };
    const bool weighed = std::count_if(phrases_.begin(), phrases_.end(), counts) > 1;
    auto bm25 = [&](double length) {
        double score = 0.0;
        for (size_t p = 0; p < phrases_.size(); ++p) {
            const double f = frequency_[p];
            if (f <= 0.0 || !counts(phrases_[p])) continue;
            const double saturation = f * (kK1 + 1.0) / (f + kK1 * (1.0 - kB + kB * length / averageLength_));
            score += (weighed ? idf(api, fts, p) : 1.0) * saturation;
        }
        return score;
    };
    // Passed over as soon as it cannot reach the page: first with no length
    // looked up, then with no day.
    auto outranked = [&](double score) {
        RankedMatch bound = match;
        bound.score = score * mostRecent_;
        bound.rowid = INT64_MAX;
        return heap_.size() >= keep_ && !better(bound, heap_.front());
    };
    int least = 0;
    for (int r : reach) least += r;
    if (outranked(bm25(double(least)))) return;
    int length = 0;
    if (int rc = api->xColumnSize(fts, -1, &length); rc != SQLITE_OK) throw SqlError{rc, "quill_rank: no length"};
    match.score = bm25(double(length));
    if (outranked(match.score)) return;
    match.score *= recency(match.rowid);
    keepIfBetter(std::move(match));
}

bool registerRanker(sqlite3* db) {
    fts5_api* api = fts5Of(db);
    return api && api->xCreateFunction(api, MatchRanker::kFunction, nullptr, rankFunction, nullptr) == SQLITE_OK;
}

}  // namespace qs::Search
