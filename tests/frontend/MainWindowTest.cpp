// The main window on the offscreen platform, with the program's real
// pictures and scenarios, a scripted Direct3D, a fake browser and clock, and
// a recorder in place of the game window.
#include <QApplication>
#include <QContextMenuEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "frontend/online/qv3Inet.h"
#include "frontend/qv3SettingsFile.h"
#include "frontend/ui/qv3Carousel.h"
#include "frontend/ui/qv3InstanceServer.h"
#include "frontend/ui/qv3Magnetic.h"
#include "frontend/ui/qv3Main.h"
#include "frontend/ui/qv3Options.h"
#include "platform/render/FakeD3D8.h"
#include "platform/system/InstanceMessage.h"
#include "tests/frontend/FrontendFixture.h"
#include "tests/online/FailingReplies.h"
#include "tests/online/HoldingServer.h"
#include "tests/support/OtherUser.h"

namespace qv::ui {
namespace {

void CopyFile(const std::string& from, const std::string& to) {
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

class ScriptedMessages : public IMessages {
public:
    bool Confirm(const std::string& t) override { return Record(t); }
    bool WarnYesNo(const std::string& t) override { return Record(t); }
    void Info(const std::string& t) override { Record(t); }
    void Error(const std::string& t) override { Record(t); }
    std::vector<std::string> shown;
    bool answer = false;

private:
    bool Record(const std::string& t) {
        shown.push_back(t);
        return answer;
    }
};

class FakeBrowser : public IBrowserView {
public:
    void Navigate(const std::string& url) override { navigated.push_back(url); }
    void SetGeometry(const QRect& rect) override { geometry = rect; }
    std::vector<std::string> navigated;
    QRect geometry;
};

class MainWindowTest : public test::FrontendFixture {
protected:
    void SetUp() override {
        FrontendFixture::SetUp();
        MakeResources();
        world_->Adapters = {d3d::StandardFakeAdapter()};
    }
    void TearDown() override {
        options_.reset();
        main_.reset();
        FrontendFixture::TearDown();
    }

    TMainWindowServices Services() {
        TMainWindowServices s;
        s.Messages = &messages_;
        s.TickCount = [this] { return now_; };
        s.MakeDirect3D = [w = world_] {
            return std::make_unique<TzkD3D8>([w] { return d3d::CreateFakeDirect3D8(w); });
        };
        s.RunGame = [this](const TGameRequest& r) {
            games_.push_back(r);
            if (onGame_) onGame_();
            return gameResult_;
        };
        s.MakeBrowser = [this](QWidget*) {
            ++browsersMade_;
            auto b = std::make_unique<FakeBrowser>();
            browser_ = b.get();
            return b;
        };
        s.Hooks.IsInternetConnected = [this] { return online_; };
        s.Hooks.CheckInternet = [this](bool) { return online_; };
        s.Hooks.OpenURL = [this](const std::string& url) { opened_.push_back(url); };
        s.Hooks.HttpGetText = [this](const std::string& url) {
            fetched_.push_back(url);
            if (realHttp_) return HttpGetText(url);
            if (httpFails_) throw std::runtime_error("unreachable");
            return httpReply_;
        };
        s.Beep = [this] { ++beeps_; };
        s.Args = args_;
        return s;
    }
    void Start() {
        main_ = std::make_unique<TfrmMain>(Services());
        options_ = std::make_unique<TfrmGameOptions>(nullptr, main_->D3D8Enum(), UserDataDir + "env.dat",
                                                     TSettingsHost{}, &messages_);
        main_->SetOptions(options_.get());
        main_->show();
    }
    void Settle() {
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
    }
    QRgb At(int x, int y) const { return main_->Picture().pixel(x, y); }
    bool SameRect(const QImage& a, const QImage& b, const QRect& r) const { return a.copy(r) == b.copy(r); }

    std::shared_ptr<d3d::TFakeWorld> world_ = std::make_shared<d3d::TFakeWorld>();
    ScriptedMessages messages_;
    std::unique_ptr<TfrmMain> main_;
    std::unique_ptr<TfrmGameOptions> options_;
    std::vector<TGameRequest> games_;
    std::function<void()> onGame_;
    std::string gameResult_;
    FakeBrowser* browser_ = nullptr;
    int browsersMade_ = 0;
    bool online_ = false;
    bool httpFails_ = false;
    bool realHttp_ = false;  // the version check asks a server of the test
    std::string httpReply_;
    std::vector<std::string> opened_, fetched_;
    int beeps_ = 0;
    std::uint32_t now_ = 100000;
    std::vector<std::string> args_;
};

TEST_F(MainWindowTest, StartsWithThePictureCarouselAndAUsableDisplay) {
    Start();
    Settle();
    EXPECT_TRUE(main_->FormShowDone());
    EXPECT_EQ(main_->DisplayState, 2);
    EXPECT_EQ(main_->windowTitle().toStdString(), "Quorvex");
    EXPECT_EQ(main_->PictureWidget()->size(), QSize(500, 522));
    // The saved scenario (1) is current; its neighbours are the lobby and
    // "more scenarios".
    EXPECT_EQ(GameResources->CurrentSlot(), 1);
    // The logo area holds logo 1 and the carousel replaced the white quads.
    const QImage base = main_->MenuBitmaps()[0];
    EXPECT_FALSE(SameRect(main_->Picture(), base, kLogoRect));
    EXPECT_NE(At(250, 440), base.pixel(250, 440));
    EXPECT_NE(At(50, 420), base.pixel(50, 420));
    EXPECT_NE(At(450, 420), base.pixel(450, 420));
    // The browser starts hidden and is not made before it is needed.
    EXPECT_FALSE(main_->BrowserShown);
    EXPECT_EQ(browsersMade_, 0);
    EXPECT_TRUE(main_->CheckLogPending);
    EXPECT_TRUE(sys::FileExists(CommonDataDir + "l3codecx.acm"));
    EXPECT_NE(Log().find("* Checkpoint: Initialized"), std::string::npos);
    EXPECT_NE(Log().find("* Info: Started at :"), std::string::npos);
    EXPECT_FALSE(main_->actPlayNew->isVisible());
    EXPECT_EQ(main_->actPlayGame->shortcut(), QKeySequence(Qt::Key_F9));
}

TEST_F(MainWindowTest, AnExistingCodecFileIsLeftAsItIs) {
    ASSERT_TRUE(sys::WriteFileAtomic(CommonDataDir + "l3codecx.acm", "mine"));
    Start();
    EXPECT_EQ(sys::ReadFileText(CommonDataDir + "l3codecx.acm"), "mine");
}

// In a machine-wide folder others can write, a codec file another user put
// there, or a link, is not the program's: it is replaced by the program's own.
TEST_F(MainWindowTest, AnotherUsersCodecFileOrALinkIsReplaced) {
    const std::string codec = CommonDataDir + "l3codecx.acm";
    const std::string victim = dir_ / "victim";
    ASSERT_TRUE(sys::WriteFileAtomic(victim, "victim"));
    for (const char* kind : {"other's", "link"}) {
        SCOPED_TRACE(kind);
        test::OtherUserFiles others;
        ASSERT_TRUE(sys::RemoveFile(codec));
        if (std::string(kind) == "link") {
            ASSERT_EQ(::symlink(victim.c_str(), codec.c_str()), 0);
        } else {
            ASSERT_TRUE(sys::WriteFileAtomic(codec, "planted"));
            ASSERT_TRUE(test::OtherUserFiles::Give(codec));
        }
        ASSERT_EQ(::chmod(CommonDataDir.c_str(), 01777), 0);
        options_.reset();
        main_.reset();
        Start();
        const auto now = sys::ReadFileText(codec);
        ASSERT_TRUE(now);
        EXPECT_NE(*now, "planted");
        EXPECT_NE(*now, "victim");
        EXPECT_EQ(sys::InspectFile(codec, sys::LinkRule::Refuse), sys::FileStatus::Ok);
        EXPECT_EQ(sys::ReadFileText(victim), "victim");
        EXPECT_NE(Log().find("* Warning: Codec file " + codec + " is a link or another user's; replaced"),
                  std::string::npos)
            << Log();
        ::chmod(CommonDataDir.c_str(), 0755);
    }
}

TEST_F(MainWindowTest, ALocalPageOpensOnceAndAFailedCodecExportIsAWarning) {
    // A program folder with a local page and without the program's pack.
    ProgramDir = dir_ / "program/";
    ASSERT_TRUE(sys::CreateDirectories(ProgramDir + "sp"));
    ASSERT_TRUE(sys::WriteFileAtomic(ProgramDir + "sp/web.htm", "<html></html>"));
    GameResources = std::make_unique<TQVX3Resources>(CommonDataDir, ProgramDir + kProgramResourceFile);
    Start();
    Settle();
    EXPECT_EQ(opened_, std::vector<std::string>{"file://" + ProgramDir + "sp/web.htm"});
    EXPECT_FALSE(sys::FileExists(CommonDataDir + "l3codecx.acm"));
    EXPECT_NE(Log().find("* Warning: Unable to export mp3 codec file: "), std::string::npos) << Log();
    EXPECT_EQ(main_->DisplayState, 2);  // start-up went on
}

TEST_F(MainWindowTest, ADamagedCurrentScenarioFallsBackToAnInstalledOne) {
    for (const std::int32_t stored : {5000, -7, 100}) {
        // A settings file that holds the slot as it is.
        TEnvironmentRecord record;
        record.SetDefaults(0, 1);
        record.CurrentScenario = stored;
        const std::vector<std::uint8_t> file = EncodeSettingsFile(record);
        ASSERT_TRUE(sys::WriteFileAtomic(UserDataDir + "env.dat",
                                         std::string_view(reinterpret_cast<const char*>(file.data()), file.size())));
        MakeResources();
        Start();
        Settle();
        const int slot = GameResources->CurrentSlot();
        EXPECT_TRUE(slot == 100 || GameResources->ScenarioAvailable(slot)) << stored;
        main_->actPlayGame->trigger();  // never plays a slot that is not there
        if (slot == 100) {
            EXPECT_TRUE(games_.empty()) << stored;
        }
        EXPECT_EQ(Environment.CurrentScenario, stored);
        options_.reset();
        main_.reset();
        games_.clear();
    }
}

TEST_F(MainWindowTest, HoverAndPressPicturesFollowTheRegions) {
    Start();
    Settle();
    const QImage before = main_->Picture();
    const QRect left = RegionRect(0);
    main_->Magnetic()->Regions().MouseMove(QPoint(120, 435));
    const QImage hover = main_->Picture();
    EXPECT_FALSE(SameRect(hover, before, left));
    main_->Magnetic()->Regions().ButtonDown(QPoint(120, 435));
    EXPECT_FALSE(SameRect(main_->Picture(), hover, left));
    main_->Magnetic()->Regions().MouseMove(QPoint(20, 20));
    EXPECT_TRUE(SameRect(main_->Picture(), main_->MenuBitmaps()[0], left));
    main_->Magnetic()->Regions().ButtonUp(QPoint(20, 20));
    EXPECT_EQ(GameResources->CurrentSlot(), 1);  // released outside: no click

    // The scenario field's pictures keep the carousel on top.
    main_->Magnetic()->Regions().MouseMove(QPoint(250, 440));
    EXPECT_FALSE(SameRect(main_->Picture(), before, RegionRect(2).adjusted(0, 0, 0, -140)));
    EXPECT_EQ(At(250, 440), before.pixel(250, 440));
}

TEST_F(MainWindowTest, ArrowsWalkTheCarouselAndTheFieldPlaysOrDownloads) {
    Start();
    Settle();
    main_->HotspotClick(1);
    EXPECT_EQ(GameResources->CurrentSlot(), 100);
    // On "more scenarios": the field, F9 and Play all download, never play.
    online_ = true;
    main_->HotspotClick(2);
    main_->actPlayGame->trigger();
    main_->Play();
    EXPECT_TRUE(games_.empty());
    ASSERT_EQ(browser_ != nullptr, true);
    ASSERT_EQ(browser_->navigated.size(), 3u);
    EXPECT_NE(browser_->navigated[0].find("more.asp?inst=0001&lid=0"), std::string::npos) << browser_->navigated[0];
    EXPECT_FALSE(main_->actPublishHighscore->isEnabled());
    for (QAction* a : main_->actLevel) EXPECT_FALSE(a->isChecked());
    main_->actGotoHighscore->trigger();
    main_->actReplayWorldBest->trigger();
    EXPECT_EQ(messages_.shown, (std::vector<std::string>{"Please select a scenario first",
                                                         "Please select a scenario first"}));
    // Offline the download page opens in the system's browser instead.
    main_->HotspotClick(1);
    EXPECT_EQ(GameResources->CurrentSlot(), 0);
    main_->HotspotClick(0);
    EXPECT_EQ(GameResources->CurrentSlot(), 100);
    main_->HotspotClick(0);
    EXPECT_EQ(GameResources->CurrentSlot(), 1);

    // The field on a scenario plays it, with the options' display mode.
    main_->HotspotClick(2);
    ASSERT_EQ(games_.size(), 1u);
    EXPECT_EQ(games_[0].GameMode, 0);
    EXPECT_EQ(games_[0].Value, -1);
    EXPECT_EQ(games_[0].Mode.Width, 800u);
    EXPECT_EQ(games_[0].AdapterEntry, options_->SelectedDevice());
    EXPECT_EQ(games_[0].Windowed, Environment.DisplayMode == dmWindow);
}

TEST_F(MainWindowTest, StartLevelsAreKeptPerSlot) {
    Start();
    Settle();
    main_->actLevel[3]->trigger();
    EXPECT_EQ(Environment.Scenarios[1].StartLevel, 3);
    main_->HotspotClick(0);  // the lobby
    EXPECT_EQ(GameResources->CurrentSlot(), 0);
    main_->UpdateActions();
    EXPECT_TRUE(main_->actLevel[0]->isChecked());
    main_->HotspotClick(1);
    main_->UpdateActions();
    EXPECT_TRUE(main_->actLevel[3]->isChecked());
}

TEST_F(MainWindowTest, AGameKeepsTheWindowBusyAndItsResultIsShown) {
    Start();
    Settle();
    bool busyDuring = false;
    onGame_ = [this, &busyDuring] {
        busyDuring = main_->Busy;
        // A package arrives during the game: nothing happens yet.
        CopyFile(ProgramDir + "scenario2.c3p", CommonDataDir + "scenario2.c3p");
        main_->InstanceMessage(sys::kScenarioInstalledMessage);
        Environment.Scenarios[1].HighScores[0].Score = 12345;
    };
    gameResult_ = "Error on frame";
    main_->actPlayGame->trigger();
    EXPECT_TRUE(busyDuring);
    EXPECT_FALSE(main_->Busy);
    EXPECT_EQ(messages_.shown, std::vector<std::string>{"Error on frame"});
    // The rescan after the game picks the package up, selects it and beeps.
    EXPECT_EQ(GameResources->CurrentSlot(), 2);
    EXPECT_EQ(beeps_, 1);
    EXPECT_TRUE(main_->CheckLogPending);
}

TEST_F(MainWindowTest, NoWaitingFlowLetsAnInstallerMessageSwitchTheScenario) {
    // Each way into a game or a waiting dialog: a package arrives while it
    // runs; the scenario stays until it has ended, then the rescan offers it.
    struct Case {
        const char* name;
        std::function<void(TFrontendHooks&, std::function<void()> during)> hook;
        std::function<void()> start;
    };
    const std::vector<Case> cases = {
        {"world's best replay",
         [this](TFrontendHooks& h, std::function<void()> during) {
             h.DownloadWorldBest = [](QWidget*) { return 0; };
             onGame_ = during;
         },
         [this] { main_->actReplayWorldBest->trigger(); }},
        {"world's best download",
         [](TFrontendHooks& h, std::function<void()> during) {
             h.DownloadWorldBest = [during](QWidget*) {
                 during();
                 return -1;
             };
         },
         [this] { main_->actReplayWorldBest->trigger(); }},
        {"publishing", [](TFrontendHooks& h, std::function<void()> during) { h.PublishHighscore = [during](QWidget*) { during(); }; },
         [this] { main_->actPublishHighscore->trigger(); }},
        {"card", [](TFrontendHooks& h, std::function<void()> during) { h.SendEmailCard = [during](QWidget*) { during(); }; },
         [this] { main_->actSendEmailCard->trigger(); }},
        {"error report",
         [](TFrontendHooks& h, std::function<void()> during) {
             h.PublishErrorReport = [during](QWidget*, const std::string&) { during(); };
         },
         [this] { main_->actPublishErrorReport->trigger(); }},
        {"version check",
         [this](TFrontendHooks& h, std::function<void()> during) {
             h.HttpGetText = [during](const std::string&) {
                 during();
                 return std::string("3.0.0.0\r\nhttp://x/");
             };
             online_ = true;
         },
         [this] { main_->actCheckNewVersion->trigger(); }},
    };
    for (const Case& c : cases) {
        main_.reset();
        options_.reset();
        sys::RemoveFile(CommonDataDir + "scenario2.c3p");
        MakeResources();
        online_ = false;
        onGame_ = nullptr;
        beeps_ = 0;
        bool busyDuring = false;
        int slotDuring = -1;
        auto during = [this, &busyDuring, &slotDuring] {
            busyDuring = main_->Busy;
            CopyFile(ProgramDir + "scenario2.c3p", CommonDataDir + "scenario2.c3p");
            main_->InstanceMessage(sys::kScenarioInstalledMessage);
            slotDuring = GameResources->CurrentSlot();
        };
        TMainWindowServices s = Services();
        c.hook(s.Hooks, during);
        main_ = std::make_unique<TfrmMain>(std::move(s));
        options_ = std::make_unique<TfrmGameOptions>(nullptr, main_->D3D8Enum(), UserDataDir + "env.dat",
                                                     TSettingsHost{}, &messages_);
        main_->SetOptions(options_.get());
        main_->show();
        Settle();
        Environment.Scenarios[1].HighScores[0].Score = 4200;
        main_->UpdateActions();
        ASSERT_EQ(GameResources->CurrentSlot(), 1) << c.name;
        c.start();
        EXPECT_TRUE(busyDuring) << c.name;
        EXPECT_EQ(slotDuring, 1) << c.name;
        EXPECT_FALSE(main_->Busy) << c.name;
        EXPECT_EQ(GameResources->CurrentSlot(), 2) << c.name << ": the rescan after the flow";
        EXPECT_EQ(beeps_, 1) << c.name;
    }
    messages_.shown.clear();
}

TEST_F(MainWindowTest, AnInstallerMessageOverTheSocketRescans) {
    Start();
    Settle();
    TInstanceServer server;
    const std::string path = dir_ / "run.sock";
    ASSERT_TRUE(server.Listen(path));
    server.OnMessage = [this](std::uint32_t dw, const std::vector<std::uint8_t>&) { main_->InstanceMessage(dw); };
    CopyFile(ProgramDir + "scenario2.c3p", CommonDataDir + "scenario2.c3p");
    bool acknowledged = false;
    std::thread sender([&] { acknowledged = sys::SendInstanceMessage(path, {sys::kScenarioInstalledMessage, {}}); });
    for (int i = 0; i < 500 && beeps_ == 0; ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    sender.join();
    EXPECT_TRUE(acknowledged);
    EXPECT_EQ(beeps_, 1);
    EXPECT_EQ(GameResources->CurrentSlot(), 2);
    // A second message finds nothing new: the slot stays, no beep.
    std::thread again([&] { acknowledged = sys::SendInstanceMessage(path, {1, {}}); });
    for (int i = 0; i < 100; ++i) QApplication::processEvents(QEventLoop::AllEvents, 10);
    again.join();
    EXPECT_EQ(beeps_, 1);
    EXPECT_EQ(GameResources->CurrentSlot(), 2);
    // Nobody listening: the sender is told so.
    EXPECT_FALSE(sys::SendInstanceMessage(dir_ / "none.sock", {1, {}}));
}

TEST_F(MainWindowTest, OfflineTheLogoAlternatesEveryFourSeconds) {
    Start();
    Settle();
    const QImage logo1 = main_->Picture().copy(kLogoRect);
    main_->Timer1Timer();  // the first offline tick switches at once, to logo 1
    EXPECT_EQ(main_->LogoIndex, 1);
    now_ += 2000;
    main_->Timer1Timer();
    EXPECT_EQ(main_->LogoIndex, 1);
    now_ += 2001;
    main_->Timer1Timer();
    EXPECT_EQ(main_->LogoIndex, 2);
    EXPECT_NE(main_->Picture().copy(kLogoRect), logo1);
    now_ += 4001;
    main_->Timer1Timer();
    EXPECT_EQ(main_->LogoIndex, 1);
    EXPECT_EQ(main_->Picture().copy(kLogoRect), logo1);
    EXPECT_EQ(browsersMade_, 0);
    // While busy the timer does nothing.
    main_->Busy = true;
    now_ += 10000;
    main_->Timer1Timer();
    EXPECT_EQ(main_->LogoIndex, 1);
    main_->Busy = false;
}

TEST_F(MainWindowTest, OnlineTheStartPageLoadsOncePerShowing) {
    Start();
    Settle();
    Environment.InternalHost.Assign("127.0.0.1:8");
    Environment.InternalBase.Assign("/qv/");
    Environment.Country = 12;
    online_ = true;
    main_->Timer1Timer();
    ASSERT_NE(browser_, nullptr);
    // The page loads hidden and shows once it has loaded.
    EXPECT_FALSE(main_->BrowserShown);
    EXPECT_TRUE(browser_->geometry.isEmpty());
    main_->Timer1Timer();
    ASSERT_TRUE(browser_->OnDocumentComplete);
    browser_->OnDocumentComplete();
    EXPECT_TRUE(main_->BrowserShown);
    EXPECT_EQ(browser_->geometry, QRect(102, 69, 292, 190));
    main_->Timer1Timer();
    main_->Timer1Timer();
    EXPECT_EQ(browser_->navigated, std::vector<std::string>{"http://127.0.0.1:8/qv/index.asp?id=12&lid=0"});
    // Going offline hides it; coming back loads the page once more.
    online_ = false;
    main_->Timer1Timer();
    EXPECT_TRUE(browser_->geometry.isEmpty());
    online_ = true;
    main_->Timer1Timer();
    main_->Timer1Timer();
    EXPECT_EQ(browser_->navigated.size(), 2u);
    browser_->OnDocumentComplete();
    EXPECT_TRUE(main_->BrowserShown);
    EXPECT_EQ(browsersMade_, 1);

    // Only internal pages open inside; a foreign page that mentions the
    // internal address goes to the system's browser when the player went
    // there, and nowhere when the page went there by itself.
    ASSERT_TRUE(browser_->OnBeforeNavigate);
    EXPECT_TRUE(browser_->OnBeforeNavigate("http://127.0.0.1:8/qv/more.asp", false));
    EXPECT_TRUE(browser_->OnBeforeNavigate("http://127.0.0.1:8/qv/more.asp", true));
    EXPECT_FALSE(browser_->OnBeforeNavigate("http://other.example/?x=http://127.0.0.1:8/qv/", true));
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(browser_->OnBeforeNavigate("http://other.example/by-itself", false));
    EXPECT_EQ(opened_, std::vector<std::string>{"http://other.example/?x=http://127.0.0.1:8/qv/"});
}

// Each click of the player is good for one navigation that starts within
// kClickMs of it; navigations without a click get nothing.
TEST(PlayerClicks, OneNavigationPerClickWithinItsTime) {
    TPlayerClicks clicks;
    EXPECT_FALSE(clicks.Take(100));
    clicks.Clicked(1000);
    EXPECT_TRUE(clicks.Take(1000 + TPlayerClicks::kClickMs));
    EXPECT_FALSE(clicks.Take(1000 + TPlayerClicks::kClickMs));  // taken
    clicks.Clicked(5000);
    EXPECT_FALSE(clicks.Take(5000 + TPlayerClicks::kClickMs + 1));  // too late
    EXPECT_FALSE(clicks.Take(5001));
    clicks.Clicked(0xFFFFFF00u);  // the tick count wraps
    EXPECT_TRUE(clicks.Take(0x100u));
}

TEST_F(MainWindowTest, AFailedLoadShowsTheLogoAgainAndIsRetriedOnceAMinute) {
    Start();
    Settle();
    Environment.InternalHost.Assign("127.0.0.1:8");
    Environment.InternalBase.Assign("/qv/");
    auto logo = [this](int index) {
        QImage drawn = main_->Picture();
        DrawStretched(drawn, main_->MenuBitmaps()[static_cast<std::size_t>(index)], kLogoRect);
        return drawn.copy(kLogoRect);
    };
    const QImage logo1 = logo(1);
    online_ = true;
    main_->Timer1Timer();
    ASSERT_NE(browser_, nullptr);
    // While the page loads the logo pictures stay.
    EXPECT_EQ(main_->LogoIndex, 1);
    EXPECT_EQ(main_->Picture().copy(kLogoRect), logo1);
    ASSERT_TRUE(browser_->OnLoadFailed);
    browser_->OnLoadFailed();
    EXPECT_FALSE(main_->BrowserShown);
    EXPECT_TRUE(browser_->geometry.isEmpty());

    // A page opened inside the shown frame that fails does the same.
    struct Step {
        std::uint32_t after;      // ms since the failure
        std::size_t navigations;  // start-page loads so far
    } steps[] = {{2000, 1}, {30000, 1}, {59999, 1}, {60000, 2}, {62000, 2}};
    std::uint32_t failedAt = now_;
    for (const Step& st : steps) {
        now_ = failedAt + st.after;
        main_->Timer1Timer();
        EXPECT_EQ(browser_->navigated.size(), st.navigations) << st.after;
        EXPECT_FALSE(main_->BrowserShown) << st.after;
    }
    browser_->OnDocumentComplete();
    EXPECT_TRUE(main_->BrowserShown);
    browser_->Navigate("http://127.0.0.1:8/qv/more.asp");
    browser_->OnLoadFailed();
    EXPECT_FALSE(main_->BrowserShown);
    const int shownLogo = main_->LogoIndex;
    EXPECT_EQ(main_->Picture().copy(kLogoRect), logo(shownLogo));
    failedAt = now_;
    now_ = failedAt + 59000;
    main_->Timer1Timer();
    EXPECT_EQ(browser_->navigated.size(), 3u);
    now_ = failedAt + 60000;
    main_->Timer1Timer();
    EXPECT_EQ(browser_->navigated.size(), 4u);
    EXPECT_EQ(browsersMade_, 1);
}

TEST_F(MainWindowTest, StandardButtonsFollowTheGameLanguage) {
    SetLanguage(1);
    Start();
    Settle();
    EXPECT_EQ(main_->windowTitle(), "Quorvex");
    EXPECT_FALSE(main_->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(main_->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(options_->windowTitle(), "Options");
    EXPECT_FALSE(options_->windowFlags() & Qt::WindowMaximizeButtonHint);
    auto buttons = [] {
        QMessageBox box(QMessageBox::Question, "Quorvex", "?",
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok | QMessageBox::Cancel);
        std::vector<std::string> texts;
        for (auto b : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Ok, QMessageBox::Cancel})
            texts.push_back(box.button(b)->text().toStdString());
        return texts;
    };
    EXPECT_EQ(buttons(), (std::vector<std::string>{"&Ja", "&Nein", "OK", "Abbrechen"}));
    // The language chosen in the options applies at once; English again.
    SetLanguage(0);
    main_->ApplyCaptions();
    EXPECT_EQ(buttons(), (std::vector<std::string>{"&Yes", "&No", "OK", "Cancel"}));
    SetLanguage(2);
    main_->ApplyCaptions();
    EXPECT_EQ(buttons()[0], "&Oui");
    SetLanguage(0);
    main_->ApplyCaptions();
}

TEST_F(MainWindowTest, IpInAnyCasePlaysAndThenCloses) {
    args_ = {"-x", "Ip"};
    Start();
    EXPECT_TRUE(main_->AutoPlay);
    for (int i = 0; i < 20 && main_->isVisible(); ++i) QApplication::processEvents();
    EXPECT_EQ(games_.size(), 1u);
    EXPECT_FALSE(main_->isVisible());
}

TEST_F(MainWindowTest, NoDeviceIsToldOnceAndPlayIsRefused) {
    world_->Adapters = {};
    args_ = {"IP"};
    Start();
    for (int i = 0; i < 20 && main_->isVisible(); ++i) QApplication::processEvents();
    EXPECT_EQ(main_->DisplayState, 0);
    EXPECT_TRUE(games_.empty());
    EXPECT_FALSE(main_->isVisible());
    const std::string log = Log();
    const std::size_t first = log.find("81020002");
    EXPECT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find("81020002", first + 1), std::string::npos) << log;
    // The options dialog tells why no adapter could be used, the main
    // window once that there is no device.
    ASSERT_FALSE(messages_.shown.empty());
    EXPECT_EQ(messages_.shown.back(), RendererErrorText(kRendererNoDevice));
    EXPECT_EQ(std::count(messages_.shown.begin(), messages_.shown.end(), RendererErrorText(kRendererNoDevice)), 1);
}

TEST_F(MainWindowTest, TheSetUpRunsOnceAlsoAfterMinimising) {
    Start();
    Settle();
    main_->HotspotClick(1);  // slot 100
    main_->showMinimized();
    Settle();
    main_->showNormal();
    Settle();
    EXPECT_EQ(GameResources->CurrentSlot(), 100);
}

TEST_F(MainWindowTest, TheVersionCheckComparesTexts) {
    Start();
    Settle();
    online_ = true;
    struct Case {
        std::string reply;
        bool fails;
        std::size_t shown;  // messages shown
        std::string expect;
    };
    const std::vector<Case> cases = {
        {"3.0.0.0\r\nhttp://x/", false, 1, LangText(68)},     // the same version
        {"3.0.0.1\r\nhttp://x/", false, 1, "Version 3.0.0.1"},  // newer
        {"3.0.0.99\r\nhttp://x/", false, 1, "Version 3.0.0.99"},
        {"9.9.9.9", false, 0, ""},                               // one line: nothing
        {"", true, 1, LangText(361)},
    };
    for (const Case& c : cases) {
        messages_.shown.clear();
        httpReply_ = c.reply;
        httpFails_ = c.fails;
        messages_.answer = true;
        main_->actCheckNewVersion->trigger();
        ASSERT_EQ(messages_.shown.size(), c.shown) << c.reply;
        if (c.shown) {
            EXPECT_EQ(messages_.shown[0].rfind(c.expect, 0), 0u) << messages_.shown[0];
        }
    }
    EXPECT_EQ(opened_, (std::vector<std::string>{"http://x/", "http://x/"}));
    opened_.clear();
    // A server-sent address that is not a web address is never opened.
    messages_.shown.clear();
    httpReply_ = "9.0.0.0\r\nfile:///etc/passwd";
    main_->actCheckNewVersion->trigger();
    EXPECT_EQ(messages_.shown.size(), 1u);
    EXPECT_TRUE(opened_.empty());
    messages_.answer = false;
}

// A version server that answers wrongly: the check fails with text 361,
// whatever the reply held; nothing is offered and nothing opened.
TEST_F(MainWindowTest, AWrongAnswerOfTheVersionServerIsAFailedCheck) {
    Start();
    Settle();
    online_ = true;
    realHttp_ = true;
    messages_.answer = true;
    for (const test::FailingReply& reply : test::FailingReplies()) {
        SCOPED_TRACE(reply.Name);
        messages_.shown.clear();
        test::HoldingServer server({reply.Bytes});
        Environment.InternalHost.Assign(server.Host());
        Environment.InternalBase.Assign("/qvx3internal/");
        main_->actCheckNewVersion->trigger();
        EXPECT_EQ(messages_.shown, std::vector<std::string>{LangText(361)});
    }
    EXPECT_TRUE(opened_.empty());
    messages_.answer = false;
}

// The main window tells who opened a page in the frame whether it loaded,
// once, after the browser's event.
TEST_F(MainWindowTest, APageOpenedInTheFrameTellsWhetherItLoaded) {
    Start();
    Settle();
    std::vector<bool> told;
    main_->NavigateBrowser("http://127.0.0.1:8/qv/errors/crash1", [&](bool loaded) { told.push_back(loaded); });
    ASSERT_NE(browser_, nullptr);
    EXPECT_EQ(browser_->navigated.back(), "http://127.0.0.1:8/qv/errors/crash1");
    browser_->OnLoadFailed();
    EXPECT_TRUE(told.empty());  // not from inside the browser's event
    Settle();
    EXPECT_EQ(told, std::vector<bool>{false});
    browser_->OnLoadFailed();
    Settle();
    EXPECT_EQ(told, std::vector<bool>{false});  // once

    main_->ShowBrowser(true);
    main_->NavigateBrowser("http://127.0.0.1:8/qv/errors/crash2", [&](bool loaded) { told.push_back(loaded); });
    browser_->OnDocumentComplete();
    Settle();
    EXPECT_EQ(told, (std::vector<bool>{false, true}));
}

TEST_F(MainWindowTest, ResetAsksFirstThenDeletesAndRescans) {
    CopyFile(ProgramDir + "scenario2.c3p", CommonDataDir + "scenario2.c3p");
    MakeResources();
    Start();
    Settle();
    ASSERT_TRUE(GameResources->ScenarioAvailable(2));
    messages_.answer = false;
    main_->actReset->trigger();
    EXPECT_TRUE(sys::FileExists(CommonDataDir + "scenario2.c3p"));
    messages_.answer = true;
    main_->actReset->trigger();
    EXPECT_FALSE(sys::FileExists(CommonDataDir + "scenario2.c3p"));
    EXPECT_FALSE(GameResources->ScenarioAvailable(2));
    EXPECT_EQ(main_->DisplayState, 2);
}

TEST_F(MainWindowTest, ResetFromAnInstalledScenarioStartsAgainOnTheFirst) {
    CopyFile(ProgramDir + "scenario2.c3p", CommonDataDir + "scenario2.c3p");
    MakeResources();
    Start();
    Settle();
    main_->HotspotClick(1);
    ASSERT_EQ(GameResources->CurrentSlot(), 2);
    messages_.answer = true;
    main_->actReset->trigger();
    EXPECT_EQ(GameResources->CurrentSlot(), 1);
    EXPECT_FALSE(main_->IsMoreSlot());
    // The file on disk already names the first scenario, and so does the
    // save of the options dialog at the end.
    TEnvironmentRecord saved;
    ASSERT_TRUE(LoadEnvironment(saved, UserDataDir + "env.dat"));
    EXPECT_EQ(saved.CurrentScenario, 1);
    options_.reset();
    ASSERT_TRUE(LoadEnvironment(saved, UserDataDir + "env.dat"));
    EXPECT_EQ(saved.CurrentScenario, 1);
}

TEST_F(MainWindowTest, TheScoreTableUsesTheBuiltInHostsBeforeAnyWereResolved) {
    Start();
    Settle();
    Environment.HighScoreHost.Assign("");
    Environment.HighScoreBase.Assign("");
    main_->actGotoHighscore->trigger();
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0].rfind("http://scores.tollbeck.example/qvx3/highscore/highscore.php?w=", 0), 0u) << opened_[0];
    Environment.HighScoreHost.Assign("127.0.0.1:9");
    Environment.HighScoreBase.Assign("/s/");
    main_->actGotoHighscore->trigger();
    ASSERT_EQ(opened_.size(), 2u);
    EXPECT_EQ(opened_[1].rfind("http://127.0.0.1:9/s/highscore/highscore.php?w=", 0), 0u) << opened_[1];
}

// A hook the program leaves empty does what an offline program does; one it
// gives is kept as it is.
TEST(FrontendHooks, EmptyHooksAreFilledWithTheOfflineAnswers) {
    TFrontendHooks h;
    int resolved = 0;
    h.ResolveHosts = [&] { ++resolved; };
    h.CheckInternet = [](bool) { return true; };
    FillOfflineDefaults(h);
    EXPECT_TRUE(h.CheckInternet(true));  // given: kept
    EXPECT_FALSE(h.IsInternetConnected());
    EXPECT_TRUE(h.CheckMemory(nullptr));
    EXPECT_EQ(h.DownloadWorldBest(nullptr), -1);
    EXPECT_FALSE(h.HighscoreNew(nullptr));
    EXPECT_THROW(h.HttpGetText("http://127.0.0.1/version.txt"), std::exception);
    // Without a download of their own the hosts are there once resolved,
    // by the hook that was given.
    EXPECT_TRUE(h.ResolveHostsInBackground());
    EXPECT_EQ(resolved, 1);
    for (const bool filled : {bool(h.WriteStartupReport), bool(h.RunLobby), bool(h.AbortTransfers), bool(h.OpenURL),
                              bool(h.PublishHighscore), bool(h.SendEmailCard), bool(h.PublishErrorReport),
                              bool(h.LookUpKnownError)})
        EXPECT_TRUE(filled);
}

}  // namespace
}  // namespace qv::ui
