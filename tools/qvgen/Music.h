// The game's three pieces of music, composed by code: melody, bass, chords
// and drums, each a loop whose length is a whole number of MPEG frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::gen {

inline constexpr std::uint32_t kMusicRate = 44100;
inline constexpr std::uint16_t kMusicChannels = 2;

enum class TPiece { Game, Menu, HighScore };

struct TMusicLoop {
    std::string Name;                 // "QVX3GameMusic" ...
    std::vector<std::int16_t> Pcm;    // one period, interleaved stereo
    std::uint32_t Frames = 0;         // a multiple of 1152
    // Where the loop may be cut without being heard: a short quiet gap that
    // ends `QuietEnd` frames into the period and starts `QuietStart` frames
    // before its end.
    std::uint32_t QuietStart = 0;
    std::uint32_t QuietEnd = 0;
};

// `quietStart`/`quietEnd`: the frames at the loop point that are kept
// silent (the encoder's lead-in and padding fall there).
TMusicLoop ComposeMusic(TPiece piece, std::uint32_t quietStart, std::uint32_t quietEnd);

}  // namespace qv::gen
