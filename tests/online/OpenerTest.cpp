// Pages opened in the system's browser through the real opener (a stand-in
// xdg-open first on PATH): an opener that holds the browser for 20 s never
// holds the window, and one that fails is told to the player once it ends.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "foundation/qv3Language.h"
#include "frontend/online/qv3Inet.h"
#include "tests/frontend/QtApp.h"
#include "tests/online/OnlineFixture.h"
#include "tests/support/UiBeat.h"

namespace qv::test {
namespace {

class OpenerTest : public OnlineTest {
protected:
    static void SetUpTestSuite() { QtApp(); }
    void SetUp() override {
        OnlineTest::SetUp();
        SetLanguage(0);
        InetSystem().OpenInBrowser = nullptr;  // the real opener
        const char* old = std::getenv("PATH");
        savedPath_ = old ? old : "";
        ::setenv("PATH", (dir_ / "bin").c_str(), 1);
    }
    void TearDown() override {
        ::setenv("PATH", savedPath_.c_str(), 1);
        OnlineTest::TearDown();
    }
    void WriteOpener(const std::string& script) {
        dir_.Write("bin/xdg-open", "#!/bin/sh\n" + script);
        ASSERT_EQ(::chmod((dir_ / "bin/xdg-open").c_str(), 0755), 0);
    }
    // Turns the event loop until `done`, at most two minutes.
    static bool PumpUntil(const std::function<bool()>& done) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < 120000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }

    std::string savedPath_;
};

// Help and the highscore table, each opened with an opener that keeps its
// browser 20 s: a 10 ms timer of the window keeps firing throughout.
TEST_F(OpenerTest, AnOpenerThatStaysNeverHoldsTheWindow) {
    // Each opener writes its number, then ends (status 0) at SIGTERM.
    WriteOpener("echo $$ > \"$0.$$.new\"\n/bin/mv \"$0.$$.new\" \"$0.$$\"\ntrap 'kill $!; exit 0' TERM\n"
                "/bin/sleep 20 &\nwait\n");
    test::TBeat beat;
    QTimer::singleShot(50, [] {
        OpenURL("http://127.0.0.1/help.htm");
        OpenURL("http://127.0.0.1/highscore/highscore.php");
    });
    // Both openers running, then a second of the window's life with them.
    std::vector<std::string> pids;
    ASSERT_TRUE(PumpUntil([&] {
        pids.clear();
        for (const auto& entry : std::filesystem::directory_iterator(dir_ / "bin"))
            if (const std::string name = entry.path().filename().string();
                name.rfind("xdg-open.", 0) == 0 && name.find(".new") == std::string::npos)
                pids.push_back(name);
        return pids.size() == 2;
    }));
    const qint64 until = beat.Now() + 1000;
    PumpUntil([&] { return beat.Now() >= until; });
    std::cout << "longest stall while the pages opened: " << beat.Longest() << " ms\n";
    RecordProperty("LongestStallMs", static_cast<int>(beat.Longest()));
    EXPECT_LT(beat.Longest(), 10000);  // the openers stay 20 s
    EXPECT_TRUE(messages_.empty());
    for (const std::string& name : pids)
        ::kill(static_cast<pid_t>(std::stol(name.substr(name.find('.') + 1))), SIGTERM);
    // Ended and reaped: nothing of either left.
    EXPECT_TRUE(PumpUntil([&] {
        for (const std::string& name : pids)
            if (::access(("/proc/" + name.substr(name.find('.') + 1)).c_str(), F_OK) == 0) return false;
        return true;
    }));
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_TRUE(messages_.empty());
}

// An opener that finds no browser fails after it started: the player hears
// it then, with the address on the clipboard, as when none starts at all.
TEST_F(OpenerTest, AnOpenerThatFailsIsToldOnceItEnds) {
    WriteOpener("exit 3\n");
    OpenURL("http://127.0.0.1/page");
    ASSERT_TRUE(PumpUntil([&] { return !messages_.empty(); }));
    EXPECT_EQ(Texts(), std::vector<std::string>{LangText(354)});
    EXPECT_EQ(clipboard_, "http://127.0.0.1/page");
    EXPECT_NE(Log().find("* Warning: Unable to start Browser.\r\n"), std::string::npos);

    // No opener at all: told at once.
    messages_.clear();
    ::setenv("PATH", (dir_ / "none").c_str(), 1);
    OpenURL("http://127.0.0.1/other");
    EXPECT_EQ(Texts(), std::vector<std::string>{LangText(354)});
    EXPECT_EQ(clipboard_, "http://127.0.0.1/other");
}

}  // namespace
}  // namespace qv::test
