// A game window run from the front end keeps Qt's events flowing: a timer of
// the front end fires while the game runs and can end it.
#include <QElapsedTimer>
#include <QTimer>

#include "frontend/ui/qv3PlayGame.h"
#include "media/zkDisplayMode.h"
#include "tests/frontend/FrontendFixture.h"
#include "tests/render/RenderTestSupport.h"

namespace qv::ui {
namespace {

// Mesa leaves memory behind each time SDL unloads GL: keep it loaded.
[[maybe_unused]] const bool kGlLoaded = test::KeepGlLoaded();

class PlayGameTest : public test::FrontendFixture {};

TEST_F(PlayGameTest, QtTimersRunDuringTheGameAndCanEndIt) {
    MakeResources();
    GameResources->SelectScenario(1);
    Environment.MusicVolume = 0;
    Environment.SoundVolume = 0;
    TzkD3D8 d3d;
    InstallGameModeFilters(d3d);
    d3d.EnumerateAdapters();
    TGameRequest request;
    request.AdapterEntry = d3d.Adapters(0)->Devices(0);
    request.Windowed = true;
    ASSERT_TRUE(FindDisplayMode(request.AdapterEntry, kDisplayWindow, request.Mode));

    int ticks = 0;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&ticks] {
        if (++ticks == 10) CloseRunningGame();
    });
    timer.start();
    QElapsedTimer clock;
    clock.start();
    const std::string result = RunGameWindow(request);
    EXPECT_EQ(result, "");
    EXPECT_GE(ticks, 10);
    EXPECT_LT(clock.elapsed(), 60000);
    EXPECT_NE(Log().find("* Info: Creating game (0)"), std::string::npos) << Log();
    // Nothing is left to close afterwards.
    CloseRunningGame();
}

}  // namespace
}  // namespace qv::ui
