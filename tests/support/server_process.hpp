// Runs the real quillstack-mcp binary over pipes.
#pragma once

#include <map>       // std::map
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

#include "json/json.hpp"

namespace qs::test {

// The built binary (set by the build) and the source tree.
std::string binaryPath();
std::string sourceDir();

struct ProcessOptions {
    std::vector<std::string> args;
    // The child's whole environment. HOME defaults to an empty temp folder's
    // path given by the caller; nothing from the test's own environment leaks.
    std::map<std::string, std::string> env;
    std::string cwd;  // empty: inherit
};

struct RunResult {
    int exitCode = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;

    std::vector<std::string> outLines() const;
    std::vector<std::string> errLines() const;
    // Every stdout line parsed as JSON (a line that is not JSON fails the test).
    std::vector<Json> replies() const;
};

// Starts the binary, writes `input` to its stdin, closes it, and collects
// everything until the process exits.
RunResult runBinary(const ProcessOptions& options, const std::string& input);

// Convenience: args {"--vault", vaultRoot}, HOME = vaultRoot's parent-free
// temp home, one JSON message per line.
RunResult runSession(const std::string& vaultRoot, const std::vector<Json>& messages,
                     std::map<std::string, std::string> extraEnv = {});

// A live server for request-by-request conversations.
class ServerSession {
public:
    explicit ServerSession(const ProcessOptions& options);
    explicit ServerSession(const std::string& vaultRoot);
    ~ServerSession();
    ServerSession(const ServerSession&) = delete;
    ServerSession& operator=(const ServerSession&) = delete;

    void sendLine(const std::string& line);
    // The next stdout line; nothing at end of output or after `timeoutMs`.
    std::optional<std::string> readLine(int timeoutMs = 20000);
    // Sends {"jsonrpc":"2.0","id":id,"method":method,"params":params} and
    // returns the parsed reply line.
    Json request(const std::string& method, const Json& params = Json::object());
    // tools/call and the tool result object ("content", "isError").
    Json callTool(const std::string& name, const Json& arguments = Json::object());
    // Closes our end of the child's stdout, as a client that stops reading.
    void closeOutput();
    // Closes stdin and waits; returns the exit status. Collects stderr.
    int finish();
    const std::string& stderrText() const { return err_; }
    int pid() const { return pid_; }

private:
    int pid_ = -1;
    int in_ = -1, out_ = -1, errFd_ = -1;
    std::string outBuf_;
    std::string err_;
    int nextId_ = 1;
    bool finished_ = false;
    int status_ = -1;
};

// The payload of a successful tool result (its text parsed as JSON); fails
// the test when the result is an error.
Json toolPayload(const Json& toolResult);
// The text of a tool result's single content item.
std::string toolText(const Json& toolResult);

}  // namespace qs::test
