// The vault-level wrapper over the folder lock.
#include "vault/write_lock.hpp"

#include <string>   // std::string
#include <utility>  // std::move

namespace qs {

Expected<VaultWriteLock, VaultError> VaultWriteLock::acquire(const Vault& vault, std::chrono::milliseconds wait) {
    auto refused = [&](const std::string& path, Platform::Error cause) {
        return VaultError{VaultError::Kind::lockRefused, path, std::move(cause), {}, wait};
    };
    auto lock = vault.fs().lockFolder(vault.root, wait);
    if (!lock && lock.error().kind != Platform::Error::Kind::timedOut) {
        // The folder cannot be locked itself: a lock file in the meta folder.
        const std::string meta = vault.writingPath(VaultPath::metaDir);
        const std::string lockFile = Platform::joinPath(meta, ".quillstack-mcp.lock");
        if (auto made = vault.fs().createDirectories(meta); !made) return refused(lockFile, made.error());
        lock = vault.fs().lockFile(lockFile, wait);
        if (!lock && lock.error().kind != Platform::Error::Kind::timedOut) return refused(lockFile, lock.error());
    }
    if (!lock) return refused(vault.root, lock.error());
    return VaultWriteLock(std::move(*lock));
}

}  // namespace qs
