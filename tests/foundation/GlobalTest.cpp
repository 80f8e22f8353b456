#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <numbers>

#include "foundation/Random.h"
#include "foundation/qv3Global.h"
#include "platform/system/Files.h"
#include "tests/support/TempDir.h"

namespace qv {

namespace {

class GlobalFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        inputs_.programDir = dir_ / "bin/";
        inputs_.userDataBase = dir_ / "share";
        inputs_.commonDataDir = dir_ / "common/";
        sys::CreateDirectories(inputs_.programDir);
    }
    void TearDown() override { FinalizeGlobals(); }

    std::string User(const std::string& name) const { return dir_ / ("share/Tollbeck/Quorvex/" + name); }
    std::string Common(const std::string& name) const { return dir_ / ("common/" + name); }
    std::string Program(const std::string& name) const { return dir_ / ("bin/" + name); }
    void Touch(const std::string& path) const { ASSERT_TRUE(sys::WriteFileAtomic(path, "x")); }

    test::TempDir dir_;
    sys::FolderInputs inputs_;
};

std::vector<std::string> OwnFiles() {
    std::vector<std::string> names;
    for (int n : {0, 7, 42, 99}) {
        names.push_back("common:scenario" + std::to_string(n) + ".c3p");
        for (const char* kind : {"mybest", "last", "worldbest"}) {
            names.push_back("user:" + std::string(kind) + std::to_string(n) + ".gmp");
        }
    }
    names.insert(names.end(), {"user:env.dat", "user:dip.dat"});
    for (const char* f : kSharedFiles) {
        names.push_back(std::string("common:") + f);
        names.push_back(std::string("program:") + f);
    }
    return names;
}

// Files that look alike but are not the program's to delete.
std::vector<std::string> OtherFiles() {
    return {"common:scenario100.c3p", "common:registry.ini", "user:quorvex.log", "user:last100.gmp",
            "user:mybest.gmp",        "program:quorvex.dat", "common:scenario07.c3p", "user:env.dat.bak"};
}

}  // namespace

TEST_F(GlobalFoldersTest, FoldersAreFixedWithTrailingSlashes) {
    InitializeGlobals({}, inputs_);
    EXPECT_EQ(ProgramDir, dir_ / "bin/");
    EXPECT_EQ(UserDataDir, dir_ / "share/Tollbeck/Quorvex/");
    EXPECT_EQ(CommonDataDir, dir_ / "common/");
    EXPECT_FALSE(UninstallRequested);
}

TEST_F(GlobalFoldersTest, UninstallDeletesExactlyTheProgramsDataFiles) {
    InitializeGlobals({}, inputs_);
    auto path = [&](const std::string& tagged) {
        const auto colon = tagged.find(':');
        const std::string where = tagged.substr(0, colon), name = tagged.substr(colon + 1);
        return where == "user" ? User(name) : where == "common" ? Common(name) : Program(name);
    };
    for (const auto& f : OwnFiles()) Touch(path(f));
    for (const auto& f : OtherFiles()) Touch(path(f));

    InitializeGlobals({"-UnInstall", "ip"}, inputs_);
    EXPECT_TRUE(UninstallRequested);
    for (const auto& f : OwnFiles()) EXPECT_FALSE(sys::FileExists(path(f))) << f;
    for (const auto& f : OtherFiles()) EXPECT_TRUE(sys::FileExists(path(f))) << f;
}

TEST_F(GlobalFoldersTest, UninstallOnlyAsTheFirstArgument) {
    InitializeGlobals({}, inputs_);
    Touch(User("env.dat"));
    InitializeGlobals({"ip", "-uninstall"}, inputs_);
    EXPECT_FALSE(UninstallRequested);
    EXPECT_TRUE(sys::FileExists(User("env.dat")));
    InitializeGlobals({"-uninstall"}, inputs_);
    EXPECT_TRUE(UninstallRequested);
    EXPECT_FALSE(sys::FileExists(User("env.dat")));
}

TEST_F(GlobalFoldersTest, UninstallWithSharedFilesInTheProgramFolderOnly) {
    // The common folder refuses its test file, so it is the program folder.
    dir_.Write("common", "a file, not a folder");
    InitializeGlobals({}, inputs_);
    ASSERT_EQ(CommonDataDir, ProgramDir);
    Touch(Program("QVX3MenuMusic.wav"));
    Touch(Program("scenario3.c3p"));
    InitializeGlobals({"-uninstall"}, inputs_);
    EXPECT_FALSE(sys::FileExists(Program("QVX3MenuMusic.wav")));
    EXPECT_FALSE(sys::FileExists(Program("scenario3.c3p")));
}

namespace {
mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}
}  // namespace

