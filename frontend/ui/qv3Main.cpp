#include "frontend/ui/qv3Main.h"

#include <QApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <QLocale>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>

#include <cstdio>
#include <exception>
#include <utility>

#include "foundation/Random.h"
#include "foundation/TextUtil.h"
#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "frontend/online/qv3HostList.h"
#include "frontend/online/qv3OnlineUi.h"
#include "frontend/online/qv3Transfer.h"
#include "frontend/qv3QtText.h"
#include "frontend/ui/qv3About.h"
#include "frontend/ui/qv3Carousel.h"
#include "frontend/ui/qv3Magnetic.h"
#include "frontend/ui/qv3Options.h"
#include "frontend/ui/qv3Pictures.h"
#include "frontend/ui/qv3VersionInfo.h"
#include "game/assets/qv3Resources.h"
#include "media/zkImageLoader.h"
#include "platform/system/Clock.h"
#include "platform/system/Files.h"

namespace qv::ui {

namespace {

constexpr const char* kMenuPictureNames[9] = {
    "menu_base.png",         "menu_logo1.jpg",        "menu_logo2.jpg",
    "menu_leftbutton_p.png", "menu_leftbutton_r.png", "menu_rightbutton_p.png",
    "menu_rightbutton_r.png", "menu_scenario_p.png",  "menu_scenario_r.png"};
// The pictures of each region for the states under the mouse and pressed.
constexpr int kHoverPicture[3] = {4, 6, 8};
constexpr int kPressedPicture[3] = {3, 5, 7};
constexpr std::uint32_t kLogoSwitchMs = 4000;
constexpr std::uint32_t kStartPageRetryMs = 60000;
constexpr std::int32_t kEmptyScore = -100000;
constexpr const char* kCampaignSiteUrl = "https://www.quorvex.example/";
constexpr const char* kCodecFileName = "l3codecx.acm";
constexpr const char* kSelectScenarioFirst = "Please select a scenario first";

}  // namespace

// The menu picture, painted as it is; the whole client area.
class TMenuPicture : public QWidget {
public:
    std::function<void()> OnFirstPaint;

    TMenuPicture(QWidget* parent, const QImage* picture) : QWidget(parent), picture_(picture) {
        setFixedSize(kMenuWidth, kMenuHeight);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.drawImage(0, 0, *picture_);
        if (OnFirstPaint) {
            const auto painted = std::move(OnFirstPaint);
            OnFirstPaint = nullptr;
            painted();
        }
    }

private:
    const QImage* picture_;
};

TfrmMain::TfrmMain(TMainWindowServices services) : services_(std::move(services)) {
    // What the caller left empty, once; every service is called directly.
    if (!services_.Messages) {
        ownMessages_ = std::make_unique<TQtMessages>(this);
        services_.Messages = ownMessages_.get();
    }
    messages_ = services_.Messages;
    FillOfflineDefaults(services_.Hooks);
    if (!services_.TickCount) services_.TickCount = [] { return sys::SystemClock().GetTickCount(); };
    if (!services_.RunGame) services_.RunGame = [](const TGameRequest&) { return std::string("No game window"); };
    if (!services_.MakeDirect3D) services_.MakeDirect3D = [] { return std::make_unique<TzkD3D8>(); };
    if (!services_.Beep) services_.Beep = [] { QApplication::beep(); };
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    picture_ = QImage(kMenuWidth, kMenuHeight, QImage::Format_RGB32);
    picture_.fill(QApplication::palette().color(QPalette::Window));
    view_ = new TMenuPicture(this, &picture_);
    view_->OnFirstPaint = services_.OnFirstPaint;
    setCentralWidget(view_);
    timer_.setInterval(services_.TimerIntervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] { Timer1Timer(); });

    CreateActions();
    ApplyCaptions();
    LogMessage("Started at :" + QLocale::system()
                                    .toString(QDateTime::currentDateTime(),
                                              QLocale::system().dateFormat(QLocale::ShortFormat) + " " +
                                                  QLocale::system().timeFormat(QLocale::LongFormat))
                                    .toStdString(),
               lkInfo);
    services_.Hooks.WriteStartupReport();
    ProgramRandom().Randomize();

