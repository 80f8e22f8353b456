// The main window: the menu picture with the scenario carousel and its hot
// regions, the start page over the logo, the menus with every action of the
// program, and the 2 s timer that loads the start page when online (shown
// once it has loaded) and alternates the logo pictures while it is not shown.
#pragma once

#include <QAction>
#include <QActionGroup>
#include <QImage>
#include <QMainWindow>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frontend/ui/qv3Browser.h"
#include "frontend/ui/qv3FrontendHooks.h"
#include "frontend/ui/qv3Messages.h"
#include "media/zkD3D.h"

namespace qv::ui {

class TMagnetic;
class TfrmGameOptions;

// One game the main window asks for.
struct TGameRequest {
    std::uint8_t GameMode = 0;  // 0 single game, 1 world's-best replay
    bool Windowed = true;
    TzkD3DDeviceInfo* AdapterEntry = nullptr;
    TzkD3DMode Mode;
    std::int32_t Value = -1;
};

struct TMainWindowServices {
    // Null: message boxes over the main window.
    IMessages* Messages = nullptr;
    TFrontendHooks Hooks;
    // Empty: no start page (the logo pictures alternate).
    TBrowserFactory MakeBrowser;
    // Milliseconds of a steady clock. Empty: the system's.
    std::function<std::uint32_t()> TickCount;
    // Runs one game modally and returns its result text. Empty: a game window.
    std::function<std::string(const TGameRequest&)> RunGame;
    // Makes the Direct3D enumeration object; empty: the program's own.
    std::function<std::unique_ptr<TzkD3D8>()> MakeDirect3D;
    // The system beep. Empty: QApplication::beep.
    std::function<void()> Beep;
    // The command line after the program name.
    std::vector<std::string> Args;
    int TimerIntervalMs = 2000;
    // Called once, when the menu picture has been painted the first time.
    std::function<void()> OnFirstPaint;
};

class TMenuPicture;

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    // The game a mode and value start, on the device, mode and windowing the
    // options chose.
    TGameRequest Request(std::uint8_t gameMode, std::int32_t value) const;
    explicit TfrmMain(TMainWindowServices services);
    ~TfrmMain() override;
    // The hooks, every one filled.
    const TFrontendHooks& Hooks() const { return services_.Hooks; }

    // The options dialog, made by the program body after this window.
    void SetOptions(TfrmGameOptions* options) { options_ = options; }
    TzkD3D8* D3D8Enum() const { return d3d_.get(); }

    bool CanPlay() const { return DisplayState == kDisplayUsable; }
    void CheckDisplay();
    void Play();
    void RescanScenarios();
    void ShowBrowser(bool visible);
    void Timer1Timer();
    void HotspotClick(int index);
    void HotspotStateChange(int index, int state);
    void DrawCarousel();
    bool IsMoreSlot() const;
    void ApplyCaptions();
    void UpdateActions();
    // A message of another program (the installer): dwData 1 announces a
    // new scenario package.
    void InstanceMessage(std::uint32_t dwData);

    const QImage& Picture() const { return picture_; }
    const std::array<QImage, 9>& MenuBitmaps() const { return bitmaps_; }
    TMagnetic* Magnetic() const { return magnetic_; }
    QWidget* PictureWidget() const;
    IBrowserView* Browser() const { return browser_.get(); }
    // Navigates the browser to a page and calls `loaded` once it has loaded
    // (true) or failed (false), after the browser's event. A later call
    // takes the place of one still waiting, which is then never called.
    void NavigateBrowser(const std::string& url, std::function<void(bool loaded)> loaded);
    bool FormShowDone() const { return shown_; }

    // Program state (see the actions). DisplayState is one of the three
    // below: no usable display, a device still to be checked, ready to play.
    static constexpr std::uint8_t kDisplayUnusable = 0;
    static constexpr std::uint8_t kDisplayToCheck = 1;
    static constexpr std::uint8_t kDisplayUsable = 2;
    std::uint8_t DisplayState = kDisplayUnusable;
    bool AutoPlay = false;
    bool Busy = false;
    bool BrowserShown = false;
    bool StartPagePending = false;
    bool CheckLogPending = false;
    int LogoIndex = 0;
    std::uint32_t LastLogoSwitch = 0;

    // The actions, in menu order.
    QAction* actGameOptions;
    QAction* actSendEmailCard;
    QAction* actDeleteHighscore;
    QAction* actReset;
    QAction* actClose;
    QAction* actPlayGame;
    QAction* actPlayNew;
    QAction* actPublishHighscore;
    QAction* actGotoHighscore;
    QAction* actWebsite;
    QAction* actDownloadScenarios;
    QAction* actReplayWorldBest;
    QAction* actPublishErrorReport;
    QAction* actHelp;
    QAction* actCheckNewVersion;
    QAction* actAbout;
    std::array<QAction*, 5> actLevel{};
    QActionGroup* levelGroup;


protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void CreateActions();
    void LoadMenuBitmaps();
    void ExportCodec();
    void CopyLogo(int index);
    // Makes the start page's browser at its first use; false without one.
    bool EnsureBrowser();
    std::uint32_t Now() const;
    void OpenURL(const std::string& url);
    bool Online() const;
    void ResolveHosts();
    // The non-waiting form of ResolveHosts: true when hosts are there.
    bool StartHostLookup();
    void RunGameOf(std::uint8_t gameMode, std::int32_t value);
    bool CheckMemory();
    // Runs `flow` (a game, a waiting dialog) with Busy set, nested flows
    // inside it too: no timer tick, no rescan of the scenarios and no other
    // game starts while it runs. A rescan asked for meanwhile runs once the
    // outermost flow has ended.
    void RunBusy(const std::function<void()>& flow);

    void PlayNew();
    void GameOptions();
    void DeleteHighscore();
    void ResetAll();
    void GotoHighscore();
    void DownloadScenarios();
    void ReplayWorldBest();
    void CheckNewVersion();
    void About();
    void Help();

    TMainWindowServices services_;
    std::unique_ptr<IMessages> ownMessages_;
    IMessages* messages_;
    TfrmGameOptions* options_ = nullptr;
    std::unique_ptr<TzkD3D8> d3d_;
    std::array<QImage, 9> bitmaps_;
    QImage picture_;
    TMenuPicture* view_;
    TMagnetic* magnetic_;
    QTimer timer_;
    std::unique_ptr<IBrowserView> browser_;
    bool shown_ = false;
    // The start page is loading, hidden; the last load failed, and when.
    bool startPageLoading_ = false;
    bool loadFailed_ = false;
    std::uint32_t lastLoadFailure_ = 0;
    // Who waits for the page NavigateBrowser opened.
    std::function<void(bool loaded)> pageLoaded_;
    void PageLoaded(bool loaded);
    bool rescanPending_ = false;
};

}  // namespace qv::ui
