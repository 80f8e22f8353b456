// The game window with its frame loop on SDL's offscreen video driver and
// the GL renderer: the mode check, set-up failures, and a whole scripted
// session through every screen, driven by injected events and a manual
// clock.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "foundation/Exceptions.h"
#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "frontend/qv3SettingsFile.h"
#include "game/logic/qv3GameLogic.h"
#include "game/core/qv3GameWindow.h"
#include "game/core/qv3ReplayFiles.h"
#include "game/assets/qv3Resources.h"
#include "media/zkDisplayMode.h"
#include "platform/system/Clock.h"
#include "platform/system/Files.h"
#include "tests/game/GameContent.h"
#include "tests/support/HeldDisk.h"
#include "tests/support/LogicTestSupport.h"
#include "tests/render/RenderTestSupport.h"
#include "tests/support/TempDir.h"

namespace qv {
namespace {

// Mesa leaves memory behind each time SDL unloads GL: keep it loaded.
[[maybe_unused]] const bool kGlLoaded = test::KeepGlLoaded();

constexpr int kSlot = test::kContentSlot;

void Push(SDL_Event& e) { SDL_PushEvent(&e); }

class GameFormTest : public ::testing::Test {
protected:
    GameFormTest() {
        savedUserDir_ = UserDataDir;
        savedCommonDir_ = CommonDataDir;
        UserDataDir = dir_.Path();
        CommonDataDir = dir_.Path();
        d3d_.EnumerateAdapters();
        info_ = d3d_.Adapters(0)->Devices(0);
        FindDisplayMode(info_, kDisplayWindow, mode_);
        mode_.BehaviorFlags = 0x20;
        settings_ = std::make_unique<TEnvironmentRecord>();
        settings_->ClearAllHighScores(kSlot);
        settings_->MusicVolume = 0;
        settings_->SoundVolume = 0;
        settings_->PlayerAlias = "TESTER";
    }
    ~GameFormTest() override {
        SetLanguageResourceOpener(nullptr);
        UserDataDir = savedUserDir_;
        CommonDataDir = savedCommonDir_;
    }

    // QUORVEX_CONTENT may name the program's real resource pack for the
    // scripted session (then with the language texts), to look at the game
    // as it ships.
    void Content(bool pictures, const TLevelFile& level = test::BusyLevel(60, 4000)) {
        const char* real = pictures ? std::getenv("QUORVEX_CONTENT") : nullptr;
        const std::string pack = real ? std::string(real) : dir_ / "quorvex.dat";
        if (!real) test::WriteGameContent(pack, level, pictures);
        sys::CreateDirectories(dir_ / "packages");
        resources_ = std::make_unique<TQVX3Resources>(dir_ / "packages/", pack);
        resources_->SelectScenario(kSlot);
        if (real) {
            SetLanguageResourceOpener([this](const std::string& name) -> std::optional<std::string> {
                const auto bytes = resources_->OpenResource(name);
                return std::string(bytes.begin(), bytes.end());
            });
            SetLanguage(0);
        }
    }

    TGameWindowServices Services() {
        TGameWindowServices s;
        s.Clock = &clock_;
        s.MakeSound = [](void*) { return std::unique_ptr<TzkDSound>(); };
        s.Core.Resources = resources_.get();
        s.Core.Settings = settings_.get();
        s.Core.SaveSettings = [this] {
            TSettingsHost host;
            host.CurrentSlot = [] { return kSlot; };
            SaveEnvironment(*settings_, dir_ / "env.dat", host);
        };
        s.Core.Random = &random_;
        s.Core.LevelRandom = &levelRandom_;
        s.Core.Clock = &clock_;
        s.Core.SnapshotFolder = dir_.Path();
        return s;
    }

