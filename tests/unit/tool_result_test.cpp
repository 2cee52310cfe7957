// The two envelopes of a tool call.
#include <gtest/gtest.h>

#include <cmath>  // INFINITY

#include "protocol/tool_result.hpp"

using qs::Json;

TEST(ToolResult, JsonIsPrettySortedWithPlainSlashes) {
    Json result = qs::ToolResult::json(Json{{"b", "x/y"}, {"a", Json::array({1})}});
    EXPECT_EQ(result, (Json{{"content", Json::array({Json{{"type", "text"},
                                                           {"text", "{\n  \"a\": [\n    1\n  ],\n  \"b\": \"x/y\"\n}"}}})},
                            {"isError", false}}));
}

TEST(ToolResult, UnwritablePayloadStillYieldsText) {
    Json result = qs::ToolResult::json(Json{{"x", INFINITY}, {"s", std::string("a\xff")}});
    EXPECT_EQ(result["isError"], false);
    const std::string& text = result["content"][0]["text"].get_ref<const std::string&>();
    EXPECT_NE(text.find("\"x\""), std::string::npos);
    EXPECT_TRUE(qs::JsonWriter::wire(result));  // the reply line can be written
}

TEST(ToolResult, FailureIsCrossMarkAndMessage) {
    EXPECT_EQ(qs::ToolResult::failure("坏了"),
              (Json{{"content", Json::array({Json{{"type", "text"}, {"text", "❌ 坏了"}}})}, {"isError", true}}));
    // A message quoting a broken file name must still make a writable reply.
    Json broken = qs::ToolResult::failure("name \xff.md");
    EXPECT_EQ(broken["content"][0]["text"], "❌ name \uFFFD.md");
    EXPECT_TRUE(qs::JsonWriter::wire(broken));
}
