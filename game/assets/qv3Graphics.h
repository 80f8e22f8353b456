// The game's image set: the 32 textures of the current scenario (or of the
// program's shared resources) with their alpha masks, the sprites cut from
// them (font glyphs, fixed sprites, animated sheets, creature frames, decor
// sprites), the full-screen loading and credits pictures, and text drawing
// with the scenario's font widths.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/zkD3D.h"
#include "media/zkD3DQuadRenderer.h"
#include "media/zkD3DTextures.h"

namespace qv {

class TQVX3Resources;
class TSpriteBoundaries;

inline constexpr int kGameTextureCount = 32;
inline constexpr int kFixedSpriteCount = 33;
inline constexpr int kAnimatedSheetCount = 3;
inline constexpr int kGlyphCount = 67;
// The layer glyphs are drawn on: above every picture of the game.
inline constexpr std::int32_t kTextLayer = 9000;
// The texture size limit of the low-detail setting.
inline constexpr std::uint32_t kLowDetailTextureSize = 256;

struct TGameTextureEntry {
    const char* Name;
    const char* Mask;  // null: none
    int Group;         // 1 loads first (fonts); 2 the particle; 0 the rest
};
extern const std::array<TGameTextureEntry, kGameTextureCount> GameTextureTable;

// The glyph a Windows-1252 character is drawn with (-1: none), and the
// accent drawn above it (-1: none; 0 grave, 1 acute, 2 circumflex, 3 tilde,
// 4 diaeresis).
int GlyphOfChar(unsigned char c, int* accent = nullptr);
// The glyph each accent is drawn with.
inline constexpr int kAccentGlyphs[5] = {61, 62, 47, 59, 60};

// The two game fonts: glyph cells on 256-pixel square textures (font 0 on
// "LoadFont", font 1 on "Font1" and, from glyph 35, "Font2"), the glyph
// height, the advance of a character without a glyph, and per accent
// (grave, acute, circumflex, tilde, diaeresis) the x offset of its glyph
// from the letter's middle and its height above the letter in glyph heights.
struct TGameFontLayout {
    int CellWidth, CellHeight, GlyphHeight, FirstTexture, SpaceWidth;
    float AccentX[5], AccentHeight[5];
};
inline constexpr std::array<TGameFontLayout, 2> GameFontLayouts = {{
    {23, 36, 36, 2, 14, {2, 2, 7, 7, 4}, {0.2f, 0.2f, 0.4f, 0.4f, 0.2f}},
    {36, 50, 48, 3, 30, {15, 9, 17, 15, 15}, {0.5f, 0.5f, 0.5f, 0.7f, 0.4f}},
}};
inline constexpr int kFontTextureSize = 256;

// The fixed sprites: texture, source rectangle (all -1: the whole texture),
// drawn size (0: natural), layer and hot spot (fractions of the size).
struct TFixedSpriteEntry {
    int Texture;
    d3d::RECT Rect;
    int Width, Height;
    std::int32_t Layer;
    float HotX, HotY;
};
inline constexpr std::array<TFixedSpriteEntry, kFixedSpriteCount> FixedSpriteTable = {{
    {22, {1, 0, 511, 511}, 800, 600, 0, 0, 0},  // backgrounds
    {23, {1, 0, 511, 511}, 800, 600, 0, 0, 0},
    {24, {1, 0, 511, 511}, 800, 600, 0, 0, 0},
    {1, {31, 64, 255, 120}, 0, 0, 4000, 1, 1},       // head-up display plate
    {1, {70, 163, 145, 255}, 75, 100, 1000, 0, 0.5f},  // cannon
    {1, {146, 146, 254, 255}, 0, 0, 1500, 0.5f, 0.5f},  // bubble
    {1, {1, 1, 255, 63}, 254, 72, 900, 1, 0.5f},       // tail and torpedo
    {1, {1, 64, 30, 132}, 29, 78, 900, 1, 0.5f},       // shot
    {0, {0, 135, 70, 177}, 0, 0, 5500, 0, 0.5f},       // opponent's cannon
    {0, {54, 185, 107, 255}, 0, 0, 3900, 0.5f, 0.5f},   // options on: torpedo, seeker, spares
    {0, {162, 185, 215, 255}, 0, 0, 3900, 0.5f, 0.5f},
    {0, {141, 0, 194, 70}, 0, 0, 3900, 0.5f, 0.5f},
    {0, {108, 185, 161, 255}, 0, 0, 3900, 0.5f, 0.5f},
    {0, {0, 67, 46, 133}, 0, 0, 3900, 0.5f, 0.5f},     // options off: torpedo, seeker, spares
    {0, {94, 67, 140, 133}, 0, 0, 3900, 0.5f, 0.5f},
    {0, {0, 0, 46, 66}, 0, 0, 3900, 0.5f, 0.5f},
    {0, {47, 67, 93, 133}, 0, 0, 3900, 0.5f, 0.5f},
    {29, {1, 1, 255, 82}, 0, 0, 7000, 0, 0},  // title pieces
    {29, {1, 85, 255, 166}, 0, 0, 7000, 0, 0},
    {29, {1, 190, 127, 255}, 0, 0, 7000, 0, 0},
    {29, {129, 170, 255, 238}, 0, 0, 7000, 0, 0},
    {30, {1, 1, 83, 85}, 0, 0, 10, 0.5f, 0.5f},  // big digits 0..9
    {30, {84, 0, 125, 84}, 0, 0, 10, 0.5f, 0.5f},
    {30, {0, 86, 75, 169}, 0, 0, 10, 0.5f, 0.5f},
    {30, {76, 87, 155, 169}, 0, 0, 10, 0.5f, 0.5f},
    {30, {126, 1, 195, 84}, 0, 0, 10, 0.5f, 0.5f},
    {30, {1, 171, 75, 254}, 0, 0, 10, 0.5f, 0.5f},
    {30, {76, 171, 154, 255}, 0, 0, 10, 0.5f, 0.5f},
    {30, {196, 1, 255, 84}, 0, 0, 10, 0.5f, 0.5f},
    {30, {156, 85, 238, 170}, 0, 0, 10, 0.5f, 0.5f},
    {30, {156, 171, 239, 254}, 0, 0, 10, 0.5f, 0.5f},
    // The plain region untextured quads (the option bars) are drawn with:
    // inside the white block kPlainRegion of "Misc2", so that every u and v
    // of the quad, filtered or not, samples plain white.
    {1, {1, 251, 3, 254}, 0, 0, 0, 0.5f, 0.5f},
    {31, {-1, -1, -1, -1}, 0, 0, 0, 0.5f, 0.5f},  // particle
}};
// The white block of "Misc2" around the plain region (left, top, right,
// bottom; right and bottom excluded).
inline constexpr d3d::RECT kPlainRegion = {0, 249, 5, 256};

// The loading screen's progress bar samples one texel column of "LoadFont"
// (texture 2, loaded first): column 200, rows 204..219, a vertical gradient
// just right of the sharp s glyph's rectangle. u is the column's centre:
// on its left edge (200 / 256) filtering would blend in column 199, which
// belongs to that glyph.
inline constexpr int kProgressBarTexture = 2;
inline constexpr d3d::RECT kProgressBarRegion = {200, 203, 204, 221};  // painted block
inline constexpr float kProgressBarU = 200.5f / 256.0f;
inline constexpr float kProgressBarV0 = 204.0f / 256.0f;
inline constexpr float kProgressBarV1 = 219.0f / 256.0f;

// The animated sheets: the two flags and the small digits 0..9, minus, plus
// of the score sprites; frame (c, r) is the first frame moved by c x (width
// + GapX) and r x (height + GapY).
struct TAnimatedSheetEntry {
    int Texture;
    d3d::RECT First;
    int GapX, GapY, Columns, Rows;
    std::int32_t Layer;
};
inline constexpr std::array<TAnimatedSheetEntry, kAnimatedSheetCount> AnimatedSheetTable = {{
    {5, {0, 0, 84, 63}, 1, 1, 3, 4, 501},
    {6, {0, 0, 84, 63}, 1, 1, 3, 4, 500},
    {1, {0, 134, 22, 160}, 1, 3, 3, 4, 8000},
}};

// Four corner colours: `colour`'s three colour bytes scaled by `level`
// (alpha kept), or, without a colour, every byte level x 255 (truncated).
std::array<std::uint32_t, 4> FadeColours(const std::uint32_t* colour, float level);

class TGameGraphics {
public:
    using TProgress = std::function<void(TGameGraphics& graphics, int percent)>;

