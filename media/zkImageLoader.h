// Pictures: a 32-bit bitmap, a stream of picture bytes, and the loader that
// turns a PNG or JPEG stream into a bitmap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace qv {

// Rows from the top; each pixel 0x00RRGGBB (blue in the low byte). The
// loader writes 0 in the fourth byte; transparency comes from masks and
// colour keys only.
struct TBitmap {
    TBitmap() = default;
    TBitmap(std::int32_t width, std::int32_t height, std::uint32_t fill = 0)
        : Width(width), Height(height), Pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill) {}

    std::uint32_t& At(std::int32_t x, std::int32_t y) {
        return Pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(x)];
    }
    std::uint32_t At(std::int32_t x, std::int32_t y) const {
        return Pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(x)];
    }

    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::vector<std::uint32_t> Pixels;
};

// Bytes with a read position.
class TMemoryStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<std::uint8_t> bytes, std::size_t position = 0)
        : bytes_(std::move(bytes)), position_(position < bytes_.size() ? position : bytes_.size()) {}

    std::size_t Size() const { return bytes_.size(); }
    std::size_t Position() const { return position_; }
    void Seek(std::size_t position) { position_ = position < bytes_.size() ? position : bytes_.size(); }
    // The bytes from the position on.
    const std::uint8_t* Current() const { return bytes_.data() + position_; }
    std::size_t Remaining() const { return bytes_.size() - position_; }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

// The largest picture side the loader accepts.
inline constexpr std::uint32_t kMaxImageSide = 8192;

// The picture at the stream's position: a PNG, else (from the same position)
// a JPEG. Null for a null stream, for bytes that are neither, and for
// pictures wider or higher than kMaxImageSide; never throws for bad data.
// After a picture was read the position is at the stream's end.
std::unique_ptr<TBitmap> LoadBitmapFromImageStream(TMemoryStream* stream);

}  // namespace qv
