// The game core's state machine on the recording renderer, with a scenario
// made by code: a whole session from the loading screen through a level,
// its result, the name entry and the table back to the menu, and the replay
// of the game just played.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>

#include <functional>
#include <set>
#include <memory>

#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "game/assets/qv3Graphics.h"
#include "game/core/qv3GameCore.h"
#include "game/logic/qv3GameLogic.h"
#include "game/core/qv3ReplayFiles.h"
#include "game/assets/qv3Resources.h"
#include "platform/window/GameWindow.h"
#include "platform/system/Clock.h"
#include "platform/system/Files.h"
#include "tests/game/GameContent.h"
#include "tests/support/LogicTestSupport.h"
#include "tests/render/RenderTestSupport.h"
#include "tests/support/ScenarioFixture.h"
#include "tests/support/TempDir.h"

namespace qv {
namespace {

// Mesa leaves memory behind each time SDL unloads GL: keep it loaded.
[[maybe_unused]] const bool kGlLoaded = test::KeepGlLoaded();

constexpr int kSlot = test::kContentSlot;

class CoreTest : public ::testing::Test {
protected:
    // The scenario in slot 0: `level`, its length, and further resources.
    struct TContent {
        TLevelFile Level = test::BusyLevel(60, 4000);
        bool DamagedLevel = false;
        int LevelLength = 12000;
        std::vector<std::pair<std::string, test::TBytes>> Extra;
        bool Pictures = false;
    };
    explicit CoreTest(const TLevelFile& level = test::BusyLevel(60, 4000), bool damagedLevel = false)
        : CoreTest(TContent{level, damagedLevel, 12000, {}, false}) {}
    explicit CoreTest(const TContent& content) {
        savedUserDir_ = UserDataDir;
        UserDataDir = dir_.Path();
        if (content.DamagedLevel || !content.Extra.empty()) {
            test::TProgramPackFixture pack;
            test::TScenarioFixture scenario = test::GameScenario(content.Level, content.LevelLength);
            for (const auto& extra : content.Extra) scenario.Extra.push_back(extra);
            if (content.DamagedLevel) {
                scenario.LevelOverride = test::Bytes("not a level");
                scenario.Movement = static_cast<std::int32_t>(
                    ScenarioChecksum(*scenario.LevelOverride, scenario.SceneryBytes(), scenario.Number));
            }
            pack.BuiltIn = {{kSlot, scenario}};
            pack.Write(dir_ / "quorvex.dat");
        } else {
            test::WriteGameContent(dir_ / "quorvex.dat", content.Level, content.Pictures, content.LevelLength);
        }
        sys::CreateDirectories(dir_ / "packages");
        resources_ = std::make_unique<TQVX3Resources>(dir_ / "packages/", dir_ / "quorvex.dat");
        resources_->SelectScenario(kSlot);
        settings_ = std::make_unique<TEnvironmentRecord>();
        settings_->ClearAllHighScores(kSlot);
        settings_->PlayerAlias = "PLAYER";
        window_ = std::make_unique<win::TGameWindow>();
        PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
        window_->ProcessMessages();
    }

    void PushWindowEvent(SDL_WindowEventID id) {
        SDL_Event e;
        SDL_zero(e);
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = window_->WindowId();
        e.window.event = static_cast<Uint8>(id);
        SDL_PushEvent(&e);
    }
    void MoveMouse(int y) {
        SDL_Event e;
        SDL_zero(e);
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = window_->WindowId();
        e.motion.x = 400;
        e.motion.y = y;
        SDL_PushEvent(&e);
        window_->ProcessMessages();
    }
    ~CoreTest() override {
        core_.reset();
        window_.reset();
        UserDataDir = savedUserDir_;
    }

    TGameCore& Core(std::uint8_t mode = kSingleGame) {
        TGameCoreServices services;
        services.Resources = resources_.get();
        services.Settings = settings_.get();
        services.SaveSettings = [this] { ++saves_; };
        services.ResetScenarioProgress = [this] { ++resets_; };
        services.Random = &random_;
        services.LevelRandom = &levelRandom_;
        services.Clock = &clock_;
        services.SnapshotFolder = dir_.Path();
        core_ = std::make_unique<TGameCore>(window_.get(), mode, rig_.Device.get(), nullptr, nullptr, -1, services);
        core_->OnClose = [this](const std::string& text) { closed_.push_back(text); };
        // The pictures and sounds are not needed to run the rules.
        core_->Initialized = true;
        return *core_;
    }

