// The Quorvex program body: folders, the single instance, log, settings and
// the scenario resources, then the main window and the options dialog, and
// Qt's event loop until the main window closes. SIGTERM (a desktop logging
// out, a service manager) ends the run the same way: a running game closes,
// open dialogs close, the settings are saved.
#include <SDL.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "frontend/online/qv3HostList.h"
#include "frontend/online/qv3Transfer.h"
#include "frontend/qv3LobbyHook.h"
#include "frontend/qv3ProgramHooks.h"
#include "frontend/qv3QtText.h"
#include "frontend/qv3SettingsFile.h"
#include "frontend/ui/qv3InstanceServer.h"
#include "frontend/ui/qv3Main.h"
#include "frontend/ui/qv3Messages.h"
#include "frontend/ui/qv3Options.h"
#include "frontend/ui/qv3PlayGame.h"
#include "frontend/ui/qv3QuitSignals.h"
#include "game/core/qv3GameCore.h"
#include "game/assets/qv3Resources.h"
#include "media/MainThread.h"
#include "platform/render/VideoMemory.h"
#include "platform/system/Clock.h"
#include "platform/system/Files.h"
#include "platform/window/GameWindow.h"
#include "platform/system/InstanceMessage.h"
#include "platform/system/KeyStore.h"
#ifdef QUORVEX_HAVE_WEBENGINE
#include "frontend/ui/qv3WebBrowser.h"
#endif

namespace qv {
namespace {

TSettingsHost SettingsHost() {
    TSettingsHost host;
    host.CurrentSlot = [] { return GameResources ? GameResources->CurrentSlot() : 1; };
    host.VideoMemory = [] { return d3d::QueryVideoMemory(); };
    return host;
}

}  // namespace
}  // namespace qv

int main(int argc, char** argv) {
    using namespace qv;
    sys::IgnoreFileSizeSignal();
    InitializeGlobals(argc, argv);
    if (UninstallRequested) return 0;
    // SDL's video and the GL driver stay for the whole run: game windows come
    // and go, and Mesa's driver leaves memory behind each time it is
    // unloaded. The end of the process frees them. With no display there is
    // nothing to show (and Qt would abort): the program says so and ends.
    // SIGTERM and SIGINT are the program's own (below), not SDL's.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (std::string videoError; !win::StartVideo(videoError)) {
        const std::string text = videoError + ". Quorvex needs a graphical desktop.";
        SetLogFile(UserDataDir + kLogFileName);
        LogBeginRun();
        LogMessage("Start-up failed: " + text, lkError);
        LogEndRun();
        std::fprintf(stderr, "%s\n", text.c_str());
        FinalizeGlobals();
        return 1;
    }
    SDL_GL_LoadLibrary(nullptr);

    // The host list is fetched in the background once something goes online.
    CreateHostListFetch();

    // The message box of a second instance needs the application object.
    QApplication::setApplicationName(kProductName);
    // The start page's engine shares GL contexts with the widgets; run by
    // root it cannot start its sandbox.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QApplication app(argc, argv);
    // No display name: the toolkit would append it to every window caption.
    InstallErrorBox();

    ui::TQuitSignals quitSignals;

    if (IsAnotherInstanceRunning()) {
        std::fprintf(stderr, "Duplicated instance. Application will close.\n");
        std::fflush(stderr);
        ui::ShowMessageBox(nullptr, ui::TBoxKind::Error, QStringLiteral("Duplicated instance. Application will close."));
        return 1;
    }

    // Waiting calls of worker threads run from Qt's loop.
    SetSynchronizeWakeup([] { QTimer::singleShot(0, qApp, [] { CheckSynchronize(); }); });

    int result = 0;
    SetLogFile(UserDataDir + kLogFileName);
    LogBeginRun();
    std::unique_ptr<ui::TfrmMain> frmMain;
    std::unique_ptr<ui::TfrmGameOptions> frmGameOptions;
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
                return sys::ReadFileText(ProgramDir + name, kMaxLanguageFileSize);
            }
        });
        std::vector<std::string> untouched;  // files kept as they are, for the message below
        const sys::TKeyStoreCheck keyStore = sys::TKeyStore(KeyStorePath()).Check();
        if (keyStore.state == sys::TKeyStoreCheck::State::Absent) {
            LogMessage("Key store treated as absent: " + keyStore.reason, lkWarning);
        } else if (keyStore.state == sys::TKeyStoreCheck::State::NotUsed) {
            LogMessage("Key store not used, running on the default values: " + keyStore.reason, lkWarning);
        } else if (keyStore.state == sys::TKeyStoreCheck::State::Untouched) {
            LogMessage("Key store cannot be read, running on the default values and leaving it untouched: " +
                           keyStore.reason,
                       lkWarning);
            untouched.push_back(keyStore.reason);
        }
        SetLanguage(ReadLanguageIndex());
        SetProgramSettingsHost(SettingsHost());

        ui::TMainWindowServices services;
        for (int i = 1; i < argc; ++i) services.Args.emplace_back(argv[i]);
        services.Hooks = MakeProgramHooks();
        services.RunGame = [](const ui::TGameRequest& request) { return ui::RunGameWindow(request).ErrorText; };
        BindLobbyHooks(services.Hooks);
        services.OnFirstPaint = [] {
            LogMessage("Main window painted after " + std::to_string(sys::MillisecondsSinceProcessStart()) + " ms", lkInfo);
        };
