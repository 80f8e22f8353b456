#include <gtest/gtest.h>

#include "foundation/qv3Log.h"
#include "game/assets/qv3Resources.h"
#include "platform/resources/ResourcePackWriter.h"
#include "platform/system/Files.h"
#include "tests/support/ScenarioFixture.h"
#include "tests/support/TempDir.h"

namespace qv {
namespace {

using test::Bytes;
using test::TScenarioFixture;

test::TScenarioFixture Scenario(int number, std::string title) {
    TScenarioFixture s;
    s.Number = number;
    s.Title = std::move(title);
    return s;
}

class ResourcesTest : public ::testing::Test {
protected:
    ResourcesTest() {
        SetLogFile(dir / "quorvex.log");
        sys::CreateDirectories(packages);
        program.Data = {{"thumbmore.jpg", Bytes("more")}, {"langENU.txt", Bytes("texts")}, {"Misc1.jpg", Bytes("misc")}};
        TScenarioFixture builtIn = Scenario(0, "Built in");
        builtIn.Extra = {{"Misc1.jpg", Bytes("built-in misc")}};
        program.BuiltIn = {{0, builtIn}};
    }
    ~ResourcesTest() override { SetLogFile(""); }

    std::unique_ptr<TQVX3Resources> Make() {
        program.Write(dir / "quorvex.dat");
        return std::make_unique<TQVX3Resources>(packages, dir / "quorvex.dat");
    }
    std::string Log() const { return sys::ReadFileText(dir / "quorvex.log").value_or(""); }

    test::TempDir dir;
    std::string packages = dir / "common/";
    test::TProgramPackFixture program;
};

TEST_F(ResourcesTest, OnlyPackagesThatPassTheCheckAreOffered) {
    test::WritePackage(packages, 5, Scenario(5, "Five"));
    // "Number" differs from the slot in the file name.
    test::WritePackage(packages, 7, Scenario(8, "Misnumbered"));
    // One byte of "1.lvl" differs from what "Movement" was made for.
    TScenarioFixture altered = Scenario(9, "Altered level");
    auto level = altered.LevelBytes();
    level[50] ^= 1;
    altered.LevelOverride = level;
    test::WritePackage(packages, 9, altered);
    TScenarioFixture wrongSum = Scenario(13, "Wrong sum");
    wrongSum.Movement = wrongSum.ExpectedMovement() + 1;
    test::WritePackage(packages, 13, wrongSum);
    TScenarioFixture badColours = Scenario(15, "Bad colours");
    badColours.EnvironmentLines = {"Colors=1,two"};
    test::WritePackage(packages, 15, badColours);
    // Not a pack at all, and a pack cut short.
    sys::WriteFileAtomic(packages + "scenario11.c3p", "garbage");
    const auto whole = test::BuildPackage(12, Scenario(12, "Cut"));
    sys::WriteFileAtomic(packages + "scenario12.c3p",
                         std::string(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2)));
    // A package without its environment file.
    sys::TResourcePackWriter bare;
    bare.Add("SCENARIO14", "1.lvl", "x");
    ASSERT_TRUE(bare.Save(packages + "scenario14.c3p"));

    const auto resources = Make();
    for (int slot = 0; slot <= 100; ++slot)
        EXPECT_EQ(resources->ScenarioAvailable(slot), slot == 0 || slot == 5) << "slot " << slot;
    EXPECT_EQ(resources->CurrentSlot(), kMoreScenariosSlot);
    EXPECT_EQ(resources->Title(0), "Built in");
    EXPECT_EQ(resources->Title(5), "Five");
    EXPECT_EQ(resources->Title(7), "");
    EXPECT_EQ(resources->Thumbnail(5), TScenarioFixture().Thumbnail);
    EXPECT_TRUE(resources->Thumbnail(9).empty());
    EXPECT_EQ(resources->Thumbnail(kMoreScenariosSlot), Bytes("more"));
    EXPECT_THROW(resources->Thumbnail(101), ERangeError);

