// recording_transcript through the binary: sources, character windows over
// CJK and emoji, offsets past the end, and ids that must not become paths.
#include <gtest/gtest.h>

#include <cstdint>   // INT64_MAX
#include <optional>  // std::optional

#include "e2e/tool_fixture.hpp"

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

class RecordingTranscript : public ReadSuite {
protected:
    void SetUp() override {
        vault.dashboard(Json::array({entry("rec", kDay), entry("note", "2025-03-03", "text")}));
        vault.output(kDay, "rec.transcript.json", Json{{"plainText", kTranscript}}.dump());
    }
    Json read(const Json& arguments) { return payload("recording_transcript", arguments); }
    std::string refusal(const Json& arguments) { return failure("recording_transcript", arguments); }
};

TEST_P(RecordingTranscript, DefaultsReturnTheWholeText) {
    EXPECT_EQ(read({{"id", "rec"}}),
              (Json{{"id", "rec"}, {"date", kDay}, {"source_file", "transcript.json"}, {"total_chars", 25000},
                    {"offset", 0}, {"returned_chars", 25000}, {"text", kTranscript}}));
}

TEST_P(RecordingTranscript, PagesAreWindowsOfWholeCharacters) {
    struct Page {
        int64_t offset, maxChars, shownOffset, returned;
        std::string text;
        std::optional<int> next;
    };
    const Page pages[] = {
        {0, 10000, 0, 10000, repeated(kUnit, 2500), 10000},
        {20000, 10000, 20000, 5000, repeated(kUnit, 1250), std::nullopt},
        {3, 2, 3, 2, "👍🏽🇨🇳", 5},  // mid-unit windows cut between characters
        {1, 0, 1, 1, "字", 2},      // at least one character
        {-7, 1, 0, 1, "🇨🇳", 1},
        {24998, INT64_MAX, 24998, 2, "a👍🏽", std::nullopt},
    };
    for (const Page& page : pages) {
        SCOPED_TRACE(page.offset);
        Json window = read({{"id", "rec"}, {"offset", page.offset}, {"max_chars", page.maxChars}});
        EXPECT_EQ(window["text"], page.text);
        EXPECT_EQ(window["offset"], page.shownOffset);
        EXPECT_EQ(window["returned_chars"], page.returned);
        EXPECT_EQ(window.contains("truncated"), page.next.has_value());
        EXPECT_EQ(window.value("next_offset", Json()), page.next ? Json(*page.next) : Json());
    }
    EXPECT_EQ(refusal({{"id", "rec"}, {"offset", 25000}}), "❌ offset 25000 超出全文长度 25000。");
    EXPECT_EQ(refusal({{"id", "rec"}, {"offset", "30000"}}), "❌ offset 30000 超出全文长度 25000。");
}

// A transcript JSON without a usable text yields to the text file; files
// outside the index are found in their day folder.
TEST_P(RecordingTranscript, FallsBackToTheTextFile) {
    const char* unusable[] = {R"({"plainText":""})", R"({"plainText":42})", R"({"plainText":"cut)", R"(["plainText"])"};
    for (const char* json : unusable) {
        vault.output("2025-02-27", "ghost.transcript.json", json);
        vault.output("2025-02-27", "ghost.tr.txt", "第一句。Second.");
        Json result = read({{"id", "ghost"}});
        EXPECT_EQ(result["source_file"], "tr.txt") << json;
        EXPECT_EQ(result["date"], "2025-02-27");
        EXPECT_EQ(result["text"], "第一句。Second.") << json;
        EXPECT_EQ(result["total_chars"], 11) << json;
    }
}

TEST_P(RecordingTranscript, EntriesWithoutAUsableTranscriptFail) {
    EXPECT_EQ(refusal({{"id", "note"}}), noTranscript("note"));
    EXPECT_EQ(refusal({{"id", "nowhere"}}), noTranscript("nowhere"));
    for (const char* bytes : {"\xFF\xFE not UTF-8", ""}) {
        vault.output("2025-03-03", "note.tr.txt", bytes);
        EXPECT_EQ(refusal({{"id", "note"}}), noTranscript("note"));
    }
    vault.dashboardRaw("{\"feedItems\": [");
    EXPECT_EQ(refusal({{"id", "rec"}}), indexFailure(vault.dashboardPath()));
}

TEST_P(RecordingTranscript, UnsafeIdsAreRefusedBeforeAnythingIsRead) {
    // A transcript planted where "../../x" would lead from the day folder.
    vault.write(vault.filesTimeline() + "/x.tr.txt", "outside");
    vault.write(vault.filesTimeline() + "/x.transcript.json", R"({"plainText":"outside"})");
    for (const std::string& id : unsafeIds) EXPECT_EQ(refusal({{"id", id}}), unsafeIdMessage(id));
    EXPECT_EQ(refusal({{"offset", 1}}), missingId);
}

INSTANTIATE_TEST_SUITE_P(Layouts, RecordingTranscript, allReadLayouts, readLayoutName);

}  // namespace
}  // namespace qs::test
