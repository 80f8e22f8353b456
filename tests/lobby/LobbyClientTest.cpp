// The lobby client under a QCoreApplication against the test chat server
// on 127.0.0.1: the log-in matrix, deadlines on a clock the test moves, and
// two clients meeting in the room, chatting, inviting and reporting a duel.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/qv3Log.h"
#include "media/MainThread.h"
#include "media/ThdTimer.h"
#include "multiplayer/lobby/qv3DPClient.h"
#include "multiplayer/lobby/qv3DPConsts.h"
#include "platform/system/Clock.h"
#include "platform/system/Files.h"
#include "tests/lobby/ChatServer.h"
#include "tests/lobby/LobbySide.h"
#include "tests/lobby/LobbyTestSupport.h"
#include "tests/session/UdpStub.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace qv {
namespace {

using test::Key;
using test::PumpUntil;
using test::TSide;

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "tests_lobby";
    static char* argv[] = {name, nullptr};
    static auto* app = new QCoreApplication(argc, argv);
    return *app;
}


void PumpFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The program's own time-outs, the session and the client on one clock the
// test moves; the test runs the deadline checks.
TQVXDPClient::TOptions ProgramOptions(std::uint32_t port, test::TTestClock& clock) {
    TQVXDPClient::TOptions o;
    o.Port = port;
    o.Clock = &clock;
    o.Session.clock = &clock;
    o.RunTimer = false;
    return o;
}

class LobbyClient : public ::testing::Test {
protected:
    void SetUp() override { App(); }
    std::string Log() const { return folders_.Log(); }

    test::TLobbyFolders folders_;
};

TEST_F(LobbyClient, TwoPlayersMeetChatInviteAndReportADuel) {
    test::TChatServer server;
    TSide ann(server.Port()), bob(server.Port());
    ann.LogIn("ann", Key('A'));
    EXPECT_EQ(ann.client->LoginName(), "ANN");  // the name the server logged in
    EXPECT_EQ(ann.client->State(), TQVXDPClient::stLoggedIn);
    ASSERT_TRUE(ann.WaitFor("players ANN/0/0"));
    bob.LogIn("Bob", Key('B'));
    ASSERT_TRUE(bob.WaitFor("players ANN/0/0,BOB/0/0"));
    ASSERT_TRUE(ann.WaitFor("players ANN/0/0,BOB/0/0"));

    // Public lines come back to the sender too; a private line goes to one.
    ann.client->SendChat("hello <all>");
    ASSERT_TRUE(ann.WaitFor("chat 0 ANN hello <all>"));
    ASSERT_TRUE(bob.WaitFor("chat 0 ANN hello <all>"));
    bob.client->SendPrivateMessage("ANN", "psst");
    ASSERT_TRUE(ann.WaitFor("chat 1 BOB psst"));
    EXPECT_TRUE(server.Events().WaitFor("private BOB ANN psst"));
    bob.client->SendPrivateMessage("NOBODY", "lost");
    EXPECT_TRUE(server.Events().WaitFor("private BOB NOBODY lost"));

    // The invitation carries the inviter's address; the answer goes back.
    ann.client->SendInvitation("BOB", lobby::iaInvite);
    ASSERT_TRUE(bob.WaitFor("invitation ANN 1 127.0.0.1"));
    bob.client->AnswerInvitation("ANN", lobby::iaAccept);
    ASSERT_TRUE(ann.WaitFor("answer BOB 1"));

    // Both enter the duel, report opposite outcomes of one race, come back.
    ann.client->SetPlaying(1);
    bob.client->SetPlaying(1);
    ASSERT_TRUE(ann.WaitFor("players ANN/0/1,BOB/0/1"));
    const TGuid race = NewGuid();
    ann.client->SendDuelResult("BOB", race, true, 61000);
    bob.client->SendDuelResult("ANN", race, false, 59000);
    ann.client->SetPlaying(0);
    bob.client->SetPlaying(0);
    ASSERT_TRUE(server.Events().WaitFor("playing BOB 0"));
    ASSERT_TRUE(server.Events().WaitUntil([](const auto& l) {
        return std::count_if(l.begin(), l.end(), [](const std::string& s) { return s.rfind("result ", 0) == 0; }) == 2;
    }));
    auto results = server.Results();
    ASSERT_EQ(results.size(), 2u);
    std::sort(results.begin(), results.end(), [](const auto& a, const auto& b) { return a.From < b.From; });
    EXPECT_EQ(results[0].RaceId, race.ToRegistryHex32());
    EXPECT_EQ(results[1].RaceId, race.ToRegistryHex32());
    EXPECT_NE(results[0].Won, results[1].Won);
    EXPECT_EQ(results[0].Opponent, "BOB");
    EXPECT_EQ(results[0].Total, 61000);

    // A rank from the server updates the player in place.
    server.SetRank("BOB", 12);
    ASSERT_TRUE(ann.WaitFor("players ANN/0/0,BOB/12/0"));

    // Bob leaves: Ann's room shrinks; Bob's own room is emptied.
    bob.client->Disconnect();
    EXPECT_EQ(bob.Room(), "");
    ASSERT_TRUE(ann.WaitFor("players ANN/0/0"));
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_FALSE(bob.Has("lost"));  // leaving oneself is no lost session
}

