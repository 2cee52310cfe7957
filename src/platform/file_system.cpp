// The system's file services behind the seam: POSIX for Linux and macOS
// alike (the few calls that differ are chosen here), with the cloud services
// of cloud_posix.cpp or, on macOS, cloud_darwin.mm.
#include "platform/file_system.hpp"

#include "platform/cloud_services.hpp"
#include "platform/log.hpp"
#include "platform/system_watch.hpp"

#include <dirent.h>    // opendir, readdir
#include <fcntl.h>     // open, fcntl, O_* flags, AT_* flags, F_FULLFSYNC, F_BARRIERFSYNC
#include <pwd.h>       // getpwuid_r, getpwnam_r
#include <stdio.h>     // renameat2, RENAME_NOREPLACE (Linux); renamex_np, RENAME_EXCL (macOS)
#include <sys/stat.h>  // stat, fstatat, fchmod, mkdir, umask, SF_DATALESS
#include <unistd.h>    // read, write, fsync, close, unlink, link, getcwd
#include <algorithm>   // std::max, std::find
#include <cerrno>      // errno
#include <chrono>      // std::chrono::system_clock, steady_clock
#include <cstdlib>     // getenv, mkostemp, realpath, free
#include <cstring>     // strerror
#include <memory>      // std::weak_ptr
#include <mutex>       // std::once_flag, std::mutex
#include <thread>      // std::this_thread::sleep_for
#include <utility>     // std::exchange
#if defined(__APPLE__)
#include <sys/resource.h>  // setiopolicy_np, IOPOL_TYPE_VFS_MATERIALIZE_DATALESS_FILES
#endif
#if defined(__GLIBC__)
#include <malloc.h>  // malloc_trim
#endif

