#include <mpg123.h>

#include <limits>
#include <mutex>

#include "platform/codec/Converter.h"

namespace qv::codec {

namespace {

bool IsMpegRate(std::uint32_t rate) {
    switch (rate) {
        case 8000: case 11025: case 12000: case 16000: case 22050:
        case 24000: case 32000: case 44100: case 48000:
            return true;
        default:
            return false;
    }
}

// What the record says about the frames of its stream.
struct TLayer3Layout {
    std::uint32_t BlockBytes = 0;      // source bytes of one block
    std::uint32_t BlockPcmBytes = 0;   // PCM bytes one block decodes to
};

bool Layout(const TWaveFormat& src, TLayer3Layout& out) {
    MPEGLAYER3WAVEFORMAT l3;
    const WAVEFORMATEX& f = src.Fmt;
    if (f.wFormatTag != WAVE_FORMAT_MPEGLAYER3 || !ReadMpegLayer3(src, l3)) return false;
    if (l3.wID != MPEGLAYER3_ID_MPEG) return false;
    if (f.nChannels < 1 || f.nChannels > 2 || !IsMpegRate(f.nSamplesPerSec)) return false;
    // MPEG-1 frames carry 1152 samples, the lower-rate MPEG-2 and 2.5 frames 576.
    const std::uint32_t samplesPerFrame = f.nSamplesPerSec >= 32000 ? 1152 : 576;
    const std::uint32_t frames = l3.nFramesPerBlock ? l3.nFramesPerBlock : 1;
    std::uint64_t blockBytes = l3.nBlockSize;
    if (blockBytes == 0) blockBytes = static_cast<std::uint64_t>(samplesPerFrame) * frames * f.nAvgBytesPerSec / f.nSamplesPerSec;
    if (blockBytes == 0 || blockBytes > std::numeric_limits<std::uint32_t>::max()) return false;
    out.BlockBytes = static_cast<std::uint32_t>(blockBytes);
    out.BlockPcmBytes = samplesPerFrame * frames * f.nChannels * 2u;
    return true;
}

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

class TMp3Converter final : public IAcmConverter {
public:
    TMp3Converter(const WAVEFORMATEX& fmt, const TLayer3Layout& layout) : fmt_(fmt), layout_(layout) {}
    ~TMp3Converter() override {
        if (handle_) {
            mpg123_close(handle_);
            mpg123_delete(handle_);
        }
    }
    TMp3Converter(const TMp3Converter&) = delete;
    TMp3Converter& operator=(const TMp3Converter&) = delete;

    bool Open() {
        InitLibrary();
        int err = MPG123_OK;
        handle_ = mpg123_new(nullptr, &err);
        if (!handle_) return false;
        // Gapless trimming would change the decoded length; the output must
        // be every frame, whole, at the record's own rate and channels.
        mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
        mpg123_param(handle_, MPG123_REMOVE_FLAGS, MPG123_GAPLESS | MPG123_AUTO_RESAMPLE, 0.0);
        if (mpg123_format_none(handle_) != MPG123_OK) return false;
        const int channels = fmt_.nChannels == 1 ? MPG123_MONO : MPG123_STEREO;
        if (mpg123_format(handle_, static_cast<long>(fmt_.nSamplesPerSec), channels, MPG123_ENC_SIGNED_16) != MPG123_OK)
            return false;
        return Restart();
    }

    MMRESULT Size(std::uint32_t input, std::uint32_t& output, std::uint32_t flags) const override {
        std::uint64_t n = 0;
        if ((flags & 0xFu) == ACM_STREAMSIZEF_SOURCE) {
            n = (static_cast<std::uint64_t>(input) + layout_.BlockBytes - 1) / layout_.BlockBytes * layout_.BlockPcmBytes;
        } else if ((flags & 0xFu) == ACM_STREAMSIZEF_DESTINATION) {
            n = (static_cast<std::uint64_t>(input) + layout_.BlockPcmBytes - 1) / layout_.BlockPcmBytes * layout_.BlockBytes;
        } else {
            return MMSYSERR_INVALFLAG;
        }
        if (n == 0 || n > std::numeric_limits<std::uint32_t>::max()) return ACMERR_NOTPOSSIBLE;
        output = static_cast<std::uint32_t>(n);
        return MMSYSERR_NOERROR;
    }

    MMRESULT Convert(const std::uint8_t* src, std::uint32_t srcLength, std::uint32_t& srcUsed, std::uint8_t* dst,
                     std::uint32_t dstLength, std::uint32_t& dstUsed, std::uint32_t flags) override {
        srcUsed = 0;
        dstUsed = 0;
        if (flags & ACM_STREAMCONVERTF_START) {
            if (!Restart()) return MMSYSERR_ERROR;
        }
        if (srcLength > 0) {
            if (mpg123_feed(handle_, src, srcLength) != MPG123_OK) return MMSYSERR_NOMEM;
            fed_ += srcLength;
        }
        srcUsed = srcLength;
        // Whole sample frames only.
        const std::uint32_t room = dstLength - dstLength % (fmt_.nChannels * 2u);
        int idle = 0;
        while (dstUsed < room) {
            std::size_t done = 0;
            const int r = mpg123_decode(handle_, nullptr, 0, dst + dstUsed, room - dstUsed, &done);
            dstUsed += static_cast<std::uint32_t>(done);
            if (r == MPG123_NEED_MORE || r == MPG123_DONE) break;
            if (r == MPG123_NEW_FORMAT) {
                long rate = 0;
                int channels = 0, encoding = 0;
                if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK ||
                    rate != static_cast<long>(fmt_.nSamplesPerSec) || channels != fmt_.nChannels ||
                    encoding != MPG123_ENC_SIGNED_16)
                    return ACMERR_NOTPOSSIBLE;
                continue;
            }
            if (r != MPG123_OK) return ACMERR_NOTPOSSIBLE;
            if (done == 0 && ++idle > 64) break;
        }
        produced_ += dstUsed;
        // A stream that has been fed and at its end gave nothing at all
        // holds no audio this decoder can find.
        if (srcLength == 0 && dstUsed == 0 && fed_ > 0 && produced_ == 0) return ACMERR_NOTPOSSIBLE;
        return MMSYSERR_NOERROR;
    }

private:
    bool Restart() {
        mpg123_close(handle_);
        fed_ = 0;
        produced_ = 0;
        return mpg123_open_feed(handle_) == MPG123_OK;
    }

    WAVEFORMATEX fmt_;
    TLayer3Layout layout_;
    mpg123_handle* handle_ = nullptr;
    std::uint64_t fed_ = 0;
    std::uint64_t produced_ = 0;
};

}  // namespace

bool SuggestPcmForMp3(const TWaveFormat& src, TWaveFormat& dst) {
    TLayer3Layout layout;
    if (!Layout(src, layout)) return false;
    dst = MakePcmFormat(src.Fmt.nChannels, src.Fmt.nSamplesPerSec, 16);
    return true;
}

std::unique_ptr<IAcmConverter> CreateMp3Converter(const TWaveFormat& src, const TWaveFormat& dst, MMRESULT& error) {
    TLayer3Layout layout;
    TWaveFormat pcm;
    if (!Layout(src, layout) || !SuggestPcmForMp3(src, pcm) || dst.Fmt != pcm.Fmt) {
        error = ACMERR_NOTPOSSIBLE;
        return nullptr;
    }
    auto conv = std::make_unique<TMp3Converter>(src.Fmt, layout);
    if (!conv->Open()) {
        error = MMSYSERR_NOMEM;
        return nullptr;
    }
    error = MMSYSERR_NOERROR;
    return conv;
}

}  // namespace qv::codec
