// A game window run from the front end keeps Qt's events flowing: a timer of
// the front end fires while the game runs and can end it.
#include <QElapsedTimer>
#include <QTimer>

#include "frontend/ui/qv3PlayGame.h"
#include "game/core/qv3DuelLink.h"
#include "game/core/qv3GameCore.h"
#include "media/zkDisplayMode.h"
#include "tests/frontend/FrontendFixture.h"
#include "tests/render/RenderTestSupport.h"

namespace qv::ui {
namespace {

// Mesa leaves memory behind each time SDL unloads GL: keep it loaded.
[[maybe_unused]] const bool kGlLoaded = test::KeepGlLoaded();

class PlayGameTest : public test::FrontendFixture {
protected:
    TGameRequest WindowedRequest() {
        MakeResources();
        GameResources->SelectScenario(1);
        Environment.MusicVolume = 0;
        Environment.SoundVolume = 0;
        InstallGameModeFilters(d3d_);
        d3d_.EnumerateAdapters();
        TGameRequest request;
        request.AdapterEntry = d3d_.Adapters(0)->Devices(0);
        request.Windowed = true;
        EXPECT_TRUE(FindDisplayMode(request.AdapterEntry, kDisplayWindow, request.Mode));
        return request;
    }
    // Runs the game while a timer of the front end ticks; its tenth tick
    // asks the running game to close.
    TGameRunResult RunClosedByATimer(const TGameRequest& request, IDuelLink* duel) {
        QTimer timer;
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (++ticks_ == 10) CloseRunningGame();
        });
        timer.start();
        QElapsedTimer clock;
        clock.start();
        TGameRunResult result = RunGameWindow(request, duel);
        elapsedMs_ = clock.elapsed();
        return result;
    }
    TzkD3D8 d3d_;
    int ticks_ = 0;
    qint64 elapsedMs_ = 0;
};

// A duel link whose opponent never shows; it counts the quit messages.
class TSilentDuel final : public IDuelLink {
public:
    TDuelView View() const override { return {}; }
    std::vector<std::uint8_t> ReceivedLevel() const override { return {}; }
    void SendGameStart(const std::array<std::uint8_t, 16>&, std::span<const std::uint8_t>) override {}
    void SendReady() override {}
    void SendStatus(std::int32_t, std::int32_t, bool) override {}
    void SendResult(std::int32_t) override {}
    void Quit() override { ++Quits; }
    int Quits = 0;
};

TEST_F(PlayGameTest, QtTimersRunDuringTheGameAndCanEndIt) {
    const TGameRequest request = WindowedRequest();
    ASSERT_NE(request.AdapterEntry, nullptr);
    const TGameRunResult result = RunClosedByATimer(request, nullptr);
    EXPECT_EQ(result.ErrorText, "");
    EXPECT_GE(ticks_, 10);
    EXPECT_LT(elapsedMs_, 60000);
    EXPECT_NE(Log().find("* Info: Creating game (0)"), std::string::npos) << Log();
    // Nothing is left to close afterwards.
    CloseRunningGame();
}

// A quit request (the program's SIGTERM handler) reaches a running duel as
// it reaches any game, and the other side is told this one left.
TEST_F(PlayGameTest, AQuitRequestClosesARunningDuelAndSendsTheQuit) {
    TGameRequest request = WindowedRequest();
    ASSERT_NE(request.AdapterEntry, nullptr);
    request.GameMode = kDuelGame;
    TSilentDuel duel;
    const TGameRunResult result = RunClosedByATimer(request, &duel);
    EXPECT_EQ(result.ErrorText, "");
    EXPECT_EQ(duel.Quits, 1);
    EXPECT_EQ(result.DuelWon, 0);
    EXPECT_LT(elapsedMs_, 60000);
    EXPECT_NE(Log().find("* Info: Creating game (2)"), std::string::npos) << Log();
    // The duel's registration ends with its window.
    CloseRunningGame();
    EXPECT_EQ(duel.Quits, 1);
}

}  // namespace
}  // namespace qv::ui
