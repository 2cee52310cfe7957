// Captures what the code under test writes to a file descriptor (stdout or
// stderr) by pointing the descriptor at a temporary file for a while.
#pragma once

#include <cstdio>    // std::tmpfile, std::fflush
#include <string>    // std::string
#include <unistd.h>  // dup, dup2, lseek, read, close

namespace qs::test {

class FdCapture {
public:
    explicit FdCapture(int fd) : fd_(fd) {
        std::fflush(nullptr);
        saved_ = ::dup(fd_);
        file_ = std::tmpfile();
        if (file_) ::dup2(::fileno(file_), fd_);
    }
    ~FdCapture() { restore(); }
    FdCapture(const FdCapture&) = delete;
    FdCapture& operator=(const FdCapture&) = delete;

    // Everything written so far; the descriptor keeps being captured.
    std::string text() const {
        std::string out;
        if (!file_) return out;
        int f = ::fileno(file_);
        off_t end = ::lseek(f, 0, SEEK_CUR);
        char buf[4096];
        for (off_t pos = 0; pos < end;) {
            ssize_t n = ::pread(f, buf, sizeof buf, pos);
            if (n <= 0) break;
            out.append(buf, static_cast<size_t>(n));
            pos += n;
        }
        return out;
    }

    // Points the descriptor back where it was and returns what was captured.
    std::string finish() {
        std::string out = text();
        restore();
        return out;
    }

private:
    void restore() {
        if (saved_ >= 0) {
            std::fflush(nullptr);
            ::dup2(saved_, fd_);
            ::close(saved_);
            saved_ = -1;
        }
        if (file_) {
            std::fclose(file_);
            file_ = nullptr;
        }
    }

    int fd_;
    int saved_ = -1;
    std::FILE* file_ = nullptr;
};

}  // namespace qs::test
