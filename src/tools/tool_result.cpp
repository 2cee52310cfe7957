// The success and failure envelopes every tool call answers with.
#include "tools/tool_result.hpp"

#include <string>  // std::string

#include "text/unicode.hpp"

namespace qs::ToolResult {
namespace {

Json envelope(std::string text, bool isError) {
    return Json{{"content", Json::array({Json{{"type", "text"}, {"text", std::move(text)}}})}, {"isError", isError}};
}

}  // namespace

Json json(const Json& payload) {
    // A payload the strict writer refuses (a non-finite number, broken UTF-8)
    // is still shown, in its lenient form, rather than lost.
    auto text = JsonWriter::payload(payload);
    return envelope(text ? std::move(*text) : JsonWriter::lenient(payload), false);
}

Json failure(std::string_view message) {
    // Messages may quote file names from disk; broken UTF-8 in them must not
    // turn the whole reply into an internal error.
    std::string text = "❌ ";
    text += Text::isValidUtf8(message) ? std::string(message) : Text::decodeLossy(message);
    return envelope(std::move(text), true);
}

void addStructuredContent(Json& result) {
    if (result.value("isError", true)) return;
    const Json& text = result.at("content").at(0).at("text");  // the envelope json() made
    if (!text.is_string()) return;
    // Every number keeps its own text: an integer beyond 64 bits read as a
    // value would turn into a double and differ from the text.
    auto value = parseJsonDocument(text.get_ref<const std::string&>(), JsonNumbers::ownText);
    if (value && value->is_object()) result["structuredContent"] = std::move(*value);
}

}  // namespace qs::ToolResult
