// A session host for tests, on the session layer: hosts on 127.0.0.1 at
// an ephemeral port, says "port <n>", accepts or refuses each
// connect with reply data, echoes every message back to its sender with
// the same delivery, and reports players as "create <n>" / "destroy <n>"
// (n counts remote players). End of input closes the session and exits,
// or with "vanish" exits at once without a word to anyone. With "program"
// the session has the program's own time-outs instead of the quick ones.
//   qv_session_host <server|peer> <max players> <accept|refuse> [close|vanish|program]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <mutex>
#include <string>

#include "tests/session/SessionTestSupport.h"

using namespace qv;
using namespace qv::dpn;

namespace {

std::mutex gOut;
void Say(const std::string& line) {
    std::lock_guard lock(gOut);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const ERole role = std::strcmp(argv[1], "server") == 0 ? ERole::Server : ERole::Peer;
    const DWORD maxPlayers = static_cast<DWORD>(std::stoul(argv[2]));
    const bool accept = std::strcmp(argv[3], "accept") == 0;
    const bool vanish = argc > 4 && std::strcmp(argv[4], "vanish") == 0;
    const bool program = argc > 4 && std::strcmp(argv[4], "program") == 0;

    std::unique_ptr<TSession> session;
    if (Failed(DirectPlay8Create(role, program ? TSessionOptions{} : test::FastOptions(), &session))) return 1;
    std::mutex playersLock;
    std::map<DPNID, int> remote;  // id -> order of arrival
    int arrivals = 0;
    TSession* s = session.get();
    auto handler = [&](DWORD type, void* message) -> HRESULT {
        switch (type) {
        case DPN_MSGID_INDICATE_CONNECT: {
            auto& m = *static_cast<DPNMSG_INDICATE_CONNECT*>(message);
            const std::string reply = (accept ? "welcome:" : "refused:") + std::to_string(m.dwUserConnectDataSize);
            m.ReplyData.assign(reply.begin(), reply.end());
            return accept ? DPN_OK : 1;
        }
        case DPN_MSGID_CREATE_PLAYER: {
            const auto& m = *static_cast<DPNMSG_CREATE_PLAYER*>(message);
            DPN_PLAYER_INFO info;
            if (s->GetPeerInfo(m.dpnidPlayer, &info) == DPN_OK && (info.dwPlayerFlags & DPNPLAYER_LOCAL)) return DPN_OK;
            std::lock_guard lock(playersLock);
            remote[m.dpnidPlayer] = ++arrivals;
            Say("create " + std::to_string(arrivals) + " " + info.Name);
            return DPN_OK;
        }
        case DPN_MSGID_DESTROY_PLAYER: {
            const auto& m = *static_cast<DPNMSG_DESTROY_PLAYER*>(message);
            std::lock_guard lock(playersLock);
            if (auto it = remote.find(m.dpnidPlayer); it != remote.end()) {
                Say("destroy " + std::to_string(it->second) + " reason " + std::to_string(m.dwReason));
                remote.erase(it);
            }
            return DPN_OK;
        }
        case DPN_MSGID_RECEIVE: {
            const auto& m = *static_cast<DPNMSG_RECEIVE*>(message);
            s->SendTo(m.dpnidSender, m.pReceiveData, m.dwReceiveDataSize, 0, nullptr, nullptr,
                      DPNSEND_GUARANTEED | DPNSEND_NOCOMPLETE);
            return DPN_OK;
        }
        default: return DPN_OK;
        }
    };
    if (Failed(session->Initialize(handler)) || Failed(session->SetInfo("test host"))) return 1;
    DPN_APPLICATION_DESC desc;
    desc.guidApplication = test::kTestAppGuid;
    desc.dwMaxPlayers = maxPlayers;
    desc.SessionName = "Test Session";
    if (Failed(session->Host(desc, {TAddress{"127.0.0.1", 0, {}, {}, {}}}, 0))) return 1;
    Say("port " + std::to_string(session->LocalPort()));

    std::string line;
    while (std::getline(std::cin, line)) {
    }
    if (vanish) std::_Exit(0);
    session->Close(0);
    Say("closed");
    return 0;
}
