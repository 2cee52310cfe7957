// diary_write through the binary: the new pair of files, their bytes, the day rule and the refusals.
#include <gtest/gtest.h>

#include <cstdlib>  // setenv, unsetenv
#include <ctime>    // time, localtime_r, tzset

#include "e2e/tool_fixture.hpp"

namespace qs::test {
namespace {

const std::regex kUuid("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
// A zone fourteen hours east of UTC, so the local day differs from the UTC day
// for much of every day. A POSIX rule: no time-zone database needed.
const char* const kZone = "QST-14";

std::string localDayInZone(std::time_t t) {
    const char* old = std::getenv("TZ");
    std::string saved = old ? old : "";
    ::setenv("TZ", kZone, 1);
    ::tzset();
    std::tm tm{};
    ::localtime_r(&t, &tm);
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
    old ? ::setenv("TZ", saved.c_str(), 1) : ::unsetenv("TZ");
    ::tzset();
    return buf;
}

class DiaryWrite : public LayoutSuite {
protected:
    void SetUp() override { vault.dashboard(Json::array()); }
    Json write(const Json& args) { return payload("diary_write", args); }
    std::string entryFile(const Json& result, const std::string& suffix) const {
        return vault.inputsDir() + "/" + result.value("date", "") + "/" + result.value("id", "") + suffix;
    }
};

TEST_P(DiaryWrite, WritesTheTextAndItsMetadataUnderOneNewId) {
    const std::string text = "今天 去了海边。\r\n  second line with trailing break\n";
    auto before = snapshot(vault);
    Json result = write({{"text", text}, {"date", "2025-03-01"}, {"tags", {"旅行", 7, "", nullptr, "beach"}}});
    const std::string id = result.value("id", "");
    ASSERT_TRUE(std::regex_match(id, kUuid)) << id;
    const std::string memo = entryFile(result, ".memo.txt"), meta = entryFile(result, ".meta.json");
    EXPECT_EQ(result, (Json{{"ok", true}, {"id", id}, {"date", "2025-03-01"}, {"chars", 43},
                             {"wrote", {vault.at(memo), vault.at(meta)}},
                             {"next", "Mac App 会自动生成摘要、抽标签和待办,约 30 秒后出现在时间流。全文原样保留在详情页。"
                                      "Dashboard.json 未被修改。"}}));
    // Pretty-printed with sorted keys, no byte-order mark.
    EXPECT_EQ(added(before, snapshot(vault)),
              (Snapshot{{memo, text}, {meta, "{\n  \"createdBy\": \"mcp\",\n  \"tags\": [\n    \"旅行\",\n    \"\",\n    \"beach\"\n  ]\n}"}}));
}

TEST_P(DiaryWrite, WithoutAUsableDateTheEntryGoesUnderTodaysLocalDay) {
    ServerSession zoned({{"--vault", vault.path()}, {{"HOME", vault.at(".no-home")}, {"LANG", "C.UTF-8"}, {"TZ", kZone}}, ""});
    for (const Json& absent : {Json(), Json("   "), Json(20250301)}) {
        Json args = {{"text", "note"}};
        if (!absent.is_null()) args["date"] = absent;
        std::string dayBefore = localDayInZone(std::time(nullptr));
        Json result = toolPayload(zoned.callTool("diary_write", args));
        std::string day = result.value("date", "");
        EXPECT_TRUE(day == dayBefore || day == localDayInZone(std::time(nullptr))) << day << " vs " << dayBefore;
        EXPECT_TRUE(vault.exists(entryFile(result, ".memo.txt"))) << absent.dump();
    }
}

TEST_P(DiaryWrite, MetadataCarriesTagsOnlyWhenThereAreSome) {
    for (const Json& tags : {Json(), Json::array(), Json("旅行"), Json::array({1, nullptr, true})}) {
        Json args = {{"text", "t"}, {"date", "2025-03-01"}};
        if (!tags.is_null()) args["tags"] = tags;
        EXPECT_EQ(vault.read(entryFile(write(args), ".meta.json")), "{\n  \"createdBy\": \"mcp\"\n}") << tags.dump();
    }
}

TEST_P(DiaryWrite, RefusalsWriteNothing) {
    const std::string noText = "❌ 缺少必填参数 `text`(非空字符串)";
    auto badDate = [](const std::string& date) { return "❌ date 要写成 yyyy-MM-dd,收到的是「" + date + "」。"; };
    const std::pair<Json, std::string> cases[] = {
        {Json::object(), noText},
        {{{"text", ""}}, noText},
        {{{"text", 5}, {"date", "bad"}}, noText},
        {{{"text", "t"}, {"date", "2025-3-1"}}, badDate("2025-3-1")},
        {{{"text", "t"}, {"date", "2025-03-01\n"}}, badDate("2025-03-01\n")},
        {{{"text", "t"}, {"date", "../../x"}}, badDate("../../x")},
    };
    auto before = snapshot(vault);
    for (const auto& [args, text] : cases) EXPECT_EQ(failure("diary_write", args), text) << args.dump();
    // A folder blocked by a plain file fails without leaving anything behind.
    vault.write(vault.inputsDir(), "a file, not a folder");
    std::string blocked = failure("diary_write", {{"text", "t"}, {"date", "2025-03-01"}});
    EXPECT_TRUE(blocked.starts_with("❌ 建目录失败: ")) << blocked;
    before[vault.inputsDir()] = "a file, not a folder";
    EXPECT_EQ(snapshot(vault), before);
}

TEST_P(DiaryWrite, ShapeOnlyDatesAndRepeatedTextsMakeNewEntries) {
    EXPECT_NE(write({{"text", "same"}, {"date", "2025-13-45"}})["id"], write({{"text", "same"}, {"date", "2025-13-45"}})["id"]);
    EXPECT_EQ(vault.list(vault.inputsDir() + "/2025-13-45").size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Layouts, DiaryWrite, bothLayouts, layoutName);

// The layout is the detected one, with no fallback: a marker saying English
// wins over a vault that only has the legacy folders.
TEST(DiaryWriteLayout, AnEnglishMarkerWritesTheEnglishInputsFolder) {
    TempVault vault(Layout::legacy);
    vault.dashboard(Json::array());
    vault.mkdir(vault.inputsDir());
    vault.writeJson("preferences/quillstack-library.json", {{"schemaVersion", 2}, {"pathSchema", "english-v2"},
                                                            {"createdAt", "2025-01-01T00:00:00Z"}, {"app", "quillstack"}});
    ServerSession session(vault.path());
    Json payload = toolPayload(session.callTool("diary_write", {{"text", "t"}, {"date", "2025-03-01"}}));
    const std::string id = payload.value("id", "");
    EXPECT_EQ(vault.list("memories/timeline/inputs/2025-03-01"), (std::vector<std::string>{id + ".memo.txt", id + ".meta.json"}));
    EXPECT_TRUE(vault.list(vault.inputsDir()).empty());
}

}  // namespace
}  // namespace qs::test
