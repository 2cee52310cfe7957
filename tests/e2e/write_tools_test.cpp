// minutes_write and diary_write through the binary: where the files go, their
// exact bytes, archives of what is replaced, and refusals that write nothing.
#include <gtest/gtest.h>

#include <set>     // std::multiset
#include <thread>  // std::thread

#include "e2e/tool_fixture.hpp"

namespace qs::test {
namespace {

using Bag = std::multiset<string>;

// The bytes of every archived copy in a history folder; a copy under a name
// that is not an archive name (the stamp, an optional "-n", the suffix) counts as a wrong one.
Bag archived(const TempVault& v, const string& dir) {
    static const std::regex name(R"(\d{4}-\d{2}-\d{2}T\d{6}Z(-\d+)?(\.min\.md|\.sum\.txt))");
    Bag bytes;
    for (const auto& file : v.list(dir)) bytes.insert(std::regex_match(file, name) ? *v.read(dir + file) : "bad " + file);
    return bytes;
}

struct WriteTools : ToolSuite {
    void SetUp() override { index({entry("REC1", "2025-03-02"), entry("REC2", "2025-03-04")}); }
    string history(const string& id) const { return v.coreDir() + "/meta/minutes-history/" + id + "/"; }
    Json minutes(const char* id, const string& markdown, const Json& summary = nullptr) {
        return call("minutes_write", {{"id", id}, {"markdown", markdown}, {"summary", summary}});
    }
};

// The new bytes exactly (CRLF and no final line end in the minutes, a final
// line break in the summary), the old ones archived under one stamp of the
// call's second (UTC). A later copy in the same second gets a "-n" name
// instead of replacing the first; bytes that are not UTF-8 are still the
// user's text, archived raw.
TEST_P(WriteTools, MinutesReplacedAndEveryVersionArchived) {
    const string min = ins("2025-03-02/REC1.min.md"), sum = ins("2025-03-02/REC1.sum.txt"), h = history("REC1");
    const string oldMinutes = "GBK \xc4\xe3 \xff", oldSummary = "\xc3(";
    put({{min, oldMinutes}, {sum, oldSummary}});
    // Occupy the plain minutes names of the coming minute, as earlier calls would have.
    for (std::time_t t = std::time(nullptr) - 1, end = t + 61; t < end; ++t) v.write(h + utcStamp(t) + ".min.md", "earlier");
    auto expected = snapshot(v);
    const string markdown = "# 新\r\n\r\n😀 x", summary = "摘要\n";
    Json result = minutes("REC1", markdown, summary);
    const string name = h + result["archived"][0].get<string>().substr(v.at(h).size(), 18) + "-2";
    EXPECT_EQ(result, (Json{{"ok", true}, {"id", "REC1"}, {"date", "2025-03-02"}, {"wrote", {v.at(min), v.at(sum)}},
                          {"archived", {v.at(name + ".min.md"), v.at(name + ".sum.txt")}},
                          {"next", "Mac App 下一轮扫描(约 30 秒)后时间流会更新。Dashboard.json 未被修改。"}}));
    for (const auto& [rel, bytes] : Snapshot{{min, markdown}, {sum, summary}, {name + ".min.md", oldMinutes}, {name + ".sum.txt", oldSummary}})
        expected[rel] = bytes;
    EXPECT_EQ(snapshot(v), expected);
    EXPECT_EQ(minutes("REC1", "v2")["warning"], "只改了纪要正文,时间流卡片上显示的摘要还是旧的。要一起更新就传 summary。");
    Bag copies = archived(v, h);
    EXPECT_EQ(copies.erase("earlier"), 61u);
    EXPECT_EQ(copies, (Bag{oldMinutes, oldSummary, markdown}));
}

// An entry's files found on another day than its index day, or found on a
// day without it being in the index; an empty file is still old minutes.
TEST_P(WriteTools, MinutesFollowTheEntrysFiles) {
    put({{ins("2025-03-01/REC2.sum.txt"), "s"}, {ins("2025-02-20/ORPHAN.sum.txt"), "os"}, {ins("2025-02-21/GHOST.min.md"), ""}});
    EXPECT_EQ(minutes("REC2", "m2")["date"], "2025-03-01");
    EXPECT_EQ(minutes("ORPHAN", "mo")["date"], "2025-02-20");
    EXPECT_EQ(minutes("GHOST", "filled")["warning"], "这条还没有卡片摘要(.sum.txt),Mac 可能仍把它当未处理。建议补一个 summary 参数。");
    EXPECT_EQ(archived(v, history("GHOST")), Bag{""});
}

// Refusals, and failures before the writes, leave every file (archives too) as
// it was. An old file there but unreadable (a folder here, in life a file still
// in iCloud) would otherwise be replaced without its archive copy; a plain file
// where a folder must go makes the failures happen for root too.
TEST_P(WriteTools, RefusalsWriteNothing) {
    put({{outs("2025-02-28/TRONLY.tr.txt"), "t"}, {ins("2025-03-02/REC1.min.md"), "old"}, {v.coreDir() + "/meta/minutes-history", "file"},
        {v.inputsDir(), "file"}});
    v.mkdir(ins("2025-03-02/REC1.sum.txt"));
    const string blocked = "建目录失败: Not a directory";
    const std::tuple<const char*, Json, string> cases[] = {{"minutes_write", {{"id", "REC1"}}, "缺少必填参数 `markdown`(非空字符串)"},
        {"minutes_write", {{"id", "TRONLY"}, {"markdown", "m"}}, "找不到条目 TRONLY —— Dashboard 里没有,磁盘上也没有它的产物文件。"},
        {"minutes_write", {{"id", "NOWHERE"}, {"markdown", "m"}}, "定位不到条目 NOWHERE 的日期目录。先用 vault_search 确认 id 是对的。"},
        {"minutes_write", {{"id", "REC1"}, {"markdown", "new"}, {"summary", "s"}},
            "读不到现有文件 " + v.at(ins("2025-03-02/REC1.sum.txt")) + ",为了不丢掉旧版本,这次什么都没写。文件可能还在从 iCloud 下载,稍后再试。"},
        {"minutes_write", {{"id", "REC1"}, {"markdown", "new"}}, blocked},
        {"diary_write", {{"text", "t"}, {"date", "2025-3-1"}}, "date 要写成 yyyy-MM-dd,收到的是「2025-3-1」。例如 2025-03-01。"},
        {"diary_write", {{"text", "t"}, {"date", "2025-03-01"}}, blocked}};
    auto before = snapshot(v);
    for (const auto& [tool, args, text] : cases) EXPECT_EQ(call(tool, args), "❌ " + text);
    EXPECT_EQ(snapshot(v), before);
}

// The text as given, the metadata pretty-printed with sorted keys and no
// byte-order mark. Without a usable date the entry goes under today's local
// day, here fourteen hours east of UTC (a POSIX rule, no zone database
// needed), so for much of every day not the UTC day. Each call is a new
// entry, even for the same text.
TEST_P(WriteTools, DiaryWritesTextAndMetadata) {
    zone = "QST-14";
    const string text = "今天 去了海边。\r\n  second line with trailing break\n";
    auto expected = snapshot(v);
    Json result = call("diary_write", {{"text", text}, {"date", "2025-03-01"}, {"tags", {"旅行", "", "beach"}}});
    const string id = result.value("id", ""), file = v.inputsDir() + "/2025-03-01/" + id;
    ASSERT_TRUE(std::regex_match(id, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}"))) << id;
    EXPECT_EQ(result,
        (Json{{"ok", true}, {"id", id}, {"date", "2025-03-01"}, {"chars", 43}, {"wrote", {v.at(file + ".memo.txt"), v.at(file + ".meta.json")}},
            {"next", "Mac App 会自动生成摘要、抽标签和待办,约 30 秒后出现在时间流。全文原样保留在详情页。Dashboard.json 未被修改。"}}));
    expected.insert({{file + ".memo.txt", text}, {file + ".meta.json", R"({
  "createdBy": "mcp",
  "tags": [
    "旅行",
    "",
    "beach"
  ]
})"}});
    EXPECT_EQ(snapshot(v), expected);
    auto localDay = [] { return utcStamp(std::time(nullptr) + 14 * 3600L).substr(0, 10); };
    const string dayBefore = localDay();
    result = call("diary_write", {{"text", text}, {"date", "   "}});
    const string day = result.value("date", "");
    EXPECT_TRUE(day == dayBefore || day == localDay()) << day << " vs " << dayBefore;
    EXPECT_EQ(v.read(v.inputsDir() + "/" + day + "/" + result.value("id", "") + ".meta.json"), "{\n  \"createdBy\": \"mcp\"\n}");
    EXPECT_EQ(v.listRecursive(v.inputsDir()).size(), 4u);
}

// Two servers rewriting one entry as fast as they can: every replaced version
// reaches the history whole, and nothing else (temporary or lock files) is left.
TEST_P(WriteTools, TwoServersLoseNoVersion) {
    // per server
    constexpr int kCalls = 40;
    // Bulky minutes, so a torn or interleaved write would show.
    auto text = [](int p, int i) { return std::to_string(p) + "-" + std::to_string(i) + string(8192, 'x'); };
    auto writer = [&](int p) {
        ServerSession session(v.path());
        for (int i = 0; i < kCalls; ++i) session.call("minutes_write", {{"id", "REC1"}, {"markdown", text(p, i)}});
    };
    std::thread a(writer, 0), b(writer, 1);
    a.join();
    b.join();
    Bag written, kept = archived(v, history("REC1"));
    for (int i = 0; i < 2 * kCalls; ++i) written.insert(text(i % 2, i / 2));
    kept.insert(*v.read(ins("2025-03-02/REC1.min.md")));
    EXPECT_EQ(kept, written);
    EXPECT_EQ(v.listRecursive().size(), 1u + 2 * kCalls);
}

INSTANTIATE_TEST_SUITE_P(Layouts, WriteTools, ::testing::Values("English", "Legacy"), paramName);

}  // namespace
}  // namespace qs::test
