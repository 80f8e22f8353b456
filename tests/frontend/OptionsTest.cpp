// The options dialog over a scripted Direct3D: which display modes can be
// chosen, what OK stores in the settings file, the hidden country list, and
// that only OK or Cancel let the dialog go.
#include <QButtonGroup>
#include <QComboBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "frontend/qv3QtText.h"
#include "frontend/qv3SettingsFile.h"
#include "frontend/ui/qv3Messages.h"
#include "frontend/ui/qv3Options.h"
#include "media/zkDisplayMode.h"
#include "platform/render/FakeD3D8.h"
#include "tests/frontend/FrontendFixture.h"

namespace qv::ui {
namespace {

class NoMessages : public IMessages {
public:
    bool Confirm(const std::string& t) override { return Record(t); }
    bool WarnYesNo(const std::string& t) override { return Record(t); }
    void Info(const std::string& t) override { Record(t); }
    void Error(const std::string& t) override { Record(t); }
    std::vector<std::string> shown;

private:
    bool Record(const std::string& t) {
        shown.push_back(t);
        return false;
    }
};

class OptionsTest : public test::FrontendFixture {
protected:
    std::unique_ptr<TzkD3D8> MakeD3D(std::vector<d3d::D3DDISPLAYMODE> modes, d3d::D3DFORMAT desktop) {
        d3d::TFakeAdapter a = d3d::StandardFakeAdapter();
        a.Modes = std::move(modes);
        a.Desktop.Format = desktop;
        world_->Adapters = {a};
        return std::make_unique<TzkD3D8>([w = world_] { return d3d::CreateFakeDirect3D8(w); });
    }
    std::string SettingsPath() const { return UserDataDir + "env.dat"; }
    std::unique_ptr<TfrmGameOptions> Make(TzkD3D8* d3d) {
        return std::make_unique<TfrmGameOptions>(nullptr, d3d, SettingsPath(), TSettingsHost{}, &messages_);
    }

