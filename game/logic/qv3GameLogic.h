// The rules of one level: the eleven sprite lists, the scroll of the world,
// the level clock, the two cannons and their shots, catching, points, group
// and level bonuses, the sound requests of a tick and the level's
// statistics. No screen and no timer: the game core makes one logic per
// level and calls Step(active, 1) once per 10 ms tick. The same rules run a
// live level (mode 0), a duel level (1) and the playback of a recorded
// level (2).
//
// Replays. The only draws that decide a level are its generation words; a
// recorded level stream holds them with every input record and its tick
// count, so playback reproduces the level tick for tick:
// - In live play outside a duel the logic records, on each active tick, the
//   input it consumed: a delivered record with a tick count of 1, each later
//   active tick without a delivery adding 1 to it. Active ticks before the
//   first delivery (or beyond 255 ticks of one record) are recorded as
//   records with bit 28 set, which deliver nothing on playback. The game
//   core adds each frame's record to LiveInput only, and decides before a
//   frame's ticks whether they are live, so live play starts on a frame
//   boundary.
// - On the first active tick the input latches start afresh in every mode
//   (LastMouseY -1, LastKeyDirection 0, KeyHeldTime 0, SpaceReleased 0,
//   LastKeyTime = LogicTime, Cannon1LastUse -15001, the cannons back at 300),
//   so input given before live play never reaches the level.
// - Playback reads only the recorded list, and only on active ticks.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "foundation/Random.h"
#include "foundation/qv3GameStatistics.h"
#include "game/data/qv3Input.h"
#include "game/data/qv3LevelData.h"
#include "game/logic/qv3LogicServices.h"
#include "game/logic/qv3LogicSprites.h"
#include "game/data/qv3ScenarioData.h"
#include "game/data/qv3SoundIds.h"
#include "game/data/qv3SpriteBoundaries.h"

namespace qv {

enum : std::uint8_t { gmLive = 0, gmDuel = 1, gmReplay = 2 };

inline constexpr std::int32_t kGameLevel = 1;
inline constexpr std::int32_t kAttractLevel = 1001;
inline constexpr std::int32_t kNameEntryLevel = 1002;
inline constexpr std::int32_t kOptionCharges = 3;
// An input record that delivers nothing (a tick of live play without input).
inline constexpr TInputRecord kNoDeliveryBit = 1u << 28;

// HandleEvent kinds.
enum : int {
    evMoveCannon = 0,    // index cannon, value height
    evOptionOn = 1,      // index option
    evOptionOff = 2,     // index option
    evCatch = 3,         // creature caught by the shot (a condom)
    evDestroy = 4,       // creature destroyed by the shot (a torpedo)
    evVirusEscaped = 5,  // creature: the level is lost
};

using TSpriteList = std::vector<std::unique_ptr<TCustomLogicSprite>>;

class TGameLogic {
public:
    // A new level: its generation words are drawn from services.LevelRandom.
    // Throws EDataError for bad level or scenery data or a level length of
    // 0 ms or less (for a level that runs on it), EResNotFound for a missing
    // resource.
    TGameLogic(const TLogicServices& services, std::int32_t levelNumber, std::int32_t startScore, std::uint8_t mode);
    // A level from a recorded level stream. Score comes from the stream,
    // StartScore stays 0. Throws EDataError "Invalid recorded game data file"
    // for a stream that is not one, and as above.
    static std::unique_ptr<TGameLogic> CreateFromRecord(const TLogicServices& services, std::uint8_t mode,
                                                        std::span<const std::uint8_t> stream);
    ~TGameLogic();
    TGameLogic(const TGameLogic&) = delete;
    TGameLogic& operator=(const TGameLogic&) = delete;

    // Runs `ticks` ticks of 10 ms. While not active no time passes, nothing
    // spawns or fires.
    void Step(bool active, int ticks);
    // The recorded level stream: logic time, level, start score, the
    // recorded input and the generation words, enciphered.
    std::vector<std::uint8_t> WriteRecord() const;
    // The input recorded so far, as WriteRecord stores it.
    TGameInput Recording() const;

    // Adds the points; with x >= 0 also a score sprite at (x, y), white or
    // in the scenario's bonus colour.
    void AddScore(std::int32_t points, std::int32_t x, std::int32_t y, bool bonusColour);
    // The rules' event entry (kinds above); returns success.
    bool HandleEvent(int kind, int index, std::int32_t value = 0, TBotSprite* creature = nullptr,
                     const TShotSprite* shot = nullptr);

    // Appends a sprite to the list its class names; a creature becomes a
    // candidate of every flying shot it lies ahead of.
    template <class T>
    T& AddSprite(std::unique_ptr<T> sprite) {
        T& added = *sprite;
        Insert(std::unique_ptr<TCustomLogicSprite>(std::move(sprite)));
        return added;
    }
    // Takes a sprite out of its list and frees it.
    void RemoveSprite(int list, int position);
    // Searches the list from its end and removes the first match.
    void RemoveSpriteObject(int list, const TCustomLogicSprite* sprite);

