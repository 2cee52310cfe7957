// The query language turned into an FTS5 expression, the ranked pages, and
// where in which text each hit's match stands.
#include "search/fulltext_query.hpp"

#include <unicode/uchar.h>
#include <unicode/uscript.h>
#include <unicode/utf8.h>

#include <algorithm>  // std::min, std::sort, std::count
#include <set>        // std::set
#include <string>     // std::u32string

#include "search/index_fields.hpp"
#include "search/match_ranker.hpp"
#include "search/word_tokenizer.hpp"
#include "text/unicode.hpp"

namespace qs::Search {
namespace {

// Matches a hit's own words are marked with, as a Markdown reader shows them.
constexpr std::string_view kMark = "**";
constexpr size_t kSnippetBefore = 60;
constexpr size_t kSnippetLength = 200;
// Typo candidates per word: the closest and most used of the vocabulary.
constexpr size_t kMaxCandidates = 8;
// Stands, in an edited word, for the letter put in or changed to.
constexpr char32_t kAnyLetter = 0;
// Typo candidates are read by ranges of the vocabulary, by this many first
// letters: fewer than a candidate has.
constexpr size_t kTypoPrefix = 3;

std::u32string codePoints(std::string_view text) {
    std::u32string out;
    for (size_t i = 0; i < text.size();) {
        UChar32 c;
        U8_NEXT(text.data(), i, text.size(), c);
        out.push_back(char32_t(c < 0 ? 0xFFFD : c));
    }
    return out;
}

std::string utf8(std::u32string_view text) {
    std::string out;
    for (char32_t c : text) {
        char bytes[U8_MAX_LENGTH];
        int32_t length = 0;
        U8_APPEND_UNSAFE(bytes, length, UChar32(c));
        out.append(bytes, size_t(length));
    }
    return out;
}

// Every text one edit from `word`: a letter left out, put in or changed
// (kAnyLetter), or two neighbours swapped.
void oneEditFrom(std::u32string_view word, std::set<std::u32string>& out) {
    for (size_t i = 0; i <= word.size(); ++i) {
        std::u32string edited(word);
        out.insert(edited.insert(i, 1, kAnyLetter));
        if (i == word.size()) break;
        edited = word;
        edited[i] = kAnyLetter;
        out.insert(edited);
        edited = word;
        out.insert(edited.erase(i, 1));
        if (i + 1 < word.size()) {
            edited = word;
            std::swap(edited[i], edited[i + 1]);
            out.insert(edited);
        }
    }
}

// A Latin word (letters only), the kind a typo is forgiven in.
bool isLatinWord(std::u32string_view word) {
    for (char32_t c : word) {
        UErrorCode status = U_ZERO_ERROR;
        if (!u_isalpha(UChar32(c)) || uscript_getScript(UChar32(c), &status) != USCRIPT_LATIN) return false;
    }
    return !word.empty();
}

bool isSpaceAt(std::string_view q, size_t i, size_t& width) {
    width = 1;
    if (q[i] == ' ' || q[i] == '\t' || q[i] == '\n' || q[i] == '\r') return true;
    width = 3;
    return q.substr(i, 3) == "\u3000";  // the ideographic space of a CJK keyboard
}

std::string ftsString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + (endsInLoneCjk(text) ? "\"*" : "\"");
}

// A run of tokens to find: a word, a CJK word's characters, a phrase.
using Needle = std::vector<std::string>;

struct Match {
    size_t start = 0, end = 0;
};

// Each place in `text` where a needle stands whole, in order, until `found`
// returns false.
template <class Found>
void forEachMatch(std::string_view text, const std::vector<Needle>& needles, Found&& found) {
    std::vector<std::pair<std::string, Match>> recent;
    size_t longest = 1;
    for (const Needle& n : needles) longest = std::max(longest, n.size());
    tokenize(text, [&](std::string_view word, size_t start, size_t end) {
        recent.emplace_back(std::string(word), Match{start, end});
        if (recent.size() > longest) recent.erase(recent.begin());
        for (const Needle& needle : needles) {
            if (needle.empty() || needle.size() > recent.size()) continue;
            const size_t first = recent.size() - needle.size();
            bool whole = true;
            for (size_t k = 0; whole && k < needle.size(); ++k) whole = recent[first + k].first == needle[k];
            if (whole) return found(Match{recent[first].second.start, end});
        }
        return true;
    });
}

std::optional<Match> firstMatch(std::string_view text, const std::vector<Needle>& needles) {
    std::optional<Match> first;
    forEachMatch(text, needles, [&](Match m) {
        first = m;
        return false;
    });
    return first;
}

// Steps back from `at` to the start of a UTF-8 sequence.
size_t leadByte(std::string_view text, size_t at) {
    while (at > 0 && at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
    return at;
}

// About 200 characters around the match, its words marked, on one line.
std::string snippetAround(std::string_view text, size_t start, const std::vector<Needle>& needles) {
    size_t from = leadByte(text, start > 8 * kSnippetBefore ? start - 8 * kSnippetBefore : 0);
    auto before = Text::graphemeBoundaries(text.substr(from, start - from));
    if (before.size() > kSnippetBefore + 1) from += before[before.size() - 1 - kSnippetBefore];
    size_t to = std::min(text.size(), start + 8 * kSnippetLength);
    to = to < text.size() ? leadByte(text, to) : to;
    std::string_view after = Text::graphemePrefix(text.substr(start, to - start), kSnippetLength - kSnippetBefore);
    std::string_view window = text.substr(from, start - from + after.size());

    // Only whole needles are marked: a phrase's words or a CJK word's
    // characters elsewhere in the window are not the match.
    std::vector<Match> spans;
    forEachMatch(window, needles, [&](Match m) {
        if (!spans.empty() && spans.back().end >= m.start) {
            spans.back().end = std::max(spans.back().end, m.end);
        } else {
            spans.push_back(m);
        }
        return true;
    });
    std::string out = from > 0 ? "…" : "";
    size_t at = 0;
    for (const Match& span : spans) {
        out.append(window.substr(at, span.start - at)).append(kMark);
        out.append(window.substr(span.start, span.end - span.start)).append(kMark);
        at = span.end;
    }
    out.append(window.substr(at));
    for (char& c : out) {
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    }
    if (from + window.size() < text.size()) out += "…";
    return out;
}

// The fields in the order a hit names them: what the entry is called first,
// its long texts last, the tags, people and projects only when nothing else
// holds the match.
constexpr Field kHitOrder[] = {Field::title, Field::text, Field::minutes, Field::summary, Field::report, Field::pending,
    Field::transcript, Field::tags};

void placeHit(Connection& db, int64_t rowid, const std::vector<Needle>& needles, Hit& hit) {
    Statement fields =
        db.prepare("SELECT title,tags,text,minutes,summary,transcript,report,pending FROM body WHERE rowid=?1");
    fields.bind(1, rowid);
    if (!fields.step()) return;
    for (Field field : kHitOrder) {
        std::string_view text = fields.text(int(indexOf(field)));
        if (text.empty()) continue;
        auto match = firstMatch(text, needles);
        if (!match) continue;
        hit.field = std::string(kFieldNames[indexOf(field)]);
        // The tags, people and projects are a list no tool reads by offset.
        if (field != Field::tags) hit.offset = int64_t(Text::graphemeCount(text.substr(0, match->start)));
        // The entry's id heads that list so an id finds its entry; the hit
        // names the id already, so its snippet shows it only as the match.
        const size_t idLine = hit.id.size() + 1;
        if (field == Field::tags && match->start >= idLine && text.starts_with(hit.id + '\n')) {
            text.remove_prefix(idLine);
            match->start -= idLine;
        }
        hit.snippet = snippetAround(text, match->start, needles);
        return;
    }
    hit.field = "title";
    hit.snippet = hit.title;
}

// Every match passes through the ranker once: it counts them and keeps the
// best. The documents' table is joined only for a filter; the ranker looks
// up a day only where it needs one.
void rank(Connection& db, const std::string& expression, const SearchRequest& r, MatchRanker& ranker) {
    const bool filtered = r.type || r.dateFrom || r.dateTo;
    Statement scan =
        db.prepare(filtered ? "SELECT 1 FROM body JOIN docs d ON d.rowid=body.rowid WHERE body MATCH ?1 AND "
                              "quill_rank(body,?5,(?2 IS NULL OR d.type=?2) AND (?3 IS NULL OR d.day>=?3) AND "
                              "(?4 IS NULL OR d.day<=?4),d.day,d.time,d.id)"
                            : "SELECT 1 FROM body WHERE body MATCH ?1 AND quill_rank(body,?5,1)");
    scan.bind(1, expression).bind(5, &ranker, MatchRanker::kPointerType);
    if (filtered) {
        r.type ? scan.bind(2, *r.type) : scan.bindNull(2);
        r.dateFrom ? scan.bind(3, *r.dateFrom) : scan.bindNull(3);
        r.dateTo ? scan.bind(4, *r.dateTo) : scan.bindNull(4);
    }
    scan.run();
}

}  // namespace

size_t editDistance(std::u32string_view a, std::u32string_view b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

ParsedQuery parseQuery(std::string_view q) {
    ParsedQuery parsed;
    size_t i = 0, width = 0;
    while (i < q.size()) {
        if (isSpaceAt(q, i, width)) {
            i += width;
            continue;
        }
        const bool excluded = q[i] == '-' && i + 1 < q.size() && !isSpaceAt(q, i + 1, width);
        if (excluded) ++i;
        ParsedQuery::Term term;
        const bool curly = q.substr(i, 3) == "\u201C";
        if (q[i] == '"' || curly) {
            const size_t open = curly ? 3 : 1;
            size_t close = curly ? q.find("\u201D", i + open) : q.find('"', i + open);
            if (close == std::string_view::npos) close = q.size();
            term.text = std::string(q.substr(i + open, close - i - open));
            term.phrase = true;
            i = close == q.size() ? close : close + (curly ? 3 : 1);
        } else {
            size_t end = i;
            while (end < q.size() && !isSpaceAt(q, end, width)) ++end;
            term.text = std::string(q.substr(i, end - i));
            i = end;
        }
        term.words = words(term.text);
        if (term.words.empty()) continue;
        (excluded ? parsed.excluded : parsed.required).push_back(std::move(term));
    }
    return parsed;
}

std::vector<std::string> typoCandidates(Connection& db, const std::string& word) {
    const std::u32string target = codePoints(word);
    if (target.size() < 5 || !isLatinWord(target)) return {};
    const size_t allowed = target.size() >= 8 ? 2 : 1;
    std::u32string letters = U"abcdefghijklmnopqrstuvwxyz";
    for (char32_t c : target) {
        if (letters.find(c) == std::u32string::npos) letters += c;
    }
    struct Candidate {
        size_t distance;
        int64_t documents;
        std::string term;
    };
    std::vector<Candidate> found;
    std::set<std::string> seen{word};
    auto consider = [&](std::string_view term, int64_t documents) {
        if (!seen.insert(std::string(term)).second) return;
        const std::u32string other = codePoints(term);
        if (other.size() + allowed < target.size() || other.size() > target.size() + allowed) return;
        if (size_t d = editDistance(target, other); d <= allowed) found.push_back({d, documents, std::string(term)});
    };
    // The words one edit from the query, or from its first letters.
    auto oneEditWords = [&](const std::u32string& from) {
        std::set<std::u32string> edited, near{from};
        oneEditFrom(from, edited);
        for (const std::u32string& pattern : edited) {
            const size_t any = pattern.find(kAnyLetter);
            if (any == std::u32string::npos) near.insert(pattern);
            for (size_t k = 0; any != std::u32string::npos && k < letters.size(); ++k) {
                std::u32string filled = pattern;
                filled[any] = letters[k];
                near.insert(std::move(filled));
            }
        }
        return near;
    };
    // Words that begin as the query's first letters are read by one range of
    // the vocabulary; the others one edit away are looked up whole, each
    // look-up a tenth of a range's cost. Two edits: the words that begin as
    // those letters do after one edit (or none), read by ranges, the other
    // edit anywhere after them; two edits both among them would mean reading
    // every range, and are not forgiven.
    const std::u32string head = target.substr(0, kTypoPrefix);
    std::set<std::u32string> prefixes{head};
    if (allowed == 1) {
        Statement exact = db.prepare("SELECT doc FROM vocab WHERE term=?1");
        for (const std::u32string& text : oneEditWords(target)) {
            if (std::u32string_view(text).starts_with(head)) continue;
            const std::string term = utf8(text);
            exact.bind(1, term);
            if (exact.step()) consider(term, exact.integer(0));
            exact.reset();
        }
    } else {
        for (std::u32string text : oneEditWords(target.substr(0, kTypoPrefix + 1))) {
            text.resize(kTypoPrefix);
            prefixes.insert(std::move(text));
        }
    }
    // A prefix is itself too short a word to be a candidate: passed over
    // unread, as the commonest words are short and their lists long.
    Statement range = db.prepare("SELECT term, doc FROM vocab WHERE term>?1 AND term<?2");
    for (const std::u32string& prefix : prefixes) {
        const std::string low = utf8(prefix);
        std::string high = low;
        high.back() = char(high.back() + 1);
        range.bind(1, low).bind(2, high);
        while (range.step()) consider(range.text(0), range.integer(1));
        range.reset();
    }
    std::sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
        return a.distance != b.distance ? a.distance < b.distance : a.documents > b.documents;
    });
    std::vector<std::string> out;
    for (size_t k = 0; k < found.size() && k < kMaxCandidates; ++k) out.push_back(std::move(found[k].term));
    return out;
}

