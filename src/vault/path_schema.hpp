// The vault layouts as data: each one's name, the folders that tell it, where
// every location lies under it and where reading falls back; and detection.
#pragma once

#include <array>        // std::array
#include <cstddef>      // size_t
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "platform/file_system.hpp"

namespace qs {

enum class PathSchema { englishV2, legacyChineseV1 };

// The vault locations the server reads or writes.
enum class VaultPath {
    dashboard,
    metaDir,
    inputsDir,
    outputsDir,
    insightsDir,
    dailyReportsDir,
    vocabulary,
};
inline constexpr size_t kVaultPathCount = 7;

// One layout, all of it.
struct VaultLayout {
    PathSchema schema;
    std::string_view name;                                // as the library marker names it
    std::array<std::string_view, 2> probes;               // top-level folders only this layout has
    std::array<std::string_view, kVaultPathCount> paths;  // relative to the vault, in the order of VaultPath
    // Where a file missing from this layout is read instead: an older
    // layout's copy that no one has moved yet.
    std::optional<PathSchema> readFallback;
};

// Every layout, in the order their probes are tried.
const std::array<VaultLayout, 2>& vaultLayouts();
const VaultLayout& layoutOf(PathSchema schema);

// "english-v2" / "legacy-zh-v1".
std::string_view layoutName(PathSchema schema);
// Exact, case-sensitive; nothing for any other text.
std::optional<PathSchema> pathSchemaNamed(std::string_view name);

// The relative path of `location` under `schema`.
std::string_view relativePath(VaultPath location, PathSchema schema);

namespace VaultInitializer {

// The vault's layout from its library marker, else its top-level folders;
// nothing when unrecognisable. Read once, when the vault is located.
std::optional<PathSchema> detectSchema(Platform::FileSystem& fs, const std::string& vaultRoot);

}  // namespace VaultInitializer

}  // namespace qs
