// The state the tools keep across calls.
#include "tools/tool.hpp"

#include "platform/file_system.hpp"
#include "timeline/kept_index.hpp"
#include "vault/day_folders.hpp"
#include "vault/vault_changes.hpp"
#include "vocab/vocab_book.hpp"

namespace qs {

ToolContext::ToolContext(Vault vault)
    : vault_(std::move(vault)),
      vocabReader_(std::make_unique<VocabBookReader>()),
      index_(std::make_unique<KeptIndex>()),
      dayFolders_(std::make_unique<DayFolders>()),
      changes_(std::make_unique<VaultChanges>()) {}
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
