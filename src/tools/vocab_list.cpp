// vocab_list: the vocabulary book's live words, filtered, earliest due first,
// capped at a limit.
#include <algorithm>    // std::stable_sort, std::max, std::min
#include <cstdint>      // int64_t
#include <optional>     // std::optional
#include <span>         // std::span
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <utility>      // std::move
#include <vector>       // std::vector

#include "protocol/tool_result.hpp"
#include "text/dates.hpp"
#include "text/unicode.hpp"
#include "timeline/lowercase_search.hpp"
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
    std::optional<LowercaseNeedle> query;  // views the lower-cased query
    bool dueOnly = false;
    std::optional<std::string> source;
    double now = 0;

    bool keeps(const VocabBookReader::Word& word) const {
        if (word.deleted) return false;
        if (dueOnly && word.dueAt > now) return false;
        if (source && *source != sourceText(word.source)) return false;
        if (query) {
            if (query->foundIn(word.word)) return true;
            return word.translation && query->foundIn(*word.translation);
        }
        return true;
    }
};

}  // namespace

Json vocabList(const RPCRequest& request, const Vault& vault) {
    const std::string path = VaultPathResolver::resolveForReading(VaultPath::vocabulary, vault.root);
    // Reused across calls so a large book does not fault in fresh memory each time.
    static VocabBookReader reader;
    if (!VaultIO::readInto(path, reader.input())) return ToolResult::json(missingBookPayload(path));

    std::optional<std::span<const VocabBookReader::Word>> book = reader.readInput();
    if (!book) VocabBookCore::warnUnreadable();

    // The needle views this text, so it is declared first and outlives it.
    std::string lowerQuery;
    Filters filters;
    if (auto query = request.optionalString("query")) {
        lowerQuery = text::toLowerFull(*query);
        filters.query.emplace(lowerQuery);
    }
    filters.dueOnly = request.optionalBool("due_only", false);
    filters.source = request.optionalString("source");
    // After reading, so a word read without a due moment is already due.
    filters.now = text::nowUnixSeconds();

    // In key order, as the book's map holds them; equal due moments keep it.
    std::vector<const VocabBookReader::Word*> kept;
    if (book) {
        for (const VocabBookReader::Word& word : *book) {
            if (filters.keeps(word)) kept.push_back(&word);
        }
    }
    std::stable_sort(kept.begin(), kept.end(), [](const VocabBookReader::Word* a, const VocabBookReader::Word* b) {
        return a->dueAt < b->dueAt;
    });

    const int64_t limit = std::max<int64_t>(request.optionalInt("limit", kDefaultLimit), 1);
    const size_t returned = std::min(kept.size(), static_cast<size_t>(limit));
    Json words = Json::array();
    for (size_t i = 0; i < returned; ++i) words.push_back(describe(reader.entry(*kept[i])));

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
