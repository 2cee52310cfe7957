// minutes_read through the binary: minutes, summary and index metadata, for
// entries in the index, only on disk, or nowhere.
#include <gtest/gtest.h>

#include "e2e/tool_fixture.hpp"

namespace qs::test {
namespace {

const char* const kWarning = "还没有纪要正文(.min.md)。可能这条还没被 AI 处理完。";
const std::string kDay = "2025-03-02";

class MinutesRead : public ReadSuite {
protected:
    Json read(const std::string& id) { return payload("minutes_read", {{"id", id}}); }
};

TEST_P(MinutesRead, AnIndexedEntryWithBothFiles) {
    vault.dashboard(Json::array({entry("m1", kDay, "voice",
                                       {{"title", "  Design review  "}, {"tags", {"设计", 3}}, {"people", {"Ann"}},
                                        {"projects", {"Atlas"}}, {"importance", 4.7},
                                        {"extractedTasks", {"send notes"}}, {"processingState", "done"}})}));
    vault.insight(kDay, "m1.min.md", "# 纪要\n\n- point / detail\n");
    vault.insight(kDay, "m1.sum.txt", "一句话总结\n");
    EXPECT_EQ(read("m1"),
              (Json{{"id", "m1"}, {"date", kDay}, {"minutes_markdown", "# 纪要\n\n- point / detail\n"},
                    {"card_summary", "一句话总结\n"}, {"minutes_path", vault.at(vault.insightFile(kDay, "m1.min.md"))},
                    {"summary_path", vault.at(vault.insightFile(kDay, "m1.sum.txt"))}, {"type", "voice"},
                    {"title", "Design review"}, {"tags", {"设计"}}, {"people", {"Ann"}}, {"projects", {"Atlas"}},
                    {"importance", 4}, {"extracted_tasks", {"send notes"}}, {"processing_state", "done"}}));
}

// Absent, empty and undecodable minutes: only an empty file counts as minutes.
TEST_P(MinutesRead, MissingMinutesBringTheWarning) {
    vault.dashboard(Json::array({entry("s1", kDay, "text", {{"content", "\nfirst line\nmore"}}), entry("empty", kDay),
                                 entry("broken", kDay), entry("bare", "2025-03-05", "clip")}));
    vault.insight(kDay, "s1.sum.txt", "summary only");
    vault.insight(kDay, "empty.min.md", "");
    vault.insight(kDay, "broken.min.md", "\xC3\x28 not UTF-8");
    Json s1 = read("s1");
    EXPECT_EQ(s1["minutes_markdown"], "");
    EXPECT_EQ(s1["card_summary"], "summary only");
    EXPECT_EQ(s1["warning"], kWarning);
    EXPECT_EQ(s1["title"], "first line");
    EXPECT_EQ(s1["processing_state"], "unknown");
    EXPECT_FALSE(read("empty").contains("warning"));
    EXPECT_EQ(read("broken")["warning"], kWarning);
    // In the index without any file: paths into the index's day folder of the vault's own layout.
    Json bare = read("bare");
    EXPECT_EQ(bare["card_summary"], "");
    EXPECT_EQ(bare["warning"], kWarning);
    EXPECT_EQ(bare["minutes_path"], vault.at(vault.timelineDir() + "/insights/2025-03-05/bare.min.md"));
}

TEST_P(MinutesRead, EntriesOnlyOnDiskHaveNoMetadata) {
    vault.dashboard(Json::array({entry("other", kDay)}));
    vault.insight("2025-01-15", "loose.min.md", "minutes without index");
    EXPECT_EQ(read("loose"), (Json{{"id", "loose"}, {"date", "2025-01-15"}, {"minutes_markdown", "minutes without index"},
                             {"card_summary", ""}, {"minutes_path", vault.at(vault.insightFile("2025-01-15", "loose.min.md"))},
                             {"summary_path", vault.at(vault.timelineDir() + "/insights/2025-01-15/loose.sum.txt")}}));
    EXPECT_EQ(failure("minutes_read", {{"id", "ghost"}}), "❌ 找不到条目 ghost。先用 vault_search 确认 id。");
    vault.dashboardRaw("null");
    EXPECT_EQ(failure("minutes_read", {{"id", "loose"}}), indexFailure(vault.dashboardPath()));
}

TEST_P(MinutesRead, UnsafeIdsAreRefusedBeforeAnythingIsRead) {
    vault.dashboard(Json::array({entry("..", kDay), entry("a/b", kDay)}));
    // Minutes planted where "../../x" would lead from the day folder.
    vault.write(vault.filesTimeline() + "/x.min.md", "outside");
    for (const std::string& id : unsafeIds) EXPECT_EQ(failure("minutes_read", {{"id", id}}), unsafeIdMessage(id));
    EXPECT_EQ(failure("minutes_read"), missingId);
}

INSTANTIATE_TEST_SUITE_P(Layouts, MinutesRead, allReadLayouts, readLayoutName);

}  // namespace
}  // namespace qs::test
