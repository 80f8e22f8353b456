// Sends on the session layer itself: completions, synchronous calls, the
// group target, a duel-sized start message and the refused arguments.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>

#include "tests/session/SessionTestSupport.h"

namespace qv::dpn {
namespace {

using test::HexResult;

int gConnectContext, gPlayerContext;

// A peer session whose messages become lines. It gives every remote player
// a context and checks that receives carry it.
struct TRecorded {
    test::TEvents ev;
    std::atomic<DPNID> local{0}, remote{0};
    std::unique_ptr<TSession> session;

    TRecorded() {
        EXPECT_EQ(DirectPlay8Create(ERole::Peer, test::FastOptions(), &session), DPN_OK);
        EXPECT_EQ(session->Initialize([this](DWORD type, void* msg) { return Record(type, msg); }), DPN_OK);
    }
    ~TRecorded() { session.reset(); }

    HRESULT Record(DWORD type, void* msg) {
        switch (type) {
        case DPN_MSGID_CREATE_PLAYER: {
            auto& m = *static_cast<DPNMSG_CREATE_PLAYER*>(msg);
            DPN_PLAYER_INFO info;
            session->GetPeerInfo(m.dpnidPlayer, &info);
            const bool isLocal = (info.dwPlayerFlags & DPNPLAYER_LOCAL) != 0;
            (isLocal ? local : remote) = m.dpnidPlayer;
            if (isLocal && m.pvPlayerContext == &gConnectContext) ev.Add("local context");
            if (!isLocal) m.pvPlayerContext = &gPlayerContext;
            ev.Add("create");
            break;
        }
        case DPN_MSGID_SEND_COMPLETE: {
            const auto& m = *static_cast<DPNMSG_SEND_COMPLETE*>(msg);
            ev.Add("complete " + std::to_string(m.hAsyncOp) + " " + HexResult(m.hResultCode));
            break;
        }
        case DPN_MSGID_RECEIVE: {
            const auto& m = *static_cast<DPNMSG_RECEIVE*>(msg);
            if (m.pvPlayerContext != &gPlayerContext) ev.Add("receive without context");
            ev.Add("recv " + std::to_string(m.dwReceiveDataSize) + " " +
                   std::string(reinterpret_cast<const char*>(m.pReceiveData), std::min<DWORD>(m.dwReceiveDataSize, 8)));
            break;
        }
        default: break;
        }
        return DPN_OK;
    }
};

TEST(SessionSends, CompletionsSyncCallsAndLimits) {
    TRecorded host, joiner;
    DPN_APPLICATION_DESC desc;
    desc.guidApplication = test::kTestAppGuid;
    desc.dwMaxPlayers = 2;
    ASSERT_EQ(host.session->Host(desc, {TAddress{"127.0.0.1", 0, {}, {}, {}}}, 0), DPN_OK);
    // A synchronous connect returns once the session is joined.
    const TAddress there{"127.0.0.1", host.session->LocalPort(), {}, {}, {}};
    ASSERT_EQ(joiner.session->Connect(desc, there, {}, nullptr, 0, &gConnectContext, nullptr, nullptr, DPNCONNECT_SYNC),
              DPN_OK);
    ASSERT_TRUE(joiner.ev.WaitFor("create", 2));
    EXPECT_EQ(joiner.ev.Count("local context"), 1u);
    ASSERT_TRUE(host.ev.WaitFor("create", 2));
    EXPECT_EQ(joiner.session->Connect(desc, there, {}, nullptr, 0, nullptr, nullptr, nullptr, 0),
              DPNERR_ALREADYCONNECTED);

    // A guaranteed send completes under its handle; one without completion
    // and a synchronous one do not.
    DPNHANDLE handle = 0;
    ASSERT_EQ(joiner.session->SendTo(joiner.remote, "abc", 3, 0, nullptr, &handle, DPNSEND_GUARANTEED),
              DPNSUCCESS_PENDING);
    EXPECT_NE(handle, 0u);
    EXPECT_TRUE(joiner.ev.WaitFor("complete " + std::to_string(handle) + " 00000000"));
    EXPECT_EQ(joiner.session->SendTo(joiner.remote, "def", 3, 0, nullptr, &handle,
                                     DPNSEND_GUARANTEED | DPNSEND_NOCOMPLETE),
              DPN_OK);
    EXPECT_EQ(joiner.session->SendTo(joiner.remote, "ghi", 3, 0, nullptr, nullptr, DPNSEND_GUARANTEED | DPNSEND_SYNC),
              DPN_OK);
    EXPECT_TRUE(host.ev.WaitFor("recv 3 ghi"));
    EXPECT_EQ(host.ev.Count("recv 3 abc") + host.ev.Count("recv 3 def"), 2u);

    // The largest duel start message arrives whole; the group reaches every
    // remote player.
    std::string start(65554, 'S');
    start[0] = static_cast<char>(201);
    ASSERT_EQ(host.session->SendTo(host.remote, start.data(), static_cast<DWORD>(start.size()), 0, nullptr, nullptr,
                                   DPNSEND_GUARANTEED | DPNSEND_NOCOMPLETE),
              DPN_OK);
    EXPECT_TRUE(joiner.ev.WaitFor("recv 65554 " + start.substr(0, 8)));
    ASSERT_EQ(host.session->SendTo(DPNID_ALL_PLAYERS_GROUP, "all", 3, 0, nullptr, nullptr, DPNSEND_NOCOMPLETE), DPN_OK);
    EXPECT_TRUE(joiner.ev.WaitFor("recv 3 all"));

    // Refused at once.
    EXPECT_EQ(joiner.session->SendTo(joiner.local, "x", 1, 0, nullptr, nullptr, 0), DPNERR_INVALIDPLAYER);
    EXPECT_EQ(joiner.session->SendTo(0x7777, "x", 1, 0, nullptr, nullptr, 0), DPNERR_INVALIDPLAYER);
    EXPECT_EQ(joiner.session->SendTo(joiner.remote, "x", 0, 0, nullptr, nullptr, 0), DPNERR_INVALIDPARAM);
    EXPECT_EQ(joiner.session->SendTo(joiner.remote, nullptr, 1, 0, nullptr, nullptr, 0), DPNERR_INVALIDPARAM);
    std::string huge(kMaxMessageSize + 1, 'h');
    EXPECT_EQ(joiner.session->SendTo(joiner.remote, huge.data(), static_cast<DWORD>(huge.size()), 0, nullptr, nullptr, 0),
              DPNERR_SENDTOOLARGE);
    DPN_PLAYER_INFO info;
    EXPECT_EQ(joiner.session->GetPeerInfo(0x7777, &info), DPNERR_INVALIDPLAYER);

    EXPECT_EQ(host.ev.Count("receive without context") + joiner.ev.Count("receive without context"), 0u);

    // After the close nothing is sent and no call is taken.
    EXPECT_EQ(joiner.session->Close(0), DPN_OK);
    EXPECT_EQ(joiner.session->SendTo(joiner.remote, "x", 1, 0, nullptr, nullptr, 0), DPNERR_UNINITIALIZED);
    EXPECT_EQ(joiner.session->Close(0), DPNERR_UNINITIALIZED);
}

}  // namespace
}  // namespace qv::dpn