    static void Key(const TfrmGame& g, SDL_Scancode scancode, SDL_Keycode keycode, bool down, Uint16 mod = 0) {
        SDL_Event e;
        SDL_zero(e);
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = const_cast<TfrmGame&>(g).Window().WindowId();
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.scancode = scancode;
        e.key.keysym.sym = keycode;
        e.key.keysym.mod = mod;
        Push(e);
    }
    static void Tap(const TfrmGame& g, SDL_Scancode scancode, SDL_Keycode keycode) {
        Key(g, scancode, keycode, true);
        Key(g, scancode, keycode, false);
    }
    static void Focus(TfrmGame& g, bool gained) {
        SDL_Event e;
        SDL_zero(e);
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = g.Window().WindowId();
        e.window.event = static_cast<Uint8>(gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST);
        Push(e);
    }
    static void Mouse(TfrmGame& g, Uint32 type, int y) {
        SDL_Event e;
        SDL_zero(e);
        e.type = type;
        if (type == SDL_MOUSEMOTION) {
            e.motion.windowID = g.Window().WindowId();
            e.motion.x = 400;
            e.motion.y = y;
        } else {
            e.button.windowID = g.Window().WindowId();
            e.button.button = SDL_BUTTON_LEFT;
            e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
            e.button.x = 400;
            e.button.y = y;
        }
        Push(e);
    }

