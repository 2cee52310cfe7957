// Locations inside the located vault, with the layout's read fallback.
#include "vault/vault.hpp"

namespace qs {

std::string Vault::writingPath(VaultPath location, std::string_view subpath) const {
    return Platform::joinPath(Platform::joinPath(root, relativePath(location, schema)), subpath);
}

std::optional<std::string> Vault::fallbackPath(VaultPath location, std::string_view subpath) const {
    const std::optional<PathSchema> fallback = layoutOf(schema).readFallback;
    if (!fallback) return std::nullopt;
    return Platform::joinPath(Platform::joinPath(root, relativePath(location, *fallback)), subpath);
}

namespace {
constexpr std::string_view kPlaceholderTail = ".icloud";
}  // namespace

std::string cloudPlaceholderOf(const std::string& path) {
    return Platform::parentOf(path) + "/." + Platform::lastComponent(path) + std::string(kPlaceholderTail);
}

std::optional<std::string_view> placeholderTarget(std::string_view name) {
    if (name.size() <= kPlaceholderTail.size() + 1 || name[0] != '.' || !name.ends_with(kPlaceholderTail)) {
        return std::nullopt;
    }
    return name.substr(1, name.size() - 1 - kPlaceholderTail.size());
}

std::string Vault::path(VaultPath location, std::string_view subpath) const {
    std::string primary = writingPath(location, subpath);
    std::optional<std::string> fallback = fallbackPath(location, subpath);
    if (!fallback) return primary;
    // An evicted folder, a placeholder or an evicted file is the primary
    // file, only not downloaded yet: falling back to an older legacy copy
    // would read (and archive) a stale version. Nothing inside an evicted
    // folder is looked up before it comes down.
    // A folder the system cannot look at is not taken for a missing one either.
    auto folder = fs().stat(Platform::parentOf(primary));
    if (!folder && folder.error().kind != Platform::Error::Kind::absent) return primary;
    if (folder && (folder->dataless || fs().exists(primary) || fs().exists(cloudPlaceholderOf(primary)))) {
        return primary;
    }
    return fs().exists(*fallback) ? *fallback : primary;
}

Expected<bool, Platform::Error> Vault::holds(const std::string& path, bool followLast) const {
    std::string base = realRoot;
    if (base.empty()) {
        auto resolvedRoot = fs().realPath(root);
        base = resolvedRoot ? *resolvedRoot : root;
    }
    std::string resolved;
    if (followLast) {
        auto target = fs().realPath(path);
        if (!target) {
            if (target.error().kind == Platform::Error::Kind::absent) return true;  // nothing there to read
            return target.error();
        }
        resolved = std::move(*target);
    } else {
        // The nearest folder that exists: what is missing below it is made inside it.
        std::string folder = Platform::parentOf(path);
        for (;;) {
            auto found = fs().realPath(folder);
            if (found) {
                resolved = std::move(*found);
                break;
            }
            if (found.error().kind != Platform::Error::Kind::absent) return found.error();
            std::string up = Platform::parentOf(folder);
            if (up == folder) return false;
            folder = std::move(up);
        }
    }
    if (base == "/") return true;
    return resolved == base || (resolved.size() > base.size() && resolved.compare(0, base.size(), base) == 0 &&
                                   resolved[base.size()] == '/');
}

}  // namespace qs
