#include "game/logic/qv3GameLogic.h"

#include <algorithm>
#include <cmath>

#include "foundation/qv3Language.h"
#include "game/data/qv3DataError.h"
#include "game/logic/qv3LogicCreatures.h"
#include "game/logic/qv3LogicMath.h"
#include "game/logic/qv3LogicUnits.h"
#include "game/data/qv3RecordedLevel.h"
#include "game/data/qv3ScenarioConfig.h"
#include "game/logic/qv3SplitterPaths.h"

namespace qv {

namespace {

// The fixed look-ahead of the level data per tick outside a duel.
constexpr double kSpawnAdvance = 2.485;
// Far beyond any hold of a key; keeps the sum from overflowing.
constexpr std::int32_t kKeyHeldCap = 1 << 30;

// One tick's values of an input list.
struct TTickInput {
    std::int32_t MouseY = 0;
    std::uint8_t Direction = 0;
    bool Torpedo = false;
    bool Seeker = false;
    bool Space = false;
    bool Clicked = false;
};

// True when the list delivers values for this tick. A record marked as
// bringing nothing is taken like any other but delivers nothing.
bool TakeInput(TGameInput& list, TTickInput& in) {
    if (list.Empty()) return false;
    const TInputRecord raw = list.Records().front();
    const bool delivered = list.NextTick(in.MouseY, in.Direction, in.Torpedo, in.Seeker, in.Space, in.Clicked);
    return delivered && (raw & kNoDeliveryBit) == 0;
}

bool IsCreatureList(int list) { return list == slViruses || list == slNivlets || list == slBubbles; }

std::int16_t Inc(std::int16_t v) { return static_cast<std::int16_t>(v + 1); }

void CheckList(int list) {
    if (list < 0 || list >= kSpriteListCount) throw EListError("Invalid sprite list " + std::to_string(list));
}

}  // namespace

std::string TLanguageTexts::Text(int line) { return LangText(line); }

// ---- creation ----------------------------------------------------------------

TGameLogic::TGameLogic(const TLogicServices& services, std::int32_t levelNumber, std::int32_t startScore,
                       std::uint8_t mode)
    : LevelNumber(levelNumber), Score(startScore), StartScore(startScore), Mode(mode) {
    Setup(services, nullptr);
}

TGameLogic::TGameLogic(const TLogicServices&, std::uint8_t mode, TFromRecord) : Mode(mode) {}

std::unique_ptr<TGameLogic> TGameLogic::CreateFromRecord(const TLogicServices& services, std::uint8_t mode,
                                                         std::span<const std::uint8_t> stream) {
    TRecordedLevelReader reader(stream);
    std::unique_ptr<TGameLogic> logic(new TGameLogic(services, mode, TFromRecord{}));
    logic->RecordedEndTime = reader.Header().EndTime;
    logic->LevelNumber = reader.Header().LevelNumber;
    logic->Score = reader.Header().StartScore;
    logic->RecordedInput = reader.Input();
    logic->Setup(services, &reader.Words());
    return logic;
}

TGameLogic::~TGameLogic() = default;

void TGameLogic::Setup(const TLogicServices& services, TBinaryReader* recordedWords) {
    if (Mode > gmReplay) throw Exception("Invalid game mode " + std::to_string(Mode));
    if (!services.Resources) throw Exception("The game logic needs a resource source");
    texts_ = services.Texts ? services.Texts : &languageTexts_;
    effects_ = services.Effects;
    if (services.EffectRandom) effectRandom_ = services.EffectRandom;

    const TScenarioConfig defaults;
    const TScenarioConfig& config = services.Config ? *services.Config : defaults;
    LevelLength = config.LevelLength;
    ScoreBonusColor = config.ScoreBonusColor;
    BubblesRotationSpeed = config.BubblesRotationSpeed;
    BubblesWobble = config.BubblesWobble;
    // Only a played level runs on the level clock: a duel runs without an
    // end, and the attract and name-entry levels never run active. A level
    // shorter than the 11 s slow-down starts slowed; one of 0 ms or less
    // would be won on its first tick and makes no sense.
    if (UsesLevelLength() && LevelLength <= 0)
        throw EDataError("Invalid level length " + std::to_string(LevelLength) + " ms: a level must last longer than 0 ms");

    const auto level = services.Resources->OpenResource(std::to_string(LevelNumber) + ".lvl");
    levelData_ = std::make_unique<TLevelDataReader>(level, recordedWords, services.LevelRandom);

    const TSpriteBoundaries* boundaries = services.Boundaries;
    if (!boundaries) {
        ownBoundaries_ = std::make_unique<TSpriteBoundaries>();
        ownBoundaries_->Load(services.Resources->OpenResource("decor.bnd"));
        boundaries = ownBoundaries_.get();
    }
    const auto scenery = services.Resources->OpenResource(std::to_string(levelData_->SceneryNumber()) + ".scn");
    scenery_ = std::make_unique<TScenarioDataReader>(scenery, *boundaries);

    AddSprite(std::make_unique<TFlagSprite>(*this, 0));
    AddSprite(std::make_unique<TFlagSprite>(*this, 1));
    AddSprite(std::make_unique<TOptionSprite>(*this, kOptionCharges, 0));
    AddSprite(std::make_unique<TOptionSprite>(*this, kOptionCharges, 1));
    for (int i = 0; i < 4; ++i) AddSprite(std::make_unique<TCannonSprite>(*this));

    Cannon1LastUse = -15001;
    ScrollOffset = 0;
    ScrollSpeed = F(0.2485);
    std::int32_t extent = 0;
    for (const TPathStep& step : SplitParentPath) extent = std::max(extent, step.Y < 0 ? -step.Y : step.Y);
    PathExtent = static_cast<float>(extent);

    if (services.EffectSeed) effectRandom_->Seed(*services.EffectSeed);
}

// ---- lists -------------------------------------------------------------------

void TGameLogic::Insert(std::unique_ptr<TCustomLogicSprite> sprite) {
    const int list = sprite->ListIndex();
    CheckList(list);
    if (IsCreatureList(list)) {
        auto& bot = static_cast<TBotSprite&>(*sprite);
        bot.TakeFrontDrop();  // its moves count from where it joins
        for (int shots : {slCondoms, slTorpedoes}) {
            for (auto& s : lists_[static_cast<std::size_t>(shots)]) {
                auto& shot = static_cast<TShotSprite&>(*s);
                if (shot.TakesNewCreature(bot)) shot.AddCandidate(bot);
            }
        }
    }
    if (sprite->OwnCheck) ++checkers_[static_cast<std::size_t>(list)];
    lists_[static_cast<std::size_t>(list)].push_back(std::move(sprite));
}

void TGameLogic::RemoveSprite(int list, int position) {
    CheckList(list);
    TSpriteList& sprites = lists_[static_cast<std::size_t>(list)];
    if (position < 0 || position >= static_cast<int>(sprites.size())) throw EListError("Index out of bounds");
    std::unique_ptr<TCustomLogicSprite> sprite = std::move(sprites[static_cast<std::size_t>(position)]);
    sprites.erase(sprites.begin() + position);
    if (sprite->OwnCheck) --checkers_[static_cast<std::size_t>(list)];
    sprite->Removed();
    if (IsCreatureList(list)) {
        // No shot may hold on to a creature that is gone.
        const auto& bot = static_cast<const TBotSprite&>(*sprite);
        for (int shots : {slCondoms, slTorpedoes}) {
            for (auto& s : lists_[static_cast<std::size_t>(shots)]) static_cast<TShotSprite&>(*s).Forget(bot);
        }
    }
}

void TGameLogic::RemoveSpriteObject(int list, const TCustomLogicSprite* sprite) {
    CheckList(list);
    const TSpriteList& sprites = lists_[static_cast<std::size_t>(list)];
    for (int i = static_cast<int>(sprites.size()) - 1; i >= 0; --i) {
        if (sprites[static_cast<std::size_t>(i)].get() == sprite) {
            RemoveSprite(list, i);
            return;
        }
    }
}

const TSpriteList& TGameLogic::SpriteList(int list) const {
    CheckList(list);
    return lists_[static_cast<std::size_t>(list)];
}

TOptionSprite& TGameLogic::Option(int index) {
    return static_cast<TOptionSprite&>(*lists_[slOptions].at(static_cast<std::size_t>(index)));
}

TCannonSprite& TGameLogic::Cannon(int index) {
    return static_cast<TCannonSprite&>(*lists_[slCannons].at(static_cast<std::size_t>(index)));
}

bool TGameLogic::SoundFlag(int id) const {
    return id >= 0 && id < kGameSoundCount && SoundFlags[static_cast<std::size_t>(id)] != 0;
}

void TGameLogic::RaiseSound(int id) {
    if (id >= 0 && id < kGameSoundCount) SoundFlags[static_cast<std::size_t>(id)] = 1;
}

bool TGameLogic::Cannon1Active() const {
    return static_cast<std::int64_t>(LogicTime) - 15000 < static_cast<std::int64_t>(Cannon1LastUse);
}

std::int32_t TGameLogic::NextId(int list) {
    CheckList(list);
    std::int32_t& next = NextSpriteId[static_cast<std::size_t>(list)];
    const std::int32_t id = next;
    next = WrappingAdd(next, 1);
    return id;
}

std::string TGameLogic::Text(int line) { return texts_->Text(line); }

// ---- the tick ----------------------------------------------------------------

void TGameLogic::Step(bool active, int ticks) {
    SoundFlags.fill(0);
    if (active) TickCount = WrappingAdd(TickCount, 1);
    for (int tick = 0; tick < ticks; ++tick) {
        if (active && !liveStarted_) {
            // Live play starts here: nothing given before reaches the level.
            liveStarted_ = true;
            LastMouseY = -1;
            LastKeyDirection = 0;
            KeyHeldTime = 0;
            SpaceReleased = 0;
            LastKeyTime = LogicTime;
            Cannon1LastUse = -15001;
            // The intro may have moved the mouse cannon; the first record
            // places it again.
            for (int i = 0; i < 4; ++i) Cannon(i).Height = 300;
        }
        ReadInput(active);
        Scroll(active);
        ActAll();
        if (!active || Finished) continue;
        Spawn();
        Fire();
        EndChecks();
    }
    if (!active && FireRequest[0] && LevelNumber == kGameLevel) RaiseSound(sndNoShoot);
    CheckAll();
}

void TGameLogic::ReadInput(bool active) {
    FireRequest = {0, 0};
    TTickInput in;
    bool delivered = false;
    if (Mode == gmReplay) {
        // A replay plays only what was recorded, and only while live.
        if (active) delivered = TakeInput(RecordedInput, in);
    } else {
        delivered = TakeInput(LiveInput, in);
    }
    if (active && Mode == gmLive)
        Record(delivered, PackInputRecord(1, in.MouseY, in.Direction, in.Clicked, in.Space, {in.Torpedo, in.Seeker}));
    if (!delivered) return;

    FireRequest[0] = in.Clicked ? 1 : 0;
    if (in.MouseY != LastMouseY) {
        HandleEvent(evMoveCannon, 0, in.MouseY);
        LastMouseY = in.MouseY;
    }
    if (Mode != gmDuel) {
        FireRequest[1] = in.Space ? 1 : 0;
        if (in.Direction != 0) {
            std::int32_t d = static_cast<std::int32_t>(
                std::clamp<std::int64_t>(static_cast<std::int64_t>(LogicTime) - LastKeyTime, -1, 101));
            if (d > 100 || d < 0) d = 100;
            bool fast = false;
            if (in.Direction == LastKeyDirection) {
                KeyHeldTime = std::min(KeyHeldTime + d, kKeyHeldCap);
                fast = KeyHeldTime > 200;
            } else {
                KeyHeldTime = 0;
            }
            // trunc(d x 0.6) and trunc(d x 0.35), exactly.
            const std::int32_t step = fast ? d * 3 / 5 : d * 35 / 100;
            const std::int32_t height = TruncToI32(Cannon(1).Height);
            HandleEvent(evMoveCannon, 1, in.Direction == 1 ? height - step : height + step);
        }
        LastKeyDirection = in.Direction;
        if (!in.Space) {
            SpaceReleased = 1;
        } else if (SpaceReleased) {
            SpaceReleased = 0;
            Cannon1LastUse = LogicTime;
        } else {
            FireRequest[1] = 0;
        }
    }
    if (active) {
        const bool toggles[2] = {in.Torpedo, in.Seeker};
        for (int i = 0; i < 2; ++i) {
            if (toggles[i]) HandleEvent(Option(i).On ? evOptionOff : evOptionOn, i);
        }
    }
    LastKeyTime = LogicTime;
}

void TGameLogic::Record(bool delivered, TInputRecord record) {
    if (delivered) {
        if (hasPending_) RecordedInput.Add(pending_);
        pending_ = record;
        hasPending_ = true;
    } else if (hasPending_ && RecordTicks(pending_) < 0xFFu) {
        ++pending_;  // one more tick of the record being recorded
    } else {
        if (hasPending_) RecordedInput.Add(pending_);
        pending_ = kNoDeliveryBit | 1u;
        hasPending_ = true;
    }
}

TGameInput TGameLogic::Recording() const {
    TGameInput input = RecordedInput;
    if (hasPending_) input.Add(pending_);
    return input;
}

void TGameLogic::Scroll(bool active) {
    if (LevelNumber == kAttractLevel) {
        scenery_->SetPosition(F(D(scenery_->Position()) + 0.5));
        return;
    }
    if (!active || Finished) return;
    LogicTime = WrappingAdd(LogicTime, 10);
    if (Mode != gmDuel && LogicTime >= LevelLength - 11000) {
        if (LogicTime < LevelLength - 9000)
            ScrollSpeed = F(D(ScrollSpeed) - 0.00062125);
        else
            ScrollSpeed = 0;
    }
    ScrollOffset = F(D(ScrollOffset) + D(ScrollSpeed) * 10.0);
    scenery_->SetPosition(F(std::trunc(D(ScrollOffset))));
}

void TGameLogic::ActAll() {
    for (int list = 0; list < kSpriteListCount; ++list) {
        // The shots come next: what the creatures moved since the shots
        // last looked (lists 0 and 1 this tick, list 9 after the shots of
        // the last one) is summed up for them.
        if (list == slCondoms) {
            frontDropTotal_ += pendingFrontDrop_;
            pendingFrontDrop_ = 0;
        }
        TSpriteList& sprites = lists_[static_cast<std::size_t>(list)];
        // From the last to the first: a sprite appended meanwhile is not
        // acted in this pass.
        for (int i = static_cast<int>(sprites.size()) - 1; i >= 0; --i) {
            if (i >= static_cast<int>(sprites.size())) continue;
            TCustomLogicSprite* sprite = sprites[static_cast<std::size_t>(i)].get();
            if (sprite->Act()) continue;
            if (i < static_cast<int>(sprites.size()) && sprites[static_cast<std::size_t>(i)].get() == sprite)
                RemoveSprite(list, i);
            else
                RemoveSpriteObject(list, sprite);
        }
    }
}

void TGameLogic::CheckAll() {
    for (int list = 0; list < kSpriteListCount; ++list) {
        if (checkers_[static_cast<std::size_t>(list)] == 0) continue;
        TSpriteList& sprites = lists_[static_cast<std::size_t>(list)];
        for (int i = static_cast<int>(sprites.size()) - 1; i >= 0; --i) {
            if (i >= static_cast<int>(sprites.size())) continue;
            TCustomLogicSprite* sprite = sprites[static_cast<std::size_t>(i)].get();
            if (!sprite->OwnCheck || sprite->Check()) continue;
            if (i < static_cast<int>(sprites.size()) && sprites[static_cast<std::size_t>(i)].get() == sprite)
                RemoveSprite(list, i);
            else
                RemoveSpriteObject(list, sprite);
        }
    }
}

void TGameLogic::Spawn() {
    const float distance = Mode == gmDuel ? F(D(ScrollSpeed) * 10.0) : F(kSpawnAdvance);
    const TItemRange range = levelData_->Advance(distance);
    // A duel level loops, faster each time. A level without items never
    // hands out its last one, so it cannot loop on every tick.
    if (Mode == gmDuel && levelData_->AllHandedOut() && levelData_->Count() > 0) {
        levelData_->Restart();
        ScrollSpeed = F(D(ScrollSpeed) + 0.3);
    }
    for (std::int32_t i = range.First; i <= range.Last; ++i) {
        const TLevelItem& item = levelData_->Item(i);
        TBotArguments args;
        args.TurnDistance = item.TurnDistance;
        args.TargetDirection = item.TargetDirection;
        args.Direction = item.Direction;
        args.GroupId = item.GroupId;
        args.Speed = item.Speed;
        args.Wobble = item.Wobble;
        args.Height = static_cast<float>(item.Height);
        args.CreatureType = item.CreatureType;
        if (item.CreatureType <= 5)
            AddSprite(std::make_unique<TVirusSprite>(*this, args));
        else if (item.CreatureType == 15)
            AddSprite(std::make_unique<TBotBubbleSprite>(*this, args));
        else
            AddSprite(std::make_unique<TNivletSprite>(*this, item.Variant, args));
    }
}

void TGameLogic::Fire() {
    for (int c = 0; c < 2; ++c) {
        TCannonSprite& cannon = Cannon(c);
        if (FireRequest[static_cast<std::size_t>(c)] && cannon.Ready()) {
            cannon.Counter = 3000;
            const bool torpedo = Option(0).On;
            // Only a duel charges the shot before it is made.
            if (Mode == gmDuel && (Score < 50 || (torpedo && Score < 100))) {
                RaiseSound(sndNoShoot);
            } else {
                const std::int32_t height = TruncToI32(cannon.Height);
                if (torpedo) {
                    AddSprite(std::make_unique<TTorpedoSprite>(*this, c));
                    Statistics.TorpedoesFired = Inc(Statistics.TorpedoesFired);
                    AddScore(-100, 740, height, false);
                    RaiseSound(sndTorpedo);
                    Option(0).UseCharge();
                } else {
                    AddSprite(std::make_unique<TCondomSprite>(*this, c));
                    Statistics.CondomsFired = Inc(Statistics.CondomsFired);
                    AddScore(-50, 740, height, false);
                    RaiseSound(Option(1).On ? sndShootSeekCondom : sndShoot);
                }
                if (Option(1).On) Option(1).UseCharge();
            }
        }
        FireRequest[static_cast<std::size_t>(c)] = 0;
    }
}

void TGameLogic::EndChecks() {
    if (Mode != gmDuel && LogicTime >= LevelLength) {
        Finished = true;
        Won = true;
        Statistics.LevelsWon = Inc(Statistics.LevelsWon);
        Score = WrappingAdd(Score, 10000);
        AddSprite(std::make_unique<TBonusSprite>(*this, Text(348) + " " + "10000", 400.0f, 300.0f));
        return;
    }
    // >= rather than ==: a stream whose end time is no multiple of 10 ends too.
    if (Mode == gmReplay && LogicTime >= RecordedEndTime) Finished = true;
}

// ---- scoring and events ------------------------------------------------------

void TGameLogic::AddScore(std::int32_t points, std::int32_t x, std::int32_t y, bool bonusColour) {
    Score = WrappingAdd(Score, points);
    if (x >= 0)
        AddSprite(std::make_unique<TScoreSprite>(
            *this, bonusColour ? static_cast<std::uint32_t>(ScoreBonusColor) : kLogicWhite, points, x, y));
}

bool TGameLogic::HandleEvent(int kind, int index, std::int32_t value, TBotSprite* creature, const TShotSprite* shot) {
    switch (kind) {
        case evMoveCannon: {
            if (index < 0 || index > 3) return false;
            const std::int32_t y = std::clamp(value, 50, 550);
            Cannon(index).Height = static_cast<float>(y);
            if (index <= 1) Cannon(index + 2).Height = static_cast<float>(std::clamp(600 - y, 50, 550));
            if (index == 1) Cannon1LastUse = LogicTime;
            return true;
        }
        case evOptionOn: {
            if (index < 0 || index > 1) return false;
            TOptionSprite& option = Option(index);
            if (option.Charges > 0 && !option.On) {
                option.On = true;
                option.ActivationTime = WrappingAdd(option.Clock, 1);
                RaiseSound(sndActivateTorpedo + index);
            }
            return true;
        }
        case evOptionOff: {
            if (index < 0 || index > 1) return false;
            TOptionSprite& option = Option(index);
            if (option.On) RaiseSound(sndActivateTorpedo + index);
            option.On = false;
            return true;
        }
        case evCatch:
        case evDestroy:
            return creature && Catch(kind, *creature, shot);
        case evVirusEscaped: {
            Finished = true;
            RaiseSound(sndBubbleExplosion);
            const double y = creature ? D(creature->Y) : 300.0;
            TRandom& random = EffectRandom();
            for (int i = 0; i < 101; ++i) {
                const double r1 = random.Uniform();
                const double r2 = random.Uniform();
                const double r3 = random.Uniform();
                const double r4 = random.Uniform();
                const double r5 = random.Uniform();
                if (effects_)
                    effects_->AddBubble(F(800.0 + r1 * 50.0), F(y + (r2 - 0.5) * 50.0), F(0.1 + r3 * 0.15), 0.0f,
                                        F(kLogicPi / 2.0 + r4 * kLogicPi), F(10.0 + r5 * 20.0), kLogicWhite);
            }
            return true;
        }
        default:
            return false;
    }
}

bool TGameLogic::Catch(int kind, TBotSprite& creature, const TShotSprite* shot) {
    if (!creature.IsFree() || Finished) return false;
    const int type = creature.CreatureType;
    if (kind == evCatch) {
        if (shot) creature.Caught(*shot);
        RaiseSound(sndFirstCatch + type);
    } else {
        RaiseSound(sndTorpedoDestroy);
    }
    if (creature.GroupId != -1 && levelData_->GroupCaught(creature.GroupId)) {
        Statistics.GroupBonuses = Inc(Statistics.GroupBonuses);
        AddScore(1000, -1, 0, false);
        AddSprite(std::make_unique<TBonusSprite>(*this, Text(349) + " " + "1000", 400.0f, 300.0f));
        RaiseSound(sndAttack);
    }
    auto& catches = Statistics.Catches[static_cast<std::size_t>(type)];
    catches = Inc(catches);
    const std::int32_t points = LogicCreatureType(type).Points;
    if (points != 0) {
        const std::int32_t x = TruncToI32(creature.ScreenX);
        const std::int32_t y = TruncToI32(creature.ScreenY);
        AddScore(points, x, y, false);
        if (creature.ScreenX < 200) {
            auto& early = Statistics.EarlyCatches[static_cast<std::size_t>(type)];
            early = Inc(early);
            RaiseSound(sndEarlyCatch);
            AddScore(points / 2, x, WrappingAdd(y, 30), true);
        }
    }
    if (kind == evDestroy) RemoveSpriteObject(creature.ListIndex(), &creature);
    return true;
}

// ---- record and state --------------------------------------------------------

std::vector<std::uint8_t> TGameLogic::WriteRecord() const {
    const TRecordedLevelHeader header{LogicTime, LevelNumber, StartScore};
    return WriteRecordedLevel(header, Recording(), levelData_->GenerationWords());
}

std::uint64_t TGameLogic::StateHash() const {
    TStateHash hash;
    hash.Add(LogicTime);
    hash.Add(Score);
    hash.Add(TickCount);
    hash.Add(ScrollOffset);
    hash.Add(ScrollSpeed);
    hash.Add(Cannon1LastUse);
    hash.Add(static_cast<std::int32_t>(Statistics.LevelsWon));
    hash.Add(static_cast<std::int32_t>(Statistics.GroupBonuses));
    hash.Add(static_cast<std::int32_t>(Statistics.CondomsFired));
    hash.Add(static_cast<std::int32_t>(Statistics.TorpedoesFired));
    for (std::size_t t = 0; t < Statistics.Catches.size(); ++t) {
        hash.Add(static_cast<std::int32_t>(Statistics.Catches[t]));
        hash.Add(static_cast<std::int32_t>(Statistics.EarlyCatches[t]));
    }
    for (int list = 0; list < kSpriteListCount; ++list) {
        if (list == slFlags) continue;  // their heights are cosmetic draws
        const TSpriteList& sprites = lists_[static_cast<std::size_t>(list)];
        hash.Add(static_cast<std::int32_t>(sprites.size()));
        for (const auto& sprite : sprites) sprite->HashState(hash);
    }
    return hash.Value();
}

}  // namespace qv
