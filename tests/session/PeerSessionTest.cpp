// Hosting and joining with the peer wrapper in one process on loopback:
// enumeration, connect data and reply data, player events in order, sends
// both ways, the send queue, the end of a session from either side, a full
// session, cancelling, the re-entrant host-list lock and failing events.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <future>
#include <map>
#include <thread>

#include "foundation/TextUtil.h"
#include "foundation/qv3Log.h"
#include "media/zkDPPeer.h"
#include "platform/session/SessionWire.h"
#include "platform/system/Files.h"
#include "tests/session/SessionTestSupport.h"
#include "tests/session/UdpStub.h"
#include "tests/support/TempDir.h"

namespace qv {
namespace {

using namespace dpn;
using test::HexResult;

std::string Text(const std::uint8_t* data, std::uint32_t size) {
    return data == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(data), size);
}

// A peer wrapper whose events become lines: "create local|remote",
// "destroy local|remote <reason>", "enum <index> <session>",
// "connect <result> <reply>", "recv <text>", "terminate <result>",
// "indicate <size>".
struct TSide {
    test::TEvents ev;
    std::unique_ptr<TzkDPPeer> peer;
    std::mutex m;
    std::map<DPNID, std::string> labels;
    std::atomic<DPNID> remote{0};

    // The session goes first: its close still raises events that use the
    // members above.
    ~TSide() { peer.reset(); }

    explicit TSide(const std::string& name, const TSessionOptions& options = test::FastOptions()) {
        peer = std::make_unique<TzkDPPeer>(name, options);
        peer->OnCreatePlayer = [this](TzkDPPeer* s, DPNID id, void*&) {
            DPN_PLAYER_INFO info;
            EXPECT_EQ(s->DirectPlay->GetPeerInfo(id, &info), DPN_OK);
            const std::string label = (info.dwPlayerFlags & DPNPLAYER_LOCAL) ? "local" : "remote";
            if (label == "remote") remote = id;
            {
                std::lock_guard lock(m);
                labels[id] = label;
            }
            ev.Add("create " + label);
        };
        peer->OnDestroyPlayer = [this](TzkDPPeer*, DPNID id, void*, DWORD reason) {
            std::lock_guard lock(m);
            ev.Add("destroy " + labels[id] + " " + std::to_string(reason));
        };
        peer->OnEnumHostsResponse = [this](TzkDPPeer*, const DPNMSG_ENUM_HOSTS_RESPONSE& msg, int index) {
            ev.Add("enum " + std::to_string(index) + " " + msg.pApplicationDescription->SessionName);
        };
        peer->OnConnectComplete = [this](TzkDPPeer*, DPNHANDLE, void*, HRESULT r, const std::uint8_t* d,
                                         std::uint32_t n) { ev.Add("connect " + HexResult(r) + " " + Text(d, n)); };
        peer->OnReceive = [this](TzkDPPeer*, const std::uint8_t* d, std::uint32_t n) { ev.Add("recv " + Text(d, n)); };
        peer->OnTerminateSession = [this](TzkDPPeer*, HRESULT r, const std::uint8_t*, std::uint32_t) {
            ev.Add("terminate " + HexResult(r));
        };
        peer->OnAsyncOpComplete = [this](TzkDPPeer*, DPNHANDLE, void*, HRESULT r) { ev.Add("async " + HexResult(r)); };
    }

    void HostSession(int maxPlayers = 2) {
        peer->AddHostAddress(0, {}, {}, "127.0.0.1");
        peer->Host(test::kTestAppGuid, false, maxPlayers, "Test Duel", nullptr, 0, false);
    }
    std::uint32_t Port() const { return peer->DirectPlay->LocalPort(); }

    void Find(std::uint32_t port) {
        const std::size_t before = ev.Count("enum 0 Test Duel");
        peer->EnumHosts("127.0.0.1", port, test::kTestAppGuid, nullptr, 0, false, false, true);
        ASSERT_TRUE(ev.WaitFor("enum 0 Test Duel", before + 1));
    }
    void Join(const std::string& connectData = {}) {
        auto hold = peer->LockHosts();
        peer->CancelEnumHosts();
        peer->Connect(0, connectData.data(), static_cast<std::uint32_t>(connectData.size()), nullptr, false, false);
        hold.unlock();
    }
    void Send(const std::string& text, bool guaranteed = true) {
        peer->SendTo(remote, text.data(), static_cast<std::uint32_t>(text.size()), 0, nullptr, false, false,
                     !guaranteed, false, guaranteed, 1, false, false);
    }
    std::vector<std::string> Starting(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& l : ev.Lines())
            if (l.rfind(prefix, 0) == 0) out.push_back(l);
        return out;
    }
};

