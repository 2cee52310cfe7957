// The single road by which vault file contents are read and written: evicted
// files brought down first within a bound, coordinated access, atomic writes.
#pragma once

#include <cstdint>      // uint64_t
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "platform/file_system.hpp"
#include "vault/vault.hpp"
#include "vault/vault_error.hpp"

namespace qs::VaultIO {

using Result = Expected<void, VaultError>;

// Far above any real file: the index of a heavy user is 50-200 MB.
inline constexpr uint64_t kIndexReadLimit = uint64_t{2} << 30;
inline constexpr uint64_t kFileReadLimit = uint64_t{256} << 20;

// What stands at a file's location.
enum class Presence {
    absent,   // nothing, and no placeholder
    present,  // the file with its content
    evicted,  // in iCloud only: its placeholder ("." + name + ".icloud"), or
              // the file itself evicted (dataless) under its own name
};

// One look at `path` and, where it is missing, its placeholder. Fails when
// the system cannot tell (an I/O error, say).
Expected<Presence, VaultError> presenceOf(const Vault& vault, const std::string& path);

// Present locally on success, after asking for the download of a placeholder
// or an evicted file or folder and waiting as long as the vault says; never
// longer, whatever the process's materialisation policy.
Result ensureDownloaded(const Vault& vault, const std::string& path);

// The whole regular file of at most `limit` bytes into the caller's buffer,
// so a large file reuses its memory. On failure the kind says why: absent,
// not downloaded in time, no regular file, too large, unreadable, or outside
// the vault (a link planted inside it, say), which every reader, whatever it
// makes of a missing file, must surface.
Result readInto(const Vault& vault, const std::string& path, std::string& buffer, uint64_t limit = kFileReadLimit);

// The file's content, or why there is none, as above.
Expected<std::string, VaultError> readData(const Vault& vault, const std::string& path);

// A new content written in full beside `path` (its folders made), not yet
// visible: several of them let a call write nothing unless all could be written.
Expected<Platform::StagedFile, VaultError> stage(const Vault& vault, std::string_view data, const std::string& path);

// Puts a staged content at `path`, replacing what is there.
Result place(const Vault& vault, Platform::StagedFile& staged, const std::string& path);

// Puts a staged content at `path` only when the name is free (taken otherwise).
Expected<Platform::Claim, VaultError> claim(const Vault& vault, Platform::StagedFile& staged, const std::string& path);

// Replaces the file's whole content atomically, creating missing folders.
Result write(const Vault& vault, std::string_view data, const std::string& path);

// Removes a file this call put in place, to take a failed call back.
Result remove(const Vault& vault, const std::string& path);

}  // namespace qs::VaultIO
