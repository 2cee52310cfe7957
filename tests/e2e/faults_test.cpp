// Hostile conditions: through the real binary, a client that stops reading;
// in process, over the simulated cloud provider, evicted entries and every
// write step failed in turn.
#include <gtest/gtest.h>

#include <fcntl.h>     // AT_FDCWD
#include <sys/stat.h>  // utimensat
#include <sys/wait.h>  // waitid

#include <chrono>    // std::chrono_literals
#include <cstdio>    // std::remove
#include <memory>    // std::make_shared
#include <optional>  // std::optional
#include <regex>     // std::regex, std::regex_replace
#include <thread>    // std::this_thread

#include "e2e/tool_fixture.hpp"
#include "support/simulated_cloud.hpp"
#include "tools/tool_catalog.hpp"

namespace qs::test {
namespace {

using namespace std::chrono_literals;
using Policy = Platform::SimulatedCloud::Policy;

// Two requests in one write are both answered at once, the second not left
// waiting for more input. Input stays open: only the failed reply can make the
// server stop, and it must leave (status 0, not 128 + SIGPIPE) rather than
// spin. Waited for (30 s at most) without reaping it, so `finish` still can.
TEST(Faults, LeavesWhenRepliesCannotBeDelivered) {
    TempVault vault;
    vault.dashboard(Json::array());
    ServerSession session(vault.path());
    session.sendLine(R"({"jsonrpc":"2.0","id":1,"method":"ping"}
{"jsonrpc":"2.0","id":1,"method":"ping"})");
    ASSERT_TRUE(session.readLine(20000) && session.readLine(20000));
    session.closeOutput();
    session.sendLine(R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})");
    siginfo_t info{};
    for (int i = 0; i < 1500 && !info.si_pid; ++i) {
        std::this_thread::sleep_for(20ms);
        ::waitid(P_PID, static_cast<id_t>(session.pid()), &info, WEXITED | WNOHANG | WNOWAIT);
    }
    EXPECT_EQ(info.si_pid, session.pid());
    EXPECT_EQ(session.finish(), 0);
}

// A vault over the simulated provider holding one voice entry "X" of
// 2 March 2025, its tools called in this process, its download wait short.
struct SimulatedVault : TempVault {
    SimulatedVault() { dashboard(Json::array({entry("X", "2025-03-02")})); }
    Json call(const ToolDefinition& tool, const Json& args) {
        if (!context) context.emplace(Vault{path(), PathSchema::englishV2, {}, {300ms, 5ms}, cloud});
        return ToolCatalog::invoke(tool, args, *context);
    }
    string insights(const string& rel) const { return insightsDir() + "/" + rel; }

