// diary_write: drops a new text entry and its metadata into the inputs folder.
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

#include "json/json.hpp"
#include "platform/file_system.hpp"
#include "search/fulltext_service.hpp"
#include "text/unicode.hpp"
#include "tools/tool_arguments.hpp"
#include "tools/tool_failure.hpp"
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
constexpr ToolParam kText{
    "text", "string", "正文,支持多行。长度不限。", true, 0, {}, TextForm::nonBlank, "今天和产品组开了周会,定了三件事"};
constexpr ToolParam kDate{"date", "string", "归到哪一天,yyyy-MM-dd。默认今天。", false, 0, {}, TextForm::day};
constexpr ToolParam kTags{"tags", "array", "手工标签,会跟 AI 抽的标签合并。"};
constexpr ToolParam kParams[] = {kText, kDate, kTags};
// Each call adds a new entry.
constexpr ToolHints kHints{.readOnly = false, .destructive = false, .idempotent = false, .openWorld = false};

// More draws than a sound random source will ever need; bounds the loop if
// the names are taken for some other reason (a folder of that name, say).
constexpr int kMaxDraws = 16;

std::string inputsFile(const Vault& vault, const std::string& day, const std::string& name) {
    return vault.writingPath(VaultPath::inputsDir, day + "/" + name);
}

// Removes the metadata file a failed draw left; gives up with `failure` (or
// the removal's own failure) when there is one to report.
void takeBack(const Vault& vault, const std::string& metaPath, const std::optional<VaultError>& failure) {
    auto removed = VaultIO::remove(vault, metaPath);
    if (failure && removed) throw ToolFailure(failure->description());
    if (!removed) {
        throw ToolFailure((failure ? failure->description() : removed.error().description()) + "。元数据文件 " +
                          metaPath + " 没能撤回");
    }
}

Json run(const ToolArguments& arguments, ToolContext& context) {
    const Vault& vault = context.vault();
    const std::string text = arguments.requiredString(kText);
    const std::string day = WriteTools::resolveDay(arguments.optionalString(kDate), vault);
    const std::vector<std::string> tags = arguments.stringArray(kTags);
    WriteTools::requireUtf8(text);

    Json meta = {{"createdBy", "mcp"}};
    if (!tags.empty()) meta["tags"] = tags;
    const std::optional<std::string> metaBytes = JsonWriter::payload(meta);
    if (!metaBytes) throw ToolFailure(std::string(WriteTools::kNotUtf8));

    // Both files are written in full before either name appears, so a failure
    // leaves nothing that a retry would duplicate. The metadata's name is
    // claimed first: the app never takes up a text without it.
    using WriteTools::orFail;
    Platform::StagedFile metaFile = orFail(VaultIO::stage(vault, *metaBytes, inputsFile(vault, day, "new.meta.json")));
    Platform::StagedFile textFile = orFail(VaultIO::stage(vault, text, inputsFile(vault, day, "new.memo.txt")));
    std::string id;
    std::string textPath;
    std::string metaPath;
    // Names are claimed, never replaced: even a repeated UUID draws again.
    for (int draw = 0; draw < kMaxDraws && id.empty(); ++draw) {
        std::string candidate = WriteTools::newUuid();
        metaPath = inputsFile(vault, day, candidate + ".meta.json");
        textPath = inputsFile(vault, day, candidate + ".memo.txt");
        if (orFail(VaultIO::claim(vault, metaFile, metaPath)) == Platform::Claim::taken) continue;
        auto claimed = VaultIO::claim(vault, textFile, textPath);
        if (claimed && *claimed == Platform::Claim::claimed) {
            id = std::move(candidate);
            continue;
        }
        // The metadata went to a name whose text is taken or failed: take it back.
        takeBack(vault, metaPath, claimed ? std::nullopt : std::optional(claimed.error()));
        metaFile = orFail(VaultIO::stage(vault, *metaBytes, metaPath));
    }
    if (id.empty()) throw ToolFailure("写文件失败: 找不到空闲的文件名,最后一个试过的是 " + textPath);
    context.fulltext().written(textPath);  // searchable in the very next call

    Json payload = {
        {"ok", true},
        {"id", id},
        {"date", day},
        {"chars", Text::graphemeCount(text)},
        {"wrote", Json::array({textPath, metaPath})},
        {"next",
            "Mac App 会自动生成摘要、抽标签和待办,约 30 秒后出现在时间流。全文原样保留在详情页。Dashboard.json "
            "未被修改。"},
    };
    return ToolResult::json(payload);
}

}  // namespace

constexpr ToolDefinition diaryWriteTool{"diary_write", "写日记", kDescription, kParams, kHints, run};

}  // namespace qs
