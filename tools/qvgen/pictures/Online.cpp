#include "tools/qvgen/pictures/Online.h"

#include <string>

#include "tools/qvgen/pictures/Art.h"

namespace qv::gen::pic {

namespace {

// A five-pointed star around c.
float SdStar(TVec p, TVec c, float outer, float inner) {
    std::vector<TVec> points;
    for (int i = 0; i < 10; ++i) {
        const float a = -kPi / 2 + static_cast<float>(i) * kPi / 5;
        const float r = i % 2 == 0 ? outer : inner;
        points.push_back({c.X + r * std::cos(a), c.Y + r * std::sin(a)});
    }
    return SdPolygon(p, points);
}

}  // namespace

TCanvas DrawNewBest() {
    TCanvas c(400, 130);
    c.Shade({0, 0, 400, 130}, [](TVec p) { return Mix(Rgb(150, 12, 36), Rgb(40, 4, 20), p.Y / 130.0f); });
    // Rays from the middle.
    c.Fill({0, 0, 400, 130},
           [](TVec p) {
               const float a = std::atan2(p.Y - 65.0f, p.X - 200.0f);
               return std::abs(std::sin(a * 9.0f)) * 40.0f - 30.0f;
           },
           [](TVec p) { return Rgb(255, 200, 90, 0.18f * Clamp01(1.2f - Length(p - TVec{200, 65}) / 220.0f)); },
           8.0f);
    DrawLogo(c, 67, 6, 0.42f);
    for (int i = 0; i < 3; ++i) {
        const TVec at{140.0f + 60.0f * static_cast<float>(i), 100.0f - (i == 1 ? 8.0f : 0.0f)};
        const float r = i == 1 ? 22.0f : 16.0f;
        c.FillSolid(BoxAround(at, r + 3, r + 3), [&](TVec p) { return SdStar(p, at, r + 2, r * 0.45f + 1); },
                    Rgb(90, 40, 0));
        c.Fill(BoxAround(at, r + 2, r + 2), [&](TVec p) { return SdStar(p, at, r, r * 0.45f); },
               [&](TVec p) { return Mix(Rgb(255, 240, 140), Rgb(230, 150, 20), Clamp01((p.Y - at.Y + r) / (2 * r))); });
    }
    DrawVirusFrame(c, {52, 100}, 0.42f, 1, 3);
    DrawVirusFrame(c, {350, 100}, 0.42f, 0, 5);
    c.Flatten(Rgb(0, 0, 0));
    return c;
}

TCanvas DrawWorldBestState(int state) {
    TCanvas c(16, 16);
    const TVec m{8, 8};
    switch (state) {
    case 1: {  // in progress: a clock face
        c.FillSolid({0, 0, 16, 16}, [&](TVec p) { return SdCircle(p, m, 7.2f); }, Rgb(120, 90, 10));
        c.FillSolid({0, 0, 16, 16}, [&](TVec p) { return SdCircle(p, m, 6.0f); }, Rgb(255, 215, 70));
        c.FillSolid({0, 0, 16, 16}, [&](TVec p) { return SdCapsule(p, m, {8, 3.5f}, 0.9f, 0.7f); }, Rgb(60, 40, 0));
        c.FillSolid({0, 0, 16, 16}, [&](TVec p) { return SdCapsule(p, m, {11.5f, 9.5f}, 0.9f, 0.7f); }, Rgb(60, 40, 0));
        break;
    }
    case 2:  // done: a tick
        c.FillSolid({0, 0, 16, 16}, [&](TVec p) { return SdCircle(p, m, 7.2f); }, Rgb(20, 110, 40));
        c.FillSolid({0, 0, 16, 16}, [&](TVec p) { return SdCircle(p, m, 6.0f); }, Rgb(70, 200, 90));
        c.FillSolid({0, 0, 16, 16},
                    [&](TVec p) {
                        return std::min(SdCapsule(p, {4.5f, 8.5f}, {7, 11}, 1.1f, 1.1f),
                                        SdCapsule(p, {7, 11}, {11.5f, 5}, 1.1f, 1.1f));
                    },
                    Rgb(255, 255, 255));
        break;
    default:  // failed: a cross
        c.FillSolid({0, 0, 16, 16}, [&](TVec p) { return SdCircle(p, m, 7.2f); }, Rgb(120, 10, 10));
        c.FillSolid({0, 0, 16, 16}, [&](TVec p) { return SdCircle(p, m, 6.0f); }, Rgb(230, 50, 40));
        c.FillSolid({0, 0, 16, 16},
                    [&](TVec p) {
                        return std::min(SdCapsule(p, {5, 5}, {11, 11}, 1.1f, 1.1f),
                                        SdCapsule(p, {11, 5}, {5, 11}, 1.1f, 1.1f));
                    },
                    Rgb(255, 255, 255));
        break;
    }
    return c;
}

void AddOnlinePictures(std::vector<TGeneratedFile>& out) {
    AddJpeg(out, "newbest.jpg", DrawNewBest());
    for (int s = 1; s <= 3; ++s) AddPng(out, "wbstate" + std::to_string(s) + ".png", DrawWorldBestState(s));
}

}  // namespace qv::gen::pic
