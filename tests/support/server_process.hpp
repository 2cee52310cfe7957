// Runs the real quillstack-mcp binary over pipes.
#pragma once

#include <map>     // std::map
#include <string>  // std::string
#include <vector>  // std::vector

#include "child_process.hpp"
#include "json/json.hpp"

namespace qs::test {

// The source tree (set by the build).
std::string sourceDir();

struct ProcessOptions {
    std::vector<std::string> args;
    // The child's whole environment. HOME defaults to an empty temp folder's
    // path given by the caller; nothing from the test's own environment leaks.
    std::map<std::string, std::string> env;
};

struct RunResult {
    // exit status, or 128 + signal
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Starts the binary, writes `input` to its stdin, closes it, and collects
// everything until the process exits.
RunResult runBinary(const ProcessOptions& options, const std::string& input);

// A live server for request-by-request conversations.
class ServerSession {
public:
    explicit ServerSession(const ProcessOptions& options);
    explicit ServerSession(const std::string& vaultRoot);

    void sendLine(const std::string& line) { child_.sendLine(line); }
    // Sends {"jsonrpc":"2.0","id":id,"method":method,"params":params} and
    // returns the parsed reply line.
    Json request(const std::string& method, const Json& params = Json::object());
    // tools/call and the tool result object ("content", "isError").
    Json callTool(const std::string& name, const Json& arguments = Json::object());
    // Closes our end of the child's stdout, as a client that stops reading.
    void closeOutput() { child_.closeOutput(); }
    // Closes stdin and waits; returns the exit status. Collects stderr.
    int finish() { return child_.finish(); }
    const std::string& stderrText() const { return child_.stderrText(); }
    int pid() const { return child_.pid(); }

private:
    harness::ChildProcess child_;
    int nextId_ = 1;
};

// The payload of a successful tool result (its text parsed as JSON); fails
// the test when the result is an error.
Json toolPayload(const Json& toolResult);
// The text of a tool result's single content item.
std::string toolText(const Json& toolResult);

}  // namespace qs::test
