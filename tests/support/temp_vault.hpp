// Fixture folders and vaults built in temporary directories.
#pragma once

#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

#include "json/json.hpp"

namespace qs::test {

using std::string;

// A fresh folder under $TMPDIR, removed when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const string& path() const { return path_; }
    string at(const string& rel) const { return rel.empty() ? path_ : path_ + "/" + rel; }

    // Writes a file (creating folders) relative to the folder.
    void write(const string& rel, const string& content) const;
    void writeJson(const string& rel, const Json& value) const { write(rel, value.dump(2)); }
    void mkdir(const string& rel) const;
    std::optional<string> read(const string& rel) const;
    // Names inside a folder, sorted; empty when it is missing.
    std::vector<string> list(const string& rel) const;
    // Every regular file below a folder, as sorted relative paths.
    std::vector<string> listRecursive(const string& rel = "") const;

private:
    string path_;
};

enum class Layout { english, legacy };

// A vault folder of either layout: the top-level folders exist, and an index
// is written by `dashboard`.
class TempVault : public TempDir {
public:
    explicit TempVault(Layout layout = Layout::english) : legacy_(layout == Layout::legacy) {
        mkdir(coreDir());
        mkdir(timelineDir());
    }

    // Relative folders of this layout.
    string coreDir() const { return legacy_ ? "00-记忆核心" : "core"; }
    string timelineDir() const { return legacy_ ? "01-情景记忆/00-时间流" : "memories/timeline"; }
    string insightsDir() const { return timelineDir() + "/insights"; }
    string outputsDir() const { return timelineDir() + "/outputs"; }
    string inputsDir() const { return timelineDir() + "/inputs"; }

    // Writes Dashboard.json with {"feedItems": items, "updatedAt": ...}.
    void dashboard(const Json& items) const {
        writeJson(coreDir() + "/Dashboard.json", {{"feedItems", items}, {"updatedAt", "2025-03-05T10:00:00Z"}});
    }
    void dashboardRaw(const string& bytes) const { write(coreDir() + "/Dashboard.json", bytes); }

private:
    bool legacy_;
};

}  // namespace qs::test
