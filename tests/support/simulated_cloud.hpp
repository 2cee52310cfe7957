// A cloud provider simulated over the real disk, behind the same seam as the
// system's: what Linux cannot show (files and folders evicted under their own
// names, reads that fail with EDEADLK or block, downloads that arrive late or
// never, refused or held coordination, calls that fail once or always, a full
// disk, a file system without no-replace renames or hard links) made on
// demand. Its clock moves only when told or slept on, and its environment is
// its own.
#pragma once

#include <atomic>    // std::atomic
#include <cerrno>    // EDEADLK, ETIMEDOUT
#include <chrono>    // std::chrono::milliseconds, nanoseconds, steady_clock
#include <future>    // std::promise
#include <map>       // std::map
#include <memory>    // std::shared_ptr
#include <mutex>     // std::mutex
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

#include "platform/cancel_timer.hpp"
#include "platform/file_system.hpp"

namespace qs::Platform {

class SimulatedWatch;

class SimulatedCloud final : public FileSystem {
public:
    // What touching an evicted entry's content does before it has arrived:
    // fail at once with EDEADLK (materialisation off), or wait for the
    // download (materialisation on), which a stuck provider never ends.
    enum class Policy { fail, block };
    using Ms = std::chrono::milliseconds;
    using Path = std::string;
    using Clock = std::chrono::steady_clock;
    using Block = std::function<void(const Path&)>;

    explicit SimulatedCloud(std::shared_ptr<FileSystem> disk = systemFileSystem()) : disk_(std::move(disk)) {}

    // The file or folder at `path` (on disk) becomes dataless under its own
    // name; once asked for, its download lands `arrivesAfter` later, or never.
    void evict(const Path& path, std::optional<Ms> arrivesAfter) {
        std::lock_guard lock(mutex_);
        evicted_[path] = {arrivesAfter, {}};
    }
    void setPolicy(Policy policy) { policy_ = policy; }
    void refuseCoordination(bool refuse) { refuseCoordination_ = refuse; }
    // Coordination waits, as for a companion app holding the file, until its
    // bound cancels it.
    void holdCoordination(bool hold) { holdCoordination_ = hold; }
    // The `k`-th call from now on (1: the next one) fails with errno `code`
    // (ENOSPC: the disk fills there).
    void failCall(int k, int code) {
        std::lock_guard lock(mutex_);
        failAt_ = k > 0 ? calls_ + k : 0, failCode_ = code;
    }
    // Every call of `operation` ("rename", "link", "open", ...) fails with
    // errno `code` until told otherwise (0): a fault that does not go away.
    void failAlways(const Path& operation, int code) {
        std::lock_guard lock(mutex_);
        failing_[operation] = code;
    }
    // Both clocks move on by `duration`; sleeping moves them the same way.
    void advanceClock(std::chrono::nanoseconds duration) { advancedNs_ += duration.count(); }
    // The environment variable as the process would see it; nothing unsets it.
    void setEnvironment(const Path& name, std::optional<std::string> value) {
        std::lock_guard lock(mutex_);
        environment_[name] = std::move(value);
    }
    // Change notifications, told for every change on the disk in the folders
    // a reader watches (found at each drain) unless `missing`: then no watch
    // is had at all, as on a network share.
    void setNotificationsMissing(bool missing) { notificationsMissing_ = missing; }
    // The next drain tells nothing of what changed, only that changes were
    // lost, as a full event queue or a dropped stream does.
    void dropNotifications();

    int calls() const { return calls_; }
    // Every folder listed so far, in order: what a kept listing saves.
    std::vector<std::string> listed() const {
        std::lock_guard lock(mutex_);
        return listed_;
    }
    // Calls that would have waited on an evicted entry: none may happen
    // where the server's thread must stay within its bound.
    int blockedCalls() const { return blocked_; }

