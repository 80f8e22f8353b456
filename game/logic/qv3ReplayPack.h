// Replay packs: the recorded level streams of one game, one per level, in a
// file enciphered as a whole. Per scenario slot N the per-user data folder
// holds "last<N>.gmp" (the last live game), "mybest<N>.gmp" (the game of the
// scenario's best score) and "worldbest<N>.gmp" (downloaded); a scenario
// may carry one as its resource "demo.gmp".
//
// Plain content, little-endian, enciphered with the program's block cipher
// under the replay key:
//   "zkq3p"; int32 level count L (a reader takes at most 1); per level
//   int32 id (1, 2 ...), int32 size S and S bytes of the level stream as
//   TGameLogic::WriteRecord made it; zero bytes up to the last whole block.
//
// A missing, unreadable, foreign or damaged file reads as an empty pack.
// Packs from elsewhere are untrusted: every count and size is checked
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

// UserDataDir + "last<slot>.gmp", "mybest<slot>.gmp", "worldbest<slot>.gmp".
std::string LastReplayPath(int slot);
std::string MyBestReplayPath(int slot);
std::string WorldBestReplayPath(int slot);

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

    // The pack of `fileName`: read when the file can be read, else empty.
    explicit TReplayPack(std::string fileName);
    // A pack read from a resource; it has no file.
    static TReplayPack FromStream(std::span<const std::uint8_t> data);

    int LevelCount() const { return static_cast<int>(Levels.size()); }
    // Level n (from 1); outside 1..LevelCount throws EReplayPackError
    // "Level doesn't exist in file".
    TBytes GetLevel(int n) const;

    // Stores the logic's level as level LevelNumber and rewrites the file.
    // Throws EReplayPackError after the file has been written: "Invalid level
    // id: N/count/Finished/Won" (pack unchanged), "Error adding replay: ..."
    // (the pack emptied, as the file then is), "Error saving replay file:
    // ..." (the previous file left as it was).
    void AddLevelAndSave(TGameLogic& logic);
    void AddLevelAndSave(std::int32_t levelNumber, bool finished, bool won, const TRecordWriter& writeRecord);

    std::string FileName;
    std::vector<TBytes> Levels;

private:
    TReplayPack() = default;
    void Read(std::span<const std::uint8_t> data);
    void Save() const;
};

}  // namespace qv
