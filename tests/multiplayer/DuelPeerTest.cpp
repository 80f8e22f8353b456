// The two duel peers on loopback in one process, their messages handled by
// a Qt event loop the test pumps, "now" from manual clocks.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "foundation/qv3Log.h"
#include "multiplayer/qv3DPPeer.h"
#include "multiplayer/qv3DuelMessages.h"
#include "platform/session/SessionWire.h"
#include "tests/multiplayer/DuelTestSupport.h"
#include "tests/session/SessionTestSupport.h"
#include "tests/session/UdpStub.h"
#include "tests/support/TempDir.h"

namespace qv::mp {
namespace {

QCoreApplication& App() {
    if (auto* app = QCoreApplication::instance()) return *app;  // the suites share one
    static int argc = 1;
    static char name[] = "tests_multiplayer";
    static char* argv[] = {name, nullptr};
    static auto* app = new QCoreApplication(argc, argv);
    return *app;
}

// Pumps the event loop until `done` holds; false after 10 s.
bool PumpUntil(const std::function<bool()>& done) {
    App();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void PumpFor(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// A timer wait that never runs out: the test calls the time-out check itself.
using test::TStoppedTimerClock;

struct TSides {
    sys::TManualClock hostClock{1000000 * 1000LL};
    sys::TManualClock clientClock{5000000 * 1000LL};
    TStoppedTimerClock timerClock;
    std::unique_ptr<TDuelPeerHost> host;
    std::unique_ptr<TDuelPeerClient> client;
    std::vector<int> hostStates, clientStates;

    TSides() {
        App();
        TDuelPeerOptions h;
        h.Port = 0;  // an ephemeral port
        h.Clock = &hostClock;
        host = std::make_unique<TDuelPeerHost>("Hosting", h);
        host->OnStateChange = [this](TCustomDuelPeer* p) { hostStates.push_back(p->State()); };
    }
    void Join() {
        TDuelPeerOptions c;
        c.Port = host->Port();
        c.Clock = &clientClock;
        c.TimerClock = &timerClock;
        client = std::make_unique<TDuelPeerClient>("Joining", "127.0.0.1", c);
        client->OnStateChange = [this](TCustomDuelPeer* p) { clientStates.push_back(p->State()); };
    }
    void Connect() {
        Join();
        ASSERT_TRUE(PumpUntil([&] { return host->State() == 1 && client->State() == 2; }));
    }
    void Start(const std::vector<std::uint8_t>& level) {
        host->SendGameStart(NewGuid().ToWireBytes(), level);
        ASSERT_EQ(host->State(), 2);
        ASSERT_TRUE(PumpUntil([&] { return client->State() == 3; }));
        client->SendReady();
        ASSERT_EQ(client->State(), 4);
        ASSERT_TRUE(PumpUntil([&] { return host->State() == 3; }));
    }
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(DuelPeer, CloseReasonTexts) {
    const std::pair<int, const char*> cases[] = {
        {0, ""},
        {1, "Opponent quitted"},
        {2, "Quitted"},
        {3, ""},
        {4, "Connection lost"},
        {5, "Connection lost"},
        {6, "Time-out searching host"},
        {7, "Time-out connecting to host"},
        {8, "Host rejected connection"},
        {9, ""},
        {-1, ""},
    };
    for (const auto& [code, text] : cases) EXPECT_EQ(CloseReasonText(code), text) << code;
}

TEST(DuelPeer, WholeDuelOnLoopback) {
    test::TempDir dir;
    SetLogFile(dir / "duel.log");
    TSides s;
    // The host's own player is created first and taken for nobody.
    PumpFor(50);
    EXPECT_EQ(s.host->State(), 0);
    EXPECT_EQ(s.host->OpponentName, "");
    s.Connect();
    EXPECT_EQ(s.host->OpponentName, "Joining");
    EXPECT_EQ(s.client->OpponentName, "Hosting");
    EXPECT_EQ(s.clientStates, (std::vector<int>{1, 2}));
    // A further player is refused with a warning only.
    s.host->HandleMessage(TDuelEvent::PlayerCreated, 0, 4242);
    EXPECT_EQ(s.host->State(), 1);
    EXPECT_NE(ReadAll(LogFile()).find("Player connected in wrong state"), std::string::npos);

    std::vector<std::uint8_t> level(5000);
    for (std::size_t i = 0; i < level.size(); ++i) level[i] = static_cast<std::uint8_t>(i * 7);
    const auto race = NewGuid();
    s.host->SendGameStart(race.ToWireBytes(), level);
    EXPECT_EQ(s.host->State(), 2);
    ASSERT_TRUE(PumpUntil([&] { return s.client->State() == 3; }));
    EXPECT_EQ(s.client->ReceivedLevel(), level);
    EXPECT_EQ(s.client->RaceId, race);
    EXPECT_EQ(s.client->View().Phase, TDuelPhase::LevelReceived);
    s.client->SendReady();
    ASSERT_TRUE(PumpUntil([&] { return s.host->State() == 3; }));
    EXPECT_EQ(s.host->View().Phase, TDuelPhase::Running);

    // Live status, both ways; the age carries the time since the last reference event.
    EXPECT_EQ(s.client->OpponentScore, 100);
    EXPECT_EQ(s.client->OpponentCannonY, 300);
    s.host->SendStatus(0, 0, true);
    s.hostClock.AdvanceMilliseconds(300);
    ASSERT_TRUE(PumpUntil([&] {
        s.host->SendStatus(123456, 567, false);
        return s.client->OpponentScore == 123456;
    }));
    EXPECT_EQ(s.client->OpponentCannonY, 567);
    EXPECT_EQ(s.client->OpponentEventTime, 5000000u - 300u);
    s.clientClock.AdvanceMilliseconds(250);
    EXPECT_EQ(s.client->View().OpponentEventAge, 550u);
    ASSERT_TRUE(PumpUntil([&] {
        s.client->SendStatus(77, 1023, true);
        return s.host->OpponentScore == 77;
    }));
    EXPECT_EQ(s.host->OpponentCannonY, 1023);
    EXPECT_EQ(s.host->OpponentEventTime, 1000000u + 300u);

    // The client's result arrives first; the host's own result then finishes it at once.
    s.client->SendResult(41000);
    EXPECT_EQ(s.client->State(), 4);
    ASSERT_TRUE(PumpUntil([&] { return s.host->OpponentResult == 41000; }));
    EXPECT_EQ(s.host->State(), 3);
    s.host->SendResult(39000);
    EXPECT_EQ(s.host->State(), 4);
    ASSERT_TRUE(PumpUntil([&] { return s.client->State() == 5; }));
    EXPECT_EQ(s.client->OpponentResult, 39000);
    EXPECT_EQ(s.client->OwnResult, 41000);
    EXPECT_EQ(s.hostStates, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(s.clientStates, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(s.host->CloseReason, 0);

    // The joiner goes away after the finish: the host closes with "Connection lost".
    s.client.reset();
    ASSERT_TRUE(PumpUntil([&] { return s.host->State() == 5; }));
    EXPECT_EQ(s.host->CloseReason, kCloseConnectionLost);
    EXPECT_EQ(s.host->CloseReasonText(), "Connection lost");
    SetLogFile("");
}

TEST(DuelPeer, QuitEndsBothSides) {
    TSides s;
    s.Connect();
    s.Start({1, 2, 3});
    s.client->Quit();
    EXPECT_EQ(s.client->State(), 5);
    EXPECT_EQ(s.client->CloseReasonText(), "Quitted");
    s.client->Quit();  // a second quit sends nothing and changes nothing
    EXPECT_EQ(s.client->CloseReason, kCloseQuitted);
    ASSERT_TRUE(PumpUntil([&] { return s.host->State() == 5; }));
    EXPECT_EQ(s.host->CloseReasonText(), "Opponent quitted");
    // Quit after a close reason is set does nothing; Close twice counts once.
    s.host->Quit();
    EXPECT_EQ(s.host->CloseReason, kCloseOpponentQuitted);
    const auto changes = s.hostStates.size();
    s.host->Close();
    EXPECT_EQ(s.hostStates.size(), changes);
    // Results and status after the end are ignored.
    s.host->SendResult(5);
    EXPECT_EQ(s.host->OwnResult, -1);
}

TEST(DuelPeer, HostQuitLeavesItFinished) {
    TSides s;
    s.Connect();
    s.Start({9});
    s.host->Quit();
    EXPECT_EQ(s.host->State(), 4);
    EXPECT_EQ(s.host->CloseReasonText(), "Quitted");
    ASSERT_TRUE(PumpUntil([&] { return s.client->State() == 6; }));
    EXPECT_EQ(s.client->CloseReason, kCloseOpponentQuitted);
}

TEST(DuelPeer, SecondStartAndMessagesOutOfStateAreIgnored) {
    TSides s;
    s.Connect();
    const std::vector<std::uint8_t> level{1, 2, 3, 4};
    s.Start(level);
    const auto race = s.client->RaceId;
    // A second start (the host is past that state; forge one from the wire).
    const auto forged = *duel::EncodeStart(NewGuid(), std::vector<std::uint8_t>{9, 9});
    s.client->HandleReceive(forged.data(), static_cast<std::uint32_t>(forged.size()));
    PumpFor(30);
    EXPECT_EQ(s.client->ReceivedLevel(), level);
    EXPECT_EQ(s.client->RaceId, race);
    EXPECT_EQ(s.client->State(), 4);
    // Malformed status and result are dropped.
    const std::vector<std::uint8_t> shortStatus{203, 1, 2, 3, 4, 5};
    s.client->HandleReceive(shortStatus.data(), 6);
    const std::vector<std::uint8_t> longResult{202, 1, 0, 0, 0, 0};
    s.client->HandleReceive(longResult.data(), 6);
    PumpFor(30);
    EXPECT_EQ(s.client->OpponentScore, 100);
    EXPECT_EQ(s.client->OpponentResult, -1);
    // A ping is answered with the same tick; the answer reports the round trip.
    std::uint32_t roundTrip = 0;
    bool pinged = false;
    s.client->OnPing = [&](TCustomDuelPeer*, std::uint32_t ms) {
        roundTrip = ms;
        pinged = true;
    };
    const auto ping = duel::EncodePing(duel::kMsgPing, 5000000u - 25u);
    // The host answers the client's (forged) ping to the client.
    s.host->HandleReceive(ping.data(), static_cast<std::uint32_t>(ping.size()));
    ASSERT_TRUE(PumpUntil([&] { return pinged; }));
    EXPECT_EQ(roundTrip, 25u);
}

TEST(DuelPeer, StatusWaitsForAnEmptyQueueButStillResetsTheEventTime) {
    TSides s;
    s.Connect();
    s.Start({});
    // Fill the queue to the client with guaranteed messages it has not yet acknowledged.
    const std::vector<std::uint8_t> ready{204};
    for (int i = 0; i < 200; ++i)
        s.host->Peer->SendTo(s.host->OpponentId.load(), ready.data(), 1, 0, nullptr, false, false, false, false, true,
                             1, false, false);
    dpn::DWORD queued = 0;
    ASSERT_EQ(s.host->Peer->DirectPlay->GetSendQueueInfo(s.host->OpponentId.load(), &queued, nullptr), dpn::DPN_OK);
    ASSERT_GT(queued, 0u);
    s.hostClock.AdvanceMilliseconds(1234);
    s.host->SendStatus(999, 1, true);
    EXPECT_EQ(s.host->OwnEventTime, 1000000u + 1234u);
    PumpFor(100);
    EXPECT_EQ(s.client->OpponentScore, 100);
}

// A host that answers the search but never the connect.
class TMuteHost : public test::TUdpStub {
public:
    bool AnswerSearch(int ms) {
        return TUdpStub::AnswerSearch(ms, kDuelAppGuid, "tollbeck QVX 3.0 DUEL");  // matched without regard to case
    }
};

TEST(DuelPeer, ClientTimeouts) {
    App();
    TStoppedTimerClock timerClock;
    {
        // Nobody answers: closed with reason 6 exactly at 30 s.
        TMuteHost nobody;
        sys::TManualClock clock;
        TDuelPeerOptions o;
        o.Port = nobody.Port();
        o.Clock = &clock;
        o.TimerClock = &timerClock;
        TDuelPeerClient client("Joining", "127.0.0.1", o);
        clock.AdvanceMilliseconds(29999);
        client.CheckTimeouts();
        EXPECT_EQ(client.State(), 0);
        clock.AdvanceMilliseconds(1);
        client.CheckTimeouts();
        EXPECT_EQ(client.State(), 6);
        EXPECT_EQ(client.CloseReasonText(), "Time-out searching host");
    }
    {
        // Found after 25 s: the connect still gets its full 20 s.
        TMuteHost mute;
        sys::TManualClock clock;
        TDuelPeerOptions o;
        o.Port = mute.Port();
        o.Clock = &clock;
        o.TimerClock = &timerClock;
        o.Session.connectTimeoutMs = 600000;
        TDuelPeerClient client("Joining", "127.0.0.1", o);
        clock.AdvanceMilliseconds(25000);
        client.CheckTimeouts();
        ASSERT_TRUE(mute.AnswerSearch(5000));
        ASSERT_TRUE(PumpUntil([&] { return client.State() == 1; }));
        EXPECT_EQ(client.StateTime, 25000u);
        clock.AdvanceMilliseconds(19999);  // 44.999 s after the start
        client.CheckTimeouts();
        EXPECT_EQ(client.State(), 1);
        clock.AdvanceMilliseconds(1);
        client.CheckTimeouts();
        EXPECT_EQ(client.State(), 6);
        EXPECT_EQ(client.CloseReasonText(), "Time-out connecting to host");
        // Close twice is once; later checks change nothing.
        client.Close();
        clock.AdvanceMilliseconds(60000);
        client.CheckTimeouts();
        EXPECT_EQ(client.CloseReason, kCloseConnectTimeout);
    }
}

// The program's own time-outs, with the session on the same moved clock:
// a host that answers the search but never completes the connect is the
// 20 s connect time-out, seen by the first check after it (the checks
// placed as late as they can be), and never the session's own failure.
TEST(DuelPeer, AConnectThatNeverCompletesIsTheConnectTimeOut) {
    App();
    TMuteHost mute;
    test::TTestClock clock;
    TStoppedTimerClock timerClock;
    TDuelPeerOptions o;
    o.Port = mute.Port();
    o.Clock = &clock;
    o.TimerClock = &timerClock;
    o.Session.clock = &clock;
    EXPECT_EQ(o.Session.connectTimeoutMs, DuelSessionOptions().connectTimeoutMs);
    TDuelPeerClient client("Joining", "127.0.0.1", o);
    ASSERT_TRUE(mute.AnswerSearch(5000));
    ASSERT_TRUE(PumpUntil([&] { return client.State() == TDuelPeerClient::csConnecting; }));
    const std::uint32_t start = client.StateTime;
    std::uint32_t step = kDuelCheckMs - 1;
    while (client.State() == TDuelPeerClient::csConnecting && clock.GetTickCount() - start < 60000) {
        clock.Advance(step);
        step = kDuelCheckMs;
        PumpFor(60);  // the session's worker sees the time; what it posts is handled
        client.CheckTimeouts();
    }
    EXPECT_EQ(client.CloseReason, kCloseConnectTimeout) << client.CloseReasonText();
    EXPECT_EQ(client.CloseReasonText(), "Time-out connecting to host");
    EXPECT_EQ(clock.GetTickCount() - start, 21999u);  // 20 s and at most one check
    std::printf("duel connect time-out: reason %d at %.3f s\n", client.CloseReason,
                (clock.GetTickCount() - start) / 1000.0);
}

TEST(DuelPeer, FailedConnectIsARejection) {
    App();
    TDuelPeerOptions o;
    TMuteHost mute;
    sys::TManualClock clock;
    TStoppedTimerClock timerClock;
    o.Port = mute.Port();
    o.Clock = &clock;
    o.TimerClock = &timerClock;
    o.Session.connectTimeoutMs = 600000;
    TDuelPeerClient client("Joining", "127.0.0.1", o);
    ASSERT_TRUE(mute.AnswerSearch(5000));
    ASSERT_TRUE(PumpUntil([&] { return client.State() == 1; }));
    client.HandleMessage(TDuelEvent::ConnectComplete, 0, 0x80158410u);
    EXPECT_EQ(client.State(), 6);
    EXPECT_EQ(client.CloseReasonText(), "Host rejected connection");
}

}  // namespace
}  // namespace qv::mp
