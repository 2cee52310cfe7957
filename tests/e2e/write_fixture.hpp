// Helpers shared by the write-tool end-to-end suites: file snapshots, stamps, index entries.
#pragma once

#include <gtest/gtest.h>

#include <ctime>   // time, gmtime_r, strftime
#include <map>     // std::map
#include <regex>   // std::regex
#include <string>  // std::string

#include "support/server_process.hpp"
#include "support/temp_vault.hpp"

namespace qs::test {

// Every regular file under the vault with its bytes: comparing two snapshots
// shows exactly what a call added, changed or left behind (temporary files too).
inline std::map<std::string, std::string> snapshot(const TempDir& dir) {
    std::map<std::string, std::string> files;
    for (const auto& rel : dir.listRecursive()) files[rel] = dir.read(rel).value_or("<unreadable>");
    return files;
}

// The files of `after` that are not in `before` (or whose bytes differ).
inline std::map<std::string, std::string> added(const std::map<std::string, std::string>& before,
                                                const std::map<std::string, std::string>& after) {
    std::map<std::string, std::string> diff;
    for (const auto& [rel, bytes] : after) {
        auto it = before.find(rel);
        if (it == before.end() || it->second != bytes) diff[rel] = bytes;
    }
    return diff;
}

// The archive stamp of a moment, computed independently of the server.
inline std::string utcStamp(std::time_t t) {
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H%M%SZ", &tm);
    return buf;
}

// An archive file name: the stamp, an optional "-n" counter, the suffix.
inline const std::regex& archiveNamePattern() {
    static const std::regex pattern(R"((\d{4}-\d{2}-\d{2}T\d{6}Z)(-\d+)?(\.min\.md|\.sum\.txt))");
    return pattern;
}

// One index entry whose day is taken from its date.
inline Json indexEntry(const std::string& id, const std::string& day, const std::string& type = "voice") {
    return Json{{"id", id}, {"type", type}, {"date", day + "T08:00:00Z"}, {"content", "entry " + id}};
}

// The first line of a failed tool result.
inline std::string failureText(const Json& result) {
    EXPECT_EQ(result.value("isError", false), true) << result.dump();
    return toolText(result);
}

}  // namespace qs::test
