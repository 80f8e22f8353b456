#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>

#include "platform/audio/DirectSound.h"
#include "tests/sound/SoundFixtures.h"

namespace qv::audio {

namespace {

using codec::MakePcmFormat;
using test::TBytes;

class AudioDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto backend = std::make_unique<TNullAudioBackend>();
        null_ = backend.get();
        ASSERT_EQ(DirectSoundCreate8(device_, std::move(backend)), DS_OK);
        ASSERT_EQ(device_->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
    }

    std::shared_ptr<TDirectSoundBuffer> Make(const codec::TWaveFormat& f, const TBytes& data,
                                             std::uint32_t flags = DSBCAPS_CTRLVOLUME | DSBCAPS_STATIC) {
        DSBUFFERDESC d;
        d.dwFlags = flags;
        d.dwBufferBytes = static_cast<std::uint32_t>(data.size());
        d.lpwfxFormat = &f.Fmt;
        std::shared_ptr<TDirectSoundBuffer> b;
        EXPECT_EQ(device_->CreateSoundBuffer(d, b), DS_OK);
        if (b) Write(*b, 0, data);
        return b;
    }

    static void Write(TDirectSoundBuffer& b, std::uint32_t at, const TBytes& data) {
        void *p1 = nullptr, *p2 = nullptr;
        std::uint32_t n1 = 0, n2 = 0;
        ASSERT_EQ(b.Lock(at, static_cast<std::uint32_t>(data.size()), &p1, &n1, &p2, &n2, 0), DS_OK);
        std::memcpy(p1, data.data(), n1);
        if (n2) std::memcpy(p2, data.data() + n1, n2);
        ASSERT_EQ(b.Unlock(p1, n1, p2, n2), DS_OK);
    }