namespace qs::Platform {
namespace {

Error failure(const char* operation, const std::string& path, int code = errno) {
    return Error::fromErrno(operation, path, code);
}

#if defined(__APPLE__)
static_assert(kDatalessFlag == SF_DATALESS);
#endif

// Flushes a file's (or folder's) data to stable storage. macOS's fsync only
// reaches the drive's cache; F_FULLFSYNC reaches the media, where the file
// system supports it (not every one does: then fsync is what there is).
int flushToDisk(int fd) {
#if defined(F_FULLFSYNC)
    if (::fcntl(fd, F_FULLFSYNC) == 0) return 0;
#endif
    return ::fsync(fd);
}

// Renames without replacing an existing target: fails with EEXIST when the
// name is taken, or EINVAL/ENOSYS/ENOTSUP where the system or file system
// cannot rename that way.
int renameNoReplaceAt([[maybe_unused]] const char* from, [[maybe_unused]] const char* to) {
#if defined(__APPLE__)
    return ::renamex_np(from, to, RENAME_EXCL);
#elif defined(__linux__)
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
#else
    errno = ENOSYS;
    return -1;
#endif
}

// The process umask, read once; reading it means setting it, so never again.
mode_t processUmask() {
    static std::once_flag once;
    static mode_t mask = 022;
    std::call_once(once, [] {
        mask = ::umask(022);
        ::umask(mask);
    });
    return mask;
}

// A folder's entries reach the disk only when the folder itself is flushed.
// Best effort: the data is already in place when this runs. The file's data
// went to the media in full before its rename, so on macOS a barrier, which
// keeps the new entry behind it, is all the entry needs (F_FULLFSYNC again
// would flush the whole drive cache a second time for every write).
void syncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
#if defined(F_BARRIERFSYNC)
    if (::fcntl(fd, F_BARRIERFSYNC) != 0) ::fsync(fd);
#else
    ::fsync(fd);
#endif
    ::close(fd);
}

// Makes every access of this process to an evicted (dataless) file or folder
// fail at once with EDEADLK instead of blocking until the cloud provider has
// brought it down: the bounded download wait above this layer is the only
// wait. A process started with materialisation on (or off) is thus alike.
// Where the system refuses, the download wait still comes first, so a read
// rarely meets an evicted file; the log says why one may then wait.
void neverMaterializeDataless() {
#if defined(__APPLE__) && defined(IOPOL_TYPE_VFS_MATERIALIZE_DATALESS_FILES)
    constexpr int kType = IOPOL_TYPE_VFS_MATERIALIZE_DATALESS_FILES;
    if (::setiopolicy_np(kType, IOPOL_SCOPE_PROCESS, IOPOL_MATERIALIZE_DATALESS_FILES_OFF) != 0) {
        logStderr(
            std::string("⚠️ 无法让 iCloud 占位文件立即报错(setiopolicy_np): ") + std::strerror(errno));
    } else if (int now = ::getiopolicy_np(kType, IOPOL_SCOPE_PROCESS); now != IOPOL_MATERIALIZE_DATALESS_FILES_OFF) {
        logStderr("⚠️ iCloud 占位文件策略未生效(getiopolicy_np: " + std::to_string(now) + ")");
    }
#endif
}

// Every temporary file of this program carries this in its name, so one left
// by a killed process can be recognised and removed later.
constexpr std::string_view kTempMarker = ".qs-tmp-";

// A hidden temporary name next to the target, short enough for any file
// system even when the target's own name is near the limit.
std::string tempPattern(const std::string& path) {
    std::string name = lastComponent(path);
    if (name.size() > 64) {
        size_t cut = 64;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return parentOf(path) + "/." + name + std::string(kTempMarker) + "XXXXXX";
}

// ".<name>.qs-tmp-XXXXXX", as made by tempPattern and mkostemp.
bool isTemporaryName(std::string_view name) {
    size_t at = name.rfind(kTempMarker);
    return name.size() > 1 && name.front() == '.' && at != std::string_view::npos &&
           name.size() - at - kTempMarker.size() == 6;
}

// Writes `data` into a fresh temporary file next to `path`, flushed and with
// `mode`; on failure nothing is left.
Expected<std::string, Error> writeTemp(const std::string& path, std::string_view data, mode_t mode) {
    std::string temp = tempPattern(path);
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return failure("create", temp);
    int err = 0;
    if (::fchmod(fd, mode) != 0 || !writeAll(fd, data) || flushToDisk(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        return failure("write", temp, err);
    }
    return temp;
}

bool isDirectoryAt(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

FileStamp stampFrom(const struct stat& st) {
#if defined(__APPLE__)
    const timespec& modified = st.st_mtimespec;
    const timespec& changed = st.st_ctimespec;
#else
    const timespec& modified = st.st_mtim;
    const timespec& changed = st.st_ctim;
#endif
    auto ns = [](const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; };
    return FileStamp{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
        static_cast<uint64_t>(st.st_size), ns(modified), ns(changed)};
}

class SystemFileSystem final : public FileSystem {
public:
    SystemFileSystem() { neverMaterializeDataless(); }

    Expected<EntryInfo, Error> stat(const std::string& path) override {
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) return failure("stat", path);
        EntryInfo info{S_ISDIR(st.st_mode), false};
#if defined(__APPLE__)
        info.dataless = isDataless(static_cast<uint32_t>(st.st_flags));
#endif
        return info;
    }

    Expected<std::vector<DirEntry>, Error> list(
        const std::string& folder, bool skipHidden, bool fetchIsDirectory) override {
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) return failure("list", folder);
        std::vector<DirEntry> entries;
        int dfd = ::dirfd(dir);
        for (;;) {
            errno = 0;
            dirent* e = ::readdir(dir);
            if (!e) break;
            std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            if (skipHidden && name[0] == '.') continue;
            DirEntry entry{std::move(name), std::nullopt};
            if (fetchIsDirectory) {
                // The entry's own attribute, as a directory listing reports
                // it: a link is a link, not the folder it points to.
                struct stat st;
                if (::fstatat(dfd, entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
                    entry.isDirectory = S_ISDIR(st.st_mode);
                }
            }
            entries.push_back(std::move(entry));
        }
        int err = errno;
        ::closedir(dir);
        if (err != 0) return failure("list", folder, err);
        return entries;
    }

    Status readInto(const std::string& path, std::string& buffer, uint64_t limit) override {
        // Opened without blocking (a pipe would otherwise hang the open) and
        // checked on its descriptor, so a pipe or device never reaches read().
        int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return failure("open", path);
        struct stat st;
        std::optional<Error> refused;
        if (::fstat(fd, &st) != 0) {
            refused = failure("stat", path);
        } else if (S_ISDIR(st.st_mode)) {
            refused = failure("read", path, EISDIR);
        } else if (!S_ISREG(st.st_mode)) {
            refused = Error{Error::Kind::notRegular, "open", path, 0, "not a regular file"};
        } else if (static_cast<uint64_t>(st.st_size) > limit) {
            refused = failure("open", path, EFBIG);
        }
        if (refused) {
            ::close(fd);
            return *refused;
        }
        // Growing only past the old size keeps a reused buffer from being
        // cleared byte by byte on every call.
        auto expected = static_cast<size_t>(st.st_size);
        size_t used = 0;
        buffer.resize(std::max<size_t>(expected + 1, 4096));
        for (;;) {
            if (used == buffer.size()) {
                if (used > limit) {
                    refused = failure("read", path, EFBIG);  // grew past the limit while being read
                    break;
                }
                buffer.resize(buffer.size() * 2);
            }
            ssize_t n = ::read(fd, buffer.data() + used, buffer.size() - used);
            if (n < 0) {
                if (errno == EINTR) continue;
                refused = failure("read", path);
                break;
            }
            if (n == 0) break;
            used += static_cast<size_t>(n);
        }
        ::close(fd);
        if (!refused && used > limit) refused = failure("read", path, EFBIG);
        if (refused) {
            buffer.clear();
            return *refused;
        }
        buffer.resize(used);
        return {};
    }

    Expected<std::string, Error> realPath(const std::string& path) override {
        char* resolved = ::realpath(path.c_str(), nullptr);
        if (!resolved) return failure("resolve", path);
        std::string out(resolved);
        std::free(resolved);
        return out;
    }

    Status createDirectories(const std::string& folder) override {
        if (folder.empty()) return failure("create folder", folder, ENOENT);
        if (isDirectoryAt(folder)) return {};
        // Create each missing prefix in turn, from the top down.
        size_t pos = 0;
        for (;;) {
            pos = folder.find('/', pos + 1);
            std::string prefix = folder.substr(0, pos);
            const bool made = !prefix.empty() && ::mkdir(prefix.c_str(), 0777) == 0;
            if (made) noteOwn(ChangeKind::created, prefix);
            if (!made && !prefix.empty()) {
                int err = errno;
                if (err != EEXIST) return failure("create folder", prefix, err);
                if (!isDirectoryAt(prefix))
                    return failure("create folder", prefix, pos == std::string::npos ? EEXIST : ENOTDIR);
            }
            if (pos == std::string::npos || pos + 1 >= folder.size()) break;
        }
        return {};
    }

    Expected<StagedFile, Error> stage(const std::string& target, std::string_view data) override {
        // A replaced file keeps its permissions; a new one gets the usual ones.
        mode_t mode = 0666 & ~processUmask();
        struct stat old;
        if (::lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) mode = old.st_mode & 0777;
        auto temp = writeTemp(target, data, mode);
        if (!temp) return temp.error();
        return StagedFile(*this, std::move(*temp), data);
    }

    Status replace(StagedFile& staged, const std::string& target) override {
        // rename replaces the name itself, so a link planted at the target is
        // replaced rather than followed.
        if (::rename(staged.temporary().c_str(), target.c_str()) != 0) return failure("rename", target);
        staged.placed();
        noteOwn(ChangeKind::created, target);
        syncFolder(parentOf(target));
        return {};
    }

    Status renameNoReplace(const std::string& from, const std::string& to) override {
        if (renameNoReplaceAt(from.c_str(), to.c_str()) != 0) return failure("rename", to);
        noteOwn(ChangeKind::created, to);
        syncFolder(parentOf(to));
        return {};
    }

    Status hardLink(const std::string& from, const std::string& to) override {
        if (::link(from.c_str(), to.c_str()) != 0) return failure("link", to);
        noteOwn(ChangeKind::created, to);
        syncFolder(parentOf(to));
        return {};
    }

    Status createExclusive(const std::string& path, std::string_view data) override {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) return failure("create", path);
        int err = (!writeAll(fd, data) || flushToDisk(fd) != 0) ? errno : 0;
        if (::close(fd) != 0 && err == 0) err = errno;
        if (err != 0) {
            ::unlink(path.c_str());
            return failure("write", path, err);
        }
        noteOwn(ChangeKind::created, path);
        syncFolder(parentOf(path));
        return {};
    }

    Status remove(const std::string& path) override {
        if (::unlink(path.c_str()) != 0) return failure("remove", path);
        noteOwn(ChangeKind::deleted, path);
        return {};
    }

    void removeStaleTemporaries(const std::string& folder, std::chrono::seconds age) override {
        // The clock of a network share may lag the machine's by hours: judged
        // by the process clock, a file written a moment ago would look old.
        const std::vector<std::string> live = liveTemporariesIn(folder);
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) return;
        std::optional<time_t> now;
        struct stat st;
        for (const std::string& name : live) {
            if (::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
                now = std::max(now.value_or(st.st_mtime), st.st_mtime);
            }
        }
        const time_t cutoff = now.value_or(0) - static_cast<time_t>(age.count());
        while (dirent* entry = ::readdir(dir)) {
            std::string_view name = entry->d_name;
            if (!now || !isTemporaryName(name) || std::find(live.begin(), live.end(), name) != live.end()) continue;
            if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
                st.st_mtime < cutoff) {
                ::unlinkat(::dirfd(dir), entry->d_name, 0);
            }
        }
        ::closedir(dir);
    }

