// The two vault layouts, the relative path of every well-known location
// under each, and path resolution with the English-to-legacy fallback.
#include "vault/path_schema.hpp"

#include <array>    // std::array

#include "platform/file_system.hpp"

namespace qs {
namespace {

struct Location {
    std::string_view english;
    std::string_view legacy;
};

// In the order of VaultPath.
constexpr std::array<Location, 23> kLocations{{
    {"core/Dashboard.json", "00-记忆核心/Dashboard.json"},  // dashboard
    {"core/contacts.json", "00-记忆核心/contacts.json"},  // contacts
    {"core/contacts-deleted-names.json", "00-记忆核心/contacts-deleted-names.json"},  // deletedNames
    {"core/link_records.json", "00-记忆核心/link_records.json"},  // linkRecords
    {"core/race-events.json", "00-记忆核心/race-events.json"},  // raceEvents
    {"core/关于我.md", "00-记忆核心/关于我.md"},  // aboutMe
    {"core/当前目标与OKR.md", "00-记忆核心/当前目标与OKR.md"},  // okr
    {"core/meta", "00-记忆核心/meta"},  // metaDir
    {"memories/timeline", "01-情景记忆/00-时间流"},  // timelineDir
    {"memories/timeline/inputs", "01-情景记忆/00-时间流/inputs"},  // inputsDir
    {"memories/timeline/outputs", "01-情景记忆/00-时间流/outputs"},  // outputsDir
    {"memories/timeline/insights", "01-情景记忆/00-时间流/insights"},  // insightsDir
    {"memories/timeline/feedback", "01-情景记忆/00-时间流/feedback"},  // feedbackDir
    {"memories/timeline/status", "01-情景记忆/00-时间流/status"},  // statusDir
    {"memories/timeline/trash", "01-情景记忆/.Trash"},  // trashDir
    {"core/clipboard_workspace.json", "00-记忆核心/clipboard_workspace.json"},  // clipboardWorkspace
    {"core/wechat_bridge.json", "00-记忆核心/wechat_bridge.json"},  // wechatBridge
    {"memories/timeline/insights/daily_reports", "01-情景记忆/00-时间流/insights/daily_reports"},  // dailyReportsDir
    {"memories/timeline/insights/sms_reports", "01-情景记忆/00-时间流/insights/sms_reports"},  // smsReportsDir
    {"core/_system/primary.json", "00-记忆核心/_system/primary.json"},  // primaryLease
    {"core/_system/primary-config.json", "00-记忆核心/_system/primary-config.json"},  // primaryConfig
    {"core/weather-cache.json", "00-记忆核心/weather-cache.json"},  // weatherCache
    {"core/vocabulary.json", "00-记忆核心/vocabulary.json"},  // vocabulary
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

std::string joinPath(std::string_view base, std::string_view rel) {
    size_t skip = rel.find_first_not_of('/');
    rel = skip == std::string_view::npos ? std::string_view() : rel.substr(skip);
    if (rel.empty()) return std::string(base);
    while (base.size() > 1 && base.back() == '/') base.remove_suffix(1);
    std::string out(base);
    if (out.empty() || out.back() != '/') out.push_back('/');
    out.append(rel);
    return out;
}

namespace VaultPathResolver {

std::string_view resolve(VaultPath path, PathSchema schema) { return relativePath(path, schema); }

std::string resolveForReading(VaultPath path, const std::string& vaultRoot) {
    PathSchema schema = VaultInitializer::detectSchema(vaultRoot).value_or(PathSchema::englishV2);
    std::string primary = joinPath(vaultRoot, relativePath(path, schema));
    if (schema == PathSchema::legacyChineseV1 || platform::exists(primary)) return primary;
    std::string legacy = joinPath(vaultRoot, relativePath(path, PathSchema::legacyChineseV1));
    return platform::exists(legacy) ? legacy : primary;
}

}  // namespace VaultPathResolver

}  // namespace qs
