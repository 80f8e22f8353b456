// The software mixer behind the sound device. Internal to the audio layer.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio/AudioBackend.h"
#include "platform/codec/WaveFormat.h"

namespace qv::audio {

// One secondary buffer as the mixer sees it. Guarded by TMixer::Lock.
struct TVoice {
    std::shared_ptr<std::vector<std::uint8_t>> Memory;  // shared with duplicates
    codec::WAVEFORMATEX Format;
    std::uint32_t Flags = 0;
    std::uint64_t Position = 0;  // sample frames, 32.32 fixed point
    bool Playing = false;
    bool Looping = false;
    bool Lost = false;
    std::int32_t Volume = 0;
    float Gain = 1.0f;
    std::int32_t Pan = 0;
    std::uint32_t Frequency = 0;

    struct TLocked {
        std::vector<std::uint8_t> Staging;  // both regions, one after the other
        std::uint32_t Offset = 0;
        std::uint32_t First = 0;
        std::uint32_t Second = 0;
    };
    std::vector<TLocked> Locks;

    std::uint32_t Frames() const {
        return Format.nBlockAlign ? static_cast<std::uint32_t>(Memory->size() / Format.nBlockAlign) : 0;
    }
};

// Where the limiter puts a frame that would go past full scale: 90 % of it
// (about -0.9 dB), so limited output never sits at full scale.
inline constexpr float kLimiterTarget = 29490.0f;
// How long the limiter's gain takes to come back from 0 to 1.
inline constexpr float kLimiterReleaseSeconds = 0.1f;

class TMixer {
public:
    explicit TMixer(std::unique_ptr<IAudioBackend> backend) : backend_(std::move(backend)) {}
    ~TMixer() { Close(); }

    // Opens the backend at `format` (the mixer writes S16 whatever the
    // record's sample size). Must not be called with Lock held.
    bool Open(const codec::WAVEFORMATEX& format);
    void Close();

    // Mixes `frames` output frames of every playing voice, through a
    // limiter that lowers sums that would clip (see kLimiterTarget); what
    // the output can hold passes unchanged. Takes Lock.
    void Render(std::int16_t* out, std::size_t frames);

    std::mutex Lock;
    std::vector<TVoice*> Voices;
    codec::WAVEFORMATEX Output;
    std::uint32_t CooperativeLevel = 0;
    bool RefuseRestore = false;

private:
    void MixVoice(TVoice& v, std::size_t frames, std::uint16_t outChannels);
    // Writes the accumulated frames to `out` through the limiter.
    void Limit(std::int16_t* out, std::size_t frames, std::uint16_t channels);

    std::unique_ptr<IAudioBackend> backend_;
    std::mutex openLock_;
    bool open_ = false;
    std::vector<float> accum_;
    float limiterGain_ = 1.0f;  // guarded by Lock
};

}  // namespace qv::audio
