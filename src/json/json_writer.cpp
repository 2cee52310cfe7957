// The compact wire form and the pretty payload form, built once for everyone.
#include "json/json.hpp"

#include <cmath>  // std::isfinite

namespace qs {
namespace {

// nlohmann writes non-finite numbers as null; the wire must refuse them instead.
bool allNumbersFinite(const Json& value) {
    switch (value.type()) {
    case Json::value_t::number_float:
        return std::isfinite(value.get<double>());
    case Json::value_t::object:
    case Json::value_t::array:
        for (const auto& element : value) {
            if (!allNumbersFinite(element)) return false;
        }
        return true;
    default:
        return true;
    }
}

std::optional<std::string> dumpStrict(const Json& value, int indent) {
    if (!allNumbersFinite(value)) return std::nullopt;
    try {
        return value.dump(indent, ' ', false, Json::error_handler_t::strict);
    } catch (const Json::exception&) {
        return std::nullopt;  // a text that is not valid UTF-8
    }
}

// The JSON library copies, compares and writes values recursively, so a
// document nested a few hundred thousand levels deep would overflow the stack
// long after it was parsed. No message or vault file comes close to this.
constexpr size_t maximumNesting = 512;

// True when no array or object in the text nests deeper than `limit`. Only
// brackets outside strings count; the text need not be valid JSON.
bool nestingWithin(std::string_view text, size_t limit) {
    size_t depth = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit) return false;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return true;
}

}  // namespace

namespace JsonWriter {

std::optional<std::string> wire(const Json& value) {
    auto text = dumpStrict(value, -1);
    if (!text) return std::nullopt;
    // A "/" can only stand inside a string in serialised JSON, so escaping
    // every one of them is exact.
    std::string out;
    out.reserve(text->size() + 16);
    for (char c : *text) {
        if (c == '/') out += '\\';
        out += c;
    }
    return out;
}

std::optional<std::string> payload(const Json& value) { return dumpStrict(value, 2); }

std::string lenient(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace JsonWriter

std::optional<Json> parseJsonDocument(std::string_view text) {
    if (!nestingWithin(text, maximumNesting)) return std::nullopt;
    Json parsed = Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false,
                              /*ignore_comments=*/false);
    if (parsed.is_discarded()) return std::nullopt;
    if (!parsed.is_object() && !parsed.is_array()) return std::nullopt;
    return parsed;
}

}  // namespace qs
