// The keyboard as one window receives it: which keys are down, whether the
// window has the keyboard focus, and whether a keyboard device holds the
// keyboard exclusively.
//
// The game window feeds it from its SDL events; tests feed it directly. The
// keyboard devices of the input layer (DInput8.h) read it.
//
// While a device holds the keyboard exclusively the window sees no key
// events at all: keys reach the program only through the device's state. A
// key that went down during such a hold stays hidden from the window until
// it is released, so its auto-repeats do not leak out once the hold ends.
// A key tapped between two reads of the state is read as down once.
//
// Losing the focus lets go of every key (no key-up arrives for keys released
// while the window is in the background) and ends an exclusive hold.
//
// Main thread only.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>

namespace qv::dinput {

class TWindowInput {
public:
    TWindowInput();
    ~TWindowInput();
    TWindowInput(const TWindowInput&) = delete;
    TWindowInput& operator=(const TWindowInput&) = delete;

    // --- fed by the window ---

    // A key went down (`repeat`: an auto-repeat of a key already down) or up;
    // `scancode` is an SDL scancode. True when the window should see it.
    bool KeyEvent(int scancode, bool down, bool repeat = false);
    // The window gained or lost the keyboard focus.
    void FocusEvent(bool focused);

    // KeyEvent by DirectInput key code; false for a code with no SDL key.
    bool PressKey(std::uint8_t key);
    bool ReleaseKey(std::uint8_t key);

    // --- read by devices and the window ---

    bool Focused() const { return focused_; }
    // How often the focus was lost; a device compares it with the count it
    // saw when it was acquired.
    std::uint32_t FocusLosses() const { return focusLosses_; }
    bool KeyDown(std::uint8_t key) const { return keys_[key] != 0; }
    // The 256-byte immediate state: 0x80 for a key that is down, else 0.
    const std::array<std::uint8_t, 256>& State() const { return keys_; }
    // The state a device reads: as State(), and a key that went down during
    // an exclusive hold since the last TakeState counts as down even when it
    // is already up again, so a tap between two reads is read once.
    std::array<std::uint8_t, 256> TakeState();

    // An exclusive hold for `owner`; false when another owner has one.
    bool TakeExclusive(const void* owner);
    // Ends `owner`'s hold; nothing when it holds none.
    void ReleaseExclusive(const void* owner);
    bool ExclusivelyHeld() const { return exclusiveOwner_ != nullptr; }

    // A link that goes empty when this object is destroyed, for devices that
    // may outlive their window.
    std::weak_ptr<TWindowInput* const> Link() const { return self_; }

private:
    std::shared_ptr<TWindowInput* const> self_;
    std::array<std::uint8_t, 256> keys_{};
    // SDL scancodes that went down while the keyboard was held (SDL has 512).
    std::bitset<512> hidden_;
    // DirectInput codes pressed during a hold and not yet taken.
    std::bitset<256> pressedUnread_;
    bool focused_ = false;
    std::uint32_t focusLosses_ = 0;
    const void* exclusiveOwner_ = nullptr;
};

}  // namespace qv::dinput
