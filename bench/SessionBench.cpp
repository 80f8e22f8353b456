// Guaranteed 64-byte messages between a hosting and a joined peer on
// loopback: the round trip (one message there, its echo back) and the
// rate of messages one way.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "media/zkDPPeer.h"

namespace {

using namespace qv;
using namespace qv::dpn;

constexpr TGuid kBenchApp = {0x0BE4C4A1u, 0x2222u, 0x4333u, {0x84, 0x44, 0x55, 0x55, 0x66, 0x66, 0x77, 0x77}};

struct TCounter {
    std::mutex m;
    std::condition_variable cv;
    std::uint64_t count = 0;
    void Add() {
        {
            std::lock_guard lock(m);
            ++count;
        }
        cv.notify_one();
    }
    void WaitFor(std::uint64_t n) {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return count >= n; });
    }
};

// A host that echoes (or only counts) and a joiner connected to it.
struct TPair {
    std::unique_ptr<TzkDPPeer> host, joiner;
    std::atomic<DPNID> hostSide{0}, joinerSide{0};
    std::atomic<bool> echo{true};
    TCounter atHost, atJoiner, connected;

    TPair() {
        TSessionOptions options;
        options.enumRetryMs = 5;
        options.enumTimeoutMs = 5;
        host = std::make_unique<TzkDPPeer>("host", options);
        joiner = std::make_unique<TzkDPPeer>("joiner", options);
        auto remember = [](std::atomic<DPNID>& slot) {
            return [&slot](TzkDPPeer* s, DPNID id, void*&) {
                DPN_PLAYER_INFO info;
                if (s->DirectPlay->GetPeerInfo(id, &info) == DPN_OK && !(info.dwPlayerFlags & DPNPLAYER_LOCAL)) slot = id;
            };
        };
        host->OnCreatePlayer = remember(hostSide);
        joiner->OnCreatePlayer = remember(joinerSide);
        host->OnReceive = [this](TzkDPPeer* s, const std::uint8_t* d, std::uint32_t n) {
            if (echo) s->SendTo(hostSide, d, n, 0, nullptr, false, false, true, false, true, 1, false, false);
            atHost.Add();
        };
        joiner->OnReceive = [this](TzkDPPeer*, const std::uint8_t*, std::uint32_t) { atJoiner.Add(); };
        joiner->OnEnumHostsResponse = [this](TzkDPPeer*, const DPNMSG_ENUM_HOSTS_RESPONSE&, int) { connected.Add(); };
        joiner->OnConnectComplete = [this](TzkDPPeer*, DPNHANDLE, void*, HRESULT, const std::uint8_t*, std::uint32_t) {
            connected.Add();
        };
        host->AddHostAddress(0, {}, {}, "127.0.0.1");
        host->Host(kBenchApp, false, 2, "bench", nullptr, 0, false);
        joiner->EnumHosts("127.0.0.1", host->DirectPlay->LocalPort(), kBenchApp, nullptr, 0, false, false, false);
        connected.WaitFor(1);
        auto hold = joiner->LockHosts();
        joiner->CancelEnumHosts();
        const std::uint64_t before = connected.count;
        joiner->Connect(0, nullptr, 0, nullptr, false, false);
        hold.unlock();
        connected.WaitFor(before + 1);
        while (joinerSide == 0 || hostSide == 0) std::this_thread::yield();
    }
    void Send(const std::uint8_t* message) {
        joiner->SendTo(joinerSide, message, 64, 0, nullptr, false, false, true, false, true, 1, false, false);
    }
};

void BM_GuaranteedRoundTrip(benchmark::State& state) {
    TPair pair;
    std::uint8_t message[64] = {206};
    std::vector<double> micros;
    std::uint64_t n = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        pair.Send(message);
        pair.atJoiner.WaitFor(++n);
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
}
BENCHMARK(BM_GuaranteedRoundTrip)->Iterations(5000)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_GuaranteedOneWay(benchmark::State& state) {
    TPair pair;
    pair.echo = false;
    std::uint8_t message[64] = {203};
    const std::uint64_t batch = static_cast<std::uint64_t>(state.range(0));
    std::uint64_t sent = 0;
    for (auto _ : state) {
        for (std::uint64_t i = 0; i < batch; ++i) pair.Send(message);
        sent += batch;
        pair.atHost.WaitFor(sent);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(sent));
}
BENCHMARK(BM_GuaranteedOneWay)->Arg(10000)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
