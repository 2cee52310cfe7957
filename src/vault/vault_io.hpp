// The single road by which vault file contents are read and written:
// cloud placeholders brought down first, coordinated access, atomic writes.
#pragma once

#include <chrono>       // std::chrono::duration
#include <cstdint>      // uint64_t
#include <exception>    // std::exception
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "platform/file_system.hpp"
#include "vault/vault.hpp"

namespace qs::VaultIO {

class WriteError : public std::exception {
public:
    enum class Kind { createDirectoryFailed, writeFailed };

    static WriteError createDirectoryFailed(std::string message);
    static WriteError writeFailed(std::string message);

    Kind kind() const { return kind_; }
    const std::string& message() const { return message_; }
    // "建目录失败: " + message or "写文件失败: " + message.
    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    WriteError(Kind kind, std::string message);
    Kind kind_;
    std::string message_;
    std::string description_;
};

// A file the server refuses to touch because, once links are resolved, it
// lies outside the vault (a folder link planted inside it, say).
class OutsideVault : public std::exception {
public:
    explicit OutsideVault(const std::string& path);
    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    std::string description_;
};

// Far above any real file: the index of a heavy user is 50-200 MB.
inline constexpr uint64_t kIndexReadLimit = uint64_t{2} << 30;
inline constexpr uint64_t kFileReadLimit = uint64_t{256} << 20;

// True when the file is present locally on return, after asking for the
// download of an iCloud placeholder ("." + name + ".icloud") or of an
// evicted (dataless) file, and waiting as long as the vault says.
bool ensureDownloaded(const Vault& vault, const std::string& path);

// The whole regular file of at most `limit` bytes into the caller's buffer,
// so a large file reuses its memory. Anything but ok gives no content: the
// file is absent, not downloaded in time, unreadable, no regular file, or too
// large. Throws OutsideVault when it resolves outside the vault.
Platform::ReadStatus readInto(const Vault& vault, const std::string& path, std::string& buffer,
                              uint64_t limit = kFileReadLimit);

// As readInto, into a new string; nothing unless ok.
std::optional<std::string> readData(const Vault& vault, const std::string& path);

// True when the file is there in any form: present locally, or only as its
// iCloud placeholder. Lets a writer tell "no old file" from "an old file it
// could not read", which it must not replace unseen.
bool existsInAnyForm(const std::string& path);

// A new content written in full beside `path` (its folders made), not yet
// visible: several of them let a call write nothing unless all could be
// written. Throws WriteError, or OutsideVault before anything is made.
Platform::StagedFile stage(const Vault& vault, std::string_view data, const std::string& path);

// Puts a staged content at `path`, replacing what is there; throws WriteError.
void place(Platform::StagedFile& staged, const std::string& path);

// Puts a staged content at `path` only when the name is free: false when it
// is taken; throws WriteError otherwise.
bool claim(Platform::StagedFile& staged, const std::string& path);

// Replaces the file's whole content atomically, creating missing folders.
void write(const Vault& vault, std::string_view data, const std::string& path);

// Writes a file that must not exist yet, creating missing folders; the name
// is claimed atomically (exclusive create), so two writers never replace each
// other. False when the name is already taken; throws WriteError otherwise.
// The content is flushed to disk before it returns.
bool writeNew(const Vault& vault, std::string_view data, const std::string& path);


}  // namespace qs::VaultIO
