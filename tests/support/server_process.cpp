// Child-process plumbing for the end-to-end tests.
#include "support/server_process.hpp"

#include <gtest/gtest.h>

#include <algorithm>  // std::min
#include <cstdlib>    // std::getenv
#include <thread>     // std::thread

namespace qs::test {
namespace {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        size_t nl = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    return lines;
}

// The child's options: the built binary, and the sanitizer settings and PATH
// passed on, since the sanitizer build needs its options in the child too.
harness::ChildOptions childOptions(const ProcessOptions& options) {
    harness::ChildOptions child{QS_BINARY_PATH, options.args, options.env, ""};
    for (const char* keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "PATH"}) {
        if (const char* v = std::getenv(keep); v && !options.env.count(keep)) child.env->emplace(keep, v);
    }
    return child;
}

ProcessOptions vaultOptions(const std::string& vaultRoot) {
    // A fixed zone (a POSIX rule, eight hours east of UTC) gives known times of day.
    return {{"--vault", vaultRoot}, {{"HOME", vaultRoot + "/.no-home"}, {"LANG", "C.UTF-8"}, {"TZ", "CST-8"}}};
}

}  // namespace

std::string sourceDir() { return QS_SOURCE_DIR; }

std::vector<std::string> RunResult::outLines() const { return splitLines(out); }

std::vector<Json> RunResult::replies() const {
    std::vector<Json> parsed;
    for (const auto& line : outLines()) {
        parsed.push_back(parseJsonDocument(line).value_or(Json(Json::value_t::discarded)));
        EXPECT_FALSE(parsed.back().is_discarded()) << "stdout line is not JSON: " << line;
    }
    return parsed;
}

RunResult runBinary(const ProcessOptions& options, const std::string& input) {
    harness::ChildProcess child(childOptions(options));
    // Written from a thread while the output is read, so a child filling
    // its stdout never blocks the writer.
    std::thread writer([&child, &input] {
        child.write(input);
        child.closeInput();
    });
    RunResult result;
    child.drain(&result.out);
    writer.join();
    result.exitCode = child.finish();
    result.err = child.stderrText();
    return result;
}

RunResult runSession(const std::string& vaultRoot, const std::vector<Json>& messages) {
    std::string input;
    for (const auto& m : messages) input += m.dump() + "\n";
    return runBinary(vaultOptions(vaultRoot), input);
}

ServerSession::ServerSession(const ProcessOptions& options) : child_(childOptions(options)) {}
ServerSession::ServerSession(const std::string& vaultRoot) : ServerSession(vaultOptions(vaultRoot)) {}

Json ServerSession::request(const std::string& method, const Json& params) {
    int id = nextId_++;
    sendLine(Json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}}.dump());
    auto line = child_.readLine(20000);
    if (!line) {
        ADD_FAILURE() << "no reply to " << method;
        return Json();
    }
    Json reply = Json::parse(*line, nullptr, false);
    EXPECT_FALSE(reply.is_discarded()) << *line;
    EXPECT_EQ(reply.value("id", Json()), Json(id));
    return reply;
}

Json ServerSession::callTool(const std::string& name, const Json& arguments) {
    Json reply = request("tools/call", Json{{"name", name}, {"arguments", arguments}});
    if (!reply.contains("result")) {
        ADD_FAILURE() << "tools/call " << name << " answered " << reply.dump();
        return Json();
    }
    return reply["result"];
}

Json toolPayload(const Json& toolResult) {
    EXPECT_EQ(toolResult.value("isError", true), false) << toolResult.dump();
    std::string text = toolText(toolResult);
    Json payload = Json::parse(text, nullptr, false);
    EXPECT_FALSE(payload.is_discarded()) << text;
    return payload;
}

std::string toolText(const Json& toolResult) {
    if (!toolResult.contains("content") || !toolResult["content"].is_array() || toolResult["content"].empty()) {
        ADD_FAILURE() << "not a tool result: " << toolResult.dump();
        return "";
    }
    return toolResult["content"][0].value("text", "");
}

}  // namespace qs::test
