// Finds the day folder holding an entry's files and builds their locations.
#include "vault/entry_files.hpp"

#include <algorithm>    // std::sort
#include <array>        // std::array
#include <functional>   // std::greater
#include <string_view>  // std::string_view

#include "platform/file_system.hpp"
#include "text/dates.hpp"
#include "text/unicode.hpp"
#include "vault/path_component.hpp"

namespace qs {
namespace {

constexpr std::array<std::string_view, 3> kInsightsSuffixes{".sum.txt", ".min.md", ".meta.json"};
constexpr std::array<std::string_view, 2> kOutputsSuffixes{".tr.txt", ".transcript.json"};

template <size_t N>
bool hasFileUnder(const Vault& vault, VaultPath base, const std::string& day, const std::string& id,
                  const std::array<std::string_view, N>& suffixes) {
    for (std::string_view suffix : suffixes) {
        if (platform::exists(vault.url(base, day + "/" + id + std::string(suffix)))) return true;
    }
    return false;
}

// The newest day folder (by name) under `base` that holds one of the files.
template <size_t N>
std::optional<std::string> scanForDay(const Vault& vault, VaultPath base, const std::string& id,
                                      const std::array<std::string_view, N>& suffixes) {
    std::string folder = VaultPathResolver::resolveForReading(base, vault.root);
    auto entries = platform::listDirectory(folder, /*skipHidden=*/false, /*fetchIsDirectory=*/false);
    if (!entries) return std::nullopt;
    std::vector<std::string> names;
    names.reserve(entries->size());
    for (auto& entry : *entries) {
        if (text::isDayShape(entry.name)) names.push_back(std::move(entry.name));
    }
    std::sort(names.begin(), names.end(), std::greater<>());
    for (const std::string& name : names) {
        for (std::string_view suffix : suffixes) {
            if (platform::exists(joinPath(folder, name + "/" + id + std::string(suffix)))) return name;
        }
    }
    return std::nullopt;
}

// The layout detected now; locations for writing never fall back.
PathSchema writingSchema(const Vault& vault) {
    return VaultInitializer::detectSchema(vault.root).value_or(PathSchema::englishV2);
}

}  // namespace

VaultFiles VaultFiles::locate(const Vault& vault, const std::string& id, const std::string& hintDay) {
    // The hint comes from index text that another application wrote, so it
    // must never steer a path outside its base folder.
    const std::string hint = isSinglePathComponent(hintDay) ? hintDay : std::string();
    if (!isSinglePathComponent(id)) return VaultFiles{&vault, id, hint};
    if (!hint.empty() && (hasFileUnder(vault, VaultPath::insightsDir, hint, id, kInsightsSuffixes) ||
                          hasFileUnder(vault, VaultPath::outputsDir, hint, id, kOutputsSuffixes))) {
        return VaultFiles{&vault, id, hint};
    }
    if (auto day = scanForDay(vault, VaultPath::insightsDir, id, kInsightsSuffixes)) {
        return VaultFiles{&vault, id, *day};
    }
    if (auto day = scanForDay(vault, VaultPath::outputsDir, id, kOutputsSuffixes)) {
        return VaultFiles{&vault, id, *day};
    }
    return VaultFiles{&vault, id, hint};
}

std::string VaultFiles::transcriptJSON() const { return outputsFile(".transcript.json"); }

std::string VaultFiles::insightsFile(std::string_view suffix) const {
    return vault->url(VaultPath::insightsDir, day + "/" + id + std::string(suffix));
}

std::string VaultFiles::outputsFile(std::string_view suffix) const {
    return vault->url(VaultPath::outputsDir, day + "/" + id + std::string(suffix));
}

std::string VaultFiles::minutesForWriting() const {
    std::string_view folder = VaultPathResolver::resolve(VaultPath::insightsDir, writingSchema(*vault));
    return joinPath(joinPath(vault->root, folder), day + "/" + id + ".min.md");
}

std::string VaultFiles::summaryForWriting() const {
    std::string_view folder = VaultPathResolver::resolve(VaultPath::insightsDir, writingSchema(*vault));
    return joinPath(joinPath(vault->root, folder), day + "/" + id + ".sum.txt");
}

std::string VaultFiles::archiveURL(std::string_view suffix, std::chrono::system_clock::time_point at) const {
    std::string_view meta = VaultPathResolver::resolve(VaultPath::metaDir, writingSchema(*vault));
    std::string name = "minutes-history/" + id + "/" + text::archiveStamp(at) + std::string(suffix);
    return joinPath(joinPath(vault->root, meta), name);
}

}  // namespace qs