    std::shared_ptr<Platform::SimulatedCloud> cloud = std::make_shared<Platform::SimulatedCloud>(Platform::systemFileSystem());
    std::optional<ToolContext> context;
};

// Every regular file below the vault, archive stamps and new ids written as
// such, so two runs of one call compare.
Snapshot files(const TempDir& dir) {
    static const std::regex varying(R"(\d{4}-\d{2}-\d{2}T\d{6}Z(-\d+)?|[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12})");
    Snapshot out;
    for (const auto& [rel, bytes] : snapshot(dir)) out[std::regex_replace(rel, varying, "*")] = bytes;
    return out;
}

// An entry whose own day holds its minutes only in iCloud (a placeholder, the
// file evicted under its own name, or the whole day folder evicted) that never
// come down, whether touching them fails or would block: it is never read or
// written through the older copy on another day or under the legacy folder
// names. One with nothing on its own day is looked for in the other day
// folders, newest first: an evicted newer one is brought down and listed
// before an older folder's copy can win. Nothing ever blocks. (The refusal's
// wording is the write tools' test's.)
TEST(Faults, EvictedEntryStaysOnItsDay) {
    for (Policy policy : {Policy::fail, Policy::block}) {
        for (const char* evicted : {".X.min.md.icloud", "X.min.md", ""}) {
            SimulatedVault v;
            v.write(v.insights("2025-03-02/") + (*evicted == '.' ? evicted : "X.min.md"), "current");
            v.write(v.insights("2025-03-01/X.min.md"), "older copy");
            v.write("01-情景记忆/00-时间流/insights/2025-03-02/X.min.md", "stale");
            if (*evicted != '.') v.cloud->evict(v.at(v.insights(*evicted ? "2025-03-02/X.min.md" : "2025-03-02")), std::nullopt);
            v.cloud->setPolicy(policy);
            const auto before = files(v);
            Json read = toolPayload(v.call(minutesReadTool, {{"id", "X"}}));
            const Json refused = v.call(minutesWriteTool, {{"id", "X"}, {"markdown", "new"}})["isError"];
            EXPECT_EQ((std::tuple{read["date"], read["minutes_markdown"], read["warning"], refused, v.cloud->blockedCalls()}),
                (std::tuple{"2025-03-02", "", "纪要正文(.min.md)还在从 iCloud 下载,这次没等到。稍后再读一次。", true, 0}))
                << evicted;
            EXPECT_EQ(files(v), before);
        }
        SimulatedVault v;
        v.write(v.insights("2025-03-05/X.min.md"), "newest");
        v.write(v.insights("2025-03-04/X.min.md"), "older copy");
        v.cloud->evict(v.at(v.insights("2025-03-05")), 20ms);
        v.cloud->setPolicy(policy);
        Json read = toolPayload(v.call(minutesReadTool, {{"id", "X"}}));
        EXPECT_EQ((std::tuple{read["date"], read["minutes_markdown"], v.cloud->blockedCalls()}), (std::tuple{"2025-03-05", "newest", 0}));
    }
}

// Day folders last changed long before the server lists them are kept from
// call to call: a repeated call lists none again, a file added to a kept one
// (behind forty newer ones, stamped a batch at a time) or removed is seen by
// the next call, and a new day folder leaves the others' listings kept. The
// same whether changes are told, lost (and the loss told) or never told.
TEST(Faults, DayFoldersRelistedOnlyWhenChanged) {
    enum Notifications { told, dropped, missing };
    for (int mode : {told, dropped, missing}) {
        SimulatedVault v;
        const string minutes = v.at(v.insights("2025-03-03/X.min.md"));
        v.write(v.outputsDir() + "/2025-03-01/X.tr.txt", "t");
        v.write(v.insights("2025-03-03/other.meta.json"), "{}");
        for (int d = 10; d < 50; ++d) v.write(v.insights("2025-04-" + std::to_string(d) + "/x.meta.json"), "{}");
        v.cloud->setNotificationsMissing(mode == missing);
        // past the racy window of every folder written above
        v.cloud->advanceClock(2100ms);
        // The transcript and minutes flags, and the folders listed by the call.
        std::vector<string> listed;
        auto flags = [&] {
            const size_t before = v.cloud->listed().size();
            if (mode == dropped) v.cloud->dropNotifications();
            Json recording = toolPayload(v.call(recordingListTool, Json::object()))["recordings"][0];
            listed = v.cloud->listed();
            listed.erase(listed.begin(), listed.begin() + static_cast<long>(before));
            return Json::array({recording["has_transcript"], recording["has_minutes"]});
        };
        const Json transcript{true, false}, minutesOnly{false, true};
        EXPECT_EQ(flags(), transcript);
        EXPECT_EQ((std::pair{flags(), listed.size()}), (std::pair{transcript, size_t{0}}));
        v.write(v.insights("2025-03-03/X.min.md"), "m");
        EXPECT_EQ((std::pair{flags(), listed}), (std::pair{minutesOnly, std::vector{v.at(v.insights("2025-03-03"))}}));
        v.write(v.insights("2025-05-01/y.meta.json"), "{}");
        EXPECT_EQ(flags(), minutesOnly);
        for (const string& folder : listed) EXPECT_EQ(folder.find("2025-04-"), string::npos) << folder;
        std::remove(minutes.c_str());
        EXPECT_EQ(flags(), transcript) << mode;
    }
}

// Each file-system call of a write failed in turn, up to the call's last:
// the vault is then byte for byte as before the call (and the reply an
// error) or as after a clean run (and the reply a success); no temporary stays.
TEST(Faults, EachFailedWriteStepLeavesBeforeOrAfter) {
    // New minutes, then new minutes over old ones and their summary, then a diary entry.
    for (int c = 0; c < 3; ++c) {
        // Runs the call with the k-th file-system call failing (0: none).
        auto run = [&](int k, Snapshot& before, Snapshot& after) {
            SimulatedVault v;
            if (c == 1) {
                v.write(v.insights("2025-03-02/X.min.md"), "old minutes");
                v.write(v.insights("2025-03-02/X.sum.txt"), "old summary");
            }
            before = files(v);
            v.cloud->failCall(k, k % 2 ? EIO : ENOSPC);
            const bool failed = (c < 2 ? v.call(minutesWriteTool, {{"id", "X"}, {"markdown", "m"}, {"summary", "s"}})
                                       : v.call(diaryWriteTool, {{"text", "日记"}, {"date", "2025-03-01"}, {"tags", {"a"}}}))
                                    .value("isError", false);
            after = files(v);
            EXPECT_TRUE(k || !failed) << c;
            return k ? failed : v.cloud->calls();
        };
        Snapshot before, clean, after;
        const int calls = run(0, before, clean);
        for (int k = 1; k <= calls; ++k) {
            const bool failed = run(k, before, after);
            EXPECT_EQ(after, failed ? before : clean) << c << " " << k;
        }
    }
}

// A same-size rewrite in place with the old times put back, which a coarse
// clock would not tell apart, is seen by the very next call. The clock moves
// past the racy window of the first version's change time (which no one can
// set back), so the index read is kept: the file is not opened again.
TEST(KeptIndex, SeesEveryChange) {
    SimulatedVault v;
    auto write = [&](const char* id) {
        const timespec longAgo[2] = {{1700000000, 0}, {1700000000, 0}};
        v.dashboard(Json::array({Json{{"id", id}}}));
        ::utimensat(AT_FDCWD, v.at("core/Dashboard.json").c_str(), longAgo, 0);
    };
    write("first-id");
    v.cloud->advanceClock(2100ms);
    auto hits = [&](const char* query) { return toolPayload(v.call(vaultSearchTool, {{"query", query}}))["returned"]; };
    EXPECT_EQ(hits("first-id"), 1);
    v.cloud->failAlways("open", EIO);
    EXPECT_EQ(hits("first-id"), 1);
    v.cloud->failAlways("open", 0);
    write("other-id");
    EXPECT_EQ((std::pair{hits("first-id"), hits("other-id")}), (std::pair{Json(0), Json(1)}));
}

}  // namespace
}  // namespace qs::test
