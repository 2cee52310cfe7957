// The six read tools through the binary: the files each finds under every
// layout, what each returns for its arguments, and what each refuses.
#include <gtest/gtest.h>
#include <unistd.h>  // truncate

#include <cstdint>  // INT64_MAX

#include "e2e/tool_fixture.hpp"

namespace qs::test {
namespace {

// A member of each item of a list, each followed by a space.
string column(const Json& list, const char* key = "id") {
    string out;
    for (const auto& item : list) out += item.at(key).get<string>() + " ";
    return out;
}
string times(const string& unit, size_t n) {
    string out;
    while (n-- > 0) out += unit;
    return out;
}

using ReadFiles = ToolSuite;

TEST_P(ReadFiles, EachToolFindsItsFiles) {
    // The metadata's own rules (trimming, lists of texts) are the index's tests'.
    index({entry("both", "2025-03-01"), entry("none", "2025-03-04"), entry("moved", "2025-03-05"), entry("broken", "2025-03-02", "text"),
        entry("evicted", "2025-03-08"),
        entry("m1", "2025-02-20", "note",
            {{"title", "T"}, {"tags", {"t"}}, {"people", {"p"}}, {"projects", {"q"}}, {"importance", 4}, {"extractedTasks", {"x"}},
                {"processingState", "done"}})});
    for (const auto& [rel, bytes] : Snapshot{{"outputs/2025-03-01/both.transcript.json", R"({"plainText":"说hi"})"},
             {"insights/2025-03-01/both.min.md", "#"}, {"insights/2025-03-04/none.sum.txt", "s"}, {"insights/2025-03-07/moved.min.md", "m"},
             {"outputs/2025-03-07/moved.tr.txt", "t"}, {"insights/2025-02-20/m1.min.md", "# m\n"}, {"insights/2025-02-20/m1.sum.txt", "s\n"},
             {"insights/2025-03-02/broken.min.md", "\xC3\x28"}, {"insights/2025-03-10/.evicted.sum.txt.icloud", ""},
             {"insights/2025-03-09/evicted.min.md", "old"}, {"outputs/2025-03-09/evicted.tr.txt", "old"}})
        v.write(files(rel), bytes);
    Json flags = Json::array(), list = call("recording_list");
    for (const auto& r : list["recordings"]) flags.push_back({r["id"], r["has_transcript"], r["has_minutes"]});
    // A placeholder counts where it stands: the older copies are not the entry's.
    EXPECT_EQ(flags, R"([["evicted",false,false],["moved",true,true],["none",false,false],["both",true,true]])"_json);
    const string book = v.coreDir() + "/vocabulary.json", minutes = files("insights/2025-02-20/m1.");
    Json m1 = R"({"id":"m1","date":"2025-02-20","minutes_markdown":"# m\n","card_summary":"s\n","type":"note","title":"T","tags":["t"],"people":["p"],
        "projects":["q"],"importance":4,"extracted_tasks":["x"],"processing_state":"done","content":"m1","time":"08:15","versions":[]})"_json;
    m1.update({{"minutes_path", v.at(minutes + "min.md")}, {"summary_path", v.at(minutes + "sum.txt")}});
    check({{"recording_transcript", {{"id", "both"}}, "",
               R"({"id":"both","date":"2025-03-01","source_file":"transcript.json","total_chars":3,"offset":0,"returned_chars":3,
                   "text":"说hi"})"_json},
        // Minutes with the index's metadata; no minutes, or minutes that are not text (below), bring the warning.
        {"minutes_read", {{"id", "m1"}}, "", m1},
        // The book missing, then read where it lies.
        {"vocab_list", {}, "",
            {{"available", false}, {"words", Json::array()},
                {"note", "词库文件还没同步到 Vault(" + v.at(book) + ")。在 iOS 端打开一次 设置 → 词典 → 我的词库 会触发写盘。"}}}});
    for (const char* id : {"none", "broken"})
        EXPECT_EQ(at(call("minutes_read", {{"id", id}}), "/warning"), "还没有纪要正文(.min.md)。可能这条还没被 AI 处理完。");
    v.write(mixed ? "00-记忆核心/vocabulary.json" : book, R"({"a":{"word":"found"}})");
    EXPECT_EQ(at(call("vocab_list"), "/words/0/word"), "found");

    // A report's known members pass through as the file wrote them, numbers
    // of any size too; nulls and everything else stay behind.
    v.write(files("insights/daily_reports/2025-03-01.json"),
        R"({"headline":null,"date":"1999-12-31","x":1,"stats":[0.25,null],"generatedBy":false,"mode":[99999999999999999999,-1e400,1.50]})");
    EXPECT_EQ(toolText(server().callTool("report_daily", {{"date", "2025-03-01"}})), R"({
  "date": "2025-03-01",
  "generatedBy": false,
  "mode": [
    99999999999999999999,
    -1e400,
    1.50
  ],
  "stats": [
    0.25,
    null
  ]
})");

    // Every tool that reads the index names it when it is unusable.
    v.dashboardRaw("{");
    for (const char* tool : {"vault_search", "recording_list", "minutes_read"})
        EXPECT_EQ(call(tool, {{"id", "both"}}),
            "❌ 读不到 Dashboard.json(" + v.at(v.coreDir() + "/Dashboard.json") + ")。Vault 路径对吗?文件是不是还在从 iCloud 下载?");
}

