// Unicode services on UTF-8 text: grapheme clusters, full lower-casing, NFC,
// validity and lossy decoding, white-space trimming. Built on ICU.
#pragma once

#include <cstddef>      // size_t
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

namespace qs::Text {

// True when `s` is well-formed UTF-8 (no overlongs, surrogates or values past U+10FFFF).
bool isValidUtf8(std::string_view s);

// `s` with every ill-formed sequence replaced by U+FFFD (as most decoders do:
// one replacement per maximal ill-formed subpart).
std::string decodeLossy(std::string_view s);

// Number of extended grapheme clusters (user-perceived characters).
size_t graphemeCount(std::string_view utf8);

// Byte offsets of every grapheme-cluster boundary, 0 and s.size() included,
// so the text has result.size() - 1 characters.
std::vector<size_t> graphemeBoundaries(std::string_view utf8);

// The first `n` grapheme clusters of `s` (all of it when shorter).
std::string_view graphemePrefix(std::string_view utf8, size_t n);

// Full Unicode lower-case mapping, root locale (so "İ" becomes "i̇" and a
// final sigma becomes "ς"), with an ASCII fast path giving identical results.
std::string toLowerFull(std::string_view utf8);

// Canonical composition (NFC).
std::string nfc(std::string_view utf8);

// `s` without Unicode white space and line breaks at both ends.
std::string_view trimWhitespace(std::string_view utf8);

// True when the whole text is four ASCII digits, "-", two digits, "-", two
// digits: the day shape yyyy-MM-dd. No calendar check, no trailing line break.
bool isDayShape(std::string_view s);

}  // namespace qs::Text
