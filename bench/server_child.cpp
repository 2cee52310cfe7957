// posix_spawn plumbing with bounded waits, so a hung or crashed server turns into an error, not a hang.
#include "server_child.hpp"

#include <cerrno>      // errno, EINTR
#include <chrono>      // std::chrono::steady_clock
#include <csignal>     // SIGKILL, SIGPIPE, std::signal
#include <cstring>     // std::strerror
#include <fcntl.h>     // O_WRONLY, O_CREAT
#include <fstream>     // std::ifstream
#include <poll.h>      // poll
#include <spawn.h>     // posix_spawn
#include <stdexcept>   // std::runtime_error
#include <sys/wait.h>  // waitpid
#include <thread>      // std::this_thread::sleep_for
#include <unistd.h>    // pipe, read, write, close

extern char** environ;

namespace qs::Bench {
namespace {

using Clock = std::chrono::steady_clock;

pid_t spawnWithPipes(const std::string& binary, const std::vector<std::string>& args, const std::string& errPath,
                     int* inFd, int* outFd) {
    int inPipe[2], outPipe[2];
    if (::pipe(inPipe) != 0) throw std::runtime_error("pipe failed");
    if (::pipe(outPipe) != 0) {
        ::close(inPipe[0]);
        ::close(inPipe[1]);
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.empty() ? "/dev/null" : errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1]}) posix_spawn_file_actions_addclose(&actions, fd);

    std::vector<std::string> argStrings{binary};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(inPipe[0]);
    ::close(outPipe[1]);
    if (rc != 0) {
        ::close(inPipe[1]);
        ::close(outPipe[0]);
        throw std::runtime_error("cannot start " + binary + ": " + std::strerror(rc));
    }
    *inFd = inPipe[1];
    *outFd = outPipe[0];
    return pid;
}

int decodeStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

ServerChild::ServerChild(const std::string& binary, const std::vector<std::string>& args, const std::string& stderrPath) {
    // A server that died must surface as a failed write, not kill the benchmark.
    static const bool sigpipeIgnored = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)sigpipeIgnored;
    pid_ = spawnWithPipes(binary, args, stderrPath, &in_, &out_);
}

ServerChild::~ServerChild() { finish(2000); }

bool ServerChild::sendLine(std::string_view line) {
    if (in_ < 0) return false;
    std::string data(line);
    data += '\n';
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(in_, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;  // EPIPE: the child is gone (SIGPIPE is ignored)
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<std::string> ServerChild::readLine(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        if (auto nl = buffer_.find('\n'); nl != std::string::npos) {
            std::string line = buffer_.substr(0, nl);
            buffer_.erase(0, nl + 1);
            return line;
        }
        if (out_ < 0) return std::nullopt;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return std::nullopt;
        pollfd p{out_, POLLIN, 0};
        int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char chunk[1 << 16];
        ssize_t n = ::read(out_, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(out_);
            out_ = -1;
            continue;  // a last line without a line feed is not a reply
        }
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

std::optional<long> ServerChild::peakRssKb() const {
    if (finished_) return std::nullopt;
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            long kb = 0;
            if (status >> kb) return kb;
            return std::nullopt;
        }
        status.ignore(1 << 12, '\n');
    }
    return std::nullopt;
}

int ServerChild::finish(int timeoutMs) {
    if (finished_) return status_;
    finished_ = true;
    if (in_ >= 0) ::close(in_);
    in_ = -1;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid_, &status, WNOHANG)) == 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (done == 0) {
        ::kill(pid_, SIGKILL);  // only the child this object started
        ::waitpid(pid_, &status, 0);
    }
    if (out_ >= 0) ::close(out_);
    out_ = -1;
    status_ = done < 0 ? -1 : decodeStatus(status);
    return status_;
}

int runToCompletion(const std::string& binary, const std::vector<std::string>& args, const std::string& logPath) {
    try {
        int in = -1, out = -1;
        pid_t pid = spawnWithPipes(binary, args, logPath, &in, &out);
        ::close(in);
        char sink[1 << 12];
        while (::read(out, sink, sizeof sink) > 0) {
        }
        ::close(out);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return decodeStatus(status);
    } catch (const std::runtime_error&) {
        return -1;
    }
}

}  // namespace qs::Bench
