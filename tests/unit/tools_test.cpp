// The tool catalog answered for "tools/list", the one place a tool's failure
// becomes a failed result, the lenient argument accessors, and the result envelope.
#include <gtest/gtest.h>

#include <cmath>      // INFINITY
#include <cstdint>    // INT64_MAX, INT64_MIN
#include <stdexcept>  // std::runtime_error

#include "tools/tool_arguments.hpp"
#include "tools/tool_catalog.hpp"
#include "tools/tool_failure.hpp"
#include "tools/tool_result.hpp"
#include "vault/vault_io.hpp"

using qs::Json;
using qs::ToolArguments;

namespace {

Json hints(bool readOnly, bool destructive, bool idempotent) {
    return Json{{"readOnlyHint", readOnly}, {"destructiveHint", destructive}, {"idempotentHint", idempotent}, {"openWorldHint", false}};
}

// Arguments holding one member "k".
struct With {
    explicit With(const Json& value) : arguments{{"k", value}} {}
    ToolArguments view() const { return ToolArguments(arguments); }
    Json arguments;
};

constexpr qs::ToolParam kText{"k", "string", ""};
qs::ToolParam withDefault(int64_t value) { return qs::ToolParam{"k", "integer", "", false, value}; }

}  // namespace

TEST(ToolCatalog, NineToolsInOrderWithTheirRequiredArgumentsAndHints) {
    const Json readOnly = hints(true, false, true);
    const std::tuple<std::string, Json, Json> expected[] = {
        {"vault_search", Json::array(), readOnly},
        {"fulltext_search", {"query"}, readOnly},
        {"recording_list", Json::array(), readOnly},
        {"recording_transcript", {"id"}, readOnly},
        {"minutes_read", {"id"}, readOnly},
        {"vocab_list", Json::array(), readOnly},
        {"report_daily", {"date"}, readOnly},
        {"minutes_write", {"id", "markdown"}, hints(false, true, true)},
        {"diary_write", {"text"}, hints(false, false, false)},
    };
    const Json& all = qs::ToolCatalog::descriptors(false);
    ASSERT_EQ(all.size(), std::size(expected));
    for (size_t i = 0; i < all.size(); ++i) {
        const auto& [name, required, annotations] = expected[i];
        const Json& t = all[i];
        EXPECT_EQ(t["name"], name);
        EXPECT_EQ(t.size(), 4u) << name;  // name, description, inputSchema, annotations
        EXPECT_EQ(t["inputSchema"]["type"], "object");
        EXPECT_EQ(t["inputSchema"]["required"], required) << name;
        EXPECT_EQ(t["annotations"], annotations) << name;
        const std::string description = t["description"];
        EXPECT_TRUE(description.front() != '\n' && description.back() != '\n' && description.find('\n') != std::string::npos) << name;
        for (const auto& [arg, p] : t["inputSchema"]["properties"].items()) {
            EXPECT_TRUE(p["type"].is_string() && !p["description"].get<std::string>().empty()) << name << "." << arg;
            EXPECT_EQ(p.contains("items"), p["type"] == "array") << name << "." << arg;
        }
        const qs::ToolDefinition* found = qs::ToolCatalog::find(name);
        EXPECT_TRUE(found && found->name == name) << name;
    }
    for (const char* name : {"", "Vault_Search", "vault_search ", "ping"}) EXPECT_EQ(qs::ToolCatalog::find(name), nullptr);
    EXPECT_EQ(all[5]["inputSchema"]["properties"]["source"]["enum"], (Json{"lookup", "imported"}));
    EXPECT_FALSE(all[5]["inputSchema"]["properties"]["query"].contains("enum"));
    // Retyped texts tend to pick up full-width forms of , : ; ( ) +.
    const std::string everything = all.dump();
    for (const char* fullWidth : {"，", "：", "；", "（", "）", "＋", "\\u"}) EXPECT_EQ(everything.find(fullWidth), std::string::npos);
    EXPECT_NE(everything.find("起点** —— 先用"), std::string::npos);
    EXPECT_NE(everything.find("最多返回几条,默认 20。"), std::string::npos);  // a default shown in its description
}

