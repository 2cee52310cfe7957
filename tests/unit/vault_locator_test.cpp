// Candidate order, de-duplication, validation and the failure text of the
// vault search, with HOME and QUILLSTACK_VAULT pointed at temp folders.
#include "vault/vault_locator.hpp"

#include <gtest/gtest.h>

#include <algorithm>  // std::count
#include <cstdlib>    // setenv, unsetenv, getenv
#include <map>        // std::map

#include "platform/file_system.hpp"
#include "support/fd_capture.hpp"
#include "support/temp_vault.hpp"
#include "vault/vault_io.hpp"

namespace qs {
namespace {

using test::FdCapture;

const std::string kDrive = "Library/Mobile Documents/com~apple~CloudDocs";

class LocatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"HOME", "QUILLSTACK_VAULT"}) {
            if (const char* v = std::getenv(name)) saved_[name] = v;
        }
        ::setenv("HOME", home.path().c_str(), 1);
        ::unsetenv("QUILLSTACK_VAULT");
    }
    void TearDown() override {
        for (const char* name : {"HOME", "QUILLSTACK_VAULT"}) {
            saved_.count(name) ? ::setenv(name, saved_[name].c_str(), 1) : ::unsetenv(name);
        }
    }

    // A folder with an English index under `rel` in the temp home.
    std::string vaultAt(const std::string& rel, const std::string& index = "core/Dashboard.json") {
        home.write(rel + "/" + index, "{}");
        return home.at(rel);
    }
    std::string drive(const std::string& name) { return home.at(kDrive + "/" + name); }

    // The located vault, with what was logged meanwhile.
    Vault locate(const std::optional<std::string>& explicitPath, std::string* log = nullptr) {
        FdCapture err(2);
        Vault vault;
        try {
            vault = VaultLocator::locate(explicitPath);
        } catch (const LocateError& e) {
            ADD_FAILURE() << e.description();
        }
        std::string text = err.finish();
        if (log) *log = text;
        return vault;
    }

    test::TempDir home;

private:
    std::map<std::string, std::string> saved_;
};

TEST_F(LocatorTest, ExplicitBeatsEnvironmentBeatsICloudInNameOrder) {
    std::string a = vaultAt("a"), b = vaultAt("b");
    vaultAt(kDrive + "/alpha");
    vaultAt(kDrive + "/Zeta");
    ::setenv("QUILLSTACK_VAULT", b.c_str(), 1);
    std::string log;
    EXPECT_EQ(locate(a, &log).root, a);
    EXPECT_EQ(log, "[quillstack-mcp] Vault: " + a + " (schema=english-v2)\n");
    EXPECT_EQ(locate(std::nullopt).root, b);
    ::unsetenv("QUILLSTACK_VAULT");
    EXPECT_EQ(locate(std::nullopt).root, drive("Zeta"));  // byte order: upper case first
    vaultAt(kDrive + "/quillstack");
    EXPECT_EQ(locate(std::nullopt).root, drive("quillstack"));
}

TEST_F(LocatorTest, CandidateListShapes) {
    for (const char* name : {"quillstack", "alpha", "Zeta", ".hidden-folder", "f", "e\u0301"}) home.mkdir(kDrive + "/" + name);
    home.write(kDrive + "/notes.txt", "a file");
    ::setenv("QUILLSTACK_VAULT", "", 1);
    const std::string cwd = platform::currentDirectory();
    // A decomposed é sorts after f once compared in NFC.
    EXPECT_EQ(VaultLocator::candidates("~/v"), (std::vector<std::string>{home.at("v"), drive("quillstack"), drive("Zeta"),
                                                                         drive("alpha"), drive("f"), drive("e\u0301")}));
    const std::pair<std::string, std::string> firsts[] = {
        {"~", home.path()}, {"~/", home.path()}, {"~root/v", "/root/v"},  // another user's home, as shells do
        {"~no-such-user-qs/v", cwd + "/~no-such-user-qs/v"}, {"rel/v", cwd + "/rel/v"}, {"", cwd},
    };
    for (const auto& [given, first] : firsts) EXPECT_EQ(VaultLocator::candidates(given).front(), first) << given;

    // One folder named several ways is tried once, in its first spelling.
    ::setenv("QUILLSTACK_VAULT", (home.path() + "/./v/").c_str(), 1);
    auto list = VaultLocator::candidates(home.at("v"));
    EXPECT_EQ(std::vector<std::string>(list.begin(), list.begin() + 2), (std::vector<std::string>{home.at("v"), drive("quillstack")}));
    ::setenv("QUILLSTACK_VAULT", (home.path() + "/" + kDrive + "/x/../quillstack").c_str(), 1);
    list = VaultLocator::candidates(std::nullopt);
    EXPECT_EQ(std::count(list.begin(), list.end(), drive("quillstack")), 0);
}

// Only the presence of an index counts, under either layout.
TEST_F(LocatorTest, ValidationLooksOnlyAtTheIndexPresence) {
    std::string legacy = vaultAt("legacy", "00-记忆核心/Dashboard.json");
    std::string log;
    Vault found = locate(legacy, &log);
    EXPECT_EQ(found.root, legacy);
    EXPECT_EQ(found.schema, PathSchema::legacyChineseV1);
    EXPECT_EQ(log, "[quillstack-mcp] Vault: " + legacy + " (schema=legacy-zh-v1)\n");
    home.write("garbage/core/Dashboard.json", "not json at all");
    EXPECT_EQ(locate(home.at("garbage")).root, home.at("garbage"));
    home.write("plainfile", "x");
    ::setenv("QUILLSTACK_VAULT", home.at("garbage").c_str(), 1);
    EXPECT_EQ(locate(home.at("plainfile")).root, home.at("garbage"));
}

TEST_F(LocatorTest, FailureListsEveryTriedFolder) {
    auto saved = VaultIO::downloadWait();
    VaultIO::downloadWait().timeout = std::chrono::duration<double>(0.1);
    home.write("pending/core/.Dashboard.json.icloud", "");
    home.mkdir("empty");
    ::setenv("QUILLSTACK_VAULT", home.at("empty").c_str(), 1);
    FdCapture err(2);
    try {
        VaultLocator::locate(home.at("pending"));
        ADD_FAILURE() << "located a vault";
    } catch (const LocateError& e) {
        EXPECT_EQ(e.tried(), (std::vector<std::string>{home.at("pending"), home.at("empty"), drive("quillstack")}));
        EXPECT_EQ(e.description(), "找不到 quillstack Vault。已尝试:\n  · " + home.at("pending") + "\n  · " +
                                       home.at("empty") + "\n  · " + drive("quillstack") +
                                       "\n\n用 --vault <路径> 或环境变量 QUILLSTACK_VAULT 指定。");
        EXPECT_STREQ(e.what(), e.description().c_str());
    }
    VaultIO::downloadWait() = saved;
    EXPECT_EQ(err.finish(), "[quillstack-mcp] iCloud 占位符,触发下载: Dashboard.json\n"
                            "[quillstack-mcp] ⏱ 下载超时: Dashboard.json\n");
}

}  // namespace
}  // namespace qs
