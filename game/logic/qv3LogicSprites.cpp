#include "game/logic/qv3LogicSprites.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "foundation/qv3Global.h"
#include "game/logic/qv3GameLogic.h"
#include "game/logic/qv3LogicCreatures.h"
#include "game/logic/qv3LogicMath.h"
#include "game/logic/qv3SplitterPaths.h"

namespace qv {

namespace {

constexpr double kWorldPerPixel = 2.9;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;

float F(double v) { return static_cast<float>(v); }
double D(float v) { return static_cast<double>(v); }

double ScreenXOf(const TGameLogic& logic, float worldX) { return (D(logic.ScrollOffset) - D(worldX)) / kWorldPerPixel; }

// dy less a dead zone on either side.
double LessDeadZone(double dy, double zone) {
    if (dy > zone) return dy - zone;
    if (dy < -zone) return dy + zone;
    return 0.0;
}

TBotSprite& BotAt(const TSpriteList& list, int i) {
    return static_cast<TBotSprite&>(*list[static_cast<std::size_t>(i)]);
}

// Flag tables by flag index.
constexpr std::array<double, 2> kFlagFrameRate = {0.02, 0.022};  // frames per ms
constexpr std::array<double, 2> kFlagSpeed = {0.1, 0.15};        // pixels per ms
constexpr int kFlagFrames = 12;
constexpr float kFlagReentryX = -150;

}  // namespace

// ---- TStateHash --------------------------------------------------------------

void TStateHash::Add(std::uint64_t v) {
    for (int i = 0; i < 8; ++i) {
        h_ ^= (v >> (8 * i)) & 0xFFu;
        h_ *= 1099511628211ull;
    }
}

void TStateHash::Add(float v) { Add(static_cast<std::uint64_t>(std::bit_cast<std::uint32_t>(v))); }

// ---- TCustomLogicSprite ------------------------------------------------------

TCustomLogicSprite::TCustomLogicSprite(TGameLogic& logic, int listIndex) : Id(logic.NextId(listIndex)), Logic(logic) {}

void TCustomLogicSprite::HashState(TStateHash& hash) const { hash.Add(Id); }

// ---- TOptionSprite -----------------------------------------------------------

TOptionSprite::TOptionSprite(TGameLogic& logic, std::int32_t charges, std::int32_t optionIndex)
    : TCustomLogicSprite(logic, slOptions),
      OptionIndex(optionIndex),
      Charges(charges),
      X(static_cast<float>(362 + 80 * optionIndex)) {}

bool TOptionSprite::Act() {
    Clock += 10;
    if (Logic.Finished) Logic.HandleEvent(evOptionOff, OptionIndex);
    return true;
}

void TOptionSprite::UseCharge() {
    if (Charges > 0) --Charges;
    if (Charges == 0) Logic.HandleEvent(evOptionOff, OptionIndex);
}

bool TOptionSprite::Check() {
    constexpr double kTurn = 0.0471;
    constexpr double kTwoPi = 2.0 * kLogicPi;
    Percentage = On ? Charges * 100 / kOptionCharges : 0;
    const std::int32_t since = Clock - ActivationTime;
    Pulse = On && since >= 0 && since < 1000 ? F(1.0 - since / 1000.0) : 0.0f;
    if (On) {
        double a = D(Angle) - (D(Pulse) * 6.0 + 1.0) * kTurn;
        if (a < 0) a += kTwoPi;
        Angle = F(a);
        Brightness = F(std::min(1.0, D(Brightness) + 0.02));
    } else {
        Angle = F(std::max(0.0, D(Angle) - kTurn));
        Brightness = F(std::max(0.0, D(Brightness) - 0.02));
    }
    Tilt = F(D(Pulse) * LogicSin(D(Pulse) * kTwoPi) * kLogicPi / 20.0);
    Scale = F((LogicSin(D(Angle)) * 0.2 + 1.0) * D(Brightness));
    const auto level = static_cast<std::uint32_t>(TruncToI32(D(Brightness) * 255.0)) & 0xFFu;
    Colors.fill(level << 24 | level << 16 | level << 8 | level);
    return true;
}

void TOptionSprite::HashState(TStateHash& hash) const {
    // Its clock runs from set-up, so an intro of another length gives
    // another reading; only the drawing uses it.
    TCustomLogicSprite::HashState(hash);
    hash.Add(Charges);
    hash.Add(On);
}

// ---- TScoreSprite ------------------------------------------------------------

TScoreSprite::TScoreSprite(TGameLogic& logic, std::uint32_t colour, std::int32_t points, std::int32_t x, std::int32_t y)
    : TCustomLogicSprite(logic, slScores),
      Points(points),
      StartX(x),
      StartY(y),
      X(static_cast<float>(x)),
      Y(static_cast<float>(y)) {
    Colors.fill(colour);
}

bool TScoreSprite::Act() {
    Age += 10;
    return Age < 800;
}

bool TScoreSprite::Check() {
    X = F(StartX + LogicCos(Age * kLogicPi / 200.0) * 15.0);
    Y = F(StartY - Age * 0.05);
    Alpha = Age < 500 ? 1.0f : F(1.0 - (Age - 500) / 300.0);
    return true;
}

void TScoreSprite::HashState(TStateHash& hash) const {
    TCustomLogicSprite::HashState(hash);
    hash.Add(Points);
    hash.Add(StartX);
    hash.Add(StartY);
    hash.Add(Age);
    hash.Add(Colors[0]);
}

// ---- TBonusSprite ------------------------------------------------------------

TBonusSprite::TBonusSprite(TGameLogic& logic, std::string text, float x, float y)
    : TCustomLogicSprite(logic, slBonuses), Text(std::move(text)), X(x), Y(y) {}

bool TBonusSprite::Act() {
    Age += 10;
    return Age < 1000;
}

bool TBonusSprite::Check() {
    Alpha = F(1.0 - Age / 1000.0);
    return true;
}

void TBonusSprite::HashState(TStateHash& hash) const {
    TCustomLogicSprite::HashState(hash);
    hash.Add(Age);
    hash.Add(static_cast<std::int32_t>(Text.size()));
}

// ---- TFlagSprite -------------------------------------------------------------

TFlagSprite::TFlagSprite(TGameLogic& logic, std::int32_t flagIndex)
    : TCustomLogicSprite(logic, slFlags), FlagIndex(flagIndex & 1) {}

bool TFlagSprite::Act() {
    if (X < 800) {
        X = F(D(X) + kFlagSpeed[static_cast<std::size_t>(FlagIndex)] * 10.0);
        Clock += 10;
    } else {
        X = kFlagReentryX;
        Y = static_cast<float>(Logic.EffectRandom().Below(600));
    }
    return true;
}

bool TFlagSprite::Check() {
    Frame = TruncToI32(Clock * kFlagFrameRate[static_cast<std::size_t>(FlagIndex)]) % kFlagFrames;
    return true;
}

// ---- TCannonSprite -----------------------------------------------------------

TCannonSprite::TCannonSprite(TGameLogic& logic) : TCustomLogicSprite(logic, slCannons) {}

bool TCannonSprite::Act() {
    Counter = std::max(0, Counter - 10);
    Active = Id == 0 || (Id == 1 && Logic.Cannon1Active());
    X = Counter < 1 ? 750.0f : F(750.0 - LogicSin(Counter * 2.0 * kLogicPi / 1000.0) * Counter / 300.0);
    // The mouse cannon and a keyboard cannon in use are drawn opaque, the
    // others faint.
    Alpha = Active ? 1.0f : 0.5f;
    return true;
}

void TCannonSprite::HashState(TStateHash& hash) const {
    TCustomLogicSprite::HashState(hash);
    hash.Add(Height);
    hash.Add(Counter);
    hash.Add(Active);
}

// ---- TShotSprite -------------------------------------------------------------

TShotSprite::TShotSprite(TGameLogic& logic, int listIndex, std::int32_t cannonIndex, float worldX, float speedFactor)
    : TCustomLogicSprite(logic, listIndex),
      CannonIndex(cannonIndex),
      X(worldX),
      Y(logic.Cannon(cannonIndex).Height),
      SpeedFactor(speedFactor),
      Homing(logic.Option(1).On) {
    ScreenX = F(ScreenXOf(logic, X));
}

bool TShotSprite::IsCandidate(const TBotSprite& bot) const {
    return std::binary_search(candidates_.begin(), candidates_.end(), bot.Key());
}

void TShotSprite::AddCandidate(const TBotSprite& bot) {
    const std::uint64_t key = bot.Key();
    const auto at = std::lower_bound(candidates_.begin(), candidates_.end(), key);
    if (at == candidates_.end() || *at != key) candidates_.insert(at, key);
}

void TShotSprite::DropCandidate(const TBotSprite& bot) {
    const auto at = std::lower_bound(candidates_.begin(), candidates_.end(), bot.Key());
    if (at != candidates_.end() && *at == bot.Key()) candidates_.erase(at);
}

void TShotSprite::Forget(const TBotSprite& bot) {
    DropCandidate(bot);
    if (Target == &bot) Target = nullptr;
}

bool TShotSprite::TakesNewCreature(const TBotSprite& bot) const {
    return Released && bot.IsFree() && bot.Front() > D(X);
}

void TShotSprite::Removed() { DropTarget(); }

void TShotSprite::DropTarget() {
    if (Target) Target->Targeted = 0;
    Target = nullptr;
}

void TShotSprite::HashState(TStateHash& hash) const {
    TCustomLogicSprite::HashState(hash);
    hash.Add(X);
    hash.Add(Y);
    hash.Add(Angle);
    hash.Add(Released);
    hash.Add(static_cast<std::int32_t>(candidates_.size()));
    hash.Add(Target ? Target->Key() : ~std::uint64_t{0});
}

void TShotSprite::Advance() {
    const double step = 10.0 * D(SpeedFactor);
    if (Angle == 0) {
        // cos 0 = 1 and sin 0 = 0: the same result, without the series.
        X = F(D(X) + step);
    } else {
        X = F(D(X) + LogicCos(D(Angle)) * step);
        Y = F(D(Y) - LogicSin(D(Angle)) * step);
    }
    ScreenX = F(ScreenXOf(Logic, X));
}

void TShotSprite::CollectCandidates() {
    for (int list : kCreatureLists) {
        const TSpriteList& sprites = Logic.SpriteList(list);
        for (int i = 0; i < static_cast<int>(sprites.size()); ++i) {
            const TBotSprite& bot = BotAt(sprites, i);
            if (bot.IsFree() && bot.Front() > D(X)) AddCandidate(bot);
        }
    }
}

bool TShotSprite::TestCandidates(const TFlight& flight) {
    if (candidates_.empty()) return false;
    for (int list : kCreatureLists) {
        const TSpriteList& sprites = Logic.SpriteList(list);
        for (int i = static_cast<int>(sprites.size()) - 1; i >= 0; --i) {
            if (i >= static_cast<int>(sprites.size())) continue;
            TBotSprite& bot = BotAt(sprites, i);
            if (!bot.IsFree() || bot.Front() > D(X) || !IsCandidate(bot)) continue;
            DropCandidate(bot);
            if (std::fabs(D(bot.Y) - D(Y)) <= flight.HitRange * D(Scale)) {
                // A destroyed creature leaves its list here: `bot` is gone.
                if (Logic.HandleEvent(flight.HitEvent, 0, 0, &bot, this) && flight.EndsOnHit) return true;
            }
        }
    }
    return false;
}

void TShotSprite::Home(const TFlight& flight) {
    const double zone = flight.DeadZone * D(Scale);
    if (Target && Target->Front() <= D(X)) DropTarget();
    if (!Target) {
        TBotSprite* best = nullptr;
        double bestDistance = std::numeric_limits<double>::infinity();
        for (int list : kCreatureLists) {
            if (list == slBubbles && !flight.HomesOnBubbles) continue;
            const TSpriteList& sprites = Logic.SpriteList(list);
            for (int i = 0; i < static_cast<int>(sprites.size()); ++i) {
                TBotSprite& bot = BotAt(sprites, i);
                if (!bot.IsFree() || bot.Targeted) continue;
                const double dx = bot.Front() - D(X);
                if (!(dx > 0)) continue;
                const double dy = LessDeadZone(D(bot.Y) - D(Y), zone);
                if (!(std::fabs(dy) < dx)) continue;
                const double distance = std::sqrt(dx * dx + dy * dy);
                if (distance < bestDistance) {
                    best = &bot;
                    bestDistance = distance;
                }
            }
        }
        if (best) {
            best->Targeted = 1;
            Target = best;
        }
    }
    double wanted = 0;
    if (Target) {
        const double dx = Target->Front() - D(X);
        const double dy = LessDeadZone(D(Target->Y) - D(Y), zone);
        wanted = -LogicAtan(dy / (dx / 1.4));
    }
    const double turn = std::clamp(wanted - D(Angle), -flight.MaxTurn, flight.MaxTurn);
    Angle = F(D(Angle) + turn);
}

// ---- TCondomSprite -----------------------------------------------------------

TCondomSprite::TCondomSprite(TGameLogic& logic, std::int32_t cannonIndex)
    : TShotSprite(logic, slCondoms, cannonIndex, F(D(logic.ScrollOffset) - 2407.0), F(D(logic.ScrollSpeed) + 1.45)) {}

bool TCondomSprite::Act() {
    static constexpr TFlight kFlight{36.0, evCatch, true, true, 0.0, kLogicPi / 50.0};
    Advance();
    if (!Released) {
        // Still on the cannon: it follows the cannon's height.
        Y = Logic.Cannon(CannonIndex).Height;
        if (D(X) > D(Logic.ScrollOffset) - 2262.0) {
            Released = true;
            CollectCandidates();
        }
    }
    if (Released) {
        if (TestCandidates(kFlight)) return false;
        if (Homing) Home(kFlight);
    }
    return ScreenX >= 0;
}

// ---- TTorpedoSprite ----------------------------------------------------------

TTorpedoSprite::TTorpedoSprite(TGameLogic& logic, std::int32_t cannonIndex)
    : TShotSprite(logic, slTorpedoes, cannonIndex, F(D(logic.ScrollOffset) - 2320.0), F(D(logic.ScrollSpeed) + 2.9)) {
    Released = true;
    CollectCandidates();
}

bool TTorpedoSprite::Act() {
    static constexpr TFlight kFlight{72.0, evDestroy, false, false, 50.0, kLogicPi / 100.0};
    Advance();
    // The trail: on average one bubble in ten ticks, from the cosmetic source.
    TRandom& random = Logic.EffectRandom();
    int bubbles = 0;
    for (int trial = 0; trial < 10; ++trial) {
        if (random.Uniform() < 0.01) ++bubbles;
    }
    for (int b = 0; b < bubbles; ++b) {
        const double wobble = 5.0 + random.Uniform() * 10.0;
        const double scale = 0.1 + random.Uniform() * 0.2;
        if (IEffectSink* effects = Logic.Effects())
            effects->AddBubble(F(D(ScreenX) + 153.0), Y, F(scale), F(wobble), F(kLogicPi / 2.0), 4.0f, kWhite);
    }
    TestCandidates(kFlight);
    if (Homing) Home(kFlight);
    return ScreenX >= -153;
}

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
}

