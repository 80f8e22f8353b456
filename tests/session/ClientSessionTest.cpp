// The client wrapper against a host in another process (the test host
// program), and against a server in this process that ends the client's
// session with terminate data; two joiners against a two-player peer host
// in another process.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "media/zkDPClient.h"
#include "media/zkDPPeer.h"
#include "tests/session/SessionTestSupport.h"
#include "tests/session/UdpStub.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace qv {
namespace {

using namespace dpn;
using test::HexResult;

std::string Text(const std::uint8_t* data, std::uint32_t size) {
    return data == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(data), size);
}

struct TClientSide {
    test::TEvents ev;
    TzkDPClient client{"Player", test::FastOptions()};

    TClientSide() {
        client.OnEnumHostsResponse = [this](TzkDPClient*, const DPNMSG_ENUM_HOSTS_RESPONSE& m, int index) {
            ev.Add("enum " + std::to_string(index) + " " + m.pApplicationDescription->SessionName);
        };
        client.OnConnectComplete = [this](TzkDPClient*, DPNHANDLE, void*, HRESULT r, const std::uint8_t* d,
                                          std::uint32_t n) { ev.Add("connect " + HexResult(r) + " " + Text(d, n)); };
        client.OnReceive = [this](TzkDPClient*, const std::uint8_t* d, std::uint32_t n) { ev.Add("recv " + Text(d, n)); };
        client.OnTerminateSession = [this](TzkDPClient*, HRESULT r, const std::uint8_t* d, std::uint32_t n) {
            ev.Add("terminate " + HexResult(r) + " " + Text(d, n));
        };
        client.OnAsyncOpComplete = [this](TzkDPClient*, DPNHANDLE, void*, HRESULT r) { ev.Add("async " + HexResult(r)); };
    }

    void Connect(std::uint32_t port, const std::string& session, const std::string& login) {
        client.EnumHosts("127.0.0.1", port, test::kTestAppGuid, nullptr, 0, false, false, true);
        ASSERT_TRUE(ev.WaitFor("enum 0 " + session));
        auto hold = client.LockHosts();
        client.CancelEnumHosts();
        client.Connect(0, login.data(), static_cast<std::uint32_t>(login.size()), nullptr, false, false);
        hold.unlock();
    }
    void Send(const std::string& text) {
        client.Send(text.data(), static_cast<std::uint32_t>(text.size()), 0, nullptr, false, true, true, false, true, 1,
                    true, true);
    }
};

std::unique_ptr<test::ChildProcess> StartHost(const std::string& role, int maxPlayers, const std::string& answer,
                                              std::uint32_t& port, const std::string& end = "close") {
    auto host = std::make_unique<test::ChildProcess>(std::vector<std::string>{
        test::BinaryDir() + "qv_session_host", role, std::to_string(maxPlayers), answer, end});
    const std::string line = host->ReadLine("the host's port");
    EXPECT_EQ(line.rfind("port ", 0), 0u) << line;
    port = line.size() > 5 ? static_cast<std::uint32_t>(std::stoul(line.substr(5))) : 0;
    return host;
}

const std::string kLogin(40, 'L');

// A joining peer whose events become lines in `ev` ("enum", "connect <result>",
// "destroy <reason>", "terminate <result>"), joining the host at `port`.
std::unique_ptr<TzkDPPeer> JoinPeerHost(std::uint32_t port, const TSessionOptions& options, test::TEvents& ev) {
    auto joiner = std::make_unique<TzkDPPeer>("Joiner", options);
    joiner->OnEnumHostsResponse = [&ev](TzkDPPeer*, const DPNMSG_ENUM_HOSTS_RESPONSE&, int) { ev.Add("enum"); };
    joiner->OnConnectComplete = [&ev](TzkDPPeer*, DPNHANDLE, void*, HRESULT r, const std::uint8_t*, std::uint32_t) {
        ev.Add("connect " + HexResult(r));
    };
    joiner->OnDestroyPlayer = [&ev](TzkDPPeer*, DPNID, void*, DWORD reason) {
        ev.Add("destroy " + std::to_string(reason));
    };
    joiner->OnTerminateSession = [&ev](TzkDPPeer*, HRESULT r, const std::uint8_t*, std::uint32_t) {
        ev.Add("terminate " + HexResult(r));
    };
    joiner->EnumHosts("127.0.0.1", port, test::kTestAppGuid, nullptr, 0, false, false, true);
    EXPECT_TRUE(ev.WaitFor("enum"));
    auto hold = joiner->LockHosts();
    joiner->CancelEnumHosts();
    joiner->Connect(0, nullptr, 0, nullptr, false, false);
    return joiner;
}

