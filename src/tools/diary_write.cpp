// diary_write: drops a new text entry and its metadata into the inputs folder.
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

#include "json/json.hpp"
#include "protocol/tool_result.hpp"
#include "text/unicode.hpp"
#include "tools/write_support.hpp"
#include "tools/write_tools.hpp"
#include "vault/path_schema.hpp"
#include "vault/vault_io.hpp"

namespace qs::WriteTools {

namespace {

// Asked afresh for every location, as the layout may only now be recognisable.
std::string inputsFile(const Vault& vault, const std::string& day, const std::string& name) {
    auto schema = VaultInitializer::detectSchema(vault.root).value_or(PathSchema::englishV2);
    std::string_view inputs = schema == PathSchema::legacyChineseV1 ? "01-情景记忆/00-时间流/inputs"
                                                                    : "memories/timeline/inputs";
    return joinPath(joinPath(vault.root, inputs), day + "/" + name);
}

}  // namespace

Json diary(const RPCRequest& request, const Vault& vault) {
    const std::string text = request.requiredString("text");
    const std::string day = resolveDay(request.optionalString("date"));
    const std::vector<std::string> tags = request.optionalStringArray("tags");
    requireUtf8(text);

    Json meta = {{"createdBy", "mcp"}};
    if (!tags.empty()) meta["tags"] = tags;
    const std::optional<std::string> metaBytes = JsonWriter::payload(meta);
    if (!metaBytes) throw VaultIO::WriteError::writeFailed("内容不是合法 UTF-8");

    // Exclusive create under a fresh UUID: even a repeated UUID never replaces an entry.
    std::string textPath;
    const std::string id = writeUnderFreshId(
        text,
        [&](const std::string& candidate) { return textPath = inputsFile(vault, day, candidate + ".memo.txt"); },
        newUuid);

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

}  // namespace qs::WriteTools
