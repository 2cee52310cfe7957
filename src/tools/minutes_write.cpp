// minutes_write: replaces an entry's minutes (and card summary), archiving what it replaces.
#include <optional>  // std::optional
#include <string>    // std::string

#include "text/dates.hpp"
#include "timeline/dashboard_index.hpp"
#include "tools/entry_lookup.hpp"
#include "tools/minutes_archive.hpp"
#include "tools/tool_arguments.hpp"
#include "tools/tool_failure.hpp"
#include "tools/tool_result.hpp"
#include "tools/write_support.hpp"
#include "vault/entry_files.hpp"
#include "vault/path_component.hpp"
#include "vault/vault_io.hpp"
#include "vault/write_lock.hpp"

namespace qs {
namespace {

constexpr std::string_view kDescription[] = {
    "改写一条条目的纪要正文。典型用法:先 recording_transcript 读转译稿,",
    "自己重新组织成结构化纪要,再用本工具写回去。",
    "旧版本会自动归档到 core/meta/minutes-history/,可以找回。",
    "传了 summary 就同时更新时间流卡片上显示的那句摘要(建议传,否则卡片还是旧的)。",
    "改动会在 Mac App 下一轮扫描(约 30 秒)后出现在时间流里。",
};
constexpr ToolParam kId{"id", "string", "条目 id。", true};
constexpr ToolParam kMarkdown{"markdown", "string", "新的纪要正文,Markdown。会完整覆盖旧正文。", true};
constexpr ToolParam kSummary{"summary", "string", "新的卡片摘要,一到两句。不传则保留原摘要。"};
constexpr ToolParam kParams[] = {kId, kMarkdown, kSummary};
// It replaces an entry's minutes.
constexpr ToolHints kHints{false, true, true, false};

constexpr std::string_view kMinutesSuffix = ".min.md";
constexpr std::string_view kSummarySuffix = ".sum.txt";

struct IndexEntry {
    bool known = false;
    std::string day;
};

// In its own function so the (possibly very large) index is freed before any file work.
IndexEntry lookUp(const Vault& vault, const std::string& id) {
    DashboardIndex index = requireIndex(DashboardIndex::load(vault));
    const FeedItem* item = index.item(id);
    if (!item) return {};
    return {true, std::string(item->day)};
}

void refuseUnreadable(const std::optional<std::string>& content, const std::string& path) {
    if (!content && VaultIO::existsInAnyForm(path)) {
        throw ToolFailure("读不到现有文件 " + path + ",为了不丢掉旧版本,这次什么都没写。文件可能还在从 iCloud 下载,稍后再试。");
    }
}

Json run(const ToolArguments& arguments, ToolContext& context) {
    const Vault& vault = context.vault();
    const std::string id = requireEntryId(arguments, kId);
    const std::string markdown = arguments.requiredString(kMarkdown);
    const std::optional<std::string> summary = arguments.optionalString(kSummary);
    // Checked before anything is written, so a bad text never leaves archives behind.
    WriteTools::requireUtf8(markdown);
    if (summary) WriteTools::requireUtf8(*summary);

    const IndexEntry entry = lookUp(vault, id);

    // From reading the old files to writing the new ones no other server
    // process may interleave, or a version it wrote could be replaced unarchived.
    const VaultWriteLock lock = VaultWriteLock::acquire(vault);

    const VaultFiles files = VaultFiles::locate(vault, id, entry.day);
    if (files.day.empty() || !isSinglePathComponent(files.day)) {
        throw ToolFailure("定位不到条目 " + id + " 的日期目录。先用 vault_search 确认 id 是对的。");
    }

    // Raw bytes: a file that is not UTF-8 is still someone's text, archived as it is.
    const std::optional<std::string> oldMinutes = VaultIO::readData(files.insightsFile(kMinutesSuffix));
    const std::optional<std::string> oldSummary = VaultIO::readData(files.insightsFile(kSummarySuffix));
    // An old file that is there but unreadable (still in iCloud, no permission)
    // would be replaced without its archive copy: refuse rather than lose it.
    refuseUnreadable(oldMinutes, files.insightsFile(kMinutesSuffix));
    if (summary) refuseUnreadable(oldSummary, files.insightsFile(kSummarySuffix));
    if (!entry.known && !oldMinutes && !oldSummary) {
        throw ToolFailure("找不到条目 " + id + " —— Dashboard 里没有,磁盘上也没有它的产物文件。");
    }

    const auto now = text::Clock::now();
    Json archived = Json::array();
    unsigned counter = 1;  // both copies of one call share one name where they can
    if (oldMinutes) {
        WriteTools::ArchiveCopy copy = WriteTools::writeArchiveCopy(*oldMinutes, files.archivePath(kMinutesSuffix, now), kMinutesSuffix);
        counter = copy.counter;
        archived.push_back(copy.path);
    }
    if (oldSummary && summary) {
        WriteTools::ArchiveCopy copy =
            WriteTools::writeArchiveCopy(*oldSummary, files.archivePath(kSummarySuffix, now), kSummarySuffix, counter);
        archived.push_back(copy.path);
    }

    Json wrote = Json::array();
    const std::string minutesPath = files.minutesForWriting();
    VaultIO::write(markdown, minutesPath);
    wrote.push_back(minutesPath);
    if (summary) {
        const std::string summaryPath = files.summaryForWriting();
        VaultIO::write(*summary, summaryPath);
        wrote.push_back(summaryPath);
    }

    Json payload = {
        {"ok", true},
        {"id", id},
        {"date", files.day},
        {"wrote", wrote},
        {"archived", archived},
        {"next", "Mac App 下一轮扫描(约 30 秒)后时间流会更新。Dashboard.json 未被修改。"},
    };
    if (!summary) {
        payload["warning"] = oldSummary
                                 ? "只改了纪要正文,时间流卡片上显示的摘要还是旧的。要一起更新就传 summary。"
                                 : "这条还没有卡片摘要(.sum.txt),Mac 可能仍把它当未处理。建议补一个 summary 参数。";
    }
    return ToolResult::json(payload);
}

}  // namespace

constexpr ToolDefinition minutesWriteTool{"minutes_write", kDescription, kParams, kHints, run};

}  // namespace qs
