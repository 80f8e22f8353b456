// Writes handed to the file layer's writer thread: the caller never waits
// for the disk, and everything that reads, removes or writes the same file
// afterwards sees the order in which it was asked for, whether the disk has
// caught up or not.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/Files.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/HeldDisk.h"
#include "tests/support/TempDir.h"

#if defined(__SANITIZE_THREAD__)
#define QV_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QV_THREAD_SANITIZER 1
#endif
#endif

namespace qv::sys {
namespace {

// What the disk itself holds at `path`, past the file layer; "(none)" when
// there is no file.
std::string OnDisk(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "(none)";
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
    ::close(fd);
    return text;
}

TEST(LaterWrites, ReadsRemovalsAndDirectWritesKeepTheOrderTheyWereAskedIn) {
    test::TempDir dir;
    const std::string path = dir / "env.dat", other = dir / "last1.gmp";
    ASSERT_TRUE(WriteFileAtomic(path, "old"));

    test::THeldDisk disk;
    const TPendingWrite first = WriteFileLater(path, "one", kPrivateFileMode);
    ASSERT_TRUE(disk.WaitUntilHeld());  // the writer thread sits in the flush of "one"
    EXPECT_FALSE(first.Done());

    struct Step {
        const char* what;
        std::function<void()> act;
        const char* read;  // nullptr: no file
    };
    const std::vector<Step> steps = {
        {"a second write", [&] { WriteFileLater(path, "two"); }, "two"},
        {"a removal", [&] { EXPECT_TRUE(RemoveFile(path)); }, nullptr},
        {"a write after the removal", [&] { WriteFileLater(path, "three"); }, "three"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        std::string out, error;
        const FileStatus status = ReadFile(path, LinkRule::Refuse, 100, out, &error);
        if (step.read) {
            EXPECT_EQ(status, FileStatus::Ok);
            EXPECT_EQ(out, step.read);
            EXPECT_TRUE(FileExists(path));
            // The caller's cap holds for what is queued as for the disk.
            EXPECT_EQ(ReadFile(path, LinkRule::Follow, 2, out, &error), FileStatus::TooLarge);
            EXPECT_NE(error.find("is too large"), std::string::npos) << error;
        } else {
            EXPECT_EQ(status, FileStatus::Missing);
            EXPECT_FALSE(ReadFileText(path, 100));
            EXPECT_FALSE(FileExists(path));
        }
        EXPECT_EQ(OnDisk(path), "old");  // nothing has reached the disk
    }
    WriteFileLater(other, "replay");
    EXPECT_EQ(ReadFileBytes(other, 100).value(), std::vector<std::uint8_t>({'r', 'e', 'p', 'l', 'a', 'y'}));
    EXPECT_EQ(OnDisk(other), "(none)");

    // A direct write of the file waits its turn behind the queue: it lands last.
    std::atomic<bool> directDone{false};
    std::thread direct([&] {
        EXPECT_TRUE(WriteFileAtomic(path, "four"));
        directDone = true;
    });
    disk.Release();
    direct.join();
    EXPECT_TRUE(directDone);
    EXPECT_TRUE(first.Wait());
    FinishPendingWrites();
    EXPECT_EQ(OnDisk(path), "four");
    EXPECT_EQ(OnDisk(other), "replay");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);  // the direct write's mode, the last one
    EXPECT_TRUE(disk.FlushedOnWatchedThread().empty());
}

TEST(LaterWrites, AFailedWriteKeepsTheOldFileAndSaysWhetherALaterOneFollows) {
    test::TempDir dir;
    const std::string missing = dir / "no/such/folder/env.dat";
    std::vector<std::string> told;
    auto tell = [&told](const char* name) {
        return [&told, name](const std::string&, bool superseded) {
            told.push_back(std::string(name) + (superseded ? " superseded" : " last"));
        };
    };
    {
        test::THeldDisk disk;
        WriteFileLater(dir / "first", "held");
        ASSERT_TRUE(disk.WaitUntilHeld());
        const TPendingWrite a = WriteFileLater(missing, "a", 0644, tell("a"));
        const TPendingWrite b = WriteFileLater(missing, "b", 0644, tell("b"));
        EXPECT_TRUE(FileExists(missing));  // as far as anyone can tell yet
        disk.Release();
        std::string error;
        EXPECT_FALSE(a.Wait(&error));
        EXPECT_NE(error.find("Cannot create a file beside " + missing), std::string::npos) << error;
        EXPECT_FALSE(b.Wait());
    }
    EXPECT_EQ(told, (std::vector<std::string>{"a superseded", "b last"}));
    EXPECT_FALSE(FileExists(missing));

    // A write the disk cuts short leaves the old file whole.
    const std::string path = dir / "env.dat";
    ASSERT_TRUE(WriteFileAtomic(path, "precious"));
    {
        test::FileSizeLimit full(16);
        std::string error;
        EXPECT_FALSE(WriteFileLater(path, std::string(100, 'x'), 0644, tell("c")).Wait(&error));
        EXPECT_NE(error.find("Cannot write " + path), std::string::npos) << error;
    }
    EXPECT_EQ(OnDisk(path), "precious");
    EXPECT_EQ(ReadFileText(path, 100).value(), "precious");
    EXPECT_EQ(told.back(), "c last");
    EXPECT_FALSE(TPendingWrite().Wait());  // never handed over
    EXPECT_FALSE(TPendingWrite::Failed("no").Wait());
}

// A program that ends without waiting for its writes still has them
// written: the writer finishes its queue as the process ends. The child is
// forked while the parent's writer thread runs, which the child has not.
TEST(LaterWrites, AProgramThatEndsWritesWhatItHandedOver) {
#ifdef QV_THREAD_SANITIZER
    GTEST_SKIP() << "the thread sanitizer starts no thread in the child of a process with threads";
#endif
    test::TempDir dir;
    const std::string path = dir / "mybest1.gmp";
    const std::string data(4 * 1024 * 1024, 'r');
    ASSERT_TRUE(WriteFileLater(dir / "parent", "p").Wait());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (int i = 0; i < 8; ++i) WriteFileLater(path + std::to_string(i), data, kPrivateFileMode);
        std::exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(OnDisk(path + std::to_string(i)).size(), data.size()) << i;
}

}  // namespace
}  // namespace qv::sys
