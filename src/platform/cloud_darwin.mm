// The cloud services on macOS, from Foundation: iCloud download requests
// (NSFileManager) and coordinated access shared with the companion apps and the
// cloud provider (NSFileCoordinator), for the system file system. Targets
// the deployment target CMakeLists.txt sets, arm64 and x86_64 (every call used
// here exists since 10.9). Built with ARC (-fobjc-arc); each entry point drains
// its own autorelease pool, since the server's thread has no run loop to do it.
#include "platform/cancel_timer.hpp"
#include "platform/cloud_services.hpp"

#import <Foundation/Foundation.h>

#include <sys/resource.h>  // getiopolicy_np, setiopolicy_np

#include <cerrno>     // ETIMEDOUT
#include <exception>  // std::exception_ptr, std::current_exception, std::rethrow_exception
#include <optional>   // std::optional
#include <string>     // std::string

namespace qs::Platform::Cloud {
namespace {

// A file URL naming exactly the bytes of `path`; nil when Foundation cannot
// represent it.
NSURL* fileURL(const std::string& path) {
    return [NSURL fileURLWithFileSystemRepresentation:path.c_str() isDirectory:NO relativeToURL:nil];
}

// What a coordinated block reports back. Exceptions thrown by the caller's
// block are held and rethrown after Foundation returns: unwinding through its
// frames would leave the coordination claimed.
struct Access {
    Access(const std::function<void(const std::string&)>& run, const std::string& fallback)
        : block(&run), path(&fallback) {}

    const std::function<void(const std::string&)>* block;
    const std::string* path;
    bool ran = false;
    std::exception_ptr failure;

    void run(NSURL* url) {
        ran = true;
        // Foundation may set this thread's own materialisation policy for
        // its accessor; an evicted file must still fail at once, not wait.
        constexpr int kType = IOPOL_TYPE_VFS_MATERIALIZE_DATALESS_FILES;
        const int before = ::getiopolicy_np(kType, IOPOL_SCOPE_THREAD);
        ::setiopolicy_np(kType, IOPOL_SCOPE_THREAD, IOPOL_MATERIALIZE_DATALESS_FILES_OFF);
        // Coordination may hand over another URL (a moved or replaced file).
        const char* at = url.fileSystemRepresentation;
        try {
            (*block)(at ? std::string(at) : *path);
        } catch (...) {
            failure = std::current_exception();
        }
        if (before >= 0) ::setiopolicy_np(kType, IOPOL_SCOPE_THREAD, before);
    }
};

// Foundation's reason for a refusal, or `fallback` without one.
std::string reasonOf(NSError* error, const char* fallback) {
    const char* described = error != nil ? error.localizedDescription.UTF8String : nullptr;
    return described ? described : fallback;
}

// Runs `block` under the coordination `coordinate` asks for, cancelling the
// coordinator at `bound`: a file another process holds, or one evicted since
// it was brought down, would otherwise hold this thread for good. A
// cancelled wait reports as a download that did not arrive in time.
template <class Coordinate>
Status coordinated(const char* operation, const std::string& path, std::chrono::milliseconds bound,
    const std::function<void(const std::string&)>& block, Coordinate&& coordinate) {
    Access access(block, path);
    std::optional<Error> refusal;
    @autoreleasepool {
        NSURL* url = fileURL(path);
        if (url == nil) {
            refusal = Error{Error::Kind::failed, operation, path, 0, "path not representable as a file URL"};
        } else {
            NSFileCoordinator* coordinator = [[NSFileCoordinator alloc] initWithFilePresenter:nil];
            NSError* coordinationError = nil;
            Access* state = &access;
            // -cancel may be sent from any thread; a block already running
            // is not interrupted, and then counts as run.
            CancelTimer timer(bound, [coordinator] { [coordinator cancel]; });
            coordinate(coordinator, url, &coordinationError, ^(NSURL* newURL) {
              state->run(newURL);
            });
            const bool timedOut = timer.stop();
            if (!access.ran && timedOut) {
                refusal = Error{Error::Kind::notDownloaded, operation, path, ETIMEDOUT, "file coordination timed out"};
            } else if (!access.ran) {
                refusal = Error{Error::Kind::failed, operation, path, 0,
                    reasonOf(coordinationError, "file coordination did not run")};
            }
        }
    }
    if (access.failure) std::rethrow_exception(access.failure);
    if (refusal) return *refusal;
    return {};
}

}  // namespace

Status requestDownload(const std::string& path) {
    @autoreleasepool {
        NSURL* url = fileURL(path);
        if (url == nil) return Error{Error::Kind::failed, "download", path, 0, "path not representable as a file URL"};
        // A refusal (not in iCloud, say) ends the wait that follows at once,
        // with Foundation's reason, rather than at its bound.
        NSError* error = nil;
        if (![[NSFileManager defaultManager] startDownloadingUbiquitousItemAtURL:url error:&error]) {
            return Error{Error::Kind::failed, "download", path, 0, reasonOf(error, "download refused")};
        }
    }
    return {};
}

Status coordinateReading(
    const std::string& path, std::chrono::milliseconds bound, const std::function<void(const std::string&)>& block) {
    return coordinated("coordinate reading", path, bound, block,
        [](NSFileCoordinator* coordinator, NSURL* url, NSError* __autoreleasing* error, void (^accessor)(NSURL*)) {
            [coordinator coordinateReadingItemAtURL:url
                                            options:(NSFileCoordinatorReadingOptions)0
                                              error:error
                                         byAccessor:accessor];
        });
}

Status coordinateWriting(
    const std::string& path, std::chrono::milliseconds bound, const std::function<void(const std::string&)>& block) {
    return coordinated("coordinate writing", path, bound, block,
        [](NSFileCoordinator* coordinator, NSURL* url, NSError* __autoreleasing* error, void (^accessor)(NSURL*)) {
            [coordinator coordinateWritingItemAtURL:url
                                            options:NSFileCoordinatorWritingForReplacing
                                              error:error
                                         byAccessor:accessor];
        });
}

}  // namespace qs::Platform::Cloud
