// The two JSON writers against the library's own strict writer, the strict
// parser, and numbers of any size.
#include <gtest/gtest.h>

#include <cmath>  // NAN, INFINITY

#include "json/json.hpp"
#include "json/json_numbers.hpp"

using std::string;

using namespace qs;

// Byte for byte the library's strict form (plus "\/" on the wire), for every
// kind of value and every ASCII character, in texts and keys.
TEST(JsonWriter, WritesWhatTheLibraryWrites) {
    string ascii;
    for (int c = 0; c < 0x80; ++c) ascii += static_cast<char>(c);
    const Json value = {{ascii + "中文😀\xEF\xBF\xBE", {ascii, "", 0, -1, 42u, 0.1, -0.0, 1e300, true, nullptr}},
        {"e", Json::array({Json::object(), Json::array(), Json{{"k", Json::array({Json{{"x", false}}})}}})}};
    string wire;
    for (char c : value.dump(-1, ' ', false, Json::error_handler_t::strict)) wire += c == '/' ? "\\/" : string(1, c);
    EXPECT_EQ(JsonWriter::wire(value), wire);
    EXPECT_EQ(JsonWriter::payload(value), value.dump(2, ' ', false, Json::error_handler_t::strict));
    // Refused: numbers that are not finite, texts that are not UTF-8; the lenient writer writes them anyway.
    for (const Json& bad : {Json{{"x", NAN}}, Json::array({1, INFINITY}), Json{{"\x80", 1}}, Json::array({"a\xC0\xAF"})})
        EXPECT_FALSE(JsonWriter::wire(bad) || JsonWriter::payload(bad)) << JsonWriter::lenient(bad);
    EXPECT_EQ(JsonWriter::lenient(Json{{"x", "\xFF/"}, {"y", NAN}}), "{\"x\":\"\xEF\xBF\xBD/\",\"y\":null}");
}

// Objects and arrays only, nested at most 512 deep (brackets inside texts and
// closed siblings do not count), holding numbers of any size.
TEST(JsonParse, StrictBoundedAnyNumbers) {
    auto nested = [](size_t levels) { return string(levels, '[') + string(levels, ']'); };
    const std::pair<string, bool> cases[] = {{R"({"a":1})", true}, {nested(512), true}, {"[" + nested(300) + "," + nested(300) + "]", true},
        {"{\"s\":\"\\\"" + string(5000, '[') + "\"}", true}, {"42", false}, {"{", false}, {"{} x", false}, {"/*c*/{}", false}, {nested(513), false},
        {"[ " + nested(512) + "]", false}, {"[1e400x]", false}, {"[-1e400.5]", false}, {"[01e400]", false}, {"[1e400", false}, {"[1e400] 1", false}};
    for (const auto& [text, parses] : cases) EXPECT_EQ(parseJsonDocument(text).has_value(), parses) << text.substr(0, 20);
    // Every RFC 8259 number parses. As values, only those beyond a double keep
    // their text; asked for, every number keeps it, and the writers write it
    // (the pretty one in the daily report's end-to-end test).
    const string text = R"([1e400,-1E+400,99999999999999999999,-123456789012345678901234567890,1.50,-0,1E2,{"k":[0.5]}])";
    EXPECT_EQ(JsonWriter::wire(parseJsonDocument(text).value()), R"([1e400,-1E+400,1e+20,-1.2345678901234568e+29,1.5,0,100.0,{"k":[0.5]}])");
    const Json kept = parseJsonDocument(" " + text, JsonNumbers::ownText).value();
    EXPECT_EQ(JsonWriter::wire(kept), text);
    EXPECT_EQ(JsonWriter::lenient(kept), R"([null,null,1e+20,-1.2345678901234568e+29,1.5,0,100.0,{"k":[0.5]}])");
}