    // Each call is counted and failed when told to; then, unless it only
    // names the entry (stat, or a write into the folder that holds it), an
    // evicted entry at or above `path` is reached, else one above it.
    Expected<EntryInfo, Error> stat(const Path& path) override {
        // Looking a name up inside an evicted folder needs the folder's listing.
        auto info = guarded("stat", path, [&] { return disk_->stat(path); });
        std::lock_guard lock(mutex_);
        if (info) info->dataless = evictedAt(path, true);
        return info;
    }
    Expected<std::vector<DirEntry>, Error> list(const Path& folder, bool skipHidden, bool fetchIsDirectory) override {
        return guarded(
            "list", folder,
            [&] {
                {
                    std::lock_guard lock(mutex_);
                    listed_.push_back(folder);
                }
                return disk_->list(folder, skipHidden, fetchIsDirectory);
            },
            true);
    }
    Status readInto(const Path& path, std::string& buffer, uint64_t limit) override {
        return guarded(
            "open", path, [&] { return disk_->readInto(path, buffer, limit); }, true);
    }
    Expected<std::string, Error> realPath(const Path& path) override {
        return guarded("resolve", path, [&] { return disk_->realPath(path); });
    }
    Status createDirectories(const Path& folder) override {
        return guarded("create folder", folder, [&] { return disk_->createDirectories(folder); });
    }
    Expected<StagedFile, Error> stage(const Path& target, std::string_view data) override {
        return guarded("write", target, [&] { return disk_->stage(target, data); });
    }
    Status replace(StagedFile& staged, const Path& target) override {
        return guarded("rename", target, [&] { return disk_->replace(staged, target); });
    }
    Status renameNoReplace(const Path& from, const Path& to) override {
        return guarded("rename", to, [&] { return disk_->renameNoReplace(from, to); });
    }
    Status hardLink(const Path& from, const Path& to) override {
        return guarded("link", to, [&] { return disk_->hardLink(from, to); });
    }
    Status createExclusive(const Path& path, std::string_view data) override {
        return guarded("create", path, [&] { return disk_->createExclusive(path, data); });
    }
    Status remove(const Path& path) override {
        return guarded("remove", path, [&] { return disk_->remove(path); });
    }
    Status requestDownload(const Path& path) override {
        if (auto refusal = enter("download", path)) return *refusal;  // refused, as a provider may
        // The entry and every evicted folder above it come down.
        std::lock_guard lock(mutex_);
        for (auto& [at, entry] : evicted_)
            if (covers(at, path, true)) schedule(entry);
        return {};
    }
    Status coordinateReading(const Path& path, Ms bound, const Block& block) override { return coordinate("coordinate reading", path, bound, block); }
    Status coordinateWriting(const Path& path, Ms bound, const Block& block) override { return coordinate("coordinate writing", path, bound, block); }
    std::shared_ptr<ChangeWatch> watch(const Path& root) override;
    int64_t wallClockNs() override { return disk_->wallClockNs() + advancedNs_; }
    Clock::time_point steadyNow() override { return Clock::now() + std::chrono::nanoseconds(advancedNs_); }
    void sleepFor(std::chrono::nanoseconds duration) override {
        if (duration.count() > 0) advanceClock(duration);
    }
    std::optional<std::string> environment(const Path& name) override {
        {
            std::lock_guard lock(mutex_);
            if (auto set = environment_.find(name); set != environment_.end()) return set->second;
        }
        return disk_->environment(name);
    }
    std::string homeDirectory() override {
        auto home = environment("HOME");
        return home && !home->empty() ? *home : disk_->homeDirectory();
    }
    // The rest is the disk's own: a provider keeps an evicted entry's
    // metadata, locks are never evicted, and staged files are made (and
    // removed) by the disk below.
    void removeStaleTemporaries(const Path& folder, std::chrono::seconds age) override { disk_->removeStaleTemporaries(folder, age); }
    std::optional<FileStamp> stampOf(const Path& path, bool folder) override { return disk_->stampOf(path, folder); }
    std::vector<std::optional<FileStamp>> folderStamps(const Path& folder, const std::vector<std::string>& names) override {
        return disk_->folderStamps(folder, names);
    }
    Expected<FolderLock, Error> lockFolder(const Path& folder, Ms wait) override { return disk_->lockFolder(folder, wait); }
    Expected<FolderLock, Error> lockFile(const Path& file, Ms wait) override { return disk_->lockFile(file, wait); }
    std::optional<std::string> homeDirectoryOf(const Path& user) override { return disk_->homeDirectoryOf(user); }
    std::string currentDirectory() override { return disk_->currentDirectory(); }

protected:
    void discard(const Path&) noexcept override {}

private:
    struct Evicted {
        std::optional<Ms> arrivesAfter;
        std::optional<Clock::time_point> arrival;  // set by the first request
    };

