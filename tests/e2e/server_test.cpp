// The real binary over pipes: the command line, its answers and refusals.
#include <gtest/gtest.h>

#include "support/server_process.hpp"
#include "support/temp_vault.hpp"

namespace qs::test {
namespace {

// Exit status, stdout and stderr of a run whose input ends at once.
std::tuple<int, string, string> run(const std::vector<string>& args, const TempDir& home) {
    ServerSession child(args, {{"HOME", home.path()}});
    child.closeInput();
    string out;
    child.drain(&out);
    return {child.finish(), out, child.stderrText()};
}

// Taken strictly left to right: whatever follows --vault is the path, the
// last --vault counts, and --help or --version is answered before anything
// after it is looked at.
TEST(Cli, AnswersWithoutVault) {
    const string usage = R"(用法: quillstack-mcp [--vault <路径>]

  --vault <路径>   指定 Vault 根目录。也可用环境变量 QUILLSTACK_VAULT。
                  都不给则自动在 iCloud Drive 里找。
  --version       打印版本
  --help          本帮助

这是一个 MCP server,正常情况下由 MCP host(Claude Desktop / Cursor / …)
通过 stdio 拉起,不需要手工运行。
)";
    auto unknown = [](const char* arg) { return "[quillstack-mcp] 未知参数: " + string(arg) + "(用 --help 看用法)\n"; };
    TempDir home;
    const std::tuple<std::vector<string>, int, string, string> runs[] = {{{"--version"}, 0, "quillstack 0.1.0\n", ""}, {{"-h"}, 0, usage, ""},
        {{"--vault", "/nowhere", "--help", "--bogus"}, 0, usage, ""}, {{"--vault=/x"}, 2, "", unknown("--vault=/x")},
        {{"--vault", "/a", "--vault"}, 2, "", "[quillstack-mcp] --vault 后面要跟路径\n"}, {{"--bogus", "--help"}, 2, "", unknown("--bogus")}};
    for (const auto& [args, status, out, err] : runs) EXPECT_EQ(run(args, home), std::tie(status, out, err)) << args[0];
}

// The message's wording is the locator's own test's.
TEST(Cli, NoVaultExitsOne) {
    TempDir home;
    const auto [status, out, err] = run({"--vault", home.path(), "--vault", home.at("missing")}, home);
    EXPECT_EQ(std::tie(status, out), std::tuple(1, ""));
    EXPECT_TRUE(
        err.starts_with("[quillstack-mcp] 找不到 quillstack Vault。已尝试:\n  · " + home.at("missing") + "\n  · " + home.path() + "/Library/"));
}

}  // namespace
}  // namespace qs::test
