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

using std::string, std::pair;

using namespace qs;
using Args = ToolArguments;

namespace {

// What `read` makes of arguments holding `value` as the member "k", whose
// default is `fallback`.
template <class Read>
auto with(const Json& value, Read read, int64_t fallback = 0) {
    const Json arguments{{"k", value}};
    return (ToolArguments(arguments).*read)(ToolParam{"k", "string", "", false, fallback});
}

}  // namespace

// Each tool: its name, required arguments and hints (read-only,
// destructive, idempotent, open-world as 1 and 0), in catalog order.
TEST(ToolCatalog, NineTools) {
    const Json& all = ToolCatalog::descriptors(false);
    string listed;
    for (const Json& t : all) {
        const string name = t["name"], text = t["description"];
        const Json& in = t["inputSchema"];
        listed += name + in["required"].dump();
        for (const char* hint : {"readOnlyHint", "destructiveHint", "idempotentHint", "openWorldHint"}) listed += t["annotations"][hint] ? "1" : "0";
        listed += " ";
        EXPECT_TRUE(text.front() != '\n' && text.back() != '\n' && text.find('\n') != string::npos) << name;
        for (const auto& [arg, p] : in["properties"].items()) {
            EXPECT_TRUE(p["type"].is_string() && !p["description"].get<string>().empty()) << name << "." << arg;
            EXPECT_EQ(p.contains("items"), p["type"] == "array") << name << "." << arg;
        }
    }
    EXPECT_EQ(listed,
        "vault_search[]1010 fulltext_search[\"query\"]1010 recording_list[]1010 recording_transcript[\"id\"]1010 minutes_read[\"id\"]1010 "
        "vocab_list[]1010 "
        "report_daily[\"date\"]1010 minutes_write[\"id\",\"markdown\"]0110 diary_write[\"text\"]0000 ");
    EXPECT_EQ(all[5]["inputSchema"]["properties"]["source"]["enum"], (Json{"lookup", "imported"}));
    // Retyped texts tend to pick up full-width forms of , : ; ( ) +.
    const string everything = all.dump();
    for (const char* fullWidth : {"，", "：", "；", "（", "）", "＋", "\\u"}) EXPECT_EQ(everything.find(fullWidth), string::npos);
    // a default shown in its description
    EXPECT_NE(everything.find("最多返回几条,默认 20。"), string::npos);
}

// A tool's own failures are the end-to-end tests'; any other exception is one too.
TEST(ToolCatalog, AnyThrowFails) {
    ToolContext context(Vault{"/nowhere"});
    const ToolDefinition tool{"t", "", {}, {}, kReadOnlyHints, [](const ToolArguments&, ToolContext&) -> Json { throw std::runtime_error("io"); }};
    EXPECT_EQ(ToolCatalog::invoke(tool, Json::object(), context), ToolResult::failure("io"));
}

// Texts, integers, flags and lists are read leniently.
TEST(ToolArguments, Lenient) {
    EXPECT_EQ(with(" ", &Args::requiredString), " ");
    for (const Json& bad : {Json(""), Json(5), Json(nullptr)}) EXPECT_THROW(with(bad, &Args::requiredString), ToolFailure);
    EXPECT_EQ(with(" a ", &Args::optionalString), " a ");
    // Blank is absent, Unicode white space too (ASCII blanks, null and texts
    // kept verbatim in lists are the search and diary tools' tests').
    EXPECT_FALSE(with("\u3000\u00a0", &Args::optionalString));
    // Reals and the largest unsigned saturate; a text out of range is no integer.
    const pair<Json, int64_t> integers[] = {{12, 12}, {"+12", 12}, {"-12", -12}, {12.9, 12}, {-7.9, -7}, {true, 1}, {false, 0}, {" 12", 99},
        {"12abc", 99}, {"12.0", 99}, {"", 99}, {"+-1", 99}, {nullptr, 99}, {"9223372036854775807", INT64_MAX}, {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", 99}, {1e300, INT64_MAX}, {-1e300, INT64_MIN}, {Json(18446744073709551615ULL), INT64_MAX}};
    for (const auto& [value, expected] : integers) EXPECT_EQ(with(value, &Args::integer, 99), expected) << value;
    // value, default, read
    const std::tuple<Json, bool, bool> flags[] = {{false, true, false}, {0, true, false}, {Json(0u), true, false}, {Json(2u), false, true},
        {-1, false, true}, {0.5, false, false}, {0.5, true, true}, {"true", false, false}};
    for (const auto& [value, fallback, expected] : flags) EXPECT_EQ(with(value, &Args::flag, fallback), expected) << value;
    EXPECT_TRUE(with(nullptr, &Args::stringArray).empty());
}

// Whatever a tool hands over, the reply line can still be written.
TEST(ToolResult, AlwaysWritable) {
    EXPECT_TRUE(JsonWriter::wire(ToolResult::json(Json{{"x", INFINITY}, {"s", string("a\xff")}})));
    Json wide = ToolResult::json(Json{{"n", rawNumber("123456789012345678901234567890")}, {"r", 1.50}});
    // number for number what the text holds
    ToolResult::addStructuredContent(wide);
    EXPECT_EQ(JsonWriter::wire(wide["structuredContent"]), R"({"n":123456789012345678901234567890,"r":1.5})");
    // (A failed result's members are the official clients' test's.)
    EXPECT_EQ(ToolResult::failure("name \xff.md")["content"][0]["text"], "❌ name \uFFFD.md");
}
