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

}  // namespace qv::d3d
