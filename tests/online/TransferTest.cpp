#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sstream>
#include <thread>

#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "frontend/online/forms/qv3OnlineForms.h"
#include "frontend/online/qv3HostList.h"
#include "frontend/online/qv3KnownErrors.h"
#include "frontend/online/qv3PublishFlow.h"
#include "frontend/online/qv3ReportFlows.h"
#include "frontend/online/qv3ScoreRecord.h"
#include "frontend/online/qv3Transfer.h"
#include "frontend/online/qv3WorldBest.h"
#include "game/core/qv3ReplayFiles.h"
#include "game/logic/qv3ReplayPack.h"
#include "platform/system/Files.h"
#include "tests/frontend/QtApp.h"
#include "tests/online/HoldingServer.h"
#include "tests/online/OnlineFixture.h"

namespace qv::test {
namespace {

using namespace std::chrono_literals;

constexpr int kSlot = 3;

// A timer that should fire every 10 ms, and the longest gap it saw.
class Probe {
public:
    Probe() {
        clock_.start();
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.elapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
            ++ticks_;
        });
        timer_.start(10);
    }
    qint64 Longest() const { return longest_; }
    int Ticks() const { return ticks_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
    int ticks_ = 0;
};

class TransferTest : public OnlineTest {
protected:
    static void SetUpTestSuite() { QtApp(); }
    void SetUp() override {
        OnlineTest::SetUp();
        SetLanguage(0);
        // The production time-outs: the held answers must be cut by the abort.
        InetSettings().ConnectTimeoutMs = 10000;
        InetSettings().TotalTimeoutMs = 60000;
    }
    void TearDown() override {
        FreeHostListFetch();
        ASSERT_TRUE(ShutDownTransfers(2000));
        ResumeTransfers();
        OnlineTest::TearDown();
    }
    void UseServer(const HoldingServer& server) {
        HostsResolved = true;
        Environment.HighScoreHost = server.Host();
        Environment.HighScoreBase = "/qvx3/";
        Environment.InternalHost = server.Host();
        Environment.InternalBase = "/qvx3internal/";
        InetSettings().MailPort = server.Port();
    }
    // Runs `flow` on this (the UI) thread against a server that holds its
    // answer, and cancels it once the server has held the connection for a
    // while.
    void RunCancelled(HoldingServer& server, const std::function<void()>& flow, const char* name) {
        Probe probe;
        QElapsedTimer clock;
        clock.start();
        qint64 cancelledAt = -1;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (cancelledAt < 0 && clock.elapsed() >= 300 && server.WaitHolding(0ms)) {
                cancelledAt = clock.elapsed();
                AbortForegroundTransfers();
            }
        });
        watch.start(20);
        flow();
        const qint64 returnedAt = clock.elapsed();
        ASSERT_GE(cancelledAt, 0) << name << ": the flow ended before the server held it";
        EXPECT_LT(returnedAt - cancelledAt, 1000) << name;
        // The window kept running while the flow waited (generous for a
        // loaded machine; a blocked UI thread shows the whole wait).
        EXPECT_GT(probe.Ticks(), 5) << name;
        EXPECT_LT(probe.Longest(), 250) << name;
        // The wait ends at Cancel; the worker closes the connection right
        // after (the deadline only holds on a loaded machine).
        EXPECT_TRUE(server.WaitHeldClosed(30s)) << name << ": the connection stayed open";
        // A cancel is no error.
        EXPECT_TRUE(messages_.empty()) << name << ": " << (messages_.empty() ? "" : messages_[0].Text);
        EXPECT_EQ(Log().find("Error "), std::string::npos) << name << "\n" << Log();
    }
    std::string ValidPack() const {
        TReplayPack pack;
        pack.AddLevel(1, true, true, [] { return TReplayPack::TBytes{'z', 'k', 'q', '3', 'r', 1, 2, 3}; });
        const TReplayPack::TBytes bytes = pack.ToStream();
        return std::string(bytes.begin(), bytes.end());
    }
};

