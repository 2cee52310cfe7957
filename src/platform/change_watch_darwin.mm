// Change notifications on macOS: one FSEvents stream over the whole vault,
// delivered on a dispatch queue of its own into a queue that a drain empties.
// Built with ARC (-fobjc-arc), as cloud_darwin.mm: the dispatch queue is an
// object ARC releases.
#include "platform/system_watch.hpp"

#include <CoreServices/CoreServices.h>  // FSEventStream*
#include <dispatch/dispatch.h>          // dispatch_queue_create, dispatch_sync
#include <sys/mount.h>                  // statfs, MNT_LOCAL
#include <sys/stat.h>                   // lstat

#include <cstdlib>  // realpath, free
#include <mutex>    // std::mutex
#include <utility>  // std::move, std::exchange

namespace qs::Platform::Changes {
namespace {

// Events the stream could not tell one by one: trust nothing, check everything.
constexpr FSEventStreamEventFlags kLost = kFSEventStreamEventFlagMustScanSubDirs | kFSEventStreamEventFlagUserDropped |
                                          kFSEventStreamEventFlagKernelDropped |
                                          kFSEventStreamEventFlagEventIdsWrapped | kFSEventStreamEventFlagRootChanged |
                                          kFSEventStreamEventFlagMount | kFSEventStreamEventFlagUnmount;

// How long the service may gather events before delivering them; the first
// after a quiet spell comes at once (kFSEventStreamCreateFlagNoDefer).
constexpr CFTimeInterval kLatencySeconds = 0.02;

class FSEventsWatch final : public ChangeWatch {
public:
    FSEventsWatch(std::string root, std::string realRoot, std::shared_ptr<OwnChanges> own)
        : root_(std::move(root)), realRoot_(std::move(realRoot)), own_(std::move(own)) {}

    ~FSEventsWatch() override {
        if (!stream_) return;
        FSEventStreamStop(stream_);
        FSEventStreamInvalidate(stream_);
        // A callback already under way finishes before the watch goes.
        dispatch_sync(queue_, ^{
                      });
        FSEventStreamRelease(stream_);
    }

    FSEventsWatch(const FSEventsWatch&) = delete;
    FSEventsWatch& operator=(const FSEventsWatch&) = delete;

    bool start() {
        CFStringRef path = CFStringCreateWithFileSystemRepresentation(kCFAllocatorDefault, realRoot_.c_str());
        if (!path) return false;
        const void* paths[] = {path};
        CFArrayRef watched = CFArrayCreate(kCFAllocatorDefault, paths, 1, &kCFTypeArrayCallBacks);
        CFRelease(path);
        if (!watched) return false;
        FSEventStreamContext context{0, this, nullptr, nullptr, nullptr};
        stream_ = FSEventStreamCreate(kCFAllocatorDefault, &FSEventsWatch::told, &context, watched,
            kFSEventStreamEventIdSinceNow, kLatencySeconds,
            kFSEventStreamCreateFlagFileEvents | kFSEventStreamCreateFlagNoDefer | kFSEventStreamCreateFlagWatchRoot);
        CFRelease(watched);
        if (!stream_) return false;
        queue_ = dispatch_queue_create("quillstack-mcp.changes", DISPATCH_QUEUE_SERIAL);
        FSEventStreamSetDispatchQueue(stream_, queue_);
        if (!FSEventStreamStart(stream_)) {
            FSEventStreamInvalidate(stream_);
            FSEventStreamRelease(stream_);
            stream_ = nullptr;
            return false;
        }
        return true;
    }

    // The stream covers every folder below the root from its start.
    bool add(const std::string& folder) override { return within(root_, folder); }

    ChangeBatch drain() override {
        ChangeBatch batch;
        {
            std::lock_guard lock(mutex_);
            batch = std::exchange(pending_, {});
        }
        for (Change& change : own_->take()) batch.changes.push_back(std::move(change));
        return batch;
    }

private:
    static void told(ConstFSEventStreamRef, void* info, size_t count, void* paths,
        const FSEventStreamEventFlags flags[], const FSEventStreamEventId[]) {
        auto* watch = static_cast<FSEventsWatch*>(info);
        auto* names = static_cast<char**>(paths);
        ChangeBatch batch;
        for (size_t i = 0; i < count; ++i) {
            if (flags[i] & kLost) {
                batch.overflow = true;
                continue;
            }
            // The service names real paths (/private/var for /var): told
            // again under the root's own spelling, as the readers name them.
            std::string path = names[i];
            if (path.size() > 1 && path.ends_with('/')) path.pop_back();
            if (!within(watch->realRoot_, path)) continue;
            path = watch->root_ + path.substr(watch->realRoot_.size());
            // Flags gather what happened to one item within the latency: the
            // disk says what it has come to.
            struct stat st;
            const bool present = ::lstat(names[i], &st) == 0;
            ChangeKind kind = ChangeKind::changed;
            if (!present && (flags[i] & (kFSEventStreamEventFlagItemRemoved | kFSEventStreamEventFlagItemRenamed))) {
                kind = ChangeKind::deleted;
            } else if (flags[i] & (kFSEventStreamEventFlagItemCreated | kFSEventStreamEventFlagItemRenamed)) {
                kind = ChangeKind::created;
            }
            batch.changes.push_back(Change{kind, std::move(path), {}});
        }
        std::lock_guard lock(watch->mutex_);
        watch->pending_.merge(std::move(batch));
    }

    const std::string root_;
    const std::string realRoot_;
    std::shared_ptr<OwnChanges> own_;
    FSEventStreamRef stream_ = nullptr;
    dispatch_queue_t queue_ = nullptr;
    std::mutex mutex_;
    ChangeBatch pending_;
};

}  // namespace

std::shared_ptr<ChangeWatch> watch(const std::string& root, std::shared_ptr<OwnChanges> own) {
    // A network volume's other clients' changes are never told.
    struct statfs fs {};
    if (::statfs(root.c_str(), &fs) != 0 || !(fs.f_flags & MNT_LOCAL)) return nullptr;
    char* real = ::realpath(root.c_str(), nullptr);
    if (!real) return nullptr;
    auto watch = std::make_shared<FSEventsWatch>(root, real, std::move(own));
    std::free(real);
    if (!watch->start()) return nullptr;
    return watch;
}

}  // namespace qs::Platform::Changes
