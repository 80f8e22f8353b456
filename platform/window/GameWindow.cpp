#include "platform/window/GameWindow.h"

#include <SDL.h>

#include "platform/input/KeyCodes.h"
#include "platform/window/VirtualKeys.h"

namespace qv::win {

namespace {

// The SDL event type of the window's own events; `code` tells them apart.
Uint32 OwnEventType() {
    static const Uint32 type = [] {
        const Uint32 registered = SDL_RegisterEvents(1);
        return registered == static_cast<Uint32>(-1) ? static_cast<Uint32>(SDL_USEREVENT) : registered;
    }();
    return type;
}

constexpr Sint32 kMessageCode = 0x51560001;  // a posted message waits
constexpr Sint32 kWakeCode = 0x51560002;     // only ends a wait

bool PushOwnEvent(std::uint32_t windowId, Sint32 code) {
    SDL_Event event;
    SDL_zero(event);
    event.type = OwnEventType();
    event.user.windowID = windowId;
    event.user.code = code;
    return SDL_PushEvent(&event) == 1;
}

TShiftState ShiftFromMod(Uint16 mod) {
    TShiftState shift = 0;
    if (mod & KMOD_SHIFT) shift |= ssShift;
    if (mod & KMOD_ALT) shift |= ssAlt;
    if (mod & KMOD_CTRL) shift |= ssCtrl;
    return shift;
}

TMouseButton ButtonOf(Uint8 button) {
    switch (button) {
        case SDL_BUTTON_RIGHT: return TMouseButton::mbRight;
        case SDL_BUTTON_MIDDLE: return TMouseButton::mbMiddle;
        case SDL_BUTTON_X1: return TMouseButton::mbExtra1;
        case SDL_BUTTON_X2: return TMouseButton::mbExtra2;
        default: return TMouseButton::mbLeft;
    }
}

bool IsHeadlessDriver(const char* name) {
    return name != nullptr && (SDL_strcasecmp(name, "offscreen") == 0 || SDL_strcasecmp(name, "dummy") == 0);
}

}  // namespace

bool StartVideo(std::string& error) {
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    const bool headlessAsked = asked != nullptr && *asked != '\0';
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = std::string("No display could be opened (") + SDL_GetError() + ")";
        return false;
    }
    // Without a request SDL falls back to a headless driver when no real one
    // starts: the game would run where nobody can see it.
    if (!headlessAsked && IsHeadlessDriver(SDL_GetCurrentVideoDriver())) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        error = "No display could be opened (no X11 or Wayland display: DISPLAY and WAYLAND_DISPLAY are not set "
                "or cannot be reached)";
        return false;
    }
    return true;
}

TGameWindow::TGameWindow(const TGameWindowOptions& options) {
    if (options.ClientWidth <= 0 || options.ClientHeight <= 0)
        throw EWindowError("The game window needs a positive size");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        throw EWindowError(std::string("Cannot start SDL video: ") + SDL_GetError());
    windowed_ = options.Windowed;
    border_ = windowed_ ? TBorderStyle::bsSingle : TBorderStyle::bsNone;
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (!windowed_) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
    const int position = static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(options.Display));
    // An OpenGL window spares the GL renderer from making the window again.
    window_ = SDL_CreateWindow(options.Caption.c_str(), position, position, options.ClientWidth,
                               options.ClientHeight, flags | SDL_WINDOW_OPENGL);
    if (window_ == nullptr)
        window_ = SDL_CreateWindow(options.Caption.c_str(), position, position, options.ClientWidth,
                                   options.ClientHeight, flags);
    if (window_ == nullptr) {
        const std::string error = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        throw EWindowError("Cannot create the game window: " + error);
    }
    id_ = SDL_GetWindowID(window_);
    OwnEventType();
}

