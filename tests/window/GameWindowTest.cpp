// The game window on SDL's offscreen video driver, driven by injected SDL
// events: posted messages, the modal loop and its hooks, key and mouse
// events, activation, paint, close.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "media/zkDInput.h"
#include "platform/window/GameWindow.h"

namespace qv {
namespace {

using namespace win;

// Selects the offscreen driver and keeps SDL's video (and one hidden GL
// window) for the whole program: Mesa leaves memory behind each time its GL
// driver is unloaded, which the leak checker would report.
class TOffscreenVideo final : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL);  // never closed
    }
};

[[maybe_unused]] ::testing::Environment* const kVideo = ::testing::AddGlobalTestEnvironment(new TOffscreenVideo);

constexpr std::uint32_t kSetUpMessage = WM_USER + 100;

void Push(SDL_Event& event) { ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError(); }

void PushKey(const TGameWindow& w, SDL_Scancode scancode, SDL_Keycode keycode, bool down, Uint16 mod = 0,
             bool repeat = false) {
    SDL_Event e;
    SDL_zero(e);
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = w.WindowId();
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.scancode = scancode;
    e.key.keysym.sym = keycode;
    e.key.keysym.mod = mod;
    Push(e);
}

void PushWindowEvent(std::uint32_t windowId, SDL_WindowEventID id) {
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = windowId;
    e.window.event = static_cast<Uint8>(id);
    Push(e);
}

void PushMouse(std::uint32_t windowId, Uint32 type, int x, int y, Uint8 button = SDL_BUTTON_LEFT) {
    SDL_Event e;
    SDL_zero(e);
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
        e.motion.windowID = windowId;
        e.motion.x = x;
        e.motion.y = y;
    } else {
        e.button.windowID = windowId;
        e.button.button = button;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.x = x;
        e.button.y = y;
    }
    Push(e);
}

// Closes the window on the first idle call, once the pending events are handled.
void CloseWhenIdle(TGameWindow& w) {
    w.OnIdle = [&w](bool&) { w.Close("idle"); };
}

TEST(GameWindow, WindowedAndFullScreenForms) {
    {
        TGameWindow w;
        ASSERT_NE(w.SdlWindow(), nullptr);
        EXPECT_EQ(SDL_GetWindowFromID(w.WindowId()), w.SdlWindow());
        EXPECT_EQ(w.Caption(), "Quorvex");
        EXPECT_TRUE(w.Windowed());
        EXPECT_EQ(w.BorderStyle(), TBorderStyle::bsSingle);
        EXPECT_EQ(w.ClientSize(), (TPoint{800, 600}));
        EXPECT_FALSE(w.Visible());
        EXPECT_EQ(SDL_GetWindowFlags(w.SdlWindow()) & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_RESIZABLE), 0u);
        EXPECT_FALSE(w.Active());
    }
    {
        TGameWindowOptions options;
        options.Windowed = false;
        options.Caption = "xxxx";
        TGameWindow w(options);
        EXPECT_FALSE(w.Windowed());
        EXPECT_EQ(w.BorderStyle(), TBorderStyle::bsNone);
        EXPECT_EQ(SDL_GetWindowFlags(w.SdlWindow()) & SDL_WINDOW_FULLSCREEN_DESKTOP, SDL_WINDOW_FULLSCREEN_DESKTOP);
        w.SetCaption("Quorvex");
        EXPECT_EQ(w.Caption(), "Quorvex");
    }
    TGameWindowOptions bad;
    bad.ClientHeight = 0;
    EXPECT_THROW(TGameWindow{bad}, EWindowError);
}

