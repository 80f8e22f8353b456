// The game window: one SDL window that behaves as the game's modal form.
//
// What it offers:
// - 800 x 600 client area in a window with a fixed single border, or desktop
//   full screen without border (the 3D device made on the window gives it
//   its 800 x 600 logical size, and SDL then reports the mouse in those
//   logical coordinates); centred on its display; a caption.
// - Border style, top-most, cursor hidden, cursor confined to the window.
//   Each keeps the state asked for, which the queries report, and applies it
//   to SDL as far as the video driver can (a driver without a window manager
//   keeps none of them).
// - Private messages posted to itself from any thread, delivered in order on
//   the main thread through OnMessage, interleaved with the window's other
//   events in the order they were posted.
// - Handlers, all called on the main thread from the event dispatch:
//   OnActivate / OnDeactivate (keyboard focus gained / lost), OnKeyDown
//   (virtual-key code and shift state; none while a keyboard device holds
//   the keyboard exclusively, see dinput::TWindowInput), OnMouseDown (any
//   button, client coordinates), OnPaint (the window was exposed),
//   OnMessage.
// - A modal run: ShowModal shows the window and handles its events one by
//   one; whenever none is pending it calls OnPump and then OnIdle. OnIdle
//   sets Done (true on entry) to say there is nothing to do until the next
//   event: the loop then waits for one (waking every PumpIntervalMs to call
//   OnPump when it is set). Wake() ends such a wait from any thread.
//   ShowModal returns when Close has been called or the window was asked to
//   close (its close button, or a quit request), with the result text.
// - An exception out of any handler is passed to OnException; without one
//   the window closes with the exception's text as its result. After an
//   exception out of OnIdle the loop does not wait: it runs again at once.
// - The SDL window (for the 3D device) and the keyboard as this window
//   receives it (for the keyboard device).
//
// The 3D device renders into this window, so it must be destroyed before the
// window is. Main thread only, except PostMessage and Wake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>

#include "platform/input/WindowInput.h"

struct SDL_Window;
union SDL_Event;

namespace qv::win {

// SDL could not make the window.
class EWindowError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Starts SDL's video for the rest of the run. SDL's headless drivers
// ("offscreen", "dummy") are taken only when SDL_VIDEODRIVER names them:
// where no display can be opened this returns false with the reason in
// `error`, and video is not started.
bool StartVideo(std::string& error);

enum class TBorderStyle { bsNone, bsSingle };

// Shift state of a key or mouse event.
using TShiftState = std::uint32_t;
inline constexpr TShiftState ssShift = 0x1;
inline constexpr TShiftState ssAlt = 0x2;
inline constexpr TShiftState ssCtrl = 0x4;

enum class TMouseButton { mbLeft, mbRight, mbMiddle, mbExtra1, mbExtra2 };

struct TPoint {
    int X = 0;
    int Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

// Message ids of the private messages.
inline constexpr std::uint32_t WM_USER = 0x0400;

struct TGameWindowOptions {
    std::string Caption = "Quorvex";
    // False: desktop full screen without border.
    bool Windowed = true;
    int ClientWidth = 800;
    int ClientHeight = 600;
    // The display (adapter) the window is centred on.
    int Display = 0;
};

class TGameWindow {
public:
    // Starts SDL's video and makes the window, hidden. Throws EWindowError.
    explicit TGameWindow(const TGameWindowOptions& options = TGameWindowOptions());
    ~TGameWindow();
    TGameWindow(const TGameWindow&) = delete;
    TGameWindow& operator=(const TGameWindow&) = delete;

    SDL_Window* SdlWindow() const { return window_; }
    std::uint32_t WindowId() const { return id_; }
    // The keys and focus this window receives; the keyboard device's window.
    dinput::TWindowInput& Input() { return input_; }

    // --- form ---
    void SetCaption(const std::string& caption);
    std::string Caption() const;
    void SetBorderStyle(TBorderStyle style);
    TBorderStyle BorderStyle() const { return border_; }
    bool Windowed() const { return windowed_; }
    // The client area's size in window pixels.
    TPoint ClientSize() const;
    void SetTopMost(bool topMost);
    bool TopMost() const { return topMost_; }
    void SetCursorVisible(bool visible);
    bool CursorVisible() const { return cursorVisible_; }
    // Confines the mouse to the window (true) or frees it.
    void ClipCursor(bool clip);
    bool CursorClipped() const { return cursorClipped_; }
    // Whether the window has the keyboard focus (the game is the active
    // application).
    bool Active() const { return input_.Focused(); }
    bool Visible() const { return visible_; }
    // The last mouse position in client coordinates (logical ones once a
    // renderer with a logical size is on the window), from the window's mouse
    // events; before the first one, what SDL knows of the mouse over the
    // window, else (0, 0).
    TPoint CursorPos() const;

    // --- messages ---
    // Queues a private message; any thread.
    void PostMessage(std::uint32_t message, std::intptr_t wParam = 0, std::intptr_t lParam = 0);
    // Ends a wait for events; any thread.
    void Wake();

    // --- modal run ---
    // Shows the window and runs it until it closes; returns ResultText. A
    // closed window returns at once: a window runs modally once.
    std::string ShowModal();
    // Ends the modal run with `resultText`; the first close of a run counts.
    void Close(const std::string& resultText = std::string());
    bool Closed() const { return closed_; }
    const std::string& ResultText() const { return resultText_; }

    void Show();
    void Hide();
    // Handles every pending event.
    void ProcessMessages();
    // Handles one pending event; false when there was none.
    bool HandleMessage();
    // Waits up to `timeoutMs` (negative: no limit) until an event is
    // pending, without taking it.
    void WaitMessage(int timeoutMs);

    // How often OnPump runs while the loop waits for events.
    int PumpIntervalMs = 15;

    std::function<void()> OnActivate;
    std::function<void()> OnDeactivate;
    std::function<void()> OnPaint;
    std::function<void(int key, TShiftState shift)> OnKeyDown;
    std::function<void(TMouseButton button, TShiftState shift, int x, int y)> OnMouseDown;
    std::function<void(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam)> OnMessage;
    std::function<void(bool& done)> OnIdle;
    std::function<void()> OnPump;
    std::function<void(const std::exception& error)> OnException;

private:
    struct TMessage {
        std::uint32_t message;
        std::intptr_t wParam;
        std::intptr_t lParam;
    };

    void Dispatch(const SDL_Event& event);
    // Takes the oldest message and hands it to OnMessage. `announced`: called
    // for a message event from SDL's queue; otherwise only when more messages
    // wait than events announce.
    bool DeliverMessage(bool announced);
    // Runs a handler; false when it raised (the exception was handled).
    bool Guard(const std::function<void()>& call);
    void HandleException(const std::exception& error);
    TShiftState HeldShift() const;
    void ReleaseMouse();

    SDL_Window* window_ = nullptr;
    std::uint32_t id_ = 0;
    dinput::TWindowInput input_;
    TBorderStyle border_ = TBorderStyle::bsSingle;
    bool windowed_ = true;
    bool topMost_ = false;
    bool cursorVisible_ = true;
    bool cursorClipped_ = false;
    bool visible_ = false;
    bool closed_ = false;
    bool cursorKnown_ = false;
    TPoint cursor_;
    std::string resultText_;
    std::mutex lock_;
    std::deque<TMessage> messages_;
    // Message events in SDL's queue. A message whose event SDL refused is
    // delivered when the queue runs dry.
    std::size_t inFlight_ = 0;
};

}  // namespace qv::win