    // Makes the quad renderer with `rendererCapacity` quads on `device`;
    // pictures come from `resources` (null: the program's GameResources).
    TGameGraphics(TzkD3Device8* device, int rendererCapacity, TQVX3Resources* resources = nullptr);
    ~TGameGraphics();
    TGameGraphics(const TGameGraphics&) = delete;
    TGameGraphics& operator=(const TGameGraphics&) = delete;

    // Loads every texture not loaded yet whose group is in `groupMask` (bit
    // g for group g; 0: all), reporting progress from..to after each, then
    // builds the sprites again. Raises "Failed to load texture <name>:<why>".
    void LoadTextures(int groupMask, int progressFrom, int progressTo);
    // Picks loading picture 1..3, builds its surface, loads the fonts, then
    // every other texture (progress 1..100), then the credits surface.
    void LoadScreens();
    // Frees the textures of the groups in `groupMask` (0: all) and every
    // sprite that uses them.
    void UnloadTextures(int groupMask);

    void DrawLoadingSurface();
    void DrawCreditsSurface();

    // Text in the current font: alignment 0 from x, 1 ending at x, 2 centred
    // on x; y is the middle of the glyphs. Stops once x reaches 800.
    void DrawText(const std::string& text, TPointF position, int alignment, const std::uint32_t* colors,
                  float scale, float spacing);
    // Letter k appears once t passes k x delay, shrinking into place.
    void DrawTextTyped(const std::string& text, TPointF position, int alignment, const std::uint32_t* colors,
                       float t, float delay, float scale, float spacing);
    // p in -1..1: in from the left with a damped swing below 0, still at 0,
    // out to the right above 0, over `distance` pixels.
    void DrawTextSlide(const std::string& text, TPointF position, int alignment, const std::uint32_t* colors,
                       float p, float distance, float scale, float spacing);
    // z in 0..1: each letter rises by `drop` pixels into place over its
    // share of z.
    void DrawTextWave(const std::string& text, TPointF position, int alignment, const std::uint32_t* colors,
                      float z, float drop, float scale, float spacing);
    // trunc(sum of the glyph widths x scale + spacing x (length - 1)); 0
    // for an empty text.
    int TextWidth(const std::string& text, float spacing, float scale) const;
    // The width of glyph `glyph` of `font`: FontWidth + 1; the space width
    // (14 or 30) for -1.
    int GlyphWidth(int font, int glyph) const;

