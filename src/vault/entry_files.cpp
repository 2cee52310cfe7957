// Finds the day folder holding an entry's files and builds their locations.
#include "vault/entry_files.hpp"

#include <algorithm>    // std::sort
#include <array>        // std::array
#include <functional>   // std::greater
#include <string_view>  // std::string_view

#include "platform/file_system.hpp"
#include "text/dates.hpp"
#include "text/unicode.hpp"
#include "vault/path_component.hpp"
#include "vault/vault_io.hpp"

namespace qs {
namespace {

constexpr std::array<std::string_view, 3> kInsightsSuffixes{
    kindOf(EntryFile::summary).suffix, kindOf(EntryFile::minutes).suffix, kindOf(EntryFile::meta).suffix};
constexpr std::array<std::string_view, 2> kOutputsSuffixes{kindOf(EntryFile::transcriptText).suffix,
                                                           kindOf(EntryFile::transcriptJson).suffix};

// Whether the reading location of `subpath` under `base` exists: it is the
// layout's own file when that exists, else (English layout only) the legacy
// one when that exists. Two look-ups at most, where resolving the location
// and then testing it would take three.
bool existsForReading(const Vault& vault, VaultPath base, const std::string& subpath) {
    if (vault.fs().exists(vault.writingPath(base, subpath))) return true;
    if (vault.schema == PathSchema::legacyChineseV1) return false;
    return vault.fs().exists(
        Platform::joinPath(Platform::joinPath(vault.root, VaultPathResolver::resolve(base, PathSchema::legacyChineseV1)), subpath));
}

// Whether `day` under `base` (the layout's own folder, then the legacy one)
// holds one of the entry's files in any form: present, evicted under its own
// name, or only its iCloud placeholder. All three are the entry's current
// version on that day. An evicted day folder is brought down (within the
// download wait) before its names are looked at; one that does not arrive,
// or a folder the system cannot look into, counts as holding the entry: the
// day the index names is then kept rather than an older copy elsewhere.
template <size_t N>
bool hasFileUnder(const Vault& vault, VaultPath base, const std::string& day, const std::string& id,
                  const std::array<std::string_view, N>& suffixes) {
    std::string folders[2] = {vault.writingPath(base, day)};
    if (vault.schema != PathSchema::legacyChineseV1) {
        folders[1] = Platform::joinPath(Platform::joinPath(vault.root, VaultPathResolver::resolve(base, PathSchema::legacyChineseV1)), day);
    }
    for (const std::string& folder : folders) {
        if (folder.empty()) continue;
        auto info = vault.fs().stat(folder);
        if (!info) {
            if (info.error().kind == Platform::Error::Kind::absent) continue;
            return true;
        }
        if (info->dataless && !VaultIO::ensureDownloaded(vault, folder)) return true;
        for (std::string_view suffix : suffixes) {
            auto presence = VaultIO::presenceOf(vault, folder + "/" + id + std::string(suffix));
            if (!presence || *presence != VaultIO::Presence::absent) return true;
        }
    }
    return false;
}

// The newest day folder (by name) under `base` that holds one of the files.
template <size_t N>
std::optional<std::string> scanForDay(const EntryFolderMemo::Listing& listing, const std::string& id,
                                      const std::array<std::string_view, N>& suffixes) {
    if (!listing.days) return std::nullopt;
    for (const std::string& name : *listing.days) {
        for (std::string_view suffix : suffixes) {
            if (listing.handle.has(name + "/" + id + std::string(suffix))) return name;
        }
    }
    return std::nullopt;
}

}  // namespace

const EntryFolderMemo::Listing& EntryFolderMemo::listing(const Vault& vault, VaultPath base) {
    std::optional<Listing>& slot = listings_[base == VaultPath::insightsDir ? 0 : 1];
    if (slot) return *slot;
    Listing& made = slot.emplace();
    made.folder = vault.path(base);
    if (auto entries = vault.fs().list(made.folder, /*skipHidden=*/false, /*fetchIsDirectory=*/false)) {
        std::vector<std::string>& days = made.days.emplace();
        for (auto& entry : *entries) {
            if (Text::isDayShape(entry.name)) days.push_back(std::move(entry.name));
        }
        std::sort(days.begin(), days.end(), std::greater<>());
        made.handle = Platform::FolderHandle(made.folder);
    }
    return made;
}

VaultFiles VaultFiles::locate(const Vault& vault, const std::string& id, const std::string& hintDay) {
    EntryFolderMemo memo;
    return locate(vault, id, hintDay, memo);
}

VaultFiles VaultFiles::locate(const Vault& vault, const std::string& id, const std::string& hintDay,
                              EntryFolderMemo& memo) {
    // The hint comes from index text that another application wrote, so it
    // must never steer a path outside its base folder.
    const std::string hint = isSinglePathComponent(hintDay) ? hintDay : std::string();
    if (!isSinglePathComponent(id)) return VaultFiles{&vault, id, hint};
    if (!hint.empty() && (hasFileUnder(vault, VaultPath::insightsDir, hint, id, kInsightsSuffixes) ||
                          hasFileUnder(vault, VaultPath::outputsDir, hint, id, kOutputsSuffixes))) {
        return VaultFiles{&vault, id, hint};
    }
    if (auto day = scanForDay(memo.listing(vault, VaultPath::insightsDir), id, kInsightsSuffixes)) {
        return VaultFiles{&vault, id, *day};
    }
    if (auto day = scanForDay(memo.listing(vault, VaultPath::outputsDir), id, kOutputsSuffixes)) {
        return VaultFiles{&vault, id, *day};
    }
    return VaultFiles{&vault, id, hint};
}

std::string VaultFiles::path(EntryFile file) const {
    return vault->path(kindOf(file).base, day + "/" + id + std::string(kindOf(file).suffix));
}

bool VaultFiles::has(EntryFile file) const {
    return existsForReading(*vault, kindOf(file).base, day + "/" + id + std::string(kindOf(file).suffix));
}

std::string VaultFiles::forWriting(EntryFile file) const {
    return vault->writingPath(kindOf(file).base, day + "/" + id + std::string(kindOf(file).suffix));
}

std::string VaultFiles::archivePath(EntryFile file, std::chrono::system_clock::time_point at) const {
    return vault->writingPath(VaultPath::metaDir,
                              "minutes-history/" + id + "/" + Text::archiveStamp(at) + std::string(kindOf(file).suffix));
}

}  // namespace qs
