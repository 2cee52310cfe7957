// Layout names, the location table, schema detection and its cache, and the
// English-to-legacy fallback when resolving locations.
#include "vault/path_schema.hpp"

#include <gtest/gtest.h>

#include "support/temp_vault.hpp"
#include "vault/vault.hpp"

namespace qs {
namespace {

using test::TempDir;

TEST(PathSchema, RawValuesAreExact) {
    EXPECT_EQ(rawValue(PathSchema::englishV2), "english-v2");
    EXPECT_EQ(rawValue(PathSchema::legacyChineseV1), "legacy-zh-v1");
    EXPECT_EQ(pathSchemaFromRaw("english-v2"), PathSchema::englishV2);
    EXPECT_EQ(pathSchemaFromRaw("legacy-zh-v1"), PathSchema::legacyChineseV1);
    for (const char* other : {"English-v2", "english-v2 ", "legacy-zh-v2", ""}) {
        EXPECT_FALSE(pathSchemaFromRaw(other)) << other;
    }
}

TEST(PathSchema, LocationTableKeepsItsOddities) {
    using R = std::pair<std::string_view, std::string_view>;
    auto both = [](VaultPath p) {
        return R{VaultPathResolver::resolve(p, PathSchema::englishV2),
                 VaultPathResolver::resolve(p, PathSchema::legacyChineseV1)};
    };
    EXPECT_EQ(both(VaultPath::dashboard), R("core/Dashboard.json", "00-记忆核心/Dashboard.json"));
    EXPECT_EQ(both(VaultPath::aboutMe), R("core/关于我.md", "00-记忆核心/关于我.md"));
    EXPECT_EQ(both(VaultPath::trashDir), R("memories/timeline/trash", "01-情景记忆/.Trash"));
    EXPECT_EQ(both(VaultPath::dailyReportsDir),
              R("memories/timeline/insights/daily_reports", "01-情景记忆/00-时间流/insights/daily_reports"));
    EXPECT_EQ(both(VaultPath::vocabulary), R("core/vocabulary.json", "00-记忆核心/vocabulary.json"));
}

TEST(PathSchema, JoinNeverDoublesOrDropsASeparator) {
    struct Case {
        const char *base, *rel, *joined;
    } cases[] = {
        {"/v", "a/b", "/v/a/b"}, {"/v/", "a", "/v/a"},     {"/v", "/x.min.md", "/v/x.min.md"},
        {"/v", "", "/v"},        {"/v", "//x", "/v/x"},    {"/", "a", "/a"},
        {"/v", "d/x", "/v/d/x"}, {"/v//", "/a", "/v/a"},
    };
    for (const auto& c : cases) EXPECT_EQ(joinPath(c.base, c.rel), c.joined) << c.base << " + " << c.rel;
}

struct MarkerCase {
    const char* marker;  // nullptr: no marker file
    std::vector<const char*> folders;
    std::optional<PathSchema> detected;
};

TEST(DetectSchema, MarkerFirstThenFolderProbes) {
    const char* legacy = R"({"schemaVersion":2,"pathSchema":"legacy-zh-v1","createdAt":"2025-01-01T00:00:00Z","app":"quillstack"})";
    MarkerCase cases[] = {
        {legacy, {"core"}, PathSchema::legacyChineseV1},  // the marker wins over folders
        {R"({"schemaVersion":2.0,"pathSchema":"legacy-zh-v1","createdAt":"x","app":"y","more":1})", {"core"},
         PathSchema::legacyChineseV1},
        {R"({"schemaVersion":2,"pathSchema":"english-v2","createdAt":"x","app":"y"})", {"00-记忆核心"},
         PathSchema::englishV2},
        {R"({"schemaVersion":2,"pathSchema":"legacy-zh-v3","createdAt":"x","app":"y"})", {"core"}, PathSchema::englishV2},
        {R"({"schemaVersion":2,"pathSchema":"legacy-zh-v1","createdAt":"x"})", {"core"}, PathSchema::englishV2},
        {R"({"schemaVersion":2.5,"pathSchema":"legacy-zh-v1","createdAt":"x","app":"y"})", {"core"},
         PathSchema::englishV2},
        {R"({"schemaVersion":"2","pathSchema":"legacy-zh-v1","createdAt":"x","app":"y"})", {"core"},
         PathSchema::englishV2},
        {R"({"schemaVersion":2,"pathSchema":"legacy-zh-v1","createdAt":1,"app":"y"})", {"core"}, PathSchema::englishV2},
        {R"([1,2])", {"01-情景记忆"}, PathSchema::legacyChineseV1},
        {"not json", {"00-记忆核心"}, PathSchema::legacyChineseV1},
        {nullptr, {"memories", "01-情景记忆"}, PathSchema::englishV2},
        {nullptr, {"01-情景记忆"}, PathSchema::legacyChineseV1},
        {nullptr, {"other"}, std::nullopt},
    };
    for (const auto& c : cases) {
        TempDir dir;
        if (c.marker) dir.write("preferences/quillstack-library.json", c.marker);
        for (const char* folder : c.folders) dir.mkdir(folder);
        EXPECT_EQ(VaultInitializer::detectSchema(dir.path()), c.detected) << (c.marker ? c.marker : "no marker");
    }
}

TEST(DetectSchema, CachesPerPathTextOnlyWhatWasDetected) {
    TempDir dir;
    EXPECT_FALSE(VaultInitializer::detectSchema(dir.path()));
    dir.mkdir("00-记忆核心");  // nothing was cached, so this is seen
    EXPECT_EQ(VaultInitializer::detectSchema(dir.path()), PathSchema::legacyChineseV1);
    dir.mkdir("core");
    dir.write("preferences/quillstack-library.json",
              R"({"schemaVersion":2,"pathSchema":"english-v2","createdAt":"x","app":"y"})");
    EXPECT_EQ(VaultInitializer::detectSchema(dir.path()), PathSchema::legacyChineseV1);  // held for the process
    EXPECT_EQ(VaultInitializer::detectSchema(dir.path() + "/"), PathSchema::englishV2);   // another path text
    VaultInitializer::invalidateSchemaCache();
    EXPECT_EQ(VaultInitializer::detectSchema(dir.path()), PathSchema::englishV2);
}

TEST(ResolveForReading, FallsBackFromEnglishToLegacyFileByFile) {
    TempDir english;
    english.mkdir("core");
    english.write("00-记忆核心/vocabulary.json", "{}");
    english.write("core/Dashboard.json", "{}");
    const std::string& root = english.path();
    EXPECT_EQ(VaultPathResolver::resolveForReading(VaultPath::vocabulary, root), root + "/00-记忆核心/vocabulary.json");
    EXPECT_EQ(VaultPathResolver::resolveForReading(VaultPath::dashboard, root), root + "/core/Dashboard.json");
    EXPECT_EQ(VaultPathResolver::resolveForReading(VaultPath::contacts, root), root + "/core/contacts.json");

    TempDir legacy;  // the marker says legacy: English files are never considered
    legacy.write("preferences/quillstack-library.json",
                 R"({"schemaVersion":2,"pathSchema":"legacy-zh-v1","createdAt":"x","app":"y"})");
    legacy.write("core/Dashboard.json", "{}");
    EXPECT_EQ(VaultPathResolver::resolveForReading(VaultPath::dashboard, legacy.path()),
              legacy.path() + "/00-记忆核心/Dashboard.json");

    TempDir bare;  // nothing detected: English paths
    EXPECT_EQ(VaultPathResolver::resolveForReading(VaultPath::okr, bare.path()), bare.path() + "/core/当前目标与OKR.md");
}

TEST(VaultUrl, AppendsTheSubpathToBothCandidates) {
    test::TempVault vault;
    vault.write("01-情景记忆/00-时间流/insights/2025-03-02/OLD.min.md", "old");
    vault.write("memories/timeline/insights/2025-03-02/NEW.min.md", "new");
    Vault v{vault.path(), PathSchema::englishV2};
    const std::string legacyDir = vault.path() + "/01-情景记忆/00-时间流/insights/";
    const std::string englishDir = vault.path() + "/memories/timeline/insights/";
    EXPECT_EQ(v.url(VaultPath::insightsDir, "2025-03-02/OLD.min.md"), legacyDir + "2025-03-02/OLD.min.md");
    EXPECT_EQ(v.url(VaultPath::insightsDir, "2025-03-02/NEW.min.md"), englishDir + "2025-03-02/NEW.min.md");
    EXPECT_EQ(v.url(VaultPath::insightsDir, "2025-03-09/X.min.md"), englishDir + "2025-03-09/X.min.md");
    EXPECT_EQ(v.url(VaultPath::insightsDir, "/X.min.md"), englishDir + "X.min.md");

    test::TempVault legacyVault(test::Layout::legacy);
    legacyVault.write("preferences/quillstack-library.json",
                      R"({"schemaVersion":2,"pathSchema":"legacy-zh-v1","createdAt":"x","app":"y"})");
    legacyVault.write("memories/timeline/insights/X.min.md", "english file in a legacy vault");
    Vault lv{legacyVault.path(), PathSchema::legacyChineseV1};
    EXPECT_EQ(lv.url(VaultPath::insightsDir, "/X.min.md"),
              legacyVault.path() + "/01-情景记忆/00-时间流/insights/X.min.md");
}

}  // namespace
}  // namespace qs
