// The system's file services behind the seam: existence and listing, bounded
// reads, staged writes and claims, folder chains, stale temporaries, folder
// locks, change notifications.
#include <fcntl.h>  // AT_FDCWD
#include <gtest/gtest.h>
#include <sys/stat.h>  // stat, chmod, umask, mkfifo, utimensat
#include <unistd.h>    // symlink, rmdir

#include <cerrno>    // EEXIST, ENOENT
#include <cstdio>    // std::rename, std::remove
#include <optional>  // std::optional
#include <set>       // std::multiset
#include <tuple>     // std::tuple
#include <vector>    // std::vector

#include "platform/file_system.hpp"
#include "platform/folder_lock.hpp"
#include "support/simulated_cloud.hpp"
#include "support/temp_vault.hpp"

using std::string, std::pair, std::tuple, std::optional;

using namespace qs::Platform;
using qs::test::TempDir;
using Kind = Error::Kind;
using enum Error::Kind;
using Names = std::vector<string>;
// The kind of a failure, or nothing for success.
template <class T>
optional<Kind> kindOf(const qs::Expected<T, Error>& result) {
    return result ? std::nullopt : optional(result.error().kind);
}
// A fresh folder and the system's file services.
struct Disk : testing::Test {
    string at(const string& rel) const { return d.at(rel); }
    // A link at `name` to `to`, both in the folder.
    int link(const string& to, const string& name) const { return ::symlink(at(to).c_str(), at(name).c_str()); }
    TempDir d;
    std::shared_ptr<FileSystem> fs = systemFileSystem();
};

// Existence follows links; a listing reports a link as itself.
TEST_F(Disk, ExistenceAndListing) {
    d.write(".d/f", "x");
    ASSERT_EQ(link(".d", "link") + link("gone", "dangling"), 0);
    // Each asked of the path, whether it is a folder, and its folder stamp, alone and among its neighbours.
    for (const auto& [name, exists, folder] : {tuple{".d/f", true, false}, {"link", true, true}, {"dangling", false, false}})
        EXPECT_EQ((tuple{fs->exists(at(name)), fs->stat(at(name)) && fs->stat(at(name))->isDirectory, fs->stampOf(at(name), true).has_value(),
                      fs->folderStamps(d.path(), {".d", name, "gone"})[1]}),
            (tuple{exists, folder, folder, fs->stampOf(at(name), true)}))
            << name;
    // both listings; "/" marks a folder, "-" anything else, when asked for
    std::multiset<string> names;
    for (bool kinds : {false, true})
        for (const auto& e : fs->list(d.path(), kinds, kinds).value()) names.insert(e.name + (e.isDirectory ? (*e.isDirectory ? "/" : "-") : ""));
    EXPECT_EQ(names, (std::multiset<string>{".d", "dangling", "dangling-", "link", "link-"}));
    EXPECT_EQ(kindOf(fs->list(at("gone"), false, false)), absent);
}

// What is no regular file of bounded size is never read: a pipe would block
// the open. (A missing file, and one past the limit, are the read tools' test's.)
TEST_F(Disk, ReadsBoundedRegularFiles) {
    d.write("f", "tiny");
    ASSERT_EQ(::mkfifo(at("pipe").c_str(), 0644), 0);
    string buffer;
    // exactly at the limit
    ASSERT_TRUE(fs->readInto(at("f"), buffer, 4));
    EXPECT_EQ(buffer, "tiny");
    for (const auto& [path, kind] : {pair{at("f/x"), absent}, {d.path(), failed}, {at("pipe"), notRegular}})
        EXPECT_EQ(kindOf(fs->readInto(path, buffer, 3)), kind) << path;
}

// Replacing keeps the permissions; a claim never replaces anything; neither
// leaves a temporary behind.
TEST_F(Disk, StagedWritesAndFolderChains) {
    auto mode = [&](const char* name) {
        struct stat st {};
        ::stat(at(name).c_str(), &st);
        return st.st_mode & 0777;
    };
    auto put = [&] { return fs->replace(*fs->stage(at("note"), "x"), at("note")); };
    d.write("plain", "");
    // a new file's usual permissions, then the file's own
    ASSERT_TRUE(put());
    EXPECT_EQ(mode("note"), mode("plain"));
    ::chmod(at("note").c_str(), 0640);
    ASSERT_TRUE(put());
    EXPECT_EQ(mode("note"), 0640u);
    // A name is claimed once, whatever the file system lacks: the no-replace
    // rename, then the hard link, each has its fallback.
    for (const char* name : {"e0", "e1", "e2"}) {
        auto lacking = std::make_shared<SimulatedCloud>();
        if (name[1] > '0') lacking->failAlways("rename", EINVAL);
        if (name[1] > '1') lacking->failAlways("link", EPERM);
        for (const auto& [content, claim] : {pair{"one", Claim::claimed}, {"two", Claim::taken}}) {
            auto staged = lacking->stage(at(name), content);
            EXPECT_EQ(*lacking->claim(*staged, at(name)), claim) << name << content;
        }
        EXPECT_EQ(pair(*d.read(name), mode(name)), pair(string("one"), mode("plain"))) << name;
    }
    EXPECT_EQ(kindOf(fs->stage(at("gone/x"), "x")), absent);
    EXPECT_EQ(d.list(""), (Names{"e0", "e1", "e2", "note", "plain"}));
    for (const auto& [path, code] : {pair{at("a/b/c"), 0}, {at("note"), EEXIST}, {"", ENOENT}}) {
        auto made = fs->createDirectories(path);
        EXPECT_EQ(made ? 0 : made.error().code, code) << path;
    }
}

