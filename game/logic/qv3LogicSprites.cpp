// The logic's sprite base and state hash, and its gauges, texts and flags:
// the option gauges, score and bonus texts, and the two flags.
#include "game/logic/qv3LogicSprites.h"

#include <algorithm>
#include <array>
#include <bit>
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
      X(static_cast<float>(362 + 80 * optionIndex)) {
    OwnCheck = true;
}

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
    // Without a pulse or an angle the sines are 0 and the products come out
    // exactly as below.
    Tilt = Pulse == 0 ? 0.0f : F(D(Pulse) * LogicSin(D(Pulse) * kTwoPi) * kLogicPi / 20.0);
    Scale = Angle == 0 ? Brightness : F((LogicSin(D(Angle)) * 0.2 + 1.0) * D(Brightness));
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
    OwnCheck = true;
    Colors.fill(colour);
}

bool TScoreSprite::Act() {
    Age += 10;
    return Age < 800;
}

namespace {

// How a score sprite floats at an age: its sway, its rise and its fading.
struct TScoreFloat {
    double Sway;
    double Rise;
    float Alpha;

    static TScoreFloat At(std::int32_t age) {
        return TScoreFloat{LogicCos(age * kLogicPi / 200.0) * 15.0, age * 0.05,
                           age < 500 ? 1.0f : F(1.0 - (age - 500) / 300.0)};
    }
};

// By age, for the ages a score sprite has: 0 to 800 in steps of 10 ms.
const std::array<TScoreFloat, 81> kScoreFloat = [] {
    std::array<TScoreFloat, 81> rows{};
    for (std::int32_t i = 0; i < 81; ++i) rows[static_cast<std::size_t>(i)] = TScoreFloat::At(10 * i);
    return rows;
}();

}  // namespace

bool TScoreSprite::Check() {
    const auto step = static_cast<std::uint32_t>(Age) / 10u;
    const TScoreFloat at = step < kScoreFloat.size() && Age % 10 == 0 ? kScoreFloat[step] : TScoreFloat::At(Age);
    X = F(StartX + at.Sway);
    Y = F(StartY - at.Rise);
    Alpha = at.Alpha;
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
    : TCustomLogicSprite(logic, slBonuses), Text(std::move(text)), X(x), Y(y) {
    OwnCheck = true;
}

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
    : TCustomLogicSprite(logic, slFlags), FlagIndex(flagIndex & 1) {
    OwnCheck = true;
}

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

}  // namespace qv
