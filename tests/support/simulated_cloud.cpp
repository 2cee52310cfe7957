// The simulated cloud provider: real files on disk, with eviction, download
// timing, refused or held coordination and failing calls laid over them.
#include "support/simulated_cloud.hpp"

#include <utility>  // std::move, std::exchange, std::pair

namespace qs::Platform {

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

}  // namespace qs::Platform
