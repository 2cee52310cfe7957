// minutes_write: replaces an entry's minutes (and card summary), archiving what it replaces.
#include <optional>  // std::optional
#include <string>    // std::string

#include "protocol/tool_failure.hpp"
#include "protocol/tool_result.hpp"
#include "text/dates.hpp"
#include "timeline/dashboard_index.hpp"
#include "tools/entry_id.hpp"
#include "tools/minutes_archive.hpp"
#include "tools/write_support.hpp"
#include "tools/write_tools.hpp"
#include "vault/entry_files.hpp"
#include "vault/entry_lock.hpp"
#include "vault/path_component.hpp"
#include "vault/vault_io.hpp"

namespace qs::WriteTools {

namespace {

constexpr std::string_view kMinutesSuffix = ".min.md";
constexpr std::string_view kSummarySuffix = ".sum.txt";

struct IndexEntry {
    bool known = false;
    std::string day;
};

// In its own function so the (possibly very large) index is freed before any file work.
IndexEntry lookUp(const Vault& vault, const std::string& id) {
    DashboardIndex index = DashboardIndex::load(vault);
    const FeedItem* item = index.item(id);
    if (!item) return {};
    return {true, std::string(item->day)};
}

void refuseUnreadable(const std::optional<std::string>& content, const std::string& path) {
    if (!content && VaultIO::existsInAnyForm(path)) {
        throw ToolFailure("读不到现有文件 " + path + ",为了不丢掉旧版本,这次什么都没写。文件可能还在从 iCloud 下载,稍后再试。");
    }
}

}  // namespace

Json minutes(const RPCRequest& request, const Vault& vault) {
    const std::string id = requireEntryId(request);
    const std::string markdown = request.requiredString("markdown");
    const std::optional<std::string> summary = request.optionalString("summary");
    // Checked before anything is written, so a bad text never leaves archives behind.
    requireUtf8(markdown);
    if (summary) requireUtf8(*summary);

    const IndexEntry entry = lookUp(vault, id);

    // From reading the old files to writing the new ones no other server
    // process may interleave, or a version it wrote could be replaced unarchived.
    const EntryLock lock = EntryLock::acquire(vault);

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
        ArchiveCopy copy = writeArchiveCopy(*oldMinutes, files.archiveURL(kMinutesSuffix, now), kMinutesSuffix);
        counter = copy.counter;
        archived.push_back(copy.path);
    }
    if (oldSummary && summary) {
        ArchiveCopy copy =
            writeArchiveCopy(*oldSummary, files.archiveURL(kSummarySuffix, now), kSummarySuffix, counter);
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

}  // namespace qs::WriteTools
