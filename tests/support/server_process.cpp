// Child-process plumbing for the end-to-end tests.
#include "support/server_process.hpp"

#include <gtest/gtest.h>

#include <cstdlib>  // std::getenv

namespace qs::test {
namespace {

// The child's options: the built binary, and the sanitizer settings and PATH
// passed on, since the sanitizer build needs its options in the child too.
harness::ChildOptions childOptions(const std::vector<string>& args, std::map<string, string> env) {
    for (const char* keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "PATH"}) {
        if (const char* v = std::getenv(keep)) env.emplace(keep, v);
    }
    return {QS_BINARY_PATH, args, env, ""};
}

}  // namespace

ServerSession::ServerSession(const std::vector<string>& args, const std::map<string, string>& env) : ChildProcess(childOptions(args, env)) {}
ServerSession::ServerSession(const string& vaultRoot, const string& zone)
    : ServerSession({"--vault", vaultRoot}, {{"HOME", vaultRoot + "/.no-home"}, {"LANG", "C.UTF-8"}, {"TZ", zone}}) {}

Json ServerSession::request(const string& method, const Json& params) {
    const int id = nextId_++;
    sendLine(Json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}}.dump());
    auto line = readLine(20000);
    Json reply = Json::parse(line.value_or("null"), nullptr, false);
    EXPECT_TRUE(reply.is_object() && reply["id"] == id) << method << ": " << line.value_or("no reply");
    return reply;
}

Json ServerSession::callTool(const string& name, const Json& arguments) {
    Json reply = request("tools/call", Json{{"name", name}, {"arguments", arguments}});
    EXPECT_TRUE(reply.contains("result")) << name << " answered " << reply;
    return reply.value("result", Json::object());
}

Json ServerSession::call(const string& tool, const Json& arguments) {
    const Json result = callTool(tool, arguments);
    return result.value("isError", false) ? Json(toolText(result)) : toolPayload(result);
}

Json toolPayload(const Json& toolResult) {
    EXPECT_EQ(toolResult.value("isError", true), false) << toolResult;
    return Json::parse(toolText(toolResult), nullptr, false);
}

string toolText(const Json& toolResult) {
    const Json text = toolResult.value(Json::json_pointer("/content/0/text"), Json());
    EXPECT_TRUE(text.is_string()) << "not a tool result: " << toolResult;
    return text.is_string() ? text.get<string>() : "";
}

}  // namespace qs::test
