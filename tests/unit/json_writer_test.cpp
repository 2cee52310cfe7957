// The two JSON writers: protocol wire form and pretty payload form.
#include <gtest/gtest.h>

#include <cmath>  // NAN, INFINITY

#include "json/json.hpp"

using qs::Json;

TEST(JsonWriter, WireEscapesSlashAndKeepsUtf8Raw) {
    Json v = {{"path", "a/b"}, {"text", "中文"}};
    EXPECT_EQ(qs::JsonWriter::wire(v).value(), R"({"path":"a\/b","text":"中文"})");
}

TEST(JsonWriter, WireEscapesControlCharacters) {
    EXPECT_EQ(qs::JsonWriter::wire(Json{{"t", "a\nb\x01"}}).value(), R"({"t":"a\nb\u0001"})");
}

TEST(JsonWriter, NonFiniteNumbersAndInvalidUtf8AreRefused) {
    EXPECT_FALSE(qs::JsonWriter::wire(Json{{"x", NAN}}));
    EXPECT_FALSE(qs::JsonWriter::wire(Json{{"x", Json::array({1, INFINITY})}}));
    EXPECT_FALSE(qs::JsonWriter::payload(Json{{"x", std::string("\xff")}}));
    EXPECT_NE(qs::JsonWriter::lenient(Json{{"x", std::string("\xff")}}), "");
}

TEST(JsonWriter, PayloadIsIndentedSortedAndLeavesSlashes) {
    Json v = {{"b", "x/y"}, {"a", 1}};
    EXPECT_EQ(qs::JsonWriter::payload(v).value(), "{\n  \"a\": 1,\n  \"b\": \"x/y\"\n}");
}

TEST(JsonParse, StrictDocumentsOnly) {
    EXPECT_TRUE(qs::parseJsonDocument(R"({"a":1})"));
    EXPECT_TRUE(qs::parseJsonDocument("[1]"));
    for (const char* bad : {"42", "\"s\"", "null", "true", "{", "{} x", "{\"a\":1,}", "/*c*/{}", ""}) {
        EXPECT_FALSE(qs::parseJsonDocument(bad)) << bad;
    }
}

TEST(JsonParse, RefusesNestingDeepEnoughToExhaustTheStack) {
    std::string deep(100000, '[');
    EXPECT_FALSE(qs::parseJsonDocument(deep + std::string(100000, ']')));
    std::string ok = std::string(100, '[') + std::string(100, ']');
    EXPECT_TRUE(qs::parseJsonDocument(ok));
    // Brackets inside strings are text, not nesting.
    EXPECT_TRUE(qs::parseJsonDocument("{\"a\":\"" + deep + "\"}"));
}
