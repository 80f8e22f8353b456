// The logic's creatures: the common bot, viruses (with their twins, paths
// and zigzags), bubbles and nivlets.
#include "game/logic/qv3LogicSprites.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>

#include "foundation/qv3Global.h"
#include "game/logic/qv3GameLogic.h"
#include "game/logic/qv3LogicCreatures.h"
#include "game/logic/qv3LogicMath.h"
#include "game/logic/qv3LogicUnits.h"
#include "game/logic/qv3SplitterPaths.h"

namespace qv {

// What a creature's update takes from its age, which runs in steps of
// 10 ms from 0, or from 851 for a splitter's twin: worked out once per age.
struct TBotSprite::TAgeRow {
    // A creature type's frame from Frames: one of at most this many frames.
    static constexpr std::int32_t kFramesHeld = 256;

    double Sine;         // sin(age pi/1000): the wobble
    float Age;           // the row's age; not a number after the last row
    float Phase;         // age pi/1000: tilt and spin
    std::int32_t Count;  // trunc(age x 0.02): frames shown so far
    float PulseX;        // a bubble's breathing scales
    float PulseY;
    // The frame shown, by creature type (of at most kFramesHeld frames).
    std::array<std::uint8_t, kLogicCreatureTypes> Frames;

    static TAgeRow At(double age) {
        const double phase = age * kLogicPi / 1000.0;
        const double pulse = age * 0.012566;
        TAgeRow row{LogicSin(phase),
                    F(age),
                    F(phase),
                    TruncToI32(age * 0.02),
                    F(1.0 + 0.1 * LogicCos(pulse)),
                    F(1.0 + 0.1 * LogicSin(pulse)),
                    {}};
        for (int t = 0; t < kLogicCreatureTypes; ++t) {
            const TLogicCreatureType& type = LogicCreatureType(t);
            if (type.FrameCount <= kFramesHeld)
                row.Frames[static_cast<std::size_t>(t)] = static_cast<std::uint8_t>(FrameOf(row.Count, type));
        }
        return row;
    }
};

const TBotSprite::TAgeRow* TBotSprite::AgeRow(float age) {
    // Two runs of rows, each closed by a row no age matches.
    constexpr std::int32_t kCount = 12000;
    struct TRows {
        std::array<TAgeRow, kCount + 1> Plain;
        std::array<TAgeRow, kCount + 1> Twin;
    };
    static const std::unique_ptr<const TRows> rows = [] {
        auto r = std::make_unique<TRows>();
        for (std::int32_t i = 0; i < kCount; ++i) {
            r->Plain[static_cast<std::size_t>(i)] = TAgeRow::At(10 * i);
            r->Twin[static_cast<std::size_t>(i)] = TAgeRow::At(851 + 10 * i);
        }
        TAgeRow end{};
        end.Age = std::numeric_limits<float>::quiet_NaN();
        r->Plain[kCount] = end;
        r->Twin[kCount] = end;
        return r;
    }();
    const double a = D(age);
    if (!(a >= 0 && a < 10.0 * kCount)) return nullptr;
    const auto whole = static_cast<std::int32_t>(a);
    if (whole != a) return nullptr;
    const std::int32_t step = whole / 10;
    const std::int32_t rest = whole % 10;
    if (rest == 0) return &rows->Plain[static_cast<std::size_t>(step)];
    if (rest == 1 && whole >= 851) return &rows->Twin[static_cast<std::size_t>(step - 85)];
    return nullptr;
}

// ---- TBotSprite --------------------------------------------------------------

TBotSprite::TBotSprite(TGameLogic& logic, int listIndex, const TBotArguments& args)
    : TCustomLogicSprite(logic, listIndex),
      CreatureType(static_cast<std::uint8_t>(args.CreatureType)),
      type_(&LogicCreatureType(args.CreatureType)),
      list_(listIndex) {
    const TLogicCreatureType& type = *type_;
    WorldX = SpawnX = F(D(logic.ScrollOffset) + type.Size * kWorldPerPixel);
    TrackY = Y = SpawnY = args.Height;
    Speed = args.Speed;
    VelocityX = F(D(DegCos(args.Direction)) * D(args.Speed));
    VelocityY = F(-D(DegSin(args.Direction)) * D(args.Speed));
    Heading = -args.Direction;
    TargetHeading = -args.TargetDirection;
    TurnDelay = args.TurnDistance > 0 && args.Speed > 0 ? TruncToI32(args.TurnDistance / D(args.Speed)) / 10 : 0;
    GroupId = args.GroupId;
    Segments = type.Segments;
    ScrollAtSpawn = logic.ScrollOffset;
    Wobble = args.Wobble;
    WobbleFrequency = F(type.DrawWidth * 2.0 * kLogicPi / 1000.0);
    WobbleAngle = F(D(Wobble) * kLogicPi / 8.0);
    WobbleHeight = F(D(Wobble) * 80.0);
    Rotation = Heading;
    ScreenX = F(ScreenXOf(logic, WorldX));
    ScreenY = TrackY;
    passFront_ = Front();
}

double TBotSprite::TakeFrontDrop() {
    const double front = Front();
    const double drop = passFront_ - front;
    passFront_ = front;
    return drop;
}

void TBotSprite::Caught(const TShotSprite& shot) {
    CatchProgress = 0.2f;
    ShotScale = shot.Scale;
    CaughtScale = shot.Scale;
    TargetHeading = 0;
    TurnDelay = -1;
}

// The motion and the update run for every creature on every tick: kept
// inline in the creatures' Act, the rare parts out of line.
[[gnu::always_inline]] inline void TBotSprite::AgeAndMove() {
    Age = F(D(Age) + 10.0);
    Move();
}

[[gnu::always_inline]] inline void TBotSprite::Move() {
    WorldX = F(D(WorldX) - D(VelocityX) * 10.0);
    TrackY = F(D(TrackY) + D(VelocityY) * 10.0);
    if (TurnDelay >= 0) --TurnDelay;
    if (Heading != TargetHeading && TurnDelay < 0) Turn();
}

void TBotSprite::Turn() {
    constexpr double kStep = kLogicPi / 400.0;
    const double diff = D(TargetHeading) - D(Heading);
    if (std::fabs(diff) <= kStep)
        Heading = TargetHeading;
    else
        Heading = F(D(Heading) + (diff > 0 ? kStep : -kStep));
    VelocityX = F(LogicCos(D(Heading)) * D(Speed));
    VelocityY = F(LogicSin(D(Heading)) * D(Speed));
}

[[gnu::always_inline]] inline void TBotSprite::UpdateDerived() {
    // The age has mostly moved on by one step since the last update.
    const TAgeRow* row = ageRow_ ? ageRow_ + 1 : nullptr;
    if (!row || row->Age != Age) row = AgeRow(Age);
    ageRow_ = row;
    if (row)
        Derive(*row);
    else
        DeriveOffStep();
}

// An age off the steps (set from outside) is worked out on the spot.
void TBotSprite::DeriveOffStep() { Derive(TAgeRow::At(D(Age))); }

[[gnu::always_inline]] inline void TBotSprite::Derive(const TAgeRow& row) {
    const TLogicCreatureType& type = *type_;
    // Without wobble the sine adds exactly nothing.
    if (Wobble == 0)
        Y = TrackY;
    else
        Y = F(D(TrackY) + row.Sine * D(Wobble) * 80.0);
    ScreenX = F(ScreenXOf(Logic, WorldX));
    ScreenY = TrackY;
    if (Wobble > 0.05f) Tilt = row.Phase;
    if (!IsFree()) {
        if (CatchProgress == 1.0f && std::isfinite(ShotScale)) {
            // Fully caught: the sums below come to these.
            CaughtScale = F(1.1);
            TailAmount = 0.5f;
        } else {
            const double p = std::min(1.0, D(CatchProgress) + 0.053333);
            CatchProgress = F(p);
            CaughtScale = F((1.0 - p) * D(ShotScale) / 0.8 + p * 1.1);
            TailAmount = F(D(CatchProgress) * 0.5);
        }
        CaughtX = F(D(ScreenX) + 25.0 + type.Size);
        CaughtY = ScreenY;
        CaughtAngle = F(D(Tilt) + kLogicPi / 20.0);
        TailX = F(D(ScreenX) + type.Size - type.DrawWidth * D(ScaleX));
        TailY = ScreenY;
        TailPhase = F(D(Age) * 0.006283185);
    }
    Logic.NoteFrontDrop(TakeFrontDrop());
    // A new frame count every fifth tick or so, for one creature or another:
    // a branch on it would mostly guess wrong, so the frame is picked.
    std::int32_t whole = row.Count;
    std::int32_t frame = row.Frames[static_cast<std::size_t>(type.Type)];
    if (CreatureType == 3 || type.FrameCount > TAgeRow::kFramesHeld) [[unlikely]] {
        // The splitter's frame runs on with its height.
        if (CreatureType == 3) whole = TruncToI32(D(Age) * 0.02 + std::fabs(D(Y)) / 8.5);
        frame = FrameOf(whole, type);
    }
    const std::int32_t kept = -static_cast<std::int32_t>(whole == frameWhole_);
    Frame = frame ^ ((frame ^ Frame) & kept);
    frameWhole_ = whole;
    if (CreatureType == 1) {
        Rotation = row.Phase;
    } else if (CreatureType == kLogicCreatureTypes - 1) {
        Rotation = F(D(Rotation) + D(Logic.BubblesRotationSpeed));
        if (Logic.BubblesWobble) {
            ScaleX = row.PulseX;
            ScaleY = row.PulseY;
        }
    } else {
        Rotation = Heading;
    }
}

void TBotSprite::HashState(TStateHash& hash) const {
    TCustomLogicSprite::HashState(hash);
    hash.Add(static_cast<std::int32_t>(CreatureType));
    hash.Add(WorldX);
    hash.Add(Y);
    hash.Add(TrackY);
    hash.Add(Age);
    hash.Add(CatchProgress);
    hash.Add(VelocityX);
    hash.Add(VelocityY);
    hash.Add(Heading);
    hash.Add(TurnDelay);
    hash.Add(GroupId);
    hash.Add(Targeted != 0);
}

// ---- TVirusSprite ------------------------------------------------------------

TVirusSprite::TVirusSprite(TGameLogic& logic, const TBotArguments& args) : TBotSprite(logic, slViruses, args) {}

std::unique_ptr<TVirusSprite> TVirusSprite::Twin(TGameLogic& logic, const TVirusSprite& parent) {
    TBotArguments args;
    args.GroupId = parent.GroupId;
    args.Speed = parent.VelocityX;
    args.Wobble = parent.Wobble;
    args.Height = parent.Y;
    args.CreatureType = 3;
    auto twin = std::make_unique<TVirusSprite>(logic, args);
    twin->WorldX = twin->SpawnX = parent.WorldX;
    twin->SplitPhase = 2;
    twin->Age = 851;
    twin->ScreenX = F(ScreenXOf(logic, twin->WorldX));
    return twin;
}

void TVirusSprite::Caught(const TShotSprite& shot) {
    TBotSprite::Caught(shot);
    if (CreatureType == 3 && SplitPhase < 3) {
        SplitPhase = 3;
        ScaleY = 1.0f;
    }
}

bool TVirusSprite::Act() {
    Age = F(D(Age) + 10.0);
    if (CreatureType == 3 && SplitPhase == 0 && Age > 850) {
        Logic.RaiseSound(sndSplitting);
        SplitPhase = 1;
        pathX_ = 0;
        Logic.AddSprite(Twin(Logic, *this));
    }
    if (CreatureType == 3 && SplitPhase < 3) {
        FollowPath();
    } else {
        Move();
        if (CreatureType == 5) Zigzag();
    }
    UpdateDerived();
    if (!Escaped && IsFree() && D(ScreenX) > 800.0 + Size()) {
        Escaped = 1;
        Logic.HandleEvent(evVirusEscaped, 0, 0, this);
    }
    return D(WorldX) + 3059.5 > D(Logic.ScrollOffset);
}

void TVirusSprite::FollowPath() {
    const TPathStep* step = nullptr;
    if (SplitPhase == 0) {
        step = &SplitterPath[static_cast<std::size_t>(std::clamp(TruncToI32(Age), 0, kSplitterPathSteps - 1))];
    } else {
        const auto& table = SplitPhase == 1 ? SplitParentPath : SplitTwinPath;
        std::int32_t index = TruncToI32(D(Age) - 851.0);
        if (index > kSplitPathSteps - 1) {
            index = kSplitPathSteps - 1;
            SplitPhase = 3;
        }
        step = &table[static_cast<std::size_t>(std::max(index, 0))];
    }
    // The path moves the splitter along its motion by the step's change of
    // x offset, in units of its speed.
    WorldX = F(D(WorldX) - D(VelocityX) * static_cast<double>(step->X - pathX_));
    pathX_ = step->X;
    TrackY = F(D(SpawnY) + step->Y);
    ScaleX = step->ScaleX;
    ScaleY = step->ScaleY;
}

void TVirusSprite::Zigzag() {
    if (!IsFree()) return;
    const std::int32_t age = TruncToI32(Age);
    if (age % 1100 < 600) {
        ZigzagStep = 0;
        return;
    }
    if (ZigzagStep == 0) {
        const TLogicCreatureType& type = *type_;
        // Bit (age div 1100) of the spawn height, the index taken mod 32.
        const auto bits = static_cast<std::uint32_t>(TruncToI32(SpawnY));
        const int bit = (age / 1100) & 31;
        double step = ((bits >> bit) & 1u) == 0 ? 0.2 : -0.2;
        const double end = D(TrackY) + step * 500.0;
        if (end < D(type.YBase) || end > D(type.YBase) + D(type.YRange)) step = -step;
        ZigzagStep = F(step);
    }
    TrackY = F(D(TrackY) + D(ZigzagStep) * 10.0);
}

void TVirusSprite::HashState(TStateHash& hash) const {
    TBotSprite::HashState(hash);
    hash.Add(static_cast<std::int32_t>(SplitPhase));
    hash.Add(Escaped != 0);
    hash.Add(ZigzagStep);
}

// ---- TBotBubbleSprite --------------------------------------------------------

TBotBubbleSprite::TBotBubbleSprite(TGameLogic& logic, const TBotArguments& args) : TBotSprite(logic, slBubbles, args) {}

bool TBotBubbleSprite::Act() {
    AgeAndMove();
    UpdateDerived();
    return D(WorldX) + 3059.5 > D(Logic.ScrollOffset);
}

// ---- TNivletSprite -----------------------------------------------------------

TNivletSprite::TNivletSprite(TGameLogic& logic, std::uint8_t variant, const TBotArguments& args)
    : TBotSprite(logic, slNivlets, args), Variant(variant) {}

bool TNivletSprite::Act() {
    AgeAndMove();
    UpdateDerived();
    if (!Escaped && D(WorldX) + 2320.0 <= D(Logic.ScrollOffset)) {
        Escaped = 1;
        if (IsFree()) Logic.RaiseSound(sndNivletOut);
    }
    return D(WorldX) + 3210.3 > D(Logic.ScrollOffset);
}

void TNivletSprite::HashState(TStateHash& hash) const {
    TBotSprite::HashState(hash);
    hash.Add(Escaped != 0);
}

}  // namespace qv
