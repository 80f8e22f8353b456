// Each scenario's scenery: three backgrounds cut from one panorama that
// wraps without a seam, four decor sheets (a floor strip that tiles, big
// and small props, tall strands), their boundaries file, the scenery file
// that places the props along both layers, and a thumbnail.
#include <algorithm>

#include "foundation/Random.h"
#include "game/assets/qv3Graphics.h"
#include "tools/qvgen/pictures/Art.h"

namespace qv::gen::pic {

namespace {

struct TTheme {
    TColor SkyTop, SkyBottom, Haze, Ground, GroundDark, Accent, Glow, Prop, PropDark;
    std::uint32_t Seed;
    int Kind;  // 0 arena (neon), 1 lagoon, 2 bloodstream
};
TTheme ThemeOf(int slot) {
    switch (slot) {
        case kDuelSlot:
            return {Rgb(40, 10, 70), Rgb(8, 2, 25), Rgb(255, 60, 200), Rgb(40, 20, 80), Rgb(10, 5, 30),
                    Rgb(255, 80, 220), Rgb(80, 220, 255), Rgb(90, 60, 180), Rgb(30, 15, 70), 11, 0};
        case kPackageSlot:
            return {Rgb(150, 30, 40), Rgb(50, 5, 15), Rgb(255, 140, 110), Rgb(170, 50, 60), Rgb(80, 10, 25),
                    Rgb(255, 200, 120), Rgb(255, 160, 120), Rgb(220, 50, 60), Rgb(110, 15, 30), 33, 2};
        default:
            return {Rgb(40, 130, 190), Rgb(5, 25, 70), Rgb(160, 230, 255), Rgb(220, 190, 130), Rgb(120, 90, 60),
                    Rgb(255, 150, 190), Rgb(190, 250, 255), Rgb(60, 180, 160), Rgb(15, 70, 80), 22, 1};
    }
}

constexpr int kBackCount = 3;
constexpr int kBackSpan = 510;  // texels of a background shown on screen (columns 1..510)
constexpr float kPanorama = static_cast<float>(kBackCount * kBackSpan);

// The panorama at s (0..kPanorama, wrapping; s grows leftwards on screen)
// and row y of the 512-row background.
TColor Panorama(const TTheme& t, float s, float y) {
    const float v = y / 512.0f;
    TColor c = Mix(t.SkyTop, t.SkyBottom, std::pow(v, 0.8f));
    const float n = Fbm(s / 255.0f, y / 255.0f, t.Seed, 4, kPanorama / 255.0f);
    c = Mix(c, Scale(c, 1.4f), (n - 0.45f) * 0.9f);
    switch (t.Kind) {
        case 0: {
            // Stars above, a glowing horizon and a neon grid below it.
            const float horizon = 330;
            const float star = Hash01(static_cast<std::uint32_t>(std::fmod(std::floor(s), kPanorama)), static_cast<std::uint32_t>(y), t.Seed);
            if (y < horizon && star > 0.9965f) c = Mix(c, Rgb(255, 255, 255), (star - 0.9965f) / 0.0035f);
            c = Mix(c, t.Haze, std::exp(-std::abs(y - horizon) / 18.0f) * 0.7f);
            if (y > horizon) {
                const float depth = (y - horizon) / (512 - horizon);
                const float rowPhase = std::fmod(1.0f / (depth + 0.08f) * 3.0f, 1.0f);
                const float hLine = std::exp(-std::abs(rowPhase - 0.5f) * 40.0f * (0.3f + depth));
                const float cols = kPanorama / 51.0f;
                const float lane = std::fmod(s / kPanorama * cols + 1000.0f, 1.0f);
                const float vLine = std::exp(-std::abs(lane - 0.5f) * 60.0f);
                c = Mix(c, t.Glow, Clamp01((hLine + vLine) * (0.25f + 0.6f * depth)));
            }
            break;
        }
        case 2: {
            // Veins: ridges of noise, and a glow of light in the middle.
            const float ridge = 1.0f - std::abs(Fbm(s / 85.0f, y / 85.0f, t.Seed + 5, 3, kPanorama / 85.0f) * 2 - 1);
            c = Mix(c, t.Haze, std::pow(ridge, 8.0f) * 0.45f);
            c = Mix(c, Rgb(255, 190, 150), std::exp(-std::pow((y - 230) / 120.0f, 2.0f)) * 0.18f);
            break;
        }
        default: {
            // Light rays from the surface and a reef far behind.
            const float ray = std::pow(std::max(0.0f, std::sin(2 * kPi * s / 255.0f + y * 0.0035f)), 10.0f);
            c = Mix(c, t.Haze, ray * (1 - v) * 0.35f);
            const float caustic = Fbm(s / 40.0f, y / 30.0f, t.Seed + 9, 2, kPanorama / 40.0f);
            c = Mix(c, t.Haze, Clamp01((caustic - 0.6f) * 3) * (1 - v) * 0.3f);
            const float reef = 390 + 50 * Fbm(s / 170.0f, 3.0f, t.Seed + 3, 3, kPanorama / 170.0f);
            if (y > reef) c = Mix(c, Scale(t.PropDark, 0.8f), Clamp01((y - reef) / 6) * 0.75f);
            break;
        }
    }
    return c;
}

TCanvas DrawBack(const TTheme& t, int index) {
    TCanvas c(512, 512);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            // Column tx shows panorama position index x 510 + 510.5 - tx, so
            // this background's left edge meets the next one's right edge.
            float s = static_cast<float>(index * kBackSpan) + 510.5f - static_cast<float>(std::clamp(x, 1, 510));
            s = std::fmod(s + kPanorama, kPanorama);
            c.Set(x, y, Panorama(t, s, static_cast<float>(y) + 0.5f));
        }
    return c;
}

// ---------------------------------------------------------------------------
// Decor sprites: where they are on the four decor sheets.

struct TSpriteSlot {
    int Image;
    TBox Rect;
};
std::vector<TSpriteSlot> SpriteLayout() {
    std::vector<TSpriteSlot> s;
    s.push_back({0, {0, 0, 240, 100}});    // 0: floor strip, tiles every 240
    s.push_back({0, {0, 104, 240, 164}});  // 1: ceiling strip, tiles every 240
    for (int i = 0; i < 4; ++i) s.push_back({1, {(i % 2) * 128, (i / 2) * 128, (i % 2) * 128 + 128, (i / 2) * 128 + 128}});
    for (int i = 0; i < 16; ++i) s.push_back({2, {(i % 4) * 64, (i / 4) * 64, (i % 4) * 64 + 64, (i / 4) * 64 + 64}});
    s.push_back({3, {0, 0, 128, 256}});    // 22, 23: tall strands
    s.push_back({3, {128, 0, 256, 256}});
    return s;
}
constexpr int kFloorSprite = 0, kCeilingSprite = 1, kFirstBig = 2, kFirstSmall = 6, kFirstTall = 22;
constexpr int kStripWidth = 240;

// A periodic height profile over the strip's width.
float Profile(const TTheme& t, float x, int which) {
    const float u = x / static_cast<float>(kStripWidth);
    return 10.0f * std::sin(2 * kPi * u + static_cast<float>(which)) + 6.0f * std::sin(2 * kPi * 3 * u + 1.3f) +
           10.0f * (Fbm(u * 4, static_cast<float>(which) * 7, t.Seed + 40, 3, 4) - 0.5f);
}

TCanvas DrawStrip(const TTheme& t, int w, int h, bool ceiling) {
    TCanvas c(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float px = static_cast<float>(x) + 0.5f;
            // Distance below the surface (for the ceiling: above, mirrored).
            const float yy = ceiling ? static_cast<float>(h - y) - 0.5f : static_cast<float>(y) + 0.5f;
            const float surface = (ceiling ? 24.0f : 36.0f) + Profile(t, px, ceiling ? 1 : 0);
            const float depth = yy - surface;
            const float cover = Clamp01(depth + 0.5f);
            if (cover <= 0) continue;
            const float v = Clamp01(depth / (static_cast<float>(h) - surface));
            TColor col = Mix(t.Ground, t.GroundDark, std::pow(v, 0.7f));
            const float grain = Fbm(px / 12.0f, yy / 12.0f, t.Seed + 50, 3, static_cast<float>(w) / 12.0f);
            col = Mix(col, Scale(col, 0.7f), Clamp01(grain - 0.35f));
            // Pebbles, lights or cells, repeating with the strip.
            const int cellX = static_cast<int>(px / 20.0f), cellY = static_cast<int>(yy / 20.0f);
            const float rx = Hash01(static_cast<std::uint32_t>(cellX % (w / 20)), static_cast<std::uint32_t>(cellY), t.Seed + 60);
            const TVec dot{(static_cast<float>(cellX) + 0.5f) * 20.0f, (static_cast<float>(cellY) + 0.5f) * 20.0f};
            const float r = 3.0f + 4.0f * rx;
            if (rx > 0.45f && depth > 8) {
                const float d = Length(TVec{px, yy} - dot) - r;
                const TColor dc = t.Kind == 0 ? t.Glow : Mix(t.Ground, Rgb(255, 255, 255), 0.3f);
                col = Mix(col, dc, Clamp01(0.5f - d) * (t.Kind == 0 ? 0.8f : 0.5f));
            }
            // A lit rim along the surface.
            const float rim = std::exp(-depth / 2.5f);
            col = Mix(col, t.Kind == 0 ? t.Accent : Mix(t.Ground, Rgb(255, 255, 255), 0.5f), rim * 0.8f);
            c.Blend(x, y, col, cover);
        }
    return c;
}

TCanvas DrawBig(const TTheme& t, int which) {
    TCanvas c(128, 128);
    const TBox all{0, 0, 128, 128};
    const std::uint32_t seed = t.Seed * 31u + static_cast<std::uint32_t>(which);
    switch (which) {
        case 0: {
            // A cluster of round cells or lights.
            for (int i = 0; i < 7; ++i) {
                const TVec at{30 + Hash01(seed, static_cast<std::uint32_t>(i), 1) * 68, 40 + Hash01(seed, static_cast<std::uint32_t>(i), 2) * 55};
                const float r = 10 + Hash01(seed, static_cast<std::uint32_t>(i), 3) * 16;
                const TColor col = Mix(t.Prop, t.Accent, Hash01(seed, static_cast<std::uint32_t>(i), 4) * 0.6f);
                c.FillSolid(all, [&](TVec p) { return SdCircle(p, at, r) - 1.5f; }, t.PropDark);
                c.Fill(all, [&](TVec p) { return SdCircle(p, at, r); }, [&](TVec p) { return SphereShade(p, at, r, col, 0.6f); });
            }
            break;
        }
        case 1: {
            // A ring (a torus seen from the side).
            const TVec m{64, 64};
            c.FillSolid(all, [&](TVec p) { return std::abs(SdEllipse(p, m, 46, 30)) - 12; }, t.PropDark);
            c.Fill(all, [&](TVec p) { return std::abs(SdEllipse(p, m, 46, 30)) - 10; }, [&](TVec p) {
                const float band = std::abs(SdEllipse(p, m, 46, 30)) / 10;
                const float up = (m.Y - p.Y) / 30;
                return Mix(Mix(t.Prop, Rgb(255, 255, 255), 0.35f * Clamp01(up + 0.3f)), Scale(t.Prop, 0.5f), band);
            });
            if (t.Kind == 0) c.AddGlow(4, t.Accent, 0.8f);
            break;
        }
        case 2: {
            // A branching growth from the ground.
            struct TBranch {
                TVec a, b;
                float r;
            };
            std::vector<TBranch> branches;
            std::vector<TBranch> grow = {{{64, 126}, {64, 80}, 8}};
            for (int level = 0; level < 4; ++level) {
                std::vector<TBranch> next;
                for (const TBranch& br : grow) {
                    branches.push_back(br);
                    const TVec dir = br.b - br.a;
                    for (float side : {-1.0f, 1.0f}) {
                        const float ang = side * (0.45f + 0.3f * Hash01(seed, static_cast<std::uint32_t>(level), static_cast<std::uint32_t>(branches.size())));
                        const TVec d = Rotate(dir, ang) * 0.72f;
                        next.push_back({br.b, br.b + d, br.r * 0.68f});
                    }
                }
                grow = next;
            }
            for (const TBranch& br : grow) branches.push_back(br);
            auto tree = [&](TVec p) {
                float d = 1e9f;
                for (const TBranch& br : branches) d = std::min(d, SdCapsule(p, br.a, br.b, br.r, br.r * 0.75f));
                return d;
            };
            c.FillSolid(all, [&](TVec p) { return tree(p) - 1.5f; }, t.PropDark);
            c.Fill(all, tree, [&](TVec p) { return Mix(Mix(t.Accent, t.Prop, 0.3f), t.Prop, Clamp01(p.Y / 128)); });
            for (const TBranch& br : grow)
                c.Fill(all, [&](TVec p) { return SdCircle(p, br.b, br.r * 1.6f + 1.5f); },
                       [&](TVec p) { return SphereShade(p, br.b, br.r * 1.6f + 1.5f, t.Accent, 0.7f); });
            break;
        }
        default: {
            // A rounded rock or disc with spots.
            const TVec m{64, 78};
            auto rock = [&](TVec p) {
                const float a = std::atan2(p.Y - m.Y, p.X - m.X);
                const float wob = 4 * std::sin(a * 3 + 1) + 3 * std::sin(a * 5 + 2);
                return std::max(SdEllipse(p, m, 56 + wob, 44 + wob), p.Y - 124);
            };
            c.FillSolid(all, [&](TVec p) { return rock(p) - 1.5f; }, t.PropDark);
            c.Fill(all, rock, [&](TVec p) {
                TColor col = SphereShade(p, {m.X, m.Y}, 58, t.Prop, 0.3f);
                const float n = Fbm(p.X / 14, p.Y / 14, seed, 3);
                return Mix(col, Scale(col, 0.7f), Clamp01((n - 0.5f) * 3));
            });
            for (int i = 0; i < 5; ++i) {
                const TVec at{30 + Hash01(seed, static_cast<std::uint32_t>(i), 7) * 68, 50 + Hash01(seed, static_cast<std::uint32_t>(i), 8) * 50};
                c.Fill(all, [&](TVec p) { return std::max(SdCircle(p, at, 4 + 3 * Hash01(seed, static_cast<std::uint32_t>(i), 9)), rock(p) + 3); },
                       [&](TVec p) { return SphereShade(p, at, 6, t.Accent, 0.8f); });
            }
            break;
        }
    }
    c.KeepOnly({1, 1, 127, 127});
    return c;
}

TCanvas DrawSmall(const TTheme& t, int which) {
    TCanvas c(64, 64);
    const TBox all{0, 0, 64, 64};
    const TVec m{32, 32};
    const std::uint32_t seed = t.Seed * 57u + static_cast<std::uint32_t>(which);
    const TColor col = Mix(t.Glow, t.Accent, Hash01(seed, 1));
    switch (which % 4) {
        case 0:  // a bubble
            c.Fill(all, [&](TVec p) { return SdCircle(p, m, 20 + 8 * Hash01(seed, 2)); }, [&](TVec p) {
                const float d = Clamp01(Length(p - m) / (20 + 8 * Hash01(seed, 2)));
                return Mix(WithAlpha(col, 0.12f), WithAlpha(Mix(col, Rgb(255, 255, 255), 0.5f), 0.85f), std::pow(d, 5.0f));
            });
            c.FillSolid(all, [&](TVec p) { return SdEllipse(p, {m.X - 8, m.Y - 9}, 6, 4); }, Rgb(255, 255, 255, 0.85f), 2);
            break;
        case 1: {  // a star or plankton
            const int arms = 5 + static_cast<int>(Hash01(seed, 3) * 4);
            std::vector<TVec> star;
            for (int i = 0; i < arms * 2; ++i) {
                const float a = Hash01(seed, 4) * 6.28f + kPi * static_cast<float>(i) / static_cast<float>(arms);
                const float r = (i % 2 == 0) ? 24.0f : 10.0f;
                star.push_back({m.X + r * std::cos(a), m.Y + r * std::sin(a)});
            }
            c.FillSolid(all, [&](TVec p) { return SdPolygon(p, star) - 2.5f; }, Scale(col, 0.35f));
            c.Fill(all, [&](TVec p) { return SdPolygon(p, star) + 1.0f; }, [&](TVec p) { return SphereShade(p, m, 24, col, 0.6f); });
            break;
        }
        case 2:  // a cluster of dots
            for (int i = 0; i < 6; ++i) {
                const TVec at{14 + Hash01(seed, static_cast<std::uint32_t>(i), 5) * 36, 14 + Hash01(seed, static_cast<std::uint32_t>(i), 6) * 36};
                const float r = 4 + Hash01(seed, static_cast<std::uint32_t>(i), 7) * 6;
                c.Fill(all, [&](TVec p) { return SdCircle(p, at, r); }, [&](TVec p) { return SphereShade(p, at, r, col, 0.8f); });
            }
            break;
        default:  // a soft glow with a bright middle
            c.Shade(all, [&](TVec p) {
                const float d = Length(p - m) / 28;
                return WithAlpha(Mix(col, Rgb(255, 255, 255), Clamp01(1 - d * 2)), Clamp01(std::exp(-d * d * 4) * Clamp01(1.2f - d)));
            });
            break;
    }
    c.AddGlow(2, col, 0.4f);
    c.KeepOnly({1, 1, 63, 63});
    return c;
}

TCanvas DrawTall(const TTheme& t, int which) {
    TCanvas c(128, 256);
    const TBox all{0, 0, 128, 256};
    const std::uint32_t seed = t.Seed * 91u + static_cast<std::uint32_t>(which);
    for (int k = 0; k < 3; ++k) {
        const float baseX = 30 + static_cast<float>(k) * 32 + 8 * Hash01(seed, static_cast<std::uint32_t>(k));
        const float top = 40 + 60 * Hash01(seed, static_cast<std::uint32_t>(k), 2);
        const float phase = Hash01(seed, static_cast<std::uint32_t>(k), 3) * 6.28f;
        auto strand = [&](TVec p) {
            if (p.Y < top - 8) return 1e9f;
            const float u = Clamp01((255 - p.Y) / (255 - top));
            const float cx = baseX + 12 * u * std::sin(u * 7 + phase);
            const float half = 7 * (1 - u * 0.7f);
            return std::max(std::abs(p.X - cx) - half, std::max(top - p.Y, p.Y - 255));
        };
        const TColor col = Mix(t.Prop, t.Accent, 0.25f * static_cast<float>(k));
        c.FillSolid(all, [&](TVec p) { return strand(p) - 1.5f; }, t.PropDark);
        c.Fill(all, strand, [&](TVec p) { return Mix(Mix(col, Rgb(255, 255, 255), 0.25f), Scale(col, 0.55f), Clamp01(p.Y / 256)); });
        c.Fill(all, [&](TVec p) { return SdCircle(p, {baseX + 12 * std::sin(7 + phase), top}, 7); },
               [&](TVec p) { return SphereShade(p, {baseX + 12 * std::sin(7 + phase), top}, 7, t.Accent, 0.8f); });
    }
    if (t.Kind == 0) c.AddGlow(3, t.Glow, 0.7f);
    c.KeepOnly({1, 1, 127, 255});
    return c;
}

std::uint32_t Argb(TColor c) {
    auto b = [](float v) { return static_cast<std::uint32_t>(std::lround(Clamp01(v) * 255.0f)); };
    return (b(c.A) << 24) | (b(c.R) << 16) | (b(c.G) << 8) | b(c.B);
}

// Places the props along both layers. Every item lies within its layer's
// loop (x - width >= 0, x <= loop length / factor), and items go in order
// of their left edges, so that the copies the scenery reader appends after
// the loop continue the strip without a seam.
TSceneryFile PlaceScenery(const TTheme& t, int slot, const std::vector<TSpriteBoundary>& sprites) {
    TSceneryFile file;
    for (int i = 0; i < kBackCount; ++i) {
        TBackgroundEntry b;
        b.Image = i;
        b.Colors.fill(0xFFFFFFFFu);
        file.Backgrounds.push_back(b);
    }
    const std::int32_t loop = kBackCount * kBackgroundSpan;
    auto widthOf = [&](int id, float scale) {
        const TSpriteBoundary& s = sprites[static_cast<std::size_t>(id)];
        return static_cast<std::int32_t>(std::ceil(static_cast<float>(s.Right - s.Left) * scale));
    };
    auto heightOf = [&](int id, float scale) {
        const TSpriteBoundary& s = sprites[static_cast<std::size_t>(id)];
        return static_cast<std::int32_t>(std::ceil(static_cast<float>(s.Bottom - s.Top) * scale));
    };
    TRandom rnd(t.Seed * 7919u + static_cast<std::uint32_t>(slot));
    for (int layer = 0; layer < kSceneryLayerCount; ++layer) {
        const auto length = static_cast<std::int32_t>(static_cast<double>(loop) / kSceneryLayerFactors[static_cast<std::size_t>(layer)]);
        std::vector<TDecorItem>& items = file.Layers[static_cast<std::size_t>(layer)];
        auto add = [&](int id, std::int32_t x, std::int32_t y, float scale, TColor tint) {
            TDecorItem item;
            item.SpriteId = id;
            item.X = std::clamp(x, widthOf(id, scale), length);
            item.Y = y;
            item.ScaleX = item.ScaleY = scale;
            item.Colors.fill(Argb(tint));
            items.push_back(item);
        };
        if (layer == 0) {
            // The floor, tile by tile; the tunnel also has a ceiling.
            for (std::int32_t x = kStripWidth; x <= length; x += kStripWidth) {
                add(kFloorSprite, x, 600 - heightOf(kFloorSprite, 1), 1.0f, Rgb(255, 255, 255));
                if (t.Kind == 2) add(kCeilingSprite, x, 0, 1.0f, Rgb(255, 255, 255));
            }
            // Props standing on the floor, and strands.
            for (std::int32_t x = 300; x < length - 100;) {
                const bool tall = rnd.Below(4) == 0;
                const int id = tall ? kFirstTall + static_cast<int>(rnd.Below(2)) : kFirstBig + static_cast<int>(rnd.Below(4));
                const float scale = tall ? 0.9f + 0.3f * static_cast<float>(rnd.Uniform()) : 0.8f + 0.5f * static_cast<float>(rnd.Uniform());
                add(id, x, 600 - 52 - heightOf(id, scale) + static_cast<std::int32_t>(rnd.Below(20)), scale, Rgb(255, 255, 255));
                x += 380 + static_cast<std::int32_t>(rnd.Below(420));
            }
        } else {
            // Far away: dimmer props and floating bits, more slowly.
            const TColor far = WithAlpha(Mix(Rgb(255, 255, 255), t.SkyBottom, 0.35f), 0.8f);
            for (std::int32_t x = 150; x < length - 60;) {
                const bool big = rnd.Below(3) == 0;
                const int id = big ? kFirstBig + static_cast<int>(rnd.Below(4)) : kFirstSmall + static_cast<int>(rnd.Below(16));
                const float scale = big ? 0.5f + 0.3f * static_cast<float>(rnd.Uniform()) : 0.5f + 0.7f * static_cast<float>(rnd.Uniform());
                const std::int32_t y = big ? 600 - 70 - heightOf(id, scale) : 90 + static_cast<std::int32_t>(rnd.Below(360));
                add(id, x, y, scale, big ? far : WithAlpha(Rgb(255, 255, 255), 0.85f));
                x += 120 + static_cast<std::int32_t>(rnd.Below(260));
            }
        }
        std::stable_sort(items.begin(), items.end(), [&](const TDecorItem& a, const TDecorItem& b) {
            return ComputeDecorExtent(a, sprites[static_cast<std::size_t>(a.SpriteId)]).Left <
                   ComputeDecorExtent(b, sprites[static_cast<std::size_t>(b.SpriteId)]).Left;
        });
    }
    return file;
}

}  // namespace

