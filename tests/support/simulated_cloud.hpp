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
#include <utility>   // std::move, std::pair
#include <vector>    // std::vector

#include "platform/cancel_timer.hpp"
#include "platform/file_system.hpp"

namespace qs::Platform {

// Tells what changed by comparing, at each drain, every watched folder with
// what it held at the last one: the simulation sees every change made on the
// disk, the tests' own included, the moment it is drained.
class SimulatedWatch final : public ChangeWatch {
public:
    explicit SimulatedWatch(std::shared_ptr<FileSystem> disk) : disk_(std::move(disk)) {}

    bool add(const std::string& folder) override {
        std::lock_guard lock(mutex_);
        if (folders_.contains(folder)) return true;
        auto names = look(folder);
        if (names) folders_[folder] = std::move(*names);
        return names.has_value();
    }

    ChangeBatch drain() override {
        std::lock_guard lock(mutex_);
        ChangeBatch batch;
        using enum ChangeKind;
        auto tell = [&](ChangeKind kind, const std::string& path) { batch.changes.push_back({kind, path, {}}); };
        for (auto at = folders_.begin(); at != folders_.end();) {
            auto now = look(at->first);
            if (!now) {
                tell(deleted, at->first);
                at = folders_.erase(at);
                continue;
            }
            const std::string in = at->first + "/";
            for (const auto& [name, version] : *now) {
                auto old = at->second.find(name);
                if (old == at->second.end())
                    tell(created, in + name);
                else if (old->second != version)
                    tell(changed, in + name);
            }
            for (const auto& [name, version] : at->second)
                if (!now->contains(name)) tell(deleted, in + name);
            at->second = std::move(*now);
            ++at;
        }
        if (dropped.exchange(false)) batch = ChangeBatch{{}, true};
        return batch;
    }

    // The next drain tells only that changes were lost.
    std::atomic<bool> dropped = false;

private:
    // Each name in `folder` with what tells a file's versions apart: its stamp
    // and, as a same-size rewrite can keep a coarse clock's stamp, its bytes.
    // A folder has no versions here: what changes inside it is its own news.
    using Versions = std::map<std::string, std::pair<std::optional<FileStamp>, std::string>>;
    std::optional<Versions> look(const std::string& folder) {
        auto entries = disk_->list(folder, false, false);
        if (!entries) return std::nullopt;
        Versions versions;
        for (const DirEntry& entry : *entries) {
            auto& [stamp, bytes] = versions[entry.name];
            stamp = disk_->stampOf(folder + "/" + entry.name, false);
            if (stamp && !disk_->readInto(folder + "/" + entry.name, bytes, 1 << 20)) bytes.clear();
        }
        return versions;
    }

    std::shared_ptr<FileSystem> disk_;
    std::mutex mutex_;
    std::map<std::string, Versions> folders_;
};

class SimulatedCloud final : public FileSystem {
public:
    // What touching an evicted entry's content does before it has arrived:
    // fail at once with EDEADLK (materialisation off), or wait for the
    // download (materialisation on), which a stuck provider never ends: a
    // call that would wait is counted (`blockedCalls`) and failed instead.
    enum class Policy { fail, block };
    using Ms = std::chrono::milliseconds;
    using Path = std::string;
    using Text = std::string;
    template <class T>
    using Opt = std::optional<T>;
    using Clock = std::chrono::steady_clock;
    using Block = std::function<void(const Path&)>;
    using Ns = std::chrono::nanoseconds;
    template <class T>
    using Ex = Expected<T, Error>;

    explicit SimulatedCloud(std::shared_ptr<FileSystem> disk = systemFileSystem()) : disk_(std::move(disk)) {}

    // The file or folder at `path` (on disk) becomes dataless under its own
    // name; once asked for, its download lands `arrivesAfter` later, or never.
    void evict(const Path& path, Opt<Ms> arrivesAfter) {
        auto held = hold();
        evicted_[path] = {arrivesAfter, {}};
    }
    void setPolicy(Policy p) { policy_ = p; }
    void refuseCoordination(bool on) { refuseCoordination_ = on; }
    // Coordination waits, as for a companion app holding the file, until its
    // bound cancels it.
    void holdCoordination(bool on) { holdCoordination_ = on; }
    // The `k`-th call from now on (1: the next one) fails with errno `code`
    // (ENOSPC: the disk fills there).
    void failCall(int k, int code) {
        auto held = hold();
        failAt_ = k > 0 ? calls_ + k : 0, failCode_ = code;
    }
    // Every call of `op` ("rename", "link", "open", ...) fails with errno
    // `code` until told otherwise (0): a fault that does not go away.
    void failAlways(const Text& op, int code) {
        auto held = hold();
        failing_[op] = code;
    }
    // Both clocks move on by `d`; sleeping moves them the same way.
    void advanceClock(Ns d) { advancedNs_ += d.count(); }
    // The environment variable as the process would see it; nothing unsets it.
    void setEnvironment(const Path& name, Text value) {
        auto held = hold();
        environment_[name] = std::move(value);
    }
    // Change notifications, told for every change on the disk in the folders
    // a reader watches (found at each drain) unless `missing`: then no watch
    // is had at all, as on a network share.
    void setNotificationsMissing(bool missing) { notificationsMissing_ = missing; }
    // The next drain tells nothing of what changed, only that changes were
    // lost, as a full event queue or a dropped stream does.
    void dropNotifications() {
        auto held = hold();
        for (const auto& watch : watches_)
            if (auto live = watch.lock()) live->dropped = true;
    }

