#include "platform/audio/Mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qv::audio {

namespace {

constexpr float kFracScale = 1.0f / 4294967296.0f;

template <int Bits, int Channels>
inline void Fetch(const std::uint8_t* mem, std::uint32_t frame, float& l, float& r) {
    if constexpr (Bits == 16) {
        const std::uint8_t* p = mem + static_cast<std::size_t>(frame) * 2 * Channels;
        l = static_cast<float>(static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8))));
        if constexpr (Channels == 2)
            r = static_cast<float>(static_cast<std::int16_t>(static_cast<std::uint16_t>(p[2] | (p[3] << 8))));
        else
            r = l;
    } else {
        const std::uint8_t* p = mem + static_cast<std::size_t>(frame) * Channels;
        l = static_cast<float>((p[0] - 128) * 256);
        if constexpr (Channels == 2)
            r = static_cast<float>((p[1] - 128) * 256);
        else
            r = l;
    }
}

// Adds `n` frames of the voice to `acc` (outChannels wide); returns false
// when a voice that does not loop ran past its end.
template <int Bits, int Channels>
bool MixFrames(TVoice& v, float* acc, std::size_t n, std::uint16_t outChannels, std::uint64_t step) {
    const std::uint8_t* mem = v.Memory->data();
    const std::uint32_t frames = v.Frames();
    const std::uint64_t end = static_cast<std::uint64_t>(frames) << 32;
    const float gain = v.Gain;
    std::uint64_t pos = v.Position;
    for (std::size_t i = 0; i < n; ++i) {
        const auto idx = static_cast<std::uint32_t>(pos >> 32);
        std::uint32_t next = idx + 1;
        if (next >= frames) next = v.Looping ? 0 : idx;
        const float frac = static_cast<float>(pos & 0xFFFFFFFFu) * kFracScale;
        float l0, r0, l1, r1;
        Fetch<Bits, Channels>(mem, idx, l0, r0);
        Fetch<Bits, Channels>(mem, next, l1, r1);
        const float l = (l0 + (l1 - l0) * frac) * gain;
        const float r = (r0 + (r1 - r0) * frac) * gain;
        if (outChannels == 2) {
            acc[2 * i] += l;
            acc[2 * i + 1] += r;
        } else {
            acc[i] += (l + r) * 0.5f;
        }
        pos += step;
        if (pos >= end) {
            if (!v.Looping) {
                v.Position = 0;
                return false;
            }
            pos %= end;
        }
    }
    v.Position = pos;
    return true;
}

}  // namespace

bool TMixer::Open(const codec::WAVEFORMATEX& format) {
    std::lock_guard g(openLock_);
    if (open_) {
        backend_->Close();
        open_ = false;
    }
    {
        std::lock_guard l(Lock);
        Output = format;
        limiterGain_ = 1.0f;
    }
    open_ = backend_->Open(format.nSamplesPerSec, format.nChannels,
                           [this](std::int16_t* out, std::size_t frames) { Render(out, frames); });
    return open_;
}

void TMixer::Close() {
    std::lock_guard g(openLock_);
    if (open_) backend_->Close();
    open_ = false;
}

void TMixer::MixVoice(TVoice& v, std::size_t frames, std::uint16_t outChannels) {
    const std::uint32_t total = v.Frames();
    if (total == 0 || Output.nSamplesPerSec == 0) {
        v.Playing = false;
        return;
    }
    const std::uint64_t step = (static_cast<std::uint64_t>(v.Format.nSamplesPerSec) << 32) / Output.nSamplesPerSec;
    if (v.Gain <= 0.0f) {
        // Silent: only the cursor moves.
        const std::uint64_t end = static_cast<std::uint64_t>(total) << 32;
        const std::uint64_t pos = v.Position + step * frames;
        if (pos >= end && !v.Looping) {
            v.Position = 0;
            v.Playing = false;
        } else {
            v.Position = pos % end;
        }
        return;
    }
    float* acc = accum_.data();
    bool more = true;
    const bool wide = v.Format.nChannels == 2;
    if (v.Format.wBitsPerSample == 16)
        more = wide ? MixFrames<16, 2>(v, acc, frames, outChannels, step) : MixFrames<16, 1>(v, acc, frames, outChannels, step);
    else
        more = wide ? MixFrames<8, 2>(v, acc, frames, outChannels, step) : MixFrames<8, 1>(v, acc, frames, outChannels, step);
    if (!more) v.Playing = false;
}

void TMixer::Render(std::int16_t* out, std::size_t frames) {
    std::lock_guard g(Lock);
    const std::uint16_t channels = Output.nChannels == 1 ? 1 : 2;
    const std::size_t samples = frames * channels;
    if (accum_.size() < samples) accum_.resize(samples);
    std::fill_n(accum_.begin(), samples, 0.0f);
    for (TVoice* v : Voices) {
        if (v->Playing && !v->Lost) MixVoice(*v, frames, channels);
    }
    Limit(out, frames, channels);
}

void TMixer::Limit(std::int16_t* out, std::size_t frames, std::uint16_t channels) {
    // A mix the output can hold passes unchanged. A frame that would go past
    // full scale lowers the gain of the whole output at once, to put that
    // frame at kLimiterTarget; the gain then comes back to 1 over
    // kLimiterReleaseSeconds.
    const float rate = static_cast<float>(std::max<std::uint32_t>(Output.nSamplesPerSec, 1));
    const float release = 1.0f / (kLimiterReleaseSeconds * rate);
    for (std::size_t f = 0; f < frames; ++f) {
        const float* frame = accum_.data() + f * channels;
        bool over = false;
        float peak = 0.0f;
        for (std::uint16_t c = 0; c < channels; ++c) {
            const float s = frame[c] * limiterGain_;
            over = over || s > 32767.0f || s < -32768.0f;
            peak = std::max(peak, std::fabs(frame[c]));
        }
        if (over) limiterGain_ = kLimiterTarget / peak;
        for (std::uint16_t c = 0; c < channels; ++c) {
            const float s = std::clamp(frame[c] * limiterGain_, -32768.0f, 32767.0f);
            out[f * channels + c] = static_cast<std::int16_t>(s);
        }
        if (limiterGain_ < 1.0f) limiterGain_ = std::min(1.0f, limiterGain_ + release);
    }
}

}  // namespace qv::audio