INSTANTIATE_TEST_SUITE_P(Layouts, ReadFiles, ::testing::Values("English", "Legacy", "EnglishWithLegacyFiles"), paramName);

// Arguments and refusals need no layout of their own.
using OneVault = ToolSuite;
INSTANTIATE_TEST_SUITE_P(English, OneVault, ::testing::Values("English"));

// Each argument of the search and the list reaches them, page by page; a
// value that would mislead (no day, no listed value, no text) is refused,
// naming the argument, the value and one that would do.
TEST_P(OneVault, ArgumentsFilterPageOrAreRefused) {
    // Three recent entries, then 55 older recordings.
    std::vector<Json> items{entry("a", "2025-03-01", "text", {{"title", "PLANNING"}}),
        entry("b", "2025-03-02", "voice", {{"content", "周会: planning"}}), entry("c", "2025-03-03", "text")};
    for (int i = 0; i < 55; ++i) items.push_back(entry("r" + std::to_string(i), "2025-02-01"));
    index(items);
    v.write(v.coreDir() + "/vocabulary.json", "{}");
    // The search's own rules are the index's tests'.
    const std::pair<Json, const char*> cases[] = {{{{"limit", 3}}, "c b a "}, {{{"query", "planning"}, {"type", "text"}}, "a "},
        {{{"date_from", "2025-03-02"}, {"date_to", "2025-03-02"}}, "b "}};
    for (const auto& [arguments, ids] : cases) EXPECT_EQ(column(call("vault_search", arguments)["items"]), ids);
    // Page by page, each result exactly once and in order; next_offset only while more follow.
    for (const auto& [tool, list] : {std::pair("vault_search", "items"), {"recording_list", "recordings"}}) {
        string walked;
        for (Json args = {{"limit", 7}, {"offset", -2}}; !args["offset"].is_null();) {
            Json page = call(tool, args);
            walked += column(page[list]);
            args["offset"] = page.value("next_offset", Json());
        }
        EXPECT_EQ(walked, column(call(tool, {{"limit", 100}})[list])) << tool;
    }
    // Twenty and fifty by default. What is harmless stays lenient: a limit
    // below 1 counts as 1, a blank or null filter as none.
    check({{"vault_search", {}, "/total_in_vault", 58}, {"vault_search", {}, "/returned", 20}, {"recording_list", {}, "/next_offset", 50},
        {"recording_list", {{"limit", 100}}, "/returned", 56}, {"recording_list", {{"date_from", "2025-03-02"}}, "/returned", 1},
        {"recording_list", {{"date_to", "2025-02-28"}}, "/recordings/0/id", "r9"},
        {"vault_search", {{"limit", -3}, {"query", "  "}, {"type", nullptr}, {"date_from", ""}}, "/returned", 1},
        {"vocab_list", {{"source", "Lookup"}}, "", "❌ source 要是 lookup、imported 之一,收到的是「Lookup」。例如 lookup。"}});
    const std::tuple<const char*, Json, const char*> refusals[] = {{"recording_list", {{"date_to", "2026-12"}}, "date_to"},
        {"diary_write", {{"text", "t"}, {"date", "2026-13-45"}}, "date"}, {"vault_search", {{"type", "Voice"}}, "type"},
        {"vault_search", {{"query", 42}}, "query"}, {"diary_write", {{"text", " \n"}}, "text"},
        {"diary_write", {{"text", "t"}, {"tags", "a"}}, "tags"}, {"diary_write", {{"text", "t"}, {"tags", {"a", 1}}}, "tags"},
        {"recording_list", {{"has_minutes", "no"}}, "has_minutes"}, {"minutes_read", {{"id", "a"}, {"version", "x.min.md"}}, "version"},
        {"report_daily", {{"date", "../../x"}}, "date"}};
    for (const auto& [tool, args, name] : refusals) {
        const string text = call(tool, args), value = args[name].is_string() ? args[name].get<string>() : args[name].dump();
        EXPECT_TRUE(text.starts_with("❌ " + string(name) + " ") && text.find("「" + value + "」") != string::npos) << text;
    }
}

