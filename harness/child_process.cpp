// posix_spawn plumbing; replies are read with a deadline, so a hung or
// crashed child turns into an error rather than a hang.
#include "child_process.hpp"

#include <fcntl.h>     // O_CLOEXEC, fcntl
#include <poll.h>      // poll
#include <spawn.h>     // posix_spawn
#include <sys/wait.h>  // waitpid
#include <unistd.h>    // pipe2 (Linux), pipe, close, read, write
#include <cerrno>      // errno, EINTR
#include <chrono>      // std::chrono::steady_clock
#include <csignal>     // kill, signal
#include <cstring>     // std::strerror
#include <fstream>     // std::ifstream
#include <stdexcept>   // std::runtime_error

extern char** environ;

namespace qs::harness {
namespace {

// A close-on-exec pipe. macOS has no pipe2: the flag follows at once, and
// the spawn closes every descriptor it was not told to pass anyway.
int cloexecPipe(int fds[2]) {
#if defined(__linux__)
    return ::pipe2(fds, O_CLOEXEC);
#else
    if (::pipe(fds) != 0) return -1;
    for (int i = 0; i < 2; ++i) ::fcntl(fds[i], F_SETFD, FD_CLOEXEC);
    return 0;
#endif
}

using Clock = std::chrono::steady_clock;

// What is left of `deadline` as a poll timeout; -1 waits for ever.
int remaining(Clock::time_point deadline, int timeoutMs) {
    if (timeoutMs < 0) return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// One read into `sink` (discarded when null); closes `fd` at its end.
void readSome(int& fd, std::string* sink) {
    char buf[1 << 16];
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0 && sink) sink->append(buf, static_cast<std::size_t>(n));
    if (n == 0 || (n < 0 && errno != EINTR)) closeFd(fd);
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    p.reserve(strings.size() + 1);
    for (auto& s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

}  // namespace

ChildProcess::ChildProcess(const ChildOptions& options) {
    // A child that dies early must surface as a failed write, not end us.
    static bool sigpipeIgnored = (std::signal(SIGPIPE, SIG_IGN), true);
    (void)sigpipeIgnored;
    int in[2], out[2], err[2];
    // Close-on-exec, so a child spawned meanwhile from another thread never
    // inherits these ends: a stray copy of a stdin write end would keep that
    // child from ever seeing the end of its input.
    if (cloexecPipe(in) || cloexecPipe(out) || cloexecPipe(err)) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    if (!options.cwd.empty()) {
#if defined(__ENVIRONMENT_MAC_OS_X_VERSION_MIN_REQUIRED__) && __ENVIRONMENT_MAC_OS_X_VERSION_MIN_REQUIRED__ >= 260000
        // macOS 26 has the standard call and deprecates the _np one.
        posix_spawn_file_actions_addchdir(&actions, options.cwd.c_str());
#else
        posix_spawn_file_actions_addchdir_np(&actions, options.cwd.c_str());
#endif
    }

    std::vector<std::string> args{options.binary}, env;
    args.insert(args.end(), options.args.begin(), options.args.end());
    if (options.env) {
        for (const auto& [k, v] : *options.env) env.emplace_back(k).append(1, '=').append(v);
    }
    std::vector<char*> argv = pointers(args), envp = pointers(env);
    int rc = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), options.env ? envp.data() : environ);
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : {in[0], out[1], err[1]}) ::close(fd);
    in_ = in[1];
    out_ = out[0];
    errFd_ = err[0];
    if (rc != 0) {
        finished_ = true;
        for (int* fd : {&in_, &out_, &errFd_}) closeFd(*fd);
        throw std::runtime_error("cannot start " + options.binary + ": " + std::strerror(rc));
    }
}

ChildProcess::~ChildProcess() {
    if (!finished_) ::kill(pid_, SIGKILL);  // only the child this object started
    finish();
}

bool ChildProcess::write(std::string_view data) {
    for (std::size_t done = 0; done < data.size();) {
        if (in_ < 0) return false;
        ssize_t n = ::write(in_, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;  // EPIPE: the child is gone (SIGPIPE is ignored)
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<std::string> ChildProcess::readLine(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t nl;
    while ((nl = outBuf_.find('\n')) == std::string::npos) {
        if (out_ < 0) return std::nullopt;  // a last line without a line feed is no reply
        pollfd fds[2] = {{out_, POLLIN, 0}, {errFd_, POLLIN, 0}};
        int ready = ::poll(fds, 2, remaining(deadline, timeoutMs));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        if (fds[1].revents) readSome(errFd_, &err_);
        if (fds[0].revents) readSome(out_, &outBuf_);
    }
    std::string line = outBuf_.substr(0, nl);
    outBuf_.erase(0, nl + 1);
    return line;
}

void ChildProcess::closeInput() { closeFd(in_); }
void ChildProcess::closeOutput() { closeFd(out_); }

void ChildProcess::drain(std::string* out) {
    while (out_ >= 0 || errFd_ >= 0) {
        pollfd fds[2] = {{out_, POLLIN, 0}, {errFd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;  // EINTR
        if (fds[0].revents) readSome(out_, out);
        if (fds[1].revents) readSome(errFd_, &err_);
    }
}

int ChildProcess::finish() {
    if (finished_) return status_;
    finished_ = true;
    closeInput();
    drain(nullptr);
    int status = 0;
    pid_t done;
    while ((done = ::waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {
    }
    if (done < 0) return status_ = -1;
    return status_ = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

std::optional<long> statusKiB(int pid, std::string_view field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        long kib = 0;
        if (key.size() == field.size() + 1 && key.compare(0, field.size(), field) == 0 && key.back() == ':') {
            return status >> kib ? std::optional<long>(kib) : std::nullopt;
        }
        status.ignore(1 << 12, '\n');
    }
    return std::nullopt;
}

}  // namespace qs::harness
