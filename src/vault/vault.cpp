// Locations inside the located vault, with the English-to-legacy fallback.
#include "vault/vault.hpp"

#include "platform/file_system.hpp"

namespace qs {

std::string Vault::url(VaultPath path, std::string_view subpath) const {
    PathSchema detected = VaultInitializer::detectSchema(root).value_or(PathSchema::englishV2);
    std::string primary = joinPath(joinPath(root, VaultPathResolver::resolve(path, detected)), subpath);
    if (detected == PathSchema::legacyChineseV1 || platform::exists(primary)) return primary;
    std::string legacy =
        joinPath(joinPath(root, VaultPathResolver::resolve(path, PathSchema::legacyChineseV1)), subpath);
    return platform::exists(legacy) ? legacy : primary;
}

}  // namespace qs
