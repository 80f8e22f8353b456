#include "platform/render/D3D8.h"

namespace qv::d3d {

namespace {
std::string& Detail() {
    static std::string detail;
    return detail;
}
}  // namespace

void SetLastErrorDetail(const std::string& text) { Detail() = text; }

std::string TakeLastErrorDetail() {
    std::string text;
    text.swap(Detail());
    return text;
}

bool LockArea(const RECT* rect, UINT width, UINT height, RECT& area) {
    area = RECT{0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
    if (!rect) return true;
    if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
        rect->right > area.right || rect->bottom > area.bottom)
        return false;
    area = *rect;
    return true;
}

bool LockRange(UINT offset, UINT& size, std::size_t length) {
    if (size == 0 && offset == 0) size = static_cast<UINT>(length);
    return static_cast<std::uint64_t>(offset) + size <= length;
}

}  // namespace qv::d3d
