#include "tools/qvgen/Mp3Wave.h"

#include <lame/lame.h>

#include <memory>
#include <string>

#include "foundation/Exceptions.h"
#include "media/WaveRead.h"
#include "platform/codec/WaveFormat.h"
#include "tools/qvgen/Synth.h"

namespace qv::gen {

namespace {

struct TLameCloser {
    void operator()(lame_global_flags* gf) const { lame_close(gf); }
};

}  // namespace

std::vector<std::uint8_t> EncodeMp3Wave(std::span<const std::int16_t> pcm, std::uint32_t rate, std::uint16_t channels,
                                        std::uint32_t kbps) {
    if (channels < 1 || channels > 2 || rate < 32000) throw Exception("MP3 encoding needs 1 or 2 channels at 32 kHz or more");
    const std::unique_ptr<lame_global_flags, TLameCloser> gf(lame_init());
    if (!gf) throw Exception("lame_init failed");
    const auto frames = static_cast<int>(pcm.size() / channels);
    lame_set_num_channels(gf.get(), channels);
    lame_set_in_samplerate(gf.get(), static_cast<int>(rate));
    lame_set_out_samplerate(gf.get(), static_cast<int>(rate));
    lame_set_mode(gf.get(), channels == 1 ? MONO : JOINT_STEREO);
    lame_set_VBR(gf.get(), vbr_off);
    lame_set_brate(gf.get(), static_cast<int>(kbps));
    lame_set_bWriteVbrTag(gf.get(), 0);
    lame_set_quality(gf.get(), 5);
    lame_set_num_samples(gf.get(), static_cast<unsigned long>(frames));
    if (lame_init_params(gf.get()) < 0) throw Exception("lame_init_params failed");

    std::vector<std::uint8_t> mp3(static_cast<std::size_t>(1.25 * frames + 7200) * channels + 16384);
    // The encoder reads its input without changing it; its interface is older than const.
    std::vector<std::int16_t> input(pcm.begin(), pcm.end());
    int n = 0;
    if (channels == 2) {
        n = lame_encode_buffer_interleaved(gf.get(), input.data(), frames, mp3.data(), static_cast<int>(mp3.size()));
    } else {
        n = lame_encode_buffer(gf.get(), input.data(), input.data(), frames, mp3.data(), static_cast<int>(mp3.size()));
    }
    if (n < 0) throw Exception("lame_encode_buffer failed (" + std::to_string(n) + ")");
    const int tail = lame_encode_flush(gf.get(), mp3.data() + n, static_cast<int>(mp3.size()) - n);
    if (tail < 0) throw Exception("lame_encode_flush failed (" + std::to_string(tail) + ")");
    mp3.resize(static_cast<std::size_t>(n + tail));

    codec::MPEGLAYER3WAVEFORMAT l3;
    l3.wID = codec::MPEGLAYER3_ID_MPEG;
    l3.fdwFlags = codec::MPEGLAYER3_FLAG_PADDING_ISO;
    l3.nBlockSize = static_cast<std::uint16_t>(kMp3FrameSamples / 8 * kbps * 1000 / rate);
    l3.nFramesPerBlock = 1;
    l3.nCodecDelay = static_cast<std::uint16_t>(lame_get_encoder_delay(gf.get()));
    const codec::TWaveFormat format = codec::MakeMpegLayer3Format(channels, rate, kbps * 1000, l3);
    return WaveFileOf(format.ToBytes(), mp3);
}

std::vector<std::uint8_t> DecodeWaveToPcm(std::span<const std::uint8_t> wave) {
    TStreamWaveReadStream source(wave);
    TWavePCMReader reader(source, nullptr);
    std::vector<std::uint8_t> pcm;
    std::vector<std::uint8_t> block(1 << 16);
    for (;;) {
        const std::int32_t got = reader.Read(block.data(), static_cast<std::int32_t>(block.size()));
        if (got <= 0) break;
        pcm.insert(pcm.end(), block.begin(), block.begin() + got);
    }
    return pcm;
}

std::int64_t DecodedWaveFileSize(std::span<const std::uint8_t> wave) {
    TStreamWaveReadStream source(wave);
    TWavePCMReader reader(source, nullptr);
    const std::int64_t header = 12 + 8 + static_cast<std::int64_t>(reader.PCMFormat().ToBytes().size()) + 8;
    std::int64_t total = 0;
    std::vector<std::uint8_t> block(1 << 16);
    for (;;) {
        const std::int32_t got = reader.Read(block.data(), static_cast<std::int32_t>(block.size()));
        if (got <= 0) break;
        total += got;
    }
    // The data chunk is padded to an even size; 16-bit PCM always is.
    return header + total + (total & 1);
}

}  // namespace qv::gen
