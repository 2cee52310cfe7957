// minutes_read through the binary: minutes, summary and index metadata, for
// entries in the index, only on disk, or nowhere.
#include <gtest/gtest.h>

#include "e2e/read_fixture.hpp"

namespace qs::test {
namespace {

const char* const kWarning = "还没有纪要正文(.min.md)。可能这条还没被 AI 处理完。";
const std::string kDay = "2025-03-02";

const std::set<std::string> kAlwaysKeys = {"id", "date", "minutes_markdown", "card_summary", "minutes_path",
                                           "summary_path"};

std::set<std::string> withMetadata(std::set<std::string> keys) {
    keys.insert({"type", "title", "tags", "people", "projects", "importance", "extracted_tasks", "processing_state"});
    return keys;
}

class MinutesRead : public ::testing::TestWithParam<ReadLayout> {
protected:
    Json call(const Json& arguments) {
        ServerSession server(vault.path());
        return server.callTool("minutes_read", arguments);
    }
    ReadVault vault{GetParam()};
};

TEST_P(MinutesRead, AnIndexedEntryWithBothFiles) {
    vault.dashboard(Json::array({feedEntry("m1", kDay, "voice",
                                           {{"title", "  Design review  "}, {"tags", {"设计", 3}}, {"people", {"Ann"}},
                                            {"projects", {"Atlas"}}, {"importance", 4.7},
                                            {"extractedTasks", {"send notes"}}, {"processingState", "done"}})}));
    vault.insight(kDay, "m1.min.md", "# 纪要\n\n- point / detail\n");
    vault.insight(kDay, "m1.sum.txt", "一句话总结\n");
    Json payload = toolPayload(call({{"id", "m1"}}));
    EXPECT_EQ(payload, (Json{{"id", "m1"},
                             {"date", kDay},
                             {"minutes_markdown", "# 纪要\n\n- point / detail\n"},
                             {"card_summary", "一句话总结\n"},
                             {"minutes_path", vault.at(vault.insightFile(kDay, "m1.min.md"))},
                             {"summary_path", vault.at(vault.insightFile(kDay, "m1.sum.txt"))},
                             {"type", "voice"},
                             {"title", "Design review"},
                             {"tags", {"设计"}},
                             {"people", {"Ann"}},
                             {"projects", {"Atlas"}},
                             {"importance", 4},
                             {"extracted_tasks", {"send notes"}},
                             {"processing_state", "done"}}));
}

TEST_P(MinutesRead, MissingMinutesBringTheWarning) {
    vault.dashboard(Json::array({feedEntry("s1", kDay, "text", {{"content", "\nfirst line\nmore"}}),
                                 feedEntry("bare", "2025-03-05", "clip")}));
    vault.insight(kDay, "s1.sum.txt", "summary only");
    Json payload = toolPayload(call({{"id", "s1"}}));
    std::set<std::string> expectedKeys = withMetadata(kAlwaysKeys);
    expectedKeys.insert("warning");
    EXPECT_EQ(keysOf(payload), expectedKeys);
    EXPECT_EQ(payload["minutes_markdown"], "");
    EXPECT_EQ(payload["card_summary"], "summary only");
    EXPECT_EQ(payload["warning"], kWarning);
    EXPECT_EQ(payload["title"], "first line");
    EXPECT_EQ(payload["tags"], Json::array());
    EXPECT_EQ(payload["processing_state"], "unknown");
    EXPECT_EQ(payload["importance"], 3);

    // In the index without any file: no failure, empty texts, the warning,
    // and paths into the index's day folder.
    Json bare = toolPayload(call({{"id", "bare"}}));
    EXPECT_EQ(bare["date"], "2025-03-05");
    EXPECT_EQ(bare["minutes_markdown"], "");
    EXPECT_EQ(bare["card_summary"], "");
    EXPECT_EQ(bare["warning"], kWarning);
    EXPECT_EQ(bare["type"], "clip");
    std::string expectedTimeline = GetParam() == ReadLayout::legacy ? vault.timelineDir() : "memories/timeline";
    EXPECT_EQ(bare["minutes_path"], vault.at(expectedTimeline + "/insights/2025-03-05/bare.min.md"));
}

TEST_P(MinutesRead, EmptyMinutesArePresentAndBrokenOnesAreNot) {
    vault.dashboard(Json::array({feedEntry("empty", kDay), feedEntry("broken", kDay)}));
    vault.insight(kDay, "empty.min.md", "");
    vault.insight(kDay, "broken.min.md", "\xC3\x28 not UTF-8");
    vault.insight(kDay, "broken.sum.txt", "fine");
    Json empty = toolPayload(call({{"id", "empty"}}));
    EXPECT_EQ(empty["minutes_markdown"], "");
    EXPECT_FALSE(empty.contains("warning"));
    Json broken = toolPayload(call({{"id", "broken"}}));
    EXPECT_EQ(broken["minutes_markdown"], "");
    EXPECT_EQ(broken["card_summary"], "fine");
    EXPECT_EQ(broken["warning"], kWarning);
}

TEST_P(MinutesRead, EntriesOnlyOnDiskHaveNoMetadata) {
    vault.dashboard(Json::array({feedEntry("other", kDay)}));
    vault.insight("2025-01-15", "loose.min.md", "minutes without index");
    Json payload = toolPayload(call({{"id", "loose"}}));
    EXPECT_EQ(keysOf(payload), kAlwaysKeys);
    EXPECT_EQ(payload["date"], "2025-01-15");
    EXPECT_EQ(payload["minutes_markdown"], "minutes without index");
    EXPECT_EQ(payload["minutes_path"], vault.at(vault.insightFile("2025-01-15", "loose.min.md")));
    EXPECT_EQ(failureOf(call({{"id", "ghost"}})), "❌ 找不到条目 ghost。先用 vault_search 确认 id。");
}

TEST_P(MinutesRead, UnsafeIdsAreRefusedBeforeAnythingIsRead) {
    vault.dashboard(Json::array({feedEntry("..", kDay), feedEntry("a/b", kDay)}));
    // Minutes planted where "../../x" would lead from the day folder.
    vault.write(vault.filesTimeline() + "/x.min.md", "outside");
    vault.write(vault.filesTimeline() + "/x.sum.txt", "outside");
    ServerSession server(vault.path());
    for (const std::string& id : unsafeIds()) {
        EXPECT_EQ(failureOf(server.callTool("minutes_read", {{"id", id}})), unsafeIdMessage(id));
    }
    EXPECT_EQ(failureOf(server.callTool("minutes_read")), "❌ 缺少必填参数 `id`(非空字符串)");
}

TEST_P(MinutesRead, AnUnreadableIndexFailsWithItsPath) {
    vault.dashboardRaw("null");
    vault.insight(kDay, "m1.min.md", "minutes that stay unread");
    EXPECT_EQ(failureOf(call({{"id", "m1"}})), indexFailure(vault.dashboardPath()));
}

INSTANTIATE_TEST_SUITE_P(Layouts, MinutesRead, allReadLayouts, layoutName);

}  // namespace
}  // namespace qs::test
