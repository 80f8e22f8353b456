#include "tools/qvgen/pictures/Canvas.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <jpeglib.h>
#include <png.h>

#include <array>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "foundation/TextUtil.h"

namespace qv::gen::pic {

// ---------------------------------------------------------------------------
// Distances

float SdEllipse(TVec p, TVec c, float rx, float ry) {
    const TVec q{(p.X - c.X) / rx, (p.Y - c.Y) / ry};
    const float k = Length(q);
    if (k < 1e-6f) return -std::min(rx, ry);
    // First-order distance: the value over the length of its gradient.
    const TVec g{q.X / rx, q.Y / ry};
    return (k - 1.0f) * k / std::max(Length(g), 1e-6f);
}

float SdBox(TVec p, TVec c, TVec half, float radius) {
    const TVec d{std::abs(p.X - c.X) - half.X + radius, std::abs(p.Y - c.Y) - half.Y + radius};
    const TVec o{std::max(d.X, 0.0f), std::max(d.Y, 0.0f)};
    return Length(o) + std::min(std::max(d.X, d.Y), 0.0f) - radius;
}

float SdCapsule(TVec p, TVec a, TVec b, float ra, float rb) {
    const TVec pa = p - a, ba = b - a;
    const float len2 = std::max(Dot(ba, ba), 1e-6f);
    const float t = Clamp01(Dot(pa, ba) / len2);
    return Length(pa - ba * t) - (ra + (rb - ra) * t);
}

float SdPolygon(TVec p, const std::vector<TVec>& v) {
    float d = Dot(p - v[0], p - v[0]);
    float s = 1.0f;
    const std::size_t n = v.size();
    for (std::size_t i = 0, j = n - 1; i < n; j = i, ++i) {
        const TVec e = v[j] - v[i], w = p - v[i];
        const TVec b = w - e * Clamp01(Dot(w, e) / std::max(Dot(e, e), 1e-9f));
        d = std::min(d, Dot(b, b));
        const bool c1 = p.Y >= v[i].Y, c2 = p.Y < v[j].Y, c3 = e.X * w.Y > e.Y * w.X;
        if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) s = -s;
    }
    return s * std::sqrt(d);
}

// ---------------------------------------------------------------------------
// Canvas

TCanvas::TCanvas(int width, int height, TColor fill)
    : width_(width), height_(height), px_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4) {
    for (std::size_t i = 0; i < px_.size(); i += 4) {
        px_[i] = fill.R * fill.A;
        px_[i + 1] = fill.G * fill.A;
        px_[i + 2] = fill.B * fill.A;
        px_[i + 3] = fill.A;
    }
}

TColor TCanvas::Get(int x, int y) const {
    const float* p = At(x, y);
    if (p[3] <= 1e-6f) return {0, 0, 0, 0};
    return {p[0] / p[3], p[1] / p[3], p[2] / p[3], p[3]};
}

void TCanvas::Set(int x, int y, TColor c) {
    float* p = At(x, y);
    p[0] = c.R * c.A;
    p[1] = c.G * c.A;
    p[2] = c.B * c.A;
    p[3] = c.A;
}

void TCanvas::Blend(int x, int y, TColor c, float cover) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    const float a = Clamp01(c.A * cover);
    if (a <= 0) return;
    float* p = At(x, y);
    const float k = 1.0f - a;
    p[0] = c.R * a + p[0] * k;
    p[1] = c.G * a + p[1] * k;
    p[2] = c.B * a + p[2] * k;
    p[3] = a + p[3] * k;
}

void TCanvas::Draw(const TCanvas& source, int x0, int y0, float opacity) {
    for (int y = 0; y < source.height_; ++y) {
        const int ty = y0 + y;
        if (ty < 0 || ty >= height_) continue;
        for (int x = 0; x < source.width_; ++x) {
            const int tx = x0 + x;
            if (tx < 0 || tx >= width_) continue;
            const float* s = source.At(x, y);
            const float a = s[3] * opacity;
            if (a <= 0) continue;
            float* d = At(tx, ty);
            const float k = 1.0f - a;
            d[0] = s[0] * opacity + d[0] * k;
            d[1] = s[1] * opacity + d[1] * k;
            d[2] = s[2] * opacity + d[2] * k;
            d[3] = a + d[3] * k;
        }
    }
}

