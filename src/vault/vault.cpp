// Locations inside the located vault, with the English-to-legacy fallback.
#include "vault/vault.hpp"

#include <optional>  // std::optional

#include "platform/file_system.hpp"

namespace qs {

std::string Vault::writingPath(VaultPath location, std::string_view subpath) const {
    return joinPath(joinPath(root, VaultPathResolver::resolve(location, schema)), subpath);
}

std::string cloudPlaceholderOf(const std::string& path) {
    return Platform::parentOf(path) + "/." + Platform::lastComponent(path) + ".icloud";
}

std::string Vault::path(VaultPath location, std::string_view subpath) const {
    std::string primary = writingPath(location, subpath);
    // A placeholder is the primary file, only not downloaded yet: falling
    // back to an older legacy copy would read (and archive) a stale version.
    if (schema == PathSchema::legacyChineseV1 || Platform::exists(primary) ||
        Platform::exists(cloudPlaceholderOf(primary))) {
        return primary;
    }
    std::string legacy =
        joinPath(joinPath(root, VaultPathResolver::resolve(location, PathSchema::legacyChineseV1)), subpath);
    return Platform::exists(legacy) ? legacy : primary;
}

bool Vault::holds(const std::string& path, bool followLast) const {
    const std::string base = realRoot.empty() ? Platform::realPath(root).value_or(root) : realRoot;
    std::optional<std::string> resolved;
    if (followLast) {
        resolved = Platform::realPath(path);
        if (!resolved) return true;  // nothing there to read
    } else {
        // The nearest folder that exists: what is missing below it is made inside it.
        std::string folder = Platform::parentOf(path);
        while (!(resolved = Platform::realPath(folder))) {
            std::string up = Platform::parentOf(folder);
            if (up == folder) return false;
            folder = std::move(up);
        }
    }
    if (base == "/") return true;
    return *resolved == base || (resolved->size() > base.size() && resolved->compare(0, base.size(), base) == 0 &&
                                 (*resolved)[base.size()] == '/');
}

}  // namespace qs