// 25,000 characters: a flag (two code points), a CJK character, an ASCII
// letter and a thumbs-up with skin tone (two code points), 6,250 times over.
TEST_P(OneVault, TranscriptWindowsAndRefusals) {
    const string unit = "🇨🇳字a👍🏽", day = outs("2025-02-27/"), reports = ins("daily_reports/");
    index({entry("rec", "2025-02-27"), entry("note", "2025-02-27", "text"), entry("..", "2025-03-02")});
    v.write(day + "rec.transcript.json", Json{{"plainText", times(unit, 6250)}}.dump());
    // offset and max_chars asked; the window's offset, length, text, and the next offset (0: none)
    const std::tuple<int64_t, int64_t, int, int, string, int> pages[] = {{0, 10000, 0, 10000, times(unit, 2500), 10000},
        {20000, 10000, 20000, 5000, times(unit, 1250), 0}, {1, 0, 1, 1, "字", 2}, {-7, 1, 0, 1, "🇨🇳", 1},
        {24998, INT64_MAX, 24998, 2, "a👍🏽", 0}};
    for (const auto& [offset, maxChars, start, length, text, next] : pages) {
        Json got = call("recording_transcript", {{"id", "rec"}, {"offset", offset}, {"max_chars", maxChars}});
        for (const char* same : {"id", "date", "source_file", "total_chars"}) got.erase(same);
        Json window{{"offset", start}, {"returned_chars", length}, {"text", text}};
        if (next) window.update({{"truncated", true}, {"next_offset", next}});
        EXPECT_EQ(got, window) << offset;
    }
    // A transcript JSON without a usable text yields to the text file.
    v.write(day + "ghost.tr.txt", "spoken");
    for (const char* json : {R"({"plainText":""})", R"({"plainText":"cut)"}) {
        v.write(day + "ghost.transcript.json", json);
        EXPECT_EQ(call("recording_transcript", {{"id", "ghost"}})["source_file"], "tr.txt") << json;
    }

    // Each refusal names what is wrong.
    put({{day + "bad.tr.txt", "\xFF\xFE"}, {day + "blank.tr.txt", ""}, {reports + "2025-03-05.json", "[{}]"}, {reports + "2025-03-06.json", "{"}});
    // Ids that would reach outside the entry folders.
    for (const string& id : std::vector<string>{".", "..", "a/b", "a\\b", string("a\0b", 3)})
        for (const char* tool : {"recording_transcript", "minutes_read", "minutes_write"})
            EXPECT_EQ(call(tool, {{"id", id}, {"markdown", "m"}}),
                "❌ id 不合法:「" + id + "」。id 是单个文件名(不能含 / 或 \\,不能是 . 或 ..),请用 vault_search 或 recording_list 拿到的 id。");
    for (const string id : {"note", "bad", "blank"})
        EXPECT_EQ(call("recording_transcript", {{"id", id}}),
            "❌ 条目 " + id + " 没有转译稿。可能还没处理完,或者它不是录音 —— 用 recording_list 看哪些有转译稿。");
    for (const string d : {"2025-03-04", "2025-03-05", "2025-03-06"})
        EXPECT_EQ(call("report_daily", {{"date", d}}), "❌ " + d + " 没有日报。日报由 Mac App 生成,不是每天都有。");
    check({{"recording_transcript", {{"id", "rec"}, {"offset", 25000}}, "", "❌ offset 25000 超出全文长度 25000。"},
        {"minutes_read", {{"id", "ghost"}}, "", "❌ 找不到条目 ghost。先用 vault_search 确认 id。"}});
    // A file beyond the read limit (sparse, so nothing is written) is too large, never missing.
    for (const auto& [tool, rel] : {std::pair("recording_transcript", day + "huge.tr.txt"), {"minutes_read", ins("2025-02-27/huge.min.md")}}) {
        v.write(rel, "");
        ASSERT_EQ(::truncate(v.at(rel).c_str(), off_t{257} << 20), 0);
        EXPECT_EQ(call(tool, {{"id", "huge"}}), "❌ 读不到 " + v.at(rel) + ": 超过 256 MiB 的读取上限");
    }
}

