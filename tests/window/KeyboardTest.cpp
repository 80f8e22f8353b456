// The keyboard from injected key and focus events: its 256-byte state, the
// exclusive hold that hides keys from the window, and acquisition and loss,
// through the input layer and through TzkDIKeyboard.
#include <SDL_scancode.h>
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "media/zkDInput.h"
#include "platform/input/DInput8.h"
#include "platform/input/WindowInput.h"

namespace qv {
namespace {

using namespace dinput;
using TState = std::array<std::uint8_t, 256>;

constexpr DWORD kGameLevel = DISCL_EXCLUSIVE | DISCL_FOREGROUND;

class KeyboardTest : public ::testing::Test {
protected:
    TWindowInput window;
    TzkDI8 di;
    TzkDIKeyboard keyboard{&di, &window, kGameLevel};
    int losses = 0;

    void SetUp() override {
        keyboard.OnLost = [this](TzkDIDevice* sender) {
            EXPECT_EQ(sender, &keyboard);
            ++losses;
        };
    }

    // A state the keyboard never produces, to see whether a read wrote it.
    static TState Marked() {
        TState s;
        s.fill(0x5A);
        return s;
    }
};

TEST_F(KeyboardTest, StateShowsExactlyTheKeysHeld) {
    window.FocusEvent(true);
    const std::uint8_t gameKeys[] = {DIK_ESCAPE, DIK_R, DIK_T, DIK_P, DIK_LCONTROL,
                                     DIK_A, DIK_Z, DIK_SPACE, DIK_RCONTROL};
    for (std::uint8_t key : gameKeys) {
        window.PressKey(key);
        TState state = Marked();
        ASSERT_TRUE(keyboard.GetState(state));
        for (int i = 0; i < 256; ++i) EXPECT_EQ(state[i], i == key ? 0x80 : 0x00) << "key " << int(key) << " byte " << i;
        window.ReleaseKey(key);
        ASSERT_TRUE(keyboard.GetState(state));
        EXPECT_EQ(state[key], 0x00);
    }

    // Several at once, fed as the window feeds them: by SDL scancode.
    window.KeyEvent(SDL_SCANCODE_A, true);
    window.KeyEvent(SDL_SCANCODE_Z, true);
    window.KeyEvent(SDL_SCANCODE_SPACE, true);
    window.KeyEvent(SDL_SCANCODE_SPACE, true, true);
    window.KeyEvent(SDL_SCANCODE_Z, false);
    TState state{};
    ASSERT_TRUE(keyboard.GetState(state));
    EXPECT_EQ(state[DIK_A], 0x80);
    EXPECT_EQ(state[DIK_Z], 0x80) << "tapped since the last read: read once";
    EXPECT_EQ(state[DIK_SPACE], 0x80);
    ASSERT_TRUE(keyboard.GetState(state));
    EXPECT_EQ(state[DIK_A], 0x80);
    EXPECT_EQ(state[DIK_Z], 0x00);
    EXPECT_EQ(state[DIK_SPACE], 0x80);
    EXPECT_FALSE(keyboard.Lost);
    EXPECT_EQ(losses, 0);
}

TEST_F(KeyboardTest, AnAcquiredKeyboardHidesEveryKeyFromTheWindow) {
    window.FocusEvent(true);
    EXPECT_TRUE(window.PressKey(DIK_T)) << "not acquired yet: the window sees keys";
    window.ReleaseKey(DIK_T);

    TState state{};
    ASSERT_TRUE(keyboard.GetState(state));  // acquires
    EXPECT_TRUE(keyboard.Acquired);
    EXPECT_TRUE(window.ExclusivelyHeld());
    EXPECT_FALSE(window.PressKey(DIK_P));
    EXPECT_FALSE(window.PressKey(DIK_ESCAPE));
    EXPECT_FALSE(window.KeyEvent(SDL_SCANCODE_F5, true)) << "also keys the state has no interest in";
    EXPECT_FALSE(window.KeyEvent(SDL_SCANCODE_APP1, true)) << "and keys with no DirectInput code";
    ASSERT_TRUE(keyboard.GetState(state));
    EXPECT_EQ(state[DIK_P], 0x80);
    EXPECT_EQ(state[DIK_ESCAPE], 0x80);

    // Released (the game paused): the keys that went down during the hold
    // stay hidden, auto-repeats too, until they come up.
    keyboard.SetAcquired(false);
    EXPECT_FALSE(keyboard.Acquired);
    EXPECT_FALSE(window.ExclusivelyHeld());
    EXPECT_FALSE(window.KeyEvent(SDL_SCANCODE_P, true, true));
    EXPECT_FALSE(window.ReleaseKey(DIK_P));
    EXPECT_TRUE(window.PressKey(DIK_P)) << "a fresh press reaches the window";
    EXPECT_TRUE(window.KeyEvent(SDL_SCANCODE_P, true, true)) << "and so do its repeats";
    EXPECT_TRUE(window.PressKey(DIK_A));
}

TEST_F(KeyboardTest, AKeyTappedBetweenTwoReadsIsReadDownOnce) {
    window.FocusEvent(true);
    TState state{};
    ASSERT_TRUE(keyboard.GetState(state));  // acquires: the window sees no keys now
    struct Case {
        const char* name;
        std::vector<std::pair<std::uint8_t, bool>> events;  // key, down
        std::uint8_t key;
        std::vector<std::uint8_t> reads;  // the key's byte at each read after the events
    } cases[] = {
        {"Esc tapped", {{DIK_ESCAPE, true}, {DIK_ESCAPE, false}}, DIK_ESCAPE, {0x80, 0x00, 0x00}},
        {"P tapped", {{DIK_P, true}, {DIK_P, false}}, DIK_P, {0x80, 0x00}},
        {"P tapped twice", {{DIK_P, true}, {DIK_P, false}, {DIK_P, true}, {DIK_P, false}}, DIK_P, {0x80, 0x00}},
        {"T held", {{DIK_T, true}}, DIK_T, {0x80, 0x80}},
        {"up only", {{DIK_R, false}}, DIK_R, {0x00}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& [key, down] : c.events) EXPECT_FALSE(down ? window.PressKey(key) : window.ReleaseKey(key));
        for (std::uint8_t expected : c.reads) {
            ASSERT_TRUE(keyboard.GetState(state));
            EXPECT_EQ(state[c.key], expected);
        }
    }
    window.ReleaseKey(DIK_T);

    // A tap while the keyboard is not held went to the window: no read
    // sees it later; nor one whose hold ended before it was read.
    keyboard.SetAcquired(false);
    EXPECT_TRUE(window.PressKey(DIK_P));
    EXPECT_TRUE(window.ReleaseKey(DIK_P));
    ASSERT_TRUE(keyboard.GetState(state));  // acquires again
    EXPECT_EQ(state[DIK_P], 0x00);
    window.PressKey(DIK_T);
    window.ReleaseKey(DIK_T);
    keyboard.SetAcquired(false);
    ASSERT_TRUE(keyboard.GetState(state));
    EXPECT_EQ(state[DIK_T], 0x00);
}

TEST_F(KeyboardTest, InTheBackgroundReadsFailAndReportTheLossOnce) {
    TState state = Marked();
    for (int read = 0; read < 3; ++read) {
        EXPECT_FALSE(keyboard.GetState(state));
        EXPECT_TRUE(keyboard.Lost);
    }
    EXPECT_EQ(losses, 1);
    EXPECT_EQ(state, Marked()) << "a failed read leaves the buffer as it was";

    window.FocusEvent(true);
    window.PressKey(DIK_A);
    EXPECT_TRUE(keyboard.GetState(state));
    EXPECT_FALSE(keyboard.Lost);
    EXPECT_EQ(state[DIK_A], 0x80);

    // Losing the focus again is a new loss.
    const TState before = state;
    window.FocusEvent(false);
    EXPECT_FALSE(keyboard.GetState(state));
    EXPECT_FALSE(keyboard.GetState(state));
    EXPECT_EQ(losses, 2);
    EXPECT_EQ(state, before);
    EXPECT_FALSE(window.ExclusivelyHeld());
}

TEST_F(KeyboardTest, AFocusLostAndRegainedBetweenReadsIsReacquiredSilently) {
    window.FocusEvent(true);
    TState state{};
    ASSERT_TRUE(keyboard.GetState(state));
    window.PressKey(DIK_Z);
    window.FocusEvent(false);
    window.FocusEvent(true);
    // The first attempt finds the device lost, the re-acquired one reads.
    state = Marked();
    EXPECT_TRUE(keyboard.GetState(state));
    EXPECT_EQ(losses, 0);
    EXPECT_EQ(state[DIK_Z], 0x00) << "keys held when the focus went are let go";
    EXPECT_TRUE(window.ExclusivelyHeld());
}

// --- the input layer's devices directly ---

struct TDevice {
    std::unique_ptr<IDirectInput8> di;
    std::unique_ptr<IDirectInputDevice8> device;
};

TDevice MakeKeyboard(TWindowInput* window, DWORD level) {
    TDevice d;
    EXPECT_EQ(DirectInput8Create(DIRECTINPUT_VERSION, &d.di), DI_OK);
    EXPECT_EQ(d.di->CreateDevice(GUID_SysKeyboard, &d.device), DI_OK);
    EXPECT_EQ(d.device->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    if (window) {
        EXPECT_EQ(d.device->SetCooperativeLevel(window, level), DI_OK);
    }
    return d;
}

TEST(InputDevice, ResultsOfTheCalls) {
    TWindowInput window;
    TState state{};
    TDevice k = MakeKeyboard(&window, kGameLevel);
    EXPECT_EQ(k.device->GetDeviceState(256, state.data()), DIERR_NOTACQUIRED);
    EXPECT_EQ(k.device->Acquire(), DIERR_OTHERAPPHASPRIO) << "foreground device, window in the background";
    window.FocusEvent(true);
    EXPECT_EQ(k.device->Acquire(), DI_OK);
    EXPECT_EQ(k.device->Acquire(), DI_NOEFFECT);
    EXPECT_EQ(k.device->GetDeviceState(255, state.data()), DIERR_INVALIDPARAM);
    EXPECT_EQ(k.device->GetDeviceState(256, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(k.device->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
    EXPECT_EQ(k.device->SetCooperativeLevel(&window, kGameLevel), DIERR_ACQUIRED);

    TDevice other = MakeKeyboard(&window, kGameLevel);
    EXPECT_EQ(other.device->Acquire(), DIERR_OTHERAPPHASPRIO) << "the keyboard is held exclusively";
    TDevice shared = MakeKeyboard(&window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    EXPECT_EQ(shared.device->Acquire(), DI_OK);
    EXPECT_EQ(k.device->Unacquire(), DI_OK);
    EXPECT_EQ(k.device->Unacquire(), DI_NOEFFECT);
    EXPECT_EQ(other.device->Acquire(), DI_OK) << "free once the first lets go";
    EXPECT_EQ(shared.device->GetDeviceState(256, state.data()), DI_OK);

    // A focus loss: the first read says lost, later ones not acquired.
    window.FocusEvent(false);
    EXPECT_EQ(other.device->GetDeviceState(256, state.data()), DIERR_INPUTLOST);
    EXPECT_EQ(other.device->GetDeviceState(256, state.data()), DIERR_NOTACQUIRED);

    // A background device reads in the background.
    TDevice background = MakeKeyboard(&window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    EXPECT_EQ(background.device->Acquire(), DI_OK);
    EXPECT_EQ(background.device->GetDeviceState(256, state.data()), DI_OK);
}

TEST(InputDevice, SetUpIsChecked) {
    TWindowInput window;
    std::unique_ptr<IDirectInput8> di;
    EXPECT_EQ(DirectInput8Create(0x0700, &di), DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(DirectInput8Create(0x0900, &di), DIERR_BETADIRECTINPUTVERSION);
    EXPECT_FALSE(di);
    ASSERT_EQ(DirectInput8Create(DIRECTINPUT_VERSION, &di), DI_OK);

    std::unique_ptr<IDirectInputDevice8> device;
    const GUID mouse = {0x6F1D2B60u, 0xD5A0u, 0x11CFu, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
    EXPECT_EQ(di->CreateDevice(mouse, &device), DIERR_DEVICENOTREG);
    EXPECT_FALSE(device);
    ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, &device), DI_OK);

    const DIDATAFORMAT foreign = {256};
    EXPECT_EQ(device->SetDataFormat(&foreign), DIERR_INVALIDPARAM);
    EXPECT_EQ(device->Acquire(), DIERR_INVALIDPARAM) << "no data format";
    EXPECT_EQ(device->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    EXPECT_EQ(device->Acquire(), DIERR_NOTINITIALIZED) << "no window";

    const struct {
        HWND window;
        DWORD flags;
        HRESULT result;
    } levels[] = {
        {nullptr, kGameLevel, DIERR_HANDLE},
        {&window, DISCL_EXCLUSIVE | DISCL_BACKGROUND, DIERR_UNSUPPORTED},
        {&window, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND, DIERR_INVALIDPARAM},
        {&window, DISCL_EXCLUSIVE, DIERR_INVALIDPARAM},
        {&window, DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NONEXCLUSIVE, DIERR_INVALIDPARAM},
        {&window, kGameLevel | 0x100, DIERR_INVALIDPARAM},
        {&window, kGameLevel | DISCL_NOWINKEY, DI_OK},
    };
    for (const auto& l : levels) EXPECT_EQ(device->SetCooperativeLevel(l.window, l.flags), l.result) << l.flags;
}

TEST(InputDevice, ADeviceOutlivingItsWindowReadsAsLost) {
    TDevice k;
    {
        TWindowInput window;
        k = MakeKeyboard(&window, kGameLevel);
        window.FocusEvent(true);
        ASSERT_EQ(k.device->Acquire(), DI_OK);
    }
    TState state{};
    EXPECT_EQ(k.device->GetDeviceState(256, state.data()), DIERR_INPUTLOST);
    EXPECT_EQ(k.device->Acquire(), DIERR_NOTINITIALIZED);
    EXPECT_EQ(k.device->GetDeviceState(256, state.data()), DIERR_NOTACQUIRED);
    EXPECT_EQ(k.device->Unacquire(), DI_NOEFFECT);
}

// --- failures other than a loss ---

// A device whose reads give scripted results, counting acquisitions.
class TScriptedDevice final : public IDirectInputDevice8 {
public:
    explicit TScriptedDevice(std::vector<HRESULT> reads) : reads_(std::move(reads)) {}
    HRESULT SetDataFormat(const DIDATAFORMAT*) override { return DI_OK; }
    HRESULT SetCooperativeLevel(HWND, DWORD) override { return DI_OK; }
    HRESULT Acquire() override {
        ++acquires;
        return DI_OK;
    }
    HRESULT Unacquire() override { return DI_OK; }
    HRESULT GetDeviceState(DWORD, void* data) override {
        const HRESULT r = next_ < reads_.size() ? reads_[next_++] : DI_OK;
        if (!Failed(r)) static_cast<std::uint8_t*>(data)[DIK_SPACE] = 0x80;
        return r;
    }
    int acquires = 0;

private:
    std::vector<HRESULT> reads_;
    std::size_t next_ = 0;
};

TDirectInput8Create ScriptedInput(std::vector<HRESULT> reads, TScriptedDevice** made) {
    class TInput final : public IDirectInput8 {
    public:
        TInput(std::vector<HRESULT> reads, TScriptedDevice** made) : reads_(std::move(reads)), made_(made) {}
        HRESULT CreateDevice(const GUID&, std::unique_ptr<IDirectInputDevice8>* out) override {
            auto device = std::make_unique<TScriptedDevice>(reads_);
            *made_ = device.get();
            *out = std::move(device);
            return DI_OK;
        }

    private:
        std::vector<HRESULT> reads_;
        TScriptedDevice** made_;
    };
    return [=](DWORD, std::unique_ptr<IDirectInput8>* out) {
        *out = std::make_unique<TInput>(reads, made);
        return DI_OK;
    };
}

TEST(KeyboardFailures, OtherFailuresRaiseWithTheResultText) {
    const struct {
        std::vector<HRESULT> reads;
        HRESULT raised;  // DI_OK: the read succeeds
    } cases[] = {
        {{DIERR_INVALIDPARAM, DIERR_INVALIDPARAM}, DIERR_INVALIDPARAM},
        {{DIERR_NOTACQUIRED, DIERR_GENERIC}, DIERR_GENERIC},
        {{DIERR_INPUTLOST, MakeResult(0x80001234u)}, MakeResult(0x80001234u)},
        {{DIERR_GENERIC, DI_OK}, DI_OK},
        {{DI_NOEFFECT}, DI_OK},
    };
    for (const auto& c : cases) {
        TScriptedDevice* device = nullptr;
        TzkDI8 di(ScriptedInput(c.reads, &device));
        TzkDIKeyboard keyboard(&di, nullptr, kGameLevel);
        int losses = 0;
        keyboard.OnLost = [&](TzkDIDevice*) { ++losses; };
        TState state{};
        if (c.raised == DI_OK) {
            EXPECT_TRUE(keyboard.GetState(state));
            EXPECT_EQ(state[DIK_SPACE], 0x80);
        } else {
            try {
                keyboard.GetState(state);
                ADD_FAILURE() << "no exception for " << std::hex << c.raised;
            } catch (const EDirectInputError& e) {
                EXPECT_EQ(e.ErrorCode, static_cast<std::uint32_t>(c.raised));
                EXPECT_EQ(std::string(e.what()), DIResultText(e.ErrorCode));
            }
        }
        EXPECT_EQ(device->acquires, Failed(c.reads[0]) ? 1 : 0) << "one re-acquire between the attempts";
        EXPECT_EQ(losses, 0);
        EXPECT_FALSE(keyboard.Lost);
    }
}

}  // namespace
}  // namespace qv
