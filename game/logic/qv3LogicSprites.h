// The logic sprites: the moving things of a level as the rules see them. The
// player's four cannons and the shots (condoms and torpedoes), the creatures
// (viruses, nivlets, bubbles), the two option gauges, two decorative flags,
// and the floating score and bonus texts. Each lives in one of the eleven
// lists of TGameLogic, which calls Act once per 10 ms tick and Check after
// the ticks of a Step; false from either takes it out and frees it.
//
// World axis: a world x w shows at screen x (ScrollOffset - w) / 2.9, so
// creatures enter at the left and drift right, the cannons stand at the
// right (x 750) and shots fly left, toward growing world x. A creature's
// front is at world x WorldX - size x 2.9.
//
// Fields named as floats are float; every computation is done in double and
// stored, with the logic's own trigonometry (qv3LogicMath.h).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "game/logic/qv3LogicCreatures.h"
#include "game/logic/qv3LogicUnits.h"

namespace qv {

class TGameLogic;
class TBotSprite;
struct TLogicCreatureType;

// FNV-1a over the state that decides a level, for comparing a live level
// with its replay tick by tick.
class TStateHash {
public:
    void Add(std::uint64_t v);
    void Add(std::uint32_t v) { Add(static_cast<std::uint64_t>(v)); }
    void Add(std::int32_t v) { Add(static_cast<std::uint32_t>(v)); }
    void Add(float v);
    void Add(bool v) { Add(static_cast<std::uint64_t>(v ? 1u : 0u)); }
    std::uint64_t Value() const { return h_; }

private:
    std::uint64_t h_ = 14695981039346656037ull;
};

inline constexpr int kSpriteListCount = 11;
enum : int {
    slViruses = 0,
    slNivlets = 1,
    slUnused = 2,
    slCondoms = 3,
    slScores = 4,
    slFlags = 5,
    slCannons = 6,
    slOptions = 7,
    slTorpedoes = 8,
    slBubbles = 9,
    slBonuses = 10,
};

// The creature lists shots search, in search order.
inline constexpr std::array<int, 3> kCreatureLists = {slViruses, slNivlets, slBubbles};

class TCustomLogicSprite {
public:
    // Takes the next id of list `listIndex`.
    TCustomLogicSprite(TGameLogic& logic, int listIndex);
    virtual ~TCustomLogicSprite() = default;
    TCustomLogicSprite(const TCustomLogicSprite&) = delete;
    TCustomLogicSprite& operator=(const TCustomLogicSprite&) = delete;

    // Once per Step, after the ticks. Called only when OwnCheck is set: a
    // class that overrides it sets OwnCheck in its constructor.
    virtual bool Check() { return true; }
    virtual int ListIndex() const = 0;
    virtual bool Act() = 0;
    // The logic is taking the sprite out of its list (it is freed next).
    virtual void Removed() {}
    // Adds what decides the game (positions, clocks, states).
    virtual void HashState(TStateHash& hash) const;

    std::int32_t Id;
    TGameLogic& Logic;
    bool OwnCheck = false;
};

// Option gauge: index 0 torpedo, 1 seeker.
class TOptionSprite final : public TCustomLogicSprite {
public:
    TOptionSprite(TGameLogic& logic, std::int32_t charges, std::int32_t optionIndex);
    bool Check() override;
    int ListIndex() const override { return slOptions; }
    bool Act() override;
    void HashState(TStateHash& hash) const override;
    // A shot made while the option is on; at 0 charges it switches off.
    void UseCharge();

    std::int32_t OptionIndex;
    std::int32_t Charges;
    bool On = false;
    std::int32_t Clock = 0;  // ms, +10 per tick
    std::int32_t ActivationTime = 0;
    // Drawing.
    float X;
    float Y = 525;
    std::int32_t Percentage = 0;
    float Pulse = 0;
    float Angle = 0;
    float Brightness = 0;
    float Tilt = 0;
    float Scale = 0;
    std::array<std::uint32_t, 4> Colors{};
};

// Points floating up from where they were won.
class TScoreSprite final : public TCustomLogicSprite {
public:
    TScoreSprite(TGameLogic& logic, std::uint32_t colour, std::int32_t points, std::int32_t x, std::int32_t y);
    bool Check() override;
    int ListIndex() const override { return slScores; }
    bool Act() override;
    void HashState(TStateHash& hash) const override;

    std::int32_t Points;
    std::int32_t StartX;
    std::int32_t StartY;
    std::int32_t Age = 0;
    float X;
    float Y;
    float Alpha = 1;
    std::array<std::uint32_t, 4> Colors{};
};

// A text in the middle of the screen for a second (group and level bonus).
class TBonusSprite final : public TCustomLogicSprite {
public:
    TBonusSprite(TGameLogic& logic, std::string text, float x, float y);
    bool Check() override;
    int ListIndex() const override { return slBonuses; }
    bool Act() override;
    void HashState(TStateHash& hash) const override;

