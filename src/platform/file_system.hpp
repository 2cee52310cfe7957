// The seam over the operating system's file and cloud services, as one
// interface: the vault layer names files by plain absolute paths and reaches
// the disk, the cloud provider and file coordination only through it.
#pragma once

#include <chrono>       // std::chrono::seconds
#include <cstdint>      // uint32_t, uint64_t, int64_t
#include <functional>   // std::function
#include <memory>       // std::shared_ptr
#include <mutex>        // std::mutex
#include <optional>     // std::optional
#include <set>          // std::multiset
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "platform/change_watch.hpp"
#include "platform/expected.hpp"
#include "platform/folder_lock.hpp"
#include "platform/paths.hpp"
#include "platform/platform_error.hpp"

namespace qs::Platform {

using Status = Expected<void, Error>;

// macOS's SF_DATALESS: a file or folder whose content the cloud provider has
// evicted. It keeps its own name; reading it (or listing it) either fails at
// once with EDEADLK or waits for the download, as the thread's policy says.
inline constexpr uint32_t kDatalessFlag = 0x40000000;

// True when `stFlags` mark an evicted (dataless) entry.
constexpr bool isDataless(uint32_t stFlags) { return (stFlags & kDatalessFlag) != 0; }

// What stat tells of an entry (links followed).
struct EntryInfo {
    bool isDirectory = false;
    bool dataless = false;  // evicted: its name is here, its content in the cloud
};

struct DirEntry {
    std::string name;
    // Filled only when the listing was asked to fetch it; nothing when the
    // entry's attributes could not be read.
    std::optional<bool> isDirectory;
};

class FileSystem;

// A file's whole new content written and flushed under a hidden temporary
// name in the target's folder, not yet visible under the target's own name.
// Several of them let a caller write nothing at all unless every file could
// be written. The temporary is removed unless it was placed. Move-only.
class StagedFile {
public:
    StagedFile(FileSystem& owner, std::string temporary, std::string_view data);
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();

    // Empty once placed or removed.
    [[nodiscard]] const std::string& temporary() const { return temporary_; }
    [[nodiscard]] std::string_view data() const { return data_; }
    // The temporary now stands under its target's name.
    void placed();
    // Removes the temporary now: a copy of it stands under the target's name.
    void discard() noexcept;

private:
    FileSystem* owner_;
    std::string temporary_;
    std::string_view data_;  // must outlive the staged file
};

// What tells one version of a file from another without reading it.
struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t modifiedNs = 0;  // since 1970, as the file system keeps it
    int64_t changedNs = 0;   // the inode's change time, which no one can set back
    bool operator==(const FileStamp&) const = default;

    // More than the timestamp granularity of any file system a vault lives on.
    static constexpr int64_t kRacyWindowNs = 2'000'000'000;

    // Whether what was read (or listed) between the stamps `before` and
    // `after`, the read starting at `readAtNs` on the wall clock, may be used
    // again while the file's stamp stays `before`. A file rewritten within
    // one tick of a coarse clock could keep every field, so one changed
    // within kRacyWindowNs of the read is never trusted, and is read again
    // until its last change lies safely before a read (as Git treats its
    // index). A writer changing it later must move one of the five fields.
    static bool settled(
        const std::optional<FileStamp>& before, const std::optional<FileStamp>& after, int64_t readAtNs) {
        return before && after && *before == *after && before->settledAt(readAtNs);
    }
    // Whether this stamp's last change lies past the racy window at `nowNs`.
    [[nodiscard]] bool settledAt(int64_t nowNs) const {
        return modifiedNs < nowNs - kRacyWindowNs && changedNs < nowNs - kRacyWindowNs;
    }
};

enum class Claim { claimed, taken };

