// The game core's duel paths against a scripted duel link: the host makes
// and sends the level, the joiner takes it, both exchange status and
// results while live, and the results (or a close reason) decide.
#include <gtest/gtest.h>

#include <algorithm>

#include "foundation/qv3Language.h"
#include "game/core/qv3GameCore.h"
#include "game/logic/qv3GameLogic.h"
#include "tests/game/DuelRig.h"
#include "tests/support/EnglishTexts.h"

namespace qv {
namespace {

[[maybe_unused]] const bool kTexts = test::UseEnglishTexts();

class TFakeDuel final : public IDuelLink {
public:
    TDuelView View() const override { return view; }
    std::vector<std::uint8_t> ReceivedLevel() const override { return level; }
    void SendGameStart(const std::array<std::uint8_t, 16>& raceId, std::span<const std::uint8_t> data) override {
        ++starts;
        view.RaceId = raceId;
        level.assign(data.begin(), data.end());
        view.Phase = TDuelPhase::StartSent;
    }
    void SendReady() override {
        ++readies;
        view.Phase = TDuelPhase::Running;
    }
    void SendStatus(std::int32_t score, std::int32_t cannonY, bool) override {
        ++statuses;
        lastScore = score;
        lastCannonY = cannonY;
    }
    void SendResult(std::int32_t value) override {
        view.OwnResult = value;
        if (view.OpponentResult != -1) view.Phase = TDuelPhase::Finished;
    }
    void Quit() override {
        ++quits;
        view.CloseReasonText = "Quitted";
        view.Phase = TDuelPhase::Finished;
    }

