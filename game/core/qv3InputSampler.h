// Input sampling: once a frame in the playing and result states, the
// keyboard's key state and the cursor height become one input record for
// the level logic's live list (see qv3Input.h). The logic itself records the
// input it consumes, tick by tick, so a replay delivers every record on the
// tick it was used. The core is reached through IInputSampleTarget; tests
// give their own.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "game/data/qv3Input.h"

namespace qv {

// DirectInput key codes the sampler reads.
inline constexpr int kKeyEscape = 1;
inline constexpr int kKeyR = 19;
inline constexpr int kKeyT = 20;
inline constexpr int kKeyP = 25;
inline constexpr int kKeyLeftCtrl = 29;
inline constexpr int kKeyA = 30;
inline constexpr int kKeyZ = 44;
inline constexpr int kKeySpace = 57;
inline constexpr int kKeyRightCtrl = 157;

// The height range of the game screen the cursor is taken in.
inline constexpr std::int32_t kScreenHeight = 600;

using TKeyState = std::array<std::uint8_t, 256>;

class IInputSampleTarget {
public:
    virtual ~IInputSampleTarget() = default;
    // Reads the keyboard into `state`; false (state untouched) when the
    // keyboard is lost or missing. Throws on any other failure.
    virtual bool ReadKeyboard(std::span<std::uint8_t, 256> state) = 0;
    // The cursor height over the client area in game-screen pixels; throws
    // on failure.
    virtual std::int32_t CursorY() = 0;
    virtual void ProcessKey(std::int16_t key) = 0;
    // Whether the state still samples (playing or result); a key handled
    // above may have left it.
    virtual bool Sampling() const = 0;
    // Playing and the play phase is live.
    virtual bool LivePlay() const = 0;
    virtual bool ReplayLive() const = 0;
    // The current logic's live list; null without a logic.
    virtual TGameInput* LiveInput() = 0;
};

struct TInputSampler {
    TKeyState KeyState{};
    TKeyState PrevKeyState{};
    // Keys read down in frames without ticks since the last record; they
    // count as down in the next one.
    TKeyState Unsampled{};
    bool ClickPending = false;

    bool Down(int code) const { return (KeyState[static_cast<std::size_t>(code)] & 0x80u) != 0; }
    bool NewlyPressed(int code) const {
        return Down(code) && (PrevKeyState[static_cast<std::size_t>(code)] & 0x80u) == 0;
    }

    // One sample with the frame's tick count. Failures are logged as "Error
    // reading input device: " + message and cost the frame its record; the
    // previous key state is kept then.
    void Sample(IInputSampleTarget& target, std::int32_t frameTicks);
};

}  // namespace qv
