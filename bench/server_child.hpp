// A child process driven line by line over pipes: the server under test, or the generator.
#pragma once

#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <sys/types.h>  // pid_t
#include <vector>       // std::vector

namespace qs::Bench {

class ServerChild {
public:
    // Starts `binary` with `args` and the benchmark's own environment; its
    // standard error goes to `stderrPath` (or is discarded when empty).
    // Throws std::runtime_error when the process cannot be started.
    ServerChild(const std::string& binary, const std::vector<std::string>& args, const std::string& stderrPath = {});
    ~ServerChild();
    ServerChild(const ServerChild&) = delete;
    ServerChild& operator=(const ServerChild&) = delete;

    // False when the child no longer reads its input.
    bool sendLine(std::string_view line);
    // The next output line without its line feed; nothing at end of output
    // or when `timeoutMs` passes first.
    std::optional<std::string> readLine(int timeoutMs);
    // True once the child closed its output (it exited or will not answer).
    bool outputClosed() const { return out_ < 0; }
    // VmHWM of /proc/<pid>/status in KiB, while the child runs.
    std::optional<long> peakRssKb() const;
    // Closes the child's input and waits up to `timeoutMs`, then kills this
    // child. Returns the exit status (128 + signal when killed).
    int finish(int timeoutMs = 10000);
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string buffer_;
    bool finished_ = false;
    int status_ = -1;
};

// Runs a program to completion with its output discarded to `logPath`;
// returns its exit status, or -1 when it cannot be started.
int runToCompletion(const std::string& binary, const std::vector<std::string>& args, const std::string& logPath);

}  // namespace qs::Bench
