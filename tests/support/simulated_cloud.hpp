// A cloud provider simulated over the real disk, behind the same seam as the
// system's: what Linux cannot show (files and folders evicted under their own
// names, reads that fail with EDEADLK or block, downloads that arrive late or
// never, refused coordination, failing calls, a full disk, a file system
// without no-replace renames or hard links) made on demand. Its clock moves
// only when told or slept on, and its environment is its own.
#pragma once

#include <chrono>    // std::chrono::milliseconds, nanoseconds, steady_clock
#include <map>       // std::map
#include <memory>    // std::shared_ptr
#include <mutex>     // std::mutex
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

#include "platform/file_system.hpp"

namespace qs::Platform {

class SimulatedWatch;

class SimulatedCloud final : public FileSystem {
public:
    // What touching an evicted entry's content does before it has arrived:
    // fail at once with EDEADLK (materialisation off), or wait for the
    // download (materialisation on), which a stuck provider never ends.
    enum class Policy { fail, block };

    explicit SimulatedCloud(std::shared_ptr<FileSystem> disk = systemFileSystem());

    // The file or folder at `path` (on disk) becomes dataless under its own
    // name; once asked for, its download lands `arrivesAfter` later, or never.
    void evict(const std::string& path, std::optional<std::chrono::milliseconds> arrivesAfter) {
        locked([&] { evicted_[path] = Evicted{arrivesAfter, std::nullopt}; });
    }
    void setPolicy(Policy policy) {
        locked([&] { policy_ = policy; });
    }
    void refuseCoordination(bool refuse) {
        locked([&] { refuseCoordination_ = refuse; });
    }
    // Coordination waits, as for a companion app holding the file, until its
    // bound cancels it.
    void holdCoordination(bool hold) {
        locked([&] { holdCoordination_ = hold; });
    }
    // The `k`-th call from now on (1: the next one) fails with errno `code`
    // (ENOSPC: the disk fills there).
    void failCall(int k, int code) {
        locked([&] { failAt_ = k > 0 ? calls_ + k : 0, failCode_ = code; });
    }
    // Every call of `operation` ("rename", "link", "open", ...) fails with
    // errno `code` until told otherwise (0): a fault that does not go away.
    void failAlways(const std::string& operation, int code) {
        locked([&] { failing_[operation] = code; });
    }
    // Both clocks move on by `duration`; sleeping moves them the same way.
    void advanceClock(std::chrono::nanoseconds duration) {
        locked([&] { advanced_ += duration; });
    }
    // The environment variable as the process would see it; nothing unsets it.
    void setEnvironment(const std::string& name, std::optional<std::string> value) {
        locked([&] { environment_[name] = std::move(value); });
    }

    // Change notifications, told for every change on the disk in the folders
    // a reader watches (found at each drain) unless `missing`: then no watch
    // is had at all, as on a network share.
    void setNotificationsMissing(bool missing) {
        locked([&] { notificationsMissing_ = missing; });
    }
    // The next drain tells nothing of what changed, only that changes were
    // lost, as a full event queue or a dropped stream does.
    void dropNotifications();

    int calls() const {
        return locked([&] { return calls_; });
    }
    // Every folder listed so far, in order: what a kept listing saves.
    std::vector<std::string> listed() const {
        return locked([&] { return listed_; });
    }
    // Calls that would have waited on an evicted entry: none may happen
    // where the server's thread must stay within its bound.
    int blockedCalls() const {
        return locked([&] { return blocked_; });
    }