    // A package that failed its check cannot be selected: the next
    // available slot is taken instead, here none.
    resources->SelectScenario(7);
    EXPECT_EQ(resources->CurrentSlot(), kMoreScenariosSlot);
    resources->SelectScenario(1);
    EXPECT_EQ(resources->CurrentSlot(), 5);
    EXPECT_EQ(resources->Config().Number, 5);
    EXPECT_EQ(resources->Config().Title, "Five");
}

TEST_F(ResourcesTest, SelectingGoesUpToTheNextAvailableSlotOrEndsAt100) {
    test::WritePackage(packages, 5, Scenario(5, "Five"));
    const auto resources = Make();
    resources->SelectScenario(0);
    EXPECT_EQ(resources->CurrentSlot(), 0);
    EXPECT_EQ(resources->Config().Title, "Built in");
    resources->SelectScenario(-3);  // no slot below 0
    EXPECT_EQ(resources->CurrentSlot(), 0);
    resources->SelectScenario(3);
    EXPECT_EQ(resources->CurrentSlot(), 5);
    // Past the last available slot: 100, and nothing loaded.
    resources->SelectScenario(6);
    EXPECT_EQ(resources->CurrentSlot(), kMoreScenariosSlot);
    EXPECT_EQ(resources->Config().Title, "Five");
    resources->SelectScenario(250);
    EXPECT_EQ(resources->CurrentSlot(), kMoreScenariosSlot);
}

TEST_F(ResourcesTest, ResourcesComeFromTheScenarioThenFromTheProgram) {
    TScenarioFixture five = Scenario(5, "Five");
    five.Extra = {{"Decor2.png", Bytes("package decor")}};
    sys::TResourcePackWriter pack;
    five.AddTo(pack, 5);
    pack.Add("DATA", "Misc2.jpg", "a package's own shared type is not used");
    ASSERT_TRUE(pack.Save(packages + "scenario5.c3p"));
    program.Data.push_back({"Decor2.png", Bytes("program decor")});
    const auto resources = Make();

    struct Case {
        const char* name;
        const char* bytes;  // nullptr: found nowhere
    };
    auto check = [&resources](const Case& c) {
        EXPECT_EQ(resources->HasResource(c.name), c.bytes != nullptr) << c.name;
        if (c.bytes) {
            EXPECT_EQ(resources->OpenResource(c.name), Bytes(c.bytes)) << c.name;
        } else {
            EXPECT_THROW(resources->OpenResource(c.name), EResNotFound) << c.name;
        }
    };

    resources->SelectScenario(5);
    for (const Case& c : {Case{"decor2.PNG", "package decor"}, Case{"Misc1.jpg", "misc"},
                          Case{"LANGenu.txt", "texts"}, Case{"Misc2.jpg", nullptr}, Case{"nothing.bin", nullptr}})
        check(c);
    EXPECT_EQ(resources->OpenResource("1.lvl"), five.LevelBytes());

    // The built-in scenario's resources come from the program.
    resources->SelectScenario(0);
    for (const Case& c : {Case{"Misc1.jpg", "built-in misc"}, Case{"Decor2.png", "program decor"}}) check(c);

    // With no scenario current, the program's shared resources still serve.
    resources->SelectScenario(6);
    for (const Case& c : {Case{"Misc1.jpg", "misc"}, Case{"1.lvl", nullptr}}) check(c);
    try {
        resources->OpenResource("nothing.bin");
    } catch (const EResNotFound& e) {
        EXPECT_STREQ(e.what(), "Resource nothing.bin not found");
    }
}

TEST_F(ResourcesTest, RescanReportsTheHighestNewSlot) {
    test::WritePackage(packages, 5, Scenario(5, "Five"));
    const auto resources = Make();
    EXPECT_EQ(resources->Rescan(), -1);
    test::WritePackage(packages, 20, Scenario(20, "Twenty"));
    test::WritePackage(packages, 30, Scenario(30, "Thirty"));
    EXPECT_EQ(resources->Rescan(), 30);
    EXPECT_TRUE(resources->ScenarioAvailable(20));
    EXPECT_EQ(resources->CurrentSlot(), kMoreScenariosSlot);
    EXPECT_EQ(resources->Rescan(), -1);
    sys::RemoveFile(packages + ScenarioPackageName(30));
    EXPECT_EQ(resources->Rescan(), -1);
    EXPECT_FALSE(resources->ScenarioAvailable(30));
}

TEST_F(ResourcesTest, AMissingThumbnailOnlyLogsAWarning) {
    TScenarioFixture plain = Scenario(5, "No picture");
    plain.Thumbnail.clear();
    test::WritePackage(packages, 5, plain);
    program.Data.clear();  // no "thumbmore.jpg" either
    const auto resources = Make();
    EXPECT_TRUE(resources->ScenarioAvailable(5));
    EXPECT_TRUE(resources->Thumbnail(5).empty());
    EXPECT_EQ(resources->Title(5), "No picture");
    EXPECT_NE(Log().find("Warning: Unable to fetch Scenario thumbnail"), std::string::npos) << Log();

    resources->LoadImageSlot(5, "thumb.jpg");
    EXPECT_TRUE(resources->Thumbnail(5).empty());
    resources->SelectScenario(5);
    resources->LoadImageSlot(100, "environment.txt");
    EXPECT_FALSE(resources->Thumbnail(100).empty());
}

TEST_F(ResourcesTest, WithoutTheProgramsPackOnlyPackagesAreFound) {
    test::WritePackage(packages, 5, Scenario(5, "Five"));
    TQVX3Resources resources(packages, dir / "missing.dat");
    EXPECT_TRUE(resources.ScenarioAvailable(5));
    EXPECT_FALSE(resources.ScenarioAvailable(0));
    resources.SelectScenario(0);
    EXPECT_EQ(resources.CurrentSlot(), 5);
    EXPECT_FALSE(resources.HasResource("langENU.txt"));
    EXPECT_NE(Log().find("Error: Unable to open the program's resources"), std::string::npos) << Log();
}

TEST(ScenarioChecksum, SumsLevelSceneryAndNumberBytes) {
    EXPECT_EQ(ScenarioChecksum(Bytes("abc"), Bytes("\x01"), 5), 97u + 98 + 99 + 1 + 5);
    // The number's four little-endian bytes, each as 0..255.
    EXPECT_EQ(ScenarioChecksum({}, {}, -1), 4u * 255);
    EXPECT_EQ(ScenarioChecksum({}, {}, 0x01020304), 10u);
}

}  // namespace
}  // namespace qv
