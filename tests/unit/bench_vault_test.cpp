// The benchmark's vault generator: deterministic, complete, and aimed where the benchmark looks.
#include <gtest/gtest.h>

#include <filesystem>  // std::filesystem
#include <regex>       // std::regex
#include <set>         // std::set

#include "bench_targets.hpp"
#include "support/temp_vault.hpp"
#include "text_pool.hpp"
#include "vault_generator.hpp"

namespace qs::Bench {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return s;
}

GenOptions small(const TempDir& dir, const std::string& name, std::uint64_t seed, std::size_t entries = 1500) {
    GenOptions o;
    o.out = fs::path(dir.path()) / name;
    o.entries = entries;
    o.seed = seed;
    o.maxTranscripts = 40;
    o.maxMinutes = 60;
    o.vocabWords = 400;
    o.reportDays = 20;
    return o;
}

// One generated vault shared by the read-only checks: generation is the slow part.
class GeneratedVault : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir();
        targets_ = new BenchTargets(generateVault(small(*dir_, "vault", 11)));
        index_ = new Json(*parseJsonDocument(*dir_->read("vault/core/Dashboard.json")));
    }
    static void TearDownTestSuite() {
        delete index_;
        delete targets_;
        delete dir_;
    }
    static const Json& items() { return (*index_)["feedItems"]; }
    static const Json* item(const std::string& id) {
        for (const auto& i : items()) {
            if (i["id"] == id) return &i;
        }
        return nullptr;
    }
    static inline TempDir* dir_ = nullptr;
    static inline BenchTargets* targets_ = nullptr;
    static inline Json* index_ = nullptr;
};

TEST_F(GeneratedVault, IndexHoldsEveryEntryWithWellFormedIdsAndDates) {
    ASSERT_EQ(items().size(), 1500u);
    EXPECT_EQ(targets_->dashboardBytes, fs::file_size(dir_->at("vault/core/Dashboard.json")));
    const std::regex uuid("^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$");
    const std::regex date("^202[1-5]-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}\\+08:00$");
    std::set<std::string> ids, types;
    std::string previous = "9999";
    for (const auto& i : items()) {
        std::string id = i["id"], when = i["date"];
        EXPECT_TRUE(std::regex_match(id, uuid)) << id;
        EXPECT_TRUE(std::regex_match(when, date)) << when;
        EXPECT_LE(when, previous) << "the index lists newest first";
        previous = when;
        ids.insert(id);
        types.insert(i["type"].get<std::string>());
        if (i["type"] == "voice") {
            EXPECT_EQ(i["outputRelPath"], "outputs/" + when.substr(0, 10) + "/" + id + ".tr.txt");
        }
    }
    EXPECT_EQ(ids.size(), items().size());
    EXPECT_EQ(types, (std::set<std::string>{"clip", "health", "ocr", "serendipity", "sms", "text", "voice"}));
}

TEST_F(GeneratedVault, MarkerWordsAreInAboutOnePercentOfTheSearchedFields) {
    std::size_t ascii = 0, chinese = 0;
    for (const auto& i : items()) {
        // The fields a search looks at, one per line.
        std::string searched = i.value("title", "");
        searched += '\n';
        searched += i["content"].get<std::string>();
        for (const auto& tag : i.value("tags", Json::array())) {
            searched += '\n';
            searched += tag.get<std::string>();
        }
        ascii += lower(searched).find(TextPool::asciiMarker) != std::string::npos;
        chinese += searched.find(TextPool::chineseMarker) != std::string::npos;
    }
    EXPECT_EQ(ascii, targets_->asciiMarked);
    EXPECT_EQ(chinese, targets_->chineseMarked);
    for (std::size_t n : {ascii, chinese}) {
        EXPECT_GE(n, 5u);   // 0.3 %
        EXPECT_LE(n, 35u);  // 2.3 %
    }
}

TEST_F(GeneratedVault, TargetRecordingsHaveTheirFilesUnderTheirDay) {
    const Json* recording = item(targets_->transcriptId);
    ASSERT_NE(recording, nullptr);
    EXPECT_EQ((*recording)["type"], "voice");
    std::string day = (*recording)["date"].get<std::string>().substr(0, 10);
    auto doc = parseJsonDocument(*dir_->read("vault/memories/timeline/outputs/" + day + "/" + targets_->transcriptId +
                                             ".transcript.json"));
    ASSERT_TRUE(doc);
    std::string text = (*doc)["plainText"];
    // Only characters that are one grapheme each, so the window offsets are exact.
    EXPECT_EQ(TextPool::countCodePoints(text), targets_->transcriptChars);
    EXPECT_EQ(targets_->transcriptChars, 20000u);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(text.find("\xE2\x80\x8D"), std::string::npos);  // no ZWJ
    EXPECT_EQ(text.find("\xF0"), std::string::npos);          // nothing beyond the BMP (emoji)

    const Json* minuted = item(targets_->minutesId);
    ASSERT_NE(minuted, nullptr);
    day = (*minuted)["date"].get<std::string>().substr(0, 10);
    for (const char* suffix : {".min.md", ".sum.txt", ".meta.json"}) {
        EXPECT_TRUE(dir_->exists("vault/memories/timeline/insights/" + day + "/" + targets_->minutesId + suffix)) << suffix;
    }
    EXPECT_TRUE(dir_->exists("vault/memories/timeline/insights/daily_reports/" + targets_->reportDay + ".json"));
}

