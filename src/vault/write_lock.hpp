// Makes the read-old, archive, write-new sequence of an entry's minutes exclusive across processes.
#pragma once

#include <chrono>   // std::chrono::milliseconds
#include <utility>  // std::move

#include "platform/folder_lock.hpp"
#include "vault/vault.hpp"
#include "vault/vault_error.hpp"

namespace qs {

// Held for the life of the object. One lock covers every entry of a vault: the
// vault folder always exists (no folder is made before the call knows it will
// write), and minutes are rewritten rarely enough that finer locks buy nothing.
class VaultWriteLock {
public:
    // How long a peer may hold the lock before the call gives up. Beyond two
    // iCloud download waits (5 s each) of the peer's own reads.
    static constexpr std::chrono::milliseconds kWait{30000};

    // Waits for the lock: on the vault folder itself, else (a folder that
    // cannot be opened for locking) on a lock file in the meta folder. Fails
    // when neither can be locked, and when a peer keeps the lock past
    // `wait`: writing unlocked could lose a peer's version.
    static Expected<VaultWriteLock, VaultError> acquire(const Vault& vault, std::chrono::milliseconds wait = kWait);

private:
    explicit VaultWriteLock(Platform::FolderLock lock) : lock_(std::move(lock)) {}
    Platform::FolderLock lock_;
};

}  // namespace qs
