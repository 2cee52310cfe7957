// report_daily: one day's stored AI report, a fixed set of its members passed
// through unchanged.
#include <array>        // std::array
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <utility>      // std::move

#include "tools/app_views.hpp"
#include "tools/tool_arguments.hpp"
#include "tools/tool_failure.hpp"
#include "tools/tool_result.hpp"
#include "tools/vault_failure.hpp"
#include "vault/vault_io.hpp"

namespace qs {
namespace {

constexpr std::string_view kDescription[] = {
    "读某一天的 AI 日报:标题、口语化总结、关键洞察、当天统计、明日建议。",
    "想了解「那天整体发生了什么」用这个,比逐条翻 vault_search 高效。",
};
constexpr ToolParam kDate{"date", "string", "日期,yyyy-MM-dd。", true, 0, {}, TextForm::day};
constexpr ToolParam kParams[] = {kDate};

// The members handed to the client; everything else in the file stays behind.
constexpr std::array<std::string_view, 13> kReportMembers = {
    "headline",
    "shortSummary",
    "narrative",
    "markdownContent",
    "moodSummary",
    "keyInsights",
    "topInsights",
    "stats",
    "pendingItems",
    "tomorrowSuggestions",
    "mode",
    "schemaVersion",
    "generatedBy",
};

Json run(const ToolArguments& arguments, ToolContext& context) {
    // Only a day on the calendar, in the plain ten-character ASCII shape: the date becomes a file name.
    const std::string date = arguments.requiredString(kDate);
    const std::string noReport = date + " 没有日报。日报由 Mac App 生成,不是每天都有。";

    auto bytes = VaultIO::readData(context.vault(), context.vault().path(VaultPath::dailyReportsDir, date + ".json"));
    if (!bytes) {
        treatAsMissing(bytes.error());
        throw ToolFailure(noReport);
    }
    // Numbers keep their own text: the client gets each value as the file wrote it.
    std::optional<Json> report = parseJsonDocument(*bytes, JsonNumbers::ownText);
    if (!report || !report->is_object()) throw ToolFailure(noReport);

    Json payload{{"date", date}};
    for (std::string_view member : kReportMembers) {
        auto found = report->find(member);
        if (found != report->end() && !found->is_null()) payload[std::string(member)] = std::move(*found);
    }
    return ToolResult::json(payload);
}

}  // namespace

constexpr ToolDefinition reportDailyTool{
    "report_daily", "读日报", kDescription, kParams, kReadOnlyHints, run, kDayView};

}  // namespace qs
