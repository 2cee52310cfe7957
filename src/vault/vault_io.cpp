// Vault file contents in and out: placeholders brought down before reading,
// coordinated access, atomic and exclusive writes.
#include "vault/vault_io.hpp"

#include <thread>  // std::this_thread::sleep_for

#include "platform/log.hpp"
#include "platform/file_system.hpp"

namespace qs::VaultIO {
namespace {

// Left by a process killed in the middle of a write, after this long.
constexpr std::chrono::hours kStaleTemporaryAge{1};

void requireInside(const Vault& vault, const std::string& path, bool followLast) {
    if (!vault.holds(path, followLast)) throw OutsideVault(path);
}

// Runs `place` on the path, coordinated with other writers of the file;
// where coordination is refused, directly.
template <class Place>
void coordinated(const std::string& path, Place&& place) {
    std::string coordinationError;
    if (!Platform::coordinateWriting(path, place, &coordinationError)) {
        logStderr("⚠️ 协调写失败,退回裸写: " + coordinationError);
        place(path);
    }
}

// The entry is there with its content: present, and not evicted to the cloud
// (an evicted, dataless file keeps its name but not its bytes). One stat.
bool presentLocally(const std::string& path) {
    auto flags = Platform::fileFlags(path);
    return flags && !Platform::isDataless(*flags);
}

void createFolderOf(const std::string& path) {
    if (auto err = Platform::createDirectories(Platform::parentOf(path))) throw WriteError::createDirectoryFailed(*err);
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

OutsideVault::OutsideVault(const std::string& path)
    : description_("这个位置经过链接指向了 Vault 之外,不读也不写: " + path) {}

bool existsInAnyForm(const std::string& path) {
    return Platform::exists(path) || (!Platform::lastComponent(path).empty() && Platform::exists(cloudPlaceholderOf(path)));
}

bool ensureDownloaded(const Vault& vault, const std::string& path) {
    const auto flags = Platform::fileFlags(path);
    if (flags && !Platform::isDataless(*flags)) return true;
    const std::string name = Platform::lastComponent(path);
    // An evicted file waits like a placeholder: reading it now would block
    // until the download ends, past the bound.
    if (!flags && (name.empty() || !Platform::exists(cloudPlaceholderOf(path)))) return false;
    logStderr("iCloud 占位符,触发下载: " + name);
    Platform::requestCloudDownload(path);
    const DownloadWait& wait = vault.downloadWait;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(wait.timeout);
    while (std::chrono::steady_clock::now() < deadline) {
        if (presentLocally(path)) return true;
        std::this_thread::sleep_for(wait.poll);
    }
    logStderr("⏱ 下载超时: " + name);
    return false;
}

Platform::ReadStatus readInto(const Vault& vault, const std::string& path, std::string& buffer, uint64_t limit) {
    requireInside(vault, path, /*followLast=*/true);
    if (!ensureDownloaded(vault, path)) return Platform::ReadStatus::absent;
    auto status = Platform::ReadStatus::unreadable;
    bool coordinated = Platform::coordinateReading(
        path, [&](const std::string& at) { status = Platform::readFileInto(at, buffer, limit); });
    if (!coordinated) status = Platform::readFileInto(path, buffer, limit);
    return status;
}

std::optional<std::string> readData(const Vault& vault, const std::string& path) {
    std::string content;
    if (readInto(vault, path, content) != Platform::ReadStatus::ok) return std::nullopt;
    return content;
}

Platform::StagedFile stage(const Vault& vault, std::string_view data, const std::string& path) {
    requireInside(vault, path, /*followLast=*/false);
    createFolderOf(path);
    Platform::removeStaleTemporaries(Platform::parentOf(path), kStaleTemporaryAge);
    std::string error;
    auto staged = Platform::StagedFile::stage(path, data, &error);
    if (!staged) throw WriteError::writeFailed(error);
    return std::move(*staged);
}

void place(Platform::StagedFile& staged, const std::string& path) {
    std::optional<std::string> failure;
    coordinated(path, [&](const std::string& at) { failure = staged.replace(at); });
    if (failure) throw WriteError::writeFailed(*failure);
}

bool claim(Platform::StagedFile& staged, const std::string& path) {
    auto result = Platform::StagedFile::Claim::failed;
    std::string failure;
    coordinated(path, [&](const std::string& at) { result = staged.claim(at, &failure); });
    if (result == Platform::StagedFile::Claim::failed) throw WriteError::writeFailed(failure);
    return result == Platform::StagedFile::Claim::claimed;
}

void write(const Vault& vault, std::string_view data, const std::string& path) {
    Platform::StagedFile staged = stage(vault, data, path);
    place(staged, path);
}

bool writeNew(const Vault& vault, std::string_view data, const std::string& path) {
    Platform::StagedFile staged = stage(vault, data, path);
    return claim(staged, path);
}

}  // namespace qs::VaultIO
