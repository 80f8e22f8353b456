// The game core's screens: what each state shows, the head-up display, the
// logic's sprites and the high-score tables, composed through the image set
// on the 800 x 600 screen (y downwards).
#include <algorithm>
#include <cmath>
#include <string>

#include "foundation/TextUtil.h"
#include "foundation/qv3Language.h"
#include "game/core/qv3CoreRules.h"
#include "game/core/qv3GameCore.h"
#include "game/logic/qv3GameLogic.h"
#include "game/assets/qv3Graphics.h"
#include "media/zkD3DQuadRenderer.h"

namespace qv {

namespace {

// A creature wobbling more than this is drawn bent.
constexpr float kBendThreshold = 0.05f;
// The streak of a caught creature, and its strips when bent.
constexpr int kTailSprite = 6;
constexpr int kTailSegments = 10;
// The shot, flying or on the creature it caught.
constexpr int kShotSprite = 7;
// The plain sprite: one texel of white.
constexpr int kPlainSprite = 31;
constexpr int kFirstBigDigit = 21;
// The small digits 0..9, minus and plus.
constexpr int kDigitSheet = 2;
constexpr std::int32_t kBackgroundLayer = 0;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kRed = 0xFFFF0000u;
constexpr std::uint32_t kYellow = 0xFFFFFF00u;

constexpr TPointF kTipPositions[3] = {{430, 242}, {508, 184}, {380, 314}};
constexpr TPointF kTitlePositions[4] = {{34, 24.15f}, {326.1f, 24.15f}, {618.2f, 0}, {618.2f, 73.6f}};

std::string Number(std::int64_t v) { return std::to_string(v); }

}  // namespace

void TGameCore::FillQuad(TPointF topLeft, TPointF size, std::uint32_t colour, std::int32_t layer) {
    TzkD3DSprite* plain = Graphics->FixedSprite(kPlainSprite);
    if (!plain) return;
    const TUVRect uv{plain->U0, plain->V0, plain->U1, plain->V1};
    const std::uint32_t colours[4] = {colour, colour, colour, colour};
    const TPointF hotspot{0, 0};
    Graphics->Renderer()->AddRotatedQuad(plain->TextureIndex, &uv, &size, &hotspot, 0, topLeft, colours, layer);
}

void TGameCore::DrawScreen() {
    const std::uint32_t* corners = CornerColourValues.data();
    if (State == TCoreState::Loading) {
        if (Graphics->LoadingPicture <= 0) return;  // nothing before the loading pictures exist
        Graphics->DrawLoadingSurface();
        Graphics->DrawText(LangText(Initialized ? 339 : 338), {400, 23}, 2, nullptr, 0.7f, 7);
        const int tip = Graphics->LoadingPicture - 1;
        if (tip >= 0 && tip < 3) {
            const int font = Graphics->CurrentFont;
            Graphics->CurrentFont = 0;
            TPointF at = kTipPositions[tip];
            for (const std::string& line : SplitLines(LangText(418 + Graphics->LoadingPicture))) {
                Graphics->DrawText(line, at, 0, nullptr, 0.65f, 0);
                at.Y += 23;
            }
            Graphics->CurrentFont = font;
        }
        Graphics->DrawProgressBar({300, 567}, {200.0f * static_cast<float>(LoadProgress) / 100.0f, 26}, 1000);
        return;
    }
    if (State == TCoreState::Exit) {
        Graphics->DrawCreditsSurface();
        return;
    }
    if (State < TCoreState::Menu || State > TCoreState::HighScores) return;

    if (IsPaused()) {
        Graphics->DrawText(LangText(335), {400, 300}, 2, corners, 2, 20);
    } else if (State == TCoreState::Menu) {
        // The title fades in before the scene brightens and out with it, by
        // its own opacity.
        const auto titleColours = FadeColours(nullptr, std::clamp(TitleAlpha, 0.0f, 1.0f));
        for (int i = 0; i < 4; ++i) {
            if (TzkD3DSprite* title = Graphics->FixedSprite(17 + i)) {
                const TPointF scale{1.15f, 1.15f};
                title->Draw(&scale, kTitlePositions[i], 0, titleColours.data());
            }
        }
        if (GameMode == kDuelGame) {
            Graphics->DrawText(LangText(362), {400, 300}, 2, corners, 0.85f, 1);
        } else if (MenuTextParam > -1 && MenuAction == TMenuAction::None) {
            if (MenuPage == 2) {
                DrawMenuHighScores(MenuTextParam);
            } else {
                Graphics->DrawTextSlide(LangText(330 + MenuPage), {400, 300}, 2, corners, MenuTextParam, 800, 0.8f,
                                        1);
            }
        }
    } else if (State == TCoreState::Playing) {
        if (PlayPhase == TPlayPhase::LevelName || PlayPhase == TPlayPhase::Coming) {
            const std::string second = LangText(GameMode == kDuelGame ? 366 : 359);
            if (PlayPhase == TPlayPhase::LevelName) {
                Graphics->DrawTextTyped(LangText(358), {400, 250}, 2, corners, static_cast<float>(StateTime) / 300.0f,
                                        0.2f, 1, 10);
                Graphics->DrawTextTyped(second, {400, 350}, 2, corners,
                                        static_cast<float>(StateTime - 600) / 300.0f, 0, 2, 5);
            } else {
                std::array<std::uint32_t, 4> colours = CornerColourValues;
                if (2500 - StateTime <= 349)
                    colours = FadeColours(&CornerColourValues[0], static_cast<float>(2500 - StateTime) / 350.0f);
                Graphics->DrawTextTyped(LangText(358), {400, 250}, 2, colours.data(), 1, 0, 1, 10);
                Graphics->DrawTextTyped(second, {400, 350}, 2, colours.data(), 1, 0, 2, 5);
            }
        }
        if (GameMode == kDuelGame) DrawDuelOpponent();
        if (Logic && GameMode != kDuelGame) {
            const int s = CountdownDigit(Logic->LevelLength, Logic->LogicTime);
            if (s >= 0 && s == CountdownSecond) {
                const TPointF scale{3, 3};
                if (TzkD3DSprite* digit = Graphics->FixedSprite(kFirstBigDigit + s))
                    digit->Draw(&scale, {400, 300}, 0, corners, 10);
            }
        }
        if (Logic && ReplayKind != TReplayKind::None && ReplayLetterVisible(Logic->LogicTime)) {
            const std::uint32_t red[4] = {kRed, kRed, kRed, kRed};
            Graphics->DrawText(ReplayKind == TReplayKind::Demo ? "D" : "R", {10, 560}, 0, red, 1.5f, 0);
        }
    } else if (State == TCoreState::Result) {
        const float t = ResultPhase != TResultPhase::Typing ? 2.0f : static_cast<float>(StateTime) / 750.0f;
        const float delay = OutcomeText.empty() ? 0 : 1.0f / static_cast<float>(OutcomeText.size());
        Graphics->DrawTextTyped(OutcomeText, {400, 300}, 2, corners, t, delay, 0.8f, 5);
    } else if (State == TCoreState::HighScores) {
        const float z = TitleZoom;
        Graphics->DrawTextWave(LangText(LevelWon ? 343 : 344), {400, 300}, 2, corners, z, -250,
                               (1 - z) * 0.8f + z * 1.3f, 5);
        if (NameEntryPhase >= TNameEntryPhase::Table)
            DrawHighScoreTable(NameEntryPhase == TNameEntryPhase::Table ? static_cast<float>(StateTime) / 800.0f : 100000.0f);
    }

    DrawScenery();
    SceneElements->Draw();
    if (State == TCoreState::Playing || State == TCoreState::Result) DrawHud();
    DrawSprites();
}

void TGameCore::DrawScenery() {
    if (!Logic) return;
    TScenarioDataReader& scenery = Logic->Scenery();
    const TBackgroundView view = scenery.GetBackgrounds();
    // Fixed sprites 0..2 are the three background pictures at full size.
    auto drawBackground = [&](const TBackgroundEntry* entry, float x) {
        if (!entry) return;
        TzkD3DSprite* picture = Graphics->FixedSprite(entry->Image);
        if (!picture) return;
        const auto colours = BrightnessLevel < 1 ? FadeColours(&entry->Colors[0], BrightnessLevel) : entry->Colors;
        picture->Draw(nullptr, {x, 0}, 0, colours.data(), kBackgroundLayer);
    };
    drawBackground(view.Current, static_cast<float>(view.Offset));
    if (view.Offset != 0) drawBackground(view.Next, static_cast<float>(view.Offset - 800));
    for (int layer = 0; layer < kSceneryLayerCount; ++layer) {
        const std::int32_t offset = scenery.LayerPosition(layer);
        const TScenarioLayer& items = scenery.Layer(layer);
        for (const std::int32_t index : scenery.ActiveItems(layer)) {
            if (index < 0 || static_cast<std::size_t>(index) >= items.Items.size()) continue;
            const TDecorItem& item = items.Items[static_cast<std::size_t>(index)];
            TzkD3DSprite* sprite = Graphics->DecorSprite(item.SpriteId);
            if (!sprite) continue;
            const auto colours = FadeColours(&item.Colors[0], BrightnessLevel);
            const TPointF scale{item.ScaleX, item.ScaleY};
            sprite->Draw(&scale, {static_cast<float>(offset + 800 - item.X), static_cast<float>(item.Y)},
                         item.Rotation, BrightnessLevel < 1 ? colours.data() : item.Colors.data(),
                         index - 100 * layer + 2000);
        }
    }
}

void TGameCore::DrawHud() {
    if (!Logic) return;
    const std::uint32_t* corners = CornerColourValues.data();
    Graphics->DrawText(LangText(337), {148, 25}, 2, corners, 0.6f, 2);
    Graphics->DrawText(HudTimeText(GameMode == kDuelGame, static_cast<int>(PlayPhase), Logic->LevelLength, Logic->LogicTime, StateTime),
                       {148, 65}, 2, corners, 1, 2);
    Graphics->DrawText(LangText(336), {652, 25}, 2, corners, 0.6f, 2);
    Graphics->DrawText(Number(Logic->Score), {652, 65}, 2, corners, 1, 2);
    if (GameMode == kDuelGame) DrawDuelScore();
    for (int i = 0; i < 2; ++i) {
        TOptionSprite& option = Logic->Option(i);
        if (option.Scale <= 0) continue;
        const TPointF scale{option.Scale, option.Scale};
        const TPointF at{option.X, option.Y};
        if (option.On) {
            DrawOptionBar(at, option.Percentage);
            if (TzkD3DSprite* s = Graphics->FixedSprite(9 + i)) s->Draw(&scale, at, option.Angle, option.Colors.data());
            Graphics->DrawText(Number(option.Charges), {at.X, at.Y - 35}, 2, corners, 0.4f, 1);
        } else if (TzkD3DSprite* s = Graphics->FixedSprite(13 + i)) {
            s->Draw(&scale, at, option.Angle, option.Colors.data());
        }
    }
    for (int i = 0; i < 4; ++i) {
        TCannonSprite& cannon = Logic->Cannon(i);
        // The active cannon at full opacity, the others as the logic fades them.
        const auto colours = FadeColours(nullptr, std::clamp(cannon.Alpha, 0.0f, 1.0f));
        std::array<std::uint32_t, 4> drawn = CornerColourValues;
        for (std::size_t c = 0; c < 4; ++c) drawn[c] = (colours[c] & 0xFF000000u) | (drawn[c] & 0x00FFFFFFu);
        if (cannon.Alpha <= 0) continue;
        if (TzkD3DSprite* s = Graphics->FixedSprite(4)) s->Draw(nullptr, {cannon.X, cannon.Height}, 0, drawn.data());
    }
}

void TGameCore::DrawCreature(const TBotSprite& bot) {
    const std::uint32_t* corners = CornerColourValues.data();
    // A creature that wobbles is drawn along the sine its catch height
    // follows, so its head is where the shots catch it.
    const bool bent = bot.Wobble > kBendThreshold;
    if (TzkD3DSprite* frame = Graphics->CreatureFrame(bot.CreatureType, bot.Frame)) {
        const TPointF scale{bot.ScaleX, bot.ScaleY};
        if (bent) {
            const TGameGraphics::TPathShape body{bot.WobbleAngle, bot.WobbleHeight, bot.Tilt, bot.WobbleFrequency, 1};
            Graphics->DrawPath(frame, &scale, bot.Segments, body, {bot.ScreenX, bot.ScreenY}, corners);
        } else {
            frame->Draw(&scale, {bot.ScreenX, bot.ScreenY}, bot.Rotation, corners);
        }
    }
    if (bot.TailAmount != 0) {
        if (TzkD3DSprite* tail = Graphics->FixedSprite(kTailSprite)) {
            const TPointF scale{bot.TailAmount, 1};
            if (bent) {
                const TGameGraphics::TPathShape wiggle{bot.WobbleAngle, bot.WobbleHeight, bot.TailPhase,
                                                       bot.WobbleFrequency, 1};
                Graphics->DrawPath(tail, &scale, kTailSegments, wiggle, {bot.TailX, bot.TailY}, corners);
            } else {
                tail->Draw(&scale, {bot.TailX, bot.TailY}, 0, corners);
            }
        }
    }
    if (!bot.IsFree()) {
        if (TzkD3DSprite* shot = Graphics->FixedSprite(kShotSprite)) {
            const TPointF scale{bot.CaughtScale, bot.CaughtScale};
            shot->Draw(&scale, {bot.CaughtX, bot.CaughtY}, bot.CaughtAngle, corners);
        }
    }
}

void TGameCore::DrawSprites() {
    if (!Logic) return;
    const std::uint32_t* corners = CornerColourValues.data();
    for (const int list : {slViruses, slNivlets, slBubbles}) {
        for (const auto& sprite : Logic->SpriteList(list)) {
            if (const auto* bot = dynamic_cast<const TBotSprite*>(sprite.get())) DrawCreature(*bot);
        }
    }
    for (const auto& sprite : Logic->SpriteList(slCondoms)) {
        const auto* shot = dynamic_cast<const TShotSprite*>(sprite.get());
        if (!shot) continue;
        const TPointF scale{shot->Scale, shot->Scale};
        if (TzkD3DSprite* s = Graphics->FixedSprite(kShotSprite)) s->Draw(&scale, {shot->ScreenX, shot->Y}, shot->Angle, corners);
    }
    for (const auto& sprite : Logic->SpriteList(slTorpedoes)) {
        const auto* shot = dynamic_cast<const TShotSprite*>(sprite.get());
        if (!shot) continue;
        const TPointF scale{shot->Scale, shot->Scale};
        if (TzkD3DSprite* s = Graphics->FixedSprite(6)) s->Draw(&scale, {shot->ScreenX, shot->Y}, shot->Angle, corners);
    }
    for (const auto& sprite : Logic->SpriteList(slScores)) {
        const auto* score = dynamic_cast<const TScoreSprite*>(sprite.get());
        if (!score) continue;
        const std::uint32_t colour = FadeColours(&score->Colors[0], std::clamp(score->Alpha, 0.0f, 1.0f))[0];
        DrawNumber(score->Points, {score->X, score->Y}, 1, colour);
    }
    for (const auto& sprite : Logic->SpriteList(slBonuses)) {
        const auto* bonus = dynamic_cast<const TBonusSprite*>(sprite.get());
        if (!bonus) continue;
        const auto colours = FadeColours(&CornerColourValues[0], std::clamp(bonus->Alpha, 0.0f, 1.0f));
        Graphics->DrawText(bonus->Text, {bonus->X, bonus->Y}, 2, colours.data(), 0.9f, 1);
    }
    for (const auto& sprite : Logic->SpriteList(slFlags)) {
        const auto* flag = dynamic_cast<const TFlagSprite*>(sprite.get());
        if (!flag) continue;
        if (TzkD3DSprite* s = Graphics->AnimatedFrame(flag->FlagIndex, flag->Frame))
            s->Draw(nullptr, {flag->X, flag->Y}, 0, corners);
    }
}

void TGameCore::DrawHighScoreTable(float t) {
    const auto& table = Progress().HighScores;
    for (int i = 0; i < static_cast<int>(kHighScoreCount); ++i) {
        const THighScoreEntry& entry = table[static_cast<std::size_t>(i)];
        const float c = 0.8f * static_cast<float>(i);
        const float y = 150.0f + 40.0f * static_cast<float>(i);
        const bool edited = i == HighScoreRow;
        const std::uint32_t yellow[4] = {kYellow, kYellow, kYellow, kYellow};
        const std::uint32_t* colours = edited ? yellow : CornerColourValues.data();
        if (entry.IsSet()) {
            const std::string name = entry.Name.Str() + (edited ? "_" : "");
            Graphics->DrawTextTyped(name, {190, y}, 0, colours, t - 0.2f - c, 0.1f, 0.7f, 2);
            Graphics->DrawTextTyped(Number(entry.Score), {630, y}, 1, colours, t - 1.4f - c, 0.1f, 0.7f, 2);
        }
        Graphics->DrawTextTyped(Number(i + 1), {170, y}, 1, colours, t - c, 0.1f, 0.7f, 2);
    }
}

void TGameCore::DrawMenuHighScores(float p) {
    const auto& table = Progress().HighScores;
    const float a = p * 1.03f;
    const std::uint32_t* corners = CornerColourValues.data();
    for (int i = 0; i < static_cast<int>(kHighScoreCount); ++i) {
        const THighScoreEntry& entry = table[static_cast<std::size_t>(i)];
        const float d = a - 0.03f * static_cast<float>(i);
        const float y = 170.0f + 40.0f * static_cast<float>(i);
        if (entry.IsSet()) {
            Graphics->DrawTextSlide(entry.Name.Str(), {190, y}, 0, corners, d, 800, 0.7f, 2);
            Graphics->DrawTextSlide(Number(entry.Score), {630, y}, 1, corners, d, 800, 0.7f, 2);
        }
        Graphics->DrawTextSlide(Number(i + 1), {170, y}, 1, corners, d, 800, 0.7f, 2);
    }
}

void TGameCore::DrawOptionBar(TPointF position, std::int32_t percent) {
    const TPointF at{position.X - 24, position.Y + 50};
    FillQuad(at, {48, 10}, kWhite, 3900);
    FillQuad({at.X + 1, at.Y + 1}, {46, 8}, 0xFF000000u, 3901);
    FillQuad({at.X + 1, at.Y + 1}, {static_cast<float>(OptionBarWidth(percent)), 8}, kRed, 3902);
}

void TGameCore::DrawNumber(std::int32_t value, TPointF position, float scale, std::uint32_t colour) {
    const auto colours = FadeColours(&colour, BrightnessLevel);
    const TPointF size{scale, scale};
    float x = position.X;
    bool first = true;
    for (const int glyph : NumberGlyphs(value, colour)) {
        if (TzkD3DSprite* s = Graphics->AnimatedFrame(kDigitSheet, glyph))
            s->Draw(&size, {x, position.Y}, 0, colours.data());
        x += (first && glyph >= 10 ? 13.0f : 22.0f) * scale;
        first = false;
    }
}

}  // namespace qv
