// Builds the candidate vault folders in order and takes the first that holds
// a timeline index.
#include "vault/vault_locator.hpp"

#include <algorithm>      // std::stable_sort
#include <cerrno>         // ENOENT
#include <unordered_set>  // std::unordered_set
#include <utility>        // std::pair

#include "platform/file_system.hpp"
#include "platform/log.hpp"
#include "text/unicode.hpp"
#include "vault/vault_io.hpp"

namespace qs {
namespace {

// "~" and "~/..." name the current user's home folder; "~name/..." that
// user's, as shells do. Anything else is left as given.
std::string expandTilde(Platform::FileSystem& fs, const std::string& path) {
    if (path.empty() || path[0] != '~') return path;
    size_t slash = path.find('/');
    std::string user = path.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
    std::string rest = slash == std::string::npos ? std::string() : path.substr(slash);
    if (user.empty()) return Platform::joinPath(fs.homeDirectory(), rest);
    if (auto home = fs.homeDirectoryOf(user)) return Platform::joinPath(*home, rest);
    return path;
}

std::string absolutePath(Platform::FileSystem& fs, const std::string& path) {
    std::string expanded = expandTilde(fs, path);
    if (!expanded.empty() && expanded[0] == '/') return expanded;
    if (expanded.empty()) return fs.currentDirectory();
    return Platform::joinPath(fs.currentDirectory(), expanded);
}

// The path with "." and ".." segments and a trailing "/" removed, used only
// to recognise two spellings of one folder.
std::string standardised(const std::string& path) {
    std::vector<std::string_view> parts;
    std::string_view rest(path);
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (auto part : parts) out.append("/").append(part);
    return out.empty() ? "/" : out;
}

std::optional<Vault> validate(
    const std::shared_ptr<Platform::FileSystem>& fs, const std::string& folder, const DownloadWait& wait) {
    auto info = fs->stat(folder);
    if (!info || !info->isDirectory) return std::nullopt;
    auto real = fs->realPath(folder);
    Vault vault{folder, PathSchema::englishV2, real ? *real : folder, wait, fs};
    // A vault folder iCloud evicted whole comes down first: until then no
    // name inside it can be looked up, its layout's marker and folders included.
    if (info->dataless && !VaultIO::ensureDownloaded(vault, folder)) return std::nullopt;
    vault.schema = VaultInitializer::detectSchema(*fs, folder).value_or(PathSchema::englishV2);
    if (!VaultIO::ensureDownloaded(vault, vault.path(VaultPath::dashboard))) return std::nullopt;
    logStderr("Vault: " + folder + " (schema=" + std::string(layoutName(vault.schema)) + ")");
    return vault;
}

}  // namespace

namespace VaultLocator {

std::vector<std::string> candidates(Platform::FileSystem& fs, const std::optional<std::string>& explicitPath) {
    std::vector<std::string> list;
    if (explicitPath) list.push_back(absolutePath(fs, *explicitPath));
    if (auto env = fs.environment("QUILLSTACK_VAULT"); env && !env->empty()) list.push_back(absolutePath(fs, *env));

    const std::string iCloudDrive =
        Platform::joinPath(fs.homeDirectory(), "Library/Mobile Documents/com~apple~CloudDocs");
    list.push_back(Platform::joinPath(iCloudDrive, "quillstack"));
    if (auto entries = fs.list(iCloudDrive, /*skipHidden=*/true, /*fetchIsDirectory=*/true)) {
        // Names compare by their canonical form, code point by code point,
        // which is the byte order of NFC UTF-8.
        std::vector<std::pair<std::string, Platform::DirEntry>> keyed;
        keyed.reserve(entries->size());
        for (auto& entry : *entries) keyed.emplace_back(Text::nfc(entry.name), std::move(entry));
        std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [key, entry] : keyed) {
            if (entry.isDirectory.value_or(false)) list.push_back(Platform::joinPath(iCloudDrive, entry.name));
        }
    }

    std::vector<std::string> kept;
    std::unordered_set<std::string> seen;
    for (auto& candidate : list) {
        if (seen.insert(standardised(candidate)).second) kept.push_back(std::move(candidate));
    }
    return kept;
}

Expected<Vault, VaultError> locate(const std::shared_ptr<Platform::FileSystem>& fs,
    const std::optional<std::string>& explicitPath, const DownloadWait& wait) {
    std::vector<std::string> tried;
    for (const std::string& candidate : candidates(*fs, explicitPath)) {
        tried.push_back(candidate);
        if (auto vault = validate(fs, candidate, wait)) return std::move(*vault);
    }
    return VaultError{
        VaultError::Kind::locatedNowhere, {}, Platform::Error::fromErrno("locate", {}, ENOENT), std::move(tried)};
}

}  // namespace VaultLocator

}  // namespace qs
