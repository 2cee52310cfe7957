// Change notifications on Linux: one inotify instance, a watch per folder a
// reader adds, read without blocking at each drain.
#include "platform/system_watch.hpp"

#if defined(__linux__)
#include <sys/inotify.h>  // inotify_init1, inotify_add_watch, inotify_rm_watch, IN_* masks
#include <sys/vfs.h>      // statfs
#include <unistd.h>       // read, close

#include <cerrno>         // errno, EINTR
#include <map>            // std::map
#include <mutex>          // std::mutex
#include <unordered_map>  // std::unordered_map
#include <utility>        // std::move
#endif

namespace qs::Platform::Changes {

#if defined(__linux__)
namespace {

// Names created, removed, renamed or written within the folder, and the
// folder itself going away. Plain writes are told once, when the writer
// closes the file (every write() would be an event of its own).
constexpr uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_ATTRIB |
                             IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

// File systems whose other clients' changes inotify never sees: the
// server's own machine is not the only one writing there.
bool remote(const std::string& root) {
    struct statfs fs {};
    if (::statfs(root.c_str(), &fs) != 0) return true;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x6969UL:      // NFS
    case 0x517BUL:      // SMB
    case 0xFF534D42UL:  // CIFS
    case 0xFE534D42UL:  // SMB2
    case 0x65735546UL:  // FUSE
    case 0x01021997UL:  // 9P
    case 0x00C36400UL:  // Ceph
    case 0x5346414FUL:  // AFS
        return true;
    default: return false;
    }
}

class InotifyWatch final : public ChangeWatch {
public:
    InotifyWatch(int fd, std::string root, std::shared_ptr<OwnChanges> own)
        : fd_(fd), root_(std::move(root)), own_(std::move(own)) {}
    ~InotifyWatch() override { ::close(fd_); }
    InotifyWatch(const InotifyWatch&) = delete;
    InotifyWatch& operator=(const InotifyWatch&) = delete;

    bool add(const std::string& folder) override {
        if (!within(root_, folder)) return false;
        std::lock_guard lock(mutex_);
        if (byPath_.contains(folder)) return true;
        // Fails for a folder that is gone, and with ENOSPC once the user's
        // watches (fs.inotify.max_user_watches) are used up.
        const int wd = ::inotify_add_watch(fd_, folder.c_str(), kEvents);
        if (wd < 0) return false;
        // One folder under two names (a link) is told under the first only.
        auto [at, added] = byWd_.try_emplace(wd, folder);
        if (!added) return at->second == folder;
        byPath_[folder] = wd;
        return true;
    }

    ChangeBatch drain() override {
        ChangeBatch batch;
        std::unordered_map<uint32_t, size_t> movedFrom;  // by cookie: the change a rename's second half completes
        {
            std::lock_guard lock(mutex_);
            alignas(inotify_event) char buffer[16384];
            for (;;) {
                const ssize_t n = ::read(fd_, buffer, sizeof buffer);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) {
                    // EAGAIN: nothing more for now. Anything else: what was
                    // told cannot be read, so nothing is trusted.
                    if (n < 0 && errno != EAGAIN) batch.overflow = true;
                    break;
                }
                for (ssize_t at = 0; at < n;) {
                    const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                    at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                    take(*event, batch, movedFrom);
                }
            }
        }
        for (Change& change : own_->take()) batch.changes.push_back(std::move(change));
        return batch;
    }

private:
    void take(const inotify_event& event, ChangeBatch& batch, std::unordered_map<uint32_t, size_t>& movedFrom) {
        if (event.mask & IN_Q_OVERFLOW) {
            batch.overflow = true;
            return;
        }
        auto watched = byWd_.find(event.wd);
        if (watched == byWd_.end()) return;  // a watch already let go
        const std::string folder = watched->second;
        if (event.mask & IN_IGNORED) {
            forget(folder);
            return;
        }
        if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
            // The watch follows the folder, not its name: its path (and its
            // subfolders' paths) no longer say where it is.
            batch.changes.push_back(Change{ChangeKind::deleted, folder, {}});
            forget(folder);
            return;
        }
        Change change{ChangeKind::changed, folder + "/" + event.name, {}};
        if (event.mask & IN_MOVED_FROM) {
            change.kind = ChangeKind::deleted;
            movedFrom[event.cookie] = batch.changes.size();
        } else if (event.mask & IN_MOVED_TO) {
            change.kind = ChangeKind::created;
            if (auto from = movedFrom.find(event.cookie); from != movedFrom.end()) {
                Change& first = batch.changes[from->second];
                first = Change{ChangeKind::renamed, std::move(change.path), std::move(first.path)};
                movedFrom.erase(from);
                return;
            }
        } else if (event.mask & IN_CREATE) {
            change.kind = ChangeKind::created;
        } else if (event.mask & IN_DELETE) {
            change.kind = ChangeKind::deleted;
        } else if (!batch.changes.empty() && batch.changes.back() == change) {
            return;  // told already
        }
        batch.changes.push_back(std::move(change));
    }

    // Lets go of the watches of `folder` and every folder below it.
    void forget(const std::string& folder) {
        auto drop = [&](std::map<std::string, int>::iterator at) {
            ::inotify_rm_watch(fd_, at->second);
            byWd_.erase(at->second);
            return byPath_.erase(at);
        };
        if (auto at = byPath_.find(folder); at != byPath_.end()) drop(at);
        const std::string below = folder + "/";
        for (auto at = byPath_.lower_bound(below); at != byPath_.end() && at->first.starts_with(below);) at = drop(at);
    }

    const int fd_;
    const std::string root_;
    std::shared_ptr<OwnChanges> own_;
    std::mutex mutex_;
    std::unordered_map<int, std::string> byWd_;
    std::map<std::string, int> byPath_;  // ordered, so a folder's subfolders follow it
};

}  // namespace

std::shared_ptr<ChangeWatch> watch(const std::string& root, std::shared_ptr<OwnChanges> own) {
    if (remote(root)) return nullptr;
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) return nullptr;  // the user's inotify instances are used up
    return std::make_shared<InotifyWatch>(fd, root, std::move(own));
}

#else

// No change notifications here: readers check stamps.
std::shared_ptr<ChangeWatch> watch(const std::string&, std::shared_ptr<OwnChanges>) { return nullptr; }

#endif

}  // namespace qs::Platform::Changes