TEST_F(TransferTest, EveryFlowKeepsTheWindowRunningAndCancelClosesTheConnection) {
    struct Case {
        const char* name;
        std::vector<std::string> answers;  // before the request that is held
        std::function<void()> prepare;
        std::function<void()> flow;
        std::function<void()> after;
    };
    const std::string pack = ValidPack();
    TPublishFields fields;
    fields.Alias = "Ace";
    TKnownErrorLookup lookup;
    std::ostringstream stream;
    const Case cases[] = {
        {"text GET", {}, {},
         [&] { EXPECT_THROW(HttpGetText(ScorePrefix() + "a.txt"), ETransferAborted); }, {}},
        {"GET into a stream", {}, {},
         [&] { EXPECT_THROW(HttpGetToStream(ScorePrefix() + "a.bin", stream), ETransferAborted); },
         [&] { EXPECT_TRUE(stream.str().empty()); }},
        {"form POST", {}, {},
         [&] { EXPECT_THROW(HttpPostForm(ScorePrefix() + "card.php", "cs=1"), ETransferAborted); }, {}},
        {"multipart POST", {}, {},
         [&] {
             std::ostringstream reply;
             EXPECT_THROW(HttpPostMultipart(ScorePrefix() + "x.php", "b", "--b--\r\n", reply), ETransferAborted);
         },
         {}},
        {"error-report mail", {}, {},
         [&] { EXPECT_FALSE(SendErrorReportMail("me@example.com", "it broke", "")); }, {}},
        {"world's best, asking", {},
         [&] {
             ASSERT_TRUE(sys::WriteFileAtomic(WorldBestReplayPath(kSlot), pack));
             Environment.Scenarios[kSlot].WorldBestFile = "wb_old.gmp";
         },
         [&] {
             TWorldBestDownload download(kSlot);
             download.Run();
             EXPECT_EQ(download.CheckState(), 3);
             EXPECT_EQ(download.DownloadState(), 3);
             EXPECT_FALSE(download.ReplayEnabled());
         },
         [&] { EXPECT_EQ(sys::ReadFileText(WorldBestReplayPath(kSlot)).value_or(""), pack); }},
        {"world's best, downloading", {HoldingServer::Reply("wb_new.gmp")},
         [&] {
             ASSERT_TRUE(sys::WriteFileAtomic(WorldBestReplayPath(kSlot), pack));
             Environment.Scenarios[kSlot].WorldBestFile = "wb_old.gmp";
         },
         [&] {
             TWorldBestDownload download(kSlot);
             download.Run();
             EXPECT_EQ(download.CheckState(), 2);
             EXPECT_EQ(download.DownloadState(), 3);
             EXPECT_FALSE(download.ReplayEnabled());
         },
         [&] {
             // The file on disk stays, and nothing of the new one is stored.
             EXPECT_EQ(sys::ReadFileText(WorldBestReplayPath(kSlot)).value_or(""), pack);
             EXPECT_NE(Environment.Scenarios[kSlot].WorldBestFile, "wb_new.gmp");
             EXPECT_FALSE(sys::FileExists(WorldBestReplayPath(kSlot) + ".tmp"));
         }},
        {"publishing", {}, [&] { Environment.Scenarios[kSlot].HighScores[0].Score = 900; },
         [&] { EXPECT_EQ(PublishHighscore(fields, kSlot), TPublishResult::Failed); },
         [&] { EXPECT_TRUE(opened_.empty()); }},
        {"publishing, uploading after the UID", {HoldingServer::Reply("UID=u77\r\nUPID=replay\r\n")},
         [&] {
             Environment.Scenarios[kSlot].HighScores[0].Score = 900;
             ASSERT_TRUE(sys::WriteFileAtomic(MyBestReplayPath(kSlot), pack));
         },
         [&] { EXPECT_EQ(PublishHighscore(fields, kSlot), TPublishResult::Failed); },
         [&] {
             // The server's UID is kept, so the next publish makes no second user.
             EXPECT_EQ(Environment.ScoreUID, "u77");
             EXPECT_TRUE(opened_.empty());
         }},
        {"e-mail card", {}, {},
         [&] { EXPECT_EQ(SendEmailCard("x@y.z", "hi", "Ann", "ann@a.b"), TCardResult::Failed); }, {}},
        {"known errors", {}, {}, [&] { EXPECT_FALSE(lookup.FetchKnownErrors()); },
         [&] { EXPECT_FALSE(lookup.KnownErrors()); }},
    };
    for (const Case& c : cases) {
        HoldingServer server(c.answers);
        messages_.clear();
        Environment = TEnvironmentRecord{};
        UseServer(server);
        if (c.prepare) c.prepare();
        RunCancelled(server, c.flow, c.name);
        if (c.after) c.after();
        EXPECT_EQ(pleaseWaitOpen_, 0) << c.name;
    }
}