void TCanvas::DrawScaled(const TCanvas& source, float x0, float y0, float w, float h, float opacity) {
    if (w <= 0 || h <= 0 || source.width_ == 0 || source.height_ == 0) return;
    const int left = std::max(0, static_cast<int>(std::floor(x0))), top = std::max(0, static_cast<int>(std::floor(y0)));
    const int right = std::min(width_, static_cast<int>(std::ceil(x0 + w)));
    const int bottom = std::min(height_, static_cast<int>(std::ceil(y0 + h)));
    const float sx = static_cast<float>(source.width_) / w, sy = static_cast<float>(source.height_) / h;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            const float u = (static_cast<float>(x) + 0.5f - x0) * sx - 0.5f;
            const float v = (static_cast<float>(y) + 0.5f - y0) * sy - 0.5f;
            if (u < -0.5f || v < -0.5f || u > static_cast<float>(source.width_) - 0.5f ||
                v > static_cast<float>(source.height_) - 0.5f)
                continue;
            const int iu = static_cast<int>(std::floor(u)), iv = static_cast<int>(std::floor(v));
            const float fu = u - static_cast<float>(iu), fv = v - static_cast<float>(iv);
            float acc[4] = {0, 0, 0, 0};
            for (int k = 0; k < 4; ++k) {
                const int cx = std::clamp(iu + (k & 1), 0, source.width_ - 1);
                const int cy = std::clamp(iv + (k >> 1), 0, source.height_ - 1);
                const float wgt = ((k & 1) ? fu : 1 - fu) * ((k >> 1) ? fv : 1 - fv);
                const float* s = source.At(cx, cy);
                for (int c = 0; c < 4; ++c) acc[c] += s[c] * wgt;
            }
            const float a = acc[3] * opacity;
            if (a <= 0) continue;
            float* d = At(x, y);
            const float k = 1.0f - a;
            for (int c = 0; c < 3; ++c) d[c] = acc[c] * opacity + d[c] * k;
            d[3] = a + d[3] * k;
        }
}

TCanvas TCanvas::Crop(TBox box) const {
    TCanvas out(box.Right - box.Left, box.Bottom - box.Top);
    for (int y = 0; y < out.height_; ++y)
        for (int x = 0; x < out.width_; ++x) {
            const int sx = box.Left + x, sy = box.Top + y;
            if (sx < 0 || sy < 0 || sx >= width_ || sy >= height_) continue;
            std::memcpy(out.At(x, y), At(sx, sy), sizeof(float) * 4);
        }
    return out;
}

namespace {

// One box-blur pass along rows (step 1) or columns, with clamped edges.
void BlurLine(float* data, int count, std::size_t stride, int radius, std::vector<float>& tmp) {
    tmp.assign(static_cast<std::size_t>(count) * 4, 0);
    const float inv = 1.0f / static_cast<float>(2 * radius + 1);
    float sum[4] = {0, 0, 0, 0};
    auto at = [&](int i) { return data + static_cast<std::size_t>(std::clamp(i, 0, count - 1)) * stride; };
    for (int i = -radius; i <= radius; ++i)
        for (int c = 0; c < 4; ++c) sum[c] += at(i)[c];
    for (int i = 0; i < count; ++i) {
        for (int c = 0; c < 4; ++c) tmp[static_cast<std::size_t>(i) * 4 + static_cast<std::size_t>(c)] = sum[c] * inv;
        const float* add = at(i + radius + 1);
        const float* sub = at(i - radius);
        for (int c = 0; c < 4; ++c) sum[c] += add[c] - sub[c];
    }
    for (int i = 0; i < count; ++i)
        std::memcpy(data + static_cast<std::size_t>(i) * stride, &tmp[static_cast<std::size_t>(i) * 4], sizeof(float) * 4);
}

}  // namespace