    for (const std::string& arg : services_.Args)
        if (LowerAscii(arg) == "ip") AutoPlay = true;

    try {
        d3d_ = services_.MakeDirect3D();
        DisplayState = d3d_ ? kDisplayToCheck : kDisplayUnusable;
    } catch (const std::exception& e) {
        DisplayState = kDisplayUnusable;
        messages_->Error(e.what());
    }

    LoadMenuBitmaps();
    ExportCodec();

    magnetic_ = new TMagnetic(view_);
    magnetic_->CanResize = false;
    magnetic_->MagTray = false;
    magnetic_->MagExplorer = false;
    magnetic_->Active = true;
    magnetic_->Regions().OnClick = [this](int index) { HotspotClick(index); };
    magnetic_->Regions().OnStateChange = [this](int index, int state) { HotspotStateChange(index, state); };
    for (const QPolygon& region : HotRegionPolygons(0)) magnetic_->AddPolygonRegion(region);

    setFixedSize(sizeHint());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    LogMessage("Initialized", lkCheckpoint);
}

TfrmMain::~TfrmMain() {
    timer_.stop();
    browser_.reset();
    d3d_.reset();
    LogEndRun();
}

QWidget* TfrmMain::PictureWidget() const { return view_; }

void TfrmMain::CreateActions() {
    auto make = [this](const QKeySequence& key = {}) {
        auto* a = new QAction(this);
        if (!key.isEmpty()) a->setShortcut(key);
        addAction(a);
        return a;
    };
    actGameOptions = make();
    actSendEmailCard = make();
    actDeleteHighscore = make();
    actReset = make();
    actClose = make();
    actPlayGame = make(QKeySequence(Qt::Key_F9));
    actPlayNew = make();
    actPlayNew->setVisible(false);
    actPublishHighscore = make();
    actGotoHighscore = make();
    actWebsite = make();
    actDownloadScenarios = make();
    actReplayWorldBest = make();
    actPublishErrorReport = make();
    actHelp = make(QKeySequence(Qt::Key_F1));
    actCheckNewVersion = make();
    actAbout = make();
    levelGroup = new QActionGroup(this);
    levelGroup->setExclusive(true);
    for (int i = 0; i < 5; ++i) {
        QAction* a = make();
        a->setText(QString::number(i + 1));
        a->setCheckable(true);
        a->setData(i);
        levelGroup->addAction(a);
        actLevel[static_cast<std::size_t>(i)] = a;
        connect(a, &QAction::triggered, this, [this, i] {
            if (IsMoreSlot()) return;
            Environment.Scenarios[static_cast<std::size_t>(GameResources->CurrentSlot())].StartLevel = i;
        });
    }

    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QString());
    file->addAction(actGameOptions);
    file->addSeparator();
    file->addAction(actSendEmailCard);
    file->addSeparator();
    file->addAction(actDeleteHighscore);
    file->addAction(actReset);
    file->addSeparator();
    file->addAction(actClose);
    QMenu* play = bar->addMenu(QString());
    play->addAction(actPlayGame);
    QMenu* internet = bar->addMenu(QString());
    internet->addAction(actPublishHighscore);
    internet->addAction(actGotoHighscore);
    internet->addAction(actWebsite);
    internet->addSeparator();
    internet->addAction(actDownloadScenarios);
    internet->addSeparator();
    internet->addAction(actReplayWorldBest);
    internet->addSeparator();
    internet->addAction(actPublishErrorReport);
    QMenu* help = bar->addMenu(QString());
    help->addAction(actHelp);
    help->addSeparator();
    help->addAction(actCheckNewVersion);
    help->addSeparator();
    help->addAction(actAbout);
    for (QMenu* m : {file, play, internet, help}) connect(m, &QMenu::aboutToShow, this, [this] { UpdateActions(); });

    connect(actPlayGame, &QAction::triggered, this, [this] { Play(); });
    connect(actPlayNew, &QAction::triggered, this, [this] { PlayNew(); });
    connect(actGameOptions, &QAction::triggered, this, [this] { GameOptions(); });
    connect(actSendEmailCard, &QAction::triggered, this,
            [this] { RunBusy([this] { services_.Hooks.SendEmailCard(this); }); });
    connect(actDeleteHighscore, &QAction::triggered, this, [this] { DeleteHighscore(); });
    connect(actReset, &QAction::triggered, this, [this] { ResetAll(); });
    connect(actClose, &QAction::triggered, this, [this] { close(); });
    connect(actPublishHighscore, &QAction::triggered, this,
            [this] { RunBusy([this] { services_.Hooks.PublishHighscore(this); }); });
    connect(actGotoHighscore, &QAction::triggered, this, [this] { GotoHighscore(); });
    connect(actWebsite, &QAction::triggered, this, [this] { OpenURL(kCampaignSiteUrl); });
    connect(actDownloadScenarios, &QAction::triggered, this, [this] { DownloadScenarios(); });
    connect(actReplayWorldBest, &QAction::triggered, this, [this] { ReplayWorldBest(); });
    connect(actPublishErrorReport, &QAction::triggered, this,
            [this] { RunBusy([this] { services_.Hooks.PublishErrorReport(this, ReadLogText()); }); });
    connect(actHelp, &QAction::triggered, this, [this] { Help(); });
    connect(actCheckNewVersion, &QAction::triggered, this, [this] { CheckNewVersion(); });
    connect(actAbout, &QAction::triggered, this, [this] { About(); });
}

