#include "platform/codec/WaveFormat.h"

#include <algorithm>

namespace qv::codec {

namespace {

std::uint16_t GetU16(std::span<const std::uint8_t> b, std::size_t at) {
    if (at + 2 > b.size()) return 0;
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t GetU32(std::span<const std::uint8_t> b, std::size_t at) {
    if (at + 4 > b.size()) return 0;
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

}  // namespace

TWaveFormat TWaveFormat::FromBytes(std::span<const std::uint8_t> bytes) {
    TWaveFormat f;
    f.Fmt.wFormatTag = GetU16(bytes, 0);
    f.Fmt.nChannels = GetU16(bytes, 2);
    f.Fmt.nSamplesPerSec = GetU32(bytes, 4);
    f.Fmt.nAvgBytesPerSec = GetU32(bytes, 8);
    f.Fmt.nBlockAlign = GetU16(bytes, 12);
    f.Fmt.wBitsPerSample = GetU16(bytes, 14);
    f.Fmt.cbSize = GetU16(bytes, 16);
    if (bytes.size() > kWaveFormatExSize) {
        const std::size_t n = std::min<std::size_t>(f.Fmt.cbSize, bytes.size() - kWaveFormatExSize);
        f.Extra.assign(bytes.begin() + kWaveFormatExSize, bytes.begin() + static_cast<std::ptrdiff_t>(kWaveFormatExSize + n));
    }
    return f;
}

std::vector<std::uint8_t> TWaveFormat::ToBytes() const {
    std::vector<std::uint8_t> out;
    out.reserve(StoredSize());
    PutU16(out, Fmt.wFormatTag);
    PutU16(out, Fmt.nChannels);
    PutU32(out, Fmt.nSamplesPerSec);
    PutU32(out, Fmt.nAvgBytesPerSec);
    PutU16(out, Fmt.nBlockAlign);
    PutU16(out, Fmt.wBitsPerSample);
    PutU16(out, static_cast<std::uint16_t>(Extra.size()));
    out.insert(out.end(), Extra.begin(), Extra.end());
    return out;
}

TWaveFormat MakePcmFormat(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
    TWaveFormat f;
    f.Fmt.wFormatTag = WAVE_FORMAT_PCM;
    f.Fmt.nChannels = channels;
    f.Fmt.nSamplesPerSec = rate;
    f.Fmt.nBlockAlign = static_cast<std::uint16_t>(channels * (bits / 8));
    f.Fmt.nAvgBytesPerSec = rate * f.Fmt.nBlockAlign;
    f.Fmt.wBitsPerSample = bits;
    f.Fmt.cbSize = 0;
    return f;
}

bool IsPlayablePcm(const WAVEFORMATEX& fmt) {
    if (fmt.wFormatTag != WAVE_FORMAT_PCM) return false;
    if (fmt.nChannels < 1 || fmt.nChannels > 2) return false;
    if (fmt.wBitsPerSample != 8 && fmt.wBitsPerSample != 16) return false;
    if (fmt.nSamplesPerSec == 0) return false;
    if (fmt.nBlockAlign != fmt.nChannels * (fmt.wBitsPerSample / 8)) return false;
    return static_cast<std::uint64_t>(fmt.nAvgBytesPerSec) ==
           static_cast<std::uint64_t>(fmt.nSamplesPerSec) * fmt.nBlockAlign;
}

bool ReadMpegLayer3(const TWaveFormat& format, MPEGLAYER3WAVEFORMAT& out) {
    if (format.Extra.size() < kMpegLayer3ExtraSize) return false;
    std::span<const std::uint8_t> e(format.Extra);
    out.wID = GetU16(e, 0);
    out.fdwFlags = GetU32(e, 2);
    out.nBlockSize = GetU16(e, 6);
    out.nFramesPerBlock = GetU16(e, 8);
    out.nCodecDelay = GetU16(e, 10);
    return true;
}

TWaveFormat MakeMpegLayer3Format(std::uint16_t channels, std::uint32_t rate, std::uint32_t bitRate,
                                 const MPEGLAYER3WAVEFORMAT& fields) {
    TWaveFormat f;
    f.Fmt.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    f.Fmt.nChannels = channels;
    f.Fmt.nSamplesPerSec = rate;
    f.Fmt.nAvgBytesPerSec = bitRate / 8;
    f.Fmt.nBlockAlign = 1;
    f.Fmt.wBitsPerSample = 0;
    f.Fmt.cbSize = kMpegLayer3ExtraSize;
    PutU16(f.Extra, fields.wID);
    PutU32(f.Extra, fields.fdwFlags);
    PutU16(f.Extra, fields.nBlockSize);
    PutU16(f.Extra, fields.nFramesPerBlock);
    PutU16(f.Extra, fields.nCodecDelay);
    return f;
}

}  // namespace qv::codec
