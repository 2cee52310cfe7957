// The state the tools keep across calls.
#include "tools/tool.hpp"

#include "vocab/vocab_book.hpp"

namespace qs {

ToolContext::ToolContext(Vault vault)
    : vault_(std::move(vault)), vocabReader_(std::make_unique<VocabBookReader>()) {}
ToolContext::ToolContext(ToolContext&&) noexcept = default;
ToolContext::~ToolContext() = default;

}  // namespace qs
