// Finds the one vault folder at start-up.
#pragma once

#include <memory>    // std::shared_ptr
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

#include "vault/vault.hpp"
#include "vault/vault_error.hpp"

namespace qs::VaultLocator {

// The first candidate on `fs` that holds a timeline index, one still in
// iCloud waited for as `wait` says; else locatedNowhere with every folder
// tried. The vault keeps `fs`.
Expected<Vault, VaultError> locate(const std::shared_ptr<Platform::FileSystem>& fs,
    const std::optional<std::string>& explicitPath, const DownloadWait& wait = {});

// The ordered, de-duplicated candidate folders (absolute paths).
std::vector<std::string> candidates(Platform::FileSystem& fs, const std::optional<std::string>& explicitPath);

}  // namespace qs::VaultLocator
