// Reading through cloud placeholders, atomic and exclusive writes, and the
// errors a failed write reports.
#include "vault/vault_io.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>  // chmod
#include <unistd.h>    // geteuid

#include <chrono>  // std::chrono
#include <thread>  // std::thread

#include "support/fd_capture.hpp"
#include "support/temp_vault.hpp"

namespace qs {
namespace {

using test::FdCapture;
using test::TempDir;

TEST(VaultIORead, PresentMissingAndFolderEntries) {
    TempDir dir;
    const Vault vault{dir.path()};
    dir.write("a/note.md", "内容\n");
    FdCapture err(2);
    EXPECT_EQ(VaultIO::readData(vault, dir.at("a/note.md")), "内容\n");
    EXPECT_FALSE(VaultIO::readData(vault, dir.at("a/missing.md")));
    EXPECT_FALSE(VaultIO::readData(vault, dir.at("a")));  // a folder has no content to read
    std::string buffer = "stale";
    EXPECT_EQ(VaultIO::readInto(vault, dir.at("a/note.md"), buffer), platform::ReadStatus::ok);
    EXPECT_EQ(buffer, "内容\n");
    EXPECT_EQ(err.finish(), "");
}

// The real wait, once: the file arrives about a second after the request.
TEST(VaultIORead, PlaceholderThatArrivesWithinTheWait) {
    ASSERT_EQ(VaultIO::downloadWait().timeout.count(), 5.0);
    TempDir dir;
    const Vault vault{dir.path()};
    dir.write("day/.X.min.md.icloud", "");
    std::thread provider([&] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        dir.write("day/X.min.md", "downloaded");
    });
    FdCapture err(2);
    auto content = VaultIO::readData(vault, dir.at("day/X.min.md"));
    std::string log = err.finish();
    provider.join();
    EXPECT_EQ(content, "downloaded");
    EXPECT_EQ(log, "[quillstack-mcp] iCloud 占位符,触发下载: X.min.md\n");
}

TEST(VaultIORead, PlaceholderThatNeverArrives) {
    const VaultIO::DownloadWait saved = VaultIO::downloadWait();
    VaultIO::downloadWait().timeout = std::chrono::duration<double>(0.2);
    VaultIO::downloadWait().poll = std::chrono::duration<double>(0.02);
    TempDir dir;
    const Vault vault{dir.path()};
    dir.write(".Dashboard.json.icloud", "");
    FdCapture err(2);
    EXPECT_FALSE(VaultIO::readData(vault, dir.at("Dashboard.json")));
    VaultIO::downloadWait() = saved;
    EXPECT_EQ(err.finish(),
              "[quillstack-mcp] iCloud 占位符,触发下载: Dashboard.json\n[quillstack-mcp] ⏱ 下载超时: Dashboard.json\n");
}

TEST(VaultIOWrite, CreatesFoldersAndReplacesWholeContent) {
    TempDir dir;
    const Vault vault{dir.path()};
    VaultIO::write(vault, "第一版", dir.at("insights/2025-03-02/X.min.md"));
    VaultIO::write(vault, "v2", dir.at("insights/2025-03-02/X.min.md"));
    VaultIO::write(vault, "", dir.at("insights/2025-03-02/X.sum.txt"));
    EXPECT_EQ(dir.read("insights/2025-03-02/X.min.md"), "v2");
    EXPECT_EQ(dir.read("insights/2025-03-02/X.sum.txt"), "");
    EXPECT_EQ(dir.listRecursive(), (std::vector<std::string>{"insights/2025-03-02/X.min.md", "insights/2025-03-02/X.sum.txt"}));
}

// Each failure names its step, keeps the old content and leaves no temporary file.
TEST(VaultIOWrite, FailuresSayWhichStepFailed) {
    TempDir dir;
    const Vault vault{dir.path()};
    dir.write("insights", "a plain file");
    try {
        VaultIO::write(vault, "x", dir.at("insights/2025-03-02/X.min.md"));
        ADD_FAILURE() << "write succeeded";
    } catch (const VaultIO::WriteError& e) {
        EXPECT_EQ(e.kind(), VaultIO::WriteError::Kind::createDirectoryFailed);
        EXPECT_EQ(e.description(), "建目录失败: Not a directory");
    }
    dir.write("day/X.min.md", "old");
    dir.mkdir("day/Y.min.md");  // a folder where the file should go
    EXPECT_THROW(VaultIO::write(vault, "new", dir.at("day/Y.min.md")), VaultIO::WriteError);
    EXPECT_EQ(dir.list("day"), (std::vector<std::string>{"X.min.md", "Y.min.md"}));
    if (::geteuid() == 0) GTEST_SKIP() << "running as root: a read-only folder does not stop writes";
    ::chmod(dir.at("day").c_str(), 0555);
    try {
        VaultIO::write(vault, "new", dir.at("day/X.min.md"));
        ADD_FAILURE() << "write into a read-only folder succeeded";
    } catch (const VaultIO::WriteError& e) {
        EXPECT_EQ(e.kind(), VaultIO::WriteError::Kind::writeFailed);
        EXPECT_EQ(e.description(), "写文件失败: Permission denied");
    }
    EXPECT_EQ(dir.read("day/X.min.md"), "old");
    EXPECT_EQ(dir.list("day"), (std::vector<std::string>{"X.min.md", "Y.min.md"}));
}

TEST(VaultIOWriteNew, ClaimsANameOnceAndNeverReplaces) {
    TempDir dir;
    const Vault vault{dir.path()};
    const std::string name = dir.at("meta/minutes-history/X/2025-03-02T081500Z.min.md");
    EXPECT_TRUE(VaultIO::writeNew(vault, "first", name));
    EXPECT_FALSE(VaultIO::writeNew(vault, "second", name));
    EXPECT_EQ(dir.read("meta/minutes-history/X/2025-03-02T081500Z.min.md"), "first");
    dir.write("blocked", "");
    EXPECT_THROW(VaultIO::writeNew(vault, "x", dir.at("blocked/a.txt")), VaultIO::WriteError);
}

// A link inside the vault that leads out of it carries no read and no write
// out: the call is refused and nothing outside is created or replaced.
TEST(VaultIOContainment, LinksLeadingOutOfTheVaultAreRefused) {
    TempDir outside;
    outside.write("secret.txt", "outside");
    TempDir dir;
    const Vault vault{dir.path()};
    dir.mkdir("insights");
    ASSERT_EQ(::symlink(outside.path().c_str(), dir.at("insights/2025-03-02").c_str()), 0);
    ASSERT_EQ(::symlink(outside.at("secret.txt").c_str(), dir.at("insights/X.sum.txt").c_str()), 0);
    EXPECT_THROW(VaultIO::readData(vault, dir.at("insights/X.sum.txt")), VaultIO::OutsideVault);
    EXPECT_THROW(VaultIO::write(vault, "new", dir.at("insights/2025-03-02/secret.txt")), VaultIO::OutsideVault);
    EXPECT_THROW(VaultIO::writeNew(vault, "new", dir.at("insights/2025-03-02/deeper/a.md")), VaultIO::OutsideVault);
    EXPECT_EQ(outside.listRecursive(), (std::vector<std::string>{"secret.txt"}));
    EXPECT_EQ(outside.read("secret.txt"), "outside");
    // A vault reached through a link of its own is fine.
    TempDir links;
    ASSERT_EQ(::symlink(dir.path().c_str(), links.at("vault").c_str()), 0);
    const Vault linked{links.at("vault")};
    VaultIO::write(linked, "ok", links.at("vault/day/a.md"));
    EXPECT_EQ(dir.read("day/a.md"), "ok");
}

}  // namespace
}  // namespace qs
