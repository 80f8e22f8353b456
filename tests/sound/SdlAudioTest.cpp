#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <thread>

#include "media/zkDSound.h"
#include "platform/system/Files.h"
#include "tests/sound/SoundFixtures.h"

namespace qv {

namespace {

using test::TBytes;

// Sets an environment variable for one test and puts the old value back.
class TEnvOverride {
public:
    TEnvOverride(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~TEnvOverride() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }
    TEnvOverride(const TEnvOverride&) = delete;
    TEnvOverride& operator=(const TEnvOverride&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Polls `done` until it holds; false after the patience runs out.
template <typename F>
bool Eventually(F done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace

TEST(SdlAudioTest, DummyDriverRunsTheMixer) {
    TEnvOverride driver("SDL_AUDIODRIVER", "dummy");
    TzkDSound sound(nullptr, audio::DSSCL_PRIORITY);
    ASSERT_FALSE(sound.SoundUnavailable);
    const TBytes wave = test::WaveFile(codec::MakePcmFormat(2, 44100, 16), test::CounterPcm16(44100, 2));
    TzkDSoundFile* s = TzkDSoundFile::CreateFromStream(sound, 2000, kBufferStatic, wave, "tone");
    s->Looping = true;
    s->Play();
    EXPECT_TRUE(Eventually([&] {
        std::uint32_t play = 0;
        s->Buffer->GetCurrentPosition(&play, nullptr);
        return play > 0;
    }));
}

TEST(SdlAudioTest, DiskDriverWritesThePlayedSound) {
    test::TempDir dir;
    const std::string out = dir / "mixed.raw";
    TEnvOverride driver("SDL_AUDIODRIVER", "disk");
    TEnvOverride file("SDL_DISKAUDIOFILE", out);
    TEnvOverride delay("SDL_DISKAUDIODELAY", "0");
    {
        TzkDSound sound(nullptr, audio::DSSCL_PRIORITY);
        ASSERT_FALSE(sound.SoundUnavailable);
        const TBytes wave = test::WaveFile(codec::MakePcmFormat(1, 22050, 16), test::TonePcm16(4410, 1, 22050, 441.0, 12000.0));
        TzkDSoundFile* s = TzkDSoundFile::CreateFromStream(sound, 2000, kBufferStatic, wave, "tone");
        ASSERT_EQ(s->State, kSoundReady);
        s->Play();
        ASSERT_TRUE(Eventually([&] {
            std::uint32_t status = 0;
            s->Buffer->GetStatus(status);
            return (status & audio::DSBSTATUS_PLAYING) == 0;
        }));
    }  // closing the device ends the file
    const TBytes raw = sys::ReadFileBytes(out).value_or(TBytes());
    const std::vector<std::int16_t> samples = test::AsSamples(raw);
    // Silence until the sound started, then the tone at its level,
    // resampled to 44100 Hz stereo.
    std::size_t start = 0;
    while (start < samples.size() && samples[start] == 0) ++start;
    ASSERT_GE(samples.size(), start + 8000 * 2);
    const std::span<const std::int16_t> tone(samples.data() + start, 8000 * 2);
    std::int16_t peak = 0;
    for (std::int16_t v : tone) peak = std::max<std::int16_t>(peak, static_cast<std::int16_t>(std::abs(v)));
    EXPECT_GT(peak, 11000);
    EXPECT_LE(peak, 12001);
    EXPECT_NEAR(test::Rms(tone), 12000 / std::sqrt(2.0), 400.0);
}

}  // namespace qv