    std::optional<FileStamp> stampOf(const std::string& path, bool folder) override {
        struct stat st;
        if (::stat(path.c_str(), &st) != 0 || !(folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode))) {
            return std::nullopt;
        }
        return stampFrom(st);
    }

    std::vector<std::optional<FileStamp>> folderStamps(
        const std::string& folder, const std::vector<std::string>& names) override {
        std::vector<std::optional<FileStamp>> stamps(names.size());
        const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0) return stamps;
        struct stat st;
        for (size_t i = 0; i < names.size(); ++i) {
            if (::fstatat(dir, names[i].c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode)) stamps[i] = stampFrom(st);
        }
        ::close(dir);
        return stamps;
    }

    Expected<FolderLock, Error> lockFolder(const std::string& folder, std::chrono::milliseconds wait) override {
        return FolderLock::acquire(folder, wait);
    }

    Expected<FolderLock, Error> lockFile(const std::string& file, std::chrono::milliseconds wait) override {
        return FolderLock::acquireFile(file, wait);
    }

    Status requestDownload(const std::string& path) override { return Cloud::requestDownload(path); }

    Status coordinateReading(const std::string& path, std::chrono::milliseconds bound,
        const std::function<void(const std::string&)>& block) override {
        return Cloud::coordinateReading(path, bound, block);
    }

    Status coordinateWriting(const std::string& path, std::chrono::milliseconds bound,
        const std::function<void(const std::string&)>& block) override {
        return Cloud::coordinateWriting(path, bound, block);
    }

    int64_t wallClockNs() override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    }

    std::chrono::steady_clock::time_point steadyNow() override { return std::chrono::steady_clock::now(); }

    void sleepFor(std::chrono::nanoseconds duration) override { std::this_thread::sleep_for(duration); }

    std::optional<std::string> environment(const std::string& name) override {
        const char* value = std::getenv(name.c_str());
        if (!value) return std::nullopt;
        return std::string(value);
    }

    std::string homeDirectory() override {
        if (auto home = environment("HOME"); home && !home->empty()) return *home;
        struct passwd pw;
        struct passwd* result = nullptr;
        std::string buf(16384, '\0');
        if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result && result->pw_dir) {
            return result->pw_dir;
        }
        return "/";
    }

    std::optional<std::string> homeDirectoryOf(const std::string& user) override {
        struct passwd pw;
        struct passwd* found = nullptr;
        std::string buf(16384, '\0');
        if (::getpwnam_r(user.c_str(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir) {
            return std::string(found->pw_dir);
        }
        return std::nullopt;
    }

    std::string currentDirectory() override {
        std::string buf(4096, '\0');
        for (;;) {
            if (::getcwd(buf.data(), buf.size())) return buf.c_str();
            if (errno != ERANGE) return ".";
            buf.resize(buf.size() * 2);
        }
    }

    std::shared_ptr<ChangeWatch> watch(const std::string& root) override {
        auto own = std::make_shared<OwnChanges>();
        auto watch = Changes::watch(root, own);
        if (watch) {
            std::lock_guard lock(mutex_);
            std::erase_if(watches_, [](const std::weak_ptr<OwnChanges>& w) { return w.expired(); });
            watches_.push_back(own);
        }
        return watch;
    }

protected:
    void discard(const std::string& temporary) noexcept override { ::unlink(temporary.c_str()); }

private:
    // The server's own change, for its live watches: the next call must see
    // it even where the system tells it late.
    void noteOwn(ChangeKind kind, const std::string& path) {
        std::lock_guard lock(mutex_);
        for (const auto& watch : watches_) {
            if (auto own = watch.lock()) own->note(kind, path);
        }
    }

    std::mutex mutex_;
    std::vector<std::weak_ptr<OwnChanges>> watches_;
};

// Where a no-replace rename is refused for want of support, not for the name.
bool unsupported(const Error& error) { return error.code == EINVAL || error.code == ENOSYS || error.code == ENOTSUP; }

}  // namespace

