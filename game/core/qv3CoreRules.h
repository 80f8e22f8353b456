// The game core's rules that need neither a device nor a level: the
// high-score table and its name editor, the menu caption cycle, the final
// countdown, the head-up display's time, the replay letter's blink, the
// brightness colours, the number sprites and the display-mode check of the
// game window.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/qv3Environment.h"
#include "media/zkD3D.h"

namespace qv {

// Places `score` into the table (row 0 the best): rows are visited from 9 up
// to 0, and each whose score is strictly below it becomes the candidate and,
// unless it is row 9, moves down one place. The row found gets the score and
// the first 10 characters of `alias`. -1 when no row qualifies (the table is
// unchanged).
int InsertHighScoreEntry(std::array<THighScoreEntry, kHighScoreCount>& table, std::int32_t score,
                         std::string_view alias);

// What a key did to the name being edited.
struct TNameEdit {
    int Sound = -1;     // sound id to play, -1 none
    bool Done = false;  // Enter or Esc: the name is final
};
// Backspace (8) removes the last character (sound 10); Enter (13) or Esc
// (27) end the editing; Space, 0..9 and A..Z are appended while the name
// has at most 9 characters (sound 11); other keys are dropped.
TNameEdit EditHighScoreName(TShortString<10>& name, int key);

// The captions the menu cycles through: 0 the click hint, 1 the new-game
// hint (never shown), 2 the high-score table, 3 the demo hint, 4 the replay
// hint.
struct TMenuPages {
    bool LastReplayExists = false;
    bool DemoExists = false;
    bool TableHasScore = false;
};
// The page after `page`: 1 is always passed over, 4 without a last replay,
// 3 without a demo, 2 without a score in row 0.
std::uint8_t NextMenuPage(std::uint8_t page, const TMenuPages& pages);

struct TMenuCaption {
    std::int32_t MenuTextTime = 0;
    std::uint8_t MenuPage = 0;
    float MenuTextParam = -1;
};
// One tick of the caption cycle: the clock moves 10 ms; the caption comes
// in (-1..0) until 4200 ms, holds until 6000, goes out (0..1) until 6800,
// then the next page starts from -1.
void StepMenuCaption(TMenuCaption& caption, const TMenuPages& pages);

// The digit of the final countdown for the logic time: 9 .. 0 during the
// level's last 10 s, -1 outside them.
int CountdownDigit(std::int32_t levelLength, std::int32_t logicTime);

// The head-up display's time value: in a duel the logic time as seconds and
// hundredths ("12.05"); otherwise the seconds left, never below 0, counting
// up to the level length during play phase 0.
std::string HudTimeText(bool duel, int playPhase, std::int32_t levelLength, std::int32_t logicTime,
                        std::int32_t stateTime);

// The replay letter shows for 512 ms, then hides for 512 ms.
inline bool ReplayLetterVisible(std::int32_t logicTime) { return ((logicTime / 256) & 2) == 0; }

// Opaque grey of the brightness on all four corners: v = trunc(b x 255).
std::array<std::uint32_t, 4> BrightnessColours(float brightness);

// Width of the red part of an option's charge bar.
inline std::int32_t OptionBarWidth(std::int32_t percent) { return percent * 44 / 100; }

// The digit sprites (0..9, 10 minus, 11 plus) of a drawn number: a minus
// before negative values, a plus before positive ones unless the colour is
// opaque white, then the decimal digits of the absolute value.
std::vector<int> NumberGlyphs(std::int64_t value, std::uint32_t colour);

// The game window runs only in 800 x 600 with software vertex processing
// (behaviour flags 0x20). Raises "Invalid mode" through the logged-error
// routine otherwise.
void CheckGameMode(const TzkD3DMode& mode);

}  // namespace qv
