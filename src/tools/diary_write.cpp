// diary_write: drops a new text entry and its metadata into the inputs folder.
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

#include "json/json.hpp"
#include "text/unicode.hpp"
#include "tools/tool_arguments.hpp"
#include "tools/tool_result.hpp"
#include "tools/write_support.hpp"
#include "vault/vault_io.hpp"

namespace qs {
namespace {

constexpr std::string_view kDescription[] = {
    "往时间流写一条新的文字条目(长日记、会后整理、任意备忘)。",
    "写进去后由 quillstack 的标准管线接手 —— Mac App 会自动生成摘要、抽标签和待办,",
    "全文原样保留在详情页。约 30 秒后出现在时间流。",
    "这是**新增**,不会覆盖任何已有内容。",
};
constexpr ToolParam kText{"text", "string", "正文,支持多行。长度不限。", true};
constexpr ToolParam kDate{"date", "string", "归到哪一天,yyyy-MM-dd。默认今天。"};
constexpr ToolParam kTags{"tags", "array", "手工标签,会跟 AI 抽的标签合并。"};
constexpr ToolParam kParams[] = {kText, kDate, kTags};
// Each call adds a new entry.
constexpr ToolHints kHints{false, false, false, false};

std::string inputsFile(const Vault& vault, const std::string& day, const std::string& name) {
    return vault.writingPath(VaultPath::inputsDir, day + "/" + name);
}

Json run(const ToolArguments& arguments, ToolContext& context) {
    const Vault& vault = context.vault();
    const std::string text = arguments.requiredString(kText);
    const std::string day = WriteTools::resolveDay(arguments.optionalString(kDate));
    const std::vector<std::string> tags = arguments.stringArray(kTags);
    WriteTools::requireUtf8(text);

    Json meta = {{"createdBy", "mcp"}};
    if (!tags.empty()) meta["tags"] = tags;
    const std::optional<std::string> metaBytes = JsonWriter::payload(meta);
    if (!metaBytes) throw VaultIO::WriteError::writeFailed("内容不是合法 UTF-8");

    // Exclusive create under a fresh UUID: even a repeated UUID never replaces an entry.
    std::string textPath;
    const std::string id = WriteTools::writeUnderFreshId(
        text,
        [&](const std::string& candidate) { return textPath = inputsFile(vault, day, candidate + ".memo.txt"); },
        WriteTools::newUuid);

    const std::string metaPath = inputsFile(vault, day, id + ".meta.json");
    if (!VaultIO::writeNew(*metaBytes, metaPath)) {
        throw VaultIO::WriteError::writeFailed("文件已存在,不覆盖: " + metaPath);
    }

    Json payload = {
        {"ok", true},
        {"id", id},
        {"date", day},
        {"chars", text::graphemeCount(text)},
        {"wrote", Json::array({textPath, metaPath})},
        {"next", "Mac App 会自动生成摘要、抽标签和待办,约 30 秒后出现在时间流。全文原样保留在详情页。Dashboard.json 未被修改。"},
    };
    return ToolResult::json(payload);
}

}  // namespace

constexpr ToolDefinition diaryWriteTool{"diary_write", kDescription, kParams, kHints, run};

}  // namespace qs
