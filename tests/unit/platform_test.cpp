// The system's file services behind the seam: existence and listing, bounded
// reads, staged writes and claims, folder chains, stale temporaries, folder
// locks, change notifications.
#include <fcntl.h>  // AT_FDCWD
#include <gtest/gtest.h>
#include <sys/stat.h>  // stat, chmod, umask, mkfifo, utimensat
#include <unistd.h>    // symlink, rmdir

#include <cerrno>    // EEXIST, ENOTDIR, ENOENT
#include <cstdio>    // std::rename, std::remove
#include <optional>  // std::optional
#include <set>       // std::multiset
#include <tuple>     // std::tuple
#include <vector>    // std::vector

#include "platform/file_system.hpp"
#include "platform/folder_lock.hpp"
#include "support/simulated_cloud.hpp"
#include "support/temp_vault.hpp"

using namespace qs::Platform;
using qs::test::TempDir;
using Kind = Error::Kind;
using Names = std::vector<std::string>;
// The kind of a failure, or nothing for success.
template <class T>
std::optional<Kind> kindOf(const qs::Expected<T, Error>& result) {
    return result ? std::nullopt : std::optional(result.error().kind);
}

// Existence follows links; a listing reports a link as itself.
TEST(FileSystem, ExistenceAndListing) {
    TempDir dir;
    auto fs = systemFileSystem();
    dir.write(".d/f", "x");
    ASSERT_EQ(::symlink(dir.at(".d").c_str(), dir.at("link").c_str()), 0);
    ASSERT_EQ(::symlink(dir.at("gone").c_str(), dir.at("dangling").c_str()), 0);
    // Each asked of the path, whether it is a folder, and its folder stamp, alone and among its neighbours.
    for (const auto& [name, exists, folder] : {std::tuple{".d/f", true, false}, {"link", true, true}, {"dangling", false, false}})
        EXPECT_EQ((std::tuple{fs->exists(dir.at(name)), fs->stat(dir.at(name)).hasValue() && fs->stat(dir.at(name))->isDirectory,
                      fs->stampOf(dir.at(name), true).has_value(), fs->folderStamps(dir.path(), {".d", name, "gone"})[1]}),
            (std::tuple{exists, folder, folder, fs->stampOf(dir.at(name), true)}))
            << name;
    std::multiset<std::string> names;  // both listings; "/" marks a folder, "-" anything else, when asked for
    for (bool kinds : {false, true})
        for (const auto& e : fs->list(dir.path(), kinds, kinds).value()) names.insert(e.name + (e.isDirectory ? (*e.isDirectory ? "/" : "-") : ""));
    EXPECT_EQ(names, (std::multiset<std::string>{".d", "dangling", "dangling-", "link", "link-"}));
    EXPECT_EQ(kindOf(fs->list(dir.at("gone"), false, false)), Kind::absent);
}

// What is no regular file of bounded size is never read: a pipe would block the open.
TEST(FileSystem, ReadsRegularFilesOfBoundedSize) {
    TempDir dir;
    auto fs = systemFileSystem();
    dir.write("f", "tiny");
    ASSERT_EQ(::mkfifo(dir.at("pipe").c_str(), 0644), 0);
    std::string buffer;
    // exactly at the limit
    ASSERT_TRUE(fs->readInto(dir.at("f"), buffer, 4));
    EXPECT_EQ(buffer, "tiny");
    for (const auto& [path, kind] : {std::pair{dir.at("gone"), Kind::absent}, {dir.at("f/x"), Kind::absent}, {dir.path(), Kind::failed},
             {dir.at("pipe"), Kind::notRegular}, {dir.at("f"), Kind::tooLarge}})
        EXPECT_EQ(kindOf(fs->readInto(path, buffer, 3)), kind) << path;
}

// Replacing keeps the permissions; a claim never replaces anything; neither
// leaves a temporary behind.
TEST(FileSystem, StagedWritesAndFolderChains) {
    TempDir dir;
    auto fs = systemFileSystem();
    auto mode = [&](const char* name) {
        struct stat st {};
        ::stat(dir.at(name).c_str(), &st);
        return st.st_mode & 0777;
    };
    auto put = [&] { return fs->replace(*fs->stage(dir.at("note"), "x"), dir.at("note")); };
    dir.write("plain", "");
    // a new file's usual permissions, then the file's own
    ASSERT_TRUE(put());
    EXPECT_EQ(mode("note"), mode("plain"));
    ::chmod(dir.at("note").c_str(), 0640);
    ASSERT_TRUE(put());
    EXPECT_EQ(mode("note"), 0640u);
    // A name is claimed once, whatever the file system lacks: the no-replace
    // rename, then the hard link, each has its fallback.
    for (const char* name : {"e0", "e1", "e2"}) {
        auto lacking = std::make_shared<SimulatedCloud>();
        if (name[1] > '0') lacking->failAlways("rename", EINVAL);
        if (name[1] > '1') lacking->failAlways("link", EPERM);
        for (const auto& [content, claim] : {std::pair{"one", Claim::claimed}, {"two", Claim::taken}}) {
            auto staged = lacking->stage(dir.at(name), content);
            EXPECT_EQ(*lacking->claim(*staged, dir.at(name)), claim) << name << content;
        }
        EXPECT_EQ(std::pair(*dir.read(name), mode(name)), std::pair(std::string("one"), mode("plain"))) << name;
    }
    EXPECT_EQ(kindOf(fs->stage(dir.at("gone/x"), "x")), Kind::absent);
    EXPECT_EQ(dir.list(""), (Names{"e0", "e1", "e2", "note", "plain"}));
    for (const auto& [path, code] : {std::pair{dir.at("a/b/c"), 0}, {dir.at("note"), EEXIST}, {dir.at("note/sub/deeper"), ENOTDIR}, {"", ENOENT}}) {
        auto made = fs->createDirectories(path);
        EXPECT_EQ(made ? 0 : made.error().code, code) << path;
    }
}