std::shared_ptr<FileSystem> systemFileSystem() { return std::make_shared<SystemFileSystem>(); }

Expected<Claim, Error> FileSystem::claim(StagedFile& staged, const std::string& target) {
    auto renamed = renameNoReplace(staged.temporary(), target);
    if (renamed) {
        staged.placed();
        return Claim::claimed;
    }
    if (renamed.error().kind == Error::Kind::taken) return Claim::taken;
    if (!unsupported(renamed.error())) return renamed.error();
    // A hard link claims the name just as exclusively; where there are none
    // either, an exclusive create in place.
    auto linked = hardLink(staged.temporary(), target);
    if (!linked && linked.error().kind != Error::Kind::taken) linked = createExclusive(target, staged.data());
    if (!linked) {
        if (linked.error().kind == Error::Kind::taken) return Claim::taken;
        return linked.error();
    }
    staged.discard();
    return Claim::claimed;
}

StagedFile::StagedFile(FileSystem& owner, std::string temporary, std::string_view data)
    : owner_(&owner), temporary_(std::move(temporary)), data_(data) {
    owner_->live(temporary_, true);
}

void StagedFile::placed() {
    owner_->live(temporary_, false);
    temporary_.clear();
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : owner_(other.owner_), temporary_(std::exchange(other.temporary_, std::string())), data_(other.data_) {}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this != &other) {
        discard();
        owner_ = other.owner_;
        temporary_ = std::exchange(other.temporary_, std::string());
        data_ = other.data_;
    }
    return *this;
}

