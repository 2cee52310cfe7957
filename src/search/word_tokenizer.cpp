// The index's words: ICU word boundaries and case folding, one word per CJK
// character, and the same tokenizer handed to FTS5 for texts and queries.
#include "search/word_tokenizer.hpp"

#include <sqlite3.h>
#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/uscript.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <memory>  // std::unique_ptr

#include "search/sqlite_handle.hpp"

namespace qs::Search {
namespace {

// Scripts written without spaces between words: every character is a word,
// so a query finds any run of them, as a substring search would.
bool isCjk(UChar32 c) {
    if (c < 0x1100) return false;
    if (c >= 0x4E00 && c <= 0x9FFF) return true;  // the common ideographs, most of any Chinese text
    return uscript_hasScript(c, USCRIPT_HAN) || uscript_hasScript(c, USCRIPT_HIRAGANA) ||
           uscript_hasScript(c, USCRIPT_KATAKANA) || uscript_hasScript(c, USCRIPT_HANGUL);
}

// One CJK character, as tokenize gives them.
bool isCjkWord(std::string_view word) {
    if (word.size() < 3) return false;
    size_t i = 0;
    UChar32 c;
    U8_NEXT(word.data(), i, word.size(), c);
    return i == word.size() && isCjk(c);
}

bool isEmoji(std::string_view segment) {
    for (size_t i = 0; i < segment.size();) {
        UChar32 c;
        U8_NEXT(segment.data(), i, segment.size(), c);
        if (c >= 0x80 &&
            (u_hasBinaryProperty(c, UCHAR_EXTENDED_PICTOGRAPHIC) || u_hasBinaryProperty(c, UCHAR_REGIONAL_INDICATOR))) {
            return true;
        }
    }
    return false;
}

// Full case folding (so "Straße" and "STRASSE" are one word), then the
// marks on Latin letters dropped ("Müller" is "muller"), composed again.
std::string_view fold(std::string_view word, std::string& out) {
    bool ascii = true;
    for (char c : word) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    out.clear();
    if (ascii) {
        out.assign(word);
        for (char& c : out) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        return out;
    }
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(icu::StringPiece(word.data(), int32_t(word.size())));
    text.foldCase(U_FOLD_CASE_DEFAULT);
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_SUCCESS(status)) {
        icu::UnicodeString split = nfd->normalize(text, status), kept;
        bool afterLatin = false;
        for (int32_t i = 0; i < split.length();) {
            UChar32 c = split.char32At(i);
            i += U16_LENGTH(c);
            if (u_charType(c) == U_NON_SPACING_MARK) {
                if (!afterLatin) kept.append(c);
                continue;
            }
            UErrorCode scriptStatus = U_ZERO_ERROR;
            afterLatin = uscript_getScript(c, &scriptStatus) == USCRIPT_LATIN;
            kept.append(c);
        }
        if (U_SUCCESS(status)) text = nfc->normalize(kept, status);
    }
    text.toUTF8String(out);
    return out;
}

struct WordBreaks {
    std::unique_ptr<icu::BreakIterator> iterator;
    UText* text = nullptr;
    WordBreaks() {
        UErrorCode status = U_ZERO_ERROR;
        iterator.reset(icu::BreakIterator::createWordInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) iterator.reset();
    }
    ~WordBreaks() { utext_close(text); }
};

// The words of a run without CJK characters, `offset` bytes into the text.
bool tokenizeRun(std::string_view run, size_t offset, const TokenSink& sink) {
    thread_local WordBreaks breaks;
    if (run.empty() || !breaks.iterator) return true;
    UErrorCode status = U_ZERO_ERROR;
    breaks.text = utext_openUTF8(breaks.text, run.data(), int64_t(run.size()), &status);
    breaks.iterator->setText(breaks.text, status);
    if (U_FAILURE(status)) return true;
    int32_t start = breaks.iterator->first();
    for (int32_t end = breaks.iterator->next(); end != icu::BreakIterator::DONE;
         start = end, end = breaks.iterator->next()) {
        std::string_view segment = run.substr(size_t(start), size_t(end - start));
        if (breaks.iterator->getRuleStatus() >= UBRK_WORD_NONE_LIMIT) {
            thread_local std::string folded;  // one buffer for every word: no allocation a word
            if (!sink(fold(segment, folded), offset + size_t(start), offset + size_t(end))) return false;
        } else if (isEmoji(segment)) {
            if (!sink(segment, offset + size_t(start), offset + size_t(end))) return false;
        }
    }
    return true;
}

// FTS5's side: the tokenizer has no state, so one object serves every table.
int createTokenizer(void*, const char**, int, Fts5Tokenizer** out) {
    static char instance;
    *out = reinterpret_cast<Fts5Tokenizer*>(&instance);
    return SQLITE_OK;
}
void deleteTokenizer(Fts5Tokenizer*) {}
// What FTS5 keeps of a text: the words, each pair of neighbouring CJK
// characters as one word (a run's last character alone), so a CJK query is
// a phrase of pairs whose lists are short where single characters' are
// long. A query's run of two or more ends on its last pair (the text may go
// on after it); a single character ends the query as a prefix, written so
// by the query, and so finds every pair it begins.
int tokenizeForFts(Fts5Tokenizer*, void* context, int flags, const char* text, int size,
    int (*token)(void*, int, const char*, int, int, int)) {
    const bool query = (flags & FTS5_TOKENIZE_QUERY) != 0;
    int rc = SQLITE_OK;

    std::string_view held;  // the CJK character waiting for its neighbour
    size_t heldStart = 0;
    bool paired = false;  // the held character ends a pair already given
    std::string pair;
    auto give = [&](std::string_view word, size_t start, size_t end) {
        rc = token(context, 0, word.data(), int(word.size()), int(start), int(end));
        return rc == SQLITE_OK;
    };
    const std::string_view all(text, size_t(size));
    tokenize(all, [&](std::string_view word, size_t start, size_t end) {
        const bool cjk = isCjkWord(word);
        if (!held.empty()) {
            if (cjk && heldStart + held.size() == start) {
                pair.assign(held).append(word);
                const size_t from = heldStart;
                held = word, heldStart = start, paired = true;
                return give(pair, from, end);
            }
            if (!give(held, heldStart, heldStart + held.size())) return false;
            held = {}, paired = false;
        }
        if (cjk) {
            held = word, heldStart = start;
            return true;
        }
        return give(word, start, end);
    });
    if (rc == SQLITE_OK && !held.empty() && !(query && paired)) give(held, heldStart, heldStart + held.size());
    return rc;
}

}  // namespace

