// minutes_write: replaces an entry's minutes (and card summary), archiving what it replaces.
#include <algorithm>  // std::find
#include <optional>   // std::optional
#include <string>     // std::string
#include <utility>    // std::pair, std::move
#include <vector>     // std::vector

#include "search/fulltext_service.hpp"
#include "timeline/dashboard_index.hpp"
#include "timeline/kept_index.hpp"
#include "tools/entry_lookup.hpp"
#include "tools/minutes_archive.hpp"
#include "tools/tool_arguments.hpp"
#include "tools/tool_failure.hpp"
#include "tools/tool_result.hpp"
#include "tools/vault_failure.hpp"
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
constexpr ToolHints kHints{.readOnly = false, .destructive = true, .idempotent = true, .openWorld = false};

using WriteTools::orFail;

struct IndexEntry {
    bool known = false;
    std::string day;
};

IndexEntry lookUp(ToolContext& context, const std::string& id) {
    const FeedItem* item = requireIndex(context.index().get(context.vault()))->item(id);
    if (!item) return {};
    return {true, std::string(item->day)};
}

// An old file's raw bytes (a file that is not UTF-8 is still someone's text,
// archived as it is). One that is there but cannot be read (still in iCloud
// after the wait, say) would be replaced without its archive copy: the call
// refuses rather than lose it. `mustRead` is false for a file left alone.
std::optional<std::string> readOld(const Vault& vault, const std::string& path, bool mustRead) {
    std::string bytes;
    auto read = VaultIO::readInto(vault, path, bytes);
    if (read) return bytes;
    const VaultError& error = read.error();
    treatAsMissing(error);
    if (!mustRead || error.kind == VaultError::Kind::absent) return std::nullopt;
    if (error.kind == VaultError::Kind::notRegular) {
        throw ToolFailure("现有文件 " + path + " 不是普通文件(管道、设备之类),不读也不覆盖,这次什么都没写。");
    }
    if (error.kind == VaultError::Kind::tooLarge) {
        throw ToolFailure("现有文件 " + path + " " + error.cause.message() + ",不读也不覆盖,这次什么都没写。");
    }
    throw ToolFailure(
        "读不到现有文件 " + path + ",为了不丢掉旧版本,这次什么都没写。文件可能还在从 iCloud 下载,稍后再试。");
}

// What no tool could read back would leave the entry's minutes out of reach.
void refuseUnreadable(const ToolParam& param, const std::string& text) {
    if (text.size() <= VaultIO::kFileReadLimit) return;
    throw ToolFailure(std::string(param.name) + " 有 " + std::to_string(text.size() >> 20) + " MiB,超过 " +
                      std::to_string(VaultIO::kFileReadLimit >> 20) +
                      " MiB 的读取上限,写了也读不回来,这次什么都没写。");
}

// The new minutes and summary, written in full before any name changes, so
// a full disk or a file-size limit leaves the entry as it was.
struct Staged {
    Platform::StagedFile minutes;
    std::optional<Platform::StagedFile> summary;
};

// What this call has changed so far, and how to take it back.
class Undo {
public:
    explicit Undo(const Vault& vault) : vault_(vault) {}
    void created(std::string path) { created_.push_back(std::move(path)); }
    void replaced(std::string path, std::string oldBytes) {
        replaced_.emplace_back(std::move(path), std::move(oldBytes));
    }

    // Takes every change back, then gives up with `failure`; when a change
    // stays, the message names it.
    [[noreturn]] void fail(const VaultError& failure, const std::string& summaryPath) {
        std::vector<std::string> stayed;
        for (const auto& [path, bytes] : replaced_) {
            if (!VaultIO::write(vault_, bytes, path)) stayed.push_back(path);
        }
        for (const std::string& path : created_) {
            if (!VaultIO::remove(vault_, path)) stayed.push_back(path);
        }
        if (stayed.empty()) throw ToolFailure(failure.description());
        if (std::find(stayed.begin(), stayed.end(), summaryPath) != stayed.end()) {
            throw ToolFailure(failure.description() + "。纪要没写成,但新摘要已经写到 " + summaryPath + ",没能撤回");
        }
        throw ToolFailure(failure.description() + "。纪要没写成,归档副本 " + stayed.front() + " 没能撤回");
    }

private:
    const Vault& vault_;
    std::vector<std::string> created_;
    std::vector<std::pair<std::string, std::string>> replaced_;
};

