// One side of a duel's game core without a screen: the recording renderer,
// content made by code in slot 0 of a temporary quorvex.dat (or a given
// pack), a manual clock, and the duel link handed in.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "foundation/Random.h"
#include "foundation/qv3Environment.h"
#include "game/assets/qv3Resources.h"
#include "game/core/qv3GameCore.h"
#include "platform/system/Clock.h"
#include "platform/window/GameWindow.h"
#include "tests/render/RenderTestSupport.h"
#include "tests/support/TempDir.h"

namespace qv::test {

class TDuelCoreRig {
public:
    // `withWindow`: a hidden game window gives the core its cursor (see
    // MoveMouse); without one the cursor stays at the top. `pack`, when
    // given, is the resource pack whose first scenario is played instead of
    // the content made by code (the program's own, to duel the program).
    explicit TDuelCoreRig(IDuelLink* duel, bool withWindow = false, const std::string& pack = {});
    ~TDuelCoreRig();
    TDuelCoreRig(const TDuelCoreRig&) = delete;
    TDuelCoreRig& operator=(const TDuelCoreRig&) = delete;

    TGameCore& Core() { return *core_; }
    // One frame of `ticks` 10 ms ticks; the clock moves with it.
    void Frame(int ticks = 1);
    // Moves the cursor of the window to height `y`.
    void MoveMouse(int y);
    bool Closed() const { return !closed_.empty(); }
    const std::vector<std::string>& ClosedTexts() const { return closed_; }

    sys::TManualClock Clock;

private:
    TempDir dir_;
    std::string savedUserDir_;
    std::unique_ptr<win::TGameWindow> window_;
    TFakeRig rig_;
    std::unique_ptr<TQVX3Resources> resources_;
    std::unique_ptr<TEnvironmentRecord> settings_;
    TRandom random_{11};
    TRandom levelRandom_{12};
    std::unique_ptr<TGameCore> core_;
    std::vector<std::string> closed_;
};

}  // namespace qv::test
