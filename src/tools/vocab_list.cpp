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

#include "platform/log.hpp"
#include "text/dates.hpp"
#include "text/lowercase_search.hpp"
#include "text/unicode.hpp"
#include "tools/app_views.hpp"
#include "tools/tool_arguments.hpp"
#include "tools/tool_result.hpp"
#include "tools/vault_failure.hpp"
#include "vault/vault_io.hpp"
#include "vocab/vocab_book.hpp"

namespace qs {
namespace {

constexpr std::string_view kDescription[] = {
    "查个人英语词库:词、音标、释义、考纲标签、复习进度、以及「在哪儿遇到这个词的」出处。",
    "词库由 iOS 端维护并同步到 Vault,本工具只读。",
};
constexpr std::string_view kSourceValues[] = {"lookup", "imported"};
constexpr ToolParam kQuery{
    "query", "string", "按词或释义过滤,子串匹配。留空返回全部。", false, 0, {}, TextForm::any, "run"};
constexpr ToolParam kDueOnly{"due_only", "boolean", "只返回今天该复习的词,默认 {}。", false, 0};
constexpr ToolParam kSource{
    "source", "string", "按来源筛。lookup=查词查来的, imported=从卡片导入的。", false, 0, kSourceValues};
constexpr ToolParam kLimit{"limit", "integer", "最多返回几条,默认 {}。", false, 100};
constexpr std::string_view kOrderValues[] = {"due", "recent_mistakes"};
constexpr ToolParam kOrder{"order", "string",
    "排序。due=最早该复习的在前(默认), recent_mistakes=最近答错过的在前(答错过的词按上次复习时间从新到旧,其余在后)。",
    false, 0, kOrderValues};
constexpr ToolParam kParams[] = {kQuery, kDueOnly, kSource, kLimit, kOrder};

// Written as is, without the log's prefix: the line is the book reader's own.
constexpr std::string_view kUnreadableWarning =
    "⚠️ [VocabBook] 词库文件解不开,按空处理(合并取并集,不会因此删词)\n";

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

// Words the reader could not decode are left out, and the listing says how
// many, so a missing word is not taken for one never added.
std::string unreadableWordsNote(size_t count) {
    return "词库里有 " + std::to_string(count) + " 个词解不开,已跳过,其余照常列出。";
}

Json describe(const VocabEntry& entry) {
    Json word{
        {"word", entry.word},
        {"stage", entry.stage},
        {"due_at", Text::isoUtc(entry.dueAt)},
        {"graduated", entry.graduated},
        {"lapses", entry.lapses},
        {"source", sourceText(entry.source)},
        // The book keeps no review log: a review is its last change.
        {"last_reviewed_at", Text::isoUtc(entry.updatedAt)},
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
    std::optional<Text::LowercaseNeedle> query;  // views the lower-cased query
    bool dueOnly = false;
    std::optional<std::string> source;
    double now = 0;

    [[nodiscard]] bool keeps(const VocabBookReader::Word& word) const {
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

Json run(const ToolArguments& arguments, ToolContext& context) {
    const std::string path = context.vault().path(VaultPath::vocabulary);
    VocabBookReader& reader = context.vocabReader();
    if (auto read = VaultIO::readInto(context.vault(), path, reader.input()); !read) {
        treatAsMissing(read.error());
        return ToolResult::json(missingBookPayload(path));
    }

    // One moment for the whole call, so a word read without a due moment is due.
    const double now = context.vault().fs().wallSeconds();
    std::optional<std::span<const VocabBookReader::Word>> book = reader.readInput(now);
    if (!book) writeStderr(kUnreadableWarning);
    if (book && reader.unreadableWords() > 0) logStderr(unreadableWordsNote(reader.unreadableWords()));

    // The needle views this text, so it is declared first and outlives it.
    std::string lowerQuery;
    Filters filters;
    if (auto query = arguments.optionalString(kQuery)) {
        lowerQuery = Text::toLowerFull(*query);
        filters.query.emplace(lowerQuery);
    }
    filters.dueOnly = arguments.flag(kDueOnly);
    filters.source = arguments.optionalString(kSource);
    filters.now = now;

    // In key order, as the book's map holds them; equal due moments keep it.
    std::vector<const VocabBookReader::Word*> kept;
    if (book) {
        for (const VocabBookReader::Word& word : *book) {
            if (filters.keeps(word)) kept.push_back(&word);
        }
    }
    std::vector<VocabEntry> entries;
    if (arguments.optionalString(kOrder) == "recent_mistakes") {
        // Whole entries for the lapses and the last review, which only this order needs.
        for (const VocabBookReader::Word* word : kept) entries.push_back(reader.entry(*word));
        std::stable_sort(entries.begin(), entries.end(), [](const VocabEntry& a, const VocabEntry& b) {
            if ((a.lapses > 0) != (b.lapses > 0)) return a.lapses > 0;
            return a.lapses > 0 ? a.updatedAt > b.updatedAt : a.dueAt < b.dueAt;
        });
    } else {
        std::stable_sort(kept.begin(), kept.end(),
            [](const VocabBookReader::Word* a, const VocabBookReader::Word* b) { return a->dueAt < b->dueAt; });
    }

    const int64_t limit = std::max<int64_t>(arguments.integer(kLimit), 1);
    const size_t returned = std::min(kept.size(), static_cast<size_t>(limit));
    Json words = Json::array();
    for (size_t i = 0; i < returned; ++i)
        words.push_back(describe(entries.empty() ? reader.entry(*kept[i]) : entries[i]));

    Json payload{
        {"available", true},
        {"total", kept.size()},
        {"returned", returned},
        {"words", std::move(words)},
    };
    if (!book) payload["note"] = unreadableBookNote(path);
    if (book && reader.unreadableWords() > 0) payload["note"] = unreadableWordsNote(reader.unreadableWords());
    return ToolResult::json(payload);
}

}  // namespace

constexpr ToolDefinition vocabListTool{
    "vocab_list", "查词库", kDescription, kParams, kReadOnlyHints, run, kVocabularyView};

}  // namespace qs
