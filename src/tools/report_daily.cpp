// report_daily: one day's stored AI report, a fixed set of its members passed
// through unchanged.
#include <array>        // std::array
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <utility>      // std::move

#include "protocol/tool_failure.hpp"
#include "protocol/tool_result.hpp"
#include "text/unicode.hpp"
#include "tools/read_tools.hpp"
#include "vault/path_schema.hpp"
#include "vault/vault_io.hpp"

namespace qs::ReadTools {
namespace {

// The members handed to the client; everything else in the file stays behind.
constexpr std::array<std::string_view, 13> kReportMembers = {
    "headline",    "shortSummary", "narrative",    "markdownContent", "moodSummary",
    "keyInsights", "topInsights",  "stats",        "pendingItems",    "tomorrowSuggestions",
    "mode",        "schemaVersion", "generatedBy",
};

}  // namespace

Json reportDaily(const RPCRequest& request, const Vault& vault) {
    const std::string date = request.requiredString("date");
    // Only the plain ten-character ASCII shape: the date becomes a file name.
    if (!text::isDayShape(date)) {
        throw ToolFailure("date 要写成 yyyy-MM-dd,收到的是「" + date + "」。");
    }
    const std::string noReport = date + " 没有日报。日报由 Mac App 生成,不是每天都有。";

    std::optional<std::string> bytes = VaultIO::readData(vault.url(VaultPath::dailyReportsDir, date + ".json"));
    if (!bytes) throw ToolFailure(noReport);
    std::optional<Json> report = parseJsonDocument(*bytes);
    if (!report || !report->is_object()) throw ToolFailure(noReport);

    Json payload{{"date", date}};
    for (std::string_view member : kReportMembers) {
        auto found = report->find(member);
        if (found != report->end() && !found->is_null()) payload[std::string(member)] = std::move(*found);
    }
    return ToolResult::json(payload);
}

}  // namespace qs::ReadTools
