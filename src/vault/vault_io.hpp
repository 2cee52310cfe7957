// The single road by which vault file contents are read and written:
// cloud placeholders brought down first, coordinated access, atomic writes.
#pragma once

#include <chrono>       // std::chrono::duration
#include <exception>    // std::exception
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view

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

// True when the file is present locally on return, after asking for the
// download of an iCloud placeholder ("." + name + ".icloud") or of an evicted
// (dataless) file and waiting.
bool ensureDownloaded(const std::string& path);

// The whole file, or nothing when absent, not downloaded in time or unreadable.
std::optional<std::string> readData(const std::string& path);

// True when the file is there in any form: present locally, or only as its
// iCloud placeholder. Lets a writer tell "no old file" from "an old file it
// could not read", which it must not replace unseen.
bool existsInAnyForm(const std::string& path);

// As readData, into the caller's buffer so a large file reuses its memory.
bool readInto(const std::string& path, std::string& buffer);

// Replaces the file's whole content atomically, creating missing folders.
void write(std::string_view data, const std::string& path);

// Writes a file that must not exist yet, creating missing folders; the name
// is claimed atomically (exclusive create), so two writers never replace each
// other. False when the name is already taken; throws WriteError otherwise.
// The content is flushed to disk before it returns.
bool writeNew(std::string_view data, const std::string& path);

// How long a placeholder download is waited for. Tests shorten it; nothing
// else changes it.
struct DownloadWait {
    std::chrono::duration<double> timeout{5.0};
    std::chrono::duration<double> poll{0.15};
};
DownloadWait& downloadWait();

}  // namespace qs::VaultIO
