// Helpers shared by the tool suites: vaults of both layouts, index entries,
// the id refusals, and file snapshots for the write tools.
#pragma once

#include <gtest/gtest.h>

#include <ctime>     // gmtime_r, strftime
#include <map>       // std::map
#include <optional>  // std::optional
#include <regex>     // std::regex
#include <string>    // std::string
#include <vector>    // std::vector

#include "support/server_process.hpp"
#include "support/temp_vault.hpp"

namespace qs::test {

inline const auto bothLayouts = ::testing::Values(Layout::english, Layout::legacy);
inline std::string layoutName(const ::testing::TestParamInfo<Layout>& info) { return info.param == Layout::english ? "English" : "Legacy"; }

// A suite over vault layouts, talking to one server started on first use
// (after the test has written the index the server needs to start).
template <typename VaultType, typename Param>
class ToolSuite : public ::testing::TestWithParam<Param> {
protected:
    ServerSession& server() { return server_ ? *server_ : server_.emplace(vault.path()); }
    Json payload(const std::string& tool, const Json& args = Json::object()) { return toolPayload(server().callTool(tool, args)); }
    std::string failure(const std::string& tool, const Json& args = Json::object()) {
        Json result = server().callTool(tool, args);
        EXPECT_EQ(result.value("isError", false), true) << result.dump();
        return toolText(result);
    }
    VaultType vault{this->GetParam()};
    std::optional<ServerSession> server_;
};
using LayoutSuite = ToolSuite<TempVault, Layout>;

// One index entry whose day comes from its date.
inline Json entry(const std::string& id, const std::string& day, const std::string& type = "voice", const Json& extra = Json::object()) {
    Json e{{"id", id}, {"type", type}, {"date", day + "T08:15:00+08:00"}, {"content", "content of " + id}};
    e.update(extra);
    return e;
}

// Ids that would reach outside the entry folders, and the sentence that refuses each.
inline const std::vector<std::string> unsafeIds = {"../../x", "a/b", "a\\b", ".", "..", std::string("x\0y", 3), "/abs"};
inline std::string unsafeIdMessage(const std::string& id) {
    return "❌ id 不合法:「" + id + "」。id 是单个文件名(不能含 / 或 \\,不能是 . 或 ..),请用 vault_search 或 recording_list 拿到的 id。";
}
inline const std::string missingId = "❌ 缺少必填参数 `id`(非空字符串)";

// Every regular file under the vault with its bytes: comparing two snapshots
// shows exactly what a call added, changed or left behind (temporary files too).
using Snapshot = std::map<std::string, std::string>;
inline Snapshot snapshot(const TempDir& dir) {
    Snapshot files;
    for (const auto& rel : dir.listRecursive()) files[rel] = dir.read(rel).value_or("<unreadable>");
    return files;
}

// The files of `after` that are not in `before` (or whose bytes differ).
inline Snapshot added(const Snapshot& before, Snapshot after) {
    for (const auto& [rel, bytes] : before)
        if (auto it = after.find(rel); it != after.end() && it->second == bytes) after.erase(it);
    return after;
}

// The archive stamp of a moment, computed independently of the server.
inline std::string utcStamp(std::time_t t) {
    std::tm tm{};
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H%M%SZ", ::gmtime_r(&t, &tm));
    return buf;
}

// An archive file name: the stamp, an optional "-n" counter, the suffix.
inline const std::regex archiveName(R"((\d{4}-\d{2}-\d{2}T\d{6}Z)(-\d+)?(\.min\.md|\.sum\.txt))");

}  // namespace qs::test
