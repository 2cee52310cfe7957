// The POSIX file seam: existence, listing, reading into reused buffers,
// folder creation, atomic replacement and exclusive creation.
#include "platform/file_system.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>  // stat, chmod, umask
#include <unistd.h>    // symlink

#include <algorithm>  // std::sort

#include "support/temp_vault.hpp"

namespace qs::platform {
namespace {

using test::TempDir;

mode_t modeOf(const std::string& path) {
    struct stat st{};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(FileSystem, ExistenceFollowsLinks) {
    TempDir dir;
    dir.write("f.txt", "x");
    dir.mkdir("d");
    ASSERT_EQ(::symlink(dir.at("d").c_str(), dir.at("link-to-d").c_str()), 0);
    ASSERT_EQ(::symlink(dir.at("gone").c_str(), dir.at("dangling").c_str()), 0);
    struct Case {
        const char* name;
        bool exists, directory;
    } cases[] = {{"f.txt", true, false}, {"d", true, true}, {"link-to-d", true, true},
                 {"dangling", false, false}, {"missing", false, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(exists(dir.at(c.name)), c.exists) << c.name;
        EXPECT_EQ(isDirectory(dir.at(c.name)), c.directory) << c.name;
    }
}

TEST(FileSystem, ListsOneLevelWithOptionalHiddenAndKind) {
    TempDir dir;
    dir.write("a.txt", "");
    dir.write(".hidden", "");
    dir.write("sub/inner.txt", "");
    ASSERT_EQ(::symlink(dir.at("sub").c_str(), dir.at("link").c_str()), 0);
    auto all = listDirectory(dir.path(), false, false);
    ASSERT_TRUE(all);
    std::vector<std::string> names;
    for (const auto& e : *all) {
        names.push_back(e.name);
        EXPECT_FALSE(e.isDirectory.has_value());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".hidden", "a.txt", "link", "sub"}));

    auto visible = listDirectory(dir.path(), true, true);
    ASSERT_TRUE(visible);
    ASSERT_EQ(visible->size(), 3u);
    for (const auto& e : *visible) {
        ASSERT_TRUE(e.isDirectory.has_value()) << e.name;
        // A link reports itself, not the folder it points to.
        EXPECT_EQ(*e.isDirectory, e.name == "sub") << e.name;
    }
    EXPECT_FALSE(listDirectory(dir.at("missing"), false, false));
    EXPECT_FALSE(listDirectory(dir.at("a.txt"), false, false));
}

TEST(FileSystem, ReadsWholeFilesIntoReusedBuffers) {
    TempDir dir;
    std::string big(300000, 'x');
    dir.write("big", big);
    dir.write("small", "tiny");
    dir.write("empty", "");
    std::string buffer;
    ASSERT_TRUE(readFileInto(dir.at("big"), buffer));
    EXPECT_EQ(buffer, big);
    ASSERT_TRUE(readFileInto(dir.at("small"), buffer));
    EXPECT_EQ(buffer, "tiny");
    ASSERT_TRUE(readFileInto(dir.at("empty"), buffer));
    EXPECT_EQ(buffer, "");
    EXPECT_FALSE(readFileInto(dir.at("missing"), buffer));
    EXPECT_FALSE(readFile(dir.path()));  // a folder is not a file
    EXPECT_EQ(readFile(dir.at("big")), big);
}

TEST(FileSystem, CreatesFolderChainsAndReportsWhatStandsInTheWay) {
    TempDir dir;
    EXPECT_FALSE(createDirectories(dir.at("a/b/c")));
    EXPECT_TRUE(isDirectory(dir.at("a/b/c")));
    EXPECT_FALSE(createDirectories(dir.at("a/b/c")));  // already there
    EXPECT_FALSE(createDirectories(dir.at("a/b/")));
    dir.write("plain", "x");
    EXPECT_EQ(createDirectories(dir.at("plain")), std::optional<std::string>("File exists"));
    EXPECT_EQ(createDirectories(dir.at("plain/sub/deeper")), std::optional<std::string>("Not a directory"));
    EXPECT_EQ(dir.read("plain"), "x");
}

TEST(FileSystem, AtomicWriteReplacesAndKeepsThePermissions) {
    TempDir dir;
    const std::string path = dir.at("note.md");
    ASSERT_FALSE(writeFileAtomic(path, "first"));
    mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(modeOf(path), 0666 & ~mask);
    ::chmod(path.c_str(), 0640);
    ASSERT_FALSE(writeFileAtomic(path, "second, longer"));
    EXPECT_EQ(dir.read("note.md"), "second, longer");
    EXPECT_EQ(modeOf(path), 0640u);
    ASSERT_FALSE(writeFileAtomic(path, ""));
    EXPECT_EQ(dir.read("note.md"), "");
    EXPECT_EQ(dir.list(""), std::vector<std::string>{"note.md"});
}

TEST(FileSystem, AtomicWriteReplacesALinkInsteadOfFollowingIt) {
    TempDir dir;
    dir.write("outside/secret", "keep");
    ASSERT_EQ(::symlink(dir.at("outside/secret").c_str(), dir.at("target").c_str()), 0);
    ASSERT_FALSE(writeFileAtomic(dir.at("target"), "new"));
    EXPECT_EQ(dir.read("outside/secret"), "keep");
    EXPECT_EQ(dir.read("target"), "new");
}

TEST(FileSystem, ExclusiveCreateNeverReplaces) {
    TempDir dir;
    const std::string path = dir.at("entry.txt");
    std::string error;
    bool taken = true;
    ASSERT_TRUE(createFileExclusive(path, "one", &error, &taken));
    EXPECT_FALSE(taken);
    EXPECT_FALSE(createFileExclusive(path, "two", &error, &taken));
    EXPECT_TRUE(taken);
    EXPECT_EQ(error, "File exists");
    EXPECT_EQ(dir.read("entry.txt"), "one");
    EXPECT_FALSE(createFileExclusive(dir.at("missing/x"), "three", &error, &taken));
    EXPECT_FALSE(taken);
    EXPECT_EQ(dir.list(""), std::vector<std::string>{"entry.txt"});
}

}  // namespace
}  // namespace qs::platform
