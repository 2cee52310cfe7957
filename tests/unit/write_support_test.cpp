// The write tools' never-overwrite writes: fresh ids and archive names claimed by exclusive create.
#include "tools/write_support.hpp"

#include <gtest/gtest.h>

#include <string>  // std::string
#include <vector>  // std::vector

#include "support/temp_vault.hpp"
#include "tools/minutes_archive.hpp"
#include "vault/vault_io.hpp"

namespace qs::WriteTools {
namespace {

// A repeated id (which a sound UUID source never draws) must not replace an entry.
TEST(WriteUnderFreshId, DrawsAgainRatherThanReplaceAnExistingFile) {
    test::TempDir dir;
    dir.write("day/A.memo.txt", "someone else's entry");
    std::vector<std::string> draws{"A", "B"};
    size_t next = 0;
    auto pathFor = [&](const std::string& id) { return dir.at("day/" + id + ".memo.txt"); };
    EXPECT_EQ(writeUnderFreshId("mine", pathFor, [&] { return draws.at(next++); }), "B");
    EXPECT_EQ(dir.read("day/A.memo.txt"), "someone else's entry");
    EXPECT_EQ(dir.read("day/B.memo.txt"), "mine");

    // Nothing but taken names: a failure, and still nothing replaced.
    EXPECT_THROW(writeUnderFreshId("again", pathFor, [] { return std::string("A"); }), VaultIO::WriteError);
    EXPECT_EQ(dir.read("day/A.memo.txt"), "someone else's entry");
}

TEST(WriteArchiveCopy, TakesTheFirstFreeNameFromTheGivenCounter) {
    test::TempDir dir;
    const std::string stamped = dir.at("h/X/2025-03-02T081500Z.min.md");
    struct Step {
        unsigned from;
        std::string name;
        unsigned counter;
    };
    const Step steps[] = {
        {1, "2025-03-02T081500Z.min.md", 1},
        {1, "2025-03-02T081500Z-2.min.md", 2},  // plain name taken
        {5, "2025-03-02T081500Z-5.min.md", 5},  // a summary copy following its minutes copy
        {3, "2025-03-02T081500Z-3.min.md", 3},
        {3, "2025-03-02T081500Z-4.min.md", 4},
        {4, "2025-03-02T081500Z-6.min.md", 6},
    };
    int n = 0;
    for (const auto& step : steps) {
        std::string data = "copy " + std::to_string(++n) + " \xff raw";
        ArchiveCopy copy = writeArchiveCopy(data, stamped, ".min.md", step.from);
        EXPECT_EQ(copy.path, dir.at("h/X/" + step.name));
        EXPECT_EQ(copy.counter, step.counter);
        EXPECT_EQ(dir.read("h/X/" + step.name), data);
    }
    EXPECT_EQ(dir.list("h/X").size(), 6u);
}

}  // namespace
}  // namespace qs::WriteTools
