// Layout names, path joining, layout detection, and the English-to-legacy
// fallback when resolving locations.
#include "vault/path_schema.hpp"

#include <gtest/gtest.h>

#include "support/temp_vault.hpp"
#include "vault/vault.hpp"

namespace qs {
namespace {

using test::TempDir;

std::string marker(const std::string& schema, const std::string& rest = R"("createdAt":"x","app":"y")") {
    return R"({"schemaVersion":2,"pathSchema":")" + schema + "\"," + rest + "}";
}

TEST(PathSchema, RawValuesRoundTripExactly) {
    for (PathSchema schema : {PathSchema::englishV2, PathSchema::legacyChineseV1}) {
        EXPECT_EQ(pathSchemaFromRaw(rawValue(schema)), schema);
    }
    EXPECT_EQ(rawValue(PathSchema::legacyChineseV1), "legacy-zh-v1");
    for (const char* other : {"English-v2", "english-v2 ", "legacy-zh-v2", ""}) EXPECT_FALSE(pathSchemaFromRaw(other)) << other;
}

TEST(PathSchema, JoinNeverDoublesOrDropsASeparator) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/v", "a/b", "/v/a/b"}, {"/v/", "a", "/v/a"}, {"/v", "/x.min.md", "/v/x.min.md"}, {"/v", "", "/v"},
        {"/v", "//x", "/v/x"},   {"/", "a", "/a"},     {"/v//", "/a", "/v/a"},
    };
    for (const auto& [base, rel, joined] : cases) EXPECT_EQ(joinPath(base, rel), joined) << base << " + " << rel;
}

// A marker counts only when it is whole and well typed; then the folders decide.
TEST(DetectSchema, MarkerFirstThenFolderProbes) {
    const std::tuple<std::optional<std::string>, std::vector<const char*>, std::optional<PathSchema>> cases[] = {
        {marker("legacy-zh-v1"), {"core"}, PathSchema::legacyChineseV1},
        {R"({"schemaVersion":2.0,"pathSchema":"legacy-zh-v1","createdAt":"x","app":"y","more":1})", {"core"},
         PathSchema::legacyChineseV1},
        {marker("english-v2"), {"00-记忆核心"}, PathSchema::englishV2},
        {marker("legacy-zh-v3"), {"core"}, PathSchema::englishV2},
        {marker("legacy-zh-v1", R"("createdAt":"x")"), {"core"}, PathSchema::englishV2},
        {marker("legacy-zh-v1", R"("createdAt":1,"app":"y")"), {"core"}, PathSchema::englishV2},
        {R"({"schemaVersion":2.5,"pathSchema":"legacy-zh-v1","createdAt":"x","app":"y"})", {"core"}, PathSchema::englishV2},
        {R"({"schemaVersion":"2","pathSchema":"legacy-zh-v1","createdAt":"x","app":"y"})", {"core"}, PathSchema::englishV2},
        {"not json", {"00-记忆核心"}, PathSchema::legacyChineseV1},
        {std::nullopt, {"memories", "01-情景记忆"}, PathSchema::englishV2},
        {std::nullopt, {"01-情景记忆"}, PathSchema::legacyChineseV1},
        {std::nullopt, {"other"}, std::nullopt},
    };
    for (const auto& [markerText, folders, detected] : cases) {
        TempDir dir;
        if (markerText) dir.write("preferences/quillstack-library.json", *markerText);
        for (const char* folder : folders) dir.mkdir(folder);
        EXPECT_EQ(VaultInitializer::detectSchema(dir.path()), detected) << markerText.value_or("no marker");
    }
}

TEST(ResolveForReading, FallsBackFromEnglishToLegacyFileByFile) {
    TempDir english;
    english.mkdir("core");
    english.write("00-记忆核心/vocabulary.json", "{}");
    english.write("core/Dashboard.json", "{}");
    const std::string& root = english.path();
    const Vault vault{root, *VaultInitializer::detectSchema(root)};
    EXPECT_EQ(vault.path(VaultPath::vocabulary), root + "/00-记忆核心/vocabulary.json");
    EXPECT_EQ(vault.path(VaultPath::dashboard), root + "/core/Dashboard.json");
    EXPECT_EQ(vault.path(VaultPath::metaDir), root + "/core/meta");

    TempDir legacy;  // the marker says legacy: English files are never considered
    legacy.write("preferences/quillstack-library.json", marker("legacy-zh-v1"));
    legacy.write("core/Dashboard.json", "{}");
    const Vault legacyVault{legacy.path(), *VaultInitializer::detectSchema(legacy.path())};
    EXPECT_EQ(legacyVault.path(VaultPath::dashboard), legacy.path() + "/00-记忆核心/Dashboard.json");
}

TEST(VaultPath, AppendsTheSubpathToBothCandidates) {
    test::TempVault vault;
    vault.write("01-情景记忆/00-时间流/insights/2025-03-02/OLD.min.md", "old");
    vault.write("memories/timeline/insights/2025-03-02/NEW.min.md", "new");
    Vault v{vault.path(), PathSchema::englishV2};
    const std::string legacyDir = vault.path() + "/01-情景记忆/00-时间流/insights/";
    const std::string englishDir = vault.path() + "/memories/timeline/insights/";
    EXPECT_EQ(v.path(VaultPath::insightsDir, "2025-03-02/OLD.min.md"), legacyDir + "2025-03-02/OLD.min.md");
    EXPECT_EQ(v.path(VaultPath::insightsDir, "2025-03-02/NEW.min.md"), englishDir + "2025-03-02/NEW.min.md");
    EXPECT_EQ(v.path(VaultPath::insightsDir, "/X.min.md"), englishDir + "X.min.md");

    test::TempVault legacyVault(test::Layout::legacy);
    legacyVault.write("preferences/quillstack-library.json", marker("legacy-zh-v1"));
    legacyVault.write("memories/timeline/insights/X.min.md", "english file in a legacy vault");
    Vault lv{legacyVault.path(), PathSchema::legacyChineseV1};
    EXPECT_EQ(lv.path(VaultPath::insightsDir, "X.min.md"), legacyVault.path() + "/01-情景记忆/00-时间流/insights/X.min.md");
}

}  // namespace
}  // namespace qs
