// Drawing by code for the generated pictures: a floating-point RGBA canvas
// with anti-aliased shapes given as signed distance functions, gradients,
// blur and glow, text rendered with FreeType from the DejaVu fonts, and the
// PNG and JPEG encoders the resource pack stores the pictures with.
//
// Everything here is deterministic: no clock, no threads, fixed seeds.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/qvgen/Content.h"

namespace qv::gen::pic {

inline constexpr float kPi = 3.14159265358979f;

// A straight (not premultiplied) colour, channels 0..1.
struct TColor {
    float R = 0, G = 0, B = 0, A = 1;
};
constexpr TColor Rgb(int r, int g, int b, float a = 1.0f) {
    return {static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f, static_cast<float>(b) / 255.0f, a};
}
inline TColor Mix(const TColor& a, const TColor& b, float t) {
    return {a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t, a.A + (b.A - a.A) * t};
}
inline TColor Scale(const TColor& c, float k) { return {c.R * k, c.G * k, c.B * k, c.A}; }
inline TColor WithAlpha(const TColor& c, float a) { return {c.R, c.G, c.B, a}; }
inline float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }
inline float Smooth(float e0, float e1, float x) {
    const float t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

struct TVec {
    float X = 0, Y = 0;
};
inline TVec operator+(TVec a, TVec b) { return {a.X + b.X, a.Y + b.Y}; }
inline TVec operator-(TVec a, TVec b) { return {a.X - b.X, a.Y - b.Y}; }
inline TVec operator*(TVec a, float k) { return {a.X * k, a.Y * k}; }
inline float Dot(TVec a, TVec b) { return a.X * b.X + a.Y * b.Y; }
inline float Length(TVec a) { return std::sqrt(a.X * a.X + a.Y * a.Y); }
inline TVec Rotate(TVec a, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return {a.X * c - a.Y * s, a.X * s + a.Y * c};
}

// Signed distances (negative inside), in pixels.
inline float SdCircle(TVec p, TVec c, float r) { return Length(p - c) - r; }
float SdEllipse(TVec p, TVec c, float rx, float ry);
float SdBox(TVec p, TVec c, TVec half, float radius);
// A segment from a to b, radius ra at a and rb at b.
float SdCapsule(TVec p, TVec a, TVec b, float ra, float rb);
float SdPolygon(TVec p, const std::vector<TVec>& points);

// A rectangle of pixels, right and bottom excluded.
struct TBox {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
};
inline TBox BoxAround(TVec c, float rx, float ry) {
    return {static_cast<int>(std::floor(c.X - rx)) - 2, static_cast<int>(std::floor(c.Y - ry)) - 2,
            static_cast<int>(std::ceil(c.X + rx)) + 2, static_cast<int>(std::ceil(c.Y + ry)) + 2};
}

class TCanvas {
public:
    TCanvas() = default;
    TCanvas(int width, int height, TColor fill = {0, 0, 0, 0});

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Premultiplied RGBA of a pixel.
    float* At(int x, int y) { return &px_[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)) * 4]; }
    const float* At(int x, int y) const {
        return &px_[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)) * 4];
    }
    TColor Get(int x, int y) const;
    void Set(int x, int y, TColor c);
    // Source over: colour c with coverage `cover`.
    void Blend(int x, int y, TColor c, float cover);

    // Fills the shape sdf(p) < 0 within `box` (clipped to `clip`, default
    // the canvas), anti-aliased over one pixel, in the colour paint(p).
    template <class Sdf, class Paint>
    void Fill(TBox box, Sdf&& sdf, Paint&& paint, float softness = 1.0f) {
        box = ClipBox(box);
        for (int y = box.Top; y < box.Bottom; ++y)
            for (int x = box.Left; x < box.Right; ++x) {
                const TVec p{static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f};
                const float d = sdf(p);
                const float cover = Clamp01(0.5f - d / softness);
                if (cover <= 0) continue;
                Blend(x, y, paint(p), cover);
            }
    }
    template <class Sdf>
    void FillSolid(TBox box, Sdf&& sdf, TColor c, float softness = 1.0f) {
        Fill(box, sdf, [c](TVec) { return c; }, softness);
    }
    // Paints every pixel of `box` with paint(p) at full coverage.
    template <class Paint>
    void Shade(TBox box, Paint&& paint) {
        box = ClipBox(box);
        for (int y = box.Top; y < box.Bottom; ++y)
            for (int x = box.Left; x < box.Right; ++x)
                Blend(x, y, paint(TVec{static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f}), 1.0f);
    }

    // Draws `source` over this canvas with its top left at (x, y).
    void Draw(const TCanvas& source, int x, int y, float opacity = 1.0f);
    // Draws `source` scaled to w x h at (x, y), bilinear.
    void DrawScaled(const TCanvas& source, float x, float y, float w, float h, float opacity = 1.0f);
    // A copy of part of the canvas.
    TCanvas Crop(TBox box) const;
    // Box blur of all four channels, three passes (close to a Gaussian).
    void Blur(int radius);
    // Multiplies the alpha (and the premultiplied colour) by `k`.
    void Fade(float k);
    // Sets every pixel's alpha to 1 over `backdrop`.
    void Flatten(TColor backdrop);
    // Clears the pixels outside `box`.
    void KeepOnly(TBox box);

    // A halo of `color` around the opaque parts: the alpha blurred by
    // `radius`, times `strength`, drawn under the picture.
    void AddGlow(int radius, TColor color, float strength);
    // A dark outline of `width` pixels under the picture.
    void AddOutline(float width, TColor color);

    // The picture as 0x00RRGGBB pixels (colour), with the colours of
    // transparent pixels spread from their neighbours so that filtering at
    // the edges shows no dark seams, and the alpha as 0..255 (mask).
    std::vector<std::uint8_t> Rgb8(bool bleed) const;
    std::vector<std::uint8_t> Alpha8() const;

    std::vector<float>& Pixels() { return px_; }
    const std::vector<float>& Pixels() const { return px_; }

