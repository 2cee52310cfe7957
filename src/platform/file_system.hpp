// The thin seam over the operating system's file services. Everything above
// this layer names files by plain absolute paths.
#pragma once

#include <chrono>       // std::chrono::seconds
#include <cstdint>      // uint32_t, uint64_t
#include <functional>   // std::function
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

namespace qs::Platform {

// The folder holding `path` ("." for a bare name, "/" at the root) and its
// last component.
std::string parentOf(const std::string& path);
std::string lastComponent(const std::string& path);

// True when any entry (file, folder, dangling links excluded) exists at `path`.
bool exists(const std::string& path);

// What tells one version of a file from another without reading it.
struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t modifiedNs = 0;  // since 1970, as the file system keeps it
    int64_t changedNs = 0;   // the inode's change time, which no one can set back
    bool operator==(const FileStamp&) const = default;
};

// An open folder, for many existence tests below it: each test then
// resolves only the names below the folder, not the whole path again.
// Move-only; a folder that cannot be opened makes a handle that finds nothing.
class FolderHandle {
public:
    FolderHandle() = default;
    explicit FolderHandle(const std::string& folder);
    FolderHandle(FolderHandle&& other) noexcept;
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    ~FolderHandle();

    // As exists(folder + "/" + relative).
    bool has(const std::string& relative) const;
    // The stamp of whatever is at folder + "/" + relative (links followed).
    std::optional<FileStamp> stampOf(const std::string& relative) const;
    // The names directly inside folder + "/" + relative, hidden ones
    // included; nothing when it cannot be listed.
    std::optional<std::vector<std::string>> namesIn(const std::string& relative) const;

private:
    int fd_ = -1;
};

// The BSD flags of the entry at `path` (stat's st_flags, following links;
// 0 where the system keeps none, as on Linux). Nothing when no entry exists,
// so one call is also the existence test.
std::optional<uint32_t> fileFlags(const std::string& path);

// macOS's SF_DATALESS: a file whose content the cloud provider has evicted.
// It keeps its own name, and a plain read of it waits for the download.
inline constexpr uint32_t kDatalessFlag = 0x40000000;

// True when `stFlags` mark an evicted (dataless) file.
constexpr bool isDataless(uint32_t stFlags) { return (stFlags & kDatalessFlag) != 0; }

// True when `path` is a folder (a link to a folder counts).
bool isDirectory(const std::string& path);

struct DirEntry {
    std::string name;
    // Filled only when the listing was asked to fetch it; nothing when the
    // entry's attributes could not be read.
    std::optional<bool> isDirectory;
};

// The names directly inside `folder` ("." and ".." never included). With
// `skipHidden`, names beginning with "." are left out. Nothing when the folder
// cannot be listed.
std::optional<std::vector<DirEntry>> listDirectory(const std::string& folder, bool skipHidden,
                                                   bool fetchIsDirectory);

// Why a read gave no content.
enum class ReadStatus {
    ok,
    absent,      // nothing at the path
    unreadable,  // no permission, an I/O error, a folder
    notRegular,  // a pipe, a device, a socket: never read, as reading could block or never end
    tooLarge,    // larger than the caller's limit
};

// The whole regular file into `buffer`, reusing its capacity. The file is
// opened without blocking (a pipe would otherwise hang the open) and checked
// on its descriptor, so a pipe or device never reaches read(). `limit` bounds
// the bytes read even when the file grows while being read. A dataless file
// is not read: on macOS the read fails at once instead of waiting for the
// download, which only the caller's bounded wait may do.
ReadStatus readFileInto(const std::string& path, std::string& buffer, uint64_t limit);

// The whole regular file of at most `limit` bytes; nothing otherwise.
std::optional<std::string> readFile(const std::string& path, uint64_t limit);

// The path with every link and "." or ".." resolved; nothing when it does not exist.
std::optional<std::string> realPath(const std::string& path);

// Removes this program's temporary files in `folder` that are older than
// `age`: what a process killed in the middle of a write left behind.
void removeStaleTemporaries(const std::string& folder, std::chrono::seconds age);

// Creates `folder` and all missing parents; succeeds when it already exists.
// Returns the system's error text on failure.
std::optional<std::string> createDirectories(const std::string& folder);

// A file's whole new content written and flushed under a hidden temporary
// name in the target's folder, not yet visible under the target's own name.
// Several of them let a caller write nothing at all unless every file could
// be written. The temporary is removed unless it was placed. Move-only.
class StagedFile {
public:
    enum class Claim { claimed, taken, failed };

    // Nothing (and `error` set) when the content cannot be written in full.
    // `data` must outlive the staged file.
    static std::optional<StagedFile> stage(const std::string& target, std::string_view data, std::string* error);

    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();

    // Puts the content at `target` (in the staging folder), replacing what
    // is there; the system's error text on failure.
    std::optional<std::string> replace(const std::string& target);
    // Puts the content at `target` only when the name is free; never replaces.
    Claim claim(const std::string& target, std::string* error);

private:
    StagedFile() = default;
    void discard() noexcept;

    std::string temp_;  // empty once placed or removed
    std::string_view data_;
};

// The stamp of the regular file at `path` (links followed); nothing for
// anything else or nothing at all.
std::optional<FileStamp> stampOf(const std::string& path);
// The same for the folder at `path`.
std::optional<FileStamp> folderStampOf(const std::string& path);

// Gives memory the process has freed back to the system, where the
// allocator keeps it otherwise.
void returnFreeMemory();

// Removes the file (never a folder); false when it could not be removed.
bool removeFile(const std::string& path);

// Replaces the whole file atomically: a temporary file in the same folder is
// written, flushed, renamed over `path`, and the folder is flushed. On failure
// the old content is untouched, no temporary file is left, and the system's
// error text is returned.
std::optional<std::string> writeFileAtomic(const std::string& path, std::string_view data);

// Creates a new file holding `data`, failing (false, errno EEXIST) when the
// name is taken; never replaces anything. The content is flushed before the
// call returns. `error` receives the system's text on failure.
bool createFileExclusive(const std::string& path, std::string_view data, std::string* error,
                         bool* alreadyExists);

// The current user's home folder: $HOME, else the password database.
std::string homeDirectory();

// The home folder of the named user from the password database; nothing
// when there is no such user.
std::optional<std::string> homeDirectoryOf(const std::string& user);

// The current working folder.
std::string currentDirectory();

// The cloud services: Foundation's on macOS, the plain fallbacks elsewhere.

// Asks the cloud provider to bring the file down, returning at once. A no-op
// where there is no cloud provider.
void requestCloudDownload(const std::string& path);

// Runs `block` with the path to read, excluding coordinated writers of the
// same file. Returns false (without running the block) when coordination
// cannot be obtained. Where the system has no coordination the block simply runs.
bool coordinateReading(const std::string& path, const std::function<void(const std::string&)>& block);

// As above, for replacing the file; excludes coordinated readers and writers.
// `error` receives the reason when coordination fails.
bool coordinateWriting(const std::string& path, const std::function<void(const std::string&)>& block,
                       std::string* error);

}  // namespace qs::Platform
