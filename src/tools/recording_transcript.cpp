// recording_transcript: one window of a recording's transcript, counted in characters.
#include <algorithm>  // std::max
#include <optional>   // std::optional
#include <string>     // std::string, std::to_string
#include <vector>     // std::vector

#include "text/unicode.hpp"
#include "tools/app_views.hpp"
#include "tools/entry_lookup.hpp"
#include "tools/tool_failure.hpp"
#include "tools/tool_result.hpp"
#include "tools/vault_failure.hpp"
#include "vault/vault_io.hpp"

namespace qs {
namespace {

constexpr std::string_view kDescription[] = {
    "读一条录音的**完整转译文本**(ASR 原文,不是 AI 摘要)。",
    "单份通常 1–2 万字,需要分段读时用 offset。",
    "注意:转译稿没有说话人标注和时间戳,是一整段连续文本。",
    "要读 AI 生成的纪要/摘要用 minutes_read。",
    // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one sentence, split by the formatter
    "有的宿主只把约 2.5 万字(有的只有 10 KB)的结果交给模型:结果被截断时,用 max_chars=8000 左右分段,按 next_offset "
    "接着读。",
};
constexpr ToolParam kId{"id", "string", "条目 id,从 vault_search 或 recording_list 拿。", true};
constexpr ToolParam kOffset{"offset", "integer", "从第几个字符开始读,默认 {}。", false, 0};
constexpr ToolParam kMaxChars{"max_chars", "integer", "最多读多少字符,默认 {}。", false, 40000};
constexpr ToolParam kParams[] = {kId, kOffset, kMaxChars};

struct Transcript {
    std::string text;
    const char* sourceFile;
    std::string path;
    std::optional<Platform::FileStamp> stamp;  // taken before the read: a later change never matches it
};

// The ".transcript.json" "plainText" first, else the ".tr.txt" text; empty
// or unreadable sources count as missing.
// A file too large or refused fails the call with its reason instead.
std::optional<Transcript> readTranscript(const VaultFiles& files) {
    std::string bytes;
    std::optional<Platform::FileStamp> stamp;
    auto read = [&](EntryFile file) {
        stamp = files.vault->fs().stampOf(files.path(file), /*folder=*/false);
        auto done = VaultIO::readInto(*files.vault, files.path(file), bytes);
        if (!done) {
            treatAsMissing(done.error());
            requireReadable(done.error());
        }
        return done.hasValue();
    };
    if (read(EntryFile::transcriptJson)) {
        if (auto parsed = parseJsonDocument(bytes); parsed && parsed->is_object()) {
            auto found = parsed->find("plainText");
            if (found != parsed->end() && found->is_string() && !found->get_ref<const std::string&>().empty()) {
                return Transcript{
                    found->get<std::string>(), "transcript.json", files.path(EntryFile::transcriptJson), stamp};
            }
        }
    }
    if (read(EntryFile::transcriptText) && !bytes.empty() && Text::isValidUtf8(bytes)) {
        return Transcript{std::move(bytes), "tr.txt", files.path(EntryFile::transcriptText), stamp};
    }
    return std::nullopt;
}

Json run(const ToolArguments& arguments, ToolContext& context) {
    NamedEntry entry = locateNamedEntry(arguments, kId, context);
    const std::string& id = entry.id;
    const VaultFiles& files = entry.files;

    std::optional<Transcript> found = readTranscript(files);
    if (!found) {
        throw ToolFailure(
            "条目 " + id + " 没有转译稿。可能还没处理完,或者它不是录音 —— 用 recording_list 看哪些有转译稿。");
    }
    int64_t offset = std::max<int64_t>(arguments.integer(kOffset), 0);
    int64_t maxChars = std::max<int64_t>(arguments.integer(kMaxChars), 1);

    std::vector<size_t> bounds = Text::graphemeBoundaries(found->text);
    auto total = static_cast<int64_t>(bounds.size()) - 1;
    if (found->stamp) context.transcriptLengths()[found->path] = {*found->stamp, total};
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

}  // namespace

// The default window of 40,000 characters is some 120 KB of UTF-8 text.
constexpr ToolDefinition recordingTranscriptTool{
    "recording_transcript", "读转译稿", kDescription, kParams, kReadOnlyHints, run, kMeetingView, 150000};

}  // namespace qs