void TfrmMain::ApplyCaptions() {
    LoadToolkitTranslations(ReadLanguageIndex());
    setWindowTitle("Quorvex");
    const QList<QAction*> menus = menuBar()->actions();
    const int menuLines[4] = {6, 7, 10, 4};
    for (int i = 0; i < menus.size() && i < 4; ++i) menus[i]->setText(QText(LangText(menuLines[i])));
    const std::pair<QAction*, int> captions[] = {
        {actPlayNew, 11},           {actPlayGame, 328},          {actGameOptions, 12},
        {actWebsite, 13},           {actPublishHighscore, 14},   {actDownloadScenarios, 24},
        {actGotoHighscore, 15},     {actAbout, 3},               {actHelp, 23},
        {actCheckNewVersion, 16},   {actPublishErrorReport, 17}, {actDeleteHighscore, 19},
        {actReset, 20},             {actClose, 21},              {actSendEmailCard, 22},
        {actReplayWorldBest, 18}};
    for (const auto& [action, line] : captions) action->setText(QText(LangText(line)));
    actPlayNew->setVisible(false);
}

bool TfrmMain::IsMoreSlot() const { return !GameResources || GameResources->CurrentSlot() >= kMoreSlot; }

void TfrmMain::UpdateActions() {
    actPlayNew->setEnabled(CanPlay());
    actReplayWorldBest->setEnabled(CanPlay());
    const bool slot = !IsMoreSlot();
    const auto* progress = slot ? &Environment.Scenarios[static_cast<std::size_t>(GameResources->CurrentSlot())] : nullptr;
    actPublishHighscore->setEnabled(progress && progress->HighScores[0].Score != kEmptyScore);
    for (int i = 0; i < 5; ++i) actLevel[static_cast<std::size_t>(i)]->setChecked(progress && progress->StartLevel == i);
}

void TfrmMain::LoadMenuBitmaps() {
    for (int i = 0; i < 9; ++i) {
        try {
            if (GameResources) bitmaps_[static_cast<std::size_t>(i)] = DecodePicture(GameResources->OpenResource(kMenuPictureNames[i]));
        } catch (const std::exception& e) {
            LogMessage(std::string("Unable to load ") + kMenuPictureNames[i] + ": " + e.what(), lkWarning);
        }
    }
    if (!bitmaps_[0].isNull()) {
        picture_ = bitmaps_[0].copy(0, 0, kMenuWidth, kMenuHeight);
        if (!bitmaps_[1].isNull()) DrawStretched(picture_, bitmaps_[1], kLogoRect);
    }
}