    static TBytes Contents(TDirectSoundBuffer& b) {
        void *p1 = nullptr, *p2 = nullptr;
        std::uint32_t n1 = 0, n2 = 0;
        EXPECT_EQ(b.Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
        TBytes out(static_cast<std::uint8_t*>(p1), static_cast<std::uint8_t*>(p1) + n1);
        EXPECT_EQ(b.Unlock(p1, 0, p2, 0), DS_OK);
        return out;
    }

    // The left channel of the last render.
    std::vector<std::int16_t> Left() const {
        std::vector<std::int16_t> l;
        const auto& out = null_->LastOutput();
        for (std::size_t i = 0; i < out.size(); i += 2) l.push_back(out[i]);
        return l;
    }

    static std::uint32_t Status(const TDirectSoundBuffer& b) {
        std::uint32_t s = 0;
        EXPECT_EQ(b.GetStatus(s), DS_OK);
        return s;
    }

    TNullAudioBackend* null_ = nullptr;
    std::shared_ptr<TDirectSound> device_;
};

std::vector<std::int16_t> Samples(std::initializer_list<int> v) {
    std::vector<std::int16_t> s;
    for (int x : v) s.push_back(static_cast<std::int16_t>(x));
    return s;
}

}  // namespace

TEST(AudioDeviceCreateTest, NoDeviceIsNoDriver) {
    std::shared_ptr<TDirectSound> device;
    EXPECT_EQ(DirectSoundCreate8(device, std::make_unique<TNullAudioBackend>(true)), DSERR_NODRIVER);
    EXPECT_FALSE(device);
}

TEST_F(AudioDeviceTest, BufferDescriptionsAreChecked) {
    const codec::TWaveFormat good = MakePcmFormat(2, 44100, 16);
    codec::TWaveFormat bits24 = MakePcmFormat(2, 44100, 24);
    codec::TWaveFormat six = MakePcmFormat(6, 44100, 16);
    codec::TWaveFormat wrongRate = good;
    wrongRate.Fmt.nAvgBytesPerSec = 1000;
    codec::TWaveFormat compressed = good;
    compressed.Fmt.wFormatTag = codec::WAVE_FORMAT_MPEGLAYER3;
    struct TCase {
        const char* what;
        std::uint32_t size, flags, bytes;
        const codec::WAVEFORMATEX* format;
        HRESULT result;
    };
    const TCase cases[] = {
        {"a plain buffer", kDSBufferDescSize, 0, 4, &good.Fmt, DS_OK},
        {"the largest buffer", kDSBufferDescSize, 0, DSBSIZE_MAX, &good.Fmt, DS_OK},
        {"zero bytes", kDSBufferDescSize, 0, 0, &good.Fmt, DSERR_INVALIDPARAM},
        {"three bytes", kDSBufferDescSize, 0, 3, &good.Fmt, DSERR_INVALIDPARAM},
        {"too large", kDSBufferDescSize, 0, DSBSIZE_MAX + 1, &good.Fmt, DSERR_INVALIDPARAM},
        {"no format", kDSBufferDescSize, 0, 400, nullptr, DSERR_INVALIDPARAM},
        {"a wrong description size", 20, 0, 400, &good.Fmt, DSERR_INVALIDPARAM},
        {"24 bits", kDSBufferDescSize, 0, 400, &bits24.Fmt, DSERR_BADFORMAT},
        {"six channels", kDSBufferDescSize, 0, 400, &six.Fmt, DSERR_BADFORMAT},
        {"an inconsistent byte rate", kDSBufferDescSize, 0, 400, &wrongRate.Fmt, DSERR_BADFORMAT},
        {"compressed data", kDSBufferDescSize, 0, 400, &compressed.Fmt, DSERR_BADFORMAT},
        {"hardware and software", kDSBufferDescSize, DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE, 400, &good.Fmt,
         DSERR_INVALIDPARAM},
        {"a primary buffer with a size", kDSBufferDescSize, DSBCAPS_PRIMARYBUFFER, 400, nullptr, DSERR_INVALIDPARAM},
        {"a primary buffer with a format", kDSBufferDescSize, DSBCAPS_PRIMARYBUFFER, 0, &good.Fmt, DSERR_INVALIDPARAM},
        {"a primary buffer", kDSBufferDescSize, DSBCAPS_PRIMARYBUFFER, 0, nullptr, DS_OK},
    };
    for (const TCase& c : cases) {
        DSBUFFERDESC d;
        d.dwSize = c.size;
        d.dwFlags = c.flags;
        d.dwBufferBytes = c.bytes;
        d.lpwfxFormat = c.format;
        std::shared_ptr<TDirectSoundBuffer> b;
        EXPECT_EQ(device_->CreateSoundBuffer(d, b), c.result) << c.what;
        EXPECT_EQ(b != nullptr, c.result == DS_OK) << c.what;
    }
}

TEST_F(AudioDeviceTest, StaticSoundPlaysToItsEndAndStops) {
    const TBytes pcm = test::CounterPcm16(100, 1);
    auto b = Make(MakePcmFormat(1, 44100, 16), pcm);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Status(*b), DSBSTATUS_PLAYING);
    null_->Render(60);
    std::uint32_t play = 0, write = 0;
    ASSERT_EQ(b->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(play, 120u);
    // 10 ms ahead, but never a whole buffer: 99 frames here.
    EXPECT_EQ(write, (120u + 198u) % 200u);
    const std::vector<std::int16_t> first = Left();
    null_->Render(60);
    const std::vector<std::int16_t> second = Left();
    EXPECT_EQ(Status(*b), 0u);
    const std::vector<std::int16_t> all = test::AsSamples(pcm);
    for (std::size_t i = 0; i < 60; ++i) EXPECT_EQ(first[i], all[i]) << i;
    for (std::size_t i = 0; i < 40; ++i) EXPECT_EQ(second[i], all[60 + i]) << i;
    for (std::size_t i = 40; i < 60; ++i) EXPECT_EQ(second[i], 0) << i;
    // A finished sound starts again from its beginning.
    ASSERT_EQ(b->GetCurrentPosition(&play, nullptr), DS_OK);
    EXPECT_EQ(play, 0u);
}

TEST_F(AudioDeviceTest, LoopingWrapsAndStopKeepsTheCursor) {
    auto b = Make(MakePcmFormat(1, 44100, 16), test::AsBytes(Samples({10, 20, 30, 40})));
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(Status(*b), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    null_->Render(10);
    EXPECT_EQ(Left(), Samples({10, 20, 30, 40, 10, 20, 30, 40, 10, 20}));
    ASSERT_EQ(b->Stop(), DS_OK);
    std::uint32_t play = 0, write = 0;
    ASSERT_EQ(b->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(play, 4u);
    EXPECT_EQ(write, 4u);
    ASSERT_EQ(b->SetCurrentPosition(7), DS_OK);  // down to a whole frame
    ASSERT_EQ(b->GetCurrentPosition(&play, nullptr), DS_OK);
    EXPECT_EQ(play, 6u);
    EXPECT_EQ(b->SetCurrentPosition(8), DSERR_INVALIDPARAM);
}

TEST_F(AudioDeviceTest, FormatsAreConvertedAndResampled) {
    // 8-bit: (b - 128) << 8.
    const TBytes bytes8 = {0, 64, 128, 255};
    auto b8 = Make(MakePcmFormat(1, 44100, 8), bytes8);
    b8->Play(0, 0, 0);
    null_->Render(4);
    EXPECT_EQ(Left(), Samples({-32768, -16384, 0, 32512}));

    // Half the output rate: every second frame lies halfway between two.
    auto half = Make(MakePcmFormat(1, 22050, 16), test::AsBytes(Samples({0, 1000, 3000, 3000})));
    half->Play(0, 0, 0);
    null_->Render(8);
    EXPECT_EQ(Left(), Samples({0, 500, 1000, 2000, 3000, 3000, 3000, 3000}));

    // Stereo keeps its sides.
    auto st = Make(MakePcmFormat(2, 44100, 16), test::AsBytes(Samples({100, -100, 200, -200})));
    st->Play(0, 0, 0);
    null_->Render(2);
    EXPECT_EQ(null_->LastOutput(), Samples({100, -100, 200, -200}));
}

TEST_F(AudioDeviceTest, VolumeMapsHundredthsOfDecibelsToGain) {
    struct TCase {
        std::int32_t volume;
        double gain;
    };
    const TCase cases[] = {{0, 1.0}, {-602, 0.5}, {-2000, 0.1}, {-4000, 0.01}, {-10000, 0.0}};
    for (const TCase& c : cases) {
        EXPECT_NEAR(VolumeToGain(c.volume), c.gain, 0.001) << c.volume;
        auto b = Make(MakePcmFormat(1, 44100, 16), test::AsBytes(Samples({20000, -20000})));
        ASSERT_EQ(b->SetVolume(c.volume), DS_OK);
        std::int32_t back = 1;
        ASSERT_EQ(b->GetVolume(back), DS_OK);
        EXPECT_EQ(back, c.volume);
        b->Play(0, 0, 0);
        null_->Render(2);
        EXPECT_NEAR(Left()[0], 20000 * c.gain, 20) << c.volume;
        EXPECT_NEAR(Left()[1], -20000 * c.gain, 20) << c.volume;
    }
    auto b = Make(MakePcmFormat(1, 44100, 16), TBytes(8, 0));
    EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetVolume(-10001), DSERR_INVALIDPARAM);
    auto fixed = Make(MakePcmFormat(1, 44100, 16), TBytes(8, 0), DSBCAPS_STATIC);
    EXPECT_EQ(fixed->SetVolume(-100), DSERR_CONTROLUNAVAIL);
}

TEST_F(AudioDeviceTest, VoicesAddUpAndLoudSumsAreLimitedBelowFullScale) {
    auto a = Make(MakePcmFormat(1, 44100, 16), test::AsBytes(Samples({1000, 30000, -30000})));
    auto b = Make(MakePcmFormat(1, 44100, 16), test::AsBytes(Samples({-300, 30000, -30000})));
    a->Play(0, 0, 0);
    b->Play(0, 0, 0);
    null_->Render(3);
    const auto left = Left();
    ASSERT_EQ(left.size(), 3u);
    EXPECT_EQ(left[0], 700);  // a sum the output holds is exact
    EXPECT_NEAR(left[1], 29490, 2);
    EXPECT_NEAR(left[2], -29503, 2);  // the gain already on its way back
}

TEST_F(AudioDeviceTest, ThirtyTwoLoudVoicesPeakUnderFullScaleAndQuietOnesStayExact) {
    // Half a second of a loud 16-bit stereo tone per voice, each at its own
    // pitch and phase, all at full volume.
    constexpr int kVoices = 32;
    constexpr int kFrames = 22050;
    std::vector<std::shared_ptr<TDirectSoundBuffer>> voices;
    for (int v = 0; v < kVoices; ++v) {
        std::vector<int> samples;
        for (int i = 0; i < kFrames; ++i) {
            const int s = static_cast<int>(std::lround(32767 * std::sin(i * 0.01 * (v + 1) + v)));
            samples.push_back(s);
            samples.push_back(-s);
        }
        std::vector<std::int16_t> pcm(samples.begin(), samples.end());
        TBytes bytes(pcm.size() * 2);
        std::memcpy(bytes.data(), pcm.data(), bytes.size());
        voices.push_back(Make(MakePcmFormat(2, 44100, 16), bytes));
        voices.back()->Play(0, 0, 0);
    }
    int peak = 0;
    std::size_t full = 0;
    for (int chunk = 0; chunk < kFrames / 1024; ++chunk) {
        null_->Render(1024);
        for (std::int16_t s : null_->LastOutput()) {
            peak = std::max(peak, std::abs(int{s}));
            full += s == 32767 || s == -32768;
        }
    }
    EXPECT_LT(peak, 32767);
    EXPECT_GT(peak, 29000);  // limited, not made quiet
    EXPECT_EQ(full, 0u);

    // When the loud voices have ended the limiter lets go: a quiet sound is
    // exact again after its release time.
    null_->Render(44100 / 5);
    auto quiet = Make(MakePcmFormat(1, 44100, 16), test::AsBytes(Samples({1234, -4321, 100})));
    quiet->Play(0, 0, 0);
    null_->Render(3);
    EXPECT_EQ(Left(), Samples({1234, -4321, 100}));
}

TEST_F(AudioDeviceTest, LockHandsOutTwoRegionsWhenTheRangeWraps) {
    auto b = Make(MakePcmFormat(1, 44100, 8), TBytes(10, 0));
    void *p1 = nullptr, *p2 = nullptr;
    std::uint32_t n1 = 0, n2 = 0;
    ASSERT_EQ(b->Lock(7, 6, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 3u);
    EXPECT_EQ(n2, 3u);
    std::memset(p1, 1, n1);
    std::memset(p2, 2, n2);
    ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
    EXPECT_EQ(Contents(*b), (TBytes{2, 2, 2, 0, 0, 0, 0, 1, 1, 1}));
    // Only what Unlock is told was written counts.
    ASSERT_EQ(b->Lock(0, 4, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(p2, nullptr);
    std::memset(p1, 9, n1);
    ASSERT_EQ(b->Unlock(p1, 2, nullptr, 0), DS_OK);
    EXPECT_EQ(Contents(*b), (TBytes{9, 9, 2, 0, 0, 0, 0, 1, 1, 1}));

    EXPECT_EQ(b->Lock(10, 1, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 11, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    int stray = 0;
    EXPECT_EQ(b->Unlock(&stray, 1, nullptr, 0), DSERR_INVALIDPARAM);
}

TEST_F(AudioDeviceTest, LostBufferRefusesLockAndPlayUntilRestored) {
    auto b = Make(MakePcmFormat(1, 44100, 16), test::AsBytes(Samples({5, 6, 7, 8})));
    b->Play(0, 0, DSBPLAY_LOOPING);
    device_->SimulateLoss(*b);
    EXPECT_EQ(Status(*b), DSBSTATUS_BUFFERLOST);
    void *p1 = nullptr, *p2 = nullptr;
    std::uint32_t n1 = 0, n2 = 0;
    EXPECT_EQ(b->Lock(0, 2, &p1, &n1, &p2, &n2, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(b->Play(0, 0, 0), DSERR_BUFFERLOST);
    null_->Render(4);
    EXPECT_EQ(Left(), Samples({0, 0, 0, 0}));

    device_->RefuseRestore(true);
    EXPECT_EQ(b->Restore(), DSERR_BUFFERLOST);
    device_->RefuseRestore(false);
    ASSERT_EQ(b->Restore(), DS_OK);
    EXPECT_EQ(Status(*b), 0u);
    EXPECT_EQ(Contents(*b), TBytes(8, 0));  // the memory comes back empty
    EXPECT_EQ(b->Play(0, 0, 0), DS_OK);

    auto c = Make(MakePcmFormat(1, 44100, 16), TBytes(8, 1));
    device_->SimulateLossOfAll();
    EXPECT_EQ(Status(*b) & DSBSTATUS_BUFFERLOST, DSBSTATUS_BUFFERLOST);
    EXPECT_EQ(Status(*c), DSBSTATUS_BUFFERLOST);
}

TEST_F(AudioDeviceTest, DuplicatesShareMemoryButNotTheirState) {
    auto a = Make(MakePcmFormat(1, 44100, 16), test::AsBytes(Samples({1, 2, 3, 4})));
    ASSERT_EQ(a->SetVolume(-602), DS_OK);
    std::shared_ptr<TDirectSoundBuffer> d;
    ASSERT_EQ(device_->DuplicateSoundBuffer(a, d), DS_OK);
    Write(*a, 0, test::AsBytes(Samples({1000, 2000, 3000, 4000})));
    std::int32_t volume = 0;
    ASSERT_EQ(d->GetVolume(volume), DS_OK);
    EXPECT_EQ(volume, -602);
    ASSERT_EQ(d->SetVolume(0), DS_OK);
    a->SetCurrentPosition(4);
    d->Play(0, 0, 0);
    null_->Render(2);
    EXPECT_EQ(Left(), Samples({1000, 2000}));
    EXPECT_EQ(Status(*a), 0u);
    device_->SimulateLoss(*a);
    EXPECT_EQ(Status(*d), DSBSTATUS_PLAYING);
    // The duplicate outlives its original.
    a.reset();
    null_->Render(2);
    EXPECT_EQ(Left(), Samples({3000, 4000}));

    std::shared_ptr<TDirectSoundBuffer> primary, none;
    DSBUFFERDESC pd;
    pd.dwFlags = DSBCAPS_PRIMARYBUFFER;
    ASSERT_EQ(device_->CreateSoundBuffer(pd, primary), DS_OK);
    EXPECT_EQ(device_->DuplicateSoundBuffer(primary, none), DSERR_INVALIDCALL);
}

TEST_F(AudioDeviceTest, PrimaryFormatNeedsPriorityAndReopensTheOutput) {
    std::shared_ptr<TDirectSoundBuffer> primary;
    DSBUFFERDESC pd;
    pd.dwFlags = DSBCAPS_PRIMARYBUFFER;
    ASSERT_EQ(device_->CreateSoundBuffer(pd, primary), DS_OK);
    EXPECT_EQ(null_->Rate(), 44100u);
    EXPECT_EQ(primary->SetFormat(MakePcmFormat(2, 44100, 16).Fmt), DS_OK);
    EXPECT_EQ(null_->OpenCount(), 1);
    EXPECT_EQ(primary->SetFormat(MakePcmFormat(3, 44100, 16).Fmt), DSERR_BADFORMAT);
    ASSERT_EQ(primary->SetFormat(MakePcmFormat(1, 22050, 16).Fmt), DS_OK);
    EXPECT_EQ(null_->OpenCount(), 2);
    EXPECT_EQ(null_->Rate(), 22050u);
    EXPECT_EQ(null_->Channels(), 1);
    auto b = Make(MakePcmFormat(2, 44100, 16), test::AsBytes(Samples({100, 300, 500, 700})));
    b->Play(0, 0, 0);
    null_->Render(1);
    EXPECT_EQ(null_->LastOutput(), Samples({200}));  // both sides into one, every second frame

    ASSERT_EQ(device_->SetCooperativeLevel(nullptr, DSSCL_NORMAL), DS_OK);
    EXPECT_EQ(primary->SetFormat(MakePcmFormat(2, 44100, 16).Fmt), DSERR_PRIOLEVELNEEDED);
    EXPECT_EQ(device_->SetCooperativeLevel(nullptr, 9), DSERR_INVALIDPARAM);
}

TEST_F(AudioDeviceTest, MixingRunsBesideCallsFromAnotherThread) {
    auto ring = Make(MakePcmFormat(2, 44100, 16), TBytes(44100 * 4 / 10, 0), DSBCAPS_CTRLVOLUME);
    ring->Play(0, 0, DSBPLAY_LOOPING);
    std::atomic<bool> stop{false};
    std::thread mixer([&] {
        while (!stop) null_->Render(256);
    });
    for (int i = 0; i < 400; ++i) {
        std::uint32_t play = 0;
        ring->GetCurrentPosition(&play, nullptr);
        Write(*ring, play, TBytes(512, static_cast<std::uint8_t>(i)));
        ring->SetVolume(-(i % 100) * 10);
        std::shared_ptr<TDirectSoundBuffer> dup;
        device_->DuplicateSoundBuffer(ring, dup);
        dup->Play(0, 0, 0);
    }
    stop = true;
    mixer.join();
    EXPECT_EQ(Status(*ring), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
}

}  // namespace qv::audio
