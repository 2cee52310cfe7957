// Listing day folders once, and again only when they change.
#include "vault/day_folders.hpp"

#include <algorithm>   // std::sort, std::binary_search
#include <chrono>      // std::chrono::system_clock
#include <functional>  // std::greater

#include "text/unicode.hpp"

namespace qs {
namespace {

// As the kept index's: more than the timestamp granularity of any file
// system a vault lives on.
constexpr int64_t kRacyWindowNs = 2'000'000'000;

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Trusted when nothing moved during the listing and the last change lies
// before the racy window.
bool settled(const std::optional<Platform::FileStamp>& before, const std::optional<Platform::FileStamp>& after,
             int64_t listedAt) {
    return before && after && *before == *after && before->modifiedNs < listedAt - kRacyWindowNs &&
           before->changedNs < listedAt - kRacyWindowNs;
}

std::string asciiLowered(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// A placeholder stands where its file would: ".X.min.md.icloud" is "X.min.md".
std::string standsFor(std::string name) {
    constexpr std::string_view tail = ".icloud";
    if (name.size() > tail.size() + 1 && name[0] == '.' && name.ends_with(tail)) {
        name = name.substr(1, name.size() - 1 - tail.size());
    }
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
    const int64_t listedAt = nowNs();
    auto stamp = Platform::folderStampOf(folder);
    if (base.trusted && stamp && stamp == base.stamp) return base;
    // A day folder of the same name keeps what was learnt of it: its own
    // stamp still says whether that holds.
    base.handle = Platform::FolderHandle(folder);
    base.dayNames.clear();
    if (auto entries = Platform::listDirectory(folder, /*skipHidden=*/false, /*fetchIsDirectory=*/false)) {
        for (auto& entry : *entries) {
            if (Text::isDayShape(entry.name)) base.dayNames.push_back(std::move(entry.name));
        }
    }
    std::sort(base.dayNames.begin(), base.dayNames.end(), std::greater<>());
    std::erase_if(base.days, [&](const auto& day) {
        return !std::binary_search(base.dayNames.begin(), base.dayNames.end(), day.first, std::greater<>());
    });
    base.trusted = settled(stamp, Platform::folderStampOf(folder), listedAt);
    base.stamp = stamp;
    return base;
}

const DayFolders::Day& DayFolders::fresh(Base& base, const std::string& name) {
    Day& day = base.days[name];
    const int64_t listedAt = nowNs();
    auto stamp = base.handle.stampOf(name);
    if (day.trusted && stamp == day.stamp) return day;
    day.names.clear();
    if (auto names = base.handle.namesIn(name)) {
        for (std::string& entry : *names) day.names.push_back(standsFor(std::move(entry)));
    }
    std::sort(day.names.begin(), day.names.end());
    day.trusted = settled(stamp, base.handle.stampOf(name), listedAt);
    day.stamp = stamp;
    return day;
}

std::vector<std::optional<std::string>> DayFolders::newest(const Vault& vault, VaultPath location,
                                                           std::span<const std::string> ids,
                                                           std::span<const std::string_view> suffixes) {
    std::vector<std::optional<std::string>> found(ids.size());
    if (ids.empty()) return found;
    Base& base = fresh(vault, location);
    // Each id's file names, as they are and as the listing keeps them.
    std::vector<std::string> files, keys;
    for (const std::string& id : ids) {
        for (std::string_view suffix : suffixes) {
            files.push_back(id + std::string(suffix));
            keys.push_back(asciiLowered(files.back()));
        }
    }
    std::vector<size_t> open(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) open[i] = i;
    // Newest first; a folder is looked at only while some id is still open.
    for (const std::string& name : base.dayNames) {
        if (open.empty()) break;
        const Day& day = fresh(base, name);
        std::erase_if(open, [&](size_t i) {
            for (size_t k = i * suffixes.size(); k < (i + 1) * suffixes.size(); ++k) {
                if (!std::binary_search(day.names.begin(), day.names.end(), keys[k])) continue;
                // The test a plain scan makes: it says what a case-blind file
                // system makes of the name, and turns away a dangling link.
                if (base.handle.has(name + "/" + files[k]) || base.handle.has(name + "/." + files[k] + ".icloud")) {
                    found[i] = name;
                    return true;
                }
            }
            return false;
        });
    }
    return found;
}

}  // namespace qs
