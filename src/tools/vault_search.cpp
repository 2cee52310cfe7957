// vault_search: the timeline index searched by text, type and day range.
#include <vector>  // std::vector

#include "protocol/tool_result.hpp"
#include "timeline/dashboard_index.hpp"
#include "tools/read_tools.hpp"

namespace qs::ReadTools {

Json search(const RPCRequest& request, const Vault& vault) {
    // The index comes first: an unreadable index fails whatever the arguments.
    DashboardIndex index = DashboardIndex::load(vault);
    auto query = request.optionalString("query");
    auto type = request.optionalString("type");
    auto dateFrom = request.optionalString("date_from");
    auto dateTo = request.optionalString("date_to");
    int64_t limit = request.optionalInt("limit", 20);

    std::vector<const FeedItem*> found = index.search(query, type, dateFrom, dateTo, limit);
    Json items = Json::array();
    for (const FeedItem* item : found) items.push_back(item->summaryDict(180));
    Json payload = Json::object();
    payload["total_in_vault"] = index.items.size();
    payload["returned"] = found.size();
    payload["items"] = std::move(items);
    return ToolResult::json(payload);
}

}  // namespace qs::ReadTools