Json run(const ToolArguments& arguments, ToolContext& context) {
    const Vault& vault = context.vault();
    const std::string id = requireEntryId(arguments, kId);
    const std::string markdown = arguments.requiredString(kMarkdown);
    const std::optional<std::string> summary = arguments.optionalString(kSummary);
    // Checked before anything is written, so a bad text never leaves archives behind.
    WriteTools::requireUtf8(markdown);
    if (summary) WriteTools::requireUtf8(*summary);
    refuseUnreadable(kMarkdown, markdown);
    if (summary) refuseUnreadable(kSummary, *summary);

    const IndexEntry entry = lookUp(context, id);

    // From reading the old files to writing the new ones no other server
    // process may interleave, or a version it wrote could be replaced unarchived.
    const VaultWriteLock lock = orFail(VaultWriteLock::acquire(vault));

    // An entry whose own day holds its files only in iCloud stays on that
    // day: the reads below wait for them, or the call refuses.
    const VaultFiles files = VaultFiles::locate(vault, id, entry.day);
    if (files.day.empty() || !isSinglePathComponent(files.day)) {
        throw ToolFailure("定位不到条目 " + id + " 的日期目录。先用 vault_search 确认 id 是对的。");
    }

    // Read: the versions to archive.
    const std::string oldSummaryPath = files.path(EntryFile::summary);
    const std::optional<std::string> oldMinutes = readOld(vault, files.path(EntryFile::minutes), true);
    const std::optional<std::string> oldSummary = readOld(vault, oldSummaryPath, summary.has_value());
    if (!entry.known && !oldMinutes && !oldSummary) {
        throw ToolFailure("找不到条目 " + id + " —— Dashboard 里没有,磁盘上也没有它的产物文件。");
    }

    // Stage: the new files, in full, under temporary names.
    const std::string minutesPath = files.forWriting(EntryFile::minutes);
    const std::string summaryPath = files.forWriting(EntryFile::summary);
    Staged staged{orFail(VaultIO::stage(vault, markdown, minutesPath)), std::nullopt};
    if (summary) staged.summary = orFail(VaultIO::stage(vault, *summary, summaryPath));

    // Archive: the old versions, under names of their own.
    Undo undo(vault);
    const auto now = vault.fs().wallNow();
    Json archived = Json::array();
    unsigned counter = 1;  // both copies of one call share one name where they can
    if (oldMinutes) {
        auto copy = WriteTools::writeArchiveCopy(
            vault, *oldMinutes, files.archivePath(EntryFile::minutes, now), kindOf(EntryFile::minutes).suffix);
        if (!copy) undo.fail(copy.error(), summaryPath);
        counter = copy->counter;
        archived.push_back(copy->path);
        undo.created(copy->path);
    }
    if (oldSummary && summary) {
        auto copy = WriteTools::writeArchiveCopy(
            vault, *oldSummary, files.archivePath(EntryFile::summary, now), kindOf(EntryFile::summary).suffix, counter);
        if (!copy) undo.fail(copy.error(), summaryPath);
        archived.push_back(copy->path);
        undo.created(copy->path);
    }

    // Place: the summary first, the minutes last, as the minutes are what the entry is.
    if (staged.summary) {
        if (auto placed = VaultIO::place(vault, *staged.summary, summaryPath); !placed)
            undo.fail(placed.error(), summaryPath);
        if (oldSummary && oldSummaryPath == summaryPath) {
            undo.replaced(summaryPath, *oldSummary);
        } else {
            undo.created(summaryPath);
        }
    }
    if (auto placed = VaultIO::place(vault, staged.minutes, minutesPath); !placed)
        undo.fail(placed.error(), summaryPath);

    Json wrote = Json::array({minutesPath});
    if (summary) wrote.push_back(summaryPath);
    // Found by the very next search; the replaced minutes no longer are.
    context.fulltext().written(minutesPath);
    if (summary) context.fulltext().written(summaryPath);

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

constexpr ToolDefinition minutesWriteTool{"minutes_write", "改写纪要", kDescription, kParams, kHints, run};

}  // namespace qs