std::optional<SearchResult> search(Connection& db, const SearchRequest& request) {
    const ParsedQuery query = parseQuery(request.query);
    if (query.required.empty()) return std::nullopt;
    // One snapshot for the whole search, so its count, its page and each
    // hit's texts agree while a build commits, and the look-ups after the
    // scan do not each take the database's locks again.
    db.exec("BEGIN");
    struct Ended {
        Connection& db;
        ~Ended() {
            for (const char* end : {"COMMIT", "ROLLBACK"}) {
                try {
                    db.exec(end);
                    return;
                } catch (const SqlError&) {
                }
            }
        }
    } ended{db};

    // The expression names each term's phrase, then the words that stand in
    // for it, then the excluded ones: the ranker is told which is which.
    std::vector<Needle> needles;
    std::vector<PhraseRole> roles;
    std::string expression;
    int index = 0;
    for (const ParsedQuery::Term& term : query.required) {
        needles.push_back(term.words);
        std::vector<std::string> candidates;
        if (!term.phrase && term.words.size() == 1) candidates = typoCandidates(db, term.words[0]);
        std::string alternatives = ftsString(term.text);
        roles.push_back({index, false});
        for (const std::string& c : candidates) {
            alternatives += " OR " + ftsString(c);
            needles.push_back({c});
            roles.push_back({index, true});
        }
        expression += expression.empty() ? "" : " AND ";
        expression += candidates.empty() ? alternatives : "(" + alternatives + ")";
        ++index;
    }
    if (!query.excluded.empty()) {
        std::string none;
        for (const ParsedQuery::Term& term : query.excluded) {
            none += (none.empty() ? "" : " OR ") + ftsString(term.text);
            roles.push_back({-1, false});
        }
        expression = "(" + expression + ") NOT (" + none + ")";
    }

    // The ranker keeps every match up to the page's end (no more than match).
    const auto offset = size_t(std::clamp<int64_t>(request.offset, 0, INT32_MAX));
    const auto limit = size_t(std::clamp<int64_t>(request.limit, 1, INT32_MAX));
    MatchRanker ranker(db, std::move(roles), offset + limit, request.newest, request.now);
    rank(db, expression, request, ranker);
    SearchResult result;
    result.total = ranker.total();
    const std::vector<RankedMatch> best = ranker.best();
    Statement doc = db.prepare("SELECT id,type,day,time,title FROM docs WHERE rowid=?1");
    for (size_t i = offset; i < best.size(); ++i) {
        doc.bind(1, best[i].rowid);
        if (doc.step()) {
            Hit hit{std::string(doc.text(0)), std::string(doc.text(1)), std::string(doc.text(2)),
                std::string(doc.text(3)), std::string(doc.text(4)), "", std::nullopt, ""};
            placeHit(db, best[i].rowid, needles, hit);
            result.hits.push_back(std::move(hit));
        }
        doc.reset();
    }
    return result;
}

}  // namespace qs::Search
