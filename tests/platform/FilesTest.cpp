#include <gtest/gtest.h>

#include "platform/system/Files.h"
#include "tests/support/TempDir.h"

namespace qv::sys {

TEST(FilesTest, AtomicWriteReplacesAndLeavesNoTemporaryFile) {
    test::TempDir dir;
    const std::string path = dir / "env.dat";
    ASSERT_TRUE(WriteFileAtomic(path, "first"));
    ASSERT_TRUE(WriteFileAtomic(path, std::string("sec\0nd", 6)));
    EXPECT_EQ(ReadFileText(path).value(), std::string("sec\0nd", 6));
    EXPECT_FALSE(FileExists(path + ".tmp"));
}

TEST(FilesTest, FailedAtomicWriteKeepsTheOldFileAndSaysWhy) {
    test::TempDir dir;
    const std::string path = dir / "env.dat";
    ASSERT_TRUE(WriteFileAtomic(path, "precious"));
    // A folder where the temporary file must go makes the write fail.
    ASSERT_TRUE(CreateDirectories(path + ".tmp"));
    std::string error;
    EXPECT_FALSE(WriteFileAtomic(path, "lost?", &error));
    EXPECT_NE(error.find("env.dat.tmp"), std::string::npos) << error;
    EXPECT_EQ(ReadFileText(path).value(), "precious");
}

TEST(FilesTest, ReadsOfMissingFilesAndFoldersGiveNothing) {
    test::TempDir dir;
    EXPECT_FALSE(ReadFileText(dir / "missing").has_value());
    EXPECT_FALSE(ReadFileBytes(dir.Path()).has_value());
    EXPECT_TRUE(RemoveFile(dir / "missing"));
}

TEST(FilesTest, BoundedReadsRefuseLargerFilesAndSayWhy) {
    test::TempDir dir;
    dir.Write("five", "12345");
    std::string error;
    EXPECT_EQ(ReadFileText(dir / "five", 5, &error).value(), "12345");
    EXPECT_EQ(ReadFileBytes(dir / "five", 5, &error).value().size(), 5u);
    EXPECT_FALSE(ReadFileText(dir / "five", 4, &error).has_value());
    EXPECT_EQ(error, "File " + (dir / "five") + " is too large (5 bytes, at most 4)");
    EXPECT_FALSE(ReadFileBytes(dir / "missing", 100, &error).has_value());
    EXPECT_NE(error.find("Cannot open " + (dir / "missing")), std::string::npos) << error;
    EXPECT_FALSE(ReadFileBytes(dir.Path(), 100, &error).has_value());
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    EXPECT_FALSE(ReadFileBytes(dir / "five", 4).has_value());  // no error wanted
}

TEST(FilesTest, CreateDirectoriesMakesParentsAndFailsOverAFile) {
    test::TempDir dir;
    EXPECT_TRUE(CreateDirectories(dir / "a/b/c/"));
    EXPECT_TRUE(DirectoryExists(dir / "a/b/c"));
    dir.Write("plain", "x");
    EXPECT_FALSE(CreateDirectories(dir / "plain/sub"));
    EXPECT_EQ(WithTrailingSlash("/x"), "/x/");
    EXPECT_EQ(WithTrailingSlash("/x/"), "/x/");
}

}  // namespace qv::sys