void TCanvas::Blur(int radius) {
    if (radius <= 0 || px_.empty()) return;
    std::vector<float> tmp;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < height_; ++y) BlurLine(At(0, y), width_, 4, radius, tmp);
        for (int x = 0; x < width_; ++x)
            BlurLine(At(x, 0), height_, static_cast<std::size_t>(width_) * 4, radius, tmp);
    }
}

void TCanvas::Fade(float k) {
    for (float& v : px_) v *= k;
}

void TCanvas::Flatten(TColor backdrop) {
    for (std::size_t i = 0; i < px_.size(); i += 4) {
        const float k = 1.0f - px_[i + 3];
        px_[i] += backdrop.R * k;
        px_[i + 1] += backdrop.G * k;
        px_[i + 2] += backdrop.B * k;
        px_[i + 3] = 1.0f;
    }
}

void TCanvas::KeepOnly(TBox box) {
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            if (x < box.Left || x >= box.Right || y < box.Top || y >= box.Bottom) std::memset(At(x, y), 0, sizeof(float) * 4);
}

void TCanvas::AddGlow(int radius, TColor color, float strength) {
    // Only the part around the picture's pixels needs blurring.
    TBox ink{width_, height_, 0, 0};
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            if (At(x, y)[3] > 0) {
                ink.Left = std::min(ink.Left, x);
                ink.Top = std::min(ink.Top, y);
                ink.Right = std::max(ink.Right, x + 1);
                ink.Bottom = std::max(ink.Bottom, y + 1);
            }
    if (ink.Right <= ink.Left) return;
    const int margin = 3 * radius + 2;
    const TBox area = ClipBox({ink.Left - margin, ink.Top - margin, ink.Right + margin, ink.Bottom + margin});
    TCanvas glow(area.Right - area.Left, area.Bottom - area.Top);
    for (int y = 0; y < glow.height_; ++y)
        for (int x = 0; x < glow.width_; ++x) {
            const float a = At(area.Left + x, area.Top + y)[3];
            float* g = glow.At(x, y);
            g[0] = color.R * a;
            g[1] = color.G * a;
            g[2] = color.B * a;
            g[3] = a;
        }
    glow.Blur(radius);
    for (float& v : glow.px_) v = std::min(v * strength, 1.0f);
    glow.Draw(Crop(area), 0, 0);
    for (int y = 0; y < glow.height_; ++y)
        for (int x = 0; x < glow.width_; ++x) std::memcpy(At(area.Left + x, area.Top + y), glow.At(x, y), sizeof(float) * 4);
}

void TCanvas::AddOutline(float width, TColor color) {
    // The alpha grown by `width`: a max over a disc of offsets.
    TCanvas out(width_, height_);
    const int r = static_cast<int>(std::ceil(width));
    std::vector<std::pair<int, int>> offsets;
    std::vector<float> weights;
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            const float d = std::sqrt(static_cast<float>(dx * dx + dy * dy));
            const float w = Clamp01(width + 0.5f - d);
            if (w > 0) {
                offsets.emplace_back(dx, dy);
                weights.push_back(w);
            }
        }
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            float m = 0;
            for (std::size_t k = 0; k < offsets.size() && m < 1; ++k) {
                const int sx = x + offsets[k].first, sy = y + offsets[k].second;
                if (sx < 0 || sy < 0 || sx >= width_ || sy >= height_) continue;
                m = std::max(m, At(sx, sy)[3] * weights[k]);
            }
            if (m > 0) out.Set(x, y, WithAlpha(color, m * color.A));
        }
    out.Draw(*this, 0, 0);
    *this = std::move(out);
}