    template <class F>
    auto guarded(const char* operation, const Path& path, F forward, bool orSelf = false) -> decltype(forward()) {
        if (auto failure = enter(operation, path)) return *failure;
        if (auto failure = touch(operation, path, orSelf)) return *failure;
        return forward();
    }
    // Counts the call; the injected failure when it is the one to fail, or
    // when its operation always fails.
    std::optional<Error> enter(const char* operation, const Path& path) {
        std::lock_guard lock(mutex_);
        const int always = failing_[operation], call = ++calls_;
        if (always || call == failAt_) return Error::fromErrno(operation, path, always ? always : failCode_);
        return std::nullopt;
    }
    // Whether the entry at `at` is `path` itself (when `orSelf`) or a folder above it.
    static bool covers(const Path& at, const Path& path, bool orSelf) {
        return (orSelf && path == at) || (path.starts_with(at) && path.size() > at.size() && path[at.size()] == '/');
    }
    // The evicted entry above `path` (or at it, when `orSelf`) that has not
    // arrived yet; entries whose download has landed are dropped on the way.
    Evicted* evictedAt(const Path& path, bool orSelf) {
        for (auto it = evicted_.begin(); it != evicted_.end();) {
            if (it->second.arrival && *it->second.arrival <= steadyNow()) {
                it = evicted_.erase(it);  // downloaded: an ordinary entry again
            } else if (covers(it->first, path, orSelf)) {
                return &it->second;
            } else {
                ++it;
            }
        }
        return nullptr;
    }
    // The download asked for: it lands `arrivesAfter` from now, if ever.
    void schedule(Evicted& entry) {
        if (!entry.arrival && entry.arrivesAfter) entry.arrival = steadyNow() + *entry.arrivesAfter;
    }
    // Reaching the content below an evicted entry: EDEADLK, or (blocking) a
    // wait for its download.
    std::optional<Error> touch(const char* operation, const Path& path, bool orSelf) {
        std::unique_lock lock(mutex_);
        Evicted* entry = evictedAt(path, orSelf);
        if (!entry) return std::nullopt;
        // Materialisation on: the access itself asks for the download and
        // waits. One that never delivers would hold the thread for good; the
        // count is what tells, so the call ends here instead.
        if (policy_ == Policy::block) ++blocked_, schedule(*entry);
        if (policy_ == Policy::fail || !entry->arrival) return Error::fromErrno(operation, path, EDEADLK);
        const auto arrival = *entry->arrival;
        lock.unlock();
        sleepFor(arrival - steadyNow());
        return std::nullopt;
    }
    // Either coordination: the block runs unless the call fails or is refused.
    Status coordinate(const char* operation, const Path& path, Ms bound, const Block& block) {
        if (auto failure = enter(operation, path)) return *failure;
        if (refuseCoordination_) return Error{Error::Kind::failed, operation, path, 0, "simulated refusal"};
        if (holdCoordination_) {
            // The coordinator waits until cancelled, as Foundation's does; the
            // system's own timer cancels it at the bound.
            std::promise<void> cancelled;
            CancelTimer timer(bound, [&] { cancelled.set_value(); });
            cancelled.get_future().wait();
            return Error{Error::Kind::notDownloaded, operation, path, ETIMEDOUT, "file coordination timed out"};
        }
        block(path);
        return {};
    }

    std::shared_ptr<FileSystem> disk_;
    mutable std::mutex mutex_;
    std::map<std::string, Evicted> evicted_;
    std::atomic<Policy> policy_ = Policy::fail;
    std::atomic<bool> refuseCoordination_ = false, holdCoordination_ = false, notificationsMissing_ = false;
    std::atomic<int> calls_ = 0, blocked_ = 0;
    int failAt_ = 0, failCode_ = 0;
    std::map<std::string, int> failing_;  // by operation
    std::atomic<int64_t> advancedNs_ = 0;
    std::map<std::string, std::optional<std::string>> environment_;
    std::vector<std::string> listed_;
    std::vector<std::weak_ptr<SimulatedWatch>> watches_;
};

}  // namespace qs::Platform
