// The files that belong to one timeline entry, and the day folder they lie in.
#pragma once

#include <chrono>       // std::chrono::system_clock
#include <span>         // std::span
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "vault/day_folders.hpp"
#include "vault/vault.hpp"

namespace qs {

// The files of one timeline entry, each named id + suffix in a day folder of
// its base folder. Insights files first, in the order the day search tries them.
enum class EntryFile { summary, minutes, meta, transcriptText, transcriptJson };

struct EntryFileKind {
    VaultPath base;
    std::string_view suffix;
};

// In the order of EntryFile: the one table of base folders and suffixes.
inline constexpr std::array<EntryFileKind, 5> kEntryFiles{{
    {VaultPath::insightsDir, ".sum.txt"},
    {VaultPath::insightsDir, ".min.md"},
    {VaultPath::insightsDir, ".meta.json"},
    {VaultPath::outputsDir, ".tr.txt"},
    {VaultPath::outputsDir, ".transcript.json"},
}};

constexpr const EntryFileKind& kindOf(EntryFile file) { return kEntryFiles[static_cast<size_t>(file)]; }

struct VaultFiles {
    const Vault* vault = nullptr;
    std::string id;
    std::string day;  // where the files were found, else the hint (maybe empty)

    // The hinted day first, then the newest day folder holding any of the
    // entry's files or their placeholders (insights before outputs), else
    // the hint. A hint that is not a single path component counts as no
    // hint. The id must already have passed isSinglePathComponent.
    static VaultFiles locate(const Vault& vault, const std::string& id, const std::string& hintDay);
    // The same, with day folders kept from earlier calls.
    static VaultFiles locate(
        const Vault& vault, const std::string& id, const std::string& hintDay, DayFolders& folders);
    // The same for many entries, in their order: each day folder is looked at
    // once for all of them.
    struct Wanted {
        std::string id;
        std::string hintDay;
    };
    static std::vector<VaultFiles> locateAll(const Vault& vault, std::span<const Wanted> entries, DayFolders& folders);

    // base/<day>/<id><suffix> for reading (with the legacy fallback).
    [[nodiscard]] std::string path(EntryFile file) const;
    // Whether that file is present locally (no cloud download is started):
    // the same answer as testing the reading location, in fewer look-ups.
    [[nodiscard]] bool has(EntryFile file) const;
    // Where a new version goes: the layout detected now, no fallback.
    [[nodiscard]] std::string forWriting(EntryFile file) const;
    // meta/minutes-history/<id>/<UTC stamp><suffix>.
    [[nodiscard]] std::string archivePath(EntryFile file, std::chrono::system_clock::time_point at) const;
    // meta/minutes-history/<id>, for reading (with the legacy fallback).
    [[nodiscard]] std::string archiveFolder() const;
};

}  // namespace qs
