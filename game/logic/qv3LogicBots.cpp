// The logic's creatures: the common bot, viruses (with their twins, paths
// and zigzags), bubbles and nivlets.
#include "game/logic/qv3LogicSprites.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "foundation/qv3Global.h"
#include "game/logic/qv3GameLogic.h"
#include "game/logic/qv3LogicCreatures.h"
#include "game/logic/qv3LogicMath.h"
#include "game/logic/qv3LogicUnits.h"
#include "game/logic/qv3SplitterPaths.h"

namespace qv {

namespace {

// The wobble's sine by age: ages run in steps of 10 ms, from 0, or from 851
// for a splitter's twin.
double WobbleSine(std::int32_t age) { return LogicSin(age * kLogicPi / 1000.0); }
const TClockTable kWobble(0, 12000, WobbleSine);
const TClockTable kTwinWobble(851, 12000, WobbleSine);

}  // namespace

// ---- TBotSprite --------------------------------------------------------------

TBotSprite::TBotSprite(TGameLogic& logic, int listIndex, const TBotArguments& args)
    : TCustomLogicSprite(logic, listIndex),
      CreatureType(static_cast<std::uint8_t>(args.CreatureType)),
      type_(&LogicCreatureType(args.CreatureType)) {
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

void TBotSprite::AgeAndMove() {
    Age = F(D(Age) + 10.0);
    Move();
}

void TBotSprite::Move() {
    WorldX = F(D(WorldX) - D(VelocityX) * 10.0);
    TrackY = F(D(TrackY) + D(VelocityY) * 10.0);
    if (TurnDelay >= 0) --TurnDelay;
    if (Heading != TargetHeading && TurnDelay < 0) {
        constexpr double kStep = kLogicPi / 400.0;
        const double diff = D(TargetHeading) - D(Heading);
        if (std::fabs(diff) <= kStep)
            Heading = TargetHeading;
        else
            Heading = F(D(Heading) + (diff > 0 ? kStep : -kStep));
        VelocityX = F(LogicCos(D(Heading)) * D(Speed));
        VelocityY = F(LogicSin(D(Heading)) * D(Speed));
    }
}

void TBotSprite::UpdateDerived() {
    const TLogicCreatureType& type = *type_;
    auto phase = [this] { return D(Age) * kLogicPi / 1000.0; };
    // Without wobble the sine adds exactly nothing.
    if (Wobble == 0) {
        Y = TrackY;
    } else {
        double sine;
        if (!kWobble.Find(D(Age), sine) && !kTwinWobble.Find(D(Age), sine)) sine = LogicSin(phase());
        Y = F(D(TrackY) + sine * D(Wobble) * 80.0);
    }
    if (!IsFree()) {
        const double p = std::min(1.0, D(CatchProgress) + 0.053333);
        CatchProgress = F(p);
        CaughtScale = F((1.0 - p) * D(ShotScale) / 0.8 + p * 1.1);
    }
    ScreenX = F(ScreenXOf(Logic, WorldX));
    ScreenY = TrackY;
    if (Wobble > 0.05f) Tilt = F(phase());
    if (!IsFree()) {
        CaughtX = F(D(ScreenX) + 25.0 + type.Size);
        CaughtY = ScreenY;
        CaughtAngle = F(D(Tilt) + kLogicPi / 20.0);
        TailAmount = F(D(CatchProgress) * 0.5);
        TailX = F(D(ScreenX) + type.Size - type.DrawWidth * D(ScaleX));
        TailY = ScreenY;
        TailPhase = F(D(Age) * 0.006283185);
    }
    Logic.NoteFrontDrop(TakeFrontDrop());
    double frame = D(Age) * 0.02;
    if (CreatureType == 3) frame += std::fabs(D(Y)) / 8.5;
    // The frame changes every fifth tick or so: the division only then.
    const std::int32_t whole = TruncToI32(frame);
    if (whole != frameWhole_) {
        frameWhole_ = whole;
        Frame = type.FrameCount > 0 ? whole % type.FrameCount : 0;
    }
    if (CreatureType == 1) {
        Rotation = F(phase());
    } else if (CreatureType == kLogicCreatureTypes - 1) {
        Rotation = F(D(Rotation) + D(Logic.BubblesRotationSpeed));
        if (Logic.BubblesWobble) {
            const double pulse = D(Age) * 0.012566;
            ScaleX = F(1.0 + 0.1 * LogicCos(pulse));
            ScaleY = F(1.0 + 0.1 * LogicSin(pulse));
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
