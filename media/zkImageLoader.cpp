#include "media/zkImageLoader.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <png.h>

namespace qv {

namespace {

// The decoders run their error handling through longjmp, so the functions
// holding a setjmp keep no object with a destructor of their own: buffers
// live in the caller's frame.

struct TPngSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position;
};

void PngRead(png_structp png, png_bytep out, png_size_t count) {
    auto* source = static_cast<TPngSource*>(png_get_io_ptr(png));
    if (count > source->size - source->position) png_error(png, "truncated");
    std::memcpy(out, source->data + source->position, count);
    source->position += count;
}

void PngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWarning(png_structp, png_const_charp) {}

bool DecodePng(const std::uint8_t* data, std::size_t size, TBitmap* out, std::vector<png_bytep>* rows) {
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    TPngSource source{data, size, 0};
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_set_read_fn(png, &source, PngRead);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) png_error(png, "size");
    // Every layout becomes 8-bit B, G, R and a zero byte; alpha is dropped.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * 4) png_error(png, "layout");

    out->Width = static_cast<std::int32_t>(width);
    out->Height = static_cast<std::int32_t>(height);
    out->Pixels.assign(static_cast<std::size_t>(width) * height, 0);
    rows->resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        (*rows)[y] = reinterpret_cast<png_bytep>(out->Pixels.data() + static_cast<std::size_t>(y) * width);
    png_read_image(png, rows->data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

struct TJpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void JpegErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<TJpegErrors*>(info->err)->jump, 1);
}
void JpegMessage(j_common_ptr) {}

bool DecodeJpeg(const std::uint8_t* data, std::size_t size, TBitmap* out, std::vector<std::uint8_t>* row) {
    if (size < 3 || data[0] != 0xFF || data[1] != 0xD8) return false;
    jpeg_decompress_struct info;
    TJpegErrors errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = JpegErrorExit;
    errors.manager.output_message = JpegMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_CreateDecompress(&info, JPEG_LIB_VERSION, sizeof(jpeg_decompress_struct));
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (info.image_width == 0 || info.image_height == 0 || info.image_width > kMaxImageSide ||
        info.image_height > kMaxImageSide) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
    jpeg_start_decompress(&info);
    const JDIMENSION width = info.output_width, height = info.output_height;
    if (info.output_components != 4) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    out->Width = static_cast<std::int32_t>(width);
    out->Height = static_cast<std::int32_t>(height);
    out->Pixels.assign(static_cast<std::size_t>(width) * height, 0);
    row->resize(static_cast<std::size_t>(width) * 4);
    // Adobe's CMYK files store the inks inverted.
    const bool inverted = info.saw_Adobe_marker != 0;
    while (info.output_scanline < height) {
        const JDIMENSION y = info.output_scanline;
        JSAMPROW line = row->data();
        if (jpeg_read_scanlines(&info, &line, 1) != 1) break;
        std::uint32_t* target = out->Pixels.data() + static_cast<std::size_t>(y) * width;
        const std::uint8_t* p = row->data();
        for (JDIMENSION x = 0; x < width; ++x, p += 4) {
            if (cmyk) {
                std::uint32_t c = p[0], m = p[1], ye = p[2], k = p[3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    ye = 255 - ye;
                    k = 255 - k;
                }
                target[x] = ((c * k / 255) << 16) | ((m * k / 255) << 8) | (ye * k / 255);
            } else {
                target[x] = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                            (static_cast<std::uint32_t>(p[2]) << 16);
            }
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace

std::unique_ptr<TBitmap> LoadBitmapFromImageStream(TMemoryStream* stream) {
    if (!stream) return nullptr;
    const std::size_t start = stream->Position();
    auto bitmap = std::make_unique<TBitmap>();
    {
        std::vector<png_bytep> rows;
        if (DecodePng(stream->Current(), stream->Remaining(), bitmap.get(), &rows)) {
            stream->Seek(stream->Size());
            return bitmap;
        }
    }
    stream->Seek(start);
    std::vector<std::uint8_t> row;
    if (DecodeJpeg(stream->Current(), stream->Remaining(), bitmap.get(), &row)) {
        stream->Seek(stream->Size());
        return bitmap;
    }
    return nullptr;
}

}  // namespace qv