std::vector<std::uint8_t> TCanvas::Rgb8(bool bleed) const {
    const std::size_t n = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    std::vector<float> colour(n * 3, 0);
    std::vector<std::uint8_t> known(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        const float a = px_[i * 4 + 3];
        if (a > 1.0f / 512.0f) {
            for (int c = 0; c < 3; ++c) colour[i * 3 + static_cast<std::size_t>(c)] = Clamp01(px_[i * 4 + static_cast<std::size_t>(c)] / a);
            known[i] = 1;
        } else if (!bleed) {
            for (int c = 0; c < 3; ++c) colour[i * 3 + static_cast<std::size_t>(c)] = Clamp01(px_[i * 4 + static_cast<std::size_t>(c)]);
            known[i] = 1;
        }
    }
    if (bleed) {
        // Spread known colours into the transparent pixels, a few rings out.
        for (int pass = 0; pass < 4; ++pass) {
            std::vector<std::uint8_t> next = known;
            for (int y = 0; y < height_; ++y)
                for (int x = 0; x < width_; ++x) {
                    const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
                    if (known[i]) continue;
                    float sum[3] = {0, 0, 0};
                    int count = 0;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx) {
                            const int sx = x + dx, sy = y + dy;
                            if (sx < 0 || sy < 0 || sx >= width_ || sy >= height_) continue;
                            const std::size_t j = static_cast<std::size_t>(sy) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(sx);
                            if (!known[j]) continue;
                            for (int c = 0; c < 3; ++c) sum[c] += colour[j * 3 + static_cast<std::size_t>(c)];
                            ++count;
                        }
                    if (count == 0) continue;
                    for (int c = 0; c < 3; ++c) colour[i * 3 + static_cast<std::size_t>(c)] = sum[c] / static_cast<float>(count);
                    next[i] = 1;
                }
            known.swap(next);
        }
    }
    std::vector<std::uint8_t> out(n * 3);
    for (std::size_t i = 0; i < n * 3; ++i) out[i] = static_cast<std::uint8_t>(std::lround(colour[i] * 255.0f));
    return out;
}

std::vector<std::uint8_t> TCanvas::Alpha8() const {
    const std::size_t n = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    std::vector<std::uint8_t> out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(std::lround(Clamp01(px_[i * 4 + 3]) * 255.0f));
    return out;
}

// ---------------------------------------------------------------------------
// Encoders

namespace {

void PngWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void PngFlush(png_structp) {}
[[noreturn]] void PngError(png_structp, png_const_charp message) { throw std::runtime_error(message); }
void PngWarning(png_structp, png_const_charp) {}

}  // namespace

std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint8_t>& pixels, int channels) {
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (!png) throw std::runtime_error("png_create_write_struct failed");
    png_infop info = png_create_info_struct(png);
    struct TGuard {
        png_structp* p;
        png_infop* i;
        ~TGuard() { png_destroy_write_struct(p, i); }
    } guard{&png, &info};
    if (!info) throw std::runtime_error("png_create_info_struct failed");
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 channels == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 6);
    png_write_info(png, info);
    const std::size_t stride = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(pixels.data() + static_cast<std::size_t>(y) * stride));
    png_write_end(png, info);
    return out;
}

std::vector<std::uint8_t> EncodeJpeg(int width, int height, const std::vector<std::uint8_t>& rgb, int quality) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jerr.error_exit = [](j_common_ptr c) {
        char text[JMSG_LENGTH_MAX];
        (*c->err->format_message)(c, text);
        throw std::runtime_error(text);
    };
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    struct TGuard {
        jpeg_compress_struct* c;
        unsigned char** b;
        ~TGuard() {
            jpeg_destroy_compress(c);
            std::free(*b);
        }
    } guard{&cinfo, &buffer};
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.data() + static_cast<std::size_t>(cinfo.next_scanline) * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    return std::vector<std::uint8_t>(buffer, buffer + size);
}

void AddMasked(std::vector<TGeneratedFile>& out, const std::string& name, const TCanvas& canvas) {
    out.push_back({name + ".png", EncodePng(canvas.Width(), canvas.Height(), canvas.Rgb8(true), 3)});
    out.push_back({name + "Mask.png", EncodePng(canvas.Width(), canvas.Height(), canvas.Alpha8(), 1)});
}

