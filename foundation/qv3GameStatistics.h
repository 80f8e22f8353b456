// What the player did in one level: levels won, group bonuses, shots of
// each kind, and catches per creature type, early ones apart. Stored twice
// per scenario slot in the settings record (last game and best game).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "foundation/BinaryIO.h"

namespace qv {

inline constexpr int kCreatureTypeCount = 16;

// Stored as 72 bytes of little-endian signed 16-bit counters. The counters
// are not guarded against overflow; they wrap.
struct TGameStatistics {
    std::int16_t LevelsWon = 0;       // +1 when the level time runs out
    std::int16_t GroupBonuses = 0;    // +1 per completed group bonus
    std::int16_t CondomsFired = 0;    // +1 per condom shot
    std::int16_t TorpedoesFired = 0;  // +1 per torpedo shot
    // Per creature type: catches made while the creature was left of x = 200.
    std::array<std::int16_t, kCreatureTypeCount> EarlyCatches{};
    // Per creature type: all catches, by condom or torpedo.
    std::array<std::int16_t, kCreatureTypeCount> Catches{};

    static constexpr std::size_t kSize = 72;

    void Clear() { *this = TGameStatistics{}; }
    void Write(TBinaryWriter& w) const;
    // Consumes exactly kSize bytes; throws EBinaryError when fewer remain.
    void Read(TBinaryReader& r);

    bool operator==(const TGameStatistics&) const = default;
};

// Stored offsets of the fields.
namespace GameStatisticsLayout {
inline constexpr std::size_t LevelsWon = 0;
inline constexpr std::size_t GroupBonuses = LevelsWon + 2;
inline constexpr std::size_t CondomsFired = GroupBonuses + 2;
inline constexpr std::size_t TorpedoesFired = CondomsFired + 2;
inline constexpr std::size_t EarlyCatches = TorpedoesFired + 2;
inline constexpr std::size_t Catches = EarlyCatches + 2 * kCreatureTypeCount;
inline constexpr std::size_t End = Catches + 2 * kCreatureTypeCount;
}  // namespace GameStatisticsLayout

static_assert(GameStatisticsLayout::EarlyCatches == 8);
static_assert(GameStatisticsLayout::Catches == 40);
static_assert(GameStatisticsLayout::End == TGameStatistics::kSize);

}  // namespace qv
