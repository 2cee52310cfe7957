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

ArchiveCopy writeArchiveCopy(const Vault& vault, std::string_view data, const std::string& stampedPath,
                             std::string_view suffix, unsigned from) {
    std::string_view base = stampedPath;
    if (base.size() >= suffix.size() && base.substr(base.size() - suffix.size()) == suffix) {
        base.remove_suffix(suffix.size());
    }
    // Written once; only the name is tried again.
    Platform::StagedFile staged = VaultIO::stage(vault, data, stampedPath);
    for (unsigned counter = from < 1 ? 1 : from; counter <= kMaxCounter; ++counter) {
        std::string path = variant(base, suffix, counter);
        if (VaultIO::claim(staged, path)) return {std::move(path), counter};
    }
    throw VaultIO::WriteError::writeFailed("归档名已用尽: " + variant(base, suffix, kMaxCounter));
}

}  // namespace qs::WriteTools