TEST(GameWindow, PostedMessagesArriveInOrderOnTheMainThread) {
    TGameWindow w;
    std::vector<std::pair<std::uint32_t, std::intptr_t>> got;
    std::vector<std::thread::id> threads;
    w.OnMessage = [&](std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) {
        got.emplace_back(message, wParam);
        threads.push_back(std::this_thread::get_id());
        EXPECT_EQ(lParam, -wParam);
    };
    w.PostMessage(kSetUpMessage, 0, 0);
    // Another thread posts more while this one has already queued some.
    std::thread poster([&w] {
        for (int i = 1; i <= 200; ++i) w.PostMessage(WM_USER + 102, i, -i);
    });
    poster.join();
    w.PostMessage(WM_USER + 101, 201, -201);
    std::size_t seenAtIdle = 0;
    w.OnIdle = [&](bool&) {
        seenAtIdle = got.size();
        w.Close();
    };
    EXPECT_EQ(w.ShowModal(), "");

    EXPECT_EQ(seenAtIdle, 202u) << "idle runs once nothing is pending";
    ASSERT_EQ(got.size(), 202u);
    EXPECT_EQ(got[0], std::make_pair(kSetUpMessage, std::intptr_t{0}));
    for (std::intptr_t i = 1; i <= 200; ++i)
        EXPECT_EQ(got[static_cast<std::size_t>(i)], std::make_pair(WM_USER + 102, i));
    EXPECT_EQ(got[201], std::make_pair(WM_USER + 101, std::intptr_t{201}));
    for (const auto& id : threads) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(GameWindow, MessagesKeepTheirPlaceAmongOtherEvents) {
    TGameWindow w;
    std::vector<std::string> order;
    w.OnMessage = [&](std::uint32_t message, std::intptr_t, std::intptr_t) {
        order.push_back("message " + std::to_string(message));
        if (message == kSetUpMessage) w.PostMessage(WM_USER + 1);  // from a handler: after what is queued
    };
    w.OnKeyDown = [&](int key, TShiftState) { order.push_back("key " + std::to_string(key)); };
    w.OnPaint = [&] { order.push_back("paint"); };
    w.PostMessage(kSetUpMessage);
    PushKey(w, SDL_SCANCODE_N, SDLK_n, true);
    w.PostMessage(WM_USER + 2);
    PushWindowEvent(w.WindowId(), SDL_WINDOWEVENT_EXPOSED);
    w.ProcessMessages();
    w.ProcessMessages();
    EXPECT_EQ(order, (std::vector<std::string>{"message 1124", "key 78", "message 1026", "paint", "message 1025"}));
}

TEST(GameWindow, TheModalRunPumpsAndIdlesUntilClosed) {
    TGameWindow w;
    std::vector<std::string> calls;
    w.OnPump = [&] { calls.push_back("pump"); };
    w.OnIdle = [&](bool& done) {
        EXPECT_TRUE(done) << "Done starts true";
        EXPECT_TRUE(w.Visible());
        calls.push_back("idle");
        done = false;  // a frame ran: come back at once
        if (calls.size() == 6) w.Close("Error on frame");
    };
    w.ClipCursor(true);
    EXPECT_EQ(w.ShowModal(), "Error on frame");
    EXPECT_EQ(calls, (std::vector<std::string>{"pump", "idle", "pump", "idle", "pump", "idle"}));
    EXPECT_EQ(w.ResultText(), "Error on frame");
    EXPECT_TRUE(w.Closed());
    EXPECT_FALSE(w.Visible());
    EXPECT_FALSE(w.CursorClipped()) << "the mouse is freed when the run ends";

    // A closed window does not run again.
    calls.clear();
    EXPECT_EQ(w.ShowModal(), "Error on frame");
    EXPECT_TRUE(calls.empty());
}

TEST(GameWindow, WhenIdleIsDoneTheLoopWaitsForTheNextEvent) {
    for (bool withPump : {false, true}) {
        TGameWindow w;
        std::thread poster;
        std::intptr_t got = 0;
        bool woken = false;
        int pumps = 0;
        if (withPump) w.OnPump = [&] { ++pumps; };
        w.OnMessage = [&](std::uint32_t, std::intptr_t wParam, std::intptr_t) { got = wParam; };
        w.OnIdle = [&](bool& done) {
            if (!poster.joinable()) {
                // Nothing to do (done stays true) until another thread posts.
                poster = std::thread([&w] { w.PostMessage(kSetUpMessage, 7); });
                return;
            }
            if (got != 7) return;
            if (!woken) {
                // Nothing to do until another thread wakes the loop.
                woken = true;
                std::thread([&w] { w.Wake(); }).join();
                return;
            }
            done = false;
            w.Close("woken");
        };
        EXPECT_EQ(w.ShowModal(), "woken");
        poster.join();
        EXPECT_EQ(got, 7);
        EXPECT_GE(pumps, withPump ? 3 : 0);
    }
}

TEST(GameWindow, KeyDownDeliversVirtualKeysWithTheShiftState) {
    TGameWindow w;
    std::vector<std::pair<int, TShiftState>> got;
    w.OnKeyDown = [&](int key, TShiftState shift) { got.emplace_back(key, shift); };
    const struct {
        SDL_Scancode scancode;
        SDL_Keycode keycode;
        Uint16 mod;
        bool repeat;
        int key;
        TShiftState shift;
    } cases[] = {
        {SDL_SCANCODE_P, SDLK_p, KMOD_LCTRL, false, 80, ssCtrl},
        {SDL_SCANCODE_P, SDLK_p, KMOD_RCTRL, false, 80, ssCtrl},
        {SDL_SCANCODE_P, SDLK_p, 0, false, 80, 0},
        {SDL_SCANCODE_P, SDLK_p, 0, true, 80, 0},
        {SDL_SCANCODE_Q, SDLK_a, KMOD_LSHIFT, false, 'A', ssShift},
        {SDL_SCANCODE_7, SDLK_7, KMOD_RALT, false, '7', ssAlt},
        {SDL_SCANCODE_RETURN, SDLK_RETURN, 0, false, 13, 0},
        {SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, 0, false, 27, 0},
        {SDL_SCANCODE_SPACE, SDLK_SPACE, KMOD_LCTRL | KMOD_LSHIFT, false, 32, ssCtrl | ssShift},
        {SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, 0, false, 8, 0},
        {SDL_SCANCODE_R, SDLK_r, KMOD_NUM | KMOD_CAPS, false, 82, 0},
    };
    for (const auto& c : cases) {
        PushKey(w, c.scancode, c.keycode, true, c.mod, c.repeat);
        PushKey(w, c.scancode, c.keycode, false, c.mod);
    }
    PushKey(w, SDL_SCANCODE_AUDIONEXT, SDLK_AUDIONEXT, true);  // no virtual key: not delivered
    CloseWhenIdle(w);
    w.ShowModal();
    ASSERT_EQ(got.size(), std::size(cases));
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].first, cases[i].key) << i;
        EXPECT_EQ(got[i].second, cases[i].shift) << i;
    }
}

