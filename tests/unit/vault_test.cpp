// Layouts and locations, an entry's day folder, reading and writing vault
// files (placeholders, failures, containment), and the search for the vault.
#include <gtest/gtest.h>
#include <unistd.h>  // symlink

#include "support/simulated_cloud.hpp"
#include "support/temp_vault.hpp"
#include "vault/entry_files.hpp"
#include "vault/vault_io.hpp"
#include "vault/vault_locator.hpp"

using std::string, std::pair, std::tuple, std::optional;

namespace qs {
namespace {

using namespace std::literals;
using test::TempDir;
using testing::internal::CaptureStderr, testing::internal::GetCapturedStderr;
using Paths = std::vector<string>;
using Cloud = Platform::SimulatedCloud;
constexpr PathSchema kEnglish = PathSchema::englishV2, kLegacy = PathSchema::legacyChineseV1;
const string kLog = "[quillstack-mcp] ", kAsked = kLog + "iCloud 占位符,触发下载: ", kLate = kLog + "⏱ 下载超时: ";

// (A layout's name is read in the marker and written in the locator's log.)
TEST(Paths, Joined) {
    const tuple<const char*, const char*, const char*> joins[] = {
        {"/v/", "a", "/v/a"}, {"/v", "//x", "/v/x"}, {"/v", "", "/v"}, {"/", "a", "/a"}, {"//", "a", "/a"}, {"/v//", "/a", "/v/a"}, {"", "a", "/a"}};
    for (const auto& [base, rel, joined] : joins) EXPECT_EQ(Platform::joinPath(base, rel), joined) << base << rel;
}

// A marker counts only when it is whole and well typed; else the folders decide.
TEST(DetectSchema, MarkerThenFolders) {
    const string marker = R"({"pathSchema":"legacy-zh-v1","schemaVersion":)", whole = R"(,"createdAt":"x","app":"y"})";
    const tuple<string, const char*, PathSchema> cases[] = {{marker + "2" + whole, "core", kLegacy},
        {marker + "2.0,\"more\":1" + whole, "core", kLegacy}, {marker + R"(2,"createdAt":"x"})", "core", kEnglish},
        {marker + R"(2,"createdAt":1,"app":"y"})", "core", kEnglish}, {marker + "2.5" + whole, "core", kEnglish},
        {marker + "\"2\"" + whole, "core", kEnglish}, {"not json", "01-情景记忆", kLegacy}};
    for (const auto& [text, folder, detected] : cases) {
        TempDir d;
        d.write("preferences/quillstack-library.json", text);
        d.mkdir(folder);
        EXPECT_EQ(VaultInitializer::detectSchema(*Platform::systemFileSystem(), d.path()), detected) << text;
    }
}

// An entry's day: the hinted one when it holds a file (a legacy one too); else
// the newest day folder holding one, insights before outputs; else the hint
// when it is one harmless path component. Reading falls back to a legacy file
// only when the layout's own file (or its placeholder) is missing. (Where the
// index and the history lie is the read tools' test's.)
TEST(EntryFiles, DayFolderHoldingTheFiles) {
    test::TempVault d;
    const Vault vault{d.path()};
    // Several days, so that the order the folder lists them in rarely gives the newest first.
    for (const char* day : {"2025-03-03", "2025-03-05", "2025-03-04", "2025-03-01", "2025-03-02", "2025-3-9"})
        d.write(d.insightsDir() + "/" + day + "/X.meta.json", "");
    const string legacy = "01-情景记忆/00-时间流/insights/2025-01-10/Y.min.md", out = d.outputsDir();
    for (const string& rel :
        {legacy, out + "/2025-03-08/X.tr.txt", out + "/2025-02-28/Y.tr.txt", "core/.Dashboard.json.icloud"s, "00-记忆核心/Dashboard.json"s})
        d.write(rel, "");
    const tuple<const char*, const char*, const char*> cases[] = {{"X", "2025-03-02", "2025-03-02"}, {"X", "2025-02-01", "2025-03-05"},
        {"Y", "", "2025-02-28"}, {"Y", "2025-01-10", "2025-01-10"}, {"Z", "drafts", "drafts"}, {"Z", "..", ""}};
    for (const auto& [id, hint, day] : cases) EXPECT_EQ(VaultFiles::locate(vault, id, hint).day, day) << id << hint;
    EXPECT_EQ(VaultFiles::locate(vault, "Y", "2025-01-10").path(EntryFile::minutes), d.at(legacy));
}

// Writes replace the whole file, making its folders; a failure names its
// step; a link inside the vault that leads out of it carries no read and no write out.
TEST(VaultIO, WritesAndLinksOut) {
    TempDir outside, d;
    outside.write("secret.txt", "outside");
    const Vault vault{d.path()};
    for (const char* content : {"第一版", "v2"}) ASSERT_TRUE(VaultIO::write(vault, content, d.at("day/X.min.md")));
    d.mkdir("day/Y.min.md");
    ASSERT_EQ(::symlink(outside.path().c_str(), d.at("d").c_str()), 0);
    ASSERT_EQ(::symlink(outside.at("secret.txt").c_str(), d.at("X.sum.txt").c_str()), 0);
    using K = VaultError::Kind;
    // The new content cannot be put in place; the folder lies outside. (A
    // folder that cannot be made is the write tools' refusal test's.)
    for (const auto& [rel, kind] : {pair{"day/Y.min.md", K::writeFailed}, {"d/secret.txt", K::outsideVault}, {"d/deeper/a.md", K::outsideVault}}) {
        auto written = VaultIO::write(vault, "new", d.at(rel));
        EXPECT_EQ(written ? std::nullopt : optional(written.error().kind), kind) << rel;
    }
    EXPECT_EQ(d.read("day/X.min.md"), "v2");
    EXPECT_EQ(outside.read("secret.txt"), "outside");
    EXPECT_EQ(
        VaultIO::readData(vault, d.at("X.sum.txt")).error().description(), "这个位置经过链接指向了 Vault 之外,不读也不写: " + d.at("X.sum.txt"));
}

// Through the simulated provider: an evicted file or day folder is asked for
// and waited for within the vault's bound, never touched before it has come
// down (touching would block); refused coordination falls back to plain
// access; coordination held past the bound is cancelled and reads and writes
// nothing. (A download that never lands, and touching that fails at once,
// are the faults' test's.)
TEST(VaultIO, EvictedComeDownInTheBound) {
    const string x = "X.min.md\n", f = "day/X.min.md";
    // evicted, arrives after, coordination (0 granted, 1 refused, 2 held), the log
    const tuple<string, int, int, string> cases[] = {{f, 50, 0, kAsked + x}, {"day", 50, 0, kAsked + "day\n"},
        {"", 0, 1, kLog + "⚠️ 协调写失败,退回裸写: simulated refusal\n"}, {"", 0, 2, kLate + x + kLate + x}};
    for (const auto& [evicted, arrives, coordination, log] : cases) {
        TempDir d;
        auto cloud = std::make_shared<Cloud>();
        const Vault vault{d.path(), kEnglish, {}, {300ms, 5ms}, cloud};
        d.write(f, "内容");
        if (!evicted.empty()) cloud->evict(d.at(evicted), 1ms * arrives);
        cloud->setPolicy(Cloud::Policy::block);
        cloud->refuseCoordination(coordination == 1);
        cloud->holdCoordination(coordination == 2);
        CaptureStderr();
        string bytes;
        auto read = VaultIO::readInto(vault, d.at(f), bytes);
        const bool held = coordination == 2;
        EXPECT_TRUE(!coordination || VaultIO::write(vault, "新", d.at(f)).hasValue() != held);
        EXPECT_EQ(tuple(d.read(f), d.listRecursive().size(), bytes), tuple(coordination == 1 ? "新" : "内容", 1u, held ? "" : "内容"));
        EXPECT_EQ(read ? std::nullopt : optional(read.error().kind), held ? optional(VaultError::Kind::notDownloaded) : std::nullopt);
        EXPECT_EQ(pair(GetCapturedStderr(), cloud->blockedCalls()), pair(log, 0)) << evicted;
    }
}

// The explicit folder, then QUILLSTACK_VAULT, then iCloud Drive's quillstack,
// then its other visible folders in NFC name order, each folder once: the
// first holding an index, in either layout, wins. An index still in the cloud
// is waited for, here in vain.
TEST(VaultLocator, FirstCandidateWithAnIndex) {
    using VaultLocator::locate, VaultLocator::candidates;
    // the home folder, holding iCloud Drive
    TempDir h;
    const string kDrive = "Library/Mobile Documents/com~apple~CloudDocs/";
    auto drive = [&](const string& name) { return h.at(kDrive + name); };
    const auto fs = std::make_shared<Cloud>();
    fs->setEnvironment("HOME", h.path());
    h.write("pending/core/.Dashboard.json.icloud", "");
    fs->setEnvironment("QUILLSTACK_VAULT", h.at("b"));
    CaptureStderr();
    EXPECT_EQ(locate(fs, h.at("pending"), {50ms, 10ms}).error().description(), "找不到 quillstack Vault。已尝试:\n  · " + h.at("pending") + "\n  · " +
                                                                                   h.at("b") + "\n  · " + drive("quillstack") +
                                                                                   "\n\n用 --vault <路径> 或环境变量 QUILLSTACK_VAULT 指定。");
    for (const string& rel : Paths{"a/00-记忆核心", "b/core", kDrive + "alpha/core", kDrive + "Zeta/core"}) h.write(rel + "/Dashboard.json", "");
    for (const char* name : {".hidden-folder", "f", "e\u0301"}) h.mkdir(kDrive + name);
    EXPECT_TRUE(locate(fs, h.at("a")) && locate(fs, h.at("none")));
    fs->setEnvironment("QUILLSTACK_VAULT", "");
    EXPECT_EQ(candidates(*fs, "~/v"),
        // a decomposed é sorts after f
        (Paths{h.at("v"), drive("quillstack"), drive("Zeta"), drive("alpha"), drive("f"), drive("e\u0301")}));
    EXPECT_TRUE(locate(fs, std::nullopt));
    h.write(kDrive + "quillstack/core/Dashboard.json", "");
    EXPECT_TRUE(locate(fs, std::nullopt));
    const string found = kLog + "Vault: ", english = " (schema=english-v2)\n";
    EXPECT_EQ(GetCapturedStderr(), kAsked + "Dashboard.json\n" + kLate + "Dashboard.json\n" + found + h.at("a") + " (schema=legacy-zh-v1)\n" + found +
                                       h.at("b") + english + found + drive("Zeta") + english + found + drive("quillstack") + english);
    // "~" is this user's home, "~name" that user's (as shells do); a relative
    // path ("xroot/v" too) starts at the working folder.
    const string cwd = fs->currentDirectory();
    const pair<string, string> firsts[] = {{"~", h.path()}, {"~root/v", *fs->homeDirectoryOf("root") + "/v"},
        {"~no-such-user-qs/v", cwd + "/~no-such-user-qs/v"}, {"xroot/v", cwd + "/xroot/v"}, {"", cwd}};
    for (const auto& [given, first] : firsts) EXPECT_EQ(candidates(*fs, given).front(), first) << given;
    // A second spelling of a folder is dropped.
    fs->setEnvironment("QUILLSTACK_VAULT", h.path() + "/x/.././v/");
    EXPECT_EQ(candidates(*fs, h.at("v"))[1], drive("quillstack"));
    // A vault folder evicted whole comes down before its layout is told.
    fs->evict(h.at("a"), 20ms);
    EXPECT_EQ(locate(fs, h.at("a"), {300ms, 5ms}).value().schema, kLegacy);
}

}  // namespace
}  // namespace qs