void AddPng(std::vector<TGeneratedFile>& out, const std::string& name, const TCanvas& canvas) {
    out.push_back({name, EncodePng(canvas.Width(), canvas.Height(), canvas.Rgb8(false), 3)});
}

void AddJpeg(std::vector<TGeneratedFile>& out, const std::string& name, const TCanvas& canvas, int quality) {
    out.push_back({name, EncodeJpeg(canvas.Width(), canvas.Height(), canvas.Rgb8(false), quality)});
}

// ---------------------------------------------------------------------------
// Text

namespace {

struct TFaceFile {
    const char* Path;
    const char* Package;  // the Debian package that installs it
};

TFaceFile FaceFile(TFace face) {
    switch (face) {
        case TFace::Sans: return {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "fonts-dejavu-core"};
        case TFace::CondensedBold:
            return {"/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf", "fonts-dejavu-extra"};
        case TFace::SerifBold: return {"/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf", "fonts-dejavu-core"};
        case TFace::SansBold: break;
    }
    return {"/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", "fonts-dejavu-core"};
}

class TFreeType {
public:
    TFreeType() {
        if (FT_Init_FreeType(&library_)) throw std::runtime_error("FreeType did not start");
    }
    ~TFreeType() {
        for (FT_Face f : faces_)
            if (f) FT_Done_Face(f);
        FT_Done_FreeType(library_);
    }
    TFreeType(const TFreeType&) = delete;
    TFreeType& operator=(const TFreeType&) = delete;

    FT_Face Face(TFace face) {
        FT_Face& f = faces_[static_cast<std::size_t>(face)];
        if (!f) {
            const TFaceFile file = FaceFile(face);
            if (FT_New_Face(library_, file.Path, 0, &f))
                throw std::runtime_error(std::string("Cannot open the font ") + file.Path + " (Debian package " +
                                         file.Package + ")");
        }
        return f;
    }

private:
    FT_Library library_ = nullptr;
    std::array<FT_Face, 4> faces_{};
};

TFreeType& FreeType() {
    static TFreeType instance;
    return instance;
}

// UTF-8 to code points.
std::u32string Decode(const std::string& text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const TUtf8Char c = DecodeUtf8At(text, i);
        out.push_back(c.CodePoint);
        i += std::max<std::size_t>(c.Length, 1);
    }
    return out;
}

}  // namespace

