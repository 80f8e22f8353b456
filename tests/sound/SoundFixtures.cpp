#include "tests/sound/SoundFixtures.h"

#include <lame/lame.h>

#include "foundation/qv3Log.h"
#include "platform/system/Files.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace qv::test {

namespace {

void PutU32(TBytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutId(TBytes& out, const std::string& id) {
    for (std::size_t i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(i < id.size() ? id[i] : ' '));
}

}  // namespace

TRiffBuilder& TRiffBuilder::Chunk(const std::string& id, std::span<const std::uint8_t> data) {
    PutId(body_, id);
    PutU32(body_, static_cast<std::uint32_t>(data.size()));
    body_.insert(body_.end(), data.begin(), data.end());
    if (data.size() & 1) body_.push_back(0);
    return *this;
}

TRiffBuilder& TRiffBuilder::RawChunk(const std::string& id, std::uint32_t claimedSize, const TBytes& data) {
    PutId(body_, id);
    PutU32(body_, claimedSize);
    body_.insert(body_.end(), data.begin(), data.end());
    return *this;
}

TBytes TRiffBuilder::Build(const std::string& riffId) const {
    TBytes out;
    PutId(out, riffId);
    PutU32(out, static_cast<std::uint32_t>(4 + body_.size()));
    PutId(out, form_);
    out.insert(out.end(), body_.begin(), body_.end());
    return out;
}

TBytes WaveFile(const codec::TWaveFormat& format, std::span<const std::uint8_t> data) {
    return TRiffBuilder().Chunk("fmt ", format.ToBytes()).Chunk("data", data).Build();
}

TBytes ShortFormatRecord(const codec::TWaveFormat& format) {
    TBytes b = format.ToBytes();
    b.resize(16);
    return b;
}

std::int16_t Counter(std::uint32_t frame) {
    // 7919 is odd, so frame -> frame * 7919 is a bijection modulo 65536.
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((frame * 7919u + 12345u) & 0xFFFFu));
}

TBytes CounterPcm16(std::uint32_t frames, std::uint16_t channels, std::uint32_t firstFrame) {
    std::vector<std::int16_t> s;
    s.reserve(static_cast<std::size_t>(frames) * channels);
    for (std::uint32_t i = 0; i < frames; ++i)
        for (std::uint16_t c = 0; c < channels; ++c) s.push_back(Counter(firstFrame + i));
    return AsBytes(s);
}

TBytes TonePcm16(std::uint32_t frames, std::uint16_t channels, std::uint32_t rate, double frequency, double amplitude) {
    std::vector<std::int16_t> s;
    s.reserve(static_cast<std::size_t>(frames) * channels);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double v = amplitude * std::sin(2 * std::numbers::pi * frequency * i / rate);
        for (std::uint16_t c = 0; c < channels; ++c) s.push_back(static_cast<std::int16_t>(std::lround(v)));
    }
    return AsBytes(s);
}

std::vector<std::int16_t> AsSamples(std::span<const std::uint8_t> bytes) {
    std::vector<std::int16_t> s(bytes.size() / 2);
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
    return s;
}

TBytes AsBytes(std::span<const std::int16_t> samples) {
    TBytes b;
    b.reserve(samples.size() * 2);
    for (std::int16_t v : samples) {
        const auto u = static_cast<std::uint16_t>(v);
        b.push_back(static_cast<std::uint8_t>(u));
        b.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return b;
}

double Rms(std::span<const std::int16_t> samples) {
    if (samples.empty()) return 0;
    double sum = 0;
    for (std::int16_t v : samples) sum += static_cast<double>(v) * v;
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

TMp3Wave MakeMp3Wave(double seconds, std::uint32_t rate, std::uint16_t channels, std::uint32_t kbps, double frequency,
                     double amplitude, std::uint32_t declaredRate) {
    const auto frames = static_cast<std::uint32_t>(seconds * rate);
    const std::vector<std::int16_t> pcm = AsSamples(TonePcm16(frames, channels, rate, frequency, amplitude));
    lame_global_flags* gf = lame_init();
    if (!gf) throw std::runtime_error("lame_init failed");
    lame_set_num_channels(gf, channels);
    lame_set_in_samplerate(gf, static_cast<int>(rate));
    lame_set_out_samplerate(gf, static_cast<int>(rate));
    lame_set_mode(gf, channels == 1 ? MONO : STEREO);
    lame_set_VBR(gf, vbr_off);
    lame_set_brate(gf, static_cast<int>(kbps));
    lame_set_bWriteVbrTag(gf, 0);
    lame_set_quality(gf, 7);
    if (lame_init_params(gf) < 0) {
        lame_close(gf);
        throw std::runtime_error("lame_init_params failed");
    }
    TBytes mp3(static_cast<std::size_t>(1.25 * frames + 7200) * channels + 16384);
    int n = 0;
    if (channels == 2) {
        n = lame_encode_buffer_interleaved(gf, const_cast<short*>(pcm.data()), static_cast<int>(frames), mp3.data(),
                                           static_cast<int>(mp3.size()));
    } else {
        n = lame_encode_buffer(gf, pcm.data(), pcm.data(), static_cast<int>(frames), mp3.data(), static_cast<int>(mp3.size()));
    }
    if (n < 0) {
        lame_close(gf);
        throw std::runtime_error("lame_encode_buffer failed");
    }
    const int tail = lame_encode_flush(gf, mp3.data() + n, static_cast<int>(mp3.size()) - n);
    if (tail < 0) {
        lame_close(gf);
        throw std::runtime_error("lame_encode_flush failed");
    }
    mp3.resize(static_cast<std::size_t>(n + tail));
    TMp3Wave out;
    out.Frames = static_cast<std::uint32_t>(lame_get_frameNum(gf));
    lame_close(gf);
    const std::uint32_t samplesPerFrame = rate >= 32000 ? 1152 : 576;
    out.PcmBytes = out.Frames * samplesPerFrame * channels * 2;
    codec::MPEGLAYER3WAVEFORMAT l3;
    l3.wID = codec::MPEGLAYER3_ID_MPEG;
    l3.fdwFlags = codec::MPEGLAYER3_FLAG_PADDING_ISO;
    l3.nBlockSize = static_cast<std::uint16_t>(samplesPerFrame / 8 * kbps * 1000 / rate);
    l3.nFramesPerBlock = 1;
    l3.nCodecDelay = 1393;
    out.Format = codec::MakeMpegLayer3Format(channels, declaredRate ? declaredRate : rate, kbps * 1000, l3);
    out.File = WaveFile(out.Format, mp3);
    return out;
}

TLogCapture::TLogCapture() { SetLogFile(dir_ / "quorvex.log"); }

TLogCapture::~TLogCapture() { SetLogFile(""); }

std::string TLogCapture::Text() const { return sys::ReadFileText(dir_ / "quorvex.log").value_or(""); }

}  // namespace qv::test