// What a killed writer left (its hidden temporary, an hour older than the
// file system's own clock says it is now) goes; the temporaries of writes
// under way stay however old their stamps look, as do the user's own files.
TEST(FileSystem, RemovesOnlyStaleTemporaries) {
    TempDir dir;
    auto fs = systemFileSystem();
    auto old = fs->stage(dir.at("a.md"), "x");
    // the user's own files, old as they are, a killed writer's, a recent one's
    for (const char* name : {"notes.md", ".notes.md.qs-tmp-1", "notes.qs-tmp-abcdef", ".c.md.qs-tmp-abcdef", ".d.md.qs-tmp-abcdef"})
        dir.write(name, "");
    auto fresh = fs->stage(dir.at("b.md"), "y");
    auto stamp = [&](const std::string& path, time_t t) {
        const timespec both[2] = {{t, 0}, {t, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), both, 0);
    };
    for (const auto& name : dir.list("")) stamp(dir.at(name), 0);
    // A share whose clock lags the machine's by decades: "now" there is two hours after the epoch.
    stamp(fresh->temporary(), 7200);
    stamp(dir.at(".d.md.qs-tmp-abcdef"), 5400);
    fs->removeStaleTemporaries(dir.path(), std::chrono::hours(1));
    EXPECT_TRUE(fs->replace(*old, dir.at("a.md")) && fs->replace(*fresh, dir.at("b.md")));
    EXPECT_EQ(dir.list(""), (Names{".d.md.qs-tmp-abcdef", ".notes.md.qs-tmp-1", "a.md", "b.md", "notes.md", "notes.qs-tmp-abcdef"}));
}

TEST(FolderLock, OneHolderPerFolderUntilReleased) {
    TempDir dir, other;
    std::optional<FolderLock> moved;
    {
        auto first = FolderLock::acquire(dir.path(), {});
        ASSERT_TRUE(first);
        // the lock moved away is not let go with the moved-from object
        moved.emplace(std::move(*first));
    }
    // Another open of the folder is another holder, even in this process.
    EXPECT_EQ(kindOf(FolderLock::acquire(dir.path(), {})), Kind::timedOut);
    // letting go, as destruction does
    *moved = FolderLock::acquire(other.path(), {}).value();
    for (int again : {1, 2}) EXPECT_TRUE(FolderLock::acquire(dir.path(), {})) << again;
    EXPECT_EQ(kindOf(FolderLock::acquire(dir.at("gone"), {})), Kind::absent);
    // The lock file of a folder that cannot be opened, never through a link planted at its name.
    ASSERT_EQ(::symlink(dir.at(".lock").c_str(), dir.at(".link").c_str()), 0);
    EXPECT_EQ(kindOf(FolderLock::acquireFile(dir.at(".link"), {})), Kind::failed);
    EXPECT_TRUE(FolderLock::acquireFile(dir.at(".lock"), {}));
}

// The system's own notifications, where they are delivered in step with the
// change (inotify): a file created, renamed and deleted in a watched folder
// is told, and a drain with nothing to tell returns at once.
TEST(ChangeWatch, TellsWhatChangedInAWatchedFolderWithoutWaiting) {
#if !defined(__linux__)
    GTEST_SKIP() << "this system delivers its notifications later";
#endif
    TempDir dir;
    dir.mkdir("day");
    auto watch = systemFileSystem()->watch(dir.path());
    ASSERT_TRUE(watch);
    EXPECT_EQ((std::tuple{watch->add(dir.at("day")), watch->add(dir.at("none")), watch->add("/tmp")}), (std::tuple{true, false, false}));
    EXPECT_TRUE(watch->drain().empty());
    dir.write("day/a.txt", "x");
    ASSERT_EQ(std::rename(dir.at("day/a.txt").c_str(), dir.at("day/b.txt").c_str()), 0);
    ASSERT_EQ(std::remove(dir.at("day/b.txt").c_str()), 0);
    ASSERT_EQ(::rmdir(dir.at("day").c_str()), 0);
    using enum ChangeKind;
    EXPECT_EQ(watch->drain().changes,
        (std::vector<Change>{{created, dir.at("day/a.txt"), ""}, {changed, dir.at("day/a.txt"), ""},
            {renamed, dir.at("day/b.txt"), dir.at("day/a.txt")}, {deleted, dir.at("day/b.txt"), ""}, {deleted, dir.at("day"), ""}}));
    EXPECT_TRUE(watch->drain().empty());
}
