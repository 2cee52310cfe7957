// vault_search through the binary: the payload, the arguments reaching the
// search (whose edge cases the index's unit tests cover), index failures.
#include <gtest/gtest.h>

#include <fcntl.h>     // AT_FDCWD
#include <sys/stat.h>  // utimensat

#include <cstdio>   // std::remove, std::rename, std::snprintf
#include <chrono>   // std::chrono::milliseconds
#include <fstream>  // std::ofstream
#include <thread>   // std::this_thread::sleep_for

#include "e2e/tool_fixture.hpp"

namespace qs::test {
namespace {

using Ids = std::vector<std::string>;

Ids idsOf(const Json& payload) {
    Ids ids;
    for (const auto& item : payload.at("items")) ids.push_back(item.at("id"));
    return ids;
}

class VaultSearch : public ReadSuite {
protected:
    // 25 entries on 25 days of March, ids e01..e25; every fifth is a recording.
    void SetUp() override {
        Json items = Json::array();
        for (int i = 1; i <= 25; ++i) {
            char id[8], day[16];
            std::snprintf(id, sizeof id, "e%02d", i);
            std::snprintf(day, sizeof day, "2025-03-%02d", i);
            items.push_back(entry(id, day, i % 5 == 0 ? "voice" : "text"));
        }
        items[6]["title"] = "Quarterly PLANNING review";
        items[11]["content"] = "周会: planning";
        vault.dashboard(items);
    }
};

TEST_P(VaultSearch, WithoutArgumentsListsTheTwentyLatest) {
    Json result = payload("vault_search");
    EXPECT_EQ(keysOf(result), (std::set<std::string>{"items", "returned", "total_in_vault"}));
    EXPECT_EQ(result["total_in_vault"], 25);
    EXPECT_EQ(result["returned"], 20);
    ASSERT_EQ(idsOf(result).size(), 20u);
    EXPECT_EQ(idsOf(result).back(), "e06");
    EXPECT_EQ(result["items"][0], (Json{{"id", "e25"}, {"type", "voice"}, {"date", "2025-03-25"},
                                        {"title", "content of e25"}, {"snippet", "content of e25"}}));
}

TEST_P(VaultSearch, ArgumentsFilterAndLimit) {
    const std::pair<Json, Ids> cases[] = {
        {{{"limit", "3"}}, {"e25", "e24", "e23"}},
        {{{"limit", 0}}, {"e25"}},
        {{{"type", "voice"}}, {"e25", "e20", "e15", "e10", "e05"}},
        {{{"date_from", "2025-03-20"}, {"date_to", "2025-03-22"}}, {"e22", "e21", "e20"}},
        {{{"query", "planning"}}, {"e12", "e07"}},
        {{{"query", "周会"}, {"type", "text"}}, {"e12"}},
    };
    for (const auto& [arguments, ids] : cases) {
        Json result = payload("vault_search", arguments);
        EXPECT_EQ(idsOf(result), ids) << arguments.dump();
        EXPECT_EQ(result["returned"], ids.size());
        EXPECT_EQ(result["total_in_vault"], 25);
    }
}

TEST_P(VaultSearch, AnUnreadableIndexFailsWithItsPathAndIsReadAfreshEachCall) {
    server().request("ping");  // started, so the index was found once
    ASSERT_EQ(std::remove(vault.dashboardPath().c_str()), 0);
    EXPECT_EQ(failure("vault_search", {{"query", "x"}}), indexFailure(vault.dashboardPath()));
    vault.dashboardRaw("{\"feedItems\":[{\"id\":\"a\"}");
    EXPECT_EQ(failure("vault_search"), indexFailure(vault.dashboardPath()));
    vault.dashboard(Json::array({entry("now", "2025-03-01")}));
    EXPECT_EQ(idsOf(payload("vault_search")), (Ids{"now"}));
}

INSTANTIATE_TEST_SUITE_P(Layouts, VaultSearch, allReadLayouts, readLayoutName);

// The index kept between calls never answers for a file that changed: an
// atomic replace, a same-size rewrite in place whose times a coarse clock
// would leave as they were, a touch, and an eviction to a placeholder are
// each seen by the very next call.
TEST(KeptIndex, EveryChangeOfTheFileIsSeenByTheNextCall) {
    TempVault vault;
    const std::string path = vault.at("core/Dashboard.json");
    const timespec old[2] = {{1700000000, 0}, {1700000000, 0}};  // long ago: a kept index is trusted
    auto write = [&](const std::string& id, bool inPlace) {
        const std::string text = Json{{"feedItems", Json::array({entry(id, "2025-03-01")})}}.dump();
        const std::string target = inPlace ? path : path + ".new";
        std::ofstream(target, std::ios::binary | std::ios::trunc) << text;
        if (!inPlace) std::rename(target.c_str(), path.c_str());
        ::utimensat(AT_FDCWD, path.c_str(), old, 0);
    };
    write("first-id", false);
    // Past the racy window, so the index read next is kept and used again.
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    ServerSession session(vault.path());
    auto hits = [&](const std::string& query) {
        return toolPayload(session.callTool("vault_search", {{"query", query}}))["returned"].get<int>();
    };
    EXPECT_EQ(hits("first-id"), 1);
    EXPECT_EQ(hits("first-id"), 1);  // from the kept index
    write("other-id", true);         // same size, same inode, the old times put back
    EXPECT_EQ(hits("first-id"), 0);
    EXPECT_EQ(hits("other-id"), 1);
    write("third-id", false);
    EXPECT_EQ(hits("third-id"), 1);
    ::utimensat(AT_FDCWD, path.c_str(), nullptr, 0);  // a touch
    EXPECT_EQ(hits("third-id"), 1);
    ASSERT_EQ(std::rename(path.c_str(), vault.at("core/.Dashboard.json.icloud").c_str()), 0);
    EXPECT_TRUE(session.callTool("vault_search")["isError"].get<bool>());
}

}  // namespace
}  // namespace qs::test