// What an answer needs is in the results it already has, one row per field.
TEST_P(OneVault, ResultFields) {
    // past any snippet
    const string whole = times("长", 200), history = v.coreDir() + "/meta/minutes-history/with/";
    index({entry("with", "2025-03-01", "voice", {{"content", whole}}), entry("without", "2025-03-02"), entry("clip1", "2025-02-01", "clip")});
    put({{ins("2025-03-01/with.min.md"), "new"}, {outs("2025-03-01/with.tr.txt"), "字字字"}, {history + "2025-03-02T081500Z.min.md", "older"},
        {history + "2025-03-04T000000Z.min.md", "old"}, {history + "2025-03-05T00x000Z.min.md", "?"}, {history + "2025-03-05T000x00Z.min.md", "?"}});
    call("recording_transcript", {{"id", "with"}});  // counts the transcript once
    check({{"vault_search", {{"type", "clipboard"}}, "/items/0/id", "clip1"}, {"recording_list", {}, "/recordings/1/transcript_chars", 3},
        {"recording_list", {{"has_minutes", false}}, "/returned", 1},
        {"recording_list", {{"has_minutes", true}, {"limit", 1}}, "/recordings/0/id", "with"}, {"minutes_read", {{"id", "with"}}, "/content", whole},
        {"minutes_read", {{"id", "with"}}, "/versions/0",
            {{"name", "2025-03-04T000000Z.min.md"}, {"archived_at", "2025-03-04T00:00:00Z"}, {"bytes", 3}}},
        {"minutes_read", {{"id", "with"}, {"version", "2025-03-02T081500Z.min.md"}}, "/version_text", "older"}});
}

