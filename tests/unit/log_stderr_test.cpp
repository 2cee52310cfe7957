// The diagnostic record: prefix, one line feed, standard error only.
#include "platform/log.hpp"

#include <gtest/gtest.h>

#include "support/fd_capture.hpp"

namespace qs {
namespace {

TEST(LogStderr, WritesWholePrefixedRecordsToStandardErrorOnly) {
    test::FdCapture out(1);
    test::FdCapture err(2);
    logStderr("");
    logStderr("找不到\n  · /a");  // only the first line is prefixed
    logStderr(std::string("nul\0inside", 10));
    logStderr(std::string(100000, 'x'));
    EXPECT_EQ(err.finish(), "[quillstack-mcp] \n[quillstack-mcp] 找不到\n  · /a\n" +
                                std::string("[quillstack-mcp] nul\0inside\n", 28) + "[quillstack-mcp] " +
                                std::string(100000, 'x') + "\n");
    EXPECT_EQ(out.finish(), "");
}

}  // namespace
}  // namespace qs
