// flock on a folder descriptor, polled against a deadline so a stuck peer cannot hang us.
#include "platform/folder_lock.hpp"

#include <fcntl.h>     // open, O_* flags
#include <sys/file.h>  // flock
#include <unistd.h>    // close
#include <cerrno>      // errno, ETIMEDOUT
#include <thread>      // std::this_thread::sleep_for
#include <utility>     // std::exchange

namespace qs::Platform {

namespace {

// Short enough that a waiting call follows its peer closely, long enough not to spin.
constexpr std::chrono::milliseconds kPollInterval{2};

}  // namespace

Expected<FolderLock, Error> FolderLock::acquire(const std::string& folder, std::chrono::milliseconds timeout) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return Error::fromErrno("lock", folder, errno);
    return lock(fd, folder, timeout);
}

Expected<FolderLock, Error> FolderLock::acquireFile(const std::string& file, std::chrono::milliseconds timeout) {
    // Not through a link: the lock file must be the one every peer opens.
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return Error::fromErrno("lock", file, errno);
    return lock(fd, file, timeout);
}

Expected<FolderLock, Error> FolderLock::lock(int fd, const std::string& path, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return FolderLock(fd);
        int err = errno;
        if (err == EINTR) continue;
        if (err != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return Error::fromErrno("lock", path, err == EWOULDBLOCK ? ETIMEDOUT : err);
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

FolderLock::FolderLock(FolderLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FolderLock::~FolderLock() { release(); }

void FolderLock::release() noexcept {
    // Closing the only descriptor of the open file drops the flock.
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace qs::Platform