TEST_F(LobbyClient, SendersDoNothingUnlessLoggedInAndInvalidInvitersGetNoAnswer) {
    test::TChatServer server;
    TSide ann(server.Port()), bob(server.Port());
    ann.client->SendChat("too early");
    ann.LogIn("ANN", Key('A'));
    bob.LogIn("BOB", Key('B'));
    bob.client->AnswerInvitation("A<B", lobby::iaAccept);
    bob.client->AnswerInvitation("AN", lobby::iaAccept);
    bob.client->SendChat("marker");
    ASSERT_TRUE(server.Events().WaitFor("chat BOB marker"));
    for (const auto& line : server.Events().Lines()) {
        EXPECT_EQ(line.find("too early"), std::string::npos);
        EXPECT_EQ(line.rfind("answer ", 0), std::string::npos) << line;
    }
}

TEST_F(LobbyClient, LogInRefusalsAndBrokenReplies) {
    struct Case {
        const char* name;
        test::TChatServer::TOptions options;
        std::string alias;
        std::string expect;
    };
    auto opts = [](auto set) {
        test::TChatServerOptions o;
        set(o);
        return o;
    };
    using test::TChatReplyMode;
    std::vector<Case> cases;
    cases.push_back({"invalid name", opts([](auto&) {}), "A:B", "error 7 []"});
    cases.push_back({"old version", opts([](auto& o) { o.OldVersion = true; }), "ANN", "error 9 []"});
    cases.push_back({"with reason", opts([](auto& o) { o.RefuseCode = 3, o.RefuseReason = "Database down"; }), "ANN", "error 3 [Database down]"});
    cases.push_back({"refused with code 0", opts([](auto& o) { o.RefuseCode = 0; }), "ANN", "error 4 []"});
    cases.push_back({"no reply data", opts([](auto& o) { o.Reply = TChatReplyMode::NoData; }), "ANN", "error 4 []"});
    cases.push_back({"corrupt reply", opts([](auto& o) { o.Reply = TChatReplyMode::Corrupt; }), "ANN", "error 4 []"});
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TChatServer server(c.options);
        TSide side(server.Port());
        side.client->Connect("127.0.0.1", Key('K'), c.alias);
        ASSERT_TRUE(side.WaitFor(c.expect));
        EXPECT_EQ(side.client->State(), TQVXDPClient::stIdle);
        EXPECT_FALSE(side.Has("connected"));
    }
}

TEST_F(LobbyClient, NameTakenAndSameKeyAreRefused) {
    test::TChatServer server;
    TSide ann(server.Port()), other(server.Port()), twin(server.Port());
    ann.LogIn("ANN", Key('A'));
    other.client->Connect("127.0.0.1", Key('O'), "ann");
    ASSERT_TRUE(other.WaitFor("error 8 []"));
    twin.client->Connect("127.0.0.1", Key('A'), "TWIN");
    ASSERT_TRUE(twin.WaitFor("error 6 []"));
    // Refused, the client may try again at once.
    other.LogIn("OTTO", Key('O'));
}

