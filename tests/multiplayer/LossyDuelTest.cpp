// Duels over a network as two players have it: each pair's datagrams go
// through a relay on 127.0.0.1 that delays them 250 ms and drops one in ten,
// each way, and may cut everything for a while (an outage). The sessions
// run at the program's own time-outs; the pairs run side by side in one
// process. Each side plays a scripted race as the game core does (status
// while racing, its result at the end, an opponent who is out already
// outlived) and takes the outcome from the two results the moment live
// play ends; then it frees its peer, as the duel runner does, and reports
// the outcome to the lobby, a chat server the test runs.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "multiplayer/lobby/qv3DPClient.h"
#include "multiplayer/qv3DPPeer.h"
#include "tests/lobby/ChatServer.h"
#include "tests/multiplayer/DuelTestSupport.h"
#include "tests/session/SessionTestSupport.h"
#include "tests/session/UdpStub.h"

namespace qv::mp {
namespace {

using TClock = std::chrono::steady_clock;

QCoreApplication& App() {
    if (auto* app = QCoreApplication::instance()) return *app;
    static int argc = 1;
    static char name[] = "tests_multiplayer";
    static char* argv[] = {name, nullptr};
    static auto* app = new QCoreApplication(argc, argv);
    return *app;
}

constexpr test::TUdpRelay::TLink kLossy{250, 0.10, 1};

test::TUdpRelay::TLink Lossy(std::uint32_t seed) {
    test::TUdpRelay::TLink link = kLossy;
    link.seed = seed;
    return link;
}

// The joiner's search and connect time-outs are not what is tried here.
using test::TStoppedTimerClock;

// One side of a duel and the race it plays.
struct TRacer {
    std::unique_ptr<TCustomDuelPeer> peer;
    std::unique_ptr<TQVXDPClient> lobby;  // null: nobody is told
    std::int32_t raceMs = 0;              // when this side's own race ends
    bool running = false;
    TClock::time_point since;
    // "won", "lost", "both lost" or the close text; empty while undecided.
    std::string outcome;
    TGuid race;
    std::string opponent;
    TClock::time_point endedAt;

    std::int32_t RaceTime(TClock::time_point now) const {
        return static_cast<std::int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now - since).count());
    }

    // The moment live play ends, as the game core takes it.
    void Decide(const TDuelView& v) {
        if (!outcome.empty()) return;
        if (!v.CloseReasonText.empty()) outcome = v.CloseReasonText;
        else if (v.OwnResult < v.OpponentResult) outcome = "lost";
        else if (v.OpponentResult < v.OwnResult) outcome = "won";
        else outcome = "both lost";
        endedAt = TClock::now();
        race = peer->RaceId;
        opponent = peer->OpponentName;
    }

    // One frame.
    void Frame() {
        if (!peer) return;
        const TDuelView v = peer->View();
        const auto now = TClock::now();
        if (v.Phase == TDuelPhase::Joined) {
            const std::vector<std::uint8_t> level{1, 2, 3, 4, 5};
            peer->SendGameStart(NewGuid().ToWireBytes(), level);
        } else if (v.Phase == TDuelPhase::LevelReceived) {
            peer->SendReady();
        } else if (v.Phase == TDuelPhase::Running) {
            if (!running) {
                running = true;
                since = now;
            }
            const std::int32_t time = RaceTime(now);
            if (v.OpponentResult == -1 || v.OpponentResult >= time) {
                if (time >= raceMs && v.OwnResult == -1) peer->SendResult(time);
                else peer->SendStatus(time / 10, 300, false);
            } else if (v.OwnResult == -1) {
                peer->SendResult(time);
            }
        } else if (v.Phase == TDuelPhase::Closed && !running) {
            Decide(v);  // never got to race
        }
        if (!outcome.empty()) Done();
    }

