// Helpers shared by the tool suites: a vault of the parameter's layout with a
// server on it, index entries, and file snapshots for the write tools.
#pragma once

#include <gtest/gtest.h>

#include <ctime>     // gmtime_r, strftime
#include <map>       // std::map
#include <optional>  // std::optional
#include <regex>     // std::regex
#include <string>    // std::string
#include <tuple>     // std::tuple
#include <vector>    // std::vector

#include "support/server_process.hpp"
#include "support/temp_vault.hpp"

namespace qs::test {

// The member at a JSON pointer, null when there is none.
inline Json at(const Json& value, const string& pointer) {
    const Json::json_pointer p(pointer);
    return value.contains(p) ? value[p] : Json();
}

// Every regular file under the vault with its bytes: comparing two snapshots
// shows exactly what a call added, changed or left behind (temporary files too).
using Snapshot = std::map<string, string>;
inline Snapshot snapshot(const TempDir& dir) {
    Snapshot files;
    for (const auto& rel : dir.listRecursive()) files[rel] = dir.read(rel).value_or("<unreadable>");
    return files;
}

// A vault of the parameter's layout ("English", "Legacy", or an English one
// whose entry files still lie under the legacy folder names), and a server
// started on first use, after the test has written the index it needs.
struct ToolSuite : ::testing::TestWithParam<const char*> {
    ServerSession& server() { return server_ ? *server_ : server_.emplace(v.path(), zone); }
    // The payload, or the text of a failed result.
    Json call(const string& tool, const Json& args = Json::object()) { return server().call(tool, args); }
    void index(const std::vector<Json>& items) { v.dashboard(items); }
    // Each row a call and what it answers: the member at a JSON pointer of
    // its payload ("": the whole), or the text of its refusal.
    void check(const std::vector<std::tuple<const char*, Json, const char*, Json>>& rows) {
        for (const auto& [tool, args, pointer, want] : rows) EXPECT_EQ(at(call(tool, args), pointer), want) << tool << args << pointer;
    }
    string ins(const string& rel) const { return v.insightsDir() + "/" + rel; }
    string outs(const string& rel) const { return v.outputsDir() + "/" + rel; }
    void put(const Snapshot& files) {
        for (const auto& [rel, bytes] : files) v.write(rel, bytes);
    }
    // Where the entry files of this layout lie.
    string files(const string& rel) const { return (mixed ? "01-情景记忆/00-时间流" : v.timelineDir()) + "/" + rel; }
    const string layout = GetParam();
    const bool mixed = layout == "EnglishWithLegacyFiles";
    // The server's zone, as a POSIX rule.
    const char* zone = "CST-8";
    TempVault v{layout == "Legacy" ? Layout::legacy : Layout::english};
    std::optional<ServerSession> server_;
};
inline string paramName(const ::testing::TestParamInfo<const char*>& info) { return info.param; }

// One index entry whose day comes from its date.
inline Json entry(const string& id, const string& day, const string& type = "voice", const Json& extra = Json::object()) {
    Json e{{"id", id}, {"type", type}, {"date", day + "T08:15:00+08:00"}, {"content", id}};
    e.update(extra);
    return e;
}

// The archive stamp of a moment, computed independently of the server.
inline string utcStamp(std::time_t t) {
    std::tm tm{};
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H%M%SZ", ::gmtime_r(&t, &tm));
    return buf;
}

}  // namespace qs::test
