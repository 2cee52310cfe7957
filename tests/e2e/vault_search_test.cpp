// vault_search through the binary: filters, order, limits, payload shape, index failures.
#include <gtest/gtest.h>

#include <cstdio>  // std::remove

#include "e2e/read_fixture.hpp"

namespace qs::test {
namespace {

using Ids = std::vector<std::string>;

Ids idsOf(const Json& payload) {
    Ids ids;
    for (const auto& item : payload.at("items")) ids.push_back(item.at("id"));
    return ids;
}

class VaultSearch : public ::testing::TestWithParam<ReadLayout> {
protected:
    ReadVault vault{GetParam()};
};

// 25 entries on 25 days of March, ids e01..e25; every fifth is a recording.
Json monthOfEntries() {
    Json items = Json::array();
    for (int i = 1; i <= 25; ++i) {
        char id[8], day[16];
        std::snprintf(id, sizeof id, "e%02d", i);
        std::snprintf(day, sizeof day, "2025-03-%02d", i);
        items.push_back(feedEntry(id, day, i % 5 == 0 ? "voice" : "text"));
    }
    return items;
}

TEST_P(VaultSearch, WithoutArgumentsListsTheTwentyLatest) {
    vault.dashboard(monthOfEntries());
    ServerSession server(vault.path());
    Json payload = toolPayload(server.callTool("vault_search"));
    EXPECT_EQ(keysOf(payload), (std::set<std::string>{"items", "returned", "total_in_vault"}));
    EXPECT_EQ(payload["total_in_vault"], 25);
    EXPECT_EQ(payload["returned"], 20);
    Ids ids = idsOf(payload);
    ASSERT_EQ(ids.size(), 20u);
    EXPECT_EQ(ids.front(), "e25");
    EXPECT_EQ(ids.back(), "e06");
    EXPECT_EQ(payload["items"][0], (Json{{"id", "e25"}, {"type", "voice"}, {"date", "2025-03-25"},
                                         {"title", "content of e25"}, {"snippet", "content of e25"}}));
}

TEST_P(VaultSearch, LimitsAndFiltersFollowTheArguments) {
    vault.dashboard(monthOfEntries());
    ServerSession server(vault.path());
    auto ids = [&](const Json& arguments) { return idsOf(toolPayload(server.callTool("vault_search", arguments))); };
    EXPECT_EQ(ids({{"limit", 0}}), (Ids{"e25"}));
    EXPECT_EQ(ids({{"limit", -3}}), (Ids{"e25"}));
    EXPECT_EQ(ids({{"limit", 500}}).size(), 25u);
    EXPECT_EQ(ids({{"limit", "3"}}), (Ids{"e25", "e24", "e23"}));
    EXPECT_EQ(ids({{"limit", 2.9}}), (Ids{"e25", "e24"}));
    EXPECT_EQ(ids({{"limit", "many"}}).size(), 20u);
    EXPECT_EQ(ids({{"type", "voice"}}), (Ids{"e25", "e20", "e15", "e10", "e05"}));
    EXPECT_EQ(ids({{"type", "  "}, {"limit", 30}}).size(), 25u);
    EXPECT_EQ(ids({{"type", "Voice"}}), Ids{});
    EXPECT_EQ(ids({{"date_from", "2025-03-07"}, {"date_to", "2025-03-07"}}), (Ids{"e07"}));
    EXPECT_EQ(ids({{"date_from", "2025-03-20"}, {"date_to", "2025-03-22"}}), (Ids{"e22", "e21", "e20"}));
    EXPECT_EQ(ids({{"date_from", 20250301}, {"limit", 1}}), (Ids{"e25"}));  // not a text: no bound
    Json none = toolPayload(server.callTool("vault_search", {{"date_from", "2025-03-10"}, {"date_to", "2025-03-01"}}));
    EXPECT_EQ(none["returned"], 0);
    EXPECT_EQ(none["items"], Json::array());
    EXPECT_EQ(none["total_in_vault"], 25);
}

TEST_P(VaultSearch, QueryIgnoresCaseButNotSpacesAndSkipsSourceAndType) {
    vault.dashboard(Json::array({
        feedEntry("upper", "2025-03-01", "text", {{"title", "Quarterly PLANNING review"}}),
        feedEntry("lower", "2025-03-02", "text", {{"content", "we did some planning today"}}),
        feedEntry("tagged", "2025-03-03", "text", {{"tags", {"Planning-2025"}}}),
        feedEntry("source-only", "2025-03-04", "planning", {{"source", "planning app"}}),
        feedEntry("cn", "2025-03-05", "voice", {{"content", "今天开了周会，讨论 ÉTÉ 计划"}}),
        feedEntry("split", "2025-03-06", "text", {{"content", "plan ning"}}),
        // An id no tool could open is still listed as the index has it.
        feedEntry("../../planning", "2025-02-01", "text"),
    }));
    ServerSession server(vault.path());
    auto ids = [&](const Json& arguments) { return idsOf(toolPayload(server.callTool("vault_search", arguments))); };
    EXPECT_EQ(ids({{"query", "PLANNING"}}), (Ids{"tagged", "lower", "upper", "../../planning"}));
    EXPECT_EQ(ids({{"query", "周会"}}), (Ids{"cn"}));
    EXPECT_EQ(ids({{"query", "ÉtÉ"}}), (Ids{"cn"}));
    EXPECT_EQ(ids({{"query", "plan ning"}}), (Ids{"split"}));
    EXPECT_EQ(ids({{"query", " planning"}}), (Ids{"lower", "upper"}));  // searched with its space
    EXPECT_EQ(ids({{"query", "   "}, {"limit", 1}}), (Ids{"split"}));  // blank: no query
    EXPECT_EQ(ids({{"query", "app"}}), Ids{});
}

TEST_P(VaultSearch, AnUnreadableIndexFailsWithItsPath) {
    vault.dashboard(Json::array());
    ServerSession server(vault.path());
    server.request("ping");  // started, so the index was found once
    // Gone since: the path of the vault's own layout is named.
    ASSERT_EQ(std::remove(vault.dashboardPath().c_str()), 0);
    EXPECT_EQ(failureOf(server.callTool("vault_search", {{"query", "x"}})), indexFailure(vault.dashboardPath()));
    for (const char* bytes : {"[1,2]", "null", "{\"feedItems\":[{\"id\":\"a\"}", "{} trailing", "{\"x\":[tru]}"}) {
        vault.dashboardRaw(bytes);
        EXPECT_EQ(failureOf(server.callTool("vault_search")), indexFailure(vault.dashboardPath())) << bytes;
    }
    // Each call reads the file afresh.
    vault.dashboard(Json::array({feedEntry("now", "2025-03-01")}));
    EXPECT_EQ(idsOf(toolPayload(server.callTool("vault_search"))), (Ids{"now"}));
}

INSTANTIATE_TEST_SUITE_P(Layouts, VaultSearch, allReadLayouts, layoutName);

}  // namespace
}  // namespace qs::test
