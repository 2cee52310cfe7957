// The diagnostic record: prefix, one line feed, standard error only.
#include "cli/log_stderr.hpp"

#include <gtest/gtest.h>

#include "support/fd_capture.hpp"

namespace qs {
namespace {

TEST(LogStderr, WritesOnePrefixedRecordToStandardErrorOnly) {
    struct Case {
        std::string message;
        std::string record;
    } cases[] = {
        {"", "[quillstack-mcp] \n"},
        {"started (quillstack 0.1.0)", "[quillstack-mcp] started (quillstack 0.1.0)\n"},
        {"找不到\n  · /a", "[quillstack-mcp] 找不到\n  · /a\n"},  // only the first line is prefixed
        {std::string("nul\0inside", 10), std::string("[quillstack-mcp] nul\0inside\n", 28)},
    };
    for (const auto& c : cases) {
        test::FdCapture out(1);
        test::FdCapture err(2);
        logStderr(c.message);
        EXPECT_EQ(err.finish(), c.record);
        EXPECT_EQ(out.finish(), "");
    }
}

TEST(LogStderr, RecordsFollowEachOtherWhole) {
    test::FdCapture err(2);
    logStderr("one");
    logStderr(std::string(100000, 'x'));
    logStderr("three");
    EXPECT_EQ(err.finish(), "[quillstack-mcp] one\n[quillstack-mcp] " + std::string(100000, 'x') +
                                "\n[quillstack-mcp] three\n");
}

}  // namespace
}  // namespace qs
