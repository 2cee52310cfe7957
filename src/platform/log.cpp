// Diagnostics go to fd 2 in one unbuffered write so records never interleave.
#include "platform/log.hpp"

#include <poll.h>    // poll, POLLOUT
#include <unistd.h>  // write

#include <algorithm>  // std::min
#include <cerrno>     // errno, EINTR, EAGAIN
#include <string>     // std::string

namespace qs {

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        // Capped so one call never asks the kernel for more than it takes.
        ssize_t n = ::write(fd, data.data(), std::min<size_t>(data.size(), size_t{1} << 30));
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // Wait instead of spinning on a parent's non-blocking pipe.
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, -1);
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

void writeStderr(std::string_view bytes) {
    // Nowhere is left to report a failing write of the log itself.
    (void)writeAll(2, bytes);
}

void logStderr(std::string_view message) {
    std::string record;
    record.reserve(message.size() + 20);
    record.append("[quillstack-mcp] ").append(message).push_back('\n');
    writeStderr(record);
}

}  // namespace qs
