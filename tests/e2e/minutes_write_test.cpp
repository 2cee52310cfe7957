// minutes_write through the binary: locations, bytes, archives, payloads and refusals on both layouts.
#include <gtest/gtest.h>

#include <ctime>   // time
#include <regex>   // std::regex_match
#include <string>  // std::string

#include "e2e/write_fixture.hpp"

namespace qs::test {
namespace {

const char* const kNext = "Mac App 下一轮扫描(约 30 秒)后时间流会更新。Dashboard.json 未被修改。";
const char* const kKeptSummary = "只改了纪要正文,时间流卡片上显示的摘要还是旧的。要一起更新就传 summary。";
const char* const kNoSummary = "这条还没有卡片摘要(.sum.txt),Mac 可能仍把它当未处理。建议补一个 summary 参数。";

class MinutesWrite : public ::testing::TestWithParam<Layout> {
protected:
    void SetUp() override {
        vault.dashboard(Json::array({indexEntry("REC1", "2025-03-02"), indexEntry("REC2", "2025-03-04")}));
    }
    std::string insights(const std::string& rel) const { return vault.insightsDir() + "/" + rel; }
    std::string history(const std::string& id) const { return vault.coreDir() + "/meta/minutes-history/" + id; }
    Json call(const Json& args) {
        ServerSession session(vault.path());
        Json result = session.callTool("minutes_write", args);
        session.finish();
        return result;
    }

