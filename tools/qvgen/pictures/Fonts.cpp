// The two game fonts, rendered from the DejaVu fonts into the glyph cells of
// the image set: white letters with a dark outline (the game tints them),
// each glyph's ink inside its width, accents placed where the image set
// draws them over their letters.
#include "game/assets/qv3Graphics.h"
#include "game/data/qv3ScenarioConfig.h"
#include "tools/qvgen/pictures/Art.h"

namespace qv::gen::pic {

namespace {

// The character each glyph shows (UTF-8).
const std::array<const char*, kGlyphCount> kGlyphText = {
    "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O", "P", "Q",
    "R", "S", "T", "U", "V", "W", "X", "Y", "Z", "1", "2", "3", "4", "5", "6", "7", "8",
    "9", "+", "-", "*", "/", "=", "!", ",", ".", "@", "#", "$", "%", "^", "&", ":", "\"",
    "(", ")", "_", "[", "]", "?", "\xC3\x87", "}", "~", "\xC2\xA8", "`", "'", "\xC3\x9F", ";", "<", ">"};

// The accent (0..4) a glyph stands for, -1 for none.
int AccentOfGlyph(int glyph) {
    for (int a = 0; a < 5; ++a)
        if (kAccentGlyphs[a] == glyph) return a;
    return -1;
}

struct TFontStyle {
    TFace Face;
    float CapHeight;  // of the letters, without the outline
    float Baseline;   // y of the baseline in the cell
    float Outline;
    TColor Top, Bottom, OutlineColor;
};
const TFontStyle kStyles[2] = {
    {TFace::CondensedBold, 22.0f, 29.0f, 1.6f, Rgb(255, 255, 255), Rgb(228, 228, 236), Rgb(16, 14, 34)},
    {TFace::SansBold, 33.0f, 40.0f, 2.4f, Rgb(255, 255, 255), Rgb(222, 222, 232), Rgb(16, 14, 34)},
};

// The glyph's coverage with its outline, and where its baseline lies.
struct TGlyphInk {
    TCoverage Fill, Outline;  // the outline already grown; same size as Fill
    float Top = 0, Bottom = 0;  // ink rows of the outline relative to the baseline
};

TGlyphInk RenderGlyph(int glyph, const TFontStyle& style, float sizeScale, float xScale) {
    // DejaVu's capitals are 0.729 em high.
    const float em = style.CapHeight / 0.729f * sizeScale;
    TCoverage fill = RenderText(kGlyphText[static_cast<std::size_t>(glyph)], em, style.Face, xScale);
    const int pad = static_cast<int>(std::ceil(style.Outline)) + 1;
    // Give the fill the outline's margins so both share one frame.
    TCoverage padded;
    padded.Width = fill.Width + 2 * pad;
    padded.Height = fill.Height + 2 * pad;
    padded.Baseline = fill.Baseline + pad;
    padded.Values.assign(static_cast<std::size_t>(padded.Width) * static_cast<std::size_t>(padded.Height), 0);
    for (int y = 0; y < fill.Height; ++y)
        for (int x = 0; x < fill.Width; ++x)
            padded.Values[static_cast<std::size_t>(y + pad) * static_cast<std::size_t>(padded.Width) + static_cast<std::size_t>(x + pad)] = fill.At(x, y);
    TGlyphInk ink;
    TCoverage grown = Dilate(padded, style.Outline);
    // Dilate adds its own margin: cut it back to the padded frame.
    const int extra = (grown.Width - padded.Width) / 2;
    ink.Outline = padded;
    for (int y = 0; y < padded.Height; ++y)
        for (int x = 0; x < padded.Width; ++x)
            ink.Outline.Values[static_cast<std::size_t>(y) * static_cast<std::size_t>(padded.Width) + static_cast<std::size_t>(x)] =
                grown.At(x + extra, y + extra);
    ink.Fill = std::move(padded);
    const TBox box = InkBox(ink.Outline);
    ink.Top = static_cast<float>(box.Top - ink.Outline.Baseline);
    ink.Bottom = static_cast<float>(box.Bottom - ink.Outline.Baseline);
    return ink;
}

}  // namespace

TFontPicture DrawFont(int font) {
    const TGameFontLayout& layout = GameFontLayouts[static_cast<std::size_t>(font)];
    const TFontStyle& style = kStyles[font];
    const int columns = kFontTextureSize / layout.CellWidth, rows = kFontTextureSize / layout.CellHeight;
    const int perTexture = columns * rows;
    const int textures = (kGlyphCount + perTexture - 1) / perTexture;
    TFontPicture out;
    for (int t = 0; t < textures; ++t) out.Textures.emplace_back(kFontTextureSize, kFontTextureSize);

    // Widths: font 0 has the program's own table; font 1 takes what its
    // glyphs need, at most one cell.
    std::array<int, kGlyphCount> width{};  // the glyph rectangle's width
    std::array<TGlyphInk, kGlyphCount> inks;
    for (int j = 0; j < kGlyphCount; ++j) {
        inks[static_cast<std::size_t>(j)] = RenderGlyph(j, style, 1.0f, 1.0f);
        if (font == 0) {
            width[static_cast<std::size_t>(j)] = kBuiltInFontWidths[static_cast<std::size_t>(j)] + 2;
        } else {
            const int a = AccentOfGlyph(j);
            const TBox box = InkBox(inks[static_cast<std::size_t>(j)].Outline);
            int w = (box.Right - box.Left) + 2;
            if (a >= 0) w = std::max(w, static_cast<int>(2 * layout.AccentX[a]));
            width[static_cast<std::size_t>(j)] = std::clamp(w, 10, layout.CellWidth);
        }
    }

    for (int j = 0; j < kGlyphCount; ++j) {
        const int col = j % columns, row = (j / columns) % rows;
        TCanvas& tex = out.Textures[static_cast<std::size_t>(j / perTexture)];
        // The columns this glyph may ink: not the part of its cell that the
        // glyph to its left reaches into, and not its own last column (the
        // gap between letters).
        const int prevReach = col > 0 ? width[static_cast<std::size_t>(j - 1)] - layout.CellWidth : 0;
        const int lo = std::max(0, prevReach);
        const int hi = std::min(width[static_cast<std::size_t>(j)], layout.CellWidth) - 1;
        const int accent = AccentOfGlyph(j);

        TGlyphInk ink = inks[static_cast<std::size_t>(j)];
        // Fit vertically: the ink between 0 and the glyph height.
        const float above = style.Baseline - 0.5f, below = static_cast<float>(layout.GlyphHeight) - 0.5f - style.Baseline;
        float k = 1.0f;
        if (accent < 0) {
            if (-ink.Top > above) k = std::min(k, above / -ink.Top);
            if (ink.Bottom > below) k = std::min(k, below / ink.Bottom);
        }
        TBox box = InkBox(ink.Outline);
        const float avail = static_cast<float>(hi - lo);
        float xs = 1.0f;
        if (static_cast<float>(box.Right - box.Left) * k > avail) xs = avail / (static_cast<float>(box.Right - box.Left) * k);
        if (k < 1.0f || xs < 1.0f) {
            ink = RenderGlyph(j, style, k, xs);
            box = InkBox(ink.Outline);
            // Rounding may leave a pixel too many.
            for (int tries = 0; tries < 4 && box.Right - box.Left > hi - lo; ++tries) {
                xs *= 0.95f;
                ink = RenderGlyph(j, style, k, xs);
                box = InkBox(ink.Outline);
            }
        }
        const int inkW = box.Right - box.Left;
        // Horizontal place: centred in the allowed columns; an accent centred
        // on its offset, so that it lands on its letter's middle.
        float left = static_cast<float>(lo) + static_cast<float>(hi - lo - inkW) / 2.0f;
        if (accent >= 0)
            left = std::clamp(layout.AccentX[accent] - static_cast<float>(inkW) / 2.0f, static_cast<float>(lo),
                              static_cast<float>(hi - inkW));
        const int x0 = col * layout.CellWidth + static_cast<int>(std::lround(left)) - box.Left;
        // Vertical place: letters on the baseline; an accent so that, drawn
        // its height factor above a letter, it sits just over the capitals.
        float y0f = static_cast<float>(row * layout.CellHeight) + style.Baseline - static_cast<float>(ink.Outline.Baseline);
        if (accent >= 0) {
            const float capTop = style.Baseline - style.CapHeight - style.Outline;
            const float bottom = capTop - 1.0f + static_cast<float>(layout.GlyphHeight) * layout.AccentHeight[accent];
            y0f = static_cast<float>(row * layout.CellHeight) + bottom - static_cast<float>(box.Bottom);
            const float top = static_cast<float>(row * layout.CellHeight) + 0.5f;
            if (y0f + static_cast<float>(box.Top) < top) y0f = top - static_cast<float>(box.Top);
        }
        const int y0 = static_cast<int>(std::lround(y0f));
        const float inkTop = static_cast<float>(y0 + box.Top), inkH = static_cast<float>(box.Bottom - box.Top);
        // Clip to the glyph's own columns and rows.
        const TBox clip{col * layout.CellWidth + lo, row * layout.CellHeight, col * layout.CellWidth + hi,
                        row * layout.CellHeight + layout.GlyphHeight};
        for (int y = 0; y < ink.Fill.Height; ++y)
            for (int x = 0; x < ink.Fill.Width; ++x) {
                const int px = x0 + x, py = y0 + y;
                if (px < clip.Left || px >= clip.Right || py < clip.Top || py >= clip.Bottom) continue;
                const float o = ink.Outline.At(x, y), f = ink.Fill.At(x, y);
                if (o <= 0 && f <= 0) continue;
                tex.Blend(px, py, style.OutlineColor, o);
                const float v = Clamp01((static_cast<float>(py) + 0.5f - inkTop) / std::max(inkH, 1.0f));
                tex.Blend(px, py, Mix(style.Top, style.Bottom, v), f);
            }
    }
    for (int j = 0; j < kGlyphCount; ++j)
        out.FontWidths[static_cast<std::size_t>(j)] = font == 0 ? kBuiltInFontWidths[static_cast<std::size_t>(j)] + 1
                                                                : width[static_cast<std::size_t>(j)] - 1;
    if (font == 0) {
        // The progress bar's gradient column.
        TCanvas& tex = out.Textures[0];
        const d3d::RECT r = kProgressBarRegion;
        for (int y = r.top; y < r.bottom; ++y) {
            const float v = Clamp01((static_cast<float>(y) - 204.0f) / 15.0f);
            TColor c = v < 0.4f ? Mix(Rgb(255, 250, 190), Rgb(255, 170, 40), v / 0.4f)
                                : Mix(Rgb(255, 170, 40), Rgb(190, 50, 20), (v - 0.4f) / 0.6f);
            for (int x = r.left; x < r.right; ++x) tex.Set(x, y, c);
        }
    }
    return out;
}

}  // namespace qv::gen::pic
