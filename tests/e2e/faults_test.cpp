// The real binary under hostile conditions: an index swapped while it reads,
// hostile files where vault files belong, and a client that stops reading.
#include <gtest/gtest.h>

#include <sys/stat.h>  // mkfifo
#include <sys/wait.h>  // waitid
#include <unistd.h>    // symlink

#include <atomic>    // std::atomic
#include <chrono>    // the deadline for leaving on its own
#include <cstdio>    // std::rename
#include <fstream>   // std::ofstream
#include <set>       // std::set
#include <string>    // std::string
#include <thread>    // std::thread, std::this_thread

#include "support/server_process.hpp"
#include "support/temp_vault.hpp"

using qs::Json;
using qs::test::ServerSession;
using qs::test::TempVault;

namespace {

// `count` entries whose ids share `prefix`, so a reply mixing two indexes
// shows; long contents make the file big and the replies still small.
Json entries(const std::string& prefix, int count) {
    Json list = Json::array();
    for (int i = 0; i < count; ++i) {
        list.push_back(Json{{"id", prefix + std::to_string(10000 + i)}, {"type", i % 2 ? "voice" : "text"},
                            {"date", "2025-03-0" + std::to_string(1 + i % 9) + "T08:00:00Z"},
                            {"title", "会议 " + prefix}, {"content", std::string(4000, 'x')}});
    }
    return list;
}

std::string dashboardBytes(const Json& items) { return Json{{"feedItems", items}, {"updatedAt", "2025-03-05T10:00:00Z"}}.dump(); }

// Waits for the child to end without reaping it, so `finish` still can.
bool endsWithin(int pid, std::chrono::seconds limit) {
    for (auto deadline = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < deadline;) {
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// One voice entry "X" of 2 March 2025.
struct VaultWithX : TempVault {
    VaultWithX() { dashboard(Json::array({Json{{"id", "X"}, {"type", "voice"}, {"date", "2025-03-02T08:00:00Z"}}})); }
};

}  // namespace

TEST(Faults, EverySearchSeesOneWholeIndexWhileItIsReplaced) {
    TempVault vault;
    const std::string before = dashboardBytes(entries("old-", 20)), after = dashboardBytes(entries("new-", 30));
    vault.dashboardRaw(before);
    const std::string target = vault.at("core/Dashboard.json"), temp = vault.at("core/.Dashboard.json.tmp");
    ServerSession session(vault.path());
    std::set<size_t> totalsSeen;
    int bad = 0;
    // Whole: 20 old entries or 30 new ones, never a mix or a failure.
    auto search = [&] {
        Json payload = Json::parse(qs::test::toolText(session.callTool("vault_search", {{"limit", 1000}})), nullptr, false);
        size_t total = payload.is_object() ? payload.value("total_in_vault", size_t{0}) : 0;
        bool whole = (total == 20 || total == 30) && payload["items"].size() == total;
        for (size_t i = 0; whole && i < total; ++i) whole = payload["items"][i].value("id", "").rfind(total == 20 ? "old-" : "new-", 0) == 0;
        whole ? void(totalsSeen.insert(total)) : void(++bad);
    };
    search();
    std::atomic<bool> replacing{true};
    std::thread writer([&] {
        for (int i = 0; i < 1000; ++i) {  // the last one leaves the new index in place
            std::ofstream(temp, std::ios::binary | std::ios::trunc) << (i % 2 ? after : before);
            std::rename(temp.c_str(), target.c_str());
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        replacing = false;
    });
    while (replacing) search();
    writer.join();
    search();
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(totalsSeen, (std::set<size_t>{20, 30}));
    EXPECT_EQ(session.finish(), 0);
}

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

// A pipe or a device where a vault file belongs is never read: every call
// still answers, and a write never replaces what it could not archive.
TEST(Faults, PipesAndDevicesInTheVaultNeverHangTheServer) {
    VaultWithX vault;
    const std::string day = "memories/timeline/insights/2025-03-02/";
    vault.mkdir(day);
    ASSERT_EQ(::mkfifo(vault.at(day + "X.min.md").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("/dev/zero", vault.at(day + "X.sum.txt").c_str()), 0);
    ServerSession session(vault.path());
    EXPECT_TRUE(session.callTool("minutes_read", {{"id", "X"}})["isError"].get<bool>());  // the link leads out of the vault
    std::remove(vault.at(day + "X.sum.txt").c_str());
    EXPECT_EQ(qs::test::toolPayload(session.callTool("minutes_read", {{"id", "X"}}))["minutes_markdown"], "");  // a pipe is no minutes
    EXPECT_TRUE(session.callTool("minutes_write", {{"id", "X"}, {"markdown", "new"}})["isError"].get<bool>());
    std::rename(vault.at("core/Dashboard.json").c_str(), vault.at("core/old.json").c_str());
    ASSERT_EQ(::mkfifo(vault.at("core/Dashboard.json").c_str(), 0644), 0);
    EXPECT_TRUE(session.callTool("vault_search")["isError"].get<bool>());
    EXPECT_EQ(session.request("ping")["result"], Json::object());
}

// An evicted English file is the newest version even when a legacy copy is
// on disk: the write waits for it and refuses, rather than archive the stale copy.
TEST(Faults, AnEvictedFileIsNeverReplacedByWayOfAStaleLegacyCopy) {
    VaultWithX vault;
    vault.write("memories/timeline/insights/2025-03-02/.X.min.md.icloud", "");
    vault.write("01-情景记忆/00-时间流/insights/2025-03-02/X.min.md", "stale");
    ServerSession session(vault.path());
    EXPECT_TRUE(session.callTool("minutes_write", {{"id", "X"}, {"markdown", "new"}})["isError"].get<bool>());
    EXPECT_FALSE(vault.exists("memories/timeline/insights/2025-03-02/X.min.md"));
    EXPECT_FALSE(vault.exists("core/meta/minutes-history/X"));
}