TGameWindow::~TGameWindow() {
    ReleaseMouse();
    if (!cursorVisible_) SDL_ShowCursor(SDL_ENABLE);
    SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void TGameWindow::SetCaption(const std::string& caption) { SDL_SetWindowTitle(window_, caption.c_str()); }

std::string TGameWindow::Caption() const { return SDL_GetWindowTitle(window_); }

void TGameWindow::SetBorderStyle(TBorderStyle style) {
    border_ = style;
    // Full screen never has a border.
    if (windowed_) SDL_SetWindowBordered(window_, style == TBorderStyle::bsSingle ? SDL_TRUE : SDL_FALSE);
}

TPoint TGameWindow::ClientSize() const {
    TPoint size;
    SDL_GetWindowSize(window_, &size.X, &size.Y);
    return size;
}

void TGameWindow::SetTopMost(bool topMost) {
    topMost_ = topMost;
    SDL_SetWindowAlwaysOnTop(window_, topMost ? SDL_TRUE : SDL_FALSE);
}

void TGameWindow::SetCursorVisible(bool visible) {
    cursorVisible_ = visible;
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

void TGameWindow::ClipCursor(bool clip) {
    cursorClipped_ = clip;
    SDL_SetWindowMouseGrab(window_, clip ? SDL_TRUE : SDL_FALSE);
}

void TGameWindow::ReleaseMouse() {
    if (cursorClipped_) ClipCursor(false);
}

TPoint TGameWindow::CursorPos() const {
    if (cursorKnown_) return cursor_;
    TPoint pos;
    if (SDL_GetMouseFocus() != window_) return pos;
    SDL_GetMouseState(&pos.X, &pos.Y);
    if (SDL_Renderer* renderer = SDL_GetRenderer(window_)) {
        float x = 0, y = 0;
        SDL_RenderWindowToLogical(renderer, pos.X, pos.Y, &x, &y);
        pos.X = static_cast<int>(x);
        pos.Y = static_cast<int>(y);
    }
    return pos;
}

void TGameWindow::PostMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) {
    // Under the lock, so the main thread never sees the event before the
    // message it announces.
    std::lock_guard guard(lock_);
    messages_.push_back({message, wParam, lParam});
    if (PushOwnEvent(id_, kMessageCode)) ++inFlight_;
}

void TGameWindow::Wake() { PushOwnEvent(id_, kWakeCode); }

std::string TGameWindow::ShowModal() {
    if (!closed_) {
        Show();
        while (!closed_) {
            if (HandleMessage()) continue;
            if (OnPump) Guard(OnPump);
            if (closed_) break;
            bool done = true;
            if (OnIdle) {
                // After a failed idle call the loop comes straight back
                // rather than wait for an event that may never come.
                const bool failed = !Guard([&] { OnIdle(done); });
                if (failed) done = false;
            }
            if (closed_) break;
            if (done) WaitMessage(OnPump ? PumpIntervalMs : -1);
        }
    }
    Hide();
    ReleaseMouse();
    return resultText_;
}

void TGameWindow::Close(const std::string& resultText) {
    if (closed_) return;
    closed_ = true;
    resultText_ = resultText;
}

void TGameWindow::Show() {
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    visible_ = true;
}

void TGameWindow::Hide() {
    SDL_HideWindow(window_);
    visible_ = false;
}

void TGameWindow::ProcessMessages() {
    while (HandleMessage()) {
    }
}

bool TGameWindow::HandleMessage() {
    SDL_Event event;
    if (SDL_PollEvent(&event) == 1) {
        Dispatch(event);
        return true;
    }
    return DeliverMessage(false);
}

void TGameWindow::WaitMessage(int timeoutMs) {
    {
        std::lock_guard guard(lock_);
        if (messages_.size() > inFlight_) return;
    }
    if (timeoutMs < 0)
        SDL_WaitEvent(nullptr);
    else
        SDL_WaitEventTimeout(nullptr, timeoutMs);
}

void TGameWindow::Dispatch(const SDL_Event& event) {
    if (event.type == OwnEventType()) {
        if (event.user.windowID == id_ && event.user.code == kMessageCode) DeliverMessage(true);
        return;
    }
    switch (event.type) {
        case SDL_QUIT:
            Close();
            return;
        case SDL_WINDOWEVENT:
            if (event.window.windowID != id_) return;
            switch (event.window.event) {
                case SDL_WINDOWEVENT_FOCUS_GAINED:
                    if (input_.Focused()) return;
                    input_.FocusEvent(true);
                    if (OnActivate) Guard(OnActivate);
                    return;
                case SDL_WINDOWEVENT_FOCUS_LOST:
                    if (!input_.Focused()) return;
                    input_.FocusEvent(false);
                    if (OnDeactivate) Guard(OnDeactivate);
                    return;
                case SDL_WINDOWEVENT_EXPOSED:
                    if (OnPaint) Guard(OnPaint);
                    return;
                case SDL_WINDOWEVENT_CLOSE:
                    Close();
                    return;
                default:
                    return;
            }
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            if (event.key.windowID != id_) return;
            const bool down = event.type == SDL_KEYDOWN;
            const bool visible = input_.KeyEvent(event.key.keysym.scancode, down, event.key.repeat != 0);
            if (!down || !visible || !OnKeyDown) return;
            const int key = VirtualKeyFromSdl(event.key.keysym.sym, event.key.keysym.scancode);
            if (key == 0) return;
            const TShiftState shift = ShiftFromMod(event.key.keysym.mod);
            Guard([&] { OnKeyDown(key, shift); });
            return;
        }
        case SDL_MOUSEMOTION:
            if (event.motion.windowID != id_) return;
            cursor_ = {event.motion.x, event.motion.y};
            cursorKnown_ = true;
            return;
        case SDL_MOUSEBUTTONDOWN: {
            if (event.button.windowID != id_) return;
            cursor_ = {event.button.x, event.button.y};
            cursorKnown_ = true;
            if (!OnMouseDown) return;
            const TMouseButton button = ButtonOf(event.button.button);
            const TShiftState shift = HeldShift();
            Guard([&] { OnMouseDown(button, shift, cursor_.X, cursor_.Y); });
            return;
        }
        case SDL_MOUSEBUTTONUP:
            if (event.button.windowID != id_) return;
            cursor_ = {event.button.x, event.button.y};
            cursorKnown_ = true;
            return;
        default:
            return;
    }
}

