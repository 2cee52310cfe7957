// The vault-level wrapper over the folder lock, with the program's messages.
#include "vault/write_lock.hpp"

#include <string>  // std::string, std::to_string

#include "platform/log.hpp"
#include "vault/vault_io.hpp"

namespace qs {

VaultWriteLock VaultWriteLock::acquire(const Vault& vault, std::chrono::milliseconds wait) {
    auto lock = platform::FolderLock::acquire(vault.root, wait);
    switch (lock.status()) {
    case platform::FolderLock::Status::held:
        break;
    case platform::FolderLock::Status::unsupported:
        logStderr("⚠️ 纪要写锁不可用,不加锁继续: " + lock.error());
        break;
    case platform::FolderLock::Status::timedOut:
        throw VaultIO::WriteError::writeFailed("另一个进程占着纪要写锁超过 " +
                                               std::to_string(wait.count() / 1000) + " 秒,请稍后再试");
    }
    return VaultWriteLock(std::move(lock));
}

}  // namespace qs
