// A child process driven over pipes, line by line: the server under test,
// for the end-to-end tests and for the stdio benchmark alike.
#pragma once

#include <map>          // std::map
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

namespace qs::harness {

struct ChildOptions {
    std::string binary;
    std::vector<std::string> args;
    // The child's whole environment; nothing: it inherits ours.
    std::optional<std::map<std::string, std::string>> env;
    std::string cwd;  // empty: inherit
};

class ChildProcess {
public:
    // Throws std::runtime_error when the process cannot be started.
    explicit ChildProcess(const ChildOptions& options);
    // Kills a child that was not finished, and reaps it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Writes all of `data` to the child's stdin; false once it no longer reads.
    bool write(std::string_view data);
    bool sendLine(std::string_view line) { return write(std::string(line) + '\n'); }
    // The next stdout line without its line feed; nothing at the end of the
    // output or after `timeoutMs` (negative: no limit). Stderr is collected
    // meanwhile, so a chatty child never blocks on it.
    std::optional<std::string> readLine(int timeoutMs);
    [[nodiscard]] bool outputClosed() const { return out_ < 0; }
    void closeInput();
    // Closes our end of stdout, as a client that stops reading.
    void closeOutput();
    // Reads stdout (appended to `out` when given) and stderr to their end.
    void drain(std::string* out);
    // Closes stdin, drains, waits for the child to end and reaps it.
    // Returns the exit status, or 128 + signal.
    int finish();
    [[nodiscard]] const std::string& stderrText() const { return err_; }
    [[nodiscard]] int pid() const { return pid_; }

private:
    int pid_ = -1;
    int in_ = -1, out_ = -1, errFd_ = -1;
    std::string outBuf_, err_;
    bool finished_ = false;
    int status_ = -1;
};

// A field of /proc/<pid>/status in KiB ("VmRSS", "VmHWM"); nothing when unreadable.
std::optional<long> statusKiB(int pid, std::string_view field);

}  // namespace qs::harness
