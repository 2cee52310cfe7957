// The OS seam: existence and listing, bounded reads, atomic and exclusive
// writes, folder chains, stale temporaries and folder locks.
#include <fcntl.h>  // AT_FDCWD
#include <gtest/gtest.h>
#include <sys/stat.h>  // stat, chmod, umask, mkfifo, utimensat
#include <unistd.h>    // symlink

#include <set>  // std::multiset

#include "platform/file_system.hpp"
#include "platform/folder_lock.hpp"
#include "support/temp_vault.hpp"

using namespace qs::Platform;

// Existence follows links; a listing reports a link as itself.
TEST(FileSystem, ExistenceAndListing) {
    qs::test::TempDir dir;
    dir.write(".d/f", "x");
    ASSERT_EQ(::symlink(dir.at(".d").c_str(), dir.at("link").c_str()), 0);
    ASSERT_EQ(::symlink(dir.at("gone").c_str(), dir.at("dangling").c_str()), 0);
    // Each asked of the path, of the open folder, for its flags, and whether it is a folder.
    for (const auto& [name, exists, folder] : {std::tuple{".d/f", true, false}, {"link", true, true}, {"dangling", false, false}})
        EXPECT_EQ((std::tuple{qs::Platform::exists(dir.at(name)), FolderHandle(dir.path()).has(name),
                              fileFlags(dir.at(name)).has_value(), isDirectory(dir.at(name))}),
                  (std::tuple{exists, exists, exists, folder})) << name;
    FolderHandle moved(dir.path()), holder(std::move(moved));
    EXPECT_TRUE(holder.has("link/f") && !moved.has(".d"));
    std::multiset<std::string> names;  // both listings; "/" marks a folder, "-" anything else, when asked for
    for (bool kinds : {false, true})
        for (const auto& e : listDirectory(dir.path(), kinds, kinds).value_or(std::vector<DirEntry>{}))
            names.insert(e.name + (e.isDirectory ? (*e.isDirectory ? "/" : "-") : ""));
    EXPECT_EQ(names, (std::multiset<std::string>{".d", "dangling", "dangling-", "link", "link-"}));
}

// What is no regular file of bounded size is never read: a pipe would block the open.
TEST(FileSystem, ReadsRegularFilesOfBoundedSize) {
    qs::test::TempDir dir;
    dir.write("f", "tiny");
    ASSERT_EQ(::mkfifo(dir.at("pipe").c_str(), 0644), 0);
    EXPECT_EQ(readFile(dir.at("f"), 4), "tiny");  // exactly at the limit
    std::string buffer;
    for (const auto& [path, status] : {std::pair{dir.at("gone"), ReadStatus::absent}, {dir.at("f/x"), ReadStatus::absent},
                                       {dir.path(), ReadStatus::unreadable}, {dir.at("pipe"), ReadStatus::notRegular},
                                       {dir.at("f"), ReadStatus::tooLarge}})
        EXPECT_EQ(readFileInto(path, buffer, 3), status) << path;
}

// Replacing keeps the permissions; an exclusive create never replaces
// anything; neither leaves a temporary behind.
TEST(FileSystem, AtomicAndExclusiveWritesAndFolderChains) {
    qs::test::TempDir dir;
    auto mode = [&](const char* name) { struct stat st{}; ::stat(dir.at(name).c_str(), &st); return st.st_mode & 0777; };
    dir.write("plain", "");
    ASSERT_FALSE(writeFileAtomic(dir.at("note"), "first"));
    EXPECT_EQ(mode("note"), mode("plain"));  // a new file's usual permissions
    ::chmod(dir.at("note").c_str(), 0640);
    ASSERT_FALSE(writeFileAtomic(dir.at("note"), "second"));
    EXPECT_EQ(mode("note"), 0640u);
    std::string error;
    bool taken = true;
    for (const auto& [name, created, wasTaken, message] : {std::tuple{"entry", true, false, ""}, {"entry", false, true, "File exists"},
                                                           {"gone/x", false, false, "No such file or directory"}})
        EXPECT_EQ((std::tuple{createFileExclusive(dir.at(name), created ? "one" : "two", &error, &taken), taken, error}),
                  (std::tuple{created, wasTaken, std::string(message)})) << name;
    EXPECT_EQ(dir.list(""), (std::vector<std::string>{"entry", "note", "plain"}));
    for (const auto& [path, result] : {std::pair{dir.at("a/b/c"), std::optional<std::string>()}, {dir.at("note"), "File exists"},
                                       {dir.at("note/sub/deeper"), "Not a directory"}, {"", "No such file or directory"}})
        EXPECT_EQ(createDirectories(path), result) << path;
}

// What a killed writer left (its hidden temporary, an hour old) goes; a
// temporary being written now stays.
TEST(FileSystem, RemovesOnlyStaleTemporaries) {
    qs::test::TempDir dir;
    auto old = StagedFile::stage(dir.at("a.md"), "x", nullptr);
    const timespec epoch[2] = {};
    for (const auto& name : dir.list("")) ::utimensat(AT_FDCWD, dir.at(name).c_str(), epoch, 0);
    auto fresh = StagedFile::stage(dir.at("b.md"), "y", nullptr);
    removeStaleTemporaries(dir.path(), std::chrono::hours(1));
    EXPECT_FALSE(fresh.value().replace(dir.at("b.md")));
    EXPECT_EQ(dir.list(""), (std::vector<std::string>{"b.md"}));
}

TEST(FolderLock, OneHolderPerFolderUntilReleased) {
    qs::test::TempDir dir;
    FolderLock first = FolderLock::acquire(dir.path(), {}), moved(std::move(first));
    EXPECT_TRUE(moved.held() && !first.held());
    // Another open of the folder is another holder, even in this process.
    EXPECT_EQ(FolderLock::acquire(dir.path(), {}).status(), FolderLock::Status::timedOut);
    moved = FolderLock::acquire(dir.at("gone"), {});  // letting go, as destruction does
    EXPECT_TRUE(FolderLock::acquire(dir.path(), {}).held());
    EXPECT_TRUE(FolderLock::acquire(dir.path(), {}).held());
    // The lock file of a folder that cannot be opened, never through a link planted at its name.
    ASSERT_EQ(::symlink(dir.at(".lock").c_str(), dir.at(".link").c_str()), 0);
    EXPECT_EQ(FolderLock::acquireFile(dir.at(".link"), {}).status(), FolderLock::Status::unsupported);
    EXPECT_TRUE(FolderLock::acquireFile(dir.at(".lock"), {}).held());
}
