// recording_transcript: one window of a recording's transcript, counted in characters.
#include <algorithm>  // std::max
#include <optional>   // std::optional
#include <string>     // std::string, std::to_string
#include <vector>     // std::vector

#include "protocol/tool_failure.hpp"
#include "protocol/tool_result.hpp"
#include "text/unicode.hpp"
#include "timeline/dashboard_index.hpp"
#include "tools/entry_id.hpp"
#include "tools/read_tools.hpp"
#include "vault/entry_files.hpp"
#include "vault/vault_io.hpp"

namespace qs::ReadTools {
namespace {

struct Transcript {
    std::string text;
    const char* sourceFile;
};

// The ".transcript.json" "plainText" first, else the ".tr.txt" text; empty
// or unreadable sources count as missing.
std::optional<Transcript> readTranscript(const VaultFiles& files) {
    if (auto bytes = VaultIO::readData(files.transcriptJSON())) {
        if (auto parsed = parseJsonDocument(*bytes); parsed && parsed->is_object()) {
            auto found = parsed->find("plainText");
            if (found != parsed->end() && found->is_string() && !found->get_ref<const std::string&>().empty()) {
                return Transcript{found->get<std::string>(), "transcript.json"};
            }
        }
    }
    if (auto bytes = VaultIO::readData(files.outputsFile(".tr.txt"))) {
        if (!bytes->empty() && text::isValidUtf8(*bytes)) return Transcript{std::move(*bytes), "tr.txt"};
    }
    return std::nullopt;
}

}  // namespace

Json transcript(const RPCRequest& request, const Vault& vault) {
    NamedEntry entry = locateNamedEntry(request, vault);
    const std::string& id = entry.id;
    const VaultFiles& files = entry.files;

    std::optional<Transcript> found = readTranscript(files);
    if (!found) {
        throw ToolFailure("条目 " + id + " 没有转译稿。可能还没处理完,或者它不是录音 —— 用 recording_list 看哪些有转译稿。");
    }
    int64_t offset = std::max<int64_t>(request.optionalInt("offset", 0), 0);
    int64_t maxChars = std::max<int64_t>(request.optionalInt("max_chars", 40000), 1);

    std::vector<size_t> bounds = text::graphemeBoundaries(found->text);
    auto total = static_cast<int64_t>(bounds.size()) - 1;
    if (offset >= total) {
        throw ToolFailure("offset " + std::to_string(offset) + " 超出全文长度 " + std::to_string(total) + "。");
    }
    // Compared as a remainder so a huge max_chars cannot overflow offset + n.
    bool truncated = maxChars < total - offset;
    int64_t end = truncated ? offset + maxChars : total;
    size_t from = bounds[static_cast<size_t>(offset)];
    size_t to = bounds[static_cast<size_t>(end)];

    Json payload = Json::object();
    payload["id"] = id;
    payload["date"] = files.day;
    payload["source_file"] = found->sourceFile;
    payload["total_chars"] = total;
    payload["offset"] = offset;
    payload["returned_chars"] = end - offset;
    payload["text"] = found->text.substr(from, to - from);
    if (truncated) {
        payload["truncated"] = true;
        payload["next_offset"] = end;
    }
    return ToolResult::json(payload);
}

}  // namespace qs::ReadTools
