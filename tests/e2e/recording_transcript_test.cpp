// recording_transcript through the binary: sources, character windows over
// CJK and emoji, offsets past the end, and ids that must not become paths.
#include <gtest/gtest.h>

#include "e2e/read_fixture.hpp"

namespace qs::test {
namespace {

const std::string kDay = "2025-03-02";

std::string noTranscript(const std::string& id) {
    return "❌ 条目 " + id + " 没有转译稿。可能还没处理完,或者它不是录音 —— 用 recording_list 看哪些有转译稿。";
}

// 25,000 characters: a flag (two code points), a CJK character, an ASCII
// letter and a thumbs-up with skin tone (two code points), 6,250 times over.
const std::string kUnit = "🇨🇳字a👍🏽";
const std::string kTranscript = repeated(kUnit, 6250);

class RecordingTranscript : public ::testing::TestWithParam<ReadLayout> {
protected:
    void SetUp() override {
        vault.dashboard(Json::array({feedEntry("rec", kDay), feedEntry("note", "2025-03-03", "text")}));
        vault.output(kDay, "rec.transcript.json", Json{{"plainText", kTranscript}}.dump());
    }
    Json call(const Json& arguments) {
        ServerSession server(vault.path());
        return server.callTool("recording_transcript", arguments);
    }
    ReadVault vault{GetParam()};
};

TEST_P(RecordingTranscript, DefaultsReturnTheWholeText) {
    Json payload = toolPayload(call({{"id", "rec"}}));
    EXPECT_EQ(payload, (Json{{"id", "rec"}, {"date", kDay}, {"source_file", "transcript.json"}, {"total_chars", 25000},
                             {"offset", 0}, {"returned_chars", 25000}, {"text", kTranscript}}));
}

TEST_P(RecordingTranscript, PagesAreWindowsOfCharacters) {
    ServerSession server(vault.path());
    struct Page {
        int offset;
        int returned;
        std::optional<int> next;
    };
    for (const Page& page : {Page{0, 10000, 10000}, Page{10000, 10000, 20000}, Page{20000, 5000, std::nullopt}}) {
        Json payload =
            toolPayload(server.callTool("recording_transcript", {{"id", "rec"}, {"offset", page.offset}, {"max_chars", 10000}}));
        EXPECT_EQ(payload["returned_chars"], page.returned);
        EXPECT_EQ(payload["text"], repeated(kUnit, static_cast<size_t>(page.returned / 4)));
        if (page.next) {
            EXPECT_EQ(payload["truncated"], true);
            EXPECT_EQ(payload["next_offset"], *page.next);
        } else {
            EXPECT_FALSE(payload.contains("truncated"));
            EXPECT_FALSE(payload.contains("next_offset"));
        }
    }
    // Mid-unit windows cut between characters, never inside one.
    Json two = toolPayload(server.callTool("recording_transcript", {{"id", "rec"}, {"offset", 3}, {"max_chars", 2}}));
    EXPECT_EQ(two["text"], "👍🏽🇨🇳");
    EXPECT_EQ(two["next_offset"], 5);
    Json one = toolPayload(server.callTool("recording_transcript", {{"id", "rec"}, {"offset", 1}, {"max_chars", 0}}));
    EXPECT_EQ(one["text"], "字");
    EXPECT_EQ(one["returned_chars"], 1);
    Json negative = toolPayload(server.callTool("recording_transcript", {{"id", "rec"}, {"offset", -7}, {"max_chars", 1}}));
    EXPECT_EQ(negative["offset"], 0);
    EXPECT_EQ(negative["text"], "🇨🇳");
    Json huge = toolPayload(server.callTool(
        "recording_transcript", {{"id", "rec"}, {"offset", 24998}, {"max_chars", INT64_MAX}}));
    EXPECT_EQ(huge["text"], "a👍🏽");
    EXPECT_FALSE(huge.contains("truncated"));
}

TEST_P(RecordingTranscript, AnOffsetAtOrPastTheEndFails) {
    EXPECT_EQ(failureOf(call({{"id", "rec"}, {"offset", 25000}})), "❌ offset 25000 超出全文长度 25000。");
    EXPECT_EQ(failureOf(call({{"id", "rec"}, {"offset", "30000"}})), "❌ offset 30000 超出全文长度 25000。");
}

TEST_P(RecordingTranscript, FallsBackToTheTextFile) {
    vault.dashboard(Json::array({feedEntry("a", kDay), feedEntry("b", kDay), feedEntry("c", kDay), feedEntry("d", kDay)}));
    vault.output(kDay, "a.transcript.json", R"({"plainText":""})");
    vault.output(kDay, "b.transcript.json", R"({"plainText":42})");
    vault.output(kDay, "c.transcript.json", R"({"plainText":"cut)");
    vault.output(kDay, "d.transcript.json", R"(["plainText"])");
    for (const char* id : {"a", "b", "c", "d"}) {
        vault.output(kDay, std::string(id) + ".tr.txt", "第一句。Second.");
        Json payload = toolPayload(call({{"id", id}}));
        EXPECT_EQ(payload["source_file"], "tr.txt") << id;
        EXPECT_EQ(payload["text"], "第一句。Second.") << id;
        EXPECT_EQ(payload["total_chars"], 11) << id;
    }
}

TEST_P(RecordingTranscript, FilesOutsideTheIndexAreFoundInTheirDayFolder) {
    vault.output("2025-02-27", "ghost.tr.txt", "unindexed words");
    Json payload = toolPayload(call({{"id", "ghost"}}));
    EXPECT_EQ(payload["date"], "2025-02-27");
    EXPECT_EQ(payload["text"], "unindexed words");
}

TEST_P(RecordingTranscript, EntriesWithoutAUsableTranscriptFail) {
    EXPECT_EQ(failureOf(call({{"id", "note"}})), noTranscript("note"));
    EXPECT_EQ(failureOf(call({{"id", "nowhere"}})), noTranscript("nowhere"));
    vault.output("2025-03-03", "note.tr.txt", "\xFF\xFE not UTF-8");
    EXPECT_EQ(failureOf(call({{"id", "note"}})), noTranscript("note"));
    vault.output("2025-03-03", "note.tr.txt", "");
    EXPECT_EQ(failureOf(call({{"id", "note"}})), noTranscript("note"));
}

TEST_P(RecordingTranscript, UnsafeIdsAreRefusedBeforeAnythingIsRead) {
    // A transcript planted where "../../x" would lead from the day folder.
    vault.write(vault.filesTimeline() + "/x.tr.txt", "outside");
    vault.write(vault.filesTimeline() + "/x.transcript.json", R"({"plainText":"outside"})");
    ServerSession server(vault.path());
    for (const std::string& id : unsafeIds()) {
        EXPECT_EQ(failureOf(server.callTool("recording_transcript", {{"id", id}})), unsafeIdMessage(id));
    }
    EXPECT_EQ(failureOf(server.callTool("recording_transcript", {{"offset", 1}})),
              "❌ 缺少必填参数 `id`(非空字符串)");
    EXPECT_EQ(failureOf(server.callTool("recording_transcript", {{"id", ""}})), "❌ 缺少必填参数 `id`(非空字符串)");
}

TEST_P(RecordingTranscript, AnUnreadableIndexFailsWithItsPath) {
    vault.dashboardRaw("{\"feedItems\": [");
    EXPECT_EQ(failureOf(call({{"id", "rec"}})), indexFailure(vault.dashboardPath()));
}

INSTANTIATE_TEST_SUITE_P(Layouts, RecordingTranscript, allReadLayouts, layoutName);

}  // namespace
}  // namespace qs::test
