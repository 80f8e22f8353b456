#include <SDL.h>

#include <cstring>

#include "platform/audio/AudioBackend.h"

namespace qv::audio {

namespace {

class TSdlAudioBackend final : public IAudioBackend {
public:
    ~TSdlAudioBackend() override { Close(); }

    bool Open(std::uint32_t rate, std::uint16_t channels, TRenderCallback render) override {
        Close();
        if (!render || rate == 0 || channels < 1 || channels > 2) return false;
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
        SDL_AudioSpec want;
        SDL_zero(want);
        want.freq = static_cast<int>(rate);
        want.format = AUDIO_S16SYS;
        want.channels = static_cast<Uint8>(channels);
        want.samples = 1024;
        want.callback = &TSdlAudioBackend::Callback;
        want.userdata = this;
        SDL_AudioSpec have;
        SDL_zero(have);
        render_ = std::move(render);
        channels_ = channels;
        scratch_.assign(static_cast<std::size_t>(want.samples) * channels, 0);
        // No changes allowed: SDL converts to whatever the device wants.
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device_ == 0) {
            render_ = nullptr;
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }

    void Close() override {
        if (device_ == 0) return;
        // Waits for a running callback to return.
        SDL_CloseAudioDevice(device_);
        device_ = 0;
        render_ = nullptr;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

private:
    static void SDLCALL Callback(void* user, Uint8* stream, int len) {
        auto* self = static_cast<TSdlAudioBackend*>(user);
        const std::size_t frameBytes = sizeof(std::int16_t) * self->channels_;
        const std::size_t frames = static_cast<std::size_t>(len) / frameBytes;
        if (self->scratch_.size() < frames * self->channels_) self->scratch_.resize(frames * self->channels_);
        self->render_(self->scratch_.data(), frames);
        std::memcpy(stream, self->scratch_.data(), frames * frameBytes);
        if (frames * frameBytes < static_cast<std::size_t>(len))
            std::memset(stream + frames * frameBytes, 0, static_cast<std::size_t>(len) - frames * frameBytes);
    }

    SDL_AudioDeviceID device_ = 0;
    TRenderCallback render_;
    std::uint16_t channels_ = 2;
    std::vector<std::int16_t> scratch_;
};

}  // namespace

std::unique_ptr<IAudioBackend> CreateSdlAudioBackend() { return std::make_unique<TSdlAudioBackend>(); }

}  // namespace qv::audio
