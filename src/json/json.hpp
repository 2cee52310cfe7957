// The program's dynamic JSON value and the only places it is turned into text.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view

namespace qs {

// Objects keep their keys sorted (std::map), which is exactly the order the
// pretty payload form needs.
using Json = nlohmann::json;

namespace JsonWriter {

// Compact protocol form: no white space, non-ASCII written as raw UTF-8,
// control characters escaped, "/" escaped as "\/". Nothing when the value
// holds a non-finite number or a text that is not valid UTF-8.
std::optional<std::string> wire(const Json& value);

// Pretty payload form: one member per line, keys sorted, "/" left as is.
// Nothing under the same conditions as `wire`.
std::optional<std::string> payload(const Json& value);

// The value's default textual form, for values the two writers refuse:
// never fails (invalid UTF-8 is replaced, non-finite numbers read null).
std::string lenient(const Json& value);

}  // namespace JsonWriter

// A number kept as its own text, for a number no JSON number value holds
// (1e400) or one passed on exactly as a file wrote it. Stored as a binary
// value of its own subtype, which no JSON text parses into; both writers
// write it as the bare text.
Json rawNumber(std::string_view text);
std::optional<std::string_view> rawNumberText(const Json& value);

enum class JsonNumbers {
    values,   // numbers as values; only those beyond a double kept as their text
    ownText,  // every number kept as its own text
};

// Strict parse of a whole document (object or array at the top level, no
// trailing garbage, no comments). Every RFC 8259 number parses, whatever its
// size. Nothing on any failure.
std::optional<Json> parseJsonDocument(std::string_view text, JsonNumbers numbers = JsonNumbers::values);

}  // namespace qs
