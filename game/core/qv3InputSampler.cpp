#include "game/core/qv3InputSampler.h"

#include <algorithm>
#include <exception>
#include <string>

#include "foundation/Exceptions.h"
#include "foundation/qv3Log.h"

namespace qv {

void TInputSampler::Sample(IInputSampleTarget& target, std::int32_t frameTicks) {
    try {
        target.ReadKeyboard(KeyState);
        if (Down(kKeyEscape)) {
            target.ProcessKey(27);
            if (!target.Sampling()) return;
        }
        if (target.ReplayLive() && target.LivePlay()) {
            Unsampled.fill(0);
            return;
        }
        if (frameTicks <= 0) {
            // No record this frame: what went down is kept for the next one,
            // so a tap read now still counts there.
            for (std::size_t i = 0; i < KeyState.size(); ++i) Unsampled[i] |= KeyState[i] & 0x80u;
            return;
        }
        for (std::size_t i = 0; i < KeyState.size(); ++i) KeyState[i] |= Unsampled[i];
        Unsampled.fill(0);
        if (NewlyPressed(kKeyP)) {
            target.ProcessKey(Down(kKeyLeftCtrl) || Down(kKeyRightCtrl) ? -2 : 80);
            if (!target.Sampling()) {
                PrevKeyState = KeyState;
                return;
            }
        }
        std::int32_t mouseY = 0;
        try {
            mouseY = target.CursorY();
        } catch (const std::exception& e) {
            throw Exception("Reading mouse: " + std::string(e.what()));
        }
        // A cursor outside the screen would put the cannon at an edge the
        // player never aimed at.
        mouseY = std::clamp(mouseY, 0, kScreenHeight - 1);
        const std::uint32_t direction = Down(kKeyA) ? 1u : (Down(kKeyZ) ? 2u : 0u);
        const bool space = Down(kKeySpace);
        const TInputToggles toggles{NewlyPressed(kKeyT), NewlyPressed(kKeyR)};
        if (TGameInput* list = target.LiveInput()) {
            list->AddSample(static_cast<std::uint32_t>(frameTicks), mouseY, direction, ClickPending, space, toggles);
            ClickPending = false;
        }
    } catch (const std::exception& e) {
        LogMessage("Error reading input device: " + std::string(e.what()), lkError);
        return;
    }
    PrevKeyState = KeyState;
}

}  // namespace qv