TCoverage RenderText(const std::string& text, float pixelSize, TFace faceId, float xScale) {
    FT_Face face = FreeType().Face(faceId);
    FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(pixelSize * 64.0f)), 72, 72);
    FT_Matrix matrix{static_cast<FT_Fixed>(std::lround(xScale * 65536.0f)), 0, 0, 0x10000};
    FT_Set_Transform(face, &matrix, nullptr);
    const std::u32string cps = Decode(text);
    const int ascender = static_cast<int>(std::ceil(static_cast<float>(face->size->metrics.ascender) / 64.0f));
    const int descender = static_cast<int>(std::floor(static_cast<float>(face->size->metrics.descender) / 64.0f));
    const int margin = static_cast<int>(pixelSize);
    // First pass: the pen positions.
    float pen = static_cast<float>(margin);
    struct TPlaced {
        std::vector<float> values;
        int left, top, w, h;
    };
    std::vector<TPlaced> placed;
    for (char32_t cp : cps) {
        if (FT_Load_Char(face, cp, FT_LOAD_RENDER | FT_LOAD_NO_HINTING)) continue;
        const FT_GlyphSlot g = face->glyph;
        TPlaced p;
        p.left = static_cast<int>(std::lround(pen)) + g->bitmap_left;
        p.top = ascender - g->bitmap_top;
        p.w = static_cast<int>(g->bitmap.width);
        p.h = static_cast<int>(g->bitmap.rows);
        p.values.resize(static_cast<std::size_t>(p.w) * static_cast<std::size_t>(p.h));
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x)
                p.values[static_cast<std::size_t>(y) * static_cast<std::size_t>(p.w) + static_cast<std::size_t>(x)] =
                    static_cast<float>(g->bitmap.buffer[y * g->bitmap.pitch + x]) / 255.0f;
        placed.push_back(std::move(p));
        pen += static_cast<float>(g->advance.x) / 64.0f;
    }
    FT_Set_Transform(face, nullptr, nullptr);
    TCoverage full;
    full.Width = static_cast<int>(std::ceil(pen)) + 2 * margin;
    full.Height = ascender - descender + 2;
    full.Baseline = ascender;
    full.Values.assign(static_cast<std::size_t>(full.Width) * static_cast<std::size_t>(full.Height), 0);
    for (const TPlaced& p : placed)
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x) {
                const int fx = p.left + x, fy = p.top + y;
                if (fx < 0 || fy < 0 || fx >= full.Width || fy >= full.Height) continue;
                float& v = full.Values[static_cast<std::size_t>(fy) * static_cast<std::size_t>(full.Width) + static_cast<std::size_t>(fx)];
                v = std::min(1.0f, v + p.values[static_cast<std::size_t>(y) * static_cast<std::size_t>(p.w) + static_cast<std::size_t>(x)]);
            }
    // Tight horizontally.
    const TBox ink = InkBox(full, 0.0f);
    if (ink.Right <= ink.Left) {
        full.Width = 1;
        full.Values.assign(static_cast<std::size_t>(full.Height), 0);
        return full;
    }
    TCoverage out;
    out.Width = ink.Right - ink.Left;
    out.Height = full.Height;
    out.Baseline = full.Baseline;
    out.Values.resize(static_cast<std::size_t>(out.Width) * static_cast<std::size_t>(out.Height));
    for (int y = 0; y < out.Height; ++y)
        for (int x = 0; x < out.Width; ++x)
            out.Values[static_cast<std::size_t>(y) * static_cast<std::size_t>(out.Width) + static_cast<std::size_t>(x)] =
                full.At(ink.Left + x, y);
    return out;
}

TBox InkBox(const TCoverage& c, float threshold) {
    TBox box{c.Width, c.Height, 0, 0};
    for (int y = 0; y < c.Height; ++y)
        for (int x = 0; x < c.Width; ++x)
            if (c.At(x, y) > threshold) {
                box.Left = std::min(box.Left, x);
                box.Top = std::min(box.Top, y);
                box.Right = std::max(box.Right, x + 1);
                box.Bottom = std::max(box.Bottom, y + 1);
            }
    if (box.Right <= box.Left) return {0, 0, 0, 0};
    return box;
}

TCoverage Dilate(const TCoverage& c, float radius) {
    const int r = static_cast<int>(std::ceil(radius));
    TCoverage out;
    out.Width = c.Width + 2 * r;
    out.Height = c.Height + 2 * r;
    out.Baseline = c.Baseline + r;
    out.Values.assign(static_cast<std::size_t>(out.Width) * static_cast<std::size_t>(out.Height), 0);
    std::vector<std::pair<int, int>> offsets;
    std::vector<float> weights;
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            const float w = Clamp01(radius + 0.5f - std::sqrt(static_cast<float>(dx * dx + dy * dy)));
            if (w > 0) {
                offsets.emplace_back(dx, dy);
                weights.push_back(w);
            }
        }
    for (int y = 0; y < out.Height; ++y)
        for (int x = 0; x < out.Width; ++x) {
            float m = 0;
            for (std::size_t k = 0; k < offsets.size() && m < 1; ++k)
                m = std::max(m, c.At(x - r + offsets[k].first, y - r + offsets[k].second) * weights[k]);
            out.Values[static_cast<std::size_t>(y) * static_cast<std::size_t>(out.Width) + static_cast<std::size_t>(x)] = m;
        }
    return out;
}

