// Child-process plumbing for the end-to-end tests.
#include "support/server_process.hpp"

#include <gtest/gtest.h>

#include <cerrno>      // errno
#include <csignal>     // kill, signal
#include <cstring>     // strerror
#include <fcntl.h>     // O_CLOEXEC
#include <poll.h>      // poll
#include <spawn.h>     // posix_spawn
#include <stdexcept>   // std::runtime_error
#include <sys/wait.h>  // waitpid
#include <thread>      // std::thread
#include <unistd.h>    // pipe2, close, read, write

namespace qs::test {
namespace {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    return lines;
}

int spawnChild(const ProcessOptions& options, int* inFd, int* outFd, int* errFd) {
    static bool sigpipeIgnored = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)sigpipeIgnored;
    int inPipe[2], outPipe[2], errPipe[2];
    // Close-on-exec, so a child spawned meanwhile from another thread (or a
    // later session) never inherits these ends: a stray copy of a stdin write
    // end would keep that server from ever seeing the end of its input.
    if (::pipe2(inPipe, O_CLOEXEC) || ::pipe2(outPipe, O_CLOEXEC) || ::pipe2(errPipe, O_CLOEXEC)) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) {
        posix_spawn_file_actions_addclose(&actions, fd);
    }
    if (!options.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.cwd.c_str());

    std::vector<std::string> argStrings{binaryPath()};
    argStrings.insert(argStrings.end(), options.args.begin(), options.args.end());
    std::vector<char*> argv;
    for (auto& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStrings;
    for (const auto& [k, v] : options.env) envStrings.push_back(k + "=" + v);
    // The sanitizer build needs its options to reach the child too.
    for (const char* keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "PATH"}) {
        if (const char* v = std::getenv(keep); v && !options.env.count(keep)) {
            envStrings.push_back(std::string(keep) + "=" + v);
        }
    }
    std::vector<char*> envp;
    for (auto& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(inPipe[0]);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (rc != 0) throw std::runtime_error(std::string("posix_spawn failed: ") + std::strerror(rc));
    *inFd = inPipe[1];
    *outFd = outPipe[0];
    *errFd = errPipe[0];
    return pid;
}

int decodeStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

bool writeAll(int fd, const std::string& data) {
    size_t off = 0;
    while (off < data.size()) {
        ssize_t n = ::write(fd, data.data() + off, data.size() - off);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        off += static_cast<size_t>(n);
    }
    return true;
}

std::map<std::string, std::string> defaultEnv(const std::string& home) {
    return {{"HOME", home}, {"LANG", "C.UTF-8"}};
}

}  // namespace

std::string binaryPath() { return QS_BINARY_PATH; }
std::string sourceDir() { return QS_SOURCE_DIR; }

std::vector<std::string> RunResult::outLines() const { return splitLines(out); }
std::vector<std::string> RunResult::errLines() const { return splitLines(err); }

std::vector<Json> RunResult::replies() const {
    std::vector<Json> parsed;
    for (const auto& line : outLines()) {
        Json j = Json::parse(line, nullptr, false);
        EXPECT_FALSE(j.is_discarded()) << "stdout line is not JSON: " << line;
        parsed.push_back(std::move(j));
    }
    return parsed;
}

RunResult runBinary(const ProcessOptions& options, const std::string& input) {
    int in, out, err;
    pid_t pid = spawnChild(options, &in, &out, &err);
    std::thread writer([in, &input] {
        writeAll(in, input);
        ::close(in);
    });
    RunResult result;
    pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
    int open = 2;
    char buf[65536];
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                (i == 0 ? result.out : result.err).append(buf, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    writer.join();
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitCode = decodeStatus(status);
    return result;
}

RunResult runSession(const std::string& vaultRoot, const std::vector<Json>& messages,
                     std::map<std::string, std::string> extraEnv) {
    ProcessOptions options;
    options.args = {"--vault", vaultRoot};
    options.env = defaultEnv(vaultRoot + "/.no-home");
    for (auto& [k, v] : extraEnv) options.env[k] = v;
    std::string input;
    for (const auto& m : messages) input += m.dump() + "\n";
    return runBinary(options, input);
}

ServerSession::ServerSession(const ProcessOptions& options) { pid_ = spawnChild(options, &in_, &out_, &errFd_); }

ServerSession::ServerSession(const std::string& vaultRoot)
    : ServerSession(ProcessOptions{{"--vault", vaultRoot}, defaultEnv(vaultRoot + "/.no-home"), ""}) {}

ServerSession::~ServerSession() {
    if (!finished_) {
        ::kill(pid_, SIGKILL);
        finish();
    }
}

void ServerSession::sendLine(const std::string& line) { writeAll(in_, line + "\n"); }

std::optional<std::string> ServerSession::readLine(int timeoutMs) {
    char buf[65536];
    for (;;) {
        size_t nl = outBuf_.find('\n');
        if (nl != std::string::npos) {
            std::string line = outBuf_.substr(0, nl);
            outBuf_.erase(0, nl + 1);
            return line;
        }
        // stderr is drained as we go so a chatty child never blocks on it.
        pollfd fds[2] = {{out_, POLLIN, 0}, {errFd_, POLLIN, 0}};
        int rc = ::poll(fds, errFd_ >= 0 ? 2 : 1, timeoutMs);
        if (rc <= 0) return std::nullopt;
        if (errFd_ >= 0 && (fds[1].revents & (POLLIN | POLLHUP))) {
            ssize_t n = ::read(errFd_, buf, sizeof buf);
            if (n > 0) {
                err_.append(buf, static_cast<size_t>(n));
            } else {
                ::close(errFd_);
                errFd_ = -1;
            }
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            ssize_t n = ::read(out_, buf, sizeof buf);
            if (n <= 0) return std::nullopt;
            outBuf_.append(buf, static_cast<size_t>(n));
        }
    }
}

Json ServerSession::request(const std::string& method, const Json& params) {
    int id = nextId_++;
    sendLine(Json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}}.dump());
    auto line = readLine();
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

void ServerSession::closeOutput() {
    if (out_ >= 0) ::close(out_);
    out_ = -1;
}

int ServerSession::finish() {
    if (finished_) return status_;
    if (in_ >= 0) ::close(in_);
    in_ = -1;
    char buf[65536];
    for (int fd : {out_, errFd_}) {
        if (fd < 0) continue;
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) > 0) {
            if (fd == errFd_) err_.append(buf, static_cast<size_t>(n));
        }
        ::close(fd);
    }
    out_ = errFd_ = -1;
    int status = 0;
    ::waitpid(pid_, &status, 0);
    finished_ = true;
    status_ = decodeStatus(status);
    return status_;
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