TEST_F(TransferTest, ALargeReplyNeverStallsTheWindow) {
    // 10 MB from the server where a flow waits for its reply: the window
    // keeps running while the bytes arrive and are taken apart.
    const std::string big = std::string("UID=u1\r\n") + std::string(10u << 20, 'x');
    TReplayPack pack;
    pack.AddLevel(1, true, true, [] { return TReplayPack::TBytes(9u << 20, 7); });
    const TReplayPack::TBytes packBytes = pack.ToStream();
    const std::string bigPack(packBytes.begin(), packBytes.end());
    TPublishFields fields;
    fields.Alias = "Ace";
    struct Case {
        const char* name;
        std::vector<std::string> answers;
        std::function<void()> flow;
    };
    const Case cases[] = {
        {"publishing", {HoldingServer::Reply(big)},
         [&] {
             Environment.Scenarios[kSlot].HighScores[0].Score = 900;
             // Far beyond any reply of the score server: refused unread.
             EXPECT_EQ(PublishHighscore(fields, kSlot), TPublishResult::Failed);
         }},
        {"e-mail card", {HoldingServer::Reply(big)}, [&] { SendEmailCard("x@y.z", "hi", "Ann", "ann@a.b"); }},
        {"world's best", {HoldingServer::Reply("wb_big.gmp"), HoldingServer::Reply(bigPack)},
         [&] {
             TWorldBestDownload download(kSlot);
             download.Run();
             EXPECT_EQ(download.DownloadState(), 2);
             EXPECT_EQ(sys::ReadFileText(WorldBestReplayPath(kSlot), kMaxReplayFileSize).value_or(""), bigPack);
         }},
    };
    for (const Case& c : cases) {
        HoldingServer server(c.answers);
        Environment = TEnvironmentRecord{};
        UseServer(server);
        messages_.clear();
        Probe probe;
        c.flow();
        // The gap up to the flow's end counts as well.
        const int ticks = probe.Ticks();
        while (probe.Ticks() == ticks) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        std::printf("%s: longest stall %lld ms\n", c.name, static_cast<long long>(probe.Longest()));
        // Only a bound that holds on a loaded machine, where a settings file
        // flushed to a busy disk alone can take most of a second; a UI
        // thread that takes the bytes apart itself stalls for seconds under
        // the sanitizers. The figure itself is measured by hand.
        EXPECT_LT(probe.Longest(), 2000) << c.name;
    }
}

TEST_F(TransferTest, TheWorldsBestFormsCancelEndsAHeldDownload) {
    HoldingServer server;
    UseServer(server);
    TfrmDownloadWorldBest form(kSlot);
    Probe probe;
    QElapsedTimer clock;
    qint64 cancelledAt = -1;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (cancelledAt < 0 && server.WaitHolding(0ms)) {
            cancelledAt = clock.elapsed();
            form.btnCancel->click();
        }
    });
    watch.start(20);
    clock.start();
    EXPECT_EQ(form.Execute(), -1);
    ASSERT_GE(cancelledAt, 0);
    EXPECT_LT(clock.elapsed() - cancelledAt, 1000);
    EXPECT_LT(probe.Longest(), 250);
    EXPECT_TRUE(server.WaitHeldClosed(30s));
    EXPECT_TRUE(messages_.empty());
}

// The report's mail waits under the please-wait box like every flow; its
// Esc stops the mail and the form stays open with what was typed.
TEST_F(TransferTest, StoppingTheReportsMailKeepsTheFormOpen) {
    HoldingServer server;
    UseServer(server);
    TfrmErrorReportPublish form(kSlot);
    form.LogText = "log";
    form.show();
    form.Memo1->setPlainText("What I did.");
    form.edtEmail->setText("me@example.org");
    RunCancelled(server, [&] { form.btnSendClick(); }, "error report form");
    EXPECT_EQ(pleaseWait_, std::vector<std::string>{LangText(425)});
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.Memo1->toPlainText(), "What I did.");
    EXPECT_TRUE(form.btnSend->isEnabled());
    form.reject();
}

TEST_F(TransferTest, WaitingForTheHostListWithNoneStored) {
    // The list server holds its answer; closing the box ends the wait (not
    // the download) and no address is made of an empty host.
    HoldingServer server;
    HostListFetch = std::make_unique<TThreadedHttpGet>("http://" + server.Host() + kHostListPath);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (server.WaitHolding(0ms)) AbortForegroundTransfers();
    });
    watch.start(20);
    Probe probe;
    TKnownErrorLookup lookup;
    EXPECT_FALSE(lookup.FetchKnownErrors());
    watch.stop();
    EXPECT_TRUE(HostWaitCancelled());
    EXPECT_FALSE(HostsResolved);
    EXPECT_TRUE(Environment.InternalHost.empty());
    EXPECT_LT(probe.Longest(), 250);
    EXPECT_EQ(pleaseWait_.size(), 1u);
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(HostListFetch->Started());
    EXPECT_FALSE(HostListFetch->Done());
    EXPECT_FALSE(server.WaitHeldClosed(100ms)) << "the shared download was stopped";
}

