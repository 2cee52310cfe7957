// Candidate order, de-duplication, validation and the failure text of the
// vault search, with HOME and QUILLSTACK_VAULT pointed at temp folders.
#include "vault/vault_locator.hpp"

#include <gtest/gtest.h>
#include <unistd.h>  // chdir

#include <cstdlib>  // setenv, unsetenv, getenv

#include "platform/file_system.hpp"
#include "support/fd_capture.hpp"
#include "support/temp_vault.hpp"
#include "vault/vault_io.hpp"

namespace qs {
namespace {

using test::FdCapture;
using test::TempDir;

const std::string kDrive = "Library/Mobile Documents/com~apple~CloudDocs";

class LocatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        saveEnv("HOME", savedHome_);
        saveEnv("QUILLSTACK_VAULT", savedVault_);
        ::setenv("HOME", home.path().c_str(), 1);
        ::unsetenv("QUILLSTACK_VAULT");
    }
    void TearDown() override {
        restoreEnv("HOME", savedHome_);
        restoreEnv("QUILLSTACK_VAULT", savedVault_);
    }

    // A folder with an English index under `rel` in the temp home.
    std::string vaultAt(const std::string& rel, const std::string& index = "core/Dashboard.json") {
        home.write(rel + "/" + index, "{}");
        return home.at(rel);
    }
    std::string drive(const std::string& name) { return home.at(kDrive + "/" + name); }

    // Locates with stderr captured; the tried list when it fails.
    Vault locate(const std::optional<std::string>& explicitPath, std::string* log = nullptr) {
        FdCapture err(2);
        try {
            Vault v = VaultLocator::locate(explicitPath);
            if (log) *log = err.finish();
            return v;
        } catch (const LocateError& e) {
            if (log) *log = err.finish();
            ADD_FAILURE() << e.description();
            return Vault{};
        }
    }

    TempDir home;

private:
    static void saveEnv(const char* name, std::optional<std::string>& slot) {
        if (const char* v = std::getenv(name)) slot = v;
    }
    static void restoreEnv(const char* name, const std::optional<std::string>& slot) {
        if (slot) ::setenv(name, slot->c_str(), 1); else ::unsetenv(name);
    }
    std::optional<std::string> savedHome_, savedVault_;
};

TEST_F(LocatorTest, ExplicitBeatsEnvironmentBeatsICloud) {
    std::string a = vaultAt("a"), b = vaultAt("b");
    vaultAt(kDrive + "/quillstack");
    ::setenv("QUILLSTACK_VAULT", b.c_str(), 1);
    std::string log;
    EXPECT_EQ(locate(a, &log).root, a);
    EXPECT_EQ(log, "[quillstack-mcp] Vault: " + a + " (schema=english-v2)\n");
    EXPECT_EQ(locate(std::nullopt).root, b);
    ::unsetenv("QUILLSTACK_VAULT");
    EXPECT_EQ(locate(std::nullopt).root, drive("quillstack"));
}

TEST_F(LocatorTest, CandidateListShapes) {
    home.mkdir(kDrive + "/quillstack");
    home.mkdir(kDrive + "/alpha");
    home.mkdir(kDrive + "/Zeta");
    home.mkdir(kDrive + "/.hidden-folder");
    home.write(kDrive + "/notes.txt", "a file");
    home.mkdir(kDrive + "/f");
    home.mkdir(kDrive + "/e\u0301");  // decomposed é: after f once compared in NFC
    ::setenv("QUILLSTACK_VAULT", "", 1);
    const std::string cwd = platform::currentDirectory();
    EXPECT_EQ(VaultLocator::candidates("~/v"),
              (std::vector<std::string>{home.at("v"), drive("quillstack"), drive("Zeta"), drive("alpha"), drive("f"),
                                        drive("e\u0301")}));
    EXPECT_EQ(VaultLocator::candidates("~").front(), home.path());
    EXPECT_EQ(VaultLocator::candidates("~/").front(), home.path());
    EXPECT_EQ(VaultLocator::candidates("~root/v").front(), "/root/v");  // another user's home, as shells do
    EXPECT_EQ(VaultLocator::candidates("~no-such-user-qs/v").front(), cwd + "/~no-such-user-qs/v");
    EXPECT_EQ(VaultLocator::candidates("rel/v").front(), cwd + "/rel/v");
    EXPECT_EQ(VaultLocator::candidates("").front(), cwd);

    // One folder named three ways is tried once, in its first spelling.
    ::setenv("QUILLSTACK_VAULT", (home.path() + "/./v/").c_str(), 1);
    auto list = VaultLocator::candidates(home.at("v"));
    EXPECT_EQ(list[0], home.at("v"));
    EXPECT_EQ(list[1], drive("quillstack"));
    ::setenv("QUILLSTACK_VAULT", (home.path() + "/" + kDrive + "/x/../quillstack").c_str(), 1);
    list = VaultLocator::candidates(std::nullopt);
    EXPECT_EQ(list[0], home.path() + "/" + kDrive + "/x/../quillstack");
    EXPECT_EQ(std::count(list.begin(), list.end(), drive("quillstack")), 0);
}

TEST_F(LocatorTest, ListedFoldersInNameOrderAfterTheDefault) {
    vaultAt(kDrive + "/alpha");
    vaultAt(kDrive + "/Zeta");
    EXPECT_EQ(locate(std::nullopt).root, drive("Zeta"));
    vaultAt(kDrive + "/quillstack");
    vaultAt(kDrive + "/Archive");
    EXPECT_EQ(locate(std::nullopt).root, drive("quillstack"));
}

TEST_F(LocatorTest, ValidationLooksOnlyAtTheIndexPresence) {
    std::string legacy = vaultAt("legacy", "00-记忆核心/Dashboard.json");
    std::string log;
    Vault v = locate(legacy, &log);
    EXPECT_EQ(v.root, legacy);
    EXPECT_EQ(v.schema, PathSchema::legacyChineseV1);
    EXPECT_EQ(log, "[quillstack-mcp] Vault: " + legacy + " (schema=legacy-zh-v1)\n");

    home.write("garbage/core/Dashboard.json", "not json at all");
    EXPECT_EQ(locate(home.at("garbage")).root, home.at("garbage"));

    home.write("bare/core/Dashboard.json", "");  // index present, nothing else recognisable
    home.write("plainfile", "x");
    std::string bare = home.at("bare");
    ::setenv("QUILLSTACK_VAULT", bare.c_str(), 1);
    EXPECT_EQ(locate(home.at("plainfile")).root, bare);
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
    }
    VaultIO::downloadWait() = saved;
    EXPECT_EQ(err.finish(), "[quillstack-mcp] iCloud 占位符,触发下载: Dashboard.json\n"
                            "[quillstack-mcp] ⏱ 下载超时: Dashboard.json\n");
}

TEST_F(LocatorTest, NothingAnywhereNamesOnlyTheDefaultFolder) {
    try {
        VaultLocator::locate(std::nullopt);
        ADD_FAILURE() << "located a vault";
    } catch (const LocateError& e) {
        EXPECT_EQ(e.tried(), std::vector<std::string>{home.path() + "/" + kDrive + "/quillstack"});
        EXPECT_STREQ(e.what(), e.description().c_str());
    }
}

}  // namespace
}  // namespace qs