TEST(GameWindow, NoKeyEventsWhileTheKeyboardIsAcquired) {
    TGameWindow w;
    std::vector<int> keys;
    w.OnKeyDown = [&](int key, TShiftState) { keys.push_back(key); };
    TzkDI8 di;
    TzkDIKeyboard keyboard(&di, &w.Input(), dinput::DISCL_EXCLUSIVE | dinput::DISCL_FOREGROUND);
    std::uint8_t state[256] = {};

    PushWindowEvent(w.WindowId(), SDL_WINDOWEVENT_FOCUS_GAINED);
    w.ProcessMessages();
    ASSERT_TRUE(keyboard.GetState(state));

    PushKey(w, SDL_SCANCODE_P, SDLK_p, true);
    PushKey(w, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, true);
    w.ProcessMessages();
    EXPECT_TRUE(keys.empty());
    ASSERT_TRUE(keyboard.GetState(state));
    EXPECT_EQ(state[dinput::DIK_P], 0x80);
    EXPECT_EQ(state[dinput::DIK_ESCAPE], 0x80);

    // Paused: the keyboard is let go; P is still held and repeating.
    keyboard.SetAcquired(false);
    PushKey(w, SDL_SCANCODE_P, SDLK_p, true, 0, true);
    PushKey(w, SDL_SCANCODE_P, SDLK_p, false);
    PushKey(w, SDL_SCANCODE_P, SDLK_p, true);  // pressed again: resume
    w.ProcessMessages();
    EXPECT_EQ(keys, std::vector<int>{80});

    // Losing the focus takes the keyboard away, and the keys go with it.
    ASSERT_TRUE(keyboard.GetState(state));
    PushWindowEvent(w.WindowId(), SDL_WINDOWEVENT_FOCUS_LOST);
    w.ProcessMessages();
    EXPECT_FALSE(w.Input().ExclusivelyHeld());
    EXPECT_FALSE(keyboard.GetState(state));
    EXPECT_TRUE(keyboard.Lost);
}

TEST(GameWindow, CloseRequestsEndTheRunWithAnEmptyResult) {
    for (bool quit : {false, true}) {
        TGameWindow w;
        int idles = 0;
        w.OnIdle = [&](bool& done) {
            done = false;
            if (++idles == 2) {
                if (quit) {
                    SDL_Event e;
                    SDL_zero(e);
                    e.type = SDL_QUIT;
                    Push(e);
                } else {
                    PushWindowEvent(w.WindowId(), SDL_WINDOWEVENT_CLOSE);
                }
            }
            EXPECT_LE(idles, 2) << "no idle after the close request";
        };
        EXPECT_EQ(w.ShowModal(), "");
    }
    // The first close counts: a close request after an error keeps the error.
    TGameWindow w;
    w.OnIdle = [&](bool&) {
        PushWindowEvent(w.WindowId(), SDL_WINDOWEVENT_CLOSE);
        w.Close("Failed to initialize 3D device: no device");
    };
    EXPECT_EQ(w.ShowModal(), "Failed to initialize 3D device: no device");
}

