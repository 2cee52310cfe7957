// The two vault layouts, the locations the server uses under each, and layout detection.
#pragma once

#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "platform/file_system.hpp"

namespace qs {

enum class PathSchema { englishV2, legacyChineseV1 };

// "english-v2" / "legacy-zh-v1".
std::string_view rawValue(PathSchema schema);
// Exact, case-sensitive; nothing for any other text.
std::optional<PathSchema> pathSchemaFromRaw(std::string_view raw);

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

namespace VaultPathResolver {

// The relative path of `path` under `schema`.
std::string_view resolve(VaultPath path, PathSchema schema);

}  // namespace VaultPathResolver

namespace VaultInitializer {

// The vault's layout from its library marker, else its top-level folders;
// nothing when unrecognisable. Read once, when the vault is located.
std::optional<PathSchema> detectSchema(Platform::FileSystem& fs, const std::string& vaultRoot);

}  // namespace VaultInitializer

}  // namespace qs
