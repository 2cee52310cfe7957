// The first-run probe's system calls: what the server assumes of macOS and
// Foundation, tried on a real Mac (scripts/macos-probe.sh builds and runs it;
// scripts/check-apple.sh compiles it here). Prints each finding; exits 1 when
// an assumption is wrong. Nothing here reaches iCloud: what only a Mac signed
// in to it can show is on the release checklist (docs/releasing.md).
//   probe <scratch folder>
#import <Foundation/Foundation.h>

#include <errno.h>         // errno, EWOULDBLOCK
#include <fcntl.h>         // open, O_*
#include <sys/file.h>      // flock
#include <sys/resource.h>  // getiopolicy_np, setiopolicy_np, IOPOL_*
#include <sys/stat.h>      // mkdir
#include <unistd.h>        // close, alarm, write

#include <cstdio>   // std::printf
#include <cstring>  // std::strerror
#include <string>   // std::string

namespace {

int failures = 0;

void check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    if (!ok) ++failures;
}

const char* describe(NSError* error) { return error != nil ? error.localizedDescription.UTF8String : "(no error)"; }

constexpr int kDataless = IOPOL_TYPE_VFS_MATERIALIZE_DATALESS_FILES;

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    // A coordination that never runs its block must fail the probe, not hang it.
    alarm(60);
    const std::string scratch = argv[1];
    ::mkdir(scratch.c_str(), 0755);
    const std::string file = scratch + "/probe.txt";
    if (int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644); fd >= 0) {
        (void)::write(fd, "probe\n", 6);
        ::close(fd);
    }

    // The server turns materialisation of evicted files off for the process.
    const int set = ::setiopolicy_np(kDataless, IOPOL_SCOPE_PROCESS, IOPOL_MATERIALIZE_DATALESS_FILES_OFF);
    check(set == 0, std::string("setiopolicy_np(materialize dataless files, process, off): ") +
                        (set == 0 ? "accepted" : std::strerror(errno)));
    const int now = ::getiopolicy_np(kDataless, IOPOL_SCOPE_PROCESS);
    check(now == IOPOL_MATERIALIZE_DATALESS_FILES_OFF, "getiopolicy_np reads back " + std::to_string(now));

    @autoreleasepool {
        NSURL* url = [NSURL fileURLWithFileSystemRepresentation:file.c_str() isDirectory:NO relativeToURL:nil];
        // Coordination runs its block on this thread, which has no run loop.
        NSFileCoordinator* coordinator = [[NSFileCoordinator alloc] initWithFilePresenter:nil];
        __block int threadPolicy = -2;
        __block bool read = false;
        NSError* error = nil;
        [coordinator coordinateReadingItemAtURL:url
                                        options:(NSFileCoordinatorReadingOptions)0
                                          error:&error
                                     byAccessor:^(NSURL*) {
                                       read = true;
                                       threadPolicy = ::getiopolicy_np(kDataless, IOPOL_SCOPE_THREAD);
                                     }];
        check(read, std::string("coordinated read ran its block without a run loop ") + describe(error));
        std::printf(
            "info the accessor thread's own materialisation policy: %d (0 default, 1 off, 2 on)\n", threadPolicy);
        __block bool wrote = false;
        error = nil;
        [coordinator coordinateWritingItemAtURL:url
                                        options:NSFileCoordinatorWritingForReplacing
                                          error:&error
                                     byAccessor:^(NSURL*) {
                                       wrote = true;
                                     }];
        check(wrote, std::string("coordinated write ran its block without a run loop ") + describe(error));
        // What a refusal looks like: a file that is not in iCloud.
        error = nil;
        BOOL asked = [[NSFileManager defaultManager] startDownloadingUbiquitousItemAtURL:url error:&error];
        std::printf(
            "info download request for a local file: %s, %s\n", asked ? "accepted" : "refused", describe(error));
    }

    // The write lock is flock on the vault's folder itself.
    const int first = ::open(scratch.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int second = ::open(scratch.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    check(first >= 0 && ::flock(first, LOCK_EX | LOCK_NB) == 0, "flock takes a folder");
    check(::flock(second, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK, "a second flock on the folder is refused");
    ::close(first);
    ::close(second);
    return failures == 0 ? 0 : 1;
}
