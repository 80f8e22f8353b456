// How much video memory the display offers, as far as the GL driver tells:
// NVIDIA's and AMD's memory queries, else Mesa's renderer query on X11.
#pragma once

#include <cstdint>

namespace qv::d3d {

// Bytes; 0 when no driver tells (or SDL's video is not running).
std::uint64_t QueryVideoMemory();

}  // namespace qv::d3d