TEST(GameWindow, ActivationFollowsTheFocusOfThisWindowOnly) {
    TGameWindow w;
    TGameWindow other;
    std::vector<std::string> got;
    w.OnActivate = [&] { got.push_back("activate " + std::to_string(w.Active())); };
    w.OnDeactivate = [&] { got.push_back("deactivate " + std::to_string(w.Active())); };
    PushWindowEvent(other.WindowId(), SDL_WINDOWEVENT_FOCUS_GAINED);
    PushWindowEvent(w.WindowId(), SDL_WINDOWEVENT_FOCUS_GAINED);
    PushWindowEvent(w.WindowId(), SDL_WINDOWEVENT_FOCUS_GAINED);
    PushWindowEvent(w.WindowId(), SDL_WINDOWEVENT_FOCUS_LOST);
    PushWindowEvent(w.WindowId(), SDL_WINDOWEVENT_FOCUS_LOST);
    PushWindowEvent(w.WindowId(), SDL_WINDOWEVENT_FOCUS_GAINED);
    w.ProcessMessages();
    EXPECT_EQ(got, (std::vector<std::string>{"activate 1", "deactivate 0", "activate 1"}));
    EXPECT_TRUE(w.Active());
    EXPECT_TRUE(w.Input().Focused());
    EXPECT_FALSE(other.Active());
}

TEST(GameWindow, MouseButtonsAndPosition) {
    TGameWindow w;
    TGameWindow other;
    struct TDown {
        TMouseButton button;
        TShiftState shift;
        int x, y;
    };
    std::vector<TDown> got;
    w.OnMouseDown = [&](TMouseButton b, TShiftState s, int x, int y) { got.push_back({b, s, x, y}); };

    EXPECT_EQ(w.CursorPos(), (TPoint{0, 0})) << "no mouse over the window yet";
    PushMouse(w.WindowId(), SDL_MOUSEMOTION, 12, 345);
    PushMouse(other.WindowId(), SDL_MOUSEMOTION, 1, 1);
    w.ProcessMessages();
    EXPECT_EQ(w.CursorPos(), (TPoint{12, 345}));

    PushMouse(w.WindowId(), SDL_MOUSEBUTTONDOWN, 100, 599, SDL_BUTTON_LEFT);
    PushMouse(w.WindowId(), SDL_MOUSEBUTTONUP, 100, 599, SDL_BUTTON_LEFT);
    PushKey(w, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, true);
    PushMouse(w.WindowId(), SDL_MOUSEBUTTONDOWN, 0, -1, SDL_BUTTON_RIGHT);
    PushMouse(w.WindowId(), SDL_MOUSEBUTTONDOWN, 799, 0, SDL_BUTTON_MIDDLE);
    PushMouse(other.WindowId(), SDL_MOUSEBUTTONDOWN, 5, 5, SDL_BUTTON_LEFT);
    w.ProcessMessages();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].button, TMouseButton::mbLeft);
    EXPECT_EQ(got[0].shift, 0u);
    EXPECT_EQ(got[0].y, 599);
    EXPECT_EQ(got[1].button, TMouseButton::mbRight);
    EXPECT_EQ(got[1].shift, ssShift);
    EXPECT_EQ(got[1].y, -1);
    EXPECT_EQ(got[2].button, TMouseButton::mbMiddle);
    EXPECT_EQ(got[2].x, 799);
    EXPECT_EQ(w.CursorPos(), (TPoint{799, 0}));
}

