// The two envelopes of a tool call's result.
#pragma once

#include <string_view>  // std::string_view

#include "json/json.hpp"

namespace qs::ToolResult {

// "content" = one text item with the payload pretty-printed (sorted keys,
// "/" unescaped), "isError" = false.
Json json(const Json& payload);

// "content" = one text item "❌ " + message, "isError" = true.
Json failure(std::string_view message);

// Gives a successful result "structuredContent": the object its text holds,
// read back from the text so the two never differ. Failed results, and a text
// that holds no object, stay as they are.
void addStructuredContent(Json& result);

}  // namespace qs::ToolResult
