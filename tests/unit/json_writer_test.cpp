// The two JSON writers (protocol wire form, pretty payload form) and the one strict parser.
#include <gtest/gtest.h>

#include <cmath>  // NAN, INFINITY

#include "json/json.hpp"

using qs::Json;
namespace JsonWriter = qs::JsonWriter;

TEST(JsonWriter, WireIsCompactWithSlashAndControlsEscapedAndUtf8Raw) {
    EXPECT_EQ(JsonWriter::wire(Json{{"path", "a/b"}, {"text", "中文\n\x01"}}).value(),
              R"({"path":"a\/b","text":"中文\n\u0001"})");
}

TEST(JsonWriter, PayloadIsIndentedSortedAndLeavesSlashes) {
    EXPECT_EQ(JsonWriter::payload(Json{{"b", "x/y"}, {"a", 1}}).value(), "{\n  \"a\": 1,\n  \"b\": \"x/y\"\n}");
}

TEST(JsonWriter, NonFiniteNumbersAndInvalidUtf8AreRefusedButLenientWritesAnyway) {
    EXPECT_FALSE(JsonWriter::wire(Json{{"x", NAN}}));
    EXPECT_FALSE(JsonWriter::wire(Json{{"x", Json::array({1, INFINITY})}}));
    EXPECT_FALSE(JsonWriter::payload(Json{{"x", std::string("\xff")}}));
    EXPECT_NE(JsonWriter::lenient(Json{{"x", std::string("\xff")}, {"y", NAN}}), "");
}

TEST(JsonParse, StrictDocumentsOnly) {
    EXPECT_TRUE(qs::parseJsonDocument(R"({"a":1})"));
    EXPECT_TRUE(qs::parseJsonDocument("[1]"));
    for (const char* bad : {"42", "\"s\"", "null", "true", "{", "{} x", "{\"a\":1,}", "/*c*/{}", ""}) {
        EXPECT_FALSE(qs::parseJsonDocument(bad)) << bad;
    }
}

// Nesting deep enough to exhaust the stack is refused; 512 levels are not.
TEST(JsonParse, NestingIsLimitedTo512Levels) {
    auto nested = [](size_t levels) { return std::string(levels, '[') + std::string(levels, ']'); };
    EXPECT_TRUE(qs::parseJsonDocument(nested(512)));
    EXPECT_FALSE(qs::parseJsonDocument(nested(513)));
    EXPECT_FALSE(qs::parseJsonDocument(nested(300000)));
    // Brackets inside texts, escaped quotes included, are not nesting.
    EXPECT_TRUE(qs::parseJsonDocument("{\"s\":\"\\\"" + std::string(5000, '[') + "\"}"));
}