TEST_P(OneVault, VocabFiltersSortsAndDescribes) {
    // Five live words in a known due order, and one deleted word that matches "run".
    const string book = v.coreDir() + "/vocabulary.json";
    index({});
    v.write(book, R"({"k1":{"word":"Running","dueAt":"2020-01-01T08:30:00Z","source":"lookup","translation":"跑",
        "updatedAt":"2025-03-01T10:00:00Z","stage":4,"lapses":2,"graduated":true,"phonetic":"/r/","examTags":["GRE"],"note":"a / b",
        "provenance":{"itemID":"A1","date":"2025-03-02","excerpt":"ran"}},
      "k2":{"word":"sprint","dueAt":"2020-01-02T00:00:00Z","source":"imported","translation":"to RUN fast",
        "phonetic":"","note":""},
      "k3":{"word":"walk","dueAt":"2099-01-01T00:00:00Z"}, "k4":{"word":"now"},
      "k5":{"word":"Ölkanne","dueAt":"2099-03-01T00:00:00Z","source":"imported","lapses":1,"updatedAt":"2025-03-05T00:00:00Z"},
      "k6":{"word":"rerun","dueAt":"2019-01-01T00:00:00Z","deletedAt":"2024-06-01T00:00:00Z"}})");
    // The words, then the total, which comes before the limit. k4 has no due
    // moment: it is due; the query looks at the word or translation, in any case.
    const std::pair<Json, const char*> cases[] = {{{}, "Running sprint now walk Ölkanne 5"}, {{{"limit", 0}}, "Running 5"},
        {{{"due_only", true}}, "Running sprint now 3"}, {{{"source", "lookup"}}, "Running now walk 3"}, {{{"query", "RUN"}}, "Running sprint 2"},
        {{{"order", "recent_mistakes"}}, "Ölkanne Running sprint now walk 5"}};
    for (const auto& [args, words] : cases) {
        const Json r = call("vocab_list", args);
        EXPECT_EQ(column(r["words"], "word") + r["total"].dump(), words) << args;
    }
    // A word described, empty texts left out.
    check({{"vocab_list", {{"limit", 1}}, "/words/0", R"({"word":"Running","stage":4,"due_at":"2020-01-01T08:30:00Z","graduated":true,
        "lapses":2,"source":"lookup","last_reviewed_at":"2025-03-01T10:00:00Z","phonetic":"/r/","translation":"跑","exam_tags":["GRE"],
        "note":"a / b","encountered_in":{"item_id":"A1","date":"2025-03-02","excerpt":"ran"}})"_json},
        {"vocab_list", {{"query", "sprint"}}, "/words/0/phonetic", nullptr}, {"vocab_list", {{"query", "sprint"}}, "/words/0/note", nullptr}});

    // Past the default limit; a word that cannot be read is left out, and the listing says so.
    Json many{{"b", {{"word", "n"}, {"stage", 1.5}}}};
    for (int i = 0; i < 101; ++i) many["k" + std::to_string(i)] = {{"word", "w"}};
    v.writeJson(book, many);
    const Json partial = call("vocab_list");
    EXPECT_EQ(Json::array({partial["returned"], partial["total"], partial["note"]}),
        Json::array({100, 101, "词库里有 1 个词解不开,已跳过,其余照常列出。"}));

    // An unreadable book lists nothing but says so, and the reader warns on stderr.
    v.write(book, "{\"words\": ");
    EXPECT_EQ(call("vocab_list"),
        (Json{{"available", true}, {"total", 0}, {"returned", 0}, {"words", Json::array()},
            {"note", "词库文件解不开(" + v.at(book) + "),暂按空词库处理。在 iOS 端打开一次 设置 → 词典 → 我的词库 会重新写盘。"}}));
    // The reader's own line, without the log's prefix; skipped words are
    // logged once, by the call that skipped them.
    server().finish();
    const string& log = server().stderrText();
    EXPECT_NE(log.find("\n⚠️ [VocabBook] 词库文件解不开,按空处理(合并取并集,不会因此删词)\n"), string::npos);
    EXPECT_EQ(log.find("词库里有 1 个词解不开,已跳过"), log.rfind("已跳过") - 31);
}

}  // namespace
}  // namespace qs::test