void TfrmMain::ExportCodec() {
    const std::string path = CommonDataDir + kCodecFileName;
    // A link, or another user's file where others can write, is not ours to
    // load: it is replaced.
    if (sys::InspectFile(path, sys::LinkRule::Refuse) == sys::FileStatus::Ok) return;
    if (sys::FileExists(path)) LogMessage("Codec file " + path + " is a link or another user's; replaced", lkWarning);
    try {
        const auto bytes = GameResources ? GameResources->ProgramResource("DLL", "MP3CODEC") : std::nullopt;
        if (!bytes) throw std::runtime_error("resource MP3CODEC not found");
        std::string error;
        if (!sys::WriteFileAtomic(path, std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()),
                                  &error))
            throw std::runtime_error(error.empty() ? "cannot write " + path : error);
    } catch (const std::exception& e) {
        LogMessage(std::string("Unable to export mp3 codec file: ") + e.what(), lkWarning);
    }
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The set-up runs once, at the first show; restoring from the task bar
    // shows the window again without it.
    if (shown_ || event->spontaneous()) return;
    shown_ = true;
    FormShow();
}

void TfrmMain::FormShow() {
    try {
        if (GameResources) GameResources->SelectScenario(Environment.CurrentScenario);
        DrawCarousel();
        CheckDisplay();
        BrowserShown = true;
        ShowBrowser(false);
        view_->repaint();
        const std::string page = ProgramDir + "sp/web.htm";
        if (sys::FileExists(page)) OpenURL(QUrl::fromLocalFile(QString::fromStdString(page)).toString().toStdString());
    } catch (const std::exception& e) {
        LogMessage(std::string("Main window: ") + e.what(), lkWarning);
    }
    UpdateActions();
    CheckLogPending = true;
    if (AutoPlay) {
        QTimer::singleShot(0, this, [this] {
            Play();
            close();
        });
    }
}

void TfrmMain::CheckDisplay() {
    timer_.start();
    if (DisplayState != kDisplayToCheck) return;
    if (!options_ || options_->NoDeviceFound()) {
        LogMessageCode(RendererErrorText(kRendererNoDevice), kRendererNoDevice);
        messages_->Error(RendererErrorText(kRendererNoDevice));
        DisplayState = kDisplayUnusable;
    } else {
        DisplayState = options_->DisplayUsable() ? kDisplayUsable : kDisplayUnusable;
    }
}

void TfrmMain::DrawCarousel() {
    if (!GameResources || bitmaps_[0].isNull()) return;
    const int current = GameResources->CurrentSlot();
    const TSlotNeighbours n =
        SlotNeighbours(current, [](int slot) { return GameResources->ScenarioAvailable(slot); });
    auto thumb = [](int slot) { return DecodePicture(GameResources->Thumbnail(slot)); };
    DrawCarouselThumb(picture_, bitmaps_[0], thumb(n.Previous), kLeftQuad);
    DrawCarouselThumb(picture_, bitmaps_[0], thumb(current), kCentreQuad);
    DrawCarouselThumb(picture_, bitmaps_[0], thumb(n.Next), kRightQuad);
    view_->update();
}

void TfrmMain::HotspotStateChange(int index, int state) {
    if (index < 0 || index > 2) return;
    const QRect rect = RegionRect(index);
    if (state == 0) {
        QPainter p(&picture_);
        p.drawImage(rect.topLeft(), bitmaps_[0], rect);
    } else if (state == 1 || state == 2) {
        const int picture = state == 1 ? kHoverPicture[index] : kPressedPicture[index];
        DrawStretched(picture_, bitmaps_[static_cast<std::size_t>(picture)], rect);
    }
    if (index == 2) DrawCarousel();
    view_->update();
}

void TfrmMain::HotspotClick(int index) {
    if (!GameResources) return;
    const TSlotNeighbours n =
        SlotNeighbours(GameResources->CurrentSlot(), [](int slot) { return GameResources->ScenarioAvailable(slot); });
    try {
        switch (index) {
            case 0:
                GameResources->SelectScenario(n.Previous);
                DrawCarousel();
                break;
            case 1:
                GameResources->SelectScenario(n.Next);
                DrawCarousel();
                break;
            case 2:
                if (IsMoreSlot()) actDownloadScenarios->trigger();
                else Play();
                break;
            default: break;
        }
    } catch (const std::exception& e) {
        messages_->Error(e.what());
    }
    UpdateActions();
}

std::uint32_t TfrmMain::Now() const { return services_.TickCount(); }

void TfrmMain::OpenURL(const std::string& url) { services_.Hooks.OpenURL(url); }

