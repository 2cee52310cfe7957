// examples/demo-vault stays a consistent vault: the README and the interop tests rely on it.
#include <gtest/gtest.h>

#include <filesystem>  // std::filesystem
#include <fstream>     // std::ifstream
#include <iterator>    // std::istreambuf_iterator
#include <regex>       // std::regex
#include <set>         // std::set

#include "json/json.hpp"
#include "support/server_process.hpp"

namespace qs {
namespace {

namespace fs = std::filesystem;

fs::path demo() { return fs::path(test::sourceDir()) / "examples/demo-vault"; }

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Json load(const std::string& rel) {
    auto value = parseJsonDocument(slurp(demo() / rel));
    if (!value) ADD_FAILURE() << rel << " is not JSON";
    return value.value_or(Json::object());
}

std::size_t codePoints(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

const Json& items() {
    static const Json index = load("core/Dashboard.json");
    return index["feedItems"];
}

const Json* item(const std::string& id) {
    for (const auto& i : items()) {
        if (i["id"] == id) return &i;
    }
    return nullptr;
}

TEST(DemoVault, EveryJsonFileParsesAsAnObject) {
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(demo())) {
        if (entry.path().extension() != ".json") continue;
        ++files;
        auto value = parseJsonDocument(slurp(entry.path()));
        EXPECT_TRUE(value && value->is_object()) << entry.path();
    }
    EXPECT_GE(files, 10u);
    Json marker = load("preferences/quillstack-library.json");
    EXPECT_EQ(marker, Json::parse(R"({"app":"quillstack","createdAt":"2025-02-20T01:12:44Z",)"
                                  R"("pathSchema":"english-v2","schemaVersion":2})"));
}

TEST(DemoVault, IndexCoversEveryTypeWithUniqueIdsAndDatedEntries) {
    ASSERT_EQ(items().size(), 30u);
    const std::regex uuid("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    const std::regex date("^2025-0[23]-\\d{2}T\\d{2}:\\d{2}:00\\+08:00$");
    std::set<std::string> ids, types;
    std::size_t untitled = 0;
    for (const auto& i : items()) {
        EXPECT_TRUE(std::regex_match(i["id"].get<std::string>(), uuid)) << i["id"];
        EXPECT_TRUE(std::regex_match(i["date"].get<std::string>(), date)) << i["date"];
        ids.insert(i["id"].get<std::string>());
        types.insert(i["type"].get<std::string>());
        untitled += !i.contains("title");
    }
    EXPECT_EQ(ids.size(), 30u);
    EXPECT_EQ(types, (std::set<std::string>{"clip", "health", "ocr", "serendipity", "sms", "text", "voice"}));
    EXPECT_GE(untitled, 3u);
}

TEST(DemoVault, RecordingsHaveTheFilesTheirStateSuggests) {
    const fs::path timeline = demo() / "memories/timeline";
    std::size_t voices = 0, onlyTrTxt = 0, withoutMinutes = 0, longest = 0;
    for (const auto& i : items()) {
        if (i["type"] != "voice") continue;
        ++voices;
        std::string id = i["id"], day = i["date"].get<std::string>().substr(0, 10);
        EXPECT_EQ(i["outputRelPath"], "outputs/" + day + "/" + id + ".tr.txt");
        fs::path json = timeline / "outputs" / day / (id + ".transcript.json");
        fs::path txt = timeline / "outputs" / day / (id + ".tr.txt");
        EXPECT_TRUE(fs::exists(json) || fs::exists(txt)) << id;
        onlyTrTxt += !fs::exists(json) && fs::exists(txt);
        if (fs::exists(json)) longest = std::max(longest, codePoints(load(fs::relative(json, demo()))["plainText"]));
        bool minutes = fs::exists(timeline / "insights" / day / (id + ".min.md"));
        withoutMinutes += !minutes;
        EXPECT_EQ(minutes, i["processingState"] == "done") << id;
    }
    EXPECT_EQ(voices, 6u);
    EXPECT_GE(onlyTrTxt, 1u);
    EXPECT_EQ(withoutMinutes, 1u);
    EXPECT_GE(longest, 3000u);  // long enough to page through with an offset
}

TEST(DemoVault, EntryFilesLieInTheDayFolderOfAnIndexedEntry) {
    for (const char* base : {"insights", "outputs"}) {
        for (const auto& dayDir : fs::directory_iterator(demo() / "memories/timeline" / base)) {
            std::string day = dayDir.path().filename();
            if (day == "daily_reports") continue;
            for (const auto& file : fs::directory_iterator(dayDir)) {
                std::string name = file.path().filename();
                const Json* owner = item(name.substr(0, 36));
                ASSERT_NE(owner, nullptr) << name;
                EXPECT_EQ((*owner)["date"].get<std::string>().substr(0, 10), day) << name;
            }
        }
    }
}

TEST(DemoVault, VocabularyMixesDueAndFutureWordsAndPointsAtRealEntries) {
    Json book = load("core/vocabulary.json");
    EXPECT_EQ(book["version"], 1);
    EXPECT_EQ(book["writer"], "ios");
    std::size_t deleted = 0, due = 0, future = 0, provenance = 0;
    for (const auto& [key, w] : book["words"].items()) {
        for (const char* date : {"addedAt", "updatedAt", "dueAt"}) {
            EXPECT_TRUE(w[date].get<std::string>().ends_with("Z")) << key;
        }
        deleted += w.contains("deletedAt");
        (w["dueAt"].get<std::string>() < "2026" ? due : future) += 1;
        if (w.contains("source")) {
            EXPECT_TRUE(w["source"] == "lookup" || w["source"] == "imported") << key;
        }
        if (w.contains("provenance")) {
            ++provenance;
            EXPECT_NE(item(w["provenance"]["itemID"]), nullptr) << key;
        }
    }
    EXPECT_GE(book["words"].size(), 25u);
    EXPECT_EQ(deleted, 1u);
    EXPECT_GE(due, 5u);
    EXPECT_GE(future, 5u);
    EXPECT_GE(provenance, 5u);
}

TEST(DemoVault, DailyReportsCarryEveryReadMemberAndOneMore) {
    const std::vector<std::string> members = {"headline", "shortSummary", "narrative", "markdownContent", "moodSummary",
                                              "keyInsights", "topInsights", "stats", "pendingItems",
                                              "tomorrowSuggestions", "mode", "schemaVersion", "generatedBy"};
    std::size_t reports = 0;
    for (const auto& file : fs::directory_iterator(demo() / "memories/timeline/insights/daily_reports")) {
        ++reports;
        Json report = load(fs::relative(file.path(), demo()));
        for (const auto& m : members) EXPECT_TRUE(report.contains(m)) << file.path() << " " << m;
        EXPECT_GT(report.size(), members.size()) << file.path();
        EXPECT_TRUE(report["keyInsights"].is_array());
        EXPECT_TRUE(report["stats"].is_object());
    }
    EXPECT_GE(reports, 2u);
}

}  // namespace
}  // namespace qs
