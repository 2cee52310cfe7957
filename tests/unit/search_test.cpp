// The full-text index: its words, its query language, and a small vault
// indexed and searched (fields, offsets, typos, own writes, evicted files,
// a damaged database).
#include <gtest/gtest.h>

#include "search/fulltext_index.hpp"
#include "search/fulltext_query.hpp"
#include "search/fulltext_service.hpp"
#include "search/word_tokenizer.hpp"
#include "support/simulated_cloud.hpp"
#include "support/temp_vault.hpp"
#include "text/unicode.hpp"

namespace qs::Search {
namespace {

using Words = std::vector<std::string>;

SearchRequest ask(const std::string& query, std::optional<std::string> type = {}) {
    SearchRequest request;
    request.query = query;
    request.type = type;
    return request;
}
SearchResult find(Connection& db, const std::string& query, std::optional<std::string> type = {}) { return search(db, ask(query, type)).value(); }

TEST(WordTokenizer, FoldsLatinAndSplitsCjkIntoCharacters) {
    const std::pair<std::string, Words> rows[] = {
        {"Straße MÜLLER Café", {"strasse", "muller", "cafe"}},
        {"İstanbul ﬁne naïve Ærø", {"istanbul", "fine", "naive", "ærø"}},
        {"ΣΊΣΥΦΟΣ", {"σίσυφοσ"}},
        {"预算评审会", {"预", "算", "评", "审", "会"}},
        {"iPhone发布会, v2.0!", {"iphone", "发", "布", "会", "v2.0"}},
        {"ミーティング 👍🏽 🇩🇪", {"ミ", "ー", "テ", "ィ", "ン", "グ", "👍🏽", "🇩🇪"}},
        {"don't — e-mail", {"don't", "e", "mail"}},
    };
    for (const auto& [text, expected] : rows) EXPECT_EQ(words(text), expected) << text;
}

TEST(FulltextQuery, WordsPhrasesExclusionsAndEditDistance) {
    const ParsedQuery q = parseQuery("Berlin  partner -timeline \"Q3 budget\" -\"old plan\" 预算 “会议 纪要” - ");
    Words required, excluded;
    for (const auto& t : q.required) required.push_back(t.text + (t.phrase ? "/p" : ""));
    for (const auto& t : q.excluded) excluded.push_back(t.text);
    EXPECT_EQ(required, (Words{"Berlin", "partner", "Q3 budget/p", "预算", "会议 纪要/p"}));
    EXPECT_EQ(excluded, (Words{"timeline", "old plan"}));
    const std::tuple<std::u32string, std::u32string, size_t> distances[] = {
        {U"katrin", U"katrinn", 1}, {U"muller", U"mulelr", 1}, {U"timeline", U"tmielnie", 2}, {U"berlin", U"berlin", 0}, {U"ab", U"abcde", 3}};
    for (const auto& [a, b, d] : distances) EXPECT_EQ(editDistance(a, b), d);
}

// A vault of two entries, a daily report and a diary text not yet taken up.
class FulltextIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        v.write(ins("2025-03-02/E1.min.md"), "## 结论\n决定:预算评审会下周开。");
        v.write(out("2025-03-02/E1.tr.txt"), "大家好。We talked a lot; the price is 4200 euros by the timeline.");
        v.write(out("2025-02-01/E2.tr.txt"), "secret plans for the Zugspitze");
        v.write(ins("daily_reports/2025-03-03.json"), R"({"headline":"忙碌的一天","stats":{"x":"深夜加班"}})");
        v.write(v.inputsDir() + "/2025-03-04/U1.memo.txt", "Thinking about\nthe roadmap");
        v.dashboard(Json::array());  // the entries come from `entries`; its stamp says when to ask
        index = FulltextIndex::open(FulltextIndex::databasePath(cacheFolder.path(), v.path()), *disk);
    }
    std::string out(const std::string& rel) const { return v.outputsDir() + "/" + rel; }
    std::string ins(const std::string& rel) const { return v.insightsDir() + "/" + rel; }
    Vault vault() const { return {v.path(), PathSchema::englishV2, "", {}, disk}; }
    EntrySource source() {
        return [this] { return std::optional(entries); };
    }
    IndexCounts sync() {
        std::atomic<bool> stop{false};
        Progress progress;
        EXPECT_NE(index->sync(vault(), source(), {{}, true}, nullptr, stop, progress), Synced::stopped);
        return index->counts();
    }
    // "id field@offset" of each hit, best first.
    Words found(const std::string& query) {
        Words got;
        for (const Hit& h : find(index->db(), query).hits) got.push_back(h.id + " " + h.field + "@" + (h.offset ? std::to_string(*h.offset) : "-"));
        return got;
    }

