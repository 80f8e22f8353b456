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
      random_(Or(services_.Random)),
      levelRandom_(Or(services_.LevelRandom)) {
    TitleAlpha = -1.0f;
    SceneElements = std::make_unique<TCustomScene>();
    State = 0;
    SetBrightness(0);
    Graphics = std::make_unique<TGameGraphics>(device, kGraphicsCapacity, &Resources());
    Graphics->LowDetail = (services_.Settings ? *services_.Settings : Environment).Detail != 1;
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
        ReplayKind = 3;
        ReplayLevel = 1;
    }
}

TGameCore::~TGameCore() {
    State = 6;
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
    TEnvironmentRecord& settings = services_.Settings ? *services_.Settings : Environment;
    const int slot = Resources().CurrentSlot();
    if (slot < 0 || slot >= static_cast<int>(kScenarioSlotCount)) {
        none = TScenarioProgress();
        return none;
    }
    return settings.Scenarios[static_cast<std::size_t>(slot)];
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
    return !active || (State == 2 && Paused);
}

void TGameCore::SetBrightness(float b) {
    BrightnessLevel = b;
    CornerColourValues = BrightnessColours(b);
}

void TGameCore::InitGame() {
    if (State != 0 || Initialized) return;
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
    if (State == 0) {
        Render();
        return false;
    }
    if (State == 6) return true;
    if (Device && !Device->CheckDevice()) return true;
    Sounds->Service();
    if (IsPaused() || State == 5) {
        if (Device) Device->FlushScene();
        Render();
        return false;
    }
    if (Device) Device->FlushScene();

    // Live play begins and ends on frame boundaries: the whole frame runs
    // active or not, so every active tick of a live game has its record.
    const bool live = State == 2 && PlayPhase == 3;
    std::int32_t ticks = Ticks;
    if (State == 2 || State == 3) {
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
    for (std::int32_t i = 0; i < ticks && State != 6; ++i) {
        StateTime += 10;
        switch (State) {
            case 1: MenuTick(); break;
            case 2: IntroTick(); break;
            case 3: ResultTick(); break;
            case 4: HighScoreTick(); break;
            default: break;
        }
        SceneElements->Animate();
        if (!Logic) continue;
        const bool active = live && State == 2 && PlayPhase == 3 && Logic.get() == frameLogic;
        Logic->Step(active, 1);
        for (int id = 0; id < kSoundFlagCount; ++id) {
            if (Logic->SoundFlag(id)) Sounds->Play(id, -1);
        }
    }
    UpdateCountdown();
    Render();
    LevelEndCheck();
    return false;
}

void TGameCore::UpdateCountdown() {
    if (State != 2 || GameMode == kDuelGame || !Logic || PlayPhase == 0) return;
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
    if (IsPaused() && State == 2) Sounds->Pause(sndGameMusic);
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
    if (Key == -2) {
        try {
            TakeSnapshot();
            return;
        } catch (const std::exception& e) {
            LogMessage("Error doing snapshot: " + ErrorMessage(e), lkError);
        }
    }
    switch (State) {
        case 0:
            if (Key == 27) {
                CloseGame();
            } else if (Key == 13 || Key == 32 || Key == -1) {
                if (!Initialized) break;
                if (GameMode == kWorldBestReplay) {
                    ReplayKind = 3;
                    StartGame(3);
                } else {
                    StartGame(0);
                }
            }
            break;
        case 1:
            if (MenuAction != 0) break;
            if (Key == 27) {
                MenuAction = 5;
            } else if (GameMode != kDuelGame) {
                if (Key == -1) {
                    MenuAction = 4;
                } else if (Key == 78) {
                    if (services_.ResetScenarioProgress) {
                        services_.ResetScenarioProgress();
                    } else {
                        Environment.ResetScenarioProgress(Resources().CurrentSlot());
                        SaveSettings();
                    }
                    MenuAction = 4;
                } else if (Key == 82 && LastReplayExists) {
                    MenuAction = 1;
                } else if (Key == 68 && DemoExists) {
                    MenuAction = 3;
                }
            }
            break;
        case 2:
            if (Key == 80) {
                Paused = !Paused;
                if (IsPaused()) {
                    if (Keyboard) Keyboard->SetAcquired(false);
                    Sounds->Pause(sndGameMusic);
                } else {
                    Sounds->Resume(sndGameMusic);
                }
            } else if (Key == 27) {
                if (GameMode == kWorldBestReplay) {
                    SetState(5);
                } else {
                    SaveLastReplay();
                    StartGame(0);
                }
            }
            break;
        case 3:
            if (ResultPhase == 1) {
                ResultPhase = 2;
                StateTime = 0;
            }
            break;
        case 4:
            NameKey = Key;
            break;
        case 5:
            CloseGame();
            break;
        default:
            break;
    }
}

void TGameCore::StartGame(int Kind) {
    try {
        Logic.reset();
        switch (Kind) {
            case 0:
                ReplayPack.reset();
                SetState(1);
                Logic = NewLogic(kAttractLevel, 0, gmLive);
                break;
            case 1:
                SetState(2);
                Logic = NewLogic(kGameLevel, Progress().StartScore, gmLive);
                ++Progress().GamesStarted;
                break;
            case 3:
                if (!StartReplay()) return;
                break;
            case 4:
                SetState(4);
                Logic = NewLogic(kNameEntryLevel, 0, gmLive);
                break;
            default:
                throw Exception("Game kind not available: " + std::to_string(Kind));
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
        SetState(2);
        Logic = TGameLogic::CreateFromRecord(LogicServices(), gmReplay, level);
        return true;
    } catch (const std::exception& e) {
        LogMessage("Error loading replay file in mode: " + std::to_string(ReplayKind) + ": " + ErrorMessage(e),
                   lkError);
        const std::uint8_t kind = ReplayKind;
        StartGame(0);
        // A damaged last game or demo only costs its replay; a world's-best
        // replay is the whole session.
        if (kind == 3) {
            ErrorText = "Error loading replay file";
            CloseGame();
        }
        return false;
    }
}

void TGameCore::SetState(std::uint8_t New) {
    if (State == New) return;
    StateTime = 0;
    if (!((State == 2 || State == 3) && (New == 3 || New == 4))) SceneElements->Clear();
    switch (New) {
        case 0:
            Initialized = false;
            break;
        case 1:
            Sounds->StopAll();
            MenuAction = 0;
            TitleAlpha = 0;
            MenuPage = 0;
            MenuTextTime = 0;
            ReplayKind = 0;
            FireworkTime = 0;
            MenuTextParam = -1;
            HighScoreRow = -1;
            SetBrightness(0);
            new TGEEffect(this);
            for (int i = 0; i < 200; ++i) SceneElements->AnimateLayer(0);
            break;
        case 2:
            Sounds->StopAll();
            Paused = false;
            PlayPhase = 0;
            CountdownSecond = 10;
            Input.ClickPending = false;
            new TGEEffect(this);
            for (int i = 0; i < 200; ++i) SceneElements->AnimateLayer(0);
            break;
        case 3:
            ResultPhase = 0;
            Sounds->Stop(sndGameMusic);
            break;
        case 4:
            TitleZoom = 0;
            NameEntryPhase = 0;
            break;
        default:
            break;
    }
    if (New != 2 && Keyboard) Keyboard->SetAcquired(false);
    if (New == 1 && GameMode != kDuelGame) {
        LastReplayExists = TReplayFile(LastReplayPath(Resources().CurrentSlot())).LevelCount() > 0;
        DemoExists = Resources().HasResource(kDemoReplayResource);
    }
    State = New;
}

// --- ticks ---

void TGameCore::MenuTick() {
    if (MenuAction != 0) {
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
            MenuAction = 3;
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
    const std::uint8_t action = MenuAction;
    switch (action) {
        case 1:
            ReplayKind = 1;
            ReplayPack = std::make_unique<TReplayPack>(TReplayFile(LastReplayPath(Resources().CurrentSlot())));
            ReplayLevel = ReplayPack->LevelCount();
            StartGame(3);
            break;
        case 3: {
            ReplayKind = 2;
            ReplayLevel = 1;
            try {
                ReplayPack = std::make_unique<TReplayPack>(TReplayPack::FromStream(Resources().OpenResource(kDemoReplayResource)));
            } catch (const std::exception& e) {
                ReplayPack.reset();
                LogMessage("Error loading replay file in mode: 2: " + ErrorMessage(e), lkError);
            }
            StartGame(3);
            break;
        }
        case 4:
            StartGame(1);
            break;
        case 5:
            SetState(5);
            break;
        default:
            break;
    }
    SetBrightness(BrightnessLevel);
}

void TGameCore::IntroTick() {
    switch (PlayPhase) {
        case 0:
            if (StateTime >= 100) {
                StateTime = 0;
                PlayPhase = 1;
                Sounds->Play(sndLevelStart, -1);
            }
            break;
        case 1:
            SetBrightness(std::min(1.0f, BrightnessLevel + 0.02f));
            if (StateTime >= 1500) {
                PlayPhase = 2;
                StateTime = 0;
                Sounds->Play(sndComing, -1);
            }
            break;
        case 2:
            if (StateTime >= 2500) {
                PlayPhase = 3;
                if (Logic) Logic->LiveInput.Clear();
                Sounds->Play(sndGameMusic, -1);
            }
            break;
        default:
            break;
    }
}

void TGameCore::LevelEndCheck() {
    if (State != 2 || GameMode == kDuelGame || !Logic || !Logic->Finished) return;
    if (Logic->Mode == gmReplay) {
        Outcome = 4;
        OutcomeText = LangText(341);
    } else {
        SaveLastReplay();
        if (Logic->Won) {
            if (Logic->LevelNumber != kGameLevel) {
                LogMessage("This can't happen", lkWarning);
                return;
            }
            Outcome = 1;
            OutcomeText = LangText(343);
        } else {
            Outcome = 2;
            OutcomeText = LangText(344);
        }
    }
    SetState(3);
    Sounds->Play(Outcome == 1 ? sndLevelFinished : sndGameOver, -1);
}

void TGameCore::ResultTick() {
    switch (ResultPhase) {
        case 0:
            if (StateTime > 1500) {
                ResultPhase = 1;
                StateTime = 0;
            }
            break;
        case 1:
            if (StateTime > 1500) {
                ResultPhase = 2;
                StateTime = 0;
            }
            break;
        case 2: {
            SetBrightness(std::max(0.0f, BrightnessLevel - 0.02f));
            SetBrightness(std::max(0.0f, BrightnessLevel - 0.02f));
            if (BrightnessLevel > 0) break;
            if (!Logic && (Outcome == 1 || Outcome == 2)) return;
            switch (Outcome) {
                case 1:
                    StoreLevelStats();
                    HighScoreRow = InsertHighScore(Logic->Score, Logic->LevelNumber);
                    LevelWon = true;
                    StartGame(4);
                    break;
                case 2:
                    HighScoreRow = InsertHighScore(Logic->Score, Logic->LevelNumber);
                    if (HighScoreRow == -1) {
                        StartGame(0);
                    } else {
                        LevelWon = false;
                        StartGame(4);
                    }
                    break;
                case 3:
                    CloseGame();
                    break;
                case 4:
                    if (!ReplayPack || ReplayLevel >= ReplayPack->LevelCount()) {
                        ReplayPack.reset();
                        if (ReplayKind == 3) {
                            SetState(5);
                        } else {
                            StartGame(0);
                        }
                    } else {
                        ++ReplayLevel;
                        StartGame(3);
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
        case 0:
            SetBrightness(std::min(1.0f, BrightnessLevel + 0.02f));
            if (BrightnessLevel >= 1) {
                NameEntryPhase = 1;
                bigTimeRow_ = -1;
                Sounds->Play(sndHighScoreMusic, -1);
            }
            break;
        case 1: {
            // One table row every 640 ms, each with its sound.
            const std::int32_t row = StateTime / 640;
            if (row < 9 && row != bigTimeRow_) Sounds->Play(sndBigTime, -1);
            bigTimeRow_ = row;
            StateTime += 10;
            if (NameKey == 27 && HighScoreRow < 0) {
                NameKey = 0;
                StartGame(0);
                return;
            }
            if (StateTime > 8160) {
                NameEntryPhase = HighScoreRow >= 0 ? 2 : 3;
                StateTime = 0;
            }
            NameEditor();
            break;
        }
        case 2:
            NameEditor();
            break;
        case 3:
            StateTime += 10;
            if (StateTime > 20000 || NameKey != 0) {
                NameKey = 0;
                NameEntryPhase = 4;
            }
            break;
        case 4:
            SetBrightness(std::max(0.0f, BrightnessLevel - 0.02f));
            if (BrightnessLevel <= 0) StartGame(0);
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
    TEnvironmentRecord& settings = services_.Settings ? *services_.Settings : Environment;
    THighScoreEntry& entry = Progress().HighScores[static_cast<std::size_t>(HighScoreRow)];
    const TNameEdit edit = EditHighScoreName(entry.Name, NameKey);
    NameKey = 0;
    if (edit.Sound >= 0) Sounds->Play(edit.Sound, -1);
    if (edit.Done) {
        settings.PlayerAlias = entry.Name.View();
        SaveSettings();
        NameEntryPhase = 4;
    }
}

// --- high scores, statistics, replays ---

std::int32_t TGameCore::InsertHighScore(std::int32_t Score, std::int32_t Level) {
    TEnvironmentRecord& settings = services_.Settings ? *services_.Settings : Environment;
    TScenarioProgress& progress = Progress();
    const int row = InsertHighScoreEntry(progress.HighScores, Score, settings.PlayerAlias.View());
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
    if (State == 6 || !Device || !Device->Device || Device->Lost || rendering_) return;
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
