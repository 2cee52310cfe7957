// The two vault layouts, in one table that the vault walks.
#include "vault/path_schema.hpp"

namespace qs {
namespace {

// clang-format off
const std::array<VaultLayout, 2> kLayouts{{
    {PathSchema::englishV2, "english-v2", {"core", "memories"},
        {"core/Dashboard.json",                          // dashboard
         "core/meta",                                    // metaDir
         "memories/timeline/inputs",                     // inputsDir
         "memories/timeline/outputs",                    // outputsDir
         "memories/timeline/insights",                   // insightsDir
         "memories/timeline/insights/daily_reports",     // dailyReportsDir
         "core/vocabulary.json"},                        // vocabulary
        PathSchema::legacyChineseV1},
    {PathSchema::legacyChineseV1, "legacy-zh-v1", {"00-记忆核心", "01-情景记忆"},
        {"00-记忆核心/Dashboard.json",
         "00-记忆核心/meta",
         "01-情景记忆/00-时间流/inputs",
         "01-情景记忆/00-时间流/outputs",
         "01-情景记忆/00-时间流/insights",
         "01-情景记忆/00-时间流/insights/daily_reports",
         "00-记忆核心/vocabulary.json"},
        std::nullopt},
}};
// clang-format on

}  // namespace

const std::array<VaultLayout, 2>& vaultLayouts() { return kLayouts; }

const VaultLayout& layoutOf(PathSchema schema) {
    for (const VaultLayout& layout : kLayouts) {
        if (layout.schema == schema) return layout;
    }
    return kLayouts.front();
}

std::string_view layoutName(PathSchema schema) { return layoutOf(schema).name; }

std::optional<PathSchema> pathSchemaNamed(std::string_view name) {
    for (const VaultLayout& layout : kLayouts) {
        if (layout.name == name) return layout.schema;
    }
    return std::nullopt;
}

std::string_view relativePath(VaultPath location, PathSchema schema) {
    return layoutOf(schema).paths[static_cast<size_t>(location)];
}

}  // namespace qs
