// Picks the first free archive name by exclusive create, never by test-then-write.
#include "tools/minutes_archive.hpp"

#include <algorithm>  // std::sort
#include <optional>   // std::optional
#include <string>     // std::string, std::to_string
#include <utility>    // std::move

#include "vault/vault_io.hpp"

namespace qs::WriteTools {

namespace {

// Far beyond any number of rewrites of one entry within one second; only stops
// a runaway loop when names are taken for another reason (folders, say).
constexpr unsigned kMaxCounter = 100000;

std::string variant(std::string_view base, std::string_view suffix, unsigned counter) {
    std::string name(base);
    if (counter > 1) name += "-" + std::to_string(counter);
    name += suffix;
    return name;
}

// "2025-03-02T081500Z" as 2025-03-02T08:15:00Z; nothing for another name.
std::optional<std::string> stampMoment(std::string_view name) {
    if (name.size() < 18 || name[10] != 'T' || name[17] != 'Z') return std::nullopt;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 13, 14, 15, 16}) {
        if (name[i] < '0' || name[i] > '9') return std::nullopt;
    }
    std::string iso(name.substr(0, 13));
    return iso + ":" + std::string(name.substr(13, 2)) + ":" + std::string(name.substr(15, 2)) + "Z";
}

}  // namespace

std::vector<ArchivedVersion> listArchivedVersions(const Vault& vault, const std::string& folder) {
    std::vector<ArchivedVersion> versions;
    auto names = vault.fs().list(folder, /*skipHidden=*/true, /*fetchIsDirectory=*/false);
    if (!names) return versions;
    for (const Platform::DirEntry& entry : *names) {
        auto moment = stampMoment(entry.name);
        auto stamp = vault.fs().stampOf(folder + "/" + entry.name, /*folder=*/false);
        if (moment && stamp) versions.push_back({entry.name, std::move(*moment), stamp->size});
    }
    // The stamp leads the name, so name order is time order; "-n" copies of
    // one second follow in their own order.
    std::sort(versions.begin(), versions.end(), [](const ArchivedVersion& a, const ArchivedVersion& b) {
        return a.archivedAt != b.archivedAt ? a.archivedAt > b.archivedAt : a.name > b.name;
    });
    return versions;
}

Expected<ArchiveCopy, VaultError> writeArchiveCopy(
    const Vault& vault, std::string_view data, const std::string& stampedPath, std::string_view suffix, unsigned from) {
    std::string_view base = stampedPath;
    if (base.size() >= suffix.size() && base.substr(base.size() - suffix.size()) == suffix) {
        base.remove_suffix(suffix.size());
    }
    // Written once; only the name is tried again.
    auto staged = VaultIO::stage(vault, data, stampedPath);
    if (!staged) return staged.error();
    for (unsigned counter = from < 1 ? 1 : from; counter <= kMaxCounter; ++counter) {
        std::string path = variant(base, suffix, counter);
        auto claimed = VaultIO::claim(vault, *staged, path);
        if (!claimed) return claimed.error();
        if (*claimed == Platform::Claim::claimed) return ArchiveCopy{std::move(path), counter};
    }
    const std::string last = variant(base, suffix, kMaxCounter);
    return VaultError{VaultError::Kind::writeFailed, last,
        Platform::Error{Platform::Error::Kind::taken, "claim", last, 0, "归档名已用尽: " + last}};
}

}  // namespace qs::WriteTools
