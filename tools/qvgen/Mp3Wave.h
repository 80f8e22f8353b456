// MPEG Layer-3 data in a RIFF WAVE container (format tag 0x55), as the
// game stores its music, and the decoded size the game expects of it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace qv::gen {

inline constexpr std::uint32_t kMp3FrameSamples = 1152;  // per channel, MPEG-1
// Samples (per channel) the encoder puts before the music, as decoded:
// its own delay plus the decoder's.
inline constexpr std::uint32_t kMp3LeadIn = 1105;

// Encodes interleaved 16-bit PCM at constant bit rate without an info frame
// and wraps it as WAVE data. The decoded stream holds exactly
// `mpegFrames` x 1152 samples per channel when the input has
// (`mpegFrames` - 1) x 1152 frames; other lengths are padded by the encoder.
// Throws qv::Exception when the encoder fails.
std::vector<std::uint8_t> EncodeMp3Wave(std::span<const std::int16_t> pcm, std::uint32_t rate, std::uint16_t channels,
                                        std::uint32_t kbps);

// The whole PCM of any WAVE data our reader decodes.
std::vector<std::uint8_t> DecodeWaveToPcm(std::span<const std::uint8_t> wave);

// The size of the PCM file the game writes from the WAVE data: the 46-byte
// header (RIFF, an 18-byte 'fmt ' record, 'data') plus the decoded bytes.
std::int64_t DecodedWaveFileSize(std::span<const std::uint8_t> wave);

}  // namespace qv::gen
