// Which day folder holds an entry's files, and where its minutes, summary
// and archive copies go under either layout.
#include "vault/entry_files.hpp"

#include <gtest/gtest.h>

#include "support/temp_vault.hpp"
#include "vault/path_component.hpp"

namespace qs {
namespace {

using test::Layout;
using test::TempVault;

TEST(PathComponent, OnlyOneHarmlessNamePasses) {
    for (const std::string name : {"8F2A-UUID", "2025-03-02", "..hidden", "名字 with space"}) {
        EXPECT_TRUE(isSinglePathComponent(name)) << name;
    }
    for (const std::string name : {"", ".", "..", "../x", "a/b", "a\\b", "/"}) EXPECT_FALSE(isSinglePathComponent(name)) << name;
    EXPECT_FALSE(isSinglePathComponent(std::string("a\0b", 3)));
}

class LocateTest : public ::testing::Test {
protected:
    TempVault dir;
    Vault vault{dir.path(), PathSchema::englishV2};
    std::string day(const std::string& hint) { return VaultFiles::locate(vault, "X", hint).day; }
};

// The hinted day when it holds a file; else the newest day folder holding one,
// insights before outputs; folders not shaped like a day are no days.
TEST_F(LocateTest, TheDayFolderThatHoldsTheFilesWins) {
    dir.write(dir.insightsDir() + "/2025-03-02/X.meta.json", "{}");
    dir.write(dir.insightsDir() + "/2025-03-05/X.sum.txt", "");
    dir.write(dir.insightsDir() + "/2025-03-04/X.sum.txt", "");
    dir.write(dir.outputsDir() + "/2025-03-08/X.tr.txt", "");
    dir.write(dir.insightsDir() + "/2025-3-9/X.sum.txt", "");
    dir.write(dir.insightsDir() + "/drafts/X.sum.txt", "");
    EXPECT_EQ(day("2025-03-02"), "2025-03-02");
    EXPECT_EQ(day("2025-03-01"), "2025-03-05");
    EXPECT_EQ(day(""), "2025-03-05");
}

TEST_F(LocateTest, OutputsAloneAndLegacyFilesAreFound) {
    dir.write(dir.outputsDir() + "/2025-02-28/X.tr.txt", "");
    EXPECT_EQ(day(""), "2025-02-28");
    dir.write("01-情景记忆/00-时间流/insights/2025-01-10/X.min.md", "");  // left under the legacy tree
    EXPECT_EQ(day(""), "2025-01-10");
    EXPECT_EQ(VaultFiles::locate(vault, "X", "2025-01-10").insightsFile(".min.md"),
              dir.at("01-情景记忆/00-时间流/insights/2025-01-10/X.min.md"));
}

TEST_F(LocateTest, NoFilesKeepsTheHintButNeverAnUnsafeOne) {
    EXPECT_EQ(day("2025-03-02"), "2025-03-02");
    EXPECT_EQ(day("drafts"), "drafts");  // a folder name the index gave, as such
    for (const char* unsafe : {"..", "../..", "2025/03", "a\\b", "."}) EXPECT_EQ(day(unsafe), "") << unsafe;
    // An empty day puts the files directly in the base folders.
    VaultFiles files = VaultFiles::locate(vault, "X", "..");
    EXPECT_EQ(files.minutesForWriting(), dir.at("memories/timeline/insights/X.min.md"));
    EXPECT_EQ(files.transcriptJsonPath(), dir.at("memories/timeline/outputs/X.transcript.json"));
    dir.write(dir.insightsDir() + "/2025-03-01/X.min.md", "");
    EXPECT_EQ(day("../../etc"), "2025-03-01");
}

TEST(EntryFilesWriting, FollowTheVaultsLayoutWithoutFallback) {
    const auto t = std::chrono::system_clock::time_point(std::chrono::seconds(1740903300));  // 2025-03-02T08:15:00Z
    for (const auto& [layout, minutes, archive] :
         {std::tuple{Layout::english, "memories/timeline/insights/2025-03-02/X.min.md",
                     "core/meta/minutes-history/X/2025-03-02T081500Z.min.md"},
          {Layout::legacy, "01-情景记忆/00-时间流/insights/2025-03-02/X.min.md",
           "00-记忆核心/meta/minutes-history/X/2025-03-02T081500Z.min.md"}}) {
        TempVault dir(layout);
        // A legacy minutes file in an English vault is read, but never written.
        dir.write("01-情景记忆/00-时间流/insights/2025-03-02/X.min.md", "");
        Vault vault{dir.path(), layout == Layout::legacy ? PathSchema::legacyChineseV1 : PathSchema::englishV2};
        VaultFiles files{&vault, "X", "2025-03-02"};
        EXPECT_EQ(files.minutesForWriting(), dir.at(minutes));
        EXPECT_EQ(files.archivePath(".min.md", t + std::chrono::milliseconds(999)), dir.at(archive));
        EXPECT_NE(files.archivePath(".sum.txt", t), dir.at(archive));
    }
}

}  // namespace
}  // namespace qs