// What a killed writer left (its hidden temporary, an hour older than the
// file system's own clock says it is now) goes; the temporaries of writes
// under way stay however old their stamps look, as do the user's own files.
TEST_F(Disk, RemovesOnlyStaleTemporaries) {
    auto old = fs->stage(at("a.md"), "x");
    // the user's own files, old as they are, a killed writer's, a recent one's
    for (const char* name : {"notes.md", ".notes.md.qs-tmp-1", "notes.qs-tmp-abcdef", ".c.md.qs-tmp-abcdef", ".d.md.qs-tmp-abcdef"})
        d.write(name, "");
    auto fresh = fs->stage(at("b.md"), "y");
    auto stamp = [&](const string& path, time_t t) {
        const timespec both[2] = {{t, 0}, {t, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), both, 0);
    };
    for (const auto& name : d.list("")) stamp(at(name), 0);
    // A share whose clock lags the machine's by decades: "now" there is two hours after the epoch.
    stamp(fresh->temporary(), 7200);
    stamp(at(".d.md.qs-tmp-abcdef"), 5400);
    fs->removeStaleTemporaries(d.path(), std::chrono::hours(1));
    EXPECT_TRUE(fs->replace(*old, at("a.md")) && fs->replace(*fresh, at("b.md")));
    EXPECT_EQ(d.list(""), (Names{".d.md.qs-tmp-abcdef", ".notes.md.qs-tmp-1", "a.md", "b.md", "notes.md", "notes.qs-tmp-abcdef"}));
}

// One holder of a folder lock until it is released.
TEST_F(Disk, FolderLock) {
    TempDir other;
    optional<FolderLock> moved;
    {
        auto first = FolderLock::acquire(d.path(), {});
        ASSERT_TRUE(first);
        // the lock moved away is not let go with the moved-from object
        moved.emplace(std::move(*first));
    }
    // Another open of the folder is another holder, even in this process.
    EXPECT_EQ(kindOf(FolderLock::acquire(d.path(), {})), timedOut);
    // letting go, as destruction does
    *moved = FolderLock::acquire(other.path(), {}).value();
    for (int again : {1, 2}) EXPECT_TRUE(FolderLock::acquire(d.path(), {})) << again;
    EXPECT_EQ(kindOf(FolderLock::acquire(at("gone"), {})), absent);
    // The lock file of a folder that cannot be opened, never through a link planted at its name.
    ASSERT_EQ(link(".lock", ".link"), 0);
    EXPECT_EQ(kindOf(FolderLock::acquireFile(at(".link"), {})), failed);
    EXPECT_TRUE(FolderLock::acquireFile(at(".lock"), {}));
}

// The system's own notifications, where they are delivered in step with the
// change (inotify): a file created, renamed and deleted in a watched folder
// is told, and a drain with nothing to tell returns at once.
TEST_F(Disk, Watch) {
#if !defined(__linux__)
    GTEST_SKIP() << "this system delivers its notifications later";
#endif
    d.mkdir("day");
    auto watch = fs->watch(d.path());
    ASSERT_TRUE(watch);
    EXPECT_EQ((tuple{watch->add(at("day")), watch->add(at("none")), watch->add("/tmp")}), (tuple{true, false, false}));
    EXPECT_TRUE(watch->drain().empty());
    d.write("day/a.txt", "x");
    ASSERT_EQ(std::rename(at("day/a.txt").c_str(), at("day/b.txt").c_str()), 0);
    ASSERT_EQ(std::remove(at("day/b.txt").c_str()), 0);
    ASSERT_EQ(::rmdir(at("day").c_str()), 0);
    using enum ChangeKind;
    EXPECT_EQ(watch->drain().changes, (std::vector<Change>{{created, at("day/a.txt"), ""}, {changed, at("day/a.txt"), ""},
                                          {renamed, at("day/b.txt"), at("day/a.txt")}, {deleted, at("day/b.txt"), ""}, {deleted, at("day"), ""}}));
    EXPECT_TRUE(watch->drain().empty());
}
