// The two vault layouts, the 23 well-known locations and schema detection.
#pragma once

#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view

namespace qs {

enum class PathSchema { englishV2, legacyChineseV1 };

// "english-v2" / "legacy-zh-v1".
std::string_view rawValue(PathSchema schema);
// Exact, case-sensitive; nothing for any other text.
std::optional<PathSchema> pathSchemaFromRaw(std::string_view raw);

enum class VaultPath {
    dashboard,
    contacts,
    deletedNames,
    linkRecords,
    raceEvents,
    aboutMe,
    okr,
    metaDir,
    timelineDir,
    inputsDir,
    outputsDir,
    insightsDir,
    feedbackDir,
    statusDir,
    trashDir,
    clipboardWorkspace,
    wechatBridge,
    dailyReportsDir,
    smsReportsDir,
    primaryLease,
    primaryConfig,
    weatherCache,
    vocabulary,
};

// `base` + "/" + `rel`, where a leading "/" of `rel` and a trailing "/" of
// `base` do not double the separator; an empty `rel` gives `base`.
std::string joinPath(std::string_view base, std::string_view rel);

namespace VaultPathResolver {

// The relative path of `path` under `schema`.
std::string_view resolve(VaultPath path, PathSchema schema);

// Where to read `path` from in the vault at `vaultRoot`: the detected
// layout's path, falling back from English to legacy file by file.
std::string resolveForReading(VaultPath path, const std::string& vaultRoot);

}  // namespace VaultPathResolver

namespace VaultInitializer {

// The vault's layout from its library marker, else its top-level folders.
// Cached per root path text for the life of the process once detected;
// nothing (and nothing cached) when unrecognisable.
std::optional<PathSchema> detectSchema(const std::string& vaultRoot);

void invalidateSchemaCache();

}  // namespace VaultInitializer

}  // namespace qs
