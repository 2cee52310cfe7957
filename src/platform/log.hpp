// The single diagnostic channel, one record per call on standard error, and
// the one loop that writes a whole buffer to a descriptor.
#pragma once

#include <string_view>  // std::string_view

namespace qs {

// Writes all of `data` to `fd`, through EINTR and short writes; waits when a
// parent handed us a non-blocking pipe. False when the write failed (EPIPE
// and the like: the reader is gone).
bool writeAll(int fd, std::string_view data);

// Writes "[quillstack-mcp] " + message + "\n" to standard error in one write.
// A multi-line message is written unchanged (only its first line is prefixed).
void logStderr(std::string_view message);

// Writes the bytes to standard error as they are, without the prefix, for
// the few lines whose exact form is fixed elsewhere.
void writeStderr(std::string_view bytes);

}  // namespace qs
