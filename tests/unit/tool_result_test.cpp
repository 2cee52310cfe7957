// The two envelopes of a tool call.
#include <gtest/gtest.h>

#include <cmath>  // INFINITY

#include "tools/tool_result.hpp"

using qs::Json;

TEST(ToolResult, JsonIsPrettySortedWithPlainSlashes) {
    EXPECT_EQ(qs::ToolResult::json(Json{{"b", "x/y"}, {"a", Json::array({1})}}),
              (Json{{"content", {{{"type", "text"}, {"text", "{\n  \"a\": [\n    1\n  ],\n  \"b\": \"x/y\"\n}"}}}},
                    {"isError", false}}));
}

// Whatever a tool hands over, the reply line can still be written.
TEST(ToolResult, UnwritableTextsStillMakeAWritableReply) {
    Json result = qs::ToolResult::json(Json{{"x", INFINITY}, {"s", std::string("a\xff")}});
    EXPECT_EQ(result["isError"], false);
    EXPECT_NE(result["content"][0]["text"].get<std::string>().find("\"x\""), std::string::npos);
    EXPECT_TRUE(qs::JsonWriter::wire(result));
    EXPECT_EQ(qs::ToolResult::failure("name \xff.md"),
              (Json{{"content", {{{"type", "text"}, {"text", "❌ name \uFFFD.md"}}}}, {"isError", true}}));
}
