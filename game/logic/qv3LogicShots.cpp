// The logic's sprites of the cannons: the cannons themselves and their
// shots (the homing condom and the torpedo).
#include "game/logic/qv3LogicSprites.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "game/logic/qv3GameLogic.h"
#include "game/logic/qv3LogicCreatures.h"
#include "game/logic/qv3LogicMath.h"
#include "game/logic/qv3LogicUnits.h"

namespace qv {

namespace {

// dy less a dead zone on either side.
double LessDeadZone(double dy, double zone) {
    if (dy > zone) return dy - zone;
    if (dy < -zone) return dy + zone;
    return 0.0;
}

TBotSprite& BotAt(const TSpriteList& list, int i) {
    return static_cast<TBotSprite&>(*list[static_cast<std::size_t>(i)]);
}

}  // namespace

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
            effects->AddBubble(F(D(ScreenX) + 153.0), Y, F(scale), F(wobble), F(kLogicPi / 2.0), 4.0f, kLogicWhite);
    }
    TestCandidates(kFlight);
    if (Homing) Home(kFlight);
    return ScreenX >= -153;
}

}  // namespace qv
