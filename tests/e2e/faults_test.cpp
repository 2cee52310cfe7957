// Hostile conditions: through the real binary, a client that stops reading;
// in process, over the simulated cloud provider, evicted entries and every
// write step failed in turn.
#include <gtest/gtest.h>

#include <sys/wait.h>  // waitid

#include <chrono>    // the deadline for leaving on its own
#include <cstdio>    // std::remove, std::printf
#include <map>       // std::map
#include <memory>    // std::make_shared
#include <optional>  // std::optional
#include <regex>     // std::regex, std::regex_replace
#include <string>    // std::string
#include <thread>    // std::this_thread
#include <vector>    // std::vector

#include "support/server_process.hpp"
#include "support/simulated_cloud.hpp"
#include "support/temp_vault.hpp"
#include "tools/tool.hpp"
#include "tools/tool_catalog.hpp"
#include "vault/path_schema.hpp"
#include "vault/vault_changes.hpp"

using qs::Json;
using qs::test::ServerSession;
using qs::test::TempVault;

namespace {

// Waits for the child to end without reaping it, so `finish` still can.
bool endsWithin(int pid, std::chrono::seconds limit) {
    for (auto deadline = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < deadline;) {
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// An index of one voice entry "X" of 2 March 2025.
const Json kOnlyX = Json::array({Json{{"id", "X"}, {"type", "voice"}, {"date", "2025-03-02T08:00:00Z"}}});

}  // namespace

// Input stays open: only the failed reply can make the server stop, and it
// must leave (status 0, not 128 + SIGPIPE) rather than spin.
TEST(Faults, LeavesOnItsOwnOnceItsRepliesCannotBeDelivered) {
    TempVault vault;
    vault.dashboard(Json::array());
    ServerSession session(vault.path());
    ASSERT_EQ(session.request("ping")["result"], Json::object());
    session.closeOutput();
    session.sendLine(R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})");
    EXPECT_TRUE(endsWithin(session.pid(), std::chrono::seconds(30)));
    EXPECT_EQ(session.finish(), 0);
}

namespace qs::test {
namespace {

using namespace std::chrono_literals;
using Policy = Platform::SimulatedCloud::Policy;

// A vault over the simulated provider, its tools called in this process, its
// download wait short.
struct SimulatedVault {
    explicit SimulatedVault(Layout layout = Layout::english) : dir(layout) { dir.dashboard(kOnlyX); }
    Json call(const ToolDefinition& tool, const Json& args) {
        if (!context) context.emplace(Vault{dir.path(), VaultInitializer::detectSchema(*cloud, dir.path()).value(), {}, {300ms, 5ms}, cloud});
        return ToolCatalog::invoke(tool, args, *context);
    }
    std::string insights(const std::string& rel) const { return dir.insightsDir() + "/" + rel; }

