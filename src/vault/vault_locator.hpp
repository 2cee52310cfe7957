// Finds the one vault folder at start-up.
#pragma once

#include <exception>  // std::exception
#include <memory>     // std::shared_ptr
#include <optional>   // std::optional
#include <string>     // std::string
#include <vector>     // std::vector

#include "vault/vault.hpp"

namespace qs {

class LocateError : public std::exception {
public:
    explicit LocateError(const std::vector<std::string>& tried);
    // The header line, one "  · " line per tried path, an empty line, the hint.
    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    std::string description_;
};

namespace VaultLocator {

// The first candidate on `fs` that holds a timeline index, one still in
// iCloud waited for as `wait` says; throws LocateError. The vault keeps `fs`.
Vault locate(const std::shared_ptr<Platform::FileSystem>& fs, const std::optional<std::string>& explicitPath,
    const DownloadWait& wait = {});

// The ordered, de-duplicated candidate folders (absolute paths).
std::vector<std::string> candidates(Platform::FileSystem& fs, const std::optional<std::string>& explicitPath);

}  // namespace VaultLocator

}  // namespace qs
