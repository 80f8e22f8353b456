// The sprite boundaries file ("decor.bnd"): the rectangle every decor
// sprite of a scenario occupies in its decor images. A decor sprite id is
// the 0-based index of its record.
//
// File, little-endian:
//   0        8     "zkrSB_HD"
//   8        3     "1.0"
//   11       4     int32 extent (kept, unused)
//   15       4     int32 count n
//   19       20 n  records: int32 image value, left, top, right, bottom
//   19 + 20n 8     "zkrSB_FT"
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace qv {

inline constexpr char kBoundariesHeader[] = "zkrSB_HD";
inline constexpr char kBoundariesVersion[] = "1.0";
inline constexpr char kBoundariesFooter[] = "zkrSB_FT";

struct TSpriteBoundary {
    std::int32_t ImageValue = 0;  // which decor image (0 = the first)
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
};

std::vector<std::uint8_t> WriteSpriteBoundaries(std::int32_t extent, std::span<const TSpriteBoundary> records);

class TSpriteBoundaries {
public:
    // Reads the file, replacing what was loaded. Throws EDataError "Invalid
    // header" or "Invalid footer", or EBinaryError when the file ends early;
    // what was loaded before stays then.
    void Load(std::span<const std::uint8_t> data);

    // The record of sprite `id`; true when its rectangle is well formed
    // (right >= left and bottom >= top). An id outside 0..Count-1 throws
    // EDataError "out of bounds".
    bool Lookup(std::int32_t id, TSpriteBoundary& record) const;

    int Count() const { return static_cast<int>(records_.size()); }
    std::int32_t Extent() const { return extent_; }

private:
    std::vector<TSpriteBoundary> records_;
    std::int32_t extent_ = 0;
};

}  // namespace qv