TEST_F(LobbyClient, ConnectOnlyFromIdleAndTheAliasIsCut) {
    test::TChatServerOptions options;
    options.UpperCaseNames = false;
    test::TChatServer server(options);
    TSide side(server.Port());
    side.client->Connect("127.0.0.1", Key('A'), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(side.client->State(), TQVXDPClient::stFindingServer);
    EXPECT_EQ(side.client->LoginName(), "ABCDEFGHIJKLMNO");
    side.client->Connect("127.0.0.1", Key('B'), "OTHER");  // not idle: nothing
    EXPECT_EQ(side.client->LoginKey(), Key('A'));
    ASSERT_TRUE(side.WaitFor("connected"));
    EXPECT_TRUE(server.Events().WaitFor("login ABCDEFGHIJKLMNO"));
    EXPECT_EQ(side.client->ConnectWindow(), 5 * 20 + 4 * 20);  // from the session's caps
}

TEST_F(LobbyClient, ConnectWindowFromDefaultCaps) {
    TQVXDPClient::TOptions o;
    o.RunTimer = false;
    TQVXDPClient client(o);
    EXPECT_EQ(client.ConnectWindow(), 13500);
}

TEST_F(LobbyClient, NoServerWithinSevenSecondsIsATimeOut) {
    sys::TManualClock clock(5'000'000'000'000);  // far beyond 2^32 ms: no wrap-around
    // A port with nobody behind it: take one from a server that is gone.
    std::uint32_t port = 0;
    {
        test::TChatServer gone;
        port = gone.Port();
    }
    TSide side(port, &clock);
    side.client->Connect("127.0.0.1", Key('A'), "ANN");
    clock.AdvanceMilliseconds(6999);
    side.client->CheckDeadline();
    EXPECT_EQ(side.client->State(), TQVXDPClient::stFindingServer);
    EXPECT_TRUE(side.lines.empty());
    clock.AdvanceMilliseconds(1);
    side.client->CheckDeadline();
    EXPECT_EQ(side.client->State(), TQVXDPClient::stIdle);
    ASSERT_EQ(side.lines, std::vector<std::string>{"error 5 []"});
    EXPECT_NE(Log().find("Connect failure"), std::string::npos);
}

// A timer wait that runs out at once: the timer ticks as fast as the main
// thread takes its ticks.
class TImpatientWait final : public ITimerWaitClock {
public:
    bool WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, std::uint32_t,
                 const std::function<bool()>& woken) override {
        wake.wait_for(lock, std::chrono::milliseconds(1), woken);
        return woken();
    }
};

TEST_F(LobbyClient, TheTimerChecksTheDeadlineOnTheMainThread) {
    SetSynchronizeWakeup([] { QTimer::singleShot(0, QCoreApplication::instance(), [] { CheckSynchronize(); }); });
    sys::TManualClock clock;
    TImpatientWait wait;
    std::uint32_t port = 0;
    {
        test::TChatServer gone;
        port = gone.Port();
    }
    {
        TQVXDPClient::TOptions o;
        o.Port = port;
        o.Clock = &clock;
        o.Session = test::FastOptions();
        o.TimerClock = &wait;
        TQVXDPClient client(o);
        std::vector<std::string> errors;
        QObject::connect(&client, &TQVXDPClient::Error,
                         [&](std::uint8_t code, const std::string&) { errors.push_back(std::to_string(code)); });
        client.Connect("127.0.0.1", Key('A'), "ANN");
        for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        EXPECT_TRUE(errors.empty());
        clock.AdvanceMilliseconds(7000);
        EXPECT_TRUE(PumpUntil([&] { return !errors.empty(); }));
        EXPECT_EQ(errors, std::vector<std::string>{"5"});
    }
    SetSynchronizeWakeup(nullptr);
}

TEST_F(LobbyClient, SilentServerRunsOutTheConnectWindow) {
    sys::TManualClock clock;
    test::TChatServerOptions options;
    options.Reply = test::TChatReplyMode::Hold;
    test::TChatServer server(options);
    TSide side(server.Port(), &clock);
    side.client->Connect("127.0.0.1", Key('A'), "ANN");
    ASSERT_TRUE(PumpUntil([&] { return side.client->State() == TQVXDPClient::stConnecting; }));
    // The log-in reaches the server, which holds its answer.
    PumpFor(300);
    // The window (180 ms with the test's caps) starts when connecting starts.
    clock.AdvanceMilliseconds(side.client->ConnectWindow() - 1);
    side.client->CheckDeadline();
    EXPECT_EQ(side.client->State(), TQVXDPClient::stConnecting);
    clock.AdvanceMilliseconds(1);
    side.client->CheckDeadline();
    ASSERT_EQ(side.lines, std::vector<std::string>{"error 5 []"});
    // The late acceptance is dropped, not reported.
    server.Release();
    ASSERT_TRUE(server.Events().WaitFor("login ANN"));
    EXPECT_TRUE(PumpUntil([&] { return server.Events().Count("leave ANN") == 1; }));
    EXPECT_EQ(side.lines, std::vector<std::string>{"error 5 []"});
    EXPECT_EQ(side.client->State(), TQVXDPClient::stIdle);
}

