#include "platform/audio/AudioBackend.h"

namespace qv::audio {

bool TNullAudioBackend::Open(std::uint32_t rate, std::uint16_t channels, TRenderCallback render) {
    if (failOpen_ || !render || rate == 0 || channels < 1 || channels > 2) return false;
    rate_ = rate;
    channels_ = channels;
    render_ = std::move(render);
    ++opens_;
    return true;
}

void TNullAudioBackend::Close() { render_ = nullptr; }

bool TNullAudioBackend::Render(std::size_t frames) {
    if (!render_) return false;
    output_.assign(frames * channels_, 0);
    render_(output_.data(), frames);
    return true;
}

}  // namespace qv::audio
