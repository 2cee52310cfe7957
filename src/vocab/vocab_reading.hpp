// One all-or-nothing reading of a parsed vocabulary file: one shape of the
// top level and one encoding of its dates.
#pragma once

#include <map>          // std::map
#include <optional>     // std::optional
#include <simdjson.h>   // simdjson::dom::element
#include <string>       // std::string

#include "vocab/vocab_book.hpp"

namespace qs::VocabReading {

enum class Shape { envelope, bareMap };

enum class DateEncoding {
    iso8601,           // "2025-03-01T08:30:00Z", fractional seconds accepted
    referenceSeconds,  // a JSON number of seconds since 2001-01-01T00:00:00Z
};

// The book under that shape and date encoding, or nothing when anything in it
// does not fit: one bad entry fails the whole reading.
std::optional<std::map<std::string, VocabEntry>> read(simdjson::dom::element root, Shape shape,
                                                      DateEncoding dates);

}  // namespace qs::VocabReading
