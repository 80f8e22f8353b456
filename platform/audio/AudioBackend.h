// Where the mixed sound goes. The device opens one backend at its output
// format and the backend asks it for samples whenever it needs more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace qv::audio {

// Fills `frames` frames of interleaved signed 16-bit samples.
using TRenderCallback = std::function<void(std::int16_t* out, std::size_t frames)>;

class IAudioBackend {
public:
    virtual ~IAudioBackend() = default;
    // Starts output at `rate` frames per second and 1 or 2 channels; false
    // when there is no device to play on. The callback may run on another
    // thread until Close returns.
    virtual bool Open(std::uint32_t rate, std::uint16_t channels, TRenderCallback render) = 0;
    // Stops output; no callback runs after it returns. Safe to call twice.
    virtual void Close() = 0;
};

// SDL2 audio: the default output device, or whatever SDL_AUDIODRIVER names.
std::unique_ptr<IAudioBackend> CreateSdlAudioBackend();

// A device without a clock: nothing is mixed until the test calls Render.
class TNullAudioBackend final : public IAudioBackend {
public:
    // With `failOpen` the device behaves like a machine with no sound device.
    explicit TNullAudioBackend(bool failOpen = false) : failOpen_(failOpen) {}

    bool Open(std::uint32_t rate, std::uint16_t channels, TRenderCallback render) override;
    void Close() override;

    // Mixes `frames` frames now; they become LastOutput. False when closed.
    bool Render(std::size_t frames);
    const std::vector<std::int16_t>& LastOutput() const { return output_; }
    bool IsOpen() const { return static_cast<bool>(render_); }
    std::uint32_t Rate() const { return rate_; }
    std::uint16_t Channels() const { return channels_; }
    int OpenCount() const { return opens_; }

private:
    bool failOpen_;
    TRenderCallback render_;
    std::uint32_t rate_ = 0;
    std::uint16_t channels_ = 0;
    int opens_ = 0;
    std::vector<std::int16_t> output_;
};

}  // namespace qv::audio
