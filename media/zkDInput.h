// The keyboard library: the DirectInput object, input devices and the system
// keyboard with its 256-byte immediate state, over our DirectInput-shaped
// layer (platform/input).
//
// Key state: one byte per DirectInput key code (dinput::DIK_*); bit 7 set
// means the key is down.
//
// Failures go through DICheck and DIRaiseError, which log them and raise:
// EDirectInputError carries the DirectInput result, the library's own code
// (0x81060001..0x8106000A) goes into the log line only.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "foundation/Exceptions.h"
#include "platform/input/DInput8.h"

namespace qv {

inline constexpr std::uint32_t kDINotInstalled = 0x81060001u;
inline constexpr std::uint32_t kDICreateFailed = 0x81060002u;
inline constexpr std::uint32_t kDICreateMouseFailed = 0x81060003u;
inline constexpr std::uint32_t kDISetMouseFormatFailed = 0x81060004u;
inline constexpr std::uint32_t kDISetCooperativeLevelFailed = 0x81060005u;
inline constexpr std::uint32_t kDIGetBufferSizeFailed = 0x81060006u;
inline constexpr std::uint32_t kDISetBufferSizeFailed = 0x81060007u;
inline constexpr std::uint32_t kDIIndexOutOfBounds = 0x81060008u;
inline constexpr std::uint32_t kDICreateKeyboardFailed = 0x81060009u;
inline constexpr std::uint32_t kDISetKeyboardFormatFailed = 0x8106000Au;

class EDirectInputError : public Exception {
public:
    EDirectInputError(const std::string& message, std::uint32_t errorCode) : Exception(message), ErrorCode(errorCode) {}
    // The DirectInput result that failed.
    std::uint32_t ErrorCode;
};

// The library's own text for `ownCode`; "Unrecognized Error" for others.
std::string DIOwnErrorText(std::uint32_t ownCode);
// The text of a DirectInput result; "Unrecognized Error" for others.
std::string DIResultText(std::uint32_t result);

// Nothing for a result with bit 31 clear. Otherwise logs the failure and
// throws EDirectInputError: with ownCode 0 the result's text + " " + context
// under the result's code; else "DI $<result>: <result text> - <own text>
// <context>" under ownCode, the exception carrying the own text.
void DICheck(dinput::HRESULT result, std::uint32_t ownCode, const std::string& context);
// Logs the own text (with " (" + detail + ")") under ownCode and throws
// qv::Exception(own text).
[[noreturn]] void DIRaiseError(std::uint32_t ownCode, const std::string& detail = std::string());

// Makes the DirectInput object; the program's is dinput::DirectInput8Create.
using TDirectInput8Create =
    std::function<dinput::HRESULT(dinput::DWORD version, std::unique_ptr<dinput::IDirectInput8>* out)>;

class TzkDI8 {
public:
    // An empty `create` means DirectInput 8 is not there (0x81060001);
    // a failure of it raises with 0x81060002.
    explicit TzkDI8(TDirectInput8Create create = dinput::DirectInput8Create);
    ~TzkDI8();
    TzkDI8(const TzkDI8&) = delete;
    TzkDI8& operator=(const TzkDI8&) = delete;

    std::unique_ptr<dinput::IDirectInput8> DirectInput;
};

class TzkDIDevice;
using TzkDINotifyEvent = std::function<void(TzkDIDevice* sender)>;

// An input device. Devices do not depend on the TzkDI8 they were made on.
class TzkDIDevice {
public:
    // Unacquires and releases the device.
    virtual ~TzkDIDevice();
    TzkDIDevice(const TzkDIDevice&) = delete;
    TzkDIDevice& operator=(const TzkDIDevice&) = delete;

    // Acquires (true) or unacquires (false); Acquired follows only a call
    // that succeeds. Failures are not reported.
    void SetAcquired(bool value);

    std::unique_ptr<dinput::IDirectInputDevice8> Device;
    bool Acquired = false;
    // Set by a read that finds the device lost, cleared by the next that
    // does not.
    bool Lost = false;
    // Fired once per loss.
    TzkDINotifyEvent OnLost;

protected:
    TzkDIDevice() = default;
};

class TzkDIKeyboard : public TzkDIDevice {
public:
    // The system keyboard of `DI` for `window`, with the standard keyboard
    // format and `cooperativeFlags` (the game: DISCL_EXCLUSIVE |
    // DISCL_FOREGROUND); not acquired.
    TzkDIKeyboard(TzkDI8* DI, dinput::HWND window, dinput::DWORD cooperativeFlags);

    // Fills `buffer` with the key state; a failed read re-acquires and tries
    // once more. A lost or unacquired keyboard fires OnLost (once per loss)
    // and returns false with `buffer` as it was; any other failure raises.
    bool GetState(std::span<std::uint8_t, 256> buffer);
};

}  // namespace qv