bool TfrmMain::Online() const { return services_.Hooks.IsInternetConnected(); }

void TfrmMain::ResolveHosts() { services_.Hooks.ResolveHosts(); }

bool TfrmMain::StartHostLookup() { return services_.Hooks.ResolveHostsInBackground(); }

bool TfrmMain::EnsureBrowser() {
    if (browser_ || !services_.MakeBrowser) return browser_ != nullptr;
    browser_ = services_.MakeBrowser(view_);
    if (!browser_) return false;
    browser_->OnBeforeNavigate = [this, told = false](const std::string& url, bool byPlayer) mutable {
        if (StartHostLookup() && IsInternalUrl(url, InternalPrefix())) return true;
        // The system's browser opens on the player's click only: a page
        // that moves on by itself opens nothing, however often it tries.
        if (byPlayer) {
            OpenURL(url);
        } else if (!std::exchange(told, true)) {
            LogMessage("The start page went to an outside address by itself; not opened: " + url, lkInfo);
        }
        return false;
    };
    browser_->OnDocumentComplete = [this] {
        // A page that arrives after the window went offline stays hidden.
        if (!startPageLoading_ && !BrowserShown) {
            PageLoaded(false);
            return;
        }
        startPageLoading_ = false;
        loadFailed_ = false;
        ShowBrowser(true);
        StartHostLookup();
        PageLoaded(true);
    };
    browser_->OnLoadFailed = [this] {
        // The frame goes back to the logo pictures; the start page is tried
        // again later, hidden until it has loaded.
        startPageLoading_ = false;
        loadFailed_ = true;
        lastLoadFailure_ = Now();
        ShowBrowser(false);
        if (LogoIndex == 0) {
            LogoIndex = 1;
            LastLogoSwitch = lastLoadFailure_;
        }
        CopyLogo(LogoIndex);
        PageLoaded(false);
    };
    return true;
}

void TfrmMain::NavigateBrowser(const std::string& url, std::function<void(bool loaded)> loaded) {
    if (!EnsureBrowser()) {
        pageLoaded_ = nullptr;
        if (loaded) loaded(false);
        return;
    }
    pageLoaded_ = std::move(loaded);
    browser_->Navigate(url);
}

void TfrmMain::PageLoaded(bool loaded) {
    if (!pageLoaded_) return;
    // Called once, and not from inside the browser's own event.
    QTimer::singleShot(0, this, [done = std::move(pageLoaded_), loaded] { done(loaded); });
    pageLoaded_ = nullptr;
}

void TfrmMain::ShowBrowser(bool visible) {
    if (visible == BrowserShown) return;
    BrowserShown = visible;
    try {
        if (visible) EnsureBrowser();
        if (browser_) browser_->SetGeometry(visible ? kBrowserRect : QRect());
        if (visible) {
            QPainter p(&picture_);
            p.drawImage(kLogoRect.topLeft(), bitmaps_[0], kLogoRect);
        }
        view_->update();
    } catch (const std::exception& e) {
        LogMessage(std::string("Error loading menu image: ") + e.what(), lkError);
    }
}

void TfrmMain::CopyLogo(int index) {
    DrawStretched(picture_, bitmaps_[static_cast<std::size_t>(index)], kLogoRect);
    view_->update();
}

void TfrmMain::Timer1Timer() {
    if (Busy) return;
    const std::uint32_t now = Now();
    if (Online()) {
        // The host list comes in the background; the start page waits for
        // it (a later tick). The page loads behind the logo pictures and
        // shows once it has loaded; after a failure it is tried once a
        // minute at most.
        const bool hosts = StartHostLookup();
        if (!BrowserShown && !startPageLoading_ && (!loadFailed_ || now - lastLoadFailure_ >= kStartPageRetryMs))
            StartPagePending = true;
        if (hosts && StartPagePending) {
            char page[64];
            std::snprintf(page, sizeof page, "index.asp?id=%d&lid=%d", static_cast<int>(Environment.Country),
                          ReadLanguageIndex());
            StartPagePending = false;
            if (EnsureBrowser()) {
                startPageLoading_ = true;
                browser_->Navigate(InternalPrefix() + page);
            }
        }
    } else {
        ShowBrowser(false);
        startPageLoading_ = false;
    }
    if (!BrowserShown && now - LastLogoSwitch > kLogoSwitchMs) {
        LogoIndex = LogoIndex == 1 ? 2 : 1;
        LastLogoSwitch = now;
        CopyLogo(LogoIndex);
    }
    if (CheckLogPending && isActiveWindow()) {
        CheckLogPending = false;
        services_.Hooks.LookUpKnownError(this);
    }
}