StagedFile::~StagedFile() { discard(); }

void StagedFile::discard() noexcept {
    if (!temporary_.empty()) {
        owner_->discard(temporary_);
        owner_->live(temporary_, false);
    }
    temporary_.clear();
}

std::string FileSystem::cacheDirectory() {
#if defined(__APPLE__)
    return joinPath(homeDirectory(), "Library/Caches");
#else
    // The XDG base directory rule: only an absolute path counts.
    if (auto cache = environment("XDG_CACHE_HOME"); cache && cache->starts_with('/')) return *cache;
    return joinPath(homeDirectory(), ".cache");
#endif
}

std::string FileSystem::temporaryDirectory() {
    if (auto tmp = environment("TMPDIR"); tmp && tmp->starts_with('/')) return *tmp;
    return "/tmp";
}

void FileSystem::live(const std::string& temporary, bool alive) {
    std::lock_guard<std::mutex> hold(liveMutex_);
    if (alive) {
        live_.insert(temporary);
    } else if (auto at = live_.find(temporary); at != live_.end()) {
        live_.erase(at);
    }
}

std::vector<std::string> FileSystem::liveTemporariesIn(const std::string& folder) const {
    std::lock_guard<std::mutex> hold(liveMutex_);
    std::vector<std::string> names;
    for (const std::string& temporary : live_) {
        if (parentOf(temporary) == folder) names.push_back(lastComponent(temporary));
    }
    return names;
}

void returnFreeMemory() {
#if defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}

}  // namespace qs::Platform
