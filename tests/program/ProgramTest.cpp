// The quorvex program as a player starts it: folders, log run, uninstall and
// the single instance, each in a real process with its own folders.
#include <gtest/gtest.h>

#include "foundation/qv3Global.h"
#include "platform/system/Files.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace qv {

namespace {

class ProgramTest : public ::testing::Test {
protected:
    std::vector<std::string> Env() const {
        return {"XDG_DATA_HOME=" + dir_ / "data", "QUORVEX_COMMON_DATA=" + dir_ / "common",
                "XDG_RUNTIME_DIR=" + dir_ / "run", "HOME=" + dir_ / "home"};
    }
    test::ProcessResult Run(std::vector<std::string> args = {}) const {
        args.insert(args.begin(), test::BinaryDir() + "quorvex");
        return test::RunProcess(args, Env());
    }
    std::string UserFile(const std::string& name) const { return dir_ / ("data/Tollbeck/Quorvex/" + name); }

    void SetUp() override { sys::CreateDirectories(dir_ / "run"); }

    test::TempDir dir_;
};

}  // namespace

TEST_F(ProgramTest, ARunIsLoggedFromBeginToEnd) {
    auto r = Run();
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto log = sys::ReadFileText(UserFile("quorvex.log"));
    ASSERT_TRUE(log);
    EXPECT_EQ(log->rfind("<*** Begin ***>\r\n* Info: Quorvex ", 0), 0u) << *log;
    EXPECT_NE(log->find("* Info: Common data folder: " + dir_ / "common/\r\n"), std::string::npos) << *log;
    EXPECT_EQ(log->substr(log->size() - 15), "<*** End ***>\r\n");
    EXPECT_EQ(log->find("* Msg"), std::string::npos) << *log;
    EXPECT_EQ(log->find("* Error:"), std::string::npos) << *log;

    // The next run keeps this one and adds its own.
    ASSERT_EQ(Run().exitCode, 0);
    log = sys::ReadFileText(UserFile("quorvex.log"));
    std::size_t begins = 0;
    for (auto at = log->find("<*** Begin ***>"); at != std::string::npos; at = log->find("<*** Begin ***>", at + 1)) {
        ++begins;
    }
    EXPECT_EQ(begins, 2u);
}

TEST_F(ProgramTest, UninstallRemovesTheDataFilesAndEndsAtOnce) {
    ASSERT_EQ(Run().exitCode, 0);
    ASSERT_TRUE(sys::WriteFileAtomic(UserFile("env.dat"), "settings"));
    ASSERT_TRUE(sys::WriteFileAtomic(UserFile("last3.gmp"), "replay"));
    ASSERT_TRUE(sys::WriteFileAtomic(dir_ / "common/scenario3.c3p", "package"));
    ASSERT_TRUE(sys::WriteFileAtomic(dir_ / "common/QVX3MenuMusic.wav", "music"));
    const auto logBefore = sys::ReadFileText(UserFile("quorvex.log"));

    auto r = Run({"-UNINSTALL"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const std::string& gone : {UserFile("env.dat"), UserFile("last3.gmp"), dir_ / "common/scenario3.c3p",
                                    dir_ / "common/QVX3MenuMusic.wav"}) {
        EXPECT_FALSE(sys::FileExists(gone)) << gone;
    }
    // It ends before the log is touched.
    EXPECT_EQ(sys::ReadFileText(UserFile("quorvex.log")), logBefore);
}

TEST_F(ProgramTest, ASecondInstanceIsRefused) {
    ASSERT_FALSE(IsAnotherInstanceRunning(dir_ / "run/"));  // this test process is the first instance
    auto r = Run();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Duplicated instance. Application will close."), std::string::npos) << r.err;
    ReleaseInstanceLock();
    EXPECT_EQ(Run().exitCode, 0);
}

}  // namespace qv
