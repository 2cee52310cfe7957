// examples/demo-vault stays usable: the README's session and the interop
// tests rely on its files and on the entries they name.
#include <gtest/gtest.h>

#include <filesystem>  // std::filesystem
#include <fstream>     // std::ifstream
#include <iterator>    // std::istreambuf_iterator
#include <map>         // std::map

#include "json/json.hpp"
#include "support/server_process.hpp"

namespace fs = std::filesystem;

TEST(DemoVault, EveryJsonFileParsesAndTheNamedEntriesExist) {
    const fs::path demo = fs::path(qs::test::sourceDir()) / "examples/demo-vault";
    std::map<std::string, qs::Json> files;
    for (const auto& entry : fs::recursive_directory_iterator(demo)) {
        if (entry.path().extension() != ".json") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        auto value = qs::parseJsonDocument(std::string(std::istreambuf_iterator<char>(in), {}));
        EXPECT_TRUE(value && value->is_object()) << entry.path();
        if (value) files[fs::relative(entry.path(), demo).string()] = *value;
    }
    std::map<std::string, std::string> days;  // id to day
    for (const auto& item : files["core/Dashboard.json"]["feedItems"]) days[item.value("id", "")] = item.value("date", "").substr(0, 10);
    EXPECT_EQ(days["92CBD925-1E13-4BC6-B58F-15CA42ADC585"], "2025-03-07");  // the README's search result
    EXPECT_EQ(days["CA35DAB8-DCA0-418A-A388-369CBF54A473"], "2025-03-05");  // the interop tests' entry
    EXPECT_TRUE(files.count("memories/timeline/insights/daily_reports/2025-02-28.json"));
    EXPECT_TRUE(files.count("core/vocabulary.json"));
}
