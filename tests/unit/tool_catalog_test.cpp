// The eight tool descriptors answered for "tools/list": their shape, what a
// client must send, what it may assume about each tool, and texts that keep
// their ASCII punctuation.
#include <gtest/gtest.h>

#include <map>        // std::map
#include <stdexcept>  // std::runtime_error

#include "tools/tool_arguments.hpp"
#include "tools/tool_catalog.hpp"
#include "tools/tool_failure.hpp"
#include "tools/tool_result.hpp"
#include "vault/vault_io.hpp"

using qs::Json;
using Names = std::vector<std::string>;

namespace {

Names keys(const Json& object) {
    Names names;
    for (const auto& [key, value] : object.items()) names.push_back(key);
    return names;
}

}  // namespace

TEST(ToolCatalog, EightToolsInOrderWithWellFormedSchemas) {
    const Json& all = qs::ToolCatalog::descriptors();
    const std::map<std::string, Json> required = {
        {"vault_search", Json::array()}, {"recording_list", Json::array()}, {"recording_transcript", {"id"}},
        {"minutes_read", {"id"}},        {"vocab_list", Json::array()},     {"report_daily", {"date"}},
        {"minutes_write", {"id", "markdown"}}, {"diary_write", {"text"}},
    };
    Names names;
    for (const auto& t : all) {
        const std::string name = t["name"];
        names.push_back(name);
        EXPECT_EQ(keys(t), (Names{"annotations", "description", "inputSchema", "name"}));
        EXPECT_EQ(keys(t["inputSchema"]), (Names{"properties", "required", "type"}));
        EXPECT_EQ(t["inputSchema"]["type"], "object");
        EXPECT_EQ(t["inputSchema"]["required"], required.at(name)) << name;
        EXPECT_NE(t["description"].get<std::string>().back(), '\n');
        for (const auto& [arg, p] : t["inputSchema"]["properties"].items()) {
            EXPECT_TRUE(p["type"].is_string() && !p["description"].get<std::string>().empty()) << name << "." << arg;
            // Only "enum" or "items" may join type and description.
            for (const auto& key : keys(p)) EXPECT_TRUE(key == "type" || key == "description" || key == "enum" || key == "items") << key;
        }
    }
    EXPECT_EQ(names, (Names{"vault_search", "recording_list", "recording_transcript", "minutes_read", "vocab_list",
                            "report_daily", "minutes_write", "diary_write"}));
    EXPECT_EQ(&all, &qs::ToolCatalog::descriptors());  // built once
}

TEST(ToolCatalog, AnnotationsTellReadersFromWriters) {
    auto hints = [](bool readOnly, bool destructive, bool idempotent) {
        return Json{{"readOnlyHint", readOnly}, {"destructiveHint", destructive}, {"idempotentHint", idempotent},
                    {"openWorldHint", false}};
    };
    for (const auto& t : qs::ToolCatalog::descriptors()) {
        const std::string name = t["name"];
        Json expected = name == "minutes_write" ? hints(false, true, true)
                        : name == "diary_write" ? hints(false, false, false)
                                                : hints(true, false, true);
        EXPECT_EQ(t["annotations"], expected) << name;
    }
}

TEST(ToolCatalog, PunctuationIsAsciiWhereItShouldBe) {
    // Retyped texts tend to pick up full-width forms of , : ; ( ) +.
    std::string everything = qs::ToolCatalog::descriptors().dump();
    for (const char* fullWidth : {"，", "：", "；", "（", "）", "＋", "\\u"}) {
        EXPECT_EQ(everything.find(fullWidth), std::string::npos) << fullWidth;
    }
    EXPECT_NE(everything.find("起点** —— 先用"), std::string::npos);  // two em dashes
    EXPECT_NE(everything.find("「有哪些会议录音可以查」"), std::string::npos);
}

TEST(ToolCatalog, FindsToolsByExactName) {
    EXPECT_EQ(qs::ToolCatalog::find("diary_write"), &qs::diaryWriteTool);
    for (const char* name : {"", "Vault_Search", "vault_search ", "ping"}) {
        EXPECT_EQ(qs::ToolCatalog::find(name), nullptr) << name;
    }
}

TEST(ToolCatalog, WhateverAToolThrowsBecomesAFailedResult) {
    using Handler = qs::ToolHandler;
    const std::pair<Handler, std::string> failures[] = {
        {[](const qs::ToolArguments&, qs::ToolContext&) -> Json { throw qs::ToolFailure("找不到条目"); }, "找不到条目"},
        {[](const qs::ToolArguments& a, qs::ToolContext&) -> Json {
             return a.requiredString(qs::ToolParam{"id", "string", ""});
         },
         "缺少必填参数 `id`(非空字符串)"},
        {[](const qs::ToolArguments&, qs::ToolContext&) -> Json { throw qs::VaultIO::WriteError::writeFailed("磁盘满"); },
         "写文件失败: 磁盘满"},
        {[](const qs::ToolArguments&, qs::ToolContext&) -> Json { throw std::runtime_error("io"); }, "io"},
    };
    qs::ToolContext context(qs::Vault{"/nowhere"});
    for (const auto& [handler, text] : failures) {
        const qs::ToolDefinition tool{"t", {}, {}, qs::kReadOnlyHints, handler};
        EXPECT_EQ(qs::ToolCatalog::invoke(tool, Json::object(), context), qs::ToolResult::failure(text));
    }
}