TSceneryArt DrawScenery(int slot) {
    const TTheme t = ThemeOf(slot);
    TSceneryArt art;
    for (int i = 0; i < kBackCount; ++i) art.Back[static_cast<std::size_t>(i)] = DrawBack(t, i);
    for (TCanvas& d : art.Decor) d = TCanvas(256, 256);
    const std::vector<TSpriteSlot> layout = SpriteLayout();
    for (std::size_t id = 0; id < layout.size(); ++id) {
        const TSpriteSlot& s = layout[id];
        const int w = s.Rect.Right - s.Rect.Left, h = s.Rect.Bottom - s.Rect.Top;
        TCanvas sprite;
        const int i = static_cast<int>(id);
        if (i == kFloorSprite || i == kCeilingSprite)
            sprite = DrawStrip(t, w, h, i == kCeilingSprite);
        else if (i < kFirstSmall)
            sprite = DrawBig(t, i - kFirstBig);
        else if (i < kFirstTall)
            sprite = DrawSmall(t, i - kFirstSmall);
        else
            sprite = DrawTall(t, i - kFirstTall);
        art.Decor[static_cast<std::size_t>(s.Image)].Draw(sprite, s.Rect.Left, s.Rect.Top);
        art.Sprites.push_back({s.Image, s.Rect.Left, s.Rect.Top, s.Rect.Right, s.Rect.Bottom});
    }
    art.Scenery = PlaceScenery(t, slot, art.Sprites);

    // The thumbnail: the scenery with a few of its creatures.
    TCanvas frame = ComposeScenery(art, 1200.0f);
    TCanvas actors(800, 600);
    if (slot == kDuelSlot) {
        DrawCannon(actors, {0, 300}, 2.2f, false);
        TCanvas other(800, 600);
        DrawCannon(other, {0, 300}, 2.2f, true);
        // Mirrored: the opponent faces the player.
        TCanvas mirrored(800, 600);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) mirrored.Set(x, y, other.Get(799 - x, y));
        actors.Draw(mirrored, 0, 0);
        DrawVirusFrame(actors, {400, 300}, 3.0f, 1, 0);
        TTextStyle s;
        s.Size = 110;
        s.Top = Rgb(255, 240, 150);
        s.Bottom = Rgb(255, 90, 40);
        s.Outline = 6;
        s.OutlineColor = Rgb(40, 10, 60);
        DrawLabel(actors, "DUEL", 400, 500, 2, s);
    } else {
        DrawNivletFrame(actors, {200, 260}, 1.6f, slot == kMainSlot ? 7 : 13, 1);
        DrawVirusFrame(actors, {600, 200}, 3.2f, slot == kMainSlot ? 0 : 2, 2);
        DrawVirusFrame(actors, {560, 430}, 2.2f, 5, 6);
    }
    actors.AddGlow(6, Rgb(255, 255, 255), 0.3f);
    frame.Draw(actors, 0, 0);
    art.Thumb = TCanvas(kThumbWidth, kThumbHeight);
    TCanvas small = frame;
    small.Blur(2);
    art.Thumb.DrawScaled(small, 0, 0, kThumbWidth, kThumbHeight);
    art.Thumb.Flatten(Rgb(0, 0, 0));
    return art;
}

