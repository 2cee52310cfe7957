// An exclusive advisory lock (flock) on a folder, shared by every process on the machine.
#pragma once

#include <chrono>  // std::chrono::milliseconds
#include <string>  // std::string

namespace qs::Platform {

// Held from a successful acquire until destruction. Locking the folder itself
// (opened read-only) leaves no lock file behind among the user's files.
class FolderLock {
public:
    enum class Status {
        held,         // this object holds the lock
        unsupported,  // the folder cannot be opened or the file system cannot lock it
        timedOut,     // another holder kept it past the deadline
    };

    // Waits up to `timeout` for the lock on `folder`.
    static FolderLock acquire(const std::string& folder, std::chrono::milliseconds timeout);
    // The same on a lock file, created when missing, for a folder that cannot
    // be opened for locking (one the process may enter but not list).
    static FolderLock acquireFile(const std::string& file, std::chrono::milliseconds timeout);

    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();

    Status status() const { return status_; }
    bool held() const { return status_ == Status::held; }
    // The system's text for why the lock is not held; empty when it is.
    const std::string& error() const { return error_; }

private:
    FolderLock(int fd, Status status, std::string error);
    static FolderLock lock(int fd, std::chrono::milliseconds timeout);
    void release() noexcept;

    int fd_ = -1;
    Status status_ = Status::unsupported;
    std::string error_;
};

}  // namespace qs::Platform
