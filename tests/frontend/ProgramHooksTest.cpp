// The main window with the program's own services: its online actions open
// the online forms, the new-best question follows a game, the known-error
// lookup runs after a failed run, and the host list comes from the key
// store's server. Every address is a local server on 127.0.0.1; message
// boxes and the system's browser are recorders.
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <typeinfo>
#include <vector>

#include "foundation/qv3Global.h"
#include "frontend/online/forms/qv3OnlineForms.h"
#include "frontend/online/qv3HostList.h"
#include "frontend/online/qv3Inet.h"
#include "frontend/online/qv3OnlineUi.h"
#include "frontend/qv3ProgramHooks.h"
#include "frontend/ui/qv3Main.h"
#include "frontend/ui/qv3Messages.h"
#include "frontend/ui/qv3Options.h"
#include "frontend/ui/qv3PleaseWait.h"
#include "platform/render/FakeD3D8.h"
#include "platform/system/Files.h"
#include "platform/system/KeyStore.h"
#include "sysinfo/MSI_Common.h"
#include "sysinfo/MSI_Memory.h"
#include "tests/frontend/FrontendFixture.h"
#include "tests/online/LocalHttpServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/UiBeat.h"

namespace qv {
namespace {

class NoMessages : public ui::IMessages {
public:
    bool Confirm(const std::string& t) override { return Record(t); }
    bool WarnYesNo(const std::string& t) override { return Record(t); }
    void Info(const std::string& t) override { Record(t); }
    void Error(const std::string& t) override { Record(t); }
    std::vector<std::string> shown;

private:
    bool Record(const std::string& t) {
        shown.push_back(t);
        return false;
    }
};

// The name of a dialog the tests know.
std::string FormName(QWidget* w) {
    if (dynamic_cast<TfrmHighscorePublish*>(w)) return "publish";
    if (dynamic_cast<TfrmHighscoreNew*>(w)) return "new best";
    if (dynamic_cast<TfrmErrorReportPublish*>(w)) return "error report";
    if (dynamic_cast<TfrmEmailCard*>(w)) return "card";
    if (dynamic_cast<TfrmDownloadWorldBest*>(w)) return "world's best";
    return w ? typeid(*w).name() : "none";
}

class ProgramHooksTest : public test::FrontendFixture {
protected:
    void SetUp() override {
        FrontendFixture::SetUp();
        MakeResources();
        world_->Adapters = {d3d::StandardFakeAdapter()};
        HostsResolved = false;
        InetSystem().IsConnected = [] { return true; };
        InetSystem().AutoDial = [] { return true; };
        InetSystem().OpenInBrowser = [this](const std::string& url) {
            opened_.push_back(url);
            return true;
        };
        InetSettings().ConnectTimeoutMs = 2000;
        InetSettings().TotalTimeoutMs = 5000;
        server_ = std::make_unique<test::LocalHttpServer>([this](httplib::Server& s) {
            s.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
                {
                    std::lock_guard lock(mutex_);
                    requests_.push_back(req.path);
                }
                if (req.path == "/hosts/qvx3hosts.txt") {
                    const std::string h = "127.0.0.1:" + std::to_string(server_->Port());
                    res.set_content("HighScoreHost=" + h + "\r\nHighScoreBase=/qvx3/\r\nInternalHost=" + h +
                                        "\r\nInternalBase=/qvx3internal/\r\nSupportURL=http://" + h +
                                        "/qvx3internal/\r\n",
                                    "text/plain");
                } else if (req.path == "/qvx3internal/errors.txt") {
                    res.set_content("crash1, y ,Access violation.*Frame\r\n", "text/plain");
                } else if (req.path == "/qvx3internal/version.txt") {
                    res.set_content("0.0.0.1\r\nhttp://127.0.0.1/new\r\n", "text/plain");
                } else if (req.path == "/qvx3/firstplace.php") {
                    res.set_content("ERR", "text/plain");
                } else {
                    res.status = 404;
                }
            });
        });
        // The host list's server is the local one.
        sys::TKeyStore(KeyStorePath()).WriteString(sys::kProgramKey, "HostListServer", server_->Host());
        CreateHostListFetch();
    }
    void TearDown() override {
        UninstallProgramUi();
        options_.reset();
        main_.reset();
        FreeHostListFetch();
        server_.reset();
        InetSystem() = TInetSystem{};
        InetSettings() = TInetSettings{};
        HostsResolved = false;
        FrontendFixture::TearDown();
    }

