// diary_write through the binary: the new pair of files, their bytes, the day rule and the refusals.
#include <gtest/gtest.h>

#include <cstdlib>  // setenv, unsetenv
#include <ctime>    // time, localtime_r, tzset
#include <regex>    // std::regex_match
#include <string>   // std::string

#include "e2e/write_fixture.hpp"

namespace qs::test {
namespace {

const char* const kNext =
    "Mac App 会自动生成摘要、抽标签和待办,约 30 秒后出现在时间流。全文原样保留在详情页。Dashboard.json 未被修改。";
const std::regex kUuid("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
// A zone fourteen hours east of UTC, so the local day differs from the UTC day
// for much of every day. A POSIX rule: no time-zone database needed.
const char* const kZone = "QST-14";

std::string localDayIn(const char* zone, std::time_t t) {
    const char* old = std::getenv("TZ");
    std::string saved = old ? old : "";
    ::setenv("TZ", zone, 1);
    ::tzset();
    std::tm tm{};
    ::localtime_r(&t, &tm);
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
    if (old) ::setenv("TZ", saved.c_str(), 1); else ::unsetenv("TZ");
    ::tzset();
    return buf;
}

// One call in a fresh server whose local time zone is kZone.
Json diaryCall(const TempVault& vault, const Json& args) {
    RunResult run = runSession(vault.path(), {Json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "tools/call"},
                                                   {"params", {{"name", "diary_write"}, {"arguments", args}}}}},
                               {{"TZ", kZone}});
    auto replies = run.replies();
    if (replies.size() != 1 || !replies[0].contains("result")) {
        ADD_FAILURE() << run.out << run.err;
        return Json();
    }
    return replies[0]["result"];
}

class DiaryWrite : public ::testing::TestWithParam<Layout> {
protected:
    void SetUp() override { vault.dashboard(Json::array()); }
    TempVault vault{GetParam()};
};

TEST_P(DiaryWrite, WritesTheTextAndItsMetadataUnderOneNewId) {
    const std::string text = "今天 去了海边。\r\n  second line with trailing break\n";
    auto before = snapshot(vault);
    Json payload = toolPayload(diaryCall(vault, {{"text", text}, {"date", "2025-03-01"},
                                                 {"tags", {"旅行", 7, "", nullptr, "beach"}}}));

    const std::string id = payload.value("id", "");
    ASSERT_TRUE(std::regex_match(id, kUuid)) << id;
    const std::string memo = vault.inputsDir() + "/2025-03-01/" + id + ".memo.txt";
    const std::string meta = vault.inputsDir() + "/2025-03-01/" + id + ".meta.json";
    EXPECT_EQ(payload, (Json{{"ok", true},
                             {"id", id},
                             {"date", "2025-03-01"},
                             {"chars", 43},
                             {"wrote", {vault.at(memo), vault.at(meta)}},
                             {"next", kNext}}));

    auto diff = added(before, snapshot(vault));
    ASSERT_EQ(diff.size(), 2u);
    EXPECT_EQ(diff[memo], text);
    const std::string metaText = diff[meta];
    EXPECT_EQ(Json::parse(metaText), (Json{{"createdBy", "mcp"}, {"tags", {"旅行", "", "beach"}}}));
    EXPECT_LT(metaText.find("\"createdBy\""), metaText.find("\"tags\"")) << "keys sorted";
    EXPECT_NE(metaText.find('\n'), std::string::npos) << "pretty-printed";
    EXPECT_EQ(metaText.rfind("{", 0), 0u) << "no byte-order mark";
}

TEST_P(DiaryWrite, WithoutAUsableDateTheEntryGoesUnderTodaysLocalDay) {
    const Json absentDates[] = {Json(), Json("   "), Json(""), Json(20250301)};
    for (const Json& absent : absentDates) {
        SCOPED_TRACE(absent.dump());
        Json args = {{"text", "note"}};
        if (!absent.is_null()) args["date"] = absent;
        std::string dayBefore = localDayIn(kZone, std::time(nullptr));
        Json payload = toolPayload(diaryCall(vault, args));
        std::string dayAfter = localDayIn(kZone, std::time(nullptr));
        std::string day = payload.value("date", "");
        EXPECT_TRUE(day == dayBefore || day == dayAfter) << day << " vs " << dayBefore;
        EXPECT_TRUE(vault.exists(vault.inputsDir() + "/" + day + "/" + payload.value("id", "") + ".memo.txt"));
    }
}

TEST_P(DiaryWrite, MetadataCarriesTagsOnlyWhenThereAreSome) {
    const Json noTags[] = {Json(), Json::array(), Json("旅行"), Json::array({1, nullptr, true})};
    for (const Json& tags : noTags) {
        SCOPED_TRACE(tags.dump());
        Json args = {{"text", "t"}, {"date", "2025-03-01"}};
        if (!tags.is_null()) args["tags"] = tags;
        Json payload = toolPayload(diaryCall(vault, args));
        auto metaText = vault.read(vault.inputsDir() + "/2025-03-01/" + payload.value("id", "") + ".meta.json");
        ASSERT_TRUE(metaText);
        EXPECT_EQ(Json::parse(*metaText), (Json{{"createdBy", "mcp"}}));
    }
}

TEST_P(DiaryWrite, CharsCountsUserPerceivedCharacters) {
    struct Case {
        std::string text;
        int chars;
    };
    const Case cases[] = {{"🇨🇳", 1}, {"e\u0301", 1}, {"a\r\nb", 3}, {" ", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Json payload = toolPayload(diaryCall(vault, {{"text", c.text}, {"date", "2025-03-01"}}));
        EXPECT_EQ(payload["chars"], c.chars);
        EXPECT_EQ(vault.read(vault.inputsDir() + "/2025-03-01/" + payload.value("id", "") + ".memo.txt"), c.text);
    }
}

TEST_P(DiaryWrite, RefusalsWriteNothing) {
    struct Case {
        Json args;
        std::string text;
    };
    const Case cases[] = {
        {Json::object(), "❌ 缺少必填参数 `text`(非空字符串)"},
        {{{"text", ""}}, "❌ 缺少必填参数 `text`(非空字符串)"},
        {{{"text", 5}, {"date", "bad"}}, "❌ 缺少必填参数 `text`(非空字符串)"},
        {{{"text", "t"}, {"date", "2025-3-1"}}, "❌ date 要写成 yyyy-MM-dd,收到的是「2025-3-1」。"},
        {{{"text", "t"}, {"date", "2025/03/01"}}, "❌ date 要写成 yyyy-MM-dd,收到的是「2025/03/01」。"},
        {{{"text", "t"}, {"date", " 2025-03-01"}}, "❌ date 要写成 yyyy-MM-dd,收到的是「 2025-03-01」。"},
        {{{"text", "t"}, {"date", "2025-03-01\n"}}, "❌ date 要写成 yyyy-MM-dd,收到的是「2025-03-01\n」。"},
        {{{"text", "t"}, {"date", "２０２５-03-01"}}, "❌ date 要写成 yyyy-MM-dd,收到的是「２０２５-03-01」。"},
        {{{"text", "t"}, {"date", "../../x"}}, "❌ date 要写成 yyyy-MM-dd,收到的是「../../x」。"},
    };
    auto before = snapshot(vault);
    ServerSession session(vault.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.dump());
        EXPECT_EQ(failureText(session.callTool("diary_write", c.args)), c.text);
    }
    session.finish();
    EXPECT_EQ(snapshot(vault), before);
}

TEST_P(DiaryWrite, ShapeOnlyDatesAndRepeatedTextsMakeNewEntries) {
    ServerSession session(vault.path());
    Json a = toolPayload(session.callTool("diary_write", {{"text", "same"}, {"date", "2025-13-45"}}));
    Json b = toolPayload(session.callTool("diary_write", {{"text", "same"}, {"date", "2025-13-45"}}));
    session.finish();
    EXPECT_NE(a["id"], b["id"]);
    EXPECT_EQ(vault.list(vault.inputsDir() + "/2025-13-45").size(), 4u);
}

TEST_P(DiaryWrite, ABlockedInputsFolderFailsWithoutLeavingAnything) {
    vault.write(vault.inputsDir(), "a file, not a folder");
    auto before = snapshot(vault);
    ServerSession session(vault.path());
    std::string text = failureText(session.callTool("diary_write", {{"text", "t"}, {"date", "2025-03-01"}}));
    session.finish();
    EXPECT_EQ(text.rfind("❌ 建目录失败: ", 0), 0u) << text;
    EXPECT_EQ(snapshot(vault), before);
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, DiaryWrite, ::testing::Values(Layout::english, Layout::legacy),
                         [](const auto& info) { return info.param == Layout::english ? "english" : "legacy"; });

// The layout is the detected one, with no fallback: a marker saying English
// wins over a vault that only has the legacy folders.
TEST(DiaryWriteLayout, AnEnglishMarkerWritesTheEnglishInputsFolder) {
    TempVault vault(Layout::legacy);
    vault.dashboard(Json::array());
    vault.mkdir(vault.inputsDir());
    vault.writeJson("preferences/quillstack-library.json",
                    {{"schemaVersion", 2}, {"pathSchema", "english-v2"}, {"createdAt", "2025-01-01T00:00:00Z"},
                     {"app", "quillstack"}});
    Json payload = toolPayload(diaryCall(vault, {{"text", "t"}, {"date", "2025-03-01"}}));
    const std::string id = payload.value("id", "");
    EXPECT_TRUE(vault.exists("memories/timeline/inputs/2025-03-01/" + id + ".memo.txt"));
    EXPECT_TRUE(vault.exists("memories/timeline/inputs/2025-03-01/" + id + ".meta.json"));
    EXPECT_TRUE(vault.list(vault.inputsDir()).empty());
}

}  // namespace
}  // namespace qs::test