    TempVault dir;
    std::shared_ptr<Platform::SimulatedCloud> cloud = std::make_shared<Platform::SimulatedCloud>(Platform::systemFileSystem());
    std::optional<ToolContext> context;
};

// Every regular file below the vault, archive stamps and new ids written as
// such, so two runs of one call compare.
std::map<std::string, std::string> files(const TempDir& dir) {
    static const std::regex varying(R"(\d{4}-\d{2}-\d{2}T\d{6}Z(-\d+)?|[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12})");
    std::map<std::string, std::string> out;
    for (const auto& rel : dir.listRecursive()) out[std::regex_replace(rel, varying, "*")] = dir.read(rel).value_or("?");
    return out;
}

// An entry whose own day holds its minutes only in iCloud (a placeholder, the
// file evicted under its own name, or the whole day folder evicted) that never
// come down, whether touching them fails or would block: it is never read or
// written through the older copy on another day or under the legacy folder
// names, and nothing ever blocks. (The refusal's wording is the write tools' test's.)
TEST(Faults, AnEvictedEntryStaysOnItsOwnDay) {
    for (const char* evicted : {".X.min.md.icloud", "X.min.md", ""})
        for (Policy policy : {Policy::fail, Policy::block}) {
            SimulatedVault v;
            v.dir.write(v.insights("2025-03-02/") + (*evicted == '.' ? evicted : "X.min.md"), "current");
            v.dir.write(v.insights("2025-03-01/X.min.md"), "older copy");
            v.dir.write("01-情景记忆/00-时间流/insights/2025-03-02/X.min.md", "stale");
            if (*evicted != '.') v.cloud->evict(v.dir.at(v.insights(*evicted ? "2025-03-02/X.min.md" : "2025-03-02")), std::nullopt);
            v.cloud->setPolicy(policy);
            const auto before = files(v.dir);
            Json read = toolPayload(v.call(minutesReadTool, {{"id", "X"}}));
            EXPECT_EQ((std::tuple{read["date"], read["minutes_markdown"], read["warning"]}),
                (std::tuple{"2025-03-02", "", "纪要正文(.min.md)还在从 iCloud 下载,这次没等到。稍后再读一次。"}))
                << evicted;
            EXPECT_TRUE(v.call(minutesWriteTool, {{"id", "X"}, {"markdown", "new"}})["isError"].get<bool>());
            EXPECT_EQ(files(v.dir), before);
            EXPECT_EQ(v.cloud->blockedCalls(), 0) << evicted;
        }
}

// An entry with nothing on its own day is looked for in the other day
// folders, newest first: an evicted newer one is brought down and listed
// before an older folder's copy can win, and nothing blocks meanwhile.
TEST(Faults, AnEvictedDayFolderIsListedOnceItArrives) {
    for (Policy policy : {Policy::fail, Policy::block}) {
        SimulatedVault v;
        v.dir.write(v.insights("2025-03-05/X.min.md"), "newest");
        v.dir.write(v.insights("2025-03-04/X.min.md"), "older copy");
        v.cloud->evict(v.dir.at(v.insights("2025-03-05")), 20ms);
        v.cloud->setPolicy(policy);
        Json read = toolPayload(v.call(minutesReadTool, {{"id", "X"}}));
        EXPECT_EQ((std::tuple{read["date"], read["minutes_markdown"]}), (std::tuple{"2025-03-05", "newest"}));
        EXPECT_EQ(v.cloud->blockedCalls(), 0);
    }
}

// Day folders last changed long before the server lists them are kept from
// call to call: a repeated call lists none again, a file added to a kept one
// (behind forty newer ones, stamped a batch at a time) or removed is seen by
// the next call, and a new day folder leaves the others' listings kept. The
// same whether changes are told, lost (and the loss told) or never told; the
// index's queue gets what was told, else a sweep.
TEST(Faults, DayFoldersAreListedAgainOnlyWhenTheyChange) {
    enum Notifications { told, dropped, missing };
    std::vector<SimulatedVault> vaults(3);
    for (SimulatedVault& v : vaults) {
        v.dir.write(v.dir.outputsDir() + "/2025-03-01/X.tr.txt", "t");
        v.dir.write(v.insights("2025-03-03/other.meta.json"), "{}");
        for (int d = 10; d < 50; ++d) v.dir.write(v.insights("2025-04-" + std::to_string(d) + "/x.meta.json"), "{}");
    }
    vaults[missing].cloud->setNotificationsMissing(true);
    // past the racy window of every folder written above
    for (SimulatedVault& v : vaults) v.cloud->advanceClock(2100ms);
    for (int mode : {told, dropped, missing}) {
        SimulatedVault& v = vaults[mode];
        auto queue = std::make_shared<ChangeQueue>();
        // by the last call
        std::vector<std::string> listed;
        auto flags = [&] {
            const size_t before = v.cloud->listed().size();
            if (mode == dropped) v.cloud->dropNotifications();
            Json recording = toolPayload(v.call(recordingListTool, Json::object()))["recordings"][0];
            if (before == 0) v.context->changes().follow(queue);
            listed = v.cloud->listed();
            listed.erase(listed.begin(), listed.begin() + static_cast<long>(before));
            return Json::array({recording["has_transcript"], recording["has_minutes"]});
        };
        EXPECT_EQ(flags(), Json::array({true, false}));
        EXPECT_EQ((std::pair{flags(), listed.size()}), (std::pair{Json::array({true, false}), size_t{0}}));
        v.dir.write(v.insights("2025-03-03/X.min.md"), "m");
        EXPECT_EQ((std::pair{flags(), listed}), (std::pair{Json::array({false, true}), std::vector{v.dir.at(v.insights("2025-03-03"))}}));
        const Platform::ChangeBatch taken = queue->take();
        EXPECT_EQ(taken.overflow, mode != told);
        EXPECT_EQ(taken.changes,
            (mode == told ? std::vector<Platform::Change>{{Platform::ChangeKind::created, v.dir.at(v.insights("2025-03-03/X.min.md")), ""}}
                          : std::vector<Platform::Change>{}));
        v.dir.write(v.insights("2025-05-01/y.meta.json"), "{}");
        EXPECT_EQ(flags(), Json::array({false, true}));
        for (const std::string& folder : listed) EXPECT_EQ(folder.find("2025-04-"), std::string::npos) << folder;
        std::remove(v.dir.at(v.insights("2025-03-03/X.min.md")).c_str());
        EXPECT_EQ(flags(), Json::array({true, false})) << mode;
    }
}

// Each file-system call of a write failed in turn, up to the call's last:
// the vault is then byte for byte as before the call (and the reply an
// error) or as after a clean run (and the reply a success); no temporary stays.
TEST(Faults, EveryWriteStepFailedInTurnLeavesTheVaultBeforeOrAfter) {
    struct Case {
        Layout layout;
        const ToolDefinition* tool;
        Json args;
        bool old;
    };
    const Json minutes{{"id", "X"}, {"markdown", "new minutes"}, {"summary", "new summary"}};
    const Json diary{{"text", "日记"}, {"date", "2025-03-01"}, {"tags", {"a"}}};
    const Case cases[] = {{Layout::english, &minutesWriteTool, minutes, false}, {Layout::english, &minutesWriteTool, minutes, true},
        {Layout::legacy, &minutesWriteTool, minutes, false}, {Layout::legacy, &minutesWriteTool, minutes, true},
        {Layout::english, &diaryWriteTool, diary, false}};
    int steps = 0, held = 0;
    for (const Case& c : cases) {
        auto prepare = [&](SimulatedVault& v) {
            if (!c.old) return;
            v.dir.write(v.insights("2025-03-02/X.min.md"), "old minutes");
            v.dir.write(v.insights("2025-03-02/X.sum.txt"), "old summary");
        };
        SimulatedVault clean(c.layout);
        prepare(clean);
        ASSERT_FALSE(clean.call(*c.tool, c.args).value("isError", false));
        const auto after = files(clean.dir);
        for (int k = 1; k <= clean.cloud->calls(); ++k) {
            SimulatedVault v(c.layout);
            prepare(v);
            const auto before = files(v.dir);
            v.cloud->failCall(k, k % 2 ? EIO : ENOSPC);
            const bool failed = v.call(*c.tool, c.args).value("isError", false);
            ++steps;
            held += files(v.dir) == (failed ? before : after);
            EXPECT_EQ(files(v.dir), failed ? before : after) << c.tool->name << " old=" << c.old << " k=" << k;
        }
    }
    std::printf("every write step failed in turn: %d of %d left the vault before or after\n", held, steps);
}

}  // namespace
}  // namespace qs::test
