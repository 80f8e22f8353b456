#include "platform/input/WindowInput.h"

#include "platform/input/KeyCodes.h"

namespace qv::dinput {

TWindowInput::TWindowInput() : self_(std::make_shared<TWindowInput* const>(this)) {}

TWindowInput::~TWindowInput() = default;

bool TWindowInput::KeyEvent(int scancode, bool down, bool repeat) {
    const bool known = scancode > 0 && static_cast<std::size_t>(scancode) < hidden_.size();
    const std::uint8_t key = KeyFromScancode(scancode);
    if (key != 0) keys_[key] = down ? 0x80 : 0x00;
    // A press the window does not see reaches the program only through a
    // read of the state: it counts as down at the next read even when it
    // was already released.
    if (key != 0 && down && !repeat && ExclusivelyHeld()) pressedUnread_[key] = true;
    if (!known) return !ExclusivelyHeld();

    const std::size_t index = static_cast<std::size_t>(scancode);
    bool visible = !ExclusivelyHeld();
    if (down) {
        if (!repeat) {
            hidden_[index] = ExclusivelyHeld();
        } else if (hidden_[index]) {
            visible = false;
        }
    } else {
        if (hidden_[index]) visible = false;
        hidden_[index] = false;
    }
    return visible;
}

void TWindowInput::FocusEvent(bool focused) {
    if (focused == focused_) return;
    focused_ = focused;
    if (focused) return;
    ++focusLosses_;
    keys_.fill(0);
    hidden_.reset();
    pressedUnread_.reset();
    exclusiveOwner_ = nullptr;
}

std::array<std::uint8_t, 256> TWindowInput::TakeState() {
    std::array<std::uint8_t, 256> state = keys_;
    for (std::size_t key = 0; key < state.size(); ++key)
        if (pressedUnread_[key]) state[key] = 0x80;
    pressedUnread_.reset();
    return state;
}

bool TWindowInput::PressKey(std::uint8_t key) {
    const int scancode = ScancodeFromKey(key);
    if (scancode == 0) return false;
    return KeyEvent(scancode, true, keys_[key] != 0);
}

bool TWindowInput::ReleaseKey(std::uint8_t key) {
    const int scancode = ScancodeFromKey(key);
    if (scancode == 0) return false;
    return KeyEvent(scancode, false);
}

bool TWindowInput::TakeExclusive(const void* owner) {
    if (exclusiveOwner_ != nullptr && exclusiveOwner_ != owner) return false;
    exclusiveOwner_ = owner;
    return true;
}

void TWindowInput::ReleaseExclusive(const void* owner) {
    if (exclusiveOwner_ != owner) return;
    exclusiveOwner_ = nullptr;
    // Presses nobody read belong to the hold that ended.
    pressedUnread_.reset();
}

}  // namespace qv::dinput