private:
    TBox ClipBox(TBox box) const {
        return {std::max(box.Left, 0), std::max(box.Top, 0), std::min(box.Right, width_),
                std::min(box.Bottom, height_)};
    }

    int width_ = 0, height_ = 0;
    std::vector<float> px_;
};

// Encoders. RGB is 3 bytes a pixel, grey 1 byte.
std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint8_t>& pixels, int channels);
std::vector<std::uint8_t> EncodeJpeg(int width, int height, const std::vector<std::uint8_t>& rgb, int quality);

// The picture's files: "<name>.png" and "<name>Mask.png", or only
// "<name>.png" / "<name>.jpg" for an opaque picture.
void AddMasked(std::vector<TGeneratedFile>& out, const std::string& name, const TCanvas& canvas);
void AddPng(std::vector<TGeneratedFile>& out, const std::string& name, const TCanvas& canvas);
void AddJpeg(std::vector<TGeneratedFile>& out, const std::string& name, const TCanvas& canvas, int quality = 92);

// Coverage of rendered text, one float a pixel; origin at the top left of
// the bitmap, `Baseline` rows below its top.
struct TCoverage {
    int Width = 0, Height = 0;
    int Baseline = 0;
    std::vector<float> Values;
    float At(int x, int y) const {
        if (x < 0 || y < 0 || x >= Width || y >= Height) return 0;
        return Values[static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(x)];
    }
};

enum class TFace { SansBold, Sans, CondensedBold, SerifBold };

// `text` (UTF-8) at `pixelSize` em, squeezed horizontally by `xScale`;
// the bitmap is tight around the ink horizontally, ascender to descender
// vertically.
TCoverage RenderText(const std::string& text, float pixelSize, TFace face = TFace::SansBold, float xScale = 1.0f);
// The tight ink box of a coverage (empty when no ink).
TBox InkBox(const TCoverage& coverage, float threshold = 0.02f);
// Coverage grown by `radius` pixels (a round max filter).
TCoverage Dilate(const TCoverage& coverage, float radius);
// Draws coverage with its top left at (x, y) in paint(p).
template <class Paint>
void DrawCoverage(TCanvas& canvas, const TCoverage& cov, float x, float y, Paint&& paint) {
    const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    for (int cy = 0; cy < cov.Height; ++cy)
        for (int cx = 0; cx < cov.Width; ++cx) {
            const float c = cov.At(cx, cy);
            const int px = ix + cx, py = iy + cy;
            if (c <= 0 || px < 0 || py < 0 || px >= canvas.Width() || py >= canvas.Height()) continue;
            canvas.Blend(px, py, paint(TVec{static_cast<float>(px) + 0.5f, static_cast<float>(py) + 0.5f}), c);
        }
}
// Text with a dark outline and a vertical gradient, centred on (cx, cy) of
// its ink box (align 0: left edge at cx; 2: centred); returns its width.
struct TTextStyle {
    float Size = 24;
    TFace Face = TFace::SansBold;
    TColor Top = Rgb(255, 255, 255);
    TColor Bottom = Rgb(220, 220, 220);
    float Outline = 2;
    TColor OutlineColor = Rgb(20, 20, 40);
    float Shadow = 0;  // drop shadow offset
    float XScale = 1;
};
int DrawLabel(TCanvas& canvas, const std::string& text, float x, float y, int align, const TTextStyle& style);

// Cheap smooth value noise in 0..1 (periodic in x with `period` when > 0).
float Noise(float x, float y, std::uint32_t seed, float period = 0);
float Fbm(float x, float y, std::uint32_t seed, int octaves, float period = 0);
std::uint32_t Hash(std::uint32_t a, std::uint32_t b = 0, std::uint32_t c = 0);
float Hash01(std::uint32_t a, std::uint32_t b = 0, std::uint32_t c = 0);

// A shiny sphere-like shading of a round body of radius r centred on c:
// dark rim, light towards the upper left, a specular spot.
TColor SphereShade(TVec p, TVec c, float r, TColor base, float specular = 0.8f);

}  // namespace qv::gen::pic
