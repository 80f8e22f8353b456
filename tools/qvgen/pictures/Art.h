// The pictures of the game, each drawn by code on a canvas. Pictures.cpp
// turns them into the named files of the resource pack.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "game/data/qv3ScenarioData.h"
#include "game/data/qv3SpriteBoundaries.h"
#include "tools/qvgen/pictures/Canvas.h"

namespace qv::gen::pic {

// Creatures (sheets laid out by the creature-type table).
// kind 0..5: "Virus1".."Virus6" (kind 4 is the cork chain).
TCanvas DrawVirusSheet(int kind);
// theme: the nivlet texture index 7..15 of the image set.
TCanvas DrawNivletSheet(int texture);
// One creature frame drawn alone (for thumbnails and previews), centred.
void DrawVirusFrame(TCanvas& canvas, TVec centre, float scale, int kind, int frame);
void DrawNivletFrame(TCanvas& canvas, TVec head, float scale, int texture, int frame);

// Sprites.
TCanvas DrawMisc1();
TCanvas DrawMisc2();
TCanvas DrawTitle();
TCanvas DrawBigNumber();
TCanvas DrawParticle();
TCanvas DrawFlag(int which);  // 0: "Flag1", 1: "Flag2"
// A cannon alone, pointing right, its pivot at (0, h/2). The game's cannon
// sprites store it mirrored (see DrawMisc1 and DrawMisc2).
void DrawCannon(TCanvas& canvas, TVec pivot, float scale, bool opponent);
// `source` flipped left to right and/or top to bottom.
TCanvas Mirrored(const TCanvas& source, bool horizontal, bool vertical);
// The title logo drawn at `scale` with its top left at (x, y) (width 634 x
// height 133 at scale 1).
void DrawLogo(TCanvas& canvas, float x, float y, float scale);

// Fonts: the textures of font 0 ("LoadFont") or font 1 ("Font1", "Font2"),
// and the widths drawn (what FontWidth gives; the glyph rectangles are one
// wider).
struct TFontPicture {
    std::vector<TCanvas> Textures;
    std::array<int, 67> FontWidths{};
};
TFontPicture DrawFont(int font);

// Full-screen and front-end pictures.
TCanvas DrawLoading(int number);  // 1..3
TCanvas DrawLoadingOverlay();
TCanvas DrawCredits();
TCanvas DrawThumbMore();
TCanvas DrawAbout();
struct TMenuPictures {
    TCanvas Base, Logo1, Logo2, LeftPressed, LeftHover, RightPressed, RightHover, ScenarioPressed, ScenarioHover;
};
TMenuPictures DrawMenu();

// One scenario's scenery: backgrounds, decor sheets, their boundaries and
// the scenery file, and its thumbnail.
struct TSceneryArt {
    std::array<TCanvas, 3> Back;
    std::array<TCanvas, 4> Decor;
    std::vector<TSpriteBoundary> Sprites;
    TSceneryFile Scenery;
    TCanvas Thumb;
};
TSceneryArt DrawScenery(int slot);
// The whole 800 x 600 scenery at scroll position `position` (backgrounds
// and both decor layers), as the game composes it.
TCanvas ComposeScenery(const TSceneryArt& art, float position);

// Thumbnail size of the carousel pictures.
inline constexpr int kThumbWidth = 160;
inline constexpr int kThumbHeight = 120;

}  // namespace qv::gen::pic
