// The game window: the modal window one game session runs in. It makes the
// keyboard, sound and 3D device once it is on screen, then the game core,
// and drives the core from the window's idle loop in whole 10 ms ticks.
// There is no game thread. Callers read ResultText (empty for a normal end)
// and, after a duel, the core's result fields once ShowModal returned.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "game/core/qv3FrameClock.h"
#include "game/core/qv3GameCore.h"
#include "media/zkD3D.h"
#include "media/zkDInput.h"
#include "media/zkDSound.h"
#include "platform/window/GameWindow.h"

namespace qv {

// The private message of the deferred set-up.
inline constexpr std::uint32_t kGameSetUpMessage = win::WM_USER + 100;

// What the window takes from outside; the defaults are the program's own.
struct TGameWindowServices {
    // Null: the system clock.
    sys::IClock* Clock = nullptr;
    // Makes the DirectInput object (the keyboard of the window).
    TDirectInput8Create DirectInput = dinput::DirectInput8Create;
    // Empty: the SDL sound device.
    std::function<std::unique_ptr<TzkDSound>(void* window)> MakeSound;
    TGameCoreServices Core;
    // Called at the start of every turn of the frame loop (scripted sessions
    // advance their clock and post their input here).
    std::function<void(class TfrmGame& game)> OnIdle;
    // Called whenever the window's loop pumps, after the main thread's
    // waiting calls ran (the front end keeps its own windows painted here,
    // without user input).
    std::function<void()> Pump;
};

class TfrmGame {
public:
    // GameMode: 0 single game, 1 world's-best replay, 2 duel. The mode must
    // be 800 x 600 with behaviour flags 0x20, else "Invalid mode" is raised
    // and no window shows. `AdapterEntry` is the device entry the 3D device
    // is made on. `Value` goes to the core unchanged.
    TfrmGame(std::uint8_t GameMode, std::uint8_t Windowed, TzkD3DDeviceInfo* AdapterEntry, const TzkD3DMode& Mode,
             std::int32_t Value, TGameWindowServices services = {});
    ~TfrmGame();
    TfrmGame(const TfrmGame&) = delete;
    TfrmGame& operator=(const TfrmGame&) = delete;

    // Shows the window and runs it until it closes; returns ResultText.
    std::string ShowModal();
    // The core's OnClose: keeps the text and closes the window.
    void CloseWithResult(const std::string& Text);

    win::TGameWindow& Window() { return window_; }
    TFrameClock& Clock() { return clock_; }

    std::string ResultText;
    std::uint8_t GameMode;
    bool Windowed;
    TzkD3DDeviceInfo* AdapterEntry;
    TzkD3DMode Mode;
    std::int32_t Value;

private:
    void SetUp();
    void Idle(bool& done);
    void StayOnTop();
    void ClipToClient();
    // Runs a handler of an event; a failure closes the window.
    void Guarded(const char* what, const std::function<void()>& call);

    // Declared first: destroyed last, after everything drawn into it.
    win::TGameWindow window_;
    TGameWindowServices services_;
    TFrameClock clock_;

public:
    // Destroyed in the reverse order: core, 3D device, sound, keyboard,
    // DirectInput.
    std::unique_ptr<TzkDI8> DirectInput;
    std::unique_ptr<TzkDIKeyboard> KeyboardDevice;
    std::unique_ptr<TzkDSound> Sound;
    std::unique_ptr<TzkD3Device8> Device;
    std::unique_ptr<TGameCore> Core;
};

}  // namespace qv
