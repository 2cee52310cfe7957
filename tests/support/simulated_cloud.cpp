// The simulated cloud provider: real files on disk, with eviction, download
// timing, refused coordination and failing calls laid over them.
#include "support/simulated_cloud.hpp"

#include <cerrno>              // EDEADLK, ETIMEDOUT
#include <condition_variable>  // std::condition_variable
#include <utility>             // std::move, std::exchange, std::pair

#include "platform/cancel_timer.hpp"

namespace qs::Platform {
namespace {

// Whether the entry at `at` is `path` itself (when `orSelf`) or a folder above it.
bool covers(const std::string& at, const std::string& path, bool orSelf) {
    if (orSelf && path == at) return true;
    return path.size() > at.size() && path.compare(0, at.size(), at) == 0 && path[at.size()] == '/';
}

}  // namespace

// Tells what changed by comparing, at each drain, every watched folder with
// what it held at the last one: the simulation sees every change made on the
// disk, the tests' own included, the moment it is drained.
class SimulatedWatch final : public ChangeWatch {
public:
    SimulatedWatch(std::shared_ptr<FileSystem> disk, std::string root) : disk_(std::move(disk)), root_(std::move(root)) {}

    bool add(const std::string& folder) override {
        if (!folder.starts_with(root_)) return false;
        std::lock_guard lock(mutex_);
        if (folders_.contains(folder)) return true;
        auto names = look(folder);
        if (!names) return false;
        folders_[folder] = std::move(*names);
        return true;
    }

    ChangeBatch drain() override {
        std::lock_guard lock(mutex_);
        ChangeBatch batch;
        for (auto at = folders_.begin(); at != folders_.end();) {
            auto now = look(at->first);
            if (!now) {
                batch.changes.push_back(Change{ChangeKind::deleted, at->first, {}});
                at = folders_.erase(at);
                continue;
            }
            for (const auto& [name, version] : *now) {
                auto old = at->second.find(name);
                if (old == at->second.end() || old->second != version) {
                    batch.changes.push_back(Change{old == at->second.end() ? ChangeKind::created : ChangeKind::changed, at->first + "/" + name, {}});
                }
            }
            for (const auto& [name, version] : at->second) {
                if (!now->contains(name)) batch.changes.push_back(Change{ChangeKind::deleted, at->first + "/" + name, {}});
            }
            at->second = std::move(*now);
            ++at;
        }
        if (std::exchange(dropped_, false)) batch = ChangeBatch{{}, true};
        return batch;
    }

    void drop() {
        std::lock_guard lock(mutex_);
        dropped_ = true;
    }

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
            const std::string path = folder + "/" + entry.name;
            auto& version = versions[entry.name];
            version.first = disk_->stampOf(path, false);
            if (version.first && !disk_->readInto(path, version.second, 1 << 20)) version.second.clear();
        }
        return versions;
    }

    std::shared_ptr<FileSystem> disk_;
    const std::string root_;
    std::mutex mutex_;
    std::map<std::string, Versions> folders_;
    bool dropped_ = false;
};

SimulatedCloud::SimulatedCloud(std::shared_ptr<FileSystem> disk) : disk_(std::move(disk)) {}

void SimulatedCloud::dropNotifications() {
    locked([&] {
        for (const auto& watch : watches_) {
            if (auto live = watch.lock()) live->drop();
        }
    });
}

std::shared_ptr<ChangeWatch> SimulatedCloud::watch(const std::string& root) {
    std::lock_guard lock(mutex_);
    if (notificationsMissing_) return nullptr;
    auto watch = std::make_shared<SimulatedWatch>(disk_, root);
    watches_.push_back(watch);
    return watch;
}

std::optional<Error> SimulatedCloud::enter(const char* operation, const std::string& path) {
    std::lock_guard lock(mutex_);
    if (auto always = failing_.find(operation); always != failing_.end() && always->second != 0) {
        ++calls_;
        return Error::fromErrno(operation, path, always->second);
    }
    if (++calls_ != failAt_) return std::nullopt;
    return Error::fromErrno(operation, path, failCode_);
}

std::map<std::string, SimulatedCloud::Evicted>::iterator SimulatedCloud::evictedAt(const std::string& path, bool orSelf) {
    const auto now = Clock::now() + advanced_;
    for (auto it = evicted_.begin(); it != evicted_.end();) {
        if (it->second.arrival && *it->second.arrival <= now) {
            it = evicted_.erase(it);  // downloaded: an ordinary entry again
            continue;
        }
        if (covers(it->first, path, orSelf)) return it;
        ++it;
    }
    return evicted_.end();
}

void SimulatedCloud::schedule(Evicted& entry) {
    if (!entry.arrival && entry.arrivesAfter) entry.arrival = Clock::now() + advanced_ + *entry.arrivesAfter;
}

std::optional<Error> SimulatedCloud::touch(const char* operation, const std::string& path, bool orSelf) {
    std::optional<Clock::time_point> arrival;
    {
        std::lock_guard lock(mutex_);
        auto it = evictedAt(path, orSelf);
        if (it == evicted_.end()) return std::nullopt;
        if (policy_ == Policy::fail) return Error::fromErrno(operation, path, EDEADLK);
        // Materialisation on: the access itself asks for the download and waits.
        ++blocked_;
        schedule(it->second);
        arrival = it->second.arrival;
    }
    // A provider that never delivers would hold the thread for good; the
    // count above is what tells, so the call ends here instead.
    if (!arrival) return Error::fromErrno(operation, path, EDEADLK);
    sleepFor(*arrival - steadyNow());
    return std::nullopt;
}

