// The single diagnostic channel: one record per call on standard error.
#pragma once

#include <string_view>  // std::string_view

namespace qs {

// Writes "[quillstack-mcp] " + message + "\n" to standard error in one write.
// A multi-line message is written unchanged (only its first line is prefixed).
void logStderr(std::string_view message);

// Writes the bytes to standard error as they are, without the prefix, for
// the few lines whose exact form is fixed elsewhere.
void writeStderr(std::string_view bytes);

}  // namespace qs