// A UDP socket on loopback that never answers: a host that is not there.
// A socket that reads datagrams and answers nothing unless told.
using TSilentHost = test::TUdpStub;

// A host and a joiner that met through a relay the test may cut.
struct TRelayedPair {
    TSide host, joiner;
    std::unique_ptr<test::TUdpRelay> relay;

    explicit TRelayedPair(const TSessionOptions& options = test::FastOptions())
        : host("Host", options), joiner("Joiner", options) {}
    void Meet() {
        host.HostSession();
        relay = std::make_unique<test::TUdpRelay>(host.Port());
        joiner.Find(relay->Port());
        joiner.Join();
        ASSERT_TRUE(joiner.ev.WaitFor("connect 00000000 "));
        ASSERT_TRUE(host.ev.WaitFor("create remote"));
    }
};

TEST(PeerSession, HostJoinExchangeAndHostEnd) {
    TSide host("Host"), joiner("Joiner");
    host.peer->OnIndicateConnect = [&](TzkDPPeer*, DPNMSG_INDICATE_CONNECT& m, bool& accept) {
        host.ev.Add("indicate " + std::to_string(m.dwUserConnectDataSize));
        const std::string reply = "ok:" + Text(m.pvUserConnectData, m.dwUserConnectDataSize).substr(0, 3);
        m.ReplyData.assign(reply.begin(), reply.end());
        accept = true;
    };
    host.HostSession();
    ASSERT_TRUE(host.ev.WaitFor("create local"));

    // Malformed datagrams at the session port are dropped.
    {
        TSilentHost stranger;
        auto response = wire::EncodeEnumResponse({});
        response.pop_back();
        auto query = wire::EncodeEnumQuery({1, test::kTestAppGuid, {}});
        query.push_back(0);
        for (const auto& bytes : {response, query, std::vector<std::uint8_t>{'Q', 'V', 'X'},
                                  std::vector<std::uint8_t>(600, 0xFF)})
            stranger.SendTo(host.Port(), bytes);
        EXPECT_TRUE(stranger.Receive(50).empty());
    }

    joiner.Find(host.Port());
    // Repeated answers of one session refresh its one entry.
    ASSERT_TRUE(joiner.ev.WaitFor("enum 0 Test Duel", 2));
    EXPECT_EQ(joiner.Starting("enum 1").size(), 0u);
    {
        auto hold = joiner.peer->LockHosts();
        EXPECT_EQ(joiner.peer->HostCount(), 1);
        TzkDPHostDesc desc;
        joiner.peer->GetHost(0, desc);
        hold.unlock();
        EXPECT_EQ(desc.ApplicationDesc.SessionName, "Test Duel");
        EXPECT_EQ(desc.ApplicationDesc.guidApplication, test::kTestAppGuid);
        EXPECT_FALSE(desc.ApplicationDesc.guidInstance.IsNull());
        EXPECT_EQ(desc.ApplicationDesc.dwMaxPlayers, 2u);
        EXPECT_EQ(desc.ApplicationDesc.dwCurrentPlayers, 1u);
        EXPECT_EQ(desc.HostAddress.Hostname, "127.0.0.1");
        EXPECT_EQ(desc.HostAddress.Port, host.Port());
    }

    const std::string login = "abc" + std::string(37, 'k');  // 40 bytes
    joiner.Join(login);
    ASSERT_TRUE(joiner.ev.WaitFor("connect 00000000 ok:abc"));
    ASSERT_TRUE(host.ev.WaitFor("create remote"));
    EXPECT_EQ(host.Starting("indicate"), std::vector<std::string>{"indicate 40"});
    // The joiner's players exist before its connect completes.
    const auto order = joiner.ev.Lines();
    const auto at = [&](const std::string& l) { return std::find(order.begin(), order.end(), l) - order.begin(); };
    EXPECT_LT(at("create local"), at("create remote"));
    EXPECT_LT(at("create remote"), at("connect 00000000 ok:abc"));
    EXPECT_TRUE(joiner.peer->Connected);
    DPN_PLAYER_INFO info;
    ASSERT_EQ(joiner.peer->DirectPlay->GetPeerInfo(joiner.remote, &info), DPN_OK);
    EXPECT_EQ(info.Name, "Host");
    EXPECT_EQ(info.dwPlayerFlags, DPNPLAYER_HOST);
    ASSERT_EQ(host.peer->DirectPlay->GetPeerInfo(host.remote, &info), DPN_OK);
    EXPECT_EQ(info.Name, "Joiner");
    EXPECT_EQ(info.dwPlayerFlags, 0u);

    // Both ways, guaranteed and not; an answer sent from inside the receive
    // event.
    host.peer->OnReceive = [&](TzkDPPeer* s, const std::uint8_t* d, std::uint32_t n) {
        host.ev.Add("recv " + Text(d, n));
        if (n == 5 && d[0] == 206) {
            const std::uint8_t answer[5] = {207, d[1], d[2], d[3], d[4]};
            s->SendTo(host.remote, answer, 5, 0, nullptr, false, false, false, false, true, 1, false, false);
        }
    };
    joiner.Send("to host");
    host.Send("to joiner");
    host.Send("status", false);
    const std::uint8_t ping[5] = {206, 1, 2, 3, 4};
    joiner.peer->SendTo(joiner.remote, ping, 5, 0, nullptr, false, false, false, false, true, 1, false, false);
    EXPECT_TRUE(host.ev.WaitFor("recv to host"));
    EXPECT_TRUE(joiner.ev.WaitFor("recv to joiner"));
    EXPECT_TRUE(joiner.ev.WaitFor("recv status"));
    EXPECT_TRUE(joiner.ev.WaitFor("recv " + std::string("\xCF\x01\x02\x03\x04", 5)));

    // A burst of large guaranteed messages waits in the queue, which then
    // drains.
    const std::string big(60000, 'x');
    for (int i = 0; i < 20; ++i) host.Send(big);
    DWORD queued = 0;
    ASSERT_EQ(host.peer->DirectPlay->GetSendQueueInfo(host.remote, &queued, nullptr), DPN_OK);
    EXPECT_GT(queued, 0u);
    ASSERT_TRUE(joiner.ev.WaitFor("recv " + big, 20));
    for (int i = 0; i < 1000 && queued != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        host.peer->DirectPlay->GetSendQueueInfo(host.remote, &queued, nullptr);
    }
    EXPECT_EQ(queued, 0u);
    EXPECT_EQ(host.peer->DirectPlay->GetSendQueueInfo(12345, &queued, nullptr), DPNERR_INVALIDPLAYER);

    // A third player finds the session full.
    TSide third("Third");
    third.Find(host.Port());
    third.Join();
    EXPECT_TRUE(third.ev.WaitFor("connect " + HexResult(DPNERR_SESSIONFULL) + " "));
    EXPECT_TRUE(third.Starting("create").empty());

    // The host ends the session: the joiner loses both players, then the
    // session; the host itself hears of no termination.
    host.peer->Disconnect();
    EXPECT_FALSE(host.peer->Connected);
    EXPECT_FALSE(host.peer->IsHost);
    EXPECT_EQ(host.Starting("destroy"), (std::vector<std::string>{"destroy remote 1", "destroy local 1"}));
    ASSERT_TRUE(joiner.ev.WaitFor("terminate " + HexResult(DPNERR_HOSTTERMINATEDSESSION)));
    EXPECT_EQ(joiner.Starting("destroy"), (std::vector<std::string>{"destroy remote 3", "destroy local 3"}));
    EXPECT_TRUE(host.Starting("terminate").empty());
}

