// What a conversion stream drives. Internal to the codec layer.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/codec/Acm.h"

namespace qv::codec {

class IAcmConverter {
public:
    virtual ~IAcmConverter() = default;
    virtual MMRESULT Size(std::uint32_t input, std::uint32_t& output, std::uint32_t flags) const = 0;
    virtual MMRESULT Convert(const std::uint8_t* src, std::uint32_t srcLength, std::uint32_t& srcUsed,
                             std::uint8_t* dst, std::uint32_t dstLength, std::uint32_t& dstUsed,
                             std::uint32_t flags) = 0;
};

// The PCM record the Layer-3 decoder gives for `src`; false when `src` is
// not a Layer-3 record it can decode.
bool SuggestPcmForMp3(const TWaveFormat& src, TWaveFormat& dst);
// Null (with the reason in `error`) unless `dst` is the suggested record.
std::unique_ptr<IAcmConverter> CreateMp3Converter(const TWaveFormat& src, const TWaveFormat& dst, MMRESULT& error);
// The largest format record the decoder deals in.
inline constexpr std::uint32_t kMp3MaxFormatSize = kWaveFormatExSize + kMpegLayer3ExtraSize;

}  // namespace qv::codec
