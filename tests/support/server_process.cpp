// Child-process plumbing for the end-to-end tests.
#include "support/server_process.hpp"

#include <gtest/gtest.h>

#include <cerrno>      // errno
#include <csignal>     // kill, signal
#include <cstring>     // strerror
#include <fcntl.h>     // O_CLOEXEC, fcntl
#include <poll.h>      // poll
#include <spawn.h>     // posix_spawn
#include <stdexcept>   // std::runtime_error
#include <sys/wait.h>  // waitpid
#include <thread>      // std::thread
#include <unistd.h>    // pipe2 (Linux), pipe, close, read, write

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

// A close-on-exec pipe. macOS has no pipe2: the flag follows at once, and
// the spawn below closes every descriptor it was not told to pass anyway.
int cloexecPipe(int fds[2]) {
#if defined(__linux__)
    return ::pipe2(fds, O_CLOEXEC);
#else
    if (::pipe(fds) != 0) return -1;
    for (int i = 0; i < 2; ++i) ::fcntl(fds[i], F_SETFD, FD_CLOEXEC);
    return 0;
#endif
}

int spawnChild(const ProcessOptions& options, int* inFd, int* outFd, int* errFd) {
    // A child that dies early must not take the test down with it.
    static bool sigpipeIgnored = (std::signal(SIGPIPE, SIG_IGN), true);
    (void)sigpipeIgnored;
    int in[2], out[2], err[2];
    // Close-on-exec, so a child spawned meanwhile from another thread never
    // inherits these ends: a stray copy of a stdin write end would keep that
    // server from ever seeing the end of its input.
    if (cloexecPipe(in) || cloexecPipe(out) || cloexecPipe(err)) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    if (!options.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.cwd.c_str());

    std::vector<std::string> args{binaryPath()};
    args.insert(args.end(), options.args.begin(), options.args.end());
    std::vector<std::string> env;
    for (const auto& [k, v] : options.env) env.push_back(k + "=" + v);
    // The sanitizer build needs its options to reach the child too.
    for (const char* keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "PATH"}) {
        if (const char* v = std::getenv(keep); v && !options.env.count(keep)) env.push_back(std::string(keep) + "=" + v);
    }
    auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> p;
        for (auto& s : strings) p.push_back(s.data());
        p.push_back(nullptr);
        return p;
    };
    std::vector<char*> argv = pointers(args), envp = pointers(env);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
#if defined(POSIX_SPAWN_CLOEXEC_DEFAULT)
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_CLOEXEC_DEFAULT);
#endif
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : {in[0], out[1], err[1]}) ::close(fd);
    if (rc != 0) throw std::runtime_error(std::string("posix_spawn failed: ") + std::strerror(rc));
    *inFd = in[1];
    *outFd = out[0];
    *errFd = err[0];
    return pid;
}

int reap(int pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

void writeAll(int fd, const std::string& data) {
    for (size_t off = 0; off < data.size();) {
        ssize_t n = ::write(fd, data.data() + off, data.size() - off);
        if (n < 0 && errno != EINTR) return;
        if (n > 0) off += static_cast<size_t>(n);
    }
}

// Reads both pipes to their end (together, so a child filling one never
// blocks) and closes them; a null sink discards.
void drain(int& out, int& err, std::string* outText, std::string* errText) {
    pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
    std::string* sinks[2] = {outText, errText};
    char buf[65536];
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (::poll(fds, 2, -1) < 0) continue;  // EINTR
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !fds[i].revents) continue;
            ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0 && sinks[i]) sinks[i]->append(buf, static_cast<size_t>(n));
            if (n == 0 || (n < 0 && errno != EINTR)) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
            }
        }
    }
    out = err = -1;
}

ProcessOptions vaultOptions(const std::string& vaultRoot) {
    return {{"--vault", vaultRoot}, {{"HOME", vaultRoot + "/.no-home"}, {"LANG", "C.UTF-8"}}, ""};
}

}  // namespace

std::string binaryPath() { return QS_BINARY_PATH; }
std::string sourceDir() { return QS_SOURCE_DIR; }

std::vector<std::string> RunResult::outLines() const { return splitLines(out); }
std::vector<std::string> RunResult::errLines() const { return splitLines(err); }

std::vector<Json> RunResult::replies() const {
    std::vector<Json> parsed;
    for (const auto& line : outLines()) {
        parsed.push_back(Json::parse(line, nullptr, false));
        EXPECT_FALSE(parsed.back().is_discarded()) << "stdout line is not JSON: " << line;
    }
    return parsed;
}

RunResult runBinary(const ProcessOptions& options, const std::string& input) {
    int in, out, err;
    int pid = spawnChild(options, &in, &out, &err);
    std::thread writer([in, &input] {
        writeAll(in, input);
        ::close(in);
    });
    RunResult result;
    drain(out, err, &result.out, &result.err);
    writer.join();
    result.exitCode = reap(pid);
    return result;
}

RunResult runSession(const std::string& vaultRoot, const std::vector<Json>& messages,
                     std::map<std::string, std::string> extraEnv) {
    ProcessOptions options = vaultOptions(vaultRoot);
    for (auto& [k, v] : extraEnv) options.env[k] = v;
    std::string input;
    for (const auto& m : messages) input += m.dump() + "\n";
    return runBinary(options, input);
}

ServerSession::ServerSession(const ProcessOptions& options) { pid_ = spawnChild(options, &in_, &out_, &errFd_); }

ServerSession::ServerSession(const std::string& vaultRoot) : ServerSession(vaultOptions(vaultRoot)) {}

ServerSession::~ServerSession() {
    if (!finished_) ::kill(pid_, SIGKILL);
    finish();
}

void ServerSession::sendLine(const std::string& line) { writeAll(in_, line + "\n"); }

std::optional<std::string> ServerSession::readLine(int timeoutMs) {
    char buf[65536];
    for (size_t nl; (nl = outBuf_.find('\n')) == std::string::npos;) {
        // stderr is drained as we go so a chatty child never blocks on it.
        pollfd fds[2] = {{out_, POLLIN, 0}, {errFd_, POLLIN, 0}};
        if (::poll(fds, 2, timeoutMs) <= 0) return std::nullopt;
        if (fds[1].revents) {
            ssize_t n = ::read(errFd_, buf, sizeof buf);
            if (n > 0) {
                err_.append(buf, static_cast<size_t>(n));
            } else {
                ::close(errFd_);
                errFd_ = -1;
            }
        }
        if (fds[0].revents) {
            ssize_t n = ::read(out_, buf, sizeof buf);
            if (n <= 0) return std::nullopt;
            outBuf_.append(buf, static_cast<size_t>(n));
        }
    }
    size_t nl = outBuf_.find('\n');
    std::string line = outBuf_.substr(0, nl);
    outBuf_.erase(0, nl + 1);
    return line;
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
    drain(out_, errFd_, nullptr, &err_);
    finished_ = true;
    return status_ = reap(pid_);
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
