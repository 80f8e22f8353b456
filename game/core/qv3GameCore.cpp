#include "game/core/qv3GameCore.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "foundation/Exceptions.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "game/core/qv3CoreRules.h"
#include "game/logic/qv3GameLogic.h"
#include "game/assets/qv3Graphics.h"
#include "game/assets/qv3Resources.h"
#include "game/core/qv3ReplayFiles.h"
#include "game/core/qv3Snapshot.h"
#include "game/assets/qv3Sounds.h"
#include "media/zkD3D.h"
#include "media/zkDInput.h"
#include "platform/system/Clock.h"
#include "platform/system/Files.h"
#include "platform/window/GameWindow.h"

namespace qv {

namespace {

constexpr int kGraphicsCapacity = 3000;

TRandom& Or(TRandom* random) { return random ? *random : ProgramRandom(); }

std::string ErrorMessage(const std::exception& e) { return e.what(); }

}  // namespace

TGameCore::TGameCore(win::TGameWindow* game, std::uint8_t gameMode, TzkD3Device8* device, TzkDSound* sound,
                     TzkDIKeyboard* keyboard, std::int32_t /*value*/, TGameCoreServices services)
    : Game(game),
      Keyboard(keyboard),
      Device(device),
      GameMode(gameMode),
      services_(std::move(services)),
      settings_(services_.Settings ? *services_.Settings : Environment),
      random_(Or(services_.Random)),
      levelRandom_(Or(services_.LevelRandom)) {
    TitleAlpha = -1.0f;
    SceneElements = std::make_unique<TCustomScene>();
    State = TCoreState::Loading;
    SetBrightness(0);
    Graphics = std::make_unique<TGameGraphics>(device, kGraphicsCapacity, &Resources());
    Graphics->LowDetail = settings_.Detail != 1;
    Graphics->OnProgress = [this](TGameGraphics&, int percent) {
        LoadProgress = static_cast<std::int32_t>(percent * 0.5);
        Render();
    };
    Sounds = std::make_unique<TGameSounds>(sound, Resources(), Resources().Config());
    Sounds->OnProgress = [this](TGameSounds&, int percent) {
        LoadProgress = static_cast<std::int32_t>(percent * 0.5) + 50;
        Render();
    };
    if (GameMode == kWorldBestReplay) {
        ReplayPack = std::make_unique<TReplayPack>(TReplayFile(WorldBestReplayPath(Resources().CurrentSlot())));
        ReplayKind = TReplayKind::WorldBest;
        ReplayLevel = 1;
    }
}

TGameCore::~TGameCore() {
    State = TCoreState::Closed;
    OnClose = nullptr;
    ReplayPack.reset();
    if (Game) Game->ClipCursor(false);
    DuelStream.clear();
    Sounds.reset();
    Logic.reset();  // before the image set: its scenery is drawn with it
    Graphics.reset();
    SceneElements->Clear();
}

// --- services ---

TQVX3Resources& TGameCore::Resources() const {
    if (services_.Resources) return *services_.Resources;
    if (!GameResources) throw Exception("No scenario resources");
    return *GameResources;
}

const TScenarioConfig& TGameCore::ScenarioConfig() const { return Resources().Config(); }

TScenarioProgress& TGameCore::Progress() {
    static TScenarioProgress none;
    const int slot = Resources().CurrentSlot();
    if (slot < 0 || slot >= static_cast<int>(kScenarioSlotCount)) {
        none = TScenarioProgress();
        return none;
    }
    return settings_.Scenarios[static_cast<std::size_t>(slot)];
}

namespace {
std::function<void()>& SettingsSaver() {
    static std::function<void()> saver;
    return saver;
}
}  // namespace

void SetGameSettingsSaver(std::function<void()> saver) { SettingsSaver() = std::move(saver); }

void TGameCore::SaveSettings() {
    if (services_.SaveSettings) {
        services_.SaveSettings();
    } else if (SettingsSaver()) {
        SettingsSaver()();
    } else {
        LogMessage("Unable to save environment file: no settings file", lkWarning);
    }
}

TLogicServices TGameCore::LogicServices() {
    TLogicServices s;
    s.Resources = &Resources();
    s.Config = &Resources().Config();
    s.Effects = this;
    s.LevelRandom = &levelRandom_;
    s.EffectRandom = &Or(services_.Random);
    // The cosmetic generator of each level starts from the clock.
    sys::IClock& clock = services_.Clock ? *services_.Clock : sys::SystemClock();
    std::int64_t count = 0;
    if (!clock.QueryPerformanceCounter(count)) count = clock.GetTickCount();
    s.EffectSeed = static_cast<std::uint64_t>(count);
    return s;
}

std::unique_ptr<TGameLogic> TGameCore::NewLogic(std::int32_t level, std::int32_t score, std::uint8_t mode) {
    return std::make_unique<TGameLogic>(LogicServices(), level, score, mode);
}

void TGameCore::AddBubble(float x, float y, float scale, float wobble, float direction, float speed,
                          std::uint32_t colour) {
    new TGEBubble(this, x, y, scale, wobble, direction, speed, colour);
}

void TGameCore::DrawFixedSprite(int index, TPointF position, TPointF scale, float angle, const std::uint32_t* colours,
                                std::int32_t layer) {
    if (TzkD3DSprite* sprite = Graphics->FixedSprite(index)) sprite->Draw(&scale, position, angle, colours, layer);
}

void TGameCore::DrawCreatureFrame(int type, int frame, TPointF position, TPointF scale, float angle,
                                  const std::uint32_t* colours, std::int32_t layer) {
    if (TzkD3DSprite* sprite = Graphics->CreatureFrame(type, frame))
        sprite->Draw(&scale, position, angle, colours, layer);
}

// --- input ---

bool TGameCore::ReadKeyboard(std::span<std::uint8_t, 256> state) {
    if (!Keyboard) return false;
    return Keyboard->GetState(state);
}

std::int32_t TGameCore::CursorY() { return Game ? Game->CursorPos().Y : 0; }

bool TGameCore::ReplayLive() const { return Logic && Logic->Mode == gmReplay; }

TGameInput* TGameCore::LiveInput() { return Logic ? &Logic->LiveInput : nullptr; }

// --- session ---

bool TGameCore::IsPaused() const {
    if (GameMode == kDuelGame) return false;
    const bool active = !Game || Game->Active();
    return !active || (State == TCoreState::Playing && Paused);
}

void TGameCore::SetBrightness(float b) {
    BrightnessLevel = b;
    CornerColourValues = BrightnessColours(b);
}

void TGameCore::InitGame() {
    if (State != TCoreState::Loading || Initialized) return;
    LogMessage("InitGame", lkEntering);
    try {
        Graphics->LoadScreens();
        Render();
        Sounds->Load();
        Initialized = true;
    } catch (const std::exception& e) {
        ErrorText = "Failed to initialize";
        LogMessage("Failed to initialize application: " + ErrorMessage(e), lkError);
        CloseGame();
    }
    LogMessage("InitGame", lkExiting);
}

bool TGameCore::DoFrame(std::int32_t Ticks) {
    if (State == TCoreState::Loading) {
        Render();
        return false;
    }
    if (State == TCoreState::Closed) return true;
    if (Device && !Device->CheckDevice()) return true;
    Sounds->Service();
    if (IsPaused() || State == TCoreState::Exit) {
        if (Device) Device->FlushScene();
        Render();
        return false;
    }
    if (Device) Device->FlushScene();

    // Live play begins and ends on frame boundaries: the whole frame runs
    // active or not, so every active tick of a live game has its record.
    const bool live = State == TCoreState::Playing && PlayPhase == TPlayPhase::Live;
    std::int32_t ticks = Ticks;
    if (State == TCoreState::Playing || State == TCoreState::Result) {
        Input.Sample(*this, Ticks);
        if (Logic && Logic->Mode == gmReplay) {
            // Playback reads only its recording: what the watcher does stays out.
            Logic->LiveInput.Clear();
        } else if (Logic) {
            ticks = Logic->LiveInput.PendingTicks();
        } else {
            ticks = 0;
        }
    } else {
        Input.ClickPending = false;
    }
    if (ticks <= 0) return false;
    if (live) {
        ++PlayFrames;
        TotalScore += 10 * ticks;
    }
    TGameLogic* frameLogic = Logic.get();
    for (std::int32_t i = 0; i < ticks && State != TCoreState::Closed; ++i) {
        StateTime += 10;
        switch (State) {
            case TCoreState::Menu: MenuTick(); break;
            case TCoreState::Playing: IntroTick(); break;
            case TCoreState::Result: ResultTick(); break;
            case TCoreState::HighScores: HighScoreTick(); break;
            default: break;
        }
        SceneElements->Animate();
        if (!Logic) continue;
        const bool active = live && State == TCoreState::Playing && PlayPhase == TPlayPhase::Live && Logic.get() == frameLogic;
        Logic->Step(active, 1);
        for (int id = 0; id < kGameSoundCount; ++id) {
            if (Logic->SoundFlag(id)) Sounds->Play(id, -1);
        }
    }
    UpdateCountdown();
    Render();
    LevelEndCheck();
    return false;
}

void TGameCore::UpdateCountdown() {
    if (State != TCoreState::Playing || GameMode == kDuelGame || !Logic || PlayPhase == TPlayPhase::Wait) return;
    const int s = CountdownDigit(Logic->LevelLength, Logic->LogicTime);
    if (s >= 0 && s != CountdownSecond) {
        CountdownSecond = s;
        Sounds->Play(sndBigTime, -1);
    }
}

void TGameCore::Click() {
    Input.ClickPending = true;
    ProcessKey(-1);
}

void TGameCore::Deactivate() {
    Paused = true;
    if (IsPaused() && State == TCoreState::Playing) Sounds->Pause(sndGameMusic);
}

void TGameCore::TakeSnapshot() {
    if (!Device || !Device->Device) throw Exception("No device");
    Device->BeginScene();
    Device->Device->Clear(0, nullptr, d3d::D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    DrawScreen();
    Device->RenderScene();
    std::vector<std::uint32_t> pixels;
    std::uint32_t width = 0, height = 0;
    {
        auto surface = Device->GetBackBuffer();
        if (!surface) throw Exception("No back buffer");
        pixels = ReadSurfacePixels(*surface, width, height);
    }
    Device->EndScene();
    Device->Present();
    const auto bmp = EncodeBitmap24(width, height, pixels);
    const std::string folder = services_.SnapshotFolder.empty() ? ProgramDir : services_.SnapshotFolder;
    const std::string name = NextSnapshotName(folder, SnapshotCount);
    std::string error;
    if (!sys::WriteFileAtomic(name, std::string_view(reinterpret_cast<const char*>(bmp.data()), bmp.size()), &error))
        throw Exception("Unable to write " + name + ": " + error);
    ++SnapshotCount;
}

void TGameCore::ProcessKey(std::int16_t Key) {
    if (Key == kKeySnapshot) {
        try {
            TakeSnapshot();
            return;
        } catch (const std::exception& e) {
            LogMessage("Error doing snapshot: " + ErrorMessage(e), lkError);
        }
    }
    switch (State) {
        case TCoreState::Loading:
            if (Key == kVkEscape) {
                CloseGame();
            } else if (Key == kVkEnter || Key == kVkSpace || Key == kKeyClick) {
                if (!Initialized) break;
                if (GameMode == kWorldBestReplay) {
                    ReplayKind = TReplayKind::WorldBest;
                    StartGame(TStartKind::Replay);
                } else {
                    StartGame(TStartKind::Menu);
                }
            }
            break;
        case TCoreState::Menu:
            if (MenuAction != TMenuAction::None) break;
            if (Key == kVkEscape) {
                MenuAction = TMenuAction::Exit;
            } else if (GameMode != kDuelGame) {
                if (Key == kKeyClick) {
                    MenuAction = TMenuAction::NewGame;
                } else if (Key == kVkNewProgress) {
                    if (services_.ResetScenarioProgress) {
                        services_.ResetScenarioProgress();
                    } else {
                        settings_.ResetScenarioProgress(Resources().CurrentSlot());
                        SaveSettings();
                    }
                    MenuAction = TMenuAction::NewGame;
                } else if (Key == kVkReplay && LastReplayExists) {
                    MenuAction = TMenuAction::LastReplay;
                } else if (Key == kVkDemo && DemoExists) {
                    MenuAction = TMenuAction::Demo;
                }
            }
            break;
        case TCoreState::Playing:
            if (Key == kVkPause) {
                Paused = !Paused;
                if (IsPaused()) {
                    if (Keyboard) Keyboard->SetAcquired(false);
                    Sounds->Pause(sndGameMusic);
                } else {
                    Sounds->Resume(sndGameMusic);
                }
            } else if (Key == kVkEscape) {
                if (GameMode == kWorldBestReplay) {
                    SetState(TCoreState::Exit);
                } else {
                    SaveLastReplay();
                    StartGame(TStartKind::Menu);
                }
            }
            break;
        case TCoreState::Result:
            if (ResultPhase == TResultPhase::Showing) {
                ResultPhase = TResultPhase::FadeOut;
                StateTime = 0;
            }
            break;
        case TCoreState::HighScores:
            NameKey = Key;
            break;
        case TCoreState::Exit:
            CloseGame();
            break;
        default:
            break;
    }
}

void TGameCore::StartGame(TStartKind Kind) {
    try {
        Logic.reset();
        switch (Kind) {
            case TStartKind::Menu:
                ReplayPack.reset();
                SetState(TCoreState::Menu);
                Logic = NewLogic(kAttractLevel, 0, gmLive);
                break;
            case TStartKind::Game:
                SetState(TCoreState::Playing);
                Logic = NewLogic(kGameLevel, Progress().StartScore, gmLive);
                ++Progress().GamesStarted;
                break;
            case TStartKind::Replay:
                if (!StartReplay()) return;
                break;
            case TStartKind::HighScores:
                SetState(TCoreState::HighScores);
                Logic = NewLogic(kNameEntryLevel, 0, gmLive);
                break;
            default:
                throw Exception("Game kind not available: " + std::to_string(static_cast<int>(Kind)));
        }
    } catch (const std::exception& e) {
        LogMessage("Error setting game logic: " + ErrorMessage(e), lkWarning);
        throw;
    }
}

bool TGameCore::StartReplay() {
    try {
        if (!ReplayPack) throw Exception("Level doesn't exist in file");
        const std::vector<std::uint8_t> level = ReplayPack->GetLevel(ReplayLevel);
        SetState(TCoreState::Playing);
        Logic = TGameLogic::CreateFromRecord(LogicServices(), gmReplay, level);
        return true;
    } catch (const std::exception& e) {
        LogMessage("Error loading replay file in mode: " + std::to_string(static_cast<int>(ReplayKind)) + ": " + ErrorMessage(e),
                   lkError);
        const TReplayKind kind = ReplayKind;
        StartGame(TStartKind::Menu);
        // A damaged last game or demo only costs its replay; a world's-best
        // replay is the whole session.
        if (kind == TReplayKind::WorldBest) {
            ErrorText = "Error loading replay file";
            CloseGame();
        }
        return false;
    }
}

void TGameCore::SetState(TCoreState New) {
    if (State == New) return;
    StateTime = 0;
    if (!((State == TCoreState::Playing || State == TCoreState::Result) && (New == TCoreState::Result || New == TCoreState::HighScores))) SceneElements->Clear();
    switch (New) {
        case TCoreState::Loading:
            Initialized = false;
            break;
        case TCoreState::Menu:
            Sounds->StopAll();
            MenuAction = TMenuAction::None;
            TitleAlpha = 0;
            MenuPage = 0;
            MenuTextTime = 0;
            ReplayKind = TReplayKind::None;
            FireworkTime = 0;
            MenuTextParam = -1;
            HighScoreRow = -1;
            SetBrightness(0);
            new TGEEffect(this);
            for (int i = 0; i < 200; ++i) SceneElements->AnimateLayer(0);
            break;
        case TCoreState::Playing:
            Sounds->StopAll();
            Paused = false;
            PlayPhase = TPlayPhase::Wait;
            CountdownSecond = 10;
            Input.ClickPending = false;
            new TGEEffect(this);
            for (int i = 0; i < 200; ++i) SceneElements->AnimateLayer(0);
            break;
        case TCoreState::Result:
            ResultPhase = TResultPhase::Typing;
            Sounds->Stop(sndGameMusic);
            break;
        case TCoreState::HighScores:
            TitleZoom = 0;
            NameEntryPhase = TNameEntryPhase::FadeIn;
            break;
        default:
            break;
    }
    if (New != TCoreState::Playing && Keyboard) Keyboard->SetAcquired(false);
    if (New == TCoreState::Menu && GameMode != kDuelGame) {
        LastReplayExists = TReplayFile(LastReplayPath(Resources().CurrentSlot())).LevelCount() > 0;
        DemoExists = Resources().HasResource(kDemoReplayResource);
    }
    State = New;
}

// --- ticks ---

void TGameCore::MenuTick() {
    if (MenuAction != TMenuAction::None) {
        SetBrightness(std::max(0.0f, BrightnessLevel - 0.02f));
        TitleAlpha = std::max(0.0f, TitleAlpha - 0.02f);
        if (TitleAlpha <= 0) RunMenuAction();
        return;
    }
    if (random_.Uniform() < 0.0075) new TGEMenuBot(this);
    if (TitleAlpha < 1) {
        TitleAlpha = std::min(1.0f, TitleAlpha + 1.0f / 30.0f);
    } else if (BrightnessLevel < 1) {
        SetBrightness(std::min(1.0f, BrightnessLevel + 0.02f));
        if (BrightnessLevel >= 1) Sounds->Play(sndMenuMusic, -1);
    } else {
        if (StateTime > 45000 && DemoExists) {
            MenuAction = TMenuAction::Demo;
            RunMenuAction();
            return;
        }
        TMenuCaption caption{MenuTextTime, MenuPage, MenuTextParam};
        const TMenuPages pages{LastReplayExists, DemoExists, Progress().HighScores[0].IsSet()};
        StepMenuCaption(caption, pages);
        MenuTextTime = caption.MenuTextTime;
        MenuPage = caption.MenuPage;
        MenuTextParam = caption.MenuTextParam;
    }
}

void TGameCore::RunMenuAction() {
    const TMenuAction action = MenuAction;
    switch (action) {
        case TMenuAction::LastReplay:
            ReplayKind = TReplayKind::LastGame;
            ReplayPack = std::make_unique<TReplayPack>(TReplayFile(LastReplayPath(Resources().CurrentSlot())));
            ReplayLevel = ReplayPack->LevelCount();
            StartGame(TStartKind::Replay);
            break;
        case TMenuAction::Demo: {
            ReplayKind = TReplayKind::Demo;
            ReplayLevel = 1;
            try {
                ReplayPack = std::make_unique<TReplayPack>(TReplayPack::FromStream(Resources().OpenResource(kDemoReplayResource)));
            } catch (const std::exception& e) {
                ReplayPack.reset();
                LogMessage("Error loading replay file in mode: 2: " + ErrorMessage(e), lkError);
            }
            StartGame(TStartKind::Replay);
            break;
        }
        case TMenuAction::NewGame:
            StartGame(TStartKind::Game);
            break;
        case TMenuAction::Exit:
            SetState(TCoreState::Exit);
            break;
        default:
            break;
    }
    SetBrightness(BrightnessLevel);
}

void TGameCore::IntroTick() {
    switch (PlayPhase) {
        case TPlayPhase::Wait:
            if (StateTime >= 100) {
                StateTime = 0;
                PlayPhase = TPlayPhase::LevelName;
                Sounds->Play(sndLevelStart, -1);
            }
            break;
        case TPlayPhase::LevelName:
            SetBrightness(std::min(1.0f, BrightnessLevel + 0.02f));
            if (StateTime >= 1500) {
                PlayPhase = TPlayPhase::Coming;
                StateTime = 0;
                Sounds->Play(sndComing, -1);
            }
            break;
        case TPlayPhase::Coming:
            if (StateTime >= 2500) {
                PlayPhase = TPlayPhase::Live;
                if (Logic) Logic->LiveInput.Clear();
                Sounds->Play(sndGameMusic, -1);
            }
            break;
        default:
            break;
    }
}

void TGameCore::LevelEndCheck() {
    if (State != TCoreState::Playing || GameMode == kDuelGame || !Logic || !Logic->Finished) return;
    if (Logic->Mode == gmReplay) {
        Outcome = TOutcome::ReplayEnded;
        OutcomeText = LangText(341);
    } else {
        SaveLastReplay();
        if (Logic->Won) {
            if (Logic->LevelNumber != kGameLevel) {
                LogMessage("This can't happen", lkWarning);
                return;
            }
            Outcome = TOutcome::Won;
            OutcomeText = LangText(343);
        } else {
            Outcome = TOutcome::Lost;
            OutcomeText = LangText(344);
        }
    }
    SetState(TCoreState::Result);
    Sounds->Play(Outcome == TOutcome::Won ? sndLevelFinished : sndGameOver, -1);
}

void TGameCore::ResultTick() {
    switch (ResultPhase) {
        case TResultPhase::Typing:
            if (StateTime > 1500) {
                ResultPhase = TResultPhase::Showing;
                StateTime = 0;
            }
            break;
        case TResultPhase::Showing:
            if (StateTime > 1500) {
                ResultPhase = TResultPhase::FadeOut;
                StateTime = 0;
            }
            break;
        case TResultPhase::FadeOut: {
            SetBrightness(std::max(0.0f, BrightnessLevel - 0.02f));
            SetBrightness(std::max(0.0f, BrightnessLevel - 0.02f));
            if (BrightnessLevel > 0) break;
            if (!Logic && (Outcome == TOutcome::Won || Outcome == TOutcome::Lost)) return;
            switch (Outcome) {
                case TOutcome::Won:
                    StoreLevelStats();
                    HighScoreRow = InsertHighScore(Logic->Score, Logic->LevelNumber);
                    LevelWon = true;
                    StartGame(TStartKind::HighScores);
                    break;
                case TOutcome::Lost:
                    HighScoreRow = InsertHighScore(Logic->Score, Logic->LevelNumber);
                    if (HighScoreRow == -1) {
                        StartGame(TStartKind::Menu);
                    } else {
                        LevelWon = false;
                        StartGame(TStartKind::HighScores);
                    }
                    break;
                case TOutcome::Close:
                    CloseGame();
                    break;
                case TOutcome::ReplayEnded:
                    if (!ReplayPack || ReplayLevel >= ReplayPack->LevelCount()) {
                        ReplayPack.reset();
                        if (ReplayKind == TReplayKind::WorldBest) {
                            SetState(TCoreState::Exit);
                        } else {
                            StartGame(TStartKind::Menu);
                        }
                    } else {
                        ++ReplayLevel;
                        StartGame(TStartKind::Replay);
                    }
                    break;
                default:
                    LogMessage("This can't happen", lkWarning);
                    return;
            }
            SetBrightness(BrightnessLevel);
            break;
        }
        default:
            break;
    }
}

void TGameCore::HighScoreTick() {
    if (LevelWon) {
        FireworkTime += 10;
        while (FireworkTime >= 300) {
            FireworkTime -= 300 + static_cast<std::int32_t>(random_.Uniform() * 1000);
            const auto x = static_cast<float>(random_.Uniform() * 800);
            const auto y = static_cast<float>(random_.Uniform() * 600);
            for (int i = 0; i < 101; ++i) {
                const auto r = random_.Below(128);
                const auto g = random_.Below(128);
                const auto b = random_.Below(128);
                const std::uint32_t colour = 0xA0808080u | (r << 16 | g << 8 | b);
                const auto direction = static_cast<float>(random_.Uniform() * 2 * 3.14159265358979);
                const auto speed = static_cast<float>(10 + random_.Uniform() * 20);
                const auto scale = static_cast<float>(0.10 + random_.Uniform() * 0.15);
                new TGEBubble(this, x, y, scale, 0, direction, speed, colour);
            }
            Sounds->Play(sndBubbleFirework, -1);
        }
    }
    TitleZoom = std::min(1.0f, TitleZoom + 0.005f);
    switch (NameEntryPhase) {
        case TNameEntryPhase::FadeIn:
            SetBrightness(std::min(1.0f, BrightnessLevel + 0.02f));
            if (BrightnessLevel >= 1) {
                NameEntryPhase = TNameEntryPhase::Table;
                bigTimeRow_ = -1;
                Sounds->Play(sndHighScoreMusic, -1);
            }
            break;
        case TNameEntryPhase::Table: {
            // One table row every 640 ms, each with its sound.
            const std::int32_t row = StateTime / 640;
            if (row < 9 && row != bigTimeRow_) Sounds->Play(sndBigTime, -1);
            bigTimeRow_ = row;
            StateTime += 10;
            if (NameKey == kVkEscape && HighScoreRow < 0) {
                NameKey = 0;
                StartGame(TStartKind::Menu);
                return;
            }
            if (StateTime > 8160) {
                NameEntryPhase = HighScoreRow >= 0 ? TNameEntryPhase::Editing : TNameEntryPhase::Showing;
                StateTime = 0;
            }
            NameEditor();
            break;
        }
        case TNameEntryPhase::Editing:
            NameEditor();
            break;
        case TNameEntryPhase::Showing:
            StateTime += 10;
            if (StateTime > 20000 || NameKey != 0) {
                NameKey = 0;
                NameEntryPhase = TNameEntryPhase::FadeOut;
            }
            break;
        case TNameEntryPhase::FadeOut:
            SetBrightness(std::max(0.0f, BrightnessLevel - 0.02f));
            if (BrightnessLevel <= 0) StartGame(TStartKind::Menu);
            break;
        default:
            break;
    }
}

void TGameCore::NameEditor() {
    if (HighScoreRow < 0 || HighScoreRow >= static_cast<int>(kHighScoreCount)) {
        NameKey = 0;
        return;
    }
    if (NameKey == 0) return;
    THighScoreEntry& entry = Progress().HighScores[static_cast<std::size_t>(HighScoreRow)];
    const TNameEdit edit = EditHighScoreName(entry.Name, NameKey);
    NameKey = 0;
    if (edit.Sound >= 0) Sounds->Play(edit.Sound, -1);
    if (edit.Done) {
        settings_.PlayerAlias = entry.Name.View();
        SaveSettings();
        NameEntryPhase = TNameEntryPhase::FadeOut;
    }
}

// --- high scores, statistics, replays ---

std::int32_t TGameCore::InsertHighScore(std::int32_t Score, std::int32_t Level) {
    TScenarioProgress& progress = Progress();
    const int row = InsertHighScoreEntry(progress.HighScores, Score, settings_.PlayerAlias.View());
    if (row < 0) return -1;
    if (row == 0) {
        // The record keeps one statistics block: the first level's.
        progress.BestGameStats = TGameStatistics();
        if (Level == 1 && Logic) progress.BestGameStats = Logic->Statistics;
        if (Level > 1) progress.BestGameStats = progress.LastGameStats;
        const std::string last = LastReplayPath(Resources().CurrentSlot());
        const std::string best = MyBestReplayPath(Resources().CurrentSlot());
        const auto data = sys::ReadFileBytes(last);
        std::string error = "no last game";
        if (!data || !sys::WriteFileAtomic(best, std::string_view(reinterpret_cast<const char*>(data->data()),
                                                                   data->size()),
                                           &error)) {
            sys::RemoveFile(best);
            LogMessage("Error copying my best replay file", lkWarning);
        }
    }
    SaveSettings();
    return row;
}

void TGameCore::StoreLevelStats() {
    TScenarioProgress& progress = Progress();
    ++progress.LevelsFinished;
    // Only the first level has a block in the record.
    if (Logic && Logic->LevelNumber == 1) progress.LastGameStats = Logic->Statistics;
    SaveSettings();
}

void TGameCore::SaveLastReplay() {
    if (!Logic || Logic->Mode != gmLive || Logic->TickCount <= 0) return;
    try {
        TReplayFile(LastReplayPath(Resources().CurrentSlot())).AddLevelAndSave(*Logic);
    } catch (const std::exception& e) {
        LogMessage("Failed to record replay: " + ErrorMessage(e), lkError);
    }
}

void TGameCore::CloseGame() {
    try {
        Sounds->StopAll();
    } catch (...) {
    }
    if (OnClose) OnClose(ErrorText);
}

// --- frame ---

void TGameCore::Render() {
    if (State == TCoreState::Closed || !Device || !Device->Device || Device->Lost || rendering_) return;
    rendering_ = true;
    try {
        Device->BeginScene();
        Device->Device->Clear(0, nullptr, d3d::D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        DrawScreen();
        Device->RenderScene();
        Device->EndScene();
        Device->Present();
    } catch (const std::exception& e) {
        rendering_ = false;
        const std::string text = "Render: " + ErrorMessage(e);
        LogMessage(text, lkError);
        if (OnClose) OnClose(text);
        return;
    }
    rendering_ = false;
}

}  // namespace qv
