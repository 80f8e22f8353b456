// The core's session: construction, services, input, frames, screenshots
// and drawing. The flow of states is in qv3GameFlow.cpp, the bookkeeping of
// progress in qv3GameProgress.cpp and the screens in qv3GameScreens.cpp.
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
        LogMessage("Failed to initialize application: " + std::string(e.what()), lkError);
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
    if (live && GameMode == kDuelGame) DuelTick();
    if (ticks <= 0) return false;
    if (live) {
        ++PlayFrames;
        TotalScore += 10 * ticks;
    }
    TGameLogic* frameLogic = Logic.get();
    const std::int32_t timeBefore = Logic ? Logic->LogicTime : 0;
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
    // A duel's music starts again every 90 s of play.
    if (GameMode == kDuelGame && State == TCoreState::Playing && Logic && Logic.get() == frameLogic &&
        timeBefore / 90000 != Logic->LogicTime / 90000)
        Sounds->Play(sndGameMusic, -1);
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
        const std::string text = "Render: " + std::string(e.what());
        LogMessage(text, lkError);
        if (OnClose) OnClose(text);
        return;
    }
    rendering_ = false;
}

}  // namespace qv
