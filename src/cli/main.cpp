// Process entry point.
#include <string>  // std::string
#include <vector>  // std::vector

#include "cli/command_line.hpp"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    return qs::runProgram(arguments);
}