    std::string Text;
    float X;
    float Y;
    std::int32_t Age = 0;
    float Alpha = 1;
};

// Decorative flag crossing the screen at a random height.
class TFlagSprite final : public TCustomLogicSprite {
public:
    TFlagSprite(TGameLogic& logic, std::int32_t flagIndex);
    bool Check() override;
    int ListIndex() const override { return slFlags; }
    bool Act() override;

    std::int32_t FlagIndex;
    float X = 800;
    float Y = 0;
    std::int32_t Clock = 0;
    std::int32_t Frame = 0;
};

// Ids 0 mouse cannon, 1 keyboard cannon, 2 and 3 their mirror images.
class TCannonSprite final : public TCustomLogicSprite {
public:
    explicit TCannonSprite(TGameLogic& logic);
    int ListIndex() const override { return slCannons; }
    bool Act() override;
    void HashState(TStateHash& hash) const override;
    // Fewer than 2950 on the reload counter, and not a mirror.
    bool Ready() const { return Counter < 2950 && Id <= 1; }

    float Height = 300;
    std::int32_t Counter = 0;  // reload: 3000 after a shot, -10 per tick
    bool Active = false;
    // Drawing: x with the recoil; full opacity while active.
    float X = 750;
    float Alpha = 1;
};

// What the two kinds of shot share: flight, candidates and homing.
class TShotSprite : public TCustomLogicSprite {
public:
    TShotSprite(TGameLogic& logic, int listIndex, std::int32_t cannonIndex, float worldX, float speedFactor);
    void Removed() override;
    void HashState(TStateHash& hash) const override;

    // Candidates are the creatures this shot will test once it passes their
    // front, each exactly once. Keys are (list, id): never addresses.
    bool IsCandidate(const TBotSprite& bot) const;
    void AddCandidate(const TBotSprite& bot);
    // A creature is leaving its list: it stops being a candidate or target.
    void Forget(const TBotSprite& bot);
    // Whether a creature made now becomes a candidate (the same test as at
    // release: its front lies beyond the shot).
    bool TakesNewCreature(const TBotSprite& bot) const;
    const std::vector<std::uint64_t>& Candidates() const { return candidates_; }

    std::int32_t CannonIndex;
    float X;  // world x
    float Y;  // height
    float Angle = 0;  // radians, 0 flies left on screen
    float SpeedFactor;
    float Scale = 1;
    bool Homing;
    bool Released = false;
    float ScreenX = 0;
    TBotSprite* Target = nullptr;

protected:
    struct TFlight {
        double HitRange;     // pixels at scale 1
        int HitEvent;        // the logic's event for a hit
        bool EndsOnHit;
        bool HomesOnBubbles;  // list 9 is a homing target too
        double DeadZone;     // pixels at scale 1 subtracted from dy when homing
        double MaxTurn;      // radians per tick
    };
    void Advance();
    // Every free creature whose front lies beyond the shot becomes a candidate.
    void CollectCandidates();
    // True when a hit ended the shot.
    bool TestCandidates(const TFlight& flight);
    // The shot has reached a free candidate: it is tested, once. True when
    // a hit ended the shot.
    bool Hit(TBotSprite& bot, const TFlight& flight);
    void Home(const TFlight& flight);

private:
    void DropCandidate(const TBotSprite& bot);
    void DropTarget();
    // TestCandidates once the bound allows a reached candidate.
    bool TestReached(const TFlight& flight);
    // The lowest front of a free candidate, at most: `frontBound_` as of the
    // logic's front drop total `dropAtBound_`, less what the creatures have
    // moved toward the cannons since.
    double FrontBound() const;
    void LowerFrontBound(double front);
    std::vector<std::uint64_t> candidates_;  // ascending
    std::vector<TBotSprite*> candidateBots_;  // in the order of candidates_
    double frontBound_ = 0;
    double dropAtBound_ = 0;
};

class TCondomSprite final : public TShotSprite {
public:
    TCondomSprite(TGameLogic& logic, std::int32_t cannonIndex);
    int ListIndex() const override { return slCondoms; }
    bool Act() override;
};

class TTorpedoSprite final : public TShotSprite {
public:
    TTorpedoSprite(TGameLogic& logic, std::int32_t cannonIndex);
    int ListIndex() const override { return slTorpedoes; }
    bool Act() override;
};

// Arguments of a creature, as a level item gives them.
struct TBotArguments {
    std::int32_t TurnDistance = 0;
    float TargetDirection = 0;  // radians
    float Direction = 0;        // radians
    std::int32_t GroupId = -1;
    float Speed = 0;   // world units per ms
    float Wobble = 0;  // units of 80 pixels
    float Height = 0;
    std::int32_t CreatureType = 0;
};

class TBotSprite : public TCustomLogicSprite {
public:
    TBotSprite(TGameLogic& logic, int listIndex, const TBotArguments& args);
    void HashState(TStateHash& hash) const override;

