// The Quorvex program body: folders, log, settings and the scenario
// resources, then one game window on the first display adapter in an
// 800 x 600 window; the settings are saved when it has closed.
#include <SDL.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "frontend/qv3SettingsFile.h"
#include "game/core/qv3GameWindow.h"
#include "game/assets/qv3Resources.h"
#include "media/zkD3D.h"
#include "platform/system/Files.h"

namespace qv {
namespace {

TSettingsHost SettingsHost() {
    TSettingsHost host;
    host.CurrentSlot = [] { return GameResources ? GameResources->CurrentSlot() : 1; };
    return host;
}

void SaveSettings() { SaveEnvironment(Environment, SettingsFilePath(), SettingsHost()); }

// The 800 x 600 mode of `info` for a window: the desktop's format, software
// vertex processing.
std::optional<TzkD3DMode> WindowedMode(const TzkD3DDeviceInfo& info) {
    std::optional<TzkD3DMode> found;
    for (const TzkD3DMode& m : info.Modes) {
        if (m.Width != 800 || m.Height != 600) continue;
        if (!found || m.Format == info.WindowedFormat) found = m;
    }
    if (found) found->BehaviorFlags = 0x20;
    return found;
}

// One single game in a window; returns its result text.
std::string RunGame() {
    TzkD3D8 d3d;
    d3d.EnumerateAdapters();
    if (d3d.AdapterCount() == 0 || !d3d.Adapters(0)->Devices(0)) throw Exception("No display adapter");
    TzkD3DDeviceInfo* info = d3d.Adapters(0)->Devices(0);
    const std::optional<TzkD3DMode> mode = WindowedMode(*info);
    if (!mode) throw Exception("The display offers no 800 x 600 mode");
    TfrmGame game(kSingleGame, 1, info, *mode, -1);
    return game.ShowModal();
}

}  // namespace
}  // namespace qv

int main(int argc, char** argv) {
    using namespace qv;
    InitializeGlobals(argc, argv);
    if (UninstallRequested) return 0;

    if (IsAnotherInstanceRunning()) {
        std::fprintf(stderr, "Duplicated instance. Application will close.\n");
        return 1;
    }

    // SDL's video and the GL driver stay for the whole run: game windows come
    // and go, and Mesa's driver leaves memory behind each time it is
    // unloaded. The end of the process frees them.
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) SDL_GL_LoadLibrary(nullptr);

    int result = 0;
    SetLogFile(UserDataDir + kLogFileName);
    LogBeginRun();
    try {
        LogMessage(std::string(kProductName) + " " + QUORVEX_VERSION_STRING + " started", lkInfo);
        LogMessage("Program folder: " + ProgramDir, lkInfo);
        LogMessage("User data folder: " + UserDataDir, lkInfo);
        LogMessage("Common data folder: " + CommonDataDir, lkInfo);

        GameResources = std::make_unique<TQVX3Resources>(CommonDataDir, ProgramDir + kProgramResourceFile);
        SetLanguageResourceOpener([](const std::string& name) -> std::optional<std::string> {
            try {
                const auto bytes = GameResources->OpenResource(name);
                return std::string(bytes.begin(), bytes.end());
            } catch (const std::exception&) {
                // A language file beside the program serves while the pack has none.
                return sys::ReadFileText(ProgramDir + name);
            }
        });
        SetLanguage(ReadLanguageIndex());
        LoadEnvironment(Environment, SettingsFilePath(), SettingsHost());
        GameResources->SelectScenario(Environment.CurrentScenario);
        SetGameSettingsSaver(SaveSettings);
        std::printf("%s %s\n", kProductName, QUORVEX_VERSION_STRING);
        std::printf("Log: %s%s\n", UserDataDir.c_str(), kLogFileName);
        std::fflush(stdout);

        if (GameResources->CurrentSlot() == kMoreScenariosSlot) {
            LogMessage("No scenario available", lkWarning);
        } else {
            const std::string text = RunGame();
            if (!text.empty()) {
                LogMessage("Game ended: " + text, lkWarning);
                std::fprintf(stderr, "%s\n", text.c_str());
            }
        }
        SaveSettings();
    } catch (const std::exception& e) {
        LogMessage(std::string("Start-up failed: ") + e.what(), lkError);
        std::fprintf(stderr, "%s\n", e.what());
        result = 1;
    }
    SetGameSettingsSaver(nullptr);
    GameResources.reset();
    LogEndRun();
    FinalizeGlobals();
    return result;
}