    // The duel runner frees the peer; the lobby hears the outcome.
    void Done() {
        peer.reset();
        if (lobby && running) lobby->SendDuelResult(opponent, race, outcome == "won", RaceTime(endedAt));
    }

    void Watch() {
        peer->OnStateChange = [this](TCustomDuelPeer* p) {
            const TDuelView v = p->View();
            if (running && (v.Phase == TDuelPhase::Finished || v.Phase == TDuelPhase::Closed)) Decide(v);
        };
    }
};

struct TDuel {
    std::unique_ptr<test::TUdpRelay> relay;
    TRacer host, joiner;
};

TDuelPeerOptions ProgramOptions(std::uint32_t port, ITimerWaitClock* timerClock) {
    TDuelPeerOptions o;
    o.Port = port;
    o.TimerClock = timerClock;
    return o;
}

// Makes `count` duels, each pair through its own relay.
std::vector<std::unique_ptr<TDuel>> MakeDuels(int count, TStoppedTimerClock& timerClock, std::uint32_t seed) {
    std::vector<std::unique_ptr<TDuel>> duels;
    for (int i = 0; i < count; ++i) {
        auto d = std::make_unique<TDuel>();
        d->host.peer = std::make_unique<TDuelPeerHost>("Host" + std::to_string(i), ProgramOptions(0, nullptr));
        const std::uint32_t port = static_cast<TDuelPeerHost*>(d->host.peer.get())->Port();
        d->relay = std::make_unique<test::TUdpRelay>(port, Lossy(seed + static_cast<std::uint32_t>(i)));
        d->joiner.peer = std::make_unique<TDuelPeerClient>("Join" + std::to_string(i), "127.0.0.1",
                                                           ProgramOptions(d->relay->Port(), &timerClock));
        // Races of different lengths, some of them equal.
        d->host.raceMs = 2500 + 250 * (i % 3);
        d->joiner.raceMs = 2500 + 250 * ((i + i / 3) % 3);
        d->host.Watch();
        d->joiner.Watch();
        duels.push_back(std::move(d));
    }
    return duels;
}

bool Decided(const std::vector<std::unique_ptr<TDuel>>& duels) {
    for (const auto& d : duels)
        if (d->host.outcome.empty() || d->joiner.outcome.empty()) return false;
    return true;
}

