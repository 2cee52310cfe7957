// The eight tool descriptors answered for "tools/list".
#include <gtest/gtest.h>

#include <algorithm>  // std::count
#include <map>        // std::map

#include "protocol/tool_catalog.hpp"

using qs::Json;

namespace {

const Json& tool(const std::string& name) {
    for (const auto& t : qs::ToolCatalog::all()) {
        if (t["name"] == name) return t;
    }
    static const Json none;
    ADD_FAILURE() << "no tool " << name;
    return none;
}

std::vector<std::string> keys(const Json& object) {
    std::vector<std::string> names;
    for (const auto& [key, value] : object.items()) names.push_back(key);
    return names;
}

using Names = std::vector<std::string>;

}  // namespace

TEST(ToolCatalog, EightToolsInOrderWithExactlyFourMembers) {
    const Json& all = qs::ToolCatalog::all();
    ASSERT_TRUE(all.is_array());
    Names names;
    for (const auto& t : all) {
        names.push_back(t["name"]);
        EXPECT_EQ(keys(t), (Names{"annotations", "description", "inputSchema", "name"}));
        EXPECT_EQ(keys(t["inputSchema"]), (Names{"properties", "required", "type"}));
        EXPECT_EQ(t["inputSchema"]["type"], "object");
        EXPECT_TRUE(t["inputSchema"]["required"].is_array()) << t["name"];
        EXPECT_NE(t["description"].get<std::string>().back(), '\n');
    }
    EXPECT_EQ(names, (Names{"vault_search", "recording_list", "recording_transcript", "minutes_read", "vocab_list",
                            "report_daily", "minutes_write", "diary_write"}));
    EXPECT_EQ(&all, &qs::ToolCatalog::all());  // built once
}

TEST(ToolCatalog, PropertiesAndRequiredArguments) {
    struct Expected {
        std::string tool;
        std::map<std::string, std::string> types;
        Json required;
        size_t descriptionLines;
    };
    const Expected cases[] = {
        {"vault_search",
         {{"query", "string"}, {"type", "string"}, {"date_from", "string"}, {"date_to", "string"}, {"limit", "integer"}},
         Json::array(), 4},
        {"recording_list", {{"date_from", "string"}, {"date_to", "string"}, {"limit", "integer"}}, Json::array(), 2},
        {"recording_transcript", {{"id", "string"}, {"offset", "integer"}, {"max_chars", "integer"}}, {"id"}, 4},
        {"minutes_read", {{"id", "string"}}, {"id"}, 3},
        {"vocab_list", {{"query", "string"}, {"due_only", "boolean"}, {"source", "string"}, {"limit", "integer"}},
         Json::array(), 2},
        {"report_daily", {{"date", "string"}}, {"date"}, 2},
        {"minutes_write", {{"id", "string"}, {"markdown", "string"}, {"summary", "string"}}, {"id", "markdown"}, 5},
        {"diary_write", {{"text", "string"}, {"date", "string"}, {"tags", "array"}}, {"text"}, 4},
    };
    for (const auto& c : cases) {
        const Json& t = tool(c.tool);
        const Json& properties = t["inputSchema"]["properties"];
        EXPECT_EQ(properties.size(), c.types.size()) << c.tool;
        for (const auto& [name, type] : c.types) {
            ASSERT_TRUE(properties.contains(name)) << c.tool << "." << name;
            const Json& p = properties[name];
            EXPECT_EQ(p["type"], type) << c.tool << "." << name;
            EXPECT_TRUE(p["description"].is_string() && !p["description"].get<std::string>().empty());
            // Only "enum" or "items" may join type and description.
            for (const auto& key : keys(p)) {
                EXPECT_TRUE(key == "type" || key == "description" || key == "enum" || key == "items") << key;
            }
        }
        EXPECT_EQ(t["inputSchema"]["required"], c.required) << c.tool;
        const std::string description = t["description"];
        EXPECT_EQ(std::count(description.begin(), description.end(), '\n') + 1, c.descriptionLines) << c.tool;
    }
}

