// The files that belong to one timeline entry, and the day folder they lie in.
#pragma once

#include <chrono>       // std::chrono::system_clock
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "vault/vault.hpp"

namespace qs {

struct VaultFiles {
    const Vault* vault = nullptr;
    std::string id;
    std::string day;  // where the files were found, else the hint (maybe empty)

    // The hinted day first, then the newest day folder holding any of the
    // entry's files (insights before outputs), else the hint. A hint that is
    // not a single path component counts as no hint. The id must already
    // have passed isSinglePathComponent.
    static VaultFiles locate(const Vault& vault, const std::string& id, const std::string& hintDay);

    // outputs/<day>/<id>.transcript.json (read location, with fallback).
    std::string transcriptJSON() const;
    // insights/<day>/<id><suffix> for reading (with the legacy fallback).
    std::string insightsFile(std::string_view suffix) const;
    // outputs/<day>/<id><suffix> for reading (with the legacy fallback).
    std::string outputsFile(std::string_view suffix) const;
    // Where new minutes / summaries go: the layout detected now, no fallback.
    std::string minutesForWriting() const;
    std::string summaryForWriting() const;
    // meta/minutes-history/<id>/<UTC stamp><suffix>.
    std::string archiveURL(std::string_view suffix, std::chrono::system_clock::time_point at) const;
};

}  // namespace qs
