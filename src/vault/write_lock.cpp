// The vault-level wrapper over the folder lock, with the program's messages.
#include "vault/write_lock.hpp"

#include <string>   // std::string, std::to_string
#include <utility>  // std::move

namespace qs {

namespace {

// The lock's failures reach the client as failed writes, with their reason.
VaultError lockFailure(const std::string& path, std::string reason) {
    return VaultError{VaultError::Kind::writeFailed, path,
        Platform::Error{Platform::Error::Kind::failed, "lock", path, 0, std::move(reason)}};
}

}  // namespace

Expected<VaultWriteLock, VaultError> VaultWriteLock::acquire(const Vault& vault, std::chrono::milliseconds wait) {
    auto lock = vault.fs().lockFolder(vault.root, wait);
    std::string lockFile;
    if (lock.status() == Platform::FolderLock::Status::unsupported) {
        const std::string meta = vault.writingPath(VaultPath::metaDir);
        lockFile = Platform::joinPath(meta, ".quillstack-mcp.lock");
        if (auto made = vault.fs().createDirectories(meta); !made) {
            return lockFailure(lockFile, "拿不到纪要写锁(" + made.error().message() + "),这次什么都没写: " + lockFile);
        }
        lock = vault.fs().lockFile(lockFile, wait);
    }
    switch (lock.status()) {
    case Platform::FolderLock::Status::held: break;
    case Platform::FolderLock::Status::unsupported:
        return lockFailure(lockFile, "拿不到纪要写锁(" + lock.error() + "),这次什么都没写: " + lockFile);
    case Platform::FolderLock::Status::timedOut:
        return lockFailure(
            vault.root, "另一个进程占着纪要写锁超过 " + std::to_string(wait.count() / 1000) + " 秒,请稍后再试");
    }
    return VaultWriteLock(std::move(lock));
}

}  // namespace qs