    int calls() const { return calls_; }
    // Every folder asked to be listed so far, in order: what a kept listing saves.
    std::vector<Text> listed() const {
        auto held = hold();
        return listed_;
    }
    // Calls that would have waited on an evicted entry: none may happen
    // where the server's thread must stay within its bound.
    int blockedCalls() const { return blocked_; }

    // Each call is counted and failed when told to; then, unless it only
    // names the entry (stat, or a write into the folder that holds it), an
    // evicted entry at or above `p` is reached, else one above it.
    Ex<EntryInfo> stat(const Path& p) override {
        // Looking a name up inside an evicted folder needs the folder's listing.
        auto info = guarded("stat", p, [&] { return disk_->stat(p); });
        auto held = hold();
        if (info) info->dataless = evictedAt(p, true);
        return info;
    }
    Ex<std::vector<DirEntry>> list(const Path& f, bool hidden, bool kinds) override {
        {
            auto held = hold();
            listed_.push_back(f);
        }
        return guarded(
            "list", f, [&] { return disk_->list(f, hidden, kinds); }, true);
    }
    Status readInto(const Path& p, Text& out, uint64_t max) override {
        return guarded(
            "open", p, [&] { return disk_->readInto(p, out, max); }, true);
    }
    Ex<Text> realPath(const Path& p) override {
        return guarded("resolve", p, [&] { return disk_->realPath(p); });
    }
    Status createDirectories(const Path& f) override {
        return guarded("create folder", f, [&] { return disk_->createDirectories(f); });
    }
    Ex<StagedFile> stage(const Path& t, std::string_view d) override {
        return guarded("write", t, [&] { return disk_->stage(t, d); });
    }
    Status replace(StagedFile& s, const Path& t) override {
        return guarded("rename", t, [&] { return disk_->replace(s, t); });
    }
    Status renameNoReplace(const Path& a, const Path& b) override {
        return guarded("rename", b, [&] { return disk_->renameNoReplace(a, b); });
    }
    Status hardLink(const Path& a, const Path& b) override {
        return guarded("link", b, [&] { return disk_->hardLink(a, b); });
    }
    Status createExclusive(const Path& p, std::string_view d) override {
        return guarded("create", p, [&] { return disk_->createExclusive(p, d); });
    }
    Status remove(const Path& p) override {
        return guarded("remove", p, [&] { return disk_->remove(p); });
    }
    Status requestDownload(const Path& p) override {
        // refused, as a provider may
        if (auto e = enter("download", p)) return *e;
        // The entry and every evicted folder above it come down.
        auto held = hold();
        for (auto& [at, entry] : evicted_)
            if (covers(at, p, true)) schedule(entry);
        return {};
    }
    Status coordinateReading(const Path& p, Ms bound, const Block& run) override { return coordinate("coordinate reading", p, bound, run); }
    Status coordinateWriting(const Path& p, Ms bound, const Block& run) override { return coordinate("coordinate writing", p, bound, run); }
    std::shared_ptr<ChangeWatch> watch(const Path&) override {
        if (notificationsMissing_) return nullptr;
        auto watch = std::make_shared<SimulatedWatch>(disk_);
        auto held = hold();
        watches_.push_back(watch);
        return watch;
    }
    int64_t wallClockNs() override { return disk_->wallClockNs() + advancedNs_; }
    Clock::time_point steadyNow() override { return Clock::now() + Ns(advancedNs_); }
    void sleepFor(Ns d) override {
        if (d.count() > 0) advanceClock(d);
    }
    Opt<Text> environment(const Path& n) override {
        {
            auto held = hold();
            if (auto set = environment_.find(n); set != environment_.end()) return set->second;
        }
        return disk_->environment(n);
    }
    Text homeDirectory() override { return environment("HOME").value_or(disk_->homeDirectory()); }
    // The rest is the disk's own: a provider keeps an evicted entry's
    // metadata, locks are never evicted, and staged files are made (and
    // removed) by the disk below.
    void removeStaleTemporaries(const Path& f, std::chrono::seconds age) override { disk_->removeStaleTemporaries(f, age); }
    Opt<FileStamp> stampOf(const Path& p, bool f) override { return disk_->stampOf(p, f); }
    std::vector<Opt<FileStamp>> folderStamps(const Path& f, const std::vector<Text>& ns) override { return disk_->folderStamps(f, ns); }
    Ex<FolderLock> lockFolder(const Path& f, Ms w) override { return disk_->lockFolder(f, w); }
    Ex<FolderLock> lockFile(const Path& f, Ms w) override { return disk_->lockFile(f, w); }
    Opt<Text> homeDirectoryOf(const Path& u) override { return disk_->homeDirectoryOf(u); }
    Text currentDirectory() override { return disk_->currentDirectory(); }

protected:
    void discard(const Path&) noexcept override {}

private:
    [[nodiscard]] std::lock_guard<std::mutex> hold() const { return std::lock_guard(mutex_); }
    struct Evicted {
        Opt<Ms> arrivesAfter;
        // set by the first request
        Opt<Clock::time_point> arrival;
    };

