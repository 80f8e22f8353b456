#include "game/assets/qv3Graphics.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "foundation/Random.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "game/data/qv3CreatureTypes.h"
#include "game/assets/qv3Resources.h"
#include "game/data/qv3SpriteBoundaries.h"
#include "media/zkD3DSurfaces.h"
#include "platform/system/Clock.h"

namespace qv {

using namespace d3d;

const std::array<TGameTextureEntry, kGameTextureCount> GameTextureTable = {{
    {"Misc1", "Misc1Mask", 0},
    {"Misc2", "Misc2Mask", 0},
    {"LoadFont", "LoadFontMask", 1},
    {"Font1", "Font1Mask", 1},
    {"Font2", "Font2Mask", 1},
    {"Flag1", "Flag1Mask", 0},
    {"Flag2", "Flag2Mask", 0},
    {"Nivlet_theme1", "Nivlet_theme1Mask", 0},
    {"Nivlet_theme2", "Nivlet_theme2Mask", 0},
    {"Nivlet_neutral", "Nivlet_neutralMask", 0},
    {"Nivlet_theme3", "Nivlet_theme3Mask", 0},
    {"Nivlet_theme4", "Nivlet_theme4Mask", 0},
    {"Nivlet_theme5", "Nivlet_theme5Mask", 0},
    {"Nivlet_gold", "Nivlet_goldMask", 0},
    {"Nivlet_silver", "Nivlet_silverMask", 0},
    {"Nivlet_bronze", "Nivlet_bronzeMask", 0},
    {"Virus1", "Virus1Mask", 0},
    {"Virus2", "Virus2Mask", 0},
    {"Virus3", "Virus3Mask", 0},
    {"Virus4", "Virus4Mask", 0},
    {"Virus5", "Virus5Mask", 0},
    {"Virus6", "Virus6Mask", 0},
    {"Back1", nullptr, 0},
    {"Back2", nullptr, 0},
    {"Back3", nullptr, 0},
    {"Decor1", "Decor1Mask", 0},
    {"Decor2", "Decor2Mask", 0},
    {"Decor3", "Decor3Mask", 0},
    {"Decor4", "Decor4Mask", 0},
    {"Title", "TitleMask", 0},
    {"BigNumber", "BigNumberMask", 0},
    {"Particle", "ParticleMask", 2},
}};

namespace {

constexpr int kFirstDecorTexture = 25;
constexpr int kDecorTextures = 4;
constexpr float kScreenRight = 800.0f;
constexpr const char* kBoundariesName = "decor.bnd";

bool InMask(int group, int mask) { return mask == 0 || (mask & (1 << group)) != 0; }

// Frame f of a sheet: column f mod columns, row f div columns.
RECT FrameRect(const RECT& first, int gapX, int gapY, int column, int row) {
    const int w = first.right - first.left, h = first.bottom - first.top;
    const int dx = column * (w + gapX), dy = row * (h + gapY);
    return RECT{first.left + dx, first.top + dy, first.right + dx, first.bottom + dy};
}

}  // namespace

int GlyphOfChar(unsigned char c, int* accent) {
    if (accent) *accent = -1;
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a';
    if (c == '0') return 14;
    if (c >= '1' && c <= '9') return 26 + (c - '1');
    // Accented vowels of Latin-1, upper and lower case.
    const unsigned char upper = (c >= 0xE0 && c <= 0xFC) ? static_cast<unsigned char>(c - 0x20) : c;
    struct TVowel {
        unsigned char first, last;
        int glyph;
        bool hasTilde;
    };
    static constexpr TVowel kVowels[] = {
        {0xC0, 0xC4, 'A' - 'A', true},  {0xC8, 0xCB, 'E' - 'A', false}, {0xCC, 0xCF, 'I' - 'A', false},
        {0xD2, 0xD6, 'O' - 'A', true},  {0xD9, 0xDC, 'U' - 'A', false},
    };
    for (const TVowel& v : kVowels) {
        if (upper < v.first || upper > v.last) continue;
        int k = upper - v.first;
        if (!v.hasTilde && k == 3) k = 4;  // no tilde: the fourth is the diaeresis
        if (accent) *accent = k;
        return v.glyph;
    }
    switch (c) {
        case '+': return 35;
        case '-': return 36;
        case '*': return 37;
        case '/': return 38;
        case '=': return 39;
        case '!': return 40;
        case ',': return 41;
        case '.': return 42;
        case '@': return 43;
        case '#': return 44;
        case '$': return 45;
        case '%': return 46;
        case '^': return 47;
        case '&': return 48;
        case ':': return 49;
        case '"': return 50;
        case '(': return 51;
        case ')': return 52;
        case '_': return 53;
        case '[': return 54;
        case ']': return 55;
        case '?': return 56;
        case 0xC7:
        case 0xE7: return 57;
        case '}': return 58;
        case '~': return 59;
        case '`': return 61;
        case '\'': return 62;
        case 0xDF: return 63;
        case ';': return 64;
        case '<': return 65;
        case '>': return 66;
        default: return -1;
    }
}

std::array<std::uint32_t, 4> FadeColours(const std::uint32_t* colour, float level) {
    std::uint32_t value;
    if (colour) {
        const std::uint32_t c = *colour;
        auto scaled = [level](std::uint32_t channel) {
            return static_cast<std::uint32_t>(std::clamp(static_cast<float>(channel) * level, 0.0f, 255.0f));
        };
        value = (c & 0xFF000000u) | (scaled((c >> 16) & 0xFFu) << 16) | (scaled((c >> 8) & 0xFFu) << 8) |
                scaled(c & 0xFFu);
    } else {
        const std::uint32_t grey = static_cast<std::uint32_t>(std::clamp(level * 255.0f, 0.0f, 255.0f));
        value = grey * 0x01010101u;
    }
    return {value, value, value, value};
}

// ---------------------------------------------------------------------------

TGameGraphics::TGameGraphics(TzkD3Device8* device, int rendererCapacity, TQVX3Resources* resources)
    : device_(device), resources_(resources ? resources : GameResources.get()), renderer_(nullptr) {
    if (!resources_) throw Exception("No scenario resources");
    renderer_ = new TzkD3DQuadRenderer(device, rendererCapacity);
    creatures_.resize(kCreatureTypeCount);
}

TGameGraphics::~TGameGraphics() {
    FreeSprites();
    delete renderer_;
    for (TzkD3DTexture8*& t : textures_) {
        delete t;
        t = nullptr;
    }
}

std::string TGameGraphics::ResolveName(const std::string& name) const {
    if (name.find('.') != std::string::npos) return name;
    // The scenario's own picture first, JPEG before PNG; a picture the
    // scenario lacks comes from the program's shared resources.
    const std::string jpg = name + ".jpg", png = name + ".png";
    if (resources_->HasResource(jpg)) return jpg;
    if (resources_->HasResource(png)) return png;
    return resources_->CanOpenResource(jpg) ? jpg : png;
}

std::unique_ptr<TBitmap> TGameGraphics::LoadPicture(const std::string& name) const {
    TMemoryStream stream(resources_->OpenResource(name));
    return LoadBitmapFromImageStream(&stream);
}

void TGameGraphics::LoadTexture(int index) {
    const TGameTextureEntry& entry = GameTextureTable[static_cast<std::size_t>(index)];
    const std::uint32_t started = sys::SystemClock().GetTickCount();
    try {
        std::unique_ptr<TBitmap> image, mask;
        try {
            image = LoadPicture(ResolveName(entry.Name));
            if (!image) throw Exception("not a PNG or JPEG picture");
            if (entry.Mask) {
                mask = LoadPicture(ResolveName(entry.Mask));
                if (!mask) throw Exception("mask is not a PNG or JPEG picture");
            }
        } catch (...) {
            LogMessage("Error loading texture files", lkInfo);
            throw;
        }
        try {
            std::uint32_t width = 0, height = 0;
            if (LowDetail) {
                width = std::min(static_cast<std::uint32_t>(image->Width), kLowDetailTextureSize);
                height = std::min(static_cast<std::uint32_t>(image->Height), kLowDetailTextureSize);
            }
            // Masked pictures need an alpha channel; the others are opaque.
            const std::vector<D3DFORMAT> formats =
                entry.Mask ? std::vector<D3DFORMAT>{D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A1R5G5B5}
                           : std::vector<D3DFORMAT>{D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A8R8G8B8};
            textures_[static_cast<std::size_t>(index)] =
                new TzkD3DTexture8(device_, nullptr, image.get(), mask.get(), width, height, 0, formats);
        } catch (...) {
            LogMessage("Error creating texture", lkInfo);
            throw;
        }
    } catch (const std::exception& e) {
        throw Exception(std::string("Failed to load texture ") + entry.Name + ":" + e.what());
    }
    LoadingTime += sys::SystemClock().GetTickCount() - started;
    ++TexturesLoaded;
}

void TGameGraphics::LoadTextures(int groupMask, int progressFrom, int progressTo) {
    std::vector<int> wanted;
    for (int i = 0; i < kGameTextureCount; ++i)
        if (!textures_[static_cast<std::size_t>(i)] && InMask(GameTextureTable[static_cast<std::size_t>(i)].Group, groupMask))
            wanted.push_back(i);
    const int count = static_cast<int>(wanted.size());
    for (int k = 0; k < count; ++k) {
        LoadTexture(wanted[static_cast<std::size_t>(k)]);
        if (OnProgress) OnProgress(*this, progressFrom + (progressTo - progressFrom) * (k + 1) / count);
    }
    BuildSprites();
}

void TGameGraphics::UnloadTextures(int groupMask) {
    FreeSprites();
    for (int i = 0; i < kGameTextureCount; ++i) {
        TzkD3DTexture8*& t = textures_[static_cast<std::size_t>(i)];
        if (t && InMask(GameTextureTable[static_cast<std::size_t>(i)].Group, groupMask)) {
            delete t;
            t = nullptr;
        }
    }
    BuildSprites();
}

TzkD3DTexture8* TGameGraphics::Texture(int index) const {
    if (index < 0 || index >= kGameTextureCount) return nullptr;
    return textures_[static_cast<std::size_t>(index)];
}

// ---------------------------------------------------------------------------
// Sprites

void TGameGraphics::FreeSprites() {
    auto drop = [](TzkD3DSprite*& s) {
        delete s;
        s = nullptr;
    };
    for (auto& font : glyphs_)
        for (auto& s : font) drop(s);
    for (auto& s : fixed_) drop(s);
    for (auto& sheet : sheets_) {
        for (auto& s : sheet) drop(s);
        sheet.clear();
    }
    for (auto& type : creatures_) {
        for (auto& s : type) drop(s);
        type.clear();
    }
    for (auto& s : decor_) drop(s);
    decor_.clear();
}

TzkD3DSprite* TGameGraphics::MakeSprite(int texture, const RECT* rect, TPointF hotspot, int width, int height,
                                        std::int32_t layer) {
    const TzkD3DTexture8* t = Texture(texture);
    if (!t) return nullptr;
    return new TzkD3DSprite(renderer_, t->Index, rect, &hotspot, width, height, layer);
}

void TGameGraphics::BuildSprites() {
    FreeSprites();
    // Font glyphs.
    for (int f = 0; f < 2; ++f) {
        const TGameFontLayout& font = GameFontLayouts[static_cast<std::size_t>(f)];
        const int columns = kFontTextureSize / font.CellWidth, rows = kFontTextureSize / font.CellHeight;
        const int perTexture = columns * rows;
        for (int j = 0; j < kGlyphCount; ++j) {
            const int texture = font.FirstTexture + j / perTexture;
            if (f == 0 && texture != font.FirstTexture) continue;
            const int column = j % columns, row = (j / columns) % rows;
            const int width = GlyphWidth(f, j);
            const RECT rect{column * font.CellWidth, row * font.CellHeight, column * font.CellWidth + width,
                            row * font.CellHeight + font.GlyphHeight};
            glyphs_[static_cast<std::size_t>(f)][static_cast<std::size_t>(j)] =
                MakeSprite(texture, &rect, {0, 0}, 0, 0, kTextLayer);
        }
    }
    // Fixed sprites.
    for (int i = 0; i < kFixedSpriteCount; ++i) {
        const TFixedSpriteEntry& s = FixedSpriteTable[static_cast<std::size_t>(i)];
        const bool whole = s.Rect.left == -1 && s.Rect.top == -1 && s.Rect.right == -1 && s.Rect.bottom == -1;
        fixed_[static_cast<std::size_t>(i)] =
            MakeSprite(s.Texture, whole ? nullptr : &s.Rect, {s.HotX, s.HotY}, s.Width, s.Height, s.Layer);
    }
    // Animated sheets.
    for (int i = 0; i < kAnimatedSheetCount; ++i) {
        const TAnimatedSheetEntry& s = AnimatedSheetTable[static_cast<std::size_t>(i)];
        if (!Texture(s.Texture)) continue;
        for (int r = 0; r < s.Rows; ++r)
            for (int c = 0; c < s.Columns; ++c) {
                const RECT rect = FrameRect(s.First, s.GapX, s.GapY, c, r);
                sheets_[static_cast<std::size_t>(i)].push_back(MakeSprite(s.Texture, &rect, {0, 0}, 0, 0, s.Layer));
            }
    }
    // Creature frames.
    for (int type = 0; type < kCreatureTypeCount; ++type) {
        const TCreatureTypeInfo& info = CreatureTypes[static_cast<std::size_t>(type)];
        if (!Texture(info.Image)) continue;
        const RECT first{info.SourceRect.Left, info.SourceRect.Top, info.SourceRect.Right, info.SourceRect.Bottom};
        for (int r = 0; r < info.FrameRows; ++r)
            for (int c = 0; c < info.FrameColumns; ++c) {
                const RECT rect = FrameRect(first, info.FrameGapX, info.FrameGapY, c, r);
                creatures_[static_cast<std::size_t>(type)].push_back(MakeSprite(
                    info.Image, &rect, {info.HotSpotX, info.HotSpotY}, info.DrawWidth, info.DrawHeight, 800 + type));
            }
    }
    // Decor sprites, one per boundaries record.
    bool anyDecor = false;
    for (int i = 0; i < kDecorTextures; ++i) anyDecor = anyDecor || Texture(kFirstDecorTexture + i);
    if (!anyDecor) return;
    try {
        if (!boundaries_) {
            auto loaded = std::make_unique<TSpriteBoundaries>();
            loaded->Load(resources_->OpenResource(kBoundariesName));
            boundaries_ = std::move(loaded);
        }
        const TSpriteBoundaries& boundaries = *boundaries_;
        decor_.assign(static_cast<std::size_t>(boundaries.Count()), nullptr);
        bool warned = false;
        for (int id = 0; id < boundaries.Count(); ++id) {
            TSpriteBoundary record;
            if (!boundaries.Lookup(id, record)) continue;
            if (record.ImageValue < 0 || record.ImageValue >= kDecorTextures) {
                // A record naming no decor picture gets no sprite.
                if (!warned)
                    LogMessage("Decor sprite " + std::to_string(id) + " names no decor image (" +
                                   std::to_string(record.ImageValue) + ")",
                               lkWarning);
                warned = true;
                continue;
            }
            const RECT rect{record.Left, record.Top, record.Right, record.Bottom};
            const int texture = kFirstDecorTexture + record.ImageValue;
            if (!Texture(texture)) throw Exception("decor image " + std::to_string(record.ImageValue) + " not loaded");
            decor_[static_cast<std::size_t>(id)] = MakeSprite(texture, &rect, {0, 0}, 0, 0, 2000 - record.ImageValue);
        }
    } catch (const std::exception& e) {
        throw Exception(std::string("Failed to create decor sprites:") + e.what());
    }
}

TzkD3DSprite* TGameGraphics::CreatureFrame(int type, int frame) const {
    if (type < 0 || type >= kCreatureTypeCount) return nullptr;
    const auto& frames = creatures_[static_cast<std::size_t>(type)];
    if (frame < 0 || static_cast<std::size_t>(frame) >= frames.size()) return nullptr;
    return frames[static_cast<std::size_t>(frame)];
}

TzkD3DSprite* TGameGraphics::AnimatedFrame(int sheet, int frame) const {
    if (sheet < 0 || sheet >= kAnimatedSheetCount) return nullptr;
    const auto& frames = sheets_[static_cast<std::size_t>(sheet)];
    if (frame < 0 || static_cast<std::size_t>(frame) >= frames.size()) return nullptr;
    return frames[static_cast<std::size_t>(frame)];
}

TzkD3DSprite* TGameGraphics::FixedSprite(int index) const {
    if (index < 0 || index >= kFixedSpriteCount) return nullptr;
    return fixed_[static_cast<std::size_t>(index)];
}

TzkD3DSprite* TGameGraphics::DecorSprite(int id) const {
    if (id < 0 || static_cast<std::size_t>(id) >= decor_.size()) return nullptr;
    return decor_[static_cast<std::size_t>(id)];
}

TzkD3DSprite* TGameGraphics::Glyph(int font, int glyph) const {
    if (font < 0 || font > 1 || glyph < 0 || glyph >= kGlyphCount) return nullptr;
    return glyphs_[static_cast<std::size_t>(font)][static_cast<std::size_t>(glyph)];
}

// ---------------------------------------------------------------------------
// Full-screen pictures

std::unique_ptr<IDirect3DSurface8> TGameGraphics::MakeSurface(const TBitmap& picture) {
    return MakeScreenSurface(*device_, picture);
}

void TGameGraphics::CopySurface(IDirect3DSurface8* surface) { CopyToBackBuffer(*device_, surface); }

void TGameGraphics::DrawLoadingSurface() { CopySurface(loadingSurface_.get()); }

void TGameGraphics::DrawCreditsSurface() { CopySurface(creditsSurface_.get()); }

void TGameGraphics::LoadScreens() {
    LoadingPicture = 1 + static_cast<int>(ProgramRandom().Below(3));
    try {
        std::unique_ptr<TBitmap> picture = LoadPicture("loading" + std::to_string(LoadingPicture) + ".jpg");
        if (!picture) throw Exception("not a PNG or JPEG picture");
        const int language = Language >= 0 ? Language : ReadLanguageIndex();
        if (language == 2) {
            std::unique_ptr<TBitmap> overlay = LoadPicture("LoadingSida.png");
            if (!overlay) throw Exception("overlay is not a PNG or JPEG picture");
            for (std::int32_t y = 0; y < overlay->Height && 56 + y < picture->Height; ++y)
                for (std::int32_t x = 0; x < overlay->Width && 632 + x < picture->Width; ++x)
                    picture->At(632 + x, 56 + y) = overlay->At(x, y);
        }
        loadingSurface_ = MakeSurface(*picture);
    } catch (const std::exception& e) {
        throw Exception(std::string("Failed to load info surface: ") + e.what());
    }
    LoadTextures(1 << 1, 0, 0);
    LoadTextures(0, 1, 100);
    try {
        std::unique_ptr<TBitmap> picture = LoadPicture("credits.jpg");
        if (!picture) throw Exception("not a PNG or JPEG picture");
        creditsSurface_ = MakeSurface(*picture);
    } catch (const std::exception& e) {
        throw Exception(std::string("Failed to load credits/title surface: ") + e.what());
    }
}

// ---------------------------------------------------------------------------
// Text

int TGameGraphics::GlyphWidth(int font, int glyph) const {
    const int f = font == 0 ? 0 : 1;
    if (glyph < 0 || glyph >= kGlyphCount) return GameFontLayouts[static_cast<std::size_t>(f)].SpaceWidth;
    return resources_->Config().FontWidth(f, glyph) + 1;
}

int TGameGraphics::TextWidth(const std::string& text, float spacing, float scale) const {
    if (text.empty()) return 0;
    float sum = 0;
    for (unsigned char c : text) sum += static_cast<float>(GlyphWidth(CurrentFont, GlyphOfChar(c))) * scale;
    const float total = sum + spacing * static_cast<float>(static_cast<int>(text.size()) - 1);
    return static_cast<int>(std::trunc(total));
}

void TGameGraphics::DrawGlyphAt(int glyph, float x, float top, float scale, const std::uint32_t* colors) {
    TzkD3DSprite* sprite = Glyph(CurrentFont, glyph);
    if (!sprite) return;
    const TPointF s{scale, scale};
    sprite->Draw(&s, {x, top}, 0, colors);
}

void TGameGraphics::DrawLetters(const std::string& text, TPointF position, int alignment,
                                const std::uint32_t* colors, float scale, float spacing,
                                const TLetterEffect& effect) {
    const int font = CurrentFont == 0 ? 0 : 1;
    const TGameFontLayout& info = GameFontLayouts[static_cast<std::size_t>(font)];
    const float top = position.Y - scale * static_cast<float>(info.GlyphHeight / 2);
    float x = position.X;
    if (alignment == 1) x -= static_cast<float>(TextWidth(text, spacing, scale));
    if (alignment == 2) x -= static_cast<float>(TextWidth(text, spacing, scale) / 2);
    const int count = static_cast<int>(text.size());
    for (int i = 0; i < count; ++i) {
        if (x >= kScreenRight) break;
        int accent = -1;
        const int glyph = GlyphOfChar(static_cast<unsigned char>(text[static_cast<std::size_t>(i)]), &accent);
        const int width = GlyphWidth(font, glyph);
        const float advance = scale * (spacing + static_cast<float>(width));
        if (glyph >= 0 && x + scale * static_cast<float>(width) > 0) {
            TLetterPlacement place;
            if (effect) place = effect(i, count);
            if (place.visible) {
                // An animated letter keeps its centre while its size changes.
                const float s = scale * place.scale;
                const float cx = x + scale * static_cast<float>(width) / 2 + place.dx;
                const float cy = top + scale * static_cast<float>(info.GlyphHeight) / 2 + place.dy;
                const float gx = cx - s * static_cast<float>(width) / 2;
                const float gy = cy - s * static_cast<float>(info.GlyphHeight) / 2;
                DrawGlyphAt(glyph, gx, gy, s, colors);
                if (accent >= 0) {
                    const float ax = gx + s * static_cast<float>(width / 2 - static_cast<int>(info.AccentX[accent]));
                    const float ay = gy - s * static_cast<float>(info.GlyphHeight) * info.AccentHeight[accent];
                    DrawGlyphAt(kAccentGlyphs[accent], ax, ay, s, colors);
                }
            }
        }
        x += advance;
    }
}

void TGameGraphics::DrawProgressBar(TPointF topLeft, TPointF size, std::int32_t layer) {
    const TzkD3DTexture8* texture = Texture(kProgressBarTexture);
    if (!texture || size.X <= 0 || size.Y <= 0) return;
    // Half a pixel up and left, as every sprite quad.
    const TPointF at{topLeft.X - 0.5f, topLeft.Y - 0.5f};
    const TPointF corners[4] = {at, {at.X + size.X, at.Y}, {at.X + size.X, at.Y + size.Y}, {at.X, at.Y + size.Y}};
    const TPointF uv[4] = {{kProgressBarU, kProgressBarV0}, {kProgressBarU, kProgressBarV0},
                           {kProgressBarU, kProgressBarV1}, {kProgressBarU, kProgressBarV1}};
    renderer_->AddQuad(texture->Index, corners, uv, nullptr, layer, false);
}

void TGameGraphics::DrawPath(const TzkD3DSprite* image, const TPointF* scale, int segments, const TPathShape& shape,
                             TPointF position, const std::uint32_t* colors) {
    constexpr int kMaxSegments = 64;
    if (!image || segments < 1) return;
    segments = std::min(segments, kMaxSegments);
    const float sx = scale ? scale->X : 1.0f;
    const float sy = scale ? scale->Y : 1.0f;
    const float width = image->Width * sx;
    const float half = image->Height * sy / 2.0f;
    // From the reference point to the head end, on the middle line.
    // (Half a pixel up and left, as every sprite quad.)
    const TPointF head{position.X + (1.0f - image->HotspotX) * width - 0.5f,
                       position.Y + (0.5f - image->HotspotY) * 2.0f * half - 0.5f};
    std::array<TCurvedPoint, kMaxSegments + 1> points{};
    CurvedPointPath(segments + 1, points.data(), width, shape.TurnScale, shape.Amplitude, shape.Phase,
                    shape.PhaseLength, shape.PathScale);
    const float du = (image->U1 - image->U0) / static_cast<float>(segments);
    for (int k = 0; k < segments; ++k) {
        const TCurvedPoint& a = points[static_cast<std::size_t>(k)];      // nearer the head
        const TCurvedPoint& b = points[static_cast<std::size_t>(k) + 1];  // nearer the tail
        // The direction across the path points to the picture's top.
        const TPointF corners[4] = {{head.X + b.x + b.dirX * half, head.Y + b.y + b.dirY * half},
                                    {head.X + a.x + a.dirX * half, head.Y + a.y + a.dirY * half},
                                    {head.X + a.x - a.dirX * half, head.Y + a.y - a.dirY * half},
                                    {head.X + b.x - b.dirX * half, head.Y + b.y - b.dirY * half}};
        const float ua = image->U1 - du * static_cast<float>(k);
        const float ub = k + 1 == segments ? image->U0 : image->U1 - du * static_cast<float>(k + 1);
        const TPointF uv[4] = {{ub, image->V0}, {ua, image->V0}, {ua, image->V1}, {ub, image->V1}};
        renderer_->AddQuad(image->TextureIndex, corners, uv, colors, image->Layer, false);
    }
}

void TGameGraphics::DrawText(const std::string& text, TPointF position, int alignment, const std::uint32_t* colors,
                             float scale, float spacing) {
    DrawLetters(text, position, alignment, colors, scale, spacing, TLetterEffect());
}

void TGameGraphics::DrawTextTyped(const std::string& text, TPointF position, int alignment,
                                  const std::uint32_t* colors, float t, float delay, float scale, float spacing) {
    constexpr float kShrinkTime = 0.3f;  // in units of t
    DrawLetters(text, position, alignment, colors, scale, spacing, [&](int index, int) {
        TLetterPlacement place;
        const float local = t - static_cast<float>(index) * delay;
        if (local < 0) {
            place.visible = false;
            return place;
        }
        const float u = std::min(1.0f, local / kShrinkTime);
        place.scale = 1.0f + 3.0f * (1.0f - u) * (1.0f - u);
        return place;
    });
}

void TGameGraphics::DrawTextSlide(const std::string& text, TPointF position, int alignment,
                                  const std::uint32_t* colors, float p, float distance, float scale, float spacing) {
    float offset;
    if (p < 0) {
        // From -distance at p = -1 to 0 at p = 0, swinging past the middle
        // with a shrinking amplitude.
        const float s = std::min(-p, 1.0f);
        offset = -distance * s * std::cos(3.0f * std::numbers::pi_v<float> * (1.0f - s));
    } else {
        offset = distance * std::min(p, 1.0f) * std::min(p, 1.0f);
    }
    DrawText(text, {position.X + offset, position.Y}, alignment, colors, scale, spacing);
}

void TGameGraphics::DrawTextWave(const std::string& text, TPointF position, int alignment,
                                 const std::uint32_t* colors, float z, float drop, float scale, float spacing) {
    DrawLetters(text, position, alignment, colors, scale, spacing, [&](int index, int count) {
        TLetterPlacement place;
        const float share = std::clamp(z * static_cast<float>(count) - static_cast<float>(index), 0.0f, 1.0f);
        place.dy = drop * (1.0f - share);
        return place;
    });
}

}  // namespace qv
