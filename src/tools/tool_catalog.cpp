// The catalog built from the tools' own definitions, and the one place a
// tool's failure becomes a result.
#include "tools/tool_catalog.hpp"

#include <array>   // std::array
#include <string>  // std::string, std::to_string

#include "tools/tool_arguments.hpp"
#include "tools/tool_failure.hpp"
#include "tools/tool_result.hpp"

namespace qs {

namespace ToolCatalog {
namespace {

constexpr std::array<const ToolDefinition*, 9> kTools{
    &vaultSearchTool,
    &fulltextSearchTool,
    &recordingListTool,
    &recordingTranscriptTool,
    &minutesReadTool,
    &vocabListTool,
    &reportDailyTool,
    &minutesWriteTool,
    &diaryWriteTool,
};

Json strings(std::span<const std::string_view> texts) {
    Json array = Json::array();
    for (auto t : texts) array.push_back(std::string(t));
    return array;
}

std::string joinLines(std::span<const std::string_view> lines) {
    std::string text;
    for (auto line : lines) {
        if (!text.empty()) text += '\n';
        text += line;
    }
    return text;
}

// The description with its "{}" replaced by the parameter's default.
std::string describe(const ToolParam& param) {
    std::string text(param.description);
    if (auto at = text.find("{}"); at != std::string::npos) {
        std::string shown =
            param.type == "boolean" ? (param.defaultValue ? "true" : "false") : std::to_string(param.defaultValue);
        text.replace(at, 2, shown);
    }
    return text;
}

Json descriptor(const ToolDefinition& tool, bool titled) {
    Json properties = Json::object();
    Json required = Json::array();
    for (const ToolParam& param : tool.params) {
        Json schema{{"type", std::string(param.type)}, {"description", describe(param)}};
        if (!param.enumValues.empty()) schema["enum"] = strings(param.enumValues);
        // What the arguments view refuses, said where a client can check it first.
        if (param.form == TextForm::day) {
            schema["format"] = "date";
            schema["pattern"] = R"(^\d{4}-\d{2}-\d{2}$)";
        }
        if (param.form == TextForm::nonBlank) schema["pattern"] = R"(\S)";
        if (param.type == "array") schema["items"] = Json{{"type", "string"}};
        properties[std::string(param.name)] = std::move(schema);
        if (param.required) required.push_back(std::string(param.name));
    }
    Json described{{"name", std::string(tool.name)}, {"description", joinLines(tool.description)},
        {"inputSchema",
            Json{{"type", "object"}, {"properties", std::move(properties)}, {"required", std::move(required)}}},
        {"annotations", Json{{"readOnlyHint", tool.hints.readOnly}, {"destructiveHint", tool.hints.destructive},
                            {"idempotentHint", tool.hints.idempotent}, {"openWorldHint", tool.hints.openWorld}}}};
    if (titled) described["title"] = std::string(tool.title);
    // Hosts that show views came after titles; some still read the older flat key.
    if (titled && !tool.view.empty()) {
        described["_meta"] =
            Json{{"ui", Json{{"resourceUri", std::string(tool.view)}}}, {"ui/resourceUri", std::string(tool.view)}};
    }
    // Sent where titles are: to sessions that know a tool may carry more than its four members.
    if (titled && tool.maxResultChars > 0) described["_meta"]["anthropic/maxResultSizeChars"] = tool.maxResultChars;
    return described;
}

}  // namespace

const Json& descriptors(bool titled) {
    static const auto build = [](bool withTitles) {
        Json tools = Json::array();
        for (const ToolDefinition* tool : kTools) tools.push_back(descriptor(*tool, withTitles));
        return tools;
    };
    static const Json plain = build(false), withTitles = build(true);
    return titled ? withTitles : plain;
}

const ToolDefinition* find(std::string_view name) {
    for (const ToolDefinition* tool : kTools) {
        if (tool->name == name) return tool;
    }
    return nullptr;
}

Json invoke(const ToolDefinition& tool, const Json& arguments, ToolContext& context) {
    try {
        context.beginCall();
        return tool.handler(ToolArguments(arguments), context);
    } catch (const ToolFailure& failure) {
        return ToolResult::failure(failure.description);
    } catch (const std::exception& error) {
        return ToolResult::failure(error.what());
    } catch (...) {
        return ToolResult::failure(kUnknownError);
    }
}

}  // namespace ToolCatalog
}  // namespace qs
