// flock on a folder descriptor, polled against a deadline so a stuck peer cannot hang us.
#include "platform/folder_lock.hpp"

#include <fcntl.h>     // open, O_* flags
#include <sys/file.h>  // flock
#include <unistd.h>    // close
#include <cerrno>      // errno
#include <cstring>     // strerror
#include <thread>      // std::this_thread::sleep_for
#include <utility>     // std::exchange, std::move

namespace qs::Platform {

namespace {

// Short enough that a waiting call follows its peer closely, long enough not to spin.
constexpr std::chrono::milliseconds kPollInterval{2};

}  // namespace

FolderLock::FolderLock(int fd, Status status, std::string error) : fd_(fd), status_(status), error_(std::move(error)) {}

FolderLock FolderLock::acquire(const std::string& folder, std::chrono::milliseconds timeout) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return FolderLock(-1, Status::unsupported, std::strerror(errno));
    return lock(fd, timeout);
}

FolderLock FolderLock::acquireFile(const std::string& file, std::chrono::milliseconds timeout) {
    // Not through a link: the lock file must be the one every peer opens.
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return FolderLock(-1, Status::unsupported, std::strerror(errno));
    return lock(fd, timeout);
}

FolderLock FolderLock::lock(int fd, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return FolderLock(fd, Status::held, "");
        int err = errno;
        if (err == EINTR) continue;
        if (err != EWOULDBLOCK) {
            ::close(fd);
            return FolderLock(-1, Status::unsupported, std::strerror(err));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return FolderLock(-1, Status::timedOut, std::strerror(err));
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

FolderLock::FolderLock(FolderLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      status_(std::exchange(other.status_, Status::unsupported)),
      error_(std::move(other.error_)) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
        status_ = std::exchange(other.status_, Status::unsupported);
        error_ = std::move(other.error_);
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