    const TSpriteList& SpriteList(int list) const;
    TOptionSprite& Option(int index);
    TCannonSprite& Cannon(int index);
    bool SoundFlag(int id) const;
    void RaiseSound(int id);
    // LogicTime - 15000 < Cannon1LastUse.
    bool Cannon1Active() const;
    // Whether the level ends after LevelLength: a single-player level or its
    // replay, but not a duel, the attract level or the name-entry level.
    bool UsesLevelLength() const {
        return Mode != gmDuel && LevelNumber != kAttractLevel && LevelNumber != kNameEntryLevel;
    }
    // The list's next sprite id (0, 1, 2 ... per list and level).
    std::int32_t NextId(int list);
    // The sum, over the ticks so far, of the farthest any creature's front
    // came toward the cannons before the shots moved: a bound the shots use
    // to skip the creatures they cannot have reached.
    double FrontDropTotal() const { return frontDropTotal_; }
    // A creature's front came `drop` toward the cannons in its move.
    void NoteFrontDrop(double drop) {
        if (drop > pendingFrontDrop_) pendingFrontDrop_ = drop;
    }

    // Of the state that decides the level: clock, scroll, score, statistics
    // and every sprite but the cosmetic flags. Finished and Won are left out:
    // a level left early is not finished live but is on playback.
    std::uint64_t StateHash() const;

    const TLevelDataReader& LevelData() const { return *levelData_; }
    TScenarioDataReader& Scenery() { return *scenery_; }

    // For the sprites.
    IEffectSink* Effects() const { return effects_; }
    TRandom& EffectRandom() { return *effectRandom_; }
    std::string Text(int line);

    // The scenario's values the rules use.
    std::int32_t LevelLength = 90000;
    std::int32_t ScoreBonusColor = -256;
    float BubblesRotationSpeed = 0;
    bool BubblesWobble = true;

    TGameInput LiveInput;
    TGameInput RecordedInput;
    std::int32_t LevelNumber = 0;
    std::int32_t Cannon1LastUse = -15001;
    std::int32_t Score = 0;
    std::int32_t StartScore = 0;
    std::int32_t LogicTime = 0;
    std::int32_t RecordedEndTime = 0;
    std::int32_t TickCount = 0;
    std::uint8_t Mode = gmLive;
    TGameStatistics Statistics;
    std::array<std::int32_t, kSpriteListCount> NextSpriteId{};
    float ScrollSpeed = static_cast<float>(0.2485);  // world units per ms
    float ScrollOffset = 0;
    // Largest |y offset| of the parent's split table.
    float PathExtent = 0;
    std::array<std::uint8_t, kGameSoundCount> SoundFlags{};
    bool Finished = false;
    bool Won = false;
    std::array<std::uint8_t, 2> FireRequest{};
    std::uint8_t SpaceReleased = 0;
    std::int32_t KeyHeldTime = 0;
    std::int32_t LastMouseY = -1;
    std::int32_t LastKeyTime = 0;
    std::uint8_t LastKeyDirection = 0;

private:
    struct TFromRecord {};
    TGameLogic(const TLogicServices& services, std::uint8_t mode, TFromRecord);
    void Setup(const TLogicServices& services, TBinaryReader* recordedWords);

    void Insert(std::unique_ptr<TCustomLogicSprite> sprite);
    void ReadInput(bool active);
    void Record(bool delivered, TInputRecord record);
    void Scroll(bool active);
    void ActAll();
    void CheckAll();
    void Spawn();
    void Fire();
    void EndChecks();
    bool Catch(int kind, TBotSprite& creature, const TShotSprite* shot);

    std::unique_ptr<TLevelDataReader> levelData_;
    std::unique_ptr<TScenarioDataReader> scenery_;
    std::unique_ptr<TSpriteBoundaries> ownBoundaries_;
    std::array<TSpriteList, kSpriteListCount> lists_;
    // Per list, how many of its sprites have a Check of their own.
    std::array<int, kSpriteListCount> checkers_{};
    ITextSource* texts_ = nullptr;
    TLanguageTexts languageTexts_;
    IEffectSink* effects_ = nullptr;
    TRandom ownEffectRandom_;
    TRandom* effectRandom_ = &ownEffectRandom_;
    // The record being recorded: extended while active ticks bring nothing.
    TInputRecord pending_ = 0;
    bool hasPending_ = false;
    bool liveStarted_ = false;
    double frontDropTotal_ = 0;
    double pendingFrontDrop_ = 0;
};

}  // namespace qv
