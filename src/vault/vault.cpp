// Locations inside the located vault, with the English-to-legacy fallback.
#include "vault/vault.hpp"

#include "platform/file_system.hpp"

namespace qs {

std::string Vault::writingPath(VaultPath location, std::string_view subpath) const {
    return joinPath(joinPath(root, VaultPathResolver::resolve(location, schema)), subpath);
}

std::string Vault::path(VaultPath location, std::string_view subpath) const {
    std::string primary = writingPath(location, subpath);
    if (schema == PathSchema::legacyChineseV1 || platform::exists(primary)) return primary;
    std::string legacy =
        joinPath(joinPath(root, VaultPathResolver::resolve(location, PathSchema::legacyChineseV1)), subpath);
    return platform::exists(legacy) ? legacy : primary;
}

}  // namespace qs
