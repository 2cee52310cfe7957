// Captures what the code under test writes to a file descriptor (stdout or
// stderr) by pointing the descriptor at a temporary file for a while.
#pragma once

#include <unistd.h>  // dup, dup2, close

#include <cstdio>  // std::tmpfile, std::fflush, std::fread
#include <string>  // std::string

namespace qs::test {

class FdCapture {
public:
    explicit FdCapture(int fd) : fd_(fd), file_(std::tmpfile()), saved_(::dup(fd)) {
        std::fflush(nullptr);
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
        for (int c; (c = std::fgetc(file_)) != EOF;) out += static_cast<char>(c);
        std::fclose(file_);
        return out;
    }

private:
    int fd_;
    std::FILE* file_;
    int saved_;
};

}  // namespace qs::test
