// The two vault layouts, the relative path of every well-known location
// under each. (The English-to-legacy fallback of reading locations is the
// vault's own, in vault.cpp.)
#include "vault/path_schema.hpp"

#include <array>  // std::array

namespace qs {
namespace {

struct Location {
    std::string_view english;
    std::string_view legacy;
};

// In the order of VaultPath.
constexpr std::array<Location, 7> kLocations{{
    {"core/Dashboard.json", "00-记忆核心/Dashboard.json"},                                         // dashboard
    {"core/meta", "00-记忆核心/meta"},                                                             // metaDir
    {"memories/timeline/inputs", "01-情景记忆/00-时间流/inputs"},                                  // inputsDir
    {"memories/timeline/outputs", "01-情景记忆/00-时间流/outputs"},                                // outputsDir
    {"memories/timeline/insights", "01-情景记忆/00-时间流/insights"},                              // insightsDir
    {"memories/timeline/insights/daily_reports", "01-情景记忆/00-时间流/insights/daily_reports"},  // dailyReportsDir
    {"core/vocabulary.json", "00-记忆核心/vocabulary.json"},                                       // vocabulary
}};

std::string_view relativePath(VaultPath path, PathSchema schema) {
    const Location& location = kLocations[static_cast<size_t>(path)];
    return schema == PathSchema::legacyChineseV1 ? location.legacy : location.english;
}

}  // namespace

std::string_view rawValue(PathSchema schema) {
    return schema == PathSchema::legacyChineseV1 ? "legacy-zh-v1" : "english-v2";
}

std::optional<PathSchema> pathSchemaFromRaw(std::string_view raw) {
    if (raw == "english-v2") return PathSchema::englishV2;
    if (raw == "legacy-zh-v1") return PathSchema::legacyChineseV1;
    return std::nullopt;
}

namespace VaultPathResolver {

std::string_view resolve(VaultPath path, PathSchema schema) { return relativePath(path, schema); }

}  // namespace VaultPathResolver

}  // namespace qs
