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

std::chrono::system_clock::time_point utc(int64_t unixSeconds) {
    return std::chrono::system_clock::time_point(std::chrono::seconds(unixSeconds));
}

TEST(PathComponent, OnlyOneHarmlessNamePasses) {
    struct Case {
        std::string name;
        bool single;
    } cases[] = {
        {"8F2A-UUID", true},  {"2025-03-02", true}, {"..hidden", true}, {"名字 with space", true},
        {"", false},          {".", false},         {"..", false},      {"../x", false},
        {"a/b", false},       {"a\\b", false},      {"/", false},       {std::string("a\0b", 3), false},
    };
    for (const auto& c : cases) EXPECT_EQ(isSinglePathComponent(c.name), c.single) << c.name;
}

class LocateTest : public ::testing::Test {
protected:
    TempVault dir;
    Vault vault{dir.path(), PathSchema::englishV2};
    std::string day(const std::string& hint) { return VaultFiles::locate(vault, "X", hint).day; }
};

TEST_F(LocateTest, HintedDayWinsWhenItHoldsAFile) {
    dir.write(dir.insightsDir() + "/2025-03-02/X.meta.json", "{}");
    dir.write(dir.insightsDir() + "/2025-03-09/X.sum.txt", "newer, but the hint is checked first");
    EXPECT_EQ(day("2025-03-02"), "2025-03-02");
}

TEST_F(LocateTest, NewestDayFolderOtherwiseInsightsBeforeOutputs) {
    dir.write(dir.insightsDir() + "/2025-03-05/X.sum.txt", "");
    dir.write(dir.insightsDir() + "/2025-03-04/X.sum.txt", "");
    dir.write(dir.outputsDir() + "/2025-03-08/X.tr.txt", "");
    dir.write(dir.insightsDir() + "/2025-3-9/X.sum.txt", "");  // not the day shape
    dir.write(dir.insightsDir() + "/drafts/X.sum.txt", "");
    EXPECT_EQ(day("2025-03-02"), "2025-03-05");
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
    dir.write(dir.insightsDir() + "/drafts/X.sum.txt", "");
    dir.write(dir.insightsDir() + "/2025-3-5/X.sum.txt", "");
    EXPECT_EQ(day("2025-03-02"), "2025-03-02");
    EXPECT_EQ(day("drafts"), "drafts");  // a folder name the index gave, as such
    for (const char* unsafe : {"..", "../..", "2025/03", "a\\b", "."}) EXPECT_EQ(day(unsafe), "") << unsafe;
    dir.write(dir.insightsDir() + "/2025-03-01/X.min.md", "");
    EXPECT_EQ(day("../../etc"), "2025-03-01");
}

TEST_F(LocateTest, EmptyDayPutsFilesDirectlyInTheBaseFolder) {
    VaultFiles files = VaultFiles::locate(vault, "X", "");
    EXPECT_EQ(files.day, "");
    EXPECT_EQ(files.minutesForWriting(), dir.at("memories/timeline/insights/X.min.md"));
    EXPECT_EQ(files.summaryForWriting(), dir.at("memories/timeline/insights/X.sum.txt"));
    EXPECT_EQ(files.transcriptJSON(), dir.at("memories/timeline/outputs/X.transcript.json"));
}

TEST(EntryFilesWriting, FollowTheLayoutDetectedNowWithoutFallback) {
    const auto t = utc(1740903300);  // 2025-03-02T08:15:00Z
    struct Case {
        Layout layout;
        const char *minutes, *archive;
    } cases[] = {
        {Layout::english, "memories/timeline/insights/2025-03-02/X.min.md",
         "core/meta/minutes-history/X/2025-03-02T081500Z.min.md"},
        {Layout::legacy, "01-情景记忆/00-时间流/insights/2025-03-02/X.min.md",
         "00-记忆核心/meta/minutes-history/X/2025-03-02T081500Z.min.md"},
    };
    for (const auto& c : cases) {
        TempVault dir(c.layout);
        // A legacy minutes file in an English vault is read, but never written.
        dir.write("01-情景记忆/00-时间流/insights/2025-03-02/X.min.md", "");
        Vault vault{dir.path(), PathSchema::englishV2};
        VaultFiles files{&vault, "X", "2025-03-02"};
        EXPECT_EQ(files.minutesForWriting(), dir.at(c.minutes));
        EXPECT_EQ(files.archiveURL(".min.md", t), dir.at(c.archive));
        EXPECT_EQ(files.archiveURL(".min.md", t + std::chrono::milliseconds(999)), dir.at(c.archive));
        EXPECT_NE(files.archiveURL(".sum.txt", t), dir.at(c.archive));
    }
}

}  // namespace
}  // namespace qs
