// The logic's sprites of the cannons: the cannons themselves and their
// shots (the homing condom and the torpedo).
#include "game/logic/qv3LogicSprites.h"

#include <algorithm>
#include <array>
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
    // The recoil by reload count, for the counts from a shot's 3000 down.
    auto recoil = [](std::int32_t c) { return F(750.0 - LogicSin(c * 2.0 * kLogicPi / 1000.0) * c / 300.0); };
    static const std::array<float, 301> kRecoil = [&recoil] {
        std::array<float, 301> x{};
        for (std::int32_t i = 0; i < 301; ++i) x[static_cast<std::size_t>(i)] = recoil(10 * i);
        return x;
    }();
    if (Counter < 1)
        X = 750.0f;
    else if (Counter <= 3000 && Counter % 10 == 0)
        X = kRecoil[static_cast<std::size_t>(Counter / 10)];
    else
        X = recoil(Counter);
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
    if (candidates_.empty() || candidates_.back() < key) {
        // The lists come in the order of their keys: mostly at the end.
        candidateBots_.push_back(const_cast<TBotSprite*>(&bot));
        candidates_.push_back(key);
    } else {
        const auto at = std::lower_bound(candidates_.begin(), candidates_.end(), key);
        if (at != candidates_.end() && *at == key) return;
        candidateBots_.insert(candidateBots_.begin() + (at - candidates_.begin()), const_cast<TBotSprite*>(&bot));
        candidates_.insert(at, key);
    }
    LowerFrontBound(bot.Front());
}

void TShotSprite::DropCandidate(const TBotSprite& bot) {
    const auto at = std::lower_bound(candidates_.begin(), candidates_.end(), bot.Key());
    if (at != candidates_.end() && *at == bot.Key()) {
        candidateBots_.erase(candidateBots_.begin() + (at - candidates_.begin()));
        candidates_.erase(at);
    }
}

inline double TShotSprite::FrontBound() const { return frontBound_ - (Logic.FrontDropTotal() - dropAtBound_); }

void TShotSprite::LowerFrontBound(double front) {
    frontBound_ = candidates_.size() == 1 ? front : std::min(FrontBound(), front);
    dropAtBound_ = Logic.FrontDropTotal();
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
    std::size_t creatures = candidates_.size();
    for (int list : kCreatureLists) creatures += Logic.SpriteList(list).size();
    candidates_.reserve(creatures);
    candidateBots_.reserve(creatures);
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
    // A shot flies on by more than a creature moves, so it mostly reaches no
    // candidate: the bound on their fronts says so without a look at each.
    // (The margin covers the rounding of the bound's sums.)
    constexpr double kMargin = 1e-3;
    if (FrontBound() > D(X) + kMargin) return false;
    return TestReached(flight);
}

bool TShotSprite::TestReached(const TFlight& flight) {
    // The free candidates whose front the shot has reached are tested, once
    // each, in the order of the lists (0, 1, 9) and from the last to the
    // first in each; the others give the new bound.
    TBotSprite* reached[8];
    std::vector<TBotSprite*> more;
    std::size_t count = 0;
    double lowest = std::numeric_limits<double>::infinity();
    for (TBotSprite* bot : candidateBots_) {
        if (!bot->IsFree()) continue;
        const double front = bot->Front();
        if (front > D(X)) {
            lowest = std::min(lowest, front);
        } else if (count < std::size(reached)) {
            reached[count++] = bot;
        } else {
            more.push_back(bot);
        }
    }
    frontBound_ = lowest;
    dropAtBound_ = Logic.FrontDropTotal();
    if (count == 0) return false;
    if (count == 1) return Hit(*reached[0], flight);
    std::vector<TBotSprite*> order(reached, reached + count);
    order.insert(order.end(), more.begin(), more.end());
    if (order.size() > 1) {
        // (rank of the list, position from the end of the list)
        auto place = [this](const TBotSprite* bot) {
            const int list = bot->ListIndex();
            const int rank = static_cast<int>(std::find(kCreatureLists.begin(), kCreatureLists.end(), list) -
                                              kCreatureLists.begin());
            const TSpriteList& sprites = Logic.SpriteList(list);
            std::ptrdiff_t i = static_cast<std::ptrdiff_t>(sprites.size()) - 1;
            while (i >= 0 && sprites[static_cast<std::size_t>(i)].get() != bot) --i;
            return std::pair<int, std::ptrdiff_t>(rank, -i);
        };
        std::vector<std::pair<std::pair<int, std::ptrdiff_t>, TBotSprite*>> keyed;
        for (TBotSprite* bot : order) keyed.push_back({place(bot), bot});
        std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (std::size_t i = 0; i < keyed.size(); ++i) order[i] = keyed[i].second;
    }
    for (TBotSprite* bot : order) {
        if (Hit(*bot, flight)) return true;
    }
    return false;
}

bool TShotSprite::Hit(TBotSprite& bot, const TFlight& flight) {
    DropCandidate(bot);
    if (std::fabs(D(bot.Y) - D(Y)) > flight.HitRange * D(Scale)) return false;
    // A destroyed creature leaves its list here: `bot` is gone.
    return Logic.HandleEvent(flight.HitEvent, 0, 0, &bot, this) && flight.EndsOnHit;
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
