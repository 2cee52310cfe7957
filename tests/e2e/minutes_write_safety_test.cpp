// minutes_write loses no version: unsafe input, same-second rewrites, odd bytes, failed writes, racing servers.
#include <gtest/gtest.h>

#include <ctime>   // time
#include <regex>   // std::regex_match
#include <set>     // std::multiset
#include <string>  // std::string
#include <thread>  // std::thread
#include <vector>  // std::vector

#include "e2e/write_fixture.hpp"

namespace qs::test {
namespace {

std::string historyDir(const TempVault& v, const std::string& id) {
    return v.coreDir() + "/meta/minutes-history/" + id;
}

class MinutesWriteSafety : public ::testing::TestWithParam<Layout> {
protected:
    void SetUp() override { vault.dashboard(Json::array({indexEntry("REC1", "2025-03-02")})); }
    std::string entryFile(const std::string& suffix) const {
        return vault.insightsDir() + "/2025-03-02/REC1" + suffix;
    }
    TempVault vault{GetParam()};
};

TEST_P(MinutesWriteSafety, IdsThatWouldLeaveTheirFolderAreRefused) {
    // Even listed in the index, such ids must never become file names.
    vault.dashboard(Json::array({indexEntry("../escape", "2025-03-02"), indexEntry("a/b", "2025-03-02")}));
    vault.write(vault.insightsDir() + "/escape.min.md", "bait");
    const std::string ids[] = {"../escape", "../../../x", "a/b", "..", ".", "a\\b", std::string("a\0b", 3)};
    auto before = snapshot(vault);
    ServerSession session(vault.path());
    for (const auto& id : ids) {
        SCOPED_TRACE(id);
        std::string text = failureText(session.callTool("minutes_write", {{"id", id}, {"markdown", "pwned"}}));
        EXPECT_EQ(text.rfind("❌ id 不合法", 0), 0u) << text;
    }
    session.finish();
    EXPECT_EQ(snapshot(vault), before);
}

TEST_P(MinutesWriteSafety, AnIndexDayThatIsNoFolderNameIsNoDay) {
    vault.dashboard(Json::array({Json{{"id", "SLY"}, {"date", "../../../tmp"}}}));
    auto before = snapshot(vault);
    ServerSession session(vault.path());
    EXPECT_EQ(failureText(session.callTool("minutes_write", {{"id", "SLY"}, {"markdown", "m"}})),
              "❌ 定位不到条目 SLY 的日期目录。先用 vault_search 确认 id 是对的。");
    session.finish();
    EXPECT_EQ(snapshot(vault), before);
}

// Archive names carry the second only; a later copy in the same second gets
// "-2" (both copies of the call sharing it) instead of replacing the first.
TEST_P(MinutesWriteSafety, ASameSecondArchiveGetsANameOfItsOwn) {
    vault.write(entryFile(".min.md"), "version 1");
    vault.write(entryFile(".sum.txt"), "summary 1");
    // Occupy the plain minutes names of the coming minute, as an earlier call would have.
    std::time_t now = std::time(nullptr);
    for (std::time_t t = now - 1; t < now + 60; ++t) {
        vault.write(historyDir(vault, "REC1") + "/" + utcStamp(t) + ".min.md", "earlier copy");
    }
    auto before = snapshot(vault);

    ServerSession session(vault.path());
    Json payload = toolPayload(
        session.callTool("minutes_write", {{"id", "REC1"}, {"markdown", "version 2"}, {"summary", "summary 2"}}));
    session.finish();

    auto diff = added(before, snapshot(vault));
    ASSERT_EQ(payload["archived"].size(), 2u);
    std::string minutesName = payload["archived"][0].get<std::string>();
    std::string summaryName = payload["archived"][1].get<std::string>();
    minutesName = minutesName.substr(minutesName.rfind('/') + 1);
    summaryName = summaryName.substr(summaryName.rfind('/') + 1);
    std::smatch m, s;
    ASSERT_TRUE(std::regex_match(minutesName, m, archiveNamePattern())) << minutesName;
    ASSERT_TRUE(std::regex_match(summaryName, s, archiveNamePattern())) << summaryName;
    EXPECT_EQ(m[2], "-2");
    EXPECT_EQ(s[2], "-2") << "the summary copy shares the minutes copy's name";
    EXPECT_EQ(m[1], s[1]);
    EXPECT_EQ(diff, (std::map<std::string, std::string>{
                        {historyDir(vault, "REC1") + "/" + minutesName, "version 1"},
                        {historyDir(vault, "REC1") + "/" + summaryName, "summary 1"},
                        {entryFile(".min.md"), "version 2"},
                        {entryFile(".sum.txt"), "summary 2"},
                    }));
}

TEST_P(MinutesWriteSafety, QuickSuccessiveRewritesKeepEveryVersion) {
    vault.write(entryFile(".min.md"), "v0");
    ServerSession session(vault.path());
    for (int i = 1; i <= 6; ++i) {
        toolPayload(session.callTool("minutes_write", {{"id", "REC1"}, {"markdown", "v" + std::to_string(i)}}));
    }
    session.finish();
    std::multiset<std::string> archived;
    for (const auto& name : vault.list(historyDir(vault, "REC1"))) {
        EXPECT_TRUE(std::regex_match(name, archiveNamePattern())) << name;
        archived.insert(*vault.read(historyDir(vault, "REC1") + "/" + name));
    }
    EXPECT_EQ(archived, (std::multiset<std::string>{"v0", "v1", "v2", "v3", "v4", "v5"}));
    EXPECT_EQ(vault.read(entryFile(".min.md")), "v6");
}

// Bytes that are not UTF-8 are still the user's text: archived as they are,
// and they count as existing minutes and summary.
TEST_P(MinutesWriteSafety, OldFilesThatAreNotUtf8AreArchivedRaw) {
    const std::string oddMinutes = "GBK \xc4\xe3\xba\xc3 \xff\xfe";
    const std::string oddSummary = "\xc3(";
    vault.write(vault.insightsDir() + "/2025-01-05/RAW.min.md", oddMinutes);
    vault.write(vault.insightsDir() + "/2025-01-05/RAW.sum.txt", oddSummary);
    ServerSession session(vault.path());
    Json first = toolPayload(session.callTool("minutes_write", {{"id", "RAW"}, {"markdown", "m1"}}));
    EXPECT_EQ(first["warning"], "只改了纪要正文,时间流卡片上显示的摘要还是旧的。要一起更新就传 summary。");
    Json second = toolPayload(session.callTool("minutes_write", {{"id", "RAW"}, {"markdown", "m2"}, {"summary", "s"}}));
    session.finish();

    std::multiset<std::string> archived;
    for (const auto& name : vault.list(historyDir(vault, "RAW"))) {
        archived.insert(*vault.read(historyDir(vault, "RAW") + "/" + name));
    }
    EXPECT_EQ(archived, (std::multiset<std::string>{oddMinutes, "m1", oddSummary}));
    EXPECT_EQ(first["archived"].size(), 1u);
    EXPECT_EQ(second["archived"].size(), 2u);
}

// Failures, provoked with a plain file or folder where the other must go (so
// they also happen for root): each leaves exactly the earlier steps' files.
TEST_P(MinutesWriteSafety, ABlockedArchiveFolderChangesNothing) {
    vault.write(entryFile(".min.md"), "old");
    vault.write(vault.coreDir() + "/meta/minutes-history", "a file, not a folder");
    auto before = snapshot(vault);
    ServerSession session(vault.path());
    std::string text = failureText(session.callTool("minutes_write", {{"id", "REC1"}, {"markdown", "new"}}));
    session.finish();
    EXPECT_EQ(text.rfind("❌ 建目录失败: ", 0), 0u) << text;
    EXPECT_EQ(snapshot(vault), before);
}

// An old summary that is there but cannot be read (here a folder; in life a
// file still in iCloud) would be replaced without its archive copy.
TEST_P(MinutesWriteSafety, AnOldFileThatCannotBeReadIsNeverReplaced) {
    vault.write(entryFile(".min.md"), "old");
    vault.mkdir(entryFile(".sum.txt"));
    auto before = snapshot(vault);
    ServerSession session(vault.path());
    std::string text = failureText(
        session.callTool("minutes_write", {{"id", "REC1"}, {"markdown", "new"}, {"summary", "s"}}));
    session.finish();
    EXPECT_EQ(text.rfind("❌ 读不到现有文件 " + vault.at(entryFile(".sum.txt")), 0), 0u) << text;
    EXPECT_EQ(snapshot(vault), before);
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, MinutesWriteSafety, ::testing::Values(Layout::english, Layout::legacy),
                         [](const auto& info) { return info.param == Layout::english ? "english" : "legacy"; });

// Old files under the legacy names, new ones under the English layout, whose
// insights folder is blocked: the archives stay, the old minutes are untouched.
TEST(MinutesWriteFailure, AFailedMinutesWriteKeepsTheArchivesAndTheOldMinutes) {
    TempVault vault(Layout::english);
    vault.dashboard(Json::array({indexEntry("OLD1", "2024-12-30")}));
    vault.write("01-情景记忆/00-时间流/insights/2024-12-30/OLD1.min.md", "legacy minutes");
    vault.write("01-情景记忆/00-时间流/insights/2024-12-30/OLD1.sum.txt", "legacy summary");
    vault.write("memories/timeline/insights", "a file, not a folder");
    auto before = snapshot(vault);
    ServerSession session(vault.path());
    std::string text = failureText(
        session.callTool("minutes_write", {{"id", "OLD1"}, {"markdown", "new"}, {"summary", "s"}}));
    session.finish();
    EXPECT_EQ(text.rfind("❌ 建目录失败: ", 0), 0u) << text;
    std::multiset<std::string> archived;
    for (const auto& [rel, bytes] : added(before, snapshot(vault))) {
        EXPECT_EQ(rel.rfind("core/meta/minutes-history/OLD1/", 0), 0u) << rel;
        archived.insert(bytes);
    }
    EXPECT_EQ(archived, (std::multiset<std::string>{"legacy minutes", "legacy summary"}));
}

// Two servers rewriting one entry as fast as they can: every replaced version
// reaches the history, the current files are each one written text, whole.
TEST(MinutesWriteConcurrency, TwoServersLoseNoVersion) {
    TempVault vault(Layout::english);
    vault.dashboard(Json::array({indexEntry("HOT", "2025-03-02")}));
    const std::string dir = "memories/timeline/insights/2025-03-02/";
    vault.write(dir + "HOT.min.md", "m-initial");
    vault.write(dir + "HOT.sum.txt", "s-initial");
    constexpr int kCalls = 50;
    // Bulky texts, so a torn or interleaved write would show.
    auto minutesText = [](int p, int i) {
        return "m-" + std::to_string(p) + "-" + std::to_string(i) + std::string(8192, 'x');
    };
    auto summaryText = [](int p, int i) { return "s-" + std::to_string(p) + "-" + std::to_string(i); };

    std::vector<std::thread> writers;
    for (int p = 0; p < 2; ++p) {
        writers.emplace_back([&, p] {
            ServerSession session(vault.path());
            for (int i = 0; i < kCalls; ++i) {
                Json result = session.callTool(
                    "minutes_write", {{"id", "HOT"}, {"markdown", minutesText(p, i)}, {"summary", summaryText(p, i)}});
                EXPECT_EQ(result.value("isError", true), false) << result.dump();
            }
            session.finish();
        });
    }
    for (auto& w : writers) w.join();

    std::multiset<std::string> minutesWritten{"m-initial"}, summariesWritten{"s-initial"};
    for (int p = 0; p < 2; ++p) {
        for (int i = 0; i < kCalls; ++i) {
            minutesWritten.insert(minutesText(p, i));
            summariesWritten.insert(summaryText(p, i));
        }
    }
    std::string finalMinutes = *vault.read(dir + "HOT.min.md");
    std::string finalSummary = *vault.read(dir + "HOT.sum.txt");
    ASSERT_EQ(minutesWritten.count(finalMinutes), 1u) << "not one written text: " << finalMinutes.substr(0, 20);
    ASSERT_EQ(summariesWritten.count(finalSummary), 1u);
    minutesWritten.erase(finalMinutes);
    summariesWritten.erase(finalSummary);

    std::multiset<std::string> minutesArchived, summariesArchived;
    for (const auto& name : vault.list("core/meta/minutes-history/HOT")) {
        ASSERT_TRUE(std::regex_match(name, archiveNamePattern())) << name;
        std::string bytes = *vault.read("core/meta/minutes-history/HOT/" + name);
        (name.find(".min.md") != std::string::npos ? minutesArchived : summariesArchived).insert(bytes);
    }
    EXPECT_EQ(minutesArchived, minutesWritten);
    EXPECT_EQ(summariesArchived, summariesWritten);
    // Nothing else anywhere: no temporary or lock files.
    EXPECT_EQ(vault.listRecursive().size(), 3u + 4u * kCalls);
}

}  // namespace
}  // namespace qs::test
