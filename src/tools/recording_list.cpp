// recording_list: the voice entries, and whether their transcripts and minutes exist.
#include <iterator>  // std::prev
#include <limits>    // std::numeric_limits
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

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
constexpr ToolParam kDateFrom{"date_from", "string", "起始日期,yyyy-MM-dd。", false, 0, {}, TextForm::day};
constexpr ToolParam kDateTo{"date_to", "string", "结束日期,yyyy-MM-dd。", false, 0, {}, TextForm::day};
constexpr ToolParam kLimit{"limit", "integer", "最多返回几条,默认 {}。", false, 50};
constexpr ToolParam kHasMinutes{"has_minutes", "boolean", "只列有纪要(true)或还没有纪要(false)的录音;不传则都列。"};
constexpr ToolParam kParams[] = {kDateFrom, kDateTo, kLimit, kPageOffsetParam, kHasMinutes};

constexpr const char* kTranscriptNote = "转译稿没有说话人标注和时间戳,是一整段连续文本。";

// The transcript's length in characters, when a read has counted it in the file as it is now.
void addLength(Json& entry, ToolContext& context, const std::string& path) {
    auto counted = context.transcriptLengths().find(path);
    if (counted == context.transcriptLengths().end()) return;
    if (context.vault().fs().stampOf(path, /*folder=*/false) == counted->second.stamp) {
        entry["transcript_chars"] = counted->second.chars;
    }
}

Json run(const ToolArguments& arguments, ToolContext& context) {
    const Vault& vault = context.vault();
    // Reading the arguments cannot fail, so an unreadable index still fails
    // whatever they are; the filter is applied while the index is read.
    DashboardIndex::SearchFilter filter{
        std::nullopt, std::string("voice"), arguments.optionalString(kDateFrom), arguments.optionalString(kDateTo)};
    const ResultWindow window{arguments.integer(kPageOffsetParam), arguments.integer(kLimit)};
    const std::optional<bool> hasMinutesWanted = arguments.optionalFlag(kHasMinutes);
    // Filtered on the disk, the page is cut after the filter: every recording of the range is looked at.
    KeptIndex::Found found = requireIndex(context.index().search(
        vault, filter, hasMinutesWanted ? ResultWindow{0, std::numeric_limits<int64_t>::max()} : window));

    // An id from the index that is no plain file name would name files
    // outside the entry folders: such an entry is listed without files.
    std::vector<VaultFiles::Wanted> wanted;
    for (const FeedItem* item : found.page.items) {
        if (isSinglePathComponent(item->id)) wanted.push_back({std::string(item->id), std::string(item->day)});
    }
    // Each day folder is looked at once for the whole list.
    std::vector<VaultFiles> located = VaultFiles::locateAll(vault, wanted, context.dayFolders());
    auto files = located.begin();

    Json recordings = Json::array();
    size_t skip = hasMinutesWanted ? window.skipped() : 0;
    bool more = found.page.more;
    for (const FeedItem* item : found.page.items) {
        std::optional<EntryFile> transcript;
        bool hasMinutes = false;
        if (isSinglePathComponent(item->id)) {
            // Plain existence tests: a flag reports what is on disk now and
            // starts no cloud download.
            if (files->has(EntryFile::transcriptJson)) {
                transcript = EntryFile::transcriptJson;
            } else if (files->has(EntryFile::transcriptText)) {
                transcript = EntryFile::transcriptText;
            }
            hasMinutes = files->has(EntryFile::minutes);
            ++files;
        }
        if (hasMinutesWanted) {
            if (hasMinutes != *hasMinutesWanted) continue;
            if (skip > 0) {
                --skip;
                continue;
            }
            if (recordings.size() == window.wanted()) {
                more = true;
                break;
            }
        }
        Json entry = item->summaryJson(120);
        entry["has_transcript"] = transcript.has_value();
        entry["has_minutes"] = hasMinutes;
        if (transcript) addLength(entry, context, std::prev(files)->path(*transcript));
        recordings.push_back(std::move(entry));
    }
    Json payload = Json::object();
    payload["returned"] = recordings.size();
    payload["recordings"] = std::move(recordings);
    payload["note"] = kTranscriptNote;
    if (more) payload["next_offset"] = window.skipped() + found.page.items.size();
    return ToolResult::json(payload);
}

}  // namespace

constexpr ToolDefinition recordingListTool{"recording_list", "录音列表", kDescription, kParams, kReadOnlyHints, run};

}  // namespace qs
