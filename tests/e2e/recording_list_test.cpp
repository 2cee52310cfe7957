// recording_list through the binary: voice entries only, and file flags from
// the day folder the entry's files really lie in.
#include <gtest/gtest.h>

#include "e2e/read_fixture.hpp"

namespace qs::test {
namespace {

const char* const kNote = "转译稿没有说话人标注和时间戳,是一整段连续文本。";

class RecordingList : public ::testing::TestWithParam<ReadLayout> {
protected:
    Json list(const Json& arguments = Json::object()) {
        ServerSession server(vault.path());
        return toolPayload(server.callTool("recording_list", arguments));
    }
    ReadVault vault{GetParam()};
};

TEST_P(RecordingList, AnIndexWithoutRecordingsGivesAnEmptyList) {
    vault.dashboard(Json::array({feedEntry("t", "2025-03-01", "text")}));
    EXPECT_EQ(list(), (Json{{"returned", 0}, {"recordings", Json::array()}, {"note", kNote}}));
}

TEST_P(RecordingList, FlagsTellWhichFilesExist) {
    vault.dashboard(Json::array({
        feedEntry("both", "2025-03-01", "voice", {{"title", "Both files"}}),
        feedEntry("json-only", "2025-03-02"),
        feedEntry("txt-only", "2025-03-03"),
        feedEntry("none", "2025-03-04"),
        feedEntry("text-note", "2025-03-05", "text"),
    }));
    vault.output("2025-03-01", "both.transcript.json", R"({"plainText":"hello"})");
    vault.insight("2025-03-01", "both.min.md", "# minutes");
    // Existence is all that counts: an unusable transcript file still flags.
    vault.output("2025-03-02", "json-only.transcript.json", R"({"plainText":""})");
    vault.output("2025-03-03", "txt-only.tr.txt", "spoken words");
    vault.insight("2025-03-04", "none.sum.txt", "a summary is no minutes");

    Json payload = list();
    EXPECT_EQ(keysOf(payload), (std::set<std::string>{"note", "recordings", "returned"}));
    EXPECT_EQ(payload["note"], kNote);
    ASSERT_EQ(payload["returned"], 4);
    const Json& recordings = payload["recordings"];
    EXPECT_EQ(recordings[0], (Json{{"id", "none"}, {"type", "voice"}, {"date", "2025-03-04"},
                                   {"title", "content of none"}, {"snippet", "content of none"},
                                   {"has_transcript", false}, {"has_minutes", false}}));
    EXPECT_EQ(recordings[1]["id"], "txt-only");
    EXPECT_EQ(recordings[1]["has_transcript"], true);
    EXPECT_EQ(recordings[1]["has_minutes"], false);
    EXPECT_EQ(recordings[2]["id"], "json-only");
    EXPECT_EQ(recordings[2]["has_transcript"], true);
    EXPECT_EQ(recordings[3]["id"], "both");
    EXPECT_EQ(recordings[3]["title"], "Both files");
    EXPECT_EQ(recordings[3]["has_transcript"], true);
    EXPECT_EQ(recordings[3]["has_minutes"], true);
}

TEST_P(RecordingList, FlagsComeFromTheDayTheFilesLieIn) {
    vault.dashboard(Json::array({feedEntry("moved", "2025-03-02")}));
    vault.insight("2025-03-03", "moved.min.md", "minutes");
    vault.output("2025-03-03", "moved.tr.txt", "transcript");
    Json recording = list()["recordings"][0];
    EXPECT_EQ(recording["date"], "2025-03-02");
    EXPECT_EQ(recording["has_transcript"], true);
    EXPECT_EQ(recording["has_minutes"], true);
}

TEST_P(RecordingList, DaysAndLimitBoundTheList) {
    Json items = Json::array();
    for (int i = 0; i < 55; ++i) {
        items.push_back(feedEntry("r" + std::to_string(100 + i), i < 50 ? "2025-03-01" : "2025-03-09"));
    }
    items.push_back(feedEntry("long", "2025-02-01", "voice", {{"content", repeated("话", 150)}}));
    vault.dashboard(items);
    EXPECT_EQ(list()["returned"], 50);
    EXPECT_EQ(list({{"limit", -1}})["recordings"][0]["id"], "r154");
    EXPECT_EQ(list({{"limit", -1}})["returned"], 1);
    EXPECT_EQ(list({{"limit", 100}})["returned"], 56);
    Json march9 = list({{"date_from", "2025-03-09"}, {"date_to", "2025-03-09"}});
    ASSERT_EQ(march9["returned"], 5);
    EXPECT_EQ(march9["recordings"][0]["id"], "r154");
    EXPECT_EQ(march9["recordings"][4]["id"], "r150");
    Json february = list({{"date_to", "2025-02-28"}});
    ASSERT_EQ(february["returned"], 1);
    EXPECT_EQ(february["recordings"][0]["snippet"], repeated("话", 120));
}

// Ids and days in the index are another application's text: one that names
// a path outside the entry folders must not lead the server there.
TEST_P(RecordingList, UnsafeIdsAndDaysInTheIndexReachNoFilesOutside) {
    vault.dashboard(Json::array({
        feedEntry("../../../planted", "2025-03-02"),
        feedEntry("safe", "", "voice", {{"date", "../../../x"}}),
    }));
    // What the unsafe id would name if it were joined as is.
    vault.mkdir(vault.insightFile("2025-03-02", ""));
    vault.mkdir(vault.outputFile("2025-03-02", ""));
    vault.write(vault.filesTimeline() + "/../planted.min.md", "outside");
    vault.write(vault.filesTimeline() + "/../planted.tr.txt", "outside");
    vault.write("x/safe.min.md", "outside");
    vault.write("x/safe.tr.txt", "outside");
    Json payload = list();
    ASSERT_EQ(payload["returned"], 2);
    for (const auto& recording : payload["recordings"]) {
        EXPECT_EQ(recording["has_minutes"], false) << recording.dump();
        EXPECT_EQ(recording["has_transcript"], false) << recording.dump();
    }
    EXPECT_EQ(payload["recordings"][0]["id"], "../../../planted");
}

TEST_P(RecordingList, AnUnreadableIndexFailsWithItsPath) {
    vault.dashboardRaw("{\"feedItems\": [{\"id\": \"a\", \"type\": \"voice\"}");
    ServerSession server(vault.path());
    EXPECT_EQ(failureOf(server.callTool("recording_list", {{"limit", 5}})), indexFailure(vault.dashboardPath()));
}

INSTANTIATE_TEST_SUITE_P(Layouts, RecordingList, allReadLayouts, layoutName);

}  // namespace
}  // namespace qs::test
