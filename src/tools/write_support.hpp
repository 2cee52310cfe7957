// Pieces of the write tools: the day rule, new entry ids, UTF-8 checks.
#pragma once

#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view

namespace qs::WriteTools {

// The day a new entry belongs to: today's local day when `date` is absent,
// `date` itself when it has the yyyy-MM-dd shape; else throws ToolFailure.
std::string resolveDay(const std::optional<std::string>& date);

// A random (version 4) UUID in canonical upper-case text, 36 characters.
std::string newUuid();

// Throws VaultIO::WriteError::writeFailed("内容不是合法 UTF-8") unless `text` is UTF-8.
void requireUtf8(std::string_view text);

}  // namespace qs::WriteTools