TEST(ClientSession, AcceptedByAHostInAnotherProcess) {
    std::uint32_t port = 0;
    auto host = StartHost("server", 8, "accept", port);
    TClientSide side;
    side.Connect(port, "Test Session", kLogin);
    ASSERT_TRUE(side.ev.WaitFor("connect 00000000 welcome:40"));
    EXPECT_TRUE(side.client.Connected);
    EXPECT_EQ(host->ReadLine("the host's line \"create 1 Player\""), "create 1 Player");
    side.Send("hello");
    side.Send("again");
    EXPECT_TRUE(side.ev.WaitFor("recv hello"));
    EXPECT_TRUE(side.ev.WaitFor("recv again"));
    DWORD queued = 99;
    EXPECT_EQ(side.client.DirectPlay->GetSendQueueInfo(0, &queued, nullptr), DPN_OK);
    // The client leaves: the host sees the player go; the client hears of no
    // termination.
    side.client.Disconnect();
    EXPECT_FALSE(side.client.Connected);
    EXPECT_EQ(host->ReadLine("the host's line \"destroy 1 reason 1\""), "destroy 1 reason 1");
    EXPECT_EQ(host->Finish("the host's end"), 0);
    EXPECT_EQ(side.ev.Count("terminate " + HexResult(DPNERR_HOSTTERMINATEDSESSION) + " "), 0u);
}

TEST(ClientSession, HostClosingTerminatesTheSession) {
    std::uint32_t port = 0;
    auto host = StartHost("server", 8, "accept", port);
    TClientSide side;
    side.Connect(port, "Test Session", kLogin);
    ASSERT_TRUE(side.ev.WaitFor("connect 00000000 welcome:40"));
    EXPECT_EQ(host->ReadLine("the host's line \"create 1 Player\""), "create 1 Player");
    EXPECT_EQ(host->Finish("the host's end"), 0);
    EXPECT_TRUE(side.ev.WaitFor("terminate " + HexResult(DPNERR_HOSTTERMINATEDSESSION) + " "));
    side.client.Disconnect();  // after a lost session, as the lobby does
    EXPECT_FALSE(side.client.Connected);
}

TEST(ClientSession, RefusedWithReplyData) {
    std::uint32_t port = 0;
    auto host = StartHost("server", 8, "refuse", port);
    TClientSide side;
    side.Connect(port, "Test Session", kLogin);
    ASSERT_TRUE(side.ev.WaitFor("connect " + HexResult(DPNERR_HOSTREJECTEDCONNECTION) + " refused:40"));
    EXPECT_FALSE(side.client.Connected);
    EXPECT_NO_THROW(side.client.Disconnect());  // not connected: nothing to do
    EXPECT_EQ(host->Finish("the host's end"), 0);
}

TEST(ClientSession, ThirdDuelPlayerIsRefused) {
    std::uint32_t port = 0;
    auto host = StartHost("peer", 2, "accept", port);
    test::TEvents ev;
    auto joiner = [&](const std::string& name) {
        auto p = std::make_unique<TzkDPPeer>(name, test::FastOptions());
        p->OnEnumHostsResponse = [&ev, name](TzkDPPeer*, const DPNMSG_ENUM_HOSTS_RESPONSE&, int) {
            ev.Add(name + " enum");
        };
        p->OnConnectComplete = [&ev, name](TzkDPPeer*, DPNHANDLE, void*, HRESULT r, const std::uint8_t*,
                                           std::uint32_t) { ev.Add(name + " connect " + HexResult(r)); };
        p->EnumHosts("127.0.0.1", port, test::kTestAppGuid, nullptr, 0, false, false, true);
        EXPECT_TRUE(ev.WaitFor(name + " enum"));
        auto hold = p->LockHosts();
        p->CancelEnumHosts();
        p->Connect(0, nullptr, 0, nullptr, false, false);
        hold.unlock();
        return p;
    };
    auto second = joiner("Second");
    EXPECT_TRUE(ev.WaitFor("Second connect 00000000"));
    EXPECT_EQ(host->ReadLine("the host's line \"create 1 Second\""), "create 1 Second");
    auto third = joiner("Third");
    EXPECT_TRUE(ev.WaitFor("Third connect " + HexResult(DPNERR_SESSIONFULL)));
    EXPECT_EQ(host->Finish("the host's end"), 0);
}

