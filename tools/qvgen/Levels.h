// Levels: readable text designs compiled into the game's level data files.
//
// A design holds one statement per line; '#' starts a comment.
//   scenery <n>           the level's scenery "<n>.scn" (default 1)
//   creature <fields>     one entry (or a run of entries), fields "key=value":
//     type=      virus1 virus2 virus3 splitter cork virus6 theme1 theme2
//                neutral theme3 theme4 theme5 gold silver bronze bubble,
//                or the number 0..15
//     at=        seconds into the level the entry is due (or pos= the raw
//                level position; one of the two is required)
//     height=    0..1 within the type's vertical range, or "random"
//     speed=     extra speed, a fraction of the type's speed factor (>= 0)
//     chance=    0..1, how likely the entry occurs (default 1)
//     spread=    seconds by which the entry may come later, drawn per game
//     wobble=    vertical wobble, units of 80 pixels
//     group=     group id 0..999 for a group bonus (default none)
//     variant=   0..255, handed to a nivlet
//     dir=       heading in degrees, 0 straight on, positive upwards;
//                -360..360, negative ones stored as 360 + dir
//     turn=      heading in degrees it turns to (default: dir); it turns
//                the plain numeric way, so from 348 turn to 360, not 0
//     turnafter= distance in world units before it turns
//     count=     copies of the entry (default 1), every= seconds apart,
//                rise= height added per copy (may be negative)
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "game/data/qv3LevelData.h"
#include "tools/qvgen/Content.h"

namespace qv::gen {

// Level positions advance by 248.5 per second of play.
inline constexpr double kPositionsPerSecond = 248.5;

// Compiles one design. Throws qv::Exception "<source>:<line>: <reason>".
TLevelFile ParseLevelDesign(std::string_view text, const std::string& source);

// The design file (in the level folder) behind a slot's level resource:
// "1.lvl", "1001.lvl" (attract) or "1002.lvl" (name entry).
std::string LevelDesignName(int slot, int levelNumber);

// "1.lvl", "1001.lvl" and "1002.lvl" of a slot, from the designs in
// `levelDir`. Throws qv::Exception when a design is missing or bad.
std::vector<TGeneratedFile> GenerateLevels(int slot, const std::string& levelDir);

}  // namespace qv::gen
