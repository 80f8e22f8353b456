#include "tools/qvgen/pictures/ContactSheet.h"

#include <map>
#include <stdexcept>

#include "game/data/qv3CreatureTypes.h"
#include "game/assets/qv3Graphics.h"
#include "game/data/qv3ScenarioConfig.h"
#include "media/zkImageLoader.h"
#include "platform/system/Files.h"
#include "tools/qvgen/Content.h"
#include "tools/qvgen/pictures/Art.h"

namespace qv::gen {

using namespace pic;

namespace {

using TFiles = std::map<std::string, std::vector<std::uint8_t>>;

TCanvas Decode(const std::vector<std::uint8_t>& bytes) {
    TMemoryStream stream(bytes);
    std::unique_ptr<TBitmap> bitmap = LoadBitmapFromImageStream(&stream);
    if (!bitmap) throw std::runtime_error("a generated picture does not decode");
    TCanvas c(bitmap->Width, bitmap->Height);
    for (int y = 0; y < bitmap->Height; ++y)
        for (int x = 0; x < bitmap->Width; ++x) {
            const std::uint32_t p = bitmap->At(x, y);
            c.Set(x, y, Rgb(static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF), static_cast<int>(p & 0xFF)));
        }
    return c;
}

// The texture as the game makes it: the picture with the mask's grey as alpha.
TCanvas Texture(const TFiles& files, const std::string& name) {
    auto find = [&](const std::string& base) -> const std::vector<std::uint8_t>* {
        for (const char* ext : {".jpg", ".png"}) {
            auto it = files.find(base + ext);
            if (it != files.end()) return &it->second;
        }
        return nullptr;
    };
    const auto* picture = find(name);
    if (!picture) throw std::runtime_error("no picture " + name);
    TCanvas c = Decode(*picture);
    if (const auto* maskBytes = find(name + "Mask")) {
        const TCanvas mask = Decode(*maskBytes);
        for (int y = 0; y < c.Height(); ++y)
            for (int x = 0; x < c.Width(); ++x) {
                const TColor m = mask.Get(x, y);
                c.Set(x, y, WithAlpha(c.Get(x, y), (m.R + m.G + m.B) / 3));
            }
    }
    return c;
}

TCanvas Chequered(int w, int h) {
    TCanvas c(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) c.Set(x, y, ((x / 8 + y / 8) % 2) ? Rgb(70, 70, 80) : Rgb(110, 110, 120));
    return c;
}

void Save(const std::string& folder, const std::string& name, TCanvas c) {
    c.Flatten(Rgb(0, 0, 0));
    const std::vector<std::uint8_t> png = EncodePng(c.Width(), c.Height(), c.Rgb8(false), 3);
    std::string error;
    const std::string_view data(reinterpret_cast<const char*>(png.data()), png.size());
    if (!sys::WriteFileAtomic(folder + name, data, &error)) throw std::runtime_error("Cannot write " + folder + name + ": " + error);
}

// Draws a sprite rectangle of `texture` scaled to w x h, tinted.
void Sprite(TCanvas& on, const TCanvas& texture, TBox rect, float x, float y, float w, float h, TColor tint = Rgb(255, 255, 255)) {
    TCanvas part = texture.Crop(rect);
    for (std::size_t k = 0; k < part.Pixels().size(); k += 4) {
        part.Pixels()[k] *= tint.R * tint.A;
        part.Pixels()[k + 1] *= tint.G * tint.A;
        part.Pixels()[k + 2] *= tint.B * tint.A;
        part.Pixels()[k + 3] *= tint.A;
    }
    on.DrawScaled(part, x, y, w, h);
}

// Text as the image set draws it: glyph by glyph, each advancing by scale x
// (spacing + width), centred on x when `centre`.
void Text(TCanvas& on, const std::vector<TCanvas>& textures, int font, const std::array<int, kGlyphCount>& widths,
          const std::string& text, float x, float y, float scale, float spacing, bool centre, TColor tint) {
    const TGameFontLayout& f = GameFontLayouts[static_cast<std::size_t>(font)];
    auto glyphWidth = [&](int g) { return g < 0 ? f.SpaceWidth : widths[static_cast<std::size_t>(g)] + 1; };
    float total = 0;
    for (unsigned char c : text) total += static_cast<float>(glyphWidth(GlyphOfChar(c))) * scale;
    total += spacing * static_cast<float>(text.size() - 1);
    if (centre) x -= std::trunc(total) / 2;
    const float top = y - scale * static_cast<float>(f.GlyphHeight / 2);
    const int columns = kFontTextureSize / f.CellWidth, per = columns * (kFontTextureSize / f.CellHeight);
    for (unsigned char c : text) {
        const int g = GlyphOfChar(c);
        const int w = glyphWidth(g);
        if (g >= 0) {
            const int col = g % columns, row = (g / columns) % (kFontTextureSize / f.CellHeight);
            const TBox rect{col * f.CellWidth, row * f.CellHeight, col * f.CellWidth + w, row * f.CellHeight + f.GlyphHeight};
            Sprite(on, textures[static_cast<std::size_t>(g / per)], rect, x, top, static_cast<float>(w) * scale,
                   static_cast<float>(f.GlyphHeight) * scale, tint);
        }
        x += scale * (spacing + static_cast<float>(w));
    }
}

TBox Rect(const d3d::RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

}  // namespace

void WriteContactSheet(const std::string& rawFolder) {
    const std::string folder = rawFolder.empty() || rawFolder.back() == '/' ? rawFolder : rawFolder + "/";
    if (!sys::CreateDirectories(folder)) throw std::runtime_error("Cannot create " + folder);
    TFiles shared;
    const TPictureSet set = GenerateSharedPictures();
    for (const TGeneratedFile& f : set.Shared) shared[f.Name] = f.Bytes;
    std::array<TFiles, 3> slots;
    for (int slot = 0; slot < 3; ++slot)
        for (const TGeneratedFile& f : GenerateScenarioPictures(slot).Files) slots[static_cast<std::size_t>(slot)][f.Name] = f.Bytes;

    // Every texture over a chequered ground.
    for (const TGameTextureEntry& entry : GameTextureTable) {
        const bool scenery = std::string(entry.Name).rfind("Back", 0) == 0 || std::string(entry.Name).rfind("Decor", 0) == 0;
        for (int slot = 0; slot < (scenery ? 3 : 1); ++slot) {
            const TCanvas t = Texture(scenery ? slots[static_cast<std::size_t>(slot)] : shared, entry.Name);
            TCanvas sheet = Chequered(t.Width(), t.Height());
            sheet.Draw(t, 0, 0);
            Save(folder, std::string("texture_") + entry.Name + (scenery ? "_slot" + std::to_string(slot) : "") + ".png", sheet);
        }
    }
    // The other pictures as they are.
    for (const auto& [name, bytes] : shared)
        if (name.find("Mask") == std::string::npos && (name.find(".jpg") != std::string::npos || name.rfind("menu_", 0) == 0 ||
                                                        name == "LoadingSida.png"))
            Save(folder, "picture_" + name.substr(0, name.find('.')) + ".png", Decode(bytes));
    for (int slot = 0; slot < 3; ++slot)
        Save(folder, "picture_thumb_slot" + std::to_string(slot) + ".png", Decode(slots[static_cast<std::size_t>(slot)].at("thumb.jpg")));

    // The fonts: every glyph at its width, twice (plain, then tinted).
    const std::vector<TCanvas> font0 = {Texture(shared, "LoadFont")};
    const std::vector<TCanvas> font1 = {Texture(shared, "Font1"), Texture(shared, "Font2")};
    std::array<int, kGlyphCount> widths0{}, widths1{};
    for (int j = 0; j < kGlyphCount; ++j) {
        widths0[static_cast<std::size_t>(j)] = kBuiltInFontWidths[static_cast<std::size_t>(j)] + 1;
        widths1[static_cast<std::size_t>(j)] = set.FontWidths[static_cast<std::size_t>(j)];
    }
    std::string all;
    for (int c = 32; c < 256; ++c)
        if (GlyphOfChar(static_cast<unsigned char>(c)) >= 0 && c != '0') {
            bool seen = false;
            for (unsigned char d : all) seen = seen || GlyphOfChar(d) == GlyphOfChar(static_cast<unsigned char>(c));
            if (!seen || (c >= 0xC0 && c != 0xC7 && c != 0xE7 && c != 0xDF && c < 0xE0)) all.push_back(static_cast<char>(c));
        }
    for (int font = 0; font < 2; ++font) {
        TCanvas line = Chequered(font == 0 ? 1700 : 2600, 220);
        const auto& tex = font == 0 ? font0 : font1;
        const auto& w = font == 0 ? widths0 : widths1;
        Text(line, tex, font, w, all.substr(0, all.size() / 2), 10, 60, 1.0f, 0, false, Rgb(255, 255, 255));
        Text(line, tex, font, w, all.substr(all.size() / 2), 10, 160, 1.0f, 0, false, Rgb(255, 230, 80));
        Save(folder, "font" + std::to_string(font) + "_glyphs.png", line);
    }

    // A mock frame of the main scenario.
    const TSceneryArt art = DrawScenery(kMainSlot);
    TCanvas frame = ComposeScenery(art, 2000.0f);
    auto creature = [&](int type, int frameNo, float x, float y, float scale) {
        const TCreatureTypeInfo& info = CreatureTypes[static_cast<std::size_t>(type)];
        const TCanvas t = Texture(shared, GameTextureTable[info.Image].Name);
        const int w = info.SourceRect.Right - info.SourceRect.Left, h = info.SourceRect.Bottom - info.SourceRect.Top;
        const int col = frameNo % info.FrameColumns, row = frameNo / info.FrameColumns;
        const TBox rect{info.SourceRect.Left + col * (w + info.FrameGapX), info.SourceRect.Top + row * (h + info.FrameGapY),
                        info.SourceRect.Left + col * (w + info.FrameGapX) + w, info.SourceRect.Top + row * (h + info.FrameGapY) + h};
        const float dw = static_cast<float>(CreatureDrawWidth(info)) * scale;
        const float dh = static_cast<float>(info.DrawHeight != 0 ? info.DrawHeight : h) * scale;
        Sprite(frame, t, rect, x - dw * info.HotSpotX, y - dh * info.HotSpotY, dw, dh);
    };
    creature(6, 0, 700, 200, 1.0f);
    creature(12, 2, 560, 420, 1.0f);
    creature(9, 4, 640, 250, 0.8f);
    creature(0, 0, 300, 150, 1.0f);
    creature(1, 3, 420, 300, 1.0f);
    creature(3, 6, 250, 470, 1.0f);
    creature(4, 1, 620, 110, 1.0f);
    creature(5, 5, 500, 520, 1.0f);
    creature(15, 0, 380, 420, 1.0f);
    const TCanvas misc1 = Texture(shared, "Misc1"), misc2 = Texture(shared, "Misc2");
    auto fixed = [&](int index, float x, float y, float scale = 1.0f) {
        const TFixedSpriteEntry& s = FixedSpriteTable[static_cast<std::size_t>(index)];
        const TCanvas& t = s.Texture == 0 ? misc1 : misc2;
        const TBox rect = Rect(s.Rect);
        const float w = static_cast<float>(s.Width ? s.Width : rect.Right - rect.Left) * scale;
        const float h = static_cast<float>(s.Height ? s.Height : rect.Bottom - rect.Top) * scale;
        Sprite(frame, t, rect, x - w * s.HotX, y - h * s.HotY, w, h);
    };
    // The cannon where the game puts it (x 750), a shot just out of its
    // muzzle beneath it (shots lie below the cannon).
    fixed(7, 742, 330);
    fixed(4, 750, 330);
    fixed(6, 330, 240);
    fixed(5, 160, 520, 0.6f);
    fixed(9, 60, 560, 0.8f);
    fixed(14, 115, 560, 0.8f);
    Text(frame, font1, 1, widths1, "TIME", 148, 25, 0.6f, 2, true, Rgb(255, 255, 255));
    Text(frame, font1, 1, widths1, "87", 148, 65, 1.0f, 2, true, Rgb(255, 255, 255));
    Text(frame, font1, 1, widths1, "SCORE", 652, 25, 0.6f, 2, true, Rgb(255, 255, 255));
    Text(frame, font1, 1, widths1, "12480", 652, 65, 1.0f, 2, true, Rgb(255, 255, 255));
    Text(frame, font1, 1, widths1, "Great catch!", 400, 300, 0.9f, 1, true, Rgb(255, 255, 0));
    // Score sprite digits and the title over the top.
    const TAnimatedSheetEntry& digits = AnimatedSheetTable[2];
    for (int i = 0; i < 4; ++i) {
        const int d = i == 0 ? 11 : (i == 1 ? 5 : 0);
        const int col = d % digits.Columns, row = d / digits.Columns;
        const int w = digits.First.right - digits.First.left, h = digits.First.bottom - digits.First.top;
        const TBox rect{col * (w + digits.GapX), digits.First.top + row * (h + digits.GapY), col * (w + digits.GapX) + w,
                        digits.First.top + row * (h + digits.GapY) + h};
        Sprite(frame, misc2, rect, 560 + static_cast<float>(i) * 22 - (i > 0 ? 9 : 0), 370, static_cast<float>(w), static_cast<float>(h),
               Rgb(120, 255, 120));
    }
    Save(folder, "mock_frame.png", frame);

    // The menu title as the first screen shows it.
    TCanvas menu = ComposeScenery(art, 0.0f);
    const TCanvas title = Texture(shared, "Title");
    const float positions[4][2] = {{34, 24.15f}, {326.1f, 24.15f}, {618.2f, 0}, {618.2f, 73.6f}};
    for (int i = 0; i < 4; ++i) {
        const TFixedSpriteEntry& s = FixedSpriteTable[static_cast<std::size_t>(17 + i)];
        const TBox rect = Rect(s.Rect);
        Sprite(menu, title, rect, positions[i][0], positions[i][1], static_cast<float>(rect.Right - rect.Left) * 1.15f,
               static_cast<float>(rect.Bottom - rect.Top) * 1.15f);
    }
    Text(menu, font1, 1, widths1, "Click Mouse Button to Play", 400, 300, 0.8f, 1, true, Rgb(255, 255, 255));
    const TCanvas big = Texture(shared, "BigNumber");
    for (int d = 0; d < 10; ++d) {
        const TBox rect = Rect(FixedSpriteTable[static_cast<std::size_t>(21 + d)].Rect);
        Sprite(menu, big, rect, 20 + static_cast<float>(d) * 76, 420, static_cast<float>(rect.Right - rect.Left) * 0.8f,
               static_cast<float>(rect.Bottom - rect.Top) * 0.8f);
    }
    Save(folder, "mock_menu.png", menu);

    // The loading screen with its tip in font 0.
    TCanvas loading = Decode(shared.at("loading1.jpg"));
    Text(loading, font1, 1, widths1, "LOADING", 400, 23, 0.7f, 7, true, Rgb(255, 255, 255));
    const char* tip[] = {"Catch the nivlets with your", "condoms before they reach", "the left side. Keep away", "from the viruses!"};
    for (int i = 0; i < 4; ++i) Text(loading, font0, 0, widths0, tip[i], 430, 242 + 23.0f * static_cast<float>(i), 0.65f, 0, false, Rgb(255, 255, 255));
    const TCanvas lf = font0[0];
    Sprite(loading, lf, {200, 204, 201, 219}, 300, 567, 140, 26);
    Save(folder, "mock_loading.png", loading);
}

}  // namespace qv::gen