    template <class F>
    auto guarded(const char* op, const Path& p, F fwd, bool orSelf = false) -> decltype(fwd()) {
        if (auto e = enter(op, p)) return *e;
        if (auto e = touch(op, p, orSelf)) return *e;
        return fwd();
    }
    // Counts the call; the injected failure when it is the one to fail, or
    // when its operation always fails.
    Opt<Error> enter(const char* op, const Path& p) {
        auto held = hold();
        const int always = failing_[op], call = ++calls_;
        if (always || call == failAt_) return Error::fromErrno(op, p, always ? always : failCode_);
        return std::nullopt;
    }
    // Whether the entry at `at` is `p` itself (when `orSelf`) or a folder above it.
    static bool covers(const Path& at, const Path& p, bool orSelf) {
        return (orSelf && p == at) || (p.starts_with(at) && p.size() > at.size() && p[at.size()] == '/');
    }
    // The evicted entry above `p` (or at it, when `orSelf`) that has not
    // arrived yet: one whose download has landed is an ordinary entry again.
    Evicted* evictedAt(const Path& p, bool orSelf) {
        for (auto& [at, e] : evicted_)
            if (covers(at, p, orSelf) && !(e.arrival && *e.arrival <= steadyNow())) return &e;
        return nullptr;
    }
    // The download asked for: it lands `arrivesAfter` from now, if ever.
    void schedule(Evicted& e) {
        if (!e.arrival && e.arrivesAfter) e.arrival = steadyNow() + *e.arrivesAfter;
    }
    // Reaching the content below an evicted entry before it has arrived.
    Opt<Error> touch(const char* op, const Path& p, bool orSelf) {
        auto held = hold();
        if (!evictedAt(p, orSelf)) return std::nullopt;
        // Materialisation on, the access would wait for the download, for
        // good if it never lands: the count is what tells, so the call ends
        // here instead, as it would with materialisation off.
        if (policy_ == Policy::block) ++blocked_;
        return Error::fromErrno(op, p, EDEADLK);
    }
    // Either coordination: the block runs unless the call fails or is refused.
    Status coordinate(const char* op, const Path& p, Ms bound, const Block& run) {
        if (auto e = enter(op, p)) return *e;
        if (refuseCoordination_) return Error{Error::Kind::failed, op, p, 0, "simulated refusal"};
        if (holdCoordination_) {
            // The coordinator waits until cancelled, as Foundation's does; the
            // system's own timer cancels it at the bound.
            std::promise<void> cancelled;
            CancelTimer timer(bound, [&] { cancelled.set_value(); });
            cancelled.get_future().wait();
            return Error{Error::Kind::notDownloaded, op, p, ETIMEDOUT, "file coordination timed out"};
        }
        run(p);
        return {};
    }

    std::shared_ptr<FileSystem> disk_;
    mutable std::mutex mutex_;
    std::map<Text, Evicted> evicted_;
    std::atomic<Policy> policy_ = Policy::fail;
    std::atomic<bool> refuseCoordination_ = false, holdCoordination_ = false, notificationsMissing_ = false;
    std::atomic<int> calls_ = 0, blocked_ = 0;
    int failAt_ = 0, failCode_ = 0;
    // by operation
    std::map<Text, int> failing_;
    std::atomic<int64_t> advancedNs_ = 0;
    std::map<Text, Text> environment_;
    std::vector<Text> listed_;
    std::vector<std::weak_ptr<SimulatedWatch>> watches_;
};

}  // namespace qs::Platform
