// One side of a duel without a screen, for the two-process duel test: the
// duel peer on loopback and the game core on the recording renderer, with
// scripted input. Prints "port <n>" once hosting, then
// "outcome=<n> race=<hex32> total=<ms> text=<outcome text>".
//
//   qv_duel_bot --host [--fire MS] [--link-timeout MS] [--pack FILE]
//   qv_duel_bot --join ADDRESS --port P [--fire MS] [--vanish-after MS] [--pack FILE]
//
// --fire clicks every MS ms of live play, the cursor sweeping the screen's
// height in a hidden game window (SDL's offscreen driver); --vanish-after
// ends the process abruptly after MS ms of live play, as a killed program
// would; --pack plays the first scenario of that resource pack (both sides
// must play the same one) instead of content made by code.
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "game/core/qv3GameCore.h"
#include "game/logic/qv3GameLogic.h"
#include "multiplayer/qv3DPPeer.h"
#include "tests/game/DuelRig.h"

using namespace qv;

namespace {

constexpr int kDeadlineSeconds = 300;

struct TArgs {
    bool host = false;
    std::string address;
    std::uint32_t port = 0;
    int fireMs = 0;
    int vanishMs = 0;
    std::uint32_t linkTimeoutMs = 0;
    std::string pack;
};

bool Parse(int argc, char** argv, TArgs& a) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool more = i + 1 < argc;
        if (arg == "--host") {
            a.host = true;
        } else if (arg == "--join" && more) {
            a.address = argv[++i];
        } else if (arg == "--port" && more) {
            a.port = static_cast<std::uint32_t>(std::stoul(argv[++i]));
        } else if (arg == "--fire" && more) {
            a.fireMs = std::stoi(argv[++i]);
        } else if (arg == "--vanish-after" && more) {
            a.vanishMs = std::stoi(argv[++i]);
        } else if (arg == "--pack" && more) {
            a.pack = argv[++i];
        } else if (arg == "--link-timeout" && more) {
            a.linkTimeoutMs = static_cast<std::uint32_t>(std::stoul(argv[++i]));
        } else {
            return false;
        }
    }
    return a.host != !a.address.empty() && (a.host || a.port != 0);
}

// Handles the peer's messages for about `ms` milliseconds.
void Pump(int ms = 1) {
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

int main(int argc, char** argv) {
    TArgs args;
    if (!Parse(argc, argv, args)) {
        std::fprintf(stderr,
                     "usage: qv_duel_bot --host | --join ADDRESS --port P  [--fire MS] [--vanish-after MS] "
                     "[--link-timeout MS] [--pack FILE]\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    try {
        mp::TDuelPeerOptions options;
        options.Port = args.host ? 0 : args.port;
        if (args.linkTimeoutMs) options.Session.linkTimeoutMs = args.linkTimeoutMs;
        std::unique_ptr<mp::TCustomDuelPeer> peer;
        if (args.host) {
            auto host = std::make_unique<mp::TDuelPeerHost>("Bot host", options);
            std::printf("port %u\n", host->Port());
            std::fflush(stdout);
            peer = std::move(host);
        } else {
            peer = std::make_unique<mp::TDuelPeerClient>("Bot joiner", args.address, options);
        }
        // A safety net for a bot that never hears an outcome, not a duel rule:
        // a sanitizer build on a busy machine takes most of a minute for
        // the race itself.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kDeadlineSeconds);
        const auto late = [&] { return std::chrono::steady_clock::now() > deadline; };
        // The connection dialog's part: wait until the opponent is there.
        const int connected = args.host ? static_cast<int>(mp::TDuelPeerHost::hsJoined)
                                        : static_cast<int>(mp::TDuelPeerClient::csConnected);
        const int closed = args.host ? static_cast<int>(mp::TDuelPeerHost::hsClosed)
                                     : static_cast<int>(mp::TDuelPeerClient::csClosed);
        while (peer->State() < connected && !late()) Pump();
        if (peer->State() == closed || peer->State() < connected) {
            std::printf("outcome=0 race=%s total=0 text=%s\n", TGuid().ToRegistryHex32().c_str(),
                        peer->CloseReasonText().c_str());
            return 0;
        }

        test::TDuelCoreRig rig(peer.get(), args.fireMs > 0, args.pack);
        TGameCore& core = rig.Core();
        core.ProcessKey(kVkEnter);
        std::int32_t nextFire = args.fireMs;
        while (!rig.Closed() && !late()) {
            Pump(0);
            rig.Frame(1);
            const bool live = core.State == TCoreState::Playing && core.PlayPhase == TPlayPhase::Live;
            if (!live) continue;
            if (args.vanishMs > 0 && core.TotalScore >= args.vanishMs) _exit(3);
            if (args.fireMs > 0 && core.TotalScore >= nextFire) {
                rig.MoveMouse(60 + (nextFire / args.fireMs) * 70 % 480);
                core.Click();
                nextFire += args.fireMs;
            }
            // Keep pace with real time roughly, so the opponent's messages come in between.
            if (core.TotalScore % 100 == 0) Pump(1);
        }
        if (!rig.Closed()) {
            std::fprintf(stderr, "qv_duel_bot: no outcome within %d s\n", kDeadlineSeconds);
            return 1;
        }
        const TGuid race = TGuid::FromWireBytes(core.DuelRaceId);
        std::printf("outcome=%d race=%s total=%d text=%s\n", core.DuelWon, race.ToRegistryHex32().c_str(),
                    core.TotalScore, core.OutcomeText.c_str());
        std::fflush(stdout);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qv_duel_bot: %s\n", e.what());
        return 1;
    }
}
