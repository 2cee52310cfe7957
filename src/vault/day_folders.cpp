// Listing day folders once, and again only when they change.
#include "vault/day_folders.hpp"

#include <algorithm>      // std::sort, std::lower_bound
#include <cstdint>        // int64_t
#include <functional>     // std::hash
#include <unordered_map>  // std::unordered_multimap

#include "platform/paths.hpp"
#include "text/unicode.hpp"
#include "vault/vault_io.hpp"

namespace qs {
namespace {

std::string asciiLowered(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// A placeholder stands where its file would.
std::string standsFor(std::string name) {
    if (auto target = placeholderTarget(name)) return asciiLowered(std::string(*target));
    return asciiLowered(std::move(name));
}

}  // namespace

DayFolders::Base& DayFolders::fresh(const Vault& vault, VaultPath location) {
    Base& base = bases_[location == VaultPath::insightsDir ? 0 : 1];
    const std::string folder = vault.path(location);
    if (folder != base.folder) {
        base = Base();
        base.folder = folder;
    }
    if (base.watched) return base;
    // Watched before it is stamped or listed: a change after either is told.
    const bool watched = watch_ && watch_->add(folder);
    const int64_t listedAt = vault.fs().wallClockNs();
    auto stamp = vault.fs().stampOf(folder, /*folder=*/true);
    if (base.trusted && stamp && stamp == base.stamp) {
        base.watched = watched;
        return base;
    }
    std::vector<Day> days;
    auto entries = vault.fs().list(folder, /*skipHidden=*/false, /*fetchIsDirectory=*/false);
    if (entries) {
        for (auto& entry : *entries) {
            if (Text::isDayShape(entry.name)) days.emplace_back().name = std::move(entry.name);
        }
    }
    auto newer = [](const Day& a, const Day& b) { return a.name > b.name; };
    std::sort(days.begin(), days.end(), newer);
    // A day folder of the same name keeps what was learnt of it: its own
    // stamp still says whether that holds.
    auto old = base.days.begin();
    for (Day& day : days) {
        while (old != base.days.end() && newer(*old, day)) ++old;
        if (old != base.days.end() && old->name == day.name) day = std::move(*old++);
    }
    base.days = std::move(days);
    base.trusted = Platform::FileStamp::settled(stamp, vault.fs().stampOf(folder, /*folder=*/true), listedAt);
    base.stamp = stamp;
    base.watched = watched && entries;
    return base;
}

void DayFolders::fresh(
    const Vault& vault, const Base& base, Day& day, const std::optional<Platform::FileStamp>& stamp, bool watched) {
    day.watched = false;
    if (day.trusted && stamp == day.stamp) {
        day.watched = watched;
        return;
    }
    const std::string folder = base.folder + "/" + day.name;
    const int64_t listedAt = vault.fs().wallClockNs();
    day.names.clear();
    day.hashes.clear();
    // An evicted day folder is listed only once iCloud has brought it down
    // (within the download wait): a listing of it would fail or block. Until
    // then it is not trusted, so the next call looks again rather than take
    // it for empty.
    auto info = vault.fs().stat(folder);
    const bool here = info && (!info->dataless || VaultIO::ensureDownloaded(vault, folder));
    auto entries = here ? vault.fs().list(folder, /*skipHidden=*/false, /*fetchIsDirectory=*/false)
                        : Expected<std::vector<Platform::DirEntry>, Platform::Error>(Platform::Error{});
    if (!entries) {
        day.trusted = false;
        return;
    }
    for (Platform::DirEntry& entry : *entries) {
        day.names.push_back(standsFor(std::move(entry.name)));
        day.hashes.push_back(std::hash<std::string>()(day.names.back()));
    }
    day.trusted = Platform::FileStamp::settled(stamp, vault.fs().stampOf(folder, /*folder=*/true), listedAt);
    day.stamp = stamp;
    day.watched = watched;
}

void DayFolders::note(const Platform::ChangeBatch& batch, std::shared_ptr<Platform::ChangeWatch> watch) {
    watch_ = std::move(watch);
    for (Base& base : bases_) {
        if (batch.overflow || !watch_) {
            base.watched = false;
            for (Day& day : base.days) day.watched = false;
            continue;
        }
        for (const Platform::Change& change : batch.changes) {
            // A listing keeps names: a file written in place leaves it as it was.
            if (change.kind == Platform::ChangeKind::changed) continue;
            unwatch(base, change.path);
            if (!change.from.empty()) unwatch(base, change.from);
        }
    }
}

void DayFolders::unwatch(Base& base, const std::string& path) {
    if (base.folder.empty()) return;
    if (base.folder.starts_with(path) && (base.folder.size() == path.size() || base.folder[path.size()] == '/')) {
        base.watched = false;  // the base folder itself, or a folder above it
        for (Day& day : base.days) day.watched = false;
        return;
    }
    if (path.size() <= base.folder.size() + 1 || !path.starts_with(base.folder) || path[base.folder.size()] != '/') {
        return;
    }
    const std::string_view inside = std::string_view(path).substr(base.folder.size() + 1);
    const size_t slash = inside.find('/');
    if (slash == std::string_view::npos) base.watched = false;  // a name of the base folder's own
    const std::string_view name = inside.substr(0, slash);
    auto day = std::lower_bound(base.days.begin(), base.days.end(), name,
        [](const Day& d, std::string_view n) { return std::string_view(d.name) > n; });
    if (day != base.days.end() && day->name == name) day->watched = false;
}

std::vector<std::optional<std::string>> DayFolders::newest(const Vault& vault, VaultPath location,
    std::span<const std::string> ids, std::span<const std::string_view> suffixes) {
    std::vector<std::optional<std::string>> found(ids.size());
    if (ids.empty()) return found;
    Base& base = fresh(vault, location);
    // Each id's file names as they are, and as the listing keeps them.
    std::vector<std::string> files, keys;
    std::unordered_multimap<size_t, size_t> wanted;  // by the hash of the kept name
    for (const std::string& id : ids) {
        for (std::string_view suffix : suffixes) {
            files.push_back(id + std::string(suffix));
            keys.push_back(asciiLowered(files.back()));
            wanted.emplace(std::hash<std::string>()(keys.back()), keys.size() - 1);
        }
    }
    size_t open = ids.size();
    // Newest first; a folder is looked at only while some id is still open.
    // Day folders not watched since their listing are stamped a batch at a
    // time, the batch doubling, so an id found in the newest few costs few
    // stamps and a full scan few batches; a watched one costs nothing.
    std::vector<std::string> batch;
    std::vector<std::optional<Platform::FileStamp>> stamps;
    std::vector<char> watched;
    for (size_t d = 0, next = 0; d < base.days.size() && open > 0; ++d) {
        Day& day = base.days[d];
        if (!day.watched) {
            if (next == batch.size()) {
                next = 0;
                batch.clear();
                watched.clear();
                for (size_t k = d; k < base.days.size() && batch.size() < std::max<size_t>(16, d); ++k) {
                    if (k > d && base.days[k].watched) continue;
                    batch.push_back(base.days[k].name);
                    watched.push_back(static_cast<char>(watch_ && watch_->add(base.folder + "/" + batch.back())));
                }
                stamps = vault.fs().folderStamps(base.folder, batch);
            }
            fresh(vault, base, day, stamps[next], watched[next] != 0);
            ++next;
        }
        for (size_t n = 0; n < day.hashes.size(); ++n) {
            for (auto [hit, end] = wanted.equal_range(day.hashes[n]); hit != end; ++hit) {
                const size_t k = hit->second;
                const size_t i = k / suffixes.size();
                if (found[i] || day.names[n] != keys[k]) continue;
                // The test a plain scan makes: it says what a case-blind file
                // system makes of the name, and turns away a dangling link.
                const std::string path = Platform::joinPath(Platform::joinPath(base.folder, day.name), files[k]);
                if (!vault.fs().exists(path) && !vault.fs().exists(cloudPlaceholderOf(path))) continue;
                found[i] = day.name;
                --open;
            }
        }
    }
    return found;
}

}  // namespace qs
