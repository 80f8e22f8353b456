#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/qv3Log.h"
#include "game/assets/qv3Resources.h"
#include "platform/resources/ResourcePackWriter.h"
#include "platform/system/Files.h"
#include "tests/support/OtherUser.h"
#include "tests/support/Pictures.h"
#include "tests/support/ScenarioFixture.h"
#include "tests/support/TempDir.h"

namespace qv {
namespace {

using test::Bytes;
using test::TScenarioFixture;
using TBytes = std::vector<std::uint8_t>;

// A 3 x 2 JPEG and a 2 x 2 PNG.
TBytes ThumbJpeg() { return test::EncodeJpeg(3, 2, 3, std::vector<std::uint8_t>(3 * 2 * 3, 200)); }
TBytes MorePng() { return test::EncodeRgbPng(2, 2, {0x102030, 0x102030, 0x102030, 0x102030}); }

test::TScenarioFixture Scenario(int number, std::string title) {
    TScenarioFixture s;
    s.Number = number;
    s.Title = std::move(title);
    s.Thumbnail = ThumbJpeg();
    return s;
}

class ResourcesTest : public ::testing::Test {
protected:
    ResourcesTest() {
        SetLogFile(dir / "quorvex.log");
        sys::CreateDirectories(packages);
        program.Data = {{"thumbmore.jpg", MorePng()}, {"langENU.txt", Bytes("texts")}, {"Misc1.jpg", Bytes("misc")}};
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
    EXPECT_EQ(resources->Thumbnail(5), ThumbJpeg());
    EXPECT_TRUE(resources->Thumbnail(9).empty());
    EXPECT_EQ(resources->Thumbnail(kMoreScenariosSlot), MorePng());
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

// The packages lie in the machine-wide folder: a link (even to a good
// package), a FIFO, a folder or a file larger than any package is not
// offered, with a Warning, and the scan goes on without hanging.
TEST_F(ResourcesTest, PlantedPackagesAreNotOffered) {
    ASSERT_TRUE(sys::CreateDirectories(dir / "elsewhere"));
    test::WritePackage(dir / "elsewhere/", 6, Scenario(6, "Six"));
    ASSERT_EQ(::symlink((dir / "elsewhere/scenario6.c3p").c_str(), (packages + "scenario6.c3p").c_str()), 0);
    ASSERT_EQ(::mkfifo((packages + "scenario8.c3p").c_str(), 0644), 0);
    ASSERT_TRUE(sys::CreateDirectories(packages + "scenario10.c3p"));
    sys::WriteFileAtomic(packages + "scenario11.c3p", "");
    ASSERT_EQ(::truncate((packages + "scenario11.c3p").c_str(), static_cast<off_t>(sys::kMaxScenarioPackageSize + 1)), 0);
    test::WritePackage(packages, 5, Scenario(5, "Five"));
    const auto resources = Make();
    for (int slot : {6, 8, 10, 11}) {
        EXPECT_FALSE(resources->ScenarioAvailable(slot)) << slot;
        EXPECT_NE(Log().find("* Warning: Scenario " + std::to_string(slot) + " not offered (" + packages + "scenario" +
                             std::to_string(slot) + ".c3p)"),
                  std::string::npos)
            << Log();
    }
    EXPECT_TRUE(resources->ScenarioAvailable(5));
}

// Where every user can write the machine-wide folder, a package another
// user put there is not offered; the player's own and root's are.
TEST_F(ResourcesTest, AnotherUsersPackageInAFolderAllCanWriteIsNotOffered) {
    test::OtherUserFiles others;
    test::WritePackage(packages, 5, Scenario(5, "Five"));
    test::WritePackage(packages, 6, Scenario(6, "Six"));
    ASSERT_TRUE(test::OtherUserFiles::Give(packages + "scenario6.c3p"));
    ASSERT_EQ(::chmod(packages.c_str(), 01777), 0);
    const auto resources = Make();
    EXPECT_TRUE(resources->ScenarioAvailable(5));
    EXPECT_FALSE(resources->ScenarioAvailable(6));
    EXPECT_NE(Log().find("* Warning: Scenario 6 not offered (" + packages + "scenario6.c3p)"), std::string::npos)
        << Log();
    ::chmod(packages.c_str(), 0755);
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
        EXPECT_EQ(resources->CanOpenResource(c.name), c.bytes != nullptr) << c.name;
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

TEST_F(ResourcesTest, AMissingOrDamagedThumbnailOnlyLogsAWarning) {
    TScenarioFixture plain = Scenario(5, "No picture");
    plain.Thumbnail.clear();
    test::WritePackage(packages, 5, plain);
    // A damaged picture is found out at the scan, not when it is shown.
    TScenarioFixture damaged = Scenario(6, "Damaged picture");
    damaged.Thumbnail.resize(damaged.Thumbnail.size() / 3);
    test::WritePackage(packages, 6, damaged);
    TScenarioFixture notAPicture = Scenario(7, "Not a picture");
    notAPicture.Thumbnail = Bytes("\xFF\xD8\xFF thumbnail");
    test::WritePackage(packages, 7, notAPicture);
    program.Data.clear();  // no "thumbmore.jpg" either
    const auto resources = Make();
    for (int slot : {5, 6, 7}) {
        EXPECT_TRUE(resources->ScenarioAvailable(slot)) << slot;
        EXPECT_TRUE(resources->Thumbnail(slot).empty()) << slot;
    }
    EXPECT_EQ(resources->Title(5), "No picture");
    EXPECT_EQ(resources->Title(6), "Damaged picture");
    const std::string log = Log();
    std::size_t warnings = 0;
    for (std::size_t at = log.find("Warning: Unable to fetch Scenario thumbnail"); at != std::string::npos;
         at = log.find("Warning: Unable to fetch Scenario thumbnail", at + 1))
        ++warnings;
    EXPECT_EQ(warnings, 4u) << log;  // three scenarios and "thumbmore.jpg"

    resources->LoadImageSlot(5, "thumb.jpg");
    EXPECT_TRUE(resources->Thumbnail(5).empty());
    resources->SelectScenario(5);
    resources->LoadImageSlot(100, "environment.txt");
    EXPECT_TRUE(resources->Thumbnail(100).empty());
}

TEST_F(ResourcesTest, APackagesOwnPngIsNeverPassedOverForTheProgramsJpeg) {
    TScenarioFixture five = Scenario(5, "Five");
    five.Extra = {{"Decor1.png", Bytes("package png")}};
    test::WritePackage(packages, 5, five);
    program.Data.push_back({"Decor1.jpg", Bytes("program jpg")});
    program.Data.push_back({"Decor3.jpg", Bytes("program only")});
    const auto resources = Make();
    resources->SelectScenario(5);
    EXPECT_FALSE(resources->HasResource("Decor1.jpg"));
    EXPECT_TRUE(resources->HasResource("Decor1.png"));
    // What the package lacks is not the package's, but still opens.
    EXPECT_FALSE(resources->HasResource("Decor3.jpg"));
    EXPECT_TRUE(resources->CanOpenResource("Decor3.jpg"));
    EXPECT_FALSE(resources->CanOpenResource("Decor3.png"));
    EXPECT_EQ(resources->OpenResource("Decor3.jpg"), Bytes("program only"));
    // The built-in scenario is the program's: its shared resources count.
    resources->SelectScenario(0);
    EXPECT_TRUE(resources->HasResource("Decor1.jpg"));
}

// The program's own resources (the codec, the lobby's pictures) come from
// its pack whatever scenario is current, even one that has a resource of
// the same name.
TEST_F(ResourcesTest, TheProgramsOwnResourcesComeFromItsPackAlone) {
    TScenarioFixture five = Scenario(5, "Five");
    five.Extra = {{"lobbyplayer0.png", Bytes("package picture")}};
    test::WritePackage(packages, 5, five);
    program.Data.push_back({"lobbyplayer0.png", Bytes("program picture")});
    const auto resources = Make();
    resources->SelectScenario(5);
    ASSERT_EQ(resources->OpenResource("lobbyplayer0.png"), Bytes("package picture"));
    EXPECT_EQ(resources->ProgramResource("DATA", "lobbyplayer0.png"), Bytes("program picture"));
    EXPECT_EQ(resources->ProgramResource("DATA", "nothing.png"), std::nullopt);
    EXPECT_EQ(resources->ProgramResource("DLL", "lobbyplayer0.png"), std::nullopt);
    TQVX3Resources withoutPack(packages, dir / "missing.dat");
    EXPECT_EQ(withoutPack.ProgramResource("DATA", "lobbyplayer0.png"), std::nullopt);
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
