#include "media/zkDInput.h"

#include <utility>

#include "foundation/qv3Log.h"
#include "media/zkResultCheck.h"

namespace qv {

namespace {

using namespace dinput;

constexpr const char* kOwnTexts[] = {
    "Direct Input 8 not installed",
    "Failed to create Direct Input 8",
    "Failed to create mouse device",
    "Failed to set mouse format",
    "Failed to set cooperative level",
    "Failed to get buffer size",
    "Failed to set buffer size",
    "Index out of bounds",
    "Failed to create keyboard device",
    "Failed to set keyboard format",
};

// Texts for the results our input layer gives.
const std::pair<std::uint32_t, const char*> kResultTexts[] = {
    {0x00000000u, "No error occurred."},
    {0x00000001u, "The call changed nothing."},
    {0x80004005u, "The input layer failed for an unknown reason."},
    {0x80004001u, "The device does not support this."},
    {0x80040154u, "There is no such input device."},
    {0x80070005u, "The input device is not available: another device holds it or the window is in the background."},
    {0x80070006u, "The window given for the input device is not valid."},
    {0x8007000Cu, "The input device is not acquired."},
    {0x8007000Eu, "There is not enough memory for the input device."},
    {0x80070015u, "The input device has not been set up for this call."},
    {0x8007001Eu, "Access to the input device has been lost. It must be reacquired."},
    {0x80070057u, "A parameter passed to the input device is not valid."},
    {0x800700AAu, "The input device cannot do this while it is acquired."},
    {0x8007047Eu, "The program asks for an older DirectInput version than the input layer offers."},
    {0x80070481u, "The program asks for a newer DirectInput version than the input layer offers."},
};

}  // namespace

std::string DIOwnErrorText(std::uint32_t ownCode) {
    if (ownCode >= kDINotInstalled && ownCode <= kDISetKeyboardFormatFailed) return kOwnTexts[ownCode - kDINotInstalled];
    return "Unrecognized Error";
}

std::string DIResultText(std::uint32_t result) {
    for (const auto& [code, text] : kResultTexts)
        if (code == result) return text;
    return "Unrecognized Error";
}

void DICheck(dinput::HRESULT result, std::uint32_t ownCode, const std::string& context) {
    if (!Failed(result)) return;
    const std::uint32_t code = static_cast<std::uint32_t>(result);
    RaiseFailedResult("DI", code, DIResultText(code), ownCode, DIOwnErrorText, context,
                      [code](const std::string& text) { throw EDirectInputError(text, code); });
}

void DIRaiseError(std::uint32_t ownCode, const std::string& detail) {
    RaiseLoggedError(DIOwnErrorText(ownCode), ownCode, detail);
}

// ---------------------------------------------------------------------------

TzkDI8::TzkDI8(TDirectInput8Create create) {
    if (!create) DIRaiseError(kDINotInstalled);
    DICheck(create(DIRECTINPUT_VERSION, &DirectInput), kDICreateFailed, "");
    // A maker that reports success must deliver the object.
    if (!DirectInput) DICheck(DIERR_GENERIC, kDICreateFailed, "");
}

TzkDI8::~TzkDI8() { DirectInput.reset(); }

// ---------------------------------------------------------------------------

TzkDIDevice::~TzkDIDevice() {
    if (Device) Device->Unacquire();
    Device.reset();
}

void TzkDIDevice::SetAcquired(bool value) {
    if (!Device) return;
    if (value) {
        if (!Failed(Device->Acquire())) Acquired = true;
    } else {
        if (!Failed(Device->Unacquire())) Acquired = false;
    }
}

TzkDIKeyboard::TzkDIKeyboard(TzkDI8* DI, HWND window, DWORD cooperativeFlags) {
    HRESULT result = DIERR_NOTINITIALIZED;
    if (DI != nullptr && DI->DirectInput) result = DI->DirectInput->CreateDevice(GUID_SysKeyboard, &Device);
    if (!Failed(result) && !Device) result = DIERR_GENERIC;
    DICheck(result, kDICreateKeyboardFailed, "CreateDevice");
    DICheck(Device->SetDataFormat(&c_dfDIKeyboard), kDISetKeyboardFormatFailed, "SetDataFormat");
    DICheck(Device->SetCooperativeLevel(window, cooperativeFlags), kDISetCooperativeLevelFailed,
            "SetCooperativeLevel");
}

bool TzkDIKeyboard::GetState(std::span<std::uint8_t, 256> buffer) {
    HRESULT result = Device->GetDeviceState(kKeyboardStateSize, buffer.data());
    if (Failed(result)) {
        SetAcquired(true);
        result = Device->GetDeviceState(kKeyboardStateSize, buffer.data());
    }
    if (result == DIERR_INPUTLOST || result == DIERR_NOTACQUIRED) {
        const bool newlyLost = !Lost;
        Lost = true;
        if (newlyLost && OnLost) OnLost(this);
        return false;
    }
    Lost = false;
    DICheck(result, 0, "");
    return true;
}

}  // namespace qv
