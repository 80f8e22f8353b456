// Wave format records as RIFF 'fmt ' chunks and the converters carry them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qv::codec {

inline constexpr std::uint16_t WAVE_FORMAT_PCM = 0x0001;
inline constexpr std::uint16_t WAVE_FORMAT_MPEGLAYER3 = 0x0055;

// The fixed part of a format record, 18 bytes when stored.
struct WAVEFORMATEX {
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
    std::uint16_t cbSize = 0;

    bool operator==(const WAVEFORMATEX&) const = default;
};

inline constexpr std::size_t kWaveFormatExSize = 18;
// WAVEFORMAT without wBitsPerSample and cbSize.
inline constexpr std::size_t kWaveFormatSize = 14;

// A whole format record: the fixed part and its extra bytes. Extra holds
// the extra bytes actually present, which may be fewer than cbSize claims;
// everything that writes or sizes a record goes by Extra.
struct TWaveFormat {
    WAVEFORMATEX Fmt;
    std::vector<std::uint8_t> Extra;

    // Fields missing from a short record read as 0 (so a 16-byte PCM
    // record has cbSize 0); at most cbSize bytes beyond the 18 are extra.
    static TWaveFormat FromBytes(std::span<const std::uint8_t> bytes);
    // 18 + Extra.size() bytes, cbSize written as Extra.size().
    std::vector<std::uint8_t> ToBytes() const;
    std::size_t StoredSize() const { return kWaveFormatExSize + Extra.size(); }

    bool operator==(const TWaveFormat&) const = default;
};

// A consistent integer PCM record: 8 or 16 bits, any channels and rate.
TWaveFormat MakePcmFormat(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits);
// Whether the record is PCM with block align, byte rate and sample size
// consistent with each other (8 or 16 bits, 1 or 2 channels, rate > 0).
bool IsPlayablePcm(const WAVEFORMATEX& fmt);

// The 12 extra bytes of an MPEG Layer-3 record.
struct MPEGLAYER3WAVEFORMAT {
    std::uint16_t wID = 0;
    std::uint32_t fdwFlags = 0;
    std::uint16_t nBlockSize = 0;
    std::uint16_t nFramesPerBlock = 0;
    std::uint16_t nCodecDelay = 0;
};

inline constexpr std::uint16_t kMpegLayer3ExtraSize = 12;
inline constexpr std::uint16_t MPEGLAYER3_ID_MPEG = 1;
inline constexpr std::uint32_t MPEGLAYER3_FLAG_PADDING_ISO = 0;
inline constexpr std::uint32_t MPEGLAYER3_FLAG_PADDING_ON = 1;
inline constexpr std::uint32_t MPEGLAYER3_FLAG_PADDING_OFF = 2;

// The Layer-3 fields of a record of tag 0x55; false when it has fewer than
// 12 extra bytes.
bool ReadMpegLayer3(const TWaveFormat& format, MPEGLAYER3WAVEFORMAT& out);
TWaveFormat MakeMpegLayer3Format(std::uint16_t channels, std::uint32_t rate, std::uint32_t bitRate,
                                 const MPEGLAYER3WAVEFORMAT& fields);

}  // namespace qv::codec