    // The player around the one game: Enter at the loading screen, in the
    // menu once it is lit a click that starts the game and then Esc on the
    // way out, Space at the exit screen.
    static void PlayOnceFromTheMenu(TfrmGame& g, const TGameCore& c, bool& played) {
        if (c.State == TCoreState::Loading) {
            if (c.Initialized) Tap(g, SDL_SCANCODE_RETURN, SDLK_RETURN);
            return;
        }
        if (c.State == TCoreState::Exit) {
            Tap(g, SDL_SCANCODE_SPACE, SDLK_SPACE);
            return;
        }
        if (c.State != TCoreState::Menu || c.Brightness() < 1 || c.MenuAction != TMenuAction::None) return;
        if (!played) {
            played = true;
            Mouse(g, SDL_MOUSEBUTTONDOWN, 300);
            Mouse(g, SDL_MOUSEBUTTONUP, 300);
        } else {
            Tap(g, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
        }
    }

    test::TLogCapture log_;
    test::TempDir dir_;
    std::string savedUserDir_;
    std::string savedCommonDir_;
    TzkD3D8 d3d_;
    TzkD3DDeviceInfo* info_ = nullptr;
    TzkD3DMode mode_;
    std::unique_ptr<TEnvironmentRecord> settings_;
    std::unique_ptr<TQVX3Resources> resources_;
    TRandom random_{21};
    TRandom levelRandom_{22};
    sys::TManualClock clock_;
};

TEST_F(GameFormTest, OnlyThe800x600ModeWithSoftwareVertexProcessingIsAccepted) {
    Content(false);
    struct TCase {
        std::uint32_t width, height, behavior;
        bool accepted;
    };
    for (const TCase c : {TCase{800, 600, 0x20, true}, TCase{640, 480, 0x20, false}, TCase{800, 600, 32 + 0x40, false},
                          TCase{800, 600, 0x40, false}}) {
        TzkD3DMode mode = mode_;
        mode.Width = c.width;
        mode.Height = c.height;
        mode.BehaviorFlags = c.behavior;
        if (c.accepted) {
            EXPECT_NO_THROW(TfrmGame(kSingleGame, 1, info_, mode, -1, Services()));
        } else {
            EXPECT_THROW(TfrmGame(kSingleGame, 1, info_, mode, -1, Services()), Exception) << c.width;
        }
    }
    EXPECT_EQ(log_.Count("Invalid mode (width=640 / height=480 / behavior=32)"), 1);
    EXPECT_EQ(log_.Count("Creating game (0)"), 4);
}

TEST_F(GameFormTest, SetUpFailuresCloseTheWindowWithTheirReasonAndNoCore) {
    Content(false);
    {
        TGameWindowServices s = Services();
        s.DirectInput = [](dinput::DWORD, std::unique_ptr<dinput::IDirectInput8>*) {
            return dinput::DIERR_OUTOFMEMORY;
        };
        TfrmGame game(kSingleGame, 1, info_, mode_, -1, s);
        const std::string result = game.ShowModal();
        EXPECT_EQ(result.rfind("Failed to initialize keyboard: ", 0), 0u) << result;
        EXPECT_EQ(game.Core, nullptr);
    }
    {
        TfrmGame game(kSingleGame, 1, nullptr, mode_, -1, Services());
        EXPECT_EQ(game.ShowModal(), "Failed to initialize 3D device: No display adapter");
        EXPECT_EQ(game.Core, nullptr);
        EXPECT_EQ(game.Device, nullptr);
    }
    {
        // No pictures: the core cannot load and closes the window.
        TfrmGame game(kSingleGame, 1, info_, mode_, -1, Services());
        EXPECT_EQ(game.ShowModal(), "Failed to initialize");
        EXPECT_EQ(log_.Count("Failed to initialize application: "), 1);
    }
}

TEST_F(GameFormTest, AFailingFrameClosesTheWindowWithErrorOnFrame) {
    Content(true);
    TGameWindowServices s = Services();
    int turns = 0;
    s.OnIdle = [&](TfrmGame& g) {
        clock_.AdvanceMilliseconds(25);
        if (g.Core && ++turns == 5) throw Exception("boom");
    };
    TfrmGame game(kSingleGame, 1, info_, mode_, -1, s);
    EXPECT_EQ(game.ShowModal(), "Error on frame");
    EXPECT_EQ(log_.Count("DoFrame: boom"), 1);
}

TEST_F(GameFormTest, AScriptedSessionRunsThroughEveryScreenAndItsReplayGivesTheSameScore) {
    Content(true);
    TGameWindowServices s = Services();
    std::set<TCoreState> snapshotStates;
    std::int32_t liveScore = 0;
    bool played = false, ctrlHeld = false;
    int typed = 0;
    int turn = 0, focusStep = 0;
    std::int32_t pausedAt = -1;
    std::vector<std::string> checks;
    s.OnIdle = [&](TfrmGame& g) {
        clock_.AdvanceMilliseconds(100);
        TGameCore* c = g.Core.get();
        if (!c || g.Window().Closed()) return;
        ++turn;
        if (ctrlHeld) {  // the sample has seen Ctrl+P held: let go
            Key(g, SDL_SCANCODE_P, SDLK_p, false, KMOD_LCTRL);
            Key(g, SDL_SCANCODE_LCTRL, SDLK_LCTRL, false);
            ctrlHeld = false;
        }
        auto snapshot = [&](bool viaKeyboard) {
            if (snapshotStates.count(c->State)) return false;
            snapshotStates.insert(c->State);
            if (viaKeyboard) {  // the keyboard belongs to the game: the sample sees Ctrl+P
                Key(g, SDL_SCANCODE_LCTRL, SDLK_LCTRL, true);
                Key(g, SDL_SCANCODE_P, SDLK_p, true, KMOD_LCTRL);
                ctrlHeld = true;
            } else {
                Key(g, SDL_SCANCODE_P, SDLK_p, true, KMOD_LCTRL);
                Key(g, SDL_SCANCODE_P, SDLK_p, false, KMOD_LCTRL);
            }
            return true;
        };
        switch (c->State) {
            case TCoreState::Loading:
                if (c->Initialized && !snapshot(false)) Tap(g, SDL_SCANCODE_RETURN, SDLK_RETURN);
                break;
            case TCoreState::Menu:
                if (c->Brightness() < 1 || c->MenuAction != TMenuAction::None) break;
                if (c->MenuTextParam <= -1 && !snapshotStates.count(TCoreState::Menu)) break;  // wait for a caption
                if (snapshot(false)) break;
                if (!played) {
                    played = true;
                    Mouse(g, SDL_MOUSEBUTTONDOWN, 300);
                    Mouse(g, SDL_MOUSEBUTTONUP, 300);
                } else {
                    Tap(g, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
                }
                break;
            case TCoreState::Playing: {
                if (c->PlayPhase != TPlayPhase::Live) break;
                // Leaving the window pauses and frees the cursor; coming back
                // restores both and keeps the pause until P.
                if (focusStep == 0 && c->Logic->LogicTime > 2000) {
                    focusStep = 1;
                    Focus(g, false);
                    break;
                }
                if (focusStep == 1) {
                    if (!g.Window().TopMost() && !g.Window().CursorClipped() && c->IsPaused()) checks.push_back("lost");
                    pausedAt = c->Logic->LogicTime;
                    focusStep = 2;
                    Focus(g, true);
                    break;
                }
                if (focusStep == 2) {
                    if (g.Window().TopMost() && g.Window().CursorClipped() && c->IsPaused() &&
                        c->Logic->LogicTime == pausedAt)
                        checks.push_back("back");
                    focusStep = 3;
                    Tap(g, SDL_SCANCODE_P, SDLK_p);  // the keyboard was let go: the window has the key
                    break;
                }
                if (focusStep == 3) {
                    if (!c->IsPaused()) checks.push_back("resumed");
                    focusStep = 4;
                }
                float best = -1, y = 300;
                for (int list : {slViruses, slNivlets, slBubbles})
                    for (const auto& sprite : c->Logic->SpriteList(list)) {
                        const auto* bot = dynamic_cast<const TBotSprite*>(sprite.get());
                        if (bot && bot->IsFree() && bot->ScreenX > best && bot->ScreenX < 700) {
                            best = bot->ScreenX;
                            y = bot->ScreenY;
                        }
                    }
                Mouse(g, SDL_MOUSEMOTION, static_cast<int>(y));
                if (c->Logic->SpriteList(slViruses).size() + c->Logic->SpriteList(slNivlets).size() >= 3 &&
                    snapshot(true))
                    break;
                if (turn % 3 == 0) {
                    Mouse(g, SDL_MOUSEBUTTONDOWN, static_cast<int>(y));
                    Mouse(g, SDL_MOUSEBUTTONUP, static_cast<int>(y));
                }
                break;
            }
            case TCoreState::Result:
                liveScore = c->Logic->Score;
                if (c->ResultPhase == TResultPhase::Typing && c->StateTime > 500) snapshot(true);
                break;
            case TCoreState::HighScores:
                if (c->NameEntryPhase != TNameEntryPhase::Editing) break;
                if (snapshot(false)) break;
                // One key a frame, as a player types.
                if (typed < 3) {
                    const SDL_Scancode keys[3] = {SDL_SCANCODE_BACKSPACE, SDL_SCANCODE_Z, SDL_SCANCODE_RETURN};
                    const SDL_Keycode codes[3] = {SDLK_BACKSPACE, SDLK_z, SDLK_RETURN};
                    Tap(g, keys[typed], codes[typed]);
                    ++typed;
                }
                break;
            case TCoreState::Exit:
                if (!snapshot(false)) Tap(g, SDL_SCANCODE_SPACE, SDLK_SPACE);
                break;
            default:
                break;
        }
        ASSERT_LT(turn, 20000) << "the session never ended";
    };
    TfrmGame game(kSingleGame, 1, info_, mode_, -1, s);
    Focus(game, true);
    EXPECT_EQ(game.ShowModal(), "");
    EXPECT_EQ(checks, (std::vector<std::string>{"lost", "back", "resumed"}));
    EXPECT_EQ(snapshotStates, (std::set<TCoreState>{TCoreState::Loading, TCoreState::Menu, TCoreState::Playing, TCoreState::Result, TCoreState::HighScores, TCoreState::Exit}));
    for (int i = 0; i < 6; ++i) {
        const auto shot = sys::ReadFileBytes(dir_ / ("snapshoot" + std::to_string(i) + ".bmp"));
        ASSERT_TRUE(shot) << i << "\n" << [&] {
            std::string text;
            for (const auto& line : log_.Lines()) text += line + "\n";
            return text;
        }();
        ASSERT_EQ(shot->size(), 54u + 800u * 600u * 3u);
        bool lit = false;
        for (std::size_t b = 54; b < shot->size() && !lit; b += 997) lit = (*shot)[b] != 0;
        EXPECT_TRUE(lit) << "screenshot " << i << " is black";
    }
    if (const char* keep = std::getenv("QUORVEX_KEEP_SNAPSHOTS")) {
        for (int i = 0; i < 6; ++i) {
            const std::string name = "snapshoot" + std::to_string(i) + ".bmp";
            const auto bytes = sys::ReadFileText(dir_ / name);
            sys::WriteFileAtomic(std::string(keep) + name, *bytes);
        }
    }

    // The settings file holds the new high score and the name typed.
    TEnvironmentRecord stored;
    ASSERT_TRUE(LoadEnvironment(stored, dir_ / "env.dat"));
    EXPECT_EQ(stored.Scenarios[kSlot].HighScores[0].Score, liveScore);
    EXPECT_EQ(stored.Scenarios[kSlot].HighScores[0].Name, "TESTEZ");
    EXPECT_EQ(stored.PlayerAlias, "TESTEZ");

    // The last game replays to the same score.
    TReplayFile pack(LastReplayPath(kSlot));
    ASSERT_EQ(pack.LevelCount(), 1);
    TLogicServices services;
    services.Resources = resources_.get();
    services.Config = &resources_->Config();
    auto replay = TGameLogic::CreateFromRecord(services, gmReplay, pack.GetLevel(1));
    const test::TRunResult result = test::PlayBack(*replay, 50);
    EXPECT_TRUE(result.Finished);
    EXPECT_EQ(result.Score, liveScore);
}

// The end of a game with a new best score writes the last game, the best
// game and the settings, each flushed to disk: on a busy machine's disk a
// flush can take seconds. The window's thread waits for none of it: the
// table and its name entry come while the disk is held, they show what the
// files will hold, and the disk gets it all once it catches up.
TEST_F(GameFormTest, ANewBestScoreNeverWaitsForTheDisk) {
    TLevelFile level = test::EmptyLevel();
    level.Entries.push_back(test::Entry(0, 0, 0.5f, 0.5f));  // one fast virus: the game is soon lost
    Content(true, level);
    test::THeldDisk disk;  // this thread is the window's
    TGameWindowServices s = Services();
    const std::string best = MyBestReplayPath(kSlot), last = LastReplayPath(kSlot);
    bool played = false, checked = false;
    int turn = 0;
    std::optional<std::string> lastGame;
    s.OnIdle = [&](TfrmGame& g) {
        clock_.AdvanceMilliseconds(100);
        TGameCore* c = g.Core.get();
        if (!c || g.Window().Closed()) return;
        ASSERT_LT(++turn, 20000) << "the session never ended";
        switch (c->State) {
            case TCoreState::Loading:
            case TCoreState::Menu:
            case TCoreState::Exit:
                PlayOnceFromTheMenu(g, *c, played);
                break;
            case TCoreState::HighScores:
                if (checked || c->NameEntryPhase != TNameEntryPhase::Editing) break;
                checked = true;
                EXPECT_EQ(c->HighScoreRow, 0);
                // What the files will hold, as every reader of them sees it now.
                lastGame = sys::ReadFileText(last, kMaxReplayFileSize);
                EXPECT_TRUE(lastGame && !lastGame->empty());
                EXPECT_EQ(sys::ReadFileText(best, kMaxReplayFileSize), lastGame);
                Tap(g, SDL_SCANCODE_RETURN, SDLK_RETURN);  // the name as it stands
                break;
            default:
                break;
        }
    };
    TfrmGame game(kSingleGame, 1, info_, mode_, -1, s);
    Focus(game, true);
    EXPECT_EQ(game.ShowModal(), "");
    ASSERT_TRUE(checked);
    const std::int32_t score = settings_->Scenarios[kSlot].HighScores[0].Score;
    EXPECT_GT(score, kNoHighScore);

    // Every flush was left to another thread, and the disk is still held.
    EXPECT_EQ(disk.FlushedOnWatchedThread(), std::vector<std::string>{});
    if (disk.FlushedOnWatchedThread().empty()) {
        EXPECT_TRUE(disk.WaitUntilHeld());
    }
    disk.Release();
    sys::FinishPendingWrites();
    const auto stored = sys::ReadFileText(best, kMaxReplayFileSize);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored, lastGame);
    EXPECT_EQ(sys::ReadFileText(last, kMaxReplayFileSize), lastGame);
    TEnvironmentRecord record;
    ASSERT_TRUE(LoadEnvironment(record, dir_ / "env.dat"));
    EXPECT_EQ(record.Scenarios[kSlot].HighScores[0].Score, score);
    EXPECT_EQ(record.Scenarios[kSlot].HighScores[0].Name, "TESTER");
}

TEST_F(GameFormTest, AKeyTappedWithinOneFrameDuringPlayCountsOnceAndReplaysExactly) {
    Content(true);
    TGameWindowServices s = Services();
    int step = 0, turn = 0, wait = 0;
    bool played = false;
    std::int32_t liveScore = -1, liveTime = -1;
    std::vector<std::string> seen;
    auto toggles = [](const TGameInput& input) {
        int n = 0;
        for (TInputRecord r : input.Records()) n += RecordTorpedoToggle(r);
        return n;
    };
    int togglesBefore = 0;
    s.OnIdle = [&](TfrmGame& g) {
        clock_.AdvanceMilliseconds(20);
        TGameCore* c = g.Core.get();
        ASSERT_LT(++turn, 20000) << "the session never ended";
        if (!c || g.Window().Closed()) return;
        switch (c->State) {
            case TCoreState::Loading:
            case TCoreState::Menu:
            case TCoreState::Exit:
                PlayOnceFromTheMenu(g, *c, played);
                break;
            case TCoreState::Playing:
                if (c->PlayPhase != TPlayPhase::Live || c->Logic->LogicTime < 500) break;
                if (wait > 0) {
                    --wait;
                    break;
                }
                // Each key goes down and up between two frames: the keyboard
                // is the game's while it runs, so only the sample can see it.
                switch (step++) {
                    case 0:
                        Tap(g, SDL_SCANCODE_P, SDLK_p);
                        wait = 3;
                        break;
                    case 1:
                        seen.push_back(c->IsPaused() ? "paused" : "running");
                        Tap(g, SDL_SCANCODE_P, SDLK_p);  // paused, the window has the key
                        wait = 3;
                        break;
                    case 2:
                        seen.push_back(c->IsPaused() ? "paused" : "running");
                        togglesBefore = toggles(c->Logic->RecordedInput);
                        Tap(g, SDL_SCANCODE_T, SDLK_t);
                        wait = 3;
                        break;
                    case 3:
                        seen.push_back(std::to_string(toggles(c->Logic->RecordedInput) - togglesBefore) + " toggle");
                        liveScore = c->Logic->Score;
                        liveTime = c->Logic->LogicTime;
                        Tap(g, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);  // the game ends, its replay is kept
                        break;
                    default:
                        break;
                }
                break;
            default:
                break;
        }
    };
    {
        TfrmGame game(kSingleGame, 1, info_, mode_, -1, s);
        Focus(game, true);
        EXPECT_EQ(game.ShowModal(), "");
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"paused", "running", "1 toggle"}));

    // The replay holds the toggle once and plays to the same moment.
    TReplayFile pack(LastReplayPath(kSlot));
    ASSERT_EQ(pack.LevelCount(), 1);
    TLogicServices services;
    services.Resources = resources_.get();
    services.Config = &resources_->Config();
    auto replay = TGameLogic::CreateFromRecord(services, gmReplay, pack.GetLevel(1));
    EXPECT_EQ(toggles(replay->RecordedInput) + toggles(replay->LiveInput), 1);
    const test::TRunResult result = test::PlayBack(*replay, 50);
    EXPECT_EQ(result.Score, liveScore);
    EXPECT_GE(replay->LogicTime, liveTime);
}

}  // namespace
}  // namespace qv
