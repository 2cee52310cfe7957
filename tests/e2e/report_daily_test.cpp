// report_daily through the binary on both layouts: the thirteen members passed
// through, the date shape check and the one no-report message.
#include <gtest/gtest.h>

#include <string>  // std::string

#include "support/server_process.hpp"
#include "support/temp_vault.hpp"

namespace qs::test {
namespace {

const char* const kDay = "2025-03-01";

std::string noReport(const std::string& date) {
    return "❌ " + date + " 没有日报。日报由 Mac App 生成,不是每天都有。";
}

std::string badShape(const std::string& date) { return "❌ date 要写成 yyyy-MM-dd,收到的是「" + date + "」。"; }

// Every member the tool passes on, with nested values of several kinds.
Json thirteenMembers() {
    return Json{
        {"headline", "忙碌但有收获的一天"},
        {"shortSummary", "完成评审 / 跑步 5 km"},
        {"narrative", "上午评审,下午写文档。"},
        {"markdownContent", "# 日报\n\n- 评审\n- 跑步"},
        {"moodSummary", {{"score", 7.5}, {"words", {"平静", "专注"}}}},
        {"keyInsights", {{{"title", "专注时段"}, {"evidence", {"9:00-11:00"}}}, {{"title", "运动"}, {"weight", 2}}}},
        {"topInsights", {"a", 1, true, nullptr}},
        {"stats", {{"entries", 12}, {"byType", {{"voice", 3}, {"text", 9}}}, {"ratio", 0.25}}},
        {"pendingItems", Json::array()},
        {"tomorrowSuggestions", {"早睡"}},
        {"mode", "full"},
        {"schemaVersion", 3},
        {"generatedBy", false},
    };
}

class ReportDaily : public ::testing::TestWithParam<Layout> {
protected:
    void SetUp() override { vault.dashboard(Json::array()); }
    std::string reportPath(const std::string& date) const {
        return vault.insightsDir() + "/daily_reports/" + date + ".json";
    }
    Json call(ServerSession& server, const Json& args) { return server.callTool("report_daily", args); }
    TempVault vault{GetParam()};
};

TEST_P(ReportDaily, PassesTheThirteenMembersThroughUnchangedAndNothingElse) {
    Json report = thirteenMembers();
    report["date"] = "1999-12-31";  // not among the thirteen: the argument wins
    report["extraMember"] = "left behind";
    vault.writeJson(reportPath(kDay), report);

    ServerSession server(vault.path());
    Json expected = thirteenMembers();
    expected["date"] = kDay;
    EXPECT_EQ(toolPayload(call(server, {{"date", kDay}})), expected);
}

TEST_P(ReportDaily, NullMembersAreDroppedAndAnEmptyReportGivesOnlyTheDate) {
    vault.writeJson(reportPath("2025-03-02"), {{"headline", nullptr}, {"mode", "lite"}, {"stats", nullptr}});
    vault.write(reportPath("2025-03-03"), "{}");
    ServerSession server(vault.path());
    EXPECT_EQ(toolPayload(call(server, {{"date", "2025-03-02"}})), (Json{{"date", "2025-03-02"}, {"mode", "lite"}}));
    EXPECT_EQ(toolPayload(call(server, {{"date", "2025-03-03"}})), (Json{{"date", "2025-03-03"}}));
}

TEST_P(ReportDaily, OneMessageForAMissingUnparsableOrNonObjectReport) {
    const struct {
        const char* date;
        const char* bytes;  // nullptr: no file
    } cases[] = {
        {"2025-03-04", nullptr},
        {"2025-02-30", nullptr},  // only the shape is checked
        {"2025-03-05", "[{\"headline\": \"x\"}]"},
        {"2025-03-06", "{\"headline\": "},
        {"2025-03-07", ""},
        {"2025-03-08", "\"headline\""},
        {"2025-03-09", "{\"headline\": \"x\"} trailing"},
    };
    for (const auto& c : cases) {
        if (c.bytes) vault.write(reportPath(c.date), c.bytes);
    }
    ServerSession server(vault.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.date);
        Json result = call(server, {{"date", c.date}});
        EXPECT_EQ(result.value("isError", false), true);
        EXPECT_EQ(toolText(result), noReport(c.date));
    }
}

TEST_P(ReportDaily, RefusesAnythingButThePlainDayShape) {
    vault.writeJson(reportPath(kDay), thirteenMembers());
    ServerSession server(vault.path());
    for (const std::string date : {" 2025-03-01", "2025-03-01 ", "2025-03-01\n", "2025-3-1", "2025/03/01",
                                   "２０２５-03-01", "2025-03-011", "../../../../x", "2025-03-0a"}) {
        SCOPED_TRACE(date);
        Json result = call(server, {{"date", date}});
        EXPECT_EQ(result.value("isError", false), true);
        EXPECT_EQ(toolText(result), badShape(date));
    }
}

TEST_P(ReportDaily, ADateIsRequired) {
    ServerSession server(vault.path());
    for (const Json& args : {Json::object(), Json{{"date", ""}}, Json{{"date", 20250301}}, Json{{"date", nullptr}}}) {
        SCOPED_TRACE(args.dump());
        Json result = call(server, args);
        EXPECT_EQ(result.value("isError", false), true);
        EXPECT_EQ(toolText(result), "❌ 缺少必填参数 `date`(非空字符串)");
    }
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, ReportDaily, ::testing::Values(Layout::english, Layout::legacy),
                         [](const auto& info) { return info.param == Layout::english ? "English" : "Legacy"; });

TEST(ReportDailyFallback, AnEnglishVaultReadsALegacyReportWhenOnlyThatExists) {
    TempVault vault(Layout::english);
    vault.dashboard(Json::array());
    vault.writeJson("01-情景记忆/00-时间流/insights/daily_reports/2025-03-01.json", {{"headline", "旧目录"}});
    ServerSession server(vault.path());
    EXPECT_EQ(toolPayload(server.callTool("report_daily", {{"date", kDay}})),
              (Json{{"date", kDay}, {"headline", "旧目录"}}));
}

}  // namespace
}  // namespace qs::test
