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
    static VaultFiles locate(const Vault& vault, const std::string& id, const std::string& hintDay,
                             DayFolders& folders);
    // The same for many entries, in their order: each day folder is looked at
    // once for all of them.
    struct Wanted {
        std::string id;
        std::string hintDay;
    };
    static std::vector<VaultFiles> locateAll(const Vault& vault, std::span<const Wanted> entries, DayFolders& folders);

    // outputs/<day>/<id>.transcript.json (read location, with fallback).
    std::string transcriptJsonPath() const;
    // insights/<day>/<id><suffix> for reading (with the legacy fallback).
    std::string insightsFile(std::string_view suffix) const;
    // outputs/<day>/<id><suffix> for reading (with the legacy fallback).
    std::string outputsFile(std::string_view suffix) const;
    // Whether those files are present locally (no cloud download is started):
    // the same answer as testing the reading location, in fewer look-ups.
    bool hasInsightsFile(std::string_view suffix) const;
    bool hasOutputsFile(std::string_view suffix) const;
    // Where new minutes / summaries go: the layout detected now, no fallback.
    std::string minutesForWriting() const;
    std::string summaryForWriting() const;
    // meta/minutes-history/<id>/<UTC stamp><suffix>.
    std::string archivePath(std::string_view suffix, std::chrono::system_clock::time_point at) const;
};

}  // namespace qs
