// recording_list: the voice entries, and whether their transcripts and minutes exist.
#include <string>  // std::string

#include "timeline/kept_index.hpp"
#include "tools/entry_lookup.hpp"
#include "tools/tool_arguments.hpp"
#include "tools/tool_result.hpp"
#include "vault/entry_files.hpp"
#include "vault/path_component.hpp"

namespace qs {
namespace {

constexpr std::string_view kDescription[] = {
    "列出所有录音条目(会议、语音备忘),并标注转译稿是否已经落盘。",
    "想知道「有哪些会议录音可以查」时用这个;想读具体内容用 recording_transcript。",
};
constexpr ToolParam kDateFrom{"date_from", "string", "起始日期,yyyy-MM-dd。"};
constexpr ToolParam kDateTo{"date_to", "string", "结束日期,yyyy-MM-dd。"};
constexpr ToolParam kLimit{"limit", "integer", "最多返回几条,默认 {}。", false, 50};
constexpr ToolParam kParams[] = {kDateFrom, kDateTo, kLimit};

constexpr const char* transcriptNote = "转译稿没有说话人标注和时间戳,是一整段连续文本。";

Json run(const ToolArguments& arguments, ToolContext& context) {
    const Vault& vault = context.vault();
    const DashboardIndex& index = *requireIndex(context.index().get(vault));
    auto dateFrom = arguments.optionalString(kDateFrom);
    auto dateTo = arguments.optionalString(kDateTo);
    int64_t limit = arguments.integer(kLimit);

    Json recordings = Json::array();
    // Each base folder is listed at most once for the whole list.
    EntryFolderMemo folders;
    for (const FeedItem* item : index.search(std::nullopt, std::string("voice"), dateFrom, dateTo, limit)) {
        Json entry = item->summaryDict(120);
        bool hasTranscript = false;
        bool hasMinutes = false;
        // An id from the index that is no plain file name would name files
        // outside the entry folders: such an entry is listed without files.
        if (isSinglePathComponent(item->id)) {
            VaultFiles files = VaultFiles::locate(vault, std::string(item->id), std::string(item->day), folders);
            // Plain existence tests: a flag reports what is on disk now and
            // starts no cloud download.
            hasTranscript = files.has(EntryFile::transcriptJson) || files.has(EntryFile::transcriptText);
            hasMinutes = files.has(EntryFile::minutes);
        }
        entry["has_transcript"] = hasTranscript;
        entry["has_minutes"] = hasMinutes;
        recordings.push_back(std::move(entry));
    }
    Json payload = Json::object();
    payload["returned"] = recordings.size();
    payload["recordings"] = std::move(recordings);
    payload["note"] = transcriptNote;
    return ToolResult::json(payload);
}

}  // namespace

constexpr ToolDefinition recordingListTool{"recording_list", "录音列表", kDescription, kParams, kReadOnlyHints, run};

}  // namespace qs
