// The game's sound ids: the numbering of the sound set's 39 sounds, which
// the logic raises as sound flags and the core plays.
#pragma once

namespace qv {

inline constexpr int kGameSoundCount = 39;

enum : int {
    sndGameMusic = 0,
    sndMenuMusic = 1,
    sndHighScoreMusic = 2,
    sndShoot = 3,
    sndShootSeekCondom = 4,
    sndTorpedo = 5,
    sndComing = 6,
    sndNivletOut = 7,
    sndGameOver = 8,
    sndLevelFinished = 9,
    sndDelete = 10,
    sndWrite = 11,
    sndBigTime = 12,
    sndNoShoot = 13,
    sndTorpedoDestroy = 14,
    sndSplitting = 15,
    sndBubbleExplosion = 16,
    sndBubbleFirework = 17,
    sndAttack = 18,
    sndEarlyCatch = 19,
    sndLevelStart = 20,
    sndActivateTorpedo = 21,
    sndActivateSeeker = 22,
    sndFirstCatch = 23,  // + creature type
};

}  // namespace qv
