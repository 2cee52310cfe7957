// vocab_list through the binary on both layouts: the missing and unreadable
// book, the filters in order, the sort, the limit and the word descriptions.
#include <gtest/gtest.h>

#include <algorithm>  // std::count

#include "e2e/tool_fixture.hpp"

namespace qs::test {
namespace {

using Words = std::vector<std::string>;

Json envelope(const Json& words) {
    return Json{{"version", 1}, {"writer", "ios"}, {"updatedAt", "2025-03-01T08:30:00Z"}, {"words", words}};
}

Json word(const std::string& text, const Json& dueAt, const Json& extra = Json::object()) {
    Json entry{{"word", text}, {"addedAt", "2024-01-01T00:00:00Z"}, {"updatedAt", "2024-01-02T00:00:00Z"},
               {"stage", 1}, {"lapses", 0}, {"graduated", false}, {"examTags", Json::array()}};
    if (!dueAt.is_null()) entry["dueAt"] = dueAt;
    entry.update(extra);
    return entry;
}

Words listed(const Json& payload) {
    Words names;
    for (const auto& w : payload.at("words")) names.push_back(w.at("word"));
    return names;
}

class VocabList : public LayoutSuite {
protected:
    void SetUp() override { vault.dashboard(Json::array()); }
    std::string bookPath() const { return vault.coreDir() + "/vocabulary.json"; }
};

TEST_P(VocabList, AMissingBookNamesTheResolvedPath) {
    EXPECT_EQ(payload("vocab_list", {{"due_only", true}}),
              (Json{{"available", false}, {"words", Json::array()},
                    {"note", "词库文件还没同步到 Vault(" + vault.at(bookPath()) +
                                 ")。在 iOS 端打开一次 设置 → 词典 → 我的词库 会触发写盘。"}}));
}

TEST_P(VocabList, FiltersInOrderThenSortsByDueMoment) {
    // Six live words in a known due order, and one deleted word that matches "run".
    vault.writeJson(bookPath(), envelope({
        {"k1", word("Running", "2020-01-01T00:00:00Z", {{"source", "lookup"}, {"translation", "跑步"}})},
        {"k2", word("sprint", "2020-01-02T00:00:00Z", {{"source", "imported"}, {"translation", "to RUN fast"}})},
        {"k3", word("walk", "2099-01-01T00:00:00Z", {{"translation", "散步"}})},
        {"k4", word("ephemeral", nullptr, {{"source", "lookup"}, {"graduated", true}})},
        {"k5", word("Ölkanne", "2099-03-01T00:00:00Z", {{"source", "imported"}})},
        {"k6", word("graduate", "2099-02-01T00:00:00Z", {{"source", "lookup"}, {"graduated", true}})},
        {"k7", word("rerun", "2019-01-01T00:00:00Z", {{"deletedAt", "2024-06-01T00:00:00Z"}})},
    }));
    const Words all = {"Running", "sprint", "ephemeral", "walk", "graduate", "Ölkanne"};
    const struct {
        Json args;
        Words words;
        size_t total;
    } cases[] = {
        {Json::object(), all, 6},
        {{{"due_only", true}}, {"Running", "sprint", "ephemeral"}, 3},  // no dueAt is due; graduated plays no part
        {{{"source", "lookup"}}, {"Running", "ephemeral", "walk", "graduate"}, 4},  // words without a source too
        {{{"source", "imported"}}, {"sprint", "Ölkanne"}, 2},
        {{{"source", "Lookup"}}, {}, 0},
        {{{"query", "RUN"}}, {"Running", "sprint"}, 2},  // word or translation, any case
        {{{"query", "ÖL"}}, {"Ölkanne"}, 1},
        {{{"query", "跑"}}, {"Running"}, 1},
        {{{"query", "   "}}, all, 6},
        {{{"due_only", true}, {"source", "imported"}}, {"sprint"}, 1},
        {{{"limit", 2}}, {"Running", "sprint"}, 6},  // total counts before the limit
        {{{"limit", 0}}, {"Running"}, 6},
    };
    for (const auto& c : cases) {
        Json result = payload("vocab_list", c.args);
        EXPECT_EQ(keysOf(result), (std::set<std::string>{"available", "returned", "total", "words"})) << c.args.dump();
        EXPECT_EQ(listed(result), c.words) << c.args.dump();
        EXPECT_EQ(result.at("total"), c.total) << c.args.dump();
        EXPECT_EQ(result.at("returned"), c.words.size()) << c.args.dump();
    }
}

TEST_P(VocabList, DescribesWordsWithOptionalKeysOnlyWhenPresent) {
    Json full = word("serendipity", "2025-03-01T16:30:00.750+08:00",
                     {{"stage", 4}, {"lapses", 2}, {"graduated", true}, {"phonetic", "/ˌserənˈdɪpəti/"},
                      {"translation", "意外发现珍宝的运气"}, {"examTags", {"GRE", "IELTS"}}, {"source", "imported"},
                      {"provenance", {{"itemID", "A1B2-C3"}, {"date", "2025-02-28"}, {"excerpt", "pure luck"}}},
                      {"examples", {"An example."}}, {"note", "my note / with slash"}});
    Json sparse = word("sparse", "2025-03-02T00:00:00Z",
                       {{"phonetic", ""}, {"translation", ""}, {"note", ""}, {"provenance", {{"excerpt", ""}}}});
    Json bare = word("bare", "2025-03-03T00:00:00Z", {{"provenance", Json::object()}});
    vault.writeJson(bookPath(), envelope({{"a", full}, {"b", sparse}, {"c", bare}}));
    Json words = payload("vocab_list")["words"];
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0], (Json{{"word", "serendipity"}, {"stage", 4}, {"due_at", "2025-03-01T08:30:00Z"},
                              {"graduated", true}, {"lapses", 2}, {"source", "imported"},
                              {"phonetic", "/ˌserənˈdɪpəti/"}, {"translation", "意外发现珍宝的运气"},
                              {"exam_tags", {"GRE", "IELTS"}}, {"note", "my note / with slash"},
                              {"encountered_in", {{"item_id", "A1B2-C3"}, {"date", "2025-02-28"}, {"excerpt", "pure luck"}}}}));
    EXPECT_EQ(words[1], (Json{{"word", "sparse"}, {"stage", 1}, {"due_at", "2025-03-02T00:00:00Z"}, {"graduated", false},
                              {"lapses", 0}, {"source", "lookup"}, {"encountered_in", {{"excerpt", ""}}}}));
    EXPECT_FALSE(words[2].contains("encountered_in"));
}

