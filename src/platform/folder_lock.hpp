// An exclusive advisory lock (flock) on a folder, shared by every process on the machine.
#pragma once

#include <chrono>  // std::chrono::milliseconds
#include <string>  // std::string

#include "platform/expected.hpp"
#include "platform/platform_error.hpp"

namespace qs::Platform {

// Held from a successful acquire until destruction. Locking the folder itself
// (opened read-only) leaves no lock file behind among the user's files.
class FolderLock {
public:
    // Waits up to `timeout` for the lock on `folder`. Fails timedOut when
    // another holder kept it past the deadline, and with the system's reason
    // when the folder cannot be opened or its file system cannot lock it.
    static Expected<FolderLock, Error> acquire(const std::string& folder, std::chrono::milliseconds timeout);
    // The same on a lock file, created when missing, for a folder that cannot
    // be opened for locking (one the process may enter but not list).
    static Expected<FolderLock, Error> acquireFile(const std::string& file, std::chrono::milliseconds timeout);

    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();

private:
    explicit FolderLock(int fd) : fd_(fd) {}
    static Expected<FolderLock, Error> lock(int fd, const std::string& path, std::chrono::milliseconds timeout);
    void release() noexcept;

    int fd_ = -1;
};

}  // namespace qs::Platform
