// The simulated cloud provider: real files on disk, with eviction, download
// timing, refused or held coordination and failing calls laid over them.
#include "support/simulated_cloud.hpp"

#include <cerrno>   // EDEADLK, ETIMEDOUT
#include <future>   // std::promise
#include <utility>  // std::move, std::exchange, std::pair

#include "platform/cancel_timer.hpp"

namespace qs::Platform {
namespace {

// Whether the entry at `at` is `path` itself (when `orSelf`) or a folder above it.
bool covers(const std::string& at, const std::string& path, bool orSelf) {
    return (orSelf && path == at) || (path.starts_with(at) && path.size() > at.size() && path[at.size()] == '/');
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
        if (names) folders_[folder] = std::move(*names);
        return names.has_value();
    }

    ChangeBatch drain() override {
        std::lock_guard lock(mutex_);
        ChangeBatch batch;
        auto tell = [&](ChangeKind kind, const std::string& path) { batch.changes.push_back({kind, path, {}}); };
        for (auto at = folders_.begin(); at != folders_.end();) {
            auto now = look(at->first);
            if (!now) {
                tell(ChangeKind::deleted, at->first);
                at = folders_.erase(at);
                continue;
            }
            for (const auto& [name, version] : *now) {
                auto old = at->second.find(name);
                if (old == at->second.end())
                    tell(ChangeKind::created, at->first + "/" + name);
                else if (old->second != version)
                    tell(ChangeKind::changed, at->first + "/" + name);
            }
            for (const auto& [name, version] : at->second)
                if (!now->contains(name)) tell(ChangeKind::deleted, at->first + "/" + name);
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
            auto& [stamp, bytes] = versions[entry.name];
            stamp = disk_->stampOf(folder + "/" + entry.name, false);
            if (stamp && !disk_->readInto(folder + "/" + entry.name, bytes, 1 << 20)) bytes.clear();
        }
        return versions;
    }

    std::shared_ptr<FileSystem> disk_;
    const std::string root_;
    std::mutex mutex_;
    std::map<std::string, Versions> folders_;
    bool dropped_ = false;
};

void SimulatedCloud::dropNotifications() {
    std::lock_guard lock(mutex_);
    for (const auto& watch : watches_)
        if (auto live = watch.lock()) live->drop();
}

std::shared_ptr<ChangeWatch> SimulatedCloud::watch(const std::string& root) {
    if (notificationsMissing_) return nullptr;
    auto watch = std::make_shared<SimulatedWatch>(disk_, root);
    std::lock_guard lock(mutex_);
    watches_.push_back(watch);
    return watch;
}

std::optional<Error> SimulatedCloud::enter(const char* operation, const std::string& path) {
    std::lock_guard lock(mutex_);
    const int always = failing_[operation], call = ++calls_;
    if (always || call == failAt_) return Error::fromErrno(operation, path, always ? always : failCode_);
    return std::nullopt;
}

SimulatedCloud::Evicted* SimulatedCloud::evictedAt(const std::string& path, bool orSelf) {
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

std::optional<Error> SimulatedCloud::touch(const char* operation, const std::string& path, bool orSelf) {
    std::optional<std::chrono::steady_clock::time_point> arrival;
    {
        std::lock_guard lock(mutex_);
        Evicted* entry = evictedAt(path, orSelf);
        if (!entry) return std::nullopt;
        if (policy_ == Policy::fail) return Error::fromErrno(operation, path, EDEADLK);
        // Materialisation on: the access itself asks for the download and waits.
        ++blocked_;
        schedule(*entry);
        arrival = entry->arrival;
    }
    // A provider that never delivers would hold the thread for good; the
    // count above is what tells, so the call ends here instead.
    if (!arrival) return Error::fromErrno(operation, path, EDEADLK);
    sleepFor(*arrival - steadyNow());
    return std::nullopt;
}

Expected<EntryInfo, Error> SimulatedCloud::stat(const std::string& path) {
    // Looking a name up inside an evicted folder needs the folder's listing.
    auto info = guarded("stat", path, false, [&] { return disk_->stat(path); });
    std::lock_guard lock(mutex_);
    if (info) info->dataless = evictedAt(path, true) != nullptr;
    return info;
}

Expected<std::vector<DirEntry>, Error> SimulatedCloud::list(const std::string& folder, bool skipHidden, bool fetchIsDirectory) {
    if (auto failure = enter("list", folder)) return *failure;
    {
        std::lock_guard lock(mutex_);
        listed_.push_back(folder);
    }
    if (auto failure = touch("list", folder, true)) return *failure;
    return disk_->list(folder, skipHidden, fetchIsDirectory);
}

Status SimulatedCloud::requestDownload(const std::string& path) {
    if (auto refusal = enter("download", path)) return *refusal;  // refused, as a provider may
    // The entry and every evicted folder above it come down.
    std::lock_guard lock(mutex_);
    for (auto& [at, entry] : evicted_)
        if (covers(at, path, true)) schedule(entry);
    return {};
}

void SimulatedCloud::schedule(Evicted& entry) {
    if (!entry.arrival && entry.arrivesAfter) entry.arrival = steadyNow() + *entry.arrivesAfter;
}

Status SimulatedCloud::coordinate(const char* operation, const std::string& path, Ms bound, const Block& block) {
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

std::optional<std::string> SimulatedCloud::environment(const std::string& name) {
    {
        std::lock_guard lock(mutex_);
        if (auto set = environment_.find(name); set != environment_.end()) return set->second;
    }
    return disk_->environment(name);
}

}  // namespace qs::Platform
