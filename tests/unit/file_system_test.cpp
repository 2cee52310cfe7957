// The POSIX file seam: existence, listing, reading into reused buffers,
// folder creation, atomic replacement and exclusive creation.
#include "platform/file_system.hpp"

#include <gtest/gtest.h>
#include <fcntl.h>     // AT_FDCWD
#include <sys/stat.h>  // stat, chmod, umask, mkfifo, utimensat
#include <unistd.h>    // symlink

#include <algorithm>  // std::sort, std::count
#include <array>      // std::array
#include <tuple>      // std::tuple
#include <utility>    // std::move

#include "support/temp_vault.hpp"

namespace qs::platform {
namespace {

using test::TempDir;
using Names = std::vector<std::string>;

mode_t modeOf(const std::string& path) {
    struct stat st{};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// Existence follows links; a listing reports a link as itself.
TEST(FileSystem, ExistenceAndListing) {
    TempDir dir;
    dir.write("f.txt", "x");
    dir.write(".hidden", "");
    dir.write("d/inner.txt", "");
    ASSERT_EQ(::symlink(dir.at("d").c_str(), dir.at("link").c_str()), 0);
    ASSERT_EQ(::symlink(dir.at("gone").c_str(), dir.at("dangling").c_str()), 0);
    for (const auto& [name, exists, directory] : {std::tuple{"f.txt", true, false}, {"d", true, true}, {"link", true, true},
                                                  {"dangling", false, false}, {"missing", false, false}}) {
        EXPECT_EQ(platform::exists(dir.at(name)), exists) << name;
        EXPECT_EQ(isDirectory(dir.at(name)), directory) << name;
        // An open folder answers the same, for names below it too.
        EXPECT_EQ(FolderHandle(dir.path()).has(name), exists) << name;
    }
    FolderHandle moved(dir.path());
    FolderHandle holder = std::move(moved);
    EXPECT_TRUE(holder.has("d/inner.txt"));
    EXPECT_TRUE(holder.has("link/inner.txt"));
    EXPECT_FALSE(moved.has("f.txt"));
    EXPECT_FALSE(FolderHandle(dir.at("missing")).has("f.txt"));
    EXPECT_FALSE(FolderHandle(dir.at("f.txt")).has("f.txt"));
    auto all = listDirectory(dir.path(), false, false);
    ASSERT_TRUE(all);
    Names names;
    for (const auto& e : *all) {
        names.push_back(e.name);
        EXPECT_FALSE(e.isDirectory.has_value());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{".hidden", "d", "dangling", "f.txt", "link"}));
    auto visible = listDirectory(dir.path(), true, true);
    ASSERT_TRUE(visible);
    ASSERT_EQ(visible->size(), 4u);
    for (const auto& e : *visible) EXPECT_EQ(e.isDirectory, e.name == "d") << e.name;
    EXPECT_FALSE(listDirectory(dir.at("missing"), false, false));
    EXPECT_FALSE(listDirectory(dir.at("f.txt"), false, false));
}

// An evicted file is told by one bit of its flags, whatever else is set;
// an ordinary file never carries it.
TEST(FileSystem, DatalessFlagAndFileFlags) {
    for (const auto& [flags, dataless] : {std::pair<uint32_t, bool>{0, false}, {0x40000000, true},
                                          {0x40000000 | 0x00000020 | 0x00008000, true}, {0x80000000, false},
                                          {0xBFFFFFFF, false}, {0xFFFFFFFF, true}}) {
        EXPECT_EQ(isDataless(flags), dataless) << std::hex << flags;
    }
    TempDir dir;
    dir.write("f.txt", "x");
    auto flags = fileFlags(dir.at("f.txt"));
    ASSERT_TRUE(flags.has_value());
    EXPECT_FALSE(isDataless(*flags));
    EXPECT_TRUE(fileFlags(dir.path()).has_value());
    EXPECT_FALSE(fileFlags(dir.at("missing")).has_value());
}

TEST(FileSystem, ReadsWholeFilesIntoReusedBuffers) {
    TempDir dir;
    const std::string big(300000, 'x');
    dir.write("big", big);
    dir.write("small", "tiny");
    dir.write("empty", "");
    std::string buffer;
    for (const auto& [name, content] : {std::pair<const char*, std::string>{"big", big}, {"small", "tiny"}, {"empty", ""}}) {
        ASSERT_EQ(readFileInto(dir.at(name), buffer, 1 << 20), ReadStatus::ok) << name;
        EXPECT_EQ(buffer, content) << name;
    }
    EXPECT_EQ(readFile(dir.at("big"), big.size()), big);
    // What is no regular file of bounded size is never read: a pipe would
    // block the open, a device never end.
    ASSERT_EQ(::mkfifo(dir.at("pipe").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("/dev/zero", dir.at("zero").c_str()), 0);
    const std::pair<std::string, ReadStatus> refused[] = {
        {dir.at("missing"), ReadStatus::absent},    {dir.path(), ReadStatus::unreadable},
        {dir.at("pipe"), ReadStatus::notRegular},   {dir.at("zero"), ReadStatus::notRegular},
        {dir.at("big"), ReadStatus::tooLarge},
    };
    for (const auto& [path, status] : refused) {
        EXPECT_EQ(readFileInto(path, buffer, big.size() - 1), status) << path;
        EXPECT_TRUE(buffer.empty()) << path;
    }
}

TEST(FileSystem, CreatesFolderChainsAndReportsWhatStandsInTheWay) {
    TempDir dir;
    EXPECT_FALSE(createDirectories(dir.at("a/b/c")));
    EXPECT_TRUE(isDirectory(dir.at("a/b/c")));
    EXPECT_FALSE(createDirectories(dir.at("a/b/")));  // already there
    dir.write("plain", "x");
    EXPECT_EQ(createDirectories(dir.at("plain")), std::optional<std::string>("File exists"));
    EXPECT_EQ(createDirectories(dir.at("plain/sub/deeper")), std::optional<std::string>("Not a directory"));
    EXPECT_EQ(dir.read("plain"), "x");
}

// Replacing keeps the permissions, and replaces a planted link instead of
// writing through it.
TEST(FileSystem, AtomicWriteReplacesWholeFiles) {
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
    dir.write("outside/secret", "keep");
    ASSERT_EQ(::symlink(dir.at("outside/secret").c_str(), dir.at("target").c_str()), 0);
    ASSERT_FALSE(writeFileAtomic(dir.at("target"), ""));
    EXPECT_EQ(dir.read("outside/secret"), "keep");
    EXPECT_EQ(dir.read("target"), "");
    EXPECT_EQ(dir.list(""), (Names{"note.md", "outside", "target"}));
}

TEST(FileSystem, ExclusiveCreateNeverReplaces) {
    TempDir dir;
    std::string error;
    bool taken = true;
    ASSERT_TRUE(createFileExclusive(dir.at("entry.txt"), "one", &error, &taken));
    EXPECT_FALSE(taken);
    EXPECT_FALSE(createFileExclusive(dir.at("entry.txt"), "two", &error, &taken));
    EXPECT_TRUE(taken);
    EXPECT_EQ(error, "File exists");
    EXPECT_EQ(dir.read("entry.txt"), "one");
    EXPECT_FALSE(createFileExclusive(dir.at("missing/x"), "three", &error, &taken));
    EXPECT_FALSE(taken);
    EXPECT_EQ(dir.list(""), Names{"entry.txt"});
}

// What a killed writer left (its hidden temporary, an hour old) goes; a
// temporary being written now and everything else stay.
TEST(FileSystem, RemovesOnlyStaleTemporaries) {
    TempDir dir;
    auto stage = [&](const std::string& target) {
        std::string error;
        auto staged = StagedFile::stage(dir.at(target), "x", &error);
        EXPECT_TRUE(staged) << error;
        return std::move(*staged);
    };
    StagedFile old = stage("a.md");
    Names before = dir.list("");
    ASSERT_EQ(before.size(), 1u);
    const std::string oldTemp = dir.at(before[0]);
    ::utimensat(AT_FDCWD, oldTemp.c_str(), std::array<timespec, 2>{timespec{1, 0}, timespec{1, 0}}.data(), 0);
    StagedFile fresh = stage("b.md");
    dir.write(".hidden.tmp-keep", "");
    removeStaleTemporaries(dir.path(), std::chrono::hours(1));
    Names after = dir.list("");
    EXPECT_EQ(after.size(), 2u);
    EXPECT_EQ(std::count(after.begin(), after.end(), before[0]), 0);
    EXPECT_EQ(fresh.replace(dir.at("b.md")), std::nullopt);
    EXPECT_EQ(dir.read("b.md"), "x");
}

}  // namespace
}  // namespace qs::platform
