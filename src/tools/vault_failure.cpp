// The log of a vault failure's cause, and the refusal every reader surfaces.
#include "tools/vault_failure.hpp"

#include "platform/log.hpp"
#include "tools/tool_failure.hpp"

namespace qs {

void logCause(const VaultError& error) {
    if (error.kind == VaultError::Kind::absent || error.kind == VaultError::Kind::notDownloaded) return;
    logStderr("⚠️ " + error.cause.describe());
}

void treatAsMissing(const VaultError& error) {
    if (error.kind == VaultError::Kind::outsideVault) throw ToolFailure(error.description());
    logCause(error);
}

}  // namespace qs
