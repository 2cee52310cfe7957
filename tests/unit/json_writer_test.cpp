// The two JSON writers (protocol wire form, pretty payload form) and the one strict parser.
#include <gtest/gtest.h>

#include <cmath>   // NAN, INFINITY
#include <limits>  // std::numeric_limits
#include <random>  // std::mt19937
#include <string>  // std::string
#include <vector>  // std::vector

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

// The writers must give byte for byte what the library's strict writer gives
// (plus "\/" on the wire), and refuse exactly what it refuses.
Json randomValue(std::mt19937& random, int depth) {
    static const std::vector<std::string> pieces = {
        "a", "Z", " ", "/", "\"", "\\", "\x7f", "中文", "😀", "é", "\xff", "\xc3", "\xed\xa0\x80", "\xf4\x90\x80\x80",
        "\xe4\xb8", "\xc0\xaf", "\xef\xbf\xbe"};
    switch (random() % (depth > 4 ? 5 : 7)) {
    case 0: {
        std::string text;
        for (size_t n = random() % 6; n > 0; --n) {
            text += random() % 4 ? pieces[random() % pieces.size()] : std::string(1, static_cast<char>(random() % 0x20));
        }
        return text;
    }
    case 1: {
        const std::vector<int64_t> ints = {0, -1, 42, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()};
        return ints[random() % ints.size()];
    }
    case 2: {
        const std::vector<double> doubles = {0.1, -0.0, 3.0, 1e300, 1.5e-7, -2.5, 123456789.125};
        return random() % 4 ? Json(doubles[random() % doubles.size()]) : Json(std::numeric_limits<uint64_t>::max());
    }
    case 3:
        return random() % 2 ? Json(random() % 2 == 0) : Json(nullptr);
    case 4:
        return Json::object();
    case 5: {
        Json array = Json::array();
        for (size_t n = random() % 4; n > 0; --n) array.push_back(randomValue(random, depth + 1));
        return array;
    }
    default: {
        Json object = Json::object();
        for (size_t n = random() % 4; n > 0; --n) {
            object[random() % 3 ? pieces[random() % pieces.size()] : "k"] = randomValue(random, depth + 1);
        }
        return object;
    }
    }
}

std::optional<std::string> libraryForm(const Json& value, int indent, bool escapeSlash) {
    std::string text;
    try {
        text = value.dump(indent, ' ', false, Json::error_handler_t::strict);
    } catch (const Json::exception&) {
        return std::nullopt;
    }
    if (!escapeSlash) return text;
    std::string out;
    for (char c : text) {
        if (c == '/') out += '\\';
        out += c;
    }
    return out;
}

TEST(JsonWriter, WritesExactlyWhatTheLibraryWrites) {
    std::mt19937 random(5);
    int refused = 0;
    for (int round = 0; round < 5000; ++round) {
        Json value = randomValue(random, 0);
        auto wire = libraryForm(value, -1, true);
        ASSERT_EQ(JsonWriter::wire(value), wire) << value.dump(-1, ' ', true, Json::error_handler_t::replace);
        ASSERT_EQ(JsonWriter::payload(value), libraryForm(value, 2, false));
        refused += !wire;
    }
    EXPECT_GT(refused, 100);  // invalid UTF-8 came up often enough to count
    // Every control character, each alone.
    for (int c = 0; c < 0x20; ++c) {
        Json value = Json::array({std::string(1, static_cast<char>(c))});
        EXPECT_EQ(JsonWriter::wire(value), libraryForm(value, -1, true)) << c;
    }
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
