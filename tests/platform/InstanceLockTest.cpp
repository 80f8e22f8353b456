#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/system/Files.h"
#include "platform/system/Folders.h"
#include "platform/system/InstanceLock.h"
#include "platform/system/InstanceMessage.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace qv::sys {

TEST(InstanceLockTest, SecondProcessIsRefusedWhileTheFirstHoldsTheLock) {
    test::TempDir dir;
    const std::string holder = test::BinaryDir() + "qv_lock_holder";
    {
        test::ChildProcess first({holder, dir.Path()});
        ASSERT_EQ(first.ReadLine("the lock taken"), "locked");

        TInstanceLock mine;
        EXPECT_EQ(mine.Acquire(dir.Path(), "Quorvex"), TInstanceLock::Result::HeldElsewhere);
        EXPECT_FALSE(mine.Held());
        // Another name is another lock.
        EXPECT_EQ(mine.Acquire(dir.Path(), "Vantry"), TInstanceLock::Result::Acquired);
        mine.Release();

        EXPECT_EQ(first.Finish("the lock holder's end"), 0);
    }
    TInstanceLock mine;
    EXPECT_EQ(mine.Acquire(dir.Path(), "Quorvex"), TInstanceLock::Result::Acquired);

    // And the other way round: while this process holds it, a second is refused.
    test::ProcessResult second = test::RunProcess({holder, dir.Path()});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_EQ(second.out, "busy\n");
}

TEST(InstanceLockTest, AFolderThatCannotHoldTheLockFileFails) {
    test::TempDir dir;
    TInstanceLock lock;
    EXPECT_EQ(lock.Acquire(dir / "missing/", "Quorvex"), TInstanceLock::Result::Failed);
}

// In a folder all users share (/tmp), a lock file of another user, or a
// link or FIFO planted there, does not stop this user's program: it is
// refused (the program then runs unguarded) instead of being waited on.
TEST(InstanceLockTest, ALockFileThisUserDoesNotOwnIsRefused) {
    test::TempDir dir;
    const std::string path = dir / "Quorvex.lock";
    dir.Write("Quorvex.lock", "");
    if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
    ASSERT_EQ(::chown(path.c_str(), ::geteuid() + 4321, static_cast<gid_t>(-1)), 0);
    const std::string target = dir.Write("target", "");
    ASSERT_EQ(::symlink(target.c_str(), (dir / "Link.lock").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "Fifo.lock").c_str(), 0666), 0);
    for (const char* name : {"Quorvex", "Link", "Fifo"}) {
        SCOPED_TRACE(name);
        TInstanceLock lock;
        EXPECT_EQ(lock.Acquire(dir.Path(), name), TInstanceLock::Result::Failed);
        EXPECT_FALSE(lock.Held());
        EXPECT_NE(lock.Error().find(dir / name), std::string::npos) << lock.Error();
    }
    // This user's own lock file is used as before.
    ASSERT_EQ(::chown(path.c_str(), ::geteuid(), static_cast<gid_t>(-1)), 0);
    TInstanceLock lock;
    EXPECT_EQ(lock.Acquire(dir.Path(), "Quorvex"), TInstanceLock::Result::Acquired);
}

TEST(InstanceLockTest, TheLockIsNamedForTheUserOutsideTheRuntimeFolder) {
    test::TempDir dir;
    EXPECT_EQ(InstanceLockPath(dir.Path().c_str(), 1234, "Quorvex"), dir / "Quorvex.lock");
    EXPECT_EQ(InstanceLockPath(nullptr, 1234, "Quorvex"), "/tmp/Quorvex-1234.lock");
    EXPECT_EQ(InstanceLockPath("", 1234, "Quorvex"), "/tmp/Quorvex-1234.lock");
    EXPECT_EQ(InstanceLockPath((dir / "missing").c_str(), 1234, "Quorvex"), "/tmp/Quorvex-1234.lock");
}

TEST(InstanceLockTest, TheLockAndTheInstanceSocketShareTheirFolder) {
    test::TempDir dir;
    const std::string runtime[] = {dir.Path(), dir / "sub", "", dir / "missing", dir / "file"};
    ASSERT_TRUE(CreateDirectories(dir / "sub"));
    ASSERT_TRUE(WriteFileAtomic(dir / "file", "x"));
    auto folder = [](const std::string& path) { return path.substr(0, path.rfind('/') + 1); };
    for (const std::string& r : runtime) {
        EXPECT_EQ(folder(InstanceLockPath(r.c_str(), 1234, "Quorvex")), folder(InstanceSocketPath(r.c_str(), 1234)))
            << r;
    }
}

}  // namespace qv::sys
