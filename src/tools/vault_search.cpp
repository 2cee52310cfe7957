// vault_search: the timeline index searched by text, type and day range.
#include <vector>  // std::vector

#include "protocol/tool_result.hpp"
#include "timeline/dashboard_index.hpp"
#include "tools/read_tools.hpp"

namespace qs::ReadTools {

Json search(const RPCRequest& request, const Vault& vault) {
    // Reading the arguments cannot fail, so an unreadable index still fails
    // whatever they are; the filter is applied while the index is read.
    DashboardIndex::SearchFilter filter{request.optionalString("query"), request.optionalString("type"),
                                        request.optionalString("date_from"), request.optionalString("date_to")};
    int64_t limit = request.optionalInt("limit", 20);
    DashboardIndex index = DashboardIndex::load(vault, filter);

    std::vector<const FeedItem*> found = index.found(limit);
    Json items = Json::array();
    for (const FeedItem* item : found) items.push_back(item->summaryDict(180));
    Json payload = Json::object();
    payload["total_in_vault"] = index.items.size();
    payload["returned"] = found.size();
    payload["items"] = std::move(items);
    return ToolResult::json(payload);
}

}  // namespace qs::ReadTools
