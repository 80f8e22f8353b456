// Full-screen and front-end pictures: the three loading pictures with room
// for their tips, the French overlay, the credits, the "more scenarios"
// thumbnail, the about box and the main window's menu pictures.
#include "tools/qvgen/pictures/Art.h"

namespace qv::gen::pic {

namespace {

// A vertical gradient with soft out-of-focus blobs.
TCanvas Backdrop(int w, int h, TColor top, TColor bottom, std::uint32_t seed, int blobs) {
    TCanvas c(w, h);
    c.Shade({0, 0, w, h}, [&](TVec p) {
        const float v = p.Y / static_cast<float>(h);
        const float n = Fbm(p.X / 160.0f, p.Y / 160.0f, seed, 4);
        return Mix(Mix(top, bottom, v), Scale(Mix(top, bottom, v), 1.35f), (n - 0.5f) * 0.8f + 0.2f);
    });
    for (int i = 0; i < blobs; ++i) {
        const TVec at{Hash01(seed, static_cast<std::uint32_t>(i), 1) * static_cast<float>(w),
                      Hash01(seed, static_cast<std::uint32_t>(i), 2) * static_cast<float>(h)};
        const float r = 6 + Hash01(seed, static_cast<std::uint32_t>(i), 3) * 38;
        const float a = 0.05f + 0.12f * Hash01(seed, static_cast<std::uint32_t>(i), 4);
        const TColor col = Mix(Rgb(150, 220, 255), Rgb(255, 160, 220), Hash01(seed, static_cast<std::uint32_t>(i), 5));
        c.Fill(BoxAround(at, r + 4, r + 4), [&](TVec p) { return SdCircle(p, at, r); },
               [&](TVec p) { return WithAlpha(col, a * (0.6f + 0.4f * Clamp01(Length(p - at) / r))); }, 3.0f);
    }
    return c;
}

void Panel(TCanvas& c, TBox box, float radius, TColor fill, TColor rim) {
    const TVec m{static_cast<float>(box.Left + box.Right) / 2, static_cast<float>(box.Top + box.Bottom) / 2};
    const TVec half{static_cast<float>(box.Right - box.Left) / 2, static_cast<float>(box.Bottom - box.Top) / 2};
    const TBox around{box.Left - 4, box.Top - 4, box.Right + 4, box.Bottom + 4};
    c.FillSolid(around, [&](TVec p) { return SdBox(p, {m.X + 4, m.Y + 5}, half, radius); }, Rgb(0, 0, 0, 0.35f), 6.0f);
    c.FillSolid(around, [&](TVec p) { return SdBox(p, m, half, radius); }, rim);
    c.Fill(around, [&](TVec p) { return SdBox(p, m, {half.X - 2.5f, half.Y - 2.5f}, radius - 2); }, [&](TVec p) {
        const float v = (p.Y - static_cast<float>(box.Top)) / std::max(1.0f, static_cast<float>(box.Bottom - box.Top));
        return Mix(Mix(fill, Rgb(255, 255, 255, fill.A), 0.12f), fill, Clamp01(v * 3));
    });
}

TTextStyle Style(float size, TColor top, TColor bottom, float outline = 2) {
    TTextStyle s;
    s.Size = size;
    s.Top = top;
    s.Bottom = bottom;
    s.Outline = outline;
    s.Shadow = 2;
    return s;
}

// A small red-ribbon badge with a word under it.
TCanvas Badge(const std::string& word) {
    TCanvas c(160, 70);
    Panel(c, {2, 2, 158, 68}, 14, Rgb(255, 255, 255, 0.92f), Rgb(200, 30, 40));
    // The ribbon: a loop with crossed tails.
    const TVec top{34, 22};
    auto ribbon = [&](TVec p) {
        const float loop = std::abs(SdEllipse(p, top, 9, 13)) - 3.2f;
        const float tail1 = SdCapsule(p, {top.X - 3, top.Y + 8}, {top.X + 10, top.Y + 34}, 3.4f, 3.4f);
        const float tail2 = SdCapsule(p, {top.X + 3, top.Y + 8}, {top.X - 10, top.Y + 34}, 3.4f, 3.4f);
        return std::min(std::min(loop, tail1), tail2);
    };
    c.Fill({0, 0, 160, 70}, ribbon, [&](TVec p) { return Mix(Rgb(240, 40, 50), Rgb(150, 10, 20), Clamp01((p.X - 20) / 30)); });
    TTextStyle s = Style(20, Rgb(200, 20, 30), Rgb(140, 10, 20), 0);
    s.Shadow = 0;
    s.Face = TFace::CondensedBold;
    DrawLabel(c, word, 106, 35, 2, s);
    return c;
}

}  // namespace

TCanvas DrawLoading(int number) {
    const TColor tops[3] = {Rgb(20, 40, 110), Rgb(70, 20, 90), Rgb(10, 70, 90)};
    const TColor bottoms[3] = {Rgb(5, 10, 40), Rgb(20, 5, 40), Rgb(5, 25, 40)};
    TCanvas c = Backdrop(800, 600, tops[number - 1], bottoms[number - 1], 100u + static_cast<std::uint32_t>(number), 40);
    // The caption band at the top and the progress bar's frame.
    c.Fill({0, 0, 800, 50}, [](TVec p) { return p.Y - 46; },
           [](TVec p) { return Mix(Rgb(0, 0, 0, 0.55f), Rgb(0, 0, 0, 0.25f), p.Y / 46); });
    c.Fill({0, 44, 800, 50}, [](TVec p) { return std::abs(p.Y - 46) - 1; }, [](TVec) { return Rgb(120, 200, 255, 0.8f); });
    Panel(c, {292, 559, 508, 601}, 10, Rgb(10, 10, 30, 0.9f), Rgb(120, 200, 255));
    c.Fill({298, 565, 502, 595}, [](TVec p) { return SdBox(p, {400, 580}, {101, 14}, 3); }, [](TVec p) {
        return Mix(Rgb(0, 0, 0), Rgb(30, 30, 50), (p.Y - 566) / 28);
    });
    // The tip panel, where the tip's lines begin, and the picture.
    const TVec tips[3] = {{430, 242}, {508, 184}, {380, 314}};
    const TVec tip = tips[number - 1];
    Panel(c, {static_cast<int>(tip.X) - 22, static_cast<int>(tip.Y) - 30, 792, static_cast<int>(tip.Y) + 180}, 18,
          Rgb(8, 10, 35, 0.72f), Rgb(140, 210, 255, 0.9f));
    switch (number) {
        case 1: {
            TCanvas art(800, 600);
            DrawNivletFrame(art, {60, 380}, 0.75f, 7, 1);
            DrawNivletFrame(art, {50, 510}, 0.6f, 13, 4);
            DrawVirusFrame(art, {330, 140}, 1.6f, 0, 2);
            art.AddGlow(4, Rgb(255, 255, 255), 0.35f);
            c.Draw(art, 0, 0);
            break;
        }
        case 2: {
            TCanvas art(800, 600);
            DrawCannon(art, {0, 330}, 1.9f, false);
            DrawVirusFrame(art, {330, 200}, 2.6f, 5, 3);
            DrawVirusFrame(art, {360, 470}, 1.8f, 2, 7);
            art.AddGlow(4, Rgb(200, 230, 255), 0.35f);
            c.Draw(art, 0, 0);
            break;
        }
        default: {
            DrawLogo(c, 20, 90, 0.55f);
            TCanvas art(800, 600);
            DrawNivletFrame(art, {70, 300}, 0.8f, 10, 2);
            DrawNivletFrame(art, {110, 420}, 0.8f, 11, 5);
            DrawVirusFrame(art, {250, 520}, 1.3f, 3, 1);
            art.AddGlow(4, Rgb(255, 255, 255), 0.3f);
            c.Draw(art, 0, 0);
            break;
        }
    }
    c.Draw(Badge("STOP AIDS"), 632, 56);
    c.Flatten(Rgb(0, 0, 0));
    return c;
}

TCanvas DrawLoadingOverlay() {
    TCanvas c = Badge("STOP SIDA");
    c.Flatten(Rgb(0, 0, 0));
    return c;
}

TCanvas DrawCredits() {
    TCanvas c = Backdrop(800, 600, Rgb(30, 20, 80), Rgb(5, 5, 25), 300, 60);
    DrawLogo(c, 83, 40, 1.0f);
    Panel(c, {140, 210, 660, 560}, 24, Rgb(5, 8, 30, 0.7f), Rgb(255, 160, 60, 0.9f));
    const TTextStyle head = Style(34, Rgb(255, 240, 150), Rgb(255, 140, 40), 2.5f);
    const TTextStyle line = Style(20, Rgb(255, 255, 255), Rgb(210, 220, 240), 1.5f);
    DrawLabel(c, "THANK YOU FOR PLAYING", 400, 250, 2, head);
    const char* lines[] = {"Every picture, sound and tune", "of this game is made by code.", "",
                           "Letters drawn from the DejaVu fonts.", "", "Catch the nivlets, stop the viruses,",
                           "and always play safe!"};
    float y = 310;
    for (const char* text : lines) {
        if (*text) DrawLabel(c, text, 400, y, 2, line);
        y += 32;
    }
    TCanvas art(800, 600);
    DrawNivletFrame(art, {40, 575}, 0.45f, 8, 2);
    DrawVirusFrame(art, {730, 560}, 1.2f, 1, 4);
    DrawVirusFrame(art, {70, 420}, 0.9f, 2, 8);
    c.Draw(art, 0, 0);
    c.Flatten(Rgb(0, 0, 0));
    return c;
}

TCanvas DrawThumbMore() {
    TCanvas c = Backdrop(kThumbWidth, kThumbHeight, Rgb(40, 40, 90), Rgb(10, 10, 30), 400, 12);
    const TVec m{80, 50};
    c.FillSolid({0, 0, kThumbWidth, kThumbHeight}, [&](TVec p) { return SdCircle(p, m, 30); }, Rgb(255, 255, 255, 0.9f));
    c.Fill({0, 0, kThumbWidth, kThumbHeight}, [&](TVec p) { return SdCircle(p, m, 27); },
           [&](TVec p) { return SphereShade(p, m, 27, Rgb(80, 200, 120), 0.7f); });
    c.FillSolid({0, 0, kThumbWidth, kThumbHeight}, [&](TVec p) {
        return std::min(SdBox(p, m, {16, 4.5f}, 2), SdBox(p, m, {4.5f, 16}, 2));
    }, Rgb(255, 255, 255));
    DrawLabel(c, "MORE", 80, 102, 2, Style(20, Rgb(255, 255, 255), Rgb(200, 220, 255), 2));
    c.Flatten(Rgb(0, 0, 0));
    return c;
}

TCanvas DrawAbout() {
    TCanvas c = Backdrop(400, 350, Rgb(40, 30, 100), Rgb(8, 6, 30), 500, 25);
    DrawLogo(c, 26, 6, 0.55f);
    // The bands the version and copyright lines are written on.
    c.Fill({0, 70, 400, 110}, [](TVec p) { return std::abs(p.Y - 90) - 18; }, [](TVec) { return Rgb(0, 0, 0, 0.35f); }, 4);
    c.Fill({0, 140, 400, 180}, [](TVec p) { return std::abs(p.Y - 162) - 18; }, [](TVec) { return Rgb(0, 0, 0, 0.35f); }, 4);
    TCanvas art(400, 350);
    DrawNivletFrame(art, {40, 250}, 0.5f, 9, 1);
    DrawNivletFrame(art, {90, 290}, 0.4f, 12, 3);
    DrawVirusFrame(art, {340, 260}, 1.0f, 0, 5);
    c.Draw(art, 0, 0);
    c.FillSolid({0, 0, 400, 350}, [](TVec p) { return -(SdBox(p, {200, 175}, {198, 173}, 10)) - 0.0f; }, Rgb(255, 170, 60));
    c.Flatten(Rgb(0, 0, 0));
    return c;
}

// ---------------------------------------------------------------------------
// The main window's menu pictures

namespace {

const std::vector<TVec> kLeftQuad = {{22, 362}, {87, 376}, {87, 485}, {22, 458}};
const std::vector<TVec> kCentreQuad = {{174, 384}, {326, 384}, {326, 500}, {174, 500}};
const std::vector<TVec> kRightQuad = {{414, 376}, {479, 362}, {479, 460}, {414, 486}};
const std::vector<TVec> kLeftArrow = {{138, 388}, {145, 388}, {145, 481}, {136, 481}, {94, 438}, {94, 428}};
const std::vector<TVec> kRightArrow = {{361, 389}, {403, 430}, {403, 438}, {359, 479}, {349, 479}, {349, 389}};
const std::vector<TVec> kField = {{176, 372}, {322, 372}, {339, 387}, {339, 496}, {325, 514}, {171, 514}, {158, 500}, {157, 372}};

// state: 0 normal, 1 under the mouse, 2 pressed, for the region drawn.
TCanvas MenuBase(const TCanvas& backdrop, int region, int state) {
    TCanvas c = backdrop;
    c.FillSolid({0, 0, 500, 522}, [](TVec p) { return -SdBox(p, {250, 261}, {247, 258}, 14); }, Rgb(255, 170, 60));
    // The logo frame.
    Panel(c, {88, 53, 408, 290}, 14, Rgb(0, 0, 0, 0.9f), Rgb(255, 170, 60));
    // The carousel tray.
    Panel(c, {8, 340, 492, 514}, 20, Rgb(5, 8, 30, 0.85f), Rgb(120, 200, 255, 0.9f));
    auto frame = [&](const std::vector<TVec>& quad) {
        c.FillSolid({0, 330, 500, 522}, [&](TVec p) { return SdPolygon(p, quad) - 4; }, Rgb(20, 25, 60));
        c.FillSolid({0, 330, 500, 522}, [&](TVec p) { return std::abs(SdPolygon(p, quad) - 2.5f) - 1.2f; }, Rgb(150, 210, 255));
    };
    frame(kLeftQuad);
    frame(kRightQuad);
    // The scenario field around the centre picture.
    const TColor fieldRim = state != 0 && region == 2 ? (state == 2 ? Rgb(255, 120, 40) : Rgb(255, 230, 120)) : Rgb(255, 170, 60);
    c.FillSolid({150, 345, 350, 522}, [&](TVec p) { return SdPolygon(p, kField); }, Rgb(20, 25, 60));
    c.FillSolid({150, 345, 350, 522}, [&](TVec p) { return std::abs(SdPolygon(p, kField) + 2.0f) - 1.8f; }, fieldRim);
    auto arrow = [&](const std::vector<TVec>& poly, int index) {
        const bool hot = region == index && state != 0;
        const TColor body = !hot ? Rgb(90, 160, 255) : state == 2 ? Rgb(255, 140, 50) : Rgb(150, 230, 255);
        const TBox box{80, 360, 420, 500};
        c.FillSolid(box, [&](TVec p) { return SdPolygon(p, poly) - 2.2f; }, Rgb(10, 15, 45));
        c.Fill(box, [&](TVec p) { return SdPolygon(p, poly); }, [&](TVec p) {
            const float v = (p.Y - 388) / 93;
            return Mix(Mix(body, Rgb(255, 255, 255), 0.45f), Scale(body, 0.6f), Clamp01(v));
        });
        if (hot && state == 1) {
            TCanvas glow(500, 522);
            glow.FillSolid(box, [&](TVec p) { return SdPolygon(p, poly); }, Rgb(255, 255, 255, 0.6f));
            glow.Blur(5);
            c.Draw(glow, 0, 0);
        }
    };
    arrow(kLeftArrow, 0);
    arrow(kRightArrow, 1);
    // The white places the thumbnails are mapped onto.
    for (const auto* quad : {&kLeftQuad, &kCentreQuad, &kRightQuad})
        c.FillSolid({0, 330, 500, 522}, [&](TVec p) { return SdPolygon(p, *quad); }, Rgb(255, 255, 255));
    c.Flatten(Rgb(0, 0, 0));
    return c;
}

TCanvas Logo(int which) {
    TCanvas c = Backdrop(304, 221, which == 1 ? Rgb(30, 60, 140) : Rgb(100, 30, 110),
                         which == 1 ? Rgb(5, 15, 50) : Rgb(25, 5, 40), 700u + static_cast<std::uint32_t>(which), 20);
    if (which == 1) {
        DrawLogo(c, 10, 30, 0.45f);
        TCanvas art(304, 221);
        DrawNivletFrame(art, {40, 150}, 0.55f, 7, 2);
        DrawNivletFrame(art, {80, 195}, 0.4f, 13, 0);
        DrawVirusFrame(art, {250, 160}, 1.3f, 0, 3);
        c.Draw(art, 0, 0);
        DrawLabel(c, "CATCH THEM ALL!", 152, 120, 2, Style(18, Rgb(255, 255, 255), Rgb(200, 230, 255), 2));
    } else {
        TCanvas art(304, 221);
        DrawCannon(art, {0, 110}, 1.2f, false);
        DrawVirusFrame(art, {200, 70}, 1.4f, 5, 1);
        DrawVirusFrame(art, {240, 160}, 1.2f, 1, 6);
        c.Draw(art, 0, 0);
        DrawLabel(c, "PLAY SAFE", 170, 200, 2, Style(26, Rgb(255, 240, 150), Rgb(255, 120, 40), 2.5f));
    }
    c.Flatten(Rgb(0, 0, 0));
    return c;
}

}  // namespace

TMenuPictures DrawMenu() {
    TMenuPictures m;
    const TCanvas backdrop = Backdrop(500, 522, Rgb(35, 30, 95), Rgb(10, 8, 35), 600, 30);
    m.Base = MenuBase(backdrop, -1, 0);
    m.Logo1 = Logo(1);
    m.Logo2 = Logo(2);
    const TBox left{88, 366, 155, 495}, right{345, 366, 412, 495}, field{155, 349, 345, 521};
    m.LeftHover = MenuBase(backdrop, 0, 1).Crop(left);
    m.LeftPressed = MenuBase(backdrop, 0, 2).Crop(left);
    m.RightHover = MenuBase(backdrop, 1, 1).Crop(right);
    m.RightPressed = MenuBase(backdrop, 1, 2).Crop(right);
    m.ScenarioHover = MenuBase(backdrop, 2, 1).Crop(field);
    m.ScenarioPressed = MenuBase(backdrop, 2, 2).Crop(field);
    return m;
}

}  // namespace qv::gen::pic
