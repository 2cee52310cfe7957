// report_daily through the binary on both layouts: the thirteen members passed
// through, the date shape check and the one no-report message.
#include <gtest/gtest.h>

#include "e2e/tool_fixture.hpp"

namespace qs::test {
namespace {

const char* const kDay = "2025-03-01";

std::string noReport(const std::string& date) { return "❌ " + date + " 没有日报。日报由 Mac App 生成,不是每天都有。"; }

// Every member the tool passes on, with nested values of several kinds.
const Json kThirteen = {
    {"headline", "忙碌但有收获的一天"}, {"shortSummary", "完成评审 / 跑步 5 km"}, {"narrative", "上午评审。"},
    {"markdownContent", "# 日报\n\n- 评审"}, {"moodSummary", {{"score", 7.5}, {"words", {"平静"}}}},
    {"keyInsights", {{{"title", "专注"}, {"weight", 2}}}}, {"topInsights", {"a", 1, true, nullptr}},
    {"stats", {{"entries", 12}, {"ratio", 0.25}}}, {"pendingItems", Json::array()}, {"tomorrowSuggestions", {"早睡"}},
    {"mode", "full"}, {"schemaVersion", 3}, {"generatedBy", false},
};

class ReportDaily : public LayoutSuite {
protected:
    void SetUp() override { vault.dashboard(Json::array()); }
    std::string reportPath(const std::string& date) const { return vault.insightsDir() + "/daily_reports/" + date + ".json"; }
    Json report(const std::string& date) { return payload("report_daily", {{"date", date}}); }
};

TEST_P(ReportDaily, PassesTheThirteenMembersThroughAndDropsNullsAndOthers) {
    Json stored = kThirteen;
    stored["date"] = "1999-12-31";  // not among the thirteen: the argument wins
    stored["extraMember"] = "left behind";
    vault.writeJson(reportPath(kDay), stored);
    vault.writeJson(reportPath("2025-03-02"), {{"headline", nullptr}, {"mode", "lite"}, {"stats", nullptr}});
    vault.write(reportPath("2025-03-03"), "{}");
    Json expected = kThirteen;
    expected["date"] = kDay;
    EXPECT_EQ(report(kDay), expected);
    EXPECT_EQ(report("2025-03-02"), (Json{{"date", "2025-03-02"}, {"mode", "lite"}}));
    EXPECT_EQ(report("2025-03-03"), (Json{{"date", "2025-03-03"}}));
}

TEST_P(ReportDaily, RefusalsNameTheDate) {
    // nullptr: no file; 2025-02-30 has only the shape of a day, which is all that is checked.
    const std::pair<const char*, const char*> unusable[] = {
        {"2025-03-04", nullptr}, {"2025-02-30", nullptr}, {"2025-03-05", "[{\"headline\": \"x\"}]"},
        {"2025-03-06", "{\"headline\": "}, {"2025-03-07", ""}, {"2025-03-08", "{\"headline\": \"x\"} trailing"},
    };
    for (const auto& [date, bytes] : unusable) {
        if (bytes) vault.write(reportPath(date), bytes);
    }
    for (const auto& [date, bytes] : unusable) EXPECT_EQ(failure("report_daily", {{"date", date}}), noReport(date));
    for (const std::string date : {"2025-3-1", "2025-03-01\n", "../../../../x"}) {
        EXPECT_EQ(failure("report_daily", {{"date", date}}), "❌ date 要写成 yyyy-MM-dd,收到的是「" + date + "」。");
    }
    for (const Json& args : {Json::object(), Json{{"date", 20250301}}}) {
        EXPECT_EQ(failure("report_daily", args), "❌ 缺少必填参数 `date`(非空字符串)");
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, ReportDaily, bothLayouts, layoutName);

TEST(ReportDailyFallback, AnEnglishVaultReadsALegacyReportWhenOnlyThatExists) {
    TempVault vault(Layout::english);
    vault.dashboard(Json::array());
    vault.writeJson("01-情景记忆/00-时间流/insights/daily_reports/2025-03-01.json", {{"headline", "旧目录"}});
    ServerSession server(vault.path());
    EXPECT_EQ(toolPayload(server.callTool("report_daily", {{"date", kDay}})), (Json{{"date", kDay}, {"headline", "旧目录"}}));
}

}  // namespace
}  // namespace qs::test
