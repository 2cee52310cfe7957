// Archive names claimed by exclusive create, never by test-then-write.
#include "tools/minutes_archive.hpp"

#include <gtest/gtest.h>

#include <string>  // std::string
#include <vector>  // std::vector

#include "support/temp_vault.hpp"
#include "vault/vault_io.hpp"

namespace qs::WriteTools {
namespace {

// The counter says where to start looking: a summary copy follows its minutes copy's name.
TEST(WriteArchiveCopy, TakesTheFirstFreeNameFromTheGivenCounter) {
    test::TempDir dir;
    const Vault vault{dir.path()};
    const std::string stamped = dir.at("h/X/2025-03-02T081500Z.min.md");
    const std::pair<unsigned, unsigned> steps[] = {{1, 1}, {1, 2}, {5, 5}, {3, 3}, {3, 4}, {4, 6}};  // from, taken
    int n = 0;
    for (const auto& [from, taken] : steps) {
        std::string data = "copy " + std::to_string(++n) + " \xff raw";
        std::string name = "2025-03-02T081500Z" + (taken == 1 ? std::string() : "-" + std::to_string(taken)) + ".min.md";
        ArchiveCopy copy = writeArchiveCopy(vault, data, stamped, ".min.md", from);
        EXPECT_EQ(copy.path, dir.at("h/X/" + name));
        EXPECT_EQ(copy.counter, taken);
        EXPECT_EQ(dir.read("h/X/" + name), data);
    }
    EXPECT_EQ(dir.list("h/X").size(), 6u);
}

}  // namespace
}  // namespace qs::WriteTools
