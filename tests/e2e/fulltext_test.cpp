// fulltext_search through the binary: a hit's offset read back by the
// transcript tool, the server's own writes and another's found at once, two
// servers on one cache.
#include <gtest/gtest.h>

#include "e2e/tool_fixture.hpp"

namespace qs::test {
namespace {

std::vector<std::string> hitIds(ServerSession& server, const std::string& query) {
    std::vector<std::string> ids;
    const Json found = toolPayload(server.callTool("fulltext_search", {{"query", query}}));
    for (const Json& hit : found.at("hits")) ids.push_back(hit.at("id"));
    return ids;
}

TEST(FulltextSearch, OffsetsReadBackOwnWritesAndTwoServersOnOneCache) {
    TempVault vault;
    vault.dashboard(Json::array({entry("rec", "2025-03-02"), entry("note", "2025-03-01", "text", {{"title", "Weekly plan"}})}));
    vault.write(vault.outputsDir() + "/2025-03-02/rec.transcript.json",
        R"({"plainText":"开场白 👋🏽。然后谈到预算,价格是 4200 欧元。"})");
    ServerSession first(vault.path()), second(vault.path());
    Json found = toolPayload(first.callTool("fulltext_search", {{"query", "价格"}, {"sort", "newest"}}));
    EXPECT_EQ(found["total_matches"], 1);
    EXPECT_EQ(found["index"]["building"], false);
    const Json& hit = found["hits"].at(0);
    EXPECT_EQ(hit["field"], "transcript");
    EXPECT_EQ(hit["time"].get<std::string>().size(), 5u);
    Json window = toolPayload(first.callTool("recording_transcript", {{"id", "rec"}, {"offset", hit["offset"]}, {"max_chars", 2}}));
    EXPECT_EQ(window["text"], "价格");

    toolPayload(first.callTool("minutes_write", {{"id", "note"}, {"markdown", "Zugspitze trip"}}));
    EXPECT_EQ(hitIds(first, "zugspitze"), std::vector<std::string>{"note"});
    toolPayload(first.callTool("minutes_write", {{"id", "note"}, {"markdown", "Alps trip"}}));
    EXPECT_EQ(hitIds(first, "zugspitze"), std::vector<std::string>{});
    const std::string diary = toolPayload(first.callTool("diary_write", {{"text", "Roadmap thoughts"}}))["id"];
    EXPECT_EQ(hitIds(first, "roadmap"), std::vector<std::string>{diary});
    EXPECT_EQ(hitIds(second, "alps trip"), std::vector<std::string>{"note"});
    vault.write(vault.outputsDir() + "/2025-03-01/note.tr.txt", "Matterhorn ascent");  // told by the system's watch
    EXPECT_EQ(hitIds(first, "matterhorn"), std::vector<std::string>{"note"});
    EXPECT_EQ(toolText(first.callTool("fulltext_search", {{"query", "-alps"}})), "❌ query 里没有要找的词(只有排除的词或标点)。至少给一个要找的词。");
    EXPECT_EQ(first.finish(), 0);
}

}  // namespace
}  // namespace qs::test