TEST(PeerSession, JoinerLeavesAndClosingFlushesGuaranteedSends) {
    TSide host("Host"), joiner("Joiner");
    host.HostSession();
    joiner.Find(host.Port());
    joiner.Join();  // no OnIndicateConnect: accepted
    ASSERT_TRUE(joiner.ev.WaitFor("connect 00000000 "));
    for (int i = 0; i < 200; ++i) joiner.Send("m" + std::to_string(i));
    joiner.peer->Disconnect();
    const auto received = host.Starting("recv");
    ASSERT_TRUE(host.ev.WaitFor("destroy remote 1"));
    ASSERT_EQ(host.Starting("recv").size(), 200u);
    EXPECT_EQ(host.Starting("recv").back(), "recv m199");
    EXPECT_TRUE(joiner.Starting("terminate").empty());
    // Nothing runs after the close returned.
    const auto after = joiner.ev.Lines();
    host.peer->Disconnect();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(joiner.ev.Lines(), after);
    (void)received;
}

TEST(PeerSession, RefusalCarriesReplyData) {
    TSide host("Host"), joiner("Joiner");
    host.peer->OnIndicateConnect = [](TzkDPPeer*, DPNMSG_INDICATE_CONNECT& m, bool&) {
        m.ReplyData = {'n', 'o', ' ', 'w', 'a', 'y'};
    };
    host.HostSession();
    joiner.Find(host.Port());
    joiner.Join("let me in");
    EXPECT_TRUE(joiner.ev.WaitFor("connect " + HexResult(DPNERR_HOSTREJECTEDCONNECTION) + " no way"));
    EXPECT_FALSE(joiner.peer->Connected);
    EXPECT_TRUE(host.Starting("create remote").empty());
    // The refused object can look again.
    joiner.Find(host.Port());
}