    // The loading screen's progress bar: a quad of `size` from `topLeft`
    // textured with the gradient column of kProgressBarRegion.
    void DrawProgressBar(TPointF topLeft, TPointF size, std::int32_t layer);
    // `image` bent along a sine path: segments + 1 points from its head end
    // (the right end of the picture, at `position` moved from the image's
    // reference point to that end) back along its width (x `scale`), the
    // picture cut into `segments` strips across its width, each strip a quad
    // between two points reaching half the picture's height (x `scale`) to
    // either side across the path. The shape: the point i of n - 1 lies at
    // x = -i/(n-1) x width, y = amplitude x sin(a), a = -i/(n-1) x
    // phaseLength x pathScale + phase, the strip turned by turnScale x cos(a).
    struct TPathShape {
        float TurnScale = 0;
        float Amplitude = 0;
        float Phase = 0;
        float PhaseLength = 0;
        float PathScale = 1;
    };
    void DrawPath(const TzkD3DSprite* image, const TPointF* scale, int segments, const TPathShape& shape,
                  TPointF position, const std::uint32_t* colors);

    // Sprites; null when not built (texture not loaded, index outside).
    TzkD3DSprite* CreatureFrame(int type, int frame) const;
    TzkD3DSprite* AnimatedFrame(int sheet, int frame) const;
    TzkD3DSprite* FixedSprite(int index) const;
    TzkD3DSprite* DecorSprite(int id) const;
    TzkD3DSprite* Glyph(int font, int glyph) const;
    // The texture index of background picture i (0..2), and the textures.
    int BackgroundTexture(int index) const { return 22 + index; }
    TzkD3DTexture8* Texture(int index) const;
    int DecorSpriteCount() const { return static_cast<int>(decor_.size()); }

    TzkD3DQuadRenderer* Renderer() const { return renderer_; }

    bool LowDetail = false;
    TProgress OnProgress;
    // 0 or 1.
    int CurrentFont = 1;
    // The language index the loading picture is made for; -1: the stored one.
    int Language = -1;
    // 1..3 once LoadScreens ran: "loading<n>.jpg"; its tip is text 418 + n.
    int LoadingPicture = 0;
    std::uint32_t LoadingTime = 0;  // ms spent loading textures
    int TexturesLoaded = 0;

private:
    struct TLetterPlacement {
        float dx = 0, dy = 0, scale = 1;
        bool visible = true;
    };
    using TLetterEffect = std::function<TLetterPlacement(int index, int count)>;

    void DrawLetters(const std::string& text, TPointF position, int alignment, const std::uint32_t* colors,
                     float scale, float spacing, const TLetterEffect& effect);
    void DrawGlyphAt(int glyph, float x, float top, float scale, const std::uint32_t* colors);
    std::string ResolveName(const std::string& name) const;
    std::unique_ptr<TBitmap> LoadPicture(const std::string& name) const;
    void LoadTexture(int index);
    void BuildSprites();
    void FreeSprites();
    TzkD3DSprite* MakeSprite(int texture, const d3d::RECT* rect, TPointF hotspot, int width, int height,
                             std::int32_t layer);
    std::unique_ptr<d3d::IDirect3DSurface8> MakeSurface(const TBitmap& picture);
    void CopySurface(d3d::IDirect3DSurface8* surface);

    TzkD3Device8* device_;
    TQVX3Resources* resources_;
    TzkD3DQuadRenderer* renderer_;
    std::array<TzkD3DTexture8*, kGameTextureCount> textures_{};
    std::array<std::array<TzkD3DSprite*, kGlyphCount>, 2> glyphs_{};
    std::array<TzkD3DSprite*, kFixedSpriteCount> fixed_{};
    std::array<std::vector<TzkD3DSprite*>, kAnimatedSheetCount> sheets_;
    std::vector<std::vector<TzkD3DSprite*>> creatures_;
    std::vector<TzkD3DSprite*> decor_;
    // "decor.bnd", read once.
    std::unique_ptr<TSpriteBoundaries> boundaries_;
    std::unique_ptr<d3d::IDirect3DSurface8> loadingSurface_;
    std::unique_ptr<d3d::IDirect3DSurface8> creditsSurface_;
};

}  // namespace qv
