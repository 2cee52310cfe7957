// Vault file contents in and out: placeholders brought down before reading,
// coordinated access, atomic and exclusive writes.
#include "vault/vault_io.hpp"

#include <thread>  // std::this_thread::sleep_for

#include "platform/log.hpp"
#include "platform/file_system.hpp"

namespace qs::VaultIO {
namespace {

// Where iCloud keeps a file it has not downloaded.
std::string placeholderOf(const std::string& path) {
    return platform::parentOf(path) + "/." + platform::lastComponent(path) + ".icloud";
}

// The entry is there with its content: present, and not evicted to the cloud
// (an evicted, dataless file keeps its name but not its bytes). One stat.
bool presentLocally(const std::string& path) {
    auto flags = platform::fileFlags(path);
    return flags && !platform::isDataless(*flags);
}

void createFolderOf(const std::string& path) {
    if (auto err = platform::createDirectories(platform::parentOf(path))) throw WriteError::createDirectoryFailed(*err);
}

}  // namespace

WriteError::WriteError(Kind kind, std::string message)
    : kind_(kind),
      message_(std::move(message)),
      description_((kind == Kind::createDirectoryFailed ? "建目录失败: " : "写文件失败: ") + message_) {}

WriteError WriteError::createDirectoryFailed(std::string message) {
    return WriteError(Kind::createDirectoryFailed, std::move(message));
}

WriteError WriteError::writeFailed(std::string message) { return WriteError(Kind::writeFailed, std::move(message)); }

DownloadWait& downloadWait() {
    static DownloadWait wait;
    return wait;
}

bool existsInAnyForm(const std::string& path) {
    return platform::exists(path) || (!platform::lastComponent(path).empty() && platform::exists(placeholderOf(path)));
}

bool ensureDownloaded(const std::string& path) {
    const auto flags = platform::fileFlags(path);
    if (flags && !platform::isDataless(*flags)) return true;
    const std::string name = platform::lastComponent(path);
    // An evicted file waits like a placeholder: reading it now would block
    // until the download ends, past the bound.
    if (!flags && (name.empty() || !platform::exists(placeholderOf(path)))) return false;
    logStderr("iCloud 占位符,触发下载: " + name);
    platform::requestCloudDownload(path);
    const DownloadWait wait = downloadWait();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(wait.timeout);
    while (std::chrono::steady_clock::now() < deadline) {
        if (presentLocally(path)) return true;
        std::this_thread::sleep_for(wait.poll);
    }
    logStderr("⏱ 下载超时: " + name);
    return false;
}

bool readInto(const std::string& path, std::string& buffer) {
    if (!ensureDownloaded(path)) return false;
    bool ok = false;
    bool coordinated =
        platform::coordinateReading(path, [&](const std::string& at) { ok = platform::readFileInto(at, buffer); });
    if (!coordinated) ok = platform::readFileInto(path, buffer);
    return ok;
}

std::optional<std::string> readData(const std::string& path) {
    std::string content;
    if (!readInto(path, content)) return std::nullopt;
    return content;
}

void write(std::string_view data, const std::string& path) {
    createFolderOf(path);
    std::optional<std::string> failure;
    std::string coordinationError;
    bool coordinated = platform::coordinateWriting(
        path, [&](const std::string& at) { failure = platform::writeFileAtomic(at, data); }, &coordinationError);
    if (!coordinated) {
        logStderr("⚠️ 协调写失败,退回裸写: " + coordinationError);
        failure = platform::writeFileAtomic(path, data);
    }
    if (failure) throw WriteError::writeFailed(*failure);
}

bool writeNew(std::string_view data, const std::string& path) {
    createFolderOf(path);
    bool created = false;
    bool taken = false;
    std::string failure;
    auto attempt = [&](const std::string& at) {
        created = platform::createFileExclusive(at, data, &failure, &taken);
    };
    std::string coordinationError;
    if (!platform::coordinateWriting(path, attempt, &coordinationError)) {
        logStderr("⚠️ 协调写失败,退回裸写: " + coordinationError);
        attempt(path);
    }
    if (created) return true;
    if (taken) return false;
    throw WriteError::writeFailed(failure);
}

}  // namespace qs::VaultIO