TEST(ClientSession, AVanishedHostIsALostConnection) {
    std::uint32_t port = 0;
    auto host = StartHost("peer", 2, "accept", port, "vanish");
    auto options = test::FastOptions();
    options.linkTimeoutMs = 600;
    test::TEvents ev;
    auto joiner = JoinPeerHost(port, options, ev);
    ASSERT_TRUE(ev.WaitFor("connect 00000000"));
    EXPECT_EQ(host->Finish("the host's end"), 0);
    ASSERT_TRUE(ev.WaitFor("terminate " + HexResult(DPNERR_CONNECTIONLOST)));
    EXPECT_EQ(ev.Count("destroy 2"), 2u);
    joiner.reset();
}

// A program that ends while its session's far end no longer answers
// (a lobby whose server is gone): the end waits for the last messages only
// the short grace of the program's time-outs, never the link time-out.
TEST(ClientSession, AProgramWhoseFarEndIsGoneEndsWithinTheGraceOfItsFlush) {
    std::uint32_t port = 0;
    auto host = StartHost("peer", 2, "accept", port, "program");
    test::TUdpRelay relay(port);
    test::TEvents ev;
    auto joiner = JoinPeerHost(relay.Port(), test::FastOptions(), ev);
    ASSERT_TRUE(ev.WaitFor("connect 00000000"));
    EXPECT_EQ(host->ReadLine(), "create 1 Joiner");
    relay.Cut(true);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(host->Finish(), 0);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before).count();
    std::printf("end of a program whose far end is gone: %lld ms (grace %u ms)\n", static_cast<long long>(ms),
                TSessionOptions{}.closeFlushMs);
    EXPECT_LT(ms, 5000);
    joiner.reset();
}

TEST(ClientSession, ServerEndsAClientWithTerminateData) {
    std::unique_ptr<TSession> server;
    ASSERT_EQ(DirectPlay8Create(ERole::Server, test::FastOptions(), &server), DPN_OK);
    std::atomic<DPNID> clientId{0};
    ASSERT_EQ(server->Initialize([&](DWORD type, void* msg) {
        if (type == DPN_MSGID_CREATE_PLAYER) {
            const DPNID id = static_cast<DPNMSG_CREATE_PLAYER*>(msg)->dpnidPlayer;
            DPN_PLAYER_INFO info;
            if (server->GetPeerInfo(id, &info) == DPN_OK && !(info.dwPlayerFlags & DPNPLAYER_LOCAL)) clientId = id;
        }
        return DPN_OK;
    }),
              DPN_OK);
    DPN_APPLICATION_DESC desc;
    desc.guidApplication = test::kTestAppGuid;
    desc.SessionName = "Chat";
    ASSERT_EQ(server->Host(desc, {TAddress{"127.0.0.1", 0, {}, {}, {}}}, 0), DPN_OK);
    TClientSide side;
    side.Connect(server->LocalPort(), "Chat", kLogin);
    ASSERT_TRUE(side.ev.WaitFor("connect 00000000 "));
    for (int i = 0; i < 500 && clientId == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    TAddress from;
    ASSERT_EQ(server->GetRemoteAddress(clientId, &from), DPN_OK);
    EXPECT_EQ(from.Hostname, "127.0.0.1");
    ASSERT_EQ(server->DestroyPeer(clientId, "bye", 3), DPN_OK);
    EXPECT_TRUE(side.ev.WaitFor("terminate " + HexResult(DPNERR_HOSTTERMINATEDSESSION) + " bye"));
    server->Close(0);
}

}  // namespace
}  // namespace qv