TEST(PeerSession, ConnectWithoutAnswerTimesOut) {
    test::TTestClock clock;
    TSilentHost nobody;
    test::TEvents ev;
    auto session = std::make_unique<TSession>(ERole::Peer, test::FastOptions(&clock));
    ASSERT_EQ(session->Initialize([&](DWORD type, void* msg) {
        if (type == DPN_MSGID_CONNECT_COMPLETE)
            ev.Add("connect " + HexResult(static_cast<DPNMSG_CONNECT_COMPLETE*>(msg)->hResultCode));
        return DPN_OK;
    }),
              DPN_OK);
    TAddress there{"127.0.0.1", nobody.Port(), {}, {}, {}};
    DPNHANDLE handle = 0;
    ASSERT_EQ(session->Connect({}, there, {}, nullptr, 0, nullptr, nullptr, &handle, 0), DPNSUCCESS_PENDING);
    EXPECT_FALSE(nobody.Receive(5000).empty());  // ENet's connect reached it
    EXPECT_TRUE(ev.Lines().empty());
    clock.Advance(5000);
    EXPECT_TRUE(ev.WaitFor("connect " + HexResult(DPNERR_NORESPONSE)));
    // Without a host name there is nothing to connect to.
    TAddress bad{"", 1, {}, {}, {}};
    EXPECT_EQ(session->Connect({}, bad, {}, nullptr, 0, nullptr, nullptr, &handle, 0), DPNERR_INVALIDHOSTADDRESS);
}

TEST(PeerSession, CancelStopsTheQueries) {
    test::TTestClock clock;
    TSilentHost fake;
    TSide joiner("Joiner", test::FastOptions(&clock));
    joiner.peer->EnumHosts("127.0.0.1", fake.Port(), test::kTestAppGuid, "hi", 2, false, false, false);
    for (int i = 0; i < 3; ++i) {
        const auto datagram = fake.Receive(5000);
        const auto query = wire::DecodeEnumQuery(datagram);
        ASSERT_TRUE(query) << "query " << i;
        EXPECT_EQ(query->Application, test::kTestAppGuid);
        EXPECT_EQ(query->UserData, (std::vector<std::uint8_t>{'h', 'i'}));
        clock.Advance(40);  // retry interval + time-out
    }
    joiner.peer->CancelEnumHosts();
    EXPECT_EQ(joiner.peer->EnumHandle, 0u);
    ASSERT_TRUE(joiner.ev.WaitFor("async " + HexResult(DPNERR_USERCANCEL)));
    while (!fake.Receive(20).empty()) {
    }
    for (int i = 0; i < 5; ++i) {
        clock.Advance(40);
        EXPECT_TRUE(fake.Receive(20).empty());
    }
}