TEST(ToolCatalog, WhateverAToolThrowsBecomesAFailedResult) {
    const std::pair<qs::ToolHandler, std::string> failures[] = {
        {[](const ToolArguments&, qs::ToolContext&) -> Json { throw qs::ToolFailure("找不到条目"); }, "找不到条目"},
        {[](const ToolArguments& a, qs::ToolContext&) -> Json { return a.requiredString(kText); }, "缺少必填参数 `k`(非空字符串)"},
        {[](const ToolArguments&, qs::ToolContext&) -> Json { throw std::runtime_error("io"); }, "io"},
    };
    qs::ToolContext context(qs::Vault{"/nowhere"});
    for (const auto& [handler, text] : failures) {
        const qs::ToolDefinition tool{"t", "", {}, {}, qs::kReadOnlyHints, handler};
        EXPECT_EQ(qs::ToolCatalog::invoke(tool, Json::object(), context), qs::ToolResult::failure(text));
    }
}

TEST(ToolArguments, TextsIntegersFlagsAndListsAreReadLeniently) {
    EXPECT_EQ(With(" ").view().requiredString(kText), " ");
    for (const Json& bad : {Json(""), Json(5), Json(nullptr)}) EXPECT_THROW(With(bad).view().requiredString(kText), qs::ToolFailure);
    EXPECT_EQ(With(" a ").view().optionalString(kText), " a ");
    for (const Json& absent : {Json("  \t\n"), Json("\u3000\u00a0"), Json(1)}) EXPECT_FALSE(With(absent).view().optionalString(kText));
    const std::pair<Json, int64_t> integers[] = {
        {12, 12}, {"+12", 12}, {"-12", -12}, {12.9, 12}, {-7.9, -7}, {true, 1}, {false, 0}, {" 12", 99}, {"12abc", 99}, {"1e3", 99}, {"12.0", 99},
        {"", 99}, {"--1", 99}, {"+-1", 99}, {nullptr, 99}, {"9223372036854775807", INT64_MAX}, {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", 99}, {1e300, INT64_MAX}, {-1e300, INT64_MIN}, {Json(18446744073709551615ULL), INT64_MAX},  // saturating
    };
    for (const auto& [value, expected] : integers) EXPECT_EQ(With(value).view().integer(withDefault(99)), expected) << value;
    const std::tuple<Json, bool, bool> flags[] = {
        // value, default, read
        {false, true, false},
        {0, true, false},
        {Json(0u), true, false},
        {Json(2u), false, true},
        {-1, false, true},
        {0.5, false, false},
        {0.5, true, true},
        {"true", false, false},
    };
    for (const auto& [value, fallback, expected] : flags) EXPECT_EQ(With(value).view().flag(withDefault(fallback)), expected) << value;
    EXPECT_EQ(With(Json::array({"a", 1, "", nullptr, " b "})).view().stringArray(kText), (std::vector<std::string>{"a", "", " b "}));
    EXPECT_TRUE(With("a").view().stringArray(kText).empty());
}

// Whatever a tool hands over, the reply line can still be written.
TEST(ToolResult, PayloadsArePrettySortedAndAlwaysWritable) {
    EXPECT_EQ(qs::ToolResult::json(Json{{"b", "x/y"}, {"a", Json::array({1})}}),
        (Json{{"content", {{{"type", "text"}, {"text", "{\n  \"a\": [\n    1\n  ],\n  \"b\": \"x/y\"\n}"}}}}, {"isError", false}}));
    EXPECT_TRUE(qs::JsonWriter::wire(qs::ToolResult::json(Json{{"x", INFINITY}, {"s", std::string("a\xff")}})));
    EXPECT_EQ(qs::ToolResult::failure("name \xff.md"), (Json{{"content", {{{"type", "text"}, {"text", "❌ name \uFFFD.md"}}}}, {"isError", true}}));
}
