// Pieces of the write tools: the day rule, new entry ids, the UTF-8 check,
// and giving up on a failed vault write.
#pragma once

#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <utility>      // std::move

#include "platform/expected.hpp"
#include "tools/tool_failure.hpp"
#include "tools/vault_failure.hpp"
#include "vault/vault.hpp"
#include "vault/vault_error.hpp"

namespace qs::WriteTools {

// The day a new entry belongs to: today's local day on the vault's clock
// when `date` is absent, else `date` itself (its form is checked where
// arguments are read).
std::string resolveDay(const std::optional<std::string>& date, const Vault& vault);

// A random (version 4) UUID in canonical upper-case text, 36 characters.
std::string newUuid();

// The refusal of a text that cannot be written as UTF-8 bytes.
inline constexpr std::string_view kNotUtf8 = "写文件失败: 内容不是合法 UTF-8";

// Throws ToolFailure(kNotUtf8) unless `text` is UTF-8: a text that cannot be
// written as it is fails before anything is.
void requireUtf8(std::string_view text);

// The value of a vault call; the call gives up with the error's text otherwise.
template <class T>
T orFail(Expected<T, VaultError> result) {
    if (!result) {
        logCause(result.error());
        throw ToolFailure(result.error().description());
    }
    return std::move(*result);
}
inline void orFail(const Expected<void, VaultError>& result) {
    if (!result) {
        logCause(result.error());
        throw ToolFailure(result.error().description());
    }
}

}  // namespace qs::WriteTools
