// The recorded level stream: everything needed to play one level again tick
// for tick. The whole stream is enciphered with the program's block cipher
// under the level-stream key; its plain content, little-endian:
//   "zkq3r"; int32 end time (logic ms); int32 level number; int32 start
//   score; the input list (int32 count n, n records); int32 word count m and
//   m 16-bit generation words (words only when m > 0); zero bytes up to the
//   last whole cipher block.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "foundation/BinaryIO.h"
#include "game/data/qv3Input.h"

namespace qv {

inline constexpr char kRecordedLevelMagic[] = "zkq3r";
// The key text of every recorded level stream.
extern const char* const kLevelStreamKey;

struct TRecordedLevelHeader {
    std::int32_t EndTime = 0;
    std::int32_t LevelNumber = 0;
    std::int32_t StartScore = 0;
};

// The plain content of a stream, before enciphering.
std::vector<std::uint8_t> RecordedLevelContent(const TRecordedLevelHeader& header, const TGameInput& input,
                                               std::span<const std::uint16_t> words);
// The enciphered stream. Throws EStreamError when enciphering fails.
std::vector<std::uint8_t> WriteRecordedLevel(const TRecordedLevelHeader& header, const TGameInput& input,
                                             std::span<const std::uint16_t> words);

// The level stream cipher over whole blocks: a trailing partial block is
// dropped when deciphering, the last block completed with zeros when
// enciphering.
std::vector<std::uint8_t> EncipherLevelStream(std::span<const std::uint8_t> plain);
std::vector<std::uint8_t> DecipherLevelStream(std::span<const std::uint8_t> enciphered);

// Reads a stream up to its generation words: the header and the input
// list. Words() then stands at the word count, for the level data reader.
class TRecordedLevelReader {
public:
    // Throws EDataError "Invalid recorded game data file" for a wrong magic
    // (which is also what a wrong key gives), EBinaryError when the stream
    // ends early, and EDataError for a bad input list.
    explicit TRecordedLevelReader(std::span<const std::uint8_t> enciphered);
    TRecordedLevelReader(const TRecordedLevelReader&) = delete;
    TRecordedLevelReader& operator=(const TRecordedLevelReader&) = delete;

    const TRecordedLevelHeader& Header() const { return header_; }
    TGameInput& Input() { return input_; }
    TBinaryReader& Words() { return words_; }

private:
    std::vector<std::uint8_t> plain_;
    TRecordedLevelHeader header_;
    TGameInput input_;
    TBinaryReader words_;
};

}  // namespace qv
