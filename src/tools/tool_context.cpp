// The state the tools keep across calls.
#include "tools/tool.hpp"

#include "platform/file_system.hpp"
#include "timeline/kept_index.hpp"
#include "vault/day_folders.hpp"
#include "vocab/vocab_book.hpp"

namespace qs {

ToolContext::ToolContext(Vault vault)
    : vault_(std::move(vault)),
      vocabReader_(std::make_unique<VocabBookReader>()),
      index_(std::make_unique<KeptIndex>()),
      dayFolders_(std::make_unique<DayFolders>()) {}
ToolContext::ToolContext(ToolContext&&) noexcept = default;
ToolContext::~ToolContext() = default;

void ToolContext::releaseMemory() {
    index_->release();
    dayFolders_->release();
    vocabReader_ = std::make_unique<VocabBookReader>();
    Platform::returnFreeMemory();
}

}  // namespace qs
