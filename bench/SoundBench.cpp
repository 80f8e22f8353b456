// Cost of the software mixer: one second of 44100 Hz stereo output with a
// number of looping voices of mixed formats (some resampled, some 8-bit).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/audio/DirectSound.h"

namespace {

using namespace qv::audio;

struct TMixerRig {
    TNullAudioBackend* output = nullptr;
    std::shared_ptr<TDirectSound> device;
    std::vector<std::shared_ptr<TDirectSoundBuffer>> voices;

    explicit TMixerRig(int count) {
        auto backend = std::make_unique<TNullAudioBackend>();
        output = backend.get();
        DirectSoundCreate8(device, std::move(backend));
        const qv::codec::TWaveFormat formats[] = {
            qv::codec::MakePcmFormat(2, 44100, 16),
            qv::codec::MakePcmFormat(1, 22050, 16),
            qv::codec::MakePcmFormat(2, 48000, 16),
            qv::codec::MakePcmFormat(1, 11025, 8),
        };
        for (int i = 0; i < count; ++i) {
            const qv::codec::TWaveFormat& f = formats[i % 4];
            DSBUFFERDESC d;
            d.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_STATIC;
            d.dwBufferBytes = f.Fmt.nAvgBytesPerSec / 2;  // half a second, so voices loop
            d.lpwfxFormat = &f.Fmt;
            std::shared_ptr<TDirectSoundBuffer> b;
            device->CreateSoundBuffer(d, b);
            void *p1 = nullptr, *p2 = nullptr;
            std::uint32_t n1 = 0, n2 = 0;
            b->Lock(0, d.dwBufferBytes, &p1, &n1, &p2, &n2, 0);
            auto* bytes = static_cast<std::uint8_t*>(p1);
            for (std::uint32_t k = 0; k < n1; ++k) bytes[k] = static_cast<std::uint8_t>(std::lround(127.5 + 120 * std::sin(k * 0.01 * (i + 1))));
            b->Unlock(p1, n1, p2, n2);
            b->SetVolume(-600 - 50 * i);
            b->Play(0, 0, DSBPLAY_LOOPING);
            voices.push_back(std::move(b));
        }
    }
};

void BM_MixOneSecond(benchmark::State& state) {
    TMixerRig rig(static_cast<int>(state.range(0)));
    // Mixed as the device asks for it: 1024 frames at a time.
    constexpr std::size_t kChunk = 1024;
    constexpr std::size_t kSecond = 44100;
    for (auto _ : state) {
        for (std::size_t done = 0; done < kSecond; done += kChunk) rig.output->Render(std::min(kChunk, kSecond - done));
        benchmark::DoNotOptimize(rig.output->LastOutput().data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kSecond);
    state.counters["voices"] = static_cast<double>(state.range(0));
    // Seconds of audio mixed per second of work.
    state.counters["realtime"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_MixOneSecond)->Arg(1)->Arg(8)->Arg(32)->Unit(benchmark::kMillisecond);

}  // namespace