    // Frames of 10 ticks until `done` holds; false when it never did.
    bool RunUntil(const std::function<bool()>& done, int maxFrames = 5000, const std::function<void()>& each = {}) {
        for (int i = 0; i < maxFrames; ++i) {
            if (done()) return true;
            if (each) each();
            core_->DoFrame(10);
        }
        return done();
    }

    TScenarioProgress& Progress() { return settings_->Scenarios[kSlot]; }

    test::TLogCapture log_;
    test::TempDir dir_;
    std::unique_ptr<win::TGameWindow> window_;
    std::string savedUserDir_;
    test::TFakeRig rig_;
    std::unique_ptr<TQVX3Resources> resources_;
    std::unique_ptr<TEnvironmentRecord> settings_;
    TRandom random_{11};
    TRandom levelRandom_{12};
    sys::TManualClock clock_;
    std::unique_ptr<TGameCore> core_;
    std::vector<std::string> closed_;
    int saves_ = 0;
    int resets_ = 0;
};

TEST_F(CoreTest, AWholeSessionPlaysALevelEntersTheNameAndReplaysTheGameExactly) {
    TGameCore& core = Core();
    EXPECT_EQ(core.State, TCoreState::Loading);
    EXPECT_FLOAT_EQ(core.TitleAlpha, -1.0f);
    core.ProcessKey(13);
    ASSERT_EQ(core.State, TCoreState::Menu);
    ASSERT_NE(core.Logic, nullptr);
    EXPECT_EQ(core.Logic->LevelNumber, kAttractLevel);
    EXPECT_FALSE(core.LastReplayExists);
    EXPECT_FALSE(core.DemoExists);
    EXPECT_GT(core.Scene().Count(0), 0);  // the effect's particles, made at once

    // The menu fades in; a click starts a new game after the fade out.
    ASSERT_TRUE(RunUntil([&] { return core.Brightness() >= 1; }, 100));
    core.Click();
    EXPECT_EQ(core.MenuAction, TMenuAction::NewGame);
    ASSERT_TRUE(RunUntil([&] { return core.State == TCoreState::Playing; }, 100));
    EXPECT_EQ(core.Logic->LevelNumber, kGameLevel);
    EXPECT_EQ(Progress().GamesStarted, 1);
    EXPECT_EQ(core.CountdownSecond, 10);

    // Intro: 100 + 1500 + 2500 ms, then live play, clicking now and then.
    ASSERT_TRUE(RunUntil([&] { return core.PlayPhase == TPlayPhase::Live; }, 100));
    EXPECT_EQ(core.Logic->TickCount, 0);  // not a tick of the intro was active
    // Aim at the creature nearest to the cannons and fire every few frames.
    int frame = 0;
    ASSERT_TRUE(RunUntil([&] { return core.State != TCoreState::Playing; }, 3000, [&] {
        float best = -1, y = 300;
        for (int list : {slViruses, slNivlets, slBubbles})
            for (const auto& sprite : core.Logic->SpriteList(list)) {
                const auto* bot = dynamic_cast<const TBotSprite*>(sprite.get());
                if (bot && bot->IsFree() && bot->ScreenX > best && bot->ScreenX < 700) {
                    best = bot->ScreenX;
                    y = bot->ScreenY;
                }
            }
        MoveMouse(static_cast<int>(y));
        if (++frame % 4 == 0) core.Click();
    }));
    ASSERT_EQ(core.State, TCoreState::Result);
    ASSERT_TRUE(core.Outcome == TOutcome::Won || core.Outcome == TOutcome::Lost);
    const std::int32_t liveScore = core.Logic->Score;
    const std::int32_t liveTime = core.Logic->LogicTime;
    const bool won = core.Logic->Won;
    int catches = 0;
    for (const auto c : core.Logic->Statistics.Catches) catches += c;
    EXPECT_GT(core.Logic->Statistics.CondomsFired, 10);
    EXPECT_GT(catches, 0);  // the aim follows the creatures: the replay must catch them too
    EXPECT_EQ(core.TotalScore, core.Logic->TickCount * 10);
    EXPECT_TRUE(sys::FileExists(LastReplayPath(kSlot)));

    // Result, then the table: an empty table takes any score at row 0.
    ASSERT_TRUE(RunUntil([&] { return core.State != TCoreState::Result; }, 1000));
    ASSERT_EQ(core.State, TCoreState::HighScores);
    EXPECT_EQ(core.HighScoreRow, 0);
    EXPECT_EQ(core.LevelWon, won);
    EXPECT_EQ(Progress().HighScores[0].Score, liveScore);
    EXPECT_EQ(Progress().HighScores[0].Name, "PLAYER");
    EXPECT_TRUE(sys::FileExists(MyBestReplayPath(kSlot)));
    // Replays are the player's own: no other user reads them.
    sys::FinishPendingWrites();
    for (const std::string& replay : {LastReplayPath(kSlot), MyBestReplayPath(kSlot)}) {
        struct stat st {};
        ASSERT_EQ(::stat(replay.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << replay;
    }
    EXPECT_EQ(Progress().LevelsFinished, won ? 1 : 0);
    ASSERT_TRUE(RunUntil([&] { return core.NameEntryPhase == TNameEntryPhase::Editing; }, 1000));
    for (int key : {8, 8, 8, 8, 8, 8, 65, 66, 13}) {  // clear "PLAYER", type "AB", Enter
        core.ProcessKey(static_cast<std::int16_t>(key));
        core.DoFrame(1);
    }
    EXPECT_EQ(Progress().HighScores[0].Name, "AB");
    EXPECT_EQ(settings_->PlayerAlias, "AB");
    EXPECT_EQ(core.NameEntryPhase, TNameEntryPhase::FadeOut);
    const int savesBefore = saves_;
    EXPECT_GE(savesBefore, 2);
    ASSERT_TRUE(RunUntil([&] { return core.State == TCoreState::Menu; }, 200));

    // The last game can now be replayed: R, and it ends on the same score.
    EXPECT_TRUE(core.LastReplayExists);
    ASSERT_TRUE(RunUntil([&] { return core.Brightness() >= 1; }, 100));
    core.ProcessKey(82);
    ASSERT_EQ(core.MenuAction, TMenuAction::LastReplay);
    ASSERT_TRUE(RunUntil([&] { return core.State == TCoreState::Playing; }, 100));
    EXPECT_EQ(core.ReplayKind, TReplayKind::LastGame);
    EXPECT_EQ(core.Logic->Mode, gmReplay);
    ASSERT_TRUE(RunUntil([&] { return core.State != TCoreState::Playing; }, 3000, [&] {
        MoveMouse(frame % 600);  // what the watcher does changes nothing
        if (++frame % 5 == 0) core.Click();
    }));
    ASSERT_EQ(core.State, TCoreState::Result);
    EXPECT_EQ(core.Outcome, TOutcome::ReplayEnded);
    EXPECT_EQ(core.Logic->Score, liveScore);
    EXPECT_EQ(core.Logic->LogicTime, liveTime);
    ASSERT_TRUE(RunUntil([&] { return core.State == TCoreState::Menu; }, 1000));
    EXPECT_EQ(core.ReplayPack, nullptr);
    EXPECT_TRUE(closed_.empty());
}

TEST_F(CoreTest, EscDuringPlaySavesTheGameAndReturnsToTheMenuAndPauseHoldsTheLevel) {
    TGameCore& core = Core();
    core.ProcessKey(13);
    core.Click();
    ASSERT_TRUE(RunUntil([&] { return core.State == TCoreState::Playing && core.PlayPhase == TPlayPhase::Live; }, 400));
    RunUntil([] { return false; }, 20);
    core.ProcessKey(80);
    EXPECT_TRUE(core.Paused);
    EXPECT_TRUE(core.IsPaused());
    const std::int32_t time = core.Logic->LogicTime;
    RunUntil([] { return false; }, 20);
    EXPECT_EQ(core.Logic->LogicTime, time);
    core.ProcessKey(80);
    RunUntil([] { return false; }, 2);
    EXPECT_EQ(core.Logic->LogicTime, time + 200);

    core.ProcessKey(27);
    EXPECT_EQ(core.State, TCoreState::Menu);
    EXPECT_EQ(core.Logic->LevelNumber, kAttractLevel);
    EXPECT_EQ(TReplayFile(LastReplayPath(kSlot)).LevelCount(), 1);
    EXPECT_TRUE(core.LastReplayExists);
}

TEST_F(CoreTest, NewProgressWithoutAResetterResetsTheInjectedRecordOnly) {
    Progress().StartScore = 4200;
    const std::int32_t globalScore = Environment.Scenarios[kSlot].StartScore;
    Environment.Scenarios[kSlot].StartScore = 9100;
    TGameCoreServices services;
    services.Resources = resources_.get();
    services.Settings = settings_.get();
    services.SaveSettings = [this] { ++saves_; };
    services.Random = &random_;
    services.LevelRandom = &levelRandom_;
    services.Clock = &clock_;
    core_ = std::make_unique<TGameCore>(window_.get(), kSingleGame, rig_.Device.get(), nullptr, nullptr, -1, services);
    core_->Initialized = true;
    core_->ProcessKey(kVkEnter);
    ASSERT_EQ(core_->State, TCoreState::Menu);
    const int saves = saves_;
    core_->ProcessKey(kVkNewProgress);
    EXPECT_EQ(core_->MenuAction, TMenuAction::NewGame);
    EXPECT_EQ(Progress().StartScore, 0);
    EXPECT_EQ(Environment.Scenarios[kSlot].StartScore, 9100) << "the program's record is not the core's";
    EXPECT_EQ(saves_, saves + 1);
    Environment.Scenarios[kSlot].StartScore = globalScore;
}

TEST_F(CoreTest, MenuKeysOfferOnlyWhatExistsAndEscLeadsToTheExitScreen) {
    TGameCore& core = Core();
    core.ProcessKey(32);
    ASSERT_EQ(core.State, TCoreState::Menu);
    core.ProcessKey(82);  // no last game
    core.ProcessKey(68);  // no demo
    EXPECT_EQ(core.MenuAction, TMenuAction::None);
    core.ProcessKey(78);
    EXPECT_EQ(resets_, 1);
    EXPECT_EQ(core.MenuAction, TMenuAction::NewGame);
    core.ProcessKey(27);  // an action already runs
    EXPECT_EQ(core.MenuAction, TMenuAction::NewGame);

    TGameCore& other = Core();
    other.ProcessKey(13);
    other.ProcessKey(27);
    EXPECT_EQ(other.MenuAction, TMenuAction::Exit);
    ASSERT_TRUE(RunUntil([&] { return other.State == TCoreState::Exit; }, 100));
    other.ProcessKey(65);
    ASSERT_EQ(closed_.size(), 1u);
    EXPECT_EQ(closed_[0], "");
}

TEST_F(CoreTest, MenuCaptionsCycleOnlyThroughPagesThatExist) {
    TGameCore& core = Core();
    core.ProcessKey(13);
    std::set<int> pages;
    RunUntil([] { return false; }, 300, [&] { pages.insert(core.MenuPage); });
    EXPECT_EQ(pages, std::set<int>{0});
    EXPECT_EQ(core.MenuAction, TMenuAction::None);  // no demo: no automatic start after 45 s
}

// One fast virus at the level's start: nobody fires, and it gets past the
// cannons within two seconds.
class LostLevelCoreTest : public CoreTest {
protected:
    LostLevelCoreTest() : CoreTest(OneFastVirus()) {}
    static TLevelFile OneFastVirus() {
        TLevelFile level = test::EmptyLevel();
        level.Entries.push_back(test::Entry(0, 0, 0.5f, 0.5f));
        return level;
    }
};

TEST_F(LostLevelCoreTest, AScoreThatDoesNotQualifyAfterALostGameGoesStraightBackToTheMenu) {
    TGameCore& core = Core();
    for (auto& row : Progress().HighScores) row.Score = 1000000;
    core.ProcessKey(13);
    core.Click();
    ASSERT_TRUE(RunUntil([&] { return core.State == TCoreState::Playing && core.PlayPhase == TPlayPhase::Live; }, 400));
    ASSERT_TRUE(RunUntil([&] { return core.State == TCoreState::Result; }, 300));
    ASSERT_EQ(core.Outcome, TOutcome::Lost);
    EXPECT_LT(core.Logic->LogicTime, 3000);
    ASSERT_TRUE(RunUntil([&] { return core.State != TCoreState::Result; }, 1000));
    EXPECT_EQ(core.State, TCoreState::Menu);
    EXPECT_EQ(core.HighScoreRow, -1);
}

class WonLevelCoreTest : public CoreTest {
protected:
    WonLevelCoreTest() : CoreTest(test::EmptyLevel()) {}
};

TEST_F(WonLevelCoreTest, AWonLevelThatDoesNotQualifyShowsFireworksAndTheTableThenTheMenu) {
    TGameCore& core = Core();
    for (auto& row : Progress().HighScores) row.Score = 1000000;
    core.ProcessKey(13);
    core.Click();
    ASSERT_TRUE(RunUntil([&] { return core.State == TCoreState::Result; }, 3000));
    EXPECT_EQ(core.Outcome, TOutcome::Won);
    ASSERT_TRUE(RunUntil([&] { return core.State == TCoreState::HighScores; }, 1000));
    EXPECT_TRUE(core.LevelWon);
    EXPECT_EQ(core.HighScoreRow, -1);
    EXPECT_EQ(Progress().LevelsFinished, 1);
    ASSERT_TRUE(RunUntil([&] { return core.Scene().Count(1) > 0; }, 100));  // firework bubbles
    ASSERT_TRUE(RunUntil([&] { return core.NameEntryPhase == TNameEntryPhase::Showing; }, 1000));
    core.ProcessKey(65);  // any key ends the wait
    core.DoFrame(1);
    EXPECT_EQ(core.NameEntryPhase, TNameEntryPhase::FadeOut);
    EXPECT_EQ(Progress().HighScores[0].Score, 1000000);
    ASSERT_TRUE(RunUntil([&] { return core.State == TCoreState::Menu; }, 200));
}

class DamagedLevelCoreTest : public CoreTest {
protected:
    DamagedLevelCoreTest() : CoreTest(test::EmptyLevel(), true) {}
};

TEST_F(DamagedLevelCoreTest, ALevelThatFailsToStartLeavesNoLogicBehind) {
    TGameCore& core = Core();
    core.ProcessKey(13);
    core.Click();
    bool failed = false;
    for (int i = 0; i < 200 && !failed; ++i) {
        try {
            core.DoFrame(10);
        } catch (const std::exception&) {
            failed = true;  // the window closes with "Error on frame"
        }
    }
    ASSERT_TRUE(failed);
    EXPECT_EQ(log_.Count("Error setting game logic: "), 1);
    EXPECT_EQ(core.Logic, nullptr);
    EXPECT_NO_THROW(core.DoFrame(10));  // never a step without a logic
    core.ProcessKey(80);
    core.ProcessKey(27);
    EXPECT_EQ(core.State, TCoreState::Menu);  // Esc still leads back to the menu
}

TEST_F(CoreTest, ADamagedReplayReturnsToTheMenuButAWorldsBestOneClosesTheWindow) {
    ASSERT_TRUE(sys::WriteFileAtomic(LastReplayPath(kSlot), "not a replay pack"));
    TGameCore& core = Core();
    core.ProcessKey(13);
    EXPECT_FALSE(core.LastReplayExists);

    TGameCore& best = Core(kWorldBestReplay);
    best.ProcessKey(13);
    ASSERT_EQ(closed_.size(), 1u);
    EXPECT_EQ(closed_[0], "Error loading replay file");
    EXPECT_EQ(best.State, TCoreState::Menu);
    EXPECT_EQ(log_.Count("Error loading replay file in mode: 3: Level doesn't exist in file"), 1);
}

TEST_F(CoreTest, ScreenshotsTakeTheNextFreeNameAndNeverPause) {
    TGameCore& core = Core();
    core.ProcessKey(13);
    dir_.Write("snapshoot0.bmp", "earlier");
    core.ProcessKey(-2);
    core.ProcessKey(-2);
    EXPECT_EQ(sys::ReadFileText(dir_ / "snapshoot0.bmp").value_or(""), "earlier");
    const auto shot = sys::ReadFileBytes(dir_ / "snapshoot1.bmp");
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->size(), 54u + 800u * 600u * 3u);
    EXPECT_TRUE(sys::FileExists(dir_ / "snapshoot2.bmp"));
    EXPECT_EQ(core.SnapshotCount, 3);
    EXPECT_EQ(core.MenuAction, TMenuAction::None);
}

TEST_F(CoreTest, NewBestStatisticsStayInTheRecordsOneBlock) {
    TGameCore& core = Core();
    core.ProcessKey(13);
    core.Logic->Statistics.CondomsFired = 7;
    // A score from a later level: the record has no block for it.
    EXPECT_EQ(core.InsertHighScore(500, 2), 0);
    EXPECT_EQ(Progress().HighScores[0].Score, 500);
    EXPECT_EQ(Progress().HighScores[1].Score, kNoHighScore);
    EXPECT_EQ(log_.Count("Error copying my best replay file"), 1);  // no last game to copy
    EXPECT_FALSE(sys::FileExists(MyBestReplayPath(kSlot)));
    EXPECT_EQ(core.InsertHighScore(500, 1), 1);  // equal: below
    EXPECT_EQ(core.InsertHighScore(-100000, 1), -1);
}

// A level of 10 s, shorter than the 11 s the scroll takes to slow down.
class ShortLevelCoreTest : public CoreTest {
protected:
    ShortLevelCoreTest() : CoreTest(TContent{test::EmptyLevel(), false, 10000, {}, false}) {}
};

TEST_F(ShortLevelCoreTest, ATenSecondLevelPlaysFromTheMenuToItsEndAndBack) {
    TGameCore& core = Core();
    for (auto& row : Progress().HighScores) row.Score = 1000000;
    core.ProcessKey(13);
    ASSERT_EQ(core.State, TCoreState::Menu);
    ASSERT_TRUE(RunUntil([&] { return core.Brightness() >= 1; }, 100));
    core.Click();
    ASSERT_TRUE(RunUntil([&] { return core.State == TCoreState::Playing && core.PlayPhase == TPlayPhase::Live; }, 400));
    EXPECT_LT(core.Logic->ScrollSpeed, 0.2485f + 1e-6f);
    std::set<int> digits;
    ASSERT_TRUE(RunUntil([&] { return core.State == TCoreState::Result; }, 200, [&] { digits.insert(core.CountdownSecond); }));
    EXPECT_EQ(core.Outcome, TOutcome::Won);
    EXPECT_EQ(core.Logic->LogicTime, 10000);
    EXPECT_EQ(core.Logic->ScrollSpeed, 0.0f);
    EXPECT_EQ(digits.size(), 11u);  // the countdown from 10 to 0
    ASSERT_TRUE(RunUntil([&] { return core.State == TCoreState::HighScores; }, 1000));
    ASSERT_TRUE(RunUntil([&] { return core.NameEntryPhase == TNameEntryPhase::Showing; }, 1000));
    core.ProcessKey(65);
    ASSERT_TRUE(RunUntil([&] { return core.State == TCoreState::Menu; }, 200));
    EXPECT_TRUE(closed_.empty());
    EXPECT_EQ(log_.Count("Error"), 0);
}

// A last game whose level stream is damaged inside a sound pack, and a
// damaged demo: chosen from the menu (or the demo starting by itself), each
// closes the window with "Error loading replay file" within a few ticks,
// logs it once, and leaves a fresh menu whose keys work.
class DamagedDemoCoreTest : public CoreTest {
protected:
    DamagedDemoCoreTest() : CoreTest(TContent{test::BusyLevel(60, 4000), false, 12000, {{"demo.gmp", test::Bytes("not a replay")}}, false}) {}
};

TEST_F(DamagedDemoCoreTest, ADamagedDemoClosesTheWindowOnceAndTheMenuGoesOn) {
    TGameCore& core = Core();
    core.ProcessKey(13);
    ASSERT_TRUE(core.DemoExists);
    ASSERT_TRUE(RunUntil([&] { return core.Brightness() >= 1; }, 100));
    const int linesBefore = static_cast<int>(log_.Lines().size());
    core.ProcessKey(68);
    ASSERT_EQ(core.MenuAction, TMenuAction::Demo);
    ASSERT_TRUE(RunUntil([&] { return !closed_.empty(); }, 10));
    EXPECT_EQ(closed_, std::vector<std::string>{"Error loading replay file"});
    EXPECT_EQ(core.State, TCoreState::Menu);
    EXPECT_EQ(core.MenuAction, TMenuAction::None);
    EXPECT_EQ(core.ReplayPack, nullptr);
    RunUntil([] { return false; }, 300);  // 3 s more of menu
    EXPECT_EQ(log_.Count("Error loading replay file in mode: 2: Level doesn't exist in file"), 1);
    EXPECT_LT(static_cast<int>(log_.Lines().size()) - linesBefore, 10);
    // Keys work: Esc fades to the exit screen.
    EXPECT_GE(core.Brightness(), 1.0f);
    core.ProcessKey(27);
    ASSERT_TRUE(RunUntil([&] { return core.State == TCoreState::Exit; }, 100));

    // Left alone, the menu starts the demo after 45 s: the same, once.
    TGameCore& idle = Core();
    closed_.clear();
    idle.ProcessKey(13);
    ASSERT_TRUE(RunUntil([&] { return !closed_.empty(); }, 5000));
    EXPECT_GE(idle.StateTime, 0);
    EXPECT_EQ(closed_, std::vector<std::string>{"Error loading replay file"});
    EXPECT_EQ(idle.MenuAction, TMenuAction::None);
    EXPECT_EQ(log_.Count("Error loading replay file in mode: 2: Level doesn't exist in file"), 2);
}

TEST_F(CoreTest, ADamagedLastGameClosesTheWindowOnceAndTheMenuGoesOn) {
    TReplayFile(LastReplayPath(kSlot)).AddLevelAndSave(1, true, false, [] { return test::Bytes("no level stream"); });
    TGameCore& core = Core();
    core.ProcessKey(13);
    ASSERT_TRUE(core.LastReplayExists);
    ASSERT_TRUE(RunUntil([&] { return core.Brightness() >= 1; }, 100));
    core.ProcessKey(82);
    ASSERT_EQ(core.MenuAction, TMenuAction::LastReplay);
    ASSERT_TRUE(RunUntil([&] { return !closed_.empty(); }, 10));
    EXPECT_EQ(closed_, std::vector<std::string>{"Error loading replay file"});
    EXPECT_EQ(core.State, TCoreState::Menu);
    EXPECT_EQ(core.MenuAction, TMenuAction::None);
    RunUntil([] { return false; }, 300);
    EXPECT_EQ(log_.Count("Error loading replay file in mode: 1: "), 1);
    EXPECT_EQ(closed_.size(), 1u);
    // Keys work: a click starts a new game.
    core.Click();
    ASSERT_TRUE(RunUntil([&] { return core.State == TCoreState::Playing; }, 100));
    EXPECT_EQ(core.Logic->LevelNumber, kGameLevel);
}

// The creatures as the screen draws them, on the recording renderer with
// every picture loaded.
class DrawnCoreTest : public CoreTest {
protected:
    DrawnCoreTest() : CoreTest(TContent{test::EmptyLevel(), false, 12000, {}, true}) {}

    // The menu's logic, drawn once with `bot` (placed at screen x 400) in it.
    template <class TBot>
    TBot& Put(TGameCore& core, std::unique_ptr<TBot> bot) {
        bot->WorldX = static_cast<float>(static_cast<double>(core.Logic->ScrollOffset) - 400.0 * 2.9);
        return core.Logic->AddSprite(std::move(bot));
    }
    const std::vector<d3d::TFakeDraw>& Draw(TGameCore& core) {
        rig_.World->ClearRecord();
        core.Render();
        return rig_.World->Draws;
    }
    // The one draw of game texture `index` (the textures were made in index
    // order, so the fake's texture `index` is it).
    const d3d::TFakeDraw* DrawOf(const std::vector<d3d::TFakeDraw>& draws, int index) {
        const int serial = rig_.World->Textures.at(static_cast<std::size_t>(index))->Serial;
        const d3d::TFakeDraw* found = nullptr;
        for (const auto& d : draws) {
            if (d.Texture != serial) continue;
            EXPECT_EQ(found, nullptr) << "more than one draw of texture " << index;
            found = &d;
        }
        return found;
    }
};

TEST_F(DrawnCoreTest, ABentCreatureIsDrawnInItsStripsWithItsHeadAtTheCatchHeight) {
    TGameCore& core = Core();
    core.Graphics->LoadTextures(0, 0, 100);
    core.ProcessKey(13);
    TBotArguments args = test::StillCreature(6, 300);
    args.Wobble = 0.4f;
    auto& nivlet = Put(core, std::make_unique<TNivletSprite>(*core.Logic, 0, args));
    Put(core, std::make_unique<TVirusSprite>(*core.Logic, test::StillCreature(0, 150)));
    for (int i = 0; i < 37; ++i) core.Logic->Step(false, 1);  // an age where the wobble is well off 0
    ASSERT_GT(std::fabs(nivlet.Y - nivlet.TrackY), 20.0f);
    const auto& draws = Draw(core);
    const d3d::TFakeDraw* bent = DrawOf(draws, 7);  // "Nivlet_theme1"
    ASSERT_NE(bent, nullptr);
    ASSERT_EQ(bent->Vertices.size(), static_cast<std::size_t>(nivlet.Segments) * 4);  // Segments strips, 11 points
    // The head: the right end of the first strip, between its two corners.
    const auto& v = bent->Vertices;
    EXPECT_NEAR((v[1].x + v[2].x) / 2 + 0.5f, nivlet.ScreenX, 1.0f);
    EXPECT_NEAR((v[1].y + v[2].y) / 2 + 0.5f, nivlet.Y, 1.0f);
    // The strips join: each one's tail end is the next one's head end.
    for (std::size_t q = 4; q < v.size(); q += 4) {
        EXPECT_EQ(v[q + 1].x, v[q - 4].x);
        EXPECT_EQ(v[q + 2].y, v[q - 1].y);
    }
    // A creature without wobble stays one quad, turned by its rotation.
    const d3d::TFakeDraw* straight = DrawOf(draws, 16);  // "Virus1"
    ASSERT_NE(straight, nullptr);
    EXPECT_EQ(straight->Vertices.size(), 4u);
}

TEST_F(DrawnCoreTest, ACaughtCreatureCarriesTheShotAndTrailsItsStreak) {
    TGameCore& core = Core();
    core.Graphics->LoadTextures(0, 0, 100);
    core.ProcessKey(13);
    auto& virus = Put(core, std::make_unique<TVirusSprite>(*core.Logic, test::StillCreature(2, 200)));
    auto& condom = core.Logic->AddSprite(std::make_unique<TCondomSprite>(*core.Logic, 0));
    ASSERT_TRUE(core.Logic->HandleEvent(evCatch, 0, 0, &virus, &condom));
    core.Logic->RemoveSpriteObject(slCondoms, &condom);
    for (int i = 0; i < 5; ++i) core.Logic->Step(false, 1);
    ASSERT_FALSE(virus.IsFree());
    ASSERT_GT(virus.TailAmount, 0.0f);
    const auto& draws = Draw(core);
    const TzkD3DSprite* shot = core.Graphics->FixedSprite(7);
    const TzkD3DSprite* tail = core.Graphics->FixedSprite(6);
    ASSERT_EQ(shot->TextureIndex, tail->TextureIndex);  // one draw for both
    const d3d::TFakeDraw* drawn = DrawOf(draws, 1);  // "Misc2"
    ASSERT_NE(drawn, nullptr);
    ASSERT_EQ(drawn->Vertices.size(), 8u);
    // Queued in order: the streak, then the shot.
    const auto& streak = drawn->Vertices;
    EXPECT_NEAR(streak[1].x - streak[0].x, tail->Width * virus.TailAmount, 0.01f);
    EXPECT_NEAR(streak[1].x + 0.5f, virus.TailX, 0.01f);
    EXPECT_NEAR((streak[0].y + streak[3].y) / 2 + 0.5f, virus.TailY, 0.01f);
    EXPECT_NEAR(streak[3].y - streak[0].y, tail->Height, 0.01f);
    // The shot: its right end at (CaughtX, CaughtY), turned by CaughtAngle,
    // CaughtScale times its size.
    const auto* q = &drawn->Vertices[4];
    const float dx = q[1].x - q[0].x, dy = q[1].y - q[0].y;
    EXPECT_NEAR(std::sqrt(dx * dx + dy * dy), shot->Width * virus.CaughtScale, 0.01f);
    EXPECT_NEAR(std::atan2(dy, dx), virus.CaughtAngle, 1e-4f);
    // (The half pixel every sprite moves by turns with it.)
    EXPECT_NEAR((q[1].x + q[2].x) / 2 + 0.5f, virus.CaughtX, 0.5f);
    EXPECT_NEAR((q[1].y + q[2].y) / 2 + 0.5f, virus.CaughtY, 0.5f);
}

}  // namespace
}  // namespace qv
