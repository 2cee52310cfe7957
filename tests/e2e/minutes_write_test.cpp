// minutes_write through the binary: locations, exact bytes, archives, refusals,
// and no version lost to unsafe input, same-second rewrites, odd bytes,
// failed writes or racing servers.
#include <gtest/gtest.h>

#include <cstdio>  // std::remove
#include <ctime>   // time
#include <set>     // std::multiset
#include <thread>  // std::thread

#include "e2e/tool_fixture.hpp"

namespace qs::test {
namespace {

const char* const kNext = "Mac App 下一轮扫描(约 30 秒)后时间流会更新。Dashboard.json 未被修改。";
const char* const kKeptSummary = "只改了纪要正文,时间流卡片上显示的摘要还是旧的。要一起更新就传 summary。";
const char* const kNoSummary = "这条还没有卡片摘要(.sum.txt),Mac 可能仍把它当未处理。建议补一个 summary 参数。";
const std::string kLegacyDay = "01-情景记忆/00-时间流/insights/2024-12-30/";

// The bytes of every archived copy of an entry.
std::multiset<std::string> archivedBytes(const TempVault& v, const std::string& id) {
    std::multiset<std::string> bytes;
    const std::string dir = v.coreDir() + "/meta/minutes-history/" + id;
    for (const auto& name : v.list(dir)) {
        EXPECT_TRUE(std::regex_match(name, archiveName)) << name;
        bytes.insert(*v.read(dir + "/" + name));
    }
    return bytes;
}

std::string fileName(const Json& path) { return path.get<std::string>().substr(path.get<std::string>().rfind('/') + 1); }

class MinutesWrite : public LayoutSuite {
protected:
    void SetUp() override { vault.dashboard(Json::array({entry("REC1", "2025-03-02"), entry("REC2", "2025-03-04")})); }
    std::string insights(const std::string& rel) const { return vault.insightsDir() + "/" + rel; }
    std::string history(const std::string& id) const { return vault.coreDir() + "/meta/minutes-history/" + id; }
    Json write(const Json& args) { return payload("minutes_write", args); }
};

TEST_P(MinutesWrite, FirstMinutesGoIntoTheIndexedDayFolder) {
    auto before = snapshot(vault);
    Json result = write({{"id", "REC1"}, {"markdown", "# 纪要\n\n- 第一点"}});
    const std::string rel = insights("2025-03-02/REC1.min.md");
    EXPECT_EQ(result, (Json{{"ok", true}, {"id", "REC1"}, {"date", "2025-03-02"}, {"wrote", {vault.at(rel)}},
                             {"archived", Json::array()}, {"next", kNext}, {"warning", kNoSummary}}));
    EXPECT_EQ(added(before, snapshot(vault)), (Snapshot{{rel, "# 纪要\n\n- 第一点"}}));
}

TEST_P(MinutesWrite, ReplacingBothArchivesBothUnderOneStamp) {
    vault.write(insights("2025-03-02/REC1.min.md"), "old minutes");
    vault.write(insights("2025-03-02/REC1.sum.txt"), "old summary");
    // Exact bytes: CRLF and no final line end in the minutes, a final line break in the summary.
    const std::string markdown = "# 新纪要\r\n\r\n内容 😀 no newline", summary = "一句话摘要\n";
    auto before = snapshot(vault);
    std::time_t t0 = std::time(nullptr);
    Json result = write({{"id", "REC1"}, {"markdown", markdown}, {"summary", summary}});
    std::time_t t1 = std::time(nullptr);

    EXPECT_FALSE(result.contains("warning"));
    EXPECT_EQ(result["wrote"], (Json{vault.at(insights("2025-03-02/REC1.min.md")), vault.at(insights("2025-03-02/REC1.sum.txt"))}));
    // One plain stamp of the moment of the call for both copies.
    ASSERT_EQ(result["archived"].size(), 2u);
    std::string stamp = fileName(result["archived"][0]);
    stamp = stamp.substr(0, stamp.find('.'));
    EXPECT_TRUE(stamp >= utcStamp(t0) && stamp <= utcStamp(t1) && stamp.size() == 18) << stamp;
    EXPECT_EQ(added(before, snapshot(vault)), (Snapshot{{insights("2025-03-02/REC1.min.md"), markdown},
                                                        {insights("2025-03-02/REC1.sum.txt"), summary},
                                                        {history("REC1") + "/" + stamp + ".min.md", "old minutes"},
                                                        {history("REC1") + "/" + stamp + ".sum.txt", "old summary"}}));
    EXPECT_EQ(result["archived"], (Json{vault.at(history("REC1") + "/" + stamp + ".min.md"),
                                        vault.at(history("REC1") + "/" + stamp + ".sum.txt")}));
}

TEST_P(MinutesWrite, FollowsTheEntrysFilesToTheDayThatHoldsThem) {
    vault.write(insights("2025-03-01/REC2.sum.txt"), "s");  // not under its index day 2025-03-04
    vault.write(insights("2025-02-20/ORPHAN.sum.txt"), "orphan summary");  // unknown to the index
    vault.write(insights("2025-02-21/GHOST.min.md"), "");  // an empty file is still old minutes
    EXPECT_EQ(write({{"id", "REC2"}, {"markdown", "m2"}})["date"], "2025-03-01");
    EXPECT_EQ(vault.read(insights("2025-03-01/REC2.min.md")), "m2");
    EXPECT_FALSE(vault.exists(insights("2025-03-04")));
    Json orphan = write({{"id", "ORPHAN"}, {"markdown", "mo"}, {"summary", "so"}});
    EXPECT_EQ(orphan["date"], "2025-02-20");
    EXPECT_EQ(vault.read(insights("2025-02-20/ORPHAN.sum.txt")), "so");
    EXPECT_EQ(archivedBytes(vault, "ORPHAN"), std::multiset<std::string>{"orphan summary"});
    EXPECT_EQ(write({{"id", "GHOST"}, {"markdown", "filled"}})["warning"], kNoSummary);
    EXPECT_EQ(archivedBytes(vault, "GHOST"), std::multiset<std::string>{""});
}

TEST_P(MinutesWrite, RefusalsNameTheProblemAndWriteNothing) {
    vault.write(vault.outputsDir() + "/2025-02-28/TRONLY.tr.txt", "only a transcript");
    // Even listed in the index, ids that would leave their folder never become file names.
    vault.dashboard(Json::array({entry("REC1", "2025-03-02"), entry("../escape", "2025-03-02"), entry("a/b", "2025-03-02"),
                                 entry("SLY", "", "voice", {{"date", "../../../tmp"}})}));
    vault.write(vault.insightsDir() + "/escape.min.md", "bait");
    const std::string noId = missingId, noMarkdown = "❌ 缺少必填参数 `markdown`(非空字符串)";
    const std::pair<Json, std::string> cases[] = {
        {Json::object(), noId},
        {{{"id", ""}, {"markdown", "m"}}, noId},
        {{{"id", "REC1"}}, noMarkdown},
        {{{"id", "REC1"}, {"markdown", ""}}, noMarkdown},
        {{{"id", "TRONLY"}, {"markdown", "m"}}, "❌ 找不到条目 TRONLY —— Dashboard 里没有,磁盘上也没有它的产物文件。"},
        {{{"id", "NOWHERE"}, {"markdown", "m"}}, "❌ 定位不到条目 NOWHERE 的日期目录。先用 vault_search 确认 id 是对的。"},
        {{{"id", "SLY"}, {"markdown", "m"}}, "❌ 定位不到条目 SLY 的日期目录。先用 vault_search 确认 id 是对的。"},
        {{{"id", "../escape"}, {"markdown", "m"}}, unsafeIdMessage("../escape")},
    };
    auto before = snapshot(vault);
    for (const auto& [args, text] : cases) EXPECT_EQ(failure("minutes_write", args), text) << args.dump();
    for (const auto& id : unsafeIds) EXPECT_EQ(failure("minutes_write", {{"id", id}, {"markdown", "pwned"}}), unsafeIdMessage(id));
    EXPECT_EQ(snapshot(vault), before);
}

// Archive names carry the second only; a later copy in the same second gets
// "-2" (both copies of the call sharing it) instead of replacing the first.
TEST_P(MinutesWrite, ASameSecondArchiveGetsANameOfItsOwn) {
    vault.write(insights("2025-03-02/REC1.min.md"), "version 1");
    vault.write(insights("2025-03-02/REC1.sum.txt"), "summary 1");
    // Occupy the plain minutes names of the coming minute, as an earlier call would have.
    std::time_t now = std::time(nullptr);
    for (std::time_t t = now - 1; t < now + 60; ++t) vault.write(history("REC1") + "/" + utcStamp(t) + ".min.md", "earlier");
    auto before = snapshot(vault);
    Json result = write({{"id", "REC1"}, {"markdown", "version 2"}, {"summary", "summary 2"}});
    ASSERT_EQ(result["archived"].size(), 2u);
    std::string minutesName = fileName(result["archived"][0]), summaryName = fileName(result["archived"][1]);
    std::smatch m, s;
    ASSERT_TRUE(std::regex_match(minutesName, m, archiveName)) << minutesName;
    ASSERT_TRUE(std::regex_match(summaryName, s, archiveName)) << summaryName;
    EXPECT_EQ(m[2], "-2");
    EXPECT_EQ(m[1].str() + m[2].str(), s[1].str() + s[2].str()) << "the summary copy shares the minutes copy's name";
    EXPECT_EQ(added(before, snapshot(vault)), (Snapshot{{history("REC1") + "/" + minutesName, "version 1"},
                                                        {history("REC1") + "/" + summaryName, "summary 1"},
                                                        {insights("2025-03-02/REC1.min.md"), "version 2"},
                                                        {insights("2025-03-02/REC1.sum.txt"), "summary 2"}}));
}

// Quick rewrites keep every version; bytes that are not UTF-8 are still the
// user's text: archived as they are, and counted as existing files.
TEST_P(MinutesWrite, EveryReplacedVersionIsArchivedRaw) {
    const std::string oddMinutes = "GBK \xc4\xe3\xba\xc3 \xff\xfe", oddSummary = "\xc3(";
    vault.write(insights("2025-03-02/REC1.min.md"), oddMinutes);
    vault.write(insights("2025-03-02/REC1.sum.txt"), oddSummary);
    EXPECT_EQ(write({{"id", "REC1"}, {"markdown", "v1"}})["warning"], kKeptSummary);
    for (int i = 2; i <= 5; ++i) write({{"id", "REC1"}, {"markdown", "v" + std::to_string(i)}});
    write({{"id", "REC1"}, {"markdown", "v6"}, {"summary", "s"}});
    EXPECT_EQ(archivedBytes(vault, "REC1"), (std::multiset<std::string>{oddMinutes, "v1", "v2", "v3", "v4", "v5", oddSummary}));
    EXPECT_EQ(vault.read(insights("2025-03-02/REC1.min.md")), "v6");
}

// Failures, provoked with a plain file or folder where the other must go (so
// they also happen for root), leave everything as it was. An old file that is
// there but cannot be read (here a folder; in life a file still in iCloud)
// would otherwise be replaced without its archive copy.
TEST_P(MinutesWrite, AFailedStepBeforeTheWritesChangesNothing) {
    vault.write(insights("2025-03-02/REC1.min.md"), "old");
    vault.mkdir(insights("2025-03-02/REC1.sum.txt"));
    vault.write(insights("2025-03-04/REC2.min.md"), "old");
    auto before = snapshot(vault);
    std::string unreadable = failure("minutes_write", {{"id", "REC1"}, {"markdown", "new"}, {"summary", "s"}});
    EXPECT_TRUE(unreadable.starts_with("❌ 读不到现有文件 " + vault.at(insights("2025-03-02/REC1.sum.txt")))) << unreadable;
    EXPECT_EQ(snapshot(vault), before);
    vault.write(vault.coreDir() + "/meta/minutes-history", "a file, not a folder");
    before = snapshot(vault);
    std::string blocked = failure("minutes_write", {{"id", "REC2"}, {"markdown", "new"}});
    EXPECT_TRUE(blocked.starts_with("❌ 建目录失败: ")) << blocked;
    EXPECT_EQ(snapshot(vault), before);
}

INSTANTIATE_TEST_SUITE_P(Layouts, MinutesWrite, bothLayouts, layoutName);

// An English vault whose entry still lives under the legacy names: the old
// files are read there, the new ones follow the English layout. While that
// layout's insights folder is blocked, the archives made stay and the old
// minutes are untouched.
TEST(MinutesWriteMixedLayout, ReadsLegacyFilesAndWritesTheEnglishLayout) {
    TempVault vault(Layout::english);
    vault.dashboard(Json::array({entry("OLD1", "2024-12-30")}));
    vault.write(kLegacyDay + "OLD1.min.md", "legacy minutes");
    vault.write(kLegacyDay + "OLD1.sum.txt", "legacy summary");
    vault.write("memories/timeline/insights", "a file, not a folder");
    auto before = snapshot(vault);
    ServerSession session(vault.path());
    Json blocked = session.callTool("minutes_write", {{"id", "OLD1"}, {"markdown", "new"}, {"summary", "s"}});
    EXPECT_TRUE(toolText(blocked).starts_with("❌ 建目录失败: ")) << blocked.dump();
    EXPECT_EQ(snapshot(vault), before);  // all or nothing: not even the archive copies stay

    std::remove(vault.at("memories/timeline/insights").c_str());
    Json result = toolPayload(session.callTool("minutes_write", {{"id", "OLD1"}, {"markdown", "m"}}));
    EXPECT_EQ(result["wrote"], Json{vault.at("memories/timeline/insights/2024-12-30/OLD1.min.md")});
    EXPECT_EQ(result["warning"], kKeptSummary);  // without a summary the old one stays, unarchived
    EXPECT_EQ(archivedBytes(vault, "OLD1"), (std::multiset<std::string>{"legacy minutes"}));
    EXPECT_EQ(vault.read(kLegacyDay + "OLD1.min.md"), "legacy minutes");
    EXPECT_EQ(vault.read(kLegacyDay + "OLD1.sum.txt"), "legacy summary");
}

// Two servers rewriting one entry as fast as they can: every replaced version
// reaches the history, the current files are each one written text, whole.
TEST(MinutesWriteConcurrency, TwoServersLoseNoVersion) {
    TempVault vault(Layout::english);
    vault.dashboard(Json::array({entry("HOT", "2025-03-02")}));
    const std::string dir = "memories/timeline/insights/2025-03-02/";
    vault.write(dir + "HOT.min.md", "m-initial");
    vault.write(dir + "HOT.sum.txt", "s-initial");
    constexpr int kCalls = 100;  // per server, as fast as each can go
    // Bulky minutes, so a torn or interleaved write would show.
    auto text = [](char kind, int p, int i) {
        return std::string(1, kind) + "-" + std::to_string(p) + "-" + std::to_string(i) + std::string(kind == 'm' ? 8192 : 0, 'x');
    };
    std::vector<std::thread> writers;
    for (int p = 0; p < 2; ++p) {
        writers.emplace_back([&, p] {
            ServerSession session(vault.path());
            for (int i = 0; i < kCalls; ++i) {
                Json args{{"id", "HOT"}, {"markdown", text('m', p, i)}, {"summary", text('s', p, i)}};
                EXPECT_EQ(session.callTool("minutes_write", args).value("isError", true), false);
            }
        });
    }
    for (auto& w : writers) w.join();

    std::multiset<std::string> written{"m-initial", "s-initial"};
    for (int p = 0; p < 2; ++p) {
        for (int i = 0; i < kCalls; ++i) written.insert({text('m', p, i), text('s', p, i)});
    }
    for (const char* current : {"HOT.min.md", "HOT.sum.txt"}) {
        auto it = written.find(*vault.read(dir + current));
        ASSERT_NE(it, written.end()) << current << " is not one written text";
        written.erase(it);
    }
    EXPECT_EQ(archivedBytes(vault, "HOT"), written);
    // Nothing else anywhere: no temporary or lock files.
    EXPECT_EQ(vault.listRecursive().size(), 3u + 4u * kCalls);
}

}  // namespace
}  // namespace qs::test
