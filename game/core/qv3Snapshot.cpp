#include "game/core/qv3Snapshot.h"

#include <cstring>

#include "foundation/Exceptions.h"
#include "platform/system/Files.h"

namespace qv {

namespace {
void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFFu);
    Put16(out, v >> 16);
}
}  // namespace

std::vector<std::uint8_t> EncodeBitmap24(std::uint32_t width, std::uint32_t height,
                                         const std::vector<std::uint32_t>& pixels) {
    const std::uint32_t rowSize = (width * 3 + 3) / 4 * 4;
    const std::uint32_t dataSize = rowSize * height;
    std::vector<std::uint8_t> out;
    out.reserve(54 + dataSize);
    out.push_back('B');
    out.push_back('M');
    Put32(out, 54 + dataSize);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, width);
    Put32(out, height);
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);  // no compression
    Put32(out, dataSize);
    Put32(out, 2835);  // 72 dpi
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (std::uint32_t y = height; y-- > 0;) {
        const std::size_t start = out.size();
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
            out.push_back(static_cast<std::uint8_t>(p));
            out.push_back(static_cast<std::uint8_t>(p >> 8));
            out.push_back(static_cast<std::uint8_t>(p >> 16));
        }
        out.resize(start + rowSize, 0);
    }
    return out;
}

std::string NextSnapshotName(const std::string& folder, std::int32_t& count) {
    for (;; ++count) {
        std::string name = folder + "snapshoot" + std::to_string(count) + ".bmp";
        if (!sys::FileExists(name)) return name;
    }
}

}  // namespace qv
