// How a tool turns a vault failure into its own words: the system's cause
// logged, a link leading out of the vault refused with its own text.
#pragma once

#include "vault/vault_error.hpp"

namespace qs {

// Logs what the system said under `error` (operation, path and reason) where
// the tool's sentence cannot: anything but absence and a download still
// under way (which the vault's own log tells), an I/O error say.
void logCause(const VaultError& error);

// A failed read a tool words as a missing or unreadable file: a link leading
// out of the vault is no missing file and fails the call with its own text;
// any other cause is logged, and the tool goes on to say what is missing.
void treatAsMissing(const VaultError& error);

}  // namespace qs