bool TfrmMain::CheckMemory() {
    try {
        return services_.Hooks.CheckMemory(this);
    } catch (const std::exception&) {
        return true;
    }
}

TGameRequest TfrmMain::Request(std::uint8_t gameMode, std::int32_t value) const {
    TGameRequest r;
    r.GameMode = gameMode;
    r.Value = value;
    if (options_) {
        r.Windowed = options_->IsWindowed();
        r.AdapterEntry = options_->SelectedDevice();
        options_->GetSelectedMode(r.Mode);
    }
    return r;
}

void TfrmMain::RunGameOf(std::uint8_t gameMode, std::int32_t value) {
    std::string text;
    try {
        text = services_.RunGame(Request(gameMode, value));
    } catch (const std::exception& e) {
        text = e.what();
    }
    if (!text.empty()) messages_->Error(text);
    CheckLogPending = true;
}

void TfrmMain::RunBusy(const std::function<void()>& flow) {
    const bool outer = Busy;
    Busy = true;
    try {
        flow();
    } catch (...) {
        Busy = outer;
        throw;
    }
    Busy = outer;
    if (!Busy && rescanPending_) RescanScenarios();
}

void TfrmMain::Play() {
    if (Busy || !CanPlay() || !GameResources) return;
    // "More scenarios" is no scenario: playing it means fetching more.
    if (IsMoreSlot()) {
        actDownloadScenarios->trigger();
        return;
    }
    RunBusy([this] {
        try {
            if (CheckMemory()) {
                const int slot = GameResources->CurrentSlot();
                if (slot != 0) {
                    const auto& progress = Environment.Scenarios[static_cast<std::size_t>(slot)];
                    const std::int32_t best = progress.HighScores[0].Score;
                    RunGameOf(0, -1);
                    if (progress.HighScores[0].Score != best && services_.Hooks.HighscoreNew(this)) {
                        // A first best score enables publishing only now.
                        UpdateActions();
                        actPublishHighscore->trigger();
                    }
                } else {
                    services_.Hooks.RunLobby(*this);
                    CheckLogPending = true;
                }
            }
        } catch (const std::exception& e) {
            messages_->Error(e.what());
        }
        // A package installed while the game ran is picked up now.
        rescanPending_ = true;
    });
}

void TfrmMain::RescanScenarios() {
    if (Busy) {
        rescanPending_ = true;
        return;
    }
    rescanPending_ = false;
    if (!GameResources) return;
    const int before = GameResources->CurrentSlot();
    try {
        const int added = GameResources->Rescan();
        if (added == -1) {
            GameResources->SelectScenario(before);
        } else {
            GameResources->SelectScenario(added);
            LogMessage("Scenario " + std::to_string(added) + " offered", lkInfo);
            services_.Beep();
        }
    } catch (const std::exception& e) {
        LogMessage(std::string("Rescan: ") + e.what(), lkWarning);
    }
    DrawCarousel();
    UpdateActions();
}

void TfrmMain::InstanceMessage(std::uint32_t dwData) {
    LogMessage("Message " + std::to_string(dwData) + " from another program", lkInfo);
    RescanScenarios();
}

void TfrmMain::PlayNew() {
    if (!options_) return;
    options_->ResetScenarioProgress();
    options_->SaveEnvironment();
    Play();
}

void TfrmMain::GameOptions() {
    if (!options_) return;
    options_->exec();
    if (DisplayState == kDisplayToCheck && options_->DisplayUsable()) DisplayState = kDisplayUsable;
    ApplyCaptions();
    UpdateActions();
}

void TfrmMain::DeleteHighscore() {
    if (!options_ || !messages_->Confirm(LangText(64))) return;
    options_->ClearAllHighScores();
    options_->SaveEnvironment();
    UpdateActions();
}