    TDuelView view;
    std::vector<std::uint8_t> level;
    int starts = 0, readies = 0, statuses = 0, quits = 0;
    std::int32_t lastScore = -1, lastCannonY = -1;
};

// Frames until `done`; false when it never held.
bool RunUntil(test::TDuelCoreRig& rig, const std::function<bool()>& done, int frames = 20000) {
    for (int i = 0; i < frames && !done(); ++i) rig.Frame(1);
    return done();
}

// The host side up to live play; returns the level it sent.
std::vector<std::uint8_t> HostToLive(TFakeDuel& duel, test::TDuelCoreRig& rig) {
    duel.view.IsHost = true;
    duel.view.Phase = TDuelPhase::Joined;
    TGameCore& core = rig.Core();
    core.ProcessKey(kVkEnter);
    EXPECT_EQ(duel.starts, 1);
    EXPECT_EQ(core.State, TCoreState::Menu);
    EXPECT_EQ(core.DuelRaceId, duel.view.RaceId);
    EXPECT_NE(core.DuelRaceId, (std::array<std::uint8_t, 16>{}));
    EXPECT_EQ(core.DuelStream, duel.level);
    // The menu waits while the opponent takes the level.
    for (int i = 0; i < 300; ++i) rig.Frame(1);
    EXPECT_EQ(core.State, TCoreState::Menu);
    EXPECT_EQ(core.MenuAction, TMenuAction::None);
    duel.view.Phase = TDuelPhase::Running;
    EXPECT_TRUE(RunUntil(rig, [&] { return core.State == TCoreState::Playing && core.PlayPhase == TPlayPhase::Live; }));
    EXPECT_EQ(core.Logic->Mode, gmDuel);
    return duel.level;
}

TEST(DuelCore, HostSendsTheLevelAndWinsWhenTheOpponentIsOutFirst) {
    TFakeDuel duel;
    test::TDuelCoreRig rig(&duel);
    TGameCore& core = rig.Core();
    const auto level = HostToLive(duel, rig);
    ASSERT_FALSE(level.empty());
    // No pause in a duel; every live frame sends the status.
    core.ProcessKey(kVkPause);
    EXPECT_FALSE(core.IsPaused());
    const int before = duel.statuses;
    for (int i = 0; i < 50; ++i) rig.Frame(1);
    EXPECT_GE(duel.statuses - before, 49);
    EXPECT_EQ(duel.lastScore, core.Logic->Score);
    EXPECT_EQ(duel.lastCannonY, static_cast<std::int32_t>(core.Logic->Cannon(0).Height));
    // The opponent's result is below the own time: this side outlived it.
    duel.view.OpponentResult = 10;
    rig.Frame(1);
    EXPECT_GT(duel.view.OwnResult, 10);
    ASSERT_TRUE(RunUntil(rig, [&] { return core.State == TCoreState::Result; }, 10));
    EXPECT_EQ(core.DuelWon, 2);
    EXPECT_EQ(core.OutcomeText, "You Won the Duel");
    EXPECT_GT(core.TotalScore, 0);
    ASSERT_TRUE(RunUntil(rig, [&] { return rig.Closed(); }));
    EXPECT_EQ(rig.ClosedTexts().front(), "");
}

TEST(DuelCore, JoinerPlaysTheReceivedLevelToTheOutcome) {
    std::vector<std::uint8_t> level;
    {
        TFakeDuel host;
        test::TDuelCoreRig rig(&host);
        level = HostToLive(host, rig);
    }
    struct Case {
        std::int32_t opponentOffset;  // opponent result minus own
        std::uint8_t won;
        const char* text;
    };
    for (const Case c : {Case{0, 3, "Both Lost Simultaneously"}, Case{1, 1, "You Lost the Duel"}}) {
        TFakeDuel duel;
        test::TDuelCoreRig rig(&duel);
        TGameCore& core = rig.Core();
        duel.view.Phase = TDuelPhase::Waiting;
        core.ProcessKey(kVkSpace);
        EXPECT_EQ(duel.starts, 0);
        for (int i = 0; i < 200; ++i) rig.Frame(1);
        EXPECT_EQ(core.MenuAction, TMenuAction::None);
        duel.view.Phase = TDuelPhase::LevelReceived;
        duel.view.RaceId = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
        duel.level = level;
        rig.Frame(1);
        EXPECT_EQ(duel.readies, 1);
        EXPECT_EQ(core.DuelStream, level);
        EXPECT_EQ(core.DuelRaceId, duel.view.RaceId);
        ASSERT_TRUE(RunUntil(rig, [&] { return core.State == TCoreState::Playing && core.PlayPhase == TPlayPhase::Live; }));
        // Idle, the player loses at some point; the own result is that time.
        ASSERT_TRUE(RunUntil(rig, [&] { return duel.view.OwnResult != -1; }, 200000));
        EXPECT_TRUE(core.Logic->Finished);
        EXPECT_EQ(core.State, TCoreState::Playing);  // the opponent's result is still open
        duel.view.OpponentResult = duel.view.OwnResult + c.opponentOffset;
        duel.view.Phase = TDuelPhase::Finished;
        rig.Frame(1);
        EXPECT_EQ(core.State, TCoreState::Result);
        EXPECT_EQ(core.DuelWon, c.won);
        EXPECT_EQ(core.OutcomeText, c.text);
    }
}

TEST(DuelCore, ACloseReasonEndsTheDuelWithoutOutcome) {
    {
        // Lost while waiting in the menu: the window closes with the reason.
        TFakeDuel duel;
        test::TDuelCoreRig rig(&duel);
        duel.view.Phase = TDuelPhase::Waiting;
        rig.Core().ProcessKey(kVkEnter);
        duel.view.Phase = TDuelPhase::Closed;
        duel.view.CloseReasonText = "Connection lost";
        ASSERT_TRUE(RunUntil(rig, [&] { return rig.Closed(); }));
        EXPECT_EQ(rig.ClosedTexts().front(), "Connection lost");
        EXPECT_EQ(rig.Core().ErrorText, "Connection lost");
        EXPECT_EQ(duel.quits, 1);
    }
    {
        // Lost while playing: the result screen shows the reason, no outcome.
        TFakeDuel duel;
        test::TDuelCoreRig rig(&duel);
        HostToLive(duel, rig);
        duel.view.Phase = TDuelPhase::Closed;
        duel.view.CloseReasonText = "Opponent quitted";
        rig.Frame(1);
        EXPECT_EQ(rig.Core().State, TCoreState::Result);
        EXPECT_EQ(rig.Core().DuelWon, 0);
        EXPECT_EQ(rig.Core().OutcomeText, "Opponent quitted");
    }
    {
        // Esc while playing quits the duel and closes the window.
        TFakeDuel duel;
        test::TDuelCoreRig rig(&duel);
        HostToLive(duel, rig);
        rig.Core().ProcessKey(kVkEscape);
        EXPECT_EQ(duel.quits, 1);
        EXPECT_TRUE(rig.Closed());
    }
}

}  // namespace
}  // namespace qv
