// Finds the day folder holding an entry's files and builds their locations.
#include "vault/entry_files.hpp"

#include <array>        // std::array
#include <string_view>  // std::string_view
#include <utility>      // std::pair, std::move

#include "platform/file_system.hpp"
#include "platform/paths.hpp"
#include "text/dates.hpp"
#include "text/unicode.hpp"
#include "vault/path_component.hpp"
#include "vault/vault_io.hpp"

namespace qs {
namespace {

constexpr std::array<std::string_view, 3> kInsightsSuffixes{
    kindOf(EntryFile::summary).suffix, kindOf(EntryFile::minutes).suffix, kindOf(EntryFile::meta).suffix};
constexpr std::array<std::string_view, 2> kOutputsSuffixes{
    kindOf(EntryFile::transcriptText).suffix, kindOf(EntryFile::transcriptJson).suffix};

// Whether the reading location of `subpath` under `base` exists: it is the
// layout's own file when that exists, else its read fallback's when that
// exists. Two look-ups at most, where resolving the location and then testing
// it would take three.
bool existsForReading(const Vault& vault, VaultPath base, const std::string& subpath) {
    if (vault.fs().exists(vault.writingPath(base, subpath))) return true;
    auto fallback = vault.fallbackPath(base, subpath);
    return fallback && vault.fs().exists(*fallback);
}

// Whether `day` under `base` (the layout's own folder, then its fallback's)
// holds one of the entry's files in any form: present, evicted under its own
// name, or only its iCloud placeholder. All three are the entry's current
// version on that day. An evicted day folder is brought down (within the
// download wait) before its names are looked at; one that does not arrive,
// or a folder the system cannot look into, counts as holding the entry: the
// day the index names is then kept rather than an older copy elsewhere.
template <size_t N>
bool hasFileUnder(const Vault& vault, VaultPath base, const std::string& day, const std::string& id,
    const std::array<std::string_view, N>& suffixes) {
    const std::string folders[2] = {vault.writingPath(base, day), vault.fallbackPath(base, day).value_or("")};
    for (const std::string& folder : folders) {
        if (folder.empty()) continue;
        auto info = vault.fs().stat(folder);
        if (!info) {
            if (info.error().kind == Platform::Error::Kind::absent) continue;
            return true;
        }
        if (info->dataless && !VaultIO::ensureDownloaded(vault, folder)) return true;
        const std::string stem = Platform::joinPath(folder, id);
        for (std::string_view suffix : suffixes) {
            auto presence = VaultIO::presenceOf(vault, stem + std::string(suffix));
            if (!presence || *presence != VaultIO::Presence::absent) return true;
        }
    }
    return false;
}

}  // namespace

VaultFiles VaultFiles::locate(const Vault& vault, const std::string& id, const std::string& hintDay) {
    DayFolders folders;
    return locate(vault, id, hintDay, folders);
}

VaultFiles VaultFiles::locate(
    const Vault& vault, const std::string& id, const std::string& hintDay, DayFolders& folders) {
    const Wanted entry{id, hintDay};
    return std::move(locateAll(vault, std::span(&entry, 1), folders).front());
}

std::vector<VaultFiles> VaultFiles::locateAll(
    const Vault& vault, std::span<const Wanted> entries, DayFolders& folders) {
    std::vector<VaultFiles> located;
    std::vector<size_t> unseen;  // entries with no file on their hinted day
    for (const Wanted& entry : entries) {
        // The hint comes from index text that another application wrote, so it
        // must never steer a path outside its base folder.
        std::string hint = isSinglePathComponent(entry.hintDay) ? entry.hintDay : std::string();
        const bool onHint = !hint.empty() && isSinglePathComponent(entry.id) &&
                            (hasFileUnder(vault, VaultPath::insightsDir, hint, entry.id, kInsightsSuffixes) ||
                                hasFileUnder(vault, VaultPath::outputsDir, hint, entry.id, kOutputsSuffixes));
        if (!onHint && isSinglePathComponent(entry.id)) unseen.push_back(located.size());
        located.push_back(VaultFiles{&vault, entry.id, std::move(hint)});
    }
    // Insights first; what they do not hold is looked for in the outputs.
    const std::pair<VaultPath, std::span<const std::string_view>> bases[] = {
        {VaultPath::insightsDir, kInsightsSuffixes}, {VaultPath::outputsDir, kOutputsSuffixes}};
    for (const auto& [base, suffixes] : bases) {
        if (unseen.empty()) break;
        std::vector<std::string> ids;
        ids.reserve(unseen.size());
        for (size_t i : unseen) ids.push_back(located[i].id);
        auto days = folders.newest(vault, base, ids, suffixes);
        std::vector<size_t> still;
        for (size_t k = 0; k < unseen.size(); ++k) {
            if (days[k])
                located[unseen[k]].day = std::move(*days[k]);
            else
                still.push_back(unseen[k]);
        }
        unseen = std::move(still);
    }
    return located;
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

std::string VaultFiles::archiveFolder() const { return vault->path(VaultPath::metaDir, "minutes-history/" + id); }

std::string VaultFiles::archivePath(EntryFile file, std::chrono::system_clock::time_point at) const {
    return vault->writingPath(
        VaultPath::metaDir, "minutes-history/" + id + "/" + Text::archiveStamp(at) + std::string(kindOf(file).suffix));
}

}  // namespace qs
