// The process entry: command line, vault location, serving.
#pragma once

#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

namespace qs {

struct CommandLine {
    enum class Action { serve, version, help, error };
    Action action = Action::serve;
    std::optional<std::string> vaultPath;
    std::string errorMessage;  // the log record for Action::error
};

// Arguments without the program path, handled strictly left to right.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The whole program; returns the exit status.
int runProgram(const std::vector<std::string>& arguments);

}  // namespace qs