TEST(PeerSession, EnumerationStartsWithAnEmptyListAndBroadcastIsRefused) {
    TSide host("Host"), joiner("Joiner");
    host.HostSession();
    joiner.Find(host.Port());
    TSilentHost elsewhere;
    joiner.peer->EnumHosts("127.0.0.1", elsewhere.Port(), test::kTestAppGuid, nullptr, 0, false, false, false);
    EXPECT_EQ(joiner.peer->HostCount(), 0);
    joiner.peer->CancelEnumHosts();
    // No host given: a broadcast, which a test never sends.
    try {
        joiner.peer->EnumHosts("", 3680, test::kTestAppGuid, nullptr, 0, false, false, true);
        FAIL() << "no exception";
    } catch (const EDirectPlayError& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to enumerate hosts");
        EXPECT_EQ(e.ErrorCode, static_cast<std::uint32_t>(DPNERR_INVALIDHOSTADDRESS));
    }
    // A fresh object disconnects without doing anything.
    TzkDPPeer fresh("Fresh", test::FastOptions());
    EXPECT_NO_THROW(fresh.Disconnect());
    EXPECT_FALSE(fresh.Connected);
}

TEST(PeerSession, HostListLockHeldAcrossCancelAndConnect) {
    TSide host("Host");
    auto fast = test::FastOptions();
    fast.enumRetryMs = 1;
    fast.enumTimeoutMs = 1;
    TSide joiner("Joiner", fast);
    host.HostSession();
    joiner.Find(host.Port());
    // The worker blocks on the lock with the next answer while the test
    // holds it and cancels and connects, as the lobby and the duel do.
    auto done = std::async(std::launch::async, [&] {
        auto hold = joiner.peer->LockHosts();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        auto again = joiner.peer->LockHosts();  // re-entrant
        joiner.peer->CancelEnumHosts();
        joiner.peer->Connect(0, nullptr, 0, nullptr, false, false);
        again.unlock();
        hold.unlock();
    });
    ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(joiner.ev.WaitFor("connect 00000000 "));
}