TEST_F(TransferTest, HostsArriveInTheBackgroundForEveryoneWaiting) {
    HoldingServer server({HoldingServer::Reply("HighScoreHost=scores.test\nInternalHost=web.test\n")});
    HostListFetch = std::make_unique<TThreadedHttpGet>("http://" + server.Host() + kHostListPath);
    ResolveHostsInBackground();  // the timer's call returns at once
    EXPECT_FALSE(HostsResolved);
    QObject context;
    std::vector<bool> calls;
    WhenHostsResolved(&context, [&](bool resolved) { calls.push_back(resolved); });
    WhenHostsResolved(&context, [&](bool resolved) { calls.push_back(resolved); });
    EXPECT_TRUE(calls.empty()) << "never called inside the call";
    QElapsedTimer clock;
    clock.start();
    while (calls.size() < 2 && clock.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(calls, (std::vector<bool>{true, true}));
    EXPECT_TRUE(HostsResolved);
    EXPECT_EQ(Environment.HighScoreHost, "scores.test");
    EXPECT_EQ(Environment.InternalHost, "web.test");
    // Resolved: the answer comes at once, still from the event loop.
    WhenHostsResolved(&context, [&](bool resolved) { calls.push_back(resolved); });
    EXPECT_EQ(calls.size(), 2u);
    QCoreApplication::processEvents();
    EXPECT_EQ(calls.size(), 3u);
}

TEST_F(TransferTest, ShutDownEndsHeldTransfersAtOnceAndRefusesNewOnes) {
    HoldingServer server;
    std::vector<TTransferOutcome> outcomes;
    TTransferPtr t = StartHttpGet("http://" + server.Host() + "/slow", 1024,
                                  [&](const TTransferOutcome& o) { outcomes.push_back(o); });
    ASSERT_TRUE(server.WaitHolding(5s));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(ShutDownTransfers(1000));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(t->Finished());
    EXPECT_TRUE(t->Outcome().Aborted);
    EXPECT_TRUE(server.WaitHeldClosed(1s));
    // After the end nothing more runs.
    TTransferPtr late = StartTransfer([] { return std::string("ran"); });
    late->WaitFinished();
    EXPECT_TRUE(late->Outcome().Aborted);
    EXPECT_THROW(RunTransfer([] { return std::string("ran"); }), ETransferAborted);
    QCoreApplication::processEvents();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].Aborted);
}

TEST_F(TransferTest, SizeCapAndResultsReachTheUiThread) {
    const std::string big(5000, 'x');
    HoldingServer server({HoldingServer::Reply("small"), HoldingServer::Reply(big)});
    std::vector<TTransferOutcome> outcomes;
    QObject context;
    const Qt::HANDLE ui = QThread::currentThreadId();
    bool onUi = true;
    auto done = [&](const TTransferOutcome& o) {
        onUi = onUi && QThread::currentThreadId() == ui;
        outcomes.push_back(o);
    };
    // Every worker has posted its result once it no longer counts as running.
    auto settle = [] {
        QElapsedTimer clock;
        clock.start();
        while (RunningTransfers() > 0 && clock.elapsed() < 5000) std::this_thread::sleep_for(5ms);
        QCoreApplication::processEvents();
    };
    StartHttpGet("http://" + server.Host() + "/a", 1000, done, &context)->WaitFinished();
    StartHttpGet("http://" + server.Host() + "/b", 1000, done, &context)->WaitFinished();
    settle();
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_TRUE(onUi);
    EXPECT_TRUE(outcomes[0].Ok);
    EXPECT_EQ(outcomes[0].Reply, "small");
    EXPECT_FALSE(outcomes[1].Ok);
    EXPECT_FALSE(outcomes[1].Aborted);
    EXPECT_EQ(outcomes[1].Error, "The reply is too large");
    // A context gone before the result: nothing is called.
    HoldingServer again({HoldingServer::Reply("late")});
    auto gone = std::make_unique<QObject>();
    TTransferPtr t = StartHttpGet("http://" + again.Host() + "/c", 1000, done, gone.get());
    gone.reset();
    t->WaitFinished();
    settle();
    EXPECT_EQ(outcomes.size(), 2u);
}

}  // namespace
}  // namespace qv::test
