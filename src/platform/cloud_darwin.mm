// The cloud services on macOS, from Foundation: iCloud download requests
// (NSFileManager) and coordinated access shared with the companion apps and the
// cloud provider (NSFileCoordinator). Targets macOS 11 and later, arm64 and
// x86_64 (every call used here exists since 10.9). Built with ARC
// (-fobjc-arc); each entry point drains its own autorelease pool, since the
// server's thread has no run loop to do it.
#include "platform/file_system.hpp"

#import <Foundation/Foundation.h>

#include <exception>  // std::exception_ptr, std::current_exception, std::rethrow_exception
#include <string>     // std::string

namespace qs::Platform {
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

std::string describe(NSError* error) {
    if (error == nil) return "file coordination did not run";
    const char* text = error.localizedDescription.UTF8String;
    return text ? text : "file coordination failed";
}

}  // namespace

void requestCloudDownload(const std::string& path) {
    @autoreleasepool {
        NSURL* url = fileURL(path);
        if (url == nil) return;
        // A refusal (not in iCloud, offline) is not an error here: the wait
        // that follows decides whether the file arrived.
        NSError* error = nil;
        (void)[[NSFileManager defaultManager] startDownloadingUbiquitousItemAtURL:url error:&error];
    }
}

bool coordinateReading(const std::string& path, const std::function<void(const std::string&)>& block) {
    Access access(block, path);
    @autoreleasepool {
        NSURL* url = fileURL(path);
        if (url == nil) return false;
        NSFileCoordinator* coordinator = [[NSFileCoordinator alloc] initWithFilePresenter:nil];
        NSError* error = nil;
        Access* state = &access;
        [coordinator coordinateReadingItemAtURL:url
                                        options:(NSFileCoordinatorReadingOptions)0
                                          error:&error
                                     byAccessor:^(NSURL* newURL) {
                                       state->run(newURL);
                                     }];
    }
    if (access.failure) std::rethrow_exception(access.failure);
    return access.ran;
}

bool coordinateWriting(const std::string& path, const std::function<void(const std::string&)>& block,
                       std::string* error) {
    Access access(block, path);
    std::string reason;
    @autoreleasepool {
        NSURL* url = fileURL(path);
        if (url == nil) {
            reason = "path not representable as a file URL";
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
            if (!access.ran) reason = describe(coordinationError);
        }
    }
    if (access.failure) std::rethrow_exception(access.failure);
    if (!access.ran && error) *error = reason;
    return access.ran;
}

}  // namespace qs::Platform
