// vocab_list: the vocabulary book's live words, filtered, earliest due first,
// capped at a limit.
#include <algorithm>    // std::stable_sort, std::max, std::min
#include <cstdint>      // int64_t
#include <map>          // std::map
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <utility>      // std::move
#include <vector>       // std::vector

#include "protocol/tool_result.hpp"
#include "text/dates.hpp"
#include "text/unicode.hpp"
#include "tools/read_tools.hpp"
#include "vault/path_schema.hpp"
#include "vault/vault_io.hpp"
#include "vocab/vocab_book.hpp"

namespace qs::ReadTools {
namespace {

constexpr int64_t kDefaultLimit = 100;

std::string_view sourceText(const std::optional<VocabReviewSource>& source) {
    return source == VocabReviewSource::imported ? "imported" : "lookup";
}

Json missingBookPayload(const std::string& path) {
    return Json{
        {"available", false},
        {"words", Json::array()},
        {"note", "词库文件还没同步到 Vault(" + path + ")。在 iOS 端打开一次 设置 → 词典 → 我的词库 会触发写盘。"},
    };
}

// A file that exists but cannot be read as a book still lists no words, but
// says so: an empty listing alone would tell the client the book is empty.
std::string unreadableBookNote(const std::string& path) {
    return "词库文件解不开(" + path + "),暂按空词库处理。在 iOS 端打开一次 设置 → 词典 → 我的词库 会重新写盘。";
}

Json describe(const VocabEntry& entry) {
    Json word{
        {"word", entry.word},
        {"stage", entry.stage},
        {"due_at", text::isoUtc(entry.dueAt)},
        {"graduated", entry.graduated},
        {"lapses", entry.lapses},
        {"source", sourceText(entry.source)},
    };
    if (entry.phonetic && !entry.phonetic->empty()) word["phonetic"] = *entry.phonetic;
    if (entry.translation && !entry.translation->empty()) word["translation"] = *entry.translation;
    if (!entry.examTags.empty()) word["exam_tags"] = entry.examTags;
    if (entry.note && !entry.note->empty()) word["note"] = *entry.note;
    if (entry.provenance) {
        Json encountered = Json::object();
        if (entry.provenance->itemID) encountered["item_id"] = *entry.provenance->itemID;
        if (entry.provenance->date) encountered["date"] = *entry.provenance->date;
        if (entry.provenance->excerpt) encountered["excerpt"] = *entry.provenance->excerpt;
        if (!encountered.empty()) word["encountered_in"] = std::move(encountered);
    }
    return word;
}

struct Filters {
    std::optional<std::string> query;  // lower-cased
    bool dueOnly = false;
    std::optional<std::string> source;
    double now = 0;

    bool keeps(const VocabEntry& entry) const {
        if (entry.deletedAt) return false;
        if (dueOnly && entry.dueAt > now) return false;
        if (source && *source != sourceText(entry.source)) return false;
        if (query) {
            if (text::toLowerFull(entry.word).find(*query) != std::string::npos) return true;
            if (!entry.translation) return false;
            return text::toLowerFull(*entry.translation).find(*query) != std::string::npos;
        }
        return true;
    }
};

}  // namespace

Json vocabList(const RPCRequest& request, const Vault& vault) {
    const std::string path = VaultPathResolver::resolveForReading(VaultPath::vocabulary, vault.root);
    // Reused across calls so a large book does not fault in fresh memory each time.
    static std::string bytes;
    if (!VaultIO::readInto(path, bytes)) return ToolResult::json(missingBookPayload(path));

    std::optional<std::map<std::string, VocabEntry>> book = VocabBookCore::tryDecode(bytes);
    if (!book) VocabBookCore::warnUnreadable();

    Filters filters;
    if (auto query = request.optionalString("query")) filters.query = text::toLowerFull(*query);
    filters.dueOnly = request.optionalBool("due_only", false);
    filters.source = request.optionalString("source");
    // After decoding, so a word read without a due moment is already due.
    filters.now = text::nowUnixSeconds();

    std::vector<const VocabEntry*> kept;
    if (book) {
        for (const auto& [key, entry] : *book) {
            if (filters.keeps(entry)) kept.push_back(&entry);
        }
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const VocabEntry* a, const VocabEntry* b) { return a->dueAt < b->dueAt; });

    const int64_t limit = std::max<int64_t>(request.optionalInt("limit", kDefaultLimit), 1);
    const size_t returned = std::min(kept.size(), static_cast<size_t>(limit));
    Json words = Json::array();
    for (size_t i = 0; i < returned; ++i) words.push_back(describe(*kept[i]));

    Json payload{
        {"available", true},
        {"total", kept.size()},
        {"returned", returned},
        {"words", std::move(words)},
    };
    if (!book) payload["note"] = unreadableBookNote(path);
    return ToolResult::json(payload);
}

}  // namespace qs::ReadTools
