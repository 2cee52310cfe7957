// FolderLock: one holder per folder until released, and an honest answer when it cannot lock.
#include "platform/folder_lock.hpp"

#include <gtest/gtest.h>
#include <unistd.h>  // symlink

#include <utility>  // std::move

#include "support/temp_vault.hpp"

namespace qs::platform {
namespace {

using Status = FolderLock::Status;
constexpr std::chrono::milliseconds kNoWait{0};

TEST(FolderLock, ExcludesEveryOtherHolderUntilReleased) {
    test::TempDir dir;
    {
        FolderLock first = FolderLock::acquire(dir.path(), kNoWait);
        ASSERT_EQ(first.status(), Status::held) << first.error();
        // Another open of the folder is another holder, even in this process
        // (as in another process: flock belongs to the open description).
        EXPECT_EQ(FolderLock::acquire(dir.path(), kNoWait).status(), Status::timedOut);

        FolderLock moved = std::move(first);
        EXPECT_TRUE(moved.held());
        EXPECT_EQ(FolderLock::acquire(dir.path(), kNoWait).status(), Status::timedOut);
    }
    EXPECT_EQ(FolderLock::acquire(dir.path(), kNoWait).status(), Status::held);
}

TEST(FolderLock, WhatCannotBeLockedSaysWhy) {
    test::TempDir dir;
    dir.write("plain", "x");
    for (const std::string& path : {dir.at("missing"), dir.at("plain")}) {
        SCOPED_TRACE(path);
        FolderLock lock = FolderLock::acquire(path, kNoWait);
        EXPECT_EQ(lock.status(), Status::unsupported);
        EXPECT_FALSE(lock.error().empty());
    }
}

// The fallback for a folder that cannot be opened: a lock file, exclusive
// the same way, that never follows a link planted at its name.
TEST(FolderLock, ALockFileExcludesLikeTheFolder) {
    test::TempDir dir;
    FolderLock first = FolderLock::acquireFile(dir.at(".lock"), kNoWait);
    ASSERT_TRUE(first.held()) << first.error();
    EXPECT_EQ(FolderLock::acquireFile(dir.at(".lock"), kNoWait).status(), Status::timedOut);
    ASSERT_EQ(::symlink(dir.at(".lock").c_str(), dir.at(".link").c_str()), 0);
    EXPECT_EQ(FolderLock::acquireFile(dir.at(".link"), kNoWait).status(), Status::unsupported);
}

}  // namespace
}  // namespace qs::platform
