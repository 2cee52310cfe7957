// The cloud services on macOS, from Foundation: iCloud download requests
// (NSFileManager) and coordinated access shared with the companion apps and the
// cloud provider (NSFileCoordinator), for the system file system. Targets
// macOS 11 and later, arm64 and x86_64 (every call used here exists since
// 10.9). Built with ARC (-fobjc-arc); each entry point drains its own
// autorelease pool, since the server's thread has no run loop to do it.
#include "platform/cloud_services.hpp"

#import <Foundation/Foundation.h>

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
        // Coordination may hand over another URL (a moved or replaced file).
        const char* at = url.fileSystemRepresentation;
        try {
            (*block)(at ? std::string(at) : *path);
        } catch (...) {
            failure = std::current_exception();
        }
    }
};

// A refused coordination, with Foundation's reason.
Error refused(const char* operation, const std::string& path, NSError* error) {
    std::string text = "file coordination did not run";
    if (error != nil) {
        const char* described = error.localizedDescription.UTF8String;
        text = described ? described : "file coordination failed";
    }
    return Error{Error::Kind::failed, operation, path, 0, text};
}

}  // namespace

void requestDownload(const std::string& path) {
    @autoreleasepool {
        NSURL* url = fileURL(path);
        if (url == nil) return;
        // A refusal (not in iCloud, offline) is not an error here: the wait
        // that follows decides whether the file arrived.
        NSError* error = nil;
        (void)[[NSFileManager defaultManager] startDownloadingUbiquitousItemAtURL:url error:&error];
    }
}

Status coordinateReading(const std::string& path, const std::function<void(const std::string&)>& block) {
    Access access(block, path);
    std::optional<Error> refusal;
    @autoreleasepool {
        NSURL* url = fileURL(path);
        if (url == nil) {
            refusal = Error{Error::Kind::failed, "coordinate reading", path, 0, "path not representable as a file URL"};
        } else {
            NSFileCoordinator* coordinator = [[NSFileCoordinator alloc] initWithFilePresenter:nil];
            NSError* coordinationError = nil;
            Access* state = &access;
            [coordinator coordinateReadingItemAtURL:url
                                            options:(NSFileCoordinatorReadingOptions)0
                                              error:&coordinationError
                                         byAccessor:^(NSURL* newURL) {
                                           state->run(newURL);
                                         }];
            if (!access.ran) refusal = refused("coordinate reading", path, coordinationError);
        }
    }
    if (access.failure) std::rethrow_exception(access.failure);
    if (refusal) return *refusal;
    return {};
}

Status coordinateWriting(const std::string& path, const std::function<void(const std::string&)>& block) {
    Access access(block, path);
    std::optional<Error> refusal;
    @autoreleasepool {
        NSURL* url = fileURL(path);
        if (url == nil) {
            refusal = Error{Error::Kind::failed, "coordinate writing", path, 0, "path not representable as a file URL"};
        } else {
            NSFileCoordinator* coordinator = [[NSFileCoordinator alloc] initWithFilePresenter:nil];
            NSError* coordinationError = nil;
            Access* state = &access;
            [coordinator coordinateWritingItemAtURL:url
                                            options:NSFileCoordinatorWritingForReplacing
                                              error:&coordinationError
                                         byAccessor:^(NSURL* newURL) {
                                           state->run(newURL);
                                         }];
            if (!access.ran) refusal = refused("coordinate writing", path, coordinationError);
        }
    }
    if (access.failure) std::rethrow_exception(access.failure);
    if (refusal) return *refusal;
    return {};
}

}  // namespace qs::Platform::Cloud
