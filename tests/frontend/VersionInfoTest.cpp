// Version information and the please-wait box's text.
#include <gtest/gtest.h>

#include "foundation/qv3Language.h"
#include <QLabel>

#include "frontend/qv3QtText.h"
#include "frontend/ui/qv3About.h"
#include "frontend/ui/qv3Main.h"
#include "frontend/ui/qv3Messages.h"
#include "frontend/ui/qv3Pictures.h"
#include "frontend/ui/qv3PleaseWait.h"
#include "frontend/ui/qv3VersionInfo.h"
#include "tests/frontend/FrontendFixture.h"

namespace qv::ui {
namespace {

TEST(VersionInfoTest, AFileWithoutVersionInformationGivesEmptyTexts) {
    TdfsVersionInfoResource info("/etc/hostname");
    EXPECT_EQ(info.FileVersion.Text(), "");
    EXPECT_EQ(info.ProductVersion.Text(), "");
    EXPECT_EQ(info.BuildFlagsText(), "");
    EXPECT_TRUE(info.Translations().empty());
    for (int i = -1; i <= kPreDefCount; ++i) EXPECT_EQ(info.GetByIndex(i), "") << i;
    for (const auto& row : info.ListRows()) EXPECT_EQ(row.second, "") << row.first;
}

TEST(VersionInfoTest, TheProgramsOwnRecordCarriesItsVersion) {
    TdfsVersionInfoResource info;
    const std::string expected = std::to_string(QUORVEX_VERSION_MAJOR) + "." + std::to_string(QUORVEX_VERSION_MINOR) +
                                 "." + std::to_string(QUORVEX_VERSION_PATCH) + ".0";
    EXPECT_EQ(info.FileVersion.Text(), expected);
    EXPECT_EQ(info.GetByIndex(pdProductName), "Quorvex");
    EXPECT_EQ(info.Translations(), std::vector<std::string>{"040904e4"});
}

TEST(VersionInfoTest, OverrideFlagsAndTranslations) {
    TVersionInfoBlock block;
    block.FileVersionMS = (3u << 16) | 1u;
    block.FileVersionLS = (4u << 16) | 159u;
    block.FileFlags = VS_FF_DEBUG | VS_FF_SPECIALBUILD;
    block.Translation = {0x07, 0x04};  // shorter than one entry
    block.Strings["04090407"] = {{"FileVersion", "3.1 beta build 7"}, {"Comments", "c"}};

    TdfsVersionInfoResource info("/nonexistent");
    info.ApplyBlock(block);
    EXPECT_EQ(info.Translations(), std::vector<std::string>{"04090407"});
    EXPECT_EQ(info.FileVersion.Text(), "3.1 beta build 7");
    EXPECT_EQ(info.ProductVersion.Text(), "0.0.0.0");
    EXPECT_EQ(info.BuildFlagsText(), "Debug, Special");
    EXPECT_EQ(info.GetByIndex(pdComments), "c");

    block.Strings["04090407"].erase("FileVersion");
    block.FileFlags = VS_FF_PRERELEASE | VS_FF_INFOINFERRED | VS_FF_PATCHED | VS_FF_PRIVATEBUILD;
    info.ApplyBlock(block);
    EXPECT_EQ(info.FileVersion.Text(), "3.1.4.159");
    EXPECT_EQ(info.BuildFlagsText(), "Info Inferred, Patched, Pre-Release, Private");

    // Without a translation the default one is looked up.
    block.Translation.clear();
    block.Strings = {{"040904e4", {{"ProductName", "P"}}}};
    info.ApplyBlock(block);
    EXPECT_EQ(info.GetByIndex(pdProductName), "P");
}

class PleaseWaitTest : public test::FrontendFixture {};

TEST_F(PleaseWaitTest, TheTextIsComposedFromTheLanguageLine) {
    ASSERT_EQ(LangText(326), "Please wait while");
    TfrmPleaseWait box;
    box.SetMessageText("checks for a new version.");
    EXPECT_EQ(box.LabelText().toStdString(), "Please wait while Quorvex checks for a new version.");
    box.ShowAndRefresh();
    EXPECT_EQ(box.windowTitle().toStdString(), "Quorvex");
    EXPECT_TRUE(box.isVisible());
}

TEST_F(PleaseWaitTest, TheSpinnerComesFromTheResources) {
    MakeResources();
    const QImage strip = SpinnerFrames();
    EXPECT_EQ(strip.size(), QSize(48 * 12, 48));
    // The frames differ: the head of the spinner moves on.
    EXPECT_NE(strip.copy(0, 0, 48, 48), strip.copy(48, 0, 48, 48));
    // Every spinner starts with them, the please-wait box's and the duel's.
    EXPECT_TRUE(TSpinner().HasFrames());
    GameResources.reset();
    EXPECT_TRUE(SpinnerFrames().isNull());
    EXPECT_FALSE(TSpinner().HasFrames());
}

TEST_F(PleaseWaitTest, TheAboutBoxShowsVersionAndCopyright) {
    std::vector<std::string> opened;
    QImage picture(400, 350, QImage::Format_RGB32);
    picture.fill(Qt::darkBlue);
    TfrmGameAbout about(nullptr, &picture, [&opened](const std::string& url) { opened.push_back(url); });
    about.show();
    EXPECT_EQ(Cp1252(about.windowTitle()), LangText(2));
    EXPECT_EQ(Cp1252(about.VersionText()), LangText(0) + "  " + TdfsVersionInfoResource().FileVersion.Text());
    EXPECT_EQ(Cp1252(about.CopyrightText()), LangText(1));
    EXPECT_EQ(about.size(), QSize(400, 350));
    auto* link = about.findChild<QLabel*>("lblLink");
    ASSERT_NE(link, nullptr);
    emit link->linkActivated(kMakerSiteUrl);
    EXPECT_EQ(opened, std::vector<std::string>{kMakerSiteUrl});
    about.accept();
}

TEST(VersionFileTest, OnlyAVersionNumberAndAWebAddress) {
    struct Case {
        std::string reply;
        bool valid;
        const char* page;
    } cases[] = {
        {"3.0.0.1\r\nhttp://x.example/new", true, "http://x.example/new"},
        {"3.0.0.1\r\nhttps://x.example/\r\nmore", true, "https://x.example/"},
        {"99999.0.0.99", true, ""},  // one line: nothing to offer
        {"", false, ""},
        {"3.0.0\r\nhttp://x/", false, ""},
        {"3.0.0.0.1\r\nhttp://x/", false, ""},
        {"3.0..1\r\nhttp://x/", false, ""},
        {"3.0.0.123456\r\nhttp://x/", false, ""},
        {"v3.0.0.1\r\nhttp://x/", false, ""},
        {"3.0.0.1 \r\nhttp://x/", false, ""},
        {"<html>\r\n<body>", false, ""},
        {std::string(1023, 'A') + "\r\n" + std::string(1023, 'A'), false, ""},
        {"3.0.0.1\r\nfile:///etc/passwd", false, ""},
        {"3.0.0.1\r\nhttp://x/with blank", false, ""},
        {"3.0.0.1\r\nhttp://x/" + std::string(150, 'p'), false, ""},
    };
    for (const Case& c : cases) {
        const TVersionFile file = ReadVersionFile(c.reply);
        EXPECT_EQ(file.Valid, c.valid) << c.reply.substr(0, 40);
        EXPECT_EQ(file.Page, c.page) << c.reply.substr(0, 40);
    }
    EXPECT_EQ(ReadVersionFile("3.0.0.10\r\nhttp://x/").Version, "3.0.0.10");
}

}  // namespace
}  // namespace qv::ui