// The operating system's file and cloud services, its clocks and the
// process's surroundings, as leveldb's Env: the system's own implementation,
// and in tests a simulated cloud provider for what Linux cannot show, with a
// clock that moves when told.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The entry at `path`, links followed; absent when there is none (a
    // dangling link included).
    virtual Expected<EntryInfo, Error> stat(const std::string& path) = 0;

    // The names directly inside `folder` ("." and ".." never included). With
    // `skipHidden`, names beginning with "." are left out.
    virtual Expected<std::vector<DirEntry>, Error> list(
        const std::string& folder, bool skipHidden, bool fetchIsDirectory) = 0;

    // The whole regular file into `buffer`, reusing its capacity. A pipe or a
    // device is never read (notRegular), nor a file beyond `limit` bytes
    // (tooLarge), even one that grows while being read; an evicted file fails
    // (notDownloaded) instead of waiting for its download.
    virtual Status readInto(const std::string& path, std::string& buffer, uint64_t limit) = 0;

    // The path with every link and "." or ".." resolved.
    virtual Expected<std::string, Error> realPath(const std::string& path) = 0;

    // Creates `folder` and all missing parents; succeeds when it already exists.
    virtual Status createDirectories(const std::string& folder) = 0;

    // Writes and flushes `data` beside `target`, not yet under its name.
    virtual Expected<StagedFile, Error> stage(const std::string& target, std::string_view data) = 0;
    // Puts the staged content at `target`, replacing what is there; a link
    // planted at the target is replaced, never followed.
    virtual Status replace(StagedFile& staged, const std::string& target) = 0;
    // Puts it at `target` only when the name is free; never replaces. A file
    // system without no-replace renames (a network share, FAT) claims by a
    // hard link instead, and one without those by an exclusive create.
    Expected<Claim, Error> claim(StagedFile& staged, const std::string& target);
    // The claim's three ways, each failing with EEXIST (taken) when the name
    // is in use. Renames `from` to `to` unless `to` exists; EINVAL, ENOSYS or
    // ENOTSUP where the file system cannot rename that way.
    virtual Status renameNoReplace(const std::string& from, const std::string& to) = 0;
    // A second name `to` for the file `from`.
    virtual Status hardLink(const std::string& from, const std::string& to) = 0;
    // A new file `path` with `data`, flushed; nothing is left when it fails.
    virtual Status createExclusive(const std::string& path, std::string_view data) = 0;
    // Removes the file (never a folder).
    virtual Status remove(const std::string& path) = 0;
    // Removes this program's temporaries in `folder` older than `age`: what a
    // process killed in the middle of a write left behind. Best effort. Age
    // is judged by the file system's own clock (the stamp of a temporary
    // staged here and not yet placed), and none of those is ever removed;
    // without one, nothing is.
    virtual void removeStaleTemporaries(const std::string& folder, std::chrono::seconds age) = 0;

    // Asks the cloud provider to bring the entry down, returning at once; a
    // no-op where there is no cloud provider. Fails, with the provider's
    // reason, when it refuses (the entry is not in the cloud, say).
    virtual Status requestDownload(const std::string& path) = 0;
    // Runs `block` with the path to read, excluding coordinated writers of
    // the same file; fails without running it when coordination cannot be
    // had, or (notDownloaded, ETIMEDOUT) when another process held the file
    // past `bound`.
    virtual Status coordinateReading(const std::string& path, std::chrono::milliseconds bound,
        const std::function<void(const std::string&)>& block) = 0;
    // As above, for replacing the file; excludes coordinated readers and writers.
    virtual Status coordinateWriting(const std::string& path, std::chrono::milliseconds bound,
        const std::function<void(const std::string&)>& block) = 0;

    // The stamp of the regular file (or, with `folder`, the folder) at
    // `path`, links followed; nothing for anything else or nothing at all.
    virtual std::optional<FileStamp> stampOf(const std::string& path, bool folder) = 0;
    // The stamps of the folders `names` directly inside `folder`, in order,
    // with `folder` looked up once for them all; nothing for a name that is
    // no folder. Thousands of day folders are stamped on every scan.
    virtual std::vector<std::optional<FileStamp>> folderStamps(
        const std::string& folder, const std::vector<std::string>& names) = 0;

    // An exclusive advisory lock on `folder`, waited for up to `wait`; or,
    // for a folder that cannot be locked itself, on the lock file `file`.
    virtual Expected<FolderLock, Error> lockFolder(const std::string& folder, std::chrono::milliseconds wait) = 0;
    virtual Expected<FolderLock, Error> lockFile(const std::string& file, std::chrono::milliseconds wait) = 0;

    // The wall clock, in nanoseconds since 1970 (as file times are kept);
    // the same as a time point and as seconds, for dates and the vocabulary.
    virtual int64_t wallClockNs() = 0;
    std::chrono::system_clock::time_point wallNow() {
        return std::chrono::system_clock::time_point(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::nanoseconds(wallClockNs())));
    }
    double wallSeconds() { return static_cast<double>(wallClockNs()) / 1e9; }
    // A clock that never goes back, for deadlines; and a pause measured on it.
    virtual std::chrono::steady_clock::time_point steadyNow() = 0;
    virtual void sleepFor(std::chrono::nanoseconds duration) = 0;

    // The environment variable `name`; nothing when it is unset.
    virtual std::optional<std::string> environment(const std::string& name) = 0;
    // The current user's home folder: $HOME, else the password database.
    virtual std::string homeDirectory() = 0;
    // The home folder of the named user; nothing when there is no such user.
    virtual std::optional<std::string> homeDirectoryOf(const std::string& user) = 0;
    // The current working folder.
    virtual std::string currentDirectory() = 0;
    // Where the user's caches go: ~/Library/Caches on macOS; elsewhere
    // $XDG_CACHE_HOME when absolute, else ~/.cache.
    std::string cacheDirectory();
    // A folder for temporary files: $TMPDIR when absolute, else /tmp.
    std::string temporaryDirectory();

    // A watch over folders below `root` (the vault), for readers that keep
    // what they read; nothing where the system tells no changes there: those
    // readers check stamps instead.
    virtual std::shared_ptr<ChangeWatch> watch(const std::string& root) {
        (void)root;
        return nullptr;
    }

    // True when any entry exists at `path` (an evicted one too).
    bool exists(const std::string& path) { return stat(path).hasValue(); }

protected:
    friend class StagedFile;
    // Removes a staged temporary that was never placed.
    virtual void discard(const std::string& temporary) noexcept = 0;
    // The names of the temporaries in `folder` staged and not yet placed or
    // discarded: a write under way, however old its stamp looks.
    std::vector<std::string> liveTemporariesIn(const std::string& folder) const;

private:
    void live(const std::string& temporary, bool alive);

    mutable std::mutex liveMutex_;
    std::multiset<std::string> live_;
};

// The system's own services: POSIX, and on macOS Foundation's cloud services.
// Every read, open, stat and listing fails on an evicted entry instead of
// waiting for it, whatever materialisation policy the process inherited.
std::shared_ptr<FileSystem> systemFileSystem();

// Gives memory the process has freed back to the system, where the
// allocator keeps it otherwise.
void returnFreeMemory();

}  // namespace qs::Platform