TEST(ToolCatalog, AnnotationMatrix) {
    auto hints = [](bool readOnly, bool destructive, bool idempotent) {
        return Json{{"readOnlyHint", readOnly}, {"destructiveHint", destructive}, {"idempotentHint", idempotent},
                    {"openWorldHint", false}};
    };
    for (const char* name :
         {"vault_search", "recording_list", "recording_transcript", "minutes_read", "vocab_list", "report_daily"}) {
        EXPECT_EQ(tool(name)["annotations"], hints(true, false, true)) << name;
    }
    EXPECT_EQ(tool("minutes_write")["annotations"], hints(false, true, true));
    EXPECT_EQ(tool("diary_write")["annotations"], hints(false, false, false));
}

TEST(ToolCatalog, EnumsAndItems) {
    EXPECT_EQ(tool("vault_search")["inputSchema"]["properties"]["type"]["enum"],
              (Json{"voice", "text", "ocr", "clip", "health", "sms", "serendipity", "task", "question", "idea",
                    "reference", "clipboard"}));
    EXPECT_EQ(tool("vocab_list")["inputSchema"]["properties"]["source"]["enum"], (Json{"lookup", "imported"}));
    EXPECT_EQ(tool("diary_write")["inputSchema"]["properties"]["tags"]["items"], (Json{{"type", "string"}}));
    size_t extras = 0;
    for (const auto& t : qs::ToolCatalog::all()) {
        for (const auto& [name, p] : t["inputSchema"]["properties"].items()) extras += p.size() - 2;
    }
    EXPECT_EQ(extras, 3u);  // the two enums and the one items schema, nothing else
}

TEST(ToolCatalog, TextsAreExact) {
    EXPECT_EQ(tool("minutes_read")["description"],
              "读一条条目的 AI 产物:纪要正文(详情页看到的)+ 卡片摘要(时间流卡片上那句)+\n"
              "结构化元数据(标签/人物/项目/待办/重要度)。\n"
              "改写纪要之前**先用它读一遍**,拿到当前内容和确切的文件落点。");
    EXPECT_EQ(tool("diary_write")["description"],
              "往时间流写一条新的文字条目(长日记、会后整理、任意备忘)。\n"
              "写进去后由 quillstack 的标准管线接手 —— Mac App 会自动生成摘要、抽标签和待办,\n"
              "全文原样保留在详情页。约 30 秒后出现在时间流。\n"
              "这是**新增**,不会覆盖任何已有内容。");
    EXPECT_EQ(tool("recording_transcript")["description"],
              "读一条录音的**完整转译文本**(ASR 原文,不是 AI 摘要)。\n"
              "单份通常 1–2 万字,需要分段读时用 offset。\n"
              "注意:转译稿没有说话人标注和时间戳,是一整段连续文本。\n"
              "要读 AI 生成的纪要/摘要用 minutes_read。");
    EXPECT_EQ(tool("vault_search")["inputSchema"]["properties"]["type"]["description"],
              "按类型筛。voice=录音, text=随手记/日记, ocr=截图, clip=剪贴板, health=健康, sms=短信, "
              "serendipity=往年今日。");
    EXPECT_EQ(tool("recording_list")["inputSchema"]["properties"]["date_from"]["description"], "起始日期,yyyy-MM-dd。");
    EXPECT_EQ(tool("vault_search")["inputSchema"]["properties"]["date_from"]["description"],
              "起始日期,yyyy-MM-dd,含当天。");
}

TEST(ToolCatalog, PunctuationIsAsciiWhereItShouldBe) {
    // Retyped texts tend to pick up full-width forms of , : ; ( ) +.
    std::string everything = qs::ToolCatalog::all().dump();
    for (const char* fullWidth : {"，", "：", "；", "（", "）", "＋", "\\u"}) {
        EXPECT_EQ(everything.find(fullWidth), std::string::npos) << fullWidth;
    }
    const std::string search = tool("vault_search")["description"];
    EXPECT_NE(search.find("起点** —— 先用"), std::string::npos);  // two em dashes
    EXPECT_NE(tool("recording_list")["description"].get<std::string>().find("「有哪些会议录音可以查」"),
              std::string::npos);
}
