// The joining side of a duel as the program plays it, for the two-process
// duel tests: the program's quit signals, the connection dialog and the duel
// runner, and the real game window on SDL's offscreen driver with the
// program's resource pack. Folders come from the environment as for the
// program. Prints "racing" once the race runs, then
// "outcome=<n> quit=<0|1>" when the duel is over.
//
//   qv_duel_player --join ADDRESS --port P
#include <SDL.h>

#include <QApplication>
#include <QTimer>

#include <array>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "frontend/ui/qv3Messages.h"
#include "frontend/ui/qv3PlayGame.h"
#include "frontend/ui/qv3QuitSignals.h"
#include "game/assets/qv3Resources.h"
#include "game/core/qv3DuelLink.h"
#include "media/zkDisplayMode.h"
#include "multiplayer/qv3PeerConnect.h"
#include "platform/system/Files.h"
#include "platform/window/GameWindow.h"

using namespace qv;

namespace {

// What would be a message box goes to the standard error instead.
class TPrintedMessages final : public ui::IMessages {
public:
    bool Confirm(const std::string& t) override { return Print(t), false; }
    bool WarnYesNo(const std::string& t) override { return Print(t), false; }
    void Info(const std::string& t) override { Print(t); }
    void Error(const std::string& t) override { Print(t); }

private:
    static void Print(const std::string& t) { std::fprintf(stderr, "message: %s\n", t.c_str()); }
};

// Presses Enter in the game window, as the player does to leave its
// loading screen.
void PressEnter() {
    for (std::uint32_t id = 1; id < 256; ++id) {
        SDL_Window* window = SDL_GetWindowFromID(id);
        if (!window || (SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN) == 0) continue;
        if (std::string(SDL_GetWindowTitle(window)) != "Quorvex") continue;
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.windowID = id;
        e.key.state = SDL_PRESSED;
        e.key.keysym.scancode = SDL_SCANCODE_RETURN;
        e.key.keysym.sym = SDLK_RETURN;
        SDL_PushEvent(&e);
        e.type = SDL_KEYUP;
        e.key.state = SDL_RELEASED;
        SDL_PushEvent(&e);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string address;
    std::uint32_t port = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--join") address = argv[i + 1];
        else if (arg == "--port") port = static_cast<std::uint32_t>(std::stoul(argv[i + 1]));
    }
    if (address.empty() || port == 0) {
        std::fprintf(stderr, "usage: qv_duel_player --join ADDRESS --port P\n");
        return 2;
    }
    InitializeGlobals(1, argv);
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (std::string error; !win::StartVideo(error)) {
        std::fprintf(stderr, "qv_duel_player: %s\n", error.c_str());
        return 1;
    }
    SDL_GL_LoadLibrary(nullptr);
    QApplication app(argc, argv);
    ui::TQuitSignals quitSignals;
    int result = 0;
    try {
        sys::CreateDirectories(UserDataDir);
        sys::CreateDirectories(CommonDataDir);
        SetLogFile(UserDataDir + kLogFileName);
        LogBeginRun();
        GameResources = std::make_unique<TQVX3Resources>(CommonDataDir, ProgramDir + kProgramResourceFile);
        SetLanguageResourceOpener([](const std::string& name) { return sys::ReadFileText(ProgramDir + name); });
        SetLanguage(0);
        Environment.SetDefaults(0, 1);
        Environment.MusicVolume = 0;
        Environment.SoundVolume = 0;

        TzkD3D8 d3d;
        InstallGameModeFilters(d3d);
        d3d.EnumerateAdapters();
        ui::TGameRequest request;
        request.AdapterEntry = d3d.AdapterCount() > 0 ? d3d.Adapters(0)->Devices(0) : nullptr;
        request.Windowed = true;
        if (!request.AdapterEntry || !FindDisplayMode(request.AdapterEntry, kDisplayWindow, request.Mode))
            throw std::runtime_error("no windowed display mode");

        TPrintedMessages messages;
        mp::TDuelRunServices services;
        services.Messages = &messages;
        services.GameRequest = [&] { return request; };
        services.RunGame = [](const ui::TGameRequest& r, IDuelLink& duel) {
            // The front end's timers run while the game does: the player
            // presses Enter until the race runs.
            QTimer watch;
            watch.setInterval(20);
            int ticks = 0;
            QObject::connect(&watch, &QTimer::timeout, [&] {
                if (duel.View().Phase != TDuelPhase::Running) {
                    if (++ticks % 25 == 0) PressEnter();
                    return;
                }
                std::printf("racing\n");
                std::fflush(stdout);
                watch.stop();
            });
            watch.start();
            return ui::RunGameWindow(r, &duel);
        };
        services.MakePeer = [port](const std::string& name, const std::string& at) {
            mp::TDuelPeerOptions options;
            options.Port = port;
            return std::unique_ptr<mp::TCustomDuelPeer>(std::make_unique<mp::TDuelPeerClient>(name, at, options));
        };
        mp::SetDuelRunServices(services);

        int outcome = -1;
        QTimer::singleShot(0, &app, [&] {
            std::array<std::uint8_t, 16> raceId{};
            std::int32_t total = 0;
            outcome = mp::RunDuel("Player", address, raceId, total);
            QCoreApplication::quit();
        });
        if (!quitSignals.Quitting()) app.exec();
        mp::SetDuelRunServices({});
        std::printf("outcome=%d quit=%d\n", outcome, quitSignals.Quitting() ? 1 : 0);
        std::fflush(stdout);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qv_duel_player: %s\n", e.what());
        result = 1;
    }
    GameResources.reset();
    LogEndRun();
    FinalizeGlobals();
    return result;
}
