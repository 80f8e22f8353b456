#include "game/core/qv3GameWindow.h"

#include <SDL.h>

#include <exception>

#include "foundation/Exceptions.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Log.h"
#include "game/core/qv3CoreRules.h"
#include "media/MainThread.h"
#include "platform/system/Files.h"

namespace qv {

namespace {
win::TGameWindowOptions WindowOptions(bool windowed) {
    win::TGameWindowOptions options;
    options.Caption = "Quorvex";
    options.Windowed = windowed;
    options.ClientWidth = 800;
    options.ClientHeight = 600;
    return options;
}
}  // namespace

TfrmGame::TfrmGame(std::uint8_t gameMode, std::uint8_t windowed, TzkD3DDeviceInfo* adapterEntry,
                   const TzkD3DMode& mode, std::int32_t value, TGameWindowServices services)
    : GameMode(gameMode),
      Windowed(windowed != 0),
      AdapterEntry(adapterEntry),
      Mode(mode),
      Value(value),
      window_(WindowOptions(windowed != 0)),
      services_(std::move(services)),
      clock_(services_.Clock ? *services_.Clock : sys::SystemClock()) {
    LogMessage("Creating game (" + std::to_string(GameMode) + ")", lkInfo);
    window_.SetBorderStyle(Windowed ? win::TBorderStyle::bsSingle : win::TBorderStyle::bsNone);
    CheckGameMode(Mode);

    window_.SetCaption("Quorvex");
    StayOnTop();
    window_.OnMessage = [this](std::uint32_t message, std::intptr_t, std::intptr_t) {
        if (message == kGameSetUpMessage) SetUp();
    };
    window_.OnIdle = [this](bool& done) { Idle(done); };
    window_.OnPump = [this] {
        CheckSynchronize();
        if (services_.Pump) services_.Pump();
    };
    window_.OnActivate = [this] {
        StayOnTop();
        ClipToClient();
    };
    window_.OnDeactivate = [this] {
        window_.SetTopMost(false);
        window_.ClipCursor(false);
        if (Core) Guarded("Deactivate", [this] { Core->Deactivate(); });
    };
    window_.OnPaint = [this] {
        if (Core) Guarded("Paint", [this] { Core->Render(); });
    };
    window_.OnKeyDown = [this](int key, win::TShiftState shift) {
        if (!Core) return;
        const auto code = static_cast<std::int16_t>((shift & win::ssCtrl) != 0 && key == 80 ? -2 : key);
        Guarded("KeyDown", [this, code] { Core->ProcessKey(code); });
    };
    window_.OnMouseDown = [this](win::TMouseButton, win::TShiftState, int, int) {
        if (Core) Guarded("MouseDown", [this] { Core->Click(); });
    };
    window_.OnException = [this](const std::exception& e) {
        LogMessage(std::string("Game window: ") + e.what(), lkError);
        CloseWithResult("Error on frame");
    };
    window_.PostMessage(kGameSetUpMessage);
}

TfrmGame::~TfrmGame() {
    Core.reset();
    Device.reset();
    Sound.reset();
    KeyboardDevice.reset();
    DirectInput.reset();
    window_.ClipCursor(false);
    window_.SetCursorVisible(true);
}

std::string TfrmGame::ShowModal() {
    ResultText = window_.ShowModal();
    return ResultText;
}

void TfrmGame::CloseWithResult(const std::string& Text) {
    if (window_.Closed()) return;
    ResultText = Text;
    window_.Close(Text);
}

void TfrmGame::Guarded(const char* what, const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& e) {
        LogMessage(std::string(what) + ": " + e.what(), lkError);
        CloseWithResult("Error on frame");
    }
}

void TfrmGame::StayOnTop() { window_.SetTopMost(true); }

void TfrmGame::ClipToClient() { window_.ClipCursor(true); }

void TfrmGame::SetUp() {
    try {
        LogMessage("Initializing keyboard", lkCheckpoint);
        try {
            DirectInput = std::make_unique<TzkDI8>(services_.DirectInput);
            KeyboardDevice = std::make_unique<TzkDIKeyboard>(DirectInput.get(), &window_.Input(),
                                                             dinput::DISCL_EXCLUSIVE | dinput::DISCL_FOREGROUND);
        } catch (const std::exception& e) {
            RaiseLoggedError("Failed to initialize keyboard: " + std::string(e.what()));
        }

        try {
            Sound = services_.MakeSound ? services_.MakeSound(window_.SdlWindow())
                                        : std::make_unique<TzkDSound>(window_.SdlWindow(), 2);
            // MPEG Layer-3 music is decoded by the program itself; an external
            // codec is used only when one has been installed.
            const std::string codec = CommonDataDir + "l3codecx.acm";
            if (Sound && sys::FileExists(codec)) {
                try {
                    Sound->LoadACMDriver(codec);
                } catch (const std::exception& e) {
                    LogMessage("Unable to load external mp3 driver: " + std::string(e.what()), lkWarning);
                }
            }
        } catch (const std::exception& e) {
            LogMessage("Failed to initialize sound system: " + std::string(e.what()), lkWarning);
        }

        try {
            if (!AdapterEntry) throw Exception("No display adapter");
            Device = std::make_unique<TzkD3Device8>(AdapterEntry, window_.SdlWindow(), window_.SdlWindow(), Windowed,
                                                    Mode);
        } catch (const std::exception& e) {
            RaiseLoggedError("Failed to initialize 3D device: " + std::string(e.what()));
        }

        StayOnTop();
        Core = std::make_unique<TGameCore>(&window_, GameMode, Device.get(), Sound.get(), KeyboardDevice.get(), Value,
                                           services_.Core);
        Core->OnClose = [this](const std::string& text) { CloseWithResult(text); };
        Core->InitGame();

        if (Device && Device->Device) Device->Device->ShowCursor(0);
        window_.SetCursorVisible(false);
        ClipToClient();
    } catch (const std::exception& e) {
        // Without its devices the session cannot run: the window closes with
        // the reason for the caller to show.
        Core.reset();
        CloseWithResult(e.what());
    }
}

void TfrmGame::Idle(bool& done) {
    try {
        if (services_.OnIdle) services_.OnIdle(*this);
        if (!Core) {
            done = true;
            return;
        }
        const std::int32_t ticks = clock_.TakeTicks();
        if (ticks <= 0) {
            done = false;
            // Nothing is due for up to 10 ms: give the processor back.
            SDL_Delay(1);
        } else {
            done = Core->DoFrame(ticks);
        }
    } catch (const std::exception& e) {
        LogMessage("DoFrame: " + std::string(e.what()), lkError);
        CloseWithResult("Error on frame");
    }
}

}  // namespace qv