// The program's own time-outs, with the session on the same moved clock:
// a server that answers the search but never completes the connect is the
// time-out (code 5) at the first check after the connect window (the
// checks placed as late as they can be), never the session's own failure.
TEST_F(LobbyClient, AConnectThatNeverCompletesIsATimeOutWithinTheWindowAndOneCheck) {
    test::TUdpStub mute;
    test::TTestClock clock;
    TSide side(ProgramOptions(mute.Port(), clock));
    EXPECT_EQ(side.client->ConnectWindow(), 13500);
    side.client->Connect("127.0.0.1", Key('A'), "ANN");
    ASSERT_TRUE(mute.AnswerSearch(5000, kLobbyAppGuid, kLobbySessionName));
    ASSERT_TRUE(PumpUntil([&] { return side.client->State() == TQVXDPClient::stConnecting; }));
    const std::uint32_t start = clock.GetTickCount();
    std::uint32_t step = static_cast<std::uint32_t>(side.client->ConnectWindow() - 1) % TQVXDPClient::kDeadlineCheckMs;
    while (side.lines.empty() && clock.GetTickCount() - start < 60000) {
        clock.Advance(step);
        step = TQVXDPClient::kDeadlineCheckMs;
        PumpFor(60);  // the session's worker sees the time; what it posts is handled
        side.client->CheckDeadline();
    }
    EXPECT_EQ(side.lines, std::vector<std::string>{"error 5 []"});
    const std::uint32_t at = clock.GetTickCount() - start;
    EXPECT_EQ(at, 15499u);  // the window and at most one check
    std::printf("lobby connect time-out: %s at %.3f s\n", side.lines.empty() ? "-" : side.lines[0].c_str(),
                at / 1000.0);
}

// Disconnecting while the log-in is still under way ends that log-in: the
// next Connect connects anew instead of running into the old one.
TEST_F(LobbyClient, DisconnectThenConnectDuringALogInStartsAFreshConnect) {
    test::TUdpStub mute;
    test::TTestClock clock;
    TSide side(ProgramOptions(mute.Port(), clock));
    for (int attempt = 0; attempt < 2; ++attempt) {
        side.client->Connect("127.0.0.1", Key('A'), "ANN");
        ASSERT_TRUE(mute.AnswerSearch(5000, kLobbyAppGuid, kLobbySessionName)) << attempt;
        ASSERT_TRUE(PumpUntil([&] { return side.client->State() == TQVXDPClient::stConnecting; })) << attempt;
        PumpFor(50);
        EXPECT_EQ(Log().find("Connecting to the lobby"), std::string::npos) << attempt << Log();
        if (attempt == 0) side.client->Disconnect();
    }
    EXPECT_TRUE(side.lines.empty());
}