void TfrmMain::ResetAll() {
    if (!messages_->WarnYesNo(LangText(65))) return;
    if (options_) options_->SetDefaults();
    DeleteUserFiles();
    DisplayState = kDisplayToCheck;
    HostsResolved = false;
    CheckDisplay();
    // The packages are gone: the carousel must not keep showing them. The
    // defaults start on the first scenario (or the next one there is), and
    // that is stored at once so no later save brings back the old slot.
    RescanScenarios();
    if (GameResources) {
        try {
            GameResources->SelectScenario(1);
        } catch (const std::exception& e) {
            LogMessage(std::string("Rescan: ") + e.what(), lkWarning);
        }
    }
    if (options_) options_->SaveEnvironment();
    DrawCarousel();
    UpdateActions();
}

void TfrmMain::Help() {
    if (!services_.Hooks.CheckInternet(true)) return;
    ResolveHosts();
    OpenURL(Environment.SupportURL.Str() + "help.htm");
}

void TfrmMain::GotoHighscore() {
    if (IsMoreSlot()) {
        messages_->Info(kSelectScenarioFirst);
        return;
    }
    QSize screen(800, 600);
    if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->size();
    char page[128];
    std::snprintf(page, sizeof page, "highscore/highscore.php?w=%d&h=%d&t=%d&l=%d", screen.width(), screen.height(),
                  GameResources->CurrentSlot(), ReadLanguageIndex());
    OpenURL(ScorePrefix() + page);
}

void TfrmMain::DownloadScenarios() {
    if (!services_.Hooks.CheckInternet(true)) return;
    ShowBrowser(Online());
    std::string list;
    for (int slot = 0; slot < kMoreSlot; ++slot) {
        if (!GameResources || !GameResources->ScenarioAvailable(slot)) continue;
        char two[8];
        std::snprintf(two, sizeof two, "%.2d", slot);
        list += two;
    }
    const std::string url =
        InternalPrefix() + "more.asp?inst=" + list + "&lid=" + std::to_string(ReadLanguageIndex());
    if (BrowserShown && browser_) browser_->Navigate(url);
    else OpenURL(url);
}

void TfrmMain::ReplayWorldBest() {
    if (IsMoreSlot()) {
        messages_->Info(kSelectScenarioFirst);
        return;
    }
    if (Busy) return;
    RunBusy([this] {
        const int result = services_.Hooks.DownloadWorldBest(this);
        if (result == -1) return;
        timer_.stop();
        if (CheckMemory()) RunGameOf(1, result);
        timer_.start();
    });
}

void TfrmMain::CheckNewVersion() {
    if (!services_.Hooks.CheckInternet(true)) return;
    std::string reply;
    bool fetched = false, failed = false;
    RunBusy([&] {
        TPleaseWaitScope wait(LangText(66));
        try {
            reply = services_.Hooks.HttpGetText(InternalPrefix() + "version.txt");
            fetched = true;
        } catch (const ETransferAborted&) {
            // Closing the box is no failure to report.
        } catch (const std::exception&) {
            failed = true;
        }
    });
    if (failed) messages_->Info(LangText(361));
    if (!fetched) return;
    // A reply that is not a version file is no answer; one without a page
    // offers nothing.
    const TVersionFile file = ReadVersionFile(reply);
    if (!file.Valid) {
        LogMessage("Version check: the reply is not a version file", lkInfo);
        messages_->Info(LangText(361));
        return;
    }
    if (file.Page.empty()) return;
    const std::string running = TdfsVersionInfoResource().FileVersion.Text();
    // The texts are compared, not the numbers (so keep a fixed digit count).
    if (file.Version > running) {
        if (messages_->Confirm(FormatS(LangText(67), {file.Version, file.Page}))) OpenURL(file.Page);
    } else {
        messages_->Info(LangText(68));
    }
}

void TfrmMain::About() {
    QImage background;
    try {
        if (GameResources) background = DecodePicture(GameResources->OpenResource("about.jpg"));
    } catch (const std::exception&) {
        // The box shows without its picture.
    }
    TfrmGameAbout about(this, &background, [this](const std::string& url) { OpenURL(url); });
    about.exec();
}


}  // namespace qv::ui
