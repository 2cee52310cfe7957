// Listing day folders once, and again only when they change.
#include "vault/day_folders.hpp"

#include <algorithm>      // std::sort
#include <cstdint>        // int64_t
#include <functional>     // std::hash
#include <unordered_map>  // std::unordered_multimap

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
    const int64_t listedAt = vault.fs().wallClockNs();
    auto stamp = vault.fs().stampOf(folder, /*folder=*/true);
    if (base.trusted && stamp && stamp == base.stamp) return base;
    std::vector<Day> days;
    if (auto entries = vault.fs().list(folder, /*skipHidden=*/false, /*fetchIsDirectory=*/false)) {
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
    return base;
}

void DayFolders::fresh(
    const Vault& vault, const Base& base, Day& day, const std::optional<Platform::FileStamp>& stamp) {
    if (day.trusted && stamp == day.stamp) return;
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
    // Day folders are stamped a batch at a time, the batch doubling, so an id
    // found in the newest few costs few stamps and a full scan few batches.
    std::vector<std::string> batch;
    std::vector<std::optional<Platform::FileStamp>> stamps;
    for (size_t d = 0, first = 0; d < base.days.size() && open > 0; ++d) {
        if (d == first + stamps.size()) {
            first = d;
            batch.clear();
            for (size_t k = d; k < std::min(base.days.size(), d + std::max<size_t>(16, d)); ++k) {
                batch.push_back(base.days[k].name);
            }
            stamps = vault.fs().folderStamps(base.folder, batch);
        }
        Day& day = base.days[d];
        fresh(vault, base, day, stamps[d - first]);
        for (size_t n = 0; n < day.hashes.size(); ++n) {
            for (auto [hit, end] = wanted.equal_range(day.hashes[n]); hit != end; ++hit) {
                const size_t k = hit->second;
                const size_t i = k / suffixes.size();
                if (found[i] || day.names[n] != keys[k]) continue;
                // The test a plain scan makes: it says what a case-blind file
                // system makes of the name, and turns away a dangling link.
                const std::string folder = base.folder + "/" + day.name;
                const std::string& file = files[k];
                if (!vault.fs().exists(folder + "/" + file) &&
                    !vault.fs().exists(cloudPlaceholderOf(folder + "/" + file))) {
                    continue;
                }
                found[i] = day.name;
                --open;
            }
        }
    }
    return found;
}

}  // namespace qs
