#include "tests/support/Pictures.h"

#include <cstdlib>
#include <stdexcept>

#include <jpeglib.h>
#include <png.h>

namespace qv::test {

namespace {

void PngWrite(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}
void PngFlush(png_structp) {}
void PngFail(png_structp, png_const_charp message) { throw std::runtime_error(message); }

int Channels(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY: return 1;
        case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
        case PNG_COLOR_TYPE_RGB: return 3;
        case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
        default: return 1;  // palette
    }
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const TPngPicture& p) {
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    png_set_IHDR(png, info, p.Width, p.Height, p.BitDepth, p.ColorType,
                 p.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (std::size_t i = 0; i + 2 < p.Palette.size(); i += 3)
        palette.push_back(png_color{p.Palette[i], p.Palette[i + 1], p.Palette[i + 2]});
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    png_color_16 key{};
    if (!p.Transparency.empty()) {
        if (p.ColorType == PNG_COLOR_TYPE_PALETTE) {
            png_set_tRNS(png, info, p.Transparency.data(), static_cast<int>(p.Transparency.size()), nullptr);
        } else {
            key.gray = p.Transparency[0];
            key.red = p.Transparency[0];
            key.green = p.Transparency.size() > 1 ? p.Transparency[1] : 0;
            key.blue = p.Transparency.size() > 2 ? p.Transparency[2] : 0;
            png_set_tRNS(png, info, nullptr, 0, &key);
        }
    }
    png_write_info(png, info);
    const std::size_t rowBytes = (static_cast<std::size_t>(p.Width) * Channels(p.ColorType) * p.BitDepth + 7) / 8;
    std::vector<png_bytep> rows(p.Height);
    std::vector<std::uint8_t> copy = p.Rows;
    copy.resize(rowBytes * p.Height);
    for (std::uint32_t y = 0; y < p.Height; ++y) rows[y] = copy.data() + y * rowBytes;
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<std::uint8_t> EncodeRgbPng(std::uint32_t width, std::uint32_t height,
                                       const std::vector<std::uint32_t>& pixels) {
    TPngPicture p;
    p.Width = width;
    p.Height = height;
    p.ColorType = PNG_COLOR_TYPE_RGB;
    for (std::uint32_t v : pixels) {
        p.Rows.push_back(static_cast<std::uint8_t>(v >> 16));
        p.Rows.push_back(static_cast<std::uint8_t>(v >> 8));
        p.Rows.push_back(static_cast<std::uint8_t>(v));
    }
    return EncodePng(p);
}

std::vector<std::uint8_t> EncodeJpeg(std::uint32_t width, std::uint32_t height, int components,
                                     const std::vector<std::uint8_t>& samples, int quality) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_CreateCompress(&info, JPEG_LIB_VERSION, sizeof(jpeg_compress_struct));
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    const std::size_t stride = static_cast<std::size_t>(width) * static_cast<std::size_t>(components);
    while (info.next_scanline < height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + info.next_scanline * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

}  // namespace qv::test