TEST_P(VocabList, TotalCountsEveryMatchBeyondTheDefaultLimit) {
    // A bare map with numeric dates (seconds since 2001).
    Json words{{"gone", {{"word", "gone"}, {"dueAt", 1}, {"deletedAt", 2}}}};
    for (int i = 0; i < 250; ++i) words["k" + std::to_string(i)] = {{"word", "w" + std::to_string(i)}, {"dueAt", 7e8 - i}};
    vault.writeJson(bookPath(), words);
    Json result = payload("vocab_list");
    EXPECT_EQ(result.at("total"), 250);
    EXPECT_EQ(result.at("returned"), 100);
    EXPECT_EQ(result.at("words")[0].at("word"), "w249");
    EXPECT_EQ(result.at("words")[0].at("due_at"), "2023-03-08T20:22:31Z");
}

TEST_P(VocabList, AnUnreadableBookListsNothingButSaysSoAndWarnsOnce) {
    vault.writeJson(bookPath(), envelope({{"k1", word("w", nullptr, {{"source", "LOOKUP"}})}}));
    RunResult run = runSession(vault.path(), {Json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "tools/call"},
                                                   {"params", {{"name", "vocab_list"}}}}});
    auto replies = run.replies();  // standard output holds protocol lines only
    ASSERT_EQ(replies.size(), 1u) << run.out;
    Json result = toolPayload(replies[0].at("result"));
    EXPECT_EQ(result.at("available"), true);
    EXPECT_EQ(result.at("total"), 0);
    EXPECT_EQ(result.at("words"), Json::array());
    EXPECT_NE(result.value("note", "").find(vault.at(bookPath())), std::string::npos) << result.dump();
    // The reader's own line, without the diagnostic prefix.
    auto lines = run.errLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "⚠️ [VocabBook] 词库文件解不开,按空处理(合并取并集,不会因此删词)"), 1);
}

INSTANTIATE_TEST_SUITE_P(Layouts, VocabList, bothLayouts, layoutName);

TEST(VocabListFallback, AnEnglishVaultReadsTheLegacyBookUntilAnEnglishOneExists) {
    TempVault vault(Layout::english);
    vault.dashboard(Json::array());
    vault.writeJson("00-记忆核心/vocabulary.json", envelope({{"a", word("legacy", "2020-01-01T00:00:00Z")}}));
    ServerSession server(vault.path());
    EXPECT_EQ(listed(toolPayload(server.callTool("vocab_list"))), Words{"legacy"});
    vault.writeJson("core/vocabulary.json", envelope({{"a", word("english", "2020-01-01T00:00:00Z")}}));
    EXPECT_EQ(listed(toolPayload(server.callTool("vocab_list"))), Words{"english"});
}

}  // namespace
}  // namespace qs::test
