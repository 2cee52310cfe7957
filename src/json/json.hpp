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

// Strict parse of a whole document (object or array at the top level, no
// trailing garbage, no comments). Nothing on any failure.
std::optional<Json> parseJsonDocument(std::string_view text);

}  // namespace qs
