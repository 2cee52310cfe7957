// minutes_read: an entry's minutes, card summary and metadata.
#include <optional>  // std::optional
#include <string>    // std::string

#include "text/unicode.hpp"
#include "tools/app_views.hpp"
#include "tools/entry_lookup.hpp"
#include "tools/minutes_archive.hpp"
#include "tools/tool_failure.hpp"
#include "tools/tool_result.hpp"
#include "tools/vault_failure.hpp"
#include "vault/vault_io.hpp"

namespace qs {
namespace {

constexpr std::string_view kDescription[] = {
    "读一条条目的 AI 产物:纪要正文(详情页看到的)+ 卡片摘要(时间流卡片上那句)+",
    "结构化元数据(标签/人物/项目/待办/重要度)。",
    "改写纪要之前**先用它读一遍**,拿到当前内容和确切的文件落点。",
    "也给出条目自己的全文(content)和时间;versions 列出归档的旧版本(归档时间、字节数),传 version 读回其中一份。",
    "纪要和全文很长时,有的宿主会截断结果(约 2.5 万字,有的只有 10 KB):先看 card_summary,需要时再读全文。",
};
constexpr ToolParam kId{"id", "string", "条目 id。", true};
constexpr ToolParam kVersion{"version", "string", "要读回的旧版本,填 versions 里的 name;不传则只列出。", false, 0, {},
    TextForm::any, "2025-03-01T081500Z.min.md"};
constexpr ToolParam kParams[] = {kId, kVersion};

constexpr const char* kNoMinutesWarning = "还没有纪要正文(.min.md)。可能这条还没被 AI 处理完。";
constexpr const char* kDownloadingWarning = "纪要正文(.min.md)还在从 iCloud 下载,这次没等到。稍后再读一次。";

// A file's text, or why there is none.
struct FileText {
    std::optional<std::string> text;  // nothing when missing, unreadable or not UTF-8
    bool downloading = false;         // there, but still in iCloud after the wait
};

// An empty file is an empty text, which counts as present.
FileText readText(const Vault& vault, const std::string& path) {
    std::string bytes;
    auto read = VaultIO::readInto(vault, path, bytes);
    if (!read) {
        treatAsMissing(read.error());
        requireReadable(read.error());
        return {std::nullopt, read.error().kind == VaultError::Kind::notDownloaded};
    }
    if (!Text::isValidUtf8(bytes)) return {};
    return {std::move(bytes), false};
}

// The archived versions, newest first, and the one asked for read back.
void addVersions(Json& payload, const std::optional<std::string>& wanted, const VaultFiles& files) {
    const std::string folder = files.archiveFolder();
    Json versions = Json::array();
    std::optional<std::string> found;
    for (const auto& version : WriteTools::listArchivedVersions(*files.vault, folder)) {
        versions.push_back({{"name", version.name}, {"archived_at", version.archivedAt}, {"bytes", version.bytes}});
        if (version.name == wanted) found = version.name;
    }
    if (wanted && !found) {
        throw ToolFailure("version 「" + *wanted + "」不是这条的归档版本。" +
                          (versions.empty() ? "这条还没有归档版本。" : "可用的见不带 version 时返回的 versions。"));
    }
    if (found) {
        std::string bytes;
        if (auto read = VaultIO::readInto(*files.vault, folder + "/" + *found, bytes); !read) {
            throw ToolFailure(read.error().description());
        }
        payload["version"] = *found;
        payload["version_text"] = Text::isValidUtf8(bytes) ? bytes : Text::decodeLossy(bytes);
    }
    payload["versions"] = std::move(versions);
}

Json run(const ToolArguments& arguments, ToolContext& context) {
    NamedEntry entry = locateNamedEntry(arguments, kId, context);
    const std::string& id = entry.id;
    const FeedItem* item = entry.item;
    const VaultFiles& files = entry.files;

    std::string minutesPath = files.path(EntryFile::minutes);
    std::string summaryPath = files.path(EntryFile::summary);
    const auto [minutesText, minutesDownloading] = readText(context.vault(), minutesPath);
    const auto [summaryText, summaryDownloading] = readText(context.vault(), summaryPath);
    // Files still in iCloud are the entry's, not missing ones.
    if (!minutesText && !summaryText && !item && !minutesDownloading && !summaryDownloading) {
        throw ToolFailure("找不到条目 " + id + "。先用 vault_search 确认 id。");
    }

    Json payload = Json::object();
    payload["id"] = id;
    payload["date"] = files.day;
    payload["minutes_markdown"] = minutesText.value_or("");
    payload["card_summary"] = summaryText.value_or("");
    payload["minutes_path"] = minutesPath;
    payload["summary_path"] = summaryPath;
    if (item) {
        payload["type"] = std::string(item->type);
        payload["title"] = std::string(item->displayTitle());
        payload["tags"] = FeedItem::textArray(item->tags);
        payload["people"] = FeedItem::textArray(item->people);
        payload["projects"] = FeedItem::textArray(item->projects);
        payload["importance"] = item->importance;
        payload["extracted_tasks"] = FeedItem::textArray(item->extractedTasks);
        payload["processing_state"] = std::string(item->processingState.value_or("unknown"));
        payload["content"] = std::string(item->content);
        if (auto time = item->localTime()) payload["time"] = std::move(*time);
    }
    if (!minutesText) payload["warning"] = minutesDownloading ? kDownloadingWarning : kNoMinutesWarning;
    addVersions(payload, arguments.optionalString(kVersion), files);
    return ToolResult::json(payload);
}

}  // namespace

constexpr ToolDefinition minutesReadTool{
    "minutes_read", "读纪要", kDescription, kParams, kReadOnlyHints, run, kMeetingView, 150000};

}  // namespace qs