TEST_F(GeneratedVault, TranscriptsAndMinutesStayWithinTheirBounds) {
    std::set<std::string> transcribed;  // recordings with one or both transcript files
    std::size_t minutes = 0;
    for (const auto& rel : dir_->listRecursive("vault/memories/timeline")) {
        for (std::string suffix : {".transcript.json", ".tr.txt"}) {
            if (rel.ends_with(suffix)) transcribed.insert(rel.substr(0, rel.size() - suffix.size()));
        }
        minutes += rel.ends_with(".min.md");
    }
    // The bounds count recordings, plus the two the benchmark opens.
    EXPECT_GT(transcribed.size(), 0u);
    EXPECT_LE(transcribed.size(), 42u);
    EXPECT_GT(minutes, 0u);
    EXPECT_LE(minutes, 62u);
}

TEST_F(GeneratedVault, VocabularyIsAnIsoEnvelopeTiedToRealEntries) {
    auto book = parseJsonDocument(*dir_->read("vault/core/vocabulary.json"));
    ASSERT_TRUE(book && book->is_object());
    EXPECT_EQ((*book)["version"], 1);
    EXPECT_EQ((*book)["writer"], "ios");
    const Json& words = (*book)["words"];
    ASSERT_EQ(words.size(), 400u);
    std::size_t deleted = 0, past = 0, future = 0, matching = 0;
    for (const auto& [key, entry] : words.items()) {
        EXPECT_EQ(entry["word"], key);
        for (const char* date : {"addedAt", "updatedAt", "dueAt"}) {
            EXPECT_TRUE(entry[date].get<std::string>().ends_with("Z")) << key;
        }
        std::string due = entry["dueAt"];
        (due < "2026" ? past : future) += 1;
        deleted += entry.contains("deletedAt");
        matching += key.find(targets_->vocabQuery) != std::string::npos;
        if (entry.contains("provenance")) {
            EXPECT_NE(item(entry["provenance"]["itemID"]), nullptr) << key;
        }
        if (entry.contains("source")) {
            EXPECT_TRUE(entry["source"] == "lookup" || entry["source"] == "imported");
        }
    }
    EXPECT_GT(deleted, 0u);
    EXPECT_GT(past, 0u);
    EXPECT_GT(future, 0u);
    EXPECT_GT(matching, 0u);
}

TEST_F(GeneratedVault, DescriptionBesideTheVaultReadsBackAndNoScratchIsLeft) {
    auto read = readTargets(targetsPath(dir_->at("vault")));
    ASSERT_TRUE(read);
    EXPECT_EQ(targetsToJson(*read), targetsToJson(*targets_));
    EXPECT_EQ(targetsPath(dir_->at("vault") + "/"), targetsPath(dir_->at("vault")));
    EXPECT_FALSE(dir_->exists("vault.partial"));
    EXPECT_TRUE(dir_->exists("vault/preferences/quillstack-library.json"));
}

TEST(VaultGenerator, SameSeedSameBytesOtherSeedOtherVault) {
    TempDir dir;
    generateVault(small(dir, "a", 5, 300));
    generateVault(small(dir, "b", 5, 300));
    generateVault(small(dir, "c", 6, 300));
    for (const char* file : {"/core/Dashboard.json", "/core/vocabulary.json"}) {
        EXPECT_EQ(dir.read(std::string("a") + file), dir.read(std::string("b") + file)) << file;
        EXPECT_NE(dir.read(std::string("a") + file), dir.read(std::string("c") + file)) << file;
    }
    EXPECT_EQ(dir.listRecursive("a"), dir.listRecursive("b"));
}

TEST(VaultGenerator, RefusesToOverwriteAnExistingFolder) {
    TempDir dir;
    dir.write("vault/keep.txt", "mine");
    EXPECT_THROW(generateVault(small(dir, "vault", 1, 100)), std::runtime_error);
    EXPECT_EQ(dir.read("vault/keep.txt"), "mine");
    EXPECT_FALSE(dir.exists("vault.bench.json"));
    GenOptions tooSmall = small(dir, "tiny", 1, 1);
    EXPECT_THROW(generateVault(tooSmall), std::runtime_error);
}

TEST(BenchTargetsFile, IncompleteDescriptionsReadAsMissing) {
    TempDir dir;
    EXPECT_FALSE(readTargets(dir.at("absent.bench.json")));
    dir.write("broken.bench.json", "{\"entries\": 5");
    EXPECT_FALSE(readTargets(dir.at("broken.bench.json")));
    dir.write("partial.bench.json", "{\"entries\": 5, \"seed\": 1}");
    EXPECT_FALSE(readTargets(dir.at("partial.bench.json")));
}

}  // namespace
}  // namespace qs::Bench
