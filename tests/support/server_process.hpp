// Runs the real quillstack-mcp binary over pipes.
#pragma once

#include <map>     // std::map
#include <string>  // std::string
#include <vector>  // std::vector

#include "child_process.hpp"
#include "json/json.hpp"

namespace qs::test {

using std::string;

// A live server for request-by-request conversations.
class ServerSession : public harness::ChildProcess {
public:
    // `env` is the child's whole environment: nothing from the test's own leaks.
    ServerSession(const std::vector<string>& args, const std::map<string, string>& env);
    // On a vault, with an empty home, in a fixed zone (eight hours east of UTC
    // by default, a POSIX rule, which gives known times of day).
    explicit ServerSession(const string& vaultRoot, const string& zone = "CST-8");
    // Sends {"jsonrpc":"2.0","id":id,"method":method,"params":params} and
    // returns the parsed reply line.
    Json request(const string& method, const Json& params = Json::object());
    // tools/call and the tool result object ("content", "isError").
    Json callTool(const string& name, const Json& arguments = Json::object());
    // The payload of a tool call, or the text of a failed one.
    Json call(const string& tool, const Json& arguments = Json::object());

private:
    int nextId_ = 1;
};

// The payload of a successful tool result (its text parsed as JSON); fails
// the test when the result is an error.
Json toolPayload(const Json& toolResult);
// The text of a tool result's single content item.
string toolText(const Json& toolResult);

}  // namespace qs::test