void tokenize(std::string_view text, const TokenSink& sink) {
    size_t runStart = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t at = i;
        UChar32 c;
        U8_NEXT(text.data(), i, text.size(), c);
        if (!isCjk(c)) continue;
        if (!tokenizeRun(text.substr(runStart, at - runStart), runStart, sink)) return;
        if (!sink(text.substr(at, i - at), at, i)) return;
        runStart = i;
    }
    tokenizeRun(text.substr(runStart), runStart, sink);
}

std::vector<std::string> words(std::string_view text) {
    std::vector<std::string> found;
    tokenize(text, [&](std::string_view word, size_t, size_t) {
        found.emplace_back(word);
        return true;
    });
    return found;
}

bool endsInLoneCjk(std::string_view text) {
    size_t lastStart = 0, lastEnd = 0, beforeEnd = 0;
    bool last = false, before = false;
    tokenize(text, [&](std::string_view word, size_t start, size_t end) {
        before = last, beforeEnd = lastEnd;
        last = isCjkWord(word), lastStart = start, lastEnd = end;
        return true;
    });
    return last && !(before && beforeEnd == lastStart);
}

bool registerTokenizer(sqlite3* db) {
    fts5_api* api = fts5Of(db);
    if (!api) return false;
    static fts5_tokenizer tokenizer{createTokenizer, deleteTokenizer, tokenizeForFts};
    return api->xCreateTokenizer(api, kTokenizerName.data(), nullptr, &tokenizer, nullptr) == SQLITE_OK;
}

}  // namespace qs::Search