TEST(PeerSession, FailingEventsAreLoggedAndAnswered) {
    test::TempDir dir;
    SetLogFile(dir / "quorvex.log");
    TSide host("Host"), joiner("Joiner");
    joiner.peer->OnReceive = [&](TzkDPPeer*, const std::uint8_t*, std::uint32_t) {
        joiner.ev.Add("recv");
        throw Exception("boom");
    };
    host.peer->OnIndicateConnect = [](TzkDPPeer*, DPNMSG_INDICATE_CONNECT&, bool& accept) {
        accept = true;
        throw Exception("indicate failed");
    };
    host.HostSession();
    joiner.Find(host.Port());
    joiner.Join();
    // The event accepted, then raised: the answer stays a refusal.
    ASSERT_TRUE(joiner.ev.WaitFor("connect " + HexResult(DPNERR_HOSTREJECTEDCONNECTION) + " "));
    host.peer->OnIndicateConnect = nullptr;
    joiner.Find(host.Port());
    joiner.Join();
    ASSERT_TRUE(joiner.ev.WaitFor("connect 00000000 "));
    host.Send("x");
    host.Send("y");
    ASSERT_TRUE(joiner.ev.WaitFor("recv", 2));  // the worker went on
    const auto logged = [&] {
        const auto text = sys::ReadFileText(dir / "quorvex.log").value_or("");
        return text.find("* Info: ProcessMessage mt:4294901777 error: boom") != std::string::npos &&
               text.find("* Info: ProcessMessage mt:4294901774 error: indicate failed") != std::string::npos;
    };
    for (int i = 0; i < 200 && !logged(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(logged());
    joiner.peer.reset();
    host.peer.reset();
    SetLogFile("");
}

// A reply to a search sent to a named host counts only from that host, on
// the port asked.
TEST(PeerSession, SearchRepliesCountOnlyFromTheHostAsked) {
    test::TTestClock clock;
    test::TUdpStub asked, stranger;
    TSide joiner("Joiner", test::FastOptions(&clock));
    joiner.peer->EnumHosts("127.0.0.1", asked.Port(), test::kTestAppGuid, nullptr, 0, false, false, false);
    std::uint32_t from = 0;
    const auto query = wire::DecodeEnumQuery(asked.Receive(5000, &from));
    ASSERT_TRUE(query);
    stranger.SendTo(from, test::TUdpStub::SearchAnswer(query->Stamp, test::kTestAppGuid, "Stranger"));
    asked.SendTo(from, test::TUdpStub::SearchAnswer(query->Stamp, test::kTestAppGuid, "Asked"));
    ASSERT_TRUE(joiner.ev.WaitFor("enum 0 Asked"));
    for (const auto& line : joiner.ev.Lines()) EXPECT_EQ(line.find("Stranger"), std::string::npos) << line;
}

// Host names are looked up off the worker: a lookup that hangs holds up
// neither closing nor anything else, and what it finds is where the
// search goes.
TEST(PeerSession, NameLookupsHoldUpNothing) {
    struct TLookups {
        std::mutex m;
        std::condition_variable cv;
        bool released = false;
        std::vector<std::string> asked;
    };
    auto lookups = std::make_shared<TLookups>();
    test::TUdpStub asked;
    auto options = test::FastOptions();
    options.resolveHost = [lookups](const std::string& name) {
        std::unique_lock lock(lookups->m);
        lookups->asked.push_back(name);
        lookups->cv.notify_all();
        if (name == "hanging.test") lookups->cv.wait(lock, [&] { return lookups->released; });
        return name == "lobby.test" ? std::vector<std::uint32_t>{htonl(INADDR_LOOPBACK)} : std::vector<std::uint32_t>{};
    };
    {
        TSide joiner("Joiner", options);
        joiner.peer->EnumHosts("lobby.test", asked.Port(), test::kTestAppGuid, nullptr, 0, false, false, false);
        ASSERT_TRUE(asked.AnswerSearch(5000, test::kTestAppGuid, "Found"));
        ASSERT_TRUE(joiner.ev.WaitFor("enum 0 Found"));
        joiner.peer->CancelEnumHosts();
        joiner.peer->EnumHosts("nowhere.test", asked.Port(), test::kTestAppGuid, nullptr, 0, false, false, false);
        EXPECT_TRUE(joiner.ev.WaitFor("async " + HexResult(DPNERR_INVALIDHOSTADDRESS)));
    }
    TSide joiner("Joiner", options);
    joiner.peer->EnumHosts("hanging.test", asked.Port(), test::kTestAppGuid, nullptr, 0, false, false, false);
    {
        std::unique_lock lock(lookups->m);
        ASSERT_TRUE(lookups->cv.wait_for(lock, std::chrono::seconds(10), [&] { return lookups->asked.size() == 3; }));
    }
    const auto before = std::chrono::steady_clock::now();
    joiner.peer.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
    {
        std::lock_guard lock(lookups->m);
        lookups->released = true;
    }
    lookups->cv.notify_all();
    EXPECT_EQ(lookups->asked, (std::vector<std::string>{"lobby.test", "nowhere.test", "hanging.test"}));
}

// ENet's own clock runs in real time, so the outage is real: 4 s of
// nothing both ways, under the layer's own 10 s link time-out.
TEST(PeerSession, AnOutageShorterThanTheLinkTimeOutKeepsTheLink) {
    auto options = test::FastOptions();
    options.linkTimeoutMs = TSessionOptions{}.linkTimeoutMs;
    ASSERT_EQ(options.linkTimeoutMs, 10000u);
    TRelayedPair pair(options);
    ASSERT_NO_FATAL_FAILURE(pair.Meet());
    auto& [host, joiner, relayPtr] = pair;
    test::TUdpRelay& relay = *relayPtr;
    relay.Cut(true);
    joiner.Send("during");
    host.Send("back");
    std::this_thread::sleep_for(std::chrono::seconds(4));
    relay.Cut(false);
    EXPECT_TRUE(host.ev.WaitFor("recv during"));
    EXPECT_TRUE(joiner.ev.WaitFor("recv back"));
    // Once everything sent before and during the outage is acknowledged,
    // nothing can end the link for it any more.
    bool drained = false;
    for (int i = 0; i < 1000 && !drained; ++i) {
        DWORD toHost = 1, toJoiner = 1;
        joiner.peer->DirectPlay->GetSendQueueInfo(joiner.remote, &toHost, nullptr);
        host.peer->DirectPlay->GetSendQueueInfo(host.remote, &toJoiner, nullptr);
        drained = toHost == 0 && toJoiner == 0;
        if (!drained) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(drained);
    EXPECT_TRUE(joiner.Starting("terminate").empty());
    EXPECT_TRUE(host.Starting("destroy").empty());
}

// Moves the clock by `ms` in steps, giving the workers a moment at each.
void AdvanceInSteps(test::TTestClock& clock, std::uint32_t ms) {
    for (std::uint32_t done = 0; done < ms;) {
        const std::uint32_t step = std::min<std::uint32_t>(250, ms - done);
        clock.Advance(step);
        done += step;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// The link time-out on the session's own clock, the program's 10 s: an
// outage with guaranteed messages waiting both ways does not end the link
// while anything at all is heard within it; silence of the whole time-out
// ends it on both sides at once, and nothing shorter does.
TEST(PeerSession, OnlySilenceForTheWholeLinkTimeOutLosesTheLinkOnBothSides) {
    test::TTestClock clock;
    auto options = test::FastOptions(&clock);
    options.linkTimeoutMs = TSessionOptions{}.linkTimeoutMs;
    TRelayedPair pair(options);
    ASSERT_NO_FATAL_FAILURE(pair.Meet());
    auto& [host, joiner, relayPtr] = pair;
    test::TUdpRelay& relay = *relayPtr;

    relay.Cut(true);
    joiner.Send("during");
    host.Send("back");
    AdvanceInSteps(clock, 9000);
    relay.Cut(false);
    EXPECT_TRUE(host.ev.WaitFor("recv during"));
    EXPECT_TRUE(joiner.ev.WaitFor("recv back"));

    relay.Cut(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // nothing in flight any more
    AdvanceInSteps(clock, options.linkTimeoutMs - 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(joiner.Starting("terminate").empty());
    EXPECT_TRUE(host.Starting("destroy").empty());
    clock.Advance(1);
    // Seen by the next turn of each worker, long before ENet's own resends
    // (in real time) could have given up.
    EXPECT_TRUE(joiner.ev.WaitFor("terminate " + HexResult(DPNERR_CONNECTIONLOST), 1, std::chrono::seconds(60)));
    EXPECT_TRUE(host.ev.WaitFor("destroy remote 2", 1, std::chrono::seconds(60)));
    EXPECT_EQ(joiner.ev.Count("destroy remote 2"), 1u);
}

// Close does not wait for a far end that no longer answers: it returns at
// once, and what it left to send goes out once the far end is heard again,
// the session's end after it.
TEST(PeerSession, CloseLeavesWhatIsStillToSendToAThreadOfItsOwn) {
    auto options = test::FastOptions();
    options.linkTimeoutMs = TSessionOptions{}.linkTimeoutMs;
    TRelayedPair pair(options);
    ASSERT_NO_FATAL_FAILURE(pair.Meet());
    auto& [host, joiner, relayPtr] = pair;
    test::TUdpRelay& relay = *relayPtr;

    relay.Cut(true);
    joiner.Send("last");
    const auto before = std::chrono::steady_clock::now();
    joiner.peer.reset();
    const auto closeMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before).count();
    std::printf("close with the far end silent: %lld ms\n", static_cast<long long>(closeMs));
    EXPECT_LT(closeMs, 5000);
    // Longer than any close could have waited before giving up.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    relay.Cut(false);
    EXPECT_TRUE(host.ev.WaitFor("recv last"));
    EXPECT_TRUE(host.ev.WaitFor("destroy remote 1"));
    EXPECT_EQ(host.ev.Count("destroy remote 2"), 0u);
}

// A session hosting on the port a closed one still flushes on takes it.
TEST(PeerSession, HostingOnThePortOfAClosedSessionStillSendingTakesIt) {
    TRelayedPair pair;
    ASSERT_NO_FATAL_FAILURE(pair.Meet());
    auto& [host, joiner, relay] = pair;
    const std::uint32_t port = host.Port();
    relay->Cut(true);
    host.Send("unheard");
    host.peer.reset();
    TSide next("Next");
    next.peer->AddHostAddress(port, {}, {}, "127.0.0.1");
    EXPECT_NO_THROW(next.peer->Host(test::kTestAppGuid, false, 2, "Test Duel", nullptr, 0, false));
    EXPECT_EQ(next.Port(), port);
}

}  // namespace
}  // namespace qv
