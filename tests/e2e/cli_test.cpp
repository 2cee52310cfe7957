// The command line and start-up of the real binary: streams, texts, exit statuses.
#include <gtest/gtest.h>

#include "support/server_process.hpp"
#include "support/temp_vault.hpp"

using qs::test::ProcessOptions;
using qs::test::runBinary;
using qs::test::TempDir;

namespace {

const std::string usage =
    "用法: quillstack-mcp [--vault <路径>]\n"
    "\n"
    "  --vault <路径>   指定 Vault 根目录。也可用环境变量 QUILLSTACK_VAULT。\n"
    "                  都不给则自动在 iCloud Drive 里找。\n"
    "  --version       打印版本\n"
    "  --help          本帮助\n"
    "\n"
    "这是一个 MCP server,正常情况下由 MCP host(Claude Desktop / Cursor / …)\n"
    "通过 stdio 拉起,不需要手工运行。\n";

const std::string cloudDefault = "/Library/Mobile Documents/com~apple~CloudDocs/quillstack";

ProcessOptions options(const std::string& home, std::vector<std::string> args) {
    return ProcessOptions{std::move(args), {{"HOME", home}, {"LANG", "C.UTF-8"}}, ""};
}

std::string notFound(const std::vector<std::string>& tried) {
    std::string text = "[quillstack-mcp] 找不到 quillstack Vault。已尝试:\n";
    for (size_t i = 0; i < tried.size(); ++i) text += (i ? "\n  · " : "  · ") + tried[i];
    return text + "\n\n用 --vault <路径> 或环境变量 QUILLSTACK_VAULT 指定。\n";
}

}  // namespace

// The order of the arguments is the command line's unit test; here the
// streams, texts and statuses, and no vault search before answering.
TEST(Cli, AnswersAndRefusalsNeedNoVault) {
    TempDir home;
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    } cases[] = {
        {{"--version"}, 0, "quillstack 0.1.0\n", ""},
        {{"-h"}, 0, usage, ""},
        {{"--vault", "/nowhere", "--help"}, 0, usage, ""},
        {{"--vault"}, 2, "", "[quillstack-mcp] --vault 后面要跟路径\n"},
        {{"--bogus", "--help"}, 2, "", "[quillstack-mcp] 未知参数: --bogus(用 --help 看用法)\n"},
    };
    for (const auto& c : cases) {
        auto r = runBinary(options(home.path(), c.args), "");
        EXPECT_EQ(r.exitCode, c.status) << c.args[0];
        EXPECT_EQ(r.out, c.out) << c.args[0];
        EXPECT_EQ(r.err, c.err) << c.args[0];
    }
}

TEST(Cli, NoVaultAnywhereListsTheTriedFoldersAndExitsOne) {
    TempDir home;
    auto r = runBinary(options(home.path(), {}), "{\"id\":1,\"method\":\"ping\"}\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, notFound({home.path() + cloudDefault}));
    auto missing = runBinary(options(home.path(), {"--vault", home.at("missing")}), "");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, notFound({home.at("missing"), home.path() + cloudDefault}));
}