    void Start() {
        ui::TMainWindowServices s;
        s.Messages = &messages_;
        s.Hooks = MakeProgramHooks();
        s.TickCount = [] { return 100000u; };
        s.MakeDirect3D = [w = world_] {
            return std::make_unique<TzkD3D8>([w] { return d3d::CreateFakeDirect3D8(w); });
        };
        s.RunGame = [this](const ui::TGameRequest&) {
            if (onGame_) onGame_();
            return std::string();
        };
        main_ = std::make_unique<ui::TfrmMain>(std::move(s));
        options_ = std::make_unique<ui::TfrmGameOptions>(nullptr, main_->D3D8Enum(), UserDataDir + "env.dat",
                                                         TSettingsHost{}, &messages_);
        main_->SetOptions(options_.get());
        InstallProgramUi(main_.get());
        // The online services' boxes are recorded and answered from a list.
        OnlineUi().ShowMessage = [this](TMessageKind, const std::string& text) { shown_.push_back(text); };
        OnlineUi().Confirm = [this](const std::string& text) {
            const std::size_t n = asked_.size();
            asked_.push_back(text);
            return n < answers_.size() && answers_[n];
        };
        main_->show();
        QApplication::processEvents();
    }

    // Each dialog that opens is named in forms_ and then answered: the
    // new-best question by answerNewBest_, every other one is cancelled.
    void WatchDialogs() {
        auto* poll = new QTimer(main_.get());
        QObject::connect(poll, &QTimer::timeout, main_.get(), [this] {
            QWidget* w = QApplication::activeModalWidget();
            auto* dialog = qobject_cast<QDialog*>(w);
            if (!dialog || !dialog->isVisible() || dialog == options_.get()) return;
            // A please-wait box closes by itself when its wait ends.
            if (qobject_cast<ui::TfrmPleaseWait*>(dialog)) return;
            // The world's best download is let finish first.
            if (auto* wb = dynamic_cast<TfrmDownloadWorldBest*>(dialog); wb && wb->Download().CheckState() < 2) return;
            forms_.push_back(FormName(dialog));
            if (forms_.back() == "error report")
                reportLog_ = static_cast<TfrmErrorReportPublish*>(dialog)->LogText;
            if (forms_.back() == "new best") dialog->done(answerNewBest_ ? mrYes : mrNo);
            else dialog->reject();
        });
        poll->start(10);
    }
    void SetBestScore(std::int32_t score) {
        Environment.Scenarios[static_cast<std::size_t>(GameResources->CurrentSlot())].HighScores[0].Score = score;
    }
    std::vector<std::string> Requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }

    std::shared_ptr<d3d::TFakeWorld> world_ = std::make_shared<d3d::TFakeWorld>();
    NoMessages messages_;
    std::unique_ptr<test::LocalHttpServer> server_;
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::unique_ptr<ui::TfrmMain> main_;
    std::unique_ptr<ui::TfrmGameOptions> options_;
    std::function<void()> onGame_;
    std::vector<std::string> forms_, shown_, asked_, opened_;
    std::vector<bool> answers_;
    bool answerNewBest_ = false;
    std::string reportLog_;
};

TEST_F(ProgramHooksTest, TheMenusOpenTheOnlineForms) {
    Start();
    SetBestScore(4200);
    main_->UpdateActions();
    WatchDialogs();
    const std::vector<std::pair<QAction*, std::string>> cases = {
        {main_->actPublishHighscore, "publish"},
        {main_->actSendEmailCard, "card"},
        {main_->actPublishErrorReport, "error report"},
        {main_->actReplayWorldBest, "world's best"},
    };
    for (const auto& [action, form] : cases) {
        forms_.clear();
        ASSERT_TRUE(action->isEnabled()) << form;
        action->trigger();
        EXPECT_EQ(forms_, std::vector<std::string>{form});
    }
    // The error report carries the log; the world's best asked the score
    // server on this machine, whose refusal was shown.
    EXPECT_NE(reportLog_.find("Started at :"), std::string::npos);
    bool askedFirstPlace = false;
    for (const std::string& path : Requests()) askedFirstPlace = askedFirstPlace || path == "/qvx3/firstplace.php";
    EXPECT_TRUE(askedFirstPlace);
    EXPECT_FALSE(shown_.empty());

    // Help and the version check go to the servers of the host list.
    forms_.clear();
    main_->actHelp->trigger();
    EXPECT_EQ(opened_, std::vector<std::string>{"http://" + server_->Host() + "/qvx3internal/help.htm"});
    main_->actCheckNewVersion->trigger();
    EXPECT_EQ(messages_.shown, std::vector<std::string>{LangText(68)});
    EXPECT_TRUE(forms_.empty());
}