int DrawLabel(TCanvas& canvas, const std::string& text, float x, float y, int align, const TTextStyle& style) {
    const TCoverage cov = RenderText(text, style.Size, style.Face, style.XScale);
    const TBox ink = InkBox(cov);
    if (ink.Right <= ink.Left) return 0;
    const float w = static_cast<float>(ink.Right - ink.Left);
    float left = align == 2 ? x - w / 2 : align == 1 ? x - w : x;
    left -= static_cast<float>(ink.Left);
    const float top = y - static_cast<float>(ink.Top + ink.Bottom) / 2;
    const float inkTop = top + static_cast<float>(ink.Top), inkH = static_cast<float>(ink.Bottom - ink.Top);
    if (style.Shadow > 0) {
        const TCoverage shadow = style.Outline > 0 ? Dilate(cov, style.Outline) : cov;
        const float o = style.Outline > 0 ? std::ceil(style.Outline) : 0;
        DrawCoverage(canvas, shadow, left - o + style.Shadow, top - o + style.Shadow,
                     [](TVec) { return TColor{0, 0, 0, 0.45f}; });
    }
    if (style.Outline > 0) {
        const TCoverage outline = Dilate(cov, style.Outline);
        const float o = std::ceil(style.Outline);
        DrawCoverage(canvas, outline, left - o, top - o, [&](TVec) { return style.OutlineColor; });
    }
    DrawCoverage(canvas, cov, left, top,
                 [&](TVec p) { return Mix(style.Top, style.Bottom, Clamp01((p.Y - inkTop) / std::max(inkH, 1.0f))); });
    return static_cast<int>(w);
}

// ---------------------------------------------------------------------------
// Noise

std::uint32_t Hash(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    std::uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

float Hash01(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    return static_cast<float>(Hash(a, b, c) >> 8) / 16777216.0f;
}

float Noise(float x, float y, std::uint32_t seed, float period) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const float tx = x - fx, ty = y - fy;
    const float sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
    const int p = period > 0 ? static_cast<int>(std::lround(period)) : 0;
    auto h = [&](int cx, int cy) {
        if (p > 0) cx = ((cx % p) + p) % p;
        return Hash01(static_cast<std::uint32_t>(cx), static_cast<std::uint32_t>(cy), seed);
    };
    const float a = h(ix, iy), b = h(ix + 1, iy), c = h(ix, iy + 1), d = h(ix + 1, iy + 1);
    return a + (b - a) * sx + (c - a) * sy + (a - b - c + d) * sx * sy;
}

float Fbm(float x, float y, std::uint32_t seed, int octaves, float period) {
    float sum = 0, amp = 0.5f, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += Noise(x, y, seed + static_cast<std::uint32_t>(o) * 101u, period) * amp;
        norm += amp;
        x *= 2;
        y *= 2;
        if (period > 0) period *= 2;
        amp *= 0.5f;
    }
    return sum / norm;
}

TColor SphereShade(TVec p, TVec c, float r, TColor base, float specular) {
    const float nx = (p.X - c.X) / r, ny = (p.Y - c.Y) / r;
    const float d2 = std::min(nx * nx + ny * ny, 1.0f);
    const float nz = std::sqrt(1.0f - d2);
    // Light from the upper left, towards the viewer.
    const float lx = -0.45f, ly = -0.6f, lz = 0.66f;
    const float lambert = Clamp01(nx * lx + ny * ly + nz * lz);
    const float light = 0.35f + 0.8f * lambert;
    TColor out{Clamp01(base.R * light), Clamp01(base.G * light), Clamp01(base.B * light), base.A};
    // Rim darkening and a specular spot.
    const float rim = Smooth(0.75f, 1.0f, std::sqrt(d2));
    out = Mix(out, Scale(base, 0.45f), rim * 0.6f);
    const float hx = nx + 0.38f, hy = ny + 0.45f;
    const float spot = std::exp(-(hx * hx + hy * hy) * 14.0f) * specular;
    out = Mix(out, TColor{1, 1, 1, base.A}, Clamp01(spot));
    return out;
}

}  // namespace qv::gen::pic
