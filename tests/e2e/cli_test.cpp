// The command line and start-up of the real binary: streams, texts, exit statuses.
#include <gtest/gtest.h>

#include "support/server_process.hpp"
#include "support/temp_vault.hpp"

using qs::test::ProcessOptions;
using qs::test::runBinary;
using qs::test::TempDir;
using qs::test::TempVault;

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
    ProcessOptions o;
    o.args = std::move(args);
    o.env = {{"HOME", home}, {"LANG", "C.UTF-8"}};
    return o;
}

std::string notFound(const std::vector<std::string>& tried) {
    std::string text = "[quillstack-mcp] 找不到 quillstack Vault。已尝试:\n";
    for (size_t i = 0; i < tried.size(); ++i) text += (i ? "\n  · " : "  · ") + tried[i];
    return text + "\n\n用 --vault <路径> 或环境变量 QUILLSTACK_VAULT 指定。\n";
}

}  // namespace

TEST(Cli, VersionAndHelpAnswerOnStdoutWithoutAVault) {
    TempDir home;
    struct Case {
        std::vector<std::string> args;
        std::string out;
    };
    const Case cases[] = {
        {{"--version"}, "quillstack 0.1.0\n"},
        {{"--help"}, usage},
        {{"-h"}, usage},
        {{"--help", "--bogus"}, usage},
        {{"--vault", "/nowhere", "--version"}, "quillstack 0.1.0\n"},
    };
    for (const auto& c : cases) {
        auto r = runBinary(options(home.path(), c.args), "");
        EXPECT_EQ(r.exitCode, 0) << c.args[0];
        EXPECT_EQ(r.out, c.out) << c.args[0];
        EXPECT_EQ(r.err, "") << c.args[0];
    }
}

TEST(Cli, CommandLineErrorsGoToStderrWithStatusTwo) {
    TempDir home;
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {{"--vault"}, "[quillstack-mcp] --vault 后面要跟路径\n"},
        {{"--bogus", "--help"}, "[quillstack-mcp] 未知参数: --bogus(用 --help 看用法)\n"},
        {{"--vault=/x"}, "[quillstack-mcp] 未知参数: --vault=/x(用 --help 看用法)\n"},
        {{"-H"}, "[quillstack-mcp] 未知参数: -H(用 --help 看用法)\n"},
    };
    for (const auto& c : cases) {
        auto r = runBinary(options(home.path(), c.args), "");
        EXPECT_EQ(r.exitCode, 2) << c.args[0];
        EXPECT_EQ(r.out, "") << c.args[0];
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
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, notFound({home.at("missing"), home.path() + cloudDefault}));
}

TEST(Cli, ServesTheLocatedVaultUntilInputEnds) {
    TempDir home;
    TempVault vault;
    vault.dashboard(qs::Json::array());
    auto r = runBinary(options(home.path(), {"--vault", vault.path()}), "{\"id\":1,\"method\":\"ping\"}\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":{}}\n");
    EXPECT_EQ(r.errLines(), (std::vector<std::string>{
                                "[quillstack-mcp] Vault: " + vault.path() + " (schema=english-v2)",
                                "[quillstack-mcp] started (quillstack 0.1.0)",
                                "[quillstack-mcp] stdin 关闭,退出",
                            }));
}
