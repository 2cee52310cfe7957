// recording_list through the binary: voice entries only, and file flags from
// the day folder the entry's files really lie in.
#include <gtest/gtest.h>

#include <tuple>  // std::tuple

#include "e2e/tool_fixture.hpp"

namespace qs::test {
namespace {

const char* const kNote = "转译稿没有说话人标注和时间戳,是一整段连续文本。";

class RecordingList : public ReadSuite {
protected:
    Json list(const Json& arguments = Json::object()) { return payload("recording_list", arguments); }
};

TEST_P(RecordingList, FlagsTellWhichFilesExistInTheDayTheyLieIn) {
    vault.dashboard(Json::array({
        entry("both", "2025-03-01", "voice", {{"title", "Both files"}}), entry("json-only", "2025-03-02"),
        entry("txt-only", "2025-03-03"), entry("none", "2025-03-04"), entry("moved", "2025-03-05"),
        entry("text-note", "2025-03-06", "text"),
    }));
    vault.output("2025-03-01", "both.transcript.json", R"({"plainText":"hello"})");
    vault.insight("2025-03-01", "both.min.md", "# minutes");
    // Existence is all that counts: an unusable transcript file still flags.
    vault.output("2025-03-02", "json-only.transcript.json", R"({"plainText":""})");
    vault.output("2025-03-03", "txt-only.tr.txt", "spoken words");
    vault.insight("2025-03-04", "none.sum.txt", "a summary is no minutes");
    vault.insight("2025-03-07", "moved.min.md", "minutes");
    vault.output("2025-03-07", "moved.tr.txt", "transcript");

    Json result = list();
    EXPECT_EQ(keysOf(result), (std::set<std::string>{"note", "recordings", "returned"}));
    EXPECT_EQ(result["note"], kNote);
    ASSERT_EQ(result["returned"], 5);
    EXPECT_EQ(result["recordings"][4], (Json{{"id", "both"}, {"type", "voice"}, {"date", "2025-03-01"},
                                              {"title", "Both files"}, {"snippet", "content of both"},
                                              {"has_transcript", true}, {"has_minutes", true}}));
    const std::vector<std::tuple<std::string, bool, bool>> flags = {
        {"moved", true, true}, {"none", false, false}, {"txt-only", true, false}, {"json-only", true, false}};
    EXPECT_EQ(result["recordings"][0]["date"], "2025-03-05");  // the index's day, not the files'
    for (size_t i = 0; i < flags.size(); ++i) {
        const auto& [id, transcript, minutes] = flags[i];
        EXPECT_EQ(result["recordings"][i]["id"], id);
        EXPECT_EQ(result["recordings"][i]["has_transcript"], transcript) << id;
        EXPECT_EQ(result["recordings"][i]["has_minutes"], minutes) << id;
    }
}

TEST_P(RecordingList, DaysAndLimitBoundTheList) {
    Json items = Json::array();
    for (int i = 0; i < 55; ++i) items.push_back(entry("r" + std::to_string(100 + i), "2025-03-01"));
    items.push_back(entry("long", "2025-02-01", "voice", {{"content", repeated("话", 150)}}));
    vault.dashboard(items);
    EXPECT_EQ(list()["returned"], 50);
    EXPECT_EQ(list({{"limit", 100}})["returned"], 56);
    Json february = list({{"date_to", "2025-02-28"}});
    ASSERT_EQ(february["returned"], 1);
    EXPECT_EQ(february["recordings"][0]["snippet"], repeated("话", 120));
    EXPECT_EQ(list({{"date_from", "2025-04-01"}}), (Json{{"returned", 0}, {"recordings", Json::array()}, {"note", kNote}}));
}

// Ids and days in the index are another application's text: one that names
// a path outside the entry folders must not lead the server there.
TEST_P(RecordingList, UnsafeIdsAndDaysInTheIndexReachNoFilesOutside) {
    vault.dashboard(Json::array({
        entry("../../../planted", "2025-03-02"),
        entry("safe", "", "voice", {{"date", "../../../x"}}),
    }));
    // What the unsafe id would name if it were joined as is.
    vault.mkdir(vault.insightFile("2025-03-02", ""));
    vault.mkdir(vault.filesTimeline() + "/outputs/2025-03-02");
    for (const char* planted : {"/../planted.min.md", "/../planted.tr.txt"}) vault.write(vault.filesTimeline() + planted, "x");
    vault.write("x/safe.min.md", "outside");
    vault.write("x/safe.tr.txt", "outside");
    Json result = list();
    ASSERT_EQ(result["returned"], 2);
    EXPECT_EQ(result["recordings"][0]["id"], "../../../planted");  // listed as the index has it
    for (const auto& recording : result["recordings"]) {
        EXPECT_EQ(recording["has_minutes"], false) << recording.dump();
        EXPECT_EQ(recording["has_transcript"], false) << recording.dump();
    }
}

TEST_P(RecordingList, AnUnreadableIndexFailsWithItsPath) {
    vault.dashboardRaw("{\"feedItems\": [{\"id\": \"a\", \"type\": \"voice\"}");
    EXPECT_EQ(failure("recording_list", {{"limit", 5}}), indexFailure(vault.dashboardPath()));
}

INSTANTIATE_TEST_SUITE_P(Layouts, RecordingList, allReadLayouts, readLayoutName);

}  // namespace
}  // namespace qs::test
