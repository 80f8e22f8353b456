// Replay packs: the recorded level streams of one game, one per level,
// enciphered as a whole. The packs are kept in files (game/core's replay
// files); a scenario may carry one as its resource "demo.gmp".
//
// Plain content, little-endian, enciphered with the program's block cipher
// under the replay key:
//   "zkq3p"; int32 level count L (a reader takes at most 1); per level
//   int32 id (1, 2 ...), int32 size S and S bytes of the level stream as
//   TGameLogic::WriteRecord made it; zero bytes up to the last whole block.
//
// Unreadable, foreign or damaged bytes read as an empty pack. Packs from
// elsewhere are untrusted: every count and size is checked
// against what the file holds.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "foundation/Exceptions.h"

namespace qv {

class TGameLogic;

inline constexpr char kReplayPackMagic[] = "zkq3p";
inline constexpr const char* kReplayPackKey = "ZEBRALUMINOSACORTEVENTANA72k&mpq#trw!zxa4bnvcq";
inline constexpr const char* kDemoReplayResource = "demo.gmp";

// The replay cipher over whole blocks (the last one completed with zeros).
std::vector<std::uint8_t> EncipherReplayPack(std::span<const std::uint8_t> plain);
std::vector<std::uint8_t> DecipherReplayPack(std::span<const std::uint8_t> enciphered);

class EReplayPackError : public Exception {
public:
    using Exception::Exception;
};

class TReplayPack {
public:
    using TBytes = std::vector<std::uint8_t>;
    // Makes the level stream of the level being stored.
    using TRecordWriter = std::function<TBytes()>;

    TReplayPack() = default;
    // The pack these bytes hold; empty when they hold none.
    static TReplayPack FromStream(std::span<const std::uint8_t> data);
    // The enciphered bytes of the pack.
    TBytes ToStream() const;

    int LevelCount() const { return static_cast<int>(Levels.size()); }
    // Level n (from 1); outside 1..LevelCount throws EReplayPackError
    // "Level doesn't exist in file".
    TBytes GetLevel(int n) const;

    // Stores the logic's level as level LevelNumber, dropping the levels
    // after it. Throws EReplayPackError "Invalid level id:
    // N/count/Finished/Won" (pack unchanged) or "Error adding replay: ..."
    // (the pack emptied).
    void AddLevel(TGameLogic& logic);
    void AddLevel(std::int32_t levelNumber, bool finished, bool won, const TRecordWriter& writeRecord);

    std::vector<TBytes> Levels;

protected:
    void Read(std::span<const std::uint8_t> data);
};

}  // namespace qv