// An older build left the user folder 0755 and the player's files 0644; a
// kill during a save left its new file. The next start mends both.
TEST_F(GlobalFoldersTest, StartTightensWhatOlderBuildsLeftOpenAndRemovesStaleTemporaries) {
    ASSERT_TRUE(sys::CreateDirectories(User(""), 0755));
    ASSERT_TRUE(sys::CreateDirectories(Common("")));
    struct Case {
        std::string path;
        mode_t before;
        mode_t after;  // 0: removed
    } cases[] = {
        {User("env.dat"), 0644, 0600},
        {User("dip.dat"), 0644, 0600},
        {User("quorvex.log"), 0644, 0600},
        {User("last3.gmp"), 0644, 0600},
        {User("mybest0.gmp"), 0664, 0600},
        {User("worldbest99.gmp"), 0644, 0600},
        {User("notes.txt"), 0644, 0644},        // not the program's
        {User(".env.dat.q8Xv2A"), 0600, 0},      // a save cut short
        {User(".env.dat.tmp"), 0644, 0644},      // not a name the program gives
        {Common(".registry.ini.7fGh1k"), 0644, 0},
        {Common(".scenario3.c3p.Zz09aa"), 0644, 0},
        {Common("scenario3.c3p"), 0644, 0644},   // shared on purpose
        {Program(".quorvex.dat.abcdef"), 0644, 0644},  // the program folder is not the program's to tidy
    };
    for (const Case& c : cases) {
        Touch(c.path);
        ASSERT_EQ(::chmod(c.path.c_str(), c.before), 0);
    }
    InitializeGlobals({}, inputs_);
    EXPECT_EQ(ModeOf(User("")), 0700u);
    for (const Case& c : cases) EXPECT_EQ(ModeOf(c.path), c.after) << c.path;
}

// Where the program's folder stands in for the user folder it is not made private.
TEST_F(GlobalFoldersTest, TheProgramFolderStandingInForTheUserFolderKeepsItsMode) {
    dir_.Write("share", "a file, not a folder");
    ASSERT_EQ(::chmod(inputs_.programDir.c_str(), 0755), 0);
    Touch(Program("env.dat"));
    InitializeGlobals({}, inputs_);
    ASSERT_EQ(UserDataDir, ProgramDir);
    EXPECT_EQ(ModeOf(ProgramDir), 0755u);
    EXPECT_EQ(ModeOf(Program("env.dat")), 0600u);
}

TEST(GlobalTest, RendererErrorTexts) {
    EXPECT_EQ(RendererErrorText(0x81020001u), "Failed to calibrate.");
    EXPECT_EQ(RendererErrorText(0x81020002u), "Could not find any 3D hardware accelerated DirectX 8 device.");
    EXPECT_EQ(RendererErrorText(0x81020003u), "Unrecognized Error");
    EXPECT_EQ(RendererErrorText(0), "Unrecognized Error");
}

TEST(GlobalTest, DegreeTablesIndexByTruncatedWrappedDegrees) {
    struct Case {
        float angle;
        int index;
    };
    const float rad = static_cast<float>(std::numbers::pi / 180.0);
    const Case cases[] = {
        {0.0f, 0},
        {89.9999f * rad, 89},
        {7.0f, 41},                      // 401.07 degrees
        {6.28318f, 359},                 // a hair under 360 degrees
        {2.0f * std::numbers::pi_v<float>, 0},  // single-precision 2 pi lies just above 360
        {-0.5f, 332},                    // -28.6 degrees truncates to -28
        {-1e-7f, 0},
        {1e30f, DegIndex(1e30f)},        // huge angles stay inside the table
        {std::nanf(""), 0},
        {INFINITY, 0},
    };
    for (const Case& c : cases) {
        const int i = DegIndex(c.angle);
        EXPECT_EQ(i, c.index) << c.angle;
        EXPECT_GE(i, 0);
        EXPECT_LT(i, 360);
    }
    EXPECT_EQ(DegCos(0.0f), 1.0f);
    EXPECT_EQ(DegSin(0.0f), 0.0f);
    EXPECT_EQ(DegSin(7.0f), static_cast<float>(std::sin(41.0 * std::numbers::pi / 180.0)));
    EXPECT_EQ(DegCos(89.9999f * rad), static_cast<float>(std::cos(89.0 * std::numbers::pi / 180.0)));
    EXPECT_EQ(DegSin(90.5f * rad), 1.0f);
}

TEST(GlobalTest, CurvedPointPathRunsBackAlongTheWaveWithUnitNormals) {
    TCurvedPoint p[5];
    CurvedPointPath(5, p, 100.0f, 0.5f, 20.0f, 0.3f, 6.0f, 2.0f);
    EXPECT_FLOAT_EQ(p[0].x, 0.0f);
    EXPECT_FLOAT_EQ(p[4].x, -200.0f);
    EXPECT_FLOAT_EQ(p[2].x, -100.0f);
    EXPECT_FLOAT_EQ(p[0].y, 20.0f * std::sin(0.3f));
    const float a = -0.25f * 6.0f * 2.0f + 0.3f;
    EXPECT_FLOAT_EQ(p[1].y, 20.0f * std::sin(a));
    EXPECT_FLOAT_EQ(p[1].dirX, std::cos(0.5f * std::cos(a) - std::numbers::pi_v<float> / 2));
    for (const auto& q : p) EXPECT_NEAR(q.dirX * q.dirX + q.dirY * q.dirY, 1.0f, 1e-6f);
}

TEST(GlobalTest, CountRandomHitsIsABinomialDraw) {
    ProgramRandom().Seed(1234);
    EXPECT_EQ(CountRandomHits(0, 0.5f), 0);
    EXPECT_EQ(CountRandomHits(1000, 0.0f), 0);
    EXPECT_EQ(CountRandomHits(1000, 1.0f), 1000);
    EXPECT_EQ(CountRandomHits(-5, 1.0f), 0);
    const int hits = CountRandomHits(100000, 0.01f);
    EXPECT_GT(hits, 850);
    EXPECT_LT(hits, 1150);
}

}  // namespace qv
