// The command line, taken strictly left to right.
#include <gtest/gtest.h>

#include "cli/command_line.hpp"

using qs::CommandLine;
using Action = CommandLine::Action;

TEST(CommandLine, ArgumentsAreTakenLeftToRight) {
    struct Case {
        std::vector<std::string> args;
        Action action;
        std::optional<std::string> vaultPath;
        std::string errorMessage;
    };
    const Case cases[] = {
        {{}, Action::serve, std::nullopt, ""},
        {{"--vault", "/a", "--vault", "/b"}, Action::serve, "/b", ""},
        {{"--vault", "--help"}, Action::serve, "--help", ""},  // whatever follows is the path
        {{"--vault", ""}, Action::serve, "", ""},
        {{"--version", "--help"}, Action::version, std::nullopt, ""},
        {{"-h"}, Action::help, std::nullopt, ""},
        {{"--help", "--bogus"}, Action::help, std::nullopt, ""},  // answered before the rest is looked at
        {{"--vault", "/a", "--vault"}, Action::error, std::nullopt, "--vault 后面要跟路径"},
        {{"--bogus", "--help"}, Action::error, std::nullopt, "未知参数: --bogus(用 --help 看用法)"},
        {{"--vault=/x"}, Action::error, std::nullopt, "未知参数: --vault=/x(用 --help 看用法)"},
        {{"--Help"}, Action::error, std::nullopt, "未知参数: --Help(用 --help 看用法)"},
        {{"/some/vault"}, Action::error, std::nullopt, "未知参数: /some/vault(用 --help 看用法)"},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const auto& a : c.args) shown += "[" + a + "]";
        CommandLine line = qs::parseCommandLine(c.args);
        EXPECT_EQ(line.action, c.action) << shown;
        if (c.action != Action::error) {
            EXPECT_EQ(line.vaultPath, c.vaultPath) << shown;
        }
        EXPECT_EQ(line.errorMessage, c.errorMessage) << shown;
    }
}
