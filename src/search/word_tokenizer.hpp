// The words the full-text index keeps of a text, folded so that a query
// matches whatever the case and, for Latin letters, the accents.
#pragma once

#include <cstddef>      // size_t
#include <functional>   // std::function
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

struct sqlite3;

namespace qs::Search {

// A word as the index keeps it, and the bytes of the text it stands for;
// false stops the tokenizing.
using TokenSink = std::function<bool(std::string_view word, size_t start, size_t end)>;

// ICU's word boundaries, full case folding, Latin accents dropped. Han,
// kana and Hangul become one word per character, so any run of them is
// found as a phrase of characters: a one- or two-character word included,
// wherever it stands inside a longer one. Emoji are words of their own;
// punctuation and white space are none.
void tokenize(std::string_view text, const TokenSink& sink);

// The words of a text, in order (a query's needle).
std::vector<std::string> words(std::string_view text);

// Whether the text ends in a CJK character with none right before it: FTS5
// finds it as the prefix of the pairs it keeps.
bool endsInLoneCjk(std::string_view text);

// The tokenizer's name in a table's `tokenize` option.
inline constexpr std::string_view kTokenizerName = "quill";

// Registers the tokenizer with the connection's FTS5, which keeps each two
// neighbouring CJK characters as one word; false when the library has no FTS5.
bool registerTokenizer(sqlite3* db);

}  // namespace qs::Search
