#include "platform/input/DInput8.h"

#include <array>
#include <cstring>

namespace qv::dinput {

const DIDATAFORMAT c_dfDIKeyboard = {kKeyboardStateSize};

namespace {

class TKeyboardDevice final : public IDirectInputDevice8 {
public:
    ~TKeyboardDevice() override { Unacquire(); }

    HRESULT SetDataFormat(const DIDATAFORMAT* format) override {
        if (acquired_) return DIERR_ACQUIRED;
        if (format != &c_dfDIKeyboard) return DIERR_INVALIDPARAM;
        formatSet_ = true;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
        if (acquired_) return DIERR_ACQUIRED;
        if (window == nullptr) return DIERR_HANDLE;
        const DWORD share = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
        const DWORD when = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
        if ((flags & ~(DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NOWINKEY)) != 0 ||
            (share != DISCL_EXCLUSIVE && share != DISCL_NONEXCLUSIVE) ||
            (when != DISCL_FOREGROUND && when != DISCL_BACKGROUND))
            return DIERR_INVALIDPARAM;
        // A keyboard cannot be had exclusively by a window in the background.
        if (share == DISCL_EXCLUSIVE && when == DISCL_BACKGROUND) return DIERR_UNSUPPORTED;
        window_ = window->Link();
        exclusive_ = share == DISCL_EXCLUSIVE;
        foreground_ = when == DISCL_FOREGROUND;
        return DI_OK;
    }

    HRESULT Acquire() override {
        if (!formatSet_) return DIERR_INVALIDPARAM;
        TWindowInput* window = Window();
        if (window == nullptr) return DIERR_NOTINITIALIZED;
        if (acquired_) {
            if (StillHeld(*window)) return DI_NOEFFECT;
            Drop(window);
        }
        if (foreground_ && !window->Focused()) return DIERR_OTHERAPPHASPRIO;
        if (exclusive_ && !window->TakeExclusive(this)) return DIERR_OTHERAPPHASPRIO;
        acquired_ = true;
        lossesAtAcquire_ = window->FocusLosses();
        return DI_OK;
    }

    HRESULT Unacquire() override {
        if (!acquired_) return DI_NOEFFECT;
        Drop(Window());
        return DI_OK;
    }

    HRESULT GetDeviceState(DWORD size, void* data) override {
        if (size != kKeyboardStateSize || data == nullptr) return DIERR_INVALIDPARAM;
        if (!acquired_) return DIERR_NOTACQUIRED;
        TWindowInput* window = Window();
        if (window == nullptr || !StillHeld(*window)) {
            Drop(window);
            return DIERR_INPUTLOST;
        }
        const std::array<std::uint8_t, 256> state = window->TakeState();
        std::memcpy(data, state.data(), kKeyboardStateSize);
        return DI_OK;
    }

private:
    TWindowInput* Window() const {
        const auto link = window_.lock();
        return link ? *link : nullptr;
    }

    // Whether the acquisition still stands: a foreground device loses it
    // with the focus.
    bool StillHeld(const TWindowInput& window) const {
        if (!foreground_) return true;
        return window.Focused() && window.FocusLosses() == lossesAtAcquire_;
    }

    void Drop(TWindowInput* window) {
        if (window != nullptr && exclusive_) window->ReleaseExclusive(this);
        acquired_ = false;
    }

    std::weak_ptr<TWindowInput* const> window_;
    bool formatSet_ = false;
    bool exclusive_ = false;
    bool foreground_ = false;
    bool acquired_ = false;
    std::uint32_t lossesAtAcquire_ = 0;
};

class TDirectInput final : public IDirectInput8 {
public:
    HRESULT CreateDevice(const GUID& device, std::unique_ptr<IDirectInputDevice8>* out) override {
        if (out == nullptr) return DIERR_INVALIDPARAM;
        out->reset();
        if (device != GUID_SysKeyboard) return DIERR_DEVICENOTREG;
        *out = std::make_unique<TKeyboardDevice>();
        return DI_OK;
    }
};

}  // namespace

HRESULT DirectInput8Create(DWORD version, std::unique_ptr<IDirectInput8>* out) {
    if (out == nullptr) return DIERR_INVALIDPARAM;
    out->reset();
    if (version < DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
    if (version > DIRECTINPUT_VERSION) return DIERR_BETADIRECTINPUTVERSION;
    *out = std::make_unique<TDirectInput>();
    return DI_OK;
}

}  // namespace qv::dinput
