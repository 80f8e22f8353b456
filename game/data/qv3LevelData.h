// Level data: the timed list of creature entries of one level, and the
// generation words that decide which entries occur and where.
//
// Level file, little-endian:
//   0   5     "zkq3l"
//   5   4     int32 header value (kept, unused)
//   9   26    header bytes (kept, unused)
//   35  4     int32 scenery number: the scenery is the resource "<n>.scn"
//   39  4     int32 entry count n
//   43  48 n  entries (see TLevelEntry for the layout)
//
// Generation word (16 bits): bit 0 the entry occurs; bits 1-7 A (0..127),
// the height fraction A/128 for entries that take it from the word; bits
// 8-14 B (0..127), the spread B/128 of the position.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "foundation/BinaryIO.h"
#include "game/data/qv3RandomSource.h"

namespace qv {

inline constexpr char kLevelDataMagic[] = "zkq3l";
inline constexpr std::size_t kLevelHeaderSize = 43;
inline constexpr std::size_t kLevelEntrySize = 48;

// One entry as stored (48 bytes).
struct TLevelEntry {
    std::uint8_t CreatureType = 0;    // +0: row of the creature-type table, 0..15
    std::uint8_t HeightFromWord = 0;  // +1: non-zero takes the height fraction from the word
    float HeightFraction = 0;         // +4: fixed height fraction 0..1
    float SpeedFraction = 0;          // +8
    float Probability = 1;            // +12: chance 0..1 that the entry occurs
    float SpreadFraction = 0;         // +16: position spread fraction
    float Wobble = 0;                 // +20: wobble amplitude, units of 80 pixels
    std::int32_t BasePosition = 0;    // +24
    std::int16_t GroupId = -1;        // +28: -1 for none
    std::uint8_t Variant = 0;         // +30: handed to a nivlet
    float Direction = 0;              // +36: radians
    float TargetDirection = 0;        // +40: radians
    std::int32_t TurnDistance = 0;    // +44
};

// A whole level file, as the authoring side writes it.
struct TLevelFile {
    std::int32_t HeaderValue = 0;
    std::array<std::uint8_t, 26> HeaderBytes{};
    std::int32_t SceneryNumber = 1;
    std::vector<TLevelEntry> Entries;
};

std::vector<std::uint8_t> WriteLevelData(const TLevelFile& level);

inline constexpr std::uint16_t GenerationWord(bool occurs, std::uint32_t a, std::uint32_t b) {
    return static_cast<std::uint16_t>((occurs ? 1u : 0u) | ((a & 0x7Fu) << 1) | ((b & 0x7Fu) << 8));
}

// A creature the level hands out: built for each entry that occurs.
struct TLevelItem {
    std::int32_t CreatureType = 0;
    float Speed = 0;
    float Wobble = 0;
    std::int32_t Height = 0;
    std::int32_t Position = 0;
    std::int32_t GroupId = -1;
    std::uint8_t Variant = 0;
    float Direction = 0;
    float TargetDirection = 0;
    std::int32_t TurnDistance = 0;
};

// Items handed out by one Advance: First..Last, empty when Last < First.
struct TItemRange {
    std::int32_t First = 0;
    std::int32_t Last = -1;
    bool Empty() const { return Last < First; }
};

class TLevelDataReader {
public:
    // Reads a level file. With `recorded` (the rest of a recorded level
    // stream, at its word count) the generation words are read from it;
    // otherwise they are drawn from `random`, per entry in file order: a
    // uniform r, then A and B, each 0..127 (also for entries that do not
    // occur); the entry occurs when r <= its probability.
    // Throws EDataError ("Invalid level data file", "Generated level data
    // count different from level count", bad values) or EBinaryError when
    // either input ends early.
    TLevelDataReader(std::span<const std::uint8_t> levelData, TBinaryReader* recorded, IRandomSource* random);

    // Adds `distance` to Distance and hands out every item whose position
    // is at most Distance; sets AllHandedOut once the last item has gone.
    TItemRange Advance(float distance);
    // The i-th item by position; outside 0..Count-1 throws EListError
    // "Index out of bounds".
    const TLevelItem& Item(int index) const;
    int Count() const { return static_cast<int>(items_.size()); }

    // -1: false. Otherwise one more member of the group is caught; true when
    // that completes the group.
    bool GroupCaught(std::int32_t groupId);
    // Starts the level again (a duel level loops): nothing handed out yet,
    // the groups counted afresh.
    void Restart();
    // int32 count, then the words (only when count > 0).
    void WriteGenerationWords(TBinaryWriter& out) const;

    float Distance() const { return distance_; }
    std::int32_t NextIndex() const { return nextIndex_; }
    bool AllHandedOut() const { return allHandedOut_; }
    const std::vector<std::uint16_t>& GenerationWords() const { return words_; }
    std::int32_t SceneryNumber() const { return sceneryNumber_; }
    std::int32_t HeaderValue() const { return headerValue_; }
    const std::array<std::uint8_t, 26>& HeaderBytes() const { return headerBytes_; }
    // Members of each group (index = group id) not caught yet.
    const std::vector<std::int32_t>& GroupCounters() const { return groups_; }

private:
    void CountGroups();

    std::vector<TLevelItem> items_;
    std::vector<std::int32_t> groups_;
    std::vector<std::uint16_t> words_;
    float distance_ = 0;
    std::int32_t nextIndex_ = 0;
    bool allHandedOut_ = false;
    std::int32_t sceneryNumber_ = 0;
    std::int32_t headerValue_ = 0;
    std::array<std::uint8_t, 26> headerBytes_{};
};

}  // namespace qv
