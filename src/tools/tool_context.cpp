// The state the tools keep across calls.
#include "tools/tool.hpp"

#include "platform/file_system.hpp"
#include "search/fulltext_service.hpp"
#include "text/dates.hpp"
#include "timeline/kept_index.hpp"
#include "vault/day_folders.hpp"
#include "vault/vault_changes.hpp"
#include "vocab/vocab_book.hpp"

namespace qs {
namespace {

// The timeline's entries as the full-text index keeps them, read afresh on
// the index's own thread (the kept index belongs to the request thread).
Search::EntrySource timelineEntries(const Vault& vault) {
    return [vault]() -> std::optional<std::vector<Search::EntryTexts>> {
        auto index = DashboardIndex::load(vault);
        if (!index) return std::nullopt;
        std::vector<Search::EntryTexts> entries;
        entries.reserve(index->items.size());
        for (const FeedItem& item : index->items) {
            Search::EntryTexts& entry = entries.emplace_back();
            entry.id = item.id;
            entry.type = item.type;
            entry.day = item.day;
            if (auto at = Text::parseIsoDateTime(item.dateISO)) entry.time = Text::localTimeOfDay(*at).value_or("");
            entry.title = item.displayTitle();
            item.forEachSearchedText([&](FeedItem::Searched kind, std::string_view text) {
                if (kind == FeedItem::Searched::title) {
                    entry.titleText = text;
                } else if (kind == FeedItem::Searched::content) {
                    entry.text = text;
                } else {
                    entry.tags.append(text).push_back('\n');
                }
                return false;
            });
        }
        return entries;
    };
}

}  // namespace

ToolContext::ToolContext(Vault vault)
    : vault_(std::move(vault)),
      vocabReader_(std::make_unique<VocabBookReader>()),
      index_(std::make_unique<KeptIndex>()),
      dayFolders_(std::make_unique<DayFolders>()),
      changes_(std::make_unique<VaultChanges>()),
      fulltext_(std::make_unique<Search::FulltextService>(vault_, timelineEntries(vault_),
          Platform::joinPath(vault_.fs().cacheDirectory(), "quillstack-mcp"), *changes_)) {}
ToolContext::ToolContext(ToolContext&&) noexcept = default;
ToolContext::~ToolContext() = default;

void ToolContext::beginCall() {
    const Platform::ChangeBatch& batch = changes_->poll(vault_);
    dayFolders_->note(batch, changes_->watch(vault_));
}

void ToolContext::releaseMemory() {
    index_->release();
    dayFolders_->release();
    vocabReader_ = std::make_unique<VocabBookReader>();
    Platform::returnFreeMemory();
}

}  // namespace qs
