// One all-or-nothing reading of a parsed vocabulary file: one shape of the
// top level and one encoding of its dates.
#pragma once

#include <simdjson.h>  // simdjson::dom::element

#include <vector>  // std::vector

#include "vocab/vocab_book.hpp"

namespace qs::VocabReading {

enum class Shape { envelope, bareMap };

enum class DateEncoding {
    iso8601,           // "2025-03-01T08:30:00Z", fractional seconds accepted
    referenceSeconds,  // a JSON number of seconds since 2001-01-01T00:00:00Z
};

// Every entry checked under that shape and date encoding, each as a word in
// file order; false when anything does not fit: one bad entry fails the
// whole reading. Nothing is copied out of the document.
bool read(simdjson::dom::element root, Shape shape, DateEncoding dates, std::vector<VocabBookReader::Word>& words);

// The whole entry of a word that a reading with `dates` accepted.
VocabEntry entry(const VocabBookReader::Word& word, DateEncoding dates);

}  // namespace qs::VocabReading