// Frames every side until all duels are decided (a generous bound for a
// busy machine); `each` runs once a frame.
bool Play(std::vector<std::unique_ptr<TDuel>>& duels, const std::function<void()>& each = {}) {
    App();
    const auto end = TClock::now() + std::chrono::minutes(4);
    while (!Decided(duels)) {
        if (TClock::now() > end) return false;
        QCoreApplication::processEvents();
        for (auto& d : duels) {
            d->host.Frame();
            d->joiner.Frame();
        }
        if (each) each();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool Agree(const TDuel& d) {
    const std::string& h = d.host.outcome;
    const std::string& j = d.joiner.outcome;
    if (h == "won") return j == "lost";
    if (h == "lost") return j == "won";
    return h == j;
}

// "won 12, lost 12, both lost 4, Connection lost 0" and the like.
std::string Counts(const std::vector<std::unique_ptr<TDuel>>& duels) {
    std::map<std::string, int> n;
    int disagree = 0;
    for (const auto& d : duels) {
        ++n[d->host.outcome];
        ++n[d->joiner.outcome];
        disagree += !Agree(*d);
    }
    std::string text;
    for (const auto& [outcome, count] : n) text += outcome + " " + std::to_string(count) + ", ";
    return text + "disagreeing duels " + std::to_string(disagree);
}

TEST(DuelPeer, TwentyDuelsOverALossyLinkAllEndWithBothSidesAgreeing) {
    App();
    TStoppedTimerClock timerClock;
    auto duels = MakeDuels(20, timerClock, 100);
    ASSERT_TRUE(Play(duels)) << Counts(duels);
    std::printf("20 duels, 250 ms and 10 %% loss each way: %s\n", Counts(duels).c_str());
    for (const auto& d : duels) {
        EXPECT_TRUE(Agree(*d)) << d->host.outcome << " / " << d->joiner.outcome;
        EXPECT_NE(d->host.outcome, "Connection lost");
        EXPECT_EQ(d->host.race, d->joiner.race);
    }
}

// Log-in of each side to the stand-in lobby, over a lossy link of its own.
struct TLobbySide {
    std::unique_ptr<test::TUdpRelay> relay;
    bool lost = false;
};

TEST(DuelPeer, AFourSecondOutageMidRaceEndsEachDuelNormallyOnBothSidesAndTheLobbyHearsBoth) {
    App();
    test::TChatServerOptions serverOptions;
    serverOptions.Session = dpn::TSessionOptions{};  // the program's own time-outs
    test::TChatServer server(serverOptions);
    TStoppedTimerClock timerClock;
    auto duels = MakeDuels(4, timerClock, 200);
    std::vector<std::unique_ptr<TLobbySide>> lobbySides;
    std::vector<test::TUdpRelay*> cuts;
    int n = 0;
    for (auto& d : duels) {
        cuts.push_back(d->relay.get());
        for (TRacer* r : {&d->host, &d->joiner}) {
            auto side = std::make_unique<TLobbySide>();
            side->relay = std::make_unique<test::TUdpRelay>(server.Port(), Lossy(300 + n));
            TQVXDPClient::TOptions o;
            o.Port = side->relay->Port();
            o.RunTimer = false;
            r->lobby = std::make_unique<TQVXDPClient>(o);
            QObject::connect(r->lobby.get(), &TQVXDPClient::SessionLost, [s = side.get()] { s->lost = true; });
            r->lobby->Connect("127.0.0.1", std::string(32, static_cast<char>('A' + n)),
                              r->peer->IsHost() ? "Host" + std::to_string(n / 2) : "Join" + std::to_string(n / 2));
            cuts.push_back(side->relay.get());
            lobbySides.push_back(std::move(side));
            ++n;
        }
    }
    const auto loggedIn = [&] {
        for (const auto& d : duels)
            for (const TRacer* r : {&d->host, &d->joiner})
                if (r->lobby->State() != TQVXDPClient::stLoggedIn) return false;
        return true;
    };
    const auto end = TClock::now() + std::chrono::minutes(2);
    while (!loggedIn() && TClock::now() < end) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(loggedIn());

    // The outage: 4 s, starting once every duel has raced about 1.5 s, so
    // that the results are sent into it.
    std::optional<TClock::time_point> cutAt;
    bool restored = false;
    const auto outage = [&] {
        if (restored) return;
        if (!cutAt) {
            for (const auto& d : duels)
                if (!d->host.running || !d->joiner.running || d->host.RaceTime(TClock::now()) < 1500) return;
            cutAt = TClock::now();
            for (auto* relay : cuts) relay->Cut(true);
        } else if (TClock::now() - *cutAt >= std::chrono::seconds(4)) {
            for (auto* relay : cuts) relay->Cut(false);
            restored = true;
        }
    };
    ASSERT_TRUE(Play(duels, outage)) << Counts(duels);
    ASSERT_TRUE(restored) << Counts(duels);
    std::printf("4 duels with a 4 s outage mid-race: %s\n", Counts(duels).c_str());
    for (const auto& d : duels) {
        EXPECT_TRUE(Agree(*d)) << d->host.outcome << " / " << d->joiner.outcome;
        EXPECT_NE(d->host.outcome, "Connection lost");
        EXPECT_NE(d->joiner.outcome, "Connection lost");
        EXPECT_EQ(d->host.race, d->joiner.race);
    }
    // Both results of every duel reach the lobby.
    const auto reported = [&] { return server.Results().size() == 2 * duels.size(); };
    const auto until = TClock::now() + std::chrono::minutes(1);
    while (!reported() && TClock::now() < until) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto results = server.Results();
    ASSERT_EQ(results.size(), 2 * duels.size());
    for (const auto& d : duels) {
        int seen = 0;
        for (const auto& r : results) {
            if (r.RaceId != d->host.race.ToRegistryHex32()) continue;
            ++seen;
            const TRacer& racer = r.From.rfind("HOST", 0) == 0 ? d->host : d->joiner;
            EXPECT_EQ(r.Won, racer.outcome == "won") << r.From;
        }
        EXPECT_EQ(seen, 2) << d->host.race.ToRegistryHex32();
    }
    for (const auto& side : lobbySides) EXPECT_FALSE(side->lost);
}

// Frames every side for `ms` of real time.
void FrameFor(std::vector<std::unique_ptr<TDuel>>& duels, int ms) {
    const auto end = TClock::now() + std::chrono::milliseconds(ms);
    while (TClock::now() < end) {
        QCoreApplication::processEvents();
        for (auto& d : duels) {
            d->host.Frame();
            d->joiner.Frame();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// A 12 s outage mid-race, the sessions on a clock the test moves and at the
// program's 10 s link time-out: both sides end "Connection lost" when 10 s
// have passed without a word, and not before. (No loss here: the search
// would retry only as that clock moves.)
TEST(DuelPeer, ATwelveSecondOutageEndsTheDuelAsLostOnBothSidesAtTheLinkTimeOut) {
    App();
    test::TTestClock clock;
    TStoppedTimerClock timerClock;
    std::vector<std::unique_ptr<TDuel>> duels;
    duels.push_back(std::make_unique<TDuel>());
    TDuel& d = *duels.front();
    TDuelPeerOptions h = ProgramOptions(0, nullptr);
    h.Session.clock = &clock;
    d.host.peer = std::make_unique<TDuelPeerHost>("Host", h);
    d.relay = std::make_unique<test::TUdpRelay>(static_cast<TDuelPeerHost*>(d.host.peer.get())->Port(),
                                                test::TUdpRelay::TLink{250, 0.0, 1});
    TDuelPeerOptions j = ProgramOptions(d.relay->Port(), &timerClock);
    j.Session.clock = &clock;
    d.joiner.peer = std::make_unique<TDuelPeerClient>("Join", "127.0.0.1", j);
    d.host.raceMs = d.joiner.raceMs = 600000;  // racing all along
    d.host.Watch();
    d.joiner.Watch();
    const auto end = TClock::now() + std::chrono::minutes(2);
    while (!(d.host.running && d.joiner.running) && TClock::now() < end) FrameFor(duels, 10);
    ASSERT_TRUE(d.host.running && d.joiner.running);
    FrameFor(duels, 500);

    d.relay->Cut(true);
    FrameFor(duels, 600);  // what was on its way has arrived
    const std::uint32_t linkTimeoutMs = h.Session.linkTimeoutMs;
    ASSERT_EQ(linkTimeoutMs, 10000u);
    for (std::uint32_t t = 0; t + 250 < linkTimeoutMs; t += 250) {
        clock.Advance(250);
        FrameFor(duels, 2);
    }
    clock.Advance(249);
    FrameFor(duels, 300);
    EXPECT_EQ(d.host.outcome, "");
    EXPECT_EQ(d.joiner.outcome, "");
    clock.Advance(1);
    // Seen at the next turn of the workers, long before ENet's own resends
    // (in real time) could have given up.
    const auto until = TClock::now() + std::chrono::seconds(5);
    while ((d.host.outcome.empty() || d.joiner.outcome.empty()) && TClock::now() < until) FrameFor(duels, 10);
    clock.Advance(2000);
    d.relay->Cut(false);
    EXPECT_EQ(d.host.outcome, "Connection lost");
    EXPECT_EQ(d.joiner.outcome, "Connection lost");
}

}  // namespace
}  // namespace qv::mp