bool TGameWindow::DeliverMessage(bool announced) {
    TMessage message;
    {
        std::lock_guard guard(lock_);
        if (announced) {
            if (inFlight_ > 0) --inFlight_;
        } else if (messages_.size() <= inFlight_) {
            return false;
        }
        // Always the oldest: messages go out in the order they were posted.
        if (messages_.empty()) return false;
        message = messages_.front();
        messages_.pop_front();
    }
    if (OnMessage) Guard([&] { OnMessage(message.message, message.wParam, message.lParam); });
    return true;
}

bool TGameWindow::Guard(const std::function<void()>& call) {
    try {
        call();
        return true;
    } catch (const std::exception& error) {
        HandleException(error);
    } catch (...) {
        HandleException(std::runtime_error("Unknown exception"));
    }
    return false;
}

void TGameWindow::HandleException(const std::exception& error) {
    if (!OnException) {
        Close(error.what());
        return;
    }
    try {
        OnException(error);
    } catch (const std::exception& again) {
        Close(again.what());
    } catch (...) {
        Close("Unknown exception");
    }
}

TShiftState TGameWindow::HeldShift() const {
    using namespace dinput;
    TShiftState shift = 0;
    if (input_.KeyDown(DIK_LSHIFT) || input_.KeyDown(DIK_RSHIFT)) shift |= ssShift;
    if (input_.KeyDown(DIK_LMENU) || input_.KeyDown(DIK_RMENU)) shift |= ssAlt;
    if (input_.KeyDown(DIK_LCONTROL) || input_.KeyDown(DIK_RCONTROL)) shift |= ssCtrl;
    return shift;
}

}  // namespace qv::win
