// One all-or-nothing reading of a parsed vocabulary file: one shape of the
// top level and one encoding of its dates.
#pragma once

#include <simdjson.h>  // simdjson::dom::element

#include <cstddef>   // size_t
#include <optional>  // std::optional
#include <vector>    // std::vector

#include "vocab/vocab_book.hpp"

namespace qs::VocabReading {

enum class Shape { envelope, bareMap };

enum class DateEncoding {
    iso8601,           // "2025-03-01T08:30:00Z", fractional seconds accepted
    referenceSeconds,  // a JSON number of seconds since 2001-01-01T00:00:00Z
};

// Every entry checked under that shape and date encoding, each as a word in
// file order, an entry that does not fit marked unreadable (it costs only
// itself). The count of unreadable words; nothing when the file's shape does
// not fit. A missing date is `now`. Nothing is copied out of the document.
std::optional<size_t> read(simdjson::dom::element root, Shape shape, DateEncoding dates, double now,
    std::vector<VocabBookReader::Word>& words);

// The whole entry of a word that a reading with `dates` and `now` accepted.
VocabEntry entry(const VocabBookReader::Word& word, DateEncoding dates, double now);

}  // namespace qs::VocabReading