    test::TempVault v;
    test::TempDir cacheFolder;
    std::shared_ptr<Platform::SimulatedCloud> disk = std::make_shared<Platform::SimulatedCloud>();
    std::vector<EntryTexts> entries{
        {"E1", "voice", "2025-03-02", "08:15", "Partner sync", "Partner sync", "E1\nKatrin Müller\n", "We met in Berlin"},
        {"E2", "text", "2025-02-01", "", "Berlin trip", "Berlin trip", "Katrina\n", "Flights to Berlin"},
    };
    std::unique_ptr<FulltextIndex> index;
};

TEST_F(FulltextIndexTest, FindsWordsAcrossFieldsWithTheirOffsets) {
    EXPECT_EQ(sync().documents, 4);
    const std::pair<std::string, Words> rows[] = {
        {"Berlin partner timeline", {"E1 title@0"}},
        {"\"the price is\"", {"E1 transcript@21"}},
        {"评审 预", {"E1 minutes@9"}},
        {"算评审", {"E1 minutes@10"}},  // pairs inside a run
        {"周开", {"E1 minutes@15"}},    // a run's last pair
        {"开", {"E1 minutes@16"}},      // its last character, kept alone
        {"Berlin -partner", {"E2 title@0"}},
        {"katrin", {"E1 tags@-", "E2 tags@-"}},   // the typo match below the exact one
        {"Katrinn", {"E2 tags@-", "E1 tags@-"}},  // both one edit away
        {"Mulelr berlin", {"E1 text@10"}},        // a swap of neighbours
        {"aKtrin", {"E1 tags@-"}},                // the first two letters swapped
        {"Xugspitse", {"E2 transcript@21"}},      // two typos, one of them the first letter
        {"roadmap", {"U1 pending@19"}},
        {"加班", {"2025-03-03 report@8"}},
        {"Zugspitze", {"E2 transcript@21"}},
    };
    for (const auto& [query, expected] : rows) EXPECT_EQ(found(query), expected) << query;
    EXPECT_EQ(find(index->db(), "roadmap").hits.at(0).title, "Thinking about");
    EXPECT_EQ(find(index->db(), "Berlin", "text").total, 1);
    // Only the oldest has the word in its title.
    for (std::string day : {"2025-03-01", "2025-03-02", "2025-03-03"}) {
        const bool titled = day.ends_with('1');
        entries.push_back({day, "text", day, "", "Ortler", titled ? "Ortler" : "", "", titled ? "" : "Ortler"});
    }
    v.dashboardRaw("[]");
    sync();
    // A page of one ranks as a page of all; a title's match first, then recent days; by date, newest first.
    for (const std::string query : {"berlin", "katrin", "ortler", "Katrinn newest", "ortler newest", "ortler newest text"}) {
        SearchRequest r = ask(query.substr(0, query.find(' ')), query.ends_with("text") ? std::optional(query.substr(14)) : std::nullopt);
        r.now = 1741000000;
        r.newest = query.find("newest") != std::string::npos;
        const SearchResult all = search(index->db(), r).value();
        if (query.starts_with("ortler")) {
            EXPECT_EQ(all.hits.at(0).id + all.hits.at(1).id + all.hits.at(2).id,
                r.newest ? "2025-03-032025-03-022025-03-01" : "2025-03-012025-03-032025-03-02")
                << query;
        }
        for (r.limit = 1; r.offset < all.total; ++r.offset)
            EXPECT_EQ(search(index->db(), r)->hits.at(0).id, all.hits.at(size_t(r.offset)).id) << query;
    }
    EXPECT_EQ(find(index->db(), "\"the price\"").hits.at(0).snippet, "大家好。We talked a lot; **the price** is 4200 euros by the timeline.");
    EXPECT_EQ(find(index->db(), "muller").hits.at(0).snippet, "Katrin **Müller** ");
}

