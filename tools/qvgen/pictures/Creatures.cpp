// The creatures: six kinds of spiky viruses and the nivlets, round little
// swimmers with a long wavy tail, in their colour themes.
#include <array>

#include "game/data/qv3CreatureTypes.h"
#include "tools/qvgen/pictures/Art.h"

namespace qv::gen::pic {

namespace {

struct TVirusLook {
    TColor Body, Spike, Tip;
    int Spikes;
    float SpikeLength;
};
const std::array<TVirusLook, 6> kVirusLooks = {{
    {Rgb(96, 200, 60), Rgb(60, 150, 40), Rgb(210, 255, 120), 10, 10},   // green
    {Rgb(170, 80, 220), Rgb(120, 50, 170), Rgb(255, 170, 255), 8, 11},   // purple, turning
    {Rgb(225, 50, 60), Rgb(160, 30, 40), Rgb(255, 170, 120), 14, 6},     // red, stubby
    {Rgb(250, 140, 30), Rgb(190, 90, 20), Rgb(255, 230, 110), 9, 8},     // orange splitter
    {Rgb(120, 210, 190), Rgb(60, 140, 130), Rgb(220, 255, 240), 6, 5},   // the cork chain
    {Rgb(40, 150, 240), Rgb(20, 90, 180), Rgb(160, 240, 255), 16, 9},    // blue, fanged
}};

TColor Darker(TColor c, float k = 0.3f) { return {c.R * k, c.G * k, c.B * k, 1}; }

// An eye looking left (the way the creatures swim): white, pupil, shine.
void DrawEye(TCanvas& c, TVec at, float r, float openness, float angry, bool leftSide) {
    const TBox box = BoxAround(at, r + 2, r + 2);
    if (openness < 0.25f) {
        // Closed: a curved lid line.
        c.FillSolid(box, [&](TVec p) {
            const float dx = (p.X - at.X) / r;
            const float y = at.Y + r * 0.25f * (1 - dx * dx);
            return std::max(std::abs(p.Y - y) - r * 0.18f, std::abs(p.X - at.X) - r);
        }, Rgb(20, 10, 20));
        return;
    }
    const float ry = r * openness;
    c.FillSolid(box, [&](TVec p) { return SdEllipse(p, at, r + 1.2f, ry + 1.2f); }, Rgb(25, 10, 25));
    c.Fill(box, [&](TVec p) { return SdEllipse(p, at, r, ry); },
           [&](TVec p) { return Mix(Rgb(255, 255, 255), Rgb(200, 200, 215), Clamp01((p.Y - at.Y + ry) / (2 * ry))); });
    const TVec pupil{at.X - r * 0.35f, at.Y + r * 0.1f};
    c.Fill(box, [&](TVec p) { return std::max(SdCircle(p, pupil, r * 0.55f), SdEllipse(p, at, r, ry)); },
           [](TVec) { return Rgb(15, 10, 20); });
    c.FillSolid(box, [&](TVec p) { return SdCircle(p, {pupil.X - r * 0.18f, pupil.Y - r * 0.22f}, r * 0.18f); },
                Rgb(255, 255, 255, 0.95f));
    if (angry > 0) {
        // A slanted brow over the eye, lower towards the nose.
        const float s = leftSide ? -1.0f : 1.0f;
        const TVec a{at.X - r * 1.1f, at.Y - ry - r * (0.25f + 0.35f * (s > 0 ? 1 : 0))};
        const TVec b{at.X + r * 1.1f, at.Y - ry - r * (0.25f + 0.35f * (s > 0 ? 0 : 1))};
        c.FillSolid(BoxAround(at, r * 1.6f, r * 2.2f), [&](TVec p) { return SdCapsule(p, a, b, r * 0.28f * angry, r * 0.2f * angry); },
                    Rgb(30, 10, 20));
    }
}

// A grinning mouth with teeth.
void DrawMouth(TCanvas& c, TVec at, float w, float h, bool fangs) {
    const TBox box = BoxAround(at, w + 2, h + 2);
    auto mouth = [&](TVec p) {
        // The lower half of an ellipse.
        const float e = SdEllipse(p, at, w, h);
        return std::max(e, at.Y - p.Y - h * 0.15f);
    };
    c.FillSolid(box, [&](TVec p) { return mouth(p) - 1.0f; }, Rgb(30, 5, 15));
    c.FillSolid(box, mouth, Rgb(120, 20, 40));
    const int teeth = fangs ? 2 : 4;
    for (int i = 0; i < teeth; ++i) {
        const float tx = at.X - w * 0.7f + (w * 1.4f) * (static_cast<float>(i) + 0.5f) / static_cast<float>(teeth);
        const float tw = w * (fangs ? 0.22f : 0.16f), th = h * (fangs ? 0.8f : 0.45f);
        std::vector<TVec> tri = {{tx - tw, at.Y - h * 0.12f}, {tx + tw, at.Y - h * 0.12f}, {tx, at.Y - h * 0.12f + th}};
        c.Fill(box, [&](TVec p) { return std::max(SdPolygon(p, tri), mouth(p)); }, [](TVec) { return Rgb(250, 250, 235); });
    }
}

void DrawSpikyBody(TCanvas& c, TVec centre, float r, const TVirusLook& look, int spikes, float spikeLen, float rotation,
                   float phase, float pulse) {
    struct TSpike {
        TVec a, b;
        float tip;
    };
    std::vector<TSpike> list;
    for (int i = 0; i < spikes; ++i) {
        const float ang = rotation + 2 * kPi * static_cast<float>(i) / static_cast<float>(spikes);
        const float len = spikeLen * (1.0f + pulse * std::sin(phase * 2 + static_cast<float>(i) * 1.7f));
        const TVec dir{std::cos(ang), std::sin(ang)};
        list.push_back({centre + dir * (r * 0.7f), centre + dir * (r + len), std::max(2.2f, r * 0.16f)});
    }
    const float reach = r + spikeLen * (1 + pulse) + 5;
    const TBox box = BoxAround(centre, reach, reach);
    auto spikesSd = [&](TVec p) {
        float d = 1e9f;
        for (const TSpike& s : list) {
            d = std::min(d, SdCapsule(p, s.a, s.b, s.tip * 1.1f, s.tip * 0.55f));
            d = std::min(d, SdCircle(p, s.b, s.tip));
        }
        return d;
    };
    auto all = [&](TVec p) { return std::min(spikesSd(p), SdCircle(p, centre, r)); };
    c.FillSolid(box, [&](TVec p) { return all(p) - 1.4f; }, Darker(look.Spike, 0.25f));
    c.Fill(box, spikesSd, [&](TVec p) {
        const float t = Clamp01((Length(p - centre) - r) / (spikeLen + 2));
        return Mix(look.Spike, look.Tip, t * t);
    });
    c.Fill(box, [&](TVec p) { return SdCircle(p, centre, r); }, [&](TVec p) {
        // Sphere shading with a few darker blotches.
        TColor base = look.Body;
        const float n = Noise((p.X - centre.X) * 0.25f + 7, (p.Y - centre.Y) * 0.25f + 3, 17);
        base = Mix(base, Scale(look.Body, 0.75f), Smooth(0.55f, 0.75f, n) * 0.6f);
        return SphereShade(p, centre, r, base, 0.7f);
    });
}

}  // namespace

void DrawVirusFrame(TCanvas& c, TVec centre, float scale, int kind, int frame) {
    const TVirusLook& look = kVirusLooks[static_cast<std::size_t>(kind)];
    const float t = static_cast<float>(frame) / 12.0f;  // one loop over the 12 frames
    const float phase = 2 * kPi * t;
    const bool blink = frame == 9 || frame == 10;
    const float open = frame == 9 ? 0.45f : blink ? 0.0f : 1.0f;
    switch (kind) {
        case 1: {
            // Turning star with one big eye.
            const float r = 16.0f * scale;
            DrawSpikyBody(c, centre, r, look, look.Spikes, look.SpikeLength * scale, phase / 8 * 1.0f, phase, 0.12f);
            DrawEye(c, {centre.X - 1 * scale, centre.Y - 2 * scale}, 7.5f * scale, open, 1.0f, false);
            DrawMouth(c, {centre.X - 1 * scale, centre.Y + 8 * scale}, 6 * scale, 3.5f * scale, false);
            break;
        }
        case 2: {
            // Blobby and wobbling, short spikes.
            const float r = (18.0f + 1.2f * std::sin(phase)) * scale;
            DrawSpikyBody(c, centre, r, look, look.Spikes, look.SpikeLength * scale, phase / 14, phase, 0.3f);
            DrawEye(c, {centre.X - 7 * scale, centre.Y - 4 * scale}, 5 * scale, open, 0.8f, true);
            DrawEye(c, {centre.X + 5 * scale, centre.Y - 4 * scale}, 5 * scale, open, 0.8f, false);
            DrawMouth(c, {centre.X - 1 * scale, centre.Y + 7 * scale}, 9 * scale, 5 * scale, false);
            break;
        }
        case 3: {
            // The splitter: two lobes pulling apart and back.
            const float apart = (7.0f + 3.0f * std::sin(phase)) * scale;
            const float r = 13.5f * scale;
            const TVec a{centre.X - apart, centre.Y}, b{centre.X + apart, centre.Y};
            DrawSpikyBody(c, b, r, look, look.Spikes, look.SpikeLength * scale, -phase / 9, phase + 1, 0.2f);
            DrawSpikyBody(c, a, r, look, look.Spikes, look.SpikeLength * scale, phase / 9, phase, 0.2f);
            // The waist where they join.
            c.Fill(BoxAround(centre, apart + 4, r), [&](TVec p) { return SdCapsule(p, a, b, r * 0.55f, r * 0.55f); },
                   [&](TVec p) { return SphereShade(p, centre, apart + r * 0.6f, look.Body, 0.2f); });
            DrawEye(c, {a.X - 1 * scale, a.Y - 3 * scale}, 4.5f * scale, open, 1.0f, true);
            DrawEye(c, {b.X - 2 * scale, b.Y - 3 * scale}, 4.5f * scale, open, 1.0f, false);
            DrawMouth(c, {a.X, a.Y + 6 * scale}, 5 * scale, 3 * scale, false);
            DrawMouth(c, {b.X - 1 * scale, b.Y + 6 * scale}, 5 * scale, 3 * scale, false);
            break;
        }
        case 5: {
            // Many thin spikes, fangs, a wobbling crown of tips.
            const float r = 16.5f * scale;
            DrawSpikyBody(c, centre, r, look, look.Spikes, look.SpikeLength * scale, phase / 16, phase * 2, 0.18f);
            DrawEye(c, {centre.X - 7 * scale, centre.Y - 5 * scale}, 4.5f * scale, open, 1.2f, true);
            DrawEye(c, {centre.X + 4 * scale, centre.Y - 5 * scale}, 4.5f * scale, open, 1.2f, false);
            DrawMouth(c, {centre.X - 2 * scale, centre.Y + 5 * scale}, 9 * scale, 6 * scale, true);
            break;
        }
        default: {
            const float r = (17.0f + 0.8f * std::sin(phase)) * scale;
            DrawSpikyBody(c, centre, r, look, look.Spikes, look.SpikeLength * scale, phase / 10, phase, 0.15f);
            DrawEye(c, {centre.X - 6.5f * scale, centre.Y - 4 * scale}, 5 * scale, open, 1.0f, true);
            DrawEye(c, {centre.X + 5 * scale, centre.Y - 4 * scale}, 5 * scale, open, 1.0f, false);
            DrawMouth(c, {centre.X - 1 * scale, centre.Y + 7 * scale}, 7 * scale, 4 * scale, true);
            break;
        }
    }
}

namespace {

// The cork: a chain of spiky balls led by an angry head, swaying.
void DrawCorkFrame(TCanvas& c, int frame, int frames) {
    const TVirusLook& look = kVirusLooks[4];
    const float phase = 2 * kPi * static_cast<float>(frame) / static_cast<float>(frames);
    const float mid = static_cast<float>(c.Height()) / 2;
    const int balls = 6;
    // From the tail (right) to the head (left), so the head is on top.
    for (int i = balls - 1; i >= 0; --i) {
        const float r = 13.0f - 1.4f * static_cast<float>(i);
        const float x = 18.0f + static_cast<float>(i) * 23.0f;
        const float y = mid + (i == 0 ? 0.8f : 3.2f) * std::sin(phase - static_cast<float>(i) * 1.0f);
        DrawSpikyBody(c, {x, y}, r, look, look.Spikes, look.SpikeLength * (i == 0 ? 0.8f : 0.7f),
                      phase / 6 + static_cast<float>(i) * 0.5f, phase, 0.2f);
        if (i == 0) {
            const bool blink = frame == 4;
            DrawEye(c, {x - 5, y - 3}, 3.6f, blink ? 0.0f : 1.0f, 1.0f, true);
            DrawEye(c, {x + 3, y - 3}, 3.6f, blink ? 0.0f : 1.0f, 1.0f, false);
            DrawMouth(c, {x - 1, y + 5}, 5, 3, true);
        }
    }
}

struct TNivletLook {
    TColor Body, Cheek;
    bool Metal;
};
TNivletLook NivletLook(int texture) {
    switch (texture) {
        case 7: return {Rgb(255, 120, 180), Rgb(255, 60, 120), false};    // theme 1: pink
        case 8: return {Rgb(90, 170, 255), Rgb(255, 110, 160), false};    // theme 2: blue
        case 9: return {Rgb(235, 235, 240), Rgb(255, 140, 160), false};   // neutral: white
        case 10: return {Rgb(110, 220, 110), Rgb(255, 120, 140), false};  // theme 3: green
        case 11: return {Rgb(255, 200, 60), Rgb(255, 110, 90), false};    // theme 4: yellow
        case 12: return {Rgb(180, 120, 255), Rgb(255, 120, 200), false};  // theme 5: violet
        case 13: return {Rgb(255, 200, 40), Rgb(255, 150, 60), true};     // gold
        case 14: return {Rgb(200, 210, 225), Rgb(240, 170, 190), true};   // silver
        default: return {Rgb(205, 120, 60), Rgb(240, 120, 90), true};     // bronze
    }
}

TColor MetalShade(TVec p, TVec c, float r, TColor base) {
    // Bands of light and dark across the body, as polished metal shows.
    TColor out = SphereShade(p, c, r, base, 1.0f);
    const float band = std::sin(((p.Y - c.Y) / r) * 3.2f + (p.X - c.X) / r * 0.8f);
    return Mix(out, band > 0 ? Mix(base, Rgb(255, 255, 255), 0.55f) : Scale(base, 0.55f), std::abs(band) * 0.22f);
}

}  // namespace

void DrawNivletFrame(TCanvas& c, TVec head, float scale, int texture, int frame) {
    const TNivletLook look = NivletLook(texture);
    const float phase = 2 * kPi * static_cast<float>(frame) / 6.0f;
    const float r = 33.0f * scale;
    const float tailStart = head.X + r * 0.6f;
    const float tailEnd = head.X + 462.0f * scale;
    // The tail: a wave travelling backwards, growing towards its end,
    // narrowing from the head.
    const int steps = 90;
    std::vector<TVec> points;
    std::vector<float> widths;
    for (int i = 0; i <= steps; ++i) {
        const float u = static_cast<float>(i) / static_cast<float>(steps);
        const float x = tailStart + (tailEnd - tailStart) * u;
        const float amp = 13.0f * scale * Smooth(0.0f, 0.6f, u);
        const float y = head.Y + amp * std::sin(u * 2.6f * 2 * kPi - phase);
        points.push_back({x, y});
        widths.push_back((10.0f - 8.2f * std::sqrt(u)) * scale);
    }
    const TBox tailBox{static_cast<int>(tailStart) - 2, static_cast<int>(head.Y - 26 * scale) - 2,
                       static_cast<int>(tailEnd) + 4, static_cast<int>(head.Y + 26 * scale) + 2};
    auto tail = [&](TVec p) {
        // Only the few segments near p's x matter.
        const float u = (p.X - tailStart) / (tailEnd - tailStart);
        const int mid = std::clamp(static_cast<int>(u * static_cast<float>(steps)), 0, steps);
        float d = 1e9f;
        for (int i = std::max(0, mid - 4); i < std::min(steps, mid + 4); ++i)
            d = std::min(d, SdCapsule(p, points[static_cast<std::size_t>(i)], points[static_cast<std::size_t>(i + 1)],
                                      widths[static_cast<std::size_t>(i)] / 2, widths[static_cast<std::size_t>(i + 1)] / 2));
        return d;
    };
    const TColor outline = Darker(look.Body, 0.35f);
    c.FillSolid(tailBox, [&](TVec p) { return tail(p) - 1.5f * scale; }, outline);
    c.Fill(tailBox, tail, [&](TVec p) {
        const float u = Clamp01((p.X - tailStart) / (tailEnd - tailStart));
        TColor base = Mix(look.Body, Mix(look.Body, Rgb(255, 255, 255), 0.5f), u * 0.6f);
        if (look.Metal) base = Mix(base, Rgb(255, 255, 255), 0.25f * (0.5f + 0.5f * std::sin(p.X * 0.08f)));
        return base;
    });
    // The head.
    const TBox headBox = BoxAround(head, r + 3, r + 3);
    const float squash = 1.0f + 0.04f * std::sin(phase);
    auto body = [&](TVec p) { return SdEllipse(p, head, r * squash, r / squash); };
    c.FillSolid(headBox, [&](TVec p) { return body(p) - 2.0f * scale; }, outline);
    c.Fill(headBox, body, [&](TVec p) {
        return look.Metal ? MetalShade(p, head, r, look.Body) : SphereShade(p, head, r, look.Body, 0.9f);
    });
    // Cheeks, eyes, smile.
    for (float side : {-1.0f, 1.0f}) {
        const TVec cheek{head.X + side * 15 * scale - 4 * scale, head.Y + 10 * scale};
        c.FillSolid(BoxAround(cheek, 8 * scale, 6 * scale), [&](TVec p) { return SdEllipse(p, cheek, 6.5f * scale, 4 * scale); },
                    WithAlpha(look.Cheek, 0.55f), 3.0f * scale);
    }
    const bool blink = frame == 3;
    const float eyeR = 8.0f * scale;
    for (float side : {-1.0f, 1.0f}) {
        const TVec eye{head.X - 4 * scale + side * 11 * scale, head.Y - 5 * scale};
        if (blink) {
            c.FillSolid(BoxAround(eye, eyeR + 2, eyeR + 2), [&](TVec p) {
                const float dx = (p.X - eye.X) / eyeR;
                return std::max(std::abs(p.Y - (eye.Y + eyeR * 0.3f * (1 - dx * dx))) - 1.4f * scale, std::abs(p.X - eye.X) - eyeR);
            }, Rgb(30, 20, 40));
            continue;
        }
        c.FillSolid(BoxAround(eye, eyeR + 2, eyeR + 2), [&](TVec p) { return SdEllipse(p, eye, eyeR * 0.8f + 1, eyeR + 1); },
                    Rgb(30, 20, 40));
        c.FillSolid(BoxAround(eye, eyeR, eyeR), [&](TVec p) { return SdEllipse(p, eye, eyeR * 0.8f, eyeR); }, Rgb(255, 255, 255));
        const TVec pupil{eye.X - 2 * scale, eye.Y + 1 * scale};
        c.FillSolid(BoxAround(eye, eyeR, eyeR), [&](TVec p) { return std::max(SdEllipse(p, pupil, eyeR * 0.55f, eyeR * 0.7f), SdEllipse(p, eye, eyeR * 0.8f, eyeR)); },
                    Rgb(35, 25, 60));
        c.FillSolid(BoxAround(eye, eyeR, eyeR), [&](TVec p) { return SdCircle(p, {pupil.X - 1.8f * scale, pupil.Y - 3 * scale}, 2.2f * scale); },
                    Rgb(255, 255, 255));
        c.FillSolid(BoxAround(eye, eyeR, eyeR), [&](TVec p) { return SdCircle(p, {pupil.X + 1.5f * scale, pupil.Y + 2.5f * scale}, 1.0f * scale); },
                    Rgb(255, 255, 255, 0.8f));
    }
    const TVec smile{head.X - 4 * scale, head.Y + 9 * scale};
    c.FillSolid(BoxAround(smile, 9 * scale, 6 * scale), [&](TVec p) {
        const float dx = (p.X - smile.X) / (6 * scale);
        const float y = smile.Y + 3.2f * scale * (1 - dx * dx);
        return std::max(std::abs(p.Y - y) - 1.2f * scale, std::abs(p.X - smile.X) - 6 * scale);
    }, Rgb(60, 20, 40));
    if (look.Metal) {
        // A sparkle that turns from frame to frame.
        const TVec s{head.X + 14 * scale, head.Y - 18 * scale};
        const float a = phase / 4;
        c.FillSolid(BoxAround(s, 12 * scale, 12 * scale), [&](TVec p) {
            const TVec q = Rotate(p - s, a);
            const float d1 = SdCapsule(q, {-10 * scale, 0}, {10 * scale, 0}, 1.6f * scale, 0.2f);
            const float d2 = SdCapsule(q, {0, -10 * scale}, {0, 10 * scale}, 1.6f * scale, 0.2f);
            return std::min(std::min(d1, d2), SdCircle(q, {0, 0}, 2.5f * scale));
        }, Rgb(255, 255, 240, 0.95f));
    }
}

TCanvas DrawVirusSheet(int kind) {
    TCanvas sheet(256, 256);
    const TCreatureTypeInfo& info = CreatureTypes[static_cast<std::size_t>(kind)];
    const int w = info.SourceRect.Right - info.SourceRect.Left, h = info.SourceRect.Bottom - info.SourceRect.Top;
    const int frames = info.FrameColumns * info.FrameRows;
    for (int f = 0; f < frames; ++f) {
        const int col = f % info.FrameColumns, row = f / info.FrameColumns;
        TCanvas frame(w, h);
        if (kind == 4)
            DrawCorkFrame(frame, f, frames);
        else
            DrawVirusFrame(frame, {static_cast<float>(w) / 2, static_cast<float>(h) / 2}, 1.0f, kind, f);
        frame.AddGlow(2, kVirusLooks[static_cast<std::size_t>(kind)].Tip, 0.7f);
        frame.KeepOnly({1, 1, w - 1, h - 1});
        sheet.Draw(frame, info.SourceRect.Left + col * (w + info.FrameGapX), info.SourceRect.Top + row * (h + info.FrameGapY));
    }
    return sheet;
}

TCanvas DrawNivletSheet(int texture) {
    TCanvas sheet(512, 512);
    const TCreatureTypeInfo& info = CreatureTypes[static_cast<std::size_t>(texture - 7 + kFirstNivletType)];
    const int w = info.SourceRect.Right - info.SourceRect.Left, h = info.SourceRect.Bottom - info.SourceRect.Top;
    const int frames = info.FrameColumns * info.FrameRows;
    for (int f = 0; f < frames; ++f) {
        TCanvas frame(w, h);
        DrawNivletFrame(frame, {38.0f, static_cast<float>(h) / 2}, 1.0f, texture, f);
        frame.AddGlow(3, Rgb(255, 255, 255), 0.35f);
        frame.KeepOnly({1, 1, w - 1, h - 1});
        sheet.Draw(frame, info.SourceRect.Left + (f % info.FrameColumns) * (w + info.FrameGapX),
                   info.SourceRect.Top + (f / info.FrameColumns) * (h + info.FrameGapY));
    }
    return sheet;
}

}  // namespace qv::gen::pic