    TempVault vault{GetParam()};
};

TEST_P(MinutesWrite, FirstMinutesGoIntoTheIndexedDayFolder) {
    auto before = snapshot(vault);
    Json payload = toolPayload(call({{"id", "REC1"}, {"markdown", "# 纪要\n\n- 第一点"}}));

    const std::string rel = insights("2025-03-02/REC1.min.md");
    EXPECT_EQ(payload, (Json{{"ok", true},
                             {"id", "REC1"},
                             {"date", "2025-03-02"},
                             {"wrote", {vault.at(rel)}},
                             {"archived", Json::array()},
                             {"next", kNext},
                             {"warning", kNoSummary}}));
    EXPECT_EQ(added(before, snapshot(vault)), (std::map<std::string, std::string>{{rel, "# 纪要\n\n- 第一点"}}));
}

TEST_P(MinutesWrite, ReplacingBothArchivesBothUnderOneStamp) {
    vault.write(insights("2025-03-02/REC1.min.md"), "old minutes");
    vault.write(insights("2025-03-02/REC1.sum.txt"), "old summary");
    // Exact bytes: CRLF and no final line end in the minutes, a final line break in the summary.
    const std::string markdown = "# 新纪要\r\n\r\n内容 😀 no newline";
    const std::string summary = "一句话摘要\n";

    std::time_t t0 = std::time(nullptr);
    Json payload = toolPayload(call({{"id", "REC1"}, {"markdown", markdown}, {"summary", summary}}));
    std::time_t t1 = std::time(nullptr);

    EXPECT_FALSE(payload.contains("warning"));
    EXPECT_EQ(payload["wrote"], (Json{vault.at(insights("2025-03-02/REC1.min.md")),
                                      vault.at(insights("2025-03-02/REC1.sum.txt"))}));
    EXPECT_EQ(vault.read(insights("2025-03-02/REC1.min.md")), markdown);
    EXPECT_EQ(vault.read(insights("2025-03-02/REC1.sum.txt")), summary);

    ASSERT_EQ(payload["archived"].size(), 2u);
    auto names = vault.list(history("REC1"));
    ASSERT_EQ(names.size(), 2u);
    std::smatch minutesName, summaryName;
    // Sorted listing: ".min.md" before ".sum.txt" for one stamp.
    ASSERT_TRUE(std::regex_match(names[0], minutesName, archiveNamePattern()));
    ASSERT_TRUE(std::regex_match(names[1], summaryName, archiveNamePattern()));
    EXPECT_EQ(minutesName[1], summaryName[1]) << "one moment per call";
    EXPECT_FALSE(minutesName[2].matched);
    EXPECT_GE(minutesName[1].str(), utcStamp(t0));
    EXPECT_LE(minutesName[1].str(), utcStamp(t1));
    EXPECT_EQ(payload["archived"], (Json{vault.at(history("REC1") + "/" + names[0]),
                                         vault.at(history("REC1") + "/" + names[1])}));
    EXPECT_EQ(vault.read(history("REC1") + "/" + names[0]), "old minutes");
    EXPECT_EQ(vault.read(history("REC1") + "/" + names[1]), "old summary");
}

// Every way of not giving a summary leaves the old one alone, unarchived.
TEST_P(MinutesWrite, WithoutSummaryTheOldOneStaysAndIsNotArchived) {
    const Json absentSummaries[] = {Json(), Json("   \n\t "), Json(""), Json(5), Json::array({"x"})};
    for (const Json& absent : absentSummaries) {
        SCOPED_TRACE(absent.dump());
        TempVault v(GetParam());
        v.dashboard(Json::array({indexEntry("REC1", "2025-03-02")}));
        v.write(v.insightsDir() + "/2025-03-02/REC1.min.md", "old");
        v.write(v.insightsDir() + "/2025-03-02/REC1.sum.txt", "kept summary");
        Json args = {{"id", "REC1"}, {"markdown", "new"}};
        if (!absent.is_null()) args["summary"] = absent;
        ServerSession session(v.path());
        Json payload = toolPayload(session.callTool("minutes_write", args));
        session.finish();

        EXPECT_EQ(payload["warning"], kKeptSummary);
        EXPECT_EQ(payload["wrote"].size(), 1u);
        ASSERT_EQ(payload["archived"].size(), 1u);
        EXPECT_NE(payload["archived"][0].get<std::string>().find(".min.md"), std::string::npos);
        EXPECT_EQ(v.read(v.insightsDir() + "/2025-03-02/REC1.sum.txt"), "kept summary");
        EXPECT_EQ(v.read(v.insightsDir() + "/2025-03-02/REC1.min.md"), "new");
    }
}

TEST_P(MinutesWrite, FollowsTheEntrysFilesToTheDayThatHoldsThem) {
    // REC2's index day (2025-03-04) is empty; its summary lies under 2025-03-01.
    vault.write(insights("2025-03-01/REC2.sum.txt"), "s");
    // ORPHAN is unknown to the index but has a summary on disk.
    vault.write(insights("2025-02-20/ORPHAN.sum.txt"), "orphan summary");

    Json moved = toolPayload(call({{"id", "REC2"}, {"markdown", "m2"}}));
    EXPECT_EQ(moved["date"], "2025-03-01");
    EXPECT_EQ(vault.read(insights("2025-03-01/REC2.min.md")), "m2");
    EXPECT_FALSE(vault.exists(insights("2025-03-04")));

    Json orphan = toolPayload(call({{"id", "ORPHAN"}, {"markdown", "mo"}, {"summary", "so"}}));
    EXPECT_EQ(orphan["date"], "2025-02-20");
    EXPECT_EQ(vault.read(insights("2025-02-20/ORPHAN.min.md")), "mo");
    EXPECT_EQ(vault.read(insights("2025-02-20/ORPHAN.sum.txt")), "so");
    EXPECT_EQ(orphan["archived"].size(), 1u);
}

TEST_P(MinutesWrite, AnEmptyMinutesFileIsStillOldMinutes) {
    vault.write(insights("2025-02-21/GHOST.min.md"), "");
    Json payload = toolPayload(call({{"id", "GHOST"}, {"markdown", "now filled"}}));
    ASSERT_EQ(payload["archived"].size(), 1u);
    auto names = vault.list(history("GHOST"));
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(vault.read(history("GHOST") + "/" + names[0]), "");
    EXPECT_EQ(payload["warning"], kNoSummary);
}

TEST_P(MinutesWrite, RefusalsNameTheProblemAndWriteNothing) {
    vault.write(vault.outputsDir() + "/2025-02-28/TRONLY.tr.txt", "only a transcript");
    struct Case {
        Json args;
        std::string text;
    };
    const Case cases[] = {
        {Json::object(), "❌ 缺少必填参数 `id`(非空字符串)"},
        {{{"markdown", "m"}}, "❌ 缺少必填参数 `id`(非空字符串)"},
        {{{"id", ""}, {"markdown", "m"}}, "❌ 缺少必填参数 `id`(非空字符串)"},
        {{{"id", "REC1"}}, "❌ 缺少必填参数 `markdown`(非空字符串)"},
        {{{"id", "REC1"}, {"markdown", ""}}, "❌ 缺少必填参数 `markdown`(非空字符串)"},
        {{{"id", "TRONLY"}, {"markdown", "m"}},
         "❌ 找不到条目 TRONLY —— Dashboard 里没有,磁盘上也没有它的产物文件。"},
        {{{"id", "NOWHERE"}, {"markdown", "m"}},
         "❌ 定位不到条目 NOWHERE 的日期目录。先用 vault_search 确认 id 是对的。"},
    };
    auto before = snapshot(vault);
    ServerSession session(vault.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.dump());
        EXPECT_EQ(failureText(session.callTool("minutes_write", c.args)), c.text);
    }
    session.finish();
    EXPECT_EQ(snapshot(vault), before);
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, MinutesWrite, ::testing::Values(Layout::english, Layout::legacy),
                         [](const auto& info) { return info.param == Layout::english ? "english" : "legacy"; });

// An English vault whose entry still lives under the legacy names: the old
// files are read there, the new ones follow the English layout.
TEST(MinutesWriteMixedLayout, ReadsLegacyFilesAndWritesTheEnglishLayout) {
    TempVault vault(Layout::english);
    vault.dashboard(Json::array({indexEntry("OLD1", "2024-12-30")}));
    vault.write("01-情景记忆/00-时间流/insights/2024-12-30/OLD1.min.md", "legacy minutes");
    vault.write("01-情景记忆/00-时间流/insights/2024-12-30/OLD1.sum.txt", "legacy summary");

    ServerSession session(vault.path());
    Json payload = toolPayload(session.callTool("minutes_write", {{"id", "OLD1"}, {"markdown", "m"}}));
    session.finish();

    EXPECT_EQ(payload["wrote"], Json{vault.at("memories/timeline/insights/2024-12-30/OLD1.min.md")});
    EXPECT_EQ(payload["warning"], kKeptSummary);
    ASSERT_EQ(payload["archived"].size(), 1u);
    auto names = vault.list("core/meta/minutes-history/OLD1");
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(vault.read("core/meta/minutes-history/OLD1/" + names[0]), "legacy minutes");
    EXPECT_EQ(vault.read("01-情景记忆/00-时间流/insights/2024-12-30/OLD1.min.md"), "legacy minutes");
}

}  // namespace
}  // namespace qs::test
