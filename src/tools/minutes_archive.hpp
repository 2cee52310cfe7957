// Archive copies of replaced minutes and summaries, each under a name of its own.
#pragma once

#include <cstdint>      // uint64_t
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "vault/vault.hpp"
#include "vault/vault_error.hpp"

namespace qs::WriteTools {

struct ArchiveCopy {
    std::string path;
    unsigned counter = 1;  // 1: the plain stamped name; n > 1: "-n" before the suffix
};

// Writes `data` by exclusive create to the first free name among
// `stampedPath` (which ends in `suffix`) and its variants with "-2", "-3", ...
// before the suffix, starting at counter `from`. A copy made in the same UTC
// second as an earlier one, by this or another process, therefore never
// replaces it.
Expected<ArchiveCopy, VaultError> writeArchiveCopy(const Vault& vault, std::string_view data,
    const std::string& stampedPath, std::string_view suffix, unsigned from = 1);

// One archived version of an entry's minutes or summary.
struct ArchivedVersion {
    std::string name;        // e.g. 2025-03-02T081500Z.min.md, or with "-2" before the suffix
    std::string archivedAt;  // ISO 8601 in UTC, from the name's stamp
    uint64_t bytes = 0;
};

// The archive copies in `folder`, newest first; none when it is missing.
std::vector<ArchivedVersion> listArchivedVersions(const Vault& vault, const std::string& folder);

}  // namespace qs::WriteTools