    std::shared_ptr<d3d::TFakeWorld> world_ = std::make_shared<d3d::TFakeWorld>();
    NoMessages messages_;
};

TEST_F(OptionsTest, ADeviceWithOnly16BitModesOffersWindowAnd16Bit) {
    auto d3d = MakeD3D({{800, 600, 0, d3d::D3DFMT_R5G6B5}, {1024, 768, 0, d3d::D3DFMT_R5G6B5}}, d3d::D3DFMT_R5G6B5);
    auto options = Make(d3d.get());
    ASSERT_FALSE(options->NoDeviceFound());
    options->show();
    EXPECT_EQ(options->Devices()->count(), 1);
    EXPECT_TRUE(options->WindowButton()->isEnabled());
    EXPECT_TRUE(options->FullScreen16Button()->isEnabled());
    EXPECT_FALSE(options->FullScreen32Button()->isEnabled());

    // A stored 32-bit choice cannot be kept: OK stays off until one that can.
    options->FullScreen32Button()->setChecked(true);
    EXPECT_EQ(options->ChosenDisplayMode(), dmNone);
    EXPECT_FALSE(options->OkButton()->isEnabled());
    options->FullScreen16Button()->setChecked(true);
    EXPECT_TRUE(options->OkButton()->isEnabled());
    options->MusicVolume()->setValue(40);
    options->OkButton()->click();
    EXPECT_FALSE(options->isVisible());

    // The choice is in the settings file, and it picks the 16-bit 800 x 600 mode.
    TEnvironmentRecord stored;
    ASSERT_TRUE(LoadEnvironment(stored, SettingsPath()));
    EXPECT_EQ(stored.DisplayMode, dmFullScreen16);
    EXPECT_EQ(stored.MusicVolume, 40);
    EXPECT_EQ(stored.DeviceType, 1);
    TzkD3DMode mode;
    options->GetSelectedMode(mode);
    EXPECT_EQ(mode.Width, 800u);
    EXPECT_EQ(mode.Height, 600u);
    EXPECT_EQ(mode.Format, d3d::D3DFMT_R5G6B5);
    EXPECT_EQ(mode.BehaviorFlags, 0x20u);
    EXPECT_TRUE(options->DisplayUsable());
    EXPECT_FALSE(options->IsWindowed());
}

TEST_F(OptionsTest, WindowAnd32BitChoicesAreKeptAcrossRuns) {
    auto d3d = MakeD3D({{800, 600, 0, d3d::D3DFMT_X8R8G8B8}, {800, 600, 0, d3d::D3DFMT_R5G6B5}},
                       d3d::D3DFMT_X8R8G8B8);
    for (std::uint8_t wanted : {dmFullScreen32, dmWindow}) {
        {
            auto options = Make(d3d.get());
            options->show();
            (wanted == dmWindow ? options->WindowButton() : options->FullScreen32Button())->setChecked(true);
            options->OkButton()->click();
        }
        Environment = TEnvironmentRecord{};
        auto again = Make(d3d.get());
        EXPECT_EQ(Environment.DisplayMode, wanted);
        again->show();
        EXPECT_EQ(again->ChosenDisplayMode(), wanted);
        TzkD3DMode mode;
        again->GetSelectedMode(mode);
        EXPECT_EQ(mode.Format, d3d::D3DFMT_X8R8G8B8);
        EXPECT_EQ(again->IsWindowed(), wanted == dmWindow);
        again->CancelButton()->click();
    }
}

TEST_F(OptionsTest, NoHardwareDeviceLeavesTheListEmpty) {
    auto d3d = MakeD3D({{1024, 768, 0, d3d::D3DFMT_X8R8G8B8}}, d3d::D3DFMT_X8R8G8B8);  // no 800 x 600
    auto options = Make(d3d.get());
    EXPECT_TRUE(options->NoDeviceFound());
    EXPECT_EQ(options->SelectedDevice(), nullptr);
    EXPECT_FALSE(options->DisplayUsable());
    TzkD3DMode mode;
    mode.Width = 5;
    options->GetSelectedMode(mode);
    EXPECT_EQ(mode.Width, 0u);
    auto none = Make(nullptr);
    EXPECT_TRUE(none->NoDeviceFound());
}

// A language file that ends inside the country names: the list holds the
// names there are, the stored country (past the end) is not selected, and
// showing the dialog throws nothing out of its event handler.
TEST_F(OptionsTest, AShortLanguageFileGivesTheCountriesItHas) {
    auto d3d = MakeD3D({{800, 600, 0, d3d::D3DFMT_X8R8G8B8}}, d3d::D3DFMT_X8R8G8B8);
    std::string shortFile;
    for (int n = 0; n < 100; ++n) shortFile += "text " + std::to_string(n) + "\r\n";
    SetLanguageResourceOpener([&](const std::string&) { return std::optional<std::string>(shortFile); });
    SetLanguage(0);
    const int count = LanguageTextCount();
    ASSERT_GT(count, kFirstCountryText);
    ASSERT_LT(count, kLastCountryText);
    EXPECT_EQ(CountryTexts().size(), static_cast<std::size_t>(count - kFirstCountryText));
    Environment.Country = 207;
    auto options = Make(d3d.get());
    EXPECT_NO_THROW(options->show());
    EXPECT_EQ(options->Countries()->count(), count - kFirstCountryText);
    EXPECT_EQ(options->Countries()->currentItem(), nullptr);
    options->hide();
    SetLanguageResourceOpener([](const std::string& name) { return sys::ReadFileText(ProgramDir + name); });
    SetLanguage(0);
    EXPECT_EQ(CountryTexts().size(), 243u);
}

TEST_F(OptionsTest, CountryZeroShowsSwitzerlandAndOkStoresIt) {
    auto d3d = MakeD3D({{800, 600, 0, d3d::D3DFMT_X8R8G8B8}}, d3d::D3DFMT_X8R8G8B8);
    auto options = Make(d3d.get());
    Environment.Country = 0;
    options->show();
    ASSERT_NE(options->Countries()->currentItem(), nullptr);
    EXPECT_EQ(Cp1252(options->Countries()->currentItem()->text()), LangText(289));
    EXPECT_EQ(options->Countries()->count(), 243);
    EXPECT_FALSE(options->Countries()->isVisible());
    // Sorted by name.
    EXPECT_LT(options->Countries()->item(0)->text(), options->Countries()->item(1)->text());
    options->WindowButton()->setChecked(true);
    options->OkButton()->click();
    EXPECT_EQ(Environment.Country, 207);
}

TEST_F(OptionsTest, OnlyOkOrCancelLetTheDialogClose) {
    auto d3d = MakeD3D({{800, 600, 0, d3d::D3DFMT_X8R8G8B8}}, d3d::D3DFMT_X8R8G8B8);
    auto options = Make(d3d.get());
    options->show();
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(options.get(), &esc);
    EXPECT_TRUE(options->isVisible());
    options->close();
    EXPECT_TRUE(options->isVisible());
    options->reject();
    EXPECT_TRUE(options->isVisible());
    options->CancelButton()->click();
    EXPECT_FALSE(options->isVisible());
    // Once let go, it closes by any means.
    options->show();
    options->close();
    EXPECT_FALSE(options->isVisible());
}

TEST_F(OptionsTest, TheLanguageChoiceChangesTheTexts) {
    auto d3d = MakeD3D({{800, 600, 0, d3d::D3DFMT_X8R8G8B8}}, d3d::D3DFMT_X8R8G8B8);
    auto options = Make(d3d.get());
    options->show();
    const std::string english = LangText(36);
    options->Languages()->button(1)->setChecked(true);
    options->FullScreen32Button()->setChecked(true);
    options->OkButton()->click();
    EXPECT_EQ(ReadLanguageIndex(), 1);
    EXPECT_NE(LangText(36), english);
    SetLanguage(0);
}

TEST(DisplayModeTest, FindDisplayModeTable) {
    d3d::D3DCAPS8 caps;
    caps.DevCaps = 0x400;
    caps.SrcBlendCaps = 0x2;
    caps.DestBlendCaps = 0x20;
    EXPECT_TRUE(AcceptGameDevice(caps, 0x20));
    EXPECT_FALSE(AcceptGameDevice(caps, 0x40));
    EXPECT_FALSE(AcceptGameDevice(caps, 0x20 | 0x40));
    caps.DestBlendCaps = 0x10;
    EXPECT_FALSE(AcceptGameDevice(caps, 0x20));
    EXPECT_TRUE(AcceptGameMode({800, 600, 0, d3d::D3DFMT_R5G6B5}));
    EXPECT_FALSE(AcceptGameMode({800, 601, 0, d3d::D3DFMT_R5G6B5}));
    for (d3d::D3DFORMAT f : {20u, 21u, 22u}) EXPECT_TRUE(Is32BitFormat(f)) << f;
    for (d3d::D3DFORMAT f : {23u, 24u, 25u, 0u}) EXPECT_FALSE(Is32BitFormat(f)) << f;
    EXPECT_FALSE([] {
        TzkD3DMode m;
        return FindDisplayMode(nullptr, 1, m);
    }());
}

}  // namespace
}  // namespace qv::ui
