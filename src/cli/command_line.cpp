// Start-up: the command line, locating the vault, then serving until input ends.
#include "cli/command_line.hpp"

#include <csignal>      // std::signal, SIGPIPE
#include <memory>       // std::unique_ptr
#include <string_view>  // std::string_view

#include "platform/log.hpp"
#include "protocol/mcp_server.hpp"
#include "vault/vault_locator.hpp"

namespace qs {
namespace {

constexpr std::string_view kUsageText =
    "用法: quillstack-mcp [--vault <路径>]\n"
    "\n"
    "  --vault <路径>   指定 Vault 根目录。也可用环境变量 QUILLSTACK_VAULT。\n"
    "                  都不给则自动在 iCloud Drive 里找。\n"
    "  --version       打印版本\n"
    "  --help          本帮助\n"
    "\n"
    "这是一个 MCP server,正常情况下由 MCP host(Claude Desktop / Cursor / …)\n"
    "通过 stdio 拉起,不需要手工运行。";

CommandLine failed(std::string message) {
    CommandLine line;
    line.action = CommandLine::Action::error;
    line.errorMessage = std::move(message);
    return line;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--vault") {
            // The next argument is the path, whatever it looks like.
            if (i + 1 == arguments.size()) return failed("--vault 后面要跟路径");
            line.vaultPath = arguments[++i];
        } else if (argument == "--version") {
            line.action = CommandLine::Action::version;
            return line;
        } else if (argument == "--help" || argument == "-h") {
            line.action = CommandLine::Action::help;
            return line;
        } else {
            return failed("未知参数: " + argument + "(用 --help 看用法)");
        }
    }
    return line;
}

int runProgram(const std::vector<std::string>& arguments) {
    // A client that closes our output must end the loop through a failed
    // write, not kill the process with a signal.
    std::signal(SIGPIPE, SIG_IGN);

    CommandLine line = parseCommandLine(arguments);
    switch (line.action) {
    case CommandLine::Action::version: writeAll(1, "quillstack " + std::string(kServerVersion) + "\n"); return 0;
    case CommandLine::Action::help: writeAll(1, std::string(kUsageText) + "\n"); return 0;
    case CommandLine::Action::error: logStderr(line.errorMessage); return 2;
    case CommandLine::Action::serve: break;
    }

    std::optional<Vault> vault;
    try {
        auto located = VaultLocator::locate(Platform::systemFileSystem(), line.vaultPath);
        if (!located) {
            logStderr(located.error().description());
            return 1;
        }
        vault = std::move(*located);
    } catch (const std::exception& error) {
        logStderr(error.what());
        return 1;
    }
    const std::unique_ptr<Transport> transport = fdTransport(0, 1);
    MCPServer(std::move(*vault), *transport).run();
    return 0;
}

}  // namespace qs
