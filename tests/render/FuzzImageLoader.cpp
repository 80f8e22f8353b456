// Any bytes into the picture loader: a bitmap or nothing, never a crash.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/zkImageLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qv::TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
    auto bitmap = qv::LoadBitmapFromImageStream(&stream);
    if (bitmap && bitmap->Pixels.size() != static_cast<std::size_t>(bitmap->Width) * bitmap->Height) __builtin_trap();
    return 0;
}
