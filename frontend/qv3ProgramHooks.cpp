#include "frontend/qv3ProgramHooks.h"

#include <QApplication>
#include <QPointer>

#include <exception>
#include <memory>

#include "foundation/TextUtil.h"
#include "foundation/qv3Environment.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "frontend/online/forms/qv3AddressBookForm.h"
#include "frontend/online/forms/qv3OnlineForms.h"
#include "frontend/online/qv3HostList.h"
#include "frontend/online/qv3Inet.h"
#include "frontend/online/qv3KnownErrors.h"
#include "frontend/online/qv3OnlineUi.h"
#include "frontend/online/qv3Transfer.h"
#include "frontend/ui/qv3Main.h"
#include "frontend/ui/qv3Messages.h"
#include "frontend/ui/qv3PleaseWait.h"
#include "frontend/ui/qv3VersionInfo.h"
#include "game/assets/qv3Resources.h"
#include "sysinfo/MSI_Common.h"
#include "sysinfo/MSI_Memory.h"

namespace qv {

namespace {

constexpr int kTextLowMemory = 62;

int CurrentSlot() { return GameResources ? GameResources->CurrentSlot() : 100; }

// Web addresses go through the online routines (which tell the player when
// no browser starts); the local start page is a file for the desktop.
void OpenAddress(const std::string& url) {
    if (StartsWithNoCase(url, "file://")) {
        ui::OpenUrlWithDesktop(url);
        return;
    }
    OpenURL(url);
}

}  // namespace

TReportVersion ProgramReportVersion() {
    const ui::TdfsVersionInfoResource info;
    TReportVersion v;
    v.CompanyName = info.GetByIndex(ui::pdCompanyName);
    v.FileVersion = info.FileVersion.Text();
    v.ProductName = info.GetByIndex(ui::pdProductName);
    v.ProductVersion = info.ProductVersion.Text();
    v.Comments = info.GetByIndex(ui::pdComments);
    v.BuildFlags = info.BuildFlagsText();
    return v;
}

bool ConfirmMemory(const TMemory& memory) {
    if (memory.VirtualFree >= kLowVirtualMemory) return true;
    return ConfirmOnline(LangText(kTextLowMemory));
}

ui::TFrontendHooks MakeProgramHooks() {
    ui::TFrontendHooks h;
    h.WriteStartupReport = [] { WriteStartupReport(ProgramReportVersion()); };
    h.CheckMemory = [](QWidget*) {
        try {
            TMemory memory;
            memory.GetInfo();
            return ConfirmMemory(memory);
        } catch (const std::exception& e) {
            // Unknown memory counts as enough: the game starts.
            LogMessage(std::string("Memory check failed: ") + e.what(), lkInfo);
            return true;
        }
    };

    h.IsInternetConnected = [] { return IsInternetConnected(); };
    h.CheckInternet = [](bool showMessage) { return CheckInternet(showMessage); };
    h.ResolveHosts = [] { ResolveHosts(); };
    h.ResolveHostsInBackground = [] {
        ResolveHostsInBackground();
        return !Environment.HighScoreHost.empty() && !Environment.InternalHost.empty();
    };
    h.HttpGetText = [](const std::string& url) { return HttpGetText(url); };
    h.AbortTransfers = AbortForegroundTransfers;
    h.OpenURL = OpenAddress;

    h.PublishHighscore = [](QWidget* owner) {
        TfrmHighscorePublish form(CurrentSlot(), owner);
        form.exec();
    };
    h.SendEmailCard = [](QWidget* owner) {
        TDesktopAddressBook book;
        TfrmEmailCard form(&book, owner);
        form.exec();
    };
    h.PublishErrorReport = [](QWidget* owner, const std::string& logText) {
        TfrmErrorReportPublish form(CurrentSlot(), owner);
        form.LogText = logText;
        form.exec();
    };
    h.DownloadWorldBest = [](QWidget* owner) {
        TfrmDownloadWorldBest form(CurrentSlot(), owner);
        return form.Execute();
    };
    h.HighscoreNew = [](QWidget* owner) {
        const int slot = CurrentSlot();
        if (slot < 0 || slot >= static_cast<int>(Environment.Scenarios.size())) return false;
        TfrmHighscoreNew form(Environment.Scenarios[static_cast<std::size_t>(slot)].HighScores[0].Score, owner);
        return form.exec() == mrYes;
    };

    // The known-error list is fetched once per run and kept.
    auto lookup = std::make_shared<TKnownErrorLookup>();
    h.LookUpKnownError = [lookup](QWidget* owner) {
        QPointer<ui::TfrmMain> main(qobject_cast<ui::TfrmMain*>(owner));
        lookup->IsMainWindowActive = [main] { return main && main->isActiveWindow(); };
        lookup->BrowserShown = [main] { return main && main->BrowserShown && main->Browser(); };
        lookup->NavigateBrowser = [main](const std::string& url, std::function<void(bool)> loaded) {
            if (main) {
                main->NavigateBrowser(url, std::move(loaded));
            } else {
                loaded(false);
            }
        };
        lookup->PublishErrorReport = [main] {
            if (main) main->actPublishErrorReport->trigger();
        };
        lookup->CheckLogPending = true;
        lookup->LookUpKnownError();
    };
    return h;
}

void InstallProgramUi(QWidget* mainWindow) {
    InstallQtOnlineUi(mainWindow);
    QPointer<QWidget> owner(mainWindow);
    OnlineUi().ShowPleaseWait = [owner](const std::string& text) -> std::function<void()> {
        QPointer<ui::TfrmPleaseWait> box = new ui::TfrmPleaseWait(owner);
        box->SetMessageText(text);
        box->OnClose = AbortForegroundTransfers;
        box->ShowAndRefresh();
        return [box] { delete box.data(); };
    };
    OnlinePictureSource() = [](const std::string& name) -> std::string {
        if (!GameResources) return {};
        try {
            const auto bytes = GameResources->OpenResource(name);
            return std::string(bytes.begin(), bytes.end());
        } catch (const std::exception&) {
            return {};
        }
    };
}

void InstallErrorBox() {
    SetErrorBoxHook([](const std::string& text) {
        ui::ShowMessageBox(QApplication::activeWindow(), ui::TBoxKind::Error, QString::fromStdString(text),
                           QStringLiteral("Error"));
    });
}

void UninstallProgramUi() {
    SetErrorBoxHook(nullptr);
    OnlinePictureSource() = nullptr;
    OnlineUi() = TOnlineUi{};
}

}  // namespace qv