TCanvas ComposeScenery(const TSceneryArt& art, float position) {
    TSpriteBoundaries boundaries;
    boundaries.Load(WriteSpriteBoundaries(0, art.Sprites));
    TScenarioDataReader reader(WriteScenarioData(art.Scenery), boundaries);
    reader.SetPosition(position);
    TCanvas out(800, 600, Rgb(0, 0, 0));
    const TBackgroundView view = reader.GetBackgrounds();
    const d3d::RECT r = FixedSpriteTable[0].Rect;
    auto back = [&](const TBackgroundEntry* entry, float x) {
        if (!entry) return;
        const TCanvas part = art.Back[static_cast<std::size_t>(entry->Image)].Crop({r.left, r.top, r.right, r.bottom});
        out.DrawScaled(part, x, 0, 800, 600);
    };
    back(view.Current, static_cast<float>(view.Offset));
    if (view.Offset != 0) back(view.Next, static_cast<float>(view.Offset - 800));
    for (int layer = kSceneryLayerCount - 1; layer >= 0; --layer) {
        const std::int32_t p = reader.LayerPosition(layer);
        const TScenarioLayer& items = reader.Layer(layer);
        for (std::int32_t index : reader.ActiveItems(layer)) {
            const TDecorItem& item = items.Items[static_cast<std::size_t>(index)];
            const TSpriteBoundary& s = art.Sprites[static_cast<std::size_t>(item.SpriteId)];
            TCanvas sprite = art.Decor[static_cast<std::size_t>(s.ImageValue)].Crop({s.Left, s.Top, s.Right, s.Bottom});
            const std::uint32_t c = item.Colors[0];
            const float tint[4] = {static_cast<float>((c >> 16) & 0xFF) / 255.0f, static_cast<float>((c >> 8) & 0xFF) / 255.0f,
                                   static_cast<float>(c & 0xFF) / 255.0f, static_cast<float>(c >> 24) / 255.0f};
            for (std::size_t k = 0; k < sprite.Pixels().size(); k += 4) {
                for (std::size_t ch = 0; ch < 3; ++ch) sprite.Pixels()[k + ch] *= tint[ch] * tint[3];
                sprite.Pixels()[k + 3] *= tint[3];
            }
            const float x = static_cast<float>(p + 800 - item.X);
            out.DrawScaled(sprite, x, static_cast<float>(item.Y), static_cast<float>(s.Right - s.Left) * item.ScaleX,
                           static_cast<float>(s.Bottom - s.Top) * item.ScaleY);
        }
    }
    return out;
}

}  // namespace qv::gen::pic
