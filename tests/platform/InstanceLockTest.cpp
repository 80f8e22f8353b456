#include <gtest/gtest.h>

#include "platform/system/InstanceLock.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace qv::sys {

TEST(InstanceLockTest, SecondProcessIsRefusedWhileTheFirstHoldsTheLock) {
    test::TempDir dir;
    const std::string holder = test::BinaryDir() + "qv_lock_holder";
    {
        test::ChildProcess first({holder, dir.Path()});
        ASSERT_EQ(first.ReadLine(), "locked");

        TInstanceLock mine;
        EXPECT_EQ(mine.Acquire(dir.Path(), "Quorvex"), TInstanceLock::Result::HeldElsewhere);
        EXPECT_FALSE(mine.Held());
        // Another name is another lock.
        EXPECT_EQ(mine.Acquire(dir.Path(), "Vantry"), TInstanceLock::Result::Acquired);
        mine.Release();

        EXPECT_EQ(first.Finish(), 0);
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

}  // namespace qv::sys
