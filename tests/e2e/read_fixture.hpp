// Vaults for the read-tool suites: both layouts, and an English vault whose
// entry files still lie under the legacy folder names.
#pragma once

#include <gtest/gtest.h>

#include <set>     // std::set
#include <string>  // std::string
#include <vector>  // std::vector

#include "support/server_process.hpp"
#include "support/temp_vault.hpp"

namespace qs::test {

enum class ReadLayout { english, legacy, englishWithLegacyFiles };

inline std::string layoutName(const ::testing::TestParamInfo<ReadLayout>& info) {
    switch (info.param) {
    case ReadLayout::english: return "English";
    case ReadLayout::legacy: return "Legacy";
    case ReadLayout::englishWithLegacyFiles: return "EnglishWithLegacyFiles";
    }
    return "Unknown";
}

inline const auto allReadLayouts =
    ::testing::Values(ReadLayout::english, ReadLayout::legacy, ReadLayout::englishWithLegacyFiles);

class ReadVault : public TempVault {
public:
    explicit ReadVault(ReadLayout layout)
        : TempVault(layout == ReadLayout::legacy ? Layout::legacy : Layout::english), readLayout_(layout) {}

    // Where this vault keeps its entry files (relative to the vault).
    std::string filesTimeline() const {
        return readLayout_ == ReadLayout::englishWithLegacyFiles ? "01-情景记忆/00-时间流" : timelineDir();
    }
    std::string insightFile(const std::string& day, const std::string& name) const {
        return filesTimeline() + "/insights/" + (day.empty() ? "" : day + "/") + name;
    }
    std::string outputFile(const std::string& day, const std::string& name) const {
        return filesTimeline() + "/outputs/" + (day.empty() ? "" : day + "/") + name;
    }
    void insight(const std::string& day, const std::string& name, const std::string& bytes) const {
        write(insightFile(day, name), bytes);
    }
    void output(const std::string& day, const std::string& name, const std::string& bytes) const {
        write(outputFile(day, name), bytes);
    }
    std::string dashboardPath() const { return at(coreDir() + "/Dashboard.json"); }

private:
    ReadLayout readLayout_;
};

// One index entry whose day comes from its date.
inline Json feedEntry(const std::string& id, const std::string& day, const std::string& type = "voice",
                      const Json& extra = Json::object()) {
    Json entry{{"id", id}, {"type", type}, {"date", day + "T08:15:00+08:00"}, {"content", "content of " + id}};
    entry.update(extra);
    return entry;
}

inline std::set<std::string> keysOf(const Json& object) {
    std::set<std::string> keys;
    for (const auto& [key, value] : object.items()) keys.insert(key);
    return keys;
}

inline std::string failureOf(const Json& result) {
    EXPECT_EQ(result.value("isError", false), true) << result.dump();
    return toolText(result);
}

inline std::string repeated(const std::string& unit, size_t n) {
    std::string out;
    out.reserve(unit.size() * n);
    for (size_t i = 0; i < n; ++i) out += unit;
    return out;
}

// Ids that would reach outside the entry folders, and the sentence that
// refuses each.
inline const std::vector<std::string>& unsafeIds() {
    static const std::vector<std::string> ids = {
        "../../x", "a/b", "a\\b", ".", "..", std::string("x\0y", 3), "../../../../etc/passwd", "/abs",
    };
    return ids;
}

inline std::string unsafeIdMessage(const std::string& id) {
    return "❌ id 不合法:「" + id +
           "」。id 是单个文件名(不能含 / 或 \\,不能是 . 或 ..),请用 vault_search 或 recording_list 拿到的 id。";
}

inline std::string indexFailure(const std::string& path) {
    return "❌ 读不到 Dashboard.json(" + path + ")。Vault 路径对吗?文件是不是还在从 iCloud 下载?";
}

}  // namespace qs::test