template <class F>
auto SimulatedCloud::guarded(const char* operation, const std::string& path, const std::string& where, bool orSelf, F forward)
    -> decltype(forward()) {
    if (auto failure = enter(operation, path)) return *failure;
    if (auto failure = touch(operation, where, orSelf)) return *failure;
    return forward();
}

Expected<EntryInfo, Error> SimulatedCloud::stat(const std::string& path) {
    // Looking a name up inside an evicted folder needs the folder's listing.
    auto info = guarded("stat", path, path, false, [&] { return disk_->stat(path); });
    if (info) info->dataless = locked([&] { return evictedAt(path, true) != evicted_.end(); });
    return info;
}

Expected<std::vector<DirEntry>, Error> SimulatedCloud::list(const std::string& folder, bool skipHidden, bool fetchIsDirectory) {
    if (auto failure = enter("list", folder)) return *failure;
    locked([&] { listed_.push_back(folder); });
    if (auto failure = touch("list", folder, true)) return *failure;
    return disk_->list(folder, skipHidden, fetchIsDirectory);
}

Status SimulatedCloud::readInto(const std::string& path, std::string& buffer, uint64_t limit) {
    return guarded("open", path, path, true, [&] { return disk_->readInto(path, buffer, limit); });
}

Expected<std::string, Error> SimulatedCloud::realPath(const std::string& path) {
    return guarded("resolve", path, path, false, [&] { return disk_->realPath(path); });
}

Status SimulatedCloud::createDirectories(const std::string& folder) {
    return guarded("create folder", folder, folder, false, [&] { return disk_->createDirectories(folder); });
}

Expected<StagedFile, Error> SimulatedCloud::stage(const std::string& target, std::string_view data) {
    return guarded("write", target, parentOf(target), true, [&] { return disk_->stage(target, data); });
}

Status SimulatedCloud::replace(StagedFile& staged, const std::string& target) {
    return guarded("rename", target, parentOf(target), true, [&] { return disk_->replace(staged, target); });
}

Status SimulatedCloud::renameNoReplace(const std::string& from, const std::string& to) {
    return guarded("rename", to, parentOf(to), true, [&] { return disk_->renameNoReplace(from, to); });
}

Status SimulatedCloud::hardLink(const std::string& from, const std::string& to) {
    return guarded("link", to, parentOf(to), true, [&] { return disk_->hardLink(from, to); });
}

Status SimulatedCloud::createExclusive(const std::string& path, std::string_view data) {
    return guarded("create", path, parentOf(path), true, [&] { return disk_->createExclusive(path, data); });
}

Status SimulatedCloud::remove(const std::string& path) {
    return guarded("remove", path, parentOf(path), true, [&] { return disk_->remove(path); });
}

void SimulatedCloud::removeStaleTemporaries(const std::string& folder, std::chrono::seconds age) { disk_->removeStaleTemporaries(folder, age); }

Status SimulatedCloud::requestDownload(const std::string& path) {
    if (auto refusal = enter("download", path)) return *refusal;  // refused, as a provider may
    std::lock_guard lock(mutex_);
    // The entry and every evicted folder above it come down.
    for (auto& [at, entry] : evicted_) {
        if (covers(at, path, true)) schedule(entry);
    }
    return {};
}

Status SimulatedCloud::coordinate(
    const char* operation, const std::string& path, std::chrono::milliseconds bound, const std::function<void(const std::string&)>& block) {
    if (auto failure = enter(operation, path)) return *failure;
    bool held = false;
    {
        std::lock_guard lock(mutex_);
        if (refuseCoordination_) return Error{Error::Kind::failed, operation, path, 0, "simulated refusal"};
        held = holdCoordination_;
    }
    if (held) {
        // The coordinator waits until cancelled, as Foundation's does; the
        // system's own timer cancels it at the bound.
        std::mutex waiting;
        std::condition_variable wake;
        bool cancelled = false;
        CancelTimer timer(bound, [&] {
            std::lock_guard lock(waiting);
            cancelled = true;
            wake.notify_all();
        });
        std::unique_lock lock(waiting);
        wake.wait(lock, [&] { return cancelled; });
        return Error{Error::Kind::notDownloaded, operation, path, ETIMEDOUT, "file coordination timed out"};
    }
    block(path);
    return {};
}

Status SimulatedCloud::coordinateReading(
    const std::string& path, std::chrono::milliseconds bound, const std::function<void(const std::string&)>& block) {
    return coordinate("coordinate reading", path, bound, block);
}

Status SimulatedCloud::coordinateWriting(
    const std::string& path, std::chrono::milliseconds bound, const std::function<void(const std::string&)>& block) {
    return coordinate("coordinate writing", path, bound, block);
}

int64_t SimulatedCloud::wallClockNs() {
    std::lock_guard lock(mutex_);
    return disk_->wallClockNs() + advanced_.count();
}

std::chrono::steady_clock::time_point SimulatedCloud::steadyNow() {
    std::lock_guard lock(mutex_);
    return Clock::now() + advanced_;
}

void SimulatedCloud::sleepFor(std::chrono::nanoseconds duration) {
    if (duration > std::chrono::nanoseconds::zero()) advanceClock(duration);
}

std::optional<std::string> SimulatedCloud::environment(const std::string& name) {
    {
        std::lock_guard lock(mutex_);
        if (auto set = environment_.find(name); set != environment_.end()) return set->second;
    }
    return disk_->environment(name);
}

std::string SimulatedCloud::homeDirectory() {
    if (auto home = environment("HOME"); home && !home->empty()) return *home;
    return disk_->homeDirectory();
}

// Staged files are made by the disk below, which removes them itself.
void SimulatedCloud::discard(const std::string&) noexcept {}

}  // namespace qs::Platform
