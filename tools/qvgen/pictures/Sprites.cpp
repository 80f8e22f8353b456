// The fixed sprites and animated sheets: cannons, shots, torpedo, bubbles,
// option icons, the small and the big digits, flags, the title logo and the
// particle. Each is drawn into the rectangle the image set cuts it from.
#include "game/data/qv3CreatureTypes.h"
#include "game/assets/qv3Graphics.h"
#include "tools/qvgen/pictures/Art.h"

namespace qv::gen::pic {

namespace {

TBox RectOf(const d3d::RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
TBox FixedRect(int sprite) { return RectOf(FixedSpriteTable[static_cast<std::size_t>(sprite)].Rect); }

// Draws `art` (sized like `box`) into `sheet` at the box, leaving a one
// pixel clear border when `border` is set.
void Place(TCanvas& sheet, TCanvas art, TBox box, bool border = true) {
    if (border) art.KeepOnly({1, 1, art.Width() - 1, art.Height() - 1});
    sheet.Draw(art, box.Left, box.Top);
}

TCanvas CanvasFor(TBox box) { return TCanvas(box.Right - box.Left, box.Bottom - box.Top); }

// Text fitted into w x h, centred, with gradient and outline.
void FitText(TCanvas& c, const std::string& text, float cx, float cy, float w, float h, TColor top, TColor bottom,
             float outline, TColor outlineColor, TFace face = TFace::SansBold) {
    TCoverage probe = RenderText(text, 100.0f, face);
    const TBox ink = InkBox(probe);
    const float iw = static_cast<float>(ink.Right - ink.Left), ih = static_cast<float>(ink.Bottom - ink.Top);
    float size = 100.0f * (h - 2 * outline) / ih;
    float xs = 1.0f;
    if (iw * size / 100.0f > w - 2 * outline) xs = (w - 2 * outline) / (iw * size / 100.0f);
    TTextStyle style;
    style.Size = size;
    style.Face = face;
    style.XScale = xs;
    style.Top = top;
    style.Bottom = bottom;
    style.Outline = outline;
    style.OutlineColor = outlineColor;
    DrawLabel(c, text, cx, cy, 2, style);
}

// ---------------------------------------------------------------------------

TCanvas DrawTorpedo(TBox box) {
    TCanvas c = CanvasFor(box);
    const float w = static_cast<float>(c.Width()), h = static_cast<float>(c.Height());
    const float cy = h / 2;
    const TVec head{w - 16, cy};
    // The trail: tapering, fading, with flowing streaks.
    c.Fill({0, 0, c.Width(), c.Height()}, [&](TVec p) {
        const float u = Clamp01((head.X - p.X) / (head.X - 2));
        const float half = 3.0f + 12.0f * (1 - u) * (1 - u) + 2.0f * u;
        return std::max(std::abs(p.Y - cy) - half, std::max(p.X - head.X, 2 - p.X));
    }, [&](TVec p) {
        const float u = Clamp01((head.X - p.X) / (head.X - 2));
        const float v = std::abs(p.Y - cy) / (3.0f + 12.0f * (1 - u) * (1 - u) + 2.0f * u);
        const float streak = 0.75f + 0.25f * std::sin(p.X * 0.21f + (p.Y - cy) * 1.3f);
        const float a = (1 - u) * (1 - u) * (1 - v * v) * streak;
        return Mix(Rgb(120, 220, 255, a), Rgb(255, 255, 255, a), Clamp01(1 - v * 1.6f) * (1 - u));
    }, 1.5f);
    // The glowing head.
    c.Fill({static_cast<int>(head.X) - 30, 0, c.Width(), c.Height()}, [&](TVec p) { return SdCircle(p, head, 24); },
           [&](TVec p) {
               const float d = Length(p - head) / 24.0f;
               return Rgb(140, 230, 255, Clamp01(std::exp(-d * d * 3.0f)));
           });
    c.Fill({static_cast<int>(head.X) - 20, 0, c.Width(), c.Height()}, [&](TVec p) { return SdEllipse(p, head, 11, 8); },
           [&](TVec p) { return SphereShade(p, head, 11, Rgb(220, 250, 255), 1.0f); });
    return c;
}

TCanvas DrawShot(TBox box) {
    TCanvas c = CanvasFor(box);
    const float h = static_cast<float>(c.Height());
    const float cy = h / 2;
    // A condom flying right: the rolled rim on the left, the dome and its
    // tip to the right.
    const TVec domeC{6.0f, cy};
    auto dome = [&](TVec p) { return std::max(SdEllipse(p, domeC, 18.0f, cy - 5.0f), 6.0f - p.X); };
    auto tip = [&](TVec p) { return SdCircle(p, {25.0f, cy}, 3.2f); };
    auto shape = [&](TVec p) { return std::min(dome(p), tip(p)); };
    const TBox all{0, 0, c.Width(), c.Height()};
    c.FillSolid(all, [&](TVec p) { return shape(p) - 1.2f; }, Rgb(150, 90, 40, 0.9f));
    c.Fill(all, shape, [&](TVec p) {
        const float v = (p.Y - cy) / (cy - 5.0f);
        const float shine = std::exp(-((v + 0.45f) * (v + 0.45f)) * 18.0f) * Clamp01((p.X - 8) / 8);
        return Mix(Rgb(255, 225, 140, 0.78f), Rgb(255, 255, 245, 0.95f), shine);
    });
    // The rim.
    c.Fill(all, [&](TVec p) { return SdEllipse(p, {6.5f, cy}, 4.2f, cy - 3.0f); }, [&](TVec p) {
        return SphereShade(p, {6.5f, cy}, cy - 3.0f, Rgb(255, 205, 110), 0.6f);
    });
    return c;
}

TCanvas DrawHudPlate(TBox box) {
    TCanvas c = CanvasFor(box);
    const TVec mid{static_cast<float>(c.Width()) / 2, static_cast<float>(c.Height()) / 2};
    const TVec half{mid.X - 3, mid.Y - 3};
    const TBox all{0, 0, c.Width(), c.Height()};
    c.FillSolid(all, [&](TVec p) { return SdBox(p, mid, half, 14); }, Rgb(120, 220, 255, 0.9f));
    c.Fill(all, [&](TVec p) { return SdBox(p, mid, {half.X - 2.5f, half.Y - 2.5f}, 12); }, [&](TVec p) {
        const float v = (p.Y - 3) / (2 * half.Y);
        return Mix(Rgb(40, 60, 130, 0.8f), Rgb(10, 15, 50, 0.85f), v);
    });
    c.Fill(all, [&](TVec p) { return std::max(SdBox(p, mid, {half.X - 6, half.Y - 6}, 9), p.Y - mid.Y + 4); },
           [](TVec) { return Rgb(255, 255, 255, 0.12f); });
    return c;
}

TCanvas DrawSmallBubble(TBox box) {
    TCanvas c = CanvasFor(box);
    const TVec m{static_cast<float>(c.Width()) / 2, static_cast<float>(c.Height()) / 2};
    const TBox all{0, 0, c.Width(), c.Height()};
    auto bubble = [&](TVec centre, float rx, float ry) {
        c.Fill(all, [&](TVec p) { return SdEllipse(p, centre, rx, ry); }, [&](TVec p) {
            const float d = Clamp01(Length({(p.X - centre.X) / rx, (p.Y - centre.Y) / ry}));
            const float rim = std::pow(d, 6.0f);
            const float hue = std::atan2(p.Y - centre.Y, p.X - centre.X);
            const TColor iris{0.6f + 0.4f * std::sin(hue * 2), 0.75f + 0.25f * std::sin(hue * 2 + 2), 1.0f, 1};
            return Mix(Rgb(190, 230, 255, 0.25f), WithAlpha(iris, 0.95f), rim);
        });
        c.FillSolid(all, [&](TVec p) { return SdEllipse(p, {centre.X - rx * 0.4f, centre.Y - ry * 0.45f}, rx * 0.28f, ry * 0.18f); },
                    Rgb(255, 255, 255, 0.9f), 2.0f);
    };
    bubble({m.X - 5, m.Y + 1}, 19, 17);
    bubble({m.X + 17, m.Y - 10}, 7, 7);
    bubble({m.X + 19, m.Y + 11}, 4.5f, 4.5f);
    return c;
}

TCanvas DrawBigBubble(TBox box) {
    TCanvas c = CanvasFor(box);
    const TVec m{static_cast<float>(c.Width()) / 2, static_cast<float>(c.Height()) / 2};
    const float r = std::min(m.X, m.Y) - 2.5f;
    const TBox all{0, 0, c.Width(), c.Height()};
    c.Fill(all, [&](TVec p) { return SdCircle(p, m, r); }, [&](TVec p) {
        const float d = Clamp01(Length(p - m) / r);
        const float rim = std::pow(d, 5.0f);
        const float hue = std::atan2(p.Y - m.Y, p.X - m.X) + d * 2;
        const TColor iris{0.65f + 0.35f * std::sin(hue * 1.5f), 0.7f + 0.3f * std::sin(hue * 1.5f + 2.1f),
                          0.85f + 0.15f * std::sin(hue * 1.5f + 4.2f), 1};
        return Mix(Rgb(200, 235, 255, 0.12f), WithAlpha(iris, 0.85f), rim);
    });
    // Highlights: an arc at the upper left and a dot.
    c.FillSolid(all, [&](TVec p) {
        const float ring = std::abs(Length(p - m) - r * 0.78f) - r * 0.07f;
        const float ang = std::atan2(p.Y - m.Y, p.X - m.X);
        return std::max(ring, std::abs(ang + 2.3f) * r * 0.9f - r * 0.55f);
    }, Rgb(255, 255, 255, 0.75f), 2.5f);
    c.FillSolid(all, [&](TVec p) { return SdCircle(p, {m.X + r * 0.45f, m.Y + r * 0.5f}, r * 0.07f); }, Rgb(255, 255, 255, 0.6f), 2.0f);
    return c;
}

}  // namespace

TCanvas Mirrored(const TCanvas& source, bool horizontal, bool vertical) {
    TCanvas out(source.Width(), source.Height());
    for (int y = 0; y < source.Height(); ++y)
        for (int x = 0; x < source.Width(); ++x)
            out.Set(x, y, source.Get(horizontal ? source.Width() - 1 - x : x, vertical ? source.Height() - 1 - y : y));
    return out;
}

void DrawCannon(TCanvas& c, TVec pivot, float scale, bool opponent) {
    const TColor metal = opponent ? Rgb(200, 70, 70) : Rgb(80, 140, 220);
    const TColor dark = opponent ? Rgb(70, 15, 20) : Rgb(15, 30, 70);
    const TColor glow = opponent ? Rgb(255, 200, 90) : Rgb(120, 255, 230);
    const float s = scale;
    const TBox all = BoxAround({pivot.X + 40 * s, pivot.Y}, 44 * s, 48 * s);
    const TVec baseC{pivot.X + 8 * s, pivot.Y};
    // The rail mount the player's cannon slides along.
    if (!opponent) {
        c.FillSolid(all, [&](TVec p) { return SdBox(p, {pivot.X + 5 * s, pivot.Y}, {5 * s, 42 * s}, 3 * s) - 1.2f; }, dark);
        c.Fill(all, [&](TVec p) { return SdBox(p, {pivot.X + 5 * s, pivot.Y}, {5 * s, 42 * s}, 3 * s); },
               [&](TVec p) { return Mix(Scale(metal, 0.8f), Scale(metal, 0.45f), Clamp01((p.X - pivot.X) / (10 * s))); });
    }
    // The barrel, widening to its muzzle.
    auto barrel = [&](TVec p) { return SdCapsule(p, {baseC.X, pivot.Y}, {pivot.X + 62 * s, pivot.Y}, 9 * s, 11 * s); };
    auto muzzle = [&](TVec p) { return SdBox(p, {pivot.X + 64 * s, pivot.Y}, {6 * s, 15 * s}, 4 * s); };
    auto base = [&](TVec p) { return SdCircle(p, baseC, 24 * s); };
    auto all3 = [&](TVec p) { return std::min(std::min(barrel(p), muzzle(p)), base(p)); };
    c.FillSolid(all, [&](TVec p) { return all3(p) - 1.6f; }, dark);
    auto tube = [&](TVec p, float half) {
        const float v = (p.Y - pivot.Y) / half;
        const float light = 0.55f + 0.6f * std::exp(-(v + 0.35f) * (v + 0.35f) * 5.0f) - 0.25f * v * v;
        return TColor{Clamp01(metal.R * light + 0.1f * light), Clamp01(metal.G * light + 0.1f * light),
                      Clamp01(metal.B * light + 0.1f * light), 1};
    };
    c.Fill(all, barrel, [&](TVec p) { return tube(p, 11 * s); });
    c.Fill(all, muzzle, [&](TVec p) { return tube(p, 15 * s); });
    // A glowing band around the barrel.
    c.Fill(all, [&](TVec p) { return std::max(barrel(p), std::abs(p.X - (pivot.X + 44 * s)) - 2.5f * s); },
           [&](TVec) { return glow; });
    c.Fill(all, base, [&](TVec p) { return SphereShade(p, baseC, 24 * s, metal, 0.9f); });
    // A lit porthole on the dome.
    const TVec eye{baseC.X + 6 * s, baseC.Y - 4 * s};
    c.FillSolid(all, [&](TVec p) { return SdCircle(p, eye, 7 * s) - 1.2f; }, dark);
    c.Fill(all, [&](TVec p) { return SdCircle(p, eye, 7 * s); }, [&](TVec p) { return SphereShade(p, eye, 7 * s, glow, 1.0f); });
}

namespace {

TCanvas DrawOption(TBox box, int kind, bool on) {
    TCanvas c = CanvasFor(box);
    const TVec m{static_cast<float>(c.Width()) / 2, static_cast<float>(c.Height()) / 2};
    const TVec half{m.X - 4, m.Y - 4};
    const TColor colours[4] = {Rgb(255, 120, 40), Rgb(60, 220, 120), Rgb(80, 170, 255), Rgb(250, 210, 50)};
    const TColor base = on ? colours[kind] : Rgb(110, 110, 120);
    const TBox all{0, 0, c.Width(), c.Height()};
    c.FillSolid(all, [&](TVec p) { return SdBox(p, m, half, 13) - 1.5f; }, on ? Rgb(255, 255, 255, 0.95f) : Rgb(40, 40, 50, 0.9f));
    c.Fill(all, [&](TVec p) { return SdBox(p, m, half, 13); }, [&](TVec p) {
        const float v = (p.Y - (m.Y - half.Y)) / (2 * half.Y);
        return Mix(Mix(base, Rgb(255, 255, 255), 0.35f), Scale(base, on ? 0.55f : 0.4f), v);
    });
    c.Fill(all, [&](TVec p) { return std::max(SdBox(p, m, {half.X - 4, half.Y - 4}, 9), p.Y - (m.Y - half.Y * 0.2f)); },
           [](TVec) { return Rgb(255, 255, 255, 0.22f); });
    const TColor ink = on ? Rgb(255, 255, 255) : Rgb(175, 175, 185);
    const TColor inkDark = on ? Scale(base, 0.3f) : Rgb(50, 50, 60);
    auto symbol = [&](auto&& sdf) {
        c.FillSolid(all, [&](TVec p) { return sdf(p) - 1.8f; }, inkDark);
        c.FillSolid(all, sdf, ink);
    };
    switch (kind) {
        case 0:  // torpedo: a comet
            symbol([&](TVec p) {
                const float tail = SdCapsule(p, {m.X - 13, m.Y + 13}, {m.X + 4, m.Y - 4}, 1.5f, 6.0f);
                return std::min(tail, SdCircle(p, {m.X + 6, m.Y - 6}, 8));
            });
            break;
        case 1:  // seeker: cross hairs
            symbol([&](TVec p) {
                const float ring = std::abs(SdCircle(p, m, 12)) - 2.2f;
                const float h = SdBox(p, m, {17, 1.8f}, 1);
                const float v = SdBox(p, m, {1.8f, 17}, 1);
                return std::min(std::min(ring, std::max(h, -SdCircle(p, m, 5))), std::max(v, -SdCircle(p, m, 5)));
            });
            break;
        case 2: {  // spare: a shield
            std::vector<TVec> shield = {{m.X - 13, m.Y - 14}, {m.X + 13, m.Y - 14}, {m.X + 12, m.Y + 2}, {m.X, m.Y + 16},
                                        {m.X - 12, m.Y + 2}};
            symbol([&](TVec p) { return SdPolygon(p, shield) - 1.5f; });
            break;
        }
        default: {  // spare: a star
            std::vector<TVec> star;
            for (int i = 0; i < 10; ++i) {
                const float a = -kPi / 2 + kPi * static_cast<float>(i) / 5;
                const float r = (i % 2 == 0) ? 16.0f : 7.0f;
                star.push_back({m.X + r * std::cos(a), m.Y + 1 + r * std::sin(a)});
            }
            symbol([&](TVec p) { return SdPolygon(p, star); });
            break;
        }
    }
    if (on) c.AddGlow(2, Rgb(255, 255, 255), 0.5f);
    return c;
}

// The small digits of the score sprites: white, dark outline (tinted when
// drawn).
void DrawSmallDigits(TCanvas& sheet) {
    const TAnimatedSheetEntry& s = AnimatedSheetTable[2];
    const int w = s.First.right - s.First.left, h = s.First.bottom - s.First.top;
    const char* labels[12] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "-", "+"};
    for (int f = 0; f < 12; ++f) {
        TCanvas cell(w, h);
        if (f == 10 || f == 11) {
            // The signs drawn as bars, so they sit on the digits' middle.
            const TVec m{static_cast<float>(w) / 2, static_cast<float>(h) / 2};
            auto sign = [&](TVec p) {
                const float hbar = SdBox(p, m, {7, 2.2f}, 1);
                return f == 10 ? hbar : std::min(hbar, SdBox(p, m, {2.2f, 7}, 1));
            };
            cell.FillSolid({0, 0, w, h}, [&](TVec p) { return sign(p) - 1.5f; }, Rgb(20, 20, 40));
            cell.FillSolid({0, 0, w, h}, sign, Rgb(255, 255, 255));
        } else {
            FitText(cell, labels[f], static_cast<float>(w) / 2, static_cast<float>(h) / 2, static_cast<float>(w) - 2,
                    static_cast<float>(h) - 3, Rgb(255, 255, 255), Rgb(215, 215, 225), 1.5f, Rgb(20, 20, 40));
        }
        const int col = f % s.Columns, row = f / s.Columns;
        sheet.Draw(cell, s.First.left + col * (w + s.GapX), s.First.top + row * (h + s.GapY));
    }
}

}  // namespace

TCanvas DrawMisc2() {
    TCanvas c(256, 256);
    Place(c, DrawTorpedo(FixedRect(6)), FixedRect(6));
    Place(c, DrawShot(FixedRect(7)), FixedRect(7));
    Place(c, DrawHudPlate(FixedRect(3)), FixedRect(3));
    const TCreatureTypeInfo& bubble = CreatureTypes[kBubbleType];
    const TBox bubbleBox{bubble.SourceRect.Left, bubble.SourceRect.Top, bubble.SourceRect.Right, bubble.SourceRect.Bottom};
    Place(c, DrawSmallBubble(bubbleBox), bubbleBox);
    {
        // The cannons stand at the right and shoot left: the muzzle at the
        // picture's left end, where the game puts the cannon's x, so the shot
        // (drawn beneath the cannon) comes out of it.
        const TBox box = FixedRect(4);
        TCanvas cannon = CanvasFor(box);
        DrawCannon(cannon, {0.0f, static_cast<float>(cannon.Height()) / 2}, 1.0f, false);
        Place(c, Mirrored(cannon, true, false), box);
    }
    Place(c, DrawBigBubble(FixedRect(5)), FixedRect(5));
    DrawSmallDigits(c);
    // The plain white block the untextured quads sample.
    for (int y = kPlainRegion.top; y < kPlainRegion.bottom; ++y)
        for (int x = kPlainRegion.left; x < kPlainRegion.right; ++x) c.Set(x, y, Rgb(255, 255, 255));
    return c;
}

TCanvas DrawMisc1() {
    TCanvas c(256, 256);
    for (int i = 0; i < 4; ++i) {
        Place(c, DrawOption(FixedRect(9 + i), i, true), FixedRect(9 + i));
        Place(c, DrawOption(FixedRect(13 + i), i, false), FixedRect(13 + i));
    }
    // The opponent's cannon is drawn turned by pi about its left end: stored
    // upside down and pointing right, it then points left and stands upright
    // like the player's.
    const TBox box = FixedRect(8);
    TCanvas cannon = CanvasFor(box);
    DrawCannon(cannon, {0.0f, static_cast<float>(cannon.Height()) / 2}, 0.8f, true);
    Place(c, Mirrored(cannon, false, true), box);
    return c;
}

void DrawLogo(TCanvas& c, float x, float y, float scale) {
    TCanvas logo(static_cast<int>(std::ceil(634 * scale)), static_cast<int>(std::ceil(133 * scale)));
    TTextStyle style;
    style.Face = TFace::SansBold;
    style.Top = Rgb(255, 245, 150);
    style.Bottom = Rgb(255, 90, 40);
    style.Outline = 4.0f * scale;
    style.OutlineColor = Rgb(50, 10, 60);
    // Fit "QUORVEX" into 500 x 70 at scale 1.
    const TCoverage probe = RenderText("QUORVEX", 100.0f);
    const TBox ink = InkBox(probe);
    const float size = 100.0f * 68.0f / static_cast<float>(ink.Bottom - ink.Top);
    const float width = static_cast<float>(ink.Right - ink.Left) * size / 100.0f;
    style.Size = size * scale;
    style.XScale = std::min(1.0f, 488.0f / width);
    TCanvas text(logo.Width(), logo.Height());
    DrawLabel(text, "QUORVEX", 254 * scale, 61.5f * scale, 2, style);
    // A shine across the upper half of the letters.
    TCanvas shine = text;
    for (int yy = 0; yy < shine.Height(); ++yy)
        for (int xx = 0; xx < shine.Width(); ++xx) {
            float* p = shine.At(xx, yy);
            const float band = Smooth(36 * scale, 44 * scale, static_cast<float>(yy)) * (1 - Smooth(50 * scale, 60 * scale, static_cast<float>(yy)));
            const float k = band * 0.35f * p[3];
            p[0] = k;
            p[1] = k;
            p[2] = k;
            p[3] = k;
        }
    text.AddGlow(static_cast<int>(4 * scale), Rgb(255, 160, 60), 0.8f);
    logo.Draw(text, 0, 0);
    logo.Draw(shine, 0, 0);
    // The emblem: a grinning virus.
    TCanvas emblem(logo.Width(), logo.Height());
    DrawVirusFrame(emblem, {571 * scale, 66 * scale}, 1.85f * scale, 0, 0);
    emblem.AddGlow(static_cast<int>(4 * scale), Rgb(180, 255, 120), 0.9f);
    logo.Draw(emblem, 0, 0);
    c.Draw(logo, static_cast<int>(x), static_cast<int>(y));
}

TCanvas DrawTitle() {
    TCanvas logo(634, 133);
    DrawLogo(logo, 0, 0, 1.0f);
    TCanvas c(256, 256);
    // Each piece's place in the logo: the pieces are drawn side by side at
    // (34, 0) + 1.15 x their logo position.
    struct TPiece {
        int sprite;
        TBox from;
    };
    const TPiece pieces[4] = {
        {17, {0, 21, 254, 102}}, {18, {254, 21, 508, 102}}, {19, {508, 0, 634, 65}}, {20, {508, 64, 634, 132}}};
    for (const TPiece& piece : pieces) {
        const TBox to = FixedRect(piece.sprite);
        TCanvas part = logo.Crop(piece.from);
        c.Draw(part, to.Left, to.Top);
    }
    return c;
}

TCanvas DrawBigNumber() {
    TCanvas c(256, 256);
    for (int d = 0; d < 10; ++d) {
        const TBox box = FixedRect(21 + d);
        TCanvas cell = CanvasFor(box);
        const float w = static_cast<float>(cell.Width()), h = static_cast<float>(cell.Height());
        FitText(cell, std::string(1, static_cast<char>('0' + d)), w / 2, h / 2, w - 8, h - 10, Rgb(255, 255, 210),
                Rgb(255, 150, 30), 3.0f, Rgb(70, 20, 10));
        cell.AddGlow(2, Rgb(255, 200, 80), 0.6f);
        Place(c, cell, box);
    }
    return c;
}

TCanvas DrawParticle() {
    TCanvas c(64, 64);
    const TVec m{32, 32};
    c.Shade({0, 0, 64, 64}, [&](TVec p) {
        const TVec d = p - m;
        const float r = Length(d) / 30.0f;
        const float core = std::exp(-r * r * 9.0f);
        const float halo = std::exp(-r * r * 2.5f) * 0.45f;
        const float rays = std::exp(-std::abs(d.X) * 0.9f) * std::exp(-std::abs(d.Y) * 0.09f) +
                           std::exp(-std::abs(d.Y) * 0.9f) * std::exp(-std::abs(d.X) * 0.09f);
        const float a = Clamp01(core + halo + rays * 0.35f) * Clamp01(1.3f - r);
        return Rgb(255, 255, 255, a);
    });
    return c;
}

TCanvas DrawFlag(int which) {
    TCanvas sheet(256, 256);
    const TAnimatedSheetEntry& s = AnimatedSheetTable[static_cast<std::size_t>(which)];
    const int w = s.First.right - s.First.left, h = s.First.bottom - s.First.top;
    const int frames = s.Columns * s.Rows;
    for (int f = 0; f < frames; ++f) {
        TCanvas cell(w, h);
        const float t = static_cast<float>(f) / static_cast<float>(frames);
        const float left = 10, right = static_cast<float>(w) - 4, top0 = 7, bottom0 = 40;
        auto wave = [&](float u) { return 4.0f * u * std::sin(2 * kPi * (u * 1.3f - t)); };
        auto slope = [&](float u) { return std::cos(2 * kPi * (u * 1.3f - t)); };
        // The cloth.
        cell.Fill({0, 0, w, h}, [&](TVec p) {
            const float u = Clamp01((p.X - left) / (right - left));
            const float off = wave(u);
            const float top = top0 + off + 2 * u, bottom = bottom0 + off - 3 * u;
            return std::max(std::max(top - p.Y, p.Y - bottom), std::max(left - p.X, p.X - right));
        }, [&](TVec p) {
            const float u = Clamp01((p.X - left) / (right - left));
            const float off = wave(u);
            const float v = Clamp01((p.Y - (top0 + off + 2 * u)) / (bottom0 - top0 - 5 * u));
            TColor col;
            if (which == 0) {
                // Green with a gold star.
                col = Mix(Rgb(60, 200, 90), Rgb(30, 140, 60), v);
                const TVec sc{left + 22, (top0 + bottom0) / 2 + wave(22 / (right - left))};
                std::vector<TVec> star;
                for (int i = 0; i < 10; ++i) {
                    const float a = -kPi / 2 + kPi * static_cast<float>(i) / 5;
                    const float r = (i % 2 == 0) ? 11.0f : 4.5f;
                    star.push_back({sc.X + r * std::cos(a), sc.Y + r * std::sin(a)});
                }
                const float cover = Clamp01(0.5f - SdPolygon(p, star));
                col = Mix(col, Rgb(255, 220, 60), cover);
            } else {
                // Red and white chequers.
                const int cu = static_cast<int>(u * 6), cv = static_cast<int>(v * 4);
                col = ((cu + cv) % 2 == 0) ? Rgb(235, 50, 50) : Rgb(250, 245, 240);
            }
            const float shade = 0.82f + 0.22f * slope(u);
            return TColor{Clamp01(col.R * shade), Clamp01(col.G * shade), Clamp01(col.B * shade), 1};
        });
        // The pole and its knob.
        cell.Fill({0, 0, w, h}, [&](TVec p) { return SdBox(p, {left - 2, 33}, {2.2f, 27}, 1); },
                  [&](TVec p) { return Mix(Rgb(230, 230, 235), Rgb(120, 110, 100), Clamp01((p.X - left + 4) / 4)); });
        cell.Fill({0, 0, w, h}, [&](TVec p) { return SdCircle(p, {left - 2, 5}, 3.5f); },
                  [&](TVec p) { return SphereShade(p, {left - 2, 5}, 3.5f, Rgb(255, 210, 60)); });
        cell.AddOutline(1.0f, Rgb(20, 20, 30, 0.8f));
        cell.KeepOnly({1, 1, w - 1, h - 1});
        sheet.Draw(cell, s.First.left + (f % s.Columns) * (w + s.GapX), s.First.top + (f / s.Columns) * (h + s.GapY));
    }
    return sheet;
}

}  // namespace qv::gen::pic