    Expected<EntryInfo, Error> stat(const std::string& path) override;
    Expected<std::vector<DirEntry>, Error> list(const std::string& folder, bool skipHidden, bool fetchIsDirectory) override;
    Status readInto(const std::string& path, std::string& buffer, uint64_t limit) override;
    Expected<std::string, Error> realPath(const std::string& path) override;
    Status createDirectories(const std::string& folder) override;
    Expected<StagedFile, Error> stage(const std::string& target, std::string_view data) override;
    Status replace(StagedFile& staged, const std::string& target) override;
    Status renameNoReplace(const std::string& from, const std::string& to) override;
    Status hardLink(const std::string& from, const std::string& to) override;
    Status createExclusive(const std::string& path, std::string_view data) override;
    Status remove(const std::string& path) override;
    void removeStaleTemporaries(const std::string& folder, std::chrono::seconds age) override;
    // Stamps and locks are the disk's own: a provider keeps an evicted
    // entry's metadata, and locks are never evicted.
    std::optional<FileStamp> stampOf(const std::string& path, bool folder) override { return disk_->stampOf(path, folder); }
    std::vector<std::optional<FileStamp>> folderStamps(const std::string& folder, const std::vector<std::string>& names) override {
        return disk_->folderStamps(folder, names);
    }
    Expected<FolderLock, Error> lockFolder(const std::string& folder, std::chrono::milliseconds wait) override {
        return disk_->lockFolder(folder, wait);
    }
    Expected<FolderLock, Error> lockFile(const std::string& file, std::chrono::milliseconds wait) override { return disk_->lockFile(file, wait); }
    std::shared_ptr<ChangeWatch> watch(const std::string& root) override;
    Status requestDownload(const std::string& path) override;
    Status coordinateReading(const std::string& path, std::chrono::milliseconds bound, const std::function<void(const std::string&)>& block) override;
    Status coordinateWriting(const std::string& path, std::chrono::milliseconds bound, const std::function<void(const std::string&)>& block) override;
    int64_t wallClockNs() override;
    std::chrono::steady_clock::time_point steadyNow() override;
    void sleepFor(std::chrono::nanoseconds duration) override;
    std::optional<std::string> environment(const std::string& name) override;
    std::string homeDirectory() override;
    std::optional<std::string> homeDirectoryOf(const std::string& user) override { return disk_->homeDirectoryOf(user); }
    std::string currentDirectory() override { return disk_->currentDirectory(); }

protected:
    void discard(const std::string& temporary) noexcept override;

private:
    using Clock = std::chrono::steady_clock;
    struct Evicted {
        std::optional<std::chrono::milliseconds> arrivesAfter;
        std::optional<Clock::time_point> arrival;  // set by the first request
    };

    template <class F>
    auto locked(F f) const -> decltype(f()) {
        std::lock_guard lock(mutex_);
        return f();
    }
    // The call counted, failed when told to, then the content below `where`
    // reached; `forward` on the disk when none of these fails.
    template <class F>
    auto guarded(const char* operation, const std::string& path, const std::string& where, bool orSelf, F forward) -> decltype(forward());
    // Counts the call; the injected failure when it is the one to fail, or
    // when its operation always fails.
    std::optional<Error> enter(const char* operation, const std::string& path);
    // The evicted entry above `path` (or at it, when `orSelf`) that has not
    // arrived yet; entries whose download has landed are dropped on the way.
    std::map<std::string, Evicted>::iterator evictedAt(const std::string& path, bool orSelf);
    // Reaching the content below an evicted entry: EDEADLK, or (blocking) a
    // wait for its download.
    std::optional<Error> touch(const char* operation, const std::string& path, bool orSelf);
    void schedule(Evicted& entry);
    // Either coordination: the block runs unless the call fails or is refused.
    Status coordinate(
        const char* operation, const std::string& path, std::chrono::milliseconds bound, const std::function<void(const std::string&)>& block);

    std::shared_ptr<FileSystem> disk_;
    mutable std::mutex mutex_;
    std::map<std::string, Evicted> evicted_;
    Policy policy_ = Policy::fail;
    bool refuseCoordination_ = false;
    bool holdCoordination_ = false;
    int calls_ = 0;
    std::vector<std::string> listed_;
    int blocked_ = 0;
    int failAt_ = 0;
    int failCode_ = 0;
    std::map<std::string, int> failing_;  // by operation
    std::chrono::nanoseconds advanced_{0};
    std::map<std::string, std::optional<std::string>> environment_;
    bool notificationsMissing_ = false;
    std::vector<std::weak_ptr<SimulatedWatch>> watches_;
};

}  // namespace qs::Platform
