// Picks the first free archive name by exclusive create, never by test-then-write.
#include "tools/minutes_archive.hpp"

#include <string>   // std::string, std::to_string
#include <utility>  // std::move

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

}  // namespace

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