    // Caught by a condom: carried off to the right.
    virtual void Caught(const TShotSprite& shot);
    bool IsFree() const { return CatchProgress == 0; }
    // World x of its front.
    double Front() const;
    // (list, id): the creature's name in candidate lists.
    std::uint64_t Key() const;
    std::int32_t Size() const;
    // How far its front came toward the cannons since the last call (or its
    // creation); 0 or less when it went the other way. Each move reports it
    // to the logic (NoteFrontDrop).
    double TakeFrontDrop();

    float SpawnX;
    float SpawnY;
    float ScreenX = 0;
    float ScreenY = 0;
    float WorldX;
    float Y;  // catch height: TrackY + sin(Age pi/1000) x Wobble x 80
    float ScaleX = 1;
    float ScaleY = 1;
    float CaughtX = 0;
    float CaughtY = 0;
    float CaughtAngle = 0;
    float CaughtScale = 0;
    float ShotScale = 0;
    // Drawing only: the streak a caught creature trails while it is carried
    // off, scaled across by TailAmount (0: none), its right end at (TailX,
    // TailY), at the creature's back; TailPhase wiggles it when bent.
    float TailAmount = 0;
    float TailX = 0;
    float TailY = 0;
    float TailPhase = 0;
    std::int32_t Frame = 0;
    std::int32_t GroupId;
    std::int32_t Segments;
    std::uint8_t CreatureType;
    float ScrollAtSpawn;
    float Wobble;
    float CatchProgress = 0;
    float WobbleFrequency;
    float WobbleAngle;
    float WobbleHeight;
    float Age = 0;
    float TrackY;
    float Tilt = 0;
    std::uint8_t Targeted = 0;
    float VelocityX;
    float VelocityY;
    float Rotation = 0;
    float Heading;
    float TargetHeading;
    float Speed;
    std::int32_t TurnDelay;

protected:
    // Age + 10 and the plain motion, with turning toward TargetHeading.
    void AgeAndMove();
    void Move();
    // Catch height, catch progress, screen position, tilt, frame, rotation.
    void UpdateDerived();

    const TLogicCreatureType* type_;  // its row of the creature-type table

private:
    struct TAgeRow;
    // The row of `age`, or none for an age off the steps.
    static const TAgeRow* AgeRow(float age);
    void Turn();
    void Derive(const TAgeRow& row);
    void DeriveOffStep();
    double passFront_ = 0;  // its front at the last TakeFrontDrop
    // The row of the last update: the next age's row follows it.
    const TAgeRow* ageRow_ = nullptr;
    // ListIndex, for Key.
    std::int32_t list_;
    // The whole frame count Frame was last taken from; never a count (a
    // count is 0 or more), so the first update sets Frame.
    std::int32_t frameWhole_ = -1;
};

class TVirusSprite final : public TBotSprite {
public:
    TVirusSprite(TGameLogic& logic, const TBotArguments& args);
    // The twin a splitter makes when it splits: at the parent's world x and
    // catch height, with its group, wobble and speed, in the second half of
    // the split (age 851).
    static std::unique_ptr<TVirusSprite> Twin(TGameLogic& logic, const TVirusSprite& parent);
    int ListIndex() const override { return slViruses; }
    bool Act() override;
    void Caught(const TShotSprite& shot) override;
    void HashState(TStateHash& hash) const override;

    std::uint8_t Escaped = 0;
    float ZigzagStep = 0;  // pixels per ms
    // Splitter: 0 whole, 1 splitting parent, 2 splitting twin, 3 done.
    std::uint8_t SplitPhase = 0;

private:
    void FollowPath();
    void Zigzag();
    std::int32_t pathX_ = 0;  // x offset of the previous step
};

class TBotBubbleSprite final : public TBotSprite {
public:
    TBotBubbleSprite(TGameLogic& logic, const TBotArguments& args);
    int ListIndex() const override { return slBubbles; }
    bool Act() override;
};

class TNivletSprite final : public TBotSprite {
public:
    TNivletSprite(TGameLogic& logic, std::uint8_t variant, const TBotArguments& args);
    int ListIndex() const override { return slNivlets; }
    bool Act() override;
    void HashState(TStateHash& hash) const override;

    std::uint8_t Variant;
    std::uint8_t Escaped = 0;
};

// Asked for in the shots' inner loops: kept inline.
inline std::int32_t TBotSprite::Size() const { return type_->Size; }

inline double TBotSprite::Front() const { return D(WorldX) - type_->Reach; }

inline std::uint64_t TBotSprite::Key() const {
    return static_cast<std::uint64_t>(list_) << 32 | static_cast<std::uint32_t>(Id);
}

}  // namespace qv