// Help and the highscore table through the program's own opener, a
// stand-in first on PATH that keeps its browser 20 s: the window's 10 ms
// timer keeps firing while both pages open.
TEST_F(ProgramHooksTest, HelpAndTheHighscoreTableOpenWhileTheWindowAnswers) {
    test::TempDir bin;
    bin.Write("xdg-open", "#!/bin/sh\necho \"$1\" > \"$0.$$.new\"\n/bin/mv \"$0.$$.new\" \"$0.$$\"\n"
                          "trap 'kill $!; exit 0' TERM\n/bin/sleep 20 &\nwait\n");
    ASSERT_EQ(::chmod((bin / "xdg-open").c_str(), 0755), 0);
    const char* oldPath = std::getenv("PATH");
    const std::string savedPath = oldPath ? oldPath : "";
    ::setenv("PATH", bin.Path().c_str(), 1);
    Start();
    InetSystem().OpenInBrowser = nullptr;  // the program's own opener
    test::TBeat beat;
    QTimer::singleShot(50, main_.get(), [this] {
        main_->actHelp->trigger();
        main_->actGotoHighscore->trigger();
    });
    const auto pumpUntil = [](const std::function<bool()>& done) {
        QElapsedTimer waited;
        waited.start();
        while (!done() && waited.elapsed() < 120000) QApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    };
    std::vector<pid_t> openers;
    std::vector<std::string> pages;
    const bool started = pumpUntil([&] {
        openers.clear();
        pages.clear();
        for (const auto& entry : std::filesystem::directory_iterator(bin.Path())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("xdg-open.", 0) != 0 || name.find(".new") != std::string::npos) continue;
            openers.push_back(static_cast<pid_t>(std::stol(name.substr(9))));
            pages.push_back(sys::ReadFileText(entry.path().string()).value_or(""));
        }
        return openers.size() == 2;
    });
    const qint64 until = beat.Now() + 1000;
    pumpUntil([&] { return beat.Now() >= until; });
    std::cout << "longest stall while Help and the highscore table opened: " << beat.Longest() << " ms\n";
    for (const pid_t pid : openers) ::kill(pid, SIGTERM);
    ::setenv("PATH", savedPath.c_str(), 1);
    EXPECT_TRUE(started);
    EXPECT_LT(beat.Longest(), 10000);  // each opener stays 20 s
    std::sort(pages.begin(), pages.end());
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_NE(pages[0].find("/qvx3/highscore/highscore.php?"), std::string::npos) << pages[0];
    EXPECT_EQ(pages[1], "http://" + server_->Host() + "/qvx3internal/help.htm\n");
    EXPECT_TRUE(shown_.empty());
    EXPECT_TRUE(pumpUntil([&] {
        return std::none_of(openers.begin(), openers.end(), [](pid_t pid) {
            return ::access(("/proc/" + std::to_string(pid)).c_str(), F_OK) == 0;
        });
    }));
}

TEST_F(ProgramHooksTest, PleaseWaitAndErrorBoxesAreQtWindows) {
    Start();
    auto waitBoxes = [] {
        std::vector<ui::TfrmPleaseWait*> boxes;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = dynamic_cast<ui::TfrmPleaseWait*>(w); b && b->isVisible()) boxes.push_back(b);
        return boxes;
    };
    {
        TPleaseWaitScope wait("publishes your highscore.");
        const auto boxes = waitBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_TRUE(boxes[0]->LabelText().endsWith("Quorvex publishes your highscore."));
    }
    QApplication::processEvents();
    EXPECT_TRUE(waitBoxes().empty());

    // An information object's failure in the message mode: a box titled
    // "Error" with the label and the reason.
    InstallErrorBox();
    QString title, text;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            text = box->text();
            box->reject();
        }
    });
    CallGetInfoGuarded("TCPU.GetInfo", emMessage, [] { throw std::runtime_error("no processor"); });
    EXPECT_EQ(title, "Error");
    EXPECT_EQ(text, "TCPU.GetInfo: no processor");
}