TEST(GameWindow, InScaledFullScreenTheMouseIsInLogicalCoordinates) {
    TGameWindowOptions options;
    options.Windowed = false;
    TGameWindow w(options);
    // What the 3D device does with the window: a renderer of 800 x 600
    // logical pixels, scaled to the desktop.
    SDL_Renderer* renderer = SDL_CreateRenderer(w.SdlWindow(), -1, 0);
    ASSERT_NE(renderer, nullptr) << SDL_GetError();
    ASSERT_EQ(SDL_RenderSetLogicalSize(renderer, 800, 600), 0);
    int width = 0, height = 0;
    SDL_GetWindowSize(w.SdlWindow(), &width, &height);
    ASSERT_GT(width, 0);
    std::vector<TPoint> downs;
    w.OnMouseDown = [&](TMouseButton, TShiftState, int x, int y) { downs.push_back({x, y}); };
    float scale = 0;
    SDL_RenderGetScale(renderer, &scale, nullptr);
    SDL_Rect viewport;
    SDL_RenderGetViewport(renderer, &viewport);
    const auto toWindow = [&](int x, int y) {
        return TPoint{static_cast<int>(static_cast<float>(viewport.x + x) * scale),
                      static_cast<int>(static_cast<float>(viewport.y + y) * scale)};
    };
    const TPoint centre = toWindow(400, 300), corner = toWindow(799, 599);
    PushMouse(w.WindowId(), SDL_MOUSEMOTION, centre.X, centre.Y);
    w.ProcessMessages();
    EXPECT_NEAR(w.CursorPos().X, 400, 1);
    EXPECT_NEAR(w.CursorPos().Y, 300, 1);
    PushMouse(w.WindowId(), SDL_MOUSEBUTTONDOWN, corner.X, corner.Y);
    w.ProcessMessages();
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_NEAR(downs[0].X, 799, 1);
    EXPECT_NEAR(downs[0].Y, 599, 1);
    SDL_DestroyRenderer(renderer);
}

TEST(GameWindow, ExceptionsFromHandlersGoToOnExceptionOrCloseTheWindow) {
    {
        TGameWindow w;
        w.OnKeyDown = [](int, TShiftState) { throw std::runtime_error("Handler failed"); };
        int idles = 0;
        w.OnIdle = [&](bool&) { ++idles; };
        PushKey(w, SDL_SCANCODE_X, SDLK_x, true);
        EXPECT_EQ(w.ShowModal(), "Handler failed");
        EXPECT_EQ(idles, 0);
    }
    {
        TGameWindow w;
        std::vector<std::string> errors;
        w.OnException = [&](const std::exception& e) { errors.emplace_back(e.what()); };
        w.OnMouseDown = [](TMouseButton, TShiftState, int, int) { throw 42; };
        w.OnMessage = [](std::uint32_t, std::intptr_t, std::intptr_t) { throw std::logic_error("bad message"); };
        w.OnIdle = [&](bool&) {
            if (errors.size() == 2) throw std::runtime_error("DoFrame failed");
            if (errors.size() == 3) w.Close("handled");
        };
        PushMouse(w.WindowId(), SDL_MOUSEBUTTONDOWN, 1, 2);
        w.PostMessage(kSetUpMessage);
        EXPECT_EQ(w.ShowModal(), "handled");
        EXPECT_EQ(errors, (std::vector<std::string>{"Unknown exception", "bad message", "DoFrame failed"}));
    }
    {
        TGameWindow w;
        w.OnException = [](const std::exception& e) { throw std::runtime_error(std::string("again: ") + e.what()); };
        w.OnPaint = [] { throw std::runtime_error("Render failed"); };
        PushWindowEvent(w.WindowId(), SDL_WINDOWEVENT_EXPOSED);
        EXPECT_EQ(w.ShowModal(), "again: Render failed");
    }
}

TEST(GameWindow, FormStatesAreKeptAndApplied) {
    TGameWindow w;
    EXPECT_FALSE(w.TopMost());
    w.SetTopMost(true);
    EXPECT_TRUE(w.TopMost());
    w.SetTopMost(false);
    EXPECT_FALSE(w.TopMost());

    EXPECT_TRUE(w.CursorVisible());
    w.SetCursorVisible(false);
    EXPECT_FALSE(w.CursorVisible());
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);

    w.ClipCursor(true);
    EXPECT_TRUE(w.CursorClipped());
    w.ClipCursor(false);
    EXPECT_FALSE(w.CursorClipped());

    w.SetBorderStyle(TBorderStyle::bsNone);
    EXPECT_EQ(w.BorderStyle(), TBorderStyle::bsNone);
    w.SetBorderStyle(TBorderStyle::bsSingle);
    EXPECT_EQ(w.BorderStyle(), TBorderStyle::bsSingle);
}

TEST(GameWindow, TheCursorIsShownAgainWhenTheWindowGoes) {
    {
        TGameWindow w;
        w.SetCursorVisible(false);
    }
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
}

}  // namespace
}  // namespace qv