TEST_F(FulltextIndexTest, FollowsOwnWritesTheTimelineAndEvictedFiles) {
    sync();
    v.write(ins("2025-03-02/E1.min.md"), "新的纪要:出差柏林");
    index->indexFile(Vault{v.path()}, v.at(ins("2025-03-02/E1.min.md")));
    EXPECT_EQ(found("柏林"), Words{"E1 minutes@7"});
    EXPECT_EQ(found("预算"), Words{});
    entries[1].text = "Flights to Munich";
    v.dashboardRaw("{}");
    disk->evict(v.at(out("2025-02-01/E2.tr.txt")), std::nullopt);
    v.write(out("2025-02-01/E3.tr.txt"), "Zugspitze again");
    disk->evict(v.at(out("2025-02-01/E3.tr.txt")), std::chrono::milliseconds(0));
    EXPECT_EQ(sync().inCloud, 2);  // never asked down, so still evicted
    EXPECT_EQ(found("munich"), Words{"E2 text@11"});
    EXPECT_EQ(found("Zugspitze"), Words{"E2 transcript@21"});  // what was indexed before it was evicted stays
}

// Told by the provider's notifications (only what they name is read), or,
// when those are lost or missing, found by a sweep of the stamps.
TEST_F(FulltextIndexTest, ServiceSeesOutsideChangesByNotificationsOrStamps) {
    const Vault vt = vault();
    const std::string day = v.at(out("2025-02-01/"));
    for (const std::string word : {"Matterhorn", "Kilimanjaro"}) {
        const bool missing = word == "Kilimanjaro";
        disk->setNotificationsMissing(missing);
        VaultChanges changes;
        FulltextService service(vt, source(), cacheFolder.path(), changes);
        auto ids = [&](const std::string& query) {
            changes.poll(vt);  // as every call begins
            Words got;
            const auto result = service.search(ask(query));
            for (const Hit& h : result->hits) got.push_back(h.id);
            return got;
        };
        EXPECT_EQ(ids(word), Words{});
        const size_t listed = disk->listed().size();
        v.write(out("2025-02-01/E2.tr.txt"), word);
        EXPECT_EQ(ids(word), Words{"E2"});
        EXPECT_EQ(disk->listed().size() == listed, !missing);
        std::filesystem::rename(day + "E2.tr.txt", day + "E4.tr.txt");
        EXPECT_EQ(ids(word), Words{"E4"});
        std::filesystem::remove(day + "E4.tr.txt");
        EXPECT_EQ(ids(word), Words{});
        disk->dropNotifications();
        v.write(out("2025-02-01/E5.tr.txt"), word);
        EXPECT_EQ(ids(word), Words{"E5"});
        entries[0].text = word + " summit";
        v.dashboardRaw(word);
        EXPECT_EQ(ids(word + " summit"), Words{"E1"});
    }
}

TEST_F(FulltextIndexTest, ADamagedOrOlderDatabaseIsBuiltAgain) {
    sync();
    const std::string path = index->path(), name = path.substr(cacheFolder.path().size() + 1);
    index.reset();
    const std::string whole = cacheFolder.read(name).value();
    for (std::string damage : {"garbage", "truncated", "older"}) {
        cacheFolder.write(name, damage == "garbage" ? std::string(whole.size(), 'x') : damage == "truncated" ? whole.substr(0, 8192) : whole);
        if (damage == "older") FulltextIndex::open(path, *disk)->db().exec("PRAGMA user_version=0");
        index = FulltextIndex::open(path, *disk);
        EXPECT_EQ(index->counts().documents, 0) << damage;
        EXPECT_EQ(sync().documents, 4) << damage;
        index.reset();
    }
}

}  // namespace
}  // namespace qs::Search