// The lobby through a relay, the client and the server on one clock the
// test moves, at the program's own time-outs (10 s link time-out): an
// outage shorter than that keeps the session and what was said in it
// arrives; silence of the whole time-out ends it.
TEST_F(LobbyClient, AnOutageShorterThanTheLinkTimeOutKeepsTheSessionSilenceOfItAllEndsIt) {
    test::TTestClock clock;
    test::TChatServerOptions serverOptions;
    serverOptions.Session = dpn::TSessionOptions{};
    serverOptions.Session.clock = &clock;
    test::TChatServer server(serverOptions);
    test::TUdpRelay relay(server.Port());
    TSide side(ProgramOptions(relay.Port(), clock));
    side.LogIn("ann", Key('A'));
    const std::uint32_t linkTimeoutMs = LobbySessionOptions().linkTimeoutMs;
    ASSERT_EQ(linkTimeoutMs, 10000u);
    const auto advance = [&](std::uint32_t ms) {
        for (std::uint32_t done = 0; done < ms;) {
            const std::uint32_t step = std::min<std::uint32_t>(250, ms - done);
            clock.Advance(step);
            done += step;
            PumpFor(2);
        }
    };

    relay.Cut(true);
    side.client->SendChat("into the outage");
    advance(linkTimeoutMs - 1);
    PumpFor(200);
    relay.Cut(false);
    ASSERT_TRUE(side.WaitFor("chat 0 ANN into the outage"));
    EXPECT_FALSE(side.Has("lost"));

    relay.Cut(true);
    PumpFor(100);  // nothing in flight any more
    advance(linkTimeoutMs);
    // Seen at the next turn of the worker, long before ENet's own resends
    // (in real time) could have given up.
    QElapsedTimer t;
    t.start();
    while (!side.Has("lost") && t.elapsed() < 60000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(side.Has("lost"));
    EXPECT_TRUE(server.Events().WaitFor("leave ANN", 1, std::chrono::seconds(60)));
}

// Leaving the lobby while its server no longer answers does not hold the
// caller (the window) for the far end.
TEST_F(LobbyClient, LeavingALobbyWhoseServerIsGoneIsPrompt) {
    test::TTestClock clock;
    test::TChatServer server;
    test::TUdpRelay relay(server.Port());
    TSide side(ProgramOptions(relay.Port(), clock));
    side.LogIn("ann", Key('A'));
    relay.Cut(true);
    side.client->SendChat("unheard");
    QElapsedTimer t;
    t.start();
    side.client->Disconnect();
    const auto ms = t.elapsed();
    std::printf("leaving the lobby, server silent: %lld ms\n", static_cast<long long>(ms));
    EXPECT_LT(ms, 500);
    EXPECT_EQ(side.client->State(), TQVXDPClient::stIdle);
}

TEST_F(LobbyClient, DroppedByTheServerIsASessionLost) {
    test::TChatServer server;
    TSide side(server.Port());
    side.LogIn("ANN", Key('A'));
    ASSERT_TRUE(server.Drop("ANN"));
    ASSERT_TRUE(side.WaitFor("lost"));
    EXPECT_EQ(side.client->State(), TQVXDPClient::stIdle);
    EXPECT_EQ(side.Room(), "");
    EXPECT_NE(Log().find("Session lost"), std::string::npos);
}

TEST_F(LobbyClient, HostileMessagesAreDroppedAndQueuesDrainInOrder) {
    using namespace std::string_literals;
    test::TChatServer server;
    TSide side(server.Port());
    side.LogIn("ANN", Key('A'));
    ASSERT_TRUE(side.WaitFor("players ANN/0/0"));
    auto bytes = [](const std::string& s) { return lobby::TBytes(s.begin(), s.end()); };
    server.Inject("ANN", bytes("h\x03\x00\x02\x00" "EVEhi!"s));          // length off
    server.Inject("ANN", bytes("j\x00\x00\x05\x00" "\x01\x00\x00\x00\x00" "X"s));  // overrunning room
    server.Inject("ANN", bytes("zzzzzz"s));
    // Two answers and two lines sent back to back arrive in order.
    server.Inject("ANN", test::TChatServer::AnswerBytes(2, "EVE"));
    server.Inject("ANN", test::TChatServer::AnswerBytes(1, "BOB"));
    server.Inject("ANN", test::TChatServer::ChatBytes(false, "EVE", "one"));
    server.Inject("ANN", test::TChatServer::ChatBytes(true, "EVE", "two"));
    ASSERT_TRUE(side.WaitFor("chat 1 EVE two"));
    ASSERT_TRUE(side.WaitFor("answer BOB 1"));
    std::vector<std::string> got;
    for (const auto& l : side.lines)
        if (l.rfind("chat", 0) == 0 || l.rfind("answer", 0) == 0 || l.rfind("players", 0) == 0) got.push_back(l);
    EXPECT_EQ(got, (std::vector<std::string>{"players ANN/0/0", "answer EVE 2", "answer BOB 1", "chat 0 EVE one",
                                             "chat 1 EVE two"}));
    EXPECT_NE(Log().find("Dropped a room message"), std::string::npos);
}

TEST_F(LobbyClient, ChatServerInAnotherProcess) {
    // It runs until the test has said all (its input ends), then tells what it received.
    test::ChildProcess chatd({test::BinaryDir() + "qvx-chatd", "--max-seconds", "600", "--until-input-ends"});
    const std::string first = chatd.ReadLine("the chat server's port");
    ASSERT_EQ(first.rfind("port ", 0), 0u) << first;
    TSide side(static_cast<std::uint32_t>(std::stoul(first.substr(5))));
    side.LogIn("ann", Key('A'));
    side.client->SendChat("over there");
    ASSERT_TRUE(side.WaitFor("chat 0 ANN over there"));
    side.client->Disconnect();
    chatd.CloseInput();
    EXPECT_EQ(chatd.ReadLine("the chat server's login line"), "login ANN");
    EXPECT_EQ(chatd.ReadLine("the chat server's chat line"), "chat ANN over there");
    EXPECT_EQ(chatd.Finish("the chat server's end"), 0);
}

}  // namespace
}  // namespace qv
