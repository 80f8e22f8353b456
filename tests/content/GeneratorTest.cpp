// The generator program: the same sources give the same packs, and bad
// input is refused with a clear message and no pack.
#include <gtest/gtest.h>

#include <string>

#include "platform/system/Files.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace qv {
namespace {

std::vector<std::string> Generate(const std::string& levels, const std::string& out) {
    return {test::BinaryDir() + "qvgen", "--levels", levels, "--languages", test::BinaryDir(), "--out", out};
}

TEST(GeneratorTest, SameSourcesGiveTheSameBytes) {
    test::TempDir a, b;
    for (const test::TempDir* dir : {&a, &b}) {
        const test::ProcessResult r = test::RunProcess(Generate(QV_LEVEL_SOURCE_DIR, dir->Path()));
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    for (const char* name : {"quorvex.dat", "scenario2.c3p"}) {
        const auto first = sys::ReadFileBytes(a / name);
        const auto second = sys::ReadFileBytes(b / name);
        const auto built = sys::ReadFileBytes(test::BinaryDir() + name);
        ASSERT_TRUE(first && second && built) << name;
        EXPECT_TRUE(*first == *second) << name;
        EXPECT_TRUE(*first == *built) << name;
    }
}

TEST(GeneratorTest, BadLevelDesignFailsWithItsLineAndWritesNoPack) {
    test::TempDir levels, out;
    for (const char* name : {"attract.txt", "nameentry.txt", "duel.txt", "extra.txt"}) levels.Write(name, "scenery 1\n");
    levels.Write("main.txt", "scenery 1\ncreature type=virus1 at=1\ncreature type=virus9 at=2\n");
    const test::ProcessResult r = test::RunProcess(Generate(levels.Path(), out.Path()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("main.txt:3: unknown creature type 'virus9'"), std::string::npos) << r.err;
    EXPECT_FALSE(sys::ReadFileBytes(out / "quorvex.dat").has_value());
    EXPECT_FALSE(sys::ReadFileBytes(out / "scenario2.c3p").has_value());

    const test::ProcessResult usage = test::RunProcess({test::BinaryDir() + "qvgen", "--levels"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_NE(usage.err.find("usage: qvgen"), std::string::npos);
}

}  // namespace
}  // namespace qv