// Every box of the program goes one way: captioned by the program (or by
// the caller), and none opens while the program ends, so a closing program
// never waits on a box; questions then answer No.
TEST_F(ProgramHooksTest, EveryMessageBoxIsQuietWhileTheProgramEnds) {
    InstallQtOnlineUi(nullptr);
    InstallErrorBox();
    int opened = 0;
    QStringList captions;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ++opened;
            captions << box->windowTitle();
            box->reject();
        }
    });
    closer.start(10);
    ui::TQtMessages messages;
    const auto showAll = [&] {
        messages.Info("info");
        OnlineUi().ShowMessage(TMessageKind::Plain, "online");
        CallGetInfoGuarded("TCPU.GetInfo", emMessage, [] { throw std::runtime_error("no processor"); });
    };
    showAll();
    EXPECT_EQ(opened, 3);
    EXPECT_EQ(captions, QStringList({"Quorvex", "Quorvex", "Error"}));

    ui::SetMessagesSuppressed(true);
    opened = 0;
    showAll();
    EXPECT_FALSE(messages.Confirm("question"));
    EXPECT_FALSE(messages.WarnYesNo("warning"));
    EXPECT_FALSE(OnlineUi().Confirm("online question"));
    ui::SetMessagesSuppressed(false);
    EXPECT_EQ(opened, 0);
}

TEST_F(ProgramHooksTest, ANewBestScoreAsksAndYesOpensThePublishing) {
    Start();
    SetBestScore(100);
    onGame_ = [this] { SetBestScore(12500); };
    WatchDialogs();
    for (const bool yes : {true, false}) {
        forms_.clear();
        answerNewBest_ = yes;
        SetBestScore(100);
        main_->Play();
        const std::vector<std::string> expected =
            yes ? std::vector<std::string>{"new best", "publish"} : std::vector<std::string>{"new best"};
        EXPECT_EQ(forms_, expected) << yes;
    }
    // The same score again is no news.
    forms_.clear();
    onGame_ = nullptr;
    main_->Play();
    EXPECT_TRUE(forms_.empty());
}

TEST_F(ProgramHooksTest, AFailedRunIsLookedUpAndTheReportOffered) {
    LogMessage("Access violation at address 0 in Frame 3", lkError);
    Start();
    WatchDialogs();
    answers_ = {true, true};  // look it up; send a report
    QApplication::setActiveWindow(main_.get());
    main_->CheckLogPending = true;
    main_->Timer1Timer();
    // The host list came from the key store's server and the solution page
    // opened in the system's browser (no start page here).
    const std::string host = server_->Host();
    EXPECT_EQ(Environment.InternalHost.Str(), host);
    EXPECT_EQ(opened_, std::vector<std::string>{"http://" + host + "/qvx3internal/errors/crash1"});
    EXPECT_EQ(asked_.size(), 2u);
    EXPECT_EQ(forms_, std::vector<std::string>{"error report"});
    // Reported problems are not offered again.
    asked_.clear();
    main_->CheckLogPending = true;
    main_->Timer1Timer();
    EXPECT_TRUE(asked_.empty());
}

TEST_F(ProgramHooksTest, LowFreeAddressSpaceAsksBeforePlaying) {
    Start();
    struct Case {
        std::int64_t free;
        bool answer;
        bool asked, play;
    };
    for (const Case& c : {Case{23999, true, true, true}, Case{23999, false, true, false}, Case{0, false, true, false},
                          Case{24000, false, false, true}, Case{std::int64_t{1} << 46, false, false, true}}) {
        asked_.clear();
        answers_ = {c.answer};
        TMemory memory;
        memory.VirtualFree = c.free;
        EXPECT_EQ(ConfirmMemory(memory), c.play) << c.free;
        EXPECT_EQ(asked_.size(), c.asked ? 1u : 0u) << c.free;
    }
    // The report's version lines are the about box's.
    const TReportVersion v = ProgramReportVersion();
    EXPECT_EQ(v.ProductName, "Quorvex");
    EXPECT_FALSE(v.FileVersion.empty());
}

}  // namespace
}  // namespace qv
