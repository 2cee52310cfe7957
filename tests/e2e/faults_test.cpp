// The real binary under hostile conditions: an index swapped while it reads,
// hostile files where vault files belong, a client that stops reading, and a
// long pipelined session.
#include <gtest/gtest.h>

#include <sys/stat.h>  // mkfifo
#include <sys/wait.h>  // waitid
#include <unistd.h>    // symlink

#include <atomic>    // std::atomic
#include <chrono>    // the deadline for leaving on its own
#include <csignal>   // kill
#include <cstdio>    // std::rename
#include <cstdlib>   // std::getenv
#include <fstream>   // std::ifstream, std::ofstream
#include <set>       // std::set
#include <string>    // std::string
#include <thread>    // std::thread, std::this_thread

#include "support/server_process.hpp"
#include "support/temp_vault.hpp"

using qs::Json;
using qs::test::ProcessOptions;
using qs::test::ServerSession;
using qs::test::TempVault;

namespace {

// `count` entries whose ids share `prefix`, so a reply mixing two indexes
// shows; long contents make the file big and the replies still small.
Json entries(const std::string& prefix, int count, size_t contentSize = 200) {
    Json list = Json::array();
    for (int i = 0; i < count; ++i) {
        list.push_back(Json{{"id", prefix + std::to_string(10000 + i)},
                            {"type", i % 2 ? "voice" : "text"},
                            {"date", "2025-03-0" + std::to_string(1 + i % 9) + "T08:00:00Z"},
                            {"title", "会议 " + prefix},
                            {"content", std::string(contentSize, 'x')}});
    }
    return list;
}

Json toolPayloadOf(const Json& result) { return Json::parse(result["content"][0]["text"].get<std::string>()); }

std::string dashboardBytes(const Json& items) {
    return Json{{"feedItems", items}, {"updatedAt", "2025-03-05T10:00:00Z"}}.dump();
}

// Resident memory of a process in KiB, from /proc; -1 when unreadable.
long residentKiB(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = -1;
            status >> kib;
            return kib;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

// Waits for the child to end without reaping it, so `finish` still can.
bool endsWithin(int pid, std::chrono::seconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool addressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool addressSanitizer = true;
#else
constexpr bool addressSanitizer = false;
#endif
#else
constexpr bool addressSanitizer = false;
#endif

ProcessOptions serverOptions(const TempVault& vault) {
    ProcessOptions options{{"--vault", vault.path()}, {{"HOME", vault.at(".no-home")}, {"LANG", "C.UTF-8"}}, ""};
    if (addressSanitizer) {
        // Freed blocks sit in the sanitizer's quarantine (256 MB) instead of
        // being reused, which would look like growth.
        const char* inherited = std::getenv("ASAN_OPTIONS");
        std::string asan = inherited && *inherited ? std::string(inherited) + ":" : "";
        options.env["ASAN_OPTIONS"] = asan + "quarantine_size_mb=0";
    }
    return options;
}

}  // namespace

TEST(Faults, EverySearchSeesOneWholeIndexWhileItIsReplaced) {
    TempVault vault;
    const std::string before = dashboardBytes(entries("old-", 20, 4000));
    const std::string after = dashboardBytes(entries("new-", 30, 4000));
    vault.dashboardRaw(before);
    const std::string target = vault.at(vault.coreDir() + "/Dashboard.json");
    const std::string temp = vault.at(vault.coreDir() + "/.Dashboard.json.tmp");

    ServerSession session(vault.path());
    std::set<size_t> totalsSeen;
    int searches = 0, bad = 0;
    std::string firstBad;
    auto search = [&] {
        ++searches;
        Json result = session.callTool("vault_search", Json{{"limit", 1000}});
        bool whole = result.is_object() && !result.value("isError", true);
        Json payload = whole ? Json::parse(qs::test::toolText(result), nullptr, false) : Json();
        whole = whole && payload.is_object() && payload["items"].is_array();
        size_t total = whole ? payload.value("total_in_vault", size_t{0}) : 0;
        const std::string prefix = total == 20 ? "old-" : "new-";
        whole = whole && (total == 20 || total == 30) && payload["items"].size() == total;
        for (size_t i = 0; whole && i < payload["items"].size(); ++i) {
            whole = payload["items"][i].value("id", "").rfind(prefix, 0) == 0;
        }
        if (whole) {
            totalsSeen.insert(total);
        } else if (bad++ == 0) {
            firstBad = result.dump().substr(0, 2000);
        }
    };

    search();
    std::atomic<bool> replacing{true};
    std::thread writer([&] {
        // The last of the 1,000 replacements leaves the new index in place.
        for (int i = 0; i < 1000; ++i) {
            std::ofstream(temp, std::ios::binary | std::ios::trunc) << (i % 2 ? after : before);
            std::rename(temp.c_str(), target.c_str());
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        replacing = false;
    });
    while (replacing) search();
    writer.join();
    search();

    EXPECT_EQ(bad, 0) << "of " << searches << " searches; first: " << firstBad;
    EXPECT_EQ(totalsSeen, (std::set<size_t>{20, 30}));
    EXPECT_EQ(session.finish(), 0);
}

// Unlike the server suite's closed-output case, input stays open here: only
// the failed reply can make the server stop, and it must not spin instead.
TEST(Faults, LeavesOnItsOwnOnceItsRepliesCannotBeDelivered) {
    TempVault vault;
    vault.dashboard(Json::array());
    ServerSession session(vault.path());
    ASSERT_EQ(session.request("ping")["result"], Json::object());
    session.closeOutput();
    session.sendLine(R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})");
    EXPECT_TRUE(endsWithin(session.pid(), std::chrono::seconds(30)));
    EXPECT_EQ(session.finish(), 0);
    EXPECT_EQ(session.stderrText().find("Sanitizer"), std::string::npos) << session.stderrText();
}

TEST(Faults, MemoryStaysFlatOverTenThousandPipelinedRequests) {
#if !defined(__linux__)
    GTEST_SKIP() << "resident memory is read from /proc, which only Linux has";
#endif
    TempVault vault;
    vault.dashboard(entries("e-", 12));
    ServerSession session(serverOptions(vault));
    constexpr int total = 10000;
    std::thread sender([&] {
        for (int id = 1; id <= total; ++id) {
            Json message{{"jsonrpc", "2.0"}, {"id", id}};
            switch (id % 3) {
            case 0: message["method"] = "ping"; break;
            case 1: message["method"] = "tools/list"; break;
            default:
                message["method"] = "tools/call";
                message["params"] = Json{{"name", "vault_search"}, {"arguments", Json{{"query", "会议"}, {"limit", 5}}}};
            }
            session.sendLine(message.dump());
        }
    });

    long warm = -1, end = -1;
    int bad = 0, answered = 0;
    for (int id = 1; id <= total; ++id) {
        auto line = session.readLine();
        if (!line) break;
        ++answered;
        Json reply = Json::parse(*line, nullptr, false);
        if (reply.is_discarded() || reply.value("id", Json()) != Json(id) || !reply.contains("result") ||
            reply["result"].value("isError", false)) {
            ++bad;
        }
        if (id == 1000) warm = residentKiB(session.pid());
        if (id == total) end = residentKiB(session.pid());
    }
    if (answered < total) ::kill(session.pid(), SIGKILL);  // so the sender is not left blocked
    sender.join();

    EXPECT_EQ(answered, total);
    EXPECT_EQ(bad, 0);
    ASSERT_GT(warm, 0);
    ASSERT_GT(end, 0);
    EXPECT_LT(end - warm, 8 * 1024) << "VmRSS after 1,000 replies " << warm << " KiB, after 10,000 " << end << " KiB";
    EXPECT_EQ(session.finish(), 0);
}

// A pipe or a device where a vault file belongs is never read: every call
// still answers, and a write never replaces what it could not archive.
TEST(Faults, PipesAndDevicesInTheVaultNeverHangTheServer) {
    TempVault vault;
    vault.dashboard(Json::array({Json{{"id", "X"}, {"type", "voice"}, {"date", "2025-03-02T08:00:00Z"}}}));
    const std::string day = "memories/timeline/insights/2025-03-02/";
    vault.mkdir(day);
    ASSERT_EQ(::mkfifo(vault.at(day + "X.min.md").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("/dev/zero", vault.at(day + "X.sum.txt").c_str()), 0);
    ServerSession session(vault.path());
    Json read = session.callTool("minutes_read", {{"id", "X"}});  // the device link leads out of the vault
    EXPECT_TRUE(read["isError"].get<bool>()) << read.dump();
    std::remove(vault.at(day + "X.sum.txt").c_str());
    read = session.callTool("minutes_read", {{"id", "X"}});  // the pipe counts as no minutes
    EXPECT_EQ(toolPayloadOf(read)["minutes_markdown"], "") << read.dump();
    Json write = session.callTool("minutes_write", {{"id", "X"}, {"markdown", "new"}, {"summary", "s"}});
    EXPECT_TRUE(write["isError"].get<bool>()) << write.dump();
    std::rename(vault.at("core/Dashboard.json").c_str(), vault.at("core/old.json").c_str());
    ASSERT_EQ(::mkfifo(vault.at("core/Dashboard.json").c_str(), 0644), 0);
    EXPECT_TRUE(session.callTool("vault_search")["isError"].get<bool>());
    EXPECT_EQ(session.request("ping")["result"], Json::object());
}

// An evicted English file is the newest version even when a legacy copy is
// on disk: the write waits for it and refuses, rather than archive the stale copy.
TEST(Faults, AnEvictedFileIsNeverReplacedByWayOfAStaleLegacyCopy) {
    TempVault vault;
    vault.dashboard(Json::array({Json{{"id", "X"}, {"type", "voice"}, {"date", "2025-03-02T08:00:00Z"}}}));
    vault.write("memories/timeline/insights/2025-03-02/.X.min.md.icloud", "");
    vault.write("01-情景记忆/00-时间流/insights/2025-03-02/X.min.md", "stale");
    ServerSession session(vault.path());
    Json write = session.callTool("minutes_write", {{"id", "X"}, {"markdown", "new"}});
    EXPECT_TRUE(write["isError"].get<bool>()) << write.dump();
    EXPECT_FALSE(std::ifstream(vault.at("memories/timeline/insights/2025-03-02/X.min.md")).good());
    EXPECT_FALSE(std::ifstream(vault.at("core/meta/minutes-history/X")).good());
}
