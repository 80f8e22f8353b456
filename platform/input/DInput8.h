// The DirectInput-shaped keyboard layer: the calls, constants and result
// codes the keyboard wrapper uses, over the keys and focus a window receives
// (TWindowInput).
//
// What the devices do:
// - Acquire needs the data format and a window. A foreground device is
//   refused (DIERR_OTHERAPPHASPRIO) while its window lacks the focus, an
//   exclusive one also while another device holds that window's keyboard.
//   Acquiring an acquired device does nothing (DI_NOEFFECT).
// - GetDeviceState of an unacquired device gives DIERR_NOTACQUIRED. A
//   foreground device whose window lost the focus since it was acquired is
//   unacquired and gives DIERR_INPUTLOST once; after that NOTACQUIRED.
//   A failed read leaves the caller's buffer as it was.
// - An exclusive device that is acquired keeps every key event from its
//   window (see TWindowInput).
// - A device outlives its window safely: it then reads as lost.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/input/KeyCodes.h"
#include "platform/input/WindowInput.h"

namespace qv::dinput {

using HRESULT = std::int32_t;
using DWORD = std::uint32_t;
// A window as the input layer sees it: the keys and focus it receives.
using HWND = TWindowInput*;

constexpr HRESULT MakeResult(std::uint32_t value) { return static_cast<HRESULT>(value); }
constexpr bool Failed(HRESULT result) { return result < 0; }

inline constexpr HRESULT DI_OK = 0;
inline constexpr HRESULT DI_NOEFFECT = 1;
inline constexpr HRESULT DIERR_GENERIC = MakeResult(0x80004005u);
inline constexpr HRESULT DIERR_UNSUPPORTED = MakeResult(0x80004001u);
inline constexpr HRESULT DIERR_DEVICENOTREG = MakeResult(0x80040154u);
inline constexpr HRESULT DIERR_OTHERAPPHASPRIO = MakeResult(0x80070005u);
inline constexpr HRESULT DIERR_HANDLE = MakeResult(0x80070006u);
inline constexpr HRESULT DIERR_NOTACQUIRED = MakeResult(0x8007000Cu);
inline constexpr HRESULT DIERR_OUTOFMEMORY = MakeResult(0x8007000Eu);
inline constexpr HRESULT DIERR_NOTINITIALIZED = MakeResult(0x80070015u);
inline constexpr HRESULT DIERR_INPUTLOST = MakeResult(0x8007001Eu);
inline constexpr HRESULT DIERR_INVALIDPARAM = MakeResult(0x80070057u);
inline constexpr HRESULT DIERR_ACQUIRED = MakeResult(0x800700AAu);
inline constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = MakeResult(0x8007047Eu);
inline constexpr HRESULT DIERR_BETADIRECTINPUTVERSION = MakeResult(0x80070481u);

inline constexpr DWORD DIRECTINPUT_VERSION = 0x0800;

// Cooperative levels.
inline constexpr DWORD DISCL_EXCLUSIVE = 0x01;
inline constexpr DWORD DISCL_NONEXCLUSIVE = 0x02;
inline constexpr DWORD DISCL_FOREGROUND = 0x04;
inline constexpr DWORD DISCL_BACKGROUND = 0x08;
inline constexpr DWORD DISCL_NOWINKEY = 0x10;

// Size of the keyboard's immediate state.
inline constexpr DWORD kKeyboardStateSize = 256;

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2, Data3;
    std::uint8_t Data4[8];
    friend bool operator==(const GUID&, const GUID&) = default;
};

// The system keyboard.
inline constexpr GUID GUID_SysKeyboard = {0x6F1D2B61u, 0xD5A0u, 0x11CFu, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// A device data format; the keyboard's is the only one.
struct DIDATAFORMAT {
    DWORD dwDataSize;
};
extern const DIDATAFORMAT c_dfDIKeyboard;

class IDirectInputDevice8 {
public:
    virtual ~IDirectInputDevice8() = default;
    virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    virtual HRESULT GetDeviceState(DWORD size, void* data) = 0;
};

class IDirectInput8 {
public:
    virtual ~IDirectInput8() = default;
    // GUID_SysKeyboard only; other devices give DIERR_DEVICENOTREG.
    virtual HRESULT CreateDevice(const GUID& device, std::unique_ptr<IDirectInputDevice8>* out) = 0;
};

// The DirectInput object. `version` must be DIRECTINPUT_VERSION.
HRESULT DirectInput8Create(DWORD version, std::unique_ptr<IDirectInput8>* out);

}  // namespace qv::dinput
