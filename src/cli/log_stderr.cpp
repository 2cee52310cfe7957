// Diagnostics go to fd 2 in one unbuffered write so records never interleave.
#include "cli/log_stderr.hpp"

#include <cerrno>    // errno, EINTR
#include <string>    // std::string
#include <unistd.h>  // write

namespace qs {

void writeStderr(std::string_view bytes) {
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(2, data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;  // nowhere left to report a failing write
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
}

void logStderr(std::string_view message) {
    std::string record;
    record.reserve(message.size() + 20);
    record.append("[quillstack-mcp] ").append(message).push_back('\n');
    writeStderr(record);
}

}  // namespace qs
