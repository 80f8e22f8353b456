// WAVE data made by code for the sound tests: RIFF files chunk by chunk,
// PCM tones and counters, and MPEG Layer-3 WAVE data encoded with LAME.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/codec/WaveFormat.h"
#include "tests/support/TempDir.h"

namespace qv::test {

using TBytes = std::vector<std::uint8_t>;

// A RIFF file of form `form` holding the chunks in order (odd sizes padded).
class TRiffBuilder {
public:
    explicit TRiffBuilder(std::string form = "WAVE") : form_(std::move(form)) {}
    TRiffBuilder& Chunk(const std::string& id, std::span<const std::uint8_t> data);
    TRiffBuilder& Chunk(const std::string& id, const TBytes& data) { return Chunk(id, std::span<const std::uint8_t>(data)); }
    // A chunk whose header claims `claimedSize` whatever the data holds.
    TRiffBuilder& RawChunk(const std::string& id, std::uint32_t claimedSize, const TBytes& data);
    TBytes Build(const std::string& riffId = "RIFF") const;

private:
    std::string form_;
    TBytes body_;
};

// A complete WAVE file: 'fmt ' then 'data'.
TBytes WaveFile(const codec::TWaveFormat& format, std::span<const std::uint8_t> data);
inline TBytes WaveFile(const codec::TWaveFormat& format, const TBytes& data) {
    return WaveFile(format, std::span<const std::uint8_t>(data));
}
// A 16-byte 'fmt ' record (no cbSize).
TBytes ShortFormatRecord(const codec::TWaveFormat& format);

// 16-bit samples whose frame i holds the value Counter(i) in every channel;
// no two of the first 65536 frames are equal.
std::int16_t Counter(std::uint32_t frame);
TBytes CounterPcm16(std::uint32_t frames, std::uint16_t channels, std::uint32_t firstFrame = 0);
// A sine tone of `amplitude` (16-bit) in every channel.
TBytes TonePcm16(std::uint32_t frames, std::uint16_t channels, std::uint32_t rate, double frequency, double amplitude);
std::vector<std::int16_t> AsSamples(std::span<const std::uint8_t> bytes);
TBytes AsBytes(std::span<const std::int16_t> samples);
double Rms(std::span<const std::int16_t> samples);

struct TMp3Wave {
    TBytes File;                  // the RIFF WAVE file, format tag 0x55
    std::uint32_t Frames = 0;     // MPEG frames in its data chunk
    std::uint32_t PcmBytes = 0;   // what decoding every frame gives
    codec::TWaveFormat Format;
};
// Encodes a sine tone (CBR, no info frame) and wraps it with the Layer-3
// format record; `declaredRate` (when not 0) replaces the rate the record
// claims.
TMp3Wave MakeMp3Wave(double seconds, std::uint32_t rate, std::uint16_t channels, std::uint32_t kbps, double frequency,
                     double amplitude, std::uint32_t declaredRate = 0);

// Sends the program log to a file of its own while it lives.
class TLogCapture {
public:
    TLogCapture();
    ~TLogCapture();
    TLogCapture(const TLogCapture&) = delete;
    TLogCapture& operator=(const TLogCapture&) = delete;
    // Everything logged so far.
    std::string Text() const;

private:
    TempDir dir_;
};

}  // namespace qv::test
