// recording_list: the voice entries, and whether their transcripts and minutes exist.
#include <string>  // std::string

#include "protocol/tool_result.hpp"
#include "timeline/dashboard_index.hpp"
#include "tools/read_tools.hpp"
#include "vault/entry_files.hpp"
#include "vault/path_component.hpp"

namespace qs::ReadTools {
namespace {

constexpr const char* transcriptNote = "转译稿没有说话人标注和时间戳,是一整段连续文本。";

}  // namespace

Json recordingList(const RPCRequest& request, const Vault& vault) {
    DashboardIndex index = DashboardIndex::load(vault);
    auto dateFrom = request.optionalString("date_from");
    auto dateTo = request.optionalString("date_to");
    int64_t limit = request.optionalInt("limit", 50);

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
            hasTranscript = files.hasOutputsFile(".transcript.json") || files.hasOutputsFile(".tr.txt");
            hasMinutes = files.hasInsightsFile(".min.md");
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

}  // namespace qs::ReadTools