std::int32_t TBotSprite::Size() const { return type_->Size; }

double TBotSprite::Front() const { return D(WorldX) - Size() * kWorldPerPixel; }

std::uint64_t TBotSprite::Key() const {
    return static_cast<std::uint64_t>(ListIndex()) << 32 | static_cast<std::uint32_t>(Id);
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
    const double phase = D(Age) * kLogicPi / 1000.0;
    // Without wobble the sine adds exactly nothing.
    Y = Wobble == 0 ? TrackY : F(D(TrackY) + LogicSin(phase) * D(Wobble) * 80.0);
    if (!IsFree()) {
        const double p = std::min(1.0, D(CatchProgress) + 0.053333);
        CatchProgress = F(p);
        CaughtScale = F((1.0 - p) * D(ShotScale) / 0.8 + p * 1.1);
    }
    ScreenX = F(ScreenXOf(Logic, WorldX));
    ScreenY = TrackY;
    if (Wobble > 0.05f) Tilt = F(phase);
    if (!IsFree()) {
        CaughtX = F(D(ScreenX) + 25.0 + type.Size);
        CaughtY = ScreenY;
        CaughtAngle = F(D(Tilt) + kLogicPi / 20.0);
    }
    double frame = D(Age) * 0.02;
    if (CreatureType == 3) frame += std::fabs(D(Y)) / 8.5;
    Frame = type.FrameCount > 0 ? TruncToI32(frame) % type.FrameCount : 0;
    if (CreatureType == 1) {
        Rotation = F(phase);
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
