// Captures what the code under test writes to a file descriptor (stdout or
// stderr) by pointing the descriptor at a temporary file for a while.
#pragma once

#include <cstdio>    // std::tmpfile, std::fflush, std::fread
#include <string>    // std::string
#include <unistd.h>  // dup, dup2, close

namespace qs::test {

class FdCapture {
public:
    explicit FdCapture(int fd) : fd_(fd), file_(std::tmpfile()) {
        if (!file_) return;  // nothing captured: finish() returns ""
        std::fflush(nullptr);
        saved_ = ::dup(fd_);
        ::dup2(::fileno(file_), fd_);
    }
    ~FdCapture() { finish(); }
    FdCapture(const FdCapture&) = delete;
    FdCapture& operator=(const FdCapture&) = delete;

    // Points the descriptor back where it was and returns what was captured.
    std::string finish() {
        std::string out;
        if (saved_ < 0) return out;
        std::fflush(nullptr);
        ::dup2(saved_, fd_);
        ::close(saved_);
        saved_ = -1;
        std::rewind(file_);
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, file_)) > 0;) out.append(buf, n);
        std::fclose(file_);
        return out;
    }

private:
    int fd_;
    std::FILE* file_;
    int saved_ = -1;
};

}  // namespace qs::test
