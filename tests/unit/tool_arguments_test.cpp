// A tool call's arguments read through the lenient accessors, with the
// parameters' own defaults.
#include <gtest/gtest.h>

#include <cstdint>  // INT64_MAX, INT64_MIN

#include "tools/tool_arguments.hpp"
#include "tools/tool_failure.hpp"

using qs::Json;
using qs::ToolArguments;

namespace {

constexpr qs::ToolParam kParam{"k", "string", ""};

qs::ToolParam withDefault(int64_t value) { return qs::ToolParam{"k", "integer", "", false, value}; }

// Arguments holding one member "k"; kept alive for the view.
ToolArguments with(const Json& value) {
    static std::vector<std::unique_ptr<Json>> kept;
    kept.push_back(std::make_unique<Json>(Json{{"k", value}}));
    return ToolArguments(*kept.back());
}

}  // namespace

TEST(ToolArguments, RequiredStringTakesAnyNonEmptyText) {
    EXPECT_EQ(with(" ").requiredString(kParam), " ");
    for (const Json& bad : {Json(""), Json(5), Json(nullptr), Json::array({"a"})}) {
        try {
            with(bad).requiredString(kParam);
            ADD_FAILURE() << "accepted " << bad.dump();
        } catch (const qs::ToolFailure& e) {
            EXPECT_EQ(e.description, "缺少必填参数 `k`(非空字符串)");
        }
    }
}

TEST(ToolArguments, OptionalStringNeedsSomethingBesidesBlanks) {
    EXPECT_EQ(with(" a ").optionalString(kParam), " a ");
    for (const Json& absent : {Json(""), Json("  \t\n"), Json("\u3000\u00a0"), Json(1), Json(nullptr)}) {
        EXPECT_FALSE(with(absent).optionalString(kParam)) << absent.dump();
    }
    EXPECT_FALSE(with("x").optionalString(qs::ToolParam{"K", "string", ""}));  // keys are case-sensitive
}

TEST(ToolArguments, IntegerConversions) {
    const std::pair<Json, int64_t> cases[] = {
        {12, 12},       {"12", 12},       {"+12", 12},    {"-12", -12},  {12.9, 12},   {-7.9, -7},
        {true, 1},      {false, 0},       {" 12", 99},    {"12abc", 99}, {"1e3", 99},  {"12.0", 99},
        {"", 99},       {"+", 99},        {"--1", 99},    {nullptr, 99}, {Json::array({1}), 99},
        {"9223372036854775807", INT64_MAX}, {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", 99},        // past the 64-bit range
        {1e300, INT64_MAX}, {-1e300, INT64_MIN}, {Json(18446744073709551615ULL), INT64_MAX},  // saturating
    };
    for (const auto& [value, expected] : cases) EXPECT_EQ(with(value).integer(withDefault(99)), expected) << value.dump();
    EXPECT_EQ(ToolArguments(Json::object()).integer(withDefault(-4)), -4);
}

TEST(ToolArguments, FlagConversions) {
    struct Case {
        Json value;
        bool defaultValue, expected;
    } cases[] = {
        {true, false, true}, {false, true, false}, {0, true, false},   {-1, false, true},
        {2.0, false, true},  {0.5, false, false},  {0.5, true, true},  {"true", false, false}, {nullptr, true, true},
    };
    for (const auto& c : cases) EXPECT_EQ(with(c.value).flag(withDefault(c.defaultValue)), c.expected) << c.value.dump();
}

TEST(ToolArguments, StringArrayKeepsTextElementsInOrder) {
    EXPECT_EQ(with(Json::array({"a", 1, "", nullptr, " b "})).stringArray(kParam),
              (std::vector<std::string>{"a", "", " b "}));
    EXPECT_TRUE(with("a").stringArray(kParam).empty());
    EXPECT_TRUE(ToolArguments(Json("not an object")).stringArray(kParam).empty());
}