#ifdef QUORVEX_HAVE_WEBENGINE
        services.MakeBrowser = ui::MakeWebBrowser;
#endif
        frmMain = std::make_unique<ui::TfrmMain>(std::move(services));
        InstallProgramUi(frmMain.get());
        frmGameOptions = std::make_unique<ui::TfrmGameOptions>(nullptr, frmMain->D3D8Enum(), SettingsFilePath(),
                                                               SettingsHost(), nullptr);
        frmMain->SetOptions(frmGameOptions.get());
        SetGameSettingsSaver([] { SaveSettings(); });

        ui::TInstanceServer instances;
        instances.OnMessage = [&](std::uint32_t dwData, const std::vector<std::uint8_t>&) {
            frmMain->InstanceMessage(dwData);
        };
        if (!instances.Listen(sys::InstanceSocketPath()))
            LogMessage("Unable to listen at " + sys::InstanceSocketPath(), lkWarning);

        std::printf("%s %s\n", kProductName, QUORVEX_VERSION_STRING);
        std::printf("Log: %s%s\n", UserDataDir.c_str(), kLogFileName);
        std::fflush(stdout);
        if (const auto problem = UntouchedSettingsFile(SettingsFilePath())) untouched.push_back(*problem);
        if (!untouched.empty() && !quitSignals.Quitting()) {
            // Told before the main window opens, so that it is seen.
            std::string text = "These files cannot be read:\n";
            for (const auto& why : untouched) text += "\n" + why + "\n";
            text += "\n" + std::string(kProductName) +
                    " runs on the default settings and leaves the files as they are. Settings changed now are "
                    "not saved.";
            ui::ShowMessageBox(nullptr, ui::TBoxKind::Warning, QText(text));
        }
        frmMain->show();
        if (!quitSignals.Quitting()) app.exec();
        // Transfers still in flight are aborted (none of them stores
        // anything) and end on their own while the windows close.
        ShutDownTransfers(0);
        SetGameSettingsSaver(nullptr);
        // The options dialog saves the settings as it goes.
        frmGameOptions.reset();
    } catch (const std::exception& e) {
        LogMessage(std::string("Start-up failed: ") + e.what(), lkError);
        std::fprintf(stderr, "%s\n", e.what());
        result = 1;
    }
    ShutDownTransfers(0);
    SetGameSettingsSaver(nullptr);
    frmGameOptions.reset();
    SetSynchronizeWakeup(nullptr);
    UninstallProgramUi();
    // The saves still on their way to the disk (settings, replays) are
    // the player's: the program ends once they are written, and a failure
    // among them is still logged in this run.
    sys::FinishPendingWrites();
    // The main window ends the log run.
    if (frmMain) frmMain.reset();
    else LogEndRun();
    GameResources.reset();
    FreeHostListFetch();
    FinalizeGlobals();
    if (RunningTransfers() > 0) {
        // An aborted worker still inside the network library: the process
        // ends without running the destructors of what it may still touch,
        // rather than waiting for it.
        std::fflush(nullptr);
        std::_Exit(result);
    }
    return result;
}
