// fulltext_search through the binary: a hit's offset read back by the
// transcript tool, the server's own writes and another's found at once, two
// servers on one cache.
#include <gtest/gtest.h>

#include "e2e/tool_fixture.hpp"

namespace qs::test {
namespace {

using Names = std::vector<std::string>;

Names hitIds(ServerSession& server, const std::string& query) {
    Names ids;
    const Json found = server.call("fulltext_search", {{"query", query}});
    for (const Json& hit : found["hits"]) ids.push_back(hit["id"]);
    return ids;
}

TEST(FulltextSearch, OffsetsReadBackOwnWritesAndTwoServersOnOneCache) {
    TempVault v;
    v.dashboard(Json::array({entry("rec", "2025-03-02"), entry("note", "2025-03-01", "text", {{"title", "Weekly plan"}})}));
    v.write(
        v.outputsDir() + "/2025-03-02/rec.transcript.json", R"({"plainText":"开场白 👋🏽。然后谈到预算,价格是 4200 欧元。"})");
    ServerSession first(v.path()), second(v.path());
    const Json found = first.call("fulltext_search", {{"query", "价格"}, {"sort", "newest"}}), hit = found["hits"][0];
    EXPECT_EQ((Json{found["total_matches"], found["index"]["building"], hit["field"], hit["time"].get<std::string>().size()}),
        R"([1,false,"transcript",5])"_json);
    EXPECT_EQ(first.call("recording_transcript", {{"id", "rec"}, {"offset", hit["offset"]}, {"max_chars", 2}})["text"], "价格");
    first.call("minutes_write", {{"id", "note"}, {"markdown", "Zugspitze trip"}});
    EXPECT_EQ(hitIds(first, "zugspitze"), Names{"note"});
    first.call("minutes_write", {{"id", "note"}, {"markdown", "Alps trip"}});
    EXPECT_EQ(hitIds(first, "zugspitze"), Names{});
    const std::string diary = first.call("diary_write", {{"text", "Roadmap thoughts"}})["id"];
    EXPECT_EQ(hitIds(first, "roadmap"), Names{diary});
    EXPECT_EQ(hitIds(second, "alps trip"), Names{"note"});
    v.write(v.outputsDir() + "/2025-03-01/note.tr.txt", "Matterhorn ascent");  // told by the system's watch
    EXPECT_EQ(hitIds(first, "matterhorn"), Names{"note"});
    EXPECT_EQ(first.call("fulltext_search", {{"query", "-alps"}}), "❌ query 里没有要找的词(只有排除的词或标点)。至少给一个要找的词。");
    EXPECT_EQ(first.finish(), 0);
}

}  // namespace
}  // namespace qs::test
